// Writing records of every field kind and reading them back.
#include "EngineFixture.h"

#include <cmath>
#include <cstdint>
#include <limits>

namespace vandro::engine::testing {
namespace {

using RecordTest = DriverTest;

enum Field { Id, Count, Small, Word, Auto, Ratio, Price, Amount, Flag, Day, Clock, Moment, Name, Notes, Data, Code, FieldCount };

std::vector<FieldDescription> everyKind() {
  auto field = [](const char *name, FieldKind kind, int size = 0, bool required = false) {
    return FieldDescription{name, kind, size, required, false, {}};
  };
  return {field("Id", FieldKind::Integer, 0, true), field("Count", FieldKind::Integer),
          field("Small", FieldKind::Smallint),      field("Word", FieldKind::Word),
          field("Auto", FieldKind::AutoInc),        field("Ratio", FieldKind::Float),
          field("Price", FieldKind::Money),         field("Amount", FieldKind::Decimal),
          field("Flag", FieldKind::Boolean),        field("Day", FieldKind::Date),
          field("Clock", FieldKind::Time),          field("Moment", FieldKind::DateTime),
          field("Name", FieldKind::String, 10),     field("Notes", FieldKind::Memo),
          field("Data", FieldKind::Blob),           field("Code", FieldKind::String, 5, true)};
}

// Dates and times compare to the millisecond, the precision they are stored with.
bool sameValue(FieldKind kind, const Value &a, const Value &b) {
  const bool dateKind = kind == FieldKind::Date || kind == FieldKind::Time || kind == FieldKind::DateTime;
  if (dateKind && a.isReal() && b.isReal())
    return std::llround(a.asReal() * 86400000.0) == std::llround(b.asReal() * 86400000.0);
  return a == b;
}

std::string show(const Value &v) {
  if (v.isNull()) return "null";
  if (v.isInteger()) return "integer " + std::to_string(v.asInteger());
  if (v.isReal()) return "real " + std::to_string(v.asReal());
  if (v.isText()) return "text(" + std::to_string(v.asText().size()) + " bytes) " + v.asText().substr(0, 40);
  return "bytes(" + std::to_string(v.asBytes().size()) + ")";
}

struct Case {
  Field field;
  Value in;
  Result result;
  Value out; // what reads back when `result` is Ok
};
Case ok(Field f, Value in) { return {f, in, code::Ok, in}; }
Case ok(Field f, Value in, Value out) { return {f, std::move(in), code::Ok, std::move(out)}; }
Case bad(Field f, Value in, Result result) { return {f, std::move(in), result, {}}; }

TEST_P(RecordTest, EveryFieldKindRoundTripsThroughInsertAndModify) {
  const auto fields = everyKind();
  ASSERT_EQ(m_database->createTable("Kinds.DB", fields, {Id}), code::Ok) << describeFailure(code::Ok);
  auto cursor = openTable("Kinds.DB");
  ASSERT_TRUE(cursor);
  ASSERT_EQ(cursor->description().fields.size(), std::size_t(FieldCount));
  // The server has no unsigned 16-bit type: a Word column is an integer there.
  auto kindOf = [&](int f) {
    const FieldKind kind = fields[std::size_t(f)].kind;
    return onServer() && kind == FieldKind::Word ? FieldKind::Integer : kind;
  };
  for (int f = 0; f < FieldCount; ++f)
    EXPECT_EQ(cursor->description().fields[std::size_t(f)].kind, kindOf(f)) << fields[std::size_t(f)].name;

  auto base = [&](std::int64_t id) {
    Record record = cursor->blankRecord();
    record.values[Id] = Value::integer(id);
    record.values[Code] = Value::text("x");
    return record;
  };
  auto readBack = [&](std::int64_t id, Record &out) {
    return cursor->findKey({Value::integer(id)}, out);
  };

  // An empty auto-increment field is numbered one past the largest; every
  // other field left null reads back null.
  Record record;
  ASSERT_EQ(cursor->insertRecord(base(1)), code::Ok) << describeFailure(code::Ok);
  Record second = base(2);
  second.values[Auto] = Value::integer(40);
  ASSERT_EQ(cursor->insertRecord(second), code::Ok);
  ASSERT_EQ(cursor->insertRecord(base(3)), code::Ok);
  ASSERT_EQ(readBack(1, record), code::Ok);
  EXPECT_EQ(record.values[Auto], Value::integer(1));
  for (int f = 0; f < FieldCount; ++f) {
    if (f != Id && f != Auto && f != Code) {
      EXPECT_TRUE(record.values[std::size_t(f)].isNull()) << fields[std::size_t(f)].name;
    }
  }
  ASSERT_EQ(readBack(3, record), code::Ok);
  // A file numbers one past the largest, the server by its identity sequence.
  EXPECT_EQ(record.values[Auto], Value::integer(onServer() ? 2 : 41));

  std::string memo;
  while (memo.size() < (1u << 20))
    memo += "Zurbarán – Ελληνικά 😀 line " + std::to_string(memo.size()) + "\n";
  const double leapDay = 45351.0; // 2024-02-29
  const double halfPastTwelve = (12 * 60 + 30) * 60 / 86400.0;
  const std::int64_t int32Min = std::numeric_limits<std::int32_t>::min();
  const std::int64_t int32Max = std::numeric_limits<std::int32_t>::max();
  const std::vector<Case> cases = {
      ok(Count, Value::integer(int32Min)), ok(Count, Value::integer(int32Max)),
      bad(Count, Value::integer(int32Min - 1), code::ValueDoesNotFit),
      bad(Count, Value::integer(int32Max + 1), code::ValueDoesNotFit),
      bad(Count, Value::text("12"), code::ValueDoesNotFit),
      bad(Id, Value::integer(int32Max + 1), code::ValueDoesNotFit),
      ok(Small, Value::integer(-32768)), ok(Small, Value::integer(32767)),
      bad(Small, Value::integer(-32769), code::ValueDoesNotFit),
      bad(Small, Value::integer(32768), code::ValueDoesNotFit),
      ok(Word, Value::integer(0)), ok(Word, Value::integer(65535)),
      bad(Word, Value::integer(-1), code::ValueDoesNotFit),
      bad(Word, Value::integer(65536), code::ValueDoesNotFit),
      ok(Auto, Value::integer(int32Max)),
      bad(Auto, Value::integer(int32Max + 1), code::ValueDoesNotFit),
      ok(Ratio, Value::real(0.1)), ok(Ratio, Value::real(-1e300)),
      ok(Ratio, Value::integer(3), Value::real(3.0)),
      ok(Price, Value::real(1234.56)), ok(Price, Value::real(-0.01)),
      bad(Price, Value::text("1.50"), code::ValueDoesNotFit),
      ok(Amount, Value::integer(12345)),  // 1.2345
      ok(Amount, Value::integer(-50000)), // -5
      ok(Amount, Value::integer(123456789012345)),
      ok(Amount, Value::integer(1)),      // 0.0001
      bad(Amount, Value::real(1.5), code::ValueDoesNotFit),
      ok(Flag, Value::integer(0)), ok(Flag, Value::integer(1)),
      bad(Flag, Value::integer(2), code::ValueDoesNotFit),
      ok(Day, Value::real(leapDay)), ok(Day, Value::integer(45351), Value::real(leapDay)),
      ok(Clock, Value::real(halfPastTwelve)),
      ok(Moment, Value::real(leapDay + halfPastTwelve)),
      ok(Moment, Value::real(2.25)), // 1900-01-01 06:00
      bad(Moment, Value::text("2024-02-29"), code::ValueDoesNotFit),
      ok(Name, Value::text("Zurbarán")), ok(Name, Value::text("Ελληνικάαα")),
      ok(Name, Value::text("😀😀😀😀😀😀😀😀😀😀")), ok(Name, Value::text("")),
      bad(Name, Value::text("😀😀😀😀😀😀😀😀😀😀😀"), code::ValueTooLong),
      bad(Name, Value::text("abcdefghijk"), code::ValueTooLong),
      bad(Name, Value::text("bad \xff byte"), code::ValueDoesNotFit),
      bad(Name, Value::integer(7), code::ValueDoesNotFit),
      ok(Notes, Value::text(memo)), ok(Notes, Value::text("")),
      ok(Data, Value::bytes({0, 1, 0, 255})), ok(Data, Value::bytes({})),
      bad(Code, Value(), code::RequiredValueMissing),
      bad(Id, Value(), code::RequiredValueMissing),
  };

  ASSERT_EQ(cursor->insertRecord(base(1000)), code::Ok);
  std::int64_t nextId = 100;
  for (const auto &c : cases) {
    const std::string &name = fields[std::size_t(c.field)].name;
    SCOPED_TRACE(name + " = " + show(c.in));
    if (onServer() && c.field == Word)
      continue; // an integer there, see above
    // Insert a new record holding the value.
    Record in = base(nextId);
    in.values[Auto] = Value::integer(nextId);
    in.values[std::size_t(c.field)] = c.in;
    EXPECT_EQ(cursor->insertRecord(in), c.result) << "insert: " << describeFailure(c.result);
    if (c.result == code::Ok) {
      ASSERT_EQ(readBack(nextId, record), code::Ok) << describeFailure(code::Ok);
      EXPECT_TRUE(sameValue(fields[std::size_t(c.field)].kind, record.values[std::size_t(c.field)], c.out))
          << "insert read back " << show(record.values[std::size_t(c.field)]);
    } else {
      EXPECT_TRUE(entriesMention(name)) << describeFailure(c.result);
      EXPECT_TRUE(entriesMention(location("Kinds.DB"))) << describeFailure(c.result);
    }
    ++nextId;

    // Modify record 1000 to hold it.
    ASSERT_EQ(readBack(1000, record), code::Ok);
    ASSERT_EQ(cursor->readCurrent(record, LockMode::WriteLock), code::Ok);
    Record changed = record;
    changed.values[std::size_t(c.field)] = c.in;
    EXPECT_EQ(cursor->modifyRecord(changed), c.result) << "modify: " << describeFailure(c.result);
    if (c.result == code::Ok) {
      ASSERT_EQ(readBack(1000, record), code::Ok);
      EXPECT_TRUE(sameValue(fields[std::size_t(c.field)].kind, record.values[std::size_t(c.field)], c.out))
          << "modify read back " << show(record.values[std::size_t(c.field)]);
    } else {
      // The lock outlives the failure: the unchanged record can still be posted.
      EXPECT_EQ(cursor->modifyRecord(record), code::Ok) << describeFailure(code::Ok);
    }
  }

  // Back to null from a value, for every field that may be null.
  ASSERT_EQ(readBack(1000, record), code::Ok);
  ASSERT_EQ(cursor->readCurrent(record, LockMode::WriteLock), code::Ok);
  Record cleared = base(1000);
  if (cursor->description().fields[Auto].required) // a server's identity column
    cleared.values[Auto] = record.values[Auto];
  ASSERT_EQ(cursor->modifyRecord(cleared), code::Ok) << describeFailure(code::Ok);
  ASSERT_EQ(readBack(1000, record), code::Ok);
  for (int f = 0; f < FieldCount; ++f)
    EXPECT_EQ(record.values[std::size_t(f)], cleared.values[std::size_t(f)]) << fields[std::size_t(f)].name;
}

TEST_P(RecordTest, KeyViolationsNameTheRecordAndKeepTheLock) {
  createRelationTable();
  auto cursor = openTable();
  ASSERT_TRUE(cursor);
  fill(*cursor, 1, 10);
  EXPECT_EQ(cursor->insertRecord(relation(*cursor, 5, "duplicate")), code::KeyViolation);
  EXPECT_TRUE(entriesMention("Id = 5")) << describeFailure(code::KeyViolation);
  EXPECT_TRUE(entriesMention(location())) << describeFailure(code::KeyViolation);

  Record record;
  ASSERT_EQ(cursor->findKey({Value::integer(6)}, record), code::Ok);
  ASSERT_EQ(cursor->readCurrent(record, LockMode::WriteLock), code::Ok);
  Record moved = record;
  moved.values[0] = Value::integer(5);
  EXPECT_EQ(cursor->modifyRecord(moved), code::KeyViolation);
  EXPECT_TRUE(entriesMention("Id = 5")) << describeFailure(code::KeyViolation);
  // Still locked: a new key that is free goes through, and the cursor follows it.
  moved.values[0] = Value::integer(60);
  ASSERT_EQ(cursor->modifyRecord(moved), code::Ok) << describeFailure(code::Ok);
  ASSERT_EQ(cursor->readCurrent(record, LockMode::NoLock), code::Ok);
  EXPECT_EQ(idOf(record), 60);
  EXPECT_EQ(cursor->findKey({Value::integer(6)}, record), code::RecordNotFound);
  ASSERT_EQ(cursor->setToEnd(), code::Ok);
  ASSERT_EQ(cursor->readPrior(record), code::Ok);
  EXPECT_EQ(idOf(record), 60);
}

TEST_P(RecordTest, ModifyNeedsTheLockOfThatRecord) {
  createRelationTable();
  auto cursor = openTable();
  ASSERT_TRUE(cursor);
  fill(*cursor, 1, 10);
  Record record;
  ASSERT_EQ(cursor->findKey({Value::integer(7)}, record), code::Ok);
  EXPECT_EQ(cursor->modifyRecord(relation(*cursor, 7, "unlocked")), code::RecordNotLocked);
  EXPECT_TRUE(entriesMention("Id = 7")) << describeFailure(code::RecordNotLocked);

  // The lock is for record 7, not for the one the cursor moved on to.
  ASSERT_EQ(cursor->readCurrent(record, LockMode::WriteLock), code::Ok);
  ASSERT_EQ(cursor->readNext(record), code::Ok);
  EXPECT_EQ(cursor->modifyRecord(relation(*cursor, 8, "other")), code::RecordNotLocked);
  ASSERT_EQ(cursor->findKey({Value::integer(7)}, record), code::Ok);
  ASSERT_EQ(cursor->modifyRecord(relation(*cursor, 7, "locked")), code::Ok) << describeFailure(code::Ok);
  // Posting gave the lock up, and so does releaseLock.
  EXPECT_EQ(cursor->modifyRecord(relation(*cursor, 7, "again")), code::RecordNotLocked);
  ASSERT_EQ(cursor->readCurrent(record, LockMode::WriteLock), code::Ok);
  ASSERT_EQ(cursor->releaseLock(), code::Ok);
  EXPECT_EQ(cursor->modifyRecord(relation(*cursor, 7, "released")), code::RecordNotLocked);
  ASSERT_EQ(cursor->readCurrent(record, LockMode::NoLock), code::Ok);
  EXPECT_EQ(textOf(record, 2), "locked");
}

VANDRO_ON_EVERY_DRIVER(RecordTest);

} // namespace
} // namespace vandro::engine::testing
