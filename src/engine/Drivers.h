// The database drivers the engine has, in one table.
#pragma once

#include "Config.h"
#include "Database.h"
#include "ErrorEntries.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace vandro::engine {

class Engine;

// Where a database is: an alias of the configuration (its name, the file,
// its settings), or, with `alias` empty, the directory `path`.
struct DatabasePlace {
  std::string alias;
  std::string configPath;
  AliasInfo info;
  std::string path;
  OpenMode openMode = OpenMode::ReadWrite;
  ShareMode shareMode = ShareMode::Shared;

  // "Alias: NAME" and "Configuration: FILE, line N" (of `line`, else the
  // alias's own), for the error entries; none for a directory.
  std::vector<ErrorEntry> entries(Result result, int line = 0) const;
};

// One driver: the names an alias's `driver` may give it (in lower case),
// how its storage library starts, and how it opens a database.
struct Driver {
  std::vector<std::string_view> names;
  Result (*start)();
  Result (*open)(Engine &engine, const DatabasePlace &place, std::unique_ptr<Database> &out);
};

// Every driver; the first is the default (the directory databases).
const std::vector<Driver> &drivers();
// The driver an alias names (`name` in lower case); null for none.
const Driver *driverNamed(const std::string &name);

} // namespace vandro::engine
