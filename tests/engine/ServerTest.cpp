// What only a table on a server has: logins and passwords, rights, a server
// that cannot be reached, a connection that breaks in the middle of an edit,
// and the COPY of a bulk insert.
#include "EngineFixture.h"
#include "PostgresServer.h"
#include "corpus/Corpus.h"
#include "engine/ServerWait.h"

#include <chrono>
#include <libpq-fe.h>

#include <csignal>
#include <functional>
#include <unistd.h>

namespace vandro::engine::testing {
namespace {

class ServerTest : public DriverTest {
protected:
  // A database of the alias "Other" with these settings.
  std::unique_ptr<Database> databaseFor(const std::vector<std::pair<std::string, std::string>> &settings) {
    std::string config = "[Team]\ndriver = postgresql\n";
    for (const auto &[key, value] : m_serverSettings)
      config += key + " = " + value + "\n";
    config += "\n[Other]\ndriver = postgresql\n";
    for (const auto &[key, value] : settings)
      config += key + " = " + value + "\n";
    writeFile(m_directory + "/engine.conf", config);
    std::unique_ptr<Database> database;
    EXPECT_EQ(Engine::instance().openDatabase("Other", "", OpenMode::ReadWrite, ShareMode::Shared, database), code::Ok);
    return database;
  }
  std::string schema() const {
    for (const auto &[key, value] : m_serverSettings)
      if (key == "schema")
        return value;
    return {};
  }
  // A login role of its own for this test.
  std::string role(const std::string &name, const std::string &password) {
    const std::string user = name + std::to_string(::getpid()) + "_" + schema();
    EXPECT_EQ(PostgresServer::instance().makeRole(user, password, schema()), "");
    return user;
  }
};

TEST_P(ServerTest, AServerThatAsksForAPasswordGetsTheSessionsPasswords) {
  createRelationTable();
  fill(*openTable(), 1, 3);
  const std::string user = role("ann", "secret");
  EXPECT_EQ(PostgresServer::instance().execute("GRANT SELECT, UPDATE, INSERT ON " + schema() + ".\"Vandro\" TO " + user), "");
  auto database = databaseFor(PostgresServer::instance().settingsFor(user, schema()));
  ASSERT_TRUE(database);
  std::unique_ptr<Cursor> cursor;
  EXPECT_EQ(database->openTable("Vandro.DB", "default", OpenMode::ReadWrite, ShareMode::Shared, cursor),
            code::PasswordNeeded);
  EXPECT_TRUE(entriesMention("asks for a password")) << describeFailure(code::PasswordNeeded);
  ASSERT_EQ(Engine::instance().addPassword("wrong"), code::Ok);
  EXPECT_EQ(database->openTable("Vandro.DB", "default", OpenMode::ReadWrite, ShareMode::Shared, cursor),
            code::PasswordNeeded);
  EXPECT_TRUE(entriesMention("not accepted")) << describeFailure(code::PasswordNeeded);
  ASSERT_EQ(Engine::instance().addPassword("secret"), code::Ok);
  ASSERT_EQ(database->openTable("Vandro.DB", "default", OpenMode::ReadWrite, ShareMode::Shared, cursor), code::Ok)
      << describeFailure(code::Ok);
  Record record;
  ASSERT_EQ(cursor->readNext(record), code::Ok);
  EXPECT_EQ(idOf(record), 1);
  Engine::instance().dropAllPasswords();
}

TEST_P(ServerTest, AUserWithoutTheRightToUpdateReadsOnly) {
  createRelationTable();
  fill(*openTable(), 1, 3);
  const std::string user = role("reader", "pw");
  EXPECT_EQ(PostgresServer::instance().execute("GRANT SELECT ON " + schema() + ".\"Vandro\" TO " + user), "");
  ASSERT_EQ(Engine::instance().addPassword("pw"), code::Ok);
  auto database = databaseFor(PostgresServer::instance().settingsFor(user, schema()));
  ASSERT_TRUE(database);
  std::unique_ptr<Cursor> cursor;
  EXPECT_EQ(database->openTable("Vandro.DB", "default", OpenMode::ReadWrite, ShareMode::Shared, cursor),
            code::ReadOnlyTable);
  EXPECT_TRUE(entriesMention("The user " + user + " has no UPDATE and INSERT rights"))
      << describeFailure(code::ReadOnlyTable);
  ASSERT_EQ(database->openTable("Vandro.DB", "default", OpenMode::ReadOnly, ShareMode::Shared, cursor), code::Ok)
      << describeFailure(code::Ok);
  EXPECT_FALSE(cursor->description().writable);
  Record record;
  ASSERT_EQ(cursor->readNext(record), code::Ok);
  EXPECT_EQ(cursor->readCurrent(record, LockMode::WriteLock), code::TableIsReadOnly);
  EXPECT_EQ(cursor->insertRecord(relation(*cursor, 9)), code::TableIsReadOnly);
  Engine::instance().dropAllPasswords();
}

TEST_P(ServerTest, FailuresNameTheServerAndTheCause) {
  std::unique_ptr<Cursor> cursor;
  {
    auto unreachable = databaseFor({{"host", m_directory + "/no-server"}, {"dbname", "vandro"}, {"user", "postgres"}});
    ASSERT_TRUE(unreachable);
    EXPECT_EQ(unreachable->openTable("Vandro.DB", "default", OpenMode::ReadWrite, ShareMode::Shared, cursor),
              code::ServerUnreachable);
    EXPECT_TRUE(entriesMention(m_directory + "/no-server")) << describeFailure(code::ServerUnreachable);
  }
  EXPECT_EQ(tryOpen(cursor, "Missing.DB"), code::TableNotFound);
  EXPECT_TRUE(entriesMention("\"Missing\"")) << describeFailure(code::TableNotFound);
  execute("CREATE TABLE \"Wide\" (\"Id\" integer PRIMARY KEY, \"Big\" bigint)");
  EXPECT_EQ(tryOpen(cursor, "Wide.DB"), code::UnsupportedSchema);
  EXPECT_TRUE(entriesMention("Big")) << describeFailure(code::UnsupportedSchema);
  createRelationTable();
  EXPECT_EQ(m_database->createTable("Vandro.DB", corpus::relationTableFields(), corpus::kRelationTableKey), code::TableExists);
  EXPECT_EQ(openTable()->setPassword(std::string("x")), code::NotForServerTables);
  // Names the server would cut to 63 bytes (so another table's name) are
  // refused before anything is made; a new table leaves room for the names
  // of the corpus tables beside it.
  const std::string cut(64, 'v'), uncut(63, 'v'), roomless(47, 'v'), roomy(46, 'v');
  EXPECT_EQ(m_database->createTable(cut + ".DB", corpus::relationTableFields(), corpus::kRelationTableKey), code::InvalidParameter);
  EXPECT_TRUE(entriesMention("46 bytes at most")) << describeFailure(code::InvalidParameter);
  EXPECT_EQ(tryOpen(cursor, cut + ".DB"), code::InvalidParameter);
  EXPECT_TRUE(entriesMention("63 bytes at most")) << describeFailure(code::InvalidParameter);
  EXPECT_EQ(m_database->createTable(roomless + ".DB", corpus::relationTableFields(), corpus::kRelationTableKey),
            code::InvalidParameter);
  EXPECT_TRUE(entriesMention("46 bytes at most")) << describeFailure(code::InvalidParameter);
  EXPECT_EQ(m_database->createTable(roomy + ".DB", corpus::relationTableFields(), corpus::kRelationTableKey), code::Ok)
      << describeFailure(code::Ok);
  // A table another client made with a name of 63 bytes opens, but gets no
  // corpus beside it.
  execute("CREATE TABLE \"" + uncut + "\" (LIKE \"Vandro\" INCLUDING ALL)");
  ASSERT_EQ(tryOpen(cursor, uncut + ".DB"), code::Ok) << describeFailure(code::Ok);
  EXPECT_EQ(corpus::Corpus(*cursor).create(), code::InvalidParameter);
  EXPECT_FALSE(m_database->tableExists(uncut.substr(0, 53) + "_documents"));
}

TEST_P(ServerTest, APostAfterTheConnectionBrokeReconnectsAndChecksTheRecord) {
  createRelationTable();
  auto editor = openTable();
  auto browser = openTable();
  ASSERT_TRUE(editor && browser);
  fill(*editor, 1, 10);
  auto breakConnections = [] {
    EXPECT_EQ(PostgresServer::instance().execute("SELECT pg_terminate_backend(pid) FROM pg_stat_activity "
                                                 "WHERE starts_with(application_name, 'Vandro')"),
              "");
  };
  Record record;
  // However the session went, nobody touched the record meanwhile: the post
  // goes through, and a cursor that only reads reads on.
  // Each stored as the relation (at most 30 characters).
  const std::pair<const char *, std::function<void()>> breaks[] = {
      {"session ended by the server", breakConnections},
      {"one session killed",
       [] {
         const auto pids = PostgresServer::instance().sessions("Vandro");
         ASSERT_FALSE(pids.empty());
         ::kill(pids.front(), SIGKILL);
         ::usleep(500000); // the server's own restart of its sessions
       }},
      {"server crashed and came back", [] { EXPECT_EQ(PostgresServer::instance().restartImmediately(), ""); }},
  };
  ASSERT_EQ(browser->setToBegin(), code::Ok);
  for (const auto &[how, breakThem] : breaks) {
    SCOPED_TRACE(how);
    ASSERT_EQ(editor->findKey({Value::integer(5)}, record), code::Ok);
    ASSERT_EQ(editor->readCurrent(record, LockMode::WriteLock), code::Ok);
    breakThem();
    ASSERT_EQ(editor->modifyRecord(relation(*editor, 5, how)), code::Ok) << describeFailure(code::Ok);
    ASSERT_EQ(editor->findKey({Value::integer(5)}, record), code::Ok) << describeFailure(code::Ok);
    EXPECT_EQ(textOf(record, 2), how);
    EXPECT_EQ(browser->readNext(record), code::Ok) << describeFailure(code::Ok);
  }

  // Another user stored the record while this edit's lock was gone: refused.
  ASSERT_EQ(editor->findKey({Value::integer(6)}, record), code::Ok);
  ASSERT_EQ(editor->readCurrent(record, LockMode::WriteLock), code::Ok);
  breakConnections();
  auto other = openTable();
  ASSERT_TRUE(other);
  ASSERT_EQ(other->findKey({Value::integer(6)}, record), code::Ok);
  ASSERT_EQ(other->readCurrent(record, LockMode::WriteLock), code::Ok);
  ASSERT_EQ(other->modifyRecord(relation(*other, 6, "stored by the other")), code::Ok);
  EXPECT_EQ(editor->modifyRecord(relation(*editor, 6, "lost edit")), code::RecordChanged);
  EXPECT_TRUE(entriesMention("Id = 6")) << describeFailure(code::RecordChanged);
  ASSERT_EQ(editor->releaseLock(), code::Ok);
  ASSERT_EQ(other->findKey({Value::integer(6)}, record), code::Ok);
  EXPECT_EQ(textOf(record, 2), "stored by the other");
}

// Another client (psql, not a Vandro program) holds a row in an open
// transaction: a post waits a few seconds at most, telling the program all
// the while, then fails with the locked-record message.
TEST_P(ServerTest, APostWaitsForAnotherClientsRowLockAFewSecondsAtMost) {
  createRelationTable();
  auto editor = openTable();
  ASSERT_TRUE(editor);
  fill(*editor, 1, 10);
  PGconn *other = PQconnectdb(("host=" + PostgresServer::instance().socketFolder() +
                                " dbname=vandro user=postgres application_name=psql")
                                  .c_str());
  ASSERT_EQ(PQstatus(other), CONNECTION_OK);
  const std::string table = editor->quotedName();
  // A second client holds another row: not the one named.
  PGconn *decoy = PQconnectdb(("host=" + PostgresServer::instance().socketFolder() +
                               " dbname=vandro user=postgres application_name=otherapp")
                                  .c_str());
  ASSERT_EQ(PQstatus(decoy), CONNECTION_OK);
  PQclear(PQexec(decoy, "BEGIN"));
  PQclear(PQexec(decoy, ("UPDATE " + table + " SET \"Relation\" = 'decoy' WHERE \"Id\" = 3").c_str()));
  PQclear(PQexec(other, "BEGIN"));
  PGresult *held = PQexec(other, ("UPDATE " + table + " SET \"Relation\" = 'psql' WHERE \"Id\" = 7").c_str());
  ASSERT_EQ(PQresultStatus(held), PGRES_COMMAND_OK) << PQresultErrorMessage(held);
  PQclear(held);
  int waits = 0;
  setWaitHook([&](int) { ++waits; });
  Record record;
  ASSERT_EQ(editor->findKey({Value::integer(7)}, record), code::Ok);
  ASSERT_EQ(editor->readCurrent(record, LockMode::WriteLock), code::Ok);
  const auto started = std::chrono::steady_clock::now();
  EXPECT_EQ(editor->modifyRecord(relation(*editor, 7, "vandro")), code::RecordLocked);
  const auto waited = std::chrono::steady_clock::now() - started;
  setWaitHook({});
  EXPECT_TRUE(entriesMention("Id = 7") && entriesMention("Held by postgres (psql)") &&
              entriesMention("not a Vandro program") && !entriesMention("otherapp"))
      << describeFailure(code::RecordLocked);
  PQfinish(decoy);
  EXPECT_LT(waited, std::chrono::seconds(6));
  EXPECT_GE(waits, 10) << "told every tenth of a second";
  PQclear(PQexec(other, "ROLLBACK"));
  PQfinish(other);
  EXPECT_EQ(editor->modifyRecord(relation(*editor, 7, "vandro")), code::Ok) << describeFailure(code::Ok);
}

// A database that keeps whatever bytes its clients write (encoding
// SQL_ASCII), where another client stored a value that is no UTF-8: the
// record is read with the bytes as stored, an edit of another field writes
// them back unchanged, and the check names the record.
TEST_P(ServerTest, BytesThatAreNoUtf8AreReadKeptAndNamed) {
  const std::string name = "ascii" + std::to_string(::getpid());
  ASSERT_EQ(PostgresServer::instance().execute("CREATE DATABASE " + name +
                                               " ENCODING 'SQL_ASCII' LC_COLLATE 'C' LC_CTYPE 'C' TEMPLATE template0"),
            "");
  const std::string socket = PostgresServer::instance().socketFolder();
  {
    auto database = databaseFor({{"host", socket}, {"dbname", name}, {"user", "postgres"}});
    ASSERT_TRUE(database);
    ASSERT_EQ(database->createTable("Vandro.DB", corpus::relationTableFields(), corpus::kRelationTableKey), code::Ok)
        << describeFailure(code::Ok);
    std::unique_ptr<Cursor> cursor;
    ASSERT_EQ(database->openTable("Vandro.DB", "default", OpenMode::ReadWrite, ShareMode::Shared, cursor), code::Ok)
        << describeFailure(code::Ok);
    fill(*cursor, 1, 3);
    PGconn *other = PQconnectdb(("host=" + socket + " dbname=" + name + " user=postgres").c_str());
    ASSERT_EQ(PQstatus(other), CONNECTION_OK);
    const auto storedBytes = [&] {
      PGresult *rows = PQexec(other, "SELECT \"Relation\" || '|' || \"Extended\" FROM \"Vandro\" WHERE \"Id\" = 2");
      const std::string text = PQntuples(rows) == 1 ? PQgetvalue(rows, 0, 0) : "<none>";
      PQclear(rows);
      return text;
    };
    PQclear(PQexec(other, "UPDATE \"Vandro\" SET \"Relation\" = E'caf\\xe9', \"Extended\" = 'no' WHERE \"Id\" = 2"));
    ASSERT_EQ(storedBytes(), "caf\xe9|no");
    Record record;
    ASSERT_EQ(cursor->findKey({Value::integer(2)}, record), code::Ok) << describeFailure(code::Ok);
    EXPECT_EQ(textOf(record, 2), "caf\xe9");
    ASSERT_EQ(cursor->readCurrent(record, LockMode::WriteLock), code::Ok) << describeFailure(code::Ok);
    record.values[3] = Value::text("yes");
    EXPECT_EQ(cursor->modifyRecord(record), code::Ok) << describeFailure(code::Ok);
    EXPECT_EQ(storedBytes(), "caf\xe9|yes");
    std::vector<std::string> problems;
    ASSERT_EQ(cursor->integrityCheck(problems), code::Ok) << describeFailure(code::Ok);
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_NE(problems[0].find("Id = 2"), std::string::npos) << problems[0];
    EXPECT_NE(problems[0].find("UTF-8"), std::string::npos) << problems[0];
    PQfinish(other);
  }
  EXPECT_EQ(PostgresServer::instance().execute("DROP DATABASE " + name + " WITH (FORCE)"), "");
}

TEST_P(ServerTest, ABulkCopyNamesTheRecordItFailedOnAndStoresNothing) {
  createRelationTable();
  auto cursor = openTable();
  ASSERT_TRUE(cursor);
  ASSERT_EQ(cursor->beginBulk(), code::Ok);
  for (std::int64_t id : {1, 2, 3, 4, 3, 5})
    ASSERT_EQ(cursor->insertRecord(relation(*cursor, id)), code::Ok);
  EXPECT_EQ(cursor->commitBulk(), code::KeyViolation);
  EXPECT_TRUE(entriesMention("Record: Id = 3")) << describeFailure(code::KeyViolation);
  Record record;
  ASSERT_EQ(cursor->setToBegin(), code::Ok);
  EXPECT_EQ(cursor->readNext(record), code::Eof);
}

INSTANTIATE_TEST_SUITE_P(Driver, ServerTest, ::testing::Values(Driver::Postgres), driverName);

} // namespace
} // namespace vandro::engine::testing
