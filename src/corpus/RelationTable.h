// The standard relation table that the administration tool creates.
#pragma once

#include "engine/Cursor.h"
#include "MarkerNotation.h"
#include "engine/Schema.h"

#include <string>
#include <string_view>
#include <vector>

namespace vandro::corpus {

using engine::Cursor;
using engine::FieldDescription;
using engine::Result;
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
