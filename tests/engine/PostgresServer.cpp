#include "PostgresServer.h"

#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <filesystem>
#include <fstream>
#include <libpq-fe.h>
#include <pwd.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace vandro::engine::testing {

namespace fs = std::filesystem;

PostgresServer &PostgresServer::instance() {
  static PostgresServer server;
  return server;
}

PostgresServer::PostgresServer() { start(); }

PostgresServer::~PostgresServer() {
  if (m_running)
    runProgram({m_bin + "/pg_ctl", "-D", m_folder + "/data", "-m", "immediate", "-w", "stop"});
  if (!m_folder.empty()) {
    std::error_code ec;
    fs::remove_all(m_folder, ec);
  }
}

int PostgresServer::runProgram(const std::vector<std::string> &arguments) const {
  std::vector<std::string> words;
  // PostgreSQL refuses to run as root: under root, as the postgres user.
  if (::geteuid() == 0)
    words = {"/usr/sbin/runuser", "-u", "postgres", "--"};
  words.insert(words.end(), arguments.begin(), arguments.end());
  std::vector<char *> argv;
  for (auto &word : words)
    argv.push_back(word.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  const std::string log = m_folder + "/programs.log";
  posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0)
    return -1;
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void PostgresServer::start() {
  for (const char *candidate : {"/usr/lib/postgresql/15/bin", "/usr/lib/postgresql/16/bin", "/usr/lib/postgresql/17/bin"})
    if (fs::exists(std::string(candidate) + "/initdb") && fs::exists(std::string(candidate) + "/pg_ctl"))
      m_bin = candidate;
  if (m_bin.empty()) {
    m_error = "The PostgreSQL server programs (initdb, pg_ctl) are not installed: scripts/install-deps.sh "
              "installs the package postgresql";
    return;
  }
  char pattern[] = "/tmp/vandro-pg-XXXXXX";
  if (!::mkdtemp(pattern)) {
    m_error = "No temporary folder for the cluster";
    return;
  }
  m_folder = pattern;
  if (::geteuid() == 0) {
    const passwd *postgres = ::getpwnam("postgres");
    if (!postgres) {
      m_error = "Running as root, the server needs the system user postgres (package postgresql)";
      return;
    }
    if (::chown(m_folder.c_str(), postgres->pw_uid, postgres->pw_gid) != 0) {
      m_error = "Cannot give the cluster's folder to the user postgres";
      return;
    }
  }
  ::chmod(m_folder.c_str(), 0755);
  if (runProgram({m_bin + "/initdb", "-D", m_folder + "/data", "-U", "postgres", "-A", "trust", "-E", "UTF8",
                  "--no-locale", "--no-sync"}) != 0) {
    m_error = "initdb failed; see " + m_folder + "/programs.log";
    return;
  }
  // Password logins for the roles the tests make; trust for the superuser.
  {
    const std::string hba = m_folder + "/data/pg_hba.conf";
    std::ofstream out(hba, std::ios::trunc);
    out << "local all postgres trust\nlocal all all scram-sha-256\n";
  }
  if (runProgram({m_bin + "/pg_ctl", "-D", m_folder + "/data", "-l", m_folder + "/server.log", "-w", "-t", "60", "-o",
                  "-c listen_addresses='' -c unix_socket_directories='" + m_folder + "' -c fsync=off", "start"}) != 0) {
    m_error = "The server did not start; see " + m_folder + "/server.log";
    return;
  }
  m_running = true;
  startWatchdog();
  PGconn *conn = PQconnectdb(("host=" + m_folder + " dbname=postgres user=postgres").c_str());
  PGresult *made = PQexec(conn, "CREATE DATABASE vandro");
  if (PQresultStatus(made) != PGRES_COMMAND_OK)
    m_error = std::string("CREATE DATABASE failed: ") + PQerrorMessage(conn);
  PQclear(made);
  PQfinish(conn);
  if (!m_error.empty())
    m_running = false;
}

void PostgresServer::startWatchdog() {
  // Should this program die without its destructors (a crash, a kill), the
  // watchdog stops the server and removes the cluster once it has gone.
  const std::string stop = (::geteuid() == 0 ? "/usr/sbin/runuser -u postgres -- " : "") + m_bin +
                           "/pg_ctl -D '" + m_folder + "/data' -m immediate -w stop";
  const std::string script = "while kill -0 " + std::to_string(::getpid()) + " 2>/dev/null; do sleep 1; done; " + stop +
                             " >/dev/null 2>&1; rm -rf '" + m_folder + "'";
  std::vector<std::string> words = {"/bin/sh", "-c", script};
  std::vector<char *> argv;
  for (auto &word : words)
    argv.push_back(word.data());
  argv.push_back(nullptr);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
  pid_t pid = 0;
  posix_spawn(&pid, argv[0], nullptr, &attributes, argv.data(), environ);
  posix_spawnattr_destroy(&attributes);
}

std::string PostgresServer::restartImmediately() {
  if (runProgram({m_bin + "/pg_ctl", "-D", m_folder + "/data", "-m", "immediate", "-w", "stop"}) != 0)
    return "pg_ctl stop failed";
  if (runProgram({m_bin + "/pg_ctl", "-D", m_folder + "/data", "-l", m_folder + "/server.log", "-w", "-t", "60", "-o",
                  "-c listen_addresses='' -c unix_socket_directories='" + m_folder + "' -c fsync=off", "start"}) != 0)
    return "pg_ctl start failed";
  return {};
}

std::vector<int> PostgresServer::sessions(const std::string &application) const {
  std::vector<int> pids;
  PGconn *conn = PQconnectdb(("host=" + m_folder + " dbname=vandro user=postgres").c_str());
  PGresult *result = PQexecParams(conn, "SELECT pid FROM pg_stat_activity WHERE starts_with(application_name, $1)", 1,
                                  nullptr, std::vector<const char *>{application.c_str()}.data(), nullptr, nullptr, 0);
  for (int row = 0; PQresultStatus(result) == PGRES_TUPLES_OK && row < PQntuples(result); ++row)
    pids.push_back(std::atoi(PQgetvalue(result, row, 0)));
  PQclear(result);
  PQfinish(conn);
  return pids;
}

std::string PostgresServer::execute(const std::string &sql) const {
  PGconn *conn = PQconnectdb(("host=" + m_folder + " dbname=vandro user=postgres").c_str());
  std::string error;
  if (PQstatus(conn) != CONNECTION_OK) {
    error = PQerrorMessage(conn);
  } else {
    PGresult *result = PQexec(conn, sql.c_str());
    const auto status = PQresultStatus(result);
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK)
      error = PQresultErrorMessage(result);
    PQclear(result);
  }
  PQfinish(conn);
  return error;
}

std::vector<std::pair<std::string, std::string>> PostgresServer::newSchema() {
  std::string schema = "t";
  schema.append(std::to_string(::getpid())).append("_").append(std::to_string(++m_schemas));
  execute("CREATE SCHEMA " + schema);
  return settingsFor("postgres", schema);
}

std::vector<std::pair<std::string, std::string>> PostgresServer::settingsFor(const std::string &user,
                                                                           const std::string &schema) const {
  return {{"host", m_folder}, {"dbname", "vandro"}, {"user", user}, {"schema", schema}};
}

std::string PostgresServer::makeRole(const std::string &user, const std::string &password,
                                     const std::string &schema) const {
  return execute("CREATE ROLE " + user + " LOGIN PASSWORD '" + password +
                 "'; GRANT USAGE ON SCHEMA " + schema + " TO " + user);
}

} // namespace vandro::engine::testing
