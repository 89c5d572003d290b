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
std::mutex g_mutex;
std::map<std::pair<dev_t, ino_t>, int> g_connections;

bool regularFile(const std::string &path, off_t *size = nullptr) {
  struct stat status {};
  if (::lstat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode))
    return false;
  if (size)
    *size = status.st_size;
  return true;
}

// Whether another process holds a lock on bytes [start, start + length) of
// the file `fd` is open on. SQLite's connections hold a shared lock in the
// database file's lock range while they use the log.
bool lockedByOthers(int fd, off_t start, off_t length) {
  struct flock probe {};
  probe.l_type = F_WRLCK;
  probe.l_whence = SEEK_SET;
  probe.l_start = start;
  probe.l_len = length;
  return ::fcntl(fd, F_GETLK, &probe) != 0 || probe.l_type != F_UNLCK;
}

constexpr off_t kDatabaseLocks = 0x40000000; // SQLite's pending byte, then reserved and shared
constexpr off_t kDatabaseLockLength = 512;
constexpr off_t kSharedMemoryInUse = 128; // the byte every connection of the log holds shared

} // namespace

void LogFiles::attach(const std::string &path) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0)
    return;
  m_path = path;
  m_file = {status.st_dev, status.st_ino};
  m_attached = true;
  std::lock_guard lock(g_mutex);
  ++g_connections[m_file];
}

LogFiles::~LogFiles() {
  if (!m_attached)
    return;
  std::lock_guard lock(g_mutex);
  if (--g_connections[m_file] > 0)
    return;
  g_connections.erase(m_file);
  // Only an empty log goes: one that holds records the table file lacks
  // is the table's, whoever left it.
  const std::string log = m_path + "-wal", sharedMemory = m_path + "-shm";
  off_t logSize = 0;
  const bool hasLog = regularFile(log, &logSize);
  if ((hasLog && logSize != 0) || (!hasLog && ::access(log.c_str(), F_OK) == 0) || !regularFile(sharedMemory))
    return;
  const int database = ::open(m_path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (database < 0)
    return;
  const bool inUse = lockedByOthers(database, kDatabaseLocks, kDatabaseLockLength);
  ::close(database);
  if (inUse)
    return;
  // As SQLite does when its last connection closes: the "in use" byte of
  // the shared memory taken exclusively, which no connection of another
  // process can hold meanwhile, and the files removed under it.
  // A file a reader made while the table was read-only may be read-only
  // itself: then a probe of the byte is what there is.
  int memory = ::open(sharedMemory.c_str(), O_RDWR | O_CLOEXEC | O_NONBLOCK);
  const bool writable = memory >= 0;
  if (!writable)
    memory = ::open(sharedMemory.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (memory < 0)
    return;
  struct flock exclusive {};
  exclusive.l_type = F_WRLCK;
  exclusive.l_whence = SEEK_SET;
  exclusive.l_start = kSharedMemoryInUse;
  exclusive.l_len = 1;
  const bool free = writable ? ::fcntl(memory, F_SETLK, &exclusive) == 0
                             : !lockedByOthers(memory, kSharedMemoryInUse, 1);
  if (free) {
    if (hasLog)
      ::unlink(log.c_str());
    ::unlink(sharedMemory.c_str());
  }
  ::close(memory);
}

} // namespace vandro::engine
