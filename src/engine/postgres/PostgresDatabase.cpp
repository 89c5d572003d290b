#include "PostgresDatabase.h"

#include "../Engine.h"
#include "../ErrorEntries.h"
#include "../Quoted.h"
#include "PgValues.h"
#include "PostgresCursor.h"

#include <filesystem>

namespace vandro::engine {

PostgresDatabase::PostgresDatabase(Engine &engine, PgSettings settings, std::string schema, OpenMode openMode)
    : m_engine(engine), m_settings(std::move(settings)), m_schema(std::move(schema)), m_openMode(openMode) {
  std::string where;
  for (const auto &[key, value] : m_settings)
    if (key == "host" || key == "port" || key == "dbname" || key == "service")
      where += (where.empty() ? "" : " ") + key + "=" + value;
  m_name = "PostgreSQL " + (where.empty() ? std::string("on the local socket") : where) +
           (m_schema.empty() ? "" : " schema=" + m_schema);
}

std::string PostgresDatabase::qualified(const std::string &tableName) const {
  const std::string table = std::filesystem::path(tableName).stem().string();
  return (m_schema.empty() ? "" : quoteIdentifier(m_schema) + ".") + quoteIdentifier(table);
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

Result PostgresDatabase::openTable(const std::string &tableName, const std::string &tableType, OpenMode openMode,
                                   ShareMode, std::unique_ptr<Cursor> &out) {
  if (tableType != "default" && tableType != "postgresql")
    return ErrorEntries::fail(code::UnsupportedTableType, {{code::UnsupportedTableType, 0, "Table type: " + tableType}});
  if (tableName.empty())
    return ErrorEntries::fail(code::InvalidParameter, {{code::InvalidParameter, 0, "Table name: " + tableName}});
  const OpenMode mode = m_openMode == OpenMode::ReadOnly ? OpenMode::ReadOnly : openMode;
  std::unique_ptr<PgConnection> connection;
  if (const Result connected = this->connection(connection); connected != code::Ok)
    return connected;
  const Result opened = PostgresCursor::open(connection, m_schema, tableName, mode, out);
  if (connection)
    m_spare = std::move(connection); // not taken: kept for the next try (read-only, say)
  return opened;
}

bool PostgresDatabase::tableExists(const std::string &tableName) const {
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

Result PostgresDatabase::createTable(const std::string &tableName, const std::vector<FieldDescription> &fields,
                                     const std::vector<int> &primaryKey) {
  if (tableName.empty() || fields.empty())
    return ErrorEntries::fail(code::InvalidParameter, {{code::InvalidParameter, 0, "Table name: " + tableName}});
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
