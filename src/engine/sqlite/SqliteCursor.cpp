#include "SqliteCursor.h"

#include "../CaseFold.h"
#include "../DateText.h"
#include "../ErrorEntries.h"
#include "../Expects.h"
#include "../ServerWait.h"
#include "SqliteErrors.h"
#include "SqliteOpening.h"
#include "SqliteValues.h"
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

// vandro_folded(x): the text x with its letter case set aside (foldedCase);
// bytes read as their UTF-8 text, anything else (a number, a null) as no
// text at all.
void foldedFunction(sqlite3_context *context, int, sqlite3_value **arguments) {
  const int type = sqlite3_value_type(arguments[0]);
  if (type != SQLITE_TEXT && type != SQLITE_BLOB) {
    sqlite3_result_null(context);
    return;
  }
  const auto *bytes = static_cast<const char *>(sqlite3_value_blob(arguments[0]));
  const std::string folded =
      foldedCase(std::string_view(bytes ? bytes : "", static_cast<std::size_t>(sqlite3_value_bytes(arguments[0]))));
  sqlite3_result_text64(context, folded.data(), folded.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
}

void registerFolding(sqlite3 *db) {
  sqlite3_create_function_v2(db, "vandro_folded", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS, nullptr,
                             foldedFunction, nullptr, nullptr, nullptr);
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
  m_delete = {};
  m_version = {};
  m_find.clear();
  m_filtered.clear();
  m_executed.clear();
  sqlite3_close(m_db);
}

Result SqliteCursor::fail(int sqliteCode, const std::string &what) const {
  return sqliteFailure(sqliteCode, m_db, location(), what);
}

Result SqliteCursor::runSql(const std::string &sql) {
  char *message = nullptr;
  const int rc = sqlite3_exec(m_db, sql.c_str(), nullptr, nullptr, &message);
  sqlite3_free(message);
  return rc == SQLITE_OK ? code::Ok : fail(rc);
}

namespace {

// Another writer's transaction is waited for at most five seconds, a
// fiftieth of a second at a time, the program's windows painting meanwhile.
int waitForWriter(void *, int tries) {
  constexpr int kStepMs = 20, kLongestMs = 5000;
  const int waited = tries * kStepMs;
  if (waited >= kLongestMs)
    return 0;
  ::usleep(kStepMs * 1000);
  if (waited % 100 == 0 && waited > 0)
    stillWaiting(waited);
  return 1;
}

} // namespace

Result SqliteCursor::open(const std::string &path, OpenMode openMode,
                          const std::vector<std::string> &passwords,
                          std::unique_ptr<Cursor> &out) {
  bool hasLog = false;
  if (const Result checked = checkTableFile(path, openMode, hasLog); checked != code::Ok)
    return checked;

  std::unique_ptr<SqliteCursor> cursor(new SqliteCursor);
  cursor->setSite(std::filesystem::path(path).stem().string(), "File: ", path, openMode == OpenMode::ReadWrite);

  if (const Result connected = cursor->connectFile(path, hasLog); connected != code::Ok)
    return connected;

  // Everything up to the journal mode below only reads: a file that turns
  // out not to hold the table is left exactly as it was.
  if (const Result result = cursor->describe(); result != code::Ok)
    return result;

  // A table with a password opens only when the session holds it.
  if (const Result accepted = cursor->acceptPassword(passwords); accepted != code::Ok)
    return accepted;

  if (cursor->isWritable()) {
    // Durable posts: a commit is on disk when it returns.
    if (const Result result = cursor->runSql("PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL");
        result != code::Ok)
      return result;
  }
  if (const Result result = cursor->prepareStatements(); result != code::Ok)
    return result;
  if (cursor->isWritable()) {
    if (const Result result = cursor->m_lock.open(path); result != code::Ok)
      return result;
  }
  out = std::move(cursor);
  return code::Ok;
}

Result SqliteCursor::connectFile(const std::string &path, bool hasLog) {
  auto connect = [&](const std::string &name, int flags) {
    if (m_db) {
      m_first = {};
      sqlite3_close(m_db);
      m_db = nullptr;
    }
    const int rc = sqlite3_open_v2(name.c_str(), &m_db, flags | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc == SQLITE_OK) {
      // What every connection of the cursor has, the one made again for a
      // medium nobody can write included.
      sqlite3_extended_result_codes(m_db, 1);
      sqlite3_busy_handler(m_db, waitForWriter, nullptr);
      registerFolding(m_db);
      // The tables kept beside a table may refer to its records: a record
      // deleted through this connection takes its source with it.
      sqlite3_db_config(m_db, SQLITE_DBCONFIG_ENABLE_FKEY, 1, nullptr);
    }
    return rc;
  };
  m_logFiles.attach(path);
  int rc;
  if (isWritable()) {
    rc = connect(path, SQLITE_OPEN_READWRITE);
    if (rc == SQLITE_OK && sqlite3_db_readonly(m_db, "main") == 1)
      return ErrorEntries::fail(code::ReadOnlyTable,
                                {{code::ReadOnlyTable, 0, fileEntry(path)},
                                 {code::ReadOnlyTable, 0, "The file system holds the file read-only"}});
  } else {
    rc = connect(path, SQLITE_OPEN_READONLY);
  }
  if (rc != SQLITE_OK)
    return fail(rc);

  // The first read of the schema tells whether this is a database at all.
  auto probe = [&] {
    return sqlite3_exec(m_db, "SELECT count(*) FROM sqlite_schema", nullptr, nullptr,
                        nullptr);
  };
  rc = probe();
  if (!isWritable() && !hasLog &&
      ((rc & 0xFF) == SQLITE_CANTOPEN || (rc & 0xFF) == SQLITE_READONLY)) {
    // A write-ahead-log database on a medium that cannot be written at all,
    // with no log holding records that the file lacks: nobody can change
    // it, so it may be read without the shared-memory file.
    rc = connect(fileUri(path, "immutable=1"), SQLITE_OPEN_READONLY | SQLITE_OPEN_URI);
    if (rc == SQLITE_OK)
      rc = probe();
  }
  return rc == SQLITE_OK ? code::Ok : fail(rc);
}

Result SqliteCursor::acceptPassword(const std::vector<std::string> &passwords) const {
  SqliteStatement query;
  const std::string sql = std::string("SELECT value FROM ") + kMetaTable +
                          " WHERE name = 'password'";
  if (query.prepare(m_db, sql) == SQLITE_OK && sqlite3_step(query.get()) == SQLITE_ROW) {
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
                                {{code::PasswordNeeded, 0, fileEntry(location())}});
  }
  return code::Ok;
}

Result SqliteCursor::describe() {
  SqliteStatement info;
  int rc = info.prepare(m_db, "SELECT name, type, \"notnull\", pk, hidden FROM pragma_table_xinfo(?1)");
  if (rc != SQLITE_OK)
    return fail(rc);
  sqlite3_bind_text(info.get(), 1, tableName().c_str(), -1, SQLITE_TRANSIENT);
  TableDescription table;
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
      keyOrder.emplace_back(pk, static_cast<int>(table.fields.size()));
    table.fields.push_back(std::move(field));
  }
  if (rc != SQLITE_DONE)
    return fail(rc);
  if (table.fields.empty())
    return ErrorEntries::fail(code::TableMissingInFile,
                              {{code::TableMissingInFile, 0, locationEntry()},
                               {code::TableMissingInFile, 0, "No table named \"" + tableName() + "\""}});
  std::sort(keyOrder.begin(), keyOrder.end());
  IndexDescription index;
  for (const auto &[position, field] : keyOrder) {
    index.keyFields.push_back(field);
    m_keyColumns.push_back(quoteIdentifier(table.fields[static_cast<std::size_t>(field)].name));
    const auto &f = table.fields[static_cast<std::size_t>(field)];
    index.keySize += storageSize(f.kind, f.size);
  }
  index.exists = !index.keyFields.empty();
  if (!index.exists) {
    m_keyColumns = {"rowid"};
  }
  for (const auto &f : table.fields)
    table.recordSize += storageSize(f.kind, f.size);
  const bool rowidKey = !index.exists;
  setShape(std::move(table), std::move(index), static_cast<int>(m_keyColumns.size()), rowidKey);
  return code::Ok;
}

Result SqliteCursor::prepareStatements() {
  std::string columns;
  for (const auto &field : description().fields)
    columns += (columns.empty() ? "" : ", ") + quoteIdentifier(field.name);
  std::string key, keyAsc, keyDesc, placeholders;
  for (std::size_t i = 0; i < m_keyColumns.size(); ++i) {
    const char *sep = i ? ", " : "";
    key += sep + m_keyColumns[i];
    keyAsc += sep + m_keyColumns[i];
    keyDesc += sep + m_keyColumns[i] + " DESC";
    placeholders += std::string(sep) + "?" + std::to_string(i + 1);
  }
  const std::string table = quoteIdentifier(tableName());
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

  if (isWritable() && !writableFields().empty()) {
    std::string sets, names, values;
    int n = 1;
    for (int field : writableFields()) {
      const FieldDescription &described = description().fields[static_cast<std::size_t>(field)];
      const std::string name = quoteIdentifier(described.name);
      const std::string placeholder = "?" + std::to_string(n);
      sets += (n > 1 ? ", " : "") + name + " = " + placeholder;
      names += (n > 1 ? ", " : "") + name;
      values += n > 1 ? ", " : "";
      // An empty auto-increment field is numbered one past the largest, in
      // the same statement, so that two writers never take one number.
      values += described.kind == FieldKind::AutoInc
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
    for (const auto &field : description().fields)
      where += " AND " + quoteIdentifier(field.name) + " IS ?" + std::to_string(n++) + " COLLATE BINARY";
    const std::string update = "UPDATE " + table + " SET " + sets + " WHERE " + where + " RETURNING " + key;
    const std::string insert =
        "INSERT INTO " + table + " (" + names + ") VALUES (" + values + ") RETURNING " + key;
    if (const int rc = m_update.prepare(m_db, update); rc != SQLITE_OK)
      return fail(rc, "Preparing " + update);
    if (const int rc = m_insert.prepare(m_db, insert); rc != SQLITE_OK)
      return fail(rc, "Preparing " + insert);
  }
  if (isWritable()) {
    const std::string remove = "DELETE FROM " + table + " WHERE (" + key + ") = (" + placeholders + ")";
    if (const int rc = m_delete.prepare(m_db, remove); rc != SQLITE_OK)
      return fail(rc, "Preparing " + remove);
  }
  return code::Ok;
}

Result SqliteCursor::rowToRecord(sqlite3_stmt *stmt, Record &out) const {
  engine::rowToRecord(stmt, description(), m_keyColumns.size(), out);
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

Result SqliteCursor::lockRecord(const Bookmark &key) {
  const Result locked = m_lock.lock(RecordLock::offsetFor(key), recordName(key));
  return locked == code::RecordLocked ? recordLocked(key) : locked;
}

void SqliteCursor::unlockRecord() { m_lock.release(); }

std::optional<LockHolder> SqliteCursor::holderOf(const Bookmark &key) const {
  return m_lock.holderOf(RecordLock::offsetFor(key));
}

Result SqliteCursor::lockHolders(std::vector<LockHolder> &out) {
  if (isWritable()) {
    out = m_lock.holders();
  } else {
    RecordLock reader;
    reader.openToRead(location());
    out = reader.holders();
  }
  return code::Ok;
}

Result SqliteCursor::lockUntilCommit(const Bookmark &key) {
  VANDRO_EXPECTS(m_bulk, "a bulk transaction");
  const Result locked = m_lock.lockAlso(RecordLock::offsetFor(key));
  return locked == code::RecordLocked ? recordLocked(key) : locked;
}

Result SqliteCursor::storeDeleted(const Bookmark &key) {
  VANDRO_EXPECTS(m_delete, "a table opened for writing");
  StatementUse use(m_delete);
  for (std::size_t i = 0; i < key.size(); ++i)
    bindRaw(use.get(), static_cast<int>(i) + 1, key[i]);
  if (const int rc = sqlite3_step(use.get()); rc != SQLITE_DONE)
    return fail(rc);
  return code::Ok;
}

Result SqliteCursor::queryRecord(const Bookmark &key, ReadFor purpose, Record &out) {
  StatementUse use(m_at);
  for (std::size_t i = 0; i < key.size(); ++i)
    bindRaw(use.get(), static_cast<int>(i) + 1, key[i]);
  const int rc = sqlite3_step(use.get());
  if (rc == SQLITE_DONE)
    return ErrorEntries::fail(code::RecordNotFound);
  if (rc != SQLITE_ROW)
    return fail(rc);
  if (const Result read = rowToRecord(use.get(), out); read != code::Ok)
    return read;
  if (purpose == ReadFor::Edit) {
    // The record as the edit found it: a post stores only over exactly this.
    m_readValues.clear();
    for (int i = 0; i < static_cast<int>(description().fields.size()); ++i)
      m_readValues.push_back(storedValue(use.get(), i));
  }
  return code::Ok;
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
    const std::string sql = "SELECT " + m_selectColumns + " FROM " + quoteIdentifier(tableName()) + " WHERE " + where +
                            " ORDER BY " + order + " LIMIT 1";
    if (const int rc = statement.prepare(m_db, sql); rc != SQLITE_OK)
      return fail(rc, "Preparing " + sql);
  }
  StatementUse use(statement);
  for (std::size_t i = 0; i < key.size(); ++i)
    bindField(use.get(), static_cast<int>(i) + 1, description().fields[static_cast<std::size_t>(currentIndex().keyFields[i])],
              key[i]);
  const int rc = sqlite3_step(use.get());
  if (rc == SQLITE_DONE)
    return ErrorEntries::fail(code::RecordNotFound);
  if (rc != SQLITE_ROW)
    return fail(rc);
  return rowToRecord(use.get(), out);
}

std::string SqliteCursor::filterSql(const RecordFilter &filter, std::vector<Value> &parameters,
                                    const char *joiner) const {
  std::string where;
  for (const FilterPart &part : filter) {
    where += where.empty() ? "(" : std::string(" ") + joiner + " (";
    const std::string column =
        part.fieldNo >= 0 ? quoteIdentifier(description().fields[static_cast<std::size_t>(part.fieldNo)].name) : "";
    switch (part.test) {
    case FilterPart::Test::Equals:
      // The values a text field reads as text: texts, and bytes another
      // program stored, taken as UTF-8 text; a number stored by another
      // program reads as no text. Compared as texts (no column affinity
      // turns the asked text into a number) and BINARY: byte for byte,
      // whatever collation the column was declared with. The type is asked
      // only of the values that compare equal, which keeps the scan as fast
      // as a plain comparison.
      where += "CAST(" + column + " AS TEXT) = ? COLLATE BINARY AND typeof(" + column + ") IN ('text', 'blob')";
      parameters.push_back(Value::text(part.text));
      break;
    case FilterPart::Test::Contains:
      // The asked text folded here, once; the stored ones by the
      // connection's function, which reads a number as no text.
      where += "instr(vandro_folded(" + column + "), ?) > 0";
      parameters.push_back(Value::text(foldedCase(part.text)));
      break;
    case FilterPart::Test::Sql:
      where += part.sql;
      parameters.insert(parameters.end(), part.parameters.begin(), part.parameters.end());
      break;
    case FilterPart::Test::AnyOf:
      where += filterSql(part.alternatives, parameters, "OR");
      break;
    }
    where += ")";
  }
  return where;
}

Result SqliteCursor::filterStatement(const std::string &sql, SqliteStatement *&out) {
  auto found = m_filtered.find(sql);
  if (found == m_filtered.end()) {
    if (m_filtered.size() >= 64)
      m_filtered.clear(); // a user trying many conditions; prepared again when asked again
    found = m_filtered.emplace(sql, SqliteStatement()).first;
    if (const int rc = found->second.prepare(m_db, sql); rc != SQLITE_OK) {
      m_filtered.erase(found);
      return fail(rc, "Preparing " + sql);
    }
  }
  out = &found->second;
  return code::Ok;
}

Result SqliteCursor::queryWhere(SearchDirection direction, const RecordFilter &filter, const Bookmark *from,
                                Record &out) {
  const bool forward = direction == SearchDirection::Forward;
  std::vector<Value> parameters;
  std::string key, placeholders, order;
  for (std::size_t i = 0; i < m_keyColumns.size(); ++i) {
    const char *sep = i ? ", " : "";
    key += sep + m_keyColumns[i];
    placeholders += std::string(sep) + "?";
    order += sep + m_keyColumns[i] + (forward ? "" : " DESC");
  }
  std::string where;
  if (from) {
    where = "(" + key + ") " + (forward ? ">" : "<") + " (" + placeholders + ")";
    parameters.insert(parameters.end(), from->begin(), from->end());
  }
  const std::string conditions = filterSql(filter, parameters);
  if (!conditions.empty())
    where += (where.empty() ? "" : " AND ") + conditions;
  const std::string sql = "SELECT " + m_selectColumns + " FROM " + quoteIdentifier(tableName()) +
                          (where.empty() ? "" : " WHERE " + where) + " ORDER BY " + order + " LIMIT 1";
  SqliteStatement *statement = nullptr;
  if (const Result prepared = filterStatement(sql, statement); prepared != code::Ok)
    return prepared;
  StatementUse use(*statement);
  for (std::size_t i = 0; i < parameters.size(); ++i)
    bindRaw(use.get(), static_cast<int>(i) + 1, parameters[i]);
  const int rc = sqlite3_step(use.get());
  if (rc == SQLITE_DONE)
    return ErrorEntries::fail(forward ? code::Eof : code::Bof);
  if (rc != SQLITE_ROW)
    return fail(rc);
  return rowToRecord(use.get(), out);
}

Result SqliteCursor::queryCount(const RecordFilter &filter, std::int64_t &out) {
  std::vector<Value> parameters;
  const std::string conditions = filterSql(filter, parameters);
  const std::string sql =
      "SELECT count(*) FROM " + quoteIdentifier(tableName()) + (conditions.empty() ? "" : " WHERE " + conditions);
  SqliteStatement *statement = nullptr;
  if (const Result prepared = filterStatement(sql, statement); prepared != code::Ok)
    return prepared;
  StatementUse use(*statement);
  for (std::size_t i = 0; i < parameters.size(); ++i)
    bindRaw(use.get(), static_cast<int>(i) + 1, parameters[i]);
  const int rc = sqlite3_step(use.get());
  if (rc != SQLITE_ROW)
    return fail(rc);
  out = sqlite3_column_int64(use.get(), 0);
  return code::Ok;
}

Result SqliteCursor::write(Write write, const Record &record, Bookmark &key) {
  SqliteStatement &statement = write == Write::Replace ? m_update : m_insert;
  VANDRO_EXPECTS(statement, "a table opened for writing");
  StatementUse use(statement);
  int n = 1;
  for (int field : writableFields())
    bindField(use.get(), n++, description().fields[static_cast<std::size_t>(field)],
              record.values[static_cast<std::size_t>(field)]);
  if (write == Write::Replace) {
    for (const auto &part : currentKey())
      bindRaw(use.get(), n++, part);
    for (const auto &value : m_readValues)
      bindRaw(use.get(), n++, value);
  }
  const int rc = sqlite3_step(use.get());
  if (rc == SQLITE_DONE && write == Write::Replace)
    return ErrorEntries::fail(code::RecordChanged);
  if (rc != SQLITE_ROW)
    return fail(rc);
  key.clear();
  for (std::size_t k = 0; k < m_keyColumns.size(); ++k)
    key.push_back(keyValue(use.get(), static_cast<int>(k)));
  // Step to the end so that the statement's write is complete.
  const int end = sqlite3_step(use.get());
  if (end != SQLITE_DONE)
    return fail(end);
  return code::Ok;
}

Result SqliteCursor::appendRows(const LogRows &rows) {
  VANDRO_EXPECTS(m_bulk, "a bulk transaction");
  return insertRows(rows);
}

Result SqliteCursor::insertRows(const LogRows &rows) {
  // One row a statement: prepared once, each run costs next to nothing.
  std::string columns, marks;
  for (const std::string &column : rows.columns) {
    columns += (columns.empty() ? "" : ", ") + quoteIdentifier(column);
    marks += marks.empty() ? "?" : ", ?";
  }
  const std::string sql = "INSERT INTO " + rows.table + " (" + columns + ") VALUES (" + marks + ")";
  for (const auto &row : rows.rows)
    if (const Result result = execute(sql, row, nullptr); result != code::Ok)
      return result;
  return code::Ok;
}

Result SqliteCursor::writeWith(Write what, const Record &record, Bookmark &key, const LogRows *logged) {
  if (!logged)
    return write(what, record, key);
  VANDRO_EXPECTS(!m_bulk, "no bulk transaction");
  // Prepared once, as the statements of the write itself.
  if (const Result begun = execute("BEGIN IMMEDIATE", {}, nullptr); begun != code::Ok)
    return begun;
  Result result = write(what, record, key);
  if (result == code::Ok)
    result = insertRows(*logged);
  if (result == code::Ok)
    result = execute("COMMIT", {}, nullptr);
  if (result != code::Ok && !sqlite3_get_autocommit(m_db)) {
    // The failure stays the one reported; the rollback's own entries do not replace it.
    const std::vector<ErrorEntry> entries = ErrorEntries::all();
    (void)runSql("ROLLBACK");
    (void)ErrorEntries::fail(result, entries);
  }
  return result;
}

Result SqliteCursor::setPassword(const std::optional<std::string> &password) {
  if (!isWritable())
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
  if (!isWritable())
    return ErrorEntries::fail(code::TableIsReadOnly, {{code::TableIsReadOnly, 0, locationEntry()}});
  if (const Result result = runSql("BEGIN IMMEDIATE"); result != code::Ok)
    return result;
  m_bulk = true;
  return code::Ok;
}

Result SqliteCursor::commitBulk() {
  // The change log's last rows first; on failure the caller rolls back.
  if (const Result logged = changeLogCommitting(); logged != code::Ok)
    return logged;
  if (const Result result = runSql("COMMIT"); result != code::Ok)
    return result;
  m_bulk = false;
  m_lock.releaseAll();
  return code::Ok;
}

Result SqliteCursor::rollbackBulk() {
  changeLogRolledBack();
  m_bulk = false;
  dropAhead();
  const Result result = runSql("ROLLBACK");
  m_lock.releaseAll();
  return result;
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
  const int fields = static_cast<int>(description().fields.size());
  while ((rc = sqlite3_step(all.get())) == SQLITE_ROW) {
    Bookmark key;
    for (std::size_t k = 0; k < m_keyColumns.size(); ++k)
      key.push_back(keyValue(all.get(), fields + static_cast<int>(k)));
    for (int i = 0; i < fields; ++i)
      if (auto problem = misfit(all.get(), i, description().fields[static_cast<std::size_t>(i)], recordName(key)))
        problems.push_back(*problem);
  }
  if (rc != SQLITE_DONE)
    return fail(rc);
  return code::Ok;
}

Result SqliteCursor::hasSibling(const std::string &suffix, bool &out) {
  std::vector<std::vector<Value>> rows;
  if (const Result result = execute("SELECT count(*) FROM sqlite_schema WHERE type = 'table' AND name = ?",
                                    {Value::text(tableName() + suffix)}, &rows);
      result != code::Ok)
    return result;
  out = !rows.empty() && !rows[0].empty() && rows[0][0].isInteger() && rows[0][0].asInteger() > 0;
  return code::Ok;
}

std::string SqliteCursor::siblingName(const std::string &suffix) const { return quoteIdentifier(tableName() + suffix); }
std::string SqliteCursor::quotedName() const { return quoteIdentifier(tableName()); }

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

} // namespace vandro::engine
