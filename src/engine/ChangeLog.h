// What a cursor tells of every record it writes, so that a log of the
// changes is stored in the same transaction as the change itself.
#pragma once

#include "Result.h"
#include "Value.h"

#include <string>
#include <vector>

namespace vandro::engine {

class Cursor;

// One record written: its values before the write (none for a new record)
// and after it (none for a deleted one), in the table's field order.
struct RecordChange {
  const std::vector<Value> *before = nullptr;
  const std::vector<Value> *after = nullptr;
};

// The rows a log adds for one change to a table beside the written one:
// the table (as Cursor::siblingName gives it), its columns, and the rows'
// values (integers, reals, texts, nulls) in the columns' order.
struct LogRows {
  std::string table;
  std::vector<std::string> columns;
  std::vector<std::vector<Value>> rows;
};

// Given to a cursor (Cursor::setChangeLog), it hears of every write the
// cursor makes, inside the write's transaction: a post or an insert is then
// stored together with what the log writes, or neither is. Inside a bulk
// transaction the log may keep what it writes until the commit.
class ChangeLog {
public:
  virtual ~ChangeLog() = default;
  // The rows `change` adds, asked before a post or an insert outside a
  // bulk transaction is stored: the cursor stores them with the record, in
  // one transaction (on a server, in one statement). A failure stores
  // neither.
  [[nodiscard]] virtual Result rowsFor(Cursor &cursor, const RecordChange &change, LogRows &out) = 0;
  // Inside a bulk transaction: `change` was stored through `cursor`, whose
  // transaction is open; the log writes through the same cursor
  // (Cursor::execute), now or at `committing`. A failure rolls the bulk
  // transaction back.
  [[nodiscard]] virtual Result written(Cursor &cursor, const RecordChange &change) = 0;
  // A bulk transaction is about to commit: whatever the log still keeps
  // of it is written now. A failure rolls the transaction back.
  [[nodiscard]] virtual Result committing(Cursor &cursor) = 0;
  // The transaction was rolled back: what the log kept of it goes.
  virtual void rolledBack() = 0;
};

} // namespace vandro::engine
