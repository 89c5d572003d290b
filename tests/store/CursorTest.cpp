// Table1's cursor against real tables: where each operation leaves the
// record and the end flags, which notifications the linked controls and the
// scroll handlers get and in what order, and looking a record up by its
// key; once per driver.
#include "TableCursorFixture.h"

namespace vandro::testing {
namespace {

TEST_P(TableCursorTest, OpeningShowsTheFirstRecordAndScrollsOnlyToARecord) {
  const struct {
    int records;
    const char *id;
    bool atEnd;
    EventLog log;
  } cases[] = {
      {0, "", true, {"StateChange"}},
      {1, "1", false, {"StateChange", "AfterScroll"}},
      {3, "1", false, {"StateChange", "AfterScroll"}},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.records);
    const std::string file = "Open" + std::to_string(c.records) + ".DB";
    makeRelationTable(numberedRows(c.records), file);
    TTable &table = prepare(file);
    table.Open();
    EXPECT_EQ(take(), c.log);
    EXPECT_EQ(table.State(), DataSetState::Browse);
    EXPECT_TRUE(table.AtStart());
    EXPECT_EQ(table.AtEnd(), c.atEnd);
    EXPECT_EQ(table.IsEmpty(), c.records == 0);
    EXPECT_EQ(text("Id"), c.id);
  }
}

TEST_P(TableCursorTest, NextAndPriorStopAtTheEndsAndThenNoLongerScroll) {
  makeRelationTable(numberedRows(3));
  TTable &table = open();
  const struct {
    const char *step;
    void (TTable::*move)();
    const char *id;
    bool atStart, atEnd;
    const EventLog &log;
  } steps[] = {
      {"Prior on the first record after opening", &TTable::Prior, "1", true, false, kStopped},
      {"Next to 2", &TTable::Next, "2", false, false, kMoved},
      {"Next to the last", &TTable::Next, "3", false, false, kMoved},
      {"Next past the last", &TTable::Next, "3", false, true, kMoved},
      {"Next at the end", &TTable::Next, "3", false, true, kStopped},
      {"Prior from the end", &TTable::Prior, "2", false, false, kMoved},
      {"Prior to the first", &TTable::Prior, "1", false, false, kMoved},
      {"Prior before the first", &TTable::Prior, "1", true, false, kMoved},
      {"Prior at the start", &TTable::Prior, "1", true, false, kStopped},
      {"Next from the start", &TTable::Next, "2", false, false, kMoved},
  };
  for (const auto &s : steps) {
    SCOPED_TRACE(s.step);
    (table.*s.move)();
    EXPECT_EQ(take(), s.log);
    EXPECT_EQ(text("Id"), s.id);
    EXPECT_EQ(table.AtStart(), s.atStart);
    EXPECT_EQ(table.AtEnd(), s.atEnd);
    EXPECT_EQ(table.State(), DataSetState::Browse);
  }
}

TEST_P(TableCursorTest, FirstAndLastAlwaysChangeAndScrollAlsoWhenAlreadyThereOrEmpty) {
  makeRelationTable(numberedRows(3));
  makeRelationTable({}, "Empty.DB");
  const struct {
    const char *step;
    const char *file;
    void (TTable::*move)();
    const char *id;
    bool atStart, atEnd;
  } steps[] = {
      {"First on the first", "Vandro.DB", &TTable::First, "1", true, false},
      {"Last", "Vandro.DB", &TTable::Last, "3", false, true},
      {"Last on the last", "Vandro.DB", &TTable::Last, "3", false, true},
      {"First from the last", "Vandro.DB", &TTable::First, "1", true, false},
      {"First, empty", "Empty.DB", &TTable::First, "", true, true},
      {"Last, empty", "Empty.DB", &TTable::Last, "", true, true},
      {"Last again, empty", "Empty.DB", &TTable::Last, "", true, true},
  };
  std::string openFile;
  for (const auto &s : steps) {
    SCOPED_TRACE(s.step);
    if (openFile != s.file)
      open(openFile = s.file);
    (m_table.get()->*s.move)();
    EXPECT_EQ(take(), kChanged);
    EXPECT_EQ(text("Id"), s.id);
    EXPECT_EQ(m_table->AtStart(), s.atStart);
    EXPECT_EQ(m_table->AtEnd(), s.atEnd);
  }
}

TEST_P(TableCursorTest, PostOrAFoundKeyOnTheLastRecordLetTheNextNextScrollOnceMore) {
  makeRelationTable(numberedRows(3));
  const struct {
    const char *after;
    std::function<void(TTable &)> action;
  } cases[] = {
      {"a post", [](TTable &t) {
         t.Edit();
         t.LookupField(QStringLiteral("Relation")).setAsString(QStringLiteral("antithesis"));
         t.Post();
       }},
      {"a found key", [](TTable &t) { EXPECT_TRUE(t.FindByKey(3)); }},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.after);
    TTable &table = open();
    table.Last();
    table.Next();
    ASSERT_TRUE(table.AtEnd());
    c.action(table);
    EXPECT_FALSE(table.AtEnd());
    EXPECT_FALSE(table.AtStart());
    EXPECT_EQ(text("Id"), "3");
    take();
    table.Next();
    EXPECT_EQ(take(), kMoved);
    EXPECT_TRUE(table.AtEnd());
    EXPECT_EQ(text("Id"), "3");
    table.Next();
    EXPECT_EQ(take(), kStopped);
  }
}

TEST_P(TableCursorTest, FindByKeyMovesOnlyToAFoundRecord) {
  makeRelationTable(numberedRows(3));
  TTable &table = open();
  table.Next();
  take();
  EXPECT_FALSE(table.FindByKey(7));
  EXPECT_EQ(take(), kKeySet);
  EXPECT_EQ(table.State(), DataSetState::Browse);
  EXPECT_EQ(text("Id"), "2");
  EXPECT_FALSE(table.AtStart());
  EXPECT_FALSE(table.AtEnd());
  table.Next();
  EXPECT_EQ(text("Id"), "3") << "the cursor stayed on the record shown";
  take();

  EXPECT_TRUE(table.FindByKey(1));
  EXPECT_EQ(take(), joined(kKeySet, {"DataSetChange", "AfterScroll"}));
  EXPECT_EQ(table.State(), DataSetState::Browse);
  EXPECT_EQ(text("Id"), "1");
  EXPECT_FALSE(table.AtStart());
  EXPECT_FALSE(table.AtEnd());
}

TEST_P(TableCursorTest, FindByKeyFailsWithoutAnIndexAndForAKeyBeyondTheKeyField) {
  // A server opens no table without a primary key.
  if (!onServer())
    makeTableFromSql("NoKey.DB", "CREATE TABLE NoKey (Id INTEGER NOT NULL, Name VARCHAR(20));"
                                 "INSERT INTO NoKey VALUES (1, 'a'), (2, 'b');");
  makeTableFromSql("Small.DB", "CREATE TABLE \"Small\" (\"Id\" SMALLINT NOT NULL PRIMARY KEY, \"Name\" VARCHAR(20));"
                               "INSERT INTO \"Small\" VALUES (1, 'a'), (2, 'b');");
  const EventLog keyRefused = {"CheckBrowseMode", "StateChange", "StateChange"};
  const struct {
    const char *file;
    int key;
    const char *message;
    const EventLog &log;
  } cases[] = {
      {"NoKey.DB", 2, "Table1: No index currently active", EventLog{"CheckBrowseMode"}},
      {"Small.DB", 40000, "40000 is not a valid value for field 'Id'. The allowed range is -32768 to 32767",
       keyRefused},
      {"Small.DB", -40000, "-40000 is not a valid value for field 'Id'. The allowed range is -32768 to 32767",
       keyRefused},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(std::string(c.file) + " " + std::to_string(c.key));
    if (onServer() && std::string(c.file) == "NoKey.DB")
      continue;
    TTable &table = open(c.file);
    EXPECT_EQ(failureOf([&] { table.FindByKey(c.key); }), c.message);
    EXPECT_EQ(take(), c.log);
    EXPECT_EQ(table.State(), DataSetState::Browse);
    EXPECT_EQ(text("Id"), "1");
  }
  EXPECT_TRUE(m_table->FindByKey(2)) << "a key in range is looked up";
  EXPECT_EQ(text("Name"), "b");
}

VANDRO_ON_EVERY_DRIVER(TableCursorTest);

} // namespace
} // namespace vandro::testing
