// The data-bound edit boxes and memos: which keys start an edit, what the
// typed text becomes in the field and when, and what the boxes show. Boxes
// of the main window over the relation table, and boxes made here over
// tables with other kinds of columns.
#include "Main.h"
#include "ModalAnswer.h"
#include "Program.h"
#include "TableFixture.h"
#include "controls/TDBEdit.h"
#include "controls/TDBMemo.h"
#include "shell/Exception.h"
#include "shell/TApplication.h"
#include "store/TDataSource.h"
#include "store/TSession.h"
#include "store/TTable.h"
#include "WindowFixture.h"

#include <QApplication>
#include <QClipboard>
#include <QImage>
#include <QLineEdit>
#include <QMenu>
#include <QTimer>
#include <QTest>
#include <QTextDocument>
#include <functional>
#include <map>
#include <memory>
#include <ostream>

namespace vandro::testing {
namespace {

using controls::TDBEdit;
using controls::TDBMemo;
using store::DataSetState;

const char *stateName(DataSetState state) {
  switch (state) {
  case DataSetState::Inactive: return "Inactive";
  case DataSetState::Browse: return "Browse";
  case DataSetState::Edit: return "Edit";
  case DataSetState::Insert: return "Insert";
  case DataSetState::SetKey: return "SetKey";
  }
  return "?";
}

// Gives `box` the keyboard focus as the Tab key would.
void focus(QWidget &box) {
  box.setFocus(Qt::TabFocusReason);
  ASSERT_TRUE(box.hasFocus()) << box.objectName().toStdString();
}

QString shownText(QWidget &box) {
  if (auto *edit = qobject_cast<QLineEdit *>(&box))
    return edit->text();
  return qobject_cast<TDBMemo *>(&box)->toPlainText();
}

// One key as the user gives it.
struct Key {
  const char *name;
  Qt::Key key;
  Qt::KeyboardModifiers modifiers;
  const char *text;
};

void press(QWidget &box, const Key &k) {
  if (k.text)
    QTest::keyClicks(&box, QString::fromLatin1(k.text));
  else
    QTest::keyClick(&box, k.key, k.modifiers);
}

// The leftmost column, inside the frame, in which the middle rows of the
// painted box hold a pixel of another colour than the box's background;
// -1 when the rows are empty.
int leftmostInk(QWidget &box) {
  constexpr int kFrame = 4;
  const QImage image = box.grab().toImage();
  const QColor background = box.palette().color(QPalette::Active, QPalette::Base);
  const int middle = image.height() / 2;
  for (int x = kFrame; x < image.width() - kFrame; ++x)
    for (int y = middle - 3; y <= middle + 3; ++y)
      if (image.pixelColor(x, y) != background)
        return x;
  return -1;
}

// The main window started in-process over the relation table.
class WindowTest : public WindowFixture {
protected:
  // Three records; the first with an Order and an Extended value.
  void startWindow() {
    makeRelationTable(numberedRows(3));
    makeTableFromSql("Vandro.DB", "UPDATE Vandro SET \"Order\" = '12', Extended = 'no',"
                                 " Span1 = 'first line' || char(10) || 'second' WHERE Id = 1;");
    ASSERT_TRUE(startProgram());
    showActive();
  }

  QString fieldText(const char *name) { return table().LookupField(QString::fromLatin1(name)).AsString(); }
  QWidget &box(const char *name) {
    auto *found = MainForm->findChild<QWidget *>(QString::fromLatin1(name));
    EXPECT_NE(found, nullptr) << name;
    return *found;
  }
  TDBEdit &edit(const char *name) { return *qobject_cast<TDBEdit *>(&box(name)); }
};

TEST_F(WindowTest, ADigitTypedIntoOrderStartsAnEditAtTheCaretAndIsWrittenOnLeaving) {
  startWindow();
  ModalAnswerer answerer;
  TDBEdit &order = edit("DBEdit6");
  focus(order);
  ASSERT_EQ(order.text(), QStringLiteral("12"));
  ASSERT_EQ(table().State(), DataSetState::Browse);
  order.setCursorPosition(1);
  QTest::keyClicks(&order, QStringLiteral("5"));
  EXPECT_EQ(table().State(), DataSetState::Edit);
  EXPECT_EQ(order.text(), QStringLiteral("152"));
  EXPECT_EQ(order.cursorPosition(), 2);
  EXPECT_EQ(fieldText("Order"), QStringLiteral("12")) << "written only when the box is left";
  QTest::keyClick(&order, Qt::Key_Tab);
  EXPECT_FALSE(order.hasFocus());
  EXPECT_EQ(fieldText("Order"), QStringLiteral("152"));
  EXPECT_TRUE(answerer.seen().empty());
}

TEST_F(WindowTest, ChangingKeysAskForAnEditOnlyInEditableBoxes) {
  startWindow();
  ModalAnswerer answerer;
  const Key keys[] = {
      {"digit", Qt::Key_7, Qt::NoModifier, "7"},
      {"letter", Qt::Key_X, Qt::NoModifier, "x"},
      {"Backspace", Qt::Key_Backspace, Qt::NoModifier, nullptr},
      {"Delete", Qt::Key_Delete, Qt::NoModifier, nullptr},
      {"Ctrl+V", Qt::Key_V, Qt::ControlModifier, nullptr},
      {"Ctrl+X", Qt::Key_X, Qt::ControlModifier, nullptr},
      {"Shift+Insert", Qt::Key_Insert, Qt::ShiftModifier, nullptr},
  };
  const char *readOnlyBoxes[] = {"DBEdit1", "DBEdit7",  "DBEdit8",  "DBEdit9", "DBEdit10",
                                 "DBEdit11", "DBEdit12", "DBMemo1", "DBMemo2"};
  for (const Key &k : keys) {
    SCOPED_TRACE(k.name);
    QGuiApplication::clipboard()->setText(QStringLiteral("99"));
    for (const char *name : readOnlyBoxes) {
      SCOPED_TRACE(name);
      QWidget &b = box(name);
      focus(b);
      const QString before = shownText(b);
      press(b, k);
      EXPECT_EQ(stateName(table().State()), std::string("Browse"));
      EXPECT_EQ(shownText(b), before);
    }
    TDBEdit &relation = edit("DBEdit2");
    focus(relation); // all of the text selected
    press(relation, k);
    EXPECT_EQ(stateName(table().State()), std::string("Edit"));
    EXPECT_NE(relation.text(), fieldText("Relation")) << "the key acted once the edit began";
    QTest::keyClick(&relation, Qt::Key_Escape);
    table().Cancel();
  }

  // While the table is in edit mode a read-only box still takes no text.
  table().Edit();
  for (const char *name : readOnlyBoxes) {
    SCOPED_TRACE(name);
    QWidget &b = box(name);
    focus(b);
    const QString before = shownText(b);
    QTest::keyClicks(&b, QStringLiteral("7x"));
    QTest::keyClick(&b, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(shownText(b), before);
  }
  EXPECT_FALSE(table().Modified());
  EXPECT_TRUE(answerer.seen().empty());
}

// Browsing, the boxes still select and copy from the keyboard, and an
// editable box's menu offers its changes: choosing one starts the edit.
TEST_F(WindowTest, BrowsingTheBoxesSelectAndTheirMenuStartsAnEdit) {
  startWindow();
  ModalAnswerer answerer;
  auto *memo = qobject_cast<TDBMemo *>(&box("DBMemo1"));
  focus(*memo);
  QTest::keyClick(memo, Qt::Key_Home, Qt::ControlModifier);
  QTest::keyClick(memo, Qt::Key_End, Qt::ShiftModifier);
  EXPECT_EQ(memo->textCursor().selectedText(), QStringLiteral("first line"));
  TDBEdit &order = edit("DBEdit6");
  focus(order);
  QTest::keyClick(&order, Qt::Key_End);
  QTest::keyClick(&order, Qt::Key_Left, Qt::ShiftModifier);
  EXPECT_EQ(order.selectedText(), QStringLiteral("2"));
  EXPECT_EQ(stateName(table().State()), std::string("Browse"));

  // The menu's Paste, with and without text to paste.
  auto menuOf = [](TDBEdit &edit, bool choosePaste) {
    std::map<std::string, bool> enabled;
    QTimer::singleShot(50, [&] {
      auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
      if (!menu)
        return;
      for (QAction *action : menu->actions()) {
        const QString name = action->text().section(QLatin1Char('\t'), 0, 0).remove(QLatin1Char('&'));
        enabled[name.toStdString()] = action->isEnabled();
        if (choosePaste && name == QStringLiteral("Paste"))
          action->trigger();
      }
      menu->close();
    });
    const QPoint centre = edit.rect().center();
    QContextMenuEvent request(QContextMenuEvent::Keyboard, centre, edit.mapToGlobal(centre));
    QApplication::sendEvent(&edit, &request);
    return enabled;
  };
  TDBEdit &relation = edit("DBEdit2");
  focus(relation);
  QGuiApplication::clipboard()->clear();
  EXPECT_FALSE(menuOf(relation, false)["Paste"]) << "nothing to paste";
  QGuiApplication::clipboard()->setText(QStringLiteral("pasted"));
  EXPECT_FALSE(menuOf(edit("DBEdit7"), false)["Paste"]) << "a read-only box";
  focus(relation);
  EXPECT_TRUE(menuOf(relation, true)["Paste"]);
  EXPECT_EQ(stateName(table().State()), std::string("Edit"));
  EXPECT_EQ(relation.text(), QStringLiteral("pasted"));
  table().Cancel();
  EXPECT_TRUE(answerer.seen().empty());
}

TEST_F(WindowTest, EscapeBringsTheFieldsTextBackSelectedAndTheEditGoesOn) {
  startWindow();
  ModalAnswerer answerer;
  TDBEdit &relation = edit("DBEdit2");
  focus(relation);
  const QString stored = fieldText("Relation");
  ASSERT_FALSE(stored.isEmpty());
  relation.end(false);
  QTest::keyClicks(&relation, QStringLiteral("xyz"));
  ASSERT_EQ(relation.text(), stored + QStringLiteral("xyz"));
  QTest::keyClick(&relation, Qt::Key_Escape);
  EXPECT_EQ(relation.text(), stored);
  EXPECT_EQ(relation.selectedText(), stored);
  EXPECT_EQ(table().State(), DataSetState::Edit);
  QTest::keyClick(&relation, Qt::Key_Tab);
  EXPECT_EQ(fieldText("Relation"), stored);
  EXPECT_FALSE(table().Modified()) << "nothing is written back after Escape";
  EXPECT_TRUE(answerer.seen().empty());
}

// Another client stores the record after the window showed it: the key
// that starts the edit is not applied to a text the user never saw; the
// box shows the stored one and the user is told. The next key edits it.
TEST_F(WindowTest, AKeyMeantForATextAnotherClientChangedIsNotApplied) {
  startWindow();
  ModalAnswerer answerer;
  TDBEdit &relation = edit("DBEdit2");
  struct Case {
    const char *name;
    bool allSelected; // entered by Tab (all selected) rather than a click and End
    QString (*stored)(const QString &shown);
  };
  const Case cases[] = {
      {"a longer text", false, [](const QString &s) { return s + "XZ"; }},
      {"a shorter text", false, [](const QString &s) { return s.left(2); }},
      {"all selected", true, [](const QString &s) { return s + "XZ"; }},
  };
  std::size_t told = 0;
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    const QString shown = relation.text();
    ASSERT_FALSE(shown.isEmpty());
    makeTableFromSql("Vandro.DB", "UPDATE Vandro SET Relation = '" + c.stored(shown).toStdString() + "' WHERE Id = 1");
    if (c.allSelected) {
      focus(relation);
    } else {
      QTest::mouseClick(&relation, Qt::LeftButton);
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_End);
    }
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("B"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return answerer.seen().size() > told && !QApplication::activeModalWidget(); }));
    EXPECT_TRUE(answerer.seen()[told].text.contains(QStringLiteral("changed by another user")) &&
                answerer.seen()[told].text.contains(QStringLiteral("Relation")))
        << str(answerer.seen()[told].text);
    told = answerer.seen().size();
    EXPECT_EQ(relation.text(), c.stored(shown));
    EXPECT_EQ(table().State(), DataSetState::Browse);
    EXPECT_EQ(stored(1, "Relation"), c.stored(shown).toStdString());
    EXPECT_TRUE(QTest::qWaitFor([&] { return relation.hasFocus(); })) << "the focus comes back to the box";
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_End);
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("B"));
    EXPECT_EQ(table().State(), DataSetState::Edit);
    EXPECT_EQ(relation.text(), c.stored(shown) + "B");
    table().Cancel();
    MainForm->setFocus();
  }
  EXPECT_EQ(answerer.seen().size(), std::size(cases)) << "an unchanged record starts its edit without a word";
}

TEST_F(WindowTest, EscapeDropsAnEditThatNoPostCanStoreAndShowsTheStoredRecord) {
  startWindow();
  ModalAnswerer answerer;
  TDBEdit &relation = edit("DBEdit2");
  const QString stored = relation.text();
  focus(relation);
  relation.end(false);
  QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("Q"));
  // Another program changes the record meanwhile: every post is refused.
  makeTableFromSql("Vandro.DB", "UPDATE Vandro SET \"Order\" = 'XX' WHERE Id = 1");
  for (int attempt = 0; attempt < 2; ++attempt) {
    try {
      table().Post();
      ADD_FAILURE() << "stored over another program's change";
    } catch (const EDBEngineError &error) {
      EXPECT_TRUE(error.message().contains(QStringLiteral("Escape"))) << error.message().toStdString();
    }
    EXPECT_EQ(table().State(), DataSetState::Edit);
  }
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
  EXPECT_EQ(table().State(), DataSetState::Browse);
  EXPECT_EQ(relation.text(), stored);
  EXPECT_EQ(edit("DBEdit6").text(), QStringLiteral("XX"));
  EXPECT_TRUE(answerer.seen().empty());
}

TEST_F(WindowTest, LeavingWritesTheFieldAndAMovePostsTheTypedTextFirst) {
  startWindow();
  ModalAnswerer answerer;
  TDBEdit &extended = edit("DBEdit3");
  focus(extended);
  QTest::keyClicks(&extended, QStringLiteral("yes"));
  QTest::keyClick(&extended, Qt::Key_Tab);
  EXPECT_EQ(fieldText("Extended"), QStringLiteral("yes"));
  EXPECT_EQ(table().State(), DataSetState::Edit) << "leaving the box does not post";

  // Typed but not yet written: the move writes it and posts, as the
  // navigator's Next does, the focus staying in the box.
  focus(extended);
  extended.end(false);
  QTest::keyClicks(&extended, QStringLiteral("!"));
  table().Next();
  EXPECT_EQ(table().State(), DataSetState::Browse);
  EXPECT_EQ(fieldText("Id"), QStringLiteral("2"));
  EXPECT_EQ(extended.text(), fieldText("Extended")) << "the box shows the new record";
  table().Prior();
  EXPECT_EQ(fieldText("Id"), QStringLiteral("1"));
  EXPECT_EQ(fieldText("Extended"), QStringLiteral("yes!"));

  // Stored in the table file, not only in the window.
  m_program.reset();
  store::TSession session(QStringLiteral("Check"));
  store::TTable reopened(QStringLiteral("Table1"), &session);
  reopened.DatabaseName = QString::fromStdString(m_directory);
  reopened.TableName = QStringLiteral("Vandro.DB");
  reopened.Open();
  EXPECT_EQ(reopened.LookupField(QStringLiteral("Extended")).AsString(), QStringLiteral("yes!"));
  EXPECT_TRUE(answerer.seen().empty());
}

TEST_F(WindowTest, ABoundFieldTheTableLacksEndsStartUp) {
  // The relation columns without Order.
  makeTableFromSql("Vandro.DB",
                   "CREATE TABLE Vandro (Id INTEGER NOT NULL PRIMARY KEY, \"From\" VARCHAR(60),"
                   " Relation VARCHAR(30), Extended VARCHAR(10), Embedded VARCHAR(10), Volitional VARCHAR(10),"
                   " Span1 TEXT, Span2 TEXT, L1 INTEGER, H1 INTEGER, L2 INTEGER, H2 INTEGER,"
                   " Segments_distance INTEGER, Marker1 VARCHAR(60), Position1 VARCHAR(20),"
                   " Marker2 VARCHAR(60), Position2 VARCHAR(20));"
                   "INSERT INTO Vandro (Id, Relation) VALUES (1, 'joint');");
  ModalAnswerer answerer{{ModalAnswerer::press(QStringLiteral("OK"))}};
  m_program = std::make_unique<Program>();
  EXPECT_FALSE(m_program->startUp());
  ASSERT_EQ(answerer.seen().size(), 1u);
  EXPECT_EQ(answerer.seen()[0].title, QStringLiteral("Application Error"));
  EXPECT_TRUE(answerer.seen()[0].text.contains(QStringLiteral("DBEdit6: Field 'Order' not found")))
      << answerer.seen()[0].text.toStdString();
  EXPECT_EQ(MainForm, nullptr);
}

// Boxes made here, in a window of their own, over table N: an integer, a
// short string and a memo column.
class BoundBoxTest : public TableFixture {
protected:
  void SetUp() override {
    TableFixture::SetUp();
    makeTableFromSql("N.DB", "CREATE TABLE N (Id INTEGER NOT NULL PRIMARY KEY, Num INTEGER, Name VARCHAR(10),"
                             " Notes TEXT);"
                             "INSERT INTO N VALUES (1, 42, 'abc', 'one' || char(13) || char(10) || 'two'"
                             " || char(10) || 'three');");
    openTable();
    m_host = std::make_unique<QWidget>();
    m_host->resize(260, 200);
    m_other = new QLineEdit(m_host.get());
    m_other->setObjectName(QStringLiteral("Other"));
    m_other->setGeometry(10, 150, 100, 24);
  }
  void TearDown() override {
    m_host.reset();
    m_source.reset();
    m_table.reset();
    m_session.reset();
    TableFixture::TearDown();
  }

  void openTable() {
    m_host.reset();
    m_source.reset();
    m_table.reset();
    m_session = std::make_unique<store::TSession>();
    m_table = std::make_unique<store::TTable>(QStringLiteral("Table1"), m_session.get());
    m_table->DatabaseName = QString::fromStdString(m_directory);
    m_table->TableName = QStringLiteral("N.DB");
    m_table->Open();
    m_source = std::make_unique<store::TDataSource>(QStringLiteral("DataSource1"));
    m_source->setDataSet(m_table.get());
  }

  // An editable box for `field`, first in the keyboard order, then Other.
  TDBEdit &addEdit(const char *field, int top = 10) {
    auto *box = new TDBEdit(QStringLiteral("DB") + QLatin1String(field), QString::fromLatin1(field),
                            controls::BoxAccess::Editable, m_host.get());
    box->setGeometry(10, top, 200, 24);
    box->link().setDataSource(m_source.get());
    QWidget::setTabOrder(box, m_other);
    return *box;
  }

  store::TField &field(const char *name) { return m_table->LookupField(QString::fromLatin1(name)); }

  std::unique_ptr<store::TSession> m_session;
  std::unique_ptr<store::TTable> m_table;
  std::unique_ptr<store::TDataSource> m_source;
  std::unique_ptr<QWidget> m_host;
  QLineEdit *m_other = nullptr;
};

TEST_F(BoundBoxTest, AnIntegerBoxTakesOnlyWhatAnIntegerCanHold) {
  TDBEdit &num = addEdit("Num");
  activate(*m_host);
  focus(num);
  ASSERT_EQ(num.text(), QStringLiteral("42"));
  num.end(false);

  // Refused characters leave the text and the state as they were, in
  // browse and in edit mode.
  QTest::keyClicks(&num, QStringLiteral("a"));
  EXPECT_EQ(num.text(), QStringLiteral("42"));
  EXPECT_EQ(m_table->State(), DataSetState::Browse);
  QTest::keyClicks(&num, QStringLiteral("7"));
  EXPECT_EQ(m_table->State(), DataSetState::Edit);
  EXPECT_EQ(num.text(), QStringLiteral("427"));
  for (const char *refused : {"a", "x", ".", " ", "e"}) {
    SCOPED_TRACE(refused);
    QTest::keyClicks(&num, QString::fromLatin1(refused));
    EXPECT_EQ(num.text(), QStringLiteral("427"));
    EXPECT_EQ(m_table->State(), DataSetState::Edit);
  }
  QTest::keyClick(&num, Qt::Key_Tab);
  EXPECT_EQ(field("Num").AsString(), QStringLiteral("427"));

  // All text cleared: null, stored so.
  focus(num);
  QTest::keyClick(&num, Qt::Key_Backspace);
  ASSERT_EQ(num.text(), QString());
  QTest::keyClick(&num, Qt::Key_Tab);
  EXPECT_TRUE(field("Num").IsNull());
  m_table->Post();
  openTable();
  EXPECT_TRUE(field("Num").IsNull()) << "read back from the table";
}

TEST_F(BoundBoxTest, TextThatIsNoIntegerFailsOnLeavingAndTheBoxKeepsIt) {
  TDBEdit &num = addEdit("Num");
  activate(*m_host);
  ModalAnswerer answerer{{ModalAnswerer::press(QStringLiteral("OK"))}};
  focus(num);
  QTest::keyClicks(&num, QStringLiteral("1-2"));
  ASSERT_EQ(num.text(), QStringLiteral("1-2")) << "'-' passes the typing filter";
  QTest::keyClick(&num, Qt::Key_Tab);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !answerer.seen().empty() && QApplication::activeModalWidget() == nullptr; }));
  ASSERT_EQ(answerer.seen().size(), 1u);
  EXPECT_EQ(answerer.seen()[0].className, QStringLiteral("QMessageBox"));
  EXPECT_TRUE(answerer.seen()[0].text.startsWith(
      QStringLiteral("'1-2' is not a valid integer value for field 'Num'")))
      << answerer.seen()[0].text.toStdString();
  QTest::qWait(20);
  EXPECT_TRUE(num.hasFocus()) << "the focus comes back to the box";
  EXPECT_EQ(num.text(), QStringLiteral("1-2"));
  EXPECT_EQ(num.selectedText(), QStringLiteral("1-2"));
  EXPECT_EQ(m_table->State(), DataSetState::Edit);
  EXPECT_EQ(field("Num").AsString(), QStringLiteral("42"));
}

// The field's size counts characters, also those beyond the Basic
// Multilingual Plane (two UTF-16 units each): typing, pasting and
// BackSpace never split one, and the 11th is refused.
TEST_F(BoundBoxTest, AStringBoxTakesAsManyCharactersAsItsFieldHolds) {
  TDBEdit &name = addEdit("Name");
  activate(*m_host);
  const QString face = QString::fromUtf8("\xF0\x9F\x98\x80"), ten = QString::fromUtf8("\xF0\x9D\x84\x9E").repeated(10);
  struct Case {
    QString typed, pasted, box;
    int backspaces;
    QString stored;
  } cases[] = {
      {QStringLiteral("abcdefghijk"), {}, QStringLiteral("abcdefghij"), 0, QStringLiteral("abcdefghij")},
      {face.repeated(11), {}, face.repeated(10), 1, face.repeated(9)},
      {QStringLiteral("ab"), face.repeated(12), QStringLiteral("ab") + face.repeated(8), 0,
       QStringLiteral("ab") + face.repeated(8)},
      {{}, ten, ten, 0, ten},
  };
  for (const Case &c : cases) {
    focus(name);
    QTest::keyClick(&name, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(&name, Qt::Key_Backspace);
    ASSERT_EQ(m_table->State(), DataSetState::Edit);
    // One key per character, as the keyboard sends it: a pair is one text.
    for (qsizetype i = 0; i < c.typed.size(); i += c.typed[i].isHighSurrogate() ? 2 : 1)
      QTest::sendKeyEvent(QTest::Click, &name, Qt::Key_unknown, c.typed.mid(i, c.typed[i].isHighSurrogate() ? 2 : 1),
                          Qt::NoModifier);
    if (!c.pasted.isEmpty()) {
      QApplication::clipboard()->setText(c.pasted);
      QTest::keyClick(&name, Qt::Key_V, Qt::ControlModifier);
    }
    EXPECT_EQ(name.text(), c.box) << str(c.typed);
    for (int i = 0; i < c.backspaces; ++i)
      QTest::keyClick(&name, Qt::Key_Backspace);
    QTest::keyClick(&name, Qt::Key_Tab);
    EXPECT_EQ(field("Name").AsString(), c.stored) << str(c.typed);
    m_table->Post();
  }
  // A stored text is shown whole.
  m_table->Edit();
  field("Name").setAsString(ten);
  m_table->Post();
  EXPECT_EQ(name.text(), ten);
}

TEST_F(BoundBoxTest, NumbersStandRightWhileTheBoxHasNoFocus) {
  TDBEdit &num = addEdit("Num", 10);
  TDBEdit &name = addEdit("Name", 50);
  activate(*m_host);
  const int width = num.width();
  QWidget elsewhere;
  const struct {
    const char *box;
    TDBEdit &edit;
    bool focused;
    bool right;
    bool windowInactive = false;
  } cases[] = {
      {"Num unfocused", num, false, true},
      {"Num focused", num, true, false},
      {"Num focused, another window active", num, true, false, true},
      {"Name unfocused", name, false, false},
      {"Num unfocused again", num, false, true},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.box);
    if (c.focused) {
      focus(c.edit);
      c.edit.end(false); // no selection; the caret after the text
      if (c.windowInactive) {
        activate(elsewhere);
        ASSERT_EQ(m_host->focusWidget(), &c.edit);
      }
    } else {
      m_other->setFocus(Qt::TabFocusReason);
      ASSERT_FALSE(c.edit.hasFocus());
    }
    const int left = leftmostInk(c.edit);
    ASSERT_GE(left, 0) << "no text painted";
    if (c.right)
      EXPECT_GT(left, width * 3 / 4);
    else
      EXPECT_LT(left, width / 8);
    activate(*m_host);
  }
}

TEST_F(BoundBoxTest, AMemoShowsItsTextWithItsLineBreaksUpToItsCapacity) {
  const struct {
    const char *what;
    qsizetype capacity;
    QString shown;
    int lines;
  } cases[] = {
      {"default capacity", TDBMemo::kDefaultCapacity, QStringLiteral("one\ntwo\nthree"), 3},
      {"capacity 10", 10, QStringLiteral("(Text exceeds memo capacity)"), 1},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.what);
    TDBMemo memo(QStringLiteral("DBMemo1"), QStringLiteral("Notes"), controls::BoxAccess::ReadOnly, m_host.get());
    memo.setCapacity(c.capacity);
    memo.link().setDataSource(m_source.get());
    EXPECT_EQ(memo.toPlainText(), c.shown);
    EXPECT_EQ(memo.document()->blockCount(), c.lines);
  }
}

// A key look-up writes the key into the key field while it searches; once
// it is over, the boxes show the record that is current again, also when no
// record has that key.
TEST_F(WindowTest, AKeyLookUpThatFindsNothingLeavesTheBoxesOnTheCurrentRecord) {
  startWindow();
  auto *id = MainForm->findChild<TDBEdit *>(QStringLiteral("DBEdit1"));
  ASSERT_NE(id, nullptr);
  EXPECT_FALSE(MainForm->Table1()->FindByKey(99));
  EXPECT_EQ(id->text(), QStringLiteral("1"));
  EXPECT_TRUE(MainForm->Table1()->FindByKey(3));
  EXPECT_EQ(id->text(), QStringLiteral("3"));
}

// A data source that goes before the controls linked to it leaves them
// unlinked, not pointing at it.
TEST(DataSourceLifetimeTest, ControlsForgetADataSourceThatGoesFirst) {
  auto source = std::make_unique<store::TDataSource>(QStringLiteral("DataSource1"));
  TDBEdit edit(QStringLiteral("Box"), QStringLiteral("Relation"), controls::BoxAccess::Editable);
  edit.link().setDataSource(source.get());
  ASSERT_EQ(edit.link().dataSource(), source.get());
  source.reset();
  EXPECT_EQ(edit.link().dataSource(), nullptr);
}

} // namespace
} // namespace vandro::testing
