// What a cursor tells of every record it writes, so that a log of the
// changes is stored in the same transaction as the change itself.
#pragma once

#include "Result.h"
#include "Value.h"

#include <vector>

namespace vandro::engine {

class Cursor;

// One record written: its values before the write (none for a new record)
// and after it (none for a deleted one), in the table's field order.
struct RecordChange {
  const std::vector<Value> *before = nullptr;
  const std::vector<Value> *after = nullptr;
};

// Given to a cursor (Cursor::setChangeLog), it hears of every write the
// cursor makes, inside the write's transaction: a post or an insert is then
// stored together with what the log writes, or neither is. Inside a bulk
// transaction the log may keep what it writes until the commit.
class ChangeLog {
public:
  virtual ~ChangeLog() = default;
  // `change` was stored through `cursor`, whose transaction is open: the
  // log writes through the same cursor (Cursor::execute). A failure undoes
  // the change.
  [[nodiscard]] virtual Result written(Cursor &cursor, const RecordChange &change) = 0;
  // A bulk transaction is about to commit: whatever the log still keeps
  // of it is written now. A failure rolls the transaction back.
  [[nodiscard]] virtual Result committing(Cursor &cursor) = 0;
  // The transaction was rolled back: what the log kept of it goes.
  virtual void rolledBack() = 0;
};

} // namespace vandro::engine
