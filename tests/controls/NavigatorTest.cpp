// The two navigator bars of the main window: their buttons' places, when
// each button is enabled, what a click, a held button and a failing action
// do, and the tool tips.
#include "Main.h"
#include "ModalAnswer.h"
#include "Program.h"
#include "TableFixture.h"
#include "controls/TDBEdit.h"
#include "controls/TDBNavigator.h"
#include "controls/TEdit.h"
#include "WindowFixture.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#include <QCursor>
#include <QToolTip>
#include <functional>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace vandro::testing {
namespace {

using controls::NavigateButton;
using controls::TNavButton;
using store::DataSetState;

// Waits up to `timeout` ms, processing events, until `done` holds.
bool waitUntil(const std::function<bool()> &done, int timeout) {
  QElapsedTimer clock;
  clock.start();
  while (!done()) {
    if (clock.elapsed() > timeout)
      return false;
    QTest::qWait(10);
  }
  return true;
}

class NavigatorTest : public WindowFixture {
protected:
  void TearDown() override {
    QToolTip::hideText();
    m_program.reset();
    if (m_protected) {
      ::chmod(m_directory.c_str(), 0755);
      ::chmod(tablePath().c_str(), 0644);
    }
    WindowFixture::TearDown();
  }

  // Makes a table of `rows` numbered records and starts the program on it.
  void start(int rows) {
    makeRelationTable(numberedRows(rows));
    openWindow();
  }
  void openWindow() { ASSERT_TRUE(startProgram()); }
  static void showWindow() { showActive(); }
  int currentId() const { return table().LookupField(QStringLiteral("Id")).AsString().toInt(); }
  static TNavButton *nav(NavigateButton index) {
    const bool moves = index == NavigateButton::First || index == NavigateButton::Prior ||
                       index == NavigateButton::Next || index == NavigateButton::Last;
    return (moves ? MainForm->DBNavigator1 : MainForm->DBNavigator2)->button(index);
  }
  static controls::TDBEdit *dbEdit2() { return MainForm->findChild<controls::TDBEdit *>(QStringLiteral("DBEdit2")); }

  // The enabled flags of First, Prior, Next, Last, then Edit and Post, as
  // "+" and "-": "--++ +-" right after start-up.
  static std::string enabledFlags() {
    std::string flags;
    for (NavigateButton index : {NavigateButton::First, NavigateButton::Prior, NavigateButton::Next,
                                 NavigateButton::Last, NavigateButton::Edit, NavigateButton::Post}) {
      if (index == NavigateButton::Edit)
        flags += ' ';
      flags += nav(index)->isEnabled() ? '+' : '-';
    }
    return flags;
  }

  // Counts Table1's scrolls, each with the time since `clock` started; the
  // window's own handler still runs.
  void countScrolls() {
    auto windowHandler = table().AfterScroll;
    table().AfterScroll = [this, windowHandler](store::TTable &t) {
      m_scrolls.push_back(m_clock.isValid() ? m_clock.elapsed() : 0);
      if (windowHandler)
        windowHandler(t);
    };
  }

  std::vector<qint64> m_scrolls;
  QElapsedTimer m_clock;
  bool m_protected = false;
};

TEST_F(NavigatorTest, ButtonsStandSideBySideAndNeverTakeTheFocus) {
  start(3);
  showWindow();
  const struct {
    controls::TDBNavigator *bar;
    std::vector<NavigateButton> shown;
  } bars[] = {
      {MainForm->DBNavigator1, {NavigateButton::First, NavigateButton::Prior, NavigateButton::Next, NavigateButton::Last}},
      {MainForm->DBNavigator2, {NavigateButton::Edit, NavigateButton::Post}},
  };
  for (const auto &bar : bars) {
    SCOPED_TRACE(str(bar.bar->objectName()));
    EXPECT_EQ(bar.bar->focusPolicy(), Qt::NoFocus);
    int left = 0;
    for (NavigateButton index : bar.shown) {
      TNavButton *button = bar.bar->button(index);
      SCOPED_TRACE(str(button->objectName()));
      EXPECT_TRUE(button->isVisible());
      EXPECT_EQ(button->geometry(), QRect(left, 0, 56, 25));
      left += 56;
    }
    for (int i = 0; i < controls::kNavigateButtonCount; ++i) {
      TNavButton *button = bar.bar->button(static_cast<NavigateButton>(i));
      EXPECT_EQ(button->focusPolicy(), Qt::NoFocus) << str(button->objectName());
      if (!bar.bar->isVisibleButton(button->index())) {
        EXPECT_FALSE(button->isVisible()) << str(button->objectName());
      }
    }
  }
  EXPECT_EQ(MainForm->DBNavigator1->geometry(), QRect(216, 424, 224, 25));
  EXPECT_EQ(MainForm->DBNavigator2->geometry(), QRect(193, 14, 112, 25));

  // A click on any button, enabled or not, leaves the focus where it was.
  QWidget *focused = QApplication::focusWidget();
  ASSERT_EQ(focused, static_cast<QWidget *>(MainForm->Edit1));
  for (NavigateButton index : {NavigateButton::First, NavigateButton::Next, NavigateButton::Prior,
                               NavigateButton::Last, NavigateButton::Edit, NavigateButton::Post}) {
    SCOPED_TRACE(str(nav(index)->objectName()));
    QTest::mouseClick(nav(index), Qt::LeftButton);
    EXPECT_EQ(QApplication::focusWidget(), focused);
  }
  EXPECT_EQ(currentId(), 3) << "the clicks acted: Next, Prior, then Last";
  EXPECT_EQ(table().State(), DataSetState::Browse) << "Edit, then Post";
  QTest::mouseClick(MainForm->Edit2, Qt::LeftButton);
  EXPECT_EQ(QApplication::focusWidget(), static_cast<QWidget *>(MainForm->Edit2)) << "a click can move the focus";
}

TEST_F(NavigatorTest, ButtonsFollowTheCursorAndTheEditState) {
  start(3);
  showWindow();
  EXPECT_EQ(enabledFlags(), "--++ +-") << "right after start-up";
  auto click = [](NavigateButton index) { return [index] { QTest::mouseClick(nav(index), Qt::LeftButton); }; };
  const struct {
    const char *step;
    std::function<void()> act;
    int id;
    std::string flags;
  } steps[] = {
      {"Last", click(NavigateButton::Last), 3, "++-- +-"},
      {"First", click(NavigateButton::First), 1, "--++ +-"},
      {"Next onto the second", click(NavigateButton::Next), 2, "++++ +-"},
      {"Edit", click(NavigateButton::Edit), 2, "++++ -+"},
      {"Post", click(NavigateButton::Post), 2, "++++ +-"},
      {"Next onto the last", click(NavigateButton::Next), 3, "++++ +-"},
      {"Next past the last", click(NavigateButton::Next), 3, "++-- +-"},
      {"Prior", click(NavigateButton::Prior), 2, "++++ +-"},
      {"typing into DBEdit2",
       [] {
         dbEdit2()->setFocus(Qt::OtherFocusReason);
         QTest::keyClicks(dbEdit2(), QStringLiteral("joint"));
       },
       2, "++++ -+"},
      {"Post of the typed text", click(NavigateButton::Post), 2, "++++ +-"},
  };
  for (const auto &s : steps) {
    SCOPED_TRACE(s.step);
    s.act();
    EXPECT_EQ(currentId(), s.id);
    EXPECT_EQ(enabledFlags(), s.flags);
  }
  EXPECT_EQ(str(table().LookupField(QStringLiteral("Relation")).AsString()), "joint");
}

TEST_F(NavigatorTest, AnEmptyTableDisablesEveryMovingButton) {
  start(0);
  ASSERT_TRUE(table().IsEmpty());
  EXPECT_EQ(enabledFlags().substr(0, 4), "----");
}

// Run as an unprivileged user (ctest runs it through setpriv when the tests
// run as root): for root the permission bits do not stop a write.
TEST_F(NavigatorTest, AWriteProtectedTableNeverEnablesEditOrPost) {
  if (::geteuid() == 0)
    GTEST_SKIP() << "root writes through the permission bits";
  makeRelationTable(numberedRows(3));
  m_protected = true;
  ASSERT_EQ(::chmod(tablePath().c_str(), 0444), 0);
  ASSERT_EQ(::chmod(m_directory.c_str(), 0555), 0);
  ModalAnswerer answerer;
  openWindow();
  showWindow();
  ASSERT_FALSE(table().CanModify());
  EXPECT_EQ(enabledFlags(), "--++ --");
  const struct {
    const char *step;
    std::function<void()> act;
    std::string flags;
  } steps[] = {
      {"Next", [] { QTest::mouseClick(nav(NavigateButton::Next), Qt::LeftButton); }, "++++ --"},
      {"Edit", [] { QTest::mouseClick(nav(NavigateButton::Edit), Qt::LeftButton); }, "++++ --"},
      {"typing into DBEdit2",
       [] {
         dbEdit2()->setFocus(Qt::OtherFocusReason);
         QTest::keyClicks(dbEdit2(), QStringLiteral("x"));
       },
       "++++ --"},
      {"Last", [] { QTest::mouseClick(nav(NavigateButton::Last), Qt::LeftButton); }, "++-- --"},
  };
  for (const auto &s : steps) {
    SCOPED_TRACE(s.step);
    s.act();
    EXPECT_EQ(table().State(), DataSetState::Browse);
    EXPECT_EQ(enabledFlags(), s.flags);
  }
  EXPECT_TRUE(answerer.seen().empty());
}

TEST_F(NavigatorTest, NextPostsTheTypedTextAndLeavesTheFocusInTheBox) {
  start(3);
  showWindow();
  controls::TDBEdit *box = dbEdit2();
  box->setFocus(Qt::OtherFocusReason);
  QTest::keyClicks(box, QStringLiteral("summary"));
  ASSERT_EQ(table().State(), DataSetState::Edit);
  ModalAnswerer answerer;
  QTest::mouseClick(nav(NavigateButton::Next), Qt::LeftButton);
  EXPECT_TRUE(answerer.seen().empty());
  EXPECT_EQ(table().State(), DataSetState::Browse);
  EXPECT_EQ(currentId(), 2);
  EXPECT_EQ(QApplication::focusWidget(), static_cast<QWidget *>(box));
  EXPECT_EQ(box->text(), table().LookupField(QStringLiteral("Relation")).AsString()) << "the box shows record 2";
  table().Prior();
  EXPECT_EQ(str(table().LookupField(QStringLiteral("Relation")).AsString()), "summary") << "stored in record 1";
}

TEST_F(NavigatorTest, AClickCountsOnlyWhenReleasedOnTheButton) {
  start(3);
  showWindow();
  TNavButton *next = nav(NavigateButton::Next);
  const QPoint on = next->rect().center();
  const QPoint off = on + QPoint(0, 40);
  const struct {
    const char *gesture;
    bool back; // the pointer returns onto the button before the release
    int id;
  } gestures[] = {
      {"press, move off, release off", false, 1},
      {"press, move off, move back, release on", true, 2},
  };
  for (const auto &g : gestures) {
    SCOPED_TRACE(g.gesture);
    table().First();
    QTest::mousePress(next, Qt::LeftButton, {}, on);
    EXPECT_TRUE(next->isPressed());
    QTest::mouseMove(next, off);
    EXPECT_FALSE(next->isPressed()) << "the button comes up while the pointer is off it";
    if (g.back) {
      QTest::mouseMove(next, on);
      EXPECT_TRUE(next->isPressed());
    }
    QTest::mouseRelease(next, Qt::LeftButton, {}, g.back ? on : off);
    EXPECT_FALSE(next->isPressed());
    EXPECT_EQ(currentId(), g.id);
  }
}

TEST_F(NavigatorTest, HeldPriorRepeatsUntilTheFirstRecordAndStops) {
  start(5);
  showWindow();
  table().Next();
  table().Next();
  ASSERT_EQ(currentId(), 3);
  countScrolls();
  TNavButton *prior = nav(NavigateButton::Prior);
  QTest::mousePress(prior, Qt::LeftButton);
  QTest::qWait(700);
  waitUntil([&] { return table().AtStart(); }, 2000); // a slow machine's late timers
  EXPECT_EQ(currentId(), 1);
  EXPECT_TRUE(table().AtStart());
  EXPECT_EQ(enabledFlags().substr(0, 4), "--++");
  EXPECT_FALSE(prior->isPressed()) << "a disabled button does not stay down";
  EXPECT_EQ(m_scrolls.size(), 3u) << "onto 2, onto 1, then against the start";
  const std::size_t scrollsHeld = m_scrolls.size();
  QTest::mouseRelease(prior, Qt::LeftButton);
  QTest::qWait(150);
  EXPECT_EQ(m_scrolls.size(), scrollsHeld) << "the release does nothing more";
  EXPECT_EQ(currentId(), 1);
  EXPECT_TRUE(table().AtStart());
}

TEST_F(NavigatorTest, HeldNextWaitsBeforeTheFirstRepeatThenRepeatsQuickly) {
  start(30);
  showWindow();
  countScrolls();
  TNavButton *next = nav(NavigateButton::Next);
  m_clock.start();
  QTest::mousePress(next, Qt::LeftButton);
  QTest::qWait(300);
  EXPECT_TRUE(m_scrolls.empty()) << "no move in the first 300 ms";
  EXPECT_TRUE(waitUntil([&] { return m_scrolls.size() >= 5; }, 3000));
  QTest::mouseRelease(next, Qt::LeftButton);
  ASSERT_GE(m_scrolls.size(), 5u);
  EXPECT_GE(m_scrolls[0], 350) << "the first repeat waits about 400 ms";
  EXPECT_LE(m_scrolls[0], 1000);
  const double gap = static_cast<double>(m_scrolls[4] - m_scrolls[0]) / 4;
  EXPECT_GE(gap, 80) << "later repeats every 100 ms";
  EXPECT_LE(gap, 250);
  EXPECT_GE(currentId(), 6);
}

TEST_F(NavigatorTest, AFailingRepeatStopsBeforeTheErrorIsShown) {
  start(3);
  showWindow();
  // The post before the move fails: record 2 has the key already.
  table().Edit();
  table().LookupField(QStringLiteral("Id")).setAsString(QStringLiteral("2"));
  TNavButton *next = nav(NavigateButton::Next);
  bool timerActiveWhileShown = true;
  ModalAnswerer answerer{{[&](QWidget *box) {
    timerActiveWhileShown = next->repeatTimer().isActive();
    ModalAnswerer::press(QStringLiteral("OK"))(box);
  }}};
  QTest::mousePress(next, Qt::LeftButton);
  EXPECT_TRUE(waitUntil([&] { return !answerer.seen().empty() && !QApplication::activeModalWidget(); }, 3000));
  QTest::qWait(400); // long enough for several more repeats
  QTest::mouseRelease(next, Qt::LeftButton);
  QTest::qWait(150);
  ASSERT_EQ(answerer.seen().size(), 1u) << "the failure is reported once";
  EXPECT_EQ(str(answerer.seen()[0].className), "QMessageBox");
  EXPECT_TRUE(answerer.seen()[0].text.contains(QStringLiteral("Key violation"))) << str(answerer.seen()[0].text);
  EXPECT_FALSE(timerActiveWhileShown) << "the repeat stopped before the box";
  EXPECT_FALSE(next->repeatTimer().isActive());
  EXPECT_FALSE(next->isPressed());
  EXPECT_EQ(table().State(), DataSetState::Edit) << "the failed post keeps the edit";
  table().Cancel();
  EXPECT_EQ(currentId(), 1) << "no move happened";
}

TEST_F(NavigatorTest, EachButtonHasItsTipShownAfterAPauseAndAtOnceNextDoor) {
  start(3);
  const struct {
    NavigateButton index;
    const char *hint;
  } tips[] = {
      {NavigateButton::First, "First record (Alt+Home)"}, {NavigateButton::Prior, "Prior record (Ctrl+PgUp)"},
      {NavigateButton::Next, "Next record (Ctrl+PgDn)"},   {NavigateButton::Last, "Last record (Alt+End)"},
      {NavigateButton::Edit, "Edit record"},   {NavigateButton::Post, "Post edit"},
  };
  for (const auto &t : tips)
    EXPECT_EQ(str(nav(t.index)->hint()), t.hint);

  showWindow();
  QTest::mouseMove(MainForm, QPoint(5, 5));
  QTest::qWait(50);
  ASSERT_FALSE(QToolTip::isVisible());
  for (const auto &[first, second] : {std::pair{NavigateButton::First, NavigateButton::Prior},
                                      std::pair{NavigateButton::Edit, NavigateButton::Post}}) {
    SCOPED_TRACE(str(nav(first)->hint()));
    QTest::mouseMove(nav(first), nav(first)->rect().center());
    QTest::qWait(250);
    EXPECT_FALSE(QToolTip::isVisible()) << "too early";
    QTest::qWait(350);
    EXPECT_TRUE(QToolTip::isVisible());
    EXPECT_EQ(str(QToolTip::text()), str(nav(first)->hint()));
    // Just below the pointer: by the cursor's height (16 here), no more.
    for (QWidget *tip : QApplication::topLevelWidgets())
      if (tip->inherits("QTipLabel") && tip->isVisible()) {
        EXPECT_GE(tip->y() - QCursor::pos().y(), 0);
        EXPECT_LE(tip->y() - QCursor::pos().y(), 24);
      }
    QTest::mouseMove(nav(second), nav(second)->rect().center());
    QTest::qWait(100);
    EXPECT_TRUE(QToolTip::isVisible());
    EXPECT_EQ(str(QToolTip::text()), str(nav(second)->hint())) << "the neighbour's tip at once";
    // Off the bars: the next bar's tip waits its pause again.
    QTest::mouseMove(MainForm, QPoint(5, 5));
    QTest::qWait(400);
    EXPECT_FALSE(QToolTip::isVisible());
  }
}

} // namespace
} // namespace vandro::testing
