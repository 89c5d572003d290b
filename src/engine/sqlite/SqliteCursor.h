// A table of an SQLite file, read by key-set queries with a short read-ahead.
#pragma once

#include "../KeySetCursor.h"
#include "LogFiles.h"
#include "RecordLock.h"
#include "SqliteStatement.h"

#include <deque>
#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

namespace vandro::engine {

// A table is one SQLite file holding one table named after the file's stem
// ("Vandro.DB" holds the table "Vandro"). Records are read in primary-key
// order by queries that start at the key of the record the cursor stands on
// ("the next few records after this key"), so no operation's cost depends on
// the size of the table. Read-ahead records are dropped as soon as another
// connection commits a change (PRAGMA data_version), so the cursor never
// shows a stale record for longer than one step. A post replaces the record
// only while it is still the one the edit began from: other programs that
// write the file do not honour the record locks.
class SqliteCursor final : public KeySetCursor {
public:
  // Opens the table file `path`. `passwords` are the session's passwords,
  // tried against a password-protected table.
  [[nodiscard]] static Result open(const std::string &path, OpenMode openMode,
                                   const std::vector<std::string> &passwords,
                                   std::unique_ptr<Cursor> &out);
  ~SqliteCursor() override;

  Result setPassword(const std::optional<std::string> &password) override;
  Result beginBulk() override;
  Result commitBulk() override;
  Result rollbackBulk() override;
  Result beginSnapshot() override;
  Result endSnapshot() override;
  Result integrityCheck(std::vector<std::string> &problems) override;
  Result lockHolders(std::vector<LockHolder> &out) override;
  std::optional<std::string> siblingNameProblem(const std::string &) const override { return std::nullopt; }
  Result hasSibling(const std::string &suffix, bool &out) override;
  std::string columnType(FieldKind kind, int size) const override { return declaredTypeFor(kind, size); }
  std::string sessionRole() const override { return {}; }
  std::string numberedKeyColumn() const override { return "INTEGER PRIMARY KEY"; }
  std::string siblingName(const std::string &suffix) const override;
  std::string quotedName() const override;
  Result execute(const std::string &sql, const std::vector<Value> &parameters,
                 std::vector<std::vector<Value>> *rows) override;


protected:
  Result queryPage(SearchDirection direction, const Bookmark *from, int limit, std::deque<Record> &out) override;
  Result queryKey(const std::vector<Value> &key, Record &out) override;
  Result queryWhere(SearchDirection direction, const RecordFilter &filter, const Bookmark *from,
                    Record &out) override;
  Result queryCount(const RecordFilter &filter, std::int64_t &out) override;
  // Another connection has committed since the last read: PRAGMA data_version.
  bool aheadIsFresh() override;
  Result queryRecord(const Bookmark &key, ReadFor purpose, Record &out) override;
  Result lockRecord(const Bookmark &key) override;
  void unlockRecord() override;
  std::optional<LockHolder> holderOf(const Bookmark &key) const override;
  Result storeModified(const Record &record, Bookmark &key, const LogRows *logged) override {
    return writeWith(Write::Replace, record, key, logged);
  }
  Result storeInserted(const Record &record, Bookmark &key, const LogRows *logged) override {
    return writeWith(Write::Insert, record, key, logged);
  }
  bool inBulk() const override { return m_bulk; }

public:
  Result appendRows(const LogRows &rows) override;

protected:
  Result lockUntilCommit(const Bookmark &key) override;
  Result storeDeleted(const Bookmark &key) override;

private:
  SqliteCursor() = default;
  // Connects to the file at `path` and makes sure it is a database (read
  // without its shared memory when nobody can change it, `hasLog` aside).
  Result connectFile(const std::string &path, bool hasLog);
  // PasswordNeeded unless the table has no password or the session holds it.
  Result acceptPassword(const std::vector<std::string> &passwords) const;
  Result describe();
  Result prepareStatements();
  Result fail(int sqliteCode, const std::string &what = {}) const;
  // Reads the current row of `stmt` into `out` (fields, then key columns).
  Result rowToRecord(sqlite3_stmt *stmt, Record &out) const;
  // Stores `record` over the locked one (Replace) or as a new one (Insert).
  enum class Write { Replace, Insert };
  Result write(Write write, const Record &record, Bookmark &key);
  // write, and the log's rows after it in one transaction of its own
  // (BEGIN IMMEDIATE ... COMMIT).
  Result writeWith(Write write, const Record &record, Bookmark &key, const LogRows *logged);
  // Inserts `rows` into the table beside this one that they name, in the
  // transaction open now.
  Result insertRows(const LogRows &rows);
  Result runSql(const std::string &sql);
  // The condition of `filter`'s parts, joined by `joiner`, and their
  // parameters, in order.
  std::string filterSql(const RecordFilter &filter, std::vector<Value> &parameters, const char *joiner = "AND") const;
  // The cached statement of `sql`, prepared when it is new.
  Result filterStatement(const std::string &sql, SqliteStatement *&out);

  // Declared before the connection: it acts after the connection closed.
  LogFiles m_logFiles;
  sqlite3 *m_db = nullptr;
  std::vector<std::string> m_keyColumns; // SQL expressions of the key, in order
  long long m_dataVersion = -1;

  SqliteStatement m_first, m_last, m_after, m_before, m_at, m_update, m_insert, m_delete, m_version;
  std::map<std::size_t, SqliteStatement> m_find; // by the number of key fields given
  // The finds and counts, by their text; a few dozen at most.
  std::map<std::string, SqliteStatement> m_filtered;
  std::map<std::string, SqliteStatement> m_executed; // execute()'s statements, by their text
  std::string m_selectColumns; // the fields, then the key columns, for a SELECT
  RecordLock m_lock;
  // The locked record's fields as stored when the edit began.
  std::vector<Value> m_readValues;
  bool m_bulk = false;
  bool m_snapshot = false;
};

} // namespace vandro::engine
