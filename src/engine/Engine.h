// The database engine: one session per process, databases by alias or path.
#pragma once

#include "Config.h"
#include "Database.h"
#include "ErrorEntries.h"
#include "Result.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace vandro::engine {

// The engine's interface version and the language of its messages, as the
// callers pass them to initialise().
inline constexpr int kInterfaceVersion = 500;
inline constexpr std::string_view kLanguage = "0009";

class Engine {
public:
  // The one engine of the process.
  static Engine &instance();

  // Start the engine: Ok, AlreadyInitialised when it runs already,
  // InvalidParameter for another interface version, EngineStartFailed when
  // a library it needs cannot start.
  [[nodiscard]] Result initialise(int version, std::string_view language);
  // Shut the engine down and forget the session's passwords. Databases and
  // cursors must have been closed before.
  [[nodiscard]] Result exit();
  bool isInitialised() const { return m_initialised; }

  // Look an alias up in the configuration (Config::defaultPath(), read
  // afresh on each call): AliasNotFound (the entries say whether the file
  // exists), ConfigMalformed, ConfigUnreadable. `configPath`, when given,
  // receives the configuration file's path.
  [[nodiscard]] Result findAlias(const std::string &name, AliasInfo &out, std::string *configPath = nullptr);

  // Open a database: by alias when `alias` is not empty, else the directory
  // `directory`. DirectoryNotFound when the directory is missing;
  // DriverNotSupported for an alias of another driver.
  [[nodiscard]] Result openDatabase(const std::string &alias, const std::string &directory,
                                    OpenMode openMode, ShareMode shareMode,
                                    std::unique_ptr<Database> &out);

  // The session's table passwords (at most 255 bytes each).
  [[nodiscard]] Result addPassword(std::string_view password);
  [[nodiscard]] Result dropPassword(std::string_view password);
  void dropAllPasswords() { m_passwords.clear(); }
  const std::vector<std::string> &passwords() const { return m_passwords; }

  // The text of a code (at most 128 bytes) and the error entries of the
  // last failure, counted from 1 (NoMoreEntries past the last).
  std::string errorText(Result result) const { return std::string(messageFor(result)); }
  [[nodiscard]] Result errorEntry(int index, ErrorEntry &out) const {
    return ErrorEntries::entry(index, out);
  }

private:
  Engine() = default;
  bool m_initialised = false;
  std::vector<std::string> m_passwords;
};

} // namespace vandro::engine
