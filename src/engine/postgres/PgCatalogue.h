// What the server's catalogue says of a table.
#pragma once

#include "../Result.h"
#include "../Schema.h"
#include "PgConnection.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vandro::engine {

// A table as the engine describes it: its fields, its primary key (and the
// key columns quoted, in key order), and its identity (oid).
struct PgTable {
  TableDescription description;
  IndexDescription index;
  std::vector<std::string> keyColumns;
  std::uint32_t oid = 0;
};

// Describes the table `qualified` ("schema"."table") in one request.
// TableNotFound; ReadOnlyTable when `writable` is asked for and the user may
// not update and insert; UnsupportedSchema for a column of a type no field
// kind holds, or a table without a primary key. `location` is the error
// entry that names the table.
Result describePgTable(PgConnection &connection, const std::string &qualified, const std::string &location,
                       bool writable, PgTable &out);

} // namespace vandro::engine
