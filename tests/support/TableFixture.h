// The database of the alias "Vandro", and relation tables made in it, for
// the store and window tests: a temporary directory, or (for the tests run
// once per driver) a schema of its own on the private server.
#pragma once

#include "EngineFixture.h"
#include "engine/Engine.h"

#include <QString>
#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <vector>

namespace vandro::testing {

// One relation record to put into a table; fields left out stay null.
struct RelationRow {
  int id;
  std::optional<std::string> relation;
  std::optional<int> h1;
  std::optional<int> l2;
  std::optional<std::string> marker1, position1, marker2, position2;
  std::optional<std::string> span1, span2;
};

using engine::testing::Driver;

class TableFixture : public ::testing::Test {
protected:
  void SetUp() override;
  void TearDown() override;
  // Where the alias Vandro leads: the test directory unless a test says.
  virtual Driver driver() const { return Driver::Sqlite; }
  bool onServer() const { return driver() == Driver::Postgres; }

  // Writes the engine configuration with the alias Vandro for the test's
  // database (and any extra text after it).
  void writeConfig(const std::string &extra = {});
  // Makes the standard relation table `name` with these rows.
  void makeRelationTable(const std::vector<RelationRow> &rows, const std::string &name = "Vandro.DB");
  // Runs `sql` on the database past the engine, as another program would:
  // on the file `name` (a table named after its stem), or in the test's
  // schema on the server. Quoted names read the same to both.
  void makeTableFromSql(const std::string &name, const std::string &sql);
  // The text of `column` in record `id` as stored now, read by a cursor of
  // its own: "<null>" for a null, "<none>" when there is no such record.
  std::string stored(int id, const std::string &column, const std::string &file = "Vandro.DB") const;
  // `count` rows with Ids 1..count and relations from a short cycle.
  static std::vector<RelationRow> numberedRows(int count);

  std::string m_directory;
  std::string m_schema; // on the server
  std::string tablePath(const std::string &name = "Vandro.DB") const { return m_directory + "/" + name; }

private:
  std::vector<std::pair<std::string, std::string>> m_serverSettings;
};

// The same fixture for tests run once per driver (TEST_P, instantiated with
// VANDRO_ON_EVERY_DRIVER).
class DriverTableFixture : public TableFixture, public ::testing::WithParamInterface<Driver> {
protected:
  Driver driver() const override { return GetParam(); }
};

} // namespace vandro::testing
