// The application object's title and error boxes, the guard around the
// program's handlers, the password dialog, and the texts of engine failures.
#include "ModalAnswer.h"
#include "engine/Engine.h"
#include "engine/FailureMessage.h"
#include "shell/PasswordDialog.h"
#include "shell/TApplication.h"
#include "store/EngineCheck.h"
#include "store/TSession.h"
#include "TestText.h"

#include <QFileInfo>
#include <QGroupBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QVBoxLayout>
#include <algorithm>
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <stdexcept>

namespace vandro::testing {
namespace {

using namespace std::string_literals;

TEST(TitleTest, ProgramFileNameCutAtTheFirstDotWithTheRestLowerCase) {
  const struct {
    QString programFile, title;
  } cases[] = {
      {"/x/VANDRO.EXE", "Vandro"},
      {"vandro.exe", "vandro"},
      {"Vandro.Setup.exe", "Vandro"},
      {"/opt/MyProg", "Myprog"},
      {"/opt/my.dir/TOOL", "Tool"},
      {"/opt/.hidden", ""},
      {"x", "x"},
      {"/usr/bin/" + QString(300, QLatin1Char('A')) + ".bin", "A" + QString(254, QLatin1Char('a'))},
  };
  for (const auto &c : cases)
    EXPECT_EQ(str(TApplication::titleForProgramFile(c.programFile)), str(c.title)) << str(c.programFile);
  // The running program's own title follows the same rule.
  EXPECT_EQ(str(Application->Title()),
            str(TApplication::titleForProgramFile(QCoreApplication::applicationFilePath())));
  EXPECT_EQ(str(Application->Title()), "shell_tests");
}

TEST(ErrorBoxTest, PeriodIsAddedAfterACharacterThatSortsAfterThePeriod) {
  const struct {
    QString message, shown;
  } cases[] = {
      {"", ""},
      {"Stored.", "Stored."},
      {"Stop!", "Stop!"},
      {"(see above)", "(see above)"},
      {"Name \"x\"", "Name \"x\""},
      {"trailing blank ", "trailing blank "},
      {"Field 'Id' must have a value", "Field 'Id' must have a value."},
      {"Record 12", "Record 12."},
      {"Really?", "Really?."},
      {"Reason:", "Reason:."},
      {"/tmp/", "/tmp/."},
      {QString::fromUtf8("Résumé"), QString::fromUtf8("Résumé.")},
  };
  for (const auto &c : cases)
    EXPECT_EQ(str(TApplication::withPeriod(c.message)), str(c.shown)) << str(c.message);
}

// Raises E here and hands back the failure; the raise address lies inside
// this function.
template <class E, class... Args>
[[gnu::noinline]] std::exception_ptr raise(Args... args) {
  try {
    throw E(args...);
  } catch (...) {
    return std::current_exception();
  }
}

const Exception &exceptionOf(std::exception_ptr error) {
  try {
    std::rethrow_exception(error);
  } catch (const Exception &e) {
    return e; // the stored object lives as long as `error`
  }
}

TEST(LastResortTest, TextNamesClassModuleOffsetAndMessage) {
  using Raise = std::exception_ptr (*)();
  const struct {
    Raise raiser;
    const char *className;
    QString message;
  } cases[] = {
      {[] { return raise<EDBEngineError>(QStringLiteral("Table does not exist"), QVector<TDBError>{}); },
       "EDBEngineError", "Table does not exist."},
      {[] { return raise<EDatabaseError>(QStringLiteral("Table1"), QStringLiteral("Closed")); },
       "EDatabaseError", "Table1: Closed."},
      {[] { return raise<EConvertError>(QStringLiteral("Stop!")); }, "EConvertError", "Stop!."},
      {[] { return raise<EConvertError>(QStringLiteral("Stored.")); }, "EConvertError", "Stored."},
      {[] { return raise<EDatabaseError>(QString()); }, "EDatabaseError", ""},
  };
  const QString testBinary = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
  const QRegularExpression shape(
      QStringLiteral("^Exception (\\S+) in module (\\S+) at ([0-9A-F]{8})\\.\n(.*)$"),
      QRegularExpression::DotMatchesEverythingOption);
  for (const auto &c : cases) {
    const std::exception_ptr error = c.raiser();
    const void *address = exceptionOf(error).address();
    Dl_info info{};
    ASSERT_NE(dladdr(address, &info), 0) << c.className;
    const auto offset = reinterpret_cast<quintptr>(address) - reinterpret_cast<quintptr>(info.dli_fbase);

    const QString text = TApplication::lastResortText(error);
    const auto match = shape.match(text);
    ASSERT_TRUE(match.hasMatch()) << str(text);
    EXPECT_EQ(str(match.captured(1)), c.className);
    EXPECT_EQ(str(match.captured(2)), str(testBinary));
    EXPECT_EQ(match.captured(3).toULongLong(nullptr, 16), offset) << str(text);
    EXPECT_EQ(str(match.captured(4)), str(c.message));
  }
  // The recorded address is the raise site, not the inside of a constructor.
  const auto here = reinterpret_cast<quintptr>(&raise<EConvertError, QString>);
  const auto raised = reinterpret_cast<quintptr>(exceptionOf(raise<EConvertError>(QStringLiteral("x"))).address());
  EXPECT_GT(raised, here);
  EXPECT_LT(raised, here + 512);
}

TEST(LastResortTest, AForeignFailureShowsItsClassAndNoMessage) {
  const QString text = TApplication::lastResortText(std::make_exception_ptr(std::runtime_error("boom")));
  const QRegularExpression shape(QStringLiteral("^Exception std::runtime_error in module \\S+ at [0-9A-F]{8}\\.\n$"));
  EXPECT_TRUE(shape.match(text).hasMatch()) << str(text);
}

// What the error box looked like when it was answered.
struct BoxFacts {
  QString title, text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QMessageBox::StandardButtons buttons;
  Qt::WindowModality modality = Qt::NonModal;
  bool focusStayedInWindow = true;
};

ModalAnswerer::Answer inspectAndPressOk(std::vector<BoxFacts> &boxes, QWidget *window = nullptr) {
  return [&boxes, window](QWidget *modal) {
    BoxFacts facts;
    facts.title = modal->windowTitle();
    facts.modality = modal->windowModality();
    if (auto *box = qobject_cast<QMessageBox *>(modal)) {
      facts.text = box->text();
      facts.icon = box->icon();
      facts.buttons = box->standardButtons();
    }
    // The box takes the focus once it is active; a window manager may hand
    // it over a little later.
    facts.focusStayedInWindow =
        window && !QTest::qWaitFor([window] { return !window->isAncestorOf(QApplication::focusWidget()); }, 1000);
    boxes.push_back(facts);
    ModalAnswerer::press(QStringLiteral("OK"))(modal);
  };
}

TEST(ErrorBoxTest, ReportErrorShowsTheMessageUnderTheTitleAndGivesTheFocusBack) {
  QWidget window;
  auto *layout = new QVBoxLayout(&window);
  auto *first = new QLineEdit(&window);
  auto *second = new QLineEdit(&window);
  layout->addWidget(first);
  layout->addWidget(second);
  window.show();
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));

  const QString longForm = QStringLiteral("^Exception std::runtime_error in module \\S+ at [0-9A-F]{8}\\.\n$");
  const struct {
    std::exception_ptr error;
    bool shown;
    QString title, text; // text as a pattern
  } cases[] = {
      {std::make_exception_ptr(EDatabaseError(QStringLiteral("Field 'Id' must have a value"))), true,
       Application->Title(), "^Field 'Id' must have a value\\.$"},
      {std::make_exception_ptr(EConvertError(QStringLiteral("Stop!"))), true, Application->Title(), "^Stop!$"},
      {std::make_exception_ptr(EAbort(QStringLiteral("never shown"))), false, {}, {}},
      {std::make_exception_ptr(std::runtime_error("boom")), true, QStringLiteral("Application Error"), longForm},
  };
  for (const auto &c : cases) {
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    second->setFocus(Qt::OtherFocusReason);
    ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::focusWidget() == second; }, 1000));
    std::vector<BoxFacts> boxes;
    {
      ModalAnswerer answerer{{inspectAndPressOk(boxes, &window)}};
      Application->ReportError(c.error);
      EXPECT_EQ(answerer.seen().size(), c.shown ? 1u : 0u) << str(c.text);
    }
    if (!c.shown) {
      EXPECT_TRUE(boxes.empty());
      continue;
    }
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(str(boxes[0].title), str(c.title));
    EXPECT_TRUE(QRegularExpression(c.text).match(boxes[0].text).hasMatch()) << str(boxes[0].text);
    EXPECT_EQ(boxes[0].icon, QMessageBox::Critical);
    EXPECT_EQ(boxes[0].buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    EXPECT_EQ(boxes[0].modality, Qt::ApplicationModal);
    EXPECT_FALSE(boxes[0].focusStayedInWindow) << "the box did not take the focus";
    EXPECT_TRUE(QTest::qWaitFor([&] { return QApplication::focusWidget() == second; }, 1000))
        << "focus not given back after " << str(boxes[0].text);
  }
}

TEST(ErrorBoxTest, AFailureInAGuardedSlotIsReportedAndTheProgramGoesOn) {
  QWidget window;
  auto *button = new QPushButton(QStringLiteral("Go"), &window);
  button->setGeometry(10, 10, 80, 25);
  int clicks = 0;
  QObject::connect(button, &QPushButton::clicked, &window, [&] {
    guarded([&] {
      ++clicks;
      if (clicks == 1)
        throw EConvertError(QStringLiteral("'abc' is not a valid integer value"));
      if (clicks == 2)
        throw std::runtime_error("not of the family");
    });
  });
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

  std::vector<BoxFacts> boxes;
  ModalAnswerer answerer{{inspectAndPressOk(boxes), inspectAndPressOk(boxes)}};
  for (int i = 0; i < 3; ++i)
    QTest::mouseClick(button, Qt::LeftButton);
  EXPECT_EQ(clicks, 3);
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(str(boxes[0].title), str(Application->Title()));
  EXPECT_EQ(str(boxes[0].text), "'abc' is not a valid integer value.");
  EXPECT_EQ(str(boxes[1].title), "Application Error");
  EXPECT_TRUE(boxes[1].text.startsWith(QStringLiteral("Exception std::runtime_error in module "))) << str(boxes[1].text);
  EXPECT_EQ(answerer.seen().size(), 2u);
}

template <class W> W *child(QWidget &parent, const char *name) {
  W *widget = parent.findChild<W *>(QString::fromLatin1(name));
  EXPECT_NE(widget, nullptr) << name;
  return widget;
}

TEST(PasswordDialogTest, LayoutCaptionsAndStartingState) {
  PasswordDialog dialog({[](const QString &) {}, [](const QString &) {}, [] {}});
  dialog.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
  EXPECT_EQ(str(dialog.windowTitle()), "Enter password");
  EXPECT_EQ(dialog.size(), QSize(273, 132));

  auto *frame = child<QGroupBox>(dialog, "GroupBox1");
  ASSERT_NE(frame, nullptr);
  EXPECT_EQ(frame->geometry(), QRect(8, 8, 257, 81));
  auto *box = child<QLineEdit>(dialog, "Password");
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(box->parentWidget(), frame);
  EXPECT_EQ(box->geometry(), QRect(16, 18, 225, 20));
  EXPECT_EQ(box->echoMode(), QLineEdit::Password);
  EXPECT_TRUE(box->text().isEmpty());

  const struct {
    const char *name;
    QWidget *parent;
    QRect geometry;
    const char *caption;
    bool enabled, isDefault;
  } buttons[] = {
      {"AddButton", frame, {16, 46, 65, 25}, "&Add", false, false},
      {"RemoveButton", frame, {88, 46, 65, 25}, "&Remove", false, false},
      {"RemoveAllButton", frame, {160, 46, 81, 25}, "Re&move all", true, false},
      {"OKButton", &dialog, {109, 98, 75, 25}, "&OK", false, true},
      {"CancelButton", &dialog, {190, 98, 75, 25}, "Cancel", true, false},
  };
  for (const auto &b : buttons) {
    auto *button = child<QPushButton>(dialog, b.name);
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->parentWidget(), b.parent) << b.name;
    EXPECT_EQ(button->geometry(), b.geometry) << b.name;
    EXPECT_EQ(str(button->text()), b.caption) << b.name;
    EXPECT_EQ(button->isEnabled(), b.enabled) << b.name;
    EXPECT_EQ(button->isDefault(), b.isDefault) << b.name;
  }
}

TEST(PasswordDialogTest, TypingEnablesTheButtonsAndAddFeedsTheSessionsPasswords) {
  store::TSession session;
  const auto &passwords = engine::Engine::instance().passwords();
  auto has = [&](const std::string &p) { return std::find(passwords.begin(), passwords.end(), p) != passwords.end(); };
  PasswordDialog dialog({[&](const QString &p) { session.AddPassword(p); },
                         [&](const QString &p) { session.RemovePassword(p); },
                         [&] { session.RemoveAllPasswords(); }});
  dialog.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
  auto *box = child<QLineEdit>(dialog, "Password");
  auto *add = child<QPushButton>(dialog, "AddButton");
  auto *remove = child<QPushButton>(dialog, "RemoveButton");
  auto *removeAll = child<QPushButton>(dialog, "RemoveAllButton");
  auto *ok = child<QPushButton>(dialog, "OKButton");
  ASSERT_TRUE(box && add && remove && removeAll && ok);
  auto enabled = [&] { return std::vector<bool>{add->isEnabled(), remove->isEnabled(), ok->isEnabled()}; };

  QTest::keyClicks(box, QStringLiteral("first"));
  EXPECT_EQ(enabled(), (std::vector<bool>{true, true, true}));
  box->clear();
  EXPECT_EQ(enabled(), (std::vector<bool>{false, false, false})) << "nothing added yet";

  QTest::keyClicks(box, QStringLiteral("first"));
  QTest::mouseClick(add, Qt::LeftButton);
  EXPECT_TRUE(has("first"));
  EXPECT_TRUE(box->text().isEmpty());
  EXPECT_EQ(enabled(), (std::vector<bool>{false, false, true})) << "OK stays: a password was added";

  QTest::keyClicks(box, QStringLiteral("second"));
  QTest::mouseClick(add, Qt::LeftButton);
  QTest::keyClicks(box, QStringLiteral("first"));
  QTest::mouseClick(remove, Qt::LeftButton);
  EXPECT_FALSE(has("first"));
  EXPECT_TRUE(has("second"));
  EXPECT_TRUE(box->text().isEmpty());

  QTest::mouseClick(removeAll, Qt::LeftButton);
  EXPECT_TRUE(passwords.empty());
  EXPECT_TRUE(dialog.isVisible());

  QTest::keyClicks(box, QStringLiteral("third"));
  QTest::mouseClick(ok, Qt::LeftButton);
  EXPECT_TRUE(has("third")) << "OK adds the box's text";
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  session.end();
}

TEST(EngineErrorTest, MessageLinesAreDeduplicatedWithoutRegardToCase) {
  using engine::ErrorEntry;
  namespace code = engine::code;
  const struct {
    engine::Result result;
    std::vector<ErrorEntry> entries;
    std::string message;
  } cases[] = {
      {code::TableNotFound,
       {{code::TableNotFound, 0, "File: /d/Vandro.DB"}, {code::TableNotFound, 0, "FILE: /D/VANDRO.DB"}},
       "Table does not exist\nFile: /d/Vandro.DB"},
      {code::TableBusy,
       {{code::RecordLocked, 0, "Id 7"}},
       "The table is busy: another program is writing to it\nRecord locked by another user\nId 7"},
      {code::IoFailure, {{code::IoFailure, 10, " disk I/O error\n"}}, "Input/output error\ndisk I/O error"},
      {code::TableNotFound, {{code::TableNotFound, 3, "  table DOES not exist \r\n"}}, "Table does not exist"},
      {0x4321, {}, "Engine error $4321"},
      {0x00AB, {{0x00AC, 5, "   "}}, "Engine error $00AB"},
      {engine::code::ContextOnly, {}, "Engine error $2EC4"},
      {engine::code::ContextOnly,
       {{code::TableNotFound, 0, "Line one"}, {code::DiskFull, 0, "LINE ONE"}, {code::DiskFull, 0, "Line two"}},
       "Line one\nLine two"},
  };
  for (const auto &c : cases)
    EXPECT_EQ(engine::failureMessage(c.result, c.entries), c.message) << engine::hexCode(c.result);
}

TEST(EngineErrorTest, EngineErrorCarriesTheMessageAndTheEntries) {
  namespace code = engine::code;
  engine::ErrorEntries::fail(code::TableNotFound,
                             {{code::TableNotFound, 0, "File: /x/Vandro.DB"}, {code::TableNotFound, 0, "file: /X/vandro.db"}});
  const EDBEngineError missing = store::engineError(code::TableNotFound);
  EXPECT_EQ(str(missing.message()), "Table does not exist\nFile: /x/Vandro.DB");
  EXPECT_STREQ(missing.className(), "EDBEngineError");
  ASSERT_EQ(missing.ErrorCount(), 3);
  EXPECT_EQ(missing.Errors()[0].ErrorCode, code::TableNotFound);
  EXPECT_EQ(str(missing.Errors()[0].Message), "Table does not exist");
  EXPECT_EQ(str(missing.Errors()[2].Message), "file: /X/vandro.db");

  engine::ErrorEntries::clear();
  const EDBEngineError unknown = store::engineError(0x4321);
  EXPECT_EQ(str(unknown.message()), "Engine error $4321");
  ASSERT_EQ(unknown.ErrorCount(), 1);
  EXPECT_EQ(unknown.Errors()[0].ErrorCode, 0x4321);

  const EDBEngineError notStarted = store::engineError(code::EngineStartFailed, store::EngineState::NotStarted);
  EXPECT_EQ(str(notStarted.message()),
            "An error occurred while attempting to initialize the database engine (error $2109)");
  ASSERT_EQ(notStarted.ErrorCount(), 1);
  EXPECT_EQ(notStarted.Errors()[0].ErrorCode, code::EngineStartFailed);
}

} // namespace
} // namespace vandro::testing
