// The main window as the user meets it: every control's place and kind,
// the keyboard order, arrow keys, typing completion in the combo boxes,
// Enter and Space on buttons, the fixed size.
#include "Main.h"
#include "ModalAnswer.h"
#include "Program.h"
#include "TableFixture.h"
#include "controls/TBevel.h"
#include "controls/TComboBox.h"
#include "controls/TDBEdit.h"
#include "controls/TDBMemo.h"
#include "controls/TDBNavigator.h"
#include "controls/TEdit.h"
#include "shell/TApplication.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QContextMenuEvent>
#include <QGroupBox>
#include <QImage>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSet>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QWheelEvent>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <ostream>
#include <vector>

void PrintTo(const QRect &r, std::ostream *out) {
  *out << r.left() << "," << r.top() << " " << r.width() << "x" << r.height();
}
void PrintTo(const QSize &s, std::ostream *out) { *out << s.width() << "x" << s.height(); }

namespace vandro::testing {
namespace {

std::string str(const QString &text) { return text.toStdString(); }

std::string nameOf(const QWidget *widget) { return widget ? str(widget->objectName()) : "(none)"; }

const QStringList kPositions = {"Beginning", "Middle", "End", "Multiple"};
const QStringList kRelations = {
    "antithesis",  "attribution",   "background",   "circumstance", "comparison",  "concession",
    "conclusion",  "condition",     "elaboration",  "enablement",   "explanation", "evaluation",
    "evidence",    "interpretation", "justify",     "means",        "motivation",  "cause",
    "result",      "otherwise",     "parenthetical", "purpose",     "restatement", "solutionhood",
    "summary",     "contrast",      "joint",        "list",         "same_unit",   "sequence"};

class LayoutTest : public TableFixture {
protected:
  void SetUp() override {
    TableFixture::SetUp();
    makeRelationTable(numberedRows(3));
    ASSERT_TRUE(m_program.startUp());
    ASSERT_NE(MainForm, nullptr);
  }
  void TearDown() override {
    m_program.shutDown();
    TableFixture::TearDown();
  }

  // Shows the window and makes it the active one, as the keyboard needs.
  void showActive() {
    MainForm->show();
    QApplication::setActiveWindow(MainForm);
    ASSERT_TRUE(QTest::qWaitForWindowActive(MainForm));
  }

  template <class T = QWidget> static T *control(const char *name) {
    return MainForm->findChild<T *>(QString::fromLatin1(name));
  }

  // Whether the focus is in the control: on it, or on its own line edit.
  static bool focusIn(const char *name) {
    QWidget *focus = QApplication::focusWidget();
    QWidget *target = control(name);
    return focus && target && (focus == target || target->isAncestorOf(focus) || focus->focusProxy() == target);
  }

  // Keys as the keyboard sends them: to whichever widget has the focus.
  static void type(const QString &text) {
    for (const QChar c : text)
      QTest::keyClick(QApplication::focusWidget(), c.toLatin1());
  }
  static void press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QTest::keyClick(QApplication::focusWidget(), key, modifiers);
  }

  Program m_program;
};

enum class Kind { Edit, Combo, Push, Radio, Group, Bound, Memo, Navigator, Label, Bevel };
enum Flag { None = 0, ReadOnly = 1, Shaded = 2, Checked = 4, Unchecked = 8 };

struct Place {
  const char *name;
  Kind kind;
  bool inGroup;
  int left, top, width, height; // a label's width: -1, its caption's width
  const char *content;          // caption or field name
  int flags = None;
  const QStringList *items = nullptr;
};

// In keyboard order; the labels and bevels at the end.
const std::vector<Place> kPlaces = {
    {"Edit1", Kind::Edit, false, 24, 488, 201, 21, ""},
    {"ComboBox2", Kind::Combo, false, 232, 488, 81, 21, "", None, &kPositions},
    {"Edit2", Kind::Edit, false, 344, 488, 201, 21, ""},
    {"ComboBox3", Kind::Combo, false, 552, 488, 81, 21, "", None, &kPositions},
    {"Button2", Kind::Push, false, 300, 535, 57, 27, "Insert"},
    {"DBEdit1", Kind::Bound, false, 69, 16, 52, 21, "Id", ReadOnly | Shaded},
    {"DBEdit2", Kind::Bound, false, 69, 80, 76, 21, "Relation"},
    {"DBEdit3", Kind::Bound, false, 229, 80, 76, 21, "Extended"},
    {"DBEdit5", Kind::Bound, false, 69, 112, 76, 21, "Volitional"},
    {"DBEdit4", Kind::Bound, false, 229, 112, 76, 21, "Embedded"},
    {"DBEdit6", Kind::Bound, false, 69, 144, 76, 21, "Order"},
    {"DBEdit7", Kind::Bound, false, 224, 184, 33, 21, "L1", ReadOnly},
    {"DBEdit8", Kind::Bound, false, 288, 184, 33, 21, "H1", ReadOnly},
    {"DBMemo1", Kind::Memo, false, 16, 208, 305, 209, "Span1", ReadOnly},
    {"DBEdit9", Kind::Bound, false, 544, 184, 33, 21, "L2", ReadOnly},
    {"DBEdit10", Kind::Bound, false, 608, 184, 33, 21, "H2", ReadOnly},
    {"DBMemo2", Kind::Memo, false, 336, 208, 305, 209, "Span2"},
    {"DBNavigator1", Kind::Navigator, false, 216, 424, 224, 25, ""},
    {"GroupBox1", Kind::Group, false, 400, 16, 241, 113, " Search database "},
    {"DBEdit11", Kind::Bound, false, 568, 541, 73, 21, "Segments_distance", ReadOnly | Shaded},
    {"DBNavigator2", Kind::Navigator, false, 193, 14, 112, 25, ""},
    {"DBEdit12", Kind::Bound, false, 69, 48, 236, 21, "From", ReadOnly | Shaded},
    {"Button3", Kind::Push, false, 128, 14, 41, 25, "Go to"},
    {"RadioButton2", Kind::Radio, true, 16, 24, 113, 17, "Backward", Unchecked},
    {"RadioButton1", Kind::Radio, true, 16, 48, 113, 17, "Forward", Checked},
    {"ComboBox1", Kind::Combo, true, 64, 82, 97, 21, "", None, &kRelations},
    {"Button1", Kind::Push, true, 168, 80, 57, 25, "Search"},
    {"Label13", Kind::Label, true, 16, 88, -1, 13, "Relation"},
    {"Label14", Kind::Label, false, 16, 24, -1, 13, "Id"},
    {"Label19", Kind::Label, false, 16, 56, -1, 13, "From"},
    {"Label2", Kind::Label, false, 16, 88, -1, 13, "Relation"},
    {"Label3", Kind::Label, false, 168, 88, -1, 13, "Extended"},
    {"Label5", Kind::Label, false, 16, 120, -1, 13, "Volitional"},
    {"Label4", Kind::Label, false, 168, 120, -1, 13, "Embedded"},
    {"Label6", Kind::Label, false, 16, 152, -1, 13, "Order"},
    {"Label11", Kind::Label, false, 16, 192, -1, 13, "Span1"},
    {"Label7", Kind::Label, false, 208, 192, -1, 13, "L1"},
    {"Label8", Kind::Label, false, 272, 192, -1, 13, "H1"},
    {"Label12", Kind::Label, false, 336, 192, -1, 13, "Span2"},
    {"Label9", Kind::Label, false, 528, 192, -1, 13, "L2"},
    {"Label10", Kind::Label, false, 592, 192, -1, 13, "H2"},
    {"Label1", Kind::Label, false, 24, 472, -1, 13, "Span1 Marker"},
    {"Label15", Kind::Label, false, 232, 472, -1, 13, "Position"},
    {"Label16", Kind::Label, false, 344, 472, -1, 13, "Span2 Marker"},
    {"Label18", Kind::Label, false, 552, 472, -1, 13, "Position"},
    {"Label17", Kind::Label, false, 471, 549, -1, 13, "Segments distance"},
    {"Bevel1", Kind::Bevel, false, 16, 464, 305, 57, ""},
    {"Bevel2", Kind::Bevel, false, 336, 464, 305, 57, ""},
};

// The box each label beside a box stands left of.
const std::map<std::string, const char *> kLabelBeside = {
    {"Label14", "DBEdit1"}, {"Label19", "DBEdit12"}, {"Label2", "DBEdit2"},   {"Label3", "DBEdit3"},
    {"Label5", "DBEdit5"},  {"Label4", "DBEdit4"},   {"Label6", "DBEdit6"},   {"Label7", "DBEdit7"},
    {"Label8", "DBEdit8"},  {"Label9", "DBEdit9"},   {"Label10", "DBEdit10"}, {"Label17", "DBEdit11"},
    {"Label13", "ComboBox1"}};

TEST_F(LayoutTest, EveryControlHasItsKindPlaceAndContent) {
  const QColor plainBase = control("DBEdit2")->palette().color(QPalette::Base);
  QSet<QString> seen;
  for (const Place &place : kPlaces) {
    SCOPED_TRACE(place.name);
    QWidget *widget = control(place.name);
    ASSERT_NE(widget, nullptr);
    seen.insert(widget->objectName());
    EXPECT_EQ(widget->parentWidget(), place.inGroup ? static_cast<QWidget *>(MainForm->GroupBox1) : MainForm);
    const int width = place.width >= 0 ? place.width
                                       : MainForm->fontMetrics().horizontalAdvance(QString::fromLatin1(place.content));
    const auto beside = kLabelBeside.find(place.name);
    if (beside == kLabelBeside.end()) {
      EXPECT_EQ(widget->geometry(), QRect(place.left, place.top, width, place.height));
    } else {
      // A label left of a box ends clear of it, whatever font was found; one
      // that fits stays at its place, one that does not moves left.
      const QWidget *box = control(beside->second);
      const int room = box->x() - (widget->geometry().right() + 1);
      EXPECT_GE(room, 4) << "next to " << beside->second;
      EXPECT_EQ(widget->geometry().size(), QSize(width, place.height));
      EXPECT_EQ(widget->y(), place.top);
      if (place.left + width + 4 <= box->x()) {
        EXPECT_EQ(widget->x(), place.left);
      } else {
        EXPECT_LT(widget->x(), place.left);
        EXPECT_LE(room, 6) << "moved further than needed";
      }
    }
    const QString content = QString::fromLatin1(place.content);
    switch (place.kind) {
    case Kind::Edit:
      EXPECT_NE(qobject_cast<controls::TEdit *>(widget), nullptr);
      EXPECT_TRUE(qobject_cast<QLineEdit *>(widget)->text().isEmpty());
      break;
    case Kind::Combo: {
      auto *combo = qobject_cast<controls::TComboBox *>(widget);
      ASSERT_NE(combo, nullptr);
      QStringList items;
      for (int i = 0; i < combo->count(); ++i)
        items << combo->itemText(i);
      EXPECT_EQ(items, *place.items);
      EXPECT_TRUE(combo->isEditable());
      EXPECT_EQ(combo->currentIndex(), -1);
      EXPECT_EQ(combo->currentText(), QString());
      EXPECT_EQ(combo->maxVisibleItems(), 8);
      break;
    }
    case Kind::Push: {
      auto *button = qobject_cast<QPushButton *>(widget);
      ASSERT_NE(button, nullptr);
      EXPECT_EQ(button->text(), content);
      break;
    }
    case Kind::Radio: {
      auto *radio = qobject_cast<QRadioButton *>(widget);
      ASSERT_NE(radio, nullptr);
      EXPECT_EQ(radio->text(), content);
      EXPECT_EQ(radio->isChecked(), (place.flags & Checked) != 0);
      break;
    }
    case Kind::Group: {
      auto *group = qobject_cast<QGroupBox *>(widget);
      ASSERT_NE(group, nullptr);
      EXPECT_EQ(group->title(), content);
      EXPECT_EQ(widget, MainForm->GroupBox1);
      break;
    }
    case Kind::Bound: {
      auto *edit = qobject_cast<controls::TDBEdit *>(widget);
      ASSERT_NE(edit, nullptr);
      EXPECT_EQ(edit->link().fieldName(), content);
      EXPECT_EQ(edit->link().readOnly(), (place.flags & ReadOnly) != 0);
      const bool shaded = edit->palette().color(QPalette::Base) != plainBase;
      EXPECT_EQ(shaded, (place.flags & Shaded) != 0);
      break;
    }
    case Kind::Memo: {
      auto *memo = qobject_cast<controls::TDBMemo *>(widget);
      ASSERT_NE(memo, nullptr);
      EXPECT_EQ(memo->link().fieldName(), content);
      if (place.flags & ReadOnly) {
        EXPECT_TRUE(memo->link().readOnly());
      }
      EXPECT_EQ(memo->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
      break;
    }
    case Kind::Navigator: EXPECT_NE(qobject_cast<controls::TDBNavigator *>(widget), nullptr); break;
    case Kind::Label: {
      auto *label = qobject_cast<QLabel *>(widget);
      ASSERT_NE(label, nullptr);
      EXPECT_EQ(label->text(), content);
      break;
    }
    case Kind::Bevel: EXPECT_NE(qobject_cast<controls::TBevel *>(widget), nullptr); break;
    }
  }
  // No control beyond these (the combo boxes' and memos' own parts aside).
  for (QWidget *child : MainForm->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly))
    EXPECT_TRUE(seen.contains(child->objectName())) << nameOf(child);

  // The bevels lie beneath the boxes they frame.
  const QObjectList &order = MainForm->children();
  for (const auto &[bevel, boxes] : {std::pair{"Bevel1", std::pair{"Edit1", "ComboBox2"}},
                                     std::pair{"Bevel2", std::pair{"Edit2", "ComboBox3"}}}) {
    SCOPED_TRACE(bevel);
    EXPECT_LT(order.indexOf(control(bevel)), order.indexOf(control(boxes.first)));
    EXPECT_LT(order.indexOf(control(bevel)), order.indexOf(control(boxes.second)));
  }

  EXPECT_EQ(MainForm->windowTitle(), QStringLiteral("Vandro with Markers"));
  EXPECT_EQ(MainForm->size(), QSize(656, 571));
  EXPECT_EQ(MainForm->minimumSize(), QSize(656, 571));
  EXPECT_EQ(MainForm->maximumSize(), QSize(656, 571));
  const Qt::WindowFlags flags = MainForm->windowFlags();
  EXPECT_TRUE(flags.testFlag(Qt::CustomizeWindowHint)); // else the default buttons, maximize among them
  EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
}

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
    auto *combo = control<controls::TComboBox>(c.combo);
    combo->setCurrentIndex(-1);
    combo->lineEdit()->clear();
    combo->setFocus(Qt::OtherFocusReason);
    type(QString::fromLatin1(c.typed));
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
    auto *combo = control<controls::TComboBox>(c.combo);
    combo->setCurrentIndex(-1);
    combo->lineEdit()->clear();
    combo->setFocus(Qt::OtherFocusReason);
    type(QString::fromLatin1(c.typed));
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
  const QList<QPushButton *> buttons = MainForm->findChildren<QPushButton *>();
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
TEST_F(LayoutTest, ATextSetByTheProgramShowsItsStart) {
  makeRelationTable({{1, "parenthetical", 1, 2, {}, {}, {}, {}, {}, {}},
                     {2, "circumstance", 1, 2, {}, {}, {}, {}, {}, {}}},
                    "Long.DB");
  showActive();
  MainForm->Table1()->Close();
  MainForm->Table1()->TableName = QStringLiteral("Long.DB");
  MainForm->Table1()->Open();
  auto *relation = control<QLineEdit>("DBEdit2");
  for (const char *expected : {"parenthetical", "circumstance"}) {
    SCOPED_TRACE(expected);
    EXPECT_EQ(str(relation->text()), expected);
    EXPECT_EQ(relation->cursorPosition(), 0);
    MainForm->Table1()->Next();
  }
  MainForm->Edit1->assignText(QStringLiteral("a marker much longer than the box that shows it, by far"));
  EXPECT_EQ(MainForm->Edit1->cursorPosition(), 0);
}

// The relation list opens wide enough for its longest name.
TEST_F(LayoutTest, TheRelationListShowsItsWidestItemWhole) {
  showActive();
  MainForm->ComboBox1->showPopup();
  QAbstractItemView *list = MainForm->ComboBox1->view();
  ASSERT_TRUE(list->isVisible());
  EXPECT_GE(list->viewport()->width(), list->sizeHintForColumn(0));
  MainForm->ComboBox1->hidePopup();
}

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

TEST_F(LayoutTest, TheWindowKeepsItsSize) {
  showActive();
  MainForm->resize(800, 700);
  EXPECT_EQ(MainForm->size(), QSize(656, 571));
  MainForm->resize(300, 200);
  EXPECT_EQ(MainForm->size(), QSize(656, 571));
}

TEST_F(LayoutTest, AtStartTheFocusIsInEdit1AndTheSearchGoesForward) {
  showActive();
  EXPECT_TRUE(focusIn("Edit1")) << nameOf(QApplication::focusWidget());
  EXPECT_TRUE(MainForm->RadioButton1->isChecked());
  EXPECT_FALSE(MainForm->RadioButton2->isChecked());
  EXPECT_EQ(MainForm->ComboBox1->currentText(), QString());
  EXPECT_EQ(MainForm->ComboBox1->currentIndex(), -1);
}

TEST_F(LayoutTest, TheWindowGrabsToAPictureOfItsWholeClientArea) {
  showActive();
  const QImage picture = MainForm->grab().toImage();
  const QString path = QStringLiteral("/tmp/vandro-layout.png");
  EXPECT_TRUE(picture.save(path)) << str(path);
  EXPECT_EQ(picture.size(), QSize(656, 571) * picture.devicePixelRatio());
  QSet<QRgb> colours;
  for (int y = 0; y < picture.height() && colours.size() < 3; y += 3)
    for (int x = 0; x < picture.width(); x += 3)
      colours.insert(picture.pixel(x, y));
  EXPECT_GT(colours.size(), 1);
}

} // namespace
} // namespace vandro::testing
