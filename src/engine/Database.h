// A database: the tables of a directory (a file each), or of a schema on a
// server.
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

  // Where the database is: the directory's path, or the server and schema
  // ("PostgreSQL host=... dbname=..."), for messages and for the files of
  // a directory.
  virtual const std::string &directory() const = 0;

  // Open table `tableName`, such as "Vandro.DB": a file of the directory,
  // or the server's table named by its stem. `tableType` "default" lets the
  // engine choose the driver.
  // ReadOnlyTable when the table can be opened for reading only (open again
  // with OpenMode::ReadOnly); PasswordNeeded when the table has a password
  // that the session does not hold; TableNotFound, NotADatabase,
  // DatabaseDamaged, TableMissingInFile or UnsupportedSchema otherwise.
  [[nodiscard]] virtual Result openTable(const std::string &tableName, const std::string &tableType,
                                         OpenMode openMode, ShareMode shareMode,
                                         std::unique_ptr<Cursor> &out) = 0;

  // Whether the table exists.
  virtual bool tableExists(const std::string &tableName) const = 0;

  // Create a new, empty table with these fields; the fields numbered in
  // `primaryKey` (in key order) form its primary key. TableExists when the
  // table is there already.
  [[nodiscard]] virtual Result createTable(const std::string &tableName,
                                           const std::vector<FieldDescription> &fields,
                                           const std::vector<int> &primaryKey) = 0;
};

} // namespace vandro::engine
