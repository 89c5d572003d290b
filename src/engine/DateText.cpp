#include "DateText.h"

#include <cmath>
#include <cstdio>

namespace vandro::engine {

namespace {

// Days from 1970-01-01 for a proleptic Gregorian date (H. Hinnant's algorithm).
long long daysFromCivil(long long y, unsigned m, unsigned d) {
  y -= m <= 2;
  const long long era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<long long>(doe) - 719468;
}

void civilFromDays(long long z, long long &y, unsigned &m, unsigned &d) {
  z += 719468;
  const long long era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  y = static_cast<long long>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = doy - (153 * mp + 2) / 5 + 1;
  m = mp + (mp < 10 ? 3 : -9);
  y += m <= 2;
}

constexpr long long kEpochOffset = 25569; // days from 1899-12-30 to 1970-01-01

bool digits(std::string_view text, std::size_t pos, std::size_t count, int &out) {
  if (pos + count > text.size())
    return false;
  out = 0;
  for (std::size_t i = pos; i < pos + count; ++i) {
    if (text[i] < '0' || text[i] > '9')
      return false;
    out = out * 10 + (text[i] - '0');
  }
  return true;
}

// Parses "HH:MM[:SS[.mmm]]" at the start of `text`; the fraction of a day.
std::optional<double> parseTime(std::string_view text) {
  int h = 0, mi = 0, s = 0, ms = 0;
  if (!digits(text, 0, 2, h) || text.size() < 5 || text[2] != ':' || !digits(text, 3, 2, mi))
    return std::nullopt;
  std::size_t pos = 5;
  if (pos < text.size()) {
    if (text[pos] != ':' || !digits(text, pos + 1, 2, s))
      return std::nullopt;
    pos += 3;
    if (pos < text.size()) {
      if (text[pos] != '.' || text.size() == pos + 1)
        return std::nullopt;
      // Milliseconds: up to three digits count, more are ignored.
      int scale = 100;
      for (std::size_t i = pos + 1; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9')
          return std::nullopt;
        ms += (text[i] - '0') * scale;
        scale /= 10;
      }
    }
  }
  if (h > 23 || mi > 59 || s > 59)
    return std::nullopt;
  return ((h * 60.0 + mi) * 60.0 + s + ms / 1000.0) / 86400.0;
}

} // namespace

std::string daysToIsoText(double days, FieldKind kind) {
  // Round to whole milliseconds first so that 23:59:59.9996 does not print
  // as a time of 24:00.
  const long long totalMs = std::llround(days * 86400000.0);
  long long dayPart = totalMs / 86400000;
  long long msPart = totalMs % 86400000;
  if (msPart < 0) {
    msPart += 86400000;
    --dayPart;
  }
  char buffer[64];
  long long y;
  unsigned m, d;
  civilFromDays(dayPart - kEpochOffset, y, m, d);
  const int h = static_cast<int>(msPart / 3600000);
  const int mi = static_cast<int>(msPart / 60000 % 60);
  const int s = static_cast<int>(msPart / 1000 % 60);
  const int ms = static_cast<int>(msPart % 1000);
  switch (kind) {
  case FieldKind::Date:
    std::snprintf(buffer, sizeof buffer, "%04lld-%02u-%02u", y, m, d);
    break;
  case FieldKind::Time:
    std::snprintf(buffer, sizeof buffer, "%02d:%02d:%02d.%03d", h, mi, s, ms);
    break;
  default:
    std::snprintf(buffer, sizeof buffer, "%04lld-%02u-%02u %02d:%02d:%02d.%03d", y, m, d, h, mi, s,
                  ms);
    break;
  }
  return buffer;
}

std::optional<double> isoTextToDays(std::string_view text) {
  int y = 0, m = 0, d = 0;
  if (text.size() >= 10 && text[4] == '-' && text[7] == '-' && digits(text, 0, 4, y) &&
      digits(text, 5, 2, m) && digits(text, 8, 2, d)) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    if (m < 1 || m > 12 || d < 1 || d > kDays[m - 1] + (m == 2 && leap ? 1 : 0))
      return std::nullopt;
    const double date = static_cast<double>(daysFromCivil(y, static_cast<unsigned>(m),
                                                          static_cast<unsigned>(d)) +
                                            kEpochOffset);
    if (text.size() == 10)
      return date;
    if (text[10] != ' ' && text[10] != 'T')
      return std::nullopt;
    const auto time = parseTime(text.substr(11));
    if (!time)
      return std::nullopt;
    return date + *time;
  }
  return parseTime(text);
}

} // namespace vandro::engine
