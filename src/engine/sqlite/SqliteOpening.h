// What is checked of a table file before SQLite opens it.
#pragma once

#include "../Cursor.h"
#include "../Result.h"

#include <string>

namespace vandro::engine {

// "File: /path", the error entry that names a table file.
std::string fileEntry(const std::string &path);
// The URI for opening `path` with SQLite's URI options.
std::string fileUri(const std::string &path, const char *options);

// Whether `path` can be a table opened `mode`: there, a regular file,
// readable, not cut short (checked against its header when no write-ahead
// log is beside it; `hasLog` tells), and for ReadWrite writable with its
// folder. TableNotFound, NotADatabase, PermissionDenied, IoFailure,
// DatabaseDamaged or ReadOnlyTable otherwise.
Result checkTableFile(const std::string &path, OpenMode mode, bool &hasLog);

} // namespace vandro::engine
