#include "Utf8.h"

#include <cstdint>
#include <cstring>

namespace vandro::engine {

std::size_t utf8SequenceLength(std::string_view text, std::size_t at) {
  const auto *s = reinterpret_cast<const unsigned char *>(text.data());
  const std::size_t n = text.size();
  if (at >= n)
    return 0;
  const unsigned char c = s[at];
  if (c < 0x80)
    return 1;
  std::size_t length;
  unsigned char low = 0x80, high = 0xBF;
  if (c >= 0xC2 && c <= 0xDF) {
    length = 2;
  } else if (c >= 0xE0 && c <= 0xEF) {
    length = 3;
    if (c == 0xE0)
      low = 0xA0; // overlong
    if (c == 0xED)
      high = 0x9F; // surrogates
  } else if (c >= 0xF0 && c <= 0xF4) {
    length = 4;
    if (c == 0xF0)
      low = 0x90; // overlong
    if (c == 0xF4)
      high = 0x8F; // above U+10FFFF
  } else {
    return 0;
  }
  if (at + length > n || s[at + 1] < low || s[at + 1] > high)
    return 0;
  for (std::size_t k = 2; k < length; ++k)
    if (s[at + k] < 0x80 || s[at + k] > 0xBF)
      return 0;
  return length;
}

bool isValidUtf8(std::string_view text) {
  const std::size_t n = text.size();
  for (std::size_t i = 0; i < n;) {
    // Runs of ASCII, the bulk of any text here, eight bytes at a time.
    if (i + 8 <= n) {
      std::uint64_t eight;
      std::memcpy(&eight, text.data() + i, 8);
      if ((eight & 0x8080808080808080ull) == 0) {
        i += 8;
        continue;
      }
    }
    if (static_cast<unsigned char>(text[i]) < 0x80) {
      ++i;
      continue;
    }
    const std::size_t length = utf8SequenceLength(text, i);
    if (length == 0)
      return false;
    i += length;
  }
  return true;
}

std::size_t utf8Length(std::string_view text) {
  std::size_t count = 0;
  for (unsigned char c : text)
    if ((c & 0xC0) != 0x80)
      ++count;
  return count;
}

} // namespace vandro::engine
