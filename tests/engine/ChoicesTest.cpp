// The tokens an annotator chose for a marker, kept beside the relation table
// on both drivers: kept over an earlier choice, read back with the record's
// source, malformed rows named by check and passed over, gone with their
// document.
#include "EngineFixture.h"
#include "corpus/Corpus.h"

namespace vandro::engine::testing {
namespace {

using ChoicesTest = DriverTest;
using corpus::TokenChoice;

TEST_P(ChoicesTest, ChoicesAreKeptReadCheckedAndRemovedWithTheirDocument) {
  createRelationTable();
  auto cursor = openTable();
  ASSERT_TRUE(cursor);
  for (std::int64_t id : {1, 2, 3})
    ASSERT_EQ(cursor->insertRecord(relation(*cursor, id)), code::Ok);
  corpus::Corpus corpus(*cursor);
  ASSERT_EQ(corpus.create(), code::Ok);
  const Bytes content{'<', 'r', 's', 't', '/', '>'};
  ASSERT_EQ(corpus.addDocument({"A", "a.rs4", content, corpus::Corpus::sha256(content), "2026-01-01T00:00:00Z"}),
            code::Ok);
  std::vector<corpus::RecordSource> sources(2);
  for (std::size_t i = 0; i < sources.size(); ++i)
    sources[i].id = std::int64_t(i + 1), sources[i].document = "A", sources[i].node1 = "n";
  ASSERT_EQ(corpus.addSources(sources), code::Ok);

  corpus::RecordSource source;
  std::string sha;
  std::vector<TokenChoice> choices;
  bool kept = true;
  ASSERT_EQ(corpus.hasChoices(kept), code::Ok);
  EXPECT_FALSE(kept); // before any choice, no table
  ASSERT_EQ(corpus.recordSource(1, source, sha), code::Ok) << describeFailure(code::InternalError);
  EXPECT_EQ(sha, corpus::Corpus::sha256(content));
  EXPECT_EQ(corpus.recordSource(3, source, sha), code::RecordNotFound);

  ASSERT_EQ(corpus.keepChoice({1, 2, "we + then", {{20}, {19, 21}}}), code::Ok) << describeFailure(code::InternalError);
  ASSERT_EQ(corpus.keepChoice({1, 2, "we", {{14}}}), code::Ok) << describeFailure(code::InternalError);
  ASSERT_EQ(corpus.keepChoice({2, 1, "either ... or", {{3, 7}}}), code::Ok);
  ASSERT_EQ(corpus.choices("A", choices), code::Ok);
  EXPECT_EQ(choices, (std::vector<TokenChoice>{{1, 2, "we", {{14}}}, {2, 1, "either ... or", {{3, 7}}}}));

  // Rows another program wrote: a token list that is none, a span that is
  // neither 1 nor 2.
  ASSERT_EQ(cursor->execute("INSERT INTO " + cursor->siblingName("_choices") + " VALUES (2, 2, 'x', '3,,4')", {}),
            code::Ok);
  ASSERT_EQ(cursor->execute("INSERT INTO " + cursor->siblingName("_choices") + " VALUES (3, 7, 'x', '1')", {}),
            code::Ok);
  choices.clear();
  ASSERT_EQ(corpus.choices("A", choices), code::Ok);
  EXPECT_EQ(choices, (std::vector<TokenChoice>{{1, 2, "we", {{14}}}, {2, 1, "either ... or", {{3, 7}}}}));
  std::vector<std::string> problems;
  ASSERT_EQ(corpus.problems(problems), code::Ok);
  ASSERT_EQ(problems.size(), 2u) << ::testing::PrintToString(problems);
  EXPECT_NE(problems[0].find("record Id = 2"), std::string::npos) << problems[0];
  EXPECT_NE(problems[0].find("Tokens holds \"3,,4\""), std::string::npos) << problems[0];
  EXPECT_NE(problems[1].find("Span holds 7"), std::string::npos) << problems[1];

  long records = 0, marked = 0;
  ASSERT_EQ(corpus.removeDocument("A", records, marked), code::Ok) << describeFailure(code::InternalError);
  std::vector<std::vector<Value>> left;
  ASSERT_EQ(cursor->execute("SELECT \"Id\" FROM " + cursor->siblingName("_choices") + " ORDER BY \"Id\"", {}, &left),
            code::Ok);
  ASSERT_EQ(left.size(), 1u); // record 3's, of no document
  EXPECT_EQ(left[0][0], Value::integer(3));
}

VANDRO_ON_EVERY_DRIVER(ChoicesTest);

} // namespace
} // namespace vandro::engine::testing
