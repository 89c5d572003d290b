#include "EngineFixture.h"

namespace vandro::engine::testing {
namespace {

using CursorTest = EngineFixture;

// Forward through every record and back, across read-ahead boundaries, with
// the end codes leaving the cursor where it was.
TEST_F(CursorTest, StepsInKeyOrderAndStaysPutAtTheEnds) {
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

} // namespace
} // namespace vandro::engine::testing
