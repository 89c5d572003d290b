#include "SqliteCursor.h"

#include "../DateText.h"
#include "../ErrorEntries.h"
#include "SqliteErrors.h"
#include "../FieldValues.h"
#include "../Quoted.h"
#include "../Utf8.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <sodium.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vandro::engine {

namespace {

// The table of table-wide settings (the password hash) kept in the file.
constexpr const char *kMetaTable = "_vandro_meta";

std::string fileEntry(const std::string &path) { return "File: " + path; }

// The URI for opening `path` with SQLite's URI options.
std::string fileUri(const std::string &path, const char *options) {
  std::string uri = "file:";
  for (unsigned char c : path) {
    if (std::isalnum(c) || std::strchr("/-_.~", c)) {
      uri += static_cast<char>(c);
    } else {
      char escaped[4];
      std::snprintf(escaped, sizeof escaped, "%%%02X", c);
      uri += escaped;
    }
  }
  return uri + "?" + options;
}

// Checks the header of an SQLite file against the file's length, so that a
// truncated file is reported as damaged when it is opened rather than on
// some later step.
Result checkLength(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  unsigned char header[100];
  if (!in.read(reinterpret_cast<char *>(header), sizeof header))
    return code::Ok; // too short to judge; SQLite itself decides
  if (std::memcmp(header, "SQLite format 3", 16) != 0)
    return code::Ok;
  const auto be32 = [&](int at) {
    return (std::uint32_t(header[at]) << 24) | (std::uint32_t(header[at + 1]) << 16) |
           (std::uint32_t(header[at + 2]) << 8) | std::uint32_t(header[at + 3]);
  };
  std::uint32_t pageSize = (std::uint32_t(header[16]) << 8) | header[17];
  if (pageSize == 1)
    pageSize = 65536;
  const std::uint32_t pages = be32(28);
  if (be32(24) != be32(92) || pages == 0)
    return code::Ok; // the page count in the header is not maintained
  std::error_code ec;
  const auto length = std::filesystem::file_size(path, ec);
  const std::uint64_t expected = std::uint64_t(pages) * pageSize;
  if (!ec && length < expected)
    return ErrorEntries::fail(
        code::DatabaseDamaged,
        {{code::DatabaseDamaged, 0, fileEntry(path)},
         {code::DatabaseDamaged, 0,
          "The file has " + std::to_string(length) + " bytes but its header counts " +
              std::to_string(expected) + ": it has been cut short"}});
  return code::Ok;
}

// The raw value of a key column, as bookmarks keep it.
Value keyValue(sqlite3_stmt *stmt, int column) {
  switch (sqlite3_column_type(stmt, column)) {
  case SQLITE_INTEGER: return Value::integer(sqlite3_column_int64(stmt, column));
  case SQLITE_FLOAT: return Value::real(sqlite3_column_double(stmt, column));
  case SQLITE_NULL: return Value();
  default:
    return Value::text(std::string(reinterpret_cast<const char *>(sqlite3_column_text(stmt, column)),
                                   static_cast<std::size_t>(sqlite3_column_bytes(stmt, column))));
  }
}

// The value of a column exactly as stored: its storage class and bytes.
Value storedValue(sqlite3_stmt *stmt, int column) {
  if (sqlite3_column_type(stmt, column) == SQLITE_BLOB) {
    const auto *data = static_cast<const std::uint8_t *>(sqlite3_column_blob(stmt, column));
    return Value::bytes(Bytes(data, data + sqlite3_column_bytes(stmt, column)));
  }
  return keyValue(stmt, column);
}

// Converts column `i` of the current row of `stmt` into the engine's value
// for `field`; false when the stored value does not fit the field's kind.
bool columnValue(sqlite3_stmt *stmt, int i, const FieldDescription &field, Value &value) {
  const int type = sqlite3_column_type(stmt, i);
  value = Value();
  if (type == SQLITE_NULL)
    return true;
  if (isIntegerKind(field.kind)) {
    if (type == SQLITE_INTEGER) {
      value = Value::integer(sqlite3_column_int64(stmt, i));
    } else if (type == SQLITE_FLOAT) {
      const double d = sqlite3_column_double(stmt, i);
      if (std::nearbyint(d) != d || std::fabs(d) >= 9.2e18)
        return false;
      value = Value::integer(static_cast<std::int64_t>(d));
    } else {
      return false;
    }
    return inRange(field.kind, value.asInteger());
  }
  if (field.kind == FieldKind::Decimal) {
    if (type != SQLITE_INTEGER && type != SQLITE_FLOAT)
      return false;
    const double d = sqlite3_column_double(stmt, i);
    if (std::fabs(d) >= 9.2e14)
      return false;
    value = type == SQLITE_INTEGER ? Value::integer(sqlite3_column_int64(stmt, i) * 10000)
                                   : Value::integer(std::llround(d * 10000.0));
    return true;
  }
  if (field.kind == FieldKind::Float || field.kind == FieldKind::Money) {
    if (type != SQLITE_INTEGER && type != SQLITE_FLOAT)
      return false;
    value = Value::real(sqlite3_column_double(stmt, i));
    return true;
  }
  if (isDateKind(field.kind)) {
    if (type != SQLITE_TEXT)
      return false;
    const auto days = isoTextToDays(reinterpret_cast<const char *>(sqlite3_column_text(stmt, i)));
    if (!days)
      return false;
    value = Value::real(*days);
    return true;
  }
  if (field.kind == FieldKind::Blob) {
    const auto *data = static_cast<const std::uint8_t *>(sqlite3_column_blob(stmt, i));
    value = Value::bytes(Bytes(data, data + sqlite3_column_bytes(stmt, i)));
    return true;
  }
  // String and memo: numbers that other programs stored read as their text.
  value = Value::text(std::string(reinterpret_cast<const char *>(sqlite3_column_text(stmt, i)),
                                  static_cast<std::size_t>(sqlite3_column_bytes(stmt, i))));
  return true;
}

} // namespace

SqliteCursor::~SqliteCursor() {
  if (m_bulk || m_snapshot)
    (void)runSql("ROLLBACK");
  m_lock.release();
  // Statements first: sqlite3_close refuses while any is unfinalised.
  m_first = {};
  m_last = {};
  m_after = {};
  m_before = {};
  m_at = {};
  m_update = {};
  m_insert = {};
  m_version = {};
  m_find.clear();
  m_findText.clear();
  m_executed.clear();
  sqlite3_close(m_db);
}

Result SqliteCursor::fail(int sqliteCode, const std::string &what) const {
  return sqliteFailure(sqliteCode, m_db, m_location, what);
}

Result SqliteCursor::runSql(const std::string &sql) {
  char *message = nullptr;
  const int rc = sqlite3_exec(m_db, sql.c_str(), nullptr, nullptr, &message);
  sqlite3_free(message);
  return rc == SQLITE_OK ? code::Ok : fail(rc);
}

Result SqliteCursor::open(const std::string &path, OpenMode openMode,
                          const std::vector<std::string> &passwords,
                          std::unique_ptr<Cursor> &out) {
  namespace fs = std::filesystem;
  std::error_code ec;
  // "Does not exist" and "may not be read" are told apart.
  const fs::file_status status = fs::status(path, ec);
  if (ec == std::errc::permission_denied)
    return ErrorEntries::fail(code::PermissionDenied,
                              {{code::PermissionDenied, 0, fileEntry(path)},
                               {code::PermissionDenied, 0, "A folder on the way to the file may not be searched"}});
  if (ec && ec != std::errc::no_such_file_or_directory && ec != std::errc::not_a_directory)
    return ErrorEntries::fail(code::IoFailure, {{code::IoFailure, 0, fileEntry(path)}, {code::IoFailure, 0, ec.message()}});
  if (ec || !fs::exists(status))
    return ErrorEntries::fail(code::TableNotFound, {{code::TableNotFound, 0, fileEntry(path)}});
  if (fs::is_directory(status))
    return ErrorEntries::fail(code::NotADatabase,
                              {{code::NotADatabase, 0, fileEntry(path)},
                               {code::NotADatabase, 0, "It is a directory"}});
  // A pipe or a device under the table's name would hang or mislead the
  // reads below.
  if (!fs::is_regular_file(status))
    return ErrorEntries::fail(code::NotADatabase,
                              {{code::NotADatabase, 0, fileEntry(path)},
                               {code::NotADatabase, 0, "It is not a regular file"}});
  if (::access(path.c_str(), R_OK) != 0 && errno == EACCES)
    return ErrorEntries::fail(code::PermissionDenied,
                              {{code::PermissionDenied, 0, fileEntry(path)},
                               {code::PermissionDenied, 0, "The file may not be read"}});
  // A write-ahead log beside the file means a writer may be checkpointing
  // into it right now (page 1 first), so its length says nothing then.
  const bool hasLog = fs::exists(path + "-wal", ec) && fs::file_size(path + "-wal", ec) > 0;
  if (!hasLog) {
    if (const Result result = checkLength(path); result != code::Ok)
      return result;
  }

  // Writing needs the file and, for the journal files, its directory.
  const std::string directory = fs::path(path).parent_path().string();
  if (openMode == OpenMode::ReadWrite &&
      (::access(path.c_str(), W_OK) != 0 ||
       ::access(directory.empty() ? "." : directory.c_str(), W_OK) != 0))
    return ErrorEntries::fail(code::ReadOnlyTable, {{code::ReadOnlyTable, 0, fileEntry(path)}});

  std::unique_ptr<SqliteCursor> cursor(new SqliteCursor);
  cursor->m_location = path;
  cursor->m_table = fs::path(path).stem().string();
  cursor->m_writable = openMode == OpenMode::ReadWrite;

  auto connect = [&](const std::string &name, int flags) {
    if (cursor->m_db) {
      cursor->m_first = {};
      sqlite3_close(cursor->m_db);
      cursor->m_db = nullptr;
    }
    return sqlite3_open_v2(name.c_str(), &cursor->m_db, flags | SQLITE_OPEN_NOMUTEX, nullptr);
  };
  cursor->m_logFiles.attach(path);
  int rc;
  if (cursor->m_writable) {
    rc = connect(path, SQLITE_OPEN_READWRITE);
    if (rc == SQLITE_OK && sqlite3_db_readonly(cursor->m_db, "main") == 1)
      return ErrorEntries::fail(code::ReadOnlyTable, {{code::ReadOnlyTable, 0, fileEntry(path)}});
  } else {
    rc = connect(path, SQLITE_OPEN_READONLY);
  }
  if (rc != SQLITE_OK)
    return cursor->fail(rc);
  sqlite3_extended_result_codes(cursor->m_db, 1);
  sqlite3_busy_timeout(cursor->m_db, 5000);
  // The tables kept beside the relation table refer to its records: a
  // record deleted through this connection takes its source with it.
  sqlite3_db_config(cursor->m_db, SQLITE_DBCONFIG_ENABLE_FKEY, 1, nullptr);

  // The first read of the schema tells whether this is a database at all.
  auto probe = [&] {
    return sqlite3_exec(cursor->m_db, "SELECT count(*) FROM sqlite_schema", nullptr, nullptr,
                        nullptr);
  };
  rc = probe();
  if (!cursor->m_writable && !hasLog &&
      ((rc & 0xFF) == SQLITE_CANTOPEN || (rc & 0xFF) == SQLITE_READONLY)) {
    // A write-ahead-log database on a medium that cannot be written at all,
    // with no log holding records that the file lacks: nobody can change
    // it, so it may be read without the shared-memory file.
    rc = connect(fileUri(path, "immutable=1"), SQLITE_OPEN_READONLY | SQLITE_OPEN_URI);
    if (rc == SQLITE_OK)
      rc = probe();
  }
  if (rc != SQLITE_OK)
    return cursor->fail(rc);

  // Everything up to the journal mode below only reads: a file that turns
  // out not to hold the table is left exactly as it was.
  if (const Result result = cursor->describe(); result != code::Ok)
    return result;

  // A table with a password opens only when the session holds it.
  {
    SqliteStatement query;
    const std::string sql = std::string("SELECT value FROM ") + kMetaTable +
                            " WHERE name = 'password'";
    if (query.prepare(cursor->m_db, sql) == SQLITE_OK && sqlite3_step(query.get()) == SQLITE_ROW) {
      const auto *hash = reinterpret_cast<const char *>(sqlite3_column_text(query.get(), 0));
      bool accepted = false;
      for (const auto &password : passwords) {
        if (hash && crypto_pwhash_str_verify(hash, password.data(), password.size()) == 0) {
          accepted = true;
          break;
        }
      }
      if (!accepted)
        return ErrorEntries::fail(code::PasswordNeeded,
                                  {{code::PasswordNeeded, 0, fileEntry(path)}});
    }
  }

  if (cursor->m_writable) {
    // Durable posts: a commit is on disk when it returns.
    if (const Result result = cursor->runSql("PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL");
        result != code::Ok)
      return result;
  }
  if (const Result result = cursor->prepareStatements(); result != code::Ok)
    return result;
  if (cursor->m_writable) {
    if (const Result result = cursor->m_lock.open(path); result != code::Ok)
      return result;
  }
  out = std::move(cursor);
  return code::Ok;
}

Result SqliteCursor::describe() {
  SqliteStatement info;
  int rc = info.prepare(m_db, "SELECT name, type, \"notnull\", pk, hidden FROM pragma_table_xinfo(?1)");
  if (rc != SQLITE_OK)
    return fail(rc);
  sqlite3_bind_text(info.get(), 1, m_table.c_str(), -1, SQLITE_TRANSIENT);
  std::vector<std::pair<int, int>> keyOrder; // (position in key, field number)
  std::vector<std::string> seen;
  while ((rc = sqlite3_step(info.get())) == SQLITE_ROW) {
    FieldDescription field;
    field.name = reinterpret_cast<const char *>(sqlite3_column_text(info.get(), 0));
    const auto *type = sqlite3_column_text(info.get(), 1);
    field.declaredType = type ? reinterpret_cast<const char *>(type) : "";
    field.required = sqlite3_column_int(info.get(), 2) != 0;
    const int pk = sqlite3_column_int(info.get(), 3);
    const int hidden = sqlite3_column_int(info.get(), 4);
    if (hidden == 1)
      continue; // a hidden column of a virtual table
    field.readOnly = hidden == 2 || hidden == 3; // generated columns
    // Declared types of generated columns carry "GENERATED ALWAYS" in some
    // SQLite versions; the kind is in the leading words.
    std::string typeText = field.declaredType;
    if (const auto g = typeText.find(" GENERATED"); g != std::string::npos)
      typeText = typeText.substr(0, g);
    const auto kind = kindFromDeclaredType(typeText);
    if (!kind)
      return ErrorEntries::fail(
          code::UnsupportedSchema,
          {{code::UnsupportedSchema, 0, locationEntry()},
           {code::UnsupportedSchema, 0,
            "Column \"" + field.name + "\" is declared as \"" + field.declaredType + "\""}});
    field.kind = kind->kind;
    field.size = kind->size;
    if (pk > 0)
      keyOrder.emplace_back(pk, static_cast<int>(m_description.fields.size()));
    m_description.fields.push_back(std::move(field));
  }
  if (rc != SQLITE_DONE)
    return fail(rc);
  if (m_description.fields.empty())
    return ErrorEntries::fail(code::TableMissingInFile,
                              {{code::TableMissingInFile, 0, locationEntry()},
                               {code::TableMissingInFile, 0, "No table named \"" + m_table + "\""}});
  std::sort(keyOrder.begin(), keyOrder.end());
  m_index = {};
  for (const auto &[position, field] : keyOrder) {
    m_index.keyFields.push_back(field);
    m_keyColumns.push_back(quoteIdentifier(m_description.fields[static_cast<std::size_t>(field)].name));
    const auto &f = m_description.fields[static_cast<std::size_t>(field)];
    m_index.keySize += storageSize(f.kind, f.size);
  }
  m_index.exists = !m_index.keyFields.empty();
  if (!m_index.exists) {
    m_rowidKey = true;
    m_keyColumns = {"rowid"};
  }
  m_keyColumnCount = static_cast<int>(m_keyColumns.size());
  for (std::size_t i = 0; i < m_description.fields.size(); ++i) {
    const auto &f = m_description.fields[i];
    m_description.recordSize += storageSize(f.kind, f.size);
    if (!f.readOnly)
      m_writableFields.push_back(static_cast<int>(i));
  }
  m_description.writable = m_writable;
  return code::Ok;
}

Result SqliteCursor::prepareStatements() {
  std::string columns;
  for (const auto &field : m_description.fields)
    columns += (columns.empty() ? "" : ", ") + quoteIdentifier(field.name);
  std::string key, keyAsc, keyDesc, placeholders;
  for (std::size_t i = 0; i < m_keyColumns.size(); ++i) {
    const char *sep = i ? ", " : "";
    key += sep + m_keyColumns[i];
    keyAsc += sep + m_keyColumns[i];
    keyDesc += sep + m_keyColumns[i] + " DESC";
    placeholders += std::string(sep) + "?" + std::to_string(i + 1);
  }
  const std::string table = quoteIdentifier(m_table);
  m_selectColumns = columns + ", " + key;
  const std::string select = "SELECT " + m_selectColumns + " FROM " + table;
  const std::string limit = " LIMIT ?" + std::to_string(m_keyColumns.size() + 1);
  struct Prepared {
    SqliteStatement &statement;
    std::string sql;
  };
  const Prepared statements[] = {
      {m_first, select + " ORDER BY " + keyAsc + " LIMIT ?1"},
      {m_last, select + " ORDER BY " + keyDesc + " LIMIT ?1"},
      {m_after, select + " WHERE (" + key + ") > (" + placeholders + ") ORDER BY " + keyAsc + limit},
      {m_before,
       select + " WHERE (" + key + ") < (" + placeholders + ") ORDER BY " + keyDesc + limit},
      {m_at, select + " WHERE (" + key + ") = (" + placeholders + ")"},
      {m_version, "PRAGMA data_version"},
  };
  for (const auto &p : statements)
    if (const int rc = p.statement.prepare(m_db, p.sql); rc != SQLITE_OK)
      return fail(rc, "Preparing " + p.sql);

  if (m_writable && !m_writableFields.empty()) {
    std::string sets, names, values;
    int n = 1;
    for (int field : m_writableFields) {
      const FieldDescription &description = m_description.fields[static_cast<std::size_t>(field)];
      const std::string name = quoteIdentifier(description.name);
      const std::string placeholder = "?" + std::to_string(n);
      sets += (n > 1 ? ", " : "") + name + " = " + placeholder;
      names += (n > 1 ? ", " : "") + name;
      values += n > 1 ? ", " : "";
      // An empty auto-increment field is numbered one past the largest, in
      // the same statement, so that two writers never take one number.
      values += description.kind == FieldKind::AutoInc
                    ? "coalesce(" + placeholder + ", (SELECT coalesce(max(" + name + "), 0) + 1 FROM " +
                          table + "))"
                    : placeholder;
      ++n;
    }
    // WHERE the key is the record's and every field still holds exactly
    // what it held when the edit began (the same storage class and bytes;
    // IS: null with null): other programs do not honour the record locks.
    std::string where;
    for (std::size_t i = 0; i < m_keyColumns.size(); ++i)
      where += std::string(i ? ", " : "") + "?" + std::to_string(n++);
    where = "(" + key + ") = (" + where + ")";
    for (const auto &field : m_description.fields)
      where += " AND " + quoteIdentifier(field.name) + " IS ?" + std::to_string(n++) + " COLLATE BINARY";
    const std::string update = "UPDATE " + table + " SET " + sets + " WHERE " + where + " RETURNING " + key;
    const std::string insert =
        "INSERT INTO " + table + " (" + names + ") VALUES (" + values + ") RETURNING " + key;
    if (const int rc = m_update.prepare(m_db, update); rc != SQLITE_OK)
      return fail(rc, "Preparing " + update);
    if (const int rc = m_insert.prepare(m_db, insert); rc != SQLITE_OK)
      return fail(rc, "Preparing " + insert);
  }
  return code::Ok;
}

Result SqliteCursor::rowToRecord(sqlite3_stmt *stmt, Record &out) const {
  const int fields = static_cast<int>(m_description.fields.size());
  out.values.assign(static_cast<std::size_t>(fields), Value());
  out.bookmark.clear();
  for (std::size_t k = 0; k < m_keyColumns.size(); ++k)
    out.bookmark.push_back(keyValue(stmt, fields + static_cast<int>(k)));
  for (int i = 0; i < fields; ++i) {
    if (!columnValue(stmt, i, m_description.fields[static_cast<std::size_t>(i)],
                     out.values[static_cast<std::size_t>(i)]))
      return ErrorEntries::fail(code::ValueDoesNotFit,
                                {{code::ValueDoesNotFit, 0, locationEntry()},
                                 {code::ValueDoesNotFit, 0, *misfit(stmt, i, out.bookmark)}});
  }
  return code::Ok;
}

std::optional<std::string> SqliteCursor::misfit(sqlite3_stmt *stmt, int i,
                                               const Bookmark &key) const {
  const auto &field = m_description.fields[static_cast<std::size_t>(i)];
  Value value;
  auto where = [&] { return "Field " + field.name + " of record " + recordName(key); };
  if (!columnValue(stmt, i, field, value)) {
    const char *stored = reinterpret_cast<const char *>(sqlite3_column_text(stmt, i));
    return where() + " holds '" + std::string(stored ? stored : "") + "', which is no " +
           field.declaredType;
  }
  if (const auto problem = storedValueProblem(field, value))
    return where() + " " + *problem;
  return std::nullopt;
}

void SqliteCursor::bindRaw(sqlite3_stmt *stmt, int index, const Value &value) const {
  if (value.isNull())
    sqlite3_bind_null(stmt, index);
  else if (value.isInteger())
    sqlite3_bind_int64(stmt, index, value.asInteger());
  else if (value.isReal())
    sqlite3_bind_double(stmt, index, value.asReal());
  else if (value.isText())
    sqlite3_bind_text(stmt, index, value.asText().data(), static_cast<int>(value.asText().size()),
                      SQLITE_STATIC);
  else if (value.asBytes().empty())
    sqlite3_bind_zeroblob(stmt, index, 0); // a null pointer would bind NULL
  else
    sqlite3_bind_blob(stmt, index, value.asBytes().data(), static_cast<int>(value.asBytes().size()),
                      SQLITE_STATIC);
}

Result SqliteCursor::bindField(sqlite3_stmt *stmt, int index, int fieldNumber,
                               const Value &value) const {
  const auto &field = m_description.fields[static_cast<std::size_t>(fieldNumber)];
  if (const Result fits = checkFieldValue(field, value, locationEntry()); fits != code::Ok)
    return fits;
  if (value.isNull()) {
    sqlite3_bind_null(stmt, index);
  } else if (field.kind == FieldKind::Decimal) {
    const std::int64_t units = value.asInteger();
    if (units % 10000 == 0)
      sqlite3_bind_int64(stmt, index, units / 10000);
    else
      sqlite3_bind_double(stmt, index, static_cast<double>(units) / 10000.0);
  } else if (field.kind == FieldKind::Float || field.kind == FieldKind::Money) {
    sqlite3_bind_double(stmt, index, value.isInteger() ? static_cast<double>(value.asInteger()) : value.asReal());
  } else if (isDateKind(field.kind)) {
    const double days = value.isReal() ? value.asReal() : static_cast<double>(value.asInteger());
    const std::string text = daysToIsoText(days, field.kind);
    sqlite3_bind_text(stmt, index, text.c_str(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
  } else if (field.kind == FieldKind::Blob && value.isText()) {
    sqlite3_bind_blob(stmt, index, value.asText().data(), static_cast<int>(value.asText().size()), SQLITE_STATIC);
  } else {
    bindRaw(stmt, index, value);
  }
  return code::Ok;
}

bool SqliteCursor::aheadIsFresh() {
  StatementUse use(m_version);
  long long version = -1;
  if (sqlite3_step(use.get()) == SQLITE_ROW)
    version = sqlite3_column_int64(use.get(), 0);
  const bool fresh = version == m_dataVersion && version != -1;
  m_dataVersion = version;
  return fresh;
}

Result SqliteCursor::queryPage(SearchDirection direction, const Bookmark *from, int limit,
                               std::deque<Record> &out) {
  const bool forward = direction == SearchDirection::Forward;
  SqliteStatement &statement = from ? (forward ? m_after : m_before) : (forward ? m_first : m_last);
  StatementUse use(statement);
  int limitIndex = 1;
  if (from) {
    for (std::size_t i = 0; i < from->size(); ++i)
      bindRaw(use.get(), static_cast<int>(i) + 1, (*from)[i]);
    limitIndex = static_cast<int>(m_keyColumns.size()) + 1;
  }
  sqlite3_bind_int(use.get(), limitIndex, limit);
  int rc;
  while ((rc = sqlite3_step(use.get())) == SQLITE_ROW) {
    Record record;
    if (const Result result = rowToRecord(use.get(), record); result != code::Ok)
      return result; // the good records first; the bad one fails when reached
    out.push_back(std::move(record));
  }
  if (rc != SQLITE_DONE)
    return fail(rc);
  return code::Ok;
}

Result SqliteCursor::readCurrent(Record &out, LockMode lock) {
  if (place() != Place::OnRecord)
    return ErrorEntries::fail(code::NoCurrentRecord, {{code::NoCurrentRecord, 0, locationEntry()}});
  if (lock == LockMode::WriteLock) {
    if (!m_writable)
      return ErrorEntries::fail(code::TableIsReadOnly, {{code::TableIsReadOnly, 0, locationEntry()}});
    // Lock first, then read: the edit starts from what is stored now.
    if (const Result result = m_lock.lock(keyText(currentKey()), RecordLock::offsetFor(currentKey()),
                                          recordName(currentKey()));
        result != code::Ok)
      return result;
  }
  StatementUse use(m_at);
  for (std::size_t i = 0; i < currentKey().size(); ++i)
    bindRaw(use.get(), static_cast<int>(i) + 1, currentKey()[i]);
  const int rc = sqlite3_step(use.get());
  Result result = code::Ok;
  if (rc == SQLITE_ROW) {
    result = rowToRecord(use.get(), out);
    if (result == code::Ok && lock == LockMode::WriteLock) {
      // The record as the edit found it: a post stores only over exactly this.
      m_readValues.clear();
      for (int i = 0; i < static_cast<int>(m_description.fields.size()); ++i)
        m_readValues.push_back(storedValue(use.get(), i));
    }
  } else if (rc == SQLITE_DONE)
    result = ErrorEntries::fail(code::RecordDeleted,
                                {{code::RecordDeleted, 0, "Record: " + recordName(currentKey())},
                                 {code::RecordDeleted, 0, locationEntry()}});
  else
    result = fail(rc);
  if (result != code::Ok && lock == LockMode::WriteLock)
    m_lock.release();
  return result;
}

Result SqliteCursor::queryKey(const std::vector<Value> &key, Record &out) {
  auto &statement = m_find[key.size()];
  if (!statement) {
    std::string where, order;
    for (std::size_t i = 0; i < m_keyColumns.size(); ++i) {
      if (i < key.size())
        where += std::string(i ? " AND " : "") + m_keyColumns[i] + " = ?" + std::to_string(i + 1);
      order += std::string(i ? ", " : "") + m_keyColumns[i];
    }
    const std::string sql = "SELECT " + m_selectColumns + " FROM " + quoteIdentifier(m_table) + " WHERE " + where +
                            " ORDER BY " + order + " LIMIT 1";
    if (const int rc = statement.prepare(m_db, sql); rc != SQLITE_OK)
      return fail(rc, "Preparing " + sql);
  }
  StatementUse use(statement);
  for (std::size_t i = 0; i < key.size(); ++i)
    if (const Result result = bindField(use.get(), static_cast<int>(i) + 1, m_index.keyFields[i], key[i]);
        result != code::Ok)
      return result;
  const int rc = sqlite3_step(use.get());
  if (rc == SQLITE_DONE)
    return ErrorEntries::fail(code::RecordNotFound);
  if (rc != SQLITE_ROW)
    return fail(rc);
  return rowToRecord(use.get(), out);
}

Result SqliteCursor::queryText(SearchDirection direction, int fieldNo, const std::string &text,
                               const Bookmark *from, Record &out) {
  const bool forward = direction == SearchDirection::Forward;
  auto &statement = m_findText[{fieldNo, forward, from != nullptr}];
  const int textIndex = from ? static_cast<int>(m_keyColumns.size()) + 1 : 1;
  if (!statement) {
    std::string key, placeholders, order;
    for (std::size_t i = 0; i < m_keyColumns.size(); ++i) {
      const char *sep = i ? ", " : "";
      key += sep + m_keyColumns[i];
      placeholders += std::string(sep) + "?" + std::to_string(i + 1);
      order += sep + m_keyColumns[i] + (forward ? "" : " DESC");
    }
    // The values a text field reads as text: texts, and bytes another
    // program stored, taken as UTF-8 text; a number stored by another
    // program reads as no text. Compared as texts (no column affinity
    // turns the asked text into a number) and BINARY: byte for byte,
    // whatever collation the column was declared with. The type is asked
    // only of the values that compare equal, which keeps the scan as fast
    // as a plain comparison.
    const std::string column = quoteIdentifier(m_description.fields[static_cast<std::size_t>(fieldNo)].name);
    const std::string asked = "?" + std::to_string(textIndex);
    std::string where = "CAST(" + column + " AS TEXT) = " + asked + " COLLATE BINARY AND typeof(" + column +
                        ") IN ('text', 'blob')";
    if (from)
      where = "(" + key + ") " + (forward ? ">" : "<") + " (" + placeholders + ") AND " + where;
    const std::string sql = "SELECT " + m_selectColumns + " FROM " + quoteIdentifier(m_table) + " WHERE " + where +
                            " ORDER BY " + order + " LIMIT 1";
    if (const int rc = statement.prepare(m_db, sql); rc != SQLITE_OK)
      return fail(rc, "Preparing " + sql);
  }
  StatementUse use(statement);
  if (from)
    for (std::size_t i = 0; i < from->size(); ++i)
      bindRaw(use.get(), static_cast<int>(i) + 1, (*from)[i]);
  sqlite3_bind_text(use.get(), textIndex, text.data(), static_cast<int>(text.size()), SQLITE_STATIC);
  const int rc = sqlite3_step(use.get());
  if (rc == SQLITE_DONE)
    return ErrorEntries::fail(forward ? code::Eof : code::Bof);
  if (rc != SQLITE_ROW)
    return fail(rc);
  return rowToRecord(use.get(), out);
}

Result SqliteCursor::writeRecord(SqliteStatement &statement, const Record &record, bool withKey,
                                 Bookmark &key) {
  if (!m_writable || !statement)
    return ErrorEntries::fail(code::TableIsReadOnly, {{code::TableIsReadOnly, 0, locationEntry()}});
  if (record.values.size() != m_description.fields.size())
    return ErrorEntries::fail(code::InvalidParameter,
                              {{code::InvalidParameter, 0, "A record of another table"}});
  StatementUse use(statement);
  int n = 1;
  for (int field : m_writableFields) {
    const Value &value = record.values[static_cast<std::size_t>(field)];
    const FieldDescription &description = m_description.fields[static_cast<std::size_t>(field)];
    // Checked here rather than left to SQLite, which fills an empty INTEGER
    // PRIMARY KEY with the next row number and lets other key columns hold
    // null, which no key comparison finds again. An empty auto-increment
    // field of a new record is numbered by the statement itself.
    const bool numbered = !withKey && description.kind == FieldKind::AutoInc;
    const bool isKey = std::find(m_index.keyFields.begin(), m_index.keyFields.end(), field) !=
                       m_index.keyFields.end();
    if ((description.required || isKey) && value.isNull() && !numbered)
      return ErrorEntries::fail(code::RequiredValueMissing,
                                {{code::RequiredValueMissing, 0, locationEntry()},
                                 {code::RequiredValueMissing, 0, "Field " + description.name}});
    if (const Result result = bindField(use.get(), n++, field, value);
        result != code::Ok)
      return result;
  }
  if (withKey) {
    for (const auto &part : currentKey())
      bindRaw(use.get(), n++, part);
    for (const auto &value : m_readValues)
      bindRaw(use.get(), n++, value);
  }
  const int rc = sqlite3_step(use.get());
  if (rc == SQLITE_DONE && withKey)
    return recordChanged();
  if (rc != SQLITE_ROW) {
    const Result result = fail(rc);
    if (result == code::KeyViolation && m_index.exists) {
      Bookmark wanted;
      for (int field : m_index.keyFields)
        wanted.push_back(record.values[static_cast<std::size_t>(field)]);
      ErrorEntries::add({code::KeyViolation, 0, "Record: " + recordName(wanted)});
    }
    return result;
  }
  key.clear();
  for (std::size_t k = 0; k < m_keyColumns.size(); ++k)
    key.push_back(keyValue(use.get(), static_cast<int>(k)));
  // Step to the end so that the statement's write is complete.
  const int end = sqlite3_step(use.get());
  if (end != SQLITE_DONE)
    return fail(end);
  return code::Ok;
}

Result SqliteCursor::recordChanged() {
  std::vector<ErrorEntry> entries;
  {
    StatementUse use(m_at);
    for (std::size_t i = 0; i < currentKey().size(); ++i)
      bindRaw(use.get(), static_cast<int>(i) + 1, currentKey()[i]);
    if (sqlite3_step(use.get()) == SQLITE_DONE)
      entries.push_back({code::RecordChanged, 0, "It has been deleted"});
  }
  entries.push_back({code::RecordChanged, 0, "Record: " + recordName(currentKey())});
  entries.push_back({code::RecordChanged, 0, locationEntry()});
  return ErrorEntries::fail(code::RecordChanged, entries);
}

Result SqliteCursor::modifyRecord(const Record &record) {
  if (!m_writable)
    return ErrorEntries::fail(code::TableIsReadOnly, {{code::TableIsReadOnly, 0, locationEntry()}});
  if (place() != Place::OnRecord)
    return ErrorEntries::fail(code::NoCurrentRecord, {{code::NoCurrentRecord, 0, locationEntry()}});
  if (m_lock.held() != keyText(currentKey()))
    return ErrorEntries::fail(code::RecordNotLocked,
                              {{code::RecordNotLocked, 0, "Record: " + recordName(currentKey())}});
  Bookmark key;
  if (const Result result = writeRecord(m_update, record, true, key); result != code::Ok)
    return result;
  m_lock.release();
  placeOn(key);
  return code::Ok;
}

Result SqliteCursor::insertRecord(const Record &record) {
  Bookmark key;
  if (const Result result = writeRecord(m_insert, record, false, key); result != code::Ok)
    return result;
  placeOn(key);
  return code::Ok;
}

Result SqliteCursor::releaseLock() {
  m_lock.release();
  return code::Ok;
}

Result SqliteCursor::setPassword(const std::optional<std::string> &password) {
  if (!m_writable)
    return ErrorEntries::fail(code::TableIsReadOnly, {{code::TableIsReadOnly, 0, locationEntry()}});
  if (password && password->size() > 255)
    return ErrorEntries::fail(code::PasswordTooLong);
  if (!password)
    return runSql(std::string("DROP TABLE IF EXISTS ") + kMetaTable);
  char hash[crypto_pwhash_STRBYTES];
  if (crypto_pwhash_str(hash, password->data(), password->size(), crypto_pwhash_OPSLIMIT_INTERACTIVE,
                        crypto_pwhash_MEMLIMIT_INTERACTIVE) != 0)
    return ErrorEntries::fail(code::OutOfMemory);
  if (const Result result = runSql(std::string("CREATE TABLE IF NOT EXISTS ") + kMetaTable +
                                   " (name TEXT PRIMARY KEY, value TEXT)");
      result != code::Ok)
    return result;
  SqliteStatement store;
  const std::string sql =
      std::string("INSERT OR REPLACE INTO ") + kMetaTable + " (name, value) VALUES ('password', ?1)";
  if (const int rc = store.prepare(m_db, sql); rc != SQLITE_OK)
    return fail(rc);
  sqlite3_bind_text(store.get(), 1, hash, -1, SQLITE_STATIC);
  if (const int rc = sqlite3_step(store.get()); rc != SQLITE_DONE)
    return fail(rc);
  return code::Ok;
}

Result SqliteCursor::beginBulk() {
  if (!m_writable)
    return ErrorEntries::fail(code::TableIsReadOnly, {{code::TableIsReadOnly, 0, locationEntry()}});
  if (const Result result = runSql("BEGIN IMMEDIATE"); result != code::Ok)
    return result;
  m_bulk = true;
  return code::Ok;
}

Result SqliteCursor::commitBulk() {
  if (const Result result = runSql("COMMIT"); result != code::Ok)
    return result;
  m_bulk = false;
  return code::Ok;
}

Result SqliteCursor::rollbackBulk() {
  m_bulk = false;
  dropAhead();
  return runSql("ROLLBACK");
}

Result SqliteCursor::beginSnapshot() {
  // A deferred transaction holds its snapshot from its first read on.
  if (const Result result = runSql("BEGIN; SELECT count(*) FROM sqlite_schema"); result != code::Ok)
    return result;
  m_snapshot = true;
  dropAhead();
  return code::Ok;
}

Result SqliteCursor::endSnapshot() {
  m_snapshot = false;
  return runSql("COMMIT");
}

Result SqliteCursor::integrityCheck(std::vector<std::string> &problems) {
  problems.clear();
  SqliteStatement check;
  int rc = check.prepare(m_db, "PRAGMA integrity_check");
  if (rc != SQLITE_OK)
    return fail(rc);
  while ((rc = sqlite3_step(check.get())) == SQLITE_ROW) {
    const std::string line = reinterpret_cast<const char *>(sqlite3_column_text(check.get(), 0));
    if (line != "ok")
      problems.push_back(line);
  }
  if (rc != SQLITE_DONE)
    return fail(rc);
  // Every stored value against its field, in key order.
  StatementUse all(m_first);
  sqlite3_bind_int(all.get(), 1, -1); // no limit
  const int fields = static_cast<int>(m_description.fields.size());
  while ((rc = sqlite3_step(all.get())) == SQLITE_ROW) {
    Bookmark key;
    for (std::size_t k = 0; k < m_keyColumns.size(); ++k)
      key.push_back(keyValue(all.get(), fields + static_cast<int>(k)));
    for (int i = 0; i < fields; ++i)
      if (auto problem = misfit(all.get(), i, key))
        problems.push_back(*problem);
  }
  if (rc != SQLITE_DONE)
    return fail(rc);
  return code::Ok;
}

std::string SqliteCursor::siblingName(const std::string &suffix) const { return quoteIdentifier(m_table + suffix); }
std::string SqliteCursor::quotedName() const { return quoteIdentifier(m_table); }

Result SqliteCursor::execute(const std::string &sql, const std::vector<Value> &parameters,
                             std::vector<std::vector<Value>> *rows) {
  auto &statement = m_executed[sql];
  if (!statement)
    if (const int rc = statement.prepare(m_db, sql); rc != SQLITE_OK) {
      m_executed.erase(sql);
      return fail(rc, "Preparing " + sql);
    }
  StatementUse use(statement);
  for (std::size_t i = 0; i < parameters.size(); ++i)
    bindRaw(use.get(), static_cast<int>(i) + 1, parameters[i]);
  int rc;
  while ((rc = sqlite3_step(use.get())) == SQLITE_ROW) {
    if (!rows)
      continue;
    std::vector<Value> row;
    for (int c = 0; c < sqlite3_column_count(use.get()); ++c)
      row.push_back(storedValue(use.get(), c));
    rows->push_back(std::move(row));
  }
  // What the statement wrote shows on the next read, not a stale page.
  dropAhead();
  return rc == SQLITE_DONE ? code::Ok : fail(rc);
}

Result SqliteCursor::create(const std::string &path, const std::vector<FieldDescription> &fields,
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

} // namespace vandro::engine
