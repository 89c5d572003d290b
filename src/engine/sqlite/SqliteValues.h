// Values between SQLite's columns and parameters and the engine's values.
#pragma once

#include "../Record.h"
#include "../Result.h"
#include "../Schema.h"

#include <functional>
#include <optional>
#include <sqlite3.h>
#include <string>

namespace vandro::engine {

// The raw value of a key column, as bookmarks keep it.
Value keyValue(sqlite3_stmt *stmt, int column);
// The value of a column exactly as stored: its storage class and bytes.
Value storedValue(sqlite3_stmt *stmt, int column);
// Converts column `i` of the current row of `stmt` into the engine's value
// for `field`; false when the stored value does not fit the field's kind.
bool columnValue(sqlite3_stmt *stmt, int i, const FieldDescription &field, Value &value);
// Why column `i` of the current row does not fit `field`, naming the field
// and `record`; nothing when it fits.
std::optional<std::string> misfit(sqlite3_stmt *stmt, int i, const FieldDescription &field, const std::string &record);
// Binds `value` at `index` as it is.
void bindRaw(sqlite3_stmt *stmt, int index, const Value &value);
// Binds `value` of `field` at `index` as the file stores that kind; the
// value fits the field (the cursor checks every value it writes or seeks).
void bindField(sqlite3_stmt *stmt, int index, const FieldDescription &field, const Value &value);
// Reads the current row of `stmt` (the fields of `description`, then
// `keyColumns` key columns) into `out`. A stored value that does not fit
// its field (misfit) is read exactly as stored, of whatever kind it is.
void rowToRecord(sqlite3_stmt *stmt, const TableDescription &description, std::size_t keyColumns, Record &out);

} // namespace vandro::engine
