// A fresh engine session and temporary database directory for each test.
#pragma once

#include "engine/Engine.h"
#include "engine/RelationTable.h"

#include <gtest/gtest.h>
#include <memory>
#include <string>

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
  // A relation record with Id `id` and a few fields filled in.
  Record relation(Cursor &cursor, std::int64_t id, const std::string &relation = "elaboration");
  // Inserts records with the Ids `first` to `last`.
  void fill(Cursor &cursor, std::int64_t first, std::int64_t last);
  // The message lines of the last failure: code text, then entries.
  static std::string describeFailure(Result result);

  std::string m_directory;
  std::unique_ptr<Database> m_database;
};

// The Id (field 0) of a record.
inline std::int64_t idOf(const Record &record) { return record.values.at(0).asInteger(); }

} // namespace vandro::engine::testing
