// A database on a PostgreSQL server: the tables of one schema.
#pragma once

#include "../Database.h"
#include "PgConnection.h"

namespace vandro::engine {

class Engine;

class PostgresDatabase final : public Database {
public:
  // `settings` are libpq's connection keywords; `schema` where the tables
  // are (the server's search path when empty). Nothing connects yet: the
  // first request connects, and the connection it made is kept for the
  // first table opened, so that opening a database and its table costs one
  // login.
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
  // The kept connection, made now when there is none.
  Result connection(std::unique_ptr<PgConnection> &out) const;

  Engine &m_engine;
  PgSettings m_settings;
  std::string m_schema;
  OpenMode m_openMode;
  std::string m_name;
  // A connection made for a request and not yet taken by a table: the
  // database's requests use it, the next table opened takes it. Each table
  // needs one of its own (locks and snapshots belong to a session).
  mutable std::unique_ptr<PgConnection> m_spare;
};

} // namespace vandro::engine
