// A prepared SQLite statement that finalises itself.
#pragma once

#include <sqlite3.h>
#include <string>

namespace vandro::engine {

class SqliteStatement {
public:
  SqliteStatement() = default;
  SqliteStatement(const SqliteStatement &) = delete;
  SqliteStatement &operator=(const SqliteStatement &) = delete;
  SqliteStatement(SqliteStatement &&other) noexcept : m_stmt(other.m_stmt) { other.m_stmt = nullptr; }
  SqliteStatement &operator=(SqliteStatement &&other) noexcept {
    if (this != &other) {
      sqlite3_finalize(m_stmt);
      m_stmt = other.m_stmt;
      other.m_stmt = nullptr;
    }
    return *this;
  }
  ~SqliteStatement() { sqlite3_finalize(m_stmt); }

  // Prepares `sql` on `db`; the SQLite result code.
  int prepare(sqlite3 *db, const std::string &sql) {
    sqlite3_finalize(m_stmt);
    m_stmt = nullptr;
    return sqlite3_prepare_v3(db, sql.c_str(), static_cast<int>(sql.size()),
                              SQLITE_PREPARE_PERSISTENT, &m_stmt, nullptr);
  }
  // Resets the statement and clears its bindings for the next use.
  void reset() {
    sqlite3_reset(m_stmt);
    sqlite3_clear_bindings(m_stmt);
  }
  sqlite3_stmt *get() const { return m_stmt; }
  explicit operator bool() const { return m_stmt != nullptr; }

private:
  sqlite3_stmt *m_stmt = nullptr;
};

// Resets a statement when the scope ends, whatever path it takes.
class StatementUse {
public:
  explicit StatementUse(SqliteStatement &statement) : m_statement(statement) {}
  ~StatementUse() { m_statement.reset(); }
  StatementUse(const StatementUse &) = delete;
  StatementUse &operator=(const StatementUse &) = delete;
  sqlite3_stmt *get() const { return m_statement.get(); }

private:
  SqliteStatement &m_statement;
};

} // namespace vandro::engine
