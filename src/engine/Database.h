// A database: a directory of tables.
#pragma once

#include "Cursor.h"
#include "Result.h"
#include "Schema.h"

#include <memory>
#include <string>
#include <vector>

namespace vandro::engine {

class Database {
public:
  virtual ~Database() = default;

  virtual const std::string &directory() const = 0;

  // Open table `tableName` (a file name in the directory, such as
  // "Vandro.DB"). `tableType` "default" lets the engine choose the driver.
  // ReadOnlyTable when the file can be opened for reading only (open again
  // with OpenMode::ReadOnly); PasswordNeeded when the table has a password
  // that the session does not hold; TableNotFound, NotADatabase,
  // DatabaseDamaged, TableMissingInFile or UnsupportedSchema otherwise.
  [[nodiscard]] virtual Result openTable(const std::string &tableName, const std::string &tableType,
                                         OpenMode openMode, ShareMode shareMode,
                                         std::unique_ptr<Cursor> &out) = 0;

  // Whether the table's file exists.
  virtual bool tableExists(const std::string &tableName) const = 0;

  // Create a new, empty table with these fields; the fields numbered in
  // `primaryKey` (in key order) form its primary key. TableExists when the
  // file is there already.
  [[nodiscard]] virtual Result createTable(const std::string &tableName,
                                           const std::vector<FieldDescription> &fields,
                                           const std::vector<int> &primaryKey) = 0;
};

} // namespace vandro::engine
