#include "Engine.h"

#include "postgres/PgKeywords.h"
#include "postgres/PostgresDatabase.h"
#include "sqlite/SqliteDatabase.h"

#include <algorithm>
#include <filesystem>
#include <sodium.h>
#include <sqlite3.h>

namespace vandro::engine {

Engine &Engine::instance() {
  static Engine engine;
  return engine;
}

Result Engine::initialise(int version, std::string_view language) {
  if (m_initialised)
    return ErrorEntries::fail(code::AlreadyInitialised);
  if (version != kInterfaceVersion || language != kLanguage)
    return ErrorEntries::fail(code::InvalidParameter,
                              {{code::InvalidParameter, 0,
                                "Interface version " + std::to_string(version) + ", language " +
                                    std::string(language)}});
  if (sodium_init() < 0)
    return ErrorEntries::fail(code::EngineStartFailed,
                              {{code::EngineStartFailed, 0, "libsodium could not be initialised"}});
  if (const int rc = sqlite3_initialize(); rc != SQLITE_OK)
    return ErrorEntries::fail(code::EngineStartFailed,
                              {{code::EngineStartFailed, rc, sqlite3_errstr(rc)}});
  m_initialised = true;
  return code::Ok;
}

Result Engine::exit() {
  if (!m_initialised)
    return ErrorEntries::fail(code::NotInitialised);
  m_passwords.clear();
  m_initialised = false;
  return code::Ok;
}

Result Engine::findAlias(const std::string &name, AliasInfo &out, std::string *configPath) {
  if (!m_initialised)
    return ErrorEntries::fail(code::NotInitialised);
  Config config;
  if (const Result result = config.load(Config::defaultPath()); result != code::Ok)
    return result;
  if (configPath)
    *configPath = config.path();
  const auto alias = config.alias(name);
  if (!alias)
    return ErrorEntries::fail(code::AliasNotFound,
                              {{code::AliasNotFound, 0, "Alias: " + name},
                               {code::AliasNotFound, 0,
                                config.fileExists() ? "Configuration: " + config.path()
                                                    : "The configuration file does not exist: " + config.path()}});
  out = *alias;
  return code::Ok;
}

namespace {

// Where the directory of a database was found, for messages: the alias's
// line of the configuration, or nothing for a path given directly.
std::vector<ErrorEntry> aliasEntries(Result result, const std::string &alias, const std::string &configPath,
                                     int line) {
  if (alias.empty())
    return {};
  return {{result, 0, "Alias: " + alias},
          {result, 0, "Configuration: " + configPath + ", line " + std::to_string(line)}};
}

} // namespace

Result Engine::openDatabase(const std::string &alias, const std::string &directory,
                            OpenMode openMode, ShareMode shareMode,
                            std::unique_ptr<Database> &out) {
  namespace fs = std::filesystem;
  if (!m_initialised)
    return ErrorEntries::fail(code::NotInitialised);
  std::string path = directory;
  AliasInfo info;
  std::string configPath;
  if (!alias.empty()) {
    if (const Result result = findAlias(alias, info, &configPath); result != code::Ok)
      return result;
    if (info.driver == "postgresql" || info.driver == "postgres") {
      std::string schema;
      PgSettings settings;
      for (std::size_t i = 0; i < info.settings.size(); ++i) {
        const auto &[key, value] = info.settings[i];
        // libpq would take the last of two, messages the first: neither.
        for (std::size_t j = 0; j < i; ++j)
          if (info.settings[j].first == key)
            return ErrorEntries::fail(code::ConfigMalformed,
                                      {{code::ConfigMalformed, 0, "Alias: " + alias},
                                       {code::ConfigMalformed, 0,
                                        "Configuration: " + configPath + ", line " + std::to_string(info.settingLines[i])},
                                       {code::ConfigMalformed, 0, "The setting \"" + key + "\" is given twice"}});
        if (key == "schema") {
          schema = value;
          continue;
        }
        if (const auto problem = pgSettingProblem(key))
          return ErrorEntries::fail(code::ConfigMalformed,
                                    {{code::ConfigMalformed, 0, "Alias: " + alias},
                                     {code::ConfigMalformed, 0,
                                      "Configuration: " + configPath + ", line " + std::to_string(info.settingLines[i])},
                                     {code::ConfigMalformed, 0, *problem}});
        settings.emplace_back(key, value);
      }
      out = std::make_unique<PostgresDatabase>(*this, std::move(settings), std::move(schema), openMode);
      return code::Ok;
    }
    if (info.driver != "sqlite") {
      auto entries = aliasEntries(code::DriverNotSupported, alias, configPath, info.line);
      entries.push_back({code::DriverNotSupported, 0, "Driver: " + info.driver});
      return ErrorEntries::fail(code::DriverNotSupported, entries);
    }
    if (info.path.empty())
      return ErrorEntries::fail(code::AliasIncomplete, aliasEntries(code::AliasIncomplete, alias, configPath, info.line));
    path = info.path;
  }
  std::error_code ec;
  const fs::path absolute = fs::absolute(path, ec).lexically_normal();
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
    for (auto &entry : aliasEntries(failure, alias, configPath, info.line))
      entries.push_back(std::move(entry));
    return ErrorEntries::fail(failure, entries);
  }
  out = std::make_unique<SqliteDatabase>(*this, absolute.string(), openMode, shareMode);
  return code::Ok;
}

Result Engine::addPassword(std::string_view password) {
  if (password.size() > 255)
    return ErrorEntries::fail(code::PasswordTooLong);
  if (std::find(m_passwords.begin(), m_passwords.end(), password) == m_passwords.end())
    m_passwords.emplace_back(password);
  return code::Ok;
}

Result Engine::dropPassword(std::string_view password) {
  std::erase(m_passwords, std::string(password));
  return code::Ok;
}

} // namespace vandro::engine
