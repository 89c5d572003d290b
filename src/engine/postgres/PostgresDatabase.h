// A database on a PostgreSQL server: the tables of one schema.
#pragma once

#include "../Database.h"
#include "PgConnection.h"

namespace vandro::engine {

class Engine;

class PostgresDatabase final : public Database {
public:
  // `settings` are libpq's connection keywords; `schema` where the tables
  // are (the server's search path when empty). Nothing connects yet.
  PostgresDatabase(Engine &engine, PgSettings settings, std::string schema, OpenMode openMode);

  // "PostgreSQL host:port/dbname", for messages.
  const std::string &directory() const override { return m_name; }
  Result openTable(const std::string &tableName, const std::string &tableType, OpenMode openMode,
                   ShareMode shareMode, std::unique_ptr<Cursor> &out) override;
  bool tableExists(const std::string &tableName) const override;
  Result createTable(const std::string &tableName, const std::vector<FieldDescription> &fields,
                     const std::vector<int> &primaryKey) override;

private:
  std::string qualified(const std::string &tableName) const;

  Engine &m_engine;
  PgSettings m_settings;
  std::string m_schema;
  OpenMode m_openMode;
  std::string m_name;
};

} // namespace vandro::engine
