// A fresh engine session and temporary database directory for each test.
#pragma once

#include "engine/Engine.h"
#include "corpus/RelationTable.h"

#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <utility>
#include <vector>
#include <sys/types.h>

namespace vandro::engine::testing {

class EngineFixture : public ::testing::Test {
protected:
  void SetUp() override;
  void TearDown() override;

  // Creates the standard relation table `name` in the test directory.
  void createRelationTable(const std::string &name = "Vandro.DB");
  // Opens table `name` of the test directory; fails the test on an error.
  std::unique_ptr<Cursor> openTable(const std::string &name = "Vandro.DB",
                                    OpenMode mode = OpenMode::ReadWrite);
  // Opens table `name` of the test directory and returns the code, whatever it is.
  Result tryOpen(std::unique_ptr<Cursor> &out, const std::string &name = "Vandro.DB",
                 OpenMode mode = OpenMode::ReadWrite);
  // A relation record with Id `id` and a few fields filled in.
  Record relation(Cursor &cursor, std::int64_t id, const std::string &relation = "elaboration");
  // Inserts records with the Ids `first` to `last`.
  void fill(Cursor &cursor, std::int64_t first, std::int64_t last);
  // The full path of `name` in the test directory.
  std::string pathOf(const std::string &name = "Vandro.DB") const;
  // The message lines of the last failure: code text, then entries.
  static std::string describeFailure(Result result);
  // Whether one of the current error entries contains `text`.
  static bool entriesMention(const std::string &text);
  // Runs SQL on the file directly, past the engine.
  static void runSql(const std::string &path, const std::string &sql);
  static void writeFile(const std::string &path, const std::string &content);
  static std::string readFile(const std::string &path);

  std::string m_directory;
  std::unique_ptr<Database> m_database;
};

// The drivers the engine's behaviour tests run on.
enum class Driver { Sqlite, Postgres };

// An engine fixture whose database is of the test's driver: the test
// directory for SQLite, a schema of its own on the private server (alias
// "Team") for PostgreSQL.
class DriverTest : public EngineFixture, public ::testing::WithParamInterface<Driver> {
protected:
  void SetUp() override;
  bool onServer() const { return GetParam() == Driver::Postgres; }
  // How messages name the table `name`: its file, or its name on the server.
  std::string location(const std::string &name = "Vandro.DB") const;
  // Runs SQL on the tables' database past the engine, as another program
  // would (on the file `name`, or in the test's schema on the server);
  // quoted identifiers read the same to both drivers.
  void execute(const std::string &sql, const std::string &name = "Vandro.DB");

  std::vector<std::pair<std::string, std::string>> m_serverSettings;
};

std::string driverName(const ::testing::TestParamInfo<Driver> &info);

// Runs the TEST_Ps of `Suite` once per driver.
#define VANDRO_ON_EVERY_DRIVER(Suite)                                                                               \
  INSTANTIATE_TEST_SUITE_P(Driver, Suite,                                                                          \
                           ::testing::Values(::vandro::engine::testing::Driver::Sqlite,                           \
                                             ::vandro::engine::testing::Driver::Postgres),                        \
                           ::vandro::engine::testing::driverName)

// A forked child process that uses only the engine, and the two pipes to it.
// Both sides talk in lines. The body's answer is empty when everything went as
// expected, else the reason, which the child sends as "error: <reason>" before
// it exits with status 1.
class ChildProcess {
public:
  explicit ChildProcess(const std::function<std::string(ChildProcess &)> &body);
  ~ChildProcess(); // kills a child that still runs
  ChildProcess(const ChildProcess &) = delete;
  ChildProcess &operator=(const ChildProcess &) = delete;

  void send(const std::string &line);
  // The next line from the other side; "(end)" when it closed its pipe and
  // "(timeout)" after ten seconds of silence.
  std::string receive();
  void kill();
  // The exit status, or 128 + the signal that ended the child.
  int wait();

private:
  pid_t m_pid = -1;
  int m_in = -1;
  int m_out = -1;
};

// The Id (field 0) of a record.
inline std::int64_t idOf(const Record &record) { return record.values.at(0).asInteger(); }
// The text of field `field`, or "(null)".
inline std::string textOf(const Record &record, std::size_t field) {
  const Value &value = record.values.at(field);
  return value.isNull() ? "(null)" : value.asText();
}

} // namespace vandro::engine::testing
