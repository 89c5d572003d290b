// vandro-admin remove-document: a document's records, sources and kept bytes.
#include "Commands.h"

#include "corpus/Corpus.h"
#include "engine/MessageText.h"

#include <vector>

namespace vandro::admin {

using namespace engine;
using namespace corpus;

namespace {

int removeDocuments(Context &context, const std::string &database, const std::string &table,
                    const std::vector<std::string> &names, Force force) {
  Context::Session session(context);
  if (!session.openDatabase(database) || !session.openTable(table))
    return kFailure;
  session.keepHistory("vandro-admin remove-document");
  Corpus corpus(session.cursor());
  // Every name first: nothing is removed when one of them is unknown.
  for (const std::string &name : names) {
    long records = 0, marked = 0;
    bool stored = false;
    const Result found = corpus.documentRecords(name, records, marked, stored);
    if (found == code::RecordNotFound)
      return context.failure("the table has no document " + shownText(name) + " (no record's From is " +
                             shownText(name) +
                             "; vandro-admin documents lists the documents kept). Nothing was removed");
    if (found != code::Ok)
      return context.failure(engineMessage(found));
    long changed = 0;
    if (const Result counted = corpus.changedMarkers(name, changed); counted != code::Ok)
      return context.failure(engineMessage(counted));
    if (changed > 0 && force == Force::No)
      return context.failure("the document " + shownText(name) + " has " + std::to_string(changed) +
                             (changed == 1 ? " marker" : " markers") +
                             " changed since its import, which removing it would drop (export-rst writes them into the "
                             "document's file, and --force then removes the document). Nothing was removed");
  }
  for (const std::string &name : names) {
    long records = 0, marked = 0;
    if (const Result removed = corpus.removeDocument(name, records, marked); removed != code::Ok)
      return context.failure(engineMessage(removed));
    context.out << "Removed " << name << ": " << records << " records, " << marked << " with a marker\n";
  }
  return kSuccess;
}

} // namespace

void addRemoveDocumentCommand(CLI::App &app, Context &context) {
  auto *command = addCommand(app, "remove-document", "Delete the named documents' records, their sources and the documents",
                 "Delete the named documents' records, their sources and the stored documents,\n"
                         "each in one transaction, saying how many records (and with markers) went. Refused\n"
                         "while another program edits one of the records, and for a document whose markers\n"
                         "changed since its import unless --force");
  const auto table = addTableArguments(*command);
  struct Options {
    std::vector<std::string> names;
    bool force = false;
  };
  const auto options = std::make_shared<Options>();
  command->add_option("NAME", options->names, "Document name (the From of its records)")->required();
  command->add_flag("--force", options->force, "Remove documents whose markers changed since their import");
  command->callback([&context, table, options] {
    context.status = removeDocuments(context, table->database, table->table, options->names,
                                     options->force ? Force::Yes : Force::No);
  });
}

} // namespace vandro::admin
