// A connection to a PostgreSQL server, and the results of its statements.
#pragma once

#include "../Result.h"

#include <libpq-fe.h>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace vandro::engine {

// A result that clears itself.
class PgResult {
public:
  PgResult() = default;
  explicit PgResult(PGresult *result) : m_result(result) {}
  PgResult(PgResult &&other) noexcept : m_result(std::exchange(other.m_result, nullptr)) {}
  PgResult &operator=(PgResult &&other) noexcept {
    if (this != &other) {
      PQclear(m_result);
      m_result = std::exchange(other.m_result, nullptr);
    }
    return *this;
  }
  PgResult(const PgResult &) = delete;
  PgResult &operator=(const PgResult &) = delete;
  ~PgResult() { PQclear(m_result); }

  PGresult *get() const { return m_result; }
  int rows() const { return PQntuples(m_result); }
  bool isNull(int row, int column) const { return PQgetisnull(m_result, row, column) == 1; }
  std::string text(int row, int column) const {
    return std::string(PQgetvalue(m_result, row, column), static_cast<std::size_t>(PQgetlength(m_result, row, column)));
  }

private:
  PGresult *m_result = nullptr;
};

// The connection keywords of an alias (libpq's own: host, port, dbname,
// user, sslmode, service, ...).
using PgSettings = std::vector<std::pair<std::string, std::string>>;

// One session with the server. Every failure becomes an engine code, with
// the server's message and SQLSTATE in the error entries; a connection that
// has broken is opened once more before a statement gives up.
class PgConnection {
public:
  // Connects with `settings`; when the server asks for a password that
  // libpq could not find (~/.pgpass, PGPASSWORD, a service file), each of
  // `passwords` is tried. PasswordNeeded when none is accepted or none is
  // given; ServerUnreachable, AuthenticationFailed otherwise.
  [[nodiscard]] static Result connect(const PgSettings &settings, const std::vector<std::string> &passwords,
                                      std::unique_ptr<PgConnection> &out);
  ~PgConnection();
  // Lets go of a connection this process inherited from its parent without
  // a word to the server, which still serves the parent on it.
  void forgetInheritedSession();
  // Whether this process made the connection (not a child that inherited it).
  bool ownedByThisProcess() const;
  PgConnection(const PgConnection &) = delete;
  PgConnection &operator=(const PgConnection &) = delete;

  // Runs `sql` with text parameters (nullptr for a null). Ok with `out`
  // holding the rows (or the command's result), else the failure.
  [[nodiscard]] Result exec(const std::string &sql, const std::vector<const char *> &parameters, PgResult &out);
  [[nodiscard]] Result exec(const std::string &sql) {
    PgResult ignored;
    return exec(sql, {}, ignored);
  }
  // The same for the statement prepared once under `name`.
  [[nodiscard]] Result execPrepared(const std::string &name, const std::string &sql,
                                    const std::vector<const char *> &parameters, PgResult &out);

  // COPY FROM STDIN: started by `sql`, fed line by line, ended with the
  // result of the whole copy (its failure names the line of the COPY data).
  [[nodiscard]] Result startCopy(const std::string &sql);
  [[nodiscard]] Result copyLine(const std::string &line);
  [[nodiscard]] Result endCopy(const char *abandonReason = nullptr);

  // How often the session was made anew since it was opened (the server
  // then dropped its advisory locks): a lock taken at another count is gone.
  int resets() const { return m_resets; }
  // Opens the connection anew; ConnectionLost when the server cannot be
  // reached.
  [[nodiscard]] Result reset();
  // Whether the session is gone: libpq says so, or a statement failed in
  // a way only a lost session fails.
  bool isBroken() const { return m_lost || PQstatus(m_conn) != CONNECTION_OK; }

  // The role the session logged in as.
  std::string role() const {
    const char *user = PQuser(m_conn);
    return user ? user : "";
  }
  // "host:port/dbname as user", for messages.
  const std::string &serverName() const { return m_serverName; }
  // Turns the failure of `result` (or of the connection) into an engine
  // code with entries; `what` tells what was being done.
  Result failure(PGresult *result, const std::string &what) const;

private:
  explicit PgConnection(PGconn *conn);
  // The result of the statement just sent (`sent` false: none, as libpq
  // could not send it), waited for without blocking the program.
  PgResult awaitResult(bool sent);
  PGconn *m_conn = nullptr;
  std::vector<std::string> m_prepared; // names prepared on this session
  std::string m_serverName;
  int m_resets = 0;
  int m_process = 0;          // the process that connected
  mutable bool m_lost = false; // a statement found the session gone
};

} // namespace vandro::engine
