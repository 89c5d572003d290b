#include "Engine.h"

#include "Drivers.h"

#include <algorithm>
#include <sodium.h>

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
  // Each driver starts its storage library itself.
  for (const Driver &driver : drivers())
    if (const Result started = driver.start(); started != code::Ok)
      return started;
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

Result Engine::openDatabase(const std::string &alias, const std::string &directory,
                            OpenMode openMode, ShareMode shareMode,
                            std::unique_ptr<Database> &out) {
  if (!m_initialised)
    return ErrorEntries::fail(code::NotInitialised);
  DatabasePlace place{alias, {}, {}, directory, openMode, shareMode};
  const Driver *driver = &drivers().front(); // a directory path
  if (!alias.empty()) {
    if (const Result result = findAlias(alias, place.info, &place.configPath); result != code::Ok)
      return result;
    driver = driverNamed(place.info.driver);
    if (!driver) {
      auto entries = place.entries(code::DriverNotSupported);
      entries.push_back({code::DriverNotSupported, 0, "Driver: " + place.info.driver});
      return ErrorEntries::fail(code::DriverNotSupported, entries);
    }
  }
  return driver->open(*this, place, out);
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
