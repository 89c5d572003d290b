// vandro-admin export-rst: the kept documents with the table's markers.
#include "Commands.h"

#include "RstExport.h"
#include "engine/MessageText.h"

#include <vector>

namespace vandro::admin {

using namespace engine;

namespace {

int exportRst(Context &context, const std::string &database, const std::string &table, const std::string &folder,
              const std::vector<std::string> &documents, Force force) {
  Context::Session session(context);
  if (!session.openDatabase(database) || !session.openTable(table, OpenMode::ReadOnly))
    return kFailure;
  const Outcome<RstExportSummary> exported = admin::exportRst(
      session.cursor(), folder, documents, force == Force::Yes ? ExistingFiles::Replace : ExistingFiles::KeepChanged);
  if (!exported)
    return context.failure(exported.error());
  for (const std::string &line : exported->listed)
    context.out << shownLine(line) << "\n";
  context.out << exported->documents << " documents written to " << folder << " (" << exported->identical
              << " byte for byte as imported), " << exported->signalsAdded << " signals added, "
              << exported->signalsRemoved << " removed, " << exported->signalsNotWritten << " not written\n";
  return kSuccess;
}

} // namespace

void addExportRstCommand(CLI::App &app, Context &context) {
  auto *command = addCommand(app, "export-rst", "Write the imported RST documents back, the table's markers as dm signals",
                 "Write the RST documents that import-rst stored with TABLE into FOLDER under their\n"
                    "file names, with the table's markers as dm signals, all or nothing. A document\n"
                    "whose markers did not change is written byte for byte as imported; in the others\n"
                    "each part of a changed marker (\"and + instead\") is one dm signal: signals the user\n"
                    "kept stay as they were, new parts become signals, parts taken away remove theirs.\n"
                    "Every signal added and removed, parts that cannot be written, markers that would\n"
                    "read back otherwise and records whose other columns changed are listed by Id. A file\n"
                    "in FOLDER that changed since the import is not replaced without --force.");
  const auto table = addTableArguments(*command);
  struct Options {
    std::string folder;
    std::vector<std::string> documents;
    bool force = false;
  };
  const auto options = std::make_shared<Options>();
  command->add_option("FOLDER", options->folder, "Folder for the documents (made when missing)")->required();
  command->add_option("--document", options->documents, "Only this document (its From); may be given again");
  command->add_flag("--force", options->force, "Replace files of FOLDER that changed since the import");
  command->callback([&context, table, options] {
    context.status = exportRst(context, table->database, table->table, options->folder, options->documents,
                               options->force ? Force::Yes : Force::No);
  });
}

} // namespace vandro::admin
