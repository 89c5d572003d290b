#include "RecordLock.h"

#include "../ErrorEntries.h"

#include <cerrno>
#include <cstring>
#include <string>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vandro::engine {

namespace {

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

long long RecordLock::offsetFor(const Bookmark &key) {
  constexpr long long kHashed = 1ll << 62;
  if (key.size() == 1 && key[0].isInteger() && key[0].asInteger() >= 0 && key[0].asInteger() < kHashed)
    return key[0].asInteger();
  // FNV-1a over each value's kind and text, into the upper half of the
  // positive offsets.
  std::uint64_t hash = 1469598103934665603ull;
  auto mix = [&hash](const std::string &bytes) {
    for (unsigned char c : bytes) {
      hash ^= c;
      hash *= 1099511628211ull;
    }
  };
  for (const Value &value : key) {
    if (value.isInteger())
      mix("i" + std::to_string(value.asInteger()));
    else if (value.isReal()) {
      const double real = value.asReal();
      mix("r" + std::string(reinterpret_cast<const char *>(&real), sizeof real));
    }
    else if (value.isText())
      mix("t" + std::to_string(value.asText().size()) + ":" + value.asText());
    else if (value.isBytes())
      mix("b" + std::to_string(value.asBytes().size()) + ":" + std::string(value.asBytes().begin(), value.asBytes().end()));
    else
      mix("n");
  }
  return kHashed | static_cast<long long>(hash & (kHashed - 1));
}

RecordLock::~RecordLock() {
  if (m_fd >= 0)
    ::close(m_fd); // drops every lock taken through this open
}

Result RecordLock::open(const std::string &tablePath) {
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

Result RecordLock::lock(const std::string &keyText, long long offset) {
  if (m_held == keyText)
    return code::Ok;
  if (!setLock(m_fd, F_WRLCK, offset)) {
    const int err = errno;
    if (err == EAGAIN || err == EACCES)
      return ErrorEntries::fail(code::RecordLocked);
    return ErrorEntries::fail(code::IoFailure, {{code::IoFailure, 0, "File: " + m_path},
                                                {code::IoFailure, err, std::strerror(err)}});
  }
  if (m_held && m_offset != offset)
    setLock(m_fd, F_UNLCK, m_offset);
  m_held = keyText;
  m_offset = offset;
  return code::Ok;
}

Result RecordLock::lockAlso(long long offset) {
  if (!setLock(m_fd, F_WRLCK, offset)) {
    const int err = errno;
    if (err == EAGAIN || err == EACCES)
      return ErrorEntries::fail(code::RecordLocked);
    return ErrorEntries::fail(code::IoFailure, {{code::IoFailure, 0, "File: " + m_path},
                                                {code::IoFailure, err, std::strerror(err)}});
  }
  m_also.push_back(offset);
  return code::Ok;
}

void RecordLock::releaseAll() {
  // The byte of the record locked for editing stays locked.
  for (long long offset : m_also)
    if (!m_held || offset != m_offset)
      setLock(m_fd, F_UNLCK, offset);
  m_also.clear();
}

void RecordLock::release() {
  if (!m_held)
    return;
  setLock(m_fd, F_UNLCK, m_offset);
  m_held.reset();
}

} // namespace vandro::engine
