// The database session "Default": the engine's session, the open databases
// and the table passwords.
#pragma once

#include "engine/Database.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <map>
#include <memory>

namespace vandro::store {

class TSession {
public:
  explicit TSession(QString name = QStringLiteral("Default"));
  ~TSession(); // ends the session: closes the databases, shuts the engine down
  TSession(const TSession &) = delete;
  TSession &operator=(const TSession &) = delete;

  const QString &SessionName() const { return m_name; }
  // Starts the engine once. Raises EDBEngineError when it cannot start.
  void start();

  // The database of that name, opened on first use and kept open until the
  // session ends: a name holding "/", ":" or "\" is a directory, any other
  // an alias. Raises EDBEngineError.
  engine::Database &database(const QString &databaseName);

  // The session's table passwords, handed to the engine as UTF-8 of at most
  // 255 bytes.
  void AddPassword(const QString &password);
  void RemovePassword(const QString &password);
  void RemoveAllPasswords();

  // Asked when a table needs a password: shows the password dialog and
  // answers whether the user confirmed. The program installs the dialog;
  // without one the open fails.
  using PasswordPrompt = std::function<bool(TSession &)>;
  void setPasswordPrompt(PasswordPrompt prompt) { m_prompt = std::move(prompt); }
  bool askPassword();

  // Closes every database and shuts the engine down.
  void end();

  // Called about every tenth of a second while a statement waits for its
  // server or for another writer of a file, with how long it has waited
  // (engine::setWaitHook): the program keeps its windows painting there.
  static void setWaitHook(std::function<void(int waitedMs)> hook);

  // The engine configuration file the aliases are read from.
  static QString configurationPath();
  // The relation names the program offers in its chooser, in its order.
  static QStringList relationNames();

private:
  QString m_name;
  bool m_started = false;
  std::map<QString, std::unique_ptr<engine::Database>> m_databases;
  PasswordPrompt m_prompt;
};

// The program's one session, while it exists.
extern TSession *Session;

} // namespace vandro::store
