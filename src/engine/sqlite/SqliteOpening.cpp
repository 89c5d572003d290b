#include "SqliteOpening.h"

#include "../ErrorEntries.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace vandro::engine {

namespace {

// Checks the header of an SQLite file against the file's length, so that a
// truncated file is reported as damaged when it is opened rather than on
// some later step.
Result checkLength(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  unsigned char header[100];
  if (!in.read(reinterpret_cast<char *>(header), sizeof header))
    return code::Ok; // too short to judge; SQLite itself decides
  if (std::memcmp(header, "SQLite format 3", 16) != 0)
    return code::Ok;
  const auto be32 = [&](int at) {
    return (std::uint32_t(header[at]) << 24) | (std::uint32_t(header[at + 1]) << 16) |
           (std::uint32_t(header[at + 2]) << 8) | std::uint32_t(header[at + 3]);
  };
  std::uint32_t pageSize = (std::uint32_t(header[16]) << 8) | header[17];
  if (pageSize == 1)
    pageSize = 65536;
  const std::uint32_t pages = be32(28);
  if (be32(24) != be32(92) || pages == 0)
    return code::Ok; // the page count in the header is not maintained
  std::error_code ec;
  const auto length = std::filesystem::file_size(path, ec);
  const std::uint64_t expected = std::uint64_t(pages) * pageSize;
  if (!ec && length < expected)
    return ErrorEntries::fail(
        code::DatabaseDamaged,
        {{code::DatabaseDamaged, 0, fileEntry(path)},
         {code::DatabaseDamaged, 0,
          "The file has " + std::to_string(length) + " bytes but its header counts " +
              std::to_string(expected) + ": it has been cut short"}});
  return code::Ok;
}

} // namespace

std::string fileEntry(const std::string &path) { return "File: " + path; }

// The URI for opening `path` with SQLite's URI options.
std::string fileUri(const std::string &path, const char *options) {
  std::string uri = "file:";
  for (unsigned char c : path) {
    if (std::isalnum(c) || std::strchr("/-_.~", c)) {
      uri += static_cast<char>(c);
    } else {
      char escaped[4];
      std::snprintf(escaped, sizeof escaped, "%%%02X", c);
      uri += escaped;
    }
  }
  return uri + "?" + options;
}

Result checkTableFile(const std::string &path, OpenMode openMode, bool &hasLog) {
  namespace fs = std::filesystem;
  std::error_code ec;
  // "Does not exist" and "may not be read" are told apart.
  const fs::file_status status = fs::status(path, ec);
  if (ec == std::errc::permission_denied)
    return ErrorEntries::fail(code::PermissionDenied,
                              {{code::PermissionDenied, 0, fileEntry(path)},
                               {code::PermissionDenied, 0, "A folder on the way to the file may not be searched"}});
  if (ec && ec != std::errc::no_such_file_or_directory && ec != std::errc::not_a_directory)
    return ErrorEntries::fail(code::IoFailure, {{code::IoFailure, 0, fileEntry(path)}, {code::IoFailure, 0, ec.message()}});
  if (ec || !fs::exists(status))
    return ErrorEntries::fail(code::TableNotFound, {{code::TableNotFound, 0, fileEntry(path)}});
  if (fs::is_directory(status))
    return ErrorEntries::fail(code::NotADatabase,
                              {{code::NotADatabase, 0, fileEntry(path)},
                               {code::NotADatabase, 0, "It is a directory"}});
  // A pipe or a device under the table's name would hang or mislead the
  // reads below.
  if (!fs::is_regular_file(status))
    return ErrorEntries::fail(code::NotADatabase,
                              {{code::NotADatabase, 0, fileEntry(path)},
                               {code::NotADatabase, 0, "It is not a regular file"}});
  if (::access(path.c_str(), R_OK) != 0 && errno == EACCES)
    return ErrorEntries::fail(code::PermissionDenied,
                              {{code::PermissionDenied, 0, fileEntry(path)},
                               {code::PermissionDenied, 0, "The file may not be read"}});
  // A write-ahead log beside the file means a writer may be checkpointing
  // into it right now (page 1 first), so its length says nothing then.
  hasLog = fs::exists(path + "-wal", ec) && fs::file_size(path + "-wal", ec) > 0;
  if (!hasLog) {
    if (const Result result = checkLength(path); result != code::Ok)
      return result;
  }

  // Writing needs the file and, for the journal files, its directory.
  const std::string directory = fs::path(path).parent_path().string();
  if (openMode == OpenMode::ReadWrite && ::access(path.c_str(), W_OK) != 0)
    return ErrorEntries::fail(code::ReadOnlyTable,
                              {{code::ReadOnlyTable, 0, fileEntry(path)},
                               {code::ReadOnlyTable, 0, "The file is write-protected: this user may not write it"}});
  if (openMode == OpenMode::ReadWrite && ::access(directory.empty() ? "." : directory.c_str(), W_OK) != 0)
    return ErrorEntries::fail(
        code::ReadOnlyTable,
        {{code::ReadOnlyTable, 0, fileEntry(path)},
         {code::ReadOnlyTable, 0,
          "The folder " + (directory.empty() ? std::string(".") : directory) +
              " is write-protected: this user may not write the journal kept beside the file while it changes"}});
  return code::Ok;
}

} // namespace vandro::engine
