// importCsv and exportCsv against a relation table in a temporary directory.
#include "CsvTransfer.h"
#include "ValueText.h"
#include "engine/Engine.h"
#include "corpus/RelationTable.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>

namespace vandro::admin {
namespace {

using namespace engine;

using namespace corpus;

class CsvTransferTest : public ::testing::Test {
protected:
  void SetUp() override {
    char pattern[] = "/tmp/vandro-csv-transfer-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    m_dir = pattern;
    ::setenv("VANDRO_ENGINE_CONFIG", (m_dir + "/engine.conf").c_str(), 1);
    ASSERT_EQ(Engine::instance().initialise(kInterfaceVersion, kLanguage), code::Ok);
    ASSERT_EQ(Engine::instance().openDatabase("", m_dir, OpenMode::ReadWrite, ShareMode::Shared, m_database),
              code::Ok);
  }
  void TearDown() override {
    m_database.reset();
    (void)Engine::instance().exit();
    std::error_code ec;
    std::filesystem::remove_all(m_dir, ec);
  }

  // A new, empty relation table, opened.
  std::unique_ptr<Cursor> newTable(const std::string &name) {
    std::unique_ptr<Cursor> cursor;
    EXPECT_EQ(m_database->createTable(name, relationTableFields(), kRelationTableKey), code::Ok);
    EXPECT_EQ(m_database->openTable(name, "default", OpenMode::ReadWrite, ShareMode::Shared, cursor), code::Ok);
    return cursor;
  }

  std::string m_dir;
  std::unique_ptr<Database> m_database;
};

std::vector<Record> allRecords(Cursor &cursor) {
  std::vector<Record> records;
  Record record;
  EXPECT_EQ(cursor.setToBegin(), code::Ok);
  while (cursor.readNext(record) == code::Ok)
    records.push_back(record);
  return records;
}

TEST_F(CsvTransferTest, ImportAcceptsOrRejectsWholeFiles) {
  const std::string e60(60, 'e');
  const std::string emoji60 = [] {
    std::string s;
    for (int i = 0; i < 60; ++i)
      s += "\xF0\x9F\x98\x80"; // 😀: four bytes, one character
    return s;
  }();
  struct Case {
    std::string csv;
    long records;           // when the file is good
    std::string errorStart; // when it is not: how the message begins
  };
  const std::vector<Case> cases = {
      {"Id\n", 0, ""},
      {"iD,L1\n1,0\n2,-12\n", 2, ""},
      {"Id,From\n1," + emoji60 + "\n2," + e60 + "\n", 2, ""},
      {"Id,From\n1," + emoji60 + "\xF0\x9F\x98\x80\n", 0, "in.csv, line 2, column From: "},
      {"Id,Relation,Id\n1,a,1\n", 0, "in.csv, line 1, column Id: "},
      {"", 0, "in.csv, line 1: "},
      {"Id,L1\n1,\n2,12abc\n", 0, "in.csv, line 3, column L1: "},
      {"Id,L1\n1,2\n,3\n", 0, "in.csv, line 3"},
      {"Id,Span1\n1,\"a\"b\n", 0, "in.csv, line 2"},
  };
  int n = 0;
  for (const auto &c : cases) {
    auto cursor = newTable("T" + std::to_string(n++) + ".DB");
    ASSERT_TRUE(cursor);
    std::istringstream in(c.csv);
    const Outcome<long> result = importCsv(*cursor, in, "in.csv");
    const bool good = c.errorStart.empty();
    EXPECT_EQ(result.ok(), good) << c.csv << "\n" << (result ? std::string() : result.error());
    if (good) {
      EXPECT_EQ(*result, c.records) << c.csv;
      EXPECT_EQ(allRecords(*cursor).size(), static_cast<std::size_t>(c.records)) << c.csv;
    } else {
      EXPECT_EQ(result.error().substr(0, c.errorStart.size()), c.errorStart) << c.csv;
      EXPECT_TRUE(allRecords(*cursor).empty()) << c.csv;
    }
  }
}

// Decimals stand as a count of ten-thousandths: a number too large for
// that count is refused rather than stored wrapped round.
TEST(ValueTextTest, DecimalsBeyondTheEnginesRangeAreRefused) {
  const auto fits = textToValue("919999999999999.9999", FieldKind::Decimal);
  ASSERT_TRUE(fits.ok()) << fits.error();
  EXPECT_EQ(fits->asInteger(), 9199999999999999999);
  for (const char *text : {"920000000000000", "1000000000000000", "-99999999999999999999"}) {
    const auto refused = textToValue(text, FieldKind::Decimal);
    ASSERT_FALSE(refused.ok()) << text;
    EXPECT_NE(refused.error().find("9.2e14"), std::string::npos) << refused.error();
  }
  EXPECT_EQ(textToValue("-12.5", FieldKind::Decimal)->asInteger(), -125000);
}

} // namespace
} // namespace vandro::admin
