// import-rst, export-rst, documents and remove-document end to end: the
// corpus kept beside the table, written back with the table's markers, and
// the documents the import refuses or warns about.
#include "AdminFixture.h"
#include "engine/Engine.h"

namespace {

using namespace vandro::admin::testing;
using ImportRstTest = AdminCommandTest;

// RST documents become records after the table's largest Id, document
// after document in the order given (a folder's files by name), with the
// relation names mapped; a bad document stores nothing of any.
TEST_F(ImportRstTest, ImportRstNumbersOnAndIsAllOrNothing) {
  const std::string fixtures = VANDRO_RST_FIXTURES;
  makeTable("T.DB", kHeader + csvLine({"1", "", "joint", "", "", "", "", "", "", "", "", "", "", "", "", "", "", ""}) +
                        csvLine({"7", "", "list", "", "", "", "", "", "", "", "", "", "", "", "", "", "", ""}));
  writeFile(path("io/map.csv"), "from,to\nconcession,antithesis\n");
  const Outcome imported = run({"import-rst", m_dir, "T.DB", "--map", path("io/map.csv"), fixtures});
  ASSERT_EQ(imported.status, 0) << show(imported);
  EXPECT_EQ(imported.out, "2 documents, 6 records, 5 records with a marker\n");
  EXPECT_EQ(query(path("T.DB"), "SELECT Id, \"From\", Relation, Segments_distance, Embedded IS NULL FROM T"),
            (std::vector<std::string>{"1|NULL|joint|NULL|1", "7|NULL|list|NULL|1", "8|cafe|background|0|1",
                                      "9|walk|antithesis|0|1", "10|walk|elaboration|0|1", "11|walk|joint|0|1",
                                      "12|walk|evaluation|0|1", "13|walk|sequence|0|1"}));

  // A bad second document: nothing of the first is stored either.
  const std::string before = readFile(path("T.DB"));
  writeFile(path("docs/a.rs3"), "<rst><body><segment id=\"1\">One</segment>"
                                "<segment id=\"2\" parent=\"1\" relname=\"x\">Two</segment></body></rst>");
  writeFile(path("docs/b.RS3"), "<rst><body><segment id=\"1\">One</body></rst>"); // found whatever its case
  const Outcome bad = run({"import-rst", m_dir, "T.DB", path("docs")});
  EXPECT_EQ(bad.status, 1) << show(bad);
  EXPECT_TRUE(mentions(bad.err, path("docs/b.RS3") + ":1:")) << show(bad);
  EXPECT_EQ(query(path("T.DB"), "SELECT count(*) FROM T"), std::vector<std::string>{"8"});
}

// Bad and hostile documents: exit 1 with a message naming the file (and
// the line and column of an XML fault), nothing stored, no crash, no hang.
TEST_F(ImportRstTest, ImportRstRefusesBadAndHostileDocuments) {
  const int deep = 100000;
  std::string deepCycle = "<rst><body><segment id=\"1\" parent=\"g1\" relname=\"span\">One</segment>";
  for (int i = 1; i <= deep; ++i)
    deepCycle += "<group id=\"g" + std::to_string(i) + "\" type=\"span\" parent=\"g" + std::to_string(i % deep + 1) +
                 "\" relname=\"span\"/>";
  deepCycle += "</body></rst>";
  std::string laughs = "<?xml version=\"1.0\"?><!DOCTYPE rst [<!ENTITY a \"aaaaaaaaaaaaaaaaaaaa\">";
  for (char e = 'b'; e <= 'j'; ++e) {
    laughs += std::string("<!ENTITY ") + e + " \"";
    for (int i = 0; i < 10; ++i)
      laughs += std::string("&") + static_cast<char>(e - 1) + ";";
    laughs += "\">";
  }
  laughs += "]><rst><body><segment id=\"1\">&j;</segment></body></rst>";
  const std::string seg = "<segment id=\"1\">One</segment>";
  const struct {
    const char *name;
    std::string file;
    std::string content;
    std::vector<std::string> mentioned;
  } cases[] = {
      {"malformed XML", "bad.rs3", "<rst><body>\n" + seg + "<segment id=\"2\">Two</body></rst>", {":2:"}},
      {"a parent that is no node", "orphan.rs3",
       "<rst><body>" + seg + "<segment id=\"2\" parent=\"9\" relname=\"x\">Two</segment></body></rst>", {"parent 9"}},
      {"a cycle of parents", "cycle.rs3",
       "<rst><body><segment id=\"1\" parent=\"3\" relname=\"span\">One</segment><group id=\"3\" type=\"span\" "
       "parent=\"4\"/><group id=\"4\" type=\"span\" parent=\"3\"/></body></rst>", {"cycle"}},
      {"a cycle 100,000 parents long", "deep.rs3", deepCycle, {"cycle"}},
      {"a relation name longer than its field", "long.rs3",
       "<rst><body>" + seg + "<segment id=\"2\" parent=\"1\" relname=\"" + std::string(31, 'r') +
           "\">Two</segment></body></rst>", {"Relation", "satellite 2", "31 characters"}},
      {"a document name longer than its field", std::string(61, 'd') + ".rs3",
       "<rst><body>" + seg + "<segment id=\"2\" parent=\"1\" relname=\"x\">Two</segment></body></rst>", {"From"}},
      {"an external entity", "external.rs3",
       "<?xml version=\"1.0\"?>\n<!DOCTYPE rst [<!ENTITY s SYSTEM \"file:///etc/passwd\">]>\n"
       "<rst><body><segment id=\"1\">&s;</segment></body></rst>", {":2:", "external entity"}},
      {"an entity of an external DTD", "dtd.rs3",
       "<?xml version=\"1.0\"?>\n<!DOCTYPE rst SYSTEM \"http://127.0.0.1:9/rst.dtd\">\n"
       "<rst><body><segment id=\"1\">&s;</segment></body></rst>", {":3:", "not defined"}},
      {"entities that expand exponentially", "laughs.rs3", laughs, {":1:", "expansion limit"}},
      {"a satellite of a span group without a nucleus", "nonucleus.rs3",
       "<rst><body>\n<segment id=\"1\" parent=\"12\" relname=\"x\">One</segment>\n<group id=\"12\" type=\"span\"/>"
       "</body></rst>", {":3:", "the span group 12 has no nucleus"}},
      {"branches that cross: spans that overlap", "cross.rs3",
       "<rst><header><relations><rel name=\"joint\" type=\"multinuc\"/></relations></header><body>\n"
       "<segment id=\"1\" parent=\"9\" relname=\"joint\">One</segment><segment id=\"2\" parent=\"9\" "
       "relname=\"joint\">Two</segment><segment id=\"3\" parent=\"1\" relname=\"x\">Three</segment>"
       "<group id=\"9\" type=\"multinuc\"/></body></rst>", {"overlap", "co-nuclei 1 and 2"}},
  };
  makeTable("T.DB", kHeader);
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    const std::string file = path("hostile/" + c.file);
    writeFile(file, c.content);
    const Outcome r = run({"import-rst", m_dir, "T.DB", file});
    EXPECT_EQ(r.status, 1) << show(r);
    std::vector<std::string> mentioned = c.mentioned;
    mentioned.push_back(file);
    for (const std::string &text : mentioned)
      EXPECT_TRUE(mentions(r.err, text)) << "no '" << text << "'" << show(r);
    EXPECT_EQ(query(path("T.DB"), "SELECT count(*) FROM T"), std::vector<std::string>{"0"});
  }

  // Deep but sound: a chain of 100,000 groups and 100,000 nested elements.
  std::string chain = "<rst><body><segment id=\"1\" parent=\"g1\" relname=\"span\">One</segment>"
                      "<segment id=\"2\" parent=\"1\" relname=\"x\">Two</segment>";
  for (int i = 1; i < deep; ++i)
    chain += "<group id=\"g" + std::to_string(i) + "\" type=\"span\" parent=\"g" + std::to_string(i + 1) +
             "\" relname=\"span\"/>";
  chain += "<group id=\"g" + std::to_string(deep) + "\" type=\"span\"/>";
  for (int i = 0; i < deep; ++i)
    chain += "<x>";
  for (int i = 0; i < deep; ++i)
    chain += "</x>";
  chain += "</body></rst>";
  writeFile(path("deep/chain.rs3"), chain);
  const Outcome sound = run({"import-rst", m_dir, "T.DB", path("deep/chain.rs3")});
  EXPECT_EQ(sound.status, 0) << show(sound);
  EXPECT_EQ(sound.out, "1 documents, 1 records, 0 records with a marker\n");
}

// Import, annotate, export-rst, import again: the table comes back. An
// untouched document is written byte for byte; a changed one only in its
// signals (an rs3 one gains them, in its own encoding); what cannot go
// back is listed by Id. documents, remove-document, check and the refusal
// of a document the table has already come on the way.
TEST_F(ImportRstTest, TheCorpusGoesBackWithTheTablesMarkers) {
  const std::string fixtures = VANDRO_RST_FIXTURES;
  const std::string walk = readFile(fixtures + "/walk.rs4"), cafe = readFile(fixtures + "/cafe.rs3");
  writeFile(path("corpus/cafe.rs3"), cafe);
  writeFile(path("corpus/walk.rs4"), walk);
  writeFile(path("corpus/walk2.rs4"), walk);
  // A record of the document imported before as CSV: the document is
  // refused until remove-document takes that record out.
  makeTable("T.DB", kHeader + csvLine({"1", "cafe", "background", "", "", "", "", "", "", "", "", "", "", "", "", "", "", ""}));
  const Outcome refused = run({"import-rst", m_dir, "T.DB", path("corpus")});
  EXPECT_EQ(refused.status, 1) << show(refused);
  EXPECT_TRUE(mentions(refused.err, "remove-document")) << show(refused);
  EXPECT_EQ(run({"remove-document", m_dir, "T.DB", "cafe"}).out, "Removed cafe: 1 records, 0 with a marker\n");
  const Outcome imported = run({"import-rst", m_dir, "T.DB", path("corpus")});
  ASSERT_EQ(imported.status, 0) << show(imported);
  ASSERT_EQ(query(path("T.DB"), "SELECT group_concat(Id || ':' || Relation, ' ') FROM T"),
            std::vector<std::string>{"1:background 2:concession 3:elaboration 4:joint 5:evaluation 6:sequence "
                                     "7:concession 8:elaboration 9:joint 10:evaluation 11:sequence"});
  const Outcome again = run({"import-rst", m_dir, "T.DB", path("corpus/walk2.rs4")});
  EXPECT_EQ(again.status, 1) << show(again);
  EXPECT_TRUE(mentions(again.err, "remove-document")) << show(again);

  // The annotator's work, as the window stores it.
  runSql(path("T.DB"), "UPDATE T SET Marker2 = 'nous', Position2 = 'Beginning' WHERE Id = 1;" // rs3 gains a signal
                       "UPDATE T SET Marker1 = 'rained', Position1 = 'Beginning' WHERE Id = 2;" // reads back at End
                       "UPDATE T SET Marker2 = 'saw + went home' WHERE Id = 3;" // one kept, one gone, one new
                       "UPDATE T SET Marker2 = 'zzz' WHERE Id = 4;"             // no run: not written, "and" kept
                       "UPDATE T SET Relation = 'comment' WHERE Id = 5;"        // not a marker
                       "UPDATE T SET Marker1 = 'saw', Position1 = 'Middle' WHERE Id = 6;" // a new signal
                       "UPDATE T SET Marker2 = '  ', Position2 = '' WHERE Id = 7;");     // blanks: no marker
  const Outcome documents = run({"documents", m_dir, "T.DB"});
  EXPECT_EQ(documents.status, 0) << show(documents);
  for (const char *line : {"cafe\t1\t1\t1\t", "walk\t5\t5\t4\t", "walk2\t5\t5\t0\t"})
    EXPECT_TRUE(mentions(documents.out, line)) << line << show(documents);

  const Outcome exported = run({"export-rst", m_dir, "T.DB", path("out")});
  ASSERT_EQ(exported.status, 0) << show(exported);
  const std::vector<std::string> listed = {
      "Id 1: span 2: signal added: \"nous\" (tokens 4)",
      "Id 2: span 1: signal added: \"rained\" (tokens 3)",
      "Id 2: span 1: signal removed: \"Although\" (tokens 1)",
      "Id 2: span 1: the marker \"rained\" at \"Beginning\" reads back as \"rained\" at \"End\"",
      "Id 3: span 2: signal added: \"went home\" (tokens 21,22)",
      "Id 3: span 2: signal removed: \"we went\" (tokens 20,21)",
      "Id 4: span 2: \"zzz\" is no sequence of the span's tokens (letter case as the document writes it); not written",
      "Id 4: span 2: signal kept: \"and\" (tokens 13), since a part of the marker could not be written",
      "Id 4: span 2: the marker \"zzz\" at \"Beginning\" reads back as \"and\" at \"Beginning\"",
      "Id 5: columns other than the markers differ from the import (Relation \"comment\", imported \"evaluation\")",
      "Id 6: span 1: signal added: \"saw\" (tokens 15)",
      "3 documents written to " + path("out") + " (1 byte for byte as imported), 4 signals added, 2 removed, 1 not written"};
  EXPECT_EQ(splitLines(exported.out), listed) << show(exported);

  EXPECT_EQ(readFile(path("out/walk2.rs4")), walk) << "untouched: byte for byte";
  const std::string cafeOut = readFile(path("out/cafe.rs3"));
  EXPECT_EQ(cafeOut, "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<rst>\n"
                     "  <header><relations><rel name=\"background\" type=\"rst\"/></relations>"
                     "<sigtypes><sig type=\"dm\" subtypes=\"dm\"/></sigtypes></header>\n"
                     "  <body>\n    <segment id=\"1\" parent=\"2\" relname=\"background\">Au caf\xE9 ,</segment>\n"
                     "    <segment id=\"2\">nous avons parl\xE9 .</segment>\n"
                     "    <signals>\n      <signal source=\"1\" type=\"dm\" subtype=\"dm\" tokens=\"4\"/>\n"
                     "    </signals>\n  </body>\n</rst>\n");
  const std::string walkOut = readFile(path("out/walk.rs4"));
  auto signalsOf = [](const std::string &text) {
    return text.substr(text.find("<signals>"), text.find("</signals>") - text.find("<signals>"));
  };
  auto outside = [](const std::string &text) {
    return text.substr(0, text.find("<signals>")) + text.substr(text.find("</signals>"));
  };
  EXPECT_EQ(outside(walkOut), outside(walk)) << "nothing changes outside the signals";
  // Kept signals exactly as they were, new ones where a removed one stood
  // or after the span's last kept one, in the document's own layout.
  EXPECT_EQ(signalsOf(walkOut),
            "<signals>\n"
            "      <signal source=\"1\" type=\"dm\" subtype=\"dm\" tokens=\"3\"/>\n"
            "      <signal source=\"1\" type=\"lexical\" subtype=\"indicative_word\" tokens=\"3\" status=\"gold\"/>\n"
            "      <signal source=\"4\" type=\"dm\" subtype=\"dm\" tokens=\"13\" status=\"gold\"/>\n"
            "      <signal source=\"5\" type=\"dm\" subtype=\"dm\" tokens=\"19\" status=\"gold\"/>\n"
            "      <signal source=\"5\" type=\"dm\" subtype=\"dm\" tokens=\"15\"/>\n"
            "      <signal source=\"6\" type=\"dm\" subtype=\"dm\" tokens=\"26,27\" status=\"gold\"/>\n"
            "      <signal source=\"21\" type=\"dm\" subtype=\"dm\" tokens=\"15\" status=\"gold\"/>\n"
            "      <signal source=\"21\" type=\"dm\" subtype=\"dm\" tokens=\"21,22\"/>\n"
            "      <signal source=\"7\" type=\"dm\" subtype=\"dm\" tokens=\"99\" status=\"gold\"/>\n"
            "      <signal source=\"2\" type=\"dm\" subtype=\"dm\" tokens=\"5\" status=\"gold\"/>\n"
            "    ");

  // The closing property: the exported corpus imports as the table, for
  // every record that has a source and is not listed.
  makeTable("U.DB", kHeader);
  const Outcome reimported = run({"import-rst", m_dir, "U.DB", path("out")});
  ASSERT_EQ(reimported.status, 0) << show(reimported);
  // A marker of blanks is no marker, as the corpus holds it.
  const std::string columns = "\"From\", Relation, Extended, Embedded, Volitional, \"Order\", Span1, Span2, L1, H1, "
                              "L2, H2, Segments_distance, nullif(trim(Marker1), ''), nullif(Position1, ''), "
                              "nullif(trim(Marker2), ''), nullif(Position2, '')";
  const std::string kept = " WHERE Id NOT IN (2, 4, 5) ORDER BY Id";
  EXPECT_EQ(query(path("U.DB"), "SELECT " + columns + " FROM U" + kept),
            query(path("T.DB"), "SELECT " + columns + " FROM T" + kept));

  // A document goes as a whole; check sees a source whose record went by
  // another way.
  const Outcome removed = run({"remove-document", m_dir, "T.DB", "walk2"});
  EXPECT_EQ(removed.status, 0) << show(removed);
  EXPECT_EQ(removed.out, "Removed walk2: 5 records, 5 with a marker\n");
  EXPECT_EQ(query(path("T.DB"), "SELECT count(*) FROM T"), std::vector<std::string>{"6"});
  EXPECT_FALSE(mentions(run({"documents", m_dir, "T.DB"}).out, "walk2"));
  EXPECT_EQ(run({"check", m_dir, "T.DB"}).status, 0);
  runSql(path("T.DB"), "DELETE FROM T WHERE Id = 6");
  const Outcome checked = run({"check", m_dir, "T.DB"});
  EXPECT_EQ(checked.status, 1) << show(checked);
  EXPECT_TRUE(mentions(checked.out, "Id = 6")) << show(checked);
}

// remove-document writes as the window does: never a record another
// program is editing, and never annotation not yet in the corpus unless
// the user says so.
TEST_F(ImportRstTest, RemoveDocumentKeepsWhatOthersWorkOnAndWhatChanged) {
  using namespace vandro::engine;
  makeTable("T.DB", kHeader);
  ASSERT_EQ(run({"import-rst", m_dir, "T.DB", std::string(VANDRO_RST_FIXTURES) + "/walk.rs4"}).status, 0);
  ASSERT_EQ(Engine::instance().initialise(kInterfaceVersion, kLanguage), code::Ok);
  std::unique_ptr<Database> database;
  std::unique_ptr<Cursor> editor;
  ASSERT_EQ(Engine::instance().openDatabase("", m_dir, OpenMode::ReadWrite, ShareMode::Shared, database), code::Ok);
  ASSERT_EQ(database->openTable("T.DB", "default", OpenMode::ReadWrite, ShareMode::Shared, editor), code::Ok);
  Record record;
  ASSERT_EQ(editor->findKey({Value::integer(3)}, record), code::Ok);
  ASSERT_EQ(editor->readCurrent(record, LockMode::WriteLock), code::Ok);
  const Outcome locked = run({"remove-document", m_dir, "T.DB", "walk"});
  EXPECT_EQ(locked.status, 1) << show(locked);
  EXPECT_TRUE(mentions(locked.err, "locked") && mentions(locked.err, "Id = 3") && mentions(locked.err, "Held by "))
      << show(locked);
  // The holder listed with the record, and gone with its lock.
  const Outcome listed = run({"locks", m_dir, "T.DB"});
  EXPECT_EQ(listed.status, 0) << show(listed);
  EXPECT_TRUE(listed.out.starts_with("Record\tUser\tMachine\tSince\nId = 3\t")) << show(listed);
  ASSERT_EQ(editor->releaseLock(), code::Ok);
  EXPECT_EQ(run({"locks", m_dir, "T.DB"}).out.find("Id = 3"), std::string::npos);
  editor.reset();
  database.reset();
  (void)Engine::instance().exit();

  runSql(path("T.DB"), "UPDATE T SET Marker2 = 'we went' WHERE Id = 2; UPDATE T SET Position2 = 'End' WHERE Id = 3");
  const Outcome changed = run({"remove-document", m_dir, "T.DB", "walk"});
  EXPECT_EQ(changed.status, 1) << show(changed);
  EXPECT_TRUE(mentions(changed.err, "2 markers changed") && mentions(changed.err, "--force")) << show(changed);
  EXPECT_EQ(query(path("T.DB"), "SELECT count(*) FROM T"), std::vector<std::string>{"5"});
  const Outcome forced = run({"remove-document", m_dir, "T.DB", "walk", "--force"});
  EXPECT_EQ(forced.status, 0) << show(forced);
  EXPECT_EQ(query(path("T.DB"), "SELECT count(*) FROM T"), std::vector<std::string>{"0"});
}

// What the export would overwrite or read that is not as it left it: a file
// of the folder changed since (by a colleague in another RST tool), and a
// source another program stored malformed.
TEST_F(ImportRstTest, ExportRstRefusesChangedFilesAndMalformedSources) {
  const std::string walk = readFile(std::string(VANDRO_RST_FIXTURES) + "/walk.rs4");
  makeTable("T.DB", kHeader);
  ASSERT_EQ(run({"import-rst", m_dir, "T.DB", std::string(VANDRO_RST_FIXTURES) + "/walk.rs4"}).status, 0);
  ASSERT_EQ(run({"export-rst", m_dir, "T.DB", path("out")}).status, 0);
  runSql(path("T.DB"), "UPDATE T SET Marker2 = 'saw' WHERE Id = 2");
  ASSERT_EQ(run({"export-rst", m_dir, "T.DB", path("out")}).status, 0) << "its own output it replaces";
  const std::string corrected = walk + "<!-- corrected -->\n";
  writeFile(path("out/walk.rs4"), corrected);
  const Outcome refused = run({"export-rst", m_dir, "T.DB", path("out")});
  EXPECT_EQ(refused.status, 1) << show(refused);
  EXPECT_TRUE(mentions(refused.err, path("out/walk.rs4")) && mentions(refused.err, "--force")) << show(refused);
  EXPECT_EQ(readFile(path("out/walk.rs4")), corrected);
  const Outcome forced = run({"export-rst", m_dir, "T.DB", path("out"), "--force"});
  EXPECT_EQ(forced.status, 0) << show(forced);
  EXPECT_NE(readFile(path("out/walk.rs4")), corrected);

  // Record 2's span 2 owns the signals 6 and 7 of walk.rs4, tokens 9-28.
  const struct {
    const char *change, *named;
  } sources[] = {
      {"Signals2 = 'x'", "Signals2"},
      {"Signals2 = '5,'", "Signals2"},
      {"Signals2 = '5,5'", "twice"},
      {"Signals2 = '999'", "Signals2 names 999, which is not a dm signal of the record's span 2"},
      {"Signals2 = '0'", "Signals2 names 0, which is not"},  // the lexical signal
      {"Signals2 = '2'", "Signals2 names 2, which is not"},  // the dm signal of record 4
      {"First2 = -5", "First2 -5"},
      {"Last2 = 99999999", "Last2 99999999"},
      {"Node1 = '99'", "make no relation record"},
  };
  for (const auto &c : sources) {
    SCOPED_TRACE(c.change);
    runSql(path("T.DB"), std::string("UPDATE T_sources SET ") + c.change + " WHERE Id = 2");
    for (const auto &command : {std::vector<std::string>{"check", m_dir, "T.DB"},
                                std::vector<std::string>{"export-rst", m_dir, "T.DB", path("out2")}}) {
      const Outcome r = run(command);
      EXPECT_EQ(r.status, 1) << command[0] << show(r);
      EXPECT_TRUE(mentions(r.out + r.err, "Id = 2") && mentions(r.out + r.err, c.named)) << command[0] << show(r);
    }
    runSql(path("T.DB"), "UPDATE T_sources SET Signals2 = '5,6', First2 = 9, Last2 = 28, Node1 = '21' WHERE Id = 2");
  }
  EXPECT_EQ(run({"check", m_dir, "T.DB"}).status, 0);
  // A source that leaves out one of its span's signals (as one imported
  // before every signal showed): check names it. The export never removes
  // that signal, keeps it for a part that names it instead of adding
  // another, and says the marker reads back with it.
  runSql(path("T.DB"), "UPDATE T_sources SET Signals2 = '5', Marker2 = 'saw' WHERE Id = 2;"
                       "UPDATE T SET Marker2 = 'we went + home' WHERE Id = 2");
  EXPECT_TRUE(mentions(run({"check", m_dir, "T.DB"}).out, "Signals2 leaves out 6"));
  const Outcome leftOut = run({"export-rst", m_dir, "T.DB", path("out3")});
  EXPECT_EQ(leftOut.status, 0) << show(leftOut);
  EXPECT_EQ(splitLines(leftOut.out),
            (std::vector<std::string>{
                "Id 2: span 2: signal added: \"home\" (tokens 22)",
                "Id 2: span 2: signal removed: \"saw\" (tokens 15)",
                "1 documents written to " + path("out3") + " (0 byte for byte as imported), 1 signals added, 1 removed, "
                "0 not written"}))
      << show(leftOut);
}

// A table anyone may write into: what the corpus beside it holds is checked
// where it is read. The export writes only plain names inside its folder,
// never over a table's files (--force or not), and nothing at all when it
// refuses; check names each hostile value.
TEST_F(ImportRstTest, HostileCorpusValuesAreRefusedAndNamed) {
  makeTable("T.DB", kHeader);
  ASSERT_EQ(run({"import-rst", m_dir, "T.DB", std::string(VANDRO_RST_FIXTURES) + "/walk.rs4"}).status, 0);
  runSql(path("T.DB"), "CREATE TABLE Saved AS SELECT * FROM T_documents");
  std::filesystem::create_directories(path("links"));
  std::filesystem::create_symlink(path("elsewhere.rs4"), path("links/walk.rs4"));
  // One level above the test's folder, under a name of this test's own.
  const std::string escaped = std::filesystem::path(m_dir).filename().string() + "-escaped.rs4";
  const struct {
    std::string change, folder;
    const char *exported, *checked; // what the refusal and check's report name; "" for check's ok
  } cases[] = {
      {"File = '" + path("abs.rs4") + "'", "out", "no plain file name", "no plain file name"},
      {"File = '../" + escaped + "'", "out", "no plain file name", "no plain file name"},
      {"File = 'T.DB'", ".", "a file of the table itself", ""},
      {"File = 'T.DB-wal'", ".", "a file of the table itself", ""},
      {"File = 'walk.rs4'", "links", "it is a link", ""},
      {"Content = 'short'", "out", "no longer has the bytes", "no longer has the bytes"},
      {"Content = 42", "out", "Content holds 42, no bytes", "no longer has the bytes"},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.change);
    runSql(path("T.DB"), "UPDATE T_documents SET " + c.change + "; UPDATE T SET Marker1 = 'we' WHERE Id = 1");
    const Outcome exported = run({"export-rst", m_dir, "T.DB", path(c.folder), "--force"});
    EXPECT_EQ(exported.status, 1) << show(exported);
    EXPECT_TRUE(mentions(exported.err, c.exported)) << show(exported);
    const Outcome checked = run({"check", m_dir, "T.DB"});
    EXPECT_EQ(checked.status, *c.checked ? 1 : 0) << show(checked);
    EXPECT_TRUE(mentions(checked.out, c.checked)) << show(checked);
    runSql(path("T.DB"), "DELETE FROM T_documents; INSERT INTO T_documents SELECT * FROM Saved");
  }
  EXPECT_FALSE(std::filesystem::exists(path("abs.rs4")) || std::filesystem::exists(m_dir + "/../" + escaped) ||
               std::filesystem::exists(path("elsewhere.rs4")) || std::filesystem::exists(path("out")))
      << "nothing written outside the folder, nor the folder";
  for (const auto &entry : std::filesystem::directory_iterator(m_dir))
    EXPECT_EQ(entry.path().string().find(".part-"), std::string::npos) << entry.path();
  EXPECT_EQ(run({"check", m_dir, "T.DB"}).status, 0);
  // The right bytes stored as text, and a marker as bytes, read as the
  // window reads them: check and the export agree.
  runSql(path("T.DB"), "UPDATE T_documents SET Content = CAST(Content AS TEXT);"
                       "UPDATE T SET Marker1 = CAST('Although' AS BLOB) WHERE Id = 1");
  EXPECT_EQ(run({"check", m_dir, "T.DB"}).status, 0);
  const Outcome asText = run({"export-rst", m_dir, "T.DB", path("text")});
  EXPECT_EQ(asText.status, 0) << show(asText);
  EXPECT_TRUE(mentions(asText.out, "(1 byte for byte as imported)")) << show(asText);

  // Two documents under one file name: the clash named, nothing written.
  writeFile(path("two/walk.rs4"), readFile(std::string(VANDRO_RST_FIXTURES) + "/walk.rs4"));
  writeFile(path("two/walk2.rs4"), readFile(std::string(VANDRO_RST_FIXTURES) + "/walk.rs4"));
  makeTable("U.DB", kHeader);
  ASSERT_EQ(run({"import-rst", m_dir, "U.DB", path("two")}).status, 0);
  runSql(path("U.DB"), "UPDATE U_documents SET File = 'same.rs4'");
  const Outcome clash = run({"export-rst", m_dir, "U.DB", path("out")});
  EXPECT_TRUE(mentions(clash.err, "\"walk\" and \"walk2\" are both stored under the file name same.rs4")) << show(clash);
  EXPECT_TRUE(mentions(run({"check", m_dir, "U.DB"}).out,
                       "has the file name \"same.rs4\" of the document \"walk\""));
  EXPECT_FALSE(std::filesystem::exists(path("out")));
}

// What an import says at its end without refusing the document.
TEST_F(ImportRstTest, AnImportWarnsOfNamesAndTokensItCannotPlace) {
  writeFile(path("warn.rs4"), "<rst><body>\n<segment id=\"1\">One</segment>\n"
                              "<segment id=\"2\" parent=\"1\" relname=\"mystery\">Two</segment>\n<signals>\n"
                              "<signal source=\"2\" type=\"dm\" subtype=\"dm\" tokens=\"99\"/>\n"
                              "<signal source=\"1\" type=\"dm\" subtype=\"dm\" tokens=\"1\"/>\n</signals></body></rst>");
  makeTable("T.DB", kHeader);
  const Outcome imported = run({"import-rst", m_dir, "T.DB", path("warn.rs4")});
  EXPECT_EQ(imported.status, 0) << show(imported);
  for (const std::string &warning : {path("warn.rs4") + ":3: the relation name \"mystery\" is not declared",
                                     path("warn.rs4") + ":3: the relation name \"mystery\" is neither in the map",
                                     path("warn.rs4") + ":5: a dm signal names tokens beyond",
                                     path("warn.rs4") + ":5: the dm signal of node 2 has no token inside the spans",
                                     path("warn.rs4") + ":6: the dm signal of node 1 belongs to no relation record"})
    EXPECT_TRUE(mentions(imported.err, "warning: " + warning)) << warning << show(imported);
}

} // namespace
