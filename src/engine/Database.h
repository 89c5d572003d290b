// A database: the tables of a directory (a file each), or of a schema on a
// server.
#pragma once

#include "Cursor.h"
#include "Result.h"
#include "Schema.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vandro::engine {

// What every driver's database shares: the checks of a table's name and
// type and of the database's open mode; the driver opens, finds and makes
// the tables.
class Database {
public:
  virtual ~Database() = default;

  // Where the database is: the directory's path, or the server and schema
  // ("PostgreSQL host=... dbname=..."), for messages and for the files of
  // a directory.
  const std::string &location() const { return m_location; }

  // Open table `tableName`, such as "Vandro.DB": a file of the directory,
  // or the server's table named by its stem. `tableType` "default" lets the
  // engine choose the driver; the driver's own name names it too.
  // A database opened read-only opens its tables read-only.
  // ReadOnlyTable when the table can be opened for reading only (open again
  // with OpenMode::ReadOnly); PasswordNeeded when the table has a password
  // that the session does not hold; TableNotFound, NotADatabase,
  // DatabaseDamaged, TableMissingInFile or UnsupportedSchema otherwise.
  [[nodiscard]] Result openTable(const std::string &tableName, const std::string &tableType, OpenMode openMode,
                                 ShareMode shareMode, std::unique_ptr<Cursor> &out);

  // Whether the table exists.
  bool tableExists(const std::string &tableName) const;

  // Create a new, empty table with these fields; the fields numbered in
  // `primaryKey` (in key order) form its primary key. TableExists when the
  // table is there already.
  [[nodiscard]] Result createTable(const std::string &tableName, const std::vector<FieldDescription> &fields,
                                   const std::vector<int> &primaryKey);

protected:
  // `tableType` is the driver's name for its tables.
  Database(std::string location, OpenMode openMode, std::string_view tableType)
      : m_location(std::move(location)), m_openMode(openMode), m_tableType(tableType) {}

  // Why `tableName` (not empty) cannot name a table of this database, or
  // nothing. `making`: the table is to be made now, so its companion tables
  // (Cursor::siblingName, suffixes up to kSiblingSuffixRoom bytes) must be
  // possible too.
  virtual std::optional<std::string> tableNameProblem(const std::string &tableName, bool making) const = 0;
  // The driver's part of the calls above, with the name checked and the
  // open mode the database allows.
  [[nodiscard]] virtual Result openNamedTable(const std::string &tableName, OpenMode openMode,
                                              std::unique_ptr<Cursor> &out) = 0;
  virtual bool hasTable(const std::string &tableName) const = 0;
  [[nodiscard]] virtual Result makeTable(const std::string &tableName, const std::vector<FieldDescription> &fields,
                                         const std::vector<int> &primaryKey) = 0;

public:
  // The longest suffix the names of a table's companion tables and their
  // indexes add to its name ("_sources_document").
  static constexpr std::size_t kSiblingSuffixRoom = 17;
  // The longest table name, in bytes, a server holds uncut (NAMEDATALEN - 1).
  static constexpr std::size_t kLongestServerName = 63;

private:
  // Why the name cannot be used, or nothing.
  std::optional<std::string> nameProblem(const std::string &tableName, bool making) const;

  std::string m_location;
  OpenMode m_openMode;
  std::string_view m_tableType;
};

} // namespace vandro::engine
