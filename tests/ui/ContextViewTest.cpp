// The context view over a table imported from an RST document, driven as
// an annotator does: F2, moves with the window's keys, markers chosen by
// clicking tokens and stored with Ctrl+I, then the export of the document.
#include "ContextView.h"
#include "Main.h"
#include "Program.h"
#include "TableFixture.h"
#include "WindowFixture.h"
#include "controls/TComboBox.h"
#include "controls/TDBNavigator.h"
#include "controls/TEdit.h"
#include "store/TTable.h"

#include <QApplication>
#include <QFile>
#include <QProcess>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <sqlite3.h>

namespace vandro::testing {
namespace {

class ContextViewTest : public TableFixture {
protected:
  void SetUp() override {
    TableFixture::SetUp();
    ASSERT_EQ(admin({"import-rst", "Vandro", "Vandro.DB", VANDRO_RST_FIXTURES "/walk.rs4"}), 0);
    // A record that came from no document, as a CSV import or the window
    // makes them.
    sqlite3 *db = nullptr;
    ASSERT_EQ(sqlite3_open(tablePath().c_str(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, "INSERT INTO Vandro (Id, Relation) VALUES (50, 'joint')", nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);
    ASSERT_TRUE(m_program.startUp());
    activate(*MainForm);
  }
  void TearDown() override {
    m_program.shutDown();
    TableFixture::TearDown();
  }
  // vandro-admin with `arguments`, on the test's configuration; its exit code.
  int admin(const QStringList &arguments) {
    QProcess process;
    process.start(QStringLiteral(VANDRO_ADMIN_PROGRAM), arguments);
    process.waitForFinished(60000);
    m_adminOutput = QString::fromUtf8(process.readAllStandardOutput() + process.readAllStandardError());
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
  }
  // A key as the keyboard sends it: to the widget that has the focus.
  static void press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QWidget *focused = QApplication::focusWidget();
    ASSERT_TRUE(focused) << "no box has the focus";
    QTest::keyClick(focused, static_cast<Qt::Key>(key), modifiers);
  }
  static ContextView &view() { return *MainForm->contextView(); }
  // A click on the middle of token `token`'s first letter.
  static void click(int token, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    const auto place = view().tokenPlace(token);
    ASSERT_TRUE(place);
    QTextCursor cursor(view().text()->document());
    cursor.setPosition(place->first);
    const QRect caret = view().text()->cursorRect(cursor);
    QTest::mouseClick(view().text()->viewport(), Qt::LeftButton, modifiers,
                      QPoint(caret.left() + 3, caret.center().y()));
  }
  static QString text() { return view().text()->document()->toPlainText(); }

  Program m_program;
  QString m_adminOutput;
};

// The annotator opens the view with F2, steps to the elaboration with the
// window's keys from inside the view, clicks the second "we" of its second
// span (the words alone would give the first) and stores it with Ctrl+I;
// the export writes exactly that token as the signal.
TEST_F(ContextViewTest, AMarkerClickedInTheViewIsStoredAndExportedOnItsTokens) {
  press(Qt::Key_F2);
  ASSERT_TRUE(view().isVisible());
  EXPECT_TRUE(ContextView::rememberedOpen());
  EXPECT_TRUE(view().heading().startsWith(QStringLiteral("walk · concession · satellite 1 (span 1)")))
      << view().heading().toStdString();
  EXPECT_TRUE(text().startsWith(QStringLiteral("1  Although it rained ,\n2  we went out .")))
      << text().toStdString();
  activate(view());
  for (int moves = 0; moves < 5 && !view().heading().contains(QStringLiteral("elaboration")); ++moves)
    press(Qt::Key_PageDown, Qt::ControlModifier);
  ASSERT_TRUE(view().heading().contains(QStringLiteral("walk · elaboration · satellite 3–6 (span 2)")))
      << view().heading().toStdString();
  const QString id = MainForm->Table1()->LookupField(QStringLiteral("Id")).AsString();

  // A token of neither span is refused, saying so.
  click(29);
  EXPECT_TRUE(view().message().contains(QStringLiteral("neither span"))) << view().message().toStdString();
  EXPECT_EQ(MainForm->Edit2->text().toStdString(), "saw + we went");

  // A token chosen and taken back: the boxes hold the record's marker again.
  click(20);
  EXPECT_EQ(MainForm->Edit2->text().toStdString(), "we");
  click(20);
  EXPECT_EQ(MainForm->Edit2->text().toStdString(), "saw + we went");
  EXPECT_EQ(MainForm->ComboBox3->text().toStdString(), "Multiple");

  click(20);
  EXPECT_EQ(MainForm->Edit2->text().toStdString(), "we");
  EXPECT_EQ(MainForm->ComboBox3->text().toStdString(), "Middle");
  click(22, Qt::ControlModifier);
  EXPECT_EQ(MainForm->Edit2->text().toStdString(), "we ... home");
  click(23, Qt::ShiftModifier); // reaches on from "home", keeping "we"
  EXPECT_EQ(MainForm->Edit2->text().toStdString(), "we ... home .");
  click(23, Qt::ControlModifier);
  click(15, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_EQ(MainForm->Edit2->text().toStdString(), "saw + we ... home");
  EXPECT_EQ(MainForm->ComboBox3->text().toStdString(), "Multiple");
  click(15, Qt::ControlModifier); // out of the second signal again
  click(22, Qt::ControlModifier); // the first signal is the last extended: taken out of it
  EXPECT_EQ(MainForm->Edit2->text().toStdString(), "we");
  press(Qt::Key_I, Qt::ControlModifier);
  EXPECT_EQ(stored(id.toInt(), "Marker2"), "we");
  EXPECT_EQ(stored(id.toInt(), "Position2"), "Middle");

  ASSERT_EQ(admin({"export-rst", "Vandro", "Vandro.DB", QString::fromStdString(m_directory + "/out")}), 0)
      << m_adminOutput.toStdString();
  EXPECT_TRUE(m_adminOutput.contains(QStringLiteral("signal added: \"we\" (tokens 20)"))) << m_adminOutput.toStdString();
  QFile exported(QString::fromStdString(m_directory + "/out/walk.rs4"));
  ASSERT_TRUE(exported.open(QIODevice::ReadOnly));
  const QByteArray bytes = exported.readAll();
  EXPECT_TRUE(bytes.contains("<signal source=\"21\" type=\"dm\" subtype=\"dm\" tokens=\"20\"/>")) << bytes.toStdString();
  EXPECT_FALSE(bytes.contains("tokens=\"20,21\"")) << bytes.toStdString();

  // The picture of the view as it stands, for the eye.
  EXPECT_TRUE(view().grab().save(QString::fromStdString(m_directory + "/context-view.png")));
  if (const char *keep = std::getenv("VANDRO_KEEP_PICTURES"))
    view().grab().save(QString::fromUtf8(keep) + QStringLiteral("/context-view.png"));
}

// A record of no kept document says so; Escape closes the view, remembered
// closed; F2 opens it again, and the next start opens it with the window.
TEST_F(ContextViewTest, TheViewFollowsEveryRecordAndIsRememberedOpenOrClosed) {
  press(Qt::Key_F2);
  activate(view());
  press(Qt::Key_End, Qt::AltModifier);
  EXPECT_EQ(MainForm->Table1()->LookupField(QStringLiteral("Id")).AsString().toStdString(), "50");
  EXPECT_TRUE(text().contains(QStringLiteral("came from no document kept with the table"))) << text().toStdString();
  press(Qt::Key_Home, Qt::AltModifier);
  EXPECT_TRUE(view().heading().startsWith(QStringLiteral("walk · concession"))) << view().heading().toStdString();

  // A relation corrected and posted: the line above says so at once.
  activate(*MainForm);
  QWidget *relation = MainForm->findChild<QWidget *>(QStringLiteral("DBEdit2"));
  relation->setFocus(Qt::TabFocusReason);
  QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("antithesis"));
  MainForm->DBNavigator2->BtnClick(controls::NavigateButton::Post);
  EXPECT_TRUE(view().heading().startsWith(QStringLiteral("walk · antithesis"))) << view().heading().toStdString();
  activate(view());

  press(Qt::Key_Escape);
  EXPECT_FALSE(view().isVisible());
  EXPECT_FALSE(ContextView::rememberedOpen());
  activate(*MainForm);
  press(Qt::Key_F2);
  EXPECT_TRUE(view().isVisible());

  m_program.shutDown();
  ASSERT_TRUE(m_program.startUp());
  activate(*MainForm);
  for (int waits = 0; waits < 100 && !view().isVisible(); ++waits)
    QTest::qWait(10); // it opens once the window has its place
  ASSERT_TRUE(view().isVisible());
  EXPECT_TRUE(view().heading().startsWith(QStringLiteral("walk · antithesis"))) << view().heading().toStdString();
}

} // namespace
} // namespace vandro::testing
