#include "PgConnection.h"

#include "../ErrorEntries.h"
#include "../ServerWait.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>
#include <map>

namespace vandro::engine {

namespace {

std::string settingOf(const PgSettings &settings, const std::string &key) {
  for (const auto &[k, v] : settings)
    if (k == key)
      return v;
  return {};
}

// Where the server is, for messages: "host:port/dbname as user".
std::string serverNameOf(const PgSettings &settings) {
  std::string host = settingOf(settings, "host");
  if (const std::string service = settingOf(settings, "service"); host.empty() && !service.empty())
    return "service " + service;
  if (host.empty())
    host = "the local socket";
  std::string name = host;
  if (const std::string port = settingOf(settings, "port"); !port.empty())
    name += ":" + port;
  if (const std::string db = settingOf(settings, "dbname"); !db.empty())
    name += "/" + db;
  if (const std::string user = settingOf(settings, "user"); !user.empty())
    name += " as " + user;
  return name;
}

// The engine code for a server's SQLSTATE.
Result codeForState(const std::string &state) {
  if (state == "23505")
    return code::KeyViolation;
  if (state == "23502")
    return code::RequiredValueMissing;
  if (state == "22001")
    return code::ValueTooLong;
  if (state.rfind("22", 0) == 0)
    return code::ValueDoesNotFit;
  if (state.rfind("23", 0) == 0)
    return code::ConstraintFailed;
  if (state == "42501")
    return code::PermissionDenied;
  if (state == "42P01" || state == "3F000")
    return code::TableNotFound;
  if (state == "42P07")
    return code::TableExists;
  if (state.rfind("28", 0) == 0)
    return code::AuthenticationFailed;
  if (state.rfind("08", 0) == 0 || state == "57P01" || state == "57P02" || state == "57P03")
    return code::ConnectionLost;
  if (state == "40001" || state == "40P01" || state == "55P03")
    return code::TableBusy;
  if (state == "53100")
    return code::DiskFull;
  if (state == "53200")
    return code::OutOfMemory;
  return code::InternalError;
}

// libpq's message without its closing line end, and without the tab it
// indents its second lines with, which a message box shows as a gap.
std::string trimmed(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
    text.pop_back();
  for (std::size_t at = 0; (at = text.find("\n\t", at)) != std::string::npos;)
    text.erase(++at, 1);
  return text;
}

// The keywords libpq gets: the alias's own (never a password from the
// configuration, never an encoding), then what Vandro relies on, where the
// alias says nothing.
struct Keywords {
  std::vector<std::string> keys, values;
  std::vector<const char *> keyPointers, valuePointers;

  Keywords(const PgSettings &settings, const std::string *password) {
    for (const auto &[key, value] : settings)
      if (key != "schema" && key != "password" && key != "client_encoding")
        add(key, value);
    // A client that vanishes from the network loses its record locks
    // within a minute: the server notices the dead connection by its own
    // keepalives, which these set for this session (an alias's options
    // may set them otherwise). Then what Vandro relies on, which nothing
    // overrides: dates as ISO text, floats exactly.
    const std::string keepalives = "-c tcp_keepalives_idle=10 -c tcp_keepalives_interval=5 -c tcp_keepalives_count=3";
    // No statement waits for another client's row or table lock longer
    // than a few seconds: then it fails, and the user is told.
    const std::string options = "-c DateStyle=ISO,YMD -c extra_float_digits=3 -c lock_timeout=3s";
    const std::string given = settingOf(settings, "options");
    if (given.empty())
      add("options", keepalives + " " + options);
    else
      set("options", keepalives + " " + given + " " + options);
    // Every text the engine sends and reads is UTF-8, whatever the alias,
    // PGCLIENTENCODING or the server's default say.
    add("client_encoding", "UTF8");
    defaultTo("application_name", "Vandro");
    defaultTo("connect_timeout", "10");
    // And this side notices a server that vanished.
    defaultTo("keepalives", "1");
    defaultTo("keepalives_idle", "10");
    defaultTo("keepalives_interval", "5");
    defaultTo("keepalives_count", "3");
    if (password)
      add("password", *password);
    for (std::size_t i = 0; i < keys.size(); ++i) {
      keyPointers.push_back(keys[i].c_str());
      valuePointers.push_back(values[i].c_str());
    }
    keyPointers.push_back(nullptr);
    valuePointers.push_back(nullptr);
  }
  void add(const std::string &key, const std::string &value) {
    keys.push_back(key);
    values.push_back(value);
  }
  void set(const std::string &key, const std::string &value) {
    const auto at = std::find(keys.begin(), keys.end(), key);
    values[static_cast<std::size_t>(at - keys.begin())] = value;
  }
  void defaultTo(const std::string &key, const std::string &value) {
    if (std::find(keys.begin(), keys.end(), key) == keys.end())
      add(key, value);
  }
};

} // namespace

PgConnection::PgConnection(PGconn *conn) : m_conn(conn), m_process(::getpid()) {
  // The server's notices and warnings are no failures; libpq would print
  // them on standard error, which is not where users read the program.
  PQsetNoticeProcessor(m_conn, [](void *, const char *) {}, nullptr);
}

PgConnection::~PgConnection() {
  if (!ownedByThisProcess())
    forgetInheritedSession();
  PQfinish(m_conn);
}

bool PgConnection::ownedByThisProcess() const { return m_process == ::getpid(); }

void PgConnection::forgetInheritedSession() {
  // The socket is the parent's as much as ours: what PQfinish would say on
  // it (its goodbye) goes nowhere instead.
  const int socket = PQsocket(m_conn);
  const int null = ::open("/dev/null", O_RDWR | O_CLOEXEC);
  if (socket >= 0 && null >= 0)
    ::dup2(null, socket);
  if (null >= 0)
    ::close(null);
}

namespace {

// The settings as one text, to know a server again.
std::string settingsKey(const PgSettings &settings) {
  std::string key;
  for (const auto &[k, v] : settings)
    key.append(k).append(1, '\0').append(v).append(1, '\0');
  return key;
}

// The session's password that the server of these settings accepted last,
// so that the next connection to it logs in at the first try.
std::map<std::string, std::string> &acceptedPasswords() {
  static std::map<std::string, std::string> accepted;
  return accepted;
}

} // namespace

Result PgConnection::connect(const PgSettings &settings, const std::vector<std::string> &passwords,
                             std::unique_ptr<PgConnection> &out) {
  const std::string server = serverNameOf(settings);
  auto attempt = [&](const std::string *password) {
    Keywords keywords(settings, password);
    return PQconnectdbParams(keywords.keyPointers.data(), keywords.valuePointers.data(), 0);
  };
  const std::string known = settingsKey(settings);
  const auto accepted = acceptedPasswords().find(known);
  const bool acceptedBefore = accepted != acceptedPasswords().end() &&
                              std::find(passwords.begin(), passwords.end(), accepted->second) != passwords.end();
  PGconn *conn = attempt(acceptedBefore ? &accepted->second : nullptr);
  if (acceptedBefore && PQstatus(conn) != CONNECTION_OK) {
    // Not accepted any more: as if it had never been.
    acceptedPasswords().erase(known);
    PQfinish(conn);
    conn = attempt(nullptr);
  }
  bool triedPasswords = false;
  if (PQstatus(conn) != CONNECTION_OK && PQconnectionNeedsPassword(conn)) {
    // The server wants a password that libpq found nowhere: the session's
    // passwords, as the user gave them.
    for (const std::string &password : passwords) {
      PQfinish(conn);
      conn = attempt(&password);
      triedPasswords = true;
      if (PQstatus(conn) == CONNECTION_OK && PQconnectionUsedPassword(conn))
        acceptedPasswords()[known] = password;
      if (PQstatus(conn) == CONNECTION_OK || !PQconnectionUsedPassword(conn))
        break;
    }
    if (PQstatus(conn) != CONNECTION_OK) {
      const std::string message = trimmed(PQerrorMessage(conn));
      PQfinish(conn);
      return ErrorEntries::fail(code::PasswordNeeded,
                                {{code::PasswordNeeded, 0, "Server: " + server},
                                 {code::PasswordNeeded, 0,
                                  triedPasswords ? "The password was not accepted" : "The server asks for a password"},
                                 {code::PasswordNeeded, 0, message}});
    }
  }
  if (PQstatus(conn) != CONNECTION_OK) {
    const std::string message = trimmed(PQerrorMessage(conn));
    const bool refusedLogin = message.find("authentication failed") != std::string::npos ||
                              message.find("role \"") != std::string::npos ||
                              message.find("no pg_hba.conf entry") != std::string::npos ||
                              message.find("database \"") != std::string::npos;
    PQfinish(conn);
    const Result result = refusedLogin ? code::AuthenticationFailed : code::ServerUnreachable;
    return ErrorEntries::fail(result, {{result, 0, "Server: " + server}, {result, 0, message}});
  }
  // A database of encoding SQL_ASCII keeps whatever bytes its clients
  // wrote and cannot convert them: the connection takes them as they are
  // (what Vandro writes there is UTF-8), so that a value that is no UTF-8
  // is read, shown with replacement characters, and written back only when
  // the user changes it, rather than failing every read.
  if (const char *encoding = PQparameterStatus(conn, "server_encoding"); encoding && std::string_view(encoding) == "SQL_ASCII")
    if (PQsetClientEncoding(conn, "SQL_ASCII") != 0) {
      const std::string message = trimmed(PQerrorMessage(conn));
      PQfinish(conn);
      return ErrorEntries::fail(code::ServerUnreachable,
                                {{code::ServerUnreachable, 0, "Server: " + server}, {code::ServerUnreachable, 0, message}});
    }
  if (const int encoding = PQclientEncoding(conn);
      encoding != pg_char_to_encoding("UTF8") && encoding != pg_char_to_encoding("SQL_ASCII")) {
    PQfinish(conn);
    return ErrorEntries::fail(code::ServerUnreachable,
                              {{code::ServerUnreachable, 0, "Server: " + server},
                               {code::ServerUnreachable, 0, "The server does not speak UTF-8 with this client"}});
  }
  out.reset(new PgConnection(conn));
  out->m_serverName = server;
  return code::Ok;
}

Result PgConnection::failure(PGresult *result, const std::string &what) const {
  std::vector<ErrorEntry> entries;
  Result engineCode;
  // A failure without a SQLSTATE did not come from the server: libpq lost
  // it (after a crash or an immediate restart libpq 15 says so with a
  // fatal result while the status still reads "ok").
  const char *givenState = result ? PQresultErrorField(result, PG_DIAG_SQLSTATE) : nullptr;
  if (!result || PQstatus(m_conn) != CONNECTION_OK || !givenState || !*givenState) {
    engineCode = code::ConnectionLost;
    m_lost = true;
    entries = {{engineCode, 0, "Server: " + m_serverName}, {engineCode, 0, trimmed(PQerrorMessage(m_conn))}};
  } else {
    const char *state = PQresultErrorField(result, PG_DIAG_SQLSTATE);
    const char *primary = PQresultErrorField(result, PG_DIAG_MESSAGE_PRIMARY);
    const char *detail = PQresultErrorField(result, PG_DIAG_MESSAGE_DETAIL);
    const std::string sqlState = state ? state : "";
    engineCode = codeForState(sqlState);
    entries = {{engineCode, 0, "Server: " + m_serverName},
               {engineCode, 0, "SQLSTATE " + sqlState + ": " + trimmed(primary ? primary : PQerrorMessage(m_conn))}};
    if (detail)
      entries.push_back({engineCode, 0, trimmed(detail)});
    // Where in a COPY it failed: "COPY Vandro, line 7".
    if (const char *context = PQresultErrorField(result, PG_DIAG_CONTEXT); context && std::strncmp(context, "COPY ", 5) == 0)
      entries.push_back({engineCode, 0, trimmed(context)});
  }
  if (!what.empty())
    entries.push_back({engineCode, 0, what});
  return ErrorEntries::fail(engineCode, entries);
}

PgResult PgConnection::awaitResult(bool sent) {
  if (!sent)
    return PgResult();
  // The answer, waited for a tenth of a second at a time, so that the
  // program's windows keep painting meanwhile (stillWaiting).
  const int socket = PQsocket(m_conn);
  int waited = 0;
  while (PQisBusy(m_conn)) {
    pollfd readable{socket, POLLIN, 0};
    const int ready = ::poll(&readable, 1, 100);
    if (ready < 0 && errno != EINTR)
      break;
    if (ready == 0) {
      waited += 100;
      stillWaiting(waited);
    }
    if (PQconsumeInput(m_conn) == 0)
      break; // the session is gone: PQgetResult says how
  }
  // The statement's result; what follows it (the end of its results) read
  // too, so that the session is ready for the next.
  PgResult result(PQgetResult(m_conn));
  while (PGresult *more = PQgetResult(m_conn))
    PQclear(more);
  return result;
}

Result PgConnection::exec(const std::string &sql, const std::vector<const char *> &parameters, PgResult &out) {
  out = awaitResult(PQsendQueryParams(m_conn, sql.c_str(), static_cast<int>(parameters.size()), nullptr,
                                      parameters.data(), nullptr, nullptr, 0) == 1);
  const ExecStatusType status = PQresultStatus(out.get());
  if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK)
    return code::Ok;
  return failure(out.get(), {});
}

Result PgConnection::execPrepared(const std::string &name, const std::string &sql,
                                  const std::vector<const char *> &parameters, PgResult &out) {
  if (std::find(m_prepared.begin(), m_prepared.end(), name) == m_prepared.end()) {
    const PgResult prepared = awaitResult(PQsendPrepare(m_conn, name.c_str(), sql.c_str(), 0, nullptr) == 1);
    if (PQresultStatus(prepared.get()) != PGRES_COMMAND_OK)
      return failure(prepared.get(), "Preparing " + sql);
    m_prepared.push_back(name);
  }
  out = awaitResult(PQsendQueryPrepared(m_conn, name.c_str(), static_cast<int>(parameters.size()), parameters.data(),
                                        nullptr, nullptr, 0) == 1);
  const ExecStatusType status = PQresultStatus(out.get());
  if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK)
    return code::Ok;
  return failure(out.get(), {});
}

Result PgConnection::startCopy(const std::string &sql) {
  PgResult result(PQexec(m_conn, sql.c_str()));
  if (PQresultStatus(result.get()) != PGRES_COPY_IN)
    return failure(result.get(), sql);
  return code::Ok;
}

Result PgConnection::copyLine(const std::string &line) {
  if (PQputCopyData(m_conn, line.data(), static_cast<int>(line.size())) != 1)
    return failure(nullptr, "Sending records");
  return code::Ok;
}

Result PgConnection::endCopy(const char *abandonReason) {
  if (PQputCopyEnd(m_conn, abandonReason) != 1)
    return failure(nullptr, "Ending the copy");
  Result outcome = code::Ok;
  while (PGresult *raw = PQgetResult(m_conn)) {
    PgResult result(raw);
    if (PQresultStatus(raw) != PGRES_COMMAND_OK && outcome == code::Ok && !abandonReason)
      outcome = failure(raw, {});
  }
  return outcome;
}

Result PgConnection::reset() {
  PQreset(m_conn);
  m_prepared.clear();
  if (PQstatus(m_conn) != CONNECTION_OK)
    return failure(nullptr, "Connecting again");
  m_lost = false;
  ++m_resets;
  return code::Ok;
}

} // namespace vandro::engine
