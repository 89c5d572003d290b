#include "WholeFile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace vandro::engine {

namespace {

// The new file being written, for removeUnfinished(); empty when none.
char g_unfinished[4096];

} // namespace

void WholeFile::removeUnfinished() noexcept {
  if (g_unfinished[0])
    ::unlink(g_unfinished);
}

void WholeFile::setUnfinished(const std::string &path) {
  g_unfinished[0] = '\0';
  if (path.size() < sizeof g_unfinished) {
    std::memcpy(g_unfinished, path.c_str(), path.size() + 1);
  }
}

WholeFile::WholeFile(std::string target) : m_target(std::move(target)) {}

WholeFile::~WholeFile() {
  if (!m_done && !m_direct && !m_writePath.empty()) {
    ::unlink(m_writePath.c_str());
    setUnfinished({});
  }
}

std::string WholeFile::begin(Devices devices) {
  namespace fs = std::filesystem;
  std::error_code ec;
  // A chain of links ends in the file to replace; a link to nothing yet
  // names the file to make.
  fs::path path(m_target);
  // /dev/stdout and its kind lead through /proc to a descriptor of this
  // process, which may stand for a file the shell opened to append to:
  // written there, never replaced.
  const auto descriptor = [&ec](const fs::path &at) {
    const auto inProc = [](const fs::path &p) { return p.string().rfind("/proc/", 0) == 0; };
    return inProc(at) || (at.has_parent_path() && inProc(fs::weakly_canonical(at.parent_path(), ec)));
  };
  for (int hops = 0; !descriptor(path) && fs::is_symlink(fs::symlink_status(path, ec)); ++hops) {
    if (hops == 40)
      return std::strerror(ELOOP);
    const fs::path next = fs::read_symlink(path, ec);
    if (ec)
      return ec.message();
    path = next.is_absolute() ? next : path.parent_path() / next;
  }
  m_finalPath = path.string();
  struct stat status {};
  if (::stat(m_finalPath.c_str(), &status) == 0) {
    if (S_ISDIR(status.st_mode))
      return std::strerror(EISDIR);
    if (!S_ISREG(status.st_mode) || descriptor(path)) {
      if (devices == Devices::Refused)
        return "It is not a regular file";
      m_direct = true;
      m_writePath = m_finalPath;
      return {};
    }
    m_mode = status.st_mode & 07777;
    m_keepMode = true;
  } else if (errno != ENOENT) {
    return std::strerror(errno);
  }
  m_writePath = m_finalPath + ".part-" + std::to_string(::getpid());
  setUnfinished(m_writePath);
  return {};
}

std::string WholeFile::finish() {
  if (m_direct)
    return {};
  // On the disk before it replaces the old text, so that a crash leaves
  // one of the two whole.
  const int fd = ::open(m_writePath.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0)
    return std::strerror(errno);
  const int synced = ::fsync(fd) == 0 ? 0 : errno;
  const int moded = !m_keepMode || ::fchmod(fd, m_mode) == 0 ? 0 : errno;
  ::close(fd);
  if (synced || moded)
    return std::strerror(synced ? synced : moded);
  if (::rename(m_writePath.c_str(), m_finalPath.c_str()) != 0)
    return std::strerror(errno);
  setUnfinished({});
  m_done = true;
  return {};
}

} // namespace vandro::engine
