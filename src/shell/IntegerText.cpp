#include "IntegerText.h"

#include "Exception.h"

#include <limits>

namespace vandro {

std::optional<std::int32_t> parseInteger32(const QString &text) {
  qsizetype i = 0;
  const qsizetype n = text.size();
  while (i < n && text[i] == QLatin1Char(' '))
    ++i;
  auto hexDigit = [](QChar c) -> int {
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9') return u - '0';
    if (u >= 'a' && u <= 'f') return u - 'a' + 10;
    if (u >= 'A' && u <= 'F') return u - 'A' + 10;
    return -1;
  };
  bool hex = false;
  if (i < n && (text[i] == QLatin1Char('$') || text[i] == QLatin1Char('x') || text[i] == QLatin1Char('X'))) {
    hex = true;
    ++i;
  } else if (i + 1 < n && text[i] == QLatin1Char('0') &&
             (text[i + 1] == QLatin1Char('x') || text[i + 1] == QLatin1Char('X'))) {
    hex = true;
    i += 2;
  }
  if (hex) {
    std::uint32_t value = 0;
    if (i >= n)
      return std::nullopt;
    for (; i < n; ++i) {
      const int d = hexDigit(text[i]);
      if (d < 0 || value > 0x0FFFFFFFu)
        return std::nullopt;
      value = value * 16 + static_cast<std::uint32_t>(d);
    }
    return static_cast<std::int32_t>(value);
  }
  bool negative = false;
  if (i < n && (text[i] == QLatin1Char('-') || text[i] == QLatin1Char('+')))
    negative = text[i++] == QLatin1Char('-');
  if (i >= n)
    return std::nullopt;
  std::int64_t value = 0;
  for (; i < n; ++i) {
    const char16_t u = text[i].unicode();
    if (u < '0' || u > '9' || value > 214748364)
      return std::nullopt;
    value = value * 10 + (u - '0');
  }
  if (negative)
    value = -value;
  if (value > std::numeric_limits<std::int32_t>::max() || value < std::numeric_limits<std::int32_t>::min())
    return std::nullopt;
  return static_cast<std::int32_t>(value);
}

std::int32_t ParseInteger(const QString &text) {
  if (const auto value = parseInteger32(text))
    return *value;
  throw EConvertError(QStringLiteral("'%1' is not a valid integer value").arg(text));
}

} // namespace vandro
