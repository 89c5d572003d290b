// The standard relation table that the administration tool creates.
#pragma once

#include "Schema.h"

#include <string>
#include <string_view>
#include <vector>

namespace vandro::engine {

// The columns of a relation table, in order; Id (field 0) is the primary key.
std::vector<FieldDescription> relationTableFields();
inline const std::vector<int> kRelationTableKey = {0};

// An SQL condition: the record (its columns named after `prefix`, such as
// "t.") has a marker of either span that is not empty.
inline std::string hasMarkerCondition(const std::string &prefix = {}) {
  return "coalesce(" + prefix + "\"Marker1\", '') <> '' OR coalesce(" + prefix + "\"Marker2\", '') <> ''";
}

// The thirty relation names the program offers in its relation chooser, in
// the chooser's order.
inline constexpr std::string_view kRelationNames[] = {
    "antithesis", "attribution", "background", "circumstance", "comparison", "concession",
    "conclusion", "condition", "elaboration", "enablement", "explanation", "evaluation",
    "evidence", "interpretation", "justify", "means", "motivation", "cause",
    "result", "otherwise", "parenthetical", "purpose", "restatement", "solutionhood",
    "summary", "contrast", "joint", "list", "same_unit", "sequence"};

} // namespace vandro::engine
