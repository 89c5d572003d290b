#include "EngineFixture.h"

#include "PostgresServer.h"
#include "engine/Quoted.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <sqlite3.h>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace vandro::engine::testing {

void EngineFixture::SetUp() {
  char pattern[] = "/tmp/vandro-test-XXXXXX";
  ASSERT_NE(::mkdtemp(pattern), nullptr);
  m_directory = pattern;
  // No alias file of the developer's may leak into a test.
  ::setenv("VANDRO_ENGINE_CONFIG", (m_directory + "/engine.conf").c_str(), 1);
  ASSERT_EQ(Engine::instance().initialise(kInterfaceVersion, kLanguage), code::Ok);
  ASSERT_EQ(Engine::instance().openDatabase("", m_directory, OpenMode::ReadWrite,
                                            ShareMode::Shared, m_database),
            code::Ok);
}

void EngineFixture::TearDown() {
  m_database.reset();
  (void)Engine::instance().exit();
  std::error_code ec;
  // Tests may leave directories unwritable; make them removable again.
  std::filesystem::permissions(m_directory, std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::add, ec);
  for (const auto &entry : std::filesystem::recursive_directory_iterator(m_directory, ec))
    if (entry.is_directory(ec))
      std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_all,
                                   std::filesystem::perm_options::add, ec);
  std::filesystem::remove_all(m_directory, ec);
}

void EngineFixture::createRelationTable(const std::string &name) {
  ASSERT_EQ(m_database->createTable(name, corpus::relationTableFields(), corpus::kRelationTableKey), code::Ok)
      << describeFailure(code::InternalError);
}

Result EngineFixture::tryOpen(std::unique_ptr<Cursor> &out, const std::string &name,
                              OpenMode mode) {
  return m_database->openTable(name, "default", mode, ShareMode::Shared, out);
}

std::unique_ptr<Cursor> EngineFixture::openTable(const std::string &name, OpenMode mode) {
  std::unique_ptr<Cursor> cursor;
  const Result result = tryOpen(cursor, name, mode);
  EXPECT_EQ(result, code::Ok) << describeFailure(result);
  return cursor;
}

Record EngineFixture::relation(Cursor &cursor, std::int64_t id, const std::string &relation) {
  Record record = cursor.blankRecord();
  record.values[0] = Value::integer(id);
  record.values[1] = Value::text("GUM_test");
  record.values[2] = Value::text(relation);
  record.values[10] = Value::integer(id * 2);     // H1
  record.values[11] = Value::integer(id * 2 + 3); // L2
  return record;
}

void EngineFixture::fill(Cursor &cursor, std::int64_t first, std::int64_t last) {
  ASSERT_EQ(cursor.beginBulk(), code::Ok);
  for (std::int64_t id = first; id <= last; ++id)
    ASSERT_EQ(cursor.insertRecord(relation(cursor, id)), code::Ok) << describeFailure(code::Ok);
  ASSERT_EQ(cursor.commitBulk(), code::Ok);
}

std::string EngineFixture::pathOf(const std::string &name) const {
  return m_directory + "/" + name;
}

std::string EngineFixture::describeFailure(Result result) {
  std::string text = std::string(messageFor(result));
  for (const auto &entry : ErrorEntries::all())
    text += " | " + std::string(messageFor(entry.code)) + " / " + std::to_string(entry.nativeCode) +
            " / " + entry.context;
  return text;
}

bool EngineFixture::entriesMention(const std::string &text) {
  for (const auto &entry : ErrorEntries::all())
    if (entry.context.find(text) != std::string::npos)
      return true;
  return false;
}

void EngineFixture::runSql(const std::string &path, const std::string &sql) {
  sqlite3 *db = nullptr;
  int rc = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
  if (rc == SQLITE_OK)
    rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr);
  EXPECT_EQ(rc, SQLITE_OK) << path << ": " << sqlite3_errmsg(db) << " in " << sql;
  sqlite3_close(db);
}

void EngineFixture::writeFile(const std::string &path, const std::string &content) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << content;
  ASSERT_TRUE(out.good()) << path;
}

std::string EngineFixture::readFile(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void DriverTest::SetUp() {
  EngineFixture::SetUp();
  if (!onServer())
    return;
  PostgresServer &server = PostgresServer::instance();
  ASSERT_TRUE(server.running()) << server.error();
  m_serverSettings = server.newSchema();
  std::string config = "[Team]\ndriver = postgresql\n";
  for (const auto &[key, value] : m_serverSettings)
    config += key + " = " + value + "\n";
  writeFile(m_directory + "/engine.conf", config);
  m_database.reset();
  const Result opened =
      Engine::instance().openDatabase("Team", "", OpenMode::ReadWrite, ShareMode::Shared, m_database);
  ASSERT_EQ(opened, code::Ok) << describeFailure(opened);
}

std::string DriverTest::location(const std::string &name) const {
  if (!onServer())
    return pathOf(name);
  return engine::quoted(std::filesystem::path(name).stem().string(), '"');
}

void DriverTest::execute(const std::string &sql, const std::string &name) {
  if (!onServer()) {
    runSql(pathOf(name), sql);
    return;
  }
  std::string schema;
  for (const auto &[key, value] : m_serverSettings)
    if (key == "schema")
      schema = value;
  const std::string error = PostgresServer::instance().execute("SET search_path TO " + schema + "; " + sql);
  EXPECT_EQ(error, "") << sql;
}

std::string driverName(const ::testing::TestParamInfo<Driver> &info) {
  return info.param == Driver::Sqlite ? "Sqlite" : "Postgres";
}

ChildProcess::ChildProcess(const std::function<std::string(ChildProcess &)> &body) {
  int toChild[2], toParent[2];
  if (::pipe(toChild) != 0 || ::pipe(toParent) != 0) {
    ADD_FAILURE() << "pipe failed";
    return;
  }
  m_pid = ::fork();
  if (m_pid == 0) {
    ::close(toChild[1]);
    ::close(toParent[0]);
    m_in = toChild[0];
    m_out = toParent[1];
    const std::string failure = body(*this);
    if (!failure.empty())
      send("error: " + failure);
    ::_exit(failure.empty() ? 0 : 1); // no test teardown or exit handlers in the child
  }
  ::close(toChild[0]);
  ::close(toParent[1]);
  m_in = toParent[0];
  m_out = toChild[1];
  if (m_pid < 0)
    ADD_FAILURE() << "fork failed";
}

ChildProcess::~ChildProcess() {
  if (m_pid > 0) {
    ::kill(m_pid, SIGKILL);
    (void)wait();
  }
  ::close(m_in);
  ::close(m_out);
}

void ChildProcess::send(const std::string &line) {
  const std::string data = line + "\n";
  (void)!::write(m_out, data.data(), data.size());
}

std::string ChildProcess::receive() {
  std::string line;
  for (;;) {
    pollfd ready{m_in, POLLIN, 0};
    if (::poll(&ready, 1, 10000) <= 0)
      return "(timeout)";
    char c;
    const ssize_t n = ::read(m_in, &c, 1);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      return line.empty() ? "(end)" : line;
    if (c == '\n')
      return line;
    line += c;
  }
}

void ChildProcess::kill() {
  if (m_pid > 0)
    ::kill(m_pid, SIGKILL);
}

int ChildProcess::wait() {
  if (m_pid <= 0)
    return -1;
  int status = 0;
  while (::waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
  }
  m_pid = -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

} // namespace vandro::engine::testing
