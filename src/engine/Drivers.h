// The database drivers the engine has, in one table.
#pragma once

#include "Config.h"
#include "Database.h"
#include "ErrorEntries.h"

#include <memory>
#include <optional>
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

// Why a setting with key `key` (lower case) cannot stand in an alias of a
// driver, as one line for the user; nothing when it can.
using SettingProblem = std::optional<std::string> (*)(const std::string &key);

// One driver: the names an alias's `driver` may give it (in lower case, the
// first the one the configuration is written with), whether its aliases
// name a directory or hold connection settings (and which settings they may
// hold), how its storage library starts, and how it opens a database.
struct Driver {
  std::vector<std::string_view> names;
  bool takesDirectory;
  SettingProblem settingProblem; // null for a driver of directories
  Result (*start)();
  Result (*open)(Engine &engine, const DatabasePlace &place, std::unique_ptr<Database> &out);
};

// Every driver; the first is the default (the directory databases).
const std::vector<Driver> &drivers();
// The driver an alias names (`name` in lower case); null for none.
const Driver *driverNamed(const std::string &name);
// "sqlite (give a directory) and postgresql", for messages.
std::string driverList();

// Why setting `index` of `settings` cannot stand in an alias whose driver
// says `problem`: a key given before it (libpq would take the last,
// messages the first), or what `problem` says of its key.
std::optional<std::string> aliasSettingProblem(SettingProblem problem,
                                               const std::vector<std::pair<std::string, std::string>> &settings,
                                               std::size_t index);
// Whether a setting with key `key` holds a secret (a password): never
// shown.
bool settingIsSecret(const std::string &key);

} // namespace vandro::engine
