#include "RecordLock.h"

#include "../ErrorEntries.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
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
  if (m_slot >= 0)
    writeSlot({});
  if (m_holdersFd >= 0)
    ::close(m_holdersFd); // and with it the slot
  if (m_fd >= 0)
    ::close(m_fd); // drops every lock taken through this open
}

namespace {

// Whether another open holds a lock on the byte at `offset` of `fd`.
bool lockedByOther(int fd, long long offset) {
  struct flock region {};
  region.l_type = F_WRLCK;
  region.l_whence = SEEK_SET;
  region.l_start = static_cast<off_t>(offset);
  region.l_len = 1;
  return ::fcntl(fd, F_OFD_GETLK, &region) == 0 && region.l_type != F_UNLCK;
}

// A slot's text: "<offset>\t<since>\t<user>\t<machine>\t<record>\n"; no
// tab or line end inside a part. Anything else (zeros, a torn or foreign
// text) reads as no entry.
std::string cleanPart(const std::string &part) {
  std::string clean;
  for (const char c : part)
    clean += c == '\t' || c == '\n' || c == '\0' ? ' ' : c;
  return clean;
}

std::optional<std::pair<long long, LockHolder>> parseSlot(const char *bytes, std::size_t size) {
  const std::string text(bytes, strnlen(bytes, size));
  const std::size_t end = text.find('\n');
  if (end == std::string::npos)
    return std::nullopt;
  std::vector<std::string> parts;
  for (std::size_t from = 0;;) {
    const std::size_t tab = text.find('\t', from);
    if (tab == std::string::npos || tab > end) {
      parts.push_back(text.substr(from, end - from));
      break;
    }
    parts.push_back(text.substr(from, tab - from));
    from = tab + 1;
  }
  if (parts.size() != 5)
    return std::nullopt;
  long long offset = -1, since = 0;
  const auto number = [](const std::string &part, long long &out) {
    return !part.empty() && std::from_chars(part.data(), part.data() + part.size(), out).ptr == part.data() + part.size();
  };
  if (!number(parts[0], offset) || offset < 0 || !number(parts[1], since))
    return std::nullopt;
  LockHolder holder;
  holder.since = since;
  holder.user = parts[2];
  holder.machine = parts[3];
  holder.record = parts[4];
  return std::pair{offset, holder};
}

} // namespace

void RecordLock::claimSlot() {
  if (m_slot >= 0 || m_holdersFd < 0 || !m_holdersWritable)
    return;
  for (long long slot = 0; slot < kSlots; ++slot)
    if (setLock(m_holdersFd, F_WRLCK, slot * kSlotSize)) {
      m_slot = slot;
      return;
    }
}

void RecordLock::writeSlot(const std::string &text) const {
  if (m_slot < 0)
    return;
  std::string bytes = text.substr(0, static_cast<std::size_t>(kSlotSize) - 1);
  if (!bytes.empty() && bytes.back() != '\n')
    bytes.back() = '\n';
  bytes.resize(static_cast<std::size_t>(kSlotSize), '\0');
  // A holders' record that cannot be written only leaves the holder unnamed.
  (void)!::pwrite(m_holdersFd, bytes.data(), bytes.size(), static_cast<off_t>(m_slot * kSlotSize));
}

std::vector<RecordLock::Entry> RecordLock::liveEntries() const {
  std::vector<Entry> entries;
  if (m_holdersFd < 0)
    return entries;
  struct stat info {};
  if (::fstat(m_holdersFd, &info) != 0)
    return entries;
  const long long slots = std::min<long long>(kSlots, (static_cast<long long>(info.st_size) + kSlotSize - 1) / kSlotSize);
  std::vector<char> bytes(static_cast<std::size_t>(slots * kSlotSize), '\0');
  const ssize_t read = ::pread(m_holdersFd, bytes.data(), bytes.size(), 0);
  if (read <= 0)
    return entries;
  for (long long slot = 0; slot < slots && slot * kSlotSize < read; ++slot) {
    if (slot == m_slot)
      continue;
    const char *text = bytes.data() + slot * kSlotSize;
    const std::size_t size = static_cast<std::size_t>(std::min<long long>(kSlotSize, read - slot * kSlotSize));
    if (text[0] == '\0')
      continue;
    const auto parsed = parseSlot(text, size);
    if (lockedByOther(m_holdersFd, slot * kSlotSize)) {
      if (parsed)
        entries.push_back({parsed->first, parsed->second});
      continue;
    }
    // A dead holder's entry: cleared while the slot is ours for a moment,
    // so that no holder taking it meanwhile loses its own.
    if (m_holdersWritable && setLock(m_holdersFd, F_WRLCK, slot * kSlotSize)) {
      const std::string zeros(static_cast<std::size_t>(kSlotSize), '\0');
      (void)!::pwrite(m_holdersFd, zeros.data(), zeros.size(), static_cast<off_t>(slot * kSlotSize));
      setLock(m_holdersFd, F_UNLCK, slot * kSlotSize);
    }
  }
  return entries;
}

std::optional<LockHolder> RecordLock::holderOf(long long offset) const {
  for (Entry &entry : liveEntries())
    if (entry.offset == offset)
      return std::move(entry.holder);
  return std::nullopt;
}

std::vector<LockHolder> RecordLock::holders() const {
  std::vector<Entry> entries = liveEntries();
  // In key order where the byte is the key.
  std::sort(entries.begin(), entries.end(), [](const Entry &a, const Entry &b) { return a.offset < b.offset; });
  std::vector<LockHolder> held;
  for (Entry &entry : entries)
    if (m_fd >= 0 && lockedByOther(m_fd, entry.offset))
      held.push_back(std::move(entry.holder));
  return held;
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
  // The holders' record beside it; a user who may not write it still locks,
  // unnamed, and reads the others' names.
  const std::string holders = tablePath + "-holders";
  m_holdersFd = ::open(holders.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0666);
  m_holdersWritable = m_holdersFd >= 0;
  if (m_holdersFd < 0)
    m_holdersFd = ::open(holders.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (m_holdersFd >= 0 && ::fstat(m_holdersFd, &info) == 0) {
    if (!S_ISREG(info.st_mode)) {
      ::close(m_holdersFd);
      m_holdersFd = -1;
    } else if (info.st_uid == ::geteuid()) {
      ::fchmod(m_holdersFd, 0666);
    }
  }
  return code::Ok;
}

void RecordLock::openToRead(const std::string &tablePath) {
  m_path = tablePath + "-lock";
  m_fd = ::open(m_path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  m_holdersFd = ::open((tablePath + "-holders").c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  m_holdersWritable = false;
}

Result RecordLock::lock(long long offset, const std::string &recordName) {
  if (!setLock(m_fd, F_WRLCK, offset)) {
    const int err = errno;
    if (err == EAGAIN || err == EACCES)
      return ErrorEntries::fail(code::RecordLocked);
    return ErrorEntries::fail(code::IoFailure, {{code::IoFailure, 0, "File: " + m_path},
                                                {code::IoFailure, err, std::strerror(err)}});
  }
  m_held = offset;
  claimSlot();
  writeSlot(std::to_string(offset) + "\t" + std::to_string(secondsNow()) + "\t" + cleanPart(thisUser()) + "\t" +
            cleanPart(thisMachine()) + "\t" + cleanPart(recordName) + "\n");
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
    if (offset != m_held)
      setLock(m_fd, F_UNLCK, offset);
  m_also.clear();
}

void RecordLock::release() {
  if (!m_held)
    return;
  writeSlot({});
  setLock(m_fd, F_UNLCK, *m_held);
  m_held.reset();
}

} // namespace vandro::engine
