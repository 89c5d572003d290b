#include "MessageText.h"

#include "Utf8.h"

#include <cstdio>

namespace vandro::engine {

namespace {

// The first `limit` characters of `text` escaped into `shown` (quotation
// marks and backslashes too when `quoted`); where the text stopped.
std::size_t escapeInto(std::string &shown, std::string_view text, std::size_t limit, bool quoted) {
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
    if (!quoted && (byte == '"' || byte == '\\')) {
      shown += static_cast<char>(byte);
      continue;
    }
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
  return at;
}

std::string lengthMark(std::string_view text, std::size_t stopped) {
  return stopped < text.size() ? "... (" + std::to_string(text.size()) + " bytes in all)" : std::string();
}

} // namespace

std::string shownText(std::string_view text, std::size_t limit) {
  std::string shown = "\"";
  const std::size_t stopped = escapeInto(shown, text, limit, true);
  return shown + "\"" + lengthMark(text, stopped);
}

std::string shownLine(std::string_view text, std::size_t limit) {
  std::string shown;
  const std::size_t stopped = escapeInto(shown, text, limit, false);
  return shown + lengthMark(text, stopped);
}

} // namespace vandro::engine
