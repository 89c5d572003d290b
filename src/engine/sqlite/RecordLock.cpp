#include "RecordLock.h"

#include "../ErrorEntries.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vandro::engine {

namespace {

// FNV-1a over the key text; the top bits are cleared so that the offset is a
// positive file offset. Two records share a byte only if their 62-bit hashes
// collide.
long long offsetFor(const std::string &keyText) {
  std::uint64_t hash = 1469598103934665603ull;
  for (unsigned char c : keyText) {
    hash ^= c;
    hash *= 1099511628211ull;
  }
  return static_cast<long long>(hash & 0x3FFFFFFFFFFFFFFFull);
}

bool setLock(int fd, short type, long long offset) {
  struct flock region {};
  region.l_type = type;
  region.l_whence = SEEK_SET;
  region.l_start = static_cast<off_t>(offset);
  region.l_len = 1;
  region.l_pid = 0;
  return ::fcntl(fd, F_OFD_SETLK, &region) == 0;
}

} // namespace

RecordLock::~RecordLock() {
  if (m_fd >= 0)
    ::close(m_fd); // drops every lock taken through this open
}

Result RecordLock::open(const std::string &tablePath) {
  m_tablePath = tablePath;
  m_path = tablePath + "-lock";
  m_fd = ::open(m_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (m_fd < 0) {
    const int err = errno;
    return ErrorEntries::fail(code::CannotOpenFile, {{code::CannotOpenFile, 0, "File: " + m_path},
                                                     {code::CannotOpenFile, err, std::strerror(err)}});
  }
  // Every user of a shared table must be able to lock: undo the umask.
  struct stat info {};
  if (::fstat(m_fd, &info) == 0 && info.st_uid == ::geteuid())
    ::fchmod(m_fd, 0666);
  return code::Ok;
}

Result RecordLock::lock(const std::string &keyText, const std::string &recordName) {
  if (m_held == keyText)
    return code::Ok;
  const long long offset = offsetFor(keyText);
  if (!setLock(m_fd, F_WRLCK, offset)) {
    const int err = errno;
    if (err == EAGAIN || err == EACCES)
      return ErrorEntries::fail(code::RecordLocked,
                                {{code::RecordLocked, 0, "Record: " + recordName},
                                 {code::RecordLocked, 0, "File: " + m_tablePath}});
    return ErrorEntries::fail(code::IoFailure, {{code::IoFailure, 0, "File: " + m_path},
                                                {code::IoFailure, err, std::strerror(err)}});
  }
  if (m_held && m_offset != offset)
    setLock(m_fd, F_UNLCK, m_offset);
  m_held = keyText;
  m_offset = offset;
  return code::Ok;
}

void RecordLock::release() {
  if (!m_held)
    return;
  setLock(m_fd, F_UNLCK, m_offset);
  m_held.reset();
}

} // namespace vandro::engine
