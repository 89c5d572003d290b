#include "Main.h"
#include "ModalAnswer.h"
#include "Program.h"
#include "TableFixture.h"
#include "shell/TApplication.h"

#include <QRegularExpression>

namespace vandro::testing {
namespace {

using StartUpTest = TableFixture;

TEST_F(StartUpTest, OpensOnTheFirstRecordOfTheAliasTable) {
  makeRelationTable(numberedRows(3));
  ModalAnswerer answerer;
  Program program;
  ASSERT_TRUE(program.startUp());
  EXPECT_TRUE(answerer.seen().empty());
  ASSERT_NE(MainForm, nullptr);
  store::TTable &table = *MainForm->Table1();
  EXPECT_EQ(table.State(), store::DataSetState::Browse);
  EXPECT_EQ(table.LookupField(QStringLiteral("id")).AsString(), QStringLiteral("1"));
  EXPECT_TRUE(table.AtStart());
  EXPECT_FALSE(table.AtEnd());
  EXPECT_EQ(MainForm->windowTitle(), QStringLiteral("Vandro with Markers"));
  program.shutDown();
  EXPECT_EQ(MainForm, nullptr);
}

TEST_F(StartUpTest, AMissingTableEndsStartUpInTheLastResortBox) {
  ModalAnswerer answerer{{ModalAnswerer::press(QStringLiteral("OK"))}};
  Program program;
  EXPECT_FALSE(program.startUp());
  ASSERT_EQ(answerer.seen().size(), 1u);
  EXPECT_EQ(answerer.seen()[0].title, QStringLiteral("Application Error"));
  const QRegularExpression text(
      QStringLiteral("^Exception EDBEngineError in module [^ ]+ at [0-9A-F]{8}\\.\nTable does not exist\n"
                     "File: .*/Vandro\\.DB\\.$"));
  EXPECT_TRUE(text.match(answerer.seen()[0].text).hasMatch()) << answerer.seen()[0].text.toStdString();
  EXPECT_EQ(MainForm, nullptr);
}

} // namespace
} // namespace vandro::testing
