// An interruption (Ctrl+C, a closed terminal, a termination request) that
// a long command answers at a point of its own choosing, so that it leaves
// nothing half done.
#pragma once

#include <csignal>

namespace vandro::admin {

// While it lives, SIGINT, SIGTERM and SIGHUP only note that they came; the
// command asks requested() where it can stop cleanly. When it ends, the
// handlers before it are back, and a signal that came is raised again, so
// the program ends as the signal says.
class Interruption {
public:
  Interruption();
  ~Interruption();
  Interruption(const Interruption &) = delete;
  Interruption &operator=(const Interruption &) = delete;

  // Whether a signal came since the guard began.
  static bool requested();

private:
  struct sigaction m_before[3] {};
};

} // namespace vandro::admin
