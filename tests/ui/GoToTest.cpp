// "Go to" in the main window: the Id typed into the input dialog, the
// record it shows, what a text that is no number, a cancelled dialog and an
// Id nobody has do, and a pending edit on the way.
#include "Main.h"
#include "ModalAnswer.h"
#include "Program.h"
#include "TableFixture.h"
#include "controls/TEdit.h"
#include "store/TTable.h"
#include "WindowFixture.h"

#include <QApplication>
#include <QPushButton>
#include <QTest>

namespace vandro::testing {
namespace {

using store::DataSetState;

// Answers the "Go to" dialog with keys: `keys` typed over the selected
// default (a "\b" is Backspace), then Enter; or Escape when `cancel`.
ModalAnswerer::Answer answerWith(const char *keys, bool cancel = false) {
  return [keys, cancel](QWidget *dialog) {
    ASSERT_TRUE(QTest::qWaitForWindowActive(dialog));
    for (const char *k = keys; *k; ++k) {
      if (*k == '\b')
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backspace);
      else
        QTest::keyClick(QApplication::focusWidget(), *k);
    }
    QTest::keyClick(QApplication::focusWidget(), cancel ? Qt::Key_Escape : Qt::Key_Return);
  };
}

using GoToTest = WindowFixture;

TEST_F(GoToTest, TheTypedIdIsShownAndEverythingElseChangesNothingButAPendingEdit) {
  makeRelationTable(numberedRows(50));
  ASSERT_TRUE(startProgram());
  MainForm->show();
  const struct {
    const char *name;
    bool pending; // "sequence" typed into the Relation box first
    ModalAnswerer::Answer answer;
    const char *error;     // the error box's text, "" for none
    const char *id;        // the record shown afterwards
    const char *marker;    // Edit1 afterwards ("typed" stays unless refilled)
    DataSetState state;    // afterwards
    bool looksUp;          // so asks about the typed marker first, which is dropped
  } cases[] = {
      {"blanks before", false, answerWith("  42"), "", "42", "", DataSetState::Browse, true},
      {"a blank after", true, answerWith("42 "), "'42 ' is not a valid integer value.", "5", "typed", DataSetState::Edit, false},
      {"hexadecimal", false, answerWith("$1F"), "", "31", "", DataSetState::Browse, true},
      {"cancelled: the default 1", false, answerWith("42", true), "", "1", "", DataSetState::Browse, true},
      {"an Id nobody has", false, answerWith("999"), "", "5", "typed", DataSetState::Browse, true},
      {"an Id nobody has, pending edit", true, answerWith("999"), "", "5", "typed", DataSetState::Browse, true},
      {"emptied, pending edit", true, answerWith("\b"), "", "5", "typed", DataSetState::Edit, false},
      {"found, pending edit", true, answerWith("42"), "", "42", "", DataSetState::Browse, true},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    store::TTable &table = *MainForm->Table1();
    table.Cancel();
    {
      ModalAnswerer dropping({ModalAnswerer::press(QStringLiteral("Drop"))});
      ASSERT_TRUE(table.FindByKey(5));
    }
    showActive();
    const std::string storedBefore = stored(5, "Relation");
    if (c.pending) {
      MainForm->findChild<QWidget *>(QStringLiteral("DBEdit2"))->setFocus(Qt::TabFocusReason);
      QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("sequence"));
      ASSERT_EQ(table.State(), DataSetState::Edit);
    }
    MainForm->Edit1->setFocus(Qt::TabFocusReason);
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("typed"));

    std::vector<ModalAnswerer::Answer> answers{c.answer};
    if (c.looksUp)
      answers.push_back(ModalAnswerer::press(QStringLiteral("Drop")));
    if (*c.error)
      answers.push_back(ModalAnswerer::press(QStringLiteral("OK")));
    ModalAnswerer answerer(answers);
    QTest::mouseClick(MainForm->Button3, Qt::LeftButton);
    ASSERT_EQ(answerer.seen().size(), answers.size());
    EXPECT_EQ(str(answerer.seen()[0].title), "Go to");
    if (*c.error) {
      EXPECT_EQ(str(answerer.seen().back().text), c.error);
    }
    EXPECT_EQ(str(table.LookupField(QStringLiteral("Id")).AsString()), c.id);
    EXPECT_EQ(str(MainForm->Edit1->text()), c.marker);
    EXPECT_EQ(table.State(), c.state);
    const bool stores = c.pending && c.state == DataSetState::Browse;
    EXPECT_EQ(stored(5, "Relation"), stores ? "sequence" : storedBefore);
  }
}

} // namespace
} // namespace vandro::testing
