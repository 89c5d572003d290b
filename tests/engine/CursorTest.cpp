#include "EngineFixture.h"

namespace vandro::engine::testing {
namespace {

using CursorTest = DriverTest;

// Forward through every record and back, across read-ahead boundaries, with
// the end codes leaving the cursor where it was.
TEST_P(CursorTest, StepsInKeyOrderAndStaysPutAtTheEnds) {
  createRelationTable();
  auto cursor = openTable();
  ASSERT_TRUE(cursor);
  // Inserted out of order: the cursor must still read in key order.
  fill(*cursor, 11, 20);
  fill(*cursor, 1, 10);

  ASSERT_EQ(cursor->setToBegin(), code::Ok);
  Record record;
  EXPECT_EQ(cursor->readPrior(record), code::Bof);
  for (std::int64_t id = 1; id <= 20; ++id) {
    ASSERT_EQ(cursor->readNext(record), code::Ok) << describeFailure(code::Ok);
    EXPECT_EQ(idOf(record), id);
  }
  EXPECT_EQ(cursor->readNext(record), code::Eof);
  EXPECT_EQ(cursor->readNext(record), code::Eof);
  // Still on record 20: the prior record is 19, and the current one is 20.
  ASSERT_EQ(cursor->readCurrent(record, LockMode::NoLock), code::Ok);
  EXPECT_EQ(idOf(record), 20);
  for (std::int64_t id = 19; id >= 1; --id) {
    ASSERT_EQ(cursor->readPrior(record), code::Ok);
    EXPECT_EQ(idOf(record), id);
  }
  EXPECT_EQ(cursor->readPrior(record), code::Bof);
  ASSERT_EQ(cursor->readNext(record), code::Ok);
  EXPECT_EQ(idOf(record), 2);

  ASSERT_EQ(cursor->setToEnd(), code::Ok);
  EXPECT_EQ(cursor->readNext(record), code::Eof);
  ASSERT_EQ(cursor->readPrior(record), code::Ok);
  EXPECT_EQ(idOf(record), 20);
}

TEST_P(CursorTest, EmptyTableHasNoRecordAnywhere) {
  createRelationTable();
  auto cursor = openTable();
  ASSERT_TRUE(cursor);
  Record record;
  Bookmark bookmark;
  for (bool atEnd : {false, true}) {
    SCOPED_TRACE(atEnd ? "after setToEnd" : "after setToBegin");
    ASSERT_EQ(atEnd ? cursor->setToEnd() : cursor->setToBegin(), code::Ok);
    EXPECT_EQ(cursor->readNext(record), code::Eof);
    EXPECT_EQ(cursor->readPrior(record), code::Bof);
    EXPECT_EQ(cursor->readNext(record), code::Eof);
    EXPECT_EQ(cursor->readCurrent(record, LockMode::NoLock), code::NoCurrentRecord);
    EXPECT_EQ(cursor->getBookmark(bookmark), code::NoCurrentRecord);
  }
}

TEST_P(CursorTest, BookmarksLeadBackAlsoToADeletedRecord) {
  createRelationTable();
  auto cursor = openTable();
  ASSERT_TRUE(cursor);
  fill(*cursor, 1, 20);
  ASSERT_EQ(cursor->setToBegin(), code::Ok);
  Record record;
  for (int i = 0; i < 7; ++i)
    ASSERT_EQ(cursor->readNext(record), code::Ok);
  Bookmark seven;
  ASSERT_EQ(cursor->getBookmark(seven), code::Ok);
  while (idOf(record) < 15)
    ASSERT_EQ(cursor->readNext(record), code::Ok);
  ASSERT_EQ(cursor->gotoBookmark(seven), code::Ok);
  ASSERT_EQ(cursor->readCurrent(record, LockMode::NoLock), code::Ok);
  EXPECT_EQ(idOf(record), 7);
  ASSERT_EQ(cursor->readNext(record), code::Ok);
  EXPECT_EQ(idOf(record), 8);

  // Another program deletes record 10 while this cursor holds its bookmark.
  ASSERT_EQ(cursor->findKey({Value::integer(10)}, record), code::Ok);
  Bookmark ten;
  ASSERT_EQ(cursor->getBookmark(ten), code::Ok);
  execute("DELETE FROM \"Vandro\" WHERE \"Id\" = 10");
  ASSERT_EQ(cursor->setToEnd(), code::Ok);
  ASSERT_EQ(cursor->gotoBookmark(ten), code::Ok);
  EXPECT_EQ(cursor->readCurrent(record, LockMode::NoLock), code::RecordDeleted);
  EXPECT_TRUE(entriesMention("Id = 10")) << describeFailure(code::RecordDeleted);
  ASSERT_EQ(cursor->readNext(record), code::Ok);
  EXPECT_EQ(idOf(record), 11);
  ASSERT_EQ(cursor->gotoBookmark(ten), code::Ok);
  ASSERT_EQ(cursor->readPrior(record), code::Ok);
  EXPECT_EQ(idOf(record), 9);
}

TEST_P(CursorTest, FindKeyMovesOnlyWhenItFinds) {
  createRelationTable();
  auto cursor = openTable();
  ASSERT_TRUE(cursor);
  fill(*cursor, 1, 20);
  Record record;
  ASSERT_EQ(cursor->setToBegin(), code::Ok);
  EXPECT_EQ(cursor->findKey({Value::integer(0)}, record), code::RecordNotFound);
  ASSERT_EQ(cursor->readNext(record), code::Ok);
  EXPECT_EQ(idOf(record), 1);
  ASSERT_EQ(cursor->readNext(record), code::Ok);

  ASSERT_EQ(cursor->findKey({Value::integer(12)}, record), code::Ok);
  EXPECT_EQ(idOf(record), 12);
  EXPECT_EQ(textOf(record, 2), "elaboration");
  ASSERT_EQ(cursor->readNext(record), code::Ok);
  EXPECT_EQ(idOf(record), 13);

  EXPECT_EQ(cursor->findKey({Value::integer(99)}, record), code::RecordNotFound);
  ASSERT_EQ(cursor->readCurrent(record, LockMode::NoLock), code::Ok);
  EXPECT_EQ(idOf(record), 13);
  ASSERT_EQ(cursor->readNext(record), code::Ok);
  EXPECT_EQ(idOf(record), 14);
  ASSERT_EQ(cursor->readPrior(record), code::Ok);
  EXPECT_EQ(idOf(record), 13);
}

TEST_P(CursorTest, IndexDescriptionWithAndWithoutPrimaryKey) {
  createRelationTable();
  {
    auto cursor = openTable();
    ASSERT_TRUE(cursor);
    const IndexDescription &index = cursor->currentIndex();
    EXPECT_TRUE(index.exists);
    EXPECT_EQ(index.keyFields, std::vector<int>{0});
    EXPECT_FALSE(index.expression);
    ASSERT_EQ(cursor->description().fields.size(), corpus::relationTableFields().size());
    EXPECT_EQ(cursor->description().fields[0].name, "Id");
    EXPECT_TRUE(cursor->description().fields[0].required);
  }

  const std::vector<FieldDescription> fields = {{"Name", FieldKind::String, 20, false, false, {}},
                                                {"N", FieldKind::Integer, 0, false, false, {}}};
  ASSERT_EQ(m_database->createTable("Loose.DB", fields, {}), code::Ok)
      << describeFailure(code::Ok);
  if (onServer()) {
    // A server table is read in key order only: without a key it is refused.
    std::unique_ptr<Cursor> loose;
    EXPECT_EQ(tryOpen(loose, "Loose.DB"), code::UnsupportedSchema);
    EXPECT_TRUE(entriesMention("primary key")) << describeFailure(code::UnsupportedSchema);
    return;
  }
  auto cursor = openTable("Loose.DB");
  ASSERT_TRUE(cursor);
  EXPECT_FALSE(cursor->currentIndex().exists);
  EXPECT_TRUE(cursor->currentIndex().keyFields.empty());
  const std::vector<std::string> names = {"carol", "alice", "bob", "alice"};
  for (const auto &name : names) {
    Record record = cursor->blankRecord();
    record.values[0] = Value::text(name);
    ASSERT_EQ(cursor->insertRecord(record), code::Ok) << describeFailure(code::Ok);
  }
  Record record;
  EXPECT_EQ(cursor->findKey({Value::text("alice")}, record), code::NoIndex);

  // Read in the order the rows were stored, both ways.
  ASSERT_EQ(cursor->setToBegin(), code::Ok);
  std::vector<std::string> forward, backward;
  Bookmark second;
  while (cursor->readNext(record) == code::Ok) {
    forward.push_back(textOf(record, 0));
    if (forward.size() == 2) {
      ASSERT_EQ(cursor->getBookmark(second), code::Ok);
    }
  }
  EXPECT_EQ(forward, names);
  ASSERT_EQ(cursor->setToEnd(), code::Ok);
  while (cursor->readPrior(record) == code::Ok)
    backward.insert(backward.begin(), textOf(record, 0));
  EXPECT_EQ(backward, names);

  ASSERT_EQ(cursor->gotoBookmark(second), code::Ok);
  ASSERT_EQ(cursor->readCurrent(record, LockMode::NoLock), code::Ok);
  EXPECT_EQ(textOf(record, 0), "alice");
  ASSERT_EQ(cursor->readNext(record), code::Ok);
  EXPECT_EQ(textOf(record, 0), "bob");
}

// The search for a text: byte for byte (case and blanks count, a null never
// matches), in key order from where the cursor stands, which a miss keeps.
TEST_P(CursorTest, FindTextMatchesExactlyFromWhereTheCursorStands) {
  createRelationTable();
  auto cursor = openTable();
  ASSERT_TRUE(cursor);
  const char *relations[] = {"contrast", "Contrast", "contrast ", nullptr, "contrast", "joint", "contrast"};
  ASSERT_EQ(cursor->beginBulk(), code::Ok);
  for (std::int64_t id = 1; id <= 7; ++id) {
    Record record = relation(*cursor, id);
    const char *name = relations[id - 1];
    record.values[2] = name ? Value::text(name) : Value();
    ASSERT_EQ(cursor->insertRecord(record), code::Ok);
  }
  ASSERT_EQ(cursor->commitBulk(), code::Ok);
  const struct {
    std::int64_t from; // 0: before the first record, -1: after the last
    SearchDirection direction;
    const char *text;
    std::int64_t found; // 0: none, the cursor staying where it was
  } cases[] = {
      {0, SearchDirection::Forward, "contrast", 1},  {1, SearchDirection::Forward, "contrast", 5},
      {5, SearchDirection::Forward, "contrast", 7},  {7, SearchDirection::Forward, "contrast", 0},
      {-1, SearchDirection::Backward, "contrast", 7}, {5, SearchDirection::Backward, "contrast", 1},
      {1, SearchDirection::Backward, "contrast", 0}, {0, SearchDirection::Forward, "Contrast", 2},
      {0, SearchDirection::Forward, "contrast ", 3}, {0, SearchDirection::Forward, "nothing", 0},
      {-1, SearchDirection::Forward, "contrast", 0},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(std::to_string(c.from) + " '" + c.text + "'");
    Record record;
    if (c.from > 0) {
      ASSERT_EQ(cursor->findKey({Value::integer(c.from)}, record), code::Ok);
    } else {
      ASSERT_EQ(c.from == 0 ? cursor->setToBegin() : cursor->setToEnd(), code::Ok);
    }
    const bool forward = c.direction == SearchDirection::Forward;
    const Result result = cursor->findText(c.direction, 2, c.text, record);
    if (c.found) {
      ASSERT_EQ(result, code::Ok) << describeFailure(result);
      EXPECT_EQ(idOf(record), c.found);
      ASSERT_EQ(cursor->readCurrent(record, LockMode::NoLock), code::Ok);
      EXPECT_EQ(idOf(record), c.found);
      continue;
    }
    EXPECT_EQ(result, forward ? code::Eof : code::Bof);
    if (c.from > 0) {
      ASSERT_EQ(cursor->readCurrent(record, LockMode::NoLock), code::Ok);
      EXPECT_EQ(idOf(record), c.from);
    } else {
      EXPECT_EQ(c.from == 0 ? cursor->readNext(record) : cursor->readPrior(record), code::Ok);
      EXPECT_EQ(idOf(record), c.from == 0 ? 1 : 7);
    }
  }
}

VANDRO_ON_EVERY_DRIVER(CursorTest);

} // namespace
} // namespace vandro::engine::testing
