// How a database name is read: a directory path or an alias.
#pragma once

#include <string_view>

namespace vandro::engine {

// A name holding "/", ":" or "\" is the path of a database directory; any
// other name is an alias of the engine configuration.
inline bool isDirectoryName(std::string_view name) {
  return name.find_first_of("/:\\") != std::string_view::npos;
}

// The files a table of a directory keeps beside its own, named by its file
// name and these suffixes: the logs, the record locks and their holders.
inline constexpr const char *kFilesBesideTable[] = {"-wal", "-shm", "-journal", "-lock", "-holders"};

} // namespace vandro::engine
