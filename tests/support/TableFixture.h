// A temporary database directory with an alias "Vandro", and relation
// tables made in it, for the store and window tests.
#pragma once

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

class TableFixture : public ::testing::Test {
protected:
  void SetUp() override;
  void TearDown() override;

  // Writes the engine configuration with the alias Vandro for the test
  // directory (and any extra text after it).
  void writeConfig(const std::string &extra = {});
  // Makes the standard relation table `name` with these rows.
  void makeRelationTable(const std::vector<RelationRow> &rows, const std::string &name = "Vandro.DB");
  // Makes a table from SQL (the file `name`, a table named after its stem).
  void makeTableFromSql(const std::string &name, const std::string &sql);
  // The text of `column` in record `id` as stored in the file, read by an
  // SQLite connection of its own: "<null>" for a null, "<none>" when there
  // is no such record.
  std::string stored(int id, const std::string &column, const std::string &file = "Vandro.DB") const;
  // `count` rows with Ids 1..count and relations from a short cycle.
  static std::vector<RelationRow> numberedRows(int count);

  std::string m_directory;
  std::string tablePath(const std::string &name = "Vandro.DB") const { return m_directory + "/" + name; }
};

} // namespace vandro::testing
