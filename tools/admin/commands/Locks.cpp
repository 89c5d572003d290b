// vandro-admin locks: the records held locked now.
#include "Commands.h"

#include "engine/MessageText.h"

#include <vector>

namespace vandro::admin {

using namespace engine;

namespace {

int locks(Context &context, const std::string &database, const std::string &table) {
  Context::Session session(context);
  if (!session.openDatabase(database) || !session.openTable(table, OpenMode::ReadOnly))
    return kFailure;
  std::vector<LockHolder> holders;
  if (const Result listed = session.cursor().lockHolders(holders); listed != code::Ok)
    return context.failure(engineMessage(listed));
  if (holders.empty()) {
    context.out << "No record of " << shownLine(session.cursor().location()) << " is locked\n";
    return kSuccess;
  }
  context.out << "Record\tUser\tMachine\tSince\n";
  for (const LockHolder &h : holders)
    context.out << shownLine(h.record) << "\t" << shownLine(h.user)
                << (h.program.empty() ? "" : " (" + shownLine(h.program) + ")") << "\t" << shownLine(h.machine) << "\t"
                << (h.since ? sinceText(*h.since) : std::string()) << "\n";
  return kSuccess;
}

} // namespace

void addLocksCommand(CLI::App &app, Context &context) {
  auto *command =
      addCommand(app, "locks", "List the records of TABLE held locked now: who, where, since when",
                 "List the records of TABLE that annotators (or other clients) hold locked now, one\n"
                                  "line each: the record, who holds it, on which machine, since when");
  const auto table = addTableArguments(*command);
  command->callback([&context, table] { context.status = locks(context, table->database, table->table); });
}

} // namespace vandro::admin
