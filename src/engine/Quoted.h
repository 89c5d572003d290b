// Texts between quotation marks, for messages and statements.
#pragma once

#include <string>
#include <string_view>

namespace vandro::engine {

// Built by appending: GCC 12 at -O3 takes "'" + std::string(...) for an
// overlapping copy (-Wrestrict), a false alarm inside std::string.
inline std::string quoted(std::string_view text, char mark = '\'') {
  std::string result;
  result.reserve(text.size() + 2);
  result.append(1, mark).append(text).append(1, mark);
  return result;
}

// Quotes an SQL identifier: "name" with inner quotes doubled.
inline std::string quoteIdentifier(std::string_view name) {
  std::string out = "\"";
  for (char c : name) {
    if (c == '"')
      out += '"';
    out += c;
  }
  return out + "\"";
}

} // namespace vandro::engine
