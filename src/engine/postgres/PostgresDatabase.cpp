#include "PostgresDatabase.h"

#include "../Engine.h"
#include "../ErrorEntries.h"
#include "../Quoted.h"
#include "PgKeywords.h"
#include "PgValues.h"
#include "PostgresCursor.h"

#include <filesystem>

namespace vandro::engine {

namespace {

// "PostgreSQL host=... dbname=... schema=...", for messages.
std::string describe(const PgSettings &settings, const std::string &schema) {
  std::string where;
  for (const auto &[key, value] : settings)
    if (key == "host" || key == "port" || key == "dbname" || key == "service")
      where += (where.empty() ? "" : " ") + key + "=" + value;
  return "PostgreSQL " + (where.empty() ? std::string("on the local socket") : where) +
         (schema.empty() ? "" : " schema=" + schema);
}

} // namespace

PostgresDatabase::PostgresDatabase(Engine &engine, PgSettings settings, std::string schema, OpenMode openMode)
    : Database(describe(settings, schema), openMode, kName), m_engine(engine), m_settings(std::move(settings)),
      m_schema(std::move(schema)) {}

std::optional<std::string> PostgresDatabase::settingProblem(const std::string &key) {
  return key == "schema" ? std::nullopt : pgSettingProblem(key);
}

Result PostgresDatabase::open(Engine &engine, const DatabasePlace &place, std::unique_ptr<Database> &out) {
  std::string schema;
  PgSettings settings;
  const auto &given = place.info.settings;
  for (std::size_t i = 0; i < given.size(); ++i) {
    if (const auto problem = aliasSettingProblem(settingProblem, given, i)) {
      auto entries = place.entries(code::ConfigMalformed, place.info.settingLines[i]);
      entries.push_back({code::ConfigMalformed, 0, *problem});
      return ErrorEntries::fail(code::ConfigMalformed, entries);
    }
    if (given[i].first == "schema")
      schema = given[i].second;
    else
      settings.push_back(given[i]);
  }
  out = std::make_unique<PostgresDatabase>(engine, std::move(settings), std::move(schema), place.openMode);
  return code::Ok;
}

std::string PostgresDatabase::qualified(const std::string &tableName) const {
  const std::string table = std::filesystem::path(tableName).stem().string();
  return (m_schema.empty() ? "" : quoteIdentifier(m_schema) + ".") + quoteIdentifier(table);
}

std::optional<std::string> PostgresDatabase::tableNameProblem(const std::string &tableName, bool making) const {
  // The server cuts a longer name to its first 63 bytes (NAMEDATALEN - 1)
  // without a word, so a long name would open or make another table; a
  // table made here leaves room for its companions' suffixes.
  constexpr std::size_t kLongestName = kLongestServerName;
  const std::size_t bytes = std::filesystem::path(tableName).stem().string().size();
  if (making && bytes + kSiblingSuffixRoom > kLongestName)
    return "A new table's name has " + std::to_string(kLongestName - kSiblingSuffixRoom) +
           " bytes at most on the server, so that the names of the tables beside it (up to the name and "
           "\"_sources_document\") fit the server's " +
           std::to_string(kLongestName) + "; this one has " + std::to_string(bytes);
  if (bytes > kLongestName)
    return "The server holds table names of " + std::to_string(kLongestName) + " bytes at most; this one has " +
           std::to_string(bytes);
  return std::nullopt;
}

Result PostgresDatabase::connection(std::unique_ptr<PgConnection> &out) const {
  // A child process never takes the connection its parent kept.
  if (m_spare && m_spare->ownedByThisProcess() && !m_spare->isBroken()) {
    out = std::move(m_spare);
    return code::Ok;
  }
  m_spare.reset();
  return PgConnection::connect(m_settings, m_engine.passwords(), out);
}

Result PostgresDatabase::openNamedTable(const std::string &tableName, OpenMode openMode, std::unique_ptr<Cursor> &out) {
  std::unique_ptr<PgConnection> connection;
  if (const Result connected = this->connection(connection); connected != code::Ok)
    return connected;
  const Result opened = PostgresCursor::open(connection, m_schema, tableName, openMode, out);
  if (connection)
    m_spare = std::move(connection); // not taken: kept for the next try (read-only, say)
  return opened;
}

bool PostgresDatabase::hasTable(const std::string &tableName) const {
  std::unique_ptr<PgConnection> connection;
  if (this->connection(connection) != code::Ok)
    return false;
  PgResult rows;
  const std::string name = qualified(tableName);
  const bool exists = connection->exec("SELECT to_regclass($1) IS NOT NULL", {name.c_str()}, rows) == code::Ok &&
                      rows.text(0, 0) == "t";
  m_spare = std::move(connection);
  return exists;
}

Result PostgresDatabase::makeTable(const std::string &tableName, const std::vector<FieldDescription> &fields,
                                   const std::vector<int> &primaryKey) {
  std::unique_ptr<PgConnection> connection;
  if (const Result connected = this->connection(connection); connected != code::Ok)
    return connected;
  std::string sql = "CREATE TABLE " + qualified(tableName) + " (";
  for (std::size_t i = 0; i < fields.size(); ++i)
    sql += (i ? ", " : "") + quoteIdentifier(fields[i].name) + " " + pgTypeFor(fields[i].kind, fields[i].size) +
           (fields[i].required ? " NOT NULL" : "");
  if (!primaryKey.empty()) {
    sql += ", PRIMARY KEY (";
    for (std::size_t k = 0; k < primaryKey.size(); ++k)
      sql += (k ? ", " : "") + quoteIdentifier(fields[static_cast<std::size_t>(primaryKey[k])].name);
    sql += ")";
  }
  sql += ")";
  const Result created = connection->exec(sql);
  m_spare = std::move(connection);
  if (created != code::Ok) {
    ErrorEntries::add({created, 0, "Table: " + qualified(tableName)});
    return created;
  }
  return code::Ok;
}

} // namespace vandro::engine
