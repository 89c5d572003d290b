// history and revert end to end: every change of the tool and of an editor
// listed, filtered, checked, and a record put back as a change of its own.
#include "AdminFixture.h"
#include "corpus/History.h"
#include "engine/Engine.h"

namespace {

using namespace vandro::admin::testing;
using namespace vandro::engine;
using HistoryCommandTest = AdminCommandTest;

// The CSV's lines without their first three fields (Time, User, Machine),
// which differ from run to run and machine to machine.
std::vector<std::string> changes(const std::string &csv) {
  std::vector<std::string> out;
  std::istringstream in(csv);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r')
      line.pop_back();
    std::size_t at = 0;
    for (int i = 0; i < 3 && at != std::string::npos; ++i)
      at = line.find(',', at + (i ? 1 : 0));
    out.push_back(at == std::string::npos ? line : line.substr(at + 1));
  }
  return out;
}

TEST_F(HistoryCommandTest, EveryChangeIsListedAndARecordIsPutBackAsAChangeOfItsOwn) {
  makeTable("T.DB", kHeader + csvLine({"1", "", "joint", "", "", "", "", "", "", "", "", "", "", "", "", "", "", ""}));
  const std::string before = query(path("T.DB"), "SELECT max(\"Time\") FROM T_history").at(0);
  ASSERT_EQ(run({"import-rst", m_dir, "T.DB", std::string(VANDRO_RST_FIXTURES) + "/walk.rs4"}).status, 0);

  // An editor's post, and a record another program holds: no revert then.
  ASSERT_EQ(Engine::instance().initialise(kInterfaceVersion, kLanguage), code::Ok);
  {
    std::unique_ptr<Database> database;
    std::unique_ptr<Cursor> editor;
    ASSERT_EQ(Engine::instance().openDatabase("", m_dir, OpenMode::ReadWrite, ShareMode::Shared, database), code::Ok);
    ASSERT_EQ(database->openTable("T.DB", "default", OpenMode::ReadWrite, ShareMode::Shared, editor), code::Ok);
    editor->setChangeLog(
        std::make_shared<vandro::corpus::History>("Vandro", vandro::corpus::History::Rows::PerColumn));
    Record record;
    ASSERT_EQ(editor->findKey({Value::integer(1)}, record), code::Ok);
    ASSERT_EQ(editor->readCurrent(record, LockMode::WriteLock), code::Ok);
    record.values[16] = Value::text("then");
    record.values[17] = Value::text("End");
    ASSERT_EQ(editor->modifyRecord(record), code::Ok);
    ASSERT_EQ(editor->readCurrent(record, LockMode::WriteLock), code::Ok);
    const Outcome locked = run({"revert", m_dir, "T.DB", "--record", "1"});
    EXPECT_EQ(locked.status, 1) << show(locked);
    EXPECT_TRUE(mentions(locked.err, "refused") && mentions(locked.err, "Id = 1") && mentions(locked.err, "Held by"))
        << show(locked);
  }
  (void)Engine::instance().exit();

  Outcome r = run({"remove-document", m_dir, "T.DB", "walk"});
  ASSERT_EQ(r.status, 0) << show(r);
  r = run({"revert", m_dir, "T.DB", "--record", "3"});
  EXPECT_EQ(r.status, 0) << show(r);
  EXPECT_TRUE(mentions(r.out, "made anew") && mentions(r.out, "Relation: null -> \"elaboration\"")) << show(r);
  r = run({"revert", m_dir, "T.DB", "--record", "1"});
  EXPECT_EQ(r.status, 0) << show(r);
  EXPECT_EQ(r.out, "Put back record Id = 1 as before its last change:\n  Marker2: \"then\" -> null\n"
                   "  Position2: \"End\" -> null\n")
      << show(r);
  // Before its import the record was not there: a revert deletes nothing.
  r = run({"revert", m_dir, "T.DB", "--record", "1", "--to", before.substr(0, 10)});
  EXPECT_EQ(r.status, 1) << show(r);
  EXPECT_TRUE(mentions(r.err, "was not there yet") && mentions(r.err, "deletes no record")) << show(r);
  EXPECT_EQ(query(path("T.DB"), "SELECT Id, Relation, Marker2 FROM T ORDER BY Id"),
            (std::vector<std::string>{"1|joint|NULL", "3|elaboration|saw + we went"}));

  r = run({"history", m_dir, "T.DB", "--record", "1", "--csv"});
  EXPECT_EQ(r.status, 0) << show(r);
  EXPECT_EQ(changes(r.out),
            (std::vector<std::string>{
                "Program,Id,Column,Old,New",
                "vandro-admin import,1,(record),,\"{\"\"Id\"\":1,\"\"From\"\":null,\"\"Relation\"\":\"\"joint\"\","
                "\"\"Extended\"\":null,\"\"Embedded\"\":null,\"\"Volitional\"\":null,\"\"Order\"\":null,\"\"Span1\"\":"
                "null,\"\"Span2\"\":null,\"\"L1\"\":null,\"\"H1\"\":null,\"\"L2\"\":null,\"\"H2\"\":null,"
                "\"\"Segments_distance\"\":null,\"\"Marker1\"\":null,\"\"Position1\"\":null,\"\"Marker2\"\":null,"
                "\"\"Position2\"\":null}\"",
                "Vandro,1,Marker2,,then",
                "Vandro,1,Position2,,End",
                "vandro-admin revert,1,Marker2,then,",
                "vandro-admin revert,1,Position2,End,",
            }));
  EXPECT_TRUE(r.out.starts_with("Time,User,Machine,Program,Id,Column,Old,New\r\n")) << show(r);
  // All of it: 1 + 5 imported, 2 posted, 5 removed, 14 columns and 2 put back.
  r = run({"history", m_dir, "T.DB"});
  EXPECT_EQ(r.status, 0) << show(r);
  EXPECT_TRUE(mentions(r.out, "14 changes of records listed, in 29 rows")) << show(r);
  EXPECT_TRUE(mentions(r.out, "vandro-admin remove-document  delete Id = 6  removed: ")) << show(r);
  for (const auto &[filter, value, rows] : std::vector<std::tuple<std::string, std::string, std::size_t>>{
           {"--user", "nobody", 1}, {"--since", "2999-01-01", 1}, {"--since", before, 30}, {"--record", "6", 3}}) {
    r = run({"history", m_dir, "T.DB", "--csv", filter, value});
    EXPECT_EQ(r.status, 0) << show(r);
    EXPECT_EQ(changes(r.out).size(), rows) << filter << " " << value << show(r);
  }
  r = run({"history", m_dir, "T.DB", "--since", "last week"});
  EXPECT_EQ(r.status, 2) << show(r);
  EXPECT_TRUE(mentions(r.err, "reads as no time")) << show(r);

  // A row another client spoiled: named by check and left out of the list.
  runSql(path("T.DB"), "UPDATE T_history SET Kind = 'zap' WHERE Seq = 2");
  r = run({"check", m_dir, "T.DB"});
  EXPECT_EQ(r.status, 1) << show(r);
  EXPECT_TRUE(mentions(r.out, "History row Seq = 2 of T_history: Kind holds \"zap\"")) << show(r);
  r = run({"history", m_dir, "T.DB", "--csv"});
  EXPECT_EQ(changes(r.out).size(), 29u) << show(r);
  EXPECT_TRUE(mentions(r.err, "Seq = 2")) << show(r);
}

} // namespace
