// The standard relation table that the administration tool creates.
#pragma once

#include "Schema.h"

#include <vector>

namespace vandro::engine {

// The columns of a relation table, in order; Id (field 0) is the primary key.
std::vector<FieldDescription> relationTableFields();
inline const std::vector<int> kRelationTableKey = {0};

} // namespace vandro::engine
