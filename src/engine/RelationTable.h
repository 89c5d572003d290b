// The standard relation table that the administration tool creates.
#pragma once

#include "Schema.h"

#include <string_view>
#include <vector>

namespace vandro::engine {

// The columns of a relation table, in order; Id (field 0) is the primary key.
std::vector<FieldDescription> relationTableFields();
inline const std::vector<int> kRelationTableKey = {0};

// The thirty relation names the program offers in its relation chooser, in
// the chooser's order.
inline constexpr std::string_view kRelationNames[] = {
    "antithesis", "attribution", "background", "circumstance", "comparison", "concession",
    "conclusion", "condition", "elaboration", "enablement", "explanation", "evaluation",
    "evidence", "interpretation", "justify", "means", "motivation", "cause",
    "result", "otherwise", "parenthetical", "purpose", "restatement", "solutionhood",
    "summary", "contrast", "joint", "list", "same_unit", "sequence"};

} // namespace vandro::engine
