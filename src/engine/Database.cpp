#include "Database.h"

#include "ErrorEntries.h"

namespace vandro::engine {

Result Database::openTable(const std::string &tableName, const std::string &tableType, OpenMode openMode, ShareMode,
                           std::unique_ptr<Cursor> &out) {
  // The share mode is always shared: record locks keep editors apart.
  if (tableType != "default" && tableType != m_tableType)
    return ErrorEntries::fail(code::UnsupportedTableType, {{code::UnsupportedTableType, 0, "Table type: " + tableType}});
  if (!nameFits(tableName))
    return ErrorEntries::fail(code::InvalidParameter, {{code::InvalidParameter, 0, "Table name: " + tableName}});
  return openNamedTable(tableName, m_openMode == OpenMode::ReadOnly ? OpenMode::ReadOnly : openMode, out);
}

bool Database::tableExists(const std::string &tableName) const { return nameFits(tableName) && hasTable(tableName); }

Result Database::createTable(const std::string &tableName, const std::vector<FieldDescription> &fields,
                             const std::vector<int> &primaryKey) {
  if (!nameFits(tableName) || fields.empty())
    return ErrorEntries::fail(code::InvalidParameter, {{code::InvalidParameter, 0, "Table name: " + tableName}});
  return makeTable(tableName, fields, primaryKey);
}

} // namespace vandro::engine
