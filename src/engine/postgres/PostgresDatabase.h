// A database on a PostgreSQL server: the tables of one schema.
#pragma once

#include "../Database.h"
#include "../Drivers.h"
#include "PgConnection.h"

#include <optional>

namespace vandro::engine {

class Engine;

class PostgresDatabase final : public Database {
public:
  // `settings` are libpq's connection keywords; `schema` where the tables
  // are (the server's search path when empty). Nothing connects yet: the
  // first request connects, and the connection it made is kept for the
  // first table opened, so that opening a database and its table costs one
  // login.
  // Its location reads "PostgreSQL host=... dbname=... schema=...".
  PostgresDatabase(Engine &engine, PgSettings settings, std::string schema, OpenMode openMode);

  // The driver's name for its tables and aliases.
  static constexpr std::string_view kName = "postgresql";
  // The driver: a schema of a server, from an alias whose settings are
  // libpq's keywords and `schema`, each once (checked by aliasSettingProblem).
  static Result open(Engine &engine, const DatabasePlace &place, std::unique_ptr<Database> &out);
  // Why `key` cannot be a setting of a server alias: not one of libpq's
  // keywords (schema apart), a secret, or the encoding.
  static std::optional<std::string> settingProblem(const std::string &key);

protected:
  std::optional<std::string> tableNameProblem(const std::string &tableName, bool making) const override;
  Result openNamedTable(const std::string &tableName, OpenMode openMode, std::unique_ptr<Cursor> &out) override;
  bool hasTable(const std::string &tableName) const override;
  Result makeTable(const std::string &tableName, const std::vector<FieldDescription> &fields,
                   const std::vector<int> &primaryKey) override;

private:
  std::string qualified(const std::string &tableName) const;
  // The kept connection, made now when there is none.
  Result connection(std::unique_ptr<PgConnection> &out) const;

  Engine &m_engine;
  PgSettings m_settings;
  std::string m_schema;
  // A connection made for a request and not yet taken by a table: the
  // database's requests use it, the next table opened takes it. Each table
  // needs one of its own (locks and snapshots belong to a session).
  mutable std::unique_ptr<PgConnection> m_spare;
};

} // namespace vandro::engine
