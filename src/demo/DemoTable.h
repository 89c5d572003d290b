// The demo relation table that a first start and `vandro-admin init --demo` make.
#pragma once

#include "engine/Cursor.h"

namespace vandro::demo {

// Stores the thirty demo relations, one for each relation name of the
// program's relation chooser, into the empty relation table behind `cursor`.
[[nodiscard]] engine::Result fillDemoTable(engine::Cursor &cursor);

} // namespace vandro::demo
