// Closing the main window while a record is being edited: an untouched edit
// is dropped, a written one stored, and when storing fails the user decides
// between going on editing and discarding the changes.
#include "Main.h"
#include "ModalAnswer.h"
#include "Program.h"
#include "TableFixture.h"
#include "engine/Engine.h"
#include "shell/TApplication.h"
#include "TestText.h"

#include <filesystem>

namespace vandro::testing {
namespace {

using namespace engine;
using store::DataSetState;

class CloseTest : public TableFixture {
protected:
  // The Relation of every record as stored, read through the engine in a
  // session of its own once the program has ended its own.
  std::vector<std::string> storedRelations() {
    std::vector<std::string> relations;
    EXPECT_FALSE(Engine::instance().isInitialised()) << "the program's session is still running";
    EXPECT_EQ(Engine::instance().initialise(kInterfaceVersion, kLanguage), code::Ok);
    {
      std::unique_ptr<Database> database;
      std::unique_ptr<Cursor> cursor;
      EXPECT_EQ(Engine::instance().openDatabase("", m_directory, OpenMode::ReadOnly, ShareMode::Shared, database),
                code::Ok);
      EXPECT_EQ(database->openTable("Vandro.DB", "default", OpenMode::ReadOnly, ShareMode::Shared, cursor),
                code::Ok);
      Record record;
      EXPECT_EQ(cursor->setToBegin(), code::Ok);
      while (cursor->readNext(record) == code::Ok)
        relations.push_back(std::to_string(record.values[0].asInteger()) + " " +
                            (record.values[2].isText() ? record.values[2].asText() : "<null>"));
    }
    EXPECT_EQ(Engine::instance().exit(), code::Ok);
    return relations;
  }

  static void writeField(const char *name, const QString &text) {
    MainForm->Table1()->LookupField(QString::fromLatin1(name)).setAsString(text);
  }
};

const std::vector<std::string> kAsMade = {"1 contrast", "2 joint", "3 background"};

TEST_F(CloseTest, AnUntouchedEditIsDroppedAndAWrittenOneStored) {
  const struct {
    const char *edit;
    int records;
    bool write;
    std::vector<std::string> stored;
  } cases[] = {
      {"nothing written", 3, false, kAsMade},
      {"Relation written", 3, true, {"1 antithesis", "2 joint", "3 background"}},
      // Storing it would fail: its Id is required.
      {"a new record, nothing written", 0, false, {}},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.edit);
    std::filesystem::remove(tablePath());
    makeRelationTable(numberedRows(c.records));
    ModalAnswerer answerer;
    Program program;
    ASSERT_TRUE(program.startUp());
    MainForm->show();
    MainForm->Table1()->Edit();
    if (c.write)
      writeField("Relation", QStringLiteral("antithesis"));
    EXPECT_TRUE(MainForm->close());
    EXPECT_FALSE(MainForm->isVisible());
    EXPECT_EQ(MainForm->Table1()->State(), DataSetState::Browse);
    EXPECT_TRUE(answerer.seen().empty()) << "no box: " << str(answerer.seen().front().text);
    program.shutDown();
    EXPECT_EQ(storedRelations(), c.stored);
  }
}

TEST_F(CloseTest, AFailedPostAsksAndNoKeepsEditingWhileYesDiscards) {
  makeRelationTable(numberedRows(3));
  Program program;
  ASSERT_TRUE(program.startUp());
  MainForm->show();
  store::TTable &table = *MainForm->Table1();
  table.Edit();
  writeField("Id", QStringLiteral("2")); // a key violation when posted
  writeField("Relation", QStringLiteral("antithesis"));
  const QString question =
      QStringLiteral("The changes to the current record could not be saved. Close anyway and discard them?");

  const struct {
    const char *answer;
    bool closes;
  } answers[] = {{"No", false}, {"Yes", true}};
  for (const auto &a : answers) {
    SCOPED_TRACE(a.answer);
    ModalAnswerer answerer{{ModalAnswerer::press(QStringLiteral("OK")), ModalAnswerer::press(a.answer)}};
    EXPECT_EQ(MainForm->close(), a.closes);
    ASSERT_EQ(answerer.seen().size(), 2u);
    const SeenModal &error = answerer.seen()[0];
    EXPECT_EQ(error.title, Application->Title());
    EXPECT_TRUE(error.text.contains(QStringLiteral("key violation"), Qt::CaseInsensitive)) << str(error.text);
    const SeenModal &asked = answerer.seen()[1];
    EXPECT_EQ(asked.className, QStringLiteral("QMessageBox"));
    EXPECT_EQ(asked.title, Application->Title());
    EXPECT_EQ(asked.text, question);
    EXPECT_EQ(MainForm->isVisible(), !a.closes);
    if (!a.closes) {
      EXPECT_EQ(table.State(), DataSetState::Edit);
      EXPECT_EQ(str(table.LookupField(QStringLiteral("Id")).AsString()), "2") << "the changes are kept";
      EXPECT_EQ(str(table.LookupField(QStringLiteral("Relation")).AsString()), "antithesis");
    } else {
      EXPECT_EQ(table.State(), DataSetState::Browse);
      EXPECT_EQ(str(table.LookupField(QStringLiteral("Relation")).AsString()), "contrast");
    }
  }
  program.shutDown();
  EXPECT_EQ(storedRelations(), kAsMade);
}

} // namespace
} // namespace vandro::testing
