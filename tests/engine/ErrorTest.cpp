// Clear failures for broken files and configurations, the configuration file
// itself, table passwords and the engine's session.
#include "EngineFixture.h"

#include <filesystem>
#include <fstream>
#include <map>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vandro::engine::testing {
namespace {

using ErrorTest = EngineFixture;

std::vector<std::string> filesIn(const std::string &directory) {
  std::vector<std::string> names;
  for (const auto &entry : std::filesystem::directory_iterator(directory))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

TEST_F(ErrorTest, EachBrokenSetupGivesItsCodeAndNamesWhereItIs) {
  const std::string config = m_directory + "/engine.conf";
  std::unique_ptr<Cursor> cursor;
  std::unique_ptr<Database> database;
  AliasInfo alias;
  auto open = [&](const std::string &name) { return [&, name] { return tryOpen(cursor, name); }; };
  auto find = [&](const std::string &name) {
    return [&, name] { return Engine::instance().findAlias(name, alias); };
  };
  auto openAlias = [&](const std::string &name) {
    return [&, name] {
      return Engine::instance().openDatabase(name, "", OpenMode::ReadWrite, ShareMode::Shared,
                                             database);
    };
  };
  auto writeConfig = [&](const std::string &text) { return [=] { writeFile(config, text); }; };
  const std::string longText(400, 'x');

  struct Case {
    const char *what;
    std::function<void()> prepare;
    std::function<Result()> act;
    Result expected;
    std::vector<std::string> mentions;
  };
  const std::vector<Case> cases = {
      {"short text file", [&] { writeFile(pathOf("Short.DB"), "Id;Relation\n"); }, open("Short.DB"),
       code::NotADatabase, {pathOf("Short.DB")}},
      {"long text file", [&] { writeFile(pathOf("Text.DB"), "Relation list\n" + longText); },
       open("Text.DB"), code::NotADatabase, {pathOf("Text.DB")}},
      {"truncated file",
       [&] {
         createRelationTable("Cut.DB");
         {
           auto table = openTable("Cut.DB");
           ASSERT_EQ(table->beginBulk(), code::Ok);
           for (int id = 1; id <= 300; ++id) {
             Record record = relation(*table, id);
             record.values[7] = Value::text(longText);
             ASSERT_EQ(table->insertRecord(record), code::Ok);
           }
           ASSERT_EQ(table->commitBulk(), code::Ok);
         }
         const auto size = std::filesystem::file_size(pathOf("Cut.DB"));
         ASSERT_GT(size, 16u * 4096u);
         std::filesystem::resize_file(pathOf("Cut.DB"), size / 2);
       },
       open("Cut.DB"), code::DatabaseDamaged, {pathOf("Cut.DB")}},
      {"missing table file", [] {}, open("Missing.DB"), code::TableNotFound, {pathOf("Missing.DB")}},
      {"file without its table",
       [&] { runSql(pathOf("Other.DB"), "CREATE TABLE Something (x INTEGER)"); }, open("Other.DB"),
       code::TableMissingInFile, {pathOf("Other.DB"), "Other"}},
      {"column of an unknown type",
       [&] { runSql(pathOf("Odd.DB"), "CREATE TABLE Odd (Id INTEGER PRIMARY KEY, Shape GEOMETRY)"); },
       open("Odd.DB"), code::UnsupportedSchema, {pathOf("Odd.DB"), "Shape"}},
      {"unknown alias", writeConfig("[Corpus]\npath = " + m_directory + "\n"), find("Nowhere"),
       code::AliasNotFound, {"Nowhere", config}},
      {"unknown alias opened", [] {}, openAlias("Nowhere"), code::AliasNotFound, {"Nowhere"}},
      {"no configuration file", [&] { std::filesystem::remove(config); }, find("Corpus"),
       code::AliasNotFound, {"Corpus", "The configuration file does not exist: " + config}},
      {"a folder as the configuration", [&] { std::filesystem::create_directory(config); }, find("Corpus"),
       code::ConfigUnreadable, {"File: " + config, "Is a directory"}},
      {"a folder as the configuration, opened", [] {}, openAlias("Corpus"), code::ConfigUnreadable,
       {"File: " + config}},
      {"an unknown driver",
       [&] {
         std::filesystem::remove(config);
         writeFile(config, "; ours\n\n[Corpus]\ndriver = mysql\npath = " + m_directory + "\n");
       },
       openAlias("Corpus"), code::DriverNotSupported, {"Driver: mysql", config + ", line 3"}},
      {"an alias without a path", writeConfig("[Corpus]\ndriver = sqlite\n"), openAlias("Corpus"),
       code::AliasIncomplete, {"Alias: Corpus", config + ", line 1"}},
      {"line without =", writeConfig("; aliases\n[Corpus]\nthis line has no equals sign\n"),
       find("Corpus"), code::ConfigMalformed, {config + ", line 3"}},
      {"setting before any section", writeConfig("\npath = /tmp\n[Corpus]\n"), openAlias("Corpus"),
       code::ConfigMalformed, {config + ", line 2"}},
      {"one alias in two sections", writeConfig("[Corpus]\npath = /tmp\n[corpus]\npath = /\n"), openAlias("Corpus"),
       code::ConfigMalformed, {config + ", line 3", "at line 1"}},
      {"a line of control bytes and more", writeConfig("[Corpus]\n\x01" + std::string(100000, 'x') + "\n"),
       openAlias("Corpus"), code::ConfigMalformed, {"\\x01xxx", "(100001 bytes in all)"}},
      {"alias of a missing directory", writeConfig("[Gone]\npath = " + m_directory + "/gone\n"),
       openAlias("Gone"), code::DirectoryNotFound, {m_directory + "/gone", config + ", line 1"}},
      {"alias of a file", writeConfig("[File]\npath = " + config + "\n"), openAlias("File"),
       code::DirectoryNotFound, {config, "not a folder"}},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.what);
    c.prepare();
    ErrorEntries::clear();
    const Result result = c.act();
    EXPECT_EQ(result, c.expected) << describeFailure(result);
    for (const auto &text : c.mentions)
      EXPECT_TRUE(entriesMention(text)) << "no entry names " << text << ": " << describeFailure(result);
  }

  // The entries are numbered from 1 and end with NoMoreEntries.
  ASSERT_EQ(tryOpen(cursor, "Missing.DB"), code::TableNotFound);
  const auto count = static_cast<int>(ErrorEntries::all().size());
  ASSERT_GE(count, 1);
  ErrorEntry entry;
  ASSERT_EQ(Engine::instance().errorEntry(1, entry), code::Ok);
  EXPECT_EQ(entry.code, code::TableNotFound);
  EXPECT_EQ(entry.context, "File: " + pathOf("Missing.DB"));
  EXPECT_EQ(Engine::instance().errorEntry(count, entry), code::Ok);
  EXPECT_EQ(Engine::instance().errorEntry(count + 1, entry), code::NoMoreEntries);
  EXPECT_EQ(ErrorEntries::entry(0, entry), code::NoMoreEntries);
}

// How the values of an alias are read.
TEST_F(ErrorTest, ConfigValuesAreReadAsAUserWritesThem) {
  const std::string config = m_directory + "/conf/engine.conf";
  std::filesystem::create_directory(m_directory + "/conf");
  const std::string home = std::getenv("HOME") ? std::getenv("HOME") : "";
  const struct {
    const char *lines;
    const char *driver;
    std::string path;
  } cases[] = {
      {"path = /srv/rst", "sqlite", "/srv/rst"},
      {"path = ~/rst", "sqlite", home + "/rst"},
      {"path = ~", "sqlite", home},
      {"path = ~other/rst", "sqlite", m_directory + "/conf/~other/rst"},
      {"path = corpora/rst", "sqlite", m_directory + "/conf/corpora/rst"},
      {"path = ../rst", "sqlite", m_directory + "/rst"},
      {"path = \"/srv/with blanks \"", "sqlite", "/srv/with blanks "},
      {"driver = SQLite\npath = /srv", "sqlite", "/srv"},
      {"driver =\npath = /srv", "sqlite", "/srv"},
      {"driver = \"\"\npath = /srv", "sqlite", "/srv"},
      {"driver = PostgreSQL\npath = /srv", "postgresql", "/srv"},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.lines);
    for (const std::string start : {"", "\xEF\xBB\xBF"}) { // with and without a byte-order mark
      writeFile(config, start + "[Corpus]\r\n" + c.lines + "\n");
      Config read;
      ASSERT_EQ(read.load(config), code::Ok) << describeFailure(code::ConfigMalformed);
      const auto alias = read.alias("corpus");
      ASSERT_TRUE(alias);
      EXPECT_EQ(alias->name, "Corpus");
      EXPECT_EQ(alias->driver, c.driver);
      EXPECT_EQ(alias->path, c.path);
    }
  }
  // The byte-order mark stays when the file is written again.
  writeFile(config, "\xEF\xBB\xBF[Corpus]\npath = /srv\n");
  Config edited;
  ASSERT_EQ(edited.load(config), code::Ok);
  edited.setAlias("Other", "/data");
  ASSERT_EQ(edited.save(), code::Ok);
  EXPECT_EQ(readFile(config), "\xEF\xBB\xBF[Corpus]\npath = /srv\n\n[Other]\ndriver = sqlite\npath = /data\n");
}

// A file that turns out not to hold the table is left byte for byte as it was.
TEST_F(ErrorTest, AFailedOpenLeavesTheFileAsItWas) {
  runSql(pathOf("Other.DB"), "CREATE TABLE Something (x INTEGER); INSERT INTO Something VALUES (1)");
  writeFile(pathOf("Empty.DB"), "");
  runSql(pathOf("Odd.DB"), "CREATE TABLE Odd (Id INTEGER PRIMARY KEY, Shape GEOMETRY)");
  for (const char *name : {"Other.DB", "Empty.DB", "Odd.DB"}) {
    SCOPED_TRACE(name);
    const std::string before = readFile(pathOf(name));
    for (const OpenMode mode : {OpenMode::ReadWrite, OpenMode::ReadOnly}) {
      std::unique_ptr<Cursor> cursor;
      EXPECT_NE(tryOpen(cursor, name, mode), code::Ok);
    }
    EXPECT_EQ(readFile(pathOf(name)), before);
    for (const char *beside : {"-wal", "-shm", "-journal", "-lock", "-holders"})
      EXPECT_FALSE(std::filesystem::exists(pathOf(name) + beside)) << beside;
  }
}

// "May not be read" is told from "does not exist", naming what may not be
// read. Run by an unprivileged user: root is the child process become nobody.
TEST_F(ErrorTest, PermissionProblemsAreNotReportedAsMissingThings) {
  const bool root = ::geteuid() == 0;
  ASSERT_EQ(::chmod(m_directory.c_str(), 0755), 0);
  auto folder = [&](const std::string &name) {
    const std::string path = m_directory + "/" + name;
    std::filesystem::create_directories(path);
    ::chmod(path.c_str(), 0755);
    return path;
  };
  const std::string lockedConfig = folder("locked") + "/engine.conf";
  writeFile(lockedConfig, "[Corpus]\npath = /tmp\n");
  const std::string closed = folder("closed");
  const std::string inner = folder("outer") + "/inner";
  folder("outer/inner");
  const std::string open = folder("open");
  for (const std::string &dir : {closed, open}) {
    std::unique_ptr<Database> database;
    ASSERT_EQ(Engine::instance().openDatabase("", dir, OpenMode::ReadWrite, ShareMode::Shared, database), code::Ok);
    ASSERT_EQ(database->createTable("Vandro.DB", corpus::relationTableFields(), corpus::kRelationTableKey), code::Ok);
  }
  for (const std::string &path : {m_directory + "/locked", closed, m_directory + "/outer", open + "/Vandro.DB"})
    ASSERT_EQ(::chmod(path.c_str(), 0), 0);

  ChildProcess child([&](ChildProcess &) -> std::string {
    if (root && (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0))
      return "cannot become nobody";
    std::string failures;
    auto expect = [&](const char *what, Result result, Result expected, const std::string &named) {
      const std::string text = describeFailure(result);
      if (result != expected || !entriesMention(named) || text.find("Permission denied") == std::string::npos)
        failures += std::string(what) + ": " + text + "; ";
    };
    Config config;
    expect("configuration in a closed folder", config.load(lockedConfig), code::ConfigUnreadable, lockedConfig);
    std::unique_ptr<Database> database;
    std::unique_ptr<Cursor> cursor;
    expect("folder whose parent may not be searched",
           Engine::instance().openDatabase("", inner, OpenMode::ReadWrite, ShareMode::Shared, database),
           code::PermissionDenied, inner);
    for (const auto &[dir, what] : {std::pair{closed, "table in a closed folder"}, std::pair{open, "table of mode 000"}}) {
      if (Engine::instance().openDatabase("", dir, OpenMode::ReadWrite, ShareMode::Shared, database) != code::Ok)
        return std::string("cannot open the folder ") + dir;
      for (const OpenMode mode : {OpenMode::ReadWrite, OpenMode::ReadOnly})
        expect(what, database->openTable("Vandro.DB", "default", mode, ShareMode::Shared, cursor),
               code::PermissionDenied, dir + "/Vandro.DB");
    }
    return failures;
  });
  EXPECT_EQ(child.receive(), "(end)");
  EXPECT_EQ(child.wait(), 0);
  for (const std::string &path : {m_directory + "/locked", closed, m_directory + "/outer", open + "/Vandro.DB"})
    ::chmod(path.c_str(), 0755);
}

TEST_F(ErrorTest, ConfigEditsKeepEveryOtherLineAndSaveAtomically) {
  const std::string directory = m_directory + "/conf";
  const std::string path = directory + "/engine.conf";
  ::setenv("VANDRO_ENGINE_CONFIG", path.c_str(), 1);
  Config config;
  ASSERT_EQ(config.load(path), code::Ok); // no file yet: no aliases
  EXPECT_TRUE(config.aliases().empty());
  config.setAlias("Vandro", m_directory);
  ASSERT_EQ(config.save(), code::Ok) << describeFailure(code::Ok);
  EXPECT_EQ(filesIn(directory), std::vector<std::string>{"engine.conf"});
  AliasInfo alias;
  ASSERT_EQ(Engine::instance().findAlias("vandro", alias), code::Ok);
  EXPECT_EQ(alias.path, m_directory);
  EXPECT_EQ(alias.driver, "sqlite");

  writeFile(path, "; Vandro engine aliases\n"
                  "# edited by hand\n"
                  "\n"
                  "[Vandro]\n"
                  "path = /data/rst\n"
                  "  comment   =   keep   me  \n"
                  "\n"
                  "[Other]\n"
                  "\tdriver=sqlite\n"
                  "path=/data/other ; trailing\n"
                  "\n"
                  "[Archive]\n"
                  "; retired\n"
                  "path = /data/archive\n");
  ASSERT_EQ(config.load(path), code::Ok) << describeFailure(code::Ok);
  config.setAlias("VANDRO", "/data/rst-new");
  EXPECT_TRUE(config.removeAlias("archive"));
  EXPECT_FALSE(config.removeAlias("Archive"));
  config.setAlias("Fresh", "/data/fresh");
  ASSERT_EQ(config.save(), code::Ok) << describeFailure(code::Ok);
  EXPECT_EQ(readFile(path), "; Vandro engine aliases\n"
                            "# edited by hand\n"
                            "\n"
                            "[Vandro]\n"
                            "path = /data/rst-new\n"
                            "  comment   =   keep   me  \n"
                            "driver = sqlite\n"
                            "\n"
                            "[Other]\n"
                            "\tdriver=sqlite\n"
                            "path=/data/other ; trailing\n"
                            "\n"
                            "[Fresh]\n"
                            "driver = sqlite\n"
                            "path = /data/fresh\n");
  EXPECT_EQ(filesIn(directory), std::vector<std::string>{"engine.conf"});
  ASSERT_EQ(config.load(path), code::Ok);
  std::vector<std::string> names;
  for (const auto &a : config.aliases())
    names.push_back(a.name + "=" + a.path);
  EXPECT_EQ(names, (std::vector<std::string>{"Vandro=/data/rst-new", "Other=/data/other ; trailing",
                                             "Fresh=/data/fresh"}));

  // A comment that introduces the next section is that section's, and stays
  // when the section above it goes.
  writeFile(path, "[Old]\npath = /old\n\n; the main corpus\n[Vandro]\npath = /data/rst\n");
  ASSERT_EQ(config.load(path), code::Ok);
  EXPECT_TRUE(config.removeAlias("Old"));
  ASSERT_EQ(config.save(), code::Ok);
  EXPECT_NE(readFile(path).find("; the main corpus\n[Vandro]\npath = /data/rst\n"), std::string::npos)
      << readFile(path);

  // A save that cannot replace the file leaves no temporary file behind.
  Config blocked;
  ASSERT_EQ(blocked.load(directory + "/sub"), code::Ok);
  std::filesystem::create_directory(directory + "/sub");
  writeFile(directory + "/sub/keep", "");
  blocked.setAlias("Vandro", m_directory);
  EXPECT_EQ(blocked.save(), code::ConfigUnwritable);
  EXPECT_TRUE(entriesMention(directory + "/sub")) << describeFailure(code::ConfigUnwritable);
  EXPECT_EQ(filesIn(directory), (std::vector<std::string>{"engine.conf", "sub"}));
}

TEST_F(ErrorTest, PasswordProtectedTableOpensOnlyWithThePassword) {
  createRelationTable();
  {
    auto cursor = openTable();
    ASSERT_TRUE(cursor);
    fill(*cursor, 1, 3);
    ASSERT_EQ(cursor->setPassword("secret"), code::Ok) << describeFailure(code::Ok);
  }
  Engine &engine = Engine::instance();
  std::unique_ptr<Cursor> cursor;
  EXPECT_EQ(tryOpen(cursor), code::PasswordNeeded);
  EXPECT_TRUE(entriesMention(pathOf())) << describeFailure(code::PasswordNeeded);
  ASSERT_EQ(engine.addPassword("wrong"), code::Ok);
  EXPECT_EQ(tryOpen(cursor), code::PasswordNeeded);
  EXPECT_FALSE(cursor);
  ASSERT_EQ(engine.addPassword("secret"), code::Ok);
  ASSERT_EQ(tryOpen(cursor), code::Ok) << describeFailure(code::Ok);
  Record record;
  ASSERT_EQ(cursor->findKey({Value::integer(2)}, record), code::Ok);
  ASSERT_EQ(cursor->setPassword(std::nullopt), code::Ok) << describeFailure(code::Ok);
  cursor.reset();
  engine.dropAllPasswords();
  ASSERT_EQ(tryOpen(cursor), code::Ok) << describeFailure(code::Ok);
  EXPECT_EQ(cursor->setPassword(std::string(256, 'p')), code::PasswordTooLong);
  EXPECT_EQ(engine.addPassword(std::string(256, 'p')), code::PasswordTooLong);
}

TEST_F(ErrorTest, EngineSessionAndMessageTexts) {
  Engine &engine = Engine::instance();
  EXPECT_EQ(engine.initialise(kInterfaceVersion, kLanguage), code::AlreadyInitialised);
  ASSERT_EQ(engine.exit(), code::Ok);
  EXPECT_EQ(engine.initialise(kInterfaceVersion + 1, kLanguage), code::InvalidParameter);
  EXPECT_FALSE(engine.isInitialised());
  ASSERT_EQ(engine.initialise(kInterfaceVersion, kLanguage), code::Ok);

  // Every code has a message of its own (the table makes it so), which the
  // engine gives as its error text.
  for (const Result value : {code::Eof, code::RecordChanged, code::InternalError})
    EXPECT_EQ(engine.errorText(value), messageFor(value));
  EXPECT_TRUE(messageFor(0x1234).empty());
}

} // namespace
} // namespace vandro::engine::testing
