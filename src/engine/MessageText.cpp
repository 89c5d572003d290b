#include "MessageText.h"

#include "Utf8.h"

#include <cstdio>

namespace vandro::engine {

std::string shownText(std::string_view text, std::size_t limit) {
  std::string shown = "\"";
  std::size_t at = 0, characters = 0;
  while (at < text.size() && characters < limit) {
    const auto byte = static_cast<unsigned char>(text[at]);
    const std::size_t length = utf8SequenceLength(text, at);
    ++characters;
    if (length > 1) {
      shown.append(text.substr(at, length));
      at += length;
      continue;
    }
    ++at;
    switch (byte) {
    case '"': shown += "\\\""; break;
    case '\\': shown += "\\\\"; break;
    case '\n': shown += "\\n"; break;
    case '\r': shown += "\\r"; break;
    case '\t': shown += "\\t"; break;
    default:
      if (length == 1 && byte >= 0x20 && byte != 0x7F) {
        shown += static_cast<char>(byte);
      } else {
        char escaped[8];
        std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
        shown += escaped;
      }
    }
  }
  shown += '"';
  if (at < text.size())
    shown += "... (" + std::to_string(text.size()) + " bytes in all)";
  return shown;
}

} // namespace vandro::engine
