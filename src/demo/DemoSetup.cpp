#include "DemoSetup.h"

#include "DemoTable.h"
#include "engine/DatabaseName.h"
#include "engine/Config.h"
#include "engine/Engine.h"
#include "engine/FailureMessage.h"
#include "corpus/RelationTable.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>

namespace vandro::demo {

using namespace engine;

using namespace corpus;

namespace {

std::string engineMessage(Result result) { return failureMessage(result, ErrorEntries::all()); }

// The engine for the time of the set-up, unless it was running already.
class EngineTime {
public:
  EngineTime() : m_started(Engine::instance().initialise(kInterfaceVersion, kLanguage) == code::Ok) {}
  ~EngineTime() {
    if (m_started)
      (void)Engine::instance().exit();
  }
  EngineTime(const EngineTime &) = delete;
  EngineTime &operator=(const EngineTime &) = delete;

private:
  bool m_started;
};

} // namespace

Outcome<DemoSetup> setUpDemo() {
  DemoSetup setup;
  const auto fail = [](const std::string &error) -> Outcome<DemoSetup> { return Failure{error}; };
  Config config;
  if (const Result result = config.load(Config::defaultPath()); result != code::Ok)
    return fail(engineMessage(result));
  // Without the alias, the table is made in its folder first and the alias
  // added after it, so that a failure leaves no alias of a folder without
  // the table.
  const bool aliasMissing = !config.alias("Vandro");
  std::string directory;
  if (aliasMissing) {
    std::string base;
    if (const char *xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg)
      base = xdg;
    else if (const char *home = std::getenv("HOME"); home && *home)
      base = std::string(home) + "/.local/share";
    else
      return fail("neither XDG_DATA_HOME nor HOME is set: no place for the demo table");
    directory = base + "/vandro";
    std::error_code ec;
    std::filesystem::create_directories(directory, ec);
    if (ec)
      return fail(directory + ": " + ec.message());
  }

  {
    EngineTime engineTime;
    std::unique_ptr<Database> database;
    if (const Result result = Engine::instance().openDatabase(aliasMissing ? "" : "Vandro", directory,
                                                              OpenMode::ReadWrite, ShareMode::Shared, database);
        result != code::Ok)
      return fail(engineMessage(result));
    setup.directory = database->location();
    if (!database->tableExists("Vandro.DB")) {
      if (const Result result = database->createTable("Vandro.DB", relationTableFields(), kRelationTableKey);
          result != code::Ok)
        return fail(engineMessage(result));
      std::unique_ptr<Cursor> cursor;
      Result result = database->openTable("Vandro.DB", "default", OpenMode::ReadWrite, ShareMode::Shared, cursor);
      if (result == code::Ok)
        result = fillDemoTable(*cursor);
      const std::string where = cursor ? cursor->location() : database->location() + "/Vandro.DB";
      if (result != code::Ok) {
        const std::string message = engineMessage(result);
        // Taken away again, so that the next run makes the demo table anew
        // rather than finding an empty one.
        cursor.reset();
        std::remove((database->location() + "/Vandro.DB").c_str());
        for (const char *suffix : engine::kFilesBesideTable)
          std::remove((database->location() + "/Vandro.DB" + suffix).c_str());
        return fail(message);
      }
      setup.tableMade = where;
    }
  }

  if (aliasMissing) {
    config.setAlias("Vandro", directory);
    if (const Result result = config.save(); result != code::Ok)
      return fail(engineMessage(result));
    setup.aliasAddedIn = config.path();
  }
  return setup;
}

} // namespace vandro::demo
