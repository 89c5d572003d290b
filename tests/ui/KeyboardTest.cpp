// The main window's keyboard: the keyboard order, the radio group's tab
// stop, arrow keys in buttons, typing completion and Backspace in the combo
// boxes, Enter and Space on buttons, coming back to the window, the wheel.
#include "LayoutFixture.h"

namespace vandro::testing {
namespace {

const std::vector<const char *> kTabCycle = {
    "Edit1",   "ComboBox2", "Edit2",   "ComboBox3", "Button2",      "DBEdit1",   "DBEdit2", "DBEdit3",
    "DBEdit5", "DBEdit4",   "DBEdit6", "DBEdit7",   "DBEdit8",      "DBMemo1",   "DBEdit9", "DBEdit10",
    "DBMemo2", "RadioButton1", "ComboBox1", "Button1", "DBEdit11", "DBEdit12", "Button3"};

TEST_F(LayoutTest, TabAndShiftTabGoRoundTheKeyboardOrder) {
  showActive();
  ASSERT_TRUE(focusIn("Edit1")) << nameOf(QApplication::focusWidget());
  const auto count = kTabCycle.size();
  for (std::size_t i = 1; i <= count; ++i) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_TRUE(focusIn(kTabCycle[i % count]))
        << "Tab " << i << ": expected " << kTabCycle[i % count] << ", got " << nameOf(QApplication::focusWidget());
  }
  for (std::size_t i = 1; i <= count; ++i) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, Qt::ShiftModifier);
    const char *expected = kTabCycle[(count - i) % count];
    EXPECT_TRUE(focusIn(expected)) << "Shift+Tab " << i << ": expected " << expected << ", got "
                                   << nameOf(QApplication::focusWidget());
  }
}

TEST_F(LayoutTest, TheCheckedRadioButtonIsTheGroupsTabStop) {
  showActive();
  QTest::mouseClick(MainForm->RadioButton2, Qt::LeftButton);
  ASSERT_TRUE(MainForm->RadioButton2->isChecked());
  EXPECT_FALSE(MainForm->RadioButton1->isChecked());

  struct Step {
    const char *from;
    Qt::KeyboardModifiers modifiers;
    const char *to;
  };
  const Step steps[] = {
      {"DBMemo2", Qt::NoModifier, "RadioButton2"},
      {"RadioButton2", Qt::NoModifier, "ComboBox1"},
      {"ComboBox1", Qt::ShiftModifier, "RadioButton2"},
      {"RadioButton2", Qt::ShiftModifier, "DBMemo2"},
  };
  for (const Step &step : steps) {
    control(step.from)->setFocus(Qt::OtherFocusReason);
    ASSERT_TRUE(focusIn(step.from)) << step.from;
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, step.modifiers);
    EXPECT_TRUE(focusIn(step.to)) << (step.modifiers ? "Shift+Tab from " : "Tab from ") << step.from
                                  << ": expected " << step.to << ", got " << nameOf(QApplication::focusWidget());
  }
}

TEST_F(LayoutTest, ArrowKeysInButtonsMoveAmongTheControlsOfTheSameParent) {
  showActive();
  struct Step {
    const char *from;
    Qt::Key key;
    const char *to;
  };
  // RadioButton1 is checked: RadioButton2 is no tab stop, yet Up reaches it.
  const Step steps[] = {
      {"Button2", Qt::Key_Right, "DBEdit1"},     {"Button2", Qt::Key_Down, "DBEdit1"},
      {"Button2", Qt::Key_Left, "ComboBox3"},    {"Button2", Qt::Key_Up, "ComboBox3"},
      {"Button3", Qt::Key_Left, "DBEdit12"},     {"Button1", Qt::Key_Up, "ComboBox1"},
      {"RadioButton1", Qt::Key_Up, "RadioButton2"}, {"RadioButton2", Qt::Key_Down, "RadioButton1"},
      {"RadioButton1", Qt::Key_Right, "ComboBox1"},
  };
  for (const Step &step : steps) {
    control(step.from)->setFocus(Qt::OtherFocusReason);
    ASSERT_TRUE(focusIn(step.from)) << step.from;
    QTest::keyClick(QApplication::focusWidget(), step.key);
    EXPECT_TRUE(focusIn(step.to)) << str(QKeySequence(step.key).toString()) << " in " << step.from << ": expected " << step.to
                                  << ", got " << nameOf(QApplication::focusWidget());
  }

  // After RadioButton2 is checked, Up from RadioButton1 still reaches it.
  MainForm->RadioButton2->setChecked(true);
  MainForm->RadioButton1->setFocus(Qt::OtherFocusReason);
  QTest::keyClick(MainForm->RadioButton1, Qt::Key_Up);
  EXPECT_TRUE(focusIn("RadioButton2")) << nameOf(QApplication::focusWidget());
}

TEST_F(LayoutTest, TypingCompletesFromTheListKeepingTheTypedLetters) {
  showActive();
  struct Case {
    const char *combo;
    const char *typed;
    const char *text;
    const char *selected;
    std::optional<int> index; // the list selection, where it matters
  };
  const Case cases[] = {
      {"ComboBox1", "b", "background", "ackground", 2},
      {"ComboBox1", "x", "x", "", -1},
      {"ComboBox1", "con", "concession", "cession", 5},
      {"ComboBox1", "cond", "condition", "ition", 7},
      {"ComboBox1", "SUM", "SUMmary", "mary", 24},
      {"ComboBox1", "same_", "same_unit", "unit", 28},
      {"ComboBox2", "M", "Middle", "iddle", 1},
      {"ComboBox2", "Mu", "Multiple", "ltiple", 3},
      {"ComboBox2", "e", "end", "nd", 2},
      {"ComboBox3", "b", "beginning", "eginning", 0},
      {"ComboBox3", "Ex", "Ex", "", std::nullopt}, // "x" replaces the completed "nd"
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(std::string(c.combo) + " typed " + c.typed);
    auto *combo = typeInto<controls::TComboBox>(c.combo, c.typed);
    EXPECT_EQ(str(combo->lineEdit()->text()), c.text);
    EXPECT_EQ(str(combo->lineEdit()->selectedText()), c.selected);
    if (c.index) {
      EXPECT_EQ(combo->currentIndex(), *c.index);
    }
  }
}

TEST_F(LayoutTest, BackspaceDeletesTheSelectionOrTheCharacterBeforeTheCaret) {
  showActive();
  struct Case {
    const char *combo;
    const char *typed;
    int leftKeys; // caret moves before the Backspace
    const char *text;
    int caret;
  };
  const Case cases[] = {
      {"ComboBox1", "b", 0, "b", 1},        // "ackground" selected
      {"ComboBox2", "Mu", 0, "Mu", 2},      // "ltiple" selected
      {"ComboBox1", "xyz", 0, "xy", 2},     // no selection, at the end
      {"ComboBox1", "xyz", 1, "xz", 1},     // no selection, in the middle
      {"ComboBox3", "qr", 2, "qr", 0},      // at the start: nothing to delete
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(std::string(c.combo) + " typed " + c.typed);
    auto *combo = typeInto<controls::TComboBox>(c.combo, c.typed);
    for (int i = 0; i < c.leftKeys; ++i)
      press(Qt::Key_Left);
    press(Qt::Key_Backspace);
    EXPECT_EQ(str(combo->lineEdit()->text()), c.text);
    EXPECT_EQ(combo->lineEdit()->cursorPosition(), c.caret);
    EXPECT_FALSE(combo->lineEdit()->hasSelectedText());
    EXPECT_EQ(combo->currentIndex(), -1);
  }
}

TEST_F(LayoutTest, EnterPressesOnlyAFocusedButtonAndSpaceClicksIt) {
  showActive();
  QList<QPushButton *> buttons = MainForm->findChildren<QPushButton *>();
  buttons.removeIf([](QPushButton *button) { return button->window() != MainForm; }); // the context view's
  ASSERT_EQ(buttons.size(), 3);
  std::vector<std::unique_ptr<QSignalSpy>> spies;
  for (QPushButton *button : buttons)
    spies.push_back(std::make_unique<QSignalSpy>(button, &QPushButton::clicked));
  auto clicks = [&] {
    std::map<std::string, qsizetype> counts;
    for (std::size_t i = 0; i < spies.size(); ++i)
      if (spies[i]->count() != 0)
        counts[nameOf(buttons[static_cast<qsizetype>(i)])] = spies[i]->count();
    return counts;
  };
  using Counts = std::map<std::string, qsizetype>;

  for (const char *box : {"Edit1", "Edit2", "DBEdit2", "ComboBox1", "ComboBox2"}) {
    SCOPED_TRACE(box);
    control(box)->setFocus(Qt::OtherFocusReason);
    press(Qt::Key_Return);
    press(Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(clicks(), Counts{});
  }

  struct Press {
    const char *button;
    Qt::Key key;
  };
  const Press presses[] = {{"Button1", Qt::Key_Return}, {"Button3", Qt::Key_Enter}, {"Button2", Qt::Key_Space}};
  ModalAnswerer answerer; // "Go to" asks for an Id: cancelled
  for (const Press &press : presses) {
    SCOPED_TRACE(press.button);
    ASSERT_TRUE(QTest::qWaitForWindowActive(MainForm));
    for (auto &spy : spies)
      spy->clear();
    QWidget *button = control(press.button);
    button->setFocus(Qt::OtherFocusReason);
    ASSERT_TRUE(focusIn(press.button));
    QTest::keyClick(button, press.key);
    EXPECT_EQ(clicks(), (Counts{{press.button, 1}}));
  }
}

// What the user typed survives the window losing the focus for a while:
// another window, an error box, a context menu. Only Tab (or the program)
// selects the whole text on arrival.
// What the user typed survives the window losing the focus for a while:
// another window, an error box, a context menu. Only Tab (or the program)
// selects the whole text on arrival.
TEST_F(LayoutTest, ComingBackToTheWindowKeepsTheCaretAndSelection) {
  showActive();
  QWidget elsewhere;
  elsewhere.setWindowTitle(QStringLiteral("Elsewhere"));
  const std::vector<std::pair<const char *, std::function<void()>>> interruptions = {
      {"another window",
       [&] {
         elsewhere.show();
         elsewhere.activateWindow();
         ASSERT_TRUE(QTest::qWaitForWindowActive(&elsewhere));
         auto *box = qobject_cast<QLineEdit *>(MainForm->focusWidget());
         ASSERT_NE(box, nullptr);
         EXPECT_FALSE(box->hasSelectedText()) << "no selection shown in an inactive window";
         MainForm->activateWindow();
         ASSERT_TRUE(QTest::qWaitForWindowActive(MainForm));
       }},
      {"an error box",
       [&] {
         ModalAnswerer answerer({ModalAnswerer::press(QStringLiteral("OK"))});
         Application->ReportError(std::make_exception_ptr(Exception(QStringLiteral("Something failed"))));
         ASSERT_EQ(answerer.seen().size(), 1u);
         ASSERT_TRUE(QTest::qWaitForWindowActive(MainForm));
       }},
      {"a context menu",
       [&] {
         bool opened = false;
         QTimer::singleShot(50, [&opened] {
           if (QWidget *menu = QApplication::activePopupWidget()) {
             opened = true;
             QTest::keyClick(menu, Qt::Key_Escape);
           }
         });
         // What the Menu key or a right click asks of the focused box.
         QWidget *focused = QApplication::focusWidget();
         const QPoint centre = focused->rect().center();
         QContextMenuEvent request(QContextMenuEvent::Keyboard, centre, focused->mapToGlobal(centre));
         QApplication::sendEvent(focused, &request);
         QTest::qWait(80);
         ASSERT_TRUE(opened);
       }},
  };
  for (const char *box : {"Edit1", "DBEdit2"}) {
    for (const auto &[what, interrupt] : interruptions) {
      SCOPED_TRACE(std::string(box) + " after " + what);
      auto *edit = control<QLineEdit>(box);
      MainForm->Button3->setFocus(Qt::OtherFocusReason);
      control(box)->setFocus(Qt::TabFocusReason);
      EXPECT_EQ(edit->selectedText(), edit->text()) << "Tab selects all";
      type(QStringLiteral("background"));
      press(Qt::Key_Home);
      for (int i = 0; i < 4; ++i)
        press(Qt::Key_Right);
      type(QStringLiteral("X"));
      press(Qt::Key_Right, Qt::ShiftModifier); // "g" selected
      interrupt();
      ASSERT_TRUE(focusIn(box)) << nameOf(QApplication::focusWidget());
      EXPECT_EQ(str(edit->selectedText()), "g");
      type(QStringLiteral("Q"));
      EXPECT_EQ(str(edit->text()), "backXQround");
    }
  }
  MainForm->Table1()->Cancel();
}

// A box given a text longer than it is wide shows the text's start.
// A combo box's text changes by the wheel only while the box has the focus
// (the wheel turned over the window scrolls nothing away), and by the arrow
// keys in its open list at once.
TEST_F(LayoutTest, TheWheelAndTheListKeysChangeAComboOnlyWhenAsked) {
  showActive();
  auto *position = control<controls::TComboBox>("ComboBox3");
  position->setText(QStringLiteral("End"));
  MainForm->Edit1->setFocus(Qt::OtherFocusReason);
  const QPointF centre = position->rect().center();
  QWheelEvent wheel(centre, position->mapToGlobal(centre), {}, {0, -120}, Qt::NoButton, Qt::NoModifier,
                    Qt::NoScrollPhase, false);
  QApplication::sendEvent(position, &wheel);
  EXPECT_EQ(str(position->currentText()), "End");
  EXPECT_TRUE(focusIn("Edit1")) << "the wheel takes no focus";

  auto *relation = control<controls::TComboBox>("ComboBox1");
  relation->setCurrentIndex(2);
  relation->setFocus(Qt::TabFocusReason);
  relation->showPopup();
  ASSERT_TRUE(relation->view()->isVisible());
  for (const char *expected : {"circumstance", "comparison"}) {
    press(Qt::Key_Down);
    EXPECT_EQ(str(relation->lineEdit()->text()), expected) << "while the list is open";
  }
  press(Qt::Key_Escape);
  EXPECT_FALSE(relation->view()->isVisible());
}

} // namespace
} // namespace vandro::testing
