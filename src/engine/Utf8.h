// Counting and checking UTF-8 text.
#pragma once

#include <cstddef>
#include <string_view>

namespace vandro::engine {

// Whether `text` is well-formed UTF-8 (no overlong forms, no surrogates,
// nothing above U+10FFFF).
bool isValidUtf8(std::string_view text);
// The number of characters (code points) in well-formed UTF-8 text.
std::size_t utf8Length(std::string_view text);
// The length in bytes of the well-formed UTF-8 character at `at` (1 to 4);
// 0 when the bytes there are no such character.
std::size_t utf8SequenceLength(std::string_view text, std::size_t at);

} // namespace vandro::engine
