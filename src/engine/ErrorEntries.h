// The numbered error entries that explain the engine's last failure.
#pragma once

#include "Result.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vandro::engine {

// One piece of detail about a failure: the engine code it belongs to, the
// storage library's own code (0 when there is none), and a context text such
// as the full path of a file or the library's message.
struct ErrorEntry {
  Result code = code::Ok;
  std::int32_t nativeCode = 0;
  std::string context;
};

// The entries of the most recent failure in this process. Every failing
// operation replaces them, so they always describe the last failure.
class ErrorEntries {
public:
  // Starts the entries of a new failure and returns `result`, so that a
  // failing operation can end with `return fail(code, ...)`.
  static Result fail(Result result, std::vector<ErrorEntry> entries = {});
  // Adds one more entry to the current failure.
  static void add(ErrorEntry entry);
  // Entry `index`, counted from 1: code::Ok with the entry filled in, or
  // code::NoMoreEntries past the last one.
  [[nodiscard]] static Result entry(int index, ErrorEntry &out);
  static const std::vector<ErrorEntry> &all();
  static void clear();
};

} // namespace vandro::engine
