#include "LogFiles.h"

#include <cerrno>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace vandro::engine {

namespace {

// Connections open in this process, by file: their locks are this
// process's own, which the lock probe below does not see.
struct Users {
  int connections = 0;
  // Whether the log files were absent when the first of them opened:
  // files that were there already belong to a connection elsewhere, or to
  // a log with records the table file lacks, and are never ours to remove.
  bool madeHere = false;
};
std::mutex g_mutex;
std::map<std::pair<dev_t, ino_t>, Users> g_users;

bool regularFile(const std::string &path, off_t *size = nullptr) {
  struct stat status {};
  if (::lstat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode))
    return false;
  if (size)
    *size = status.st_size;
  return true;
}

// Whether another process holds a lock on bytes [start, start + length) of
// `path`. SQLite's connections hold a shared lock in the database file's
// lock range for as long as they use the log, and one on the shared-memory
// file's "in use" byte.
bool lockedByOthers(const std::string &path, off_t start, off_t length) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0)
    return errno != ENOENT;
  struct flock probe {};
  probe.l_type = F_WRLCK;
  probe.l_whence = SEEK_SET;
  probe.l_start = start;
  probe.l_len = length;
  const bool locked = ::fcntl(fd, F_GETLK, &probe) != 0 || probe.l_type != F_UNLCK;
  ::close(fd);
  return locked;
}

constexpr off_t kDatabaseLocks = 0x40000000; // SQLite's pending byte, then reserved and shared
constexpr off_t kDatabaseLockLength = 512;
constexpr off_t kSharedMemoryLocks = 120; // the eight lock bytes, then the "in use" byte
constexpr off_t kSharedMemoryLockLength = 9;

} // namespace

void LogFiles::attach(const std::string &path) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0)
    return;
  m_path = path;
  m_file = {status.st_dev, status.st_ino};
  m_attached = true;
  std::lock_guard lock(g_mutex);
  Users &users = g_users[m_file];
  if (users.connections++ == 0)
    users.madeHere = ::access((path + "-wal").c_str(), F_OK) != 0 && ::access((path + "-shm").c_str(), F_OK) != 0;
}

LogFiles::~LogFiles() {
  if (!m_attached)
    return;
  std::lock_guard lock(g_mutex);
  Users &users = g_users[m_file];
  if (--users.connections > 0)
    return;
  const bool madeHere = users.madeHere;
  g_users.erase(m_file);
  if (!madeHere)
    return;
  const std::string log = m_path + "-wal", sharedMemory = m_path + "-shm";
  off_t logSize = 0;
  const bool hasLog = regularFile(log, &logSize);
  if ((hasLog && logSize != 0) || (!hasLog && ::access(log.c_str(), F_OK) == 0) || !regularFile(sharedMemory))
    return;
  if (lockedByOthers(m_path, kDatabaseLocks, kDatabaseLockLength) ||
      lockedByOthers(sharedMemory, kSharedMemoryLocks, kSharedMemoryLockLength))
    return;
  if (hasLog)
    ::unlink(log.c_str());
  ::unlink(sharedMemory.c_str());
}

} // namespace vandro::engine
