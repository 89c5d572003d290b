#include "Commands.h"

#include "corpus/History.h"
#include "engine/DatabaseName.h"
#include "engine/Engine.h"
#include "engine/FailureMessage.h"
#include "engine/MessageText.h"

#include <algorithm>
#include <iostream>
#include <termios.h>
#include <unistd.h>

namespace vandro::admin {

using namespace engine;

std::string engineMessage(Result result) { return failureMessage(result, ErrorEntries::all()); }

int Context::failure(const std::string &message) {
  // Lines after the first are indented under the program's name; each is
  // cut and escaped, whatever value it names.
  std::string text;
  for (std::size_t at = 0; at <= message.size();) {
    const std::size_t end = std::min(message.find('\n', at), message.size());
    text += (at ? "\n  " : "") + shownLine(std::string_view(message).substr(at, end - at));
    at = end + 1;
  }
  err << "vandro-admin: " << text << "\n";
  return kFailure;
}

void Context::warn(const std::string &text) { err << "vandro-admin: warning: " << shownLine(text) << "\n"; }

Context::Session::Session(Context &context) : m_context(context) {
  m_started = Engine::instance().initialise(kInterfaceVersion, kLanguage) == code::Ok;
}

Context::Session::~Session() {
  m_secondCursor.reset();
  m_secondDatabase.reset();
  m_cursor.reset();
  m_database.reset();
  if (m_started)
    (void)Engine::instance().exit();
}

bool Context::Session::openDatabase(const std::string &name) { return openDatabaseInto(name, m_database); }

bool Context::Session::openTable(const std::string &table, OpenMode mode) {
  return openTableInto(*m_database, table, mode, m_cursor);
}

bool Context::Session::openSecondTable(const std::string &name, const std::string &table, OpenMode mode) {
  return openDatabaseInto(name, m_secondDatabase) && openTableInto(*m_secondDatabase, table, mode, m_secondCursor);
}

bool Context::Session::openDatabaseInto(const std::string &name, std::unique_ptr<Database> &out) {
  if (!m_started)
    return report(engineMessage(code::EngineStartFailed));
  const bool path = isDirectoryName(name);
  const Result result =
      Engine::instance().openDatabase(path ? "" : name, path ? name : "", OpenMode::ReadWrite, ShareMode::Shared, out);
  return result == code::Ok || report(engineMessage(result));
}

bool Context::Session::openTableInto(Database &database, const std::string &table, OpenMode mode,
                                     std::unique_ptr<Cursor> &out) {
  Result result = database.openTable(table, "default", mode, ShareMode::Shared, out);
  if (result == code::PasswordNeeded) {
    const auto password = readPassword("Password for " + database.location() + "/" + table + ": ");
    if (password) {
      (void)Engine::instance().addPassword(*password);
      result = database.openTable(table, "default", mode, ShareMode::Shared, out);
    }
  }
  return result == code::Ok || report(engineMessage(result));
}

void Context::Session::keepHistory(const std::string &program) {
  if (corpus::History::suits(*m_cursor))
    m_cursor->setChangeLog(std::make_shared<corpus::History>(program, corpus::History::Rows::PerRecord));
}

bool Context::Session::report(const std::string &message) {
  m_context.failure(message);
  return false;
}

std::shared_ptr<TableArguments> addTableArguments(CLI::App &command) {
  auto arguments = std::make_shared<TableArguments>();
  command.add_option("DATABASE", arguments->database, "Alias or directory path")->required();
  command.add_option("TABLE", arguments->table, "Table file name, such as Vandro.DB")->required();
  return arguments;
}

CLI::App *addCommand(CLI::App &app, const std::string &name, const std::string &summary,
                     const std::string &details) {
  auto *command = app.add_subcommand(name, summary);
  command->footer("\n" + details);
  return command;
}

std::optional<std::string> readPassword(const std::string &prompt) {
  std::string line;
  if (::isatty(STDIN_FILENO) == 1) {
    std::cerr << prompt << std::flush;
    termios saved{};
    const bool restore = ::tcgetattr(STDIN_FILENO, &saved) == 0;
    if (restore) {
      termios quiet = saved;
      quiet.c_lflag &= static_cast<tcflag_t>(~ECHO);
      ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    }
    const bool got = static_cast<bool>(std::getline(std::cin, line));
    if (restore)
      ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
    std::cerr << "\n";
    if (!got)
      return std::nullopt;
  } else if (!std::getline(std::cin, line)) {
    return std::nullopt;
  }
  if (!line.empty() && line.back() == '\r')
    line.pop_back();
  return line;
}

} // namespace vandro::admin
