// The history beside a relation table: written with each change, in its
// transaction, on both drivers; and what a revert puts back.
#include "EngineFixture.h"
#include "corpus/History.h"

#include <csignal>
#include <map>
#include <unistd.h>

namespace vandro::engine::testing {
namespace {

using corpus::History;
using corpus::HistoryRow;
using HistoryTest = DriverTest;
namespace column = corpus::column;

// "edit 2 Relation: elaboration -> contrast"; a whole record as {..}.
std::string described(const HistoryRow &row) {
  auto value = [&](const std::optional<std::string> &v) {
    return !v ? std::string("null") : row.column == History::kWholeRecord ? std::string("{..}") : *v;
  };
  return row.kind + " " + std::to_string(row.id) + " " + row.column + ": " + value(row.oldValue) + " -> " +
         value(row.newValue);
}

std::vector<HistoryRow> historyOf(Cursor &cursor, std::optional<std::int64_t> record = std::nullopt) {
  std::vector<HistoryRow> rows;
  std::vector<std::string> malformed;
  corpus::HistoryFilter filter;
  filter.record = record;
  EXPECT_EQ(History::read(cursor, filter, [&](HistoryRow &&row) { rows.push_back(std::move(row)); }, malformed),
            code::Ok);
  EXPECT_TRUE(malformed.empty()) << malformed.front();
  return rows;
}

std::vector<std::string> describedHistory(Cursor &cursor, std::optional<std::int64_t> record = std::nullopt) {
  std::vector<std::string> out;
  for (const HistoryRow &row : historyOf(cursor, record))
    out.push_back(described(row));
  return out;
}

// A log whose rows go into a table that is not there, as into a history
// the login may not write into.
struct RefusingLog : ChangeLog {
  Result rowsFor(Cursor &cursor, const RecordChange &, LogRows &out) override {
    out = {cursor.siblingName("_missing"), {"x"}, {{Value::integer(1)}}};
    return code::Ok;
  }
  Result written(Cursor &, const RecordChange &) override { return code::Ok; }
  Result committing(Cursor &) override { return code::Ok; }
  void rolledBack() override {}
};

TEST_P(HistoryTest, EachKindOfChangeWritesItsRowsInItsTransaction) {
  createRelationTable();
  auto cursor = openTable();
  ASSERT_TRUE(cursor);
  // An import: one row per record, the record as a whole.
  cursor->setChangeLog(std::make_shared<History>("vandro-admin import", History::Rows::PerRecord));
  fill(*cursor, 1, 3);
  // An import rolled back leaves no row.
  ASSERT_EQ(cursor->beginBulk(), code::Ok);
  ASSERT_EQ(cursor->insertRecord(relation(*cursor, 9)), code::Ok);
  ASSERT_EQ(cursor->rollbackBulk(), code::Ok);

  // The window: one row per changed column, for a post and an insert.
  cursor->setChangeLog(std::make_shared<History>("Vandro", History::Rows::PerColumn));
  Record record;
  ASSERT_EQ(cursor->findKey({Value::integer(2)}, record), code::Ok);
  ASSERT_EQ(cursor->readCurrent(record, LockMode::WriteLock), code::Ok);
  record.values[column::Relation] = Value::text("contrast");
  record.values[column::Marker1] = Value::text("but");
  record.values[column::Position1] = Value::text("Beginning");
  ASSERT_EQ(cursor->modifyRecord(record), code::Ok) << describeFailure(code::Ok);
  Record added = cursor->blankRecord();
  added.values[column::Id] = Value::integer(4);
  added.values[column::Relation] = Value::text("joint");
  ASSERT_EQ(cursor->insertRecord(added), code::Ok);

  // A change whose history cannot be written is not stored; the edit and
  // its lock stay.
  ASSERT_EQ(cursor->findKey({Value::integer(1)}, record), code::Ok);
  ASSERT_EQ(cursor->readCurrent(record, LockMode::WriteLock), code::Ok);
  cursor->setChangeLog(std::make_shared<RefusingLog>());
  record.values[column::Relation] = Value::text("lost");
  EXPECT_NE(cursor->modifyRecord(record), code::Ok);
  EXPECT_NE(cursor->insertRecord(relation(*cursor, 8)), code::Ok);
  cursor->setChangeLog(std::make_shared<History>("Vandro", History::Rows::PerColumn));
  record.values[column::Relation] = Value::text("kept");
  EXPECT_EQ(cursor->modifyRecord(record), code::Ok) << describeFailure(code::Ok);

  // A removal: one row per record, holding it whole.
  cursor->setChangeLog(std::make_shared<History>("vandro-admin remove-document", History::Rows::PerRecord));
  ASSERT_EQ(cursor->beginBulk(), code::Ok);
  ASSERT_EQ(cursor->deleteRecords({{Value::integer(3)}}), code::Ok);
  ASSERT_EQ(cursor->commitBulk(), code::Ok);

  EXPECT_EQ(describedHistory(*cursor), (std::vector<std::string>{
                                           "insert 1 (record): null -> {..}",
                                           "insert 2 (record): null -> {..}",
                                           "insert 3 (record): null -> {..}",
                                           "edit 2 Relation: elaboration -> contrast",
                                           "edit 2 Marker1: null -> but",
                                           "edit 2 Position1: null -> Beginning",
                                           "insert 4 Id: null -> 4",
                                           "insert 4 Relation: null -> joint",
                                           "edit 1 Relation: elaboration -> kept",
                                           "delete 3 (record): {..} -> null",
                                       }));
  for (const std::int64_t id : {8, 9}) {
    Record absent;
    EXPECT_EQ(cursor->findKey({Value::integer(id)}, absent), code::RecordNotFound) << id;
  }
  const std::vector<HistoryRow> rows = historyOf(*cursor);
  ASSERT_EQ(rows.size(), 10u);
  EXPECT_EQ(rows[3].program, "Vandro");
  EXPECT_EQ(rows[0].program, "vandro-admin import");
  EXPECT_EQ(rows[3].user, thisUser());
  EXPECT_EQ(rows[3].machine, thisMachine());
  EXPECT_EQ(rows[3].role.empty(), !onServer());
  // Rows of one change share their time; later changes come later.
  EXPECT_EQ(rows[3].time, rows[5].time);
  EXPECT_LT(rows[2].time, rows[3].time);
  EXPECT_EQ(rows[3].time.size(), std::string("2026-12-09T13:45:12.345678Z").size());

  // The records kept whole read back as they were stored.
  const auto removed = History::recordFromJson(cursor->description(), *rows[9].oldValue);
  ASSERT_TRUE(removed) << removed.error();
  EXPECT_EQ(*removed, relation(*cursor, 3).values);

  // Reverts: record 2 before its last change, and record 3 before its removal.
  ASSERT_EQ(cursor->findKey({Value::integer(2)}, record), code::Ok);
  const auto before = corpus::valuesBefore(cursor->description(), record.values,
                                           std::vector<HistoryRow>(rows.begin() + 3, rows.begin() + 6));
  ASSERT_TRUE(before && *before) << before.error();
  EXPECT_EQ(**before, relation(*cursor, 2).values);
  const auto gone = corpus::valuesBefore(cursor->description(), std::nullopt, {rows[9]});
  ASSERT_TRUE(gone && *gone);
  EXPECT_EQ(**gone, relation(*cursor, 3).values);
  const auto notYet = corpus::valuesBefore(cursor->description(), relation(*cursor, 1).values, {rows[0], rows[8]});
  ASSERT_TRUE(notYet);
  EXPECT_FALSE(*notYet) << "record 1 was not there before its import";

  // Bytes that are no UTF-8, which another program stored in a file's
  // record, are kept as they were and read back.
  if (onServer())
    return;
  execute("UPDATE \"Vandro\" SET \"Marker1\" = CAST(X'62FF7574' AS TEXT) WHERE \"Id\" = 4");
  cursor->setChangeLog(std::make_shared<History>("Vandro", History::Rows::PerColumn));
  ASSERT_EQ(cursor->findKey({Value::integer(4)}, record), code::Ok);
  ASSERT_EQ(cursor->readCurrent(record, LockMode::WriteLock), code::Ok);
  record.values[column::Marker1] = Value::text("but");
  ASSERT_EQ(cursor->modifyRecord(record), code::Ok);
  EXPECT_EQ(describedHistory(*cursor, 4).back(), "edit 4 Marker1: b\xFFut -> but");
}

// Killed at any moment while it posts, an editor leaves every record as its
// history's last row says: never a change without its row, nor a row
// without its change.
TEST_P(HistoryTest, AKillNeverPartsAChangeFromItsHistory) {
  createRelationTable();
  fill(*openTable(), 1, 10);
  ChildProcess child([&](ChildProcess &parent) -> std::string {
    std::unique_ptr<Cursor> cursor;
    if (const Result opened = tryOpen(cursor); opened != code::Ok)
      return describeFailure(opened);
    cursor->setChangeLog(std::make_shared<History>("Vandro", History::Rows::PerColumn));
    for (int n = 1;; ++n) {
      if (n == 2)
        parent.send("posting"); // the first post is stored
      Record record;
      Result result = cursor->findKey({Value::integer(n % 10 + 1)}, record);
      if (result == code::Ok)
        result = cursor->readCurrent(record, LockMode::WriteLock);
      record.values[column::Marker2] = Value::text("marker " + std::to_string(n));
      if (result == code::Ok)
        result = cursor->modifyRecord(record);
      if (result != code::Ok)
        return describeFailure(result);
    }
  });
  ASSERT_EQ(child.receive(), "posting");
  ::usleep(400'000);
  child.kill();
  ASSERT_EQ(child.wait(), 128 + SIGKILL);

  auto cursor = openTable();
  ASSERT_TRUE(cursor);
  std::map<std::int64_t, std::string> last;
  for (const HistoryRow &row : historyOf(*cursor)) {
    EXPECT_EQ(row.column, "Marker2");
    last[row.id] = row.newValue.value_or("(null)");
  }
  EXPECT_GE(last.size(), 1u) << "posts were made before the kill";
  for (std::int64_t id = 1; id <= 10; ++id) {
    Record record;
    ASSERT_EQ(cursor->findKey({Value::integer(id)}, record), code::Ok);
    EXPECT_EQ(textOf(record, column::Marker2), last.count(id) ? last[id] : "(null)") << "record " << id;
  }
}

TEST(HistoryTimeTest, TimesReadAsAUserWritesThemAndAsTheHistoryShowsThem) {
  for (const auto &[written, read] : std::vector<std::pair<std::string, std::optional<std::string>>>{
           {"2026-12-09", "2026-12-09T00:00:00.000000Z"},
           {"2026-12-09 14:05", "2026-12-09T14:05:00.000000Z"},
           {" 2026-12-09T15:05:30+01:00", "2026-12-09T14:05:30.000000Z"},
           {"2026-12-09T13:48:51.961593Z", "2026-12-09T13:48:51.961593Z"},
           {"2026-12-09T23:30:00.5-02:00", "2026-12-10T01:30:00.500000Z"},
           {"last week", std::nullopt},
           {"2026-13-40", std::nullopt},
           {"2026-12-09T14:05:30.", std::nullopt}}) {
    EXPECT_EQ(History::timeFromUser(written), read) << written;
  }
}

VANDRO_ON_EVERY_DRIVER(HistoryTest);

} // namespace
} // namespace vandro::engine::testing
