// vandro-admin's aliases and configuration end to end: editing the file
// keeps the rest of it, a server alias works like a directory, and files
// that are no configuration or no table are reported and left alone.
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

// Nothing aborts, and a table file that turns out not to be ours is left
// exactly as it was by every command that opens a table.
TEST_F(AdminCommandTest, AConfigurationFolderAndForeignFilesAreReportedAndLeftAlone) {
  fs::create_directories(m_config); // a folder where the configuration should be
  for (const std::vector<std::string> &args : {std::vector<std::string>{"alias", "list"},
                                                {"export", "Vandro", "T.DB"}}) {
    const Outcome r = run(args);
    EXPECT_EQ(r.status, 1) << csvLine(args) << show(r);
    for (const char *text : {"The engine configuration cannot be read", "Is a directory"})
      EXPECT_TRUE(mentions(r.err, text)) << csvLine(args) << show(r);
    EXPECT_TRUE(mentions(r.err, m_config)) << show(r);
  }
  fs::remove(m_config);

  runSql(path("Other.DB"), "CREATE TABLE Something (x INTEGER); INSERT INTO Something VALUES (1);");
  writeFile(path("Empty.DB"), "");
  writeFile(path("io/one.csv"), kHeader + csvLine({"1", "", "joint", "", "", "", "", "", "", "", "", "", "", "", "", "", "", ""}));
  for (const std::string file : {"Other.DB", "Empty.DB"}) {
    const std::string before = readFile(path(file));
    const std::vector<std::vector<std::string>> commands = {
        {"import", m_dir, file, path("io/one.csv")}, {"export", m_dir, file, path("io/out.csv")},
        {"check", m_dir, file}, {"password", "set", m_dir, file}, {"password", "clear", m_dir, file}};
    for (const auto &args : commands) {
      const Outcome r = run(args, "secret\n");
      EXPECT_EQ(r.status, 1) << csvLine(args) << show(r);
      EXPECT_EQ(readFile(path(file)), before) << csvLine(args) << " changed the file";
      for (const char *beside : {"-wal", "-shm", "-journal", "-lock", "-holders"})
        EXPECT_FALSE(fs::exists(path(file + beside))) << csvLine(args) << " left " << file << beside;
    }
  }
}
// A table on a database server is made, filled, exported, checked and given
// its demo records through an alias exactly as one in a directory; the alias
// never holds a password, and the table has none of its own.
TEST_F(AdminCommandTest, AServerAliasWorksLikeADirectory) {
  auto &server = vandro::engine::testing::PostgresServer::instance();
  ASSERT_TRUE(server.running()) << server.error();
  // The driver's other spelling, written as the configuration names it.
  std::vector<std::string> settings = {"alias", "set", "Team", "--driver", "Postgres"};
  for (const auto &[key, value] : server.newSchema())
    settings.push_back(key + "=" + value);
  const Outcome set = run(settings);
  ASSERT_EQ(set.status, 0) << show(set);
  struct stat made {};
  ASSERT_EQ(::stat(m_config.c_str(), &made), 0);
  EXPECT_EQ(made.st_mode & 0777, 0600u) << "a new configuration is its owner's only";
  // Settings an alias may not hold: refused when set, and when a
  // configuration written by hand holds them, at open, naming the line.
  const std::pair<std::string, std::string> badSettings[] = {
      {"password=secret", "never written"},
      {"sslpassword=secret", "never written"},
      {"foo=secret", "Unknown connection setting \"foo\""},
      {"client_encoding=secret", "UTF-8"}};
  const std::string configured = readFile(m_config);
  for (const auto &[setting, message] : badSettings) {
    SCOPED_TRACE(setting);
    const Outcome refused = run({"alias", "set", "Bad", "--driver", "postgresql", "host=/tmp", setting});
    EXPECT_EQ(refused.status, 1) << show(refused);
    EXPECT_TRUE(mentions(refused.err, message)) << show(refused);
    EXPECT_FALSE(mentions(readFile(m_config), "secret"));
    writeFile(m_config, configured + "\n[Bad]\ndriver = postgresql\nhost = /tmp\n" +
                            setting.substr(0, setting.find('=')) + " = secret\n");
    if (message == std::string("never written")) {
      EXPECT_FALSE(mentions(run({"alias", "list"}).out, "=secret")) << "a secret is not shown";
    }
    const Outcome opened = run({"export", "Bad", "Vandro.DB", path("io/bad.csv")});
    EXPECT_EQ(opened.status, 1) << show(opened);
    EXPECT_TRUE(mentions(opened.err, message)) << show(opened);
    EXPECT_TRUE(mentions(opened.err, m_config + ", line " + std::to_string(std::count(configured.begin(), configured.end(), '\n') + 5)))
        << show(opened);
    writeFile(m_config, configured);
  }
  const Outcome twice = run({"alias", "set", "Bad", "--driver", "postgresql", "host=/tmp", "user=a", "User=b"});
  EXPECT_EQ(twice.status, 1) << show(twice);
  EXPECT_TRUE(mentions(twice.err, "\"user\" is given twice")) << show(twice);
  const Outcome listed = run({"alias", "list"});
  EXPECT_TRUE(mentions(listed.out, "Team\tpostgresql\thost=")) << show(listed);

  const std::string csv = kHeader + csvLine({"1", "doc", "joint", "no", "", "", "NN", "\"a, b\"", "", "1", "1", "2", "2",
                                             "0", "and", "Beginning", "", ""}) +
                          csvLine({"2", "", "\"\"", "", "", "", "", "", "", "", "", "", "", "", "", "", "", ""});
  writeFile(path("io/records.csv"), csv);
  for (const std::vector<std::string> &args :
       {std::vector<std::string>{"create", "Team", "Vandro.DB"}, {"import", "Team", "Vandro.DB", path("io/records.csv")},
        {"export", "Team", "Vandro.DB", path("io/out.csv")}, {"check", "Team", "Vandro.DB"}}) {
    const Outcome r = run(args);
    EXPECT_EQ(r.status, 0) << csvLine(args) << show(r);
  }
  EXPECT_EQ(readFile(path("io/out.csv")), csv) << "the same records, byte for byte";

  // A key another record has: named by the line of the file.
  writeFile(path("io/again.csv"), kHeader + csvLine({"3", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", ""}) +
                                      csvLine({"1", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", ""}));
  const Outcome duplicate = run({"import", "Team", "Vandro.DB", path("io/again.csv")});
  EXPECT_EQ(duplicate.status, 1) << show(duplicate);
  EXPECT_TRUE(mentions(duplicate.err, "line 3")) << show(duplicate);
  EXPECT_TRUE(mentions(duplicate.err, "Key violation")) << show(duplicate);
  EXPECT_FALSE(mentions(duplicate.err, "WARNING")) << "the server's own notices are no message" << show(duplicate);

  // The corpus kept beside a server's table: imported, listed, written
  // back untouched byte for byte, removed.
  const std::string walk = readFile(std::string(VANDRO_RST_FIXTURES) + "/walk.rs4");
  writeFile(path("corpus/walk.rs4"), walk);
  for (const std::vector<std::string> &args :
       {std::vector<std::string>{"import-rst", "Team", "Vandro.DB", path("corpus")},
        {"export-rst", "Team", "Vandro.DB", path("corpus-out")}, {"check", "Team", "Vandro.DB"}}) {
    const Outcome r = run(args);
    EXPECT_EQ(r.status, 0) << csvLine(args) << show(r);
  }
  EXPECT_EQ(readFile(path("corpus-out/walk.rs4")), walk);
  EXPECT_TRUE(mentions(run({"documents", "Team", "Vandro.DB"}).out, "walk\t5\t5\t0\t"));
  EXPECT_EQ(run({"remove-document", "Team", "Vandro.DB", "walk"}).out, "Removed walk: 5 records, 5 with a marker\n");

  const Outcome password = run({"password", "set", "Team", "Vandro.DB"}, "secret\n");
  EXPECT_EQ(password.status, 1) << show(password);
  EXPECT_TRUE(mentions(password.err, "server's own authentication")) << show(password);

  // The demo table on the server, when the alias Vandro names one.
  std::vector<std::string> vandro = {"alias", "set", "Vandro", "--driver", "postgresql"};
  for (const auto &[key, value] : server.newSchema())
    vandro.push_back(key + "=" + value);
  ASSERT_EQ(run(vandro).status, 0);
  const Outcome demo = run({"init", "--demo"});
  EXPECT_EQ(demo.status, 0) << show(demo);
  const Outcome exported = run({"export", "Vandro", "Vandro.DB"});
  EXPECT_TRUE(mentions(exported.out, "Demo_village_trip")) << show(exported);
}

TEST_F(AdminCommandTest, AliasEditsKeepTheRestOfTheConfiguration) {
  const std::string original = "; engine settings of the project\n"
                               "\n"
                               "[Other]\n"
                               "driver = sqlite\n"
                               "path = /srv/other\n"
                               "colour=blue   \n"
                               "\n"
                               "# a comment between sections\n"
                               "[Third]\n"
                               "path=/srv/third\n"
                               "\n"
                               "; closing comment\n";
  writeFile(m_config, original);
  auto onlyTheConfigFile = [&] {
    std::vector<std::string> names;
    for (const auto &entry : fs::directory_iterator(fs::path(m_config).parent_path()))
      names.push_back(entry.path().filename().string());
    return names == std::vector<std::string>{"engine.conf"};
  };

  const std::string fresh = path("fresh");
  fs::create_directories(fresh);
  Outcome r = run({"alias", "set", "Fresh", fresh});
  ASSERT_EQ(r.status, 0) << show(r);
  std::string content = readFile(m_config);
  EXPECT_EQ(content.substr(0, original.size()), original);
  EXPECT_TRUE(onlyTheConfigFile());

  // Replacing an alias's directory changes that one line only.
  const std::string moved = path("moved");
  r = run({"alias", "set", "other", moved});
  ASSERT_EQ(r.status, 0) << show(r);
  const auto before = splitLines(content), after = splitLines(readFile(m_config));
  ASSERT_EQ(after.size(), before.size());
  for (std::size_t i = 0; i < before.size(); ++i) {
    if (before[i] == "path = /srv/other")
      EXPECT_TRUE(mentions(after[i], moved)) << after[i];
    else
      EXPECT_EQ(after[i], before[i]);
  }
  EXPECT_TRUE(onlyTheConfigFile());

  // Removing a section takes its header and settings, nothing around them.
  content = readFile(m_config);
  r = run({"alias", "remove", "Third"});
  ASSERT_EQ(r.status, 0) << show(r);
  std::string expected = content;
  expected.erase(expected.find("[Third]\n"), std::string("[Third]\npath=/srv/third\n").size());
  EXPECT_EQ(readFile(m_config), expected);
  EXPECT_TRUE(onlyTheConfigFile());

  r = run({"alias", "list"});
  ASSERT_EQ(r.status, 0) << show(r);
  const auto listed = splitLines(r.out);
  ASSERT_EQ(listed.size(), 2u) << r.out;
  EXPECT_TRUE(mentions(listed[0], "Other") && mentions(listed[0], moved)) << r.out;
  EXPECT_TRUE(mentions(listed[1], "Fresh") && mentions(listed[1], fresh)) << r.out;

  // The alias leads the commands to its directory.
  r = run({"create", "Fresh", "A.DB"});
  ASSERT_EQ(r.status, 0) << show(r);
  EXPECT_TRUE(fs::exists(fresh + "/A.DB"));
  r = run({"export", "Fresh", "A.DB"});
  EXPECT_EQ(r.status, 0) << show(r);
  EXPECT_EQ(r.out, kHeader);

  r = run({"alias", "remove", "Third"});
  EXPECT_EQ(r.status, 1) << show(r);
  EXPECT_TRUE(mentions(r.err, "Third") && mentions(r.err, m_config)) << show(r);
  EXPECT_EQ(readFile(m_config), expected);
}
TEST_F(AdminCommandTest, AliasEditKeepsWindowsLineEnds) {
  const std::string original = "; written on Windows\r\n\r\n[Other]\r\npath = /srv/other\r\n";
  writeFile(m_config, original);
  const Outcome r = run({"alias", "set", "Fresh", path("fresh")});
  ASSERT_EQ(r.status, 0) << show(r);
  EXPECT_EQ(readFile(m_config).substr(0, original.size()), original);
}

} // namespace
