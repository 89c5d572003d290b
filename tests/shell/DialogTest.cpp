// The notice and input dialogs as the user meets them (keys to the focused
// widget, the close box, the clipboard), their measures in dialog units,
// the modal loop's hold on the other windows, and integer texts.
#include "ModalAnswer.h"
#include "shell/AskText.h"
#include "shell/Exception.h"
#include "shell/IntegerText.h"
#include "shell/TApplication.h"
#include "shell/TDialogForm.h"
#include "shell/TMessageForm.h"
#include "TestText.h"

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <gtest/gtest.h>
#include <optional>

namespace vandro::testing {
namespace {

TEST(ParseIntegerTest, ReadsEveryFormAndRefusesEverythingElseWithTheWholeText) {
  const struct {
    const char *text;
    std::optional<int> value; // none: refused
  } cases[] = {
      {"42", 42},
      {"  42", 42},
      {"42 ", {}},
      {"\t42", {}},
      {"+7", 7},
      {"-0", 0},
      {"007", 7},
      {"$1F", 31},
      {"x1f", 31},
      {"X1F", 31},
      {"0X1F", 31},
      {"0x1f", 31},
      {"  $1F", 31},
      {"-$1", {}},
      {"+$1", {}},
      {"$", {}},
      {"0x", {}},
      {"-", {}},
      {"", {}},
      {"   ", {}},
      {"1 2", {}},
      {"12a", {}},
      {"2147483647", 2147483647},
      {"0002147483647", 2147483647},
      {"2147483648", {}},
      {"-2147483648", -2147483647 - 1},
      {"-2147483649", {}},
      {"99999999999", {}},
      {"$FFFFFFFF", -1},
      {"$80000000", -2147483647 - 1},
      {"$000000001", 1},
      {"$100000000", {}},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(std::string("\"") + c.text + "\"");
    const QString text = QString::fromLatin1(c.text);
    if (c.value) {
      EXPECT_EQ(ParseInteger(text), *c.value);
      continue;
    }
    try {
      ParseInteger(text);
      ADD_FAILURE() << "accepted";
    } catch (const EConvertError &error) {
      EXPECT_EQ(str(error.message()), "'" + std::string(c.text) + "' is not a valid integer value");
    }
  }
}

// Keys to whatever has the focus once `dialog` is the active window.
void typeInto(QWidget *dialog, const QString &text) {
  ASSERT_TRUE(QTest::qWaitForWindowActive(dialog));
  for (const QChar c : text)
    QTest::keyClick(QApplication::focusWidget(), c.toLatin1());
}
void press(QWidget *dialog, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
  ASSERT_TRUE(QTest::qWaitForWindowActive(dialog));
  QTest::keyClick(QApplication::focusWidget(), key, modifiers);
}

TEST(AskTextTest, TheAnswerOnlyOnOkAndTheDefaultOtherwise) {
  using Answer = ModalAnswerer::Answer;
  const struct {
    const char *name;
    Answer answer;
    const char *result;
  } cases[] = {
      {"typed, Enter", [](QWidget *d) { typeInto(d, "42"); press(d, Qt::Key_Return); }, "42"},
      {"typed, OK clicked", [](QWidget *d) { typeInto(d, " 7 "); QTest::mouseClick(d->findChild<QPushButton *>("OK"), Qt::LeftButton); }, " 7 "},
      {"typed, Cancel clicked", [](QWidget *d) { typeInto(d, "42"); QTest::mouseClick(d->findChild<QPushButton *>("Cancel"), Qt::LeftButton); }, "1"},
      {"typed, Escape", [](QWidget *d) { typeInto(d, "42"); press(d, Qt::Key_Escape); }, "1"},
      {"typed, the close box", [](QWidget *d) { typeInto(d, "42"); d->close(); }, "1"},
      {"emptied, Enter", [](QWidget *d) { press(d, Qt::Key_Backspace); press(d, Qt::Key_Return); }, ""},
      {"Enter on a focused Cancel", [](QWidget *d) { typeInto(d, "42"); press(d, Qt::Key_Tab); press(d, Qt::Key_Tab); press(d, Qt::Key_Return); }, "1"},
      {"Alt+Enter does nothing", [](QWidget *d) { typeInto(d, "5"); press(d, Qt::Key_Return, Qt::AltModifier); ASSERT_TRUE(d->isVisible()); press(d, Qt::Key_Return); }, "5"},
      {"Alt+Enter on a focused OK does nothing", [](QWidget *d) { typeInto(d, "5"); press(d, Qt::Key_Tab); press(d, Qt::Key_Return, Qt::AltModifier); ASSERT_EQ(qobject_cast<TDialogForm *>(d)->modalResult(), TDialogForm::None); press(d, Qt::Key_Escape); }, "1"},
      {"Alt+Enter on a focused Cancel does nothing", [](QWidget *d) { typeInto(d, "5"); press(d, Qt::Key_Tab); press(d, Qt::Key_Tab); press(d, Qt::Key_Return, Qt::AltModifier); ASSERT_EQ(qobject_cast<TDialogForm *>(d)->modalResult(), TDialogForm::None); press(d, Qt::Key_Backtab); press(d, Qt::Key_Return); }, "5"},
      {"a request to end", [](QWidget *d) { typeInto(d, "42"); Application->Terminate(); }, "1"},
  };
  int terminateActions = 0;
  Application->setTerminateAction([&] { ++terminateActions; });
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    ModalAnswerer answerer({c.answer});
    EXPECT_EQ(str(AskText("Go to", "Id", "1")), c.result);
    ASSERT_EQ(answerer.seen().size(), 1u);
    EXPECT_EQ(str(answerer.seen()[0].title), "Go to");
  }
  QTest::qWait(20);
  EXPECT_EQ(terminateActions, 1) << "the end request goes on once the dialog is down";
  Application->setTerminateAction({});
}

TEST(AskTextTest, StartsWithTheDefaultSelectedTakesAt255CharactersAndKeepsItsMeasures) {
  ModalAnswerer answerer({[](QWidget *dialog) {
    ASSERT_TRUE(QTest::qWaitForWindowActive(dialog));
    auto *edit = dialog->findChild<QLineEdit *>("Edit");
    ASSERT_NE(edit, nullptr);
    EXPECT_TRUE(edit->hasFocus());
    EXPECT_EQ(str(edit->selectedText()), "1") << "typing replaces it";
    EXPECT_EQ(str(dialog->findChild<QLabel *>("Prompt")->text()), "Id");

    // Dialog units of the dialog's font, measured here.
    const QFontMetrics metrics(dialog->font());
    const int x = metrics.horizontalAdvance("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz") / 52;
    const int y = metrics.height();
    auto units = [](int n, int unit, int per) { return static_cast<int>(n * unit / double(per) + 0.5); };
    const QWidget *ok = dialog->findChild<QPushButton *>("OK");
    const QWidget *cancel = dialog->findChild<QPushButton *>("Cancel");
    EXPECT_EQ(dialog->width(), units(180, x, 4));
    EXPECT_EQ(edit->width(), units(164, x, 4));
    EXPECT_EQ(ok->x(), units(38, x, 4));
    EXPECT_EQ(cancel->x(), units(92, x, 4));
    EXPECT_EQ(ok->size(), QSize(units(50, x, 4), units(14, y, 8)));
    EXPECT_NEAR(ok->x() + cancel->geometry().right() + 1, dialog->width(), 1) << "the pair centred";
    EXPECT_EQ(ok->y(), edit->geometry().bottom() + 1 + 15);
    EXPECT_EQ(dialog->height(), cancel->geometry().bottom() + 1 + 13);

    // 255 characters go in, the 256th does not.
    typeInto(dialog, QString(255, QLatin1Char('7')));
    typeInto(dialog, QStringLiteral("8"));
    press(dialog, Qt::Key_Return);
  }});
  EXPECT_EQ(AskText("Go to", "Id", "1"), QString(255, QLatin1Char('7')));
}

TEST(NoticeTest, OkEnterAndEscapeCloseItWithOkTheCloseBoxWithCancel) {
  const struct {
    const char *name;
    ModalAnswerer::Answer answer;
    int result;
  } cases[] = {
      {"Enter", [](QWidget *d) { press(d, Qt::Key_Return); }, 1},
      {"Escape", [](QWidget *d) { press(d, Qt::Key_Escape); }, 1},
      {"OK clicked", [](QWidget *d) { QTest::mouseClick(d->findChild<QPushButton *>("OK"), Qt::LeftButton); }, 1},
      {"the close box", [](QWidget *d) { d->close(); }, 2},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    TMessageForm form(QStringLiteral("End of database!"));
    ModalAnswerer answerer({c.answer});
    EXPECT_EQ(form.ShowModal(), c.result);
    EXPECT_FALSE(form.isVisible());
  }
}

TEST(NoticeTest, CtrlCCopiesTheFramedTextAndTheLayoutFollowsTheDialogUnits) {
  const QString divider = QString(27, QLatin1Char('-'));
  ModalAnswerer answerer({[&](QWidget *dialog) {
    QGuiApplication::clipboard()->setText(QStringLiteral("before"));
    press(dialog, Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(str(QGuiApplication::clipboard()->text()), "before") << "Ctrl+Shift+C copies nothing";
    press(dialog, Qt::Key_C, Qt::ControlModifier);
    const QString expected = divider + "\r\n" + Application->Title() + "\r\n" + divider + "\r\nEnd of database!\r\n" +
                             divider + "\r\nOK   \r\n" + divider + "\r\n";
    EXPECT_EQ(str(QGuiApplication::clipboard()->text()), str(expected));

    EXPECT_EQ(dialog->windowTitle(), Application->Title());
    const auto *message = dialog->findChild<QLabel *>("Message");
    const auto *ok = dialog->findChild<QPushButton *>("OK");
    ASSERT_TRUE(message && ok);
    EXPECT_TRUE(ok->hasFocus());
    EXPECT_EQ(dialog->findChildren<QPushButton *>().size(), 1);
    const QFontMetrics metrics(dialog->font());
    const int x = metrics.horizontalAdvance("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz") / 52;
    EXPECT_EQ(message->x(), static_cast<int>(8 * x / 4.0 + 0.5));
    EXPECT_NEAR(ok->x() + ok->width() / 2.0, dialog->width() / 2.0, 1) << "OK centred";
    EXPECT_EQ(dialog->width(), std::max(message->width(), ok->width()) + 2 * message->x());
    EXPECT_GE(ok->y(), message->geometry().bottom() + 1);
    press(dialog, Qt::Key_Return);
  }});
  ShowNotice(QStringLiteral("End of database!"));
  ASSERT_EQ(answerer.seen().size(), 1u);
}

TEST(NoticeTest, ALongTextWrapsWithinHalfTheScreen) {
  const int halfScreen = QGuiApplication::primaryScreen()->geometry().width() / 2;
  QString text;
  for (int i = 0; i < 60; ++i)
    text += QStringLiteral("word%1 ").arg(i);
  TMessageForm form(text.trimmed());
  const auto *message = form.findChild<QLabel *>("Message");
  EXPECT_LE(message->width(), halfScreen);
  EXPECT_GT(message->height(), 2 * form.fontMetrics().height()) << "several lines";
  EXPECT_LE(form.width(), halfScreen + 2 * message->x());
}

// While a dialog is up the other windows take no input; afterwards the
// window that was active has its focus back where it was, selection kept.
TEST(ModalLoopTest, OtherWindowsAreDisabledAndTheFocusComesBack) {
  QWidget window;
  auto *edit = new QLineEdit(QStringLiteral("background"), &window);
  window.show();
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  edit->setFocus();
  edit->setSelection(2, 3);
  ModalAnswerer answerer({[&](QWidget *dialog) {
    ASSERT_TRUE(QTest::qWaitForWindowActive(dialog));
    QTest::qWait(10);
    EXPECT_FALSE(window.isEnabled());
    press(dialog, Qt::Key_Return);
  }});
  ShowNotice(QStringLiteral("End of database!"));
  EXPECT_TRUE(window.isEnabled());
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  EXPECT_TRUE(edit->hasFocus());
  EXPECT_EQ(str(edit->selectedText()), "ckg");
}

} // namespace
} // namespace vandro::testing
