// The discourse marker panel as the annotator uses it: the four boxes
// refilled from every record the cursor scrolls to, the default position
// while a marker is typed, and "Insert" storing the markers with the number
// of segments between the spans. Keys go to the focused widget, clicks to
// the controls, and what is stored is read back from the file.
#include "corpus/History.h"
#include "Main.h"
#include "ModalAnswer.h"
#include "Program.h"
#include "TableFixture.h"
#include "controls/TComboBox.h"
#include "controls/TDBNavigator.h"
#include "controls/TEdit.h"
#include "engine/Engine.h"
#include "shell/TApplication.h"
#include "store/TTable.h"
#include "WindowFixture.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <functional>

namespace vandro::testing {
namespace {

using store::DataSetState;

// The standard relation table, but with real numbers for the span bounds.
const char *kRealBoundsTable =
    "CREATE TABLE Vandro (Id INTEGER NOT NULL PRIMARY KEY, \"From\" VARCHAR(60), Relation VARCHAR(30),"
    " Extended VARCHAR(10), Embedded VARCHAR(10), Volitional VARCHAR(10), \"Order\" VARCHAR(10),"
    " Span1 TEXT, Span2 TEXT, L1 INTEGER, H1 REAL, L2 REAL, H2 INTEGER, Segments_distance INTEGER,"
    " Marker1 VARCHAR(60), Position1 VARCHAR(20), Marker2 VARCHAR(60), Position2 VARCHAR(20));"
    "INSERT INTO Vandro (Id, H1, L2) VALUES (1, 2, 7.5), (2, 2, 8.5);";

class MarkerPanelTest : public WindowFixture {
protected:
  // The program on the table made so far, its window active.
  void start() {
    ASSERT_TRUE(startProgram());
    showActive();
  }

  // The four boxes: "marker1|position1|marker2|position2".
  static std::string panel() {
    return str(MainForm->Edit1->text() + '|' + MainForm->ComboBox2->text() + '|' + MainForm->Edit2->text() + '|' +
               MainForm->ComboBox3->text());
  }

  // Tab into `box` (all its text selected), then type as the keyboard does.
  static void typeInto(QWidget *box, const QString &text) {
    MainForm->Button3->setFocus(Qt::OtherFocusReason);
    box->setFocus(Qt::TabFocusReason);
    for (const QChar c : text)
      QTest::keyClick(QApplication::focusWidget(), c.toLatin1());
  }

  // Clicks "Insert"; the error box it shows, if any, is answered with OK and
  // its text returned.
  static std::string clickInsert() {
    ModalAnswerer answerer({ModalAnswerer::press(QStringLiteral("OK"))});
    QTest::mouseClick(MainForm->Button2, Qt::LeftButton);
    if (answerer.seen().empty())
      return "";
    EXPECT_TRUE(QTest::qWaitForWindowActive(MainForm));
    return str(answerer.seen().front().text);
  }
};

TEST_F(MarkerPanelTest, EveryScrollRefillsTheBoxesWithTheRecordsOwnTexts) {
  makeRelationTable({{1, "contrast", 1, 2, "because", {}, "then", "End", {}, {}},
                     {2, "contrast", 1, 2, "because", "Middle", {}, {}, {}, {}},
                     {3, "contrast", 1, 2, {}, {}, {}, {}, {}, {}},
                     {4, "contrast", 1, 2, "but", "beginning", "so", "Multiple", {}, {}}});
  start();
  EXPECT_EQ(str(MainForm->Edit1->selectedText()), "because") << "where the program put the focus at start";
  QSignalSpy edit1Changes(MainForm->Edit1, &QLineEdit::textChanged);
  const struct {
    const char *step;
    std::function<void()> action;
    const char *panel;
    int edit1Changes; // how often Edit1Change ran
    bool asked;       // whether the typed marker was asked about (and dropped)
  } steps[] = {
      {"opened", [] {}, "because||then|End", 0, false},
      {"Next, the same Marker1", [] { table().Next(); }, "because|Middle||", 0, false},
      {"Next to nulls", [] { table().Next(); }, "|||", 1, false},
      {"Last", [] { table().Last(); }, "but|beginning|so|Multiple", 1, false},
      {"typed", [] { typeInto(MainForm->Edit1, QStringLiteral("xyz")); }, "xyz|beginning|so|Multiple", 3, false},
      {"Next refused at the end", [] { table().Next(); }, "xyz|beginning|so|Multiple", 0, false},
      {"a key nobody has", [] { EXPECT_FALSE(table().FindByKey(99)); }, "xyz|beginning|so|Multiple", 0, true},
      {"a key found", [] { EXPECT_TRUE(table().FindByKey(1)); }, "because||then|End", 1, true},
      {"First, already there", [] { table().First(); }, "because||then|End", 0, false},
      {"Prior refused at the start", [] { table().Prior(); }, "because||then|End", 0, false},
  };
  for (const auto &s : steps) {
    SCOPED_TRACE(s.step);
    edit1Changes.clear();
    ModalAnswerer answerer({ModalAnswerer::press(QStringLiteral("Drop"))});
    s.action();
    EXPECT_EQ(panel(), s.panel);
    EXPECT_EQ(edit1Changes.count(), s.edit1Changes);
    EXPECT_EQ(answerer.seen().size(), s.asked ? 1u : 0u);
  }
}

TEST_F(MarkerPanelTest, AMarkerTypedIntoABlankPositionGetsBeginning) {
  makeRelationTable({{1, "contrast", 1, 2, {}, {}, {}, {}, {}, {}}});
  start();
  const struct {
    const char *name;
    const char *box;
    const char *position; // the chooser's text before typing
    const char *typed;    // "\b": Backspace over the whole text
    const char *after;
  } cases[] = {
      {"Span1, blank", "Edit1", "", "b", "Beginning"},
      {"Span2, blank", "Edit2", "", "so", "Beginning"},
      {"a list position", "Edit1", "End", "b", "End"},
      {"free text", "Edit2", "front", "b", "front"},
      {"cleared marker, blank", "Edit1", "", "\b", "Beginning"},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    const bool first = std::string(c.box) == "Edit1";
    controls::TEdit *edit = first ? MainForm->Edit1 : MainForm->Edit2;
    controls::TComboBox *position = first ? MainForm->ComboBox2 : MainForm->ComboBox3;
    edit->assignText(QStringLiteral("x"));
    position->setText(QString::fromLatin1(c.position));
    if (std::string(c.typed) == "\b") {
      typeInto(edit, {});
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backspace);
      EXPECT_EQ(str(edit->text()), "");
    } else {
      typeInto(edit, QString::fromLatin1(c.typed));
    }
    EXPECT_EQ(str(position->text()), c.after);
  }
  EXPECT_EQ(table().State(), DataSetState::Browse) << "the panel alone never edits";
  EXPECT_EQ(stored(1, "Position1"), "<null>");
  EXPECT_EQ(stored(1, "Position2"), "<null>");
}

TEST_F(MarkerPanelTest, InsertStoresTheBoxesAndTheSegmentsBetweenTheSpans) {
  // L2 and H1 as the records give them, and the distance stored.
  makeRelationTable({{1, "contrast", 7, 12, {}, {}, {}, {}, {}, {}},
                     {2, "contrast", 7, 8, {}, "End", {}, {}, {}, {}},
                     {3, "contrast", 7, 3, "old", "Middle", "old", "Middle", {}, {}}});
  start();
  const struct {
    int id;
    const char *marker1, *position1, *marker2; // typed; "-" keeps the box
    const char *stored;                        // Marker1|Position1|Marker2|Position2
    const char *distance;
    const char *error = "";
  } cases[] = {
      // "m" completes to "middle" in the chooser, typed case kept.
      {1, "because", "m", "then", "because|middle|then|Beginning", "4"},
      // A marker longer than its field of 60 would be another marker, cut:
      // refused, nothing written.
      {2, "-", "-", "and so it came to pass that the spans were joined by a rather long marker", "<null>|End|<null>|<null>",
       "<null>", "The text \"and so it came to pass that the spans were joined by a rathe\"... (73 bytes in all) "
       "has 73 characters; the field Marker2 holds 60. Nothing was stored."},
      // No marker has no position.
      {2, "-", "-", "\b", "<null>|<null>|<null>|<null>", "0"},
      // Emptied boxes store no marker; the default comes only by typing.
      {3, "\b", "\b", "-", "<null>|<null>|old|Middle", "-5"},
      // A marker of blanks is no marker either.
      {1, "  ", "-", "-", "<null>|<null>|then|Beginning", "4"},
      // Stored as the notation writes it, so that the corpus reads it back.
      {3, " and  +  so ", "-", "-", "and + so|Multiple|old|Middle", "-5"},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.id);
    {
      ModalAnswerer dropping({ModalAnswerer::press(QStringLiteral("Drop"))});
      ASSERT_TRUE(table().FindByKey(c.id));
    }
    showActive();
    auto enter = [](QWidget *box, const char *text) {
      if (std::string(text) == "-")
        return;
      if (std::string(text) == "\b") {
        typeInto(box, {});
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backspace);
      } else {
        typeInto(box, QString::fromLatin1(text));
      }
    };
    enter(MainForm->Edit1, c.marker1);
    enter(MainForm->ComboBox2, c.position1);
    enter(MainForm->Edit2, c.marker2);
    const QString shown = MainForm->Edit2->text();
    EXPECT_EQ(clickInsert(), c.error);
    EXPECT_EQ(table().State(), DataSetState::Browse);
    EXPECT_EQ(stored(c.id, "Marker1") + '|' + stored(c.id, "Position1") + '|' + stored(c.id, "Marker2") + '|' +
                  stored(c.id, "Position2"),
              c.stored);
    EXPECT_EQ(stored(c.id, "Segments_distance"), c.distance);
    if (!*c.error) {
      EXPECT_EQ(str(MainForm->findChild<QLineEdit *>(QStringLiteral("DBEdit11"))->text()), c.distance);
    }
    EXPECT_EQ(MainForm->Edit2->text(), shown) << "the boxes keep their texts after the post";
  }
  // Each post wrote who changed which column into the history, the refused
  // one nothing.
  std::vector<std::string> history;
  std::vector<std::string> malformed;
  corpus::HistoryFilter record3;
  record3.record = 3;
  ASSERT_EQ(corpus::History::read(table().QueryCursor(), record3,
                                  [&](corpus::HistoryRow &&row) {
                                    history.push_back(row.program + " " + row.column + ": " +
                                                      row.oldValue.value_or("null") + " -> " +
                                                      row.newValue.value_or("null"));
                                  },
                                  malformed),
            engine::code::Ok);
  EXPECT_EQ(history, (std::vector<std::string>{"Vandro Segments_distance: null -> -5", "Vandro Marker1: old -> null",
                                               "Vandro Position1: Middle -> null", "Vandro Marker1: null -> and + so",
                                               "Vandro Position1: null -> Multiple"}));
}

TEST_F(MarkerPanelTest, RealSpanBoundsRoundTheDistanceHalfToEven) {
  makeTableFromSql("Vandro.DB", kRealBoundsTable);
  start();
  for (const auto &[id, distance] : {std::pair{1, "4"}, std::pair{2, "6"}}) { // 4.5 and 5.5
    SCOPED_TRACE(id);
    ASSERT_TRUE(table().FindByKey(id));
    EXPECT_EQ(clickInsert(), "");
    EXPECT_EQ(stored(id, "Segments_distance"), distance);
  }
}

TEST_F(MarkerPanelTest, InsertKeepsAPendingChangeAndStopsWhereItFails) {
  makeRelationTable({{1, "contrast", {}, 5, {}, {}, {}, {}, {}, {}},
                     {2, "joint", 3, 5, "and", "Beginning", {}, {}, {}, {}},
                     {3, "list", 3, 5, {}, {}, {}, {}, {}, {}}});
  start();

  // A null H1: the markers are written, the record stays in edit state, and
  // the next move stores them with the old distance.
  typeInto(MainForm->Edit1, QStringLiteral("when"));
  EXPECT_EQ(clickInsert(), "Invalid variant type conversion.");
  EXPECT_EQ(table().State(), DataSetState::Edit);
  EXPECT_TRUE(table().Modified());
  EXPECT_EQ(stored(1, "Marker1"), "<null>") << "nothing posted yet";
  table().Next();
  EXPECT_EQ(stored(1, "Marker1"), "when");
  EXPECT_EQ(stored(1, "Position1"), "Beginning");
  EXPECT_EQ(stored(1, "Segments_distance"), "<null>");
  EXPECT_EQ(panel(), "and|Beginning||");

  // A relation typed into its box goes with the markers in the one post.
  typeInto(MainForm->findChild<QWidget *>(QStringLiteral("DBEdit2")), QStringLiteral("sequence"));
  typeInto(MainForm->Edit2, QStringLiteral("then"));
  EXPECT_EQ(clickInsert(), "");
  EXPECT_EQ(table().State(), DataSetState::Browse);
  EXPECT_EQ(stored(2, "Relation"), "sequence");
  EXPECT_EQ(stored(2, "Marker2"), "then");
  EXPECT_EQ(stored(2, "Segments_distance"), "1");

  // Another program is editing record 3: the locked-record message, nothing
  // written.
  using namespace engine;
  std::unique_ptr<Database> database;
  std::unique_ptr<Cursor> other;
  ASSERT_EQ(Engine::instance().openDatabase("", m_directory, OpenMode::ReadWrite, ShareMode::Shared, database),
            code::Ok);
  ASSERT_EQ(database->openTable("Vandro.DB", "default", OpenMode::ReadWrite, ShareMode::Shared, other), code::Ok);
  Record record;
  ASSERT_EQ(other->findKey({Value::integer(3)}, record), code::Ok);
  ASSERT_EQ(other->readCurrent(record, LockMode::WriteLock), code::Ok);
  table().Next();
  typeInto(MainForm->Edit1, QStringLiteral("also"));
  const std::string locked = clickInsert();
  EXPECT_NE(locked.find("Record locked by another user"), std::string::npos) << locked;
  EXPECT_EQ(table().State(), DataSetState::Browse);
  EXPECT_EQ(stored(3, "Marker1"), "<null>");
  EXPECT_EQ(other->releaseLock(), code::Ok);
}

TEST_F(MarkerPanelTest, InsertOnAnEmptyTableMakesABlankRecordAndStopsAtItsNullBounds) {
  makeRelationTable({});
  start();
  typeInto(MainForm->Edit1, QStringLiteral("because"));
  typeInto(MainForm->Edit2, QStringLiteral("so"));
  EXPECT_EQ(clickInsert(), "Invalid variant type conversion.");
  EXPECT_EQ(table().State(), DataSetState::Insert);
  EXPECT_EQ(panel(), "|||") << "the blank record's refill emptied the boxes";
  EXPECT_EQ(str(table().LookupField(QStringLiteral("Marker1")).AsString()), "");
  EXPECT_TRUE(table().LookupField(QStringLiteral("Marker1")).IsNull()) << "no marker is written as none";
  EXPECT_EQ(stored(1, "Marker1"), "<none>") << "nothing posted";
}

// While a marker is typed, its position is proposed by the corpus's rule
// where the span's words hold it ("Multiple" for two parts or more), so that
// what is stored reads back from the corpus the same; a position the user
// chose is kept.
TEST_F(MarkerPanelTest, TypingAMarkerProposesThePositionTheCorpusWouldGiveIt) {
  const std::string span = "and so we went home .";
  makeRelationTable({{1, "result", 1, 2, {}, {}, {}, {}, span, span},
                     {2, "result", 1, 2, "and + we", "Multiple", "we", "End", span, span}});
  start();
  const struct {
    int id;
    const char *typed; // into Edit1, replacing its text
    const char *position1;
  } cases[] = {
      {1, "so", "Beginning"}, {1, "we", "Middle"},       {1, "home", "End"},
      {1, "and + home", "Multiple"}, {1, "nowhere", "Beginning"},
      {2, "we", "Middle"}, // "Multiple" was the rule's: it follows the marker
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.typed);
    {
      ModalAnswerer dropping({ModalAnswerer::press(QStringLiteral("Drop"))});
      ASSERT_TRUE(table().FindByKey(c.id));
    }
    showActive();
    typeInto(MainForm->Edit1, QString::fromLatin1(c.typed));
    EXPECT_EQ(str(MainForm->ComboBox2->text()), c.position1);
  }
  // Record 2's span 2: "End" is the user's (the rule says "Middle"), so it stays.
  typeInto(MainForm->Edit2, QStringLiteral("so"));
  EXPECT_EQ(str(MainForm->ComboBox3->text()), "End");
  // A position the user types stays, even the one the panel proposed.
  typeInto(MainForm->Edit1, QStringLiteral("so"));
  typeInto(MainForm->ComboBox2, QStringLiteral("B"));
  ASSERT_EQ(str(MainForm->ComboBox2->text()), "Beginning");
  typeInto(MainForm->Edit1, QStringLiteral("we"));
  EXPECT_EQ(str(MainForm->ComboBox2->text()), "Beginning");
}

// Markers typed and not stored are never dropped unasked: leaving the record
// (a navigator button, closing the window) asks to store, drop or stay.
TEST_F(MarkerPanelTest, LeavingTypedMarkersAsksToStoreDropOrStay) {
  makeRelationTable({{1, "contrast", 1, 2, "so", "End", {}, {}, {}, {}}, {2, "joint", 1, 2, {}, {}, {}, {}, {}, {}}});
  start();
  const struct {
    const char *answer; // the button pressed, or "Escape"
    const char *id;     // the record shown afterwards
    const char *stored; // Marker1|Position1 of record 1 afterwards
    const char *panel;
  } cases[] = {
      {"Store", "2", "because|End", "|||"},
      {"Drop", "2", "so|End", "|||"},
      {"Stay", "1", "so|End", "because|End||"},
      {"Escape", "1", "so|End", "because|End||"},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.answer);
    {
      ModalAnswerer dropping({ModalAnswerer::press(QStringLiteral("Drop"))});
      makeTableFromSql("Vandro.DB", "UPDATE Vandro SET Marker1 = 'so', Position1 = 'End' WHERE Id = 1");
      table().First();
    }
    showActive();
    typeInto(MainForm->Edit1, QStringLiteral("because"));
    const bool escape = std::string(c.answer) == "Escape";
    ModalAnswerer answerer(
        {escape ? ModalAnswerer::escape() : ModalAnswerer::press(QString::fromLatin1(c.answer))});
    QTest::mouseClick(MainForm->DBNavigator1->button(controls::NavigateButton::Next), Qt::LeftButton);
    ASSERT_EQ(answerer.seen().size(), 1u);
    EXPECT_TRUE(answerer.seen()[0].text.contains(QStringLiteral("Span1 \"because\" at \"End\"")))
        << str(answerer.seen()[0].text);
    EXPECT_EQ(str(table().LookupField(QStringLiteral("Id")).AsString()), c.id);
    EXPECT_EQ(stored(1, "Marker1") + "|" + stored(1, "Position1"), c.stored);
    EXPECT_EQ(panel(), c.panel);
  }
  // Closing, by the user or by a request to end the program (a logout):
  // "Stay" keeps the window open with the markers, "Store" stores them and
  // closes.
  for (const char *answer : {"Stay", "Store"}) {
    SCOPED_TRACE(answer);
    showActive();
    ModalAnswerer answerer({ModalAnswerer::press(QString::fromLatin1(answer))});
    if (std::string(answer) == "Stay") {
      EXPECT_FALSE(MainForm->close());
    } else {
      Application->Terminate();
    }
    EXPECT_EQ(MainForm->isVisible(), std::string(answer) == "Stay");
    EXPECT_EQ(answerer.seen().size(), 1u);
  }
  EXPECT_EQ(stored(1, "Marker1"), "because");
}

// Two annotators on one record: "Insert" stores only over the markers its
// window showed. Markers another stored since are named, the typed ones
// stay, and a second "Insert" stores them over what the user has now seen.
class MarkerSharingTest : public DriverTableFixture {
protected:
  void TearDown() override {
    m_program.shutDown();
    DriverTableFixture::TearDown();
  }
  Program m_program;
};

TEST_P(MarkerSharingTest, InsertStoresOnlyOverTheMarkersThePanelShowed) {
  makeRelationTable({{1, "cause", 3, 5, {}, {}, {}, {}, {}, {}},
                     {2, "joint", 3, 5, {}, {}, {}, {}, {}, {}},
                     {3, "list", 3, 5, {}, {}, {}, {}, {}, {}}});
  ASSERT_TRUE(m_program.startUp());
  // An edit of the Relation box pending or not: either way the markers
  // stored meanwhile (by a program that ignores the record locks, while the
  // edit is pending) are named; with the edit pending, the user drops it
  // with Escape before the second Insert. A span changed meanwhile is named
  // too: the markers were chosen against the text shown.
  struct Case {
    int id;
    bool pending;
    std::string change, named;
  } cases[] = {
      {1, false, "\"Marker1\" = 'because', \"Position1\" = 'Middle'", "Span1 \"because\" at \"Middle\""},
      {2, true, "\"Marker1\" = 'because', \"Position1\" = 'Middle'", "Span1 \"because\" at \"Middle\""},
      {3, false, "\"Span1\" = 'a text the window never showed'", "Changed since the window showed it: Span1."},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.id);
    const bool pending = c.pending;
    const int id = c.id;
    {
      ModalAnswerer dropping({ModalAnswerer::press(QStringLiteral("Drop"))});
      ASSERT_TRUE(MainForm->Table1()->FindByKey(id));
    }
    activate(*MainForm);
    auto typeInto = [](QWidget *box, const QString &text) {
      MainForm->Button3->setFocus(Qt::OtherFocusReason);
      box->setFocus(Qt::TabFocusReason);
      QTest::keyClicks(QApplication::focusWidget(), text);
    };
    if (pending)
      typeInto(MainForm->findChild<QWidget *>(QStringLiteral("DBEdit2")), QStringLiteral("list"));
    typeInto(MainForm->Edit1, QStringLiteral("although"));
    // Annotator A, a moment before.
    makeTableFromSql("Vandro.DB", "UPDATE \"Vandro\" SET " + c.change + " WHERE \"Id\" = " + std::to_string(id));
    std::vector<std::string> messages;
    for (int attempt = 0; attempt < 2; ++attempt) {
      if (attempt == 1 && pending) {
        typeInto(MainForm->findChild<QWidget *>(QStringLiteral("DBEdit2")), {});
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
      }
      ModalAnswerer answerer({ModalAnswerer::press(QStringLiteral("OK"))});
      QTest::mouseClick(MainForm->Button2, Qt::LeftButton);
      messages.push_back(answerer.seen().empty() ? "" : str(answerer.seen()[0].text));
      activate(*MainForm);
      if (attempt == 0) {
        EXPECT_EQ(stored(id, "Marker1"), id == 3 ? "<null>" : "because") << "A's marker is not overwritten unseen";
        EXPECT_EQ(str(MainForm->Edit1->text()), "although") << "B's typed marker stays";
      }
    }
    EXPECT_TRUE(QString::fromStdString(messages[0]).startsWith(QStringLiteral("The record was changed by another user")))
        << messages[0];
    EXPECT_NE(messages[0].find(c.named), std::string::npos) << messages[0];
    EXPECT_EQ(messages[1], "") << "the second Insert stores";
    EXPECT_EQ(stored(id, "Marker1") + "|" + stored(id, "Position1") + "|" + stored(id, "Segments_distance"),
              "although|Beginning|1");
  }
}

VANDRO_ON_EVERY_DRIVER(MarkerSharingTest);

} // namespace
} // namespace vandro::testing
