// The RST import and export against a plain XML parse of the same files: N
// documents (the given ones repeated under new names) read by
// QXmlStreamReader token by token; the same documents imported by
// import-rst's code into a fresh relation table in one transaction; and
// written back by export-rst's, untouched, then with a marker changed in one
// record of ten. Prints one table.
// Usage: rst_bench [FOLDER-OF-RS3/RS4] [DOCUMENTS]
//   (defaults: ../shared/data/rs4 beside the source folder, 1000)
#include "BenchTables.h"
#include "RelationMap.h"
#include "RstExport.h"
#include "RstTransfer.h"
#include "corpus/RelationTable.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QXmlStreamReader>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

using namespace vandro;
namespace fs = std::filesystem;

int main(int argc, char **argv) {
  const std::string source = argc > 1 ? argv[1] : std::string(VANDRO_SOURCE_DIR) + "/../shared/data/rs4";
  const int documents = argc > 2 ? std::atoi(argv[2]) : 1000;
  std::vector<std::string> originals;
  for (const auto &entry : fs::directory_iterator(source))
    if (entry.path().extension() == ".rs3" || entry.path().extension() == ".rs4")
      originals.push_back(entry.path().string());
  if (originals.empty()) {
    std::fprintf(stderr, "no .rs3/.rs4 files in %s\n", source.c_str());
    return 1;
  }
  std::sort(originals.begin(), originals.end());
  // The documents, copied under names of their own (the name is the From).
  const std::string folder = bench::benchDirectory() + "/rst-documents-" + std::to_string(documents);
  fs::create_directories(folder);
  std::vector<std::string> files;
  long long bytes = 0;
  for (int i = 0; i < documents; ++i) {
    const std::string &original = originals[static_cast<std::size_t>(i) % originals.size()];
    const std::string copy = folder + "/" + std::to_string(i) + "_" + fs::path(original).filename().string();
    if (!fs::exists(copy))
      fs::copy_file(original, copy);
    files.push_back(copy);
    bytes += static_cast<long long>(fs::file_size(copy));
  }

  // A plain parse: every token of every file, nothing kept.
  QElapsedTimer clock;
  double parseMs = 1e18;
  for (int run = 0; run < 3; ++run) {
    clock.start();
    long tokens = 0;
    for (const std::string &file : files) {
      QFile in(QString::fromStdString(file));
      in.open(QIODevice::ReadOnly);
      QXmlStreamReader xml(&in);
      while (!xml.atEnd()) {
        xml.readNext();
        ++tokens;
      }
    }
    parseMs = std::min(parseMs, static_cast<double>(clock.nsecsElapsed()) / 1e6);
    if (tokens == 0)
      return 1;
  }

  // The import into a fresh table each run.
  const QString mapFile = QStringLiteral(VANDRO_SOURCE_DIR "/data/gum-map.csv");
  const auto map = rst::readRelationMap(mapFile);
  if (!map) {
    std::fprintf(stderr, "%s\n", qPrintable(map.error()));
    return 1;
  }
  engine::Database &database = bench::benchDatabase();
  double importMs = 1e18;
  admin::RstImportSummary result;
  for (int run = 0; run < 3; ++run) {
    const std::string name = "Rst" + std::to_string(documents) + ".DB";
    for (const char *suffix : {"", "-wal", "-shm", "-lock"})
      fs::remove(database.location() + "/" + name + suffix);
    if (database.createTable(name, corpus::relationTableFields(), corpus::kRelationTableKey) != engine::code::Ok)
      return 1;
    std::unique_ptr<engine::Cursor> cursor;
    if (database.openTable(name, "default", engine::OpenMode::ReadWrite, engine::ShareMode::Shared, cursor) !=
        engine::code::Ok)
      return 1;
    clock.start();
    const auto imported = admin::importRst(*cursor, files, *map);
    importMs = std::min(importMs, static_cast<double>(clock.nsecsElapsed()) / 1e6);
    if (!imported) {
      std::fprintf(stderr, "%s\n", imported.error().c_str());
      return 1;
    }
    result = *imported;
  }
  // Written back: untouched (every file as imported), then with the marker
  // of one record in ten changed (those documents' signals rewritten).
  std::unique_ptr<engine::Cursor> cursor;
  if (database.openTable("Rst" + std::to_string(documents) + ".DB", "default", engine::OpenMode::ReadWrite,
                         engine::ShareMode::Shared, cursor) != engine::code::Ok)
    return 1;
  const std::string out = bench::benchDirectory() + "/rst-export-" + std::to_string(documents);
  double exportMs[2] = {1e18, 1e18};
  admin::RstExportSummary exported[2];
  for (int changed = 0; changed < 2; ++changed) {
    if (changed && cursor->execute("UPDATE " + cursor->quotedName() +
                                       " SET \"Marker2\" = 'the', \"Position2\" = 'Middle' WHERE \"Id\" % 10 = 0",
                                   {}) != engine::code::Ok)
      return 1;
    for (int run = 0; run < 3; ++run) {
      clock.start();
      const auto written = admin::exportRst(*cursor, out, {});
      exportMs[changed] = std::min(exportMs[changed], static_cast<double>(clock.nsecsElapsed()) / 1e6);
      if (!written) {
        std::fprintf(stderr, "%s\n", written.error().c_str());
        return 1;
      }
      exported[changed] = *written;
    }
  }
  std::printf("%-10s %10s %10s %12s %14s %16s %8s\n", "documents", "MB", "records", "with marker", "XML parse ms",
              "import-rst ms", "ratio");
  std::printf("%-10d %10.1f %10ld %12ld %14.1f %16.1f %8.2f\n", documents, static_cast<double>(bytes) / 1e6,
              result.records, result.withMarker, parseMs, importMs, importMs / parseMs);
  std::printf("%-34s %14s %16s %8s\n", "export-rst", "documents", "ms", "ratio");
  std::printf("%-34s %14ld %16.1f %8.2f\n", "untouched (byte for byte)", exported[0].identical, exportMs[0],
              exportMs[0] / parseMs);
  std::printf("%-34s %14ld %16.1f %8.2f\n", "one record in ten changed (rewritten)",
              exported[1].documents - exported[1].identical, exportMs[1], exportMs[1] / parseMs);
  std::printf("peak resident memory: %ld KiB\n", bench::peakResidentKiB());
  return 0;
}
