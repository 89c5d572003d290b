// A record buffer and the bookmark that finds a record again.
#pragma once

#include "Value.h"

#include <vector>

namespace vandro::engine {

// Where a record stands in its table: the values of its primary key (or the
// row number, for a table without one). Empty means "no record".
using Bookmark = std::vector<Value>;

struct Record {
  std::vector<Value> values; // one per field, in the table's field order
  Bookmark bookmark;         // filled in by the engine when it reads the record
};

} // namespace vandro::engine
