// A table on a PostgreSQL server, read by key-set queries.
#pragma once

#include "../KeySetCursor.h"
#include "AdvisoryLockKey.h"
#include "PgConnection.h"

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vandro::engine {

// One connection per cursor, so that two cursors (of one program or two)
// lock records against each other, and each has its own snapshot. Records are read by prepared key-set
// queries ("the next records after this key"), never by a long-open server
// cursor; outside a snapshot every step asks the server again, so a record
// another user stored shows on the next move. A record being edited holds a
// session-level advisory lock keyed by the table and the record's key; the
// server drops it when the connection ends, however it ends. Each write is
// one transaction committed before it returns; a post replaces the record
// only while it is still the one the edit began from, since programs other
// than Vandro do not honour the locks. Inside a bulk transaction, inserts go
// to the server as one COPY.
class PostgresCursor final : public KeySetCursor {
public:
  // Opens table `tableName` ("Vandro.DB" is the server's table "Vandro") in
  // `schema` (the search path when empty) over `connection`, which the
  // cursor takes; on failure the connection is left to the caller.
  // ReadOnlyTable for ReadWrite when the user may not update or insert;
  // TableNotFound, UnsupportedSchema.
  [[nodiscard]] static Result open(std::unique_ptr<PgConnection> &connection, const std::string &schema,
                                   const std::string &tableName, OpenMode openMode, std::unique_ptr<Cursor> &out);
  ~PostgresCursor() override;

  Result setPassword(const std::optional<std::string> &password) override;
  Result beginBulk() override;
  Result commitBulk() override;
  Result rollbackBulk() override;
  Result beginSnapshot() override;
  Result endSnapshot() override;
  Result integrityCheck(std::vector<std::string> &problems) override;
  Result lockHolders(std::vector<LockHolder> &out) override;
  std::optional<std::string> siblingNameProblem(const std::string &suffix) const override;
  Result hasSibling(const std::string &suffix, bool &out) override;
  std::string columnType(FieldKind kind, int size) const override;
  std::string siblingName(const std::string &suffix) const override;
  std::string quotedName() const override { return m_qualified; }
  Result execute(const std::string &sql, const std::vector<Value> &parameters,
                 std::vector<std::vector<Value>> *rows) override;

protected:
  Result queryPage(SearchDirection direction, const Bookmark *from, int limit, std::deque<Record> &out) override;
  Result queryKey(const std::vector<Value> &key, Record &out) override;
  Result queryWhere(SearchDirection direction, const RecordFilter &filter, const Bookmark *from,
                    Record &out) override;
  Result queryCount(const RecordFilter &filter, std::int64_t &out) override;
  // Only inside a snapshot: elsewhere another user's post must show at once.
  bool aheadIsFresh() override { return m_snapshot; }
  Result queryRecord(const Bookmark &key, ReadFor purpose, Record &out) override;
  Result lockRecord(const Bookmark &key) override { return lock(key); }
  void unlockRecord() override { unlock(); }
  std::optional<LockHolder> holderOf(const Bookmark &key) const override;
  // Who holds the row with `key` in another client's open transaction.
  std::optional<LockHolder> rowHolder(const Bookmark &key) const;
  Result storeModified(const Record &record, Bookmark &key) override;
  Result storeInserted(const Record &record, Bookmark &key) override;
  Result lockUntilCommit(const Bookmark &key) override;
  Result storeDeleted(const Bookmark &key) override;

private:
  using Parameters = std::vector<std::optional<std::string>>;
  PostgresCursor() = default;
  Result describe();
  std::string updateStatement() const;
  // The record with `key` as the server sends it; RecordNotFound.
  Result fetchKey(const std::vector<Value> &key, PgResult &rows);
  // Runs the statement prepared as `name`. A read whose connection broke is
  // run once more on a new connection; a write never is (it may have been
  // stored before the break, and its lock went with the old connection).
  enum class Retry { OnNewConnection, Never };
  Result run(const std::string &name, const std::string &sql, const Parameters &parameters, PgResult &out,
             Retry retry = Retry::OnNewConnection);
  Result rowToRecord(const PgResult &rows, int row, Record &out) const;
  Parameters keyParameters(const Bookmark &key) const;
  // "key1 = $1 AND key2 = $2 ...", over the first `columns` key columns.
  std::string keyCondition(std::size_t columns) const;
  std::string keyList() const;
  // The key columns in ascending (Forward) or descending order.
  std::string keyOrder(SearchDirection direction) const;
  // "(key) > ($1, ...)" (or "<" Backward) for the records past `from`,
  // whose key values it puts into `parameters`.
  std::string pastKey(const Bookmark &from, SearchDirection direction, Parameters &parameters) const;
  // The condition of `filter`'s parts, joined by `joiner`, with "?" for
  // the parameters it adds.
  Result filterSql(const RecordFilter &filter, Parameters &parameters, std::string &out, const char *joiner = "AND");
  // The SQL that folds the letter case of the text `expression` as
  // foldedCase does: with the server's ICU collation where it has one.
  Result foldedSql(const std::string &expression, std::string &out);
  // Runs a find or count, prepared once per text of `sql` ("?" numbered).
  Result runFiltered(const std::string &sql, const Parameters &parameters, PgResult &out);
  // The key of the first row of a statement that returns the key columns.
  Bookmark keyOfRow(const PgResult &rows) const;
  // Locks the record with `key` on the server; RecordLocked when another
  // session holds it.
  Result lock(const Bookmark &key);
  void unlock();
  // After the connection broke while a record was locked: connects again
  // and takes the lock again (RecordLocked when another took it meanwhile).
  Result relock();
  bool lostConnectionWhileEditing() const override { return m_lostWhileLocked; }
  Result finishCopy();

  std::unique_ptr<PgConnection> m_conn;
  std::string m_qualified;  // "schema"."table"
  std::string m_schema;     // quoted, with its dot; empty for the search path
  std::string m_selectList; // the fields, as the engine reads them
  std::map<std::string, std::string> m_filterStatements; // a find's text -> its prepared statement's name
  std::optional<bool> m_icuFolding; // whether the server folds with ICU, once asked
  std::vector<std::string> m_keyColumns;
  std::uint32_t m_tableOid = 0; // the table's identity, for the advisory locks
  std::string m_updateSql;
  bool m_bulk = false;
  bool m_snapshot = false;
  bool m_copying = false;
  std::vector<std::string> m_copied; // the records sent by the COPY, by line
  // What releases and renews the lock of the record the cursor edits (which
  // record that is, the key-set cursor alone keeps): the advisory lock, the
  // connection's resets when it was taken, the record as the server sent
  // it when the edit began, and whether the lock was lost with a connection
  // since.
  std::optional<AdvisoryLockKey> m_lock;
  int m_lockedAtResets = 0;
  Parameters m_readTexts;
  bool m_lostWhileLocked = false;
};

} // namespace vandro::engine
