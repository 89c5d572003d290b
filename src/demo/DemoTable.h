// The demo relation table that `vandro-admin init --demo` makes.
#pragma once

#include "engine/Cursor.h"

namespace vandro::admin {

// Stores the thirty demo relations, one for each relation name of the
// program's relation chooser, into the empty relation table behind `cursor`.
[[nodiscard]] engine::Result fillDemoTable(engine::Cursor &cursor);

} // namespace vandro::admin
