// Files written whole or not at all.
#pragma once

#include <string>
#include <sys/types.h>

namespace vandro::engine {

// Writing a file so that a failure never leaves half of it under its name:
// the text goes to a new file beside the target, which replaces the target
// when complete. A link is followed, so the file it names is replaced and
// the link stays; a replaced file keeps its mode. A target that is no
// regular file (a terminal, a pipe, /dev/stdout) is written directly where
// the caller allows it, since it cannot be replaced.
class WholeFile {
public:
  explicit WholeFile(std::string target);
  WholeFile(const WholeFile &) = delete;
  WholeFile &operator=(const WholeFile &) = delete;
  // Takes the new file away again unless finish() replaced the target.
  ~WholeFile();

  // Decides where the text goes; the reason when it cannot go anywhere. A
  // device, a pipe or a descriptor is written in place where the caller
  // allows it (an export to /dev/stdout), refused where it does not (a
  // configuration file).
  enum class Devices { Refused, WrittenInPlace };
  std::string begin(Devices devices);
  // The file to write the text to, once begin() succeeded.
  const std::string &writePath() const { return m_writePath; }
  // Whether writePath() is the target itself, to be written without
  // cutting what is there (a device, a pipe, or a descriptor the shell
  // opened, which it may have opened to append to).
  bool direct() const { return m_direct; }
  // The file the text ends in: the target with its links followed.
  const std::string &finalPath() const { return m_finalPath; }
  // After the writer closed writePath(): stores it and puts it in the
  // target's place; the reason when that failed.
  std::string finish();

  // Removes the new file of the WholeFile being written, if any: for a
  // signal handler, so that an interrupted program leaves no half file
  // beside the target. Async-signal-safe.
  static void removeUnfinished() noexcept;

private:
  void setUnfinished(const std::string &path);

  std::string m_target, m_finalPath, m_writePath;
  mode_t m_mode = 0;
  bool m_keepMode = false;
  bool m_direct = false;
  bool m_done = false;
};

} // namespace vandro::engine
