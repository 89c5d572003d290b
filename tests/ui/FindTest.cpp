// The records by keyboard: the main window's keys from every kind of box,
// and the Find dialog driven with keys alone.
#include "FindDialog.h"
#include "Main.h"
#include "ModalAnswer.h"
#include "Program.h"
#include "TableFixture.h"
#include "TestText.h"
#include "WindowFixture.h"
#include "controls/TEdit.h"
#include "store/TTable.h"

#include <QApplication>
#include <QLabel>
#include <QTest>

namespace vandro::testing {
namespace {

const std::vector<RelationRow> kRows = {
    {1, "contrast", 1, 2, "But", "Beginning", {}, {}, {}, {}},
    {2, "joint", 1, 2, {}, {}, {}, {}, "Die Stra\xC3\x9F" "e", {}},
    {3, "contrast", 1, 2, {}, {}, {}, {}, {}, {}},
    {4, "contrast", 1, 2, {}, {}, "however", "Middle", {}, {}},
    {5, "list", 1, 2, {}, {}, {}, {}, {}, {}},
    {6, "contrast", 1, 2, {}, {}, {}, {}, {}, {}},
};

class FindTest : public TableFixture {
protected:
  void SetUp() override {
    TableFixture::SetUp();
    makeRelationTable(kRows);
    ASSERT_TRUE(m_program.startUp());
    activate(*MainForm);
  }
  void TearDown() override {
    m_program.shutDown();
    TableFixture::TearDown();
  }
  static int id() { return MainForm->Table1()->LookupField(QStringLiteral("Id")).AsString().toInt(); }
  // A key as the keyboard sends it: to the widget that has the focus.
  static void press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QWidget *focused = QApplication::focusWidget();
    ASSERT_TRUE(focused) << "no box has the focus";
    QTest::keyClick(focused, static_cast<Qt::Key>(key), modifiers);
  }
  Program m_program;
};

TEST_F(FindTest, TheWindowsKeysMoveAndRunCommandsFromEveryKindOfBox) {
  const struct {
    int key;
    Qt::KeyboardModifiers modifiers;
    int id; // where the table then stands
  } moves[] = {
      {Qt::Key_PageDown, Qt::ControlModifier, 2}, {Qt::Key_PageDown, Qt::ControlModifier, 3},
      {Qt::Key_PageUp, Qt::ControlModifier, 2},   {Qt::Key_End, Qt::AltModifier, 6},
      {Qt::Key_Home, Qt::AltModifier, 1},
  };
  for (const char *name : {"Edit1", "ComboBox2", "DBEdit3", "DBMemo1", "Button2", "RadioButton1", "ComboBox1"}) {
    SCOPED_TRACE(name);
    QWidget *box = MainForm->findChild<QWidget *>(QString::fromLatin1(name));
    ASSERT_TRUE(box);
    box->setFocus(Qt::TabFocusReason);
    QWidget *focused = QApplication::focusWidget();
    for (const auto &move : moves) {
      press(move.key, move.modifiers);
      EXPECT_EQ(id(), move.id);
    }
    EXPECT_EQ(QApplication::focusWidget(), focused); // the keys never take the focus away
  }
  // The keys a line edit uses for its text stay its own.
  MainForm->Edit1->setFocus(Qt::TabFocusReason);
  QTest::keyClicks(MainForm->Edit1, QStringLiteral("and"));
  press(Qt::Key_Home);
  press(Qt::Key_End, Qt::ShiftModifier);
  EXPECT_EQ(MainForm->Edit1->selectedText(), QStringLiteral("and"));
  EXPECT_EQ(id(), 1);

  // Ctrl+I is Insert: the typed marker stored, the distance with it.
  press(Qt::Key_I, Qt::ControlModifier);
  EXPECT_EQ(stored(1, "Marker1"), "and");
  // Ctrl+G asks for an Id and goes there.
  {
    ModalAnswerer answerer({[](QWidget *dialog) {
      QTest::keyClicks(dialog->focusWidget(), QStringLiteral("5"));
      QTest::keyClick(dialog->focusWidget(), Qt::Key_Return);
    }});
    press(Qt::Key_G, Qt::ControlModifier);
    ASSERT_EQ(answerer.seen().size(), 1u);
    EXPECT_EQ(answerer.seen()[0].title, QStringLiteral("Go to"));
  }
  EXPECT_EQ(id(), 5);
  activate(*MainForm); // the window the dialog returned to
  // F3 before any find opens the Find dialog, as Ctrl+F does.
  press(Qt::Key_F3);
  ASSERT_TRUE(MainForm->findDialog()->isVisible());
  EXPECT_EQ(id(), 5);
}

TEST_F(FindTest, TheFindDialogByKeysAloneWalksTheRecordsStillToDo) {
  press(Qt::Key_F, Qt::ControlModifier);
  FindDialog *dialog = MainForm->findDialog();
  ASSERT_TRUE(dialog->isVisible());
  activate(*dialog);
  auto count = [dialog] { return dialog->findChild<QLabel *>(QStringLiteral("Count"))->text(); };
  EXPECT_EQ(count(), QStringLiteral("6 of 6"));
  // Relation "contrast", Tab past Document, Marker and Text, Look in, then
  // "Both spans" without a marker: the contrasts with no marker at all.
  QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("contrast"));
  QTRY_COMPARE(count(), QStringLiteral("4 of 6")); // counted once the typing pauses
  for (int i = 0; i < 5; ++i)
    press(Qt::Key_Tab);
  ASSERT_EQ(QApplication::focusWidget()->objectName(), QStringLiteral("WithoutMarker"));
  for (int i = 0; i < 4; ++i)
    press(Qt::Key_Down);
  QTRY_COMPARE(count(), QStringLiteral("2 of 6"));
  press(Qt::Key_Return); // Find next
  EXPECT_EQ(id(), 3);
  press(Qt::Key_F3);
  EXPECT_EQ(id(), 6);
  {
    ModalAnswerer answerer;
    press(Qt::Key_F3);
    ASSERT_EQ(answerer.seen().size(), 1u);
    EXPECT_EQ(answerer.seen()[0].text, QStringLiteral("End of database!"));
  }
  EXPECT_EQ(id(), 6); // a miss stays where it stands
  activate(*dialog); // the window the notice returned to
  press(Qt::Key_Escape);
  EXPECT_FALSE(dialog->isVisible());

  // From the main window: Shift+F3 back, F3 on.
  activate(*MainForm);
  MainForm->Edit1->setFocus(Qt::TabFocusReason);
  press(Qt::Key_F3, Qt::ShiftModifier);
  EXPECT_EQ(id(), 3);
  press(Qt::Key_F3);
  EXPECT_EQ(id(), 6);

  // Alt+T to the span text, letter case aside: "STRASSE" finds "Straße".
  press(Qt::Key_F, Qt::ControlModifier);
  activate(*dialog);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_A, Qt::ControlModifier);
  press(Qt::Key_Delete); // no relation
  press(Qt::Key_W, Qt::AltModifier);
  press(Qt::Key_Home); // no condition on markers
  press(Qt::Key_T, Qt::AltModifier);
  QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("STRASSE"));
  press(Qt::Key_P, Qt::AltModifier); // Find previous, clicked as a mnemonic clicks: shown pressed first
  QTRY_COMPARE(id(), 2);
  QTRY_COMPARE(count(), QStringLiteral("1 of 6"));
}

} // namespace
} // namespace vandro::testing
