// A database of SQLite table files in one directory.
#pragma once

#include "../Database.h"

namespace vandro::engine {

class Engine;

class SqliteDatabase final : public Database {
public:
  SqliteDatabase(Engine &engine, std::string directory, OpenMode openMode, ShareMode shareMode);

  const std::string &directory() const override { return m_directory; }
  Result openTable(const std::string &tableName, const std::string &tableType, OpenMode openMode,
                   ShareMode shareMode, std::unique_ptr<Cursor> &out) override;
  bool tableExists(const std::string &tableName) const override;
  Result createTable(const std::string &tableName, const std::vector<FieldDescription> &fields,
                     const std::vector<int> &primaryKey) override;

private:
  std::string pathOf(const std::string &tableName) const;
  Engine &m_engine;
  std::string m_directory;
  OpenMode m_openMode;
};

} // namespace vandro::engine
