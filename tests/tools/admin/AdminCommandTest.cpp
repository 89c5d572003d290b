// End-to-end tests of vandro-admin: every test runs the built program in a
// fresh temporary directory, with its own engine configuration, home and data
// directories, and its standard input read from a file.
#include "AdminFixture.h"
#include "CsvReader.h"
#include "PostgresServer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <spawn.h>
#include <sqlite3.h>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using namespace vandro::admin::testing;
namespace fs = std::filesystem;
using namespace std::chrono_literals;

TEST_F(AdminCommandTest, ExitStatusAndMessages) {
  // Wrong usage is 2, with a message on stderr.
  const std::vector<std::vector<std::string>> usage = {
      {},
      {"frobnicate"},
      {"create"},
      {"create", m_dir},
      {"import", m_dir, "T.DB"},
      {"export", m_dir, "T.DB", "out.csv", "surplus"},
      {"alias"},
      {"alias", "set", "OnlyAName"},
      {"password", "set", m_dir},
      {"init"},
  };
  for (const auto &args : usage) {
    const Outcome r = run(args);
    EXPECT_EQ(r.status, 2) << csvLine(args) << show(r);
    EXPECT_FALSE(r.err.empty()) << csvLine(args);
  }
  const Outcome unknown = run({"delete", m_dir, "T.DB"});
  EXPECT_EQ(unknown.status, 2) << show(unknown);
  EXPECT_TRUE(mentions(unknown.err, "unknown command \"delete\"") && mentions(unknown.err, "export-rst"))
      << show(unknown);

  // A folder without the program's table: said, with the ways to make it.
  const Outcome hint = run({"alias", "set", "Vandro", path("empty")});
  EXPECT_EQ(hint.status, 0) << show(hint);
  for (const char *command : {"holds no table Vandro.DB", "create", "import", "import-rst"})
    EXPECT_TRUE(mentions(hint.out, command)) << command << show(hint);
  EXPECT_TRUE(fs::is_directory(path("empty"))) << "the folder is made";

  for (const std::string command : {"", "alias", "create", "import", "export", "password", "check", "init"}) {
    std::vector<std::string> args = {"--help"};
    if (!command.empty())
      args.insert(args.begin(), command);
    const Outcome r = run(args);
    EXPECT_EQ(r.status, 0) << command << show(r);
    EXPECT_TRUE(mentions(r.out, "usage")) << command << show(r);
  }

  // A failure is 1, and the message names the file and the cause.
  makeTable("T.DB", "Id\n1\n");
  EXPECT_EQ(run({"export", m_dir, "T.DB", "-"}).out, exportTable("T.DB").out) << "- is standard output";
  EXPECT_FALSE(fs::exists("-"));
  struct Failure {
    std::vector<std::string> args;
    std::vector<std::string> mentioned;
  };
  const std::vector<Failure> failures = {
      {{"import", m_dir, "T.DB", path("absent.csv")}, {path("absent.csv"), "cannot be read"}},
      {{"export", m_dir, "Absent.DB"}, {path("Absent.DB"), "does not exist"}},
      {{"check", m_dir + "/no-such-dir", "T.DB"}, {m_dir + "/no-such-dir", "not found"}},
      {{"export", "NoSuchAlias", "T.DB"}, {"NoSuchAlias", m_config, "alias"}},
      {{"alias", "remove", "NoSuchAlias"}, {"NoSuchAlias", m_config}},
  };
  for (const auto &failure : failures) {
    const Outcome r = run(failure.args);
    EXPECT_EQ(r.status, 1) << csvLine(failure.args) << show(r);
    for (const auto &text : failure.mentioned)
      EXPECT_TRUE(mentions(r.err, text)) << "no '" << text << "' in the message of "
                                         << csvLine(failure.args) << show(r);
  }
}



// What a command writes over keeps being what it was: a table is never its
// own export, a link stays a link to the file that gets the text, a file
// keeps its mode, and a descriptor the shell opened is written, not
// replaced. A pipe where a file should be is refused, never waited on.
TEST_F(AdminCommandTest, WritingKeepsWhatItWritesOverAndNeverWaitsOnAPipe) {
  makeTable("T.DB", kHeader + csvLine({"1", "", "joint", "", "", "", "", "", "", "", "", "", "", "", "", "", "", ""}));
  const std::string table = readFile(path("T.DB"));
  for (const char *own : {"T.DB", "T.DB-lock", "T.DB-wal", "T.DB-journal"}) { // there or not
    const Outcome r = run({"export", m_dir, "T.DB", path(own)});
    EXPECT_EQ(r.status, 1) << own << show(r);
    EXPECT_TRUE(mentions(r.err, "the table's own file")) << show(r);
  }
  EXPECT_EQ(readFile(path("T.DB")), table);
  EXPECT_EQ(query(path("T.DB"), "SELECT Relation FROM T"), std::vector<std::string>{"joint"});

  writeFile(path("io/real.csv"), "old");
  fs::permissions(path("io/real.csv"), fs::perms::owner_read | fs::perms::owner_write);
  fs::create_symlink("real.csv", path("io/link.csv"));
  fs::create_symlink("/proc/self/fd/1", path("io/stdout-link"));
  fs::create_symlink("/dev/fd/1", path("io/fd-link"));
  Outcome r = run({"export", m_dir, "T.DB", path("io/link.csv")});
  ASSERT_EQ(r.status, 0) << show(r);
  EXPECT_TRUE(fs::is_symlink(path("io/link.csv")));
  EXPECT_TRUE(mentions(readFile(path("io/real.csv")), "joint"));
  EXPECT_EQ(fs::status(path("io/real.csv")).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write);
  for (const char *link : {"io/stdout-link", "io/fd-link"}) {
    r = run({"export", m_dir, "T.DB", path(link)});
    ASSERT_EQ(r.status, 0) << show(r);
    EXPECT_TRUE(fs::is_symlink(path(link)));
    EXPECT_TRUE(mentions(r.out, "joint")) << show(r);
  }

  // The configuration through a link; the values it could not read back
  // as written are quoted, the ones it could not hold at all refused.
  writeFile(path("io/real.conf"), "[Other]\npath = /srv/other\n");
  fs::create_directories(fs::path(m_config).parent_path());
  fs::create_symlink(path("io/real.conf"), m_config);
  r = run({"alias", "set", "Blank", path("ends in a blank ")});
  ASSERT_EQ(r.status, 0) << show(r);
  r = run({"alias", "set", "--driver", "PostgreSQL", "Team", "user= ann ", "dbname=\"q\""});
  ASSERT_EQ(r.status, 0) << show(r);
  EXPECT_TRUE(fs::is_symlink(m_config));
  r = run({"alias", "list"});
  EXPECT_TRUE(mentions(r.out, "Other\tsqlite\t/srv/other\n")) << show(r);
  EXPECT_TRUE(mentions(r.out, "Blank\tsqlite\t" + path("ends in a blank ") + "\n")) << show(r);
  EXPECT_TRUE(mentions(r.out, "Team\tpostgresql\tuser= ann  dbname=\"q\"\n")) << show(r);
  const std::string config = readFile(m_config);
  for (const auto &[args, why] : std::vector<std::pair<std::vector<std::string>, std::string>>{
           {{"alias", "set", "Two\nLines", m_dir}, "single lines"},
           {{"alias", "set", "X", m_dir + "\n[Y]"}, "single lines"},
           {{"alias", "set", "--driver", "postgresql", "X", "host=a\nb"}, "single lines"},
           {{"alias", "set", " Blank ", m_dir}, "cannot be an alias"}}) {
    r = run(args);
    EXPECT_EQ(r.status, 1) << show(r);
    EXPECT_TRUE(mentions(r.err, why)) << show(r);
  }
  EXPECT_EQ(readFile(m_config), config);

  fs::remove(m_config);
  ASSERT_EQ(::mkfifo(m_config.c_str(), 0644), 0);
  ASSERT_EQ(::mkfifo(path("Pipe.DB").c_str(), 0644), 0);
  for (const std::vector<std::string> &args :
       {std::vector<std::string>{"alias", "list"}, {"alias", "set", "X", m_dir}, {"check", m_dir, "Pipe.DB"}}) {
    r = run(args);
    EXPECT_EQ(r.status, 1) << csvLine(args) << show(r);
    EXPECT_TRUE(mentions(r.err, "not a regular file")) << csvLine(args) << show(r);
  }
}

TEST_F(AdminCommandTest, CreateMakesTheStandardRelationTable) {
  Outcome r = run({"create", m_dir, "Rel.DB"});
  ASSERT_EQ(r.status, 0) << show(r);
  const std::vector<std::string> columns = {
      "Id|INTEGER|1|1",         "From|VARCHAR(60)|0|0",    "Relation|VARCHAR(30)|0|0",
      "Extended|VARCHAR(10)|0|0", "Embedded|VARCHAR(10)|0|0", "Volitional|VARCHAR(10)|0|0",
      "Order|VARCHAR(10)|0|0",  "Span1|TEXT|0|0",          "Span2|TEXT|0|0",
      "L1|INTEGER|0|0",         "H1|INTEGER|0|0",          "L2|INTEGER|0|0",
      "H2|INTEGER|0|0",         "Segments_distance|INTEGER|0|0", "Marker1|VARCHAR(60)|0|0",
      "Position1|VARCHAR(20)|0|0", "Marker2|VARCHAR(60)|0|0", "Position2|VARCHAR(20)|0|0"};
  EXPECT_EQ(query(path("Rel.DB"), "SELECT name, upper(type), \"notnull\", pk FROM pragma_table_info('Rel')"),
            columns);
  r = exportTable("Rel.DB");
  EXPECT_EQ(r.status, 0) << show(r);
  EXPECT_EQ(r.out, kHeader);

  const std::string bytes = readFile(path("Rel.DB"));
  r = run({"create", m_dir, "Rel.DB"});
  EXPECT_EQ(r.status, 1) << show(r);
  EXPECT_TRUE(mentions(r.err, path("Rel.DB")) && mentions(r.err, "exists")) << show(r);
  EXPECT_EQ(readFile(path("Rel.DB")), bytes);
}

TEST_F(AdminCommandTest, ImportThenExportKeepsEveryValue) {
  const std::string e30 = [] {
    std::string s;
    for (int i = 0; i < 30; ++i)
      s += "\xC3\xA9"; // é: 30 characters in 60 bytes
    return s;
  }();
  // Columns in another order and case, some left out; LF and CRLF mixed; a
  // byte order mark; no line end after the last record.
  const std::string input = "\xEF\xBB\xBFrelation,ID,Span1,from,L1,H1,Span2,order,MARKER1\r\n"
                            "elaboration,5,\"He said \"\"no\"\", twice\",trip,-2147483648,2147483647,"
                            "\"line one\nline two\",NS,\r\n"
                            "\"\",1,\"  blanks kept  \",\"\",0,,\"crlf\r\ninside\",,\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80\n" +
                            e30 + ",3,plain,,7,8,,SN,\"\"\r\n"
                            "joint,2,x,y,1,2,z,NN,m";
  makeTable("A.DB", input);

  const std::string expected =
      kHeader +
      csvLine({"1", "\"\"", "\"\"", "", "", "", "", "\"  blanks kept  \"", "\"crlf\r\ninside\"", "0", "", "", "",
               "", "\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80", "", "", ""}) +
      csvLine({"2", "y", "joint", "", "", "", "NN", "x", "z", "1", "2", "", "", "", "m", "", "", ""}) +
      csvLine({"3", "", e30, "", "", "", "SN", "plain", "", "7", "8", "", "", "", "\"\"", "", "", ""}) +
      csvLine({"5", "trip", "elaboration", "", "", "", "NS", "\"He said \"\"no\"\", twice\"",
               "\"line one\nline two\"", "-2147483648", "2147483647", "", "", "", "", "", "", ""});
  Outcome r = exportTable("A.DB");
  ASSERT_EQ(r.status, 0) << show(r);
  EXPECT_EQ(r.out, expected);

  // Null and the empty text are stored apart.
  EXPECT_EQ(query(path("A.DB"), "SELECT Id, quote(\"From\"), quote(Marker1), quote(\"Order\") FROM A "
                                "WHERE Id IN (1, 3) ORDER BY Id"),
            (std::vector<std::string>{"1|''|'\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80'|NULL", "3|NULL|''|'SN'"}));

  const std::string file = path("io/a-export.csv");
  r = run({"export", m_dir, "A.DB", file});
  ASSERT_EQ(r.status, 0) << show(r);
  EXPECT_EQ(readFile(file), expected);
  EXPECT_FALSE(fs::exists(file + ".part"));

  // The export imported into a new table gives the same table again.
  ASSERT_EQ(run({"create", m_dir, "B.DB"}).status, 0);
  r = run({"import", m_dir, "B.DB", file});
  ASSERT_EQ(r.status, 0) << show(r);
  r = exportTable("B.DB");
  ASSERT_EQ(r.status, 0) << show(r);
  EXPECT_EQ(r.out, expected);

  // Bytes another program stored that are no UTF-8 go out as stored, named
  // in a warning, and check names them too.
  runSql(path("B.DB"), "UPDATE B SET Relation = CAST(X'636166E9' AS TEXT) WHERE Id = 2");
  r = exportTable("B.DB");
  ASSERT_EQ(r.status, 0) << show(r);
  EXPECT_NE(r.out.find("\n2,y,caf\xE9,"), std::string::npos) << show(r);
  EXPECT_TRUE(r.err.find("record Id = 2") != std::string::npos && r.err.find("UTF-8") != std::string::npos)
      << show(r);
  r = run({"check", m_dir, "B.DB"});
  EXPECT_TRUE(r.status != 0 && r.out.find("record Id = 2") != std::string::npos) << show(r);
}

TEST_F(AdminCommandTest, BadImportLeavesTheTableExactlyAsItWas) {
  makeTable("T.DB", "Id,Relation,L1\n1,a,1\n2,b,2\n");
  // Opened and closed once more, so that nothing is left in the write-ahead log.
  ASSERT_EQ(run({"check", m_dir, "T.DB"}).status, 0);
  const std::string bytes = readFile(path("T.DB"));
  const Outcome before = exportTable("T.DB");
  ASSERT_EQ(before.status, 0) << show(before);

  struct Case {
    std::string csv;
    std::vector<std::string> mentioned; // besides the file's name
  };
  const std::vector<Case> cases = {
      {"Id,Relation,L1\n10,x,1\n11,y\n", {"line 3", "fields"}},
      {"Id,L1\n10,1\n11,abc\n", {"line 3", "L1", "abc"}},
      {"Id,L1\r\n10,1\r\n11,1.5\r\n", {"line 3", "L1", "1.5"}},
      {"Id,L1\n10,2147483648\n", {"line 2", "L1", "2147483648"}},
      {"Id,L1\n10,1\n11,\"\"\n", {"line 3", "L1"}},
      {"Id,Relation\n10,ok\n11," + std::string(31, 'r') + "\n", {"line 3", "Relation", "31"}},
      {"Id,L1\n10,1\n2,5\n", {"line 3", "Id", "key"}},
      {"Id,L1\n10,1\n10,2\n", {"line 3", "Id", "key"}},
      {"Id,Span1\n10,ok\n11,bad \xFF byte\n", {"line 3", "Span1", "UTF-8"}},
      {"Id,Span1\n10,ok\n11,\"never closed\n12,x\n", {"line 3", "quote"}},
      {"Id,Span1\n10,\"two\nlines\"\n11,ok\nx,bad\n", {"line 5", "Id", "\"x\""}},
      {"Id,Colour\n10,red\n", {"line 1", "Colour", "column"}},
      // A column name of any size or bytes: cut and escaped in the message.
      {"Id," + std::string(100000, 'c') + "\n10,red\n", {"line 1, column cccc", "(100000 bytes in all)"}},
      {"Id,\x01\x02\n10,red\n", {"line 1, column \\x01\\x02:"}},
  };
  const std::string file = path("io/bad.csv");
  for (const auto &c : cases) {
    writeFile(file, c.csv);
    const Outcome r = run({"import", m_dir, "T.DB", file});
    EXPECT_EQ(r.status, 1) << c.csv << show(r);
    EXPECT_TRUE(mentions(r.err, file)) << c.csv << show(r);
    for (const auto &text : c.mentioned)
      EXPECT_TRUE(mentions(r.err, text)) << "no '" << text << "' in the message for\n" << c.csv << show(r);
    EXPECT_TRUE(readFile(path("T.DB")) == bytes) << "the file changed after\n" << c.csv;
    const Outcome after = exportTable("T.DB");
    EXPECT_EQ(after.out, before.out) << c.csv;
  }
}

TEST_F(AdminCommandTest, PasswordGuardsTheTable) {
  makeTable("P.DB", "Id,Relation\n1,joint\n2,list\n");
  const Outcome plain = exportTable("P.DB");
  ASSERT_EQ(plain.status, 0) << show(plain);

  Outcome r = run({"password", "set", m_dir, "P.DB"}, "");
  EXPECT_EQ(r.status, 1) << "no password on standard input" << show(r);
  r = exportTable("P.DB");
  EXPECT_EQ(r.status, 0) << "the table got a password from nothing" << show(r);

  r = run({"password", "set", m_dir, "P.DB"}, "s3cret word\n");
  ASSERT_EQ(r.status, 0) << show(r);
  struct Attempt {
    std::string input;
    int status;
  };
  for (const Attempt &attempt : std::vector<Attempt>{{"s3cret word\n", 0}, {"wrong\n", 1}, {"", 1}, {"s3cret\n", 1}}) {
    r = exportTable("P.DB", attempt.input);
    EXPECT_EQ(r.status, attempt.status) << "password '" << attempt.input << "'" << show(r);
    if (attempt.status == 0)
      EXPECT_EQ(r.out, plain.out);
    else
      EXPECT_TRUE(mentions(r.err, path("P.DB")) && mentions(r.err, "password")) << show(r);
  }
  r = run({"check", m_dir, "P.DB"}, "s3cret word\n");
  EXPECT_EQ(r.status, 0) << show(r);

  r = run({"password", "clear", m_dir, "P.DB"}, "s3cret word\n");
  ASSERT_EQ(r.status, 0) << show(r);
  r = exportTable("P.DB");
  EXPECT_EQ(r.status, 0) << show(r);
  EXPECT_EQ(r.out, plain.out);
}

TEST_F(AdminCommandTest, CheckNamesEveryValueThatDoesNotFit) {
  makeTable("C.DB", "Id,Relation,L1\n1,joint,1\n2,list,2\n3,contrast,3\n");
  Outcome r = run({"check", m_dir, "C.DB"});
  EXPECT_EQ(r.status, 0) << show(r);
  EXPECT_TRUE(mentions(r.out, "ok")) << show(r);

  runSql(path("C.DB"), "UPDATE C SET L1 = 'abc' WHERE Id = 2; "
                       "UPDATE C SET Relation = '" + std::string(40, 'r') + "' WHERE Id = 3");
  r = run({"check", m_dir, "C.DB"});
  EXPECT_EQ(r.status, 1) << show(r);
  std::vector<std::string> problems;
  for (std::string line : splitLines(r.out + r.err)) {
    // The directory's random name must not count as a field name.
    for (std::size_t at; (at = line.find(m_dir)) != std::string::npos;)
      line.erase(at, m_dir.size());
    if (line.find("L1") != std::string::npos || line.find("Relation") != std::string::npos)
      problems.push_back(line);
  }
  ASSERT_EQ(problems.size(), 2u) << show(r);
  const auto l1 = std::find_if(problems.begin(), problems.end(),
                               [](const std::string &line) { return line.find("L1") != std::string::npos; });
  const auto relation = std::find_if(problems.begin(), problems.end(), [](const std::string &line) {
    return line.find("Relation") != std::string::npos;
  });
  ASSERT_NE(l1, problems.end());
  ASSERT_NE(relation, problems.end());
  EXPECT_NE(l1, relation) << "one line per problem";
  EXPECT_TRUE(mentionsNumber(*l1, 2)) << *l1;
  EXPECT_TRUE(mentionsNumber(*relation, 3)) << *relation;
}

TEST_F(AdminCommandTest, InitDemoMakesTheDemoTableOnce) {
  const std::string earlier = "; mine\n[Other]\npath = /srv/other\n";
  writeFile(m_config, earlier);
  Outcome r = run({"init", "--demo"});
  ASSERT_EQ(r.status, 0) << show(r);
  const std::string table = m_dir + "/data/vandro/Vandro.DB";
  ASSERT_TRUE(fs::exists(table)) << show(r);
  EXPECT_EQ(readFile(m_config).substr(0, earlier.size()), earlier);
  r = run({"alias", "list"});
  const auto listed = splitLines(r.out);
  EXPECT_TRUE(std::any_of(listed.begin(), listed.end(), [&](const std::string &line) {
    return line.starts_with("Vandro") && mentions(line, m_dir + "/data/vandro");
  })) << show(r);

  const std::string tableBytes = readFile(table), configBytes = readFile(m_config);
  r = run({"init", "--demo"});
  EXPECT_EQ(r.status, 0) << show(r);
  EXPECT_TRUE(readFile(table) == tableBytes) << "the demo table changed";
  EXPECT_EQ(readFile(m_config), configBytes);

  r = run({"export", "Vandro", "Vandro.DB"});
  ASSERT_EQ(r.status, 0) << show(r);
  std::istringstream in(r.out);
  vandro::csv::Reader reader(in);
  vandro::csv::Row row;
  vandro::csv::Error error;
  ASSERT_TRUE(reader.next(row, error));
  std::map<std::string, std::size_t> column;
  for (std::size_t i = 0; i < row.size(); ++i)
    column[std::string(row[i].text)] = i;
  ASSERT_TRUE(column.count("Relation") && column.count("H1") && column.count("Id"));
  std::multiset<std::string> relations;
  std::set<std::string> ids;
  int withoutH1 = 0;
  while (reader.next(row, error)) {
    relations.insert(std::string(row[column["Relation"]].text));
    ids.insert(std::string(row[column["Id"]].text));
    withoutH1 += row[column["H1"]].isNull() ? 1 : 0;
  }
  EXPECT_FALSE(error) << error.message();
  const std::multiset<std::string> names = {
      "antithesis", "attribution", "background", "circumstance", "comparison", "concession",
      "conclusion", "condition", "elaboration", "enablement", "explanation", "evaluation",
      "evidence", "interpretation", "justify", "means", "motivation", "cause",
      "result", "otherwise", "parenthetical", "purpose", "restatement", "solutionhood",
      "summary", "contrast", "joint", "list", "same_unit", "sequence"};
  EXPECT_EQ(relations, names);
  EXPECT_EQ(ids.size(), 30u);
  EXPECT_EQ(withoutH1, 1);
}

} // namespace

namespace {

TEST_F(AdminCommandTest, FindPrintsTheRecordsTheWindowsFindMeets) {
  makeTable("F.DB", "Id,From,Relation,Span1,Span2,Marker1,Marker2\n"
                    "1,a,contrast,x,y,But,\n"
                    "2,a,joint,\xC3\x84rger,y,,\n"
                    "3,b,contrast,x,y,,\" \"\n"
                    "10,a,contrast,x,y,,however\n");
  const struct {
    std::vector<std::string> options;
    std::string out;
  } cases[] = {
      {{"--relation", "contrast"}, "1\n3\n10\n"},
      {{"--document", "a", "--without-marker", "both"}, "2\n"},
      {{"--without-marker", "2"}, "1\n2\n3\n"},
      {{"--marker", "BUT", "--span", "1"}, "1\n"},
      {{"--text", "\xC3\xA4RGER"}, "2\n"},
      {{"--relation", "contrast", "--count"}, "3\n"},
      {{"--relation", "nothing"}, ""},
      {{"--marker", "however", "--csv"}, kHeader + "10,a,contrast,,,,,x,y,,,,,,,,however,\r\n"},
  };
  for (const auto &c : cases) {
    std::vector<std::string> args = {"find", m_dir, "F.DB"};
    args.insert(args.end(), c.options.begin(), c.options.end());
    const Outcome r = run(args);
    SCOPED_TRACE(show(r));
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, c.out);
  }
  Outcome r = run({"find", m_dir, "F.DB", "--changed"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("keeps no imported corpus"), std::string::npos) << show(r);
  r = run({"find", m_dir, "F.DB", "--span", "3"});
  EXPECT_EQ(r.status, 2) << show(r);
}

} // namespace
