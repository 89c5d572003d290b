#include "PostgresCursor.h"

#include "../ErrorEntries.h"
#include "../Quoted.h"
#include "../FieldValues.h"
#include "PgValues.h"

#include <algorithm>
#include <filesystem>

namespace vandro::engine {

namespace {

// A 32-bit hash of a record's key text (FNV-1a), the second half of its
// advisory lock key.
std::int32_t keyHash(const std::string &text) {
  std::uint32_t hash = 2166136261u;
  for (unsigned char c : text) {
    hash ^= c;
    hash *= 16777619u;
  }
  return static_cast<std::int32_t>(hash);
}

// A value of COPY's text format: backslash escapes, \N for a null.
std::string copyText(const std::optional<std::string> &value) {
  if (!value)
    return "\\N";
  std::string out;
  for (char c : *value) {
    switch (c) {
    case '\\': out += "\\\\"; break;
    case '\t': out += "\\t"; break;
    case '\n': out += "\\n"; break;
    case '\r': out += "\\r"; break;
    default: out += c;
    }
  }
  return out;
}

std::vector<const char *> pointers(const std::vector<std::optional<std::string>> &parameters) {
  std::vector<const char *> out;
  for (const auto &p : parameters)
    out.push_back(p ? p->c_str() : nullptr);
  return out;
}

} // namespace

Result PostgresCursor::open(const PgSettings &settings, const std::string &schema, const std::string &tableName,
                            OpenMode openMode, const std::vector<std::string> &passwords, std::unique_ptr<Cursor> &out) {
  std::unique_ptr<PostgresCursor> cursor(new PostgresCursor);
  if (const Result result = PgConnection::connect(settings, passwords, cursor->m_conn); result != code::Ok)
    return result;
  cursor->m_table = std::filesystem::path(tableName).stem().string();
  cursor->m_qualified = (schema.empty() ? "" : quoteIdentifier(schema) + ".") + quoteIdentifier(cursor->m_table);
  cursor->m_locationLabel = "Table: ";
  cursor->m_location = cursor->m_qualified + " on " + cursor->m_conn->serverName();
  cursor->m_writable = openMode == OpenMode::ReadWrite;
  if (const Result result = cursor->describe(); result != code::Ok)
    return result;
  out = std::move(cursor);
  return code::Ok;
}

PostgresCursor::~PostgresCursor() {
  if (m_copying)
    (void)m_conn->endCopy("the table was closed");
  if (m_bulk || m_snapshot)
    (void)m_conn->exec("ROLLBACK");
  unlock();
}

Result PostgresCursor::describe() {
  PgResult rows;
  const std::string table = m_qualified;
  if (const Result result =
          m_conn->exec("SELECT c.oid::bigint, has_table_privilege(c.oid, 'UPDATE') AND "
                       "has_table_privilege(c.oid, 'INSERT') FROM pg_class c WHERE c.oid = to_regclass($1)",
                       {table.c_str()}, rows);
      result != code::Ok)
    return result;
  if (rows.rows() == 0)
    return ErrorEntries::fail(code::TableNotFound, {{code::TableNotFound, 0, locationEntry()}});
  m_tableLockKey = static_cast<std::int32_t>(static_cast<std::uint32_t>(std::stoll(rows.text(0, 0))));
  if (m_writable && rows.text(0, 1) != "t")
    return ErrorEntries::fail(code::ReadOnlyTable,
                              {{code::ReadOnlyTable, 0, locationEntry()},
                               {code::ReadOnlyTable, 0, "The user may not update and insert records of the table"}});
  m_description.writable = m_writable;

  PgResult columns;
  if (const Result result =
          m_conn->exec("SELECT a.attname, t.typname, a.atttypmod, a.attnotnull, a.attidentity <> '', "
                       "a.attgenerated <> '', format_type(a.atttypid, a.atttypmod) FROM pg_attribute a "
                       "JOIN pg_type t ON t.oid = a.atttypid WHERE a.attrelid = to_regclass($1) AND a.attnum > 0 "
                       "AND NOT a.attisdropped ORDER BY a.attnum",
                       {table.c_str()}, columns);
      result != code::Ok)
    return result;
  for (int i = 0; i < columns.rows(); ++i) {
    FieldDescription field;
    field.name = columns.text(i, 0);
    field.declaredType = columns.text(i, 6);
    const auto kind = kindFromPgType(columns.text(i, 1), std::stoi(columns.text(i, 2)), columns.text(i, 4) == "t");
    if (!kind)
      return ErrorEntries::fail(code::UnsupportedSchema,
                                {{code::UnsupportedSchema, 0, locationEntry()},
                                 {code::UnsupportedSchema, 0,
                                  "Column \"" + field.name + "\" is of type " + field.declaredType}});
    field.kind = kind->kind;
    field.size = kind->size;
    field.required = columns.text(i, 3) == "t";
    field.readOnly = columns.text(i, 5) == "t";
    m_description.fields.push_back(field);
  }

  PgResult key;
  if (const Result result = m_conn->exec(
          "SELECT a.attnum FROM pg_index i CROSS JOIN LATERAL unnest(i.indkey) WITH ORDINALITY AS k(attnum, position) "
          "JOIN pg_attribute a ON a.attrelid = i.indrelid AND a.attnum = k.attnum "
          "WHERE i.indrelid = to_regclass($1) AND i.indisprimary ORDER BY k.position",
          {table.c_str()}, key);
      result != code::Ok)
    return result;
  // Field numbers follow the order of the columns that are not dropped.
  PgResult numbers;
  if (const Result result = m_conn->exec("SELECT a.attnum FROM pg_attribute a WHERE a.attrelid = to_regclass($1) "
                                         "AND a.attnum > 0 AND NOT a.attisdropped ORDER BY a.attnum",
                                         {table.c_str()}, numbers);
      result != code::Ok)
    return result;
  for (int k = 0; k < key.rows(); ++k)
    for (int i = 0; i < numbers.rows(); ++i)
      if (numbers.text(i, 0) == key.text(k, 0)) {
        m_index.keyFields.push_back(i);
        m_keyColumns.push_back(quoteIdentifier(m_description.fields[static_cast<std::size_t>(i)].name));
      }
  if (m_index.keyFields.empty())
    return ErrorEntries::fail(code::UnsupportedSchema,
                              {{code::UnsupportedSchema, 0, locationEntry()},
                               {code::UnsupportedSchema, 0, "The table has no primary key to read it in order by"}});
  m_index.exists = true;
  m_keyColumnCount = static_cast<int>(m_index.keyFields.size());
  for (int field : m_index.keyFields)
    m_index.keySize += storageSize(m_description.fields[static_cast<std::size_t>(field)].kind,
                                   m_description.fields[static_cast<std::size_t>(field)].size);
  for (std::size_t i = 0; i < m_description.fields.size(); ++i) {
    const FieldDescription &field = m_description.fields[i];
    m_description.recordSize += storageSize(field.kind, field.size);
    if (!field.readOnly)
      m_writableFields.push_back(static_cast<int>(i));
    m_selectList += (i ? ", " : "") + quoteIdentifier(field.name) + (field.kind == FieldKind::Money ? "::numeric" : "");
  }
  return code::Ok;
}

std::string PostgresCursor::keyList() const {
  std::string list;
  for (std::size_t i = 0; i < m_keyColumns.size(); ++i)
    list += (i ? ", " : "") + m_keyColumns[i];
  return list;
}

std::string PostgresCursor::keyOrder(bool forward) const {
  std::string order;
  for (std::size_t i = 0; i < m_keyColumns.size(); ++i)
    order += (i ? ", " : "") + m_keyColumns[i] + (forward ? "" : " DESC");
  return order;
}

std::string PostgresCursor::pastKey(const Bookmark &from, bool forward, Parameters &parameters) const {
  parameters = keyParameters(from);
  std::string placeholders;
  for (std::size_t i = 0; i < parameters.size(); ++i)
    placeholders += (i ? ", $" : "$") + std::to_string(i + 1);
  return "(" + keyList() + ") " + (forward ? ">" : "<") + " (" + placeholders + ")";
}

PostgresCursor::Parameters PostgresCursor::keyParameters(const Bookmark &key) const {
  Parameters parameters;
  for (std::size_t i = 0; i < key.size(); ++i) {
    const FieldDescription &field = m_description.fields[static_cast<std::size_t>(m_index.keyFields[i])];
    parameters.push_back(key[i].isNull() ? std::nullopt : std::optional(pgTextFromValue(field, key[i])));
  }
  return parameters;
}

Result PostgresCursor::finishCopy() {
  if (!m_copying)
    return code::Ok;
  m_copying = false;
  const Result result = m_conn->endCopy();
  if (result != code::Ok) {
    // "COPY Vandro, line 7": the seventh record sent.
    for (const ErrorEntry &entry : std::vector<ErrorEntry>(ErrorEntries::all())) {
      const auto at = entry.context.find(", line ");
      if (at == std::string::npos)
        continue;
      const std::size_t line = std::strtoul(entry.context.c_str() + at + 7, nullptr, 10);
      // The entry's own number is the record's place in the bulk insert.
      if (line >= 1 && line <= m_copied.size())
        ErrorEntries::add({result, static_cast<std::int32_t>(line), "Record: " + m_copied[line - 1]});
    }
  }
  m_copied.clear();
  return result;
}

Result PostgresCursor::run(const std::string &name, const std::string &sql, const Parameters &parameters,
                           PgResult &out, Retry retry) {
  if (const Result copied = finishCopy(); copied != code::Ok)
    return copied;
  const auto values = pointers(parameters);
  Result result = m_conn->execPrepared(name, sql, values, out);
  if (result == code::ConnectionLost && retry == Retry::OnNewConnection && !m_bulk && !m_snapshot &&
      m_conn->reset() == code::Ok)
    result = m_conn->execPrepared(name, sql, values, out);
  if (result != code::Ok)
    ErrorEntries::add({result, 0, locationEntry()});
  return result;
}

Result PostgresCursor::rowToRecord(const PgResult &rows, int row, Record &out) const {
  out.values.assign(m_description.fields.size(), Value());
  for (std::size_t i = 0; i < m_description.fields.size(); ++i) {
    if (rows.isNull(row, static_cast<int>(i)))
      continue;
    const FieldDescription &field = m_description.fields[i];
    auto value = valueFromPgText(field, rows.text(row, static_cast<int>(i)));
    if (!value)
      return ErrorEntries::fail(code::ValueDoesNotFit,
                                {{code::ValueDoesNotFit, 0, locationEntry()},
                                 {code::ValueDoesNotFit, 0,
                                  "Field " + field.name + " holds '" + rows.text(row, static_cast<int>(i)) +
                                      "', which is no " + field.declaredType}});
    out.values[i] = std::move(*value);
  }
  out.bookmark.clear();
  for (int field : m_index.keyFields)
    out.bookmark.push_back(out.values[static_cast<std::size_t>(field)]);
  return code::Ok;
}

Result PostgresCursor::queryPage(SearchDirection direction, const Bookmark *from, int limit, std::deque<Record> &out) {
  const bool forward = direction == SearchDirection::Forward;
  // Outside a snapshot only the next record is ever served: read no more.
  const std::string rows = std::to_string(m_snapshot ? limit : 1);
  Parameters parameters;
  const std::string where = from ? " WHERE " + pastKey(*from, forward, parameters) : "";
  parameters.push_back(rows);
  const std::string sql = "SELECT " + m_selectList + " FROM " + m_qualified + where + " ORDER BY " + keyOrder(forward) +
                          " LIMIT $" + std::to_string(parameters.size());
  PgResult result;
  if (const Result ran = run(std::string("page_") + (forward ? "f" : "b") + (from ? "_from" : ""), sql, parameters, result);
      ran != code::Ok)
    return ran;
  for (int row = 0; row < result.rows(); ++row) {
    Record record;
    if (const Result read = rowToRecord(result, row, record); read != code::Ok)
      return read; // the good records first; the bad one fails when reached
    out.push_back(std::move(record));
  }
  return code::Ok;
}

Result PostgresCursor::queryKey(const std::vector<Value> &key, Record &out) {
  std::string where;
  for (std::size_t i = 0; i < m_keyColumns.size() && i < key.size(); ++i)
    where += (i ? " AND " : "") + m_keyColumns[i] + " = $" + std::to_string(i + 1);
  const std::string sql = "SELECT " + m_selectList + " FROM " + m_qualified + " WHERE " + where + " ORDER BY " +
                          keyOrder(true) + " LIMIT 1";
  PgResult rows;
  if (const Result ran = run("key_" + std::to_string(key.size()), sql, keyParameters(key), rows); ran != code::Ok)
    return ran;
  if (rows.rows() == 0)
    return ErrorEntries::fail(code::RecordNotFound);
  return rowToRecord(rows, 0, out);
}

Result PostgresCursor::queryText(SearchDirection direction, int fieldNo, const std::string &text, const Bookmark *from,
                                 Record &out) {
  const bool forward = direction == SearchDirection::Forward;
  Parameters parameters;
  std::string where = from ? pastKey(*from, forward, parameters) + " AND " : "";
  parameters.push_back(text);
  // "C": byte for byte, whatever collation the column has.
  where += quoteIdentifier(m_description.fields[static_cast<std::size_t>(fieldNo)].name) + " = $" +
           std::to_string(parameters.size()) + " COLLATE \"C\"";
  const std::string sql = "SELECT " + m_selectList + " FROM " + m_qualified + " WHERE " + where + " ORDER BY " +
                          keyOrder(forward) + " LIMIT 1";
  PgResult rows;
  if (const Result ran = run("text_" + std::to_string(fieldNo) + (forward ? "_f" : "_b") + (from ? "_from" : ""), sql,
                             parameters, rows);
      ran != code::Ok)
    return ran;
  if (rows.rows() == 0)
    return ErrorEntries::fail(forward ? code::Eof : code::Bof);
  return rowToRecord(rows, 0, out);
}

Result PostgresCursor::lock(const Bookmark &key) {
  unlock();
  const std::string table = std::to_string(m_tableLockKey), record = std::to_string(keyHash(keyText(key)));
  PgResult rows;
  if (const Result ran = run("lock", "SELECT pg_try_advisory_lock($1::int4, $2::int4)", {table, record}, rows);
      ran != code::Ok)
    return ran;
  if (rows.text(0, 0) != "t")
    return ErrorEntries::fail(code::RecordLocked,
                              {{code::RecordLocked, 0, "Record: " + recordName(key)}, {code::RecordLocked, 0, locationEntry()}});
  m_lockedKey = keyText(key);
  m_lockedAtResets = m_conn->resets();
  return code::Ok;
}

void PostgresCursor::unlock() {
  if (!m_lockedKey)
    return;
  if (m_conn->resets() == m_lockedAtResets && !m_conn->isBroken()) {
    PgResult ignored;
    const std::string table = std::to_string(m_tableLockKey), record = std::to_string(keyHash(*m_lockedKey));
    const char *values[] = {table.c_str(), record.c_str()};
    (void)m_conn->execPrepared("unlock", "SELECT pg_advisory_unlock($1::int4, $2::int4)", {values[0], values[1]},
                               ignored);
  }
  m_lockedKey.reset();
}

Result PostgresCursor::readCurrent(Record &out, LockMode mode) {
  if (place() != Place::OnRecord)
    return ErrorEntries::fail(code::NoCurrentRecord, {{code::NoCurrentRecord, 0, locationEntry()}});
  if (mode == LockMode::WriteLock) {
    if (!m_writable)
      return ErrorEntries::fail(code::TableIsReadOnly, {{code::TableIsReadOnly, 0, locationEntry()}});
    // Locked first, then read: the edit starts from what is stored now.
    if (const Result locked = lock(currentKey()); locked != code::Ok)
      return locked;
  }
  Record record;
  Result result = queryKey(currentKey(), record);
  if (result == code::RecordNotFound)
    result = ErrorEntries::fail(code::RecordDeleted, {{code::RecordDeleted, 0, "Record: " + recordName(currentKey())},
                                                      {code::RecordDeleted, 0, locationEntry()}});
  if (result != code::Ok) {
    if (mode == LockMode::WriteLock)
      unlock();
    return result;
  }
  if (mode == LockMode::WriteLock)
    m_lockedRecord = record;
  out = std::move(record);
  return code::Ok;
}

Result PostgresCursor::recoverLock() {
  if (m_conn->isBroken())
    if (const Result reset = m_conn->reset(); reset != code::Ok)
      return ErrorEntries::fail(code::ConnectionLost,
                                {{code::ConnectionLost, 0, "Server: " + m_conn->serverName()},
                                 {code::ConnectionLost, 0, "The edit is kept; store it again once the server can be reached"}});
  if (m_conn->resets() == m_lockedAtResets)
    return code::Ok;
  // The server dropped the lock with the old connection: take it again, and
  // store only over the record as the edit found it.
  const Bookmark key = currentKey();
  const Record original = m_lockedRecord;
  m_lockedKey.reset();
  if (const Result locked = lock(key); locked != code::Ok)
    return locked;
  Record now;
  const Result read = queryKey(key, now);
  if (read != code::Ok || now.values != original.values)
    return ErrorEntries::fail(code::RecordChanged, {{code::RecordChanged, 0, "Record: " + recordName(key)},
                                                    {code::RecordChanged, 0, locationEntry()}});
  m_lockedRecord = now;
  return code::Ok;
}

Result PostgresCursor::modifyRecord(const Record &record) {
  if (!m_writable)
    return ErrorEntries::fail(code::TableIsReadOnly, {{code::TableIsReadOnly, 0, locationEntry()}});
  if (place() != Place::OnRecord)
    return ErrorEntries::fail(code::NoCurrentRecord, {{code::NoCurrentRecord, 0, locationEntry()}});
  if (m_lockedKey != keyText(currentKey()))
    return ErrorEntries::fail(code::RecordNotLocked, {{code::RecordNotLocked, 0, "Record: " + recordName(currentKey())}});
  if (record.values.size() != m_description.fields.size())
    return ErrorEntries::fail(code::InvalidParameter, {{code::InvalidParameter, 0, "A record of another table"}});
  Parameters parameters;
  std::string sets;
  for (int field : m_writableFields) {
    const FieldDescription &description = m_description.fields[static_cast<std::size_t>(field)];
    const Value &value = record.values[static_cast<std::size_t>(field)];
    const bool isKey = std::find(m_index.keyFields.begin(), m_index.keyFields.end(), field) != m_index.keyFields.end();
    if ((description.required || isKey) && value.isNull())
      return ErrorEntries::fail(code::RequiredValueMissing, {{code::RequiredValueMissing, 0, locationEntry()},
                                                             {code::RequiredValueMissing, 0, "Field " + description.name}});
    if (const Result fits = checkFieldValue(description, value, locationEntry()); fits != code::Ok)
      return fits;
    parameters.push_back(value.isNull() ? std::nullopt : std::optional(pgTextFromValue(description, value)));
    sets += (parameters.size() > 1 ? ", " : "") + quoteIdentifier(description.name) + " = $" + std::to_string(parameters.size());
  }
  std::string where;
  for (auto &part : keyParameters(currentKey())) {
    parameters.push_back(std::move(part));
    where += (where.empty() ? "$" : ", $") + std::to_string(parameters.size());
  }
  const std::string sql =
      "UPDATE " + m_qualified + " SET " + sets + " WHERE (" + keyList() + ") = (" + where + ") RETURNING " + keyList();
  if (const Result recovered = recoverLock(); recovered != code::Ok)
    return recovered;
  PgResult rows;
  Result result = run("update", sql, parameters, rows, Retry::Never);
  if (result == code::ConnectionLost || m_conn->resets() != m_lockedAtResets) {
    // Broken in the middle: stored before the break, or not at all.
    if (const Result recovered = recoverLock(); recovered != code::Ok) {
      Record now;
      if (recovered == code::RecordChanged && queryKey(currentKey(), now) == code::Ok) {
        Record expected = now;
        for (int field : m_writableFields)
          expected.values[static_cast<std::size_t>(field)] = record.values[static_cast<std::size_t>(field)];
        if (now.values == expected.values)
          return code::Ok;
      }
      return recovered;
    }
    result = run("update", sql, parameters, rows, Retry::Never);
  }
  if (result != code::Ok) {
    if (result == code::KeyViolation) {
      Bookmark wanted;
      for (int field : m_index.keyFields)
        wanted.push_back(record.values[static_cast<std::size_t>(field)]);
      ErrorEntries::add({code::KeyViolation, 0, "Record: " + recordName(wanted)});
    }
    return result;
  }
  if (rows.rows() == 0)
    return ErrorEntries::fail(code::RecordDeleted, {{code::RecordDeleted, 0, "Record: " + recordName(currentKey())},
                                                    {code::RecordDeleted, 0, locationEntry()}});
  Bookmark key;
  for (std::size_t i = 0; i < m_index.keyFields.size(); ++i) {
    const FieldDescription &field = m_description.fields[static_cast<std::size_t>(m_index.keyFields[i])];
    key.push_back(valueFromPgText(field, rows.text(0, static_cast<int>(i))).value_or(Value()));
  }
  unlock();
  placeOn(key);
  return code::Ok;
}

Result PostgresCursor::insertRecord(const Record &record) {
  if (!m_writable)
    return ErrorEntries::fail(code::TableIsReadOnly, {{code::TableIsReadOnly, 0, locationEntry()}});
  if (record.values.size() != m_description.fields.size())
    return ErrorEntries::fail(code::InvalidParameter, {{code::InvalidParameter, 0, "A record of another table"}});
  Parameters parameters;
  std::string columns, placeholders, variant;
  for (int field : m_writableFields) {
    const FieldDescription &description = m_description.fields[static_cast<std::size_t>(field)];
    const Value &value = record.values[static_cast<std::size_t>(field)];
    if (description.kind == FieldKind::AutoInc && value.isNull()) {
      variant += 'n'; // numbered by the server
      continue;
    }
    const bool isKey = std::find(m_index.keyFields.begin(), m_index.keyFields.end(), field) != m_index.keyFields.end();
    if ((description.required || isKey) && value.isNull())
      return ErrorEntries::fail(code::RequiredValueMissing, {{code::RequiredValueMissing, 0, locationEntry()},
                                                             {code::RequiredValueMissing, 0, "Field " + description.name}});
    if (const Result fits = checkFieldValue(description, value, locationEntry()); fits != code::Ok)
      return fits;
    variant += 'v';
    parameters.push_back(value.isNull() ? std::nullopt : std::optional(pgTextFromValue(description, value)));
    columns += (columns.empty() ? "" : ", ") + quoteIdentifier(description.name);
    placeholders += (placeholders.empty() ? "$" : ", $") + std::to_string(parameters.size());
  }
  Bookmark key;
  for (int field : m_index.keyFields)
    key.push_back(record.values[static_cast<std::size_t>(field)]);
  if (m_bulk && variant.find('n') == std::string::npos) {
    // All the records of a bulk transaction go to the server as one COPY.
    if (!m_copying) {
      if (const Result started = m_conn->startCopy("COPY " + m_qualified + " (" + columns + ") FROM STDIN");
          started != code::Ok)
        return started;
      m_copying = true;
    }
    std::string line;
    for (std::size_t i = 0; i < parameters.size(); ++i)
      line += (i ? "\t" : "") + copyText(parameters[i]);
    if (const Result sent = m_conn->copyLine(line + "\n"); sent != code::Ok)
      return sent;
    m_copied.push_back(recordName(key));
    placeOn(key);
    return code::Ok;
  }
  const std::string sql =
      "INSERT INTO " + m_qualified + " (" + columns + ") VALUES (" + placeholders + ") RETURNING " + keyList();
  PgResult rows;
  if (const Result result = run("insert_" + variant, sql, parameters, rows, Retry::Never); result != code::Ok) {
    if (result == code::KeyViolation)
      ErrorEntries::add({code::KeyViolation, 0, "Record: " + recordName(key)});
    return result;
  }
  key.clear();
  for (std::size_t i = 0; i < m_index.keyFields.size(); ++i) {
    const FieldDescription &field = m_description.fields[static_cast<std::size_t>(m_index.keyFields[i])];
    key.push_back(valueFromPgText(field, rows.text(0, static_cast<int>(i))).value_or(Value()));
  }
  placeOn(key);
  return code::Ok;
}

Result PostgresCursor::releaseLock() {
  unlock();
  return code::Ok;
}

Result PostgresCursor::setPassword(const std::optional<std::string> &) {
  return ErrorEntries::fail(code::NotForServerTables, {{code::NotForServerTables, 0, locationEntry()}});
}

Result PostgresCursor::beginBulk() {
  if (!m_writable)
    return ErrorEntries::fail(code::TableIsReadOnly, {{code::TableIsReadOnly, 0, locationEntry()}});
  if (const Result begun = m_conn->exec("BEGIN"); begun != code::Ok)
    return begun;
  m_bulk = true;
  return code::Ok;
}

Result PostgresCursor::commitBulk() {
  if (const Result copied = finishCopy(); copied != code::Ok) {
    (void)rollbackBulk();
    return copied;
  }
  m_bulk = false;
  return m_conn->exec("COMMIT");
}

Result PostgresCursor::rollbackBulk() {
  if (!m_bulk && !m_copying)
    return code::Ok; // rolled back already, when its commit failed
  if (m_copying) {
    m_copying = false;
    m_copied.clear();
    (void)m_conn->endCopy("abandoned");
  }
  m_bulk = false;
  dropAhead();
  return m_conn->exec("ROLLBACK");
}

Result PostgresCursor::beginSnapshot() {
  if (const Result begun = m_conn->exec("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY"); begun != code::Ok)
    return begun;
  m_snapshot = true;
  dropAhead();
  return code::Ok;
}

Result PostgresCursor::endSnapshot() {
  m_snapshot = false;
  return m_conn->exec("COMMIT");
}

Result PostgresCursor::integrityCheck(std::vector<std::string> &problems) {
  problems.clear();
  if (const Result begun = beginSnapshot(); begun != code::Ok)
    return begun;
  // Every stored value against its field, in key order, a page at a time.
  Bookmark after;
  for (;;) {
    std::deque<Record> page;
    const Result read = queryPage(SearchDirection::Forward, after.empty() ? nullptr : &after, 1000, page);
    for (const Record &record : page) {
      for (std::size_t i = 0; i < record.values.size(); ++i)
        if (const auto problem = storedValueProblem(m_description.fields[i], record.values[i]))
          problems.push_back("Field " + m_description.fields[i].name + " of record " + recordName(record.bookmark) +
                             " " + *problem);
      after = record.bookmark;
    }
    if (read != code::Ok) {
      (void)endSnapshot();
      return read;
    }
    if (page.size() < 1000)
      break;
  }
  return endSnapshot();
}

} // namespace vandro::engine
