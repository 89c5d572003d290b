// The find over relation records: each condition alone and combined, as one
// table of cases, on both drivers.
#include "EngineFixture.h"
#include "corpus/Corpus.h"
#include "corpus/RecordFind.h"

#include <optional>

namespace vandro::engine::testing {
namespace {

using corpus::FindConditions;
using corpus::Spans;
namespace column = corpus::column;

using FindTest = DriverTest;

struct Row {
  std::int64_t id;
  const char *from, *relation, *marker1, *position1, *marker2, *position2, *span1, *span2;
};

Value textOrNull(const char *text) { return text ? Value::text(text) : Value(); }

TEST_P(FindTest, ConditionsSelectTheRecordsTheyNameFromEitherEnd) {
  createRelationTable();
  auto cursor = openTable();
  ASSERT_TRUE(cursor);
  const Row rows[] = {
      {1, "A", "contrast", "But", "Beginning", nullptr, nullptr, "Er sagte \xC3\x84RGER", "x"},
      {2, "A", "joint", nullptr, nullptr, "and", "Beginning", "plain", "\xCE\xA3\xCE\x9F\xCE\xA6\xCE\x8A\xCE\x91\xCE\xA3\xCE\x9C\xCE\x91 words"},
      {3, "B", "contrast", "  ", nullptr, "", nullptr, "die stra\xC3\x9F" "e", "y"},
      {4, "A", "Contrast", "however", "Middle", "and + then", "Multiple", "text", "text"},
      {5, "B", "joint", nullptr, nullptr, nullptr, nullptr, nullptr, "z"},
      {6, "A", "contrast", "but", "Beginning", "so", "End", "one", "two"},
  };
  ASSERT_EQ(cursor->beginBulk(), code::Ok);
  for (const Row &row : rows) {
    Record record = relation(*cursor, row.id, row.relation);
    record.values[column::From] = textOrNull(row.from);
    record.values[column::Marker1] = textOrNull(row.marker1);
    record.values[column::Position1] = textOrNull(row.position1);
    record.values[column::Marker2] = textOrNull(row.marker2);
    record.values[column::Position2] = textOrNull(row.position2);
    record.values[column::Span1] = textOrNull(row.span1);
    record.values[column::Span2] = textOrNull(row.span2);
    ASSERT_EQ(cursor->insertRecord(record), code::Ok);
  }
  ASSERT_EQ(cursor->commitBulk(), code::Ok);
  // As imported: record 1 as it is now, record 2 with another marker on
  // span 2, record 4 with the position of span 1 changed since; records 3,
  // 5 and 6 have no source.
  corpus::Corpus corpus(*cursor);
  ASSERT_EQ(corpus.create(), code::Ok) << describeFailure(code::InternalError);
  ASSERT_EQ(corpus.addDocument({"A", "a.rs4", {'x'}, corpus::Corpus::sha256({'x'}), "2026-01-01T00:00:00Z"}),
            code::Ok);
  std::vector<corpus::RecordSource> sources(3);
  for (std::size_t i = 0; i < sources.size(); ++i) {
    sources[i].id = std::int64_t(i == 2 ? 4 : i + 1);
    sources[i].document = "A";
    sources[i].node1 = std::to_string(i + 10);
  }
  sources[0].marker1 = "But", sources[0].position1 = "Beginning";
  sources[1].marker2 = "or", sources[1].position2 = "Beginning";
  sources[2].marker1 = "however", sources[2].position1 = "End";
  sources[2].marker2 = "and + then", sources[2].position2 = "Multiple";
  ASSERT_EQ(corpus.addSources(sources), code::Ok) << describeFailure(code::InternalError);

  auto with = [](auto set) {
    FindConditions c;
    set(c);
    return c;
  };
  const struct {
    const char *name;
    FindConditions conditions;
    std::vector<std::int64_t> ids;
  } cases[] = {
      {"nothing asked", {}, {1, 2, 3, 4, 5, 6}},
      {"relation, exactly", with([](auto &c) { c.relation = "contrast"; }), {1, 3, 6}},
      {"document", with([](auto &c) { c.document = "A"; }), {1, 2, 4, 6}},
      {"marker, letter case aside", with([](auto &c) { c.marker = "BUT"; }), {1, 6}},
      {"marker on span 2", with([](auto &c) { c.marker = "and"; c.spans = Spans::Second; }), {2, 4}},
      {"marker on span 1", with([](auto &c) { c.marker = "and"; c.spans = Spans::First; }), {}},
      {"text, non-ASCII case", with([](auto &c) { c.text = "\xC3\xA4rger"; }), {1}},
      {"text, final sigma within a word", with([](auto &c) { c.text = "\xCF\x83\xCE\xBF\xCF\x86\xCE\xAF\xCE\xB1\xCF\x82"; }), {2}},
      {"text, sharp s", with([](auto &c) { c.text = "STRASSE"; }), {3}},
      {"no marker on span 1", with([](auto &c) { c.withoutMarker = Spans::First; }), {2, 3, 5}},
      {"no marker on span 2", with([](auto &c) { c.withoutMarker = Spans::Second; }), {1, 3, 5}},
      {"no marker on either", with([](auto &c) { c.withoutMarker = Spans::Either; }), {1, 2, 3, 5}},
      {"no marker on both", with([](auto &c) { c.withoutMarker = Spans::Both; }), {3, 5}},
      {"document and no marker", with([](auto &c) { c.document = "A"; c.withoutMarker = Spans::Either; }), {1, 2}},
      {"three together", with([](auto &c) { c.relation = "contrast"; c.marker = "but"; c.document = "A"; }), {1, 6}},
      {"changed since import", with([](auto &c) { c.changed = true; }), {2, 4}},
      {"a miss", with([](auto &c) { c.marker = "zzz"; }), {}},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    const auto filter = corpus::recordFilter(*cursor, c.conditions);
    ASSERT_TRUE(filter.ok()) << filter.error();
    std::int64_t count = -1;
    ASSERT_EQ(cursor->countWhere(*filter, count), code::Ok) << describeFailure(code::InternalError);
    EXPECT_EQ(count, static_cast<std::int64_t>(c.ids.size()));
    // Forward from before the first record, then backward from after the
    // last; each miss leaves the cursor on the last record found.
    for (const SearchDirection direction : {SearchDirection::Forward, SearchDirection::Backward}) {
      const bool forward = direction == SearchDirection::Forward;
      ASSERT_EQ(forward ? cursor->setToBegin() : cursor->setToEnd(), code::Ok);
      std::vector<std::int64_t> found;
      Record record;
      Result result;
      while ((result = cursor->findWhere(direction, *filter, record)) == code::Ok)
        found.push_back(record.values[0].asInteger());
      EXPECT_EQ(result, forward ? code::Eof : code::Bof);
      if (!forward)
        std::reverse(found.begin(), found.end());
      EXPECT_EQ(found, c.ids);
      if (!found.empty()) {
        ASSERT_EQ(cursor->readCurrent(record, LockMode::NoLock), code::Ok);
        EXPECT_EQ(record.values[0].asInteger(), forward ? found.back() : found.front());
      }
    }
  }
  // A table without a kept corpus says so when asked for changed records.
  ASSERT_EQ(m_database->createTable("Other.DB", corpus::relationTableFields(), corpus::kRelationTableKey), code::Ok);
  auto other = openTable("Other.DB");
  ASSERT_TRUE(other);
  const auto refused = corpus::recordFilter(*other, with([](auto &c) { c.changed = true; }));
  ASSERT_FALSE(refused.ok());
  EXPECT_EQ(refused.error(), "The table keeps no imported corpus, so no record has markers changed since an import");
}

VANDRO_ON_EVERY_DRIVER(FindTest);

} // namespace
} // namespace vandro::engine::testing
