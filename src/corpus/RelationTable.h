// The standard relation table that the administration tool creates.
#pragma once

#include "engine/Cursor.h"
#include "MarkerNotation.h"
#include "engine/Schema.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vandro::corpus {

using engine::Cursor;
using engine::FieldDescription;
using engine::Result;
// The columns of the standard relation table, numbered in its order.
namespace column {
enum Column {
  Id, From, Relation, Extended, Embedded, Volitional, Order, Span1, Span2, L1, H1, L2, H2, SegmentsDistance,
  Marker1, Position1, Marker2, Position2, Count
};
} // namespace column
inline constexpr const char *kRelationColumnNames[column::Count] = {
    "Id", "From", "Relation", "Extended", "Embedded", "Volitional", "Order", "Span1", "Span2", "L1", "H1", "L2",
    "H2", "Segments_distance", "Marker1", "Position1", "Marker2", "Position2"};

// The segments between the spans, which Segments_distance holds: those
// after the first span's last segment and before the second's first,
// L2 - H1 - 1. `minus` subtracts two values of the caller's kind: plain
// numbers, or the window's general values with their own rules for nulls.
template <class V, class Minus>
constexpr V segmentsDistance(const V &h1, const V &l2, const V &one, Minus minus) {
  return minus(minus(l2, h1), one);
}
constexpr std::int64_t segmentsDistance(std::int64_t h1, std::int64_t l2) {
  return segmentsDistance<std::int64_t>(h1, l2, 1, [](std::int64_t a, std::int64_t b) { return a - b; });
}

// The columns of a relation table, in order; Id (field 0) is the primary key.
std::vector<FieldDescription> relationTableFields();
inline const std::vector<int> kRelationTableKey = {0};

// An SQL condition: the record (its columns named after `prefix`, such as
// "t.") has a marker on either span (markerSql).
inline std::string hasMarkerCondition(const std::string &prefix = {}) {
  return "(" + markerSql(prefix + "\"Marker1\"") + " IS NOT NULL OR " + markerSql(prefix + "\"Marker2\"") +
         " IS NOT NULL)";
}

// What is wrong in the relation table behind `cursor`, one line each: a
// span with a position but no marker (a marker that is no marker has no
// position). Nothing when the table lacks the marker columns. Ok or the
// failure of the query.
[[nodiscard]] Result relationTableProblems(Cursor &cursor, std::vector<std::string> &out);

// The thirty relation names the program offers in its relation chooser, in
// the chooser's order.
inline constexpr std::string_view kRelationNames[] = {
    "antithesis", "attribution", "background", "circumstance", "comparison", "concession",
    "conclusion", "condition", "elaboration", "enablement", "explanation", "evaluation",
    "evidence", "interpretation", "justify", "means", "motivation", "cause",
    "result", "otherwise", "parenthetical", "purpose", "restatement", "solutionhood",
    "summary", "contrast", "joint", "list", "same_unit", "sequence"};

} // namespace vandro::corpus
