// vandro-admin export: every record as CSV.
#include "Commands.h"

#include "CsvTransfer.h"
#include "engine/DatabaseName.h"
#include "engine/WholeFile.h"

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <vector>

namespace vandro::admin {

using namespace engine;

namespace {

int exportFile(Context &context, const std::string &database, const std::string &table, const std::string &file) {
  Context::Session session(context);
  if (!session.openDatabase(database) || !session.openTable(table, OpenMode::ReadOnly))
    return kFailure;
  std::vector<std::string> warnings;
  if (file.empty() || file == "-") {
    const Outcome<long> exported = exportCsv(session.cursor(), std::cout, "standard output", warnings);
    for (const std::string &warning : warnings)
      context.warn(warning);
    return exported ? kSuccess : context.failure(exported.error());
  }
  // A failed export never leaves half a file under the name asked for.
  WholeFile target(file);
  if (const std::string reason = target.begin(WholeFile::Devices::WrittenInPlace); !reason.empty())
    return context.failure(file + ": the file cannot be written: " + reason);
  // The table's own files, there now or made while it is used, are never
  // the place for its text: by name, and by the file for other links.
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::path written = fs::weakly_canonical(target.finalPath(), ec);
  std::vector<std::string> owns{session.cursor().location()};
  for (const char *suffix : kFilesBesideTable)
    owns.push_back(session.cursor().location() + suffix);
  for (const std::string &own : owns) {
    if (written == fs::weakly_canonical(own, ec) || fs::equivalent(file, own, ec))
      return context.failure(file + ": it is the table's own file; name another file for the export");
  }
  {
    std::ofstream out(target.writePath(), std::ios::binary | (target.direct() ? std::ios::app : std::ios::trunc));
    if (!out) {
      // The text goes to a new file beside the target first: where that
      // cannot be made, the folder is the cause.
      const std::string cause = std::strerror(errno);
      return context.failure(
          file + ": the file cannot be written: " +
          (target.direct()
               ? cause
               : "no new file can be made in " + fs::path(target.finalPath()).parent_path().string() + ": " + cause));
    }
    const Outcome<long> exported = exportCsv(session.cursor(), out, file, warnings);
    out.close();
    if (!exported)
      return context.failure(exported.error());
    if (!out)
      return context.failure(file + ": the file could not be written: " + std::strerror(errno));
  }
  if (const std::string reason = target.finish(); !reason.empty())
    return context.failure(file + ": the file could not be written: " + reason);
  for (const std::string &warning : warnings)
    context.warn(warning);
  return kSuccess;
}

} // namespace

void addExportCommand(CLI::App &app, Context &context) {
  auto *command =
      addCommand(app, "export", "Export every record in key order as CSV",
                 "Export every record in key order as CSV with a header row and CRLF line ends;\n"
                                   "nulls are unquoted empty fields, empty texts \"\".");
  const auto table = addTableArguments(*command);
  const auto file = std::make_shared<std::string>();
  command->add_option("FILE", *file, "CSV file; standard output when left out or -");
  command->callback(
      [&context, table, file] { context.status = exportFile(context, table->database, table->table, *file); });
}

} // namespace vandro::admin
