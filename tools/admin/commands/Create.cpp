// vandro-admin create: an empty standard relation table.
#include "Commands.h"

#include "corpus/History.h"
#include "corpus/RelationTable.h"

namespace vandro::admin {

using namespace engine;
using namespace corpus;

namespace {

int create(Context &context, const std::string &database, const std::string &table) {
  Context::Session session(context);
  if (!session.openDatabase(database))
    return kFailure;
  if (const Result result = session.database().createTable(table, relationTableFields(), kRelationTableKey);
      result != code::Ok)
    return context.failure(engineMessage(result));
  // Its history beside it, made now by whoever may make tables, so that
  // the annotators' posts need only write into it.
  if (!session.openTable(table))
    return kFailure;
  if (const Result made = History::create(session.cursor()); made != code::Ok)
    return context.failure(engineMessage(made));
  return kSuccess;
}

} // namespace

void addCreateCommand(CLI::App &app, Context &context) {
  auto *command = app.add_subcommand("create", "Create an empty standard relation table; refuses when it exists");
  const auto table = addTableArguments(*command);
  command->callback([&context, table] { context.status = create(context, table->database, table->table); });
}

} // namespace vandro::admin
