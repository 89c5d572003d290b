// The program on a table of a database server, as an annotator of a team
// meets it: the password the server asks for, the record another annotator
// is editing, and what another annotator stored.
#include "Main.h"
#include "ModalAnswer.h"
#include "PostgresServer.h"
#include "Program.h"
#include "TableFixture.h"
#include "engine/Engine.h"
#include "corpus/History.h"
#include "corpus/RelationTable.h"
#include "shell/Exception.h"
#include "store/TTable.h"
#include "TestText.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <fstream>
#include <unistd.h>

namespace vandro::testing {
namespace {

using engine::testing::PostgresServer;
using namespace engine;
using namespace corpus;

class TeamStoreTest : public TableFixture {
protected:
  void SetUp() override {
    TableFixture::SetUp();
    PostgresServer &server = PostgresServer::instance();
    ASSERT_TRUE(server.running()) << server.error();
    m_settings = server.newSchema();
    m_schema = m_settings.back().second;
    // The table, made by the team's administrator.
    std::string config = "[Admin]\ndriver = postgresql\n";
    for (const auto &[key, value] : m_settings)
      config += key + " = " + value + "\n";
    writeConfigText(config);
    ASSERT_EQ(Engine::instance().initialise(kInterfaceVersion, kLanguage), code::Ok);
    {
      std::unique_ptr<Database> database;
      ASSERT_EQ(Engine::instance().openDatabase("Admin", "", OpenMode::ReadWrite, ShareMode::Shared, database), code::Ok);
      ASSERT_EQ(database->createTable("Vandro.DB", relationTableFields(), kRelationTableKey), code::Ok);
      std::unique_ptr<Cursor> cursor;
      ASSERT_EQ(database->openTable("Vandro.DB", "default", OpenMode::ReadWrite, ShareMode::Shared, cursor), code::Ok);
      for (int id = 1; id <= 3; ++id) {
        Record record = cursor->blankRecord();
        record.values[0] = Value::integer(id);
        record.values[2] = Value::text(id == 2 ? "joint" : "contrast");
        ASSERT_EQ(cursor->insertRecord(record), code::Ok);
      }
      ASSERT_EQ(corpus::History::create(*cursor), code::Ok);
    }
    ASSERT_EQ(Engine::instance().exit(), code::Ok);
    // The annotator: a login with a password that libpq finds nowhere.
    m_user = "ann" + std::to_string(::getpid()) + m_schema;
    ASSERT_EQ(server.makeRole(m_user, "secret", m_schema), "");
    ASSERT_EQ(server.execute("GRANT SELECT, INSERT, UPDATE ON " + m_schema + ".\"Vandro\" TO " + m_user), "");
    ASSERT_EQ(server.execute("GRANT SELECT, INSERT ON " + m_schema + ".\"Vandro_history\" TO " + m_user), "");
    config += "\n[Vandro]\ndriver = postgresql\n";
    for (const auto &[key, value] : server.settingsFor(m_user, m_schema))
      config += key + " = " + value + "\n";
    writeConfigText(config);
  }

  void writeConfigText(const std::string &text) { std::ofstream(m_directory + "/engine.conf") << text; }

  static ModalAnswerer::Answer typePassword(const char *password) {
    return [password](QWidget *dialog) {
      QTest::keyClicks(dialog->findChild<QLineEdit *>(QStringLiteral("Password")), QString::fromLatin1(password));
      QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("OKButton")), Qt::LeftButton);
    };
  }

  std::vector<std::pair<std::string, std::string>> m_settings;
  std::string m_schema, m_user;
};

TEST_F(TeamStoreTest, TheServersPasswordIsAskedForUntilItIsRightOrCancelled) {
  {
    ModalAnswerer answerer{{typePassword("wrong"), typePassword("secret")}};
    Program program;
    ASSERT_TRUE(program.startUp());
    ASSERT_EQ(answerer.seen().size(), 2u) << "a wrong password asks again";
    for (const SeenModal &seen : answerer.seen())
      EXPECT_EQ(str(seen.title), "Enter password");
    EXPECT_EQ(str(MainForm->Table1()->LookupField(QStringLiteral("Relation")).AsString()), "contrast");
    EXPECT_TRUE(MainForm->Table1()->CanModify());
    program.shutDown();
  }
  ModalAnswerer answerer{{ModalAnswerer::press(QStringLiteral("Cancel")), ModalAnswerer::press(QStringLiteral("OK"))}};
  Program program;
  EXPECT_FALSE(program.startUp());
  ASSERT_EQ(answerer.seen().size(), 2u);
  EXPECT_TRUE(answerer.seen()[1].text.contains(QStringLiteral("A password is needed"))) << str(answerer.seen()[1].text);
  EXPECT_TRUE(answerer.seen()[1].text.contains(QStringLiteral("asks for a password"))) << str(answerer.seen()[1].text);
}

TEST_F(TeamStoreTest, AnotherAnnotatorsEditAndPostReachTheWindow) {
  ASSERT_EQ(Engine::instance().initialise(kInterfaceVersion, kLanguage), code::Ok);
  ASSERT_EQ(Engine::instance().addPassword("secret"), code::Ok);
  Program program;
  ASSERT_TRUE(program.startUp());
  store::TTable &table = *MainForm->Table1();

  // Another annotator, another connection: editing record 2, then storing it.
  std::unique_ptr<Database> database;
  ASSERT_EQ(Engine::instance().openDatabase("Admin", "", OpenMode::ReadWrite, ShareMode::Shared, database), code::Ok);
  std::unique_ptr<Cursor> other;
  ASSERT_EQ(database->openTable("Vandro.DB", "default", OpenMode::ReadWrite, ShareMode::Shared, other), code::Ok);
  Record record;
  ASSERT_EQ(other->findKey({Value::integer(2)}, record), code::Ok);
  ASSERT_EQ(other->readCurrent(record, LockMode::WriteLock), code::Ok);

  table.Next();
  try {
    table.Edit();
    ADD_FAILURE() << "edited a record another annotator holds";
  } catch (const EDBEngineError &error) {
    EXPECT_TRUE(error.message().contains(QStringLiteral("Record locked by another user"))) << str(error.message());
  }
  EXPECT_EQ(table.State(), store::DataSetState::Browse);

  record.values[2] = Value::text("sequence");
  ASSERT_EQ(other->modifyRecord(record), code::Ok);
  table.Next();
  table.Prior();
  EXPECT_EQ(str(table.LookupField(QStringLiteral("Relation")).AsString()), "sequence") << "seen on the next move";
  table.Edit();
  table.LookupField(QStringLiteral("Relation")).setAsString(QStringLiteral("list"));
  table.Post();
  other.reset();
  database.reset();
  program.shutDown();
  EXPECT_EQ(PostgresServer::instance().execute("DO $$ BEGIN IF (SELECT \"Relation\" FROM " + m_schema +
                                               ".\"Vandro\" WHERE \"Id\" = 2) <> 'list' THEN RAISE 'not stored'; "
                                               "END IF; END $$"),
            "");
  // The window's post is in the history under the annotator's server role;
  // the other client's, which kept no history, is not.
  EXPECT_EQ(PostgresServer::instance().execute(
                "DO $$ BEGIN IF (SELECT string_agg(\"Role\" || ' ' || \"Program\" || ' ' || \"Id\" || ' ' || \"Column\" || "
                "' ' || \"Old\" || ' ' || \"New\", ';') FROM " + m_schema + ".\"Vandro_history\") <> '" + m_user +
                " Vandro 2 Relation sequence list' THEN RAISE 'history: %', (SELECT string_agg(\"Column\", ',') FROM " +
                m_schema + ".\"Vandro_history\"); END IF; END $$"),
            "");
}

} // namespace
} // namespace vandro::testing
