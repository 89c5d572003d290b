#include "SqliteDatabase.h"

#include "../Engine.h"
#include "../ErrorEntries.h"
#include "SqliteCursor.h"

#include <filesystem>

namespace vandro::engine {

SqliteDatabase::SqliteDatabase(Engine &engine, std::string directory, OpenMode openMode,
                               ShareMode)
    : m_engine(engine), m_directory(std::move(directory)), m_openMode(openMode) {}

std::string SqliteDatabase::pathOf(const std::string &tableName) const {
  return (std::filesystem::path(m_directory) / tableName).string();
}

Result SqliteDatabase::openTable(const std::string &tableName, const std::string &tableType,
                                 OpenMode openMode, ShareMode, std::unique_ptr<Cursor> &out) {
  // SQLite is the only table driver, so every table type means it. The
  // share mode is always shared: record locks keep editors apart.
  if (tableType != "default" && tableType != "sqlite")
    return ErrorEntries::fail(code::UnsupportedTableType,
                              {{code::UnsupportedTableType, 0, "Table type: " + tableType}});
  if (tableName.empty() || tableName.find('/') != std::string::npos)
    return ErrorEntries::fail(code::InvalidParameter,
                              {{code::InvalidParameter, 0, "Table name: " + tableName}});
  const OpenMode mode = m_openMode == OpenMode::ReadOnly ? OpenMode::ReadOnly : openMode;
  return SqliteCursor::open(pathOf(tableName), mode, m_engine.passwords(), out);
}

bool SqliteDatabase::tableExists(const std::string &tableName) const {
  std::error_code ec;
  return std::filesystem::exists(pathOf(tableName), ec);
}

Result SqliteDatabase::createTable(const std::string &tableName,
                                   const std::vector<FieldDescription> &fields,
                                   const std::vector<int> &primaryKey) {
  if (tableName.empty() || tableName.find('/') != std::string::npos || fields.empty())
    return ErrorEntries::fail(code::InvalidParameter,
                              {{code::InvalidParameter, 0, "Table name: " + tableName}});
  return SqliteCursor::create(pathOf(tableName), fields, primaryKey);
}

} // namespace vandro::engine
