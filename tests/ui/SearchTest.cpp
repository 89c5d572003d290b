// The relation search through the main window: the one engine request and
// the record-by-record walk leave exactly the same state, from every kind
// of starting place, in both directions and for the texts that trip a
// search up; and the cases around it (an empty chooser, a first move that
// cannot post, a match on the last record).
#include "Main.h"
#include "ModalAnswer.h"
#include "Program.h"
#include "TableFixture.h"
#include "controls/TComboBox.h"
#include "controls/TEdit.h"
#include "store/TTable.h"
#include "WindowFixture.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <functional>

namespace vandro::testing {
namespace {

using store::DataSetState;
using store::SearchMeans;

const std::vector<RelationRow> kRows = {
    {1, "contrast", 1, 2, "because", "Beginning", "so", "End", {}, {}},
    {2, "joint", 1, 2, "and", {}, {}, {}, {}, {}},
    {3, "Contrast", 1, 2, {}, {}, "then", "Middle", {}, {}},
    {4, "contrast ", 1, 2, {}, {}, {}, {}, {}, {}},
    {5, {}, 1, 2, "null", {}, {}, {}, {}, {}},
    {6, "contrast", 1, 2, "but", "End", "yet", {}, {}, {}},
    {7, "elaboration", 1, 2, {}, {}, {}, {}, {}, {}},
    {8, {}, 1, 2, {}, {}, {}, {}, {}, {}},
    {9, "joint", 1, 2, "also", "Multiple", {}, {}, {}, {}},
    {10, "contrast", 1, 2, {}, {}, {}, {}, {}, {}},
    {11, "list", 1, 2, {}, {}, {}, {}, {}, {}},
    {12, "contrast", 1, 2, "though", {}, "still", "Beginning", {}, {}},
};

class SearchTest : public DriverTableFixture {
protected:
  void TearDown() override {
    m_program.shutDown();
    DriverTableFixture::TearDown();
  }

  void start(const std::vector<RelationRow> &rows) {
    makeRelationTable(rows);
    ASSERT_TRUE(m_program.startUp());
    activate(*MainForm);
  }
  static store::TTable &table() { return *MainForm->Table1(); }

  // Clicks "Search" for `text` in a direction; what the user sees after it:
  // the record, the end flags, the marker boxes, the focus and the notice.
  static std::string click(const QString &text, bool forward) {
    (forward ? MainForm->RadioButton1 : MainForm->RadioButton2)->setChecked(true);
    MainForm->ComboBox1->setText(text);
    // Markers typed and not stored are dropped when asked.
    const auto answer = ModalAnswerer::pressFirstOf({QStringLiteral("Drop"), QStringLiteral("OK")});
    ModalAnswerer answerer({answer, answer});
    QTest::mouseClick(MainForm->Button1, Qt::LeftButton);
    activate(*MainForm);
    std::string seen = "Id " + str(table().LookupField(QStringLiteral("Id")).AsString());
    seen += table().AtStart() ? " AtStart" : "";
    seen += table().AtEnd() ? " AtEnd" : "";
    seen += " [" + str(MainForm->Edit1->text() + '|' + MainForm->ComboBox2->text() + '|' + MainForm->Edit2->text() +
                       '|' + MainForm->ComboBox3->text()) + "]";
    QWidget *focus = QApplication::focusWidget();
    seen += " focus " + (focus ? str(focus->objectName()) : std::string("none"));
    if (auto *edit = qobject_cast<QLineEdit *>(focus))
      seen += " selected '" + str(edit->selectedText()) + "'";
    for (const auto &modal : answerer.seen())
      seen += " notice '" + str(modal.text) + "' under '" + str(modal.title) + "'";
    return seen;
  }

  Program m_program;
};

TEST_P(SearchTest, TheEngineRequestLeavesWhatTheRecordByRecordWalkLeaves) {
  start(kRows);
  // Bytes another program stored read as their text: reached by the first
  // move from Id 6, and by the rest of the walk from elsewhere. (A server's
  // text column holds no bytes.)
  if (!onServer())
    makeTableFromSql("Vandro.DB", "UPDATE Vandro SET Relation = CAST('contrast' AS BLOB) WHERE Id = 7;");
  makeRelationTable({}, "Empty.DB");
  const std::vector<std::pair<const char *, std::function<void()>>> places = {
      {"First", [] { table().First(); }},
      {"Id 1", [] { table().FindByKey(1); }},
      {"Id 5, Extended being edited", [] {
         table().FindByKey(5);
         MainForm->findChild<QWidget *>(QStringLiteral("DBEdit3"))->setFocus(Qt::TabFocusReason);
         QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("yes"));
         MainForm->Edit1->setFocus(Qt::TabFocusReason); // the typed text goes into the field
       }},
      {"Id 6", [] { table().FindByKey(6); }},
      {"Id 12", [] { table().FindByKey(12); }},
      {"Last", [] { table().Last(); }},
      {"past the end", [] { table().Last(); table().Next(); }},
      {"before the start", [] { table().First(); table().Prior(); }},
  };
  const QStringList texts = {"contrast", "joint", "Contrast", "contrast ", "list", "nothing"};
  int compared = 0;
  for (const char *file : {"Vandro.DB", "Empty.DB"}) {
    table().Close();
    table().TableName = QString::fromLatin1(file);
    table().Open();
    for (const auto &[place, goThere] : places) {
      for (const QString &text : texts) {
        for (const bool forward : {true, false}) {
          SCOPED_TRACE(std::string(file) + ", from " + place + ", " + (forward ? "forward" : "backward") +
                       " for '" + str(text) + "'");
          std::string seen[2];
          for (const SearchMeans means : {SearchMeans::EngineWhereExact, SearchMeans::RecordByRecord}) {
            MainForm->searchMeans = means;
            table().Cancel();
            if (std::string(file) == "Vandro.DB" || std::string(place) == "First") {
              ModalAnswerer dropping({ModalAnswerer::press(QStringLiteral("Drop"))});
              goThere();
            }
            MainForm->Edit2->assignText(QStringLiteral("typed, not stored"));
            std::string &log = seen[means == SearchMeans::RecordByRecord];
            log = click(text, forward);
            log += "; state " + std::to_string(static_cast<int>(table().State()));
            if (std::string(file) == "Vandro.DB")
              log += " Extended of 5: " + stored(5, "Extended");
            log += "; again: " + click(text, forward);
            log += "; back: " + click(text, !forward);
            if (std::string(file) == "Vandro.DB")
              makeTableFromSql(file, "UPDATE \"Vandro\" SET \"Extended\" = NULL WHERE \"Id\" = 5;");
          }
          EXPECT_EQ(seen[0], seen[1]);
          ++compared;
        }
      }
    }
  }
  EXPECT_EQ(compared, 2 * 8 * 6 * 2);
}

// What both ways must give, from the cases the rules spell out.
TEST_P(SearchTest, MatchesSkipTheStartAndStopAtTheEnds) {
  start(kRows);
  const struct {
    const char *name;
    std::function<void()> place;
    const char *text;
    bool forward;
    const char *seen;
  } cases[] = {
      {"the start record is not tested", [] { table().FindByKey(6); }, "contrast", true,
       "Id 10 [|||] focus Edit2 selected ''"},
      {"case and a trailing blank count", [] { table().First(); }, "contrast", true,
       "Id 6 [but|End|yet|] focus Edit2 selected 'yet'"},
      {"a trailing blank matched exactly", [] { table().First(); }, "contrast ", true,
       "Id 4 [|||] focus Edit2 selected ''"},
      {"a match on the last record", [] { table().FindByKey(10); }, "contrast", true,
       "Id 12 [though||still|Beginning] focus Edit2 selected 'still'"},
      {"on the last record, AtEnd clear", [] { table().FindByKey(12); }, "list", true,
       "Id 12 AtEnd [though||still|Beginning] focus Button1 notice 'End of database!' under 'ui_tests'"},
      {"backward from the first record", [] { table().FindByKey(1); }, "joint", false,
       "Id 1 AtStart [because|Beginning|so|End] focus Button1 notice 'End of database!' under 'ui_tests'"},
  };
  for (const SearchMeans means : {SearchMeans::EngineWhereExact, SearchMeans::RecordByRecord}) {
    MainForm->searchMeans = means;
    for (const auto &c : cases) {
      SCOPED_TRACE(std::string(c.name) + (means == SearchMeans::RecordByRecord ? ", walking" : ""));
      c.place();
      EXPECT_EQ(click(QString::fromLatin1(c.text), c.forward), c.seen);
    }
    // After the match on the last record, the next search says so at once.
    table().FindByKey(10);
    click(QStringLiteral("contrast"), true);
    EXPECT_EQ(click(QStringLiteral("contrast"), true),
              "Id 12 AtEnd [though||still|Beginning] focus Button1 notice 'End of database!' under 'ui_tests'");
  }
}

TEST_P(SearchTest, AnEmptyChooserDoesNothingAndAFirstMoveThatCannotPostEndsTheSearch) {
  start(kRows);
  ASSERT_TRUE(table().FindByKey(2));
  table().Edit();
  table().LookupField(QStringLiteral("Relation")).setAsString(QStringLiteral("contrast"));
  EXPECT_EQ(click(QString(), true), "Id 2 [and|||] focus Button1");
  EXPECT_EQ(table().State(), DataSetState::Edit) << "nothing settled";
  EXPECT_EQ(stored(2, "Relation"), "joint");

  // A key another record has: the post fails, nothing moves.
  table().LookupField(QStringLiteral("Id")).setAsInteger(3);
  ModalAnswerer answerer({ModalAnswerer::press(QStringLiteral("OK"))});
  (MainForm->RadioButton1)->setChecked(true);
  MainForm->ComboBox1->setText(QStringLiteral("list"));
  QTest::mouseClick(MainForm->Button1, Qt::LeftButton);
  ASSERT_EQ(answerer.seen().size(), 1u);
  EXPECT_NE(str(answerer.seen()[0].text).find("Key violation"), std::string::npos) << str(answerer.seen()[0].text);
  EXPECT_EQ(table().State(), DataSetState::Edit);
  EXPECT_EQ(str(table().LookupField(QStringLiteral("Relation")).AsString()), "contrast");
  EXPECT_EQ(stored(2, "Relation"), "joint");
}

VANDRO_ON_EVERY_DRIVER(SearchTest);

} // namespace
} // namespace vandro::testing
