// A database of SQLite table files in one directory.
#pragma once

#include "../Database.h"
#include "../Drivers.h"

namespace vandro::engine {

class Engine;

class SqliteDatabase final : public Database {
public:
  SqliteDatabase(Engine &engine, std::string directory, OpenMode openMode);

  // The driver: SQLite started, and a directory of table files opened (the
  // alias's path, or the path given), its absence or a file in its place
  // said plainly.
  static Result start();
  static Result open(Engine &engine, const DatabasePlace &place, std::unique_ptr<Database> &out);

protected:
  std::optional<std::string> tableNameProblem(const std::string &tableName, bool making) const override;
  Result openNamedTable(const std::string &tableName, OpenMode openMode, std::unique_ptr<Cursor> &out) override;
  bool hasTable(const std::string &tableName) const override;
  Result makeTable(const std::string &tableName, const std::vector<FieldDescription> &fields,
                   const std::vector<int> &primaryKey) override;

private:
  std::string pathOf(const std::string &tableName) const;
  Engine &m_engine;
};

} // namespace vandro::engine
