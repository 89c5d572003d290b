#include "FailureMessage.h"

#include "MessageText.h"
#include <algorithm>
#include <cctype>
#include <cstdio>

namespace vandro::engine {

namespace {

bool sameLine(const std::string &a, const std::string &b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

} // namespace

std::string trimmedText(const std::string &text) {
  auto blankOrControl = [](unsigned char c) { return c <= ' ' || c == 0x7F; };
  std::size_t first = 0, last = text.size();
  while (first < last && blankOrControl(static_cast<unsigned char>(text[first])))
    ++first;
  while (last > first && blankOrControl(static_cast<unsigned char>(text[last - 1])))
    --last;
  return text.substr(first, last - first);
}

std::string hexCode(Result result) {
  char buffer[8];
  std::snprintf(buffer, sizeof buffer, "$%.4X", static_cast<unsigned>(result));
  return buffer;
}

std::string failureMessage(Result result, const std::vector<ErrorEntry> &entries) {
  std::vector<std::string> lines;
  // Each line cut and escaped: an entry may name a value of any size.
  auto addLine = [&](const std::string &raw) {
    const std::string line = shownLine(trimmedText(raw));
    if (line.empty())
      return;
    if (std::none_of(lines.begin(), lines.end(), [&](const std::string &l) { return sameLine(l, line); }))
      lines.push_back(line);
  };
  if (result != code::ContextOnly)
    addLine(std::string(messageFor(result)));
  for (const auto &entry : entries) {
    if (entry.nativeCode == 0 && result != code::ContextOnly)
      addLine(std::string(messageFor(entry.code)));
    addLine(entry.context);
  }
  if (lines.empty())
    return "Engine error " + hexCode(result);
  std::string message;
  for (std::size_t i = 0; i < lines.size(); ++i)
    message += (i ? "\n" : "") + lines[i];
  return message;
}

} // namespace vandro::engine
