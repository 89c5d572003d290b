// vandro-admin documents: the RST documents kept with a table.
#include "Commands.h"

#include "corpus/Corpus.h"
#include "engine/MessageText.h"

#include <vector>

namespace vandro::admin {

using namespace engine;
using namespace corpus;

namespace {

int documents(Context &context, const std::string &database, const std::string &table) {
  Context::Session session(context);
  if (!session.openDatabase(database) || !session.openTable(table, OpenMode::ReadOnly))
    return kFailure;
  Corpus corpus(session.cursor());
  bool kept = false;
  if (const Result checked = corpus.exists(kept); checked != code::Ok)
    return context.failure(engineMessage(checked));
  std::vector<DocumentSummary> summaries;
  if (kept)
    if (const Result listed = corpus.summaries(summaries); listed != code::Ok)
      return context.failure(engineMessage(listed));
  if (summaries.empty()) {
    context.out << "No documents: import-rst keeps the documents it imports\n";
    return kSuccess;
  }
  context.out << "Document\tRecords\tWith a marker\tMarkers changed\tImported\n";
  for (const DocumentSummary &d : summaries)
    context.out << shownLine(d.name) << "\t" << d.records << "\t" << d.marked << "\t" << d.changed << "\t"
                << shownLine(d.imported) << "\n";
  return kSuccess;
}

} // namespace

void addDocumentsCommand(CLI::App &app, Context &context) {
  auto *command = addCommand(app, "documents", "List the RST documents kept with TABLE",
                 "List the RST documents stored with TABLE: name, records, records with a marker,\n"
                                     "records whose markers changed since the import, time of import");
  const auto table = addTableArguments(*command);
  command->callback([&context, table] { context.status = documents(context, table->database, table->table); });
}

} // namespace vandro::admin
