// A table opened for reading and writing records, in primary-key order.
#pragma once

#include "ChangeLog.h"
#include "Record.h"
#include "LockHolder.h"
#include "RecordFilter.h"
#include "Result.h"
#include "Schema.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vandro::engine {

enum class OpenMode { ReadWrite, ReadOnly };
enum class ShareMode { Shared, Exclusive };
enum class LockMode { NoLock, WriteLock };
enum class SearchDirection { Forward, Backward };

// A cursor stands before the first record, on a record, or after the last
// record. A read that finds nothing leaves it where it was, so that the caller
// can go on from the record it still has. A stored value that does not fit
// its field (another program stored it) is read as it is stored, of its own
// kind; integrityCheck names it. Every operation that fails fills the
// engine's error entries (ErrorEntries) with the table's location and the
// cause.
class Cursor {
public:
  virtual ~Cursor() = default;

  virtual const TableDescription &description() const = 0;
  // The primary index; `exists` is false for a table without one.
  virtual const IndexDescription &currentIndex() const = 0;
  // Where the table is, for messages: its file's full path, or its name on
  // its server.
  virtual const std::string &location() const = 0;
  // The table's name in its database ("Vandro" for "Vandro.DB").
  virtual const std::string &tableName() const = 0;

  // Place the cursor before the first or after the last record.
  [[nodiscard]] virtual Result setToBegin() = 0;
  [[nodiscard]] virtual Result setToEnd() = 0;

  // Move to the next (prior) record and read it: Ok; Eof (Bof) when there is
  // no later (earlier) record, the cursor staying where it was.
  [[nodiscard]] virtual Result readNext(Record &out) = 0;
  [[nodiscard]] virtual Result readPrior(Record &out) = 0;
  // Read the record the cursor stands on, fresh from the table. With
  // WriteLock the record is first locked against editing by any other
  // cursor or process: RecordLocked when another one holds it. Fails with
  // NoCurrentRecord before the first or after the last record, and with
  // RecordDeleted when the record has gone.
  [[nodiscard]] virtual Result readCurrent(Record &out, LockMode lock) = 0;

  // The bookmark of the record the cursor stands on (NoCurrentRecord when it
  // stands on none), and the way back to it. Going to the bookmark of a
  // record that has gone places the cursor where it stood.
  [[nodiscard]] virtual Result getBookmark(Bookmark &out) const = 0;
  [[nodiscard]] virtual Result gotoBookmark(const Bookmark &bookmark) = 0;

  // A record with every field null.
  Record blankRecord() const;

  // Place the cursor on the first record whose leading key fields equal
  // `key` (one value per key field given, at least one) and read it:
  // Ok, or RecordNotFound with the cursor left where it was. NoIndex for a
  // table without a primary index.
  [[nodiscard]] virtual Result findKey(const std::vector<Value> &key, Record &out) = 0;

  // The next (Forward) or prior (Backward) record in key order, after (before)
  // the one the cursor stands on, whose field `fieldNo` holds exactly `text`:
  // the UTF-8 bytes compared, letter case and blanks counting, a null never
  // matching. From before the first (after the last) record every record is
  // looked at. Ok with the cursor on the record found and `out` holding it;
  // Eof (Bof) when no record matches, the cursor staying where it was. For
  // string and memo fields; one query, never a record-by-record read.
  [[nodiscard]] virtual Result findText(SearchDirection direction, int fieldNo, const std::string &text,
                                        Record &out) = 0;
  // The same for the next (prior) record that passes every part of
  // `filter`: one key-set query from the cursor's place, whatever the
  // table's size; Eof (Bof) with the cursor where it was when none does.
  [[nodiscard]] virtual Result findWhere(SearchDirection direction, const RecordFilter &filter, Record &out) = 0;
  // How many records pass `filter` (all of them for an empty one), in one
  // counting query.
  [[nodiscard]] virtual Result countWhere(const RecordFilter &filter, std::int64_t &out) = 0;

  // Replace the record the cursor stands on, which this cursor must have
  // locked, and release the lock. The cursor then stands on the record,
  // also when its key changed. A value left as the edit read it is written
  // back as stored, unchecked (another program may have stored one that
  // does not fit its field). Fails with KeyViolation, ValueTooLong,
  // ValueDoesNotFit, RequiredValueMissing, TableIsReadOnly, RecordChanged
  // (the stored record is no longer the one the edit read) or a storage error;
  // on failure the lock stays held.
  [[nodiscard]] virtual Result modifyRecord(const Record &record) = 0;
  // Add a new record; the cursor then stands on it. Same failures.
  [[nodiscard]] virtual Result insertRecord(const Record &record) = 0;
  // Give up the lock taken by readCurrent, if any.
  [[nodiscard]] virtual Result releaseLock() = 0;
  // Delete the records with `keys` inside the open bulk transaction
  // (beginBulk), each first locked against editing by every other cursor
  // and process; the locks stay until the transaction ends, so nobody
  // starts an edit of a record that is going. RecordLocked naming the first
  // record another holds (nothing deleted then: roll the transaction back),
  // TableIsReadOnly, or a storage error. A key no record has is passed over.
  [[nodiscard]] virtual Result deleteRecords(const std::vector<Bookmark> &keys) = 0;

  // Table administration.
  // Set (or with nothing, remove) the table's password; Ok or a storage error
  // (NotForServerTables on a server).
  [[nodiscard]] virtual Result setPassword(const std::optional<std::string> &password) = 0;
  // Group many inserts into one transaction: all of them are stored at
  // commitBulk, none after rollbackBulk. A driver may check the records only
  // at commitBulk; its failure then has an entry "Record: ..." whose native
  // code is the failing record's number among the inserts, counted from 1.
  [[nodiscard]] virtual Result beginBulk() = 0;
  [[nodiscard]] virtual Result commitBulk() = 0;
  [[nodiscard]] virtual Result rollbackBulk() = 0;
  // Read from one snapshot of the table: what others commit meanwhile is
  // not seen until endSnapshot, so a whole-table read is consistent.
  [[nodiscard]] virtual Result beginSnapshot() = 0;
  [[nodiscard]] virtual Result endSnapshot() = 0;
  // The storage library's own consistency check of the table, then a check of
  // every stored value against its field's kind and size (values that other
  // programs wrote into it): one line per problem, none when all is well.
  [[nodiscard]] virtual Result integrityCheck(std::vector<std::string> &problems) = 0;
  // The records whose locks other cursors and programs hold now, each with
  // its holder (user, machine, since when), in the order of their keys
  // where the store tells them. A record the store cannot name (a lock
  // taken by a hash of its key) is left out.
  [[nodiscard]] virtual Result lockHolders(std::vector<LockHolder> &out) = 0;
  // How many records one read fetches ahead; larger for reading a whole
  // table at once, as an export does.
  virtual void setReadAhead(int records) = 0;

  // The quoted name of the table `<table><suffix>` beside this one: in the
  // same file, or the same schema on the server.
  virtual std::string siblingName(const std::string &suffix) const = 0;
  // Why the store cannot name the table (or index) `<table><suffix>`
  // beside this one (a server cuts long names), or nothing.
  virtual std::optional<std::string> siblingNameProblem(const std::string &suffix) const = 0;
  // Whether the table `<table><suffix>` exists beside this one.
  [[nodiscard]] virtual Result hasSibling(const std::string &suffix, bool &out) = 0;
  // The column type of a field of `kind` and `size` in this store's tables,
  // for the statements that make the tables beside this one.
  virtual std::string columnType(FieldKind kind, int size) const = 0;
  // The quoted name of this table, for the same statements.
  virtual std::string quotedName() const = 0;
  // The statements of the layers above about the table and the tables
  // kept beside it (what a table was imported from, counts): never text a
  // user typed. `sql` is portable SQL with "?" for each of
  // `parameters` (integers, reals, texts, bytes, nulls); it runs on the
  // cursor's connection, inside its bulk transaction when one is open. The
  // rows it gives, if any, go into `rows` (integers, reals, texts, bytes,
  // nulls, as the columns' types say). Fails with the storage library's
  // code and message. Never a write of the table's own records: those go
  // through modifyRecord, insertRecord and deleteRecords and their checks
  // (the table writable, other programs' record locks, the record as read).
  [[nodiscard]] virtual Result execute(const std::string &sql, const std::vector<Value> &parameters,
                                       std::vector<std::vector<Value>> *rows = nullptr) = 0;

  // Inside the open bulk transaction: adds `rows` to the table beside this
  // one that they name, as fast as the store allows (on a server, one
  // COPY). Fails with the storage library's code and message.
  [[nodiscard]] virtual Result appendRows(const LogRows &rows) = 0;
  // From now on every record this cursor writes (modifyRecord,
  // insertRecord, deleteRecords) is told to `log` inside the write's own
  // transaction; nothing when it is null.
  virtual void setChangeLog(std::shared_ptr<ChangeLog> log) = 0;
  // The role the session has on its server, for a log of who changed what;
  // empty for a file.
  virtual std::string sessionRole() const = 0;
  // The column definition of a key the store numbers itself, one past the
  // largest, for the statements that make the tables beside this one.
  virtual std::string numberedKeyColumn() const = 0;
};

} // namespace vandro::engine
