#include "Drivers.h"

#include "ErrorEntries.h"
#include "postgres/PgKeywords.h"
#include "postgres/PostgresDatabase.h"
#include "sqlite/SqliteDatabase.h"

#include <algorithm>
#include <filesystem>
#include <sqlite3.h>

namespace vandro::engine {

namespace {

Result startSqlite() {
  if (const int rc = sqlite3_initialize(); rc != SQLITE_OK)
    return ErrorEntries::fail(code::EngineStartFailed, {{code::EngineStartFailed, rc, sqlite3_errstr(rc)}});
  return code::Ok;
}

Result startNothing() { return code::Ok; }

// A directory of table files: the alias's path, or the path given.
Result openSqlite(Engine &engine, const DatabasePlace &place, std::unique_ptr<Database> &out) {
  namespace fs = std::filesystem;
  if (!place.alias.empty() && place.info.path.empty())
    return ErrorEntries::fail(code::AliasIncomplete, place.entries(code::AliasIncomplete));
  std::error_code ec;
  const fs::path absolute = fs::absolute(place.alias.empty() ? place.path : place.info.path, ec).lexically_normal();
  const fs::file_status status = fs::status(absolute, ec);
  Result failure = code::Ok;
  std::string cause;
  if (ec == std::errc::permission_denied) {
    failure = code::PermissionDenied;
    cause = "A folder on the way to it may not be searched";
  } else if (ec && ec != std::errc::no_such_file_or_directory && ec != std::errc::not_a_directory) {
    failure = code::IoFailure;
    cause = ec.message();
  } else if (ec || !fs::exists(status)) {
    failure = code::DirectoryNotFound;
  } else if (!fs::is_directory(status)) {
    failure = code::DirectoryNotFound;
    cause = "It is a file, not a folder";
  }
  if (failure != code::Ok) {
    std::vector<ErrorEntry> entries{{failure, 0, "Directory: " + absolute.string()}};
    if (!cause.empty())
      entries.push_back({failure, 0, cause});
    for (auto &entry : place.entries(failure))
      entries.push_back(std::move(entry));
    return ErrorEntries::fail(failure, entries);
  }
  out = std::make_unique<SqliteDatabase>(engine, absolute.string(), place.openMode, place.shareMode);
  return code::Ok;
}

// A schema of a server: the alias's settings are libpq's keywords, each
// once, none that carries a secret or the encoding; `schema` is ours.
Result openPostgres(Engine &engine, const DatabasePlace &place, std::unique_ptr<Database> &out) {
  std::string schema;
  PgSettings settings;
  const auto &given = place.info.settings;
  for (std::size_t i = 0; i < given.size(); ++i) {
    const auto &[key, value] = given[i];
    auto refuse = [&](const std::string &why) {
      auto entries = place.entries(code::ConfigMalformed, place.info.settingLines[i]);
      entries.push_back({code::ConfigMalformed, 0, why});
      return ErrorEntries::fail(code::ConfigMalformed, entries);
    };
    // libpq would take the last of two, messages the first: neither.
    if (std::any_of(given.begin(), given.begin() + static_cast<std::ptrdiff_t>(i),
                    [&](const auto &earlier) { return earlier.first == key; }))
      return refuse("The setting \"" + key + "\" is given twice");
    if (key == "schema") {
      schema = value;
      continue;
    }
    if (const auto problem = pgSettingProblem(key))
      return refuse(*problem);
    settings.emplace_back(key, value);
  }
  out = std::make_unique<PostgresDatabase>(engine, std::move(settings), std::move(schema), place.openMode);
  return code::Ok;
}

} // namespace

std::vector<ErrorEntry> DatabasePlace::entries(Result result, int line) const {
  if (alias.empty())
    return {};
  return {{result, 0, "Alias: " + alias},
          {result, 0, "Configuration: " + configPath + ", line " + std::to_string(line ? line : info.line)}};
}

const std::vector<Driver> &drivers() {
  static const std::vector<Driver> table = {
      {{"sqlite"}, startSqlite, openSqlite},
      {{"postgresql", "postgres"}, startNothing, openPostgres},
  };
  return table;
}

const Driver *driverNamed(const std::string &name) {
  for (const Driver &driver : drivers())
    if (std::find(driver.names.begin(), driver.names.end(), name) != driver.names.end())
      return &driver;
  return nullptr;
}

} // namespace vandro::engine
