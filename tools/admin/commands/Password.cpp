// vandro-admin password set|clear: a table's password.
#include "Commands.h"

#include "engine/Config.h"
#include "engine/DatabaseName.h"

#include <unistd.h>

namespace vandro::admin {

using namespace engine;

namespace {

int refuseServerPassword(Context &context, const std::string &database) {
  if (isDirectoryName(database))
    return kSuccess;
  Config config;
  if (config.load(Config::defaultPath()) != code::Ok)
    return kSuccess; // the command itself will say what is wrong
  const auto alias = config.alias(database);
  if (alias && alias->driver != kDirectoryDriver)
    return context.failure(std::string(messageFor(code::NotForServerTables)) + " (" + database + ")");
  return kSuccess;
}

int setPassword(Context &context, const std::string &database, const std::string &table,
                const std::optional<std::string> &password) {
  Context::Session session(context);
  if (!session.openDatabase(database) || !session.openTable(table))
    return kFailure;
  if (const Result result = session.cursor().setPassword(password); result != code::Ok)
    return context.failure(engineMessage(result));
  return kSuccess;
}

} // namespace

void addPasswordCommand(CLI::App &app, Context &context) {
  auto *password = addCommand(app, "password", "Set or clear a table's password",
                 "Set or clear a table's password (read from the terminal without echo,\n"
                  "or one line of standard input). It guards opening; it does not encrypt the file.");
  password->require_subcommand(1);
  auto *set = password->add_subcommand("set", "Set the table's password");
  const auto setTable = addTableArguments(*set);
  set->callback([&context, setTable] {
    if ((context.status = refuseServerPassword(context, setTable->database)) != kSuccess)
      return;
    const auto first = readPassword("New password: ");
    if (!first || first->empty()) {
      context.err << "vandro-admin: no password given; nothing changed\n";
      context.status = kFailure;
      return;
    }
    if (::isatty(STDIN_FILENO) == 1) {
      const auto again = readPassword("Repeat the password: ");
      if (!again || *again != *first) {
        context.err << "vandro-admin: the two passwords differ; nothing changed\n";
        context.status = kFailure;
        return;
      }
    }
    context.status = setPassword(context, setTable->database, setTable->table, first);
  });
  auto *clear = password->add_subcommand("clear", "Remove the table's password");
  const auto clearTable = addTableArguments(*clear);
  clear->callback([&context, clearTable] {
    if ((context.status = refuseServerPassword(context, clearTable->database)) == kSuccess)
      context.status = setPassword(context, clearTable->database, clearTable->table, std::nullopt);
  });
}

} // namespace vandro::admin
