#include "SqliteErrors.h"

#include "../ErrorEntries.h"

namespace vandro::engine {

Result engineCodeFor(int sqliteCode) {
  switch (sqliteCode & 0xFF) {
  case SQLITE_BUSY:
  case SQLITE_LOCKED: return code::TableBusy;
  case SQLITE_NOTADB: return code::NotADatabase;
  case SQLITE_CORRUPT: return code::DatabaseDamaged;
  case SQLITE_FULL: return code::DiskFull;
  case SQLITE_IOERR: return code::IoFailure;
  case SQLITE_READONLY: return code::TableIsReadOnly;
  case SQLITE_PERM:
  case SQLITE_AUTH: return code::PermissionDenied;
  case SQLITE_CANTOPEN: return code::CannotOpenFile;
  case SQLITE_NOMEM: return code::OutOfMemory;
  case SQLITE_TOOBIG: return code::ValueTooLong;
  case SQLITE_CONSTRAINT:
    switch (sqliteCode) {
    case SQLITE_CONSTRAINT_PRIMARYKEY:
    case SQLITE_CONSTRAINT_UNIQUE:
    case SQLITE_CONSTRAINT_ROWID: return code::KeyViolation;
    case SQLITE_CONSTRAINT_NOTNULL: return code::RequiredValueMissing;
    default: return code::ConstraintFailed;
    }
  default: return code::InternalError;
  }
}

Result sqliteFailure(int sqliteCode, sqlite3 *db, const std::string &filePath,
                     const std::string &what) {
  const Result result = engineCodeFor(sqliteCode);
  std::string detail = db ? sqlite3_errmsg(db) : sqlite3_errstr(sqliteCode);
  // SQLite's own words would only say again what the code's message says.
  if ((sqliteCode & 0xFF) == SQLITE_NOTADB)
    detail = "Its first bytes are not those of an SQLite database file";
  if (!what.empty())
    detail = what + ": " + detail;
  return ErrorEntries::fail(result, {{result, 0, "File: " + filePath},
                                     {result, sqliteCode, detail}});
}

} // namespace vandro::engine
