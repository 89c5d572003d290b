#include "ErrorEntries.h"

namespace vandro::engine {

namespace {
std::vector<ErrorEntry> &entries() {
  static thread_local std::vector<ErrorEntry> list;
  return list;
}
} // namespace

Result ErrorEntries::fail(Result result, std::vector<ErrorEntry> list) {
  entries() = std::move(list);
  return result;
}

void ErrorEntries::add(ErrorEntry entry) { entries().push_back(std::move(entry)); }

Result ErrorEntries::entry(int index, ErrorEntry &out) {
  const auto &list = entries();
  if (index < 1 || static_cast<std::size_t>(index) > list.size())
    return code::NoMoreEntries;
  out = list[static_cast<std::size_t>(index - 1)];
  return code::Ok;
}

const std::vector<ErrorEntry> &ErrorEntries::all() { return entries(); }

void ErrorEntries::clear() { entries().clear(); }

} // namespace vandro::engine
