// Record locks between cursors and processes, durable posts, fresh reads and
// read-only files.
#include "EngineFixture.h"
#include "engine/postgres/AdvisoryLockKey.h"
#include "engine/sqlite/RecordLock.h"

#include <cmath>
#include <csignal>
#include <ctime>
#include <filesystem>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_set>

namespace vandro::engine::testing {
namespace {

using SharingTest = DriverTest;
using FileSharingTest = EngineFixture;

// The ways a holder lets go of a record lock.
const std::vector<std::string> kLetGo = {"post", "cancel", "close"};

// Lets go of the lock that `cursor` holds in the way `how` names.
Result letGo(const std::string &how, std::unique_ptr<Cursor> &cursor, const Record &posted) {
  if (how == "post")
    return cursor->modifyRecord(posted);
  if (how == "cancel")
    return cursor->releaseLock();
  cursor.reset();
  return code::Ok;
}

TEST_P(SharingTest, AnotherProcessCannotLockARecordUntilTheHolderLetsGo) {
  createRelationTable();
  fill(*openTable(), 1, 10);
  std::vector<std::string> ways = kLetGo;
  ways.push_back("kill");
  for (const auto &how : ways) {
    SCOPED_TRACE(how);
    ChildProcess child([&](ChildProcess &parent) -> std::string {
      std::unique_ptr<Cursor> cursor;
      Record record;
      Result result = tryOpen(cursor);
      if (result == code::Ok)
        result = cursor->findKey({Value::integer(5)}, record);
      if (result == code::Ok)
        result = cursor->readCurrent(record, LockMode::WriteLock);
      if (result != code::Ok)
        return "locking: " + describeFailure(result);
      parent.send("locked");
      const std::string command = parent.receive();
      if (const Result r = letGo(command, cursor, relation(*cursor, 5, "posted by " + command));
          r != code::Ok)
        return command + ": " + describeFailure(r);
      parent.send("done");
      parent.receive();
      return {};
    });
    ASSERT_EQ(child.receive(), "locked");

    auto cursor = openTable();
    ASSERT_TRUE(cursor);
    Record record;
    ASSERT_EQ(cursor->findKey({Value::integer(5)}, record), code::Ok);
    EXPECT_EQ(cursor->readCurrent(record, LockMode::WriteLock), code::RecordLocked);
    EXPECT_TRUE(entriesMention("Id = 5")) << describeFailure(code::RecordLocked);
    EXPECT_TRUE(entriesMention(location())) << describeFailure(code::RecordLocked);
    // The holder named: user, machine, since when; and listed as holding
    // exactly that record.
    char host[256] = {};
    ASSERT_EQ(::gethostname(host, sizeof host - 1), 0);
    EXPECT_TRUE(entriesMention("Held by ") && entriesMention(std::string(" on ") + host + " since "))
        << describeFailure(code::RecordLocked);
    std::vector<LockHolder> holders;
    ASSERT_EQ(cursor->lockHolders(holders), code::Ok);
    ASSERT_EQ(holders.size(), 1u);
    EXPECT_EQ(holders[0].record, "Id = 5");
    EXPECT_EQ(holders[0].machine, host);
    EXPECT_FALSE(holders[0].user.empty());
    EXPECT_TRUE(holders[0].since && std::abs(*holders[0].since - ::time(nullptr)) < 60);
    // Only that record is taken.
    ASSERT_EQ(cursor->readNext(record), code::Ok);
    EXPECT_EQ(cursor->readCurrent(record, LockMode::WriteLock), code::Ok);
    ASSERT_EQ(cursor->releaseLock(), code::Ok);
    ASSERT_EQ(cursor->readPrior(record), code::Ok);

    if (how == "kill") {
      child.kill();
      EXPECT_EQ(child.wait(), 128 + SIGKILL);
    } else {
      child.send(how);
      ASSERT_EQ(child.receive(), "done");
    }
    // A server lets go of a killed client's locks once it notices the
    // connection is gone, which takes a moment after the kill returns; a
    // dead holder is never listed.
    for (int tries = 0; cursor->lockHolders(holders) == code::Ok && !holders.empty() && tries < 200; ++tries)
      ::usleep(50'000);
    EXPECT_TRUE(holders.empty()) << holders[0].record;
    Result relocked = cursor->readCurrent(record, LockMode::WriteLock);
    for (int tries = 0; onServer() && how == "kill" && relocked == code::RecordLocked && tries < 200;
         ++tries) {
      ::usleep(50'000);
      relocked = cursor->readCurrent(record, LockMode::WriteLock);
    }
    ASSERT_EQ(relocked, code::Ok) << describeFailure(relocked);
    if (how == "post") {
      EXPECT_EQ(textOf(record, 2), "posted by post");
    }
    ASSERT_EQ(cursor->releaseLock(), code::Ok);
    if (how != "kill") {
      child.send("quit");
      EXPECT_EQ(child.wait(), 0);
    }
  }
}

TEST_P(SharingTest, TwoCursorsOfOneProcessConflictLikeTwoProcesses) {
  createRelationTable();
  auto other = openTable();
  ASSERT_TRUE(other);
  fill(*other, 1, 10);
  Record record;
  for (const auto &how : kLetGo) {
    SCOPED_TRACE(how);
    auto holder = openTable();
    ASSERT_TRUE(holder);
    ASSERT_EQ(holder->findKey({Value::integer(5)}, record), code::Ok);
    ASSERT_EQ(holder->readCurrent(record, LockMode::WriteLock), code::Ok);
    ASSERT_EQ(other->findKey({Value::integer(5)}, record), code::Ok);
    EXPECT_EQ(other->readCurrent(record, LockMode::WriteLock), code::RecordLocked);
    EXPECT_TRUE(entriesMention("Id = 5")) << describeFailure(code::RecordLocked);
    EXPECT_TRUE(entriesMention(location())) << describeFailure(code::RecordLocked);
    // The holder may lock its own record again.
    EXPECT_EQ(holder->readCurrent(record, LockMode::WriteLock), code::Ok);
    ASSERT_EQ(letGo(how, holder, relation(*holder, 5, "posted in-process")), code::Ok)
        << describeFailure(code::Ok);
    ASSERT_EQ(other->readCurrent(record, LockMode::WriteLock), code::Ok) << describeFailure(code::Ok);
    EXPECT_EQ(textOf(record, 2), how == "post" ? "posted in-process" : "elaboration");
    ASSERT_EQ(other->modifyRecord(relation(*other, 5)), code::Ok);
  }
  // A cursor holds one lock: reaching for another that is taken leaves it
  // holding none, so it cannot post the record it held before over the
  // cursor that has locked that one since.
  auto one = openTable();
  ASSERT_TRUE(one);
  ASSERT_EQ(one->findKey({Value::integer(3)}, record), code::Ok);
  ASSERT_EQ(one->readCurrent(record, LockMode::WriteLock), code::Ok);
  ASSERT_EQ(other->findKey({Value::integer(4)}, record), code::Ok);
  ASSERT_EQ(other->readCurrent(record, LockMode::WriteLock), code::Ok);
  ASSERT_EQ(one->findKey({Value::integer(4)}, record), code::Ok);
  EXPECT_EQ(one->readCurrent(record, LockMode::WriteLock), code::RecordLocked);
  ASSERT_EQ(other->findKey({Value::integer(3)}, record), code::Ok);
  EXPECT_EQ(other->readCurrent(record, LockMode::WriteLock), code::Ok) << describeFailure(code::Ok);
  ASSERT_EQ(one->findKey({Value::integer(3)}, record), code::Ok);
  EXPECT_EQ(one->modifyRecord(relation(*one, 3, "stale")), code::RecordNotLocked);
}

// A delete of many records takes each one's lock and keeps it to the end of
// its transaction: a record another cursor edits stops it before anything
// goes, and no edit starts on a record that is going.
TEST_P(SharingTest, ADeleteTakesTheLockOfEveryRecordItRemoves) {
  createRelationTable();
  auto editor = openTable();
  auto remover = openTable();
  ASSERT_TRUE(editor && remover);
  fill(*editor, 1, 6);
  const std::vector<Bookmark> going = {{Value::integer(2)}, {Value::integer(4)}, {Value::integer(5)}};
  Record record;
  ASSERT_EQ(editor->findKey({Value::integer(4)}, record), code::Ok);
  ASSERT_EQ(editor->readCurrent(record, LockMode::WriteLock), code::Ok);
  ASSERT_EQ(remover->beginBulk(), code::Ok);
  EXPECT_EQ(remover->deleteRecords(going), code::RecordLocked);
  EXPECT_TRUE(entriesMention("Id = 4")) << describeFailure(code::RecordLocked);
  ASSERT_EQ(remover->rollbackBulk(), code::Ok);
  EXPECT_EQ(remover->findKey({Value::integer(2)}, record), code::Ok) << "nothing went";
  // Once the editor lets go, the delete holds the locks until it commits.
  ASSERT_EQ(editor->releaseLock(), code::Ok);
  ASSERT_EQ(remover->beginBulk(), code::Ok);
  ASSERT_EQ(remover->deleteRecords(going), code::Ok) << describeFailure(code::Ok);
  ASSERT_EQ(editor->findKey({Value::integer(5)}, record), code::Ok);
  EXPECT_EQ(editor->readCurrent(record, LockMode::WriteLock), code::RecordLocked);
  ASSERT_EQ(remover->commitBulk(), code::Ok);
  EXPECT_EQ(editor->findKey({Value::integer(5)}, record), code::RecordNotFound);
  ASSERT_EQ(editor->findKey({Value::integer(6)}, record), code::Ok);
  EXPECT_EQ(editor->readCurrent(record, LockMode::WriteLock), code::Ok) << "the locks went with the commit";
}

TEST_P(SharingTest, EveryRecordHasALockOfItsOwn) {
  // 116048 and 1308084 once shared a lock on the server (a 32-bit hash).
  createRelationTable();
  auto holder = openTable();
  auto other = openTable();
  ASSERT_TRUE(holder && other);
  ASSERT_EQ(holder->insertRecord(relation(*holder, 116048)), code::Ok);
  ASSERT_EQ(holder->insertRecord(relation(*holder, 1308084)), code::Ok);
  Record record;
  ASSERT_EQ(holder->findKey({Value::integer(116048)}, record), code::Ok);
  ASSERT_EQ(holder->readCurrent(record, LockMode::WriteLock), code::Ok);
  ASSERT_EQ(other->findKey({Value::integer(1308084)}, record), code::Ok);
  EXPECT_EQ(other->readCurrent(record, LockMode::WriteLock), code::Ok) << describeFailure(code::Ok);
}

TEST(RecordLockKeyTest, AMillionHashedKeysAreAllApart) {
  // Keys that are no single integer are hashed: a million of them, no two
  // alike, in the server's lock space and in the lock file's.
  std::unordered_set<std::int64_t> serverLocks, fileOffsets;
  for (int i = 0; i < 1'000'000; ++i) {
    const Bookmark key = {Value::text("GUM_" + std::to_string(i))};
    serverLocks.insert(advisoryLockKey(16384, key).hash);
    fileOffsets.insert(RecordLock::offsetFor(key));
  }
  EXPECT_EQ(serverLocks.size(), 1'000'000u);
  EXPECT_EQ(fileOffsets.size(), 1'000'000u);
}

TEST_P(SharingTest, APostSurvivesAKillRightAfterIt) {
  createRelationTable();
  fill(*openTable(), 1, 10);
  ChildProcess child([&](ChildProcess &parent) -> std::string {
    std::unique_ptr<Cursor> cursor;
    Record record;
    Result result = tryOpen(cursor);
    if (result == code::Ok)
      result = cursor->findKey({Value::integer(5)}, record);
    if (result == code::Ok)
      result = cursor->readCurrent(record, LockMode::WriteLock);
    if (result == code::Ok)
      result = cursor->modifyRecord(relation(*cursor, 5, "durable"));
    if (result == code::Ok)
      result = cursor->insertRecord(relation(*cursor, 11, "inserted"));
    if (result != code::Ok)
      return describeFailure(result);
    parent.send("posted");
    parent.receive(); // killed while waiting here
    return "was not killed";
  });
  ASSERT_EQ(child.receive(), "posted");
  child.kill();
  ASSERT_EQ(child.wait(), 128 + SIGKILL);

  auto cursor = openTable();
  ASSERT_TRUE(cursor);
  Record record;
  ASSERT_EQ(cursor->findKey({Value::integer(5)}, record), code::Ok);
  EXPECT_EQ(textOf(record, 2), "durable");
  ASSERT_EQ(cursor->findKey({Value::integer(11)}, record), code::Ok);
  EXPECT_EQ(textOf(record, 2), "inserted");
  std::vector<std::string> problems = {"not run"};
  ASSERT_EQ(cursor->integrityCheck(problems), code::Ok) << describeFailure(code::Ok);
  EXPECT_TRUE(problems.empty()) << problems.front();
}

TEST_P(SharingTest, ReadAheadShowsWhatAnotherCursorPosted) {
  createRelationTable();
  auto reader = openTable();
  auto writer = openTable();
  ASSERT_TRUE(reader && writer);
  fill(*writer, 1, 20);
  auto change = [&](std::int64_t id, const std::string &text) {
    Record record;
    ASSERT_EQ(writer->findKey({Value::integer(id)}, record), code::Ok);
    ASSERT_EQ(writer->readCurrent(record, LockMode::WriteLock), code::Ok);
    ASSERT_EQ(writer->modifyRecord(relation(*writer, id, text)), code::Ok);
  };
  Record record;
  ASSERT_EQ(reader->setToBegin(), code::Ok);
  ASSERT_EQ(reader->readNext(record), code::Ok); // reads 1 and the next few ahead
  EXPECT_EQ(idOf(record), 1);
  change(2, "first change");
  ASSERT_EQ(reader->readNext(record), code::Ok);
  EXPECT_EQ(idOf(record), 2);
  EXPECT_EQ(textOf(record, 2), "first change");
  change(3, "second change");
  ASSERT_EQ(reader->readNext(record), code::Ok);
  EXPECT_EQ(idOf(record), 3);
  EXPECT_EQ(textOf(record, 2), "second change");
  ASSERT_EQ(reader->readNext(record), code::Ok);
  EXPECT_EQ(idOf(record), 4);
  change(2, "third change");
  ASSERT_EQ(reader->readPrior(record), code::Ok);
  ASSERT_EQ(reader->readPrior(record), code::Ok);
  EXPECT_EQ(idOf(record), 2);
  EXPECT_EQ(textOf(record, 2), "third change");
}

TEST_F(FileSharingTest, AnUnwritableTableOpensForReadingOnly) {
  const bool root = ::geteuid() == 0;
  const uid_t nobody = 65534;
  struct Case {
    const char *what;
    bool fileWritable;
    bool directoryWritable;
  };
  const Case cases[] = {{"file and directory unwritable", false, false},
                        {"only the directory unwritable", true, false},
                        {"only the file unwritable", false, true}};
  ASSERT_EQ(::chmod(m_directory.c_str(), 0755), 0);
  for (const auto &c : cases) {
    SCOPED_TRACE(c.what);
    const std::string directory = m_directory + "/" + std::to_string(&c - cases);
    const std::string path = directory + "/Vandro.DB";
    ASSERT_EQ(::mkdir(directory.c_str(), 0755), 0);
    std::unique_ptr<Database> database;
    ASSERT_EQ(Engine::instance().openDatabase("", directory, OpenMode::ReadWrite, ShareMode::Shared,
                                              database),
              code::Ok);
    ASSERT_EQ(database->createTable("Vandro.DB", corpus::relationTableFields(), corpus::kRelationTableKey), code::Ok);
    {
      std::unique_ptr<Cursor> cursor;
      ASSERT_EQ(database->openTable("Vandro.DB", "default", OpenMode::ReadWrite, ShareMode::Shared,
                                    cursor),
                code::Ok);
      fill(*cursor, 1, 10);
    }
    // Closed cleanly: no shared-memory file is left for the reader to use.
    ASSERT_FALSE(std::filesystem::exists(path + "-shm"));
    if (root) {
      // Permission bits do not stop root: the reader runs as nobody.
      ASSERT_EQ(::chmod(path.c_str(), 0644), 0);
      ASSERT_EQ(::chown(path.c_str(), c.fileWritable ? nobody : 0, 0), 0);
      ASSERT_EQ(::chown(directory.c_str(), c.directoryWritable ? nobody : 0, 0), 0);
    } else {
      ASSERT_EQ(::chmod(path.c_str(), c.fileWritable ? 0644 : 0444), 0);
      ASSERT_EQ(::chmod(directory.c_str(), c.directoryWritable ? 0755 : 0555), 0);
    }

    ChildProcess child([&](ChildProcess &) -> std::string {
      if (root && (::setgroups(0, nullptr) != 0 || ::setgid(nobody) != 0 || ::setuid(nobody) != 0))
        return "cannot become nobody";
      std::unique_ptr<Cursor> cursor;
      Result result = database->openTable("Vandro.DB", "default", OpenMode::ReadWrite,
                                          ShareMode::Shared, cursor);
      if (result != code::ReadOnlyTable)
        return "read-write open: " + describeFailure(result);
      if (!entriesMention(path))
        return "read-write open does not name the file: " + describeFailure(result);
      result = database->openTable("Vandro.DB", "default", OpenMode::ReadOnly, ShareMode::Shared,
                                   cursor);
      if (result != code::Ok)
        return "read-only open: " + describeFailure(result);
      if (cursor->description().writable)
        return "the description says writable";
      Record record;
      std::int64_t expected = 1;
      while ((result = cursor->readNext(record)) == code::Ok)
        if (idOf(record) != expected++)
          return "read " + std::to_string(idOf(record)) + " out of order";
      if (result != code::Eof || expected != 11)
        return "browsing ended at " + std::to_string(expected) + ": " + describeFailure(result);
      if ((result = cursor->findKey({Value::integer(4)}, record)) != code::Ok)
        return "findKey: " + describeFailure(result);
      const std::pair<const char *, Result> writes[] = {
          {"readCurrent(WriteLock)", cursor->readCurrent(record, LockMode::WriteLock)},
          {"modifyRecord", cursor->modifyRecord(relation(*cursor, 4, "changed"))},
          {"insertRecord", cursor->insertRecord(relation(*cursor, 12, "new"))}};
      std::string failures;
      for (const auto &[operation, write] : writes)
        if (write != code::TableIsReadOnly)
          failures += std::string(operation) + " answered \"" + std::string(messageFor(write)) + "\"; ";
      return failures;
    });
    EXPECT_EQ(child.receive(), "(end)");
    EXPECT_EQ(child.wait(), 0);
  }
}

VANDRO_ON_EVERY_DRIVER(SharingTest);

} // namespace
} // namespace vandro::engine::testing
