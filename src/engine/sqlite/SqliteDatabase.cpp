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

SqliteDatabase::SqliteDatabase(Engine &engine, std::string directory, OpenMode openMode)
    : Database(std::move(directory), openMode, kDirectoryDriver), m_engine(engine) {}

Result SqliteDatabase::start() {
  if (const int rc = sqlite3_initialize(); rc != SQLITE_OK)
    return ErrorEntries::fail(code::EngineStartFailed, {{code::EngineStartFailed, rc, sqlite3_errstr(rc)}});
  return code::Ok;
}

Result SqliteDatabase::open(Engine &engine, const DatabasePlace &place, std::unique_ptr<Database> &out) {
  namespace fs = std::filesystem;
  if (!place.alias.empty() && place.info.path.empty())
    return ErrorEntries::fail(code::AliasIncomplete, place.entries(code::AliasIncomplete));
  std::error_code ec;
  const fs::path absolute = fs::absolute(place.alias.empty() ? place.path : place.info.path, ec).lexically_normal();
  const fs::file_status status = fs::status(absolute, ec);
  Result failure = code::Ok;
  std::string cause;
  if (ec == std::errc::permission_denied) {
    failure = code::PermissionDenied;
    cause = "A folder on the way to it may not be searched";
  } else if (ec && ec != std::errc::no_such_file_or_directory && ec != std::errc::not_a_directory) {
    failure = code::IoFailure;
    cause = ec.message();
  } else if (ec || !fs::exists(status)) {
    failure = code::DirectoryNotFound;
  } else if (!fs::is_directory(status)) {
    failure = code::DirectoryNotFound;
    cause = "It is a file, not a folder";
  }
  if (failure != code::Ok) {
    std::vector<ErrorEntry> entries{{failure, 0, "Directory: " + absolute.string()}};
    if (!cause.empty())
      entries.push_back({failure, 0, cause});
    for (auto &entry : place.entries(failure))
      entries.push_back(std::move(entry));
    return ErrorEntries::fail(failure, entries);
  }
  out = std::make_unique<SqliteDatabase>(engine, absolute.string(), place.openMode);
  return code::Ok;
}

std::string SqliteDatabase::pathOf(const std::string &tableName) const {
  return (std::filesystem::path(location()) / tableName).string();
}

std::optional<std::string> SqliteDatabase::tableNameProblem(const std::string &tableName, bool) const {
  // A table is a file of the directory: its plain name, never a path. The
  // companion tables live inside its file.
  if (tableName.find('/') != std::string::npos)
    return "A table of a directory is named by its file name alone, without a '/'";
  return std::nullopt;
}

Result SqliteDatabase::openNamedTable(const std::string &tableName, OpenMode openMode, std::unique_ptr<Cursor> &out) {
  return SqliteCursor::open(pathOf(tableName), openMode, m_engine.passwords(), out);
}

bool SqliteDatabase::hasTable(const std::string &tableName) const {
  std::error_code ec;
  return std::filesystem::exists(pathOf(tableName), ec);
}

Result SqliteDatabase::makeTable(const std::string &tableName, const std::vector<FieldDescription> &fields,
                                 const std::vector<int> &primaryKey) {
  return createTableFile(pathOf(tableName), fields, primaryKey);
}

} // namespace vandro::engine
