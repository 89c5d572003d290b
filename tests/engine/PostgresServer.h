// A private PostgreSQL cluster for the tests of one test program: started
// on first use (initdb and pg_ctl, a Unix socket in a temporary folder, no
// TCP), stopped and removed when the program ends.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace vandro::engine::testing {

class PostgresServer {
public:
  // The program's cluster, started now if it is not running yet. When it
  // cannot start, running() is false and error() says why: a failing test,
  // never a silent skip.
  static PostgresServer &instance();
  ~PostgresServer();
  PostgresServer(const PostgresServer &) = delete;
  PostgresServer &operator=(const PostgresServer &) = delete;

  bool running() const { return m_running; }
  const std::string &error() const { return m_error; }
  const std::string &socketFolder() const { return m_folder; }

  // A schema of its own in the database "vandro", for one test; the
  // settings of an alias that reaches it as the superuser.
  std::vector<std::pair<std::string, std::string>> newSchema();
  // The settings of an alias for `user` (a role made by the test) in `schema`.
  std::vector<std::pair<std::string, std::string>> settingsFor(const std::string &user, const std::string &schema) const;
  // Runs `sql` as the superuser in the database "vandro"; "" or the error.
  std::string execute(const std::string &sql) const;
  // Makes a login role with a password, allowed to use `schema`.
  std::string makeRole(const std::string &user, const std::string &password, const std::string &schema) const;
  // The server crashes and comes back: stopped at once (as by a power cut),
  // then started again; every session is gone. "" or the failure.
  std::string restartImmediately();
  // The process ids of the server's sessions whose application name starts
  // with `application`.
  std::vector<int> sessions(const std::string &application) const;

private:
  PostgresServer();
  void start();
  void startWatchdog();
  // Runs a server program (as the postgres system user under root).
  int runProgram(const std::vector<std::string> &arguments) const;

  bool m_running = false;
  std::string m_error;
  std::string m_folder; // the cluster, its socket and its log
  std::string m_bin;
  int m_schemas = 0;
};

} // namespace vandro::engine::testing
