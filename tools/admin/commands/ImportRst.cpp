// vandro-admin import-rst: RST documents as relation records.
#include "Commands.h"

#include "RelationMap.h"
#include "RstTransfer.h"
#include "corpus/RelationTable.h"
#include "engine/FailureMessage.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <functional>
#include <iostream>
#include <unistd.h>
#include <vector>

namespace vandro::admin {

using namespace engine;
using namespace corpus;

namespace {

int importRst(Context &context, const std::string &database, const std::string &table, const std::string &mapFile,
              const std::vector<std::string> &paths) {
  namespace fs = std::filesystem;
  // The documents: files as given, folders as their .rs3 and .rs4 files.
  std::vector<std::string> files;
  for (const std::string &path : paths) {
    std::error_code ec;
    const auto status = fs::status(path, ec);
    if (ec == std::errc::permission_denied)
      return context.failure(path + ": permission denied");
    if (fs::is_regular_file(status)) {
      files.push_back(path);
      continue;
    }
    if (!fs::is_directory(status))
      return context.failure(path + ": no such file or folder");
    std::vector<std::string> found;
    for (fs::directory_iterator it(path, ec), end; !ec && it != end; it.increment(ec)) {
      std::string extension = it->path().extension().string();
      for (char &c : extension)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      if ((extension == ".rs3" || extension == ".rs4") && it->is_regular_file(ec))
        found.push_back(it->path().string());
    }
    if (ec)
      return context.failure(path + ": the folder cannot be read: " + ec.message());
    std::sort(found.begin(), found.end(), [](const std::string &a, const std::string &b) {
      return fs::path(a).filename().string() < fs::path(b).filename().string();
    });
    if (found.empty())
      return context.failure(path + ": the folder holds no .rs3 or .rs4 file");
    files.insert(files.end(), found.begin(), found.end());
  }
  rst::RelationMap map;
  if (!mapFile.empty()) {
    auto read = rst::readRelationMap(QString::fromStdString(mapFile));
    if (!read)
      return context.failure(read.error().toStdString());
    map = std::move(read).value();
  }
  Context::Session session(context);
  if (!session.openDatabase(database))
    return kFailure;
  // The documents' records go into the standard relation table, made here
  // when there is none yet.
  if (!session.database().tableExists(table)) {
    if (const Result made = session.database().createTable(table, relationTableFields(), kRelationTableKey);
        made != code::Ok)
      return context.failure(engineMessage(made));
    context.out << "Made the relation table " << table << " in " << session.database().location() << "\n";
  }
  if (!session.openTable(table))
    return kFailure;
  session.keepHistory("vandro-admin import-rst");
  const bool terminal = ::isatty(STDERR_FILENO) == 1 && &context.err == &std::cerr;
  std::function<void(const RstImportSummary &)> progress;
  if (terminal)
    progress = [&](const RstImportSummary &sofar) {
      context.err << "\rImporting: " << sofar.documents << " of " << files.size() << " documents, " << sofar.records
                  << " records" << std::flush;
    };
  const Outcome<RstImportSummary> imported = admin::importRst(session.cursor(), files, map, progress);
  if (terminal)
    context.err << "\n";
  if (!imported)
    return context.failure(imported.error());
  context.out << imported->documents << " documents, " << imported->records << " records, " << imported->withMarker
              << " records with a marker\n";
  for (const std::string &warning : imported->warnings)
    context.warn(warning);
  return kSuccess;
}

} // namespace

void addImportRstCommand(CLI::App &app, Context &context) {
  auto *command = addCommand(app, "import-rst", "Import RST documents (rs3/rs4) as relation records with their markers",
                 "Import RST documents (rs3/rs4 XML of RST annotation tools) as relation records: one\n"
                    "record per satellite and per pair of adjacent co-nuclei, markers from rs4 discourse\n"
                    "signals. Records go after the table's largest Id, document after document, all or\n"
                    "nothing. The map of the GUM corpus's relation names is " VANDRO_DATA_DIR "/gum-map.csv.");
  const auto table = addTableArguments(*command);
  struct Options {
    std::string mapFile;
    std::vector<std::string> paths;
  };
  const auto options = std::make_shared<Options>();
  command->add_option("--map", options->mapFile,
                      "CSV file with the header from,to: relation names to store in place of the documents' own");
  command
      ->add_option("PATH", options->paths, "An .rs3/.rs4 file, or a folder whose .rs3 and .rs4 files are taken by name")
      ->required();
  command->callback([&context, table, options] {
    context.status = importRst(context, table->database, table->table, options->mapFile, options->paths);
  });
}

} // namespace vandro::admin
