#include "BenchTables.h"

#include "corpus/RelationTable.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <sys/resource.h>

namespace vandro::bench {

using namespace engine;

using namespace corpus;

std::string benchDirectory() {
  const char *dir = std::getenv("VANDRO_BENCH_DIR");
  std::string path = dir && *dir ? dir : "/tmp/vandro-bench";
  std::filesystem::create_directories(path);
  return path;
}

std::unique_ptr<Database> openBenchDatabase() {
  // $VANDRO_BENCH_ALIAS names a database of the engine configuration (a
  // server's, say); else the benchmark directory's tables are used.
  const char *alias = std::getenv("VANDRO_BENCH_ALIAS");
  std::unique_ptr<Database> database;
  if (Engine::instance().openDatabase(alias ? alias : "", alias ? "" : benchDirectory(), OpenMode::ReadWrite,
                                      ShareMode::Shared, database) != code::Ok)
    throw std::runtime_error("the benchmark database cannot be opened");
  return database;
}

Database &benchDatabase() {
  static std::unique_ptr<Database> database;
  if (!database) {
    if (Engine::instance().initialise(kInterfaceVersion, kLanguage) != code::Ok)
      throw std::runtime_error("engine did not start");
    // A password the user gave the program, as its dialog adds it.
    if (const char *password = std::getenv("VANDRO_BENCH_PASSWORD"))
      (void)Engine::instance().addPassword(password);
    database = openBenchDatabase();
  }
  return *database;
}

bool onServer() { return std::getenv("VANDRO_BENCH_ALIAS") != nullptr; }

void fillRelationTable(Cursor &cursor, long records) {
  std::fprintf(stderr, "making a table of %ld records...\n", records);
  const std::string span1 = "The viewing experience of art is a complex one , involving issues "
                            "of perception , attention , memory , decision - making";
  const std::string span2 = "Thus , the time it takes and the ways of visually exploring an "
                            "artwork can inform about its relevance";
  const char *relations[] = {"elaboration", "contrast", "joint", "background", "cause"};
  if (cursor.beginBulk() != code::Ok)
    throw std::runtime_error("cannot begin");
  for (long id = 1; id <= records; ++id) {
    Record r = cursor.blankRecord();
    r.values[0] = Value::integer(id);
    r.values[1] = Value::text("GUM_bench_" + std::to_string(id / 100));
    r.values[2] = Value::text(relations[id % 5]);
    r.values[3] = Value::text("no");
    r.values[6] = Value::text("NS");
    r.values[7] = Value::text(span1);
    r.values[8] = Value::text(span2);
    r.values[9] = Value::integer(id);
    r.values[10] = Value::integer(id);
    r.values[11] = Value::integer(id + 2);
    r.values[12] = Value::integer(id + 3);
    if (cursor.insertRecord(r) != code::Ok)
      throw std::runtime_error("insert failed");
  }
  if (cursor.commitBulk() != code::Ok)
    throw std::runtime_error("commit failed");
}

std::string ensureRelationTable(Database &database, long records, std::string name) {
  if (name.empty())
    name = "Bench" + std::to_string(records) + ".DB";
  if (database.tableExists(name))
    return name;
  if (onServer()) {
    // On a server the filling is one transaction: all of it or nothing.
    if (database.createTable(name, relationTableFields(), kRelationTableKey) != code::Ok)
      throw std::runtime_error("cannot create " + name);
    std::unique_ptr<Cursor> cursor;
    if (database.openTable(name, "default", OpenMode::ReadWrite, ShareMode::Shared, cursor) != code::Ok)
      throw std::runtime_error("cannot open " + name);
    fillRelationTable(*cursor, records);
    return name;
  }
  // Made in a folder of its own and moved into place when complete, so that
  // an interrupted run never leaves a half-filled table behind.
  const std::string buildingDir = database.location() + "/building";
  std::filesystem::remove_all(buildingDir);
  std::filesystem::create_directories(buildingDir);
  std::unique_ptr<Database> building;
  if (Engine::instance().openDatabase("", buildingDir, OpenMode::ReadWrite, ShareMode::Shared,
                                      building) != code::Ok ||
      building->createTable(name, relationTableFields(), kRelationTableKey) != code::Ok)
    throw std::runtime_error("cannot create " + name);
  {
    std::unique_ptr<Cursor> cursor;
    if (building->openTable(name, "default", OpenMode::ReadWrite, ShareMode::Shared, cursor) !=
        code::Ok)
      throw std::runtime_error("cannot open " + name);
    fillRelationTable(*cursor, records);
  }
  std::filesystem::rename(buildingDir + "/" + name, database.location() + "/" + name);
  std::filesystem::remove_all(buildingDir);
  return name;
}

long peakResidentKiB() {
  struct rusage usage {};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

} // namespace vandro::bench
