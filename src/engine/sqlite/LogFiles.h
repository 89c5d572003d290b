// The write-ahead log files beside a table, and who removes them.
#pragma once

#include <string>
#include <sys/types.h>
#include <utility>

namespace vandro::engine {

// SQLite removes a table's log files ("-wal", "-shm") when its last
// read-write connection closes. A read-only connection cannot: the files it
// made stay, with the table file's mode, so a table that was read-only
// while it was read stays unwritable through them after it is made
// writable again. One of these per connection, attached before the
// connection opens: when the last connection of this process to the table
// has closed, it removes the log files once no other process uses them and
// the log holds nothing, also those an interrupted reader left.
class LogFiles {
public:
  LogFiles() = default;
  LogFiles(const LogFiles &) = delete;
  LogFiles &operator=(const LogFiles &) = delete;
  // Call after the connection has closed (the owner's destructor body).
  ~LogFiles();

  void attach(const std::string &path);

private:
  std::string m_path;
  std::pair<dev_t, ino_t> m_file{};
  bool m_attached = false;
};

} // namespace vandro::engine
