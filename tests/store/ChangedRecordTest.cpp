// A post never stores over a record that another client changed (or
// deleted) since the edit began, on either driver, also when the connection
// to the server broke meanwhile: it fails with the message, every time, and
// keeps the edit until the user cancels and sees the stored record.
#include "PostgresServer.h"
#include "TableFixture.h"
#include "engine/RelationTable.h"
#include "shell/Exception.h"
#include "store/TSession.h"
#include "store/TTable.h"

#include <filesystem>
#include <fstream>
#include <sqlite3.h>

namespace vandro::testing {
namespace {

using namespace engine;
using engine::testing::PostgresServer;

enum class Driver { Sqlite, Postgres };

class ChangedRecordTest : public TableFixture, public ::testing::WithParamInterface<Driver> {
protected:
  // A fresh table of records 1 to 3 (a new schema on the server).
  void makeTable() {
    std::filesystem::remove(tablePath());
    if (GetParam() == Driver::Postgres) {
      PostgresServer &server = PostgresServer::instance();
      ASSERT_TRUE(server.running()) << server.error();
      std::string config = "[Vandro]\ndriver = postgresql\n";
      for (const auto &[key, value] : server.newSchema()) {
        config += key + " = " + value + "\n";
        if (key == "schema")
          m_table = value + ".\"Vandro\"";
      }
      writeConfigText(config);
    }
    ASSERT_EQ(Engine::instance().initialise(kInterfaceVersion, kLanguage), code::Ok);
    std::unique_ptr<Database> database;
    ASSERT_EQ(Engine::instance().openDatabase("Vandro", "", OpenMode::ReadWrite, ShareMode::Shared, database), code::Ok);
    ASSERT_EQ(database->createTable("Vandro.DB", relationTableFields(), kRelationTableKey), code::Ok);
    std::unique_ptr<Cursor> cursor;
    ASSERT_EQ(database->openTable("Vandro.DB", "default", OpenMode::ReadWrite, ShareMode::Shared, cursor), code::Ok);
    for (int id = 1; id <= 3; ++id) {
      Record record = cursor->blankRecord();
      record.values[0] = Value::integer(id);
      record.values[2] = Value::text("joint");
      record.values[6] = Value::text("SN");
      ASSERT_EQ(cursor->insertRecord(record), code::Ok);
    }
    cursor.reset();
    database.reset();
    ASSERT_EQ(Engine::instance().exit(), code::Ok);
  }

  void writeConfigText(const std::string &text) { std::ofstream(m_directory + "/engine.conf") << text; }

  // Runs `sql` as another program would, past the engine and its locks.
  void otherClient(const std::string &sql) {
    if (GetParam() == Driver::Postgres) {
      EXPECT_EQ(PostgresServer::instance().execute(sql), "");
      return;
    }
    sqlite3 *db = nullptr;
    ASSERT_EQ(sqlite3_open(tablePath().c_str(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    sqlite3_close(db);
  }

  // Record `id` as stored now, "Relation/Order/Marker1", read by a cursor
  // of its own; "gone" when there is none.
  std::string stored(int id) {
    std::unique_ptr<Database> database;
    std::unique_ptr<Cursor> cursor;
    Record record;
    EXPECT_EQ(Engine::instance().openDatabase("Vandro", "", OpenMode::ReadOnly, ShareMode::Shared, database), code::Ok);
    EXPECT_EQ(database->openTable("Vandro.DB", "default", OpenMode::ReadOnly, ShareMode::Shared, cursor), code::Ok);
    if (cursor->findKey({Value::integer(id)}, record) != code::Ok)
      return "gone";
    auto text = [&](int field) {
      const Value &value = record.values[static_cast<std::size_t>(field)];
      return value.isNull() ? std::string("null") : value.asText();
    };
    return text(2) + "/" + text(6) + "/" + text(14);
  }

  std::string m_table = "\"Vandro\"";
};

TEST_P(ChangedRecordTest, APostNeverStoresOverAnotherClientsChange) {
  struct Case {
    const char *name;
    const char *change; // run by the other client on record 2
    const char *stored; // record 2 afterwards, as the other client left it
    bool connectionLost;
  };
  const Case cases[] = {
      {"a column changed", "UPDATE %T SET \"Order\" = 'XX' WHERE \"Id\" = 2", "joint/XX/null", false},
      {"a null became empty", "UPDATE %T SET \"Marker1\" = '' WHERE \"Id\" = 2", "joint/SN/", false},
      {"deleted", "DELETE FROM %T WHERE \"Id\" = 2", "gone", false},
      {"a column changed, connection lost", "UPDATE %T SET \"Order\" = 'XX' WHERE \"Id\" = 2", "joint/XX/null", true},
      {"deleted, connection lost", "DELETE FROM %T WHERE \"Id\" = 2", "gone", true},
  };
  for (const Case &c : cases) {
    if (c.connectionLost && GetParam() != Driver::Postgres)
      continue;
    SCOPED_TRACE(c.name);
    makeTable();
    store::TSession session;
    store::TTable table(QStringLiteral("Table1"), &session);
    table.DatabaseName = QStringLiteral("Vandro");
    table.TableName = QStringLiteral("Vandro.DB");
    table.Open();
    ASSERT_TRUE(table.FindByKey(2));
    table.Edit();
    table.LookupField(QStringLiteral("Relation")).setAsString(QStringLiteral("edited"));

    std::string change = c.change;
    change.replace(change.find("%T"), 2, m_table);
    otherClient(change);
    if (c.connectionLost) {
      ASSERT_EQ(PostgresServer::instance().execute(
                    "SELECT pg_terminate_backend(pid) FROM pg_locks WHERE locktype = 'advisory'"),
                "");
    }

    for (int attempt = 1; attempt <= 2; ++attempt) {
      SCOPED_TRACE(attempt);
      try {
        table.Post();
        ADD_FAILURE() << "stored over the other client's change";
      } catch (const EDBEngineError &error) {
        const std::string message = error.message().toStdString();
        EXPECT_NE(message.find("The record was changed by another user"), std::string::npos) << message;
        EXPECT_EQ(message.find("lost") != std::string::npos, c.connectionLost) << message;
        EXPECT_EQ(message.find("deleted") != std::string::npos, std::string(c.stored) == "gone") << message;
      }
      EXPECT_EQ(table.State(), store::DataSetState::Edit);
      EXPECT_EQ(table.LookupField(QStringLiteral("Relation")).AsString(), QStringLiteral("edited"));
      EXPECT_EQ(stored(2), c.stored);
    }
    // Cancel shows the record as stored: the other client's values, or the
    // next record where it was deleted.
    table.Cancel();
    EXPECT_EQ(table.State(), store::DataSetState::Browse);
    auto shown = [&](const char *field) {
      const store::TField &value = table.LookupField(QString::fromLatin1(field));
      return value.IsNull() ? std::string("null") : value.AsString().toStdString();
    };
    if (std::string(c.stored) == "gone")
      EXPECT_EQ(shown("Id"), "3");
    else
      EXPECT_EQ(shown("Relation") + "/" + shown("Order") + "/" + shown("Marker1"), c.stored);
    table.Close();
  }
}

std::string driverName(const ::testing::TestParamInfo<Driver> &info) {
  return info.param == Driver::Postgres ? "Postgres" : "Sqlite";
}

INSTANTIATE_TEST_SUITE_P(Driver, ChangedRecordTest, ::testing::Values(Driver::Sqlite, Driver::Postgres), driverName);

} // namespace
} // namespace vandro::testing
