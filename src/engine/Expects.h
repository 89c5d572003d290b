// Preconditions whose failure is a programming error (a record of another
// width, a field that is not there), checked in every build: going on would
// read outside a record or a key.
#pragma once

#include <cstdio>
#include <cstdlib>

namespace vandro::engine {

[[noreturn]] inline void expectationFailed(const char *what, const char *file, int line) {
  std::fprintf(stderr, "vandro: programming error at %s:%d: expected %s\n", file, line, what);
  std::abort();
}

} // namespace vandro::engine

#define VANDRO_EXPECTS(condition, what)                                                                               \
  do {                                                                                                                \
    if (!(condition))                                                                                                 \
      ::vandro::engine::expectationFailed(what, __FILE__, __LINE__);                                                  \
  } while (false)
