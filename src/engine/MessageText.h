// Values as messages show them: cut short and with control characters
// escaped, so that no stored or typed value of any size or content makes a
// message long, multi-line or unreadable.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace vandro::engine {

// How many characters of a value a message shows.
inline constexpr std::size_t kShownCharacters = 60;

// `text` between double quotes for a message: a quotation mark and a
// backslash escaped with a backslash, line breaks and tabs as \n, \r and \t,
// other control characters and bytes that are no UTF-8 as \xNN; after
// `limit` characters cut, with "..." and the whole length in bytes.
std::string shownText(std::string_view text, std::size_t limit = kShownCharacters);

// How many characters one line of a message holds at most.
inline constexpr std::size_t kLineCharacters = 400;

// `text` as one line of a message: control characters and bytes that are
// no UTF-8 escaped as in shownText, and cut after `limit` characters with
// "..." and the whole length in bytes. Unquoted.
std::string shownLine(std::string_view text, std::size_t limit = kLineCharacters);

} // namespace vandro::engine
