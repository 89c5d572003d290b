// vandro-admin create: an empty standard relation table.
#include "Commands.h"

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
  return kSuccess;
}

} // namespace

void addCreateCommand(CLI::App &app, Context &context) {
  auto *command = app.add_subcommand("create", "Create an empty standard relation table; refuses when it exists");
  const auto table = addTableArguments(*command);
  command->callback([&context, table] { context.status = create(context, table->database, table->table); });
}

} // namespace vandro::admin
