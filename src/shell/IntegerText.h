// Integer texts: the one reading of a text as a signed 32-bit integer that
// the Go-to command and the integer fields share.
#pragma once

#include <QString>
#include <cstdint>
#include <optional>

namespace vandro {

// Leading blanks (spaces only), then either an optional sign and decimal
// digits within -2147483648 to 2147483647, or a hexadecimal number after
// "$", "x", "X", "0x" or "0X" (no sign before it, at most eight significant
// digits, read as a 32-bit pattern); nothing may follow. Nothing when the
// text is no integer.
std::optional<std::int32_t> parseInteger32(const QString &text);

// The same, raising EConvertError "'%s' is not a valid integer value"
// filled with the whole text unchanged when it is no integer.
std::int32_t ParseInteger(const QString &text);

} // namespace vandro
