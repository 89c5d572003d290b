// vandro-admin import: records from a CSV file.
#include "Commands.h"

#include "CsvTransfer.h"

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <unistd.h>

namespace vandro::admin {

using namespace engine;

namespace {

int importFile(Context &context, const std::string &database, const std::string &table, const std::string &file) {
  // Checked first: reading a folder through a stream throws.
  std::error_code ec;
  if (std::filesystem::is_directory(file, ec))
    return context.failure(file + ": it is a folder, not a CSV file");
  std::ifstream in(file, std::ios::binary);
  if (!in)
    return context.failure(file + ": the file cannot be read: " + std::strerror(errno));
  Context::Session session(context);
  if (!session.openDatabase(database) || !session.openTable(table))
    return kFailure;
  session.keepHistory("vandro-admin import");
  std::function<void(long)> progress;
  const bool terminal = ::isatty(STDERR_FILENO) == 1 && &context.err == &std::cerr;
  if (terminal)
    progress = [&](long records) {
      context.err << "\rImporting " << file << ": " << records << " records" << std::flush;
    };
  const Outcome<long> imported = importCsv(session.cursor(), in, file, progress);
  if (terminal)
    context.err << "\n";
  if (!imported)
    return context.failure(imported.error() + " (nothing was imported)");
  context.out << *imported << " records imported from " << file << "\n";
  return kSuccess;
}

} // namespace

void addImportCommand(CLI::App &app, Context &context) {
  auto *command =
      addCommand(app, "import", "Import a CSV file into TABLE, all or nothing",
                 "Import an RFC 4180 CSV file (UTF-8, header row naming the columns in any order)\n"
                                   "into TABLE, all or nothing: an unquoted empty field is null, \"\" the empty text.\n"
                                   "The first bad record stops the import, naming its line, column and reason.");
  const auto table = addTableArguments(*command);
  const auto file = std::make_shared<std::string>();
  command->add_option("FILE", *file, "CSV file")->required();
  command->callback(
      [&context, table, file] { context.status = importFile(context, table->database, table->table, *file); });
}

} // namespace vandro::admin
