// Table1's edit cycle against real tables: the record an edit reads and
// locks, posts and their failures, cancels, closing with an edit pending,
// and the record lock against another process; once per driver.
#include "TableCursorFixture.h"

namespace vandro::testing {
namespace {

TEST_P(TableCursorTest, EditLocksAndRereadsTheRecordAndIsIgnoredWhileEditing) {
  makeRelationTable(numberedRows(3));
  TTable &table = open();
  // Another cursor changes record 1 after Table1 has read it.
  Record record;
  ASSERT_EQ(other().findKey({Value::integer(1)}, record), code::Ok);
  ASSERT_EQ(other().readCurrent(record, LockMode::WriteLock), code::Ok);
  record.values[kRelation] = Value::text("antithesis");
  ASSERT_EQ(other().modifyRecord(record), code::Ok);
  EXPECT_EQ(text("Relation"), "contrast") << "browsing shows what was read";

  table.Edit();
  EXPECT_EQ(take(), (EventLog{"CheckBrowseMode", "StateChange", "RecordChange"}));
  EXPECT_EQ(table.State(), DataSetState::Edit);
  EXPECT_EQ(text("Relation"), "antithesis") << "the edit starts from the stored record";
  EXPECT_EQ(lockFromOther(1), code::RecordLocked);
  EXPECT_EQ(lockFromOther(2), code::Ok) << "only the edited record is locked";

  table.LookupField(QStringLiteral("Relation")).setAsString(QStringLiteral("joint"));
  EXPECT_EQ(take(), EventLog{"FieldChange:Relation"});
  table.Edit();
  EXPECT_EQ(take(), EventLog{});
  EXPECT_EQ(table.State(), DataSetState::Edit);
  EXPECT_TRUE(table.Modified());
  EXPECT_EQ(text("Relation"), "joint");
  EXPECT_EQ(stored(1), "antithesis") << "still pending";
}

TEST_P(TableCursorTest, EditOnAReadOnlyTableFails) {
  makeRelationTable(numberedRows(2));
  makeRelationTable({}, "Empty.DB");
  for (const char *file : {"Vandro.DB", "Empty.DB"}) {
    SCOPED_TRACE(file);
    TTable &table = open(file, true);
    EXPECT_FALSE(table.CanModify());
    EXPECT_EQ(failureOf([&] { table.Edit(); }), "Table1: Cannot modify a read-only dataset");
    EXPECT_EQ(take(), EventLog{"CheckBrowseMode"});
    EXPECT_EQ(table.State(), DataSetState::Browse);
  }
}

TEST_P(TableCursorTest, EditOnAnEmptyTableInsertsABlankRecordThatCancelDropsAndPostStores) {
  makeRelationTable({});
  TTable &table = open();
  const EventLog scrolledChange = {"CheckBrowseMode", "BeforeScroll", "StateChange", "DataSetChange",
                                   "AfterScroll"};
  table.Edit();
  EXPECT_EQ(take(), scrolledChange);
  EXPECT_EQ(table.State(), DataSetState::Insert);
  EXPECT_FALSE(table.IsEmpty());
  EXPECT_FALSE(table.Modified());
  for (const auto &field : table.Fields())
    EXPECT_TRUE(field->IsNull()) << str(field->FieldName());

  table.Cancel();
  EXPECT_EQ(take(), scrolledChange);
  EXPECT_EQ(table.State(), DataSetState::Browse);
  EXPECT_TRUE(table.IsEmpty());
  EXPECT_TRUE(table.AtStart());
  EXPECT_TRUE(table.AtEnd());

  table.Edit();
  table.LookupField(QStringLiteral("Id")).setAsInteger(5);
  table.LookupField(QStringLiteral("Relation")).setAsString(QStringLiteral("sequence"));
  take();
  table.Post();
  EXPECT_EQ(take(), kPosted);
  EXPECT_EQ(table.State(), DataSetState::Browse);
  EXPECT_EQ(text("Id"), "5");
  EXPECT_FALSE(table.AtStart());
  EXPECT_FALSE(table.AtEnd());
  EXPECT_EQ(stored(5), "sequence");
}

TEST_P(TableCursorTest, AMovePostsAWrittenEditAndCancelsAnUntouchedOne) {
  makeRelationTable(numberedRows(3));
  const EventLog posting = {"CheckBrowseMode", "UpdateRecord", "UpdateRecord", "CheckBrowseMode", "StateChange",
                            "DataSetChange"};
  const EventLog cancelling = {"CheckBrowseMode", "UpdateRecord", "CheckBrowseMode", "StateChange",
                               "DataSetChange"};
  const EventLog scrolled = {"BeforeScroll", "DataSetScroll", "AfterScroll"};
  const EventLog changed = {"BeforeScroll", "DataSetChange", "AfterScroll"};
  const EventLog found = {"StateChange", "FieldChange:Id", "StateChange", "CheckBrowseMode", "BeforeScroll",
                          "DataSetChange", "AfterScroll"};
  const struct {
    const char *move;
    std::function<void(TTable &)> action;
    const char *id;
    const EventLog &tail;
  } moves[] = {
      {"Next", [](TTable &t) { t.Next(); }, "3", scrolled},
      {"Prior", [](TTable &t) { t.Prior(); }, "1", scrolled},
      {"First", [](TTable &t) { t.First(); }, "1", changed},
      {"Last", [](TTable &t) { t.Last(); }, "3", changed},
      // The found key's own settling only checks the browse mode.
      {"FindByKey", [](TTable &t) { EXPECT_TRUE(t.FindByKey(3)); }, "3", found},
  };
  int n = 0;
  for (const auto &m : moves) {
    for (const bool written : {true, false}) {
      SCOPED_TRACE(std::string(m.move) + (written ? ", a field written" : ", nothing written"));
      TTable &table = open();
      table.Next();
      const std::string before = stored(2);
      table.Edit();
      const std::string value = "value" + std::to_string(++n);
      if (written)
        table.LookupField(QStringLiteral("Relation")).setAsString(QString::fromStdString(value));
      take();
      m.action(table);
      EXPECT_EQ(take(), joined(written ? posting : cancelling, m.tail));
      EXPECT_EQ(table.State(), DataSetState::Browse);
      EXPECT_EQ(text("Id"), m.id);
      EXPECT_EQ(stored(2), written ? value : before);
      EXPECT_EQ(lockFromOther(2), code::Ok) << "the lock went with the edit";
    }
  }
}

TEST_P(TableCursorTest, PostFailuresKeepTheEditItsValuesAndItsLock) {
  makeRelationTable(numberedRows(3));
  TTable &table = open();
  EXPECT_EQ(failureOf([&] { table.Post(); }), "Table1: Dataset not in edit or insert mode");
  EXPECT_EQ(take(), EventLog{"UpdateRecord"});

  // A key that another record has.
  table.Edit();
  table.LookupField(QStringLiteral("Id")).setAsInteger(2);
  table.LookupField(QStringLiteral("Relation")).setAsString(QStringLiteral("antithesis"));
  take();
  const std::string violation = engineFailureOf([&] { table.Post(); });
  EXPECT_NE(QString::fromStdString(violation).indexOf(QStringLiteral("key violation"), 0, Qt::CaseInsensitive), -1)
      << violation;
  EXPECT_EQ(take(), (EventLog{"UpdateRecord", "CheckBrowseMode"}));
  EXPECT_EQ(table.State(), DataSetState::Edit);
  EXPECT_TRUE(table.Modified());
  EXPECT_EQ(text("Id"), "2");
  EXPECT_EQ(text("Relation"), "antithesis");
  EXPECT_EQ(lockFromOther(1), code::RecordLocked);
  EXPECT_EQ(stored(1), "contrast");
  EXPECT_EQ(stored(2), "joint");

  // Put right, the same edit posts.
  table.LookupField(QStringLiteral("Id")).setAsInteger(1);
  take();
  table.Post();
  EXPECT_EQ(take(), kPosted);
  EXPECT_EQ(stored(1), "antithesis");
  EXPECT_EQ(lockFromOther(1), code::Ok);

  // A required field left empty, in a new record.
  makeTableFromSql("R.DB", "CREATE TABLE \"R\" (\"Id\" INTEGER NOT NULL PRIMARY KEY, \"Name\" VARCHAR(20) NOT NULL,"
                           " \"Note\" VARCHAR(20));");
  TTable &required = open("R.DB");
  required.Edit();
  required.LookupField(QStringLiteral("Id")).setAsInteger(1);
  required.LookupField(QStringLiteral("Note")).setAsString(QStringLiteral("n"));
  take();
  EXPECT_EQ(failureOf([&] { required.Post(); }), "Field 'Name' must have a value");
  EXPECT_EQ(take(), (EventLog{"UpdateRecord", "CheckBrowseMode", "FocusControl:Name"}));
  EXPECT_EQ(required.State(), DataSetState::Insert);
  EXPECT_TRUE(required.Modified());
  EXPECT_EQ(text("Id"), "1");
  EXPECT_EQ(text("Note"), "n");
  required.LookupField(QStringLiteral("Name")).setAsString(QStringLiteral("given"));
  required.Post();
  EXPECT_EQ(required.State(), DataSetState::Browse);
  EXPECT_EQ(stored(1, 1), "given");
}

// Four promises of the cursor when something goes wrong around it: a
// record holding values another program stored that do not fit their
// fields is shown as stored, and an edit of another field leaves them so; a
// move whose pending edit cannot be posted does not happen; a record gone by
// the time of a cancel or post is replaced by the next, else the prior; and
// a written value counts as a change even when it equals the stored one.
TEST_P(TableCursorTest, MovesAndResyncsKeepTheirPromisesWhenThingsGoWrong) {
  makeRelationTable(numberedRows(4));
  if (!onServer()) {
    // The file changed behind the engine's back (its own SQL); a server's
    // columns take no value of another type or range.
    makeTableFromSql("Vandro.DB", "UPDATE Vandro SET L1 = 'not a number' WHERE Id = 3;"
                                  "INSERT INTO Vandro (Id, Relation) VALUES (-9223372036854775808, 'first');");
    TTable &table = open();
    EXPECT_EQ(text("Id"), "-9223372036854775808") << "the table opens on it";
    table.Next();
    table.Next();
    table.Next();
    EXPECT_EQ(text("L1"), "not a number");
    table.Edit();
    table.LookupField(QStringLiteral("Relation")).setAsString(QStringLiteral("edited"));
    table.Post();
    EXPECT_EQ(stored(3, 2) + "|" + stored(3, 9), "edited|not a number");
    makeTableFromSql("Vandro.DB", "DELETE FROM Vandro WHERE Id < 0");
    take();
  }

  // The pending edit's post fails on a key violation: nothing moves.
  TTable &editing = open();
  editing.Edit();
  editing.LookupField(QStringLiteral("Id")).setAsInteger(2);
  take();
  for (const auto &[name, move] : std::vector<std::pair<const char *, std::function<void()>>>{
           {"Next", [&] { editing.Next(); }},
           {"Last", [&] { editing.Last(); }},
           {"FindByKey", [&] { editing.FindByKey(4); }}}) {
    SCOPED_TRACE(name);
    EXPECT_FALSE(engineFailureOf(move).empty());
    EXPECT_EQ(take(), (EventLog{"CheckBrowseMode", "UpdateRecord", "UpdateRecord", "CheckBrowseMode"}));
    EXPECT_EQ(editing.State(), DataSetState::Edit);
    EXPECT_TRUE(editing.Modified());
    EXPECT_EQ(text("Id"), "2");
    EXPECT_EQ(lockFromOther(1), code::RecordLocked);
  }
  editing.Cancel();

  // The edited record deleted by another program meanwhile: the cancel
  // shows the next record, else the prior one.
  makeRelationTable(numberedRows(4), "Gone.DB");
  for (const auto &[id, shownAfter] : {std::pair{2, "3"}, std::pair{4, "3"}}) {
    SCOPED_TRACE("record " + std::to_string(id));
    TTable &t = open("Gone.DB");
    ASSERT_TRUE(t.FindByKey(id));
    t.Edit();
    makeTableFromSql("Gone.DB", "DELETE FROM \"Gone\" WHERE \"Id\" = " + std::to_string(id) + ";");
    t.Cancel();
    EXPECT_EQ(text("Id"), shownAfter);
    EXPECT_FALSE(t.AtStart());
    EXPECT_FALSE(t.AtEnd());
  }

  // The stored value written again.
  TTable &same = open();
  same.Edit();
  same.LookupField(QStringLiteral("Relation")).setAsString(QStringLiteral("contrast"));
  EXPECT_TRUE(same.Modified());
  take();
  same.Next();
  EXPECT_EQ(take(), joined({"CheckBrowseMode", "UpdateRecord", "UpdateRecord", "CheckBrowseMode", "StateChange",
                            "DataSetChange"},
                           {"BeforeScroll", "DataSetScroll", "AfterScroll"}))
      << "posted, not cancelled";
}

TEST_P(TableCursorTest, CancelShowsTheStoredRecordAgainAndReleasesTheLock) {
  makeRelationTable(numberedRows(3));
  TTable &table = open();
  table.Edit();
  table.LookupField(QStringLiteral("Relation")).setAsString(QStringLiteral("antithesis"));
  take();
  table.Cancel();
  EXPECT_EQ(take(), (EventLog{"CheckBrowseMode", "StateChange", "DataSetChange"}));
  EXPECT_EQ(table.State(), DataSetState::Browse);
  EXPECT_FALSE(table.Modified());
  EXPECT_EQ(text("Relation"), "contrast");
  EXPECT_EQ(stored(1), "contrast");
  EXPECT_EQ(lockFromOther(1), code::Ok);
  table.Cancel();
  EXPECT_EQ(take(), EventLog{}) << "nothing to cancel while browsing";
}

TEST_P(TableCursorTest, AClosedTableRefusesTheCursorAndCloseDropsAPendingEdit) {
  makeRelationTable(numberedRows(2));
  const struct {
    const char *operation;
    std::function<void(TTable &)> action;
  } operations[] = {
      {"Next", [](TTable &t) { t.Next(); }},   {"Prior", [](TTable &t) { t.Prior(); }},
      {"First", [](TTable &t) { t.First(); }}, {"Last", [](TTable &t) { t.Last(); }},
      {"Edit", [](TTable &t) { t.Edit(); }},   {"FindByKey", [](TTable &t) { t.FindByKey(1); }},
  };
  TTable &table = prepare();
  for (const char *when : {"never opened", "closed"}) {
    if (std::string(when) == "closed") {
      table.Open();
      table.Edit();
      table.LookupField(QStringLiteral("Relation")).setAsString(QStringLiteral("antithesis"));
      table.Close();
      EXPECT_EQ(lockFromOther(1), code::Ok);
      EXPECT_EQ(stored(1), "contrast") << "closing drops the pending edit";
      take();
    }
    for (const auto &o : operations) {
      SCOPED_TRACE(std::string(when) + ": " + o.operation);
      EXPECT_EQ(failureOf([&] { o.action(table); }), "Table1: Cannot perform this operation on a closed dataset");
    }
    EXPECT_EQ(failureOf([&] { table.Cancel(); }), "");
    EXPECT_EQ(take(), EventLog{});
    EXPECT_EQ(table.State(), DataSetState::Inactive);
  }
}

// Another process, which uses only the engine: it takes commands from a
// pipe ('L' tries to lock record `id` and keeps the lock, 'Q' ends) and
// answers each 'L' with the engine's result.
class LockingProcess {
public:
  LockingProcess(int id) {
    int commands[2], answers[2];
    if (::pipe(commands) != 0 || ::pipe(answers) != 0)
      return;
    m_pid = ::fork();
    if (m_pid == 0) {
      ::close(commands[1]);
      ::close(answers[0]);
      ::_exit(serve(id, commands[0], answers[1]));
    }
    ::close(commands[0]);
    ::close(answers[1]);
    m_commands = commands[1];
    m_answers = answers[0];
  }
  ~LockingProcess() { finish(); }

  bool started() const { return m_pid > 0; }
  static constexpr Result kNoAnswer = 0xFFFF;
  // The result of the other process's lock attempt.
  Result tryLock() {
    const char command = 'L';
    Result result = kNoAnswer;
    if (::write(m_commands, &command, 1) != 1)
      return kNoAnswer;
    pollfd ready{m_answers, POLLIN, 0};
    if (::poll(&ready, 1, 5000) != 1 || ::read(m_answers, &result, sizeof result) != sizeof result)
      return kNoAnswer;
    return result;
  }
  // Ends the process; its exit status (0 when all went well).
  int finish() {
    if (m_pid <= 0)
      return -1;
    const char command = 'Q';
    [[maybe_unused]] const auto written = ::write(m_commands, &command, 1);
    ::close(m_commands);
    ::close(m_answers);
    int status = 0;
    ::waitpid(m_pid, &status, 0);
    m_pid = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 100;
  }

private:
  static int serve(int id, int commands, int answers) {
    Engine &engine = Engine::instance();
    const Result started = engine.initialise(kInterfaceVersion, kLanguage);
    if (started != code::Ok && started != code::AlreadyInitialised)
      return 2;
    std::unique_ptr<Database> database;
    std::unique_ptr<Cursor> cursor;
    if (engine.openDatabase("Vandro", "", OpenMode::ReadWrite, ShareMode::Shared, database) != code::Ok ||
        database->openTable("Vandro.DB", "default", OpenMode::ReadWrite, ShareMode::Shared, cursor) != code::Ok)
      return 3;
    char command = 0;
    while (::read(commands, &command, 1) == 1 && command == 'L') {
      Record record;
      Result result = cursor->findKey({Value::integer(id)}, record);
      if (result == code::Ok)
        result = cursor->readCurrent(record, LockMode::WriteLock);
      if (::write(answers, &result, sizeof result) != sizeof result)
        return 4;
    }
    return 0;
  }

  pid_t m_pid = -1;
  int m_commands = -1, m_answers = -1;
};

TEST_P(TableCursorTest, AnEditAndAnotherProcessLockTheRecordAgainstEachOther) {
  makeRelationTable(numberedRows(3));
  // Started before this process opens the table, so that the other process
  // inherits no open database.
  LockingProcess process(2);
  ASSERT_TRUE(process.started());
  TTable &table = open();
  table.Next();
  table.Edit();
  EXPECT_EQ(process.tryLock(), code::RecordLocked) << "the record Table1 edits";
  table.Cancel();
  EXPECT_EQ(process.tryLock(), code::Ok) << "the lock went with the cancelled edit";

  take();
  const std::string refused = engineFailureOf([&] { table.Edit(); });
  EXPECT_NE(refused.find("Record locked by another user"), std::string::npos) << refused;
  EXPECT_NE(refused.find("Id = 2"), std::string::npos) << refused;
  EXPECT_EQ(take(), EventLog{"CheckBrowseMode"});
  EXPECT_EQ(table.State(), DataSetState::Browse);
  EXPECT_EQ(text("Id"), "2");

  EXPECT_EQ(process.finish(), 0);
  table.Edit();
  EXPECT_EQ(table.State(), DataSetState::Edit) << "the lock ended with the other process";
}

} // namespace
} // namespace vandro::testing
