#include "Drivers.h"

#include "ErrorEntries.h"
#include "postgres/PgKeywords.h"
#include "postgres/PostgresDatabase.h"
#include "sqlite/SqliteDatabase.h"

#include <algorithm>

namespace vandro::engine {

namespace {

Result startNothing() { return code::Ok; }

} // namespace

std::vector<ErrorEntry> DatabasePlace::entries(Result result, int line) const {
  if (alias.empty())
    return {};
  return {{result, 0, "Alias: " + alias},
          {result, 0, "Configuration: " + configPath + ", line " + std::to_string(line ? line : info.line)}};
}

const std::vector<Driver> &drivers() {
  static const std::vector<Driver> table = {
      {{kDirectoryDriver}, true, nullptr, SqliteDatabase::start, SqliteDatabase::open},
      {{PostgresDatabase::kName, "postgres"}, false, PostgresDatabase::settingProblem, startNothing,
       PostgresDatabase::open},
  };
  return table;
}

const Driver *driverNamed(const std::string &name) {
  for (const Driver &driver : drivers())
    if (std::find(driver.names.begin(), driver.names.end(), name) != driver.names.end())
      return &driver;
  return nullptr;
}

std::string driverList() {
  std::string list;
  const auto &all = drivers();
  for (std::size_t i = 0; i < all.size(); ++i)
    list += std::string(i == 0 ? "" : i + 1 == all.size() ? " and " : ", ") + std::string(all[i].names.front()) +
            (all[i].takesDirectory ? " (give a directory)" : "");
  return list;
}

std::optional<std::string> aliasSettingProblem(SettingProblem problem,
                                               const std::vector<std::pair<std::string, std::string>> &settings,
                                               std::size_t index) {
  const std::string &key = settings[index].first;
  if (std::any_of(settings.begin(), settings.begin() + static_cast<std::ptrdiff_t>(index),
                  [&](const auto &earlier) { return earlier.first == key; }))
    return "The setting \"" + key + "\" is given twice";
  return problem ? problem(key) : std::nullopt;
}

bool settingIsSecret(const std::string &key) { return pgSettingIsSecret(key); }

} // namespace vandro::engine
