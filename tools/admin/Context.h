// What every command of vandro-admin shares: its output streams, its way of
// reporting a failure, the engine session it opens a database and a table
// in, and the exit status it ends with.
#pragma once

#include "engine/Cursor.h"
#include "engine/Database.h"
#include "engine/Result.h"

#include <iosfwd>
#include <memory>
#include <optional>
#include <string>

namespace vandro::admin {

inline constexpr int kSuccess = 0;
inline constexpr int kFailure = 1;
inline constexpr int kUsage = 2;

// What export-rst does with a changed file in its folder, and
// remove-document with a document whose markers changed since its import:
// refuses (the default), or goes ahead as --force says.
enum class Force { No, Yes };

class Context {
public:
  Context(std::ostream &out, std::ostream &err) : out(out), err(err) {}

  // Writes `message` (lines after the first indented, each cut and
  // escaped) after the program's name to `err`; kFailure.
  int failure(const std::string &message);
  // Writes `text` (cut and escaped) as a warning to `err`.
  void warn(const std::string &text);

  std::ostream &out;
  std::ostream &err;
  // The exit status of the command that ran.
  int status = kSuccess;

  // The engine session of one command: started on creation, shut down on
  // destruction, with the database and table the command works on.
  class Session {
  public:
    explicit Session(Context &context);
    ~Session();
    Session(const Session &) = delete;
    Session &operator=(const Session &) = delete;

    // Opens the database by alias or directory path; false after reporting.
    bool openDatabase(const std::string &name);
    // Opens the table, asking for its password once when it has one; false
    // after reporting.
    bool openTable(const std::string &table, engine::OpenMode mode = engine::OpenMode::ReadWrite);

    // Every record the open table's cursor writes from now on goes into the
    // table's history in the same transaction, one row per record, written
    // by `program` ("vandro-admin import"); nothing for a table whose key
    // is no integer Id.
    void keepHistory(const std::string &program);

    // Opens a second table of the database `name` (another database, of
    // any driver, or the same one) for a command that compares two tables;
    // false after reporting.
    bool openSecondTable(const std::string &name, const std::string &table,
                         engine::OpenMode mode = engine::OpenMode::ReadWrite);

    engine::Database &database() { return *m_database; }
    engine::Cursor &cursor() { return *m_cursor; }
    engine::Cursor &secondCursor() { return *m_secondCursor; }

  private:
    bool report(const std::string &message);
    bool openDatabaseInto(const std::string &name, std::unique_ptr<engine::Database> &out);
    bool openTableInto(engine::Database &database, const std::string &table, engine::OpenMode mode,
                       std::unique_ptr<engine::Cursor> &out);
    Context &m_context;
    bool m_started = false;
    std::unique_ptr<engine::Database> m_database, m_secondDatabase;
    std::unique_ptr<engine::Cursor> m_cursor, m_secondCursor;
  };
};

// The engine's message for its last failure.
std::string engineMessage(engine::Result result);

// Asks for a password on the terminal without echo, or reads one line of
// standard input when it is no terminal; nothing at end of input.
std::optional<std::string> readPassword(const std::string &prompt);

} // namespace vandro::admin
