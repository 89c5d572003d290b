// Cases found in review: sharing a table with a busy writer, numbering,
// keys, snapshots and dates.
#include "EngineFixture.h"

#include "engine/DateText.h"

#include <chrono>
#include <csignal>
#include <filesystem>
#include <grp.h>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace vandro::engine::testing {
namespace {

using HardeningTest = EngineFixture;
using DriverHardeningTest = DriverTest;

// While another process commits large transactions and checkpoints them
// into the file, every open sees a sound table: the file is only shorter
// than its header says for the moment the checkpoint writes it.
TEST_F(HardeningTest, OpensSucceedWhileAnotherProcessCheckpoints) {
  createRelationTable();
  ChildProcess writer([&](ChildProcess &parent) -> std::string {
    std::unique_ptr<Cursor> cursor;
    if (const Result result = tryOpen(cursor); result != code::Ok)
      return "open: " + describeFailure(result);
    parent.send("open");
    const std::string span(3000, 'x');
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(1500);
    for (std::int64_t id = 1; std::chrono::steady_clock::now() < until;) {
      if (cursor->beginBulk() != code::Ok)
        return "begin";
      for (int n = 0; n < 300; ++n, ++id) {
        Record record = relation(*cursor, id);
        record.values[7] = Value::text(span);
        if (const Result result = cursor->insertRecord(record); result != code::Ok)
          return "insert: " + describeFailure(result);
      }
      if (cursor->commitBulk() != code::Ok)
        return "commit";
    }
    return {};
  });
  ASSERT_EQ(writer.receive(), "open");
  int opens = 0;
  std::vector<std::string> failures;
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(1400);
  while (std::chrono::steady_clock::now() < until) {
    std::unique_ptr<Cursor> cursor;
    const Result result = tryOpen(cursor);
    ++opens;
    if (result != code::Ok && failures.size() < 3)
      failures.push_back(describeFailure(result));
  }
  EXPECT_EQ(writer.wait(), 0);
  EXPECT_GT(opens, 10);
  EXPECT_TRUE(failures.empty()) << failures.size() << " failed opens of " << opens << ", first: " << failures[0];
}

// Two processes adding records with an empty auto-increment field never
// give two records one number.
TEST_P(DriverHardeningTest, AutoIncrementNumbersNeverRepeatAcrossWriters) {
  const std::vector<FieldDescription> fields = {{"N", FieldKind::AutoInc, 0, false, false, {}},
                                                {"Who", FieldKind::String, 10, false, false, {}}};
  ASSERT_EQ(m_database->createTable("Numbers.DB", fields, {0}), code::Ok);
  auto addRecords = [&](const std::string &who) {
    return [&, who](ChildProcess &parent) -> std::string {
      std::unique_ptr<Cursor> cursor;
      if (const Result result = tryOpen(cursor, "Numbers.DB"); result != code::Ok)
        return "open: " + describeFailure(result);
      parent.send("ready");
      if (parent.receive() != "go")
        return "no go";
      for (int n = 0; n < 150; ++n) {
        Record record = cursor->blankRecord();
        record.values[1] = Value::text(who);
        if (const Result result = cursor->insertRecord(record); result != code::Ok)
          return "insert: " + describeFailure(result);
      }
      return {};
    };
  };
  ChildProcess first(addRecords("first"));
  ChildProcess second(addRecords("second"));
  ASSERT_EQ(first.receive(), "ready");
  ASSERT_EQ(second.receive(), "ready");
  first.send("go");
  second.send("go");
  EXPECT_EQ(first.wait(), 0);
  EXPECT_EQ(second.wait(), 0);

  auto cursor = openTable("Numbers.DB");
  ASSERT_TRUE(cursor);
  std::set<std::int64_t> numbers;
  int records = 0;
  Record record;
  ASSERT_EQ(cursor->setToBegin(), code::Ok);
  while (cursor->readNext(record) == code::Ok) {
    ++records;
    ASSERT_FALSE(record.values[0].isNull());
    numbers.insert(record.values[0].asInteger());
  }
  EXPECT_EQ(records, 300);
  EXPECT_EQ(numbers.size(), 300u) << "numbers given twice";
  EXPECT_EQ(*numbers.rbegin(), 300);
}

// A key column that SQLite would let hold null (a text primary key without
// NOT NULL) is refused a null: no key comparison would find that record again.
TEST_P(DriverHardeningTest, ANullKeyIsRefused) {
  execute("CREATE TABLE \"Keys\" (\"K\" VARCHAR(10) PRIMARY KEY, \"V\" INTEGER)", "Keys.DB");
  auto cursor = openTable("Keys.DB");
  ASSERT_TRUE(cursor);
  Record record = cursor->blankRecord();
  record.values[1] = Value::integer(1);
  EXPECT_EQ(cursor->insertRecord(record), code::RequiredValueMissing);
  EXPECT_TRUE(entriesMention("Field K"));
  record.values[0] = Value::text("a");
  EXPECT_EQ(cursor->insertRecord(record), code::Ok);
}

// Reading within a snapshot sees the table as it was when the snapshot
// began, also records another cursor changes meanwhile.
TEST_P(DriverHardeningTest, ASnapshotReadIsConsistent) {
  createRelationTable();
  auto reader = openTable();
  auto writer = openTable();
  ASSERT_TRUE(reader && writer);
  fill(*writer, 1, 20);
  ASSERT_EQ(reader->beginSnapshot(), code::Ok);
  Record record;
  ASSERT_EQ(reader->setToBegin(), code::Ok);
  ASSERT_EQ(reader->readNext(record), code::Ok);

  Record changed;
  ASSERT_EQ(writer->findKey({Value::integer(15)}, changed), code::Ok);
  ASSERT_EQ(writer->readCurrent(changed, LockMode::WriteLock), code::Ok);
  changed.values[2] = Value::text("contrast");
  ASSERT_EQ(writer->modifyRecord(changed), code::Ok);

  while (idOf(record) != 15)
    ASSERT_EQ(reader->readNext(record), code::Ok);
  EXPECT_EQ(textOf(record, 2), "elaboration") << "a change from after the snapshot began";
  ASSERT_EQ(reader->endSnapshot(), code::Ok);
  ASSERT_EQ(reader->readCurrent(record, LockMode::NoLock), code::Ok);
  EXPECT_EQ(textOf(record, 2), "contrast");
}

// A table whose committed records still stand in its write-ahead log, in a
// folder the reader may not write (so the log cannot be used without its
// shared-memory file): the reader gets every record or a clear failure,
// never the older records of the file alone.
TEST_F(HardeningTest, AReadOnlyTableIsNeverReadWithoutItsLog) {
  const bool root = ::geteuid() == 0;
  const uid_t nobody = 65534;
  ASSERT_EQ(::chmod(m_directory.c_str(), 0755), 0);
  createRelationTable();
  const std::string path = pathOf();
  {
    // A writer that dies before any checkpoint leaves its commits in the log.
    ChildProcess writer([&](ChildProcess &parent) -> std::string {
      std::unique_ptr<Cursor> cursor;
      if (const Result result = tryOpen(cursor); result != code::Ok)
        return "open: " + describeFailure(result);
      for (std::int64_t id = 1; id <= 10; ++id)
        if (const Result result = cursor->insertRecord(relation(*cursor, id)); result != code::Ok)
          return "insert: " + describeFailure(result);
      parent.send("written");
      parent.receive();
      return {};
    });
    ASSERT_EQ(writer.receive(), "written");
    writer.kill();
    writer.wait();
  }
  ASSERT_TRUE(std::filesystem::exists(path + "-wal"));
  ASSERT_GT(std::filesystem::file_size(path + "-wal"), 0u);
  std::filesystem::remove(path + "-shm");
  if (root) {
    ASSERT_EQ(::chown(m_directory.c_str(), 0, 0), 0);
    ASSERT_EQ(::chmod(m_directory.c_str(), 0755), 0);
  } else {
    ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
    ASSERT_EQ(::chmod((path + "-wal").c_str(), 0444), 0);
    ASSERT_EQ(::chmod(m_directory.c_str(), 0555), 0);
  }
  ChildProcess reader([&](ChildProcess &) -> std::string {
    if (root && (::setgroups(0, nullptr) != 0 || ::setgid(nobody) != 0 || ::setuid(nobody) != 0))
      return "cannot become nobody";
    std::unique_ptr<Cursor> cursor;
    const Result result = tryOpen(cursor, "Vandro.DB", OpenMode::ReadOnly);
    if (result != code::Ok)
      return entriesMention(path) ? std::string() : "the failure does not name the file: " + describeFailure(result);
    Record record;
    int records = 0;
    if (cursor->setToBegin() != code::Ok)
      return "setToBegin";
    while (cursor->readNext(record) == code::Ok)
      ++records;
    return records == 10 ? std::string() : "read " + std::to_string(records) + " of 10 records";
  });
  EXPECT_EQ(reader.receive(), "(end)");
  EXPECT_EQ(reader.wait(), 0);
  if (!root)
    ::chmod(m_directory.c_str(), 0755);
}

// A read-only connection cannot have SQLite remove the log files it made;
// left behind, they keep the table file's mode of that moment and the table
// unwritable through them after it is made writable again. Log files
// someone else uses stay.
TEST_F(HardeningTest, AReadOnlyOpenTakesAwayTheEmptyLogFilesNobodyUses) {
  createRelationTable();
  fill(*openTable(), 1, 3);
  const std::string path = pathOf();
  const auto logFiles = [&](const std::string &table) {
    return std::filesystem::exists(table + "-wal") + std::filesystem::exists(table + "-shm");
  };
  ASSERT_EQ(logFiles(path), 0);
  const auto readAll = [&](OpenMode mode, int expected = 3) {
    auto cursor = openTable("Vandro.DB", mode);
    Record record;
    int records = 0;
    while (cursor && cursor->readNext(record) == code::Ok)
      ++records;
    EXPECT_EQ(records, expected);
    return cursor;
  };
  {
    auto reader = readAll(OpenMode::ReadOnly);
    auto second = readAll(OpenMode::ReadOnly);
    EXPECT_EQ(logFiles(path), 2);
    reader.reset();
    EXPECT_EQ(logFiles(path), 2) << "taken from a connection still open";
  }
  EXPECT_EQ(logFiles(path), 0);

  // A writer of this process, then one of another process, keeps its files.
  {
    auto writer = readAll(OpenMode::ReadWrite);
    readAll(OpenMode::ReadOnly).reset();
    EXPECT_EQ(logFiles(path), 2);
    ASSERT_EQ(writer->insertRecord(relation(*writer, 4)), code::Ok);
  }
  ChildProcess writer([&](ChildProcess &parent) -> std::string {
    std::unique_ptr<Cursor> cursor;
    if (const Result result = tryOpen(cursor); result != code::Ok)
      return "open: " + describeFailure(result);
    parent.send("open");
    parent.receive();
    return cursor->insertRecord(relation(*cursor, 5)) == code::Ok ? std::string() : "insert";
  });
  ASSERT_EQ(writer.receive(), "open");
  {
    auto reader = openTable("Vandro.DB", OpenMode::ReadOnly);
    Record record;
    ASSERT_EQ(reader->readNext(record), code::Ok);
  }
  EXPECT_EQ(logFiles(path), 2);
  writer.send("insert");
  EXPECT_EQ(writer.receive(), "(end)");
  EXPECT_EQ(writer.wait(), 0);

  // Files a killed reader left go with the next reader; a log that holds
  // records stays.
  ChildProcess killed([&](ChildProcess &parent) -> std::string {
    std::unique_ptr<Cursor> cursor;
    Record record;
    if (tryOpen(cursor, "Vandro.DB", OpenMode::ReadOnly) != code::Ok || cursor->readNext(record) != code::Ok)
      return "read";
    parent.send("reading");
    parent.receive();
    return {};
  });
  ASSERT_EQ(killed.receive(), "reading");
  killed.kill();
  killed.wait();
  EXPECT_EQ(logFiles(path), 2);
  readAll(OpenMode::ReadOnly, 5).reset();
  EXPECT_EQ(logFiles(path), 0);

  // A read-only open that fails, of a file in log mode without the table,
  // leaves that file as it found it.
  const std::string other = pathOf("Other.DB");
  runSql(other, "PRAGMA journal_mode=WAL; CREATE TABLE Unrelated(x);");
  ASSERT_EQ(logFiles(other), 0);
  std::unique_ptr<Cursor> failed;
  EXPECT_NE(tryOpen(failed, "Other.DB", OpenMode::ReadOnly), code::Ok);
  EXPECT_EQ(logFiles(other), 0);
}

VANDRO_ON_EVERY_DRIVER(DriverHardeningTest);

TEST(DateTextTest, DaysMustExistInTheirMonth) {
  struct Row {
    const char *text;
    bool valid;
  };
  const Row rows[] = {{"2023-02-28", true}, {"2023-02-29", false}, {"2024-02-29", true},
                      {"1900-02-29", false}, {"2000-02-29", true}, {"2023-04-30", true},
                      {"2023-04-31", false}, {"2023-12-31", true}, {"2023-02-31 10:00", false}};
  for (const auto &row : rows)
    EXPECT_EQ(isoTextToDays(row.text).has_value(), row.valid) << row.text;
  EXPECT_EQ(daysToIsoText(*isoTextToDays("2024-02-29"), FieldKind::Date), "2024-02-29");
}

} // namespace
} // namespace vandro::engine::testing
