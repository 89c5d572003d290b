#include "Engine.h"

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

Result Engine::findAlias(const std::string &name, AliasInfo &out) {
  if (!m_initialised)
    return ErrorEntries::fail(code::NotInitialised);
  Config config;
  if (const Result result = config.load(Config::defaultPath()); result != code::Ok)
    return result;
  const auto alias = config.alias(name);
  if (!alias)
    return ErrorEntries::fail(code::AliasNotFound,
                              {{code::AliasNotFound, 0, "Alias: " + name},
                               {code::AliasNotFound, 0, "Configuration: " + config.path()}});
  out = *alias;
  return code::Ok;
}

Result Engine::openDatabase(const std::string &alias, const std::string &directory,
                            OpenMode openMode, ShareMode shareMode,
                            std::unique_ptr<Database> &out) {
  if (!m_initialised)
    return ErrorEntries::fail(code::NotInitialised);
  std::string path = directory;
  if (!alias.empty()) {
    AliasInfo info;
    if (const Result result = findAlias(alias, info); result != code::Ok)
      return result;
    if (info.driver != "sqlite")
      return ErrorEntries::fail(code::DriverNotSupported,
                                {{code::DriverNotSupported, 0, "Alias: " + alias},
                                 {code::DriverNotSupported, 0, "Driver: " + info.driver}});
    if (info.path.empty())
      return ErrorEntries::fail(code::AliasIncomplete,
                                {{code::AliasIncomplete, 0, "Alias: " + alias}});
    path = info.path;
  }
  std::error_code ec;
  const std::filesystem::path absolute = std::filesystem::absolute(path, ec);
  if (ec || !std::filesystem::is_directory(absolute, ec))
    return ErrorEntries::fail(code::DirectoryNotFound,
                              {{code::DirectoryNotFound, 0, "Directory: " + absolute.string()}});
  out = std::make_unique<SqliteDatabase>(*this, absolute.lexically_normal().string(), openMode,
                                         shareMode);
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
