#include "SqliteDatabase.h"

#include "../Engine.h"
#include "../ErrorEntries.h"
#include "../Quoted.h"
#include "SqliteCursor.h"
#include "SqliteErrors.h"
#include "SqliteOpening.h"

#include <cerrno>
#include <filesystem>
#include <sqlite3.h>
#include <unistd.h>

namespace vandro::engine {

namespace {

// Creates the table file `path` with these fields and primary key.
Result createTableFile(const std::string &path, const std::vector<FieldDescription> &fields,
                       const std::vector<int> &primaryKey) {
  std::error_code ec;
  if (std::filesystem::exists(std::filesystem::symlink_status(path, ec)))
    return ErrorEntries::fail(code::TableExists, {{code::TableExists, 0, fileEntry(path)}});
  // Said plainly here: SQLite would only say it is "unable to open" the file.
  const std::string folder = std::filesystem::path(path).parent_path().string();
  if (::access(folder.empty() ? "." : folder.c_str(), W_OK | X_OK) != 0 && errno == EACCES)
    return ErrorEntries::fail(code::PermissionDenied,
                              {{code::PermissionDenied, 0, fileEntry(path)},
                               {code::PermissionDenied, EACCES, "The folder may not be written: " + folder}});
  sqlite3 *db = nullptr;
  int rc = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
  auto failure = [&](int sqliteCode) {
    const Result result = sqliteFailure(sqliteCode, db, path);
    sqlite3_close(db);
    ::unlink(path.c_str());
    return result;
  };
  if (rc != SQLITE_OK)
    return failure(rc);
  std::string sql = "CREATE TABLE " + quoteIdentifier(std::filesystem::path(path).stem().string()) + " (";
  for (std::size_t i = 0; i < fields.size(); ++i) {
    const auto &f = fields[i];
    sql += (i ? ", " : "") + quoteIdentifier(f.name) + " " + declaredTypeFor(f.kind, f.size);
    if (f.required)
      sql += " NOT NULL";
    if (primaryKey.size() == 1 && primaryKey[0] == static_cast<int>(i))
      sql += " PRIMARY KEY";
  }
  if (primaryKey.size() > 1) {
    sql += ", PRIMARY KEY (";
    for (std::size_t k = 0; k < primaryKey.size(); ++k)
      sql += (k ? ", " : "") + quoteIdentifier(fields[static_cast<std::size_t>(primaryKey[k])].name);
    sql += ")";
  }
  sql += ")";
  rc = sqlite3_exec(db, ("PRAGMA journal_mode=WAL; " + sql).c_str(), nullptr, nullptr, nullptr);
  if (rc != SQLITE_OK)
    return failure(rc);
  sqlite3_close(db);
  return code::Ok;
}

} // namespace

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
  return createTableFile(pathOf(tableName), fields, primaryKey);
}

} // namespace vandro::engine
