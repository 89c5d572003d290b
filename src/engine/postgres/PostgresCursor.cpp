#include "PostgresCursor.h"

#include "../ErrorEntries.h"
#include "../Expects.h"
#include "../Quoted.h"
#include "../Database.h"
#include "../FieldValues.h"
#include "AdvisoryLockKey.h"
#include "PgCatalogue.h"
#include "PgValues.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <filesystem>

namespace vandro::engine {

namespace {

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

// The prepared call of `function` (pg_try_advisory_lock,
// pg_advisory_unlock) for `key`: the two-integer form for a record's
// integer key, else the one-integer form of its hash.
struct LockCall {
  std::string name, sql;
  std::vector<std::optional<std::string>> parameters;
};
LockCall lockCall(const std::string &name, const std::string &function, const AdvisoryLockKey &key) {
  if (key.record)
    return {name, "SELECT " + function + "($1::int4, $2::int4)", {std::to_string(key.table), std::to_string(*key.record)}};
  return {name + "_hash", "SELECT " + function + "($1::int8)", {std::to_string(key.hash)}};
}

// The same for taking a lock, which also says who takes it and when: the
// session's application_name, which every client of the server may read in
// pg_stat_activity beside the locks in pg_locks.
LockCall takingCall(const std::string &name, const std::string &function, const AdvisoryLockKey &key) {
  LockCall call = lockCall(name, function, key);
  const std::string slot = "$" + std::to_string(call.parameters.size() + 1);
  call.sql = "SELECT l, CASE WHEN l THEN set_config('application_name', " + slot + ", false) END FROM " +
             call.sql.substr(std::string("SELECT ").size()) + " AS l";
  call.parameters.push_back(vandroApplicationName(secondsNow(), thisMachine()));
  return call;
}

// The lock's key as the server lists it in pg_locks: classid, objid and
// objsubid (2 for the two-integer form, 1 for the one-integer form).
std::vector<std::optional<std::string>> lockRow(const AdvisoryLockKey &key) {
  if (key.record)
    return {std::to_string(static_cast<std::uint32_t>(key.table)), std::to_string(static_cast<std::uint32_t>(*key.record)),
            "2"};
  const auto bits = static_cast<std::uint64_t>(key.hash);
  return {std::to_string(static_cast<std::uint32_t>(bits >> 32)), std::to_string(static_cast<std::uint32_t>(bits)), "1"};
}

// The columns of pg_stat_activity that name a holder, for holderFromRow.
constexpr const char *kHolderColumns =
    "a.usename, a.application_name, host(a.client_addr), a.client_hostname, "
    "extract(epoch FROM coalesce(a.xact_start, a.backend_start))::bigint";
// The locks other sessions hold, each with its session.
constexpr const char *kOthersLocks = " FROM pg_locks l JOIN pg_stat_activity a ON a.pid = l.pid "
                                     "WHERE l.granted AND l.pid <> pg_backend_pid() ";
// Advisory locks, of this database only.
constexpr const char *kAdvisoryHere =
    "AND l.locktype = 'advisory' AND l.database = (SELECT oid FROM pg_database WHERE datname = current_database()) ";

// The holder a row of kHolderColumns (from `column` on) describes.
LockHolder holderFromRow(const PgResult &rows, int row, int column) {
  LockHolder holder;
  holder.user = rows.text(row, column);
  const std::string application = rows.text(row, column + 1);
  if (const auto vandro = parseVandroApplicationName(application)) {
    holder.since = vandro->first;
    holder.machine = vandro->second;
    return holder;
  }
  holder.program = application.empty() ? "another client" : application;
  holder.machine = !rows.isNull(row, column + 3) ? rows.text(row, column + 3)
                   : !rows.isNull(row, column + 2) ? rows.text(row, column + 2)
                                                   : "the server's own machine";
  long long since = 0;
  const std::string epoch = rows.text(row, column + 4);
  if (!rows.isNull(row, column + 4) &&
      std::from_chars(epoch.data(), epoch.data() + epoch.size(), since).ec == std::errc())
    holder.since = since;
  return holder;
}

} // namespace

Result PostgresCursor::open(std::unique_ptr<PgConnection> &connection, const std::string &schema,
                            const std::string &tableName, OpenMode openMode, std::unique_ptr<Cursor> &out) {
  std::unique_ptr<PostgresCursor> cursor(new PostgresCursor);
  cursor->m_conn = std::move(connection);
  const std::string table = std::filesystem::path(tableName).stem().string();
  cursor->m_schema = schema.empty() ? "" : quoteIdentifier(schema) + ".";
  cursor->m_qualified = cursor->m_schema + quoteIdentifier(table);
  cursor->setSite(table, "Table: ", cursor->m_qualified + " on " + cursor->m_conn->serverName(),
                  openMode == OpenMode::ReadWrite);
  if (const Result result = cursor->describe(); result != code::Ok) {
    connection = std::move(cursor->m_conn); // the caller may use it again
    return result;
  }
  out = std::move(cursor);
  return code::Ok;
}

PostgresCursor::~PostgresCursor() {
  if (!m_conn)
    return;
  if (m_copying)
    (void)m_conn->endCopy("the table was closed");
  if (m_bulk || m_snapshot)
    (void)m_conn->exec("ROLLBACK");
  unlock();
}

Result PostgresCursor::describe() {
  PgTable table;
  if (const Result described = describePgTable(*m_conn, m_qualified, locationEntry(), isWritable(), table);
      described != code::Ok)
    return described;
  m_tableOid = table.oid;
  const int keyColumnCount = static_cast<int>(table.index.keyFields.size());
  setShape(std::move(table.description), std::move(table.index), keyColumnCount, false);
  m_keyColumns = std::move(table.keyColumns);
  for (std::size_t i = 0; i < description().fields.size(); ++i) {
    const FieldDescription &field = description().fields[i];
    m_selectList += (i ? ", " : "") + quoteIdentifier(field.name) + (field.kind == FieldKind::Money ? "::numeric" : "");
  }
  m_updateSql = updateStatement();
  return code::Ok;
}

std::string PostgresCursor::updateStatement() const {
  // SET the writable fields; WHERE the key is the record's and every field
  // still holds what it held when the edit began (as the server wrote it
  // then, compared as the server's values: null with null, texts byte for
  // byte). The parameters: the new values, the key, the values as read.
  std::string sets, where;
  int n = 0;
  for (int field : writableFields()) {
    sets += n ? ", " : "";
    sets += quoteIdentifier(description().fields[static_cast<std::size_t>(field)].name) + " = $" + std::to_string(++n);
  }
  for (std::size_t i = 0; i < m_keyColumns.size(); ++i)
    where += (i ? ", $" : "$") + std::to_string(++n);
  where = "(" + keyList() + ") = (" + where + ")";
  for (const FieldDescription &field : description().fields) {
    std::string column = quoteIdentifier(field.name);
    if (field.kind == FieldKind::Money)
      column += "::numeric";
    else if (field.kind == FieldKind::String || field.kind == FieldKind::Memo)
      column += " COLLATE \"C\"";
    where += " AND " + column + " IS NOT DISTINCT FROM $" + std::to_string(++n);
  }
  return "UPDATE " + m_qualified + " SET " + sets + " WHERE " + where + " RETURNING " + keyList();
}

std::string PostgresCursor::keyList() const {
  std::string list;
  for (std::size_t i = 0; i < m_keyColumns.size(); ++i)
    list += (i ? ", " : "") + m_keyColumns[i];
  return list;
}

std::string PostgresCursor::keyOrder(SearchDirection direction) const {
  const bool forward = direction == SearchDirection::Forward;
  std::string order;
  for (std::size_t i = 0; i < m_keyColumns.size(); ++i)
    order += (i ? ", " : "") + m_keyColumns[i] + (forward ? "" : " DESC");
  return order;
}

std::string PostgresCursor::pastKey(const Bookmark &from, SearchDirection direction, Parameters &parameters) const {
  const bool forward = direction == SearchDirection::Forward;
  parameters = keyParameters(from);
  std::string placeholders;
  for (std::size_t i = 0; i < parameters.size(); ++i)
    placeholders += (i ? ", $" : "$") + std::to_string(i + 1);
  return "(" + keyList() + ") " + (forward ? ">" : "<") + " (" + placeholders + ")";
}

PostgresCursor::Parameters PostgresCursor::keyParameters(const Bookmark &key) const {
  Parameters parameters;
  for (std::size_t i = 0; i < key.size(); ++i) {
    const FieldDescription &field = description().fields[static_cast<std::size_t>(currentIndex().keyFields[i])];
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
  out.values.assign(description().fields.size(), Value());
  for (std::size_t i = 0; i < description().fields.size(); ++i) {
    if (rows.isNull(row, static_cast<int>(i)))
      continue;
    // A text that reads as no value of the field is kept as the server
    // sent it: the record is shown, and check names the value.
    const FieldDescription &field = description().fields[i];
    auto value = valueFromPgText(field, rows.text(row, static_cast<int>(i)));
    out.values[i] = value ? std::move(*value) : Value::text(rows.text(row, static_cast<int>(i)));
  }
  out.bookmark.clear();
  for (int field : currentIndex().keyFields)
    out.bookmark.push_back(out.values[static_cast<std::size_t>(field)]);
  return code::Ok;
}

Result PostgresCursor::queryPage(SearchDirection direction, const Bookmark *from, int limit, std::deque<Record> &out) {
  const bool forward = direction == SearchDirection::Forward;
  // Outside a snapshot only the next record is ever served: read no more.
  const std::string rows = std::to_string(m_snapshot ? limit : 1);
  Parameters parameters;
  const std::string where = from ? " WHERE " + pastKey(*from, direction, parameters) : "";
  parameters.push_back(rows);
  const std::string sql = "SELECT " + m_selectList + " FROM " + m_qualified + where + " ORDER BY " + keyOrder(direction) +
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

std::string PostgresCursor::keyCondition(std::size_t columns) const {
  std::string where;
  for (std::size_t i = 0; i < m_keyColumns.size() && i < columns; ++i)
    where += (i ? " AND " : "") + m_keyColumns[i] + " = $" + std::to_string(i + 1);
  return where;
}

Result PostgresCursor::fetchKey(const std::vector<Value> &key, PgResult &rows) {
  const std::string where = keyCondition(key.size());
  const std::string sql = "SELECT " + m_selectList + " FROM " + m_qualified + " WHERE " + where + " ORDER BY " +
                          keyOrder(SearchDirection::Forward) + " LIMIT 1";
  if (const Result ran = run("key_" + std::to_string(key.size()), sql, keyParameters(key), rows); ran != code::Ok)
    return ran;
  if (rows.rows() == 0)
    return ErrorEntries::fail(code::RecordNotFound);
  return code::Ok;
}

Result PostgresCursor::queryKey(const std::vector<Value> &key, Record &out) {
  PgResult rows;
  if (const Result fetched = fetchKey(key, rows); fetched != code::Ok)
    return fetched;
  return rowToRecord(rows, 0, out);
}

Result PostgresCursor::foldedSql(const std::string &expression, std::string &out) {
  if (!m_icuFolding) {
    // ICU's root locale, as foldedCase uses; a server without ICU, or a
    // database of no UTF-8 encoding, folds with its own lower and upper.
    PgResult rows;
    if (const Result ran =
            run("icu_folding",
                "SELECT current_setting('server_encoding') = 'UTF8' AND EXISTS (SELECT 1 FROM pg_collation "
                "WHERE collname = 'und-x-icu' AND collprovider = 'i')",
                {}, rows);
        ran != code::Ok)
      return ran;
    m_icuFolding = rows.rows() == 1 && rows.text(0, 0) == "t";
  }
  out = *m_icuFolding ? "replace(lower(upper((" + expression + ")::text COLLATE \"und-x-icu\")), chr(962), chr(963))"
                      : "lower(upper((" + expression + ")::text))";
  return code::Ok;
}

Result PostgresCursor::filterSql(const RecordFilter &filter, Parameters &parameters, std::string &out,
                                 const char *joiner) {
  out.clear();
  for (const FilterPart &part : filter) {
    out += out.empty() ? "(" : std::string(" ") + joiner + " (";
    const std::string column =
        part.fieldNo >= 0 ? quoteIdentifier(description().fields[static_cast<std::size_t>(part.fieldNo)].name) : "";
    switch (part.test) {
    case FilterPart::Test::Equals:
      // "C": byte for byte, whatever collation the column has.
      out += column + " = ? COLLATE \"C\"";
      parameters.push_back(part.text);
      break;
    case FilterPart::Test::Contains: {
      // Both texts folded by the server, so that they fold alike.
      std::string stored, asked;
      if (const Result folded = foldedSql(column, stored); folded != code::Ok)
        return folded;
      if (const Result folded = foldedSql("?", asked); folded != code::Ok)
        return folded;
      out += "strpos(" + stored + ", " + asked + ") > 0";
      parameters.push_back(part.text);
      break;
    }
    case FilterPart::Test::Sql:
      out += part.sql;
      for (const Value &value : part.parameters)
        parameters.push_back(value.isNull() ? std::nullopt : std::optional(pgParameterText(value)));
      break;
    case FilterPart::Test::AnyOf: {
      std::string alternatives;
      if (const Result built = filterSql(part.alternatives, parameters, alternatives, "OR"); built != code::Ok)
        return built;
      out += alternatives;
      break;
    }
    }
    out += ")";
  }
  return code::Ok;
}

Result PostgresCursor::runFiltered(const std::string &sql, const Parameters &parameters, PgResult &out) {
  auto named = m_filterStatements.find(sql);
  if (named == m_filterStatements.end())
    named = m_filterStatements.emplace(sql, "filter_" + std::to_string(m_filterStatements.size())).first;
  return run(named->second, numberedParameters(sql), parameters, out);
}

Result PostgresCursor::queryWhere(SearchDirection direction, const RecordFilter &filter, const Bookmark *from,
                                  Record &out) {
  const bool forward = direction == SearchDirection::Forward;
  Parameters parameters;
  std::string where;
  if (from) {
    // The key's own "$n" placeholders as "?", numbered with the rest.
    where = "(" + keyList() + ") " + (forward ? ">" : "<") + " (";
    for (std::size_t i = 0; i < from->size(); ++i)
      where += i ? ", ?" : "?";
    where += ")";
    parameters = keyParameters(*from);
  }
  std::string conditions;
  if (const Result built = filterSql(filter, parameters, conditions); built != code::Ok)
    return built;
  if (!conditions.empty())
    where += (where.empty() ? "" : " AND ") + conditions;
  const std::string sql = "SELECT " + m_selectList + " FROM " + m_qualified + (where.empty() ? "" : " WHERE " + where) +
                          " ORDER BY " + keyOrder(direction) + " LIMIT 1";
  PgResult rows;
  if (const Result ran = runFiltered(sql, parameters, rows); ran != code::Ok)
    return ran;
  if (rows.rows() == 0)
    return ErrorEntries::fail(forward ? code::Eof : code::Bof);
  return rowToRecord(rows, 0, out);
}

Result PostgresCursor::queryCount(const RecordFilter &filter, std::int64_t &out) {
  Parameters parameters;
  std::string conditions;
  if (const Result built = filterSql(filter, parameters, conditions); built != code::Ok)
    return built;
  PgResult rows;
  if (const Result ran = runFiltered("SELECT count(*) FROM " + m_qualified +
                                         (conditions.empty() ? "" : " WHERE " + conditions),
                                     parameters, rows);
      ran != code::Ok)
    return ran;
  const std::string text = rows.rows() == 1 ? rows.text(0, 0) : std::string();
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), out);
  if (error != std::errc() || end != text.data() + text.size() || text.empty())
    return ErrorEntries::fail(code::ValueDoesNotFit, {{code::ValueDoesNotFit, 0, locationEntry()},
                                                      {code::ValueDoesNotFit, 0, "The server counted \"" + text + "\""}});
  return code::Ok;
}

Result PostgresCursor::lock(const Bookmark &key) {
  // The cursor locks a record only when it holds none (it alone knows
  // which it holds); a second lock of one key would stack on the server.
  const AdvisoryLockKey wanted = advisoryLockKey(m_tableOid, key);
  unlock();
  PgResult rows;
  const LockCall call = takingCall("lock", "pg_try_advisory_lock", wanted);
  if (const Result ran = run(call.name, call.sql, call.parameters, rows); ran != code::Ok)
    return ran;
  if (rows.text(0, 0) != "t")
    return recordLocked(key);
  m_lock = wanted;
  m_lockedAtResets = m_conn->resets();
  return code::Ok;
}

Result PostgresCursor::lockUntilCommit(const Bookmark &key) {
  VANDRO_EXPECTS(m_bulk, "a bulk transaction");
  // A transaction's advisory lock: the server lets it go at the
  // transaction's end, and it conflicts with every session's record lock.
  PgResult rows;
  const LockCall call = takingCall("lock_xact", "pg_try_advisory_xact_lock", advisoryLockKey(m_tableOid, key));
  if (const Result ran = run(call.name, call.sql, call.parameters, rows); ran != code::Ok)
    return ran;
  return rows.text(0, 0) == "t" ? code::Ok : recordLocked(key);
}

Result PostgresCursor::storeDeleted(const Bookmark &key) {
  const std::string where = keyCondition(m_keyColumns.size());
  PgResult rows;
  return run("delete", "DELETE FROM " + m_qualified + " WHERE " + where, keyParameters(key), rows, Retry::Never);
}

std::optional<LockHolder> PostgresCursor::holderOf(const Bookmark &key) const {
  PgResult rows;
  const auto row = lockRow(advisoryLockKey(m_tableOid, key));
  if (m_conn->isBroken() ||
      m_conn->execPrepared("holder",
                           std::string("SELECT ") + kHolderColumns + kOthersLocks + kAdvisoryHere +
                               "AND l.classid = $1::oid AND l.objid = $2::oid AND l.objsubid = $3::int2 LIMIT 1",
                           pointers(row), rows) != code::Ok ||
      rows.rows() == 0)
    return std::nullopt;
  LockHolder holder = holderFromRow(rows, 0, 0);
  holder.record = recordName(key);
  return holder;
}

std::optional<LockHolder> PostgresCursor::rowHolder(const Bookmark &key) const {
  // Another client's open transaction holds the row: the row's xmax is
  // that transaction, whose own lock in pg_locks names its session. (Rows
  // several share-lock together carry a multixact instead: unnamed.)
  const std::string where = keyCondition(m_keyColumns.size());
  const Parameters parameters = keyParameters(key);
  PgResult rows;
  if (m_conn->isBroken() ||
      m_conn->exec(std::string("SELECT ") + kHolderColumns + kOthersLocks +
                       "AND l.locktype = 'transactionid' AND l.mode = 'ExclusiveLock' AND l.transactionid = (SELECT xmax FROM " +
                       m_qualified + " WHERE " + where + ") LIMIT 1",
                   pointers(parameters), rows) != code::Ok ||
      rows.rows() == 0)
    return std::nullopt;
  return holderFromRow(rows, 0, 0);
}

Result PostgresCursor::lockHolders(std::vector<LockHolder> &out) {
  out.clear();
  // The records of this table locked by the two-integer form: the key is
  // the lock's second integer. Hashed keys name no table and are left out.
  PgResult rows;
  const std::string oid = std::to_string(m_tableOid);
  if (const Result listed =
          run("holders",
              std::string("SELECT l.objid::bigint, ") + kHolderColumns + kOthersLocks + kAdvisoryHere +
                  "AND l.classid = $1::oid AND l.objsubid = 2 ORDER BY l.objid::int8::bit(32)::int4",
              {oid}, rows);
      listed != code::Ok)
    return listed;
  for (int r = 0; r < rows.rows(); ++r) {
    long long objid = 0;
    const std::string text = rows.text(r, 0);
    if (std::from_chars(text.data(), text.data() + text.size(), objid).ec != std::errc())
      continue;
    LockHolder holder = holderFromRow(rows, r, 1);
    holder.record = recordName({Value::integer(static_cast<std::int32_t>(static_cast<std::uint32_t>(objid)))});
    out.push_back(std::move(holder));
  }
  return code::Ok;
}

void PostgresCursor::unlock() {
  if (!m_lock)
    return;
  // A lock of a connection that broke went with it.
  if (m_conn->resets() == m_lockedAtResets && !m_conn->isBroken()) {
    PgResult ignored;
    const LockCall call = lockCall("unlock", "pg_advisory_unlock", *m_lock);
    (void)m_conn->execPrepared(call.name, call.sql, pointers(call.parameters), ignored);
  }
  m_lock.reset();
}

Result PostgresCursor::queryRecord(const Bookmark &key, ReadFor purpose, Record &out) {
  PgResult rows;
  if (const Result fetched = fetchKey(key, rows); fetched != code::Ok)
    return fetched;
  if (const Result read = rowToRecord(rows, 0, out); read != code::Ok)
    return read;
  if (purpose == ReadFor::Edit) {
    // The record as the edit found it, in the server's own words: a post
    // stores only over exactly this.
    m_readTexts.clear();
    for (int i = 0; i < static_cast<int>(description().fields.size()); ++i)
      m_readTexts.push_back(rows.isNull(0, i) ? std::nullopt : std::optional(rows.text(0, i)));
    m_lostWhileLocked = false;
  }
  return code::Ok;
}

Result PostgresCursor::relock() {
  if (m_conn->isBroken())
    if (const Result reset = m_conn->reset(); reset != code::Ok)
      return ErrorEntries::fail(code::ConnectionLost,
                                {{code::ConnectionLost, 0, "Server: " + m_conn->serverName()},
                                 {code::ConnectionLost, 0, "The edit is kept; store it again once the server can be reached"}});
  if (m_conn->resets() == m_lockedAtResets)
    return code::Ok;
  // The server dropped the lock with the old connection; whatever others
  // stored meanwhile, the post's own condition finds.
  m_lostWhileLocked = true;
  m_lock.reset();
  const Result locked = lock(currentKey());
  if (locked == code::RecordLocked)
    ErrorEntries::add({code::RecordLocked, 0,
                       "The connection to the server was lost while the record was being edited, and its lock "
                       "with it"});
  return locked;
}

std::string PostgresCursor::withLogged(const std::string &write, const LogRows &logged, Parameters &parameters) const {
  std::string columns, rows;
  for (const std::string &column : logged.columns)
    columns += (columns.empty() ? "" : ", ") + quoteIdentifier(column);
  for (const auto &row : logged.rows) {
    rows += rows.empty() ? "(" : ", (";
    for (std::size_t i = 0; i < row.size(); ++i) {
      // A null is a parameter too, so that the statement's text depends on
      // the rows' number and kinds only and is prepared once.
      const Value &value = row[i];
      rows += i ? ", " : "";
      parameters.push_back(value.isNull() ? std::nullopt : std::optional(pgParameterText(value)));
      rows += "$" + std::to_string(parameters.size()) +
              (value.isInteger() ? "::bigint" : value.isReal() ? "::double precision" : "::text");
    }
    rows += ")";
  }
  return "WITH \"changed\" AS (" + write + "), \"logged\" AS (INSERT INTO " + logged.table + " (" + columns +
         ") SELECT * FROM (VALUES " + rows + ") AS \"rows\" WHERE EXISTS (SELECT 1 FROM \"changed\")) "
         "SELECT * FROM \"changed\"";
}

std::string PostgresCursor::loggedName(const std::string &sql) {
  auto [at, added] = m_loggedNames.try_emplace(sql, "logged_" + std::to_string(m_loggedNames.size() + 1));
  return at->second;
}

Result PostgresCursor::storeModified(const Record &record, Bookmark &key, const LogRows *logged) {
  Parameters parameters;
  for (int field : writableFields()) {
    const FieldDescription &described = description().fields[static_cast<std::size_t>(field)];
    const Value &value = record.values[static_cast<std::size_t>(field)];
    parameters.push_back(value.isNull() ? std::nullopt : std::optional(pgTextFromValue(described, value)));
  }
  for (auto &part : keyParameters(currentKey()))
    parameters.push_back(std::move(part));
  parameters.insert(parameters.end(), m_readTexts.begin(), m_readTexts.end());
  // With the change log's rows, one statement stores both, or neither.
  const std::string sql = logged ? withLogged(m_updateSql, *logged, parameters) : m_updateSql;
  const std::string name = logged ? loggedName(sql) : "update";

  if (const Result relocked = relock(); relocked != code::Ok)
    return relocked;
  PgResult rows;
  Result result = run(name, sql, parameters, rows, Retry::Never);
  bool brokeInTheMiddle = false;
  if (result == code::ConnectionLost || m_conn->resets() != m_lockedAtResets) {
    // Broken in the middle: stored before the break (with the log's rows),
    // or not at all. The condition makes a second try safe either way.
    if (const Result relocked = relock(); relocked != code::Ok)
      return relocked;
    brokeInTheMiddle = true;
    result = run(name, sql, parameters, rows, Retry::Never);
  }
  if (result == code::TableBusy) {
    // The server waited its lock_timeout for a row another client's
    // transaction holds (a client that does not take Vandro's locks).
    const std::optional<LockHolder> holder = rowHolder(currentKey());
    (void)recordLocked(currentKey());
    ErrorEntries::add({code::RecordLocked, 0,
                       (holder ? holderText(*holder) + ", in a transaction of a client that is not a Vandro program"
                               : std::string("Held by a transaction of another client (not a Vandro program)")) +
                           "; the server waited 3 seconds for it"});
    return code::RecordLocked;
  }
  if (result != code::Ok)
    return result;
  if (rows.rows() > 0) {
    key = keyOfRow(rows);
    return code::Ok;
  }
  // Nothing stored: the record is no longer the one the edit began from,
  // unless it is the edit itself, stored by the try the break cut short.
  Record now;
  if (brokeInTheMiddle && queryKey(keyOf(record), now) == code::Ok) {
    Record expected = now;
    for (int field : writableFields())
      expected.values[static_cast<std::size_t>(field)] = record.values[static_cast<std::size_t>(field)];
    if (now.values == expected.values) {
      key = now.bookmark;
      return code::Ok;
    }
  }
  return ErrorEntries::fail(code::RecordChanged);
}

Result PostgresCursor::storeInserted(const Record &record, Bookmark &key, const LogRows *logged) {
  Parameters parameters;
  std::string columns, placeholders, variant;
  for (int field : writableFields()) {
    const FieldDescription &described = description().fields[static_cast<std::size_t>(field)];
    const Value &value = record.values[static_cast<std::size_t>(field)];
    if (described.kind == FieldKind::AutoInc && value.isNull()) {
      variant += 'n'; // numbered by the server
      continue;
    }
    variant += 'v';
    parameters.push_back(value.isNull() ? std::nullopt : std::optional(pgTextFromValue(described, value)));
    columns += (columns.empty() ? "" : ", ") + quoteIdentifier(described.name);
    placeholders += (placeholders.empty() ? "$" : ", $") + std::to_string(parameters.size());
  }
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
    key = keyOf(record);
    m_copied.push_back(recordName(key));
    return code::Ok;
  }
  std::string sql =
      "INSERT INTO " + m_qualified + " (" + columns + ") VALUES (" + placeholders + ") RETURNING " + keyList();
  // With the change log's rows, one statement stores both, or neither.
  if (logged)
    sql = withLogged(sql, *logged, parameters);
  PgResult rows;
  if (const Result result = run(logged ? loggedName(sql) : "insert_" + variant, sql, parameters, rows, Retry::Never);
      result != code::Ok)
    return result;
  key = keyOfRow(rows);
  return code::Ok;
}

Bookmark PostgresCursor::keyOfRow(const PgResult &rows) const {
  Bookmark key;
  for (std::size_t i = 0; i < currentIndex().keyFields.size(); ++i) {
    const FieldDescription &field = description().fields[static_cast<std::size_t>(currentIndex().keyFields[i])];
    key.push_back(valueFromPgText(field, rows.text(0, static_cast<int>(i))).value_or(Value()));
  }
  return key;
}

Result PostgresCursor::appendRows(const LogRows &rows) {
  VANDRO_EXPECTS(m_bulk, "a bulk transaction");
  if (rows.rows.empty())
    return code::Ok;
  // The records' own COPY ends first; the next record starts another.
  if (const Result copied = finishCopy(); copied != code::Ok)
    return copied;
  std::string columns;
  for (const std::string &column : rows.columns)
    columns += (columns.empty() ? "" : ", ") + quoteIdentifier(column);
  if (const Result started = m_conn->startCopy("COPY " + rows.table + " (" + columns + ") FROM STDIN");
      started != code::Ok)
    return started;
  std::string lines;
  for (const auto &row : rows.rows) {
    for (std::size_t i = 0; i < row.size(); ++i)
      lines += (i ? "\t" : "") + copyText(row[i].isNull() ? std::nullopt : std::optional(pgParameterText(row[i])));
    lines += "\n";
    // Sent in pieces of a few hundred kilobytes.
    if (lines.size() > 256 * 1024) {
      if (const Result sent = m_conn->copyLine(lines); sent != code::Ok) {
        (void)m_conn->endCopy("abandoned");
        return sent;
      }
      lines.clear();
    }
  }
  if (!lines.empty())
    if (const Result sent = m_conn->copyLine(lines); sent != code::Ok) {
      (void)m_conn->endCopy("abandoned");
      return sent;
    }
  if (const Result ended = m_conn->endCopy(); ended != code::Ok) {
    ErrorEntries::add({ended, 0, "Table: " + rows.table});
    return ended;
  }
  return code::Ok;
}

Result PostgresCursor::setPassword(const std::optional<std::string> &) {
  return ErrorEntries::fail(code::NotForServerTables, {{code::NotForServerTables, 0, locationEntry()}});
}

Result PostgresCursor::beginBulk() {
  if (!isWritable())
    return ErrorEntries::fail(code::TableIsReadOnly, {{code::TableIsReadOnly, 0, locationEntry()}});
  if (const Result begun = m_conn->exec("BEGIN"); begun != code::Ok)
    return begun;
  m_bulk = true;
  return code::Ok;
}

Result PostgresCursor::commitBulk() {
  // The change log's last rows first; on failure the caller rolls back.
  if (const Result logged = changeLogCommitting(); logged != code::Ok)
    return logged;
  if (const Result copied = finishCopy(); copied != code::Ok) {
    (void)rollbackBulk();
    return copied;
  }
  m_bulk = false;
  return m_conn->exec("COMMIT");
}

Result PostgresCursor::rollbackBulk() {
  changeLogRolledBack();
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

std::string PostgresCursor::columnType(FieldKind kind, int size) const { return pgTypeFor(kind, size); }
std::string PostgresCursor::sessionRole() const { return m_conn ? m_conn->role() : std::string(); }

std::optional<std::string> PostgresCursor::siblingNameProblem(const std::string &suffix) const {
  // The server would cut a longer name to one that may be this table's own
  // or another's.
  if (tableName().size() + suffix.size() <= Database::kLongestServerName)
    return std::nullopt;
  return "The table " + tableName() + suffix + " beside this one would need a name longer than the server's " +
         std::to_string(Database::kLongestServerName) + " bytes; rename the table to " +
         std::to_string(Database::kLongestServerName - Database::kSiblingSuffixRoom) + " bytes at most";
}

Result PostgresCursor::hasSibling(const std::string &suffix, bool &out) {
  std::vector<std::vector<Value>> rows;
  if (const Result result = execute("SELECT (to_regclass(?) IS NOT NULL)::int", {Value::text(siblingName(suffix))}, &rows);
      result != code::Ok)
    return result;
  out = !rows.empty() && !rows[0].empty() && rows[0][0].isInteger() && rows[0][0].asInteger() == 1;
  return code::Ok;
}

std::string PostgresCursor::siblingName(const std::string &suffix) const {
  return m_schema + quoteIdentifier(tableName() + suffix);
}

Result PostgresCursor::execute(const std::string &sql, const std::vector<Value> &parameters,
                               std::vector<std::vector<Value>> *rows) {
  if (const Result copied = finishCopy(); copied != code::Ok)
    return copied;
  Parameters texts;
  for (const Value &value : parameters)
    texts.push_back(value.isNull() ? std::nullopt : std::optional(pgParameterText(value)));
  PgResult result;
  if (const Result ran = m_conn->exec(numberedParameters(sql), pointers(texts), result); ran != code::Ok) {
    ErrorEntries::add({ran, 0, locationEntry()});
    return ran;
  }
  dropAhead();
  if (!rows)
    return code::Ok;
  const int columns = PQnfields(result.get());
  for (int r = 0; r < result.rows(); ++r) {
    std::vector<Value> row;
    for (int c = 0; c < columns; ++c)
      row.push_back(valueOfPgColumn(result, r, c));
    rows->push_back(std::move(row));
  }
  return code::Ok;
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
        if (const auto problem = storedValueProblem(description().fields[i], record.values[i]))
          problems.push_back(fieldProblem(description().fields[i], recordName(record.bookmark), *problem));
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
