// What every driver's cursor shares: key-set paging in primary-key order,
// the read-ahead and the place the cursor stands on.
#pragma once

#include "Cursor.h"

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace vandro::engine {

// A cursor that reads records by key-set queries ("the next few records
// after this key"), never by a server-side cursor or a load of the table, so
// that no step's cost depends on the table's size. It keeps the records read
// ahead and serves them while the driver says nobody has changed the table
// since. It holds the rules of every read and write (the table writable, a
// current record, its lock held, the values fitting their fields); a driver
// supplies the queries, the writes and the record locks.
class KeySetCursor : public Cursor {
public:
  const TableDescription &description() const override { return m_description; }
  const IndexDescription &currentIndex() const override { return m_index; }
  const std::string &location() const override { return m_location; }
  const std::string &tableName() const override { return m_table; }
  Result readCurrent(Record &out, LockMode lock) override;
  Result modifyRecord(const Record &record) override;
  Result insertRecord(const Record &record) override;
  Result releaseLock() override;
  Result deleteRecords(const std::vector<Bookmark> &keys) override;

  Result setToBegin() override;
  Result setToEnd() override;
  Result readNext(Record &out) override;
  Result readPrior(Record &out) override;
  Result getBookmark(Bookmark &out) const override;
  Result gotoBookmark(const Bookmark &bookmark) override;
  Result findKey(const std::vector<Value> &key, Record &out) override;
  Result findText(SearchDirection direction, int fieldNo, const std::string &text, Record &out) override;
  Result findWhere(SearchDirection direction, const RecordFilter &filter, Record &out) override;
  Result countWhere(const RecordFilter &filter, std::int64_t &out) override;
  void setReadAhead(int records) override { m_readAhead = records < 1 ? 1 : records; }
  void setChangeLog(std::shared_ptr<ChangeLog> log) override { m_changeLog = std::move(log); }

protected:
  enum class Place { BeforeFirst, OnRecord, AfterLast };

  // The driver's queries. Each reads whole records, the bookmark filled in.
  // Up to `limit` records after (Forward) or before (Backward) `from`, in
  // key order, or from the start (end) when `from` is null. Records that
  // read well are kept even when a later one fails: the failure is then
  // answered when that record is reached.
  [[nodiscard]] virtual Result queryPage(SearchDirection direction, const Bookmark *from, int limit,
                                         std::deque<Record> &out) = 0;
  // The first record whose leading key fields equal `key`: RecordNotFound
  // when there is none.
  [[nodiscard]] virtual Result queryKey(const std::vector<Value> &key, Record &out) = 0;
  // The next (prior) record after (before) `from` (null: from the start or
  // end) that passes `filter` (checked already); Eof (Bof) when none.
  [[nodiscard]] virtual Result queryWhere(SearchDirection direction, const RecordFilter &filter, const Bookmark *from,
                                          Record &out) = 0;
  // How many records pass `filter`.
  [[nodiscard]] virtual Result queryCount(const RecordFilter &filter, std::int64_t &out) = 0;
  // Whether the records read ahead may still be served: nobody has
  // committed a change to the table since they were read.
  virtual bool aheadIsFresh() = 0;

  // The record with `key` as stored now: RecordNotFound when it has gone.
  // For an edit (ReadFor::Edit) the driver keeps the record as it found
  // it, so that a post stores only over exactly that.
  enum class ReadFor { Browse, Edit };
  [[nodiscard]] virtual Result queryRecord(const Bookmark &key, ReadFor purpose, Record &out) = 0;
  // Takes the record lock of `key` against every other cursor and process;
  // called only while the cursor holds none (m_lockedKey is the one record
  // of this cursor's lock). RecordLocked (from recordLocked) when another
  // holds it.
  [[nodiscard]] virtual Result lockRecord(const Bookmark &key) = 0;
  virtual void unlockRecord() = 0;
  // Stores `record` (checked already) over the locked record the cursor
  // stands on, only while that is still the record the edit read (else
  // RecordChanged, which the cursor explains); or as a new record. `key`
  // receives the stored record's key. The failures of the storage library
  // otherwise.
  // With `logged` (the change log's rows, never inside a bulk transaction)
  // the record and the rows are stored together or not at all: in one
  // transaction of the driver's own, or one statement.
  [[nodiscard]] virtual Result storeModified(const Record &record, Bookmark &key, const LogRows *logged) = 0;
  [[nodiscard]] virtual Result storeInserted(const Record &record, Bookmark &key, const LogRows *logged) = 0;
  // Inside a bulk transaction, whether one is open.
  virtual bool inBulk() const = 0;
  // Inside a bulk transaction: takes the record lock of `key` until the
  // transaction ends, beside any other held (RecordLocked from recordLocked
  // when another holds it); deletes the record with `key`, if any.
  [[nodiscard]] virtual Result lockUntilCommit(const Bookmark &key) = 0;
  [[nodiscard]] virtual Result storeDeleted(const Bookmark &key) = 0;

  // The drivers' bulk transaction, as the change log needs it: before the
  // commit the log writes what it kept (a failure: roll back); after a
  // rollback it forgets it.
  [[nodiscard]] Result changeLogCommitting();
  void changeLogRolledBack();

  // Whether the connection that held the edit's lock was lost while the
  // record was being edited, for the message of a refused post.
  virtual bool lostConnectionWhileEditing() const { return false; }
  // The failure of a lock that another cursor or process holds, naming the
  // holder where the driver can tell it (holderOf).
  Result recordLocked(const Bookmark &key) const;
  // Who holds the lock of the record with `key`, as far as the store keeps it.
  virtual std::optional<LockHolder> holderOf(const Bookmark &key) const = 0;

  // Where the table is, set by the driver as it opens it: its name in its
  // database, where it is for messages (`label` "File: " or "Table: " and
  // the place), and whether it is opened for writing.
  void setSite(std::string table, std::string label, std::string location, bool writable);
  // What the table holds, set by the driver once it has read the schema:
  // its fields, its key, how many values a bookmark has, and whether the
  // records are ordered by a row number (a table without a primary key).
  // The fields a write sets follow from it.
  void setShape(TableDescription description, IndexDescription index, int keyColumnCount, bool rowidKey);
  bool isWritable() const { return m_writable; }
  // The fields a write sets, in order.
  const std::vector<int> &writableFields() const { return m_writableFields; }

  Place place() const { return m_place; }
  // The key of the record the cursor stands on.
  const Bookmark &currentKey() const { return m_key; }
  // The cursor now stands on the record with `key` (after a write).
  void placeOn(Bookmark key);
  void dropAhead() { m_ahead.clear(); }
  // "Id = 5" for messages; "row 5 of T" for a table without a key.
  std::string recordName(const Bookmark &key) const;
  // The key values of `record`.
  Bookmark keyOf(const Record &record) const;
  // The key as one text that tells values of different kinds apart, for locks.
  static std::string keyText(const Bookmark &key);
  // "File: /path" or "Table: ..." for the error entries.
  std::string locationEntry() const { return m_locationLabel + m_location; }

private:
  Result readStep(SearchDirection direction, Record &out);
  // A filter's fields are the table's.
  void checkFilter(const RecordFilter &filter) const;
  // The checks of a write: the values a key or a required field needs, and
  // every value fitting its field (an empty auto-increment field of a new
  // record is numbered by the driver).
  enum class Write { Replace, Insert };
  Result checkWrite(const Record &record, Write write) const;
  // A post or an insert through `store`, told to the change log: its rows
  // given to `store` outside a bulk transaction, else the log told once
  // the record is stored.
  Result storeLogged(const RecordChange &change, const std::function<Result(const LogRows *)> &store);
  void letGo();
  // The failure of a post that found the stored record no longer the one
  // the edit read: deleted, or changed (the connection lost meanwhile).
  Result recordChanged();
  // The cursor stands on `record`, which `out` then holds.
  Result arriveAt(Record record, Record &out);

  TableDescription m_description;
  IndexDescription m_index;
  std::vector<int> m_writableFields; // the fields a write sets, in order
  bool m_writable = false;           // opened for writing
  std::string m_table;          // the table's name in its database
  std::string m_location;       // where it is, for messages
  std::string m_locationLabel = "File: ";
  bool m_rowidKey = false;      // ordered by a row number: the table has no primary key
  int m_keyColumnCount = 0;     // the values of a bookmark

  Place m_place = Place::BeforeFirst;
  Bookmark m_key;
  // keyText of the record locked for editing: the one place that says which
  // record this cursor holds; the drivers keep only what releases it.
  std::optional<std::string> m_lockedKey;
  std::vector<Value> m_readForEdit;       // its values as the edit read them
  std::deque<Record> m_ahead;
  SearchDirection m_aheadDirection = SearchDirection::Forward;
  // Records read per key-set query: small, so that a step never costs more
  // than a few rows however long their texts are.
  int m_readAhead = 8;
  std::shared_ptr<ChangeLog> m_changeLog; // told of every write, when set
};

} // namespace vandro::engine
