#include "Database.h"

#include "ErrorEntries.h"

namespace vandro::engine {

Result Database::openTable(const std::string &tableName, const std::string &tableType, OpenMode openMode, ShareMode,
                           std::unique_ptr<Cursor> &out) {
  // The share mode is always shared: record locks keep editors apart.
  if (tableType != "default" && tableType != m_tableType)
    return ErrorEntries::fail(code::UnsupportedTableType, {{code::UnsupportedTableType, 0, "Table type: " + tableType}});
  if (const auto problem = nameProblem(tableName, false))
    return ErrorEntries::fail(code::InvalidParameter, {{code::InvalidParameter, 0, "Table name: " + tableName},
                                                       {code::InvalidParameter, 0, *problem}});
  return openNamedTable(tableName, m_openMode == OpenMode::ReadOnly ? OpenMode::ReadOnly : openMode, out);
}

bool Database::tableExists(const std::string &tableName) const {
  return !nameProblem(tableName, false) && hasTable(tableName);
}

std::optional<std::string> Database::nameProblem(const std::string &tableName, bool making) const {
  if (tableName.empty())
    return "A table needs a name";
  return tableNameProblem(tableName, making);
}

Result Database::createTable(const std::string &tableName, const std::vector<FieldDescription> &fields,
                             const std::vector<int> &primaryKey) {
  if (fields.empty())
    return ErrorEntries::fail(code::InvalidParameter, {{code::InvalidParameter, 0, "Table name: " + tableName},
                                                       {code::InvalidParameter, 0, "A table needs a field"}});
  if (const auto problem = nameProblem(tableName, true))
    return ErrorEntries::fail(code::InvalidParameter, {{code::InvalidParameter, 0, "Table name: " + tableName},
                                                       {code::InvalidParameter, 0, *problem}});
  return makeTable(tableName, fields, primaryKey);
}

} // namespace vandro::engine
