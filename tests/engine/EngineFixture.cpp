#include "EngineFixture.h"

#include <cstdlib>
#include <filesystem>

namespace vandro::engine::testing {

void EngineFixture::SetUp() {
  char pattern[] = "/tmp/vandro-test-XXXXXX";
  ASSERT_NE(::mkdtemp(pattern), nullptr);
  m_directory = pattern;
  // No alias file of the developer's may leak into a test.
  ::setenv("VANDRO_ENGINE_CONFIG", (m_directory + "/engine.conf").c_str(), 1);
  ASSERT_EQ(Engine::instance().initialise(kInterfaceVersion, kLanguage), code::Ok);
  ASSERT_EQ(Engine::instance().openDatabase("", m_directory, OpenMode::ReadWrite,
                                            ShareMode::Shared, m_database),
            code::Ok);
}

void EngineFixture::TearDown() {
  m_database.reset();
  (void)Engine::instance().exit();
  std::error_code ec;
  std::filesystem::remove_all(m_directory, ec);
}

void EngineFixture::createRelationTable(const std::string &name) {
  ASSERT_EQ(m_database->createTable(name, relationTableFields(), kRelationTableKey), code::Ok)
      << describeFailure(code::InternalError);
}

std::unique_ptr<Cursor> EngineFixture::openTable(const std::string &name, OpenMode mode) {
  std::unique_ptr<Cursor> cursor;
  const Result result = m_database->openTable(name, "default", mode, ShareMode::Shared, cursor);
  EXPECT_EQ(result, code::Ok) << describeFailure(result);
  return cursor;
}

Record EngineFixture::relation(Cursor &cursor, std::int64_t id, const std::string &relation) {
  Record record = cursor.blankRecord();
  record.values[0] = Value::integer(id);
  record.values[1] = Value::text("GUM_test");
  record.values[2] = Value::text(relation);
  record.values[10] = Value::integer(id * 2);     // H1
  record.values[11] = Value::integer(id * 2 + 3); // L2
  return record;
}

void EngineFixture::fill(Cursor &cursor, std::int64_t first, std::int64_t last) {
  ASSERT_EQ(cursor.beginBulk(), code::Ok);
  for (std::int64_t id = first; id <= last; ++id)
    ASSERT_EQ(cursor.insertRecord(relation(cursor, id)), code::Ok) << describeFailure(code::Ok);
  ASSERT_EQ(cursor.commitBulk(), code::Ok);
}

std::string EngineFixture::describeFailure(Result result) {
  std::string text = std::string(messageFor(result));
  for (const auto &entry : ErrorEntries::all())
    text += " | " + std::string(messageFor(entry.code)) + " / " + std::to_string(entry.nativeCode) +
            " / " + entry.context;
  return text;
}

} // namespace vandro::engine::testing
