// What the context view shows of a record of walk.rs4, and the markers that
// tokens clicked there give. The fixture's tokens:
//   1 Although 2 it 3 rained 4 ,            (segment 1)
//   5 we 6 went 7 out 8 .                   (segment 2)
//   9 We 10 saw 11 the 12 sea               (segment 3)
//   13 and 14 we 15 saw 16 the 17 hills 18 , (segment 4)
//   19 then 20 we 21 went 22 home 23 .      (segment 5)
//   24 It 25 was 26 fun 27 indeed 28 .      (segment 6)
//   29 (a 30 note)                          (segment 7)
#include "RstRelations.h"
#include "corpus/RecordContext.h"

#include <gtest/gtest.h>

namespace vandro {
namespace {

using Signals = std::vector<std::vector<int>>;

class ContextTest : public ::testing::Test {
protected:
  void SetUp() override {
    auto read = rst::readRstDocument(QStringLiteral(VANDRO_RST_FIXTURES "/walk.rs4"));
    ASSERT_TRUE(read) << read.error().toStdString();
    m_document = std::move(read).value();
    auto records = rst::relationRecords(m_document, {});
    ASSERT_TRUE(records) << records.error().toStdString();
    m_records = std::move(records).value();
  }

  // The source the import keeps for record `index` (its Id: index + 1).
  corpus::RecordSource sourceOf(std::size_t index) const {
    const rst::RelationRecord &r = m_records[index];
    corpus::RecordSource s;
    s.id = static_cast<std::int64_t>(index + 1);
    s.document = "walk";
    s.node1 = r.node1.toStdString();
    if (!r.node2.isEmpty())
      s.node2 = r.node2.toStdString();
    s.first1 = r.first1, s.last1 = r.last1, s.first2 = r.first2, s.last2 = r.last2;
    auto text = [](const std::optional<QString> &t) { return t ? std::optional(t->toStdString()) : std::nullopt; };
    s.marker1 = text(r.marker1), s.position1 = text(r.position1);
    s.marker2 = text(r.marker2), s.position2 = text(r.position2);
    s.signals1 = r.signals1, s.signals2 = r.signals2;
    return s;
  }
  std::size_t indexOf(const QString &relation) const {
    for (std::size_t i = 0; i < m_records.size(); ++i)
      if (m_records[i].relation == relation)
        return i;
    ADD_FAILURE() << "no record of " << relation.toStdString();
    return 0;
  }
  corpus::RecordSource source(const QString &relation) const { return sourceOf(indexOf(relation)); }
  static std::array<corpus::SpanMarker, 2> importedMarkers(const corpus::RecordSource &s) {
    auto marker = [](const std::optional<std::string> &m, const std::optional<std::string> &p) {
      return corpus::SpanMarker{m ? std::optional(QString::fromStdString(*m)) : std::nullopt,
                                p ? std::optional(QString::fromStdString(*p)) : std::nullopt};
    };
    return {marker(s.marker1, s.position1), marker(s.marker2, s.position2)};
  }

  // The context with every record's markers as imported.
  corpus::RecordContext imported(const QString &relation) const {
    std::vector<corpus::NearbyRecord> nearby;
    for (std::size_t i = 0; i < m_records.size(); ++i)
      nearby.push_back({sourceOf(i), importedMarkers(sourceOf(i))});
    const corpus::RecordSource s = source(relation);
    return corpus::recordContext(m_document, s, relation, m_records[indexOf(relation)].order, importedMarkers(s),
                                 nearby, {});
  }

  rst::RstDocument m_document;
  std::vector<rst::RelationRecord> m_records;
};

// Each record as imported: the line above the text, the spans' tokens and
// segments, the signals each span owns, the signals the other records near
// it own (not the dm signal of node 2, which no record owns), and the
// segments shown around it.
TEST_F(ContextTest, ARecordAsImportedShowsItsPlaceSpansAndSignals) {
  const struct {
    const char *relation;
    const char *heading;
    rst::RecordSpans spans;
    Signals owned1, owned2, others;
    int showFirst, showLast;
  } cases[] = {
      {"concession",
       "walk · concession · satellite 1 (span 1) → nucleus 2 (span 2) · above: top 1–6",
       {1, 4, 5, 8}, {{1}}, {}, {{13}, {15}, {19}, {20, 21}}, 1, 5},
      {"joint",
       "walk · joint · nucleus 3 (span 1) + nucleus 4 (span 2) · above: elaboration 3–6 ← top 1–6",
       {9, 12, 13, 18}, {}, {{13}}, {{1}, {15}, {19}, {20, 21}, {26, 27}}, 1, 7},
      {"elaboration",
       "walk · elaboration · satellite 3–6 (span 2) → nucleus 1–2 (span 1) · above: top 1–6",
       {1, 8, 9, 28}, {}, {{15}, {20, 21}}, {{1}, {13}, {19}, {26, 27}}, 1, 7},
      // Declared multinuclear as well: segment 5 is the next nucleus of 21.
      {"sequence",
       "walk · sequence · nucleus 4 (span 1) + nucleus 5 (span 2) · above: elaboration 3–6 ← top 1–6",
       {13, 18, 19, 23}, {}, {{19}}, {{1}, {13}, {15}, {20, 21}, {26, 27}}, 1, 7},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.relation);
    const corpus::RecordContext context = imported(QString::fromLatin1(c.relation));
    EXPECT_EQ(context.heading.toStdString(), c.heading);
    EXPECT_EQ(std::tie(context.spans.first1, context.spans.last1, context.spans.first2, context.spans.last2),
              std::tie(c.spans.first1, c.spans.last1, c.spans.first2, c.spans.last2));
    EXPECT_EQ(context.owned[0], c.owned1);
    EXPECT_EQ(context.owned[1], c.owned2);
    EXPECT_EQ(context.others, c.others);
    EXPECT_EQ(std::pair(context.showFirst, context.showLast), std::pair(c.showFirst, c.showLast));
  }
  // The order as the record holds it, an annotator's correction: not the tree's.
  const corpus::RecordSource s = source(QStringLiteral("concession"));
  EXPECT_EQ(corpus::recordContext(m_document, s, QStringLiteral("concession"), QStringLiteral("NS"),
                                  importedMarkers(s), {}, {})
                .heading.toStdString(),
            "walk · concession · satellite 2 (span 2) → nucleus 1 (span 1) · above: top 1–6");
}

// The signals of the other records near it are where their markers stand
// now: the elaboration's "we" chosen on token 20 in place of "saw + we
// went" shows on 20 alone; the concession's marker taken away shows none.
TEST_F(ContextTest, OtherRecordsSignalsAreWhereTheirMarkersStandNow) {
  std::vector<corpus::NearbyRecord> nearby;
  for (std::size_t i = 0; i < m_records.size(); ++i)
    nearby.push_back({sourceOf(i), importedMarkers(sourceOf(i))});
  const std::size_t elaboration = indexOf(QStringLiteral("elaboration"));
  nearby[elaboration].markers[1] = {QStringLiteral("we"), QStringLiteral("Middle")};
  nearby[indexOf(QStringLiteral("concession"))].markers[0] = {};
  const corpus::RecordSource joint = source(QStringLiteral("joint"));
  const corpus::RecordContext context =
      corpus::recordContext(m_document, joint, QStringLiteral("joint"), {}, importedMarkers(joint), nearby,
                            {{static_cast<std::int64_t>(elaboration + 1), 2, "we", {{20}}}});
  EXPECT_EQ(context.others, (Signals{{19}, {20}, {26, 27}}));
}

// A marker changed since the import stands where the export writes it: on
// the tokens chosen for it while it is still that marker, else on its
// words (the first "we" of the span at Middle: 14, not the capital 9).
TEST_F(ContextTest, AChangedMarkerStandsOnItsChosenTokensElseOnItsWords) {
  const corpus::RecordSource s = source(QStringLiteral("elaboration"));
  const struct {
    const char *name;
    std::optional<QString> marker, position;
    std::vector<corpus::TokenChoice> choices;
    Signals owned2;
  } cases[] = {
      {"typed", "we", "Middle", {}, {{14}}},
      {"chosen", "we", "Middle", {{1, 2, "we", {{20}}}}, {{20}}},
      {"chosen for another marker", "we", "Middle", {{1, 2, "then", {{19}}}}, {{14}}},
      {"chosen tokens that no longer give it", "we", "Middle", {{1, 2, "we", {{19}}}}, {{14}}},
      {"chosen for the other span", "we", "Middle", {{1, 1, "we", {{5}}}}, {{14}}},
      {"a signal kept, a part placed", "saw + then", "Multiple", {}, {{15}, {19}}},
      {"two parts chosen", "saw + we went", "Multiple", {{1, 2, "saw + we went", {{10}, {20, 21}}}}, {{10}, {20, 21}}},
      {"no marker", std::nullopt, std::nullopt, {}, {}},
      {"words the span does not have", "because", "Beginning", {}, {}},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<corpus::TokenChoice> choices = c.choices; // the record's own
    for (corpus::TokenChoice &choice : choices)
      choice.id = s.id;
    const corpus::RecordContext context =
        corpus::recordContext(m_document, s, QStringLiteral("elaboration"), {}, {{{}, {c.marker, c.position}}}, {},
                              choices);
    EXPECT_EQ(context.owned[1], c.owned2);
  }
}

// Tokens clicked in a span give the marker as the corpus writes it, and
// the position of its signal; tokens outside the span give none.
TEST_F(ContextTest, TokensChosenGiveTheMarkerInTheNotation) {
  const struct {
    Signals chosen;
    const char *marker, *position;
    Signals parts;
  } cases[] = {
      {{{13}}, "and", "Beginning", {{13}}},
      {{{14, 13}}, "and we", "Beginning", {{13, 14}}},
      {{{13, 15}}, "and ... saw", "Beginning", {{13, 15}}},
      {{{15}, {13}}, "and + saw", "Multiple", {{13}, {15}}},
      {{{17}}, "hills", "End", {{17}}},
      {{{16}}, "the", "Middle", {{16}}},
      {{{13, 13}, {}}, "and", "Beginning", {{13}}},
      {{{12}}, nullptr, nullptr, {}},
      {{{13, 19}}, nullptr, nullptr, {}},
      {{}, nullptr, nullptr, {}},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.chosen));
    const auto chosen = rst::chosenMarker(m_document, c.chosen, 13, 18);
    ASSERT_EQ(chosen.has_value(), c.marker != nullptr);
    if (!chosen)
      continue;
    EXPECT_EQ(chosen->marker.toStdString(), c.marker);
    EXPECT_EQ(chosen->position.toStdString(), c.position);
    EXPECT_EQ(chosen->parts, c.parts);
    EXPECT_TRUE(rst::choiceFits(m_document, c.marker, chosen->parts, 13, 18));
  }
  EXPECT_FALSE(rst::choiceFits(m_document, "and", {{14}}, 13, 18)); // another word
  EXPECT_FALSE(rst::choiceFits(m_document, "and", {{13}, {14}}, 13, 18)); // another number of parts
  EXPECT_FALSE(rst::choiceFits(m_document, "We", {{9}}, 13, 18)); // outside the span
}

} // namespace
} // namespace vandro
