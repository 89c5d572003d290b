// Turning SQLite result codes into engine codes with error entries.
#pragma once

#include "../Result.h"

#include <sqlite3.h>
#include <string>

namespace vandro::engine {

// The engine code for an SQLite result code.
Result engineCodeFor(int sqliteCode);

// Fails with the engine code for `sqliteCode`, with entries naming the file
// and giving SQLite's own message (from `db` when given).
Result sqliteFailure(int sqliteCode, sqlite3 *db, const std::string &filePath,
                     const std::string &what = {});

} // namespace vandro::engine
