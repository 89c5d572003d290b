// A table of an SQLite file, read by key-set queries with a short read-ahead.
#pragma once

#include "../Cursor.h"
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
// shows a stale record for longer than one step.
class SqliteCursor final : public Cursor {
public:
  // Opens the table file `path`. `passwords` are the session's passwords,
  // tried against a password-protected table.
  [[nodiscard]] static Result open(const std::string &path, OpenMode openMode,
                                   const std::vector<std::string> &passwords,
                                   std::unique_ptr<Cursor> &out);
  ~SqliteCursor() override;

  const TableDescription &description() const override { return m_description; }
  const IndexDescription &currentIndex() const override { return m_index; }
  const std::string &filePath() const override { return m_path; }

  Result setToBegin() override;
  Result setToEnd() override;
  Result readNext(Record &out) override;
  Result readPrior(Record &out) override;
  Result readCurrent(Record &out, LockMode lock) override;
  Result getBookmark(Bookmark &out) const override;
  Result gotoBookmark(const Bookmark &bookmark) override;
  Result findKey(const std::vector<Value> &key, Record &out) override;
  Result findText(SearchDirection direction, int fieldNo, const std::string &text, Record &out) override;
  Result modifyRecord(const Record &record) override;
  Result insertRecord(const Record &record) override;
  Result releaseLock() override;
  Result setPassword(const std::optional<std::string> &password) override;
  Result beginBulk() override;
  Result commitBulk() override;
  Result rollbackBulk() override;
  Result beginSnapshot() override;
  Result endSnapshot() override;
  Result integrityCheck(std::vector<std::string> &problems) override;
  void setReadAhead(int records) override { m_readAhead = records < 1 ? 1 : records; }

  // Creates the table file `path` with these fields and primary key.
  [[nodiscard]] static Result create(const std::string &path,
                                     const std::vector<FieldDescription> &fields,
                                     const std::vector<int> &primaryKey);

private:
  enum class Place { BeforeFirst, OnRecord, AfterLast };
  enum class Direction { Forward, Backward };

  SqliteCursor() = default;
  Result describe();
  Result prepareStatements();
  Result fail(int sqliteCode, const std::string &what = {}) const;
  // Reads the current row of `stmt` into `out` (fields, then key columns).
  Result rowToRecord(sqlite3_stmt *stmt, Record &out) const;
  // Checks field `i` of the current row of `stmt`; a text saying why it does
  // not fit, or nothing.
  std::optional<std::string> misfit(sqlite3_stmt *stmt, int i, const Bookmark &key) const;
  // Binds field `field`'s value at `index`; fails when it does not fit.
  Result bindField(sqlite3_stmt *stmt, int index, int field, const Value &value) const;
  void bindRaw(sqlite3_stmt *stmt, int index, const Value &value) const;
  Result readStep(Direction direction, Record &out);
  Result fillAhead(Direction direction);
  bool aheadIsFresh();
  void dropAhead() { m_ahead.clear(); }
  Result writeRecord(SqliteStatement &statement, const Record &record, bool withKey, Bookmark &key);
  std::string keyText(const Bookmark &key) const;
  std::string recordName(const Bookmark &key) const;
  Result runSql(const std::string &sql);

  sqlite3 *m_db = nullptr;
  std::string m_path;
  std::string m_table;
  bool m_writable = false;
  bool m_rowidKey = false; // ordered by row number: the table has no primary key
  TableDescription m_description;
  IndexDescription m_index;
  std::vector<std::string> m_keyColumns; // SQL expressions of the key, in order
  std::vector<int> m_writableFields;     // fields that UPDATE and INSERT set

  Place m_place = Place::BeforeFirst;
  Bookmark m_key; // the key of the record the cursor stands on
  std::deque<Record> m_ahead;
  Direction m_aheadDirection = Direction::Forward;
  long long m_dataVersion = -1;

  SqliteStatement m_first, m_last, m_after, m_before, m_at, m_update, m_insert, m_version;
  std::map<std::size_t, SqliteStatement> m_find; // by the number of key fields given
  // The text searches, by field, direction and whether they start after a key.
  std::map<std::tuple<int, bool, bool>, SqliteStatement> m_findText;
  std::string m_selectColumns; // the fields, then the key columns, for a SELECT
  RecordLock m_lock;
  bool m_bulk = false;
  bool m_snapshot = false;
  // Records read per key-set query: small, so that a step never costs more
  // than a few rows however long their texts are.
  int m_readAhead = 8;
};

} // namespace vandro::engine
