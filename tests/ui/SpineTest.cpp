// Start-up of the program against broken, write-protected and
// password-protected set-ups: what the user sees, and how the table opens.
#include "Main.h"
#include "ModalAnswer.h"
#include "Program.h"
#include "TableFixture.h"
#include "engine/Engine.h"
#include "shell/TApplication.h"
#include "store/TSession.h"
#include "TestText.h"

#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

namespace vandro::testing {
namespace {

using namespace engine;

class SpineTest : public TableFixture {
protected:
  // Gives the table a password, through the engine in a session of its own.
  void protectTable(const std::string &password) {
    const bool started = Engine::instance().isInitialised();
    if (!started) {
      ASSERT_EQ(Engine::instance().initialise(kInterfaceVersion, kLanguage), code::Ok);
    }
    {
      std::unique_ptr<Database> database;
      ASSERT_EQ(Engine::instance().openDatabase("", m_directory, OpenMode::ReadWrite, ShareMode::Shared, database),
                code::Ok);
      std::unique_ptr<Cursor> cursor;
      ASSERT_EQ(database->openTable("Vandro.DB", "default", OpenMode::ReadWrite, ShareMode::Shared, cursor), code::Ok);
      ASSERT_EQ(cursor->setPassword(password), code::Ok);
    }
    if (!started) {
      ASSERT_EQ(Engine::instance().exit(), code::Ok);
    }
  }

  std::string configPath() const { return m_directory + "/engine.conf"; }

  // The last-resort box of a failed start-up: its frame line, naming the
  // engine failure raised in this binary, then the message with its period.
  static void expectLastResortBox(const SeenModal &box, const std::vector<QString> &mentions) {
    EXPECT_EQ(str(box.title), "Application Error");
    const QString module = QRegularExpression::escape(QFileInfo(QCoreApplication::applicationFilePath()).fileName());
    const QRegularExpression head(
        QStringLiteral("^Exception EDBEngineError in module %1 at [0-9A-F]{8}\\.\n").arg(module));
    EXPECT_TRUE(head.match(box.text).hasMatch()) << str(box.text);
    EXPECT_TRUE(box.text.endsWith(QLatin1Char('.'))) << str(box.text);
    for (const QString &mention : mentions)
      EXPECT_TRUE(box.text.contains(mention)) << "missing \"" << str(mention) << "\" in:\n" << str(box.text);
  }
};

TEST_F(SpineTest, EachBrokenSetUpEndsStartUpInTheLastResortBox) {
  const QString config = QString::fromStdString(configPath());
  const QString table = QString::fromStdString(tablePath());
  const struct {
    const char *setUp;
    std::function<void()> prepare;
    std::vector<QString> mentions;
  } cases[] = {
      {"no configuration file",
       [&] { std::filesystem::remove(configPath()); },
       {"Unknown database alias", "Alias: Vandro", "The configuration file does not exist: " + config}},
      {"a folder in place of the configuration",
       [&] { std::filesystem::create_directory(configPath()); },
       {"Exception EDBEngineError", "The engine configuration cannot be read", "File: " + config, "Is a directory"}},
      {"a configuration without the alias",
       [&] {
         std::filesystem::remove(configPath());
         std::ofstream(configPath()) << "[Other]\ndriver = sqlite\npath = " << m_directory << "\n";
       },
       {"Unknown database alias", "Alias: Vandro", "Configuration: " + config}},
      {"no table file", [&] { writeConfig(); }, {"Table does not exist", "File: " + table}},
      {"a text file in place of the table",
       [&] { std::ofstream(tablePath()) << "Id;Relation\n1;elaboration\n"; },
       {"The file is not a database", "File: " + table}},
  };
  // Each cause is said once.
  const QString notADatabaseAgain = QStringLiteral("\nfile is not a database");
  for (const auto &c : cases) {
    SCOPED_TRACE(c.setUp);
    c.prepare();
    ModalAnswerer answerer{{ModalAnswerer::press(QStringLiteral("OK"))}};
    Program program;
    EXPECT_FALSE(program.startUp());
    ASSERT_EQ(answerer.seen().size(), 1u);
    EXPECT_EQ(str(answerer.seen()[0].className), "QMessageBox");
    expectLastResortBox(answerer.seen()[0], c.mentions);
    EXPECT_FALSE(answerer.seen()[0].text.contains(notADatabaseAgain, Qt::CaseInsensitive)) << str(answerer.seen()[0].text);
    EXPECT_EQ(MainForm, nullptr);
    program.shutDown();
  }
}

// Run as an unprivileged user (ctest runs it through setpriv when the tests
// run as root): for root the permission bits do not stop a write.
TEST_F(SpineTest, AWriteProtectedTableOpensForBrowsingOnly) {
  if (::geteuid() == 0)
    GTEST_SKIP() << "root writes through the permission bits";
  makeRelationTable(numberedRows(2));
  ASSERT_EQ(::chmod(tablePath().c_str(), 0444), 0);
  ModalAnswerer answerer;
  Program program;
  ASSERT_TRUE(program.startUp());
  EXPECT_TRUE(answerer.seen().empty());
  store::TTable &table = *MainForm->Table1();
  EXPECT_EQ(table.State(), store::DataSetState::Browse);
  EXPECT_FALSE(table.CanModify());
  EXPECT_FALSE(table.ReadOnly) << "the property stays as the window set it";
  EXPECT_EQ(str(table.LookupField(QStringLiteral("id")).AsString()), "1");
  try {
    table.Edit();
    ADD_FAILURE() << "Edit() on a read-only table succeeded";
  } catch (const EDatabaseError &e) {
    EXPECT_EQ(str(e.message()),
              "Table1: Cannot modify a read-only dataset.\nThe file is write-protected: this user may not write it");
  }
  EXPECT_TRUE(readOnlyNotice(table).contains(QStringLiteral("opened read-only")) &&
              readOnlyNotice(table).contains(QStringLiteral("write-protected")))
      << str(readOnlyNotice(table));
  EXPECT_EQ(table.State(), store::DataSetState::Browse);
  table.Next();
  EXPECT_EQ(str(table.LookupField(QStringLiteral("id")).AsString()), "2") << "browsing goes on";
  program.shutDown();

  // A folder nobody may write either: read without the shared-memory file,
  // on a connection of its own, which finds by text letter case aside as
  // every connection does.
  makeTableFromSql("T.DB", "CREATE TABLE T (Id INTEGER PRIMARY KEY, Span1 TEXT); PRAGMA journal_mode = WAL;"
                           "INSERT INTO T VALUES (1, 'x'), (2, 'Die Stra\xC3\x9F" "e');");
  ASSERT_EQ(::chmod(m_directory.c_str(), 0555), 0);
  {
    store::TSession session;
    store::TTable other(QStringLiteral("Other"), &session);
    other.DatabaseName = QStringLiteral("Vandro");
    other.TableName = QStringLiteral("T.DB");
    other.Open();
    engine::RecordFilter filter{engine::FilterPart::contains(1, "STRASSE")};
    EXPECT_EQ(other.CountWhere(filter), 1);
    EXPECT_TRUE(other.FindWhere(filter, engine::SearchDirection::Forward));
    EXPECT_EQ(str(other.LookupField(QStringLiteral("Id")).AsString()), "2");
  }
  ASSERT_EQ(::chmod(m_directory.c_str(), 0755), 0);
}

QLineEdit *passwordBox(QWidget *dialog) { return dialog->findChild<QLineEdit *>(QStringLiteral("Password")); }
QPushButton *button(QWidget *dialog, const char *name) {
  return dialog->findChild<QPushButton *>(QString::fromLatin1(name));
}

// Types `password` into the dialog's box and confirms it with OK.
ModalAnswerer::Answer typeAndConfirm(const QString &password) {
  return [password](QWidget *dialog) {
    QTest::keyClicks(passwordBox(dialog), password);
    QTest::mouseClick(button(dialog, "OKButton"), Qt::LeftButton);
  };
}

TEST_F(SpineTest, APasswordTableAsksAgainUntilTheRightPasswordOpensIt) {
  makeRelationTable(numberedRows(2));
  protectTable("secret");

  // After Add: the session holds the password, the box is empty, OK enabled.
  struct {
    bool heldBySession = false, boxEmpty = false, okEnabled = false, addEnabled = true;
  } afterAdd;
  auto addThenConfirm = [&](QWidget *dialog) {
    QTest::keyClicks(passwordBox(dialog), QStringLiteral("secret"));
    QTest::mouseClick(button(dialog, "AddButton"), Qt::LeftButton);
    const auto &held = Engine::instance().passwords();
    afterAdd.heldBySession = std::find(held.begin(), held.end(), "secret") != held.end();
    afterAdd.boxEmpty = passwordBox(dialog)->text().isEmpty();
    afterAdd.okEnabled = button(dialog, "OKButton")->isEnabled();
    afterAdd.addEnabled = button(dialog, "AddButton")->isEnabled();
    QTest::mouseClick(button(dialog, "OKButton"), Qt::LeftButton);
  };
  // The dialog asked again is a new one, possibly at the address of the
  // first: the answerer must still see it as a second dialog.
  ModalAnswerer answerer{{typeAndConfirm(QStringLiteral("wrong")), addThenConfirm}};
  Program program;
  ASSERT_TRUE(program.startUp());

  ASSERT_EQ(answerer.seen().size(), 2u) << "a wrong password asks again, once";
  for (const SeenModal &seen : answerer.seen()) {
    EXPECT_TRUE(seen.className.endsWith(QStringLiteral("PasswordDialog"))) << str(seen.className);
    EXPECT_EQ(str(seen.title), "Enter password");
  }
  EXPECT_TRUE(afterAdd.heldBySession);
  EXPECT_TRUE(afterAdd.boxEmpty);
  EXPECT_TRUE(afterAdd.okEnabled);
  EXPECT_FALSE(afterAdd.addEnabled);

  store::TTable &table = *MainForm->Table1();
  EXPECT_EQ(table.State(), store::DataSetState::Browse);
  EXPECT_TRUE(table.CanModify());
  EXPECT_EQ(str(table.LookupField(QStringLiteral("id")).AsString()), "1");
  program.shutDown();
  EXPECT_TRUE(Engine::instance().passwords().empty()) << "the passwords end with the session";
}

TEST_F(SpineTest, CancellingThePasswordDialogEndsStartUpWithTheEnginesMessage) {
  makeRelationTable(numberedRows(1));
  protectTable("secret");
  ModalAnswerer answerer{{ModalAnswerer::press(QStringLiteral("Cancel")), ModalAnswerer::press(QStringLiteral("OK"))}};
  Program program;
  EXPECT_FALSE(program.startUp());
  ASSERT_EQ(answerer.seen().size(), 2u);
  EXPECT_EQ(str(answerer.seen()[0].title), "Enter password");
  expectLastResortBox(answerer.seen()[1], {QStringLiteral("A password is needed to open the table"),
                                           "File: " + QString::fromStdString(tablePath())});
  EXPECT_EQ(MainForm, nullptr);
}

} // namespace
} // namespace vandro::testing
