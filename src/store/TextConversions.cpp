#include "TextConversions.h"

#include <cmath>
#include <limits>

namespace vandro::store {

namespace {
const QDateTime kEpoch(QDate(1899, 12, 30), QTime(0, 0), Qt::UTC);
}

QLocale userLocale() {
  QLocale locale; // the default locale, which follows the system's
  locale.setNumberOptions(QLocale::OmitGroupSeparator);
  return locale;
}

std::optional<double> parseFloat(const QString &text, const QLocale &locale) {
  const QString decimal = locale.decimalPoint();
  qsizetype i = 0;
  const qsizetype n = text.size();
  while (i < n && text[i] == QLatin1Char(' '))
    ++i;
  // Rebuilt in the C form for strtod, so that the check and the conversion
  // agree.
  std::string plain;
  if (i < n && (text[i] == QLatin1Char('-') || text[i] == QLatin1Char('+')))
    plain += static_cast<char>(text[i++].unicode());
  int digits = 0;
  bool separator = false;
  while (i < n) {
    const char16_t u = text[i].unicode();
    if (u >= '0' && u <= '9') {
      plain += static_cast<char>(u);
      ++digits;
      ++i;
    } else if (!separator && text.mid(i, decimal.size()) == decimal) {
      plain += '.';
      separator = true;
      i += decimal.size();
    } else {
      break;
    }
  }
  if (digits == 0)
    return std::nullopt;
  if (i < n && (text[i] == QLatin1Char('e') || text[i] == QLatin1Char('E'))) {
    plain += 'e';
    ++i;
    if (i < n && (text[i] == QLatin1Char('-') || text[i] == QLatin1Char('+')))
      plain += static_cast<char>(text[i++].unicode());
    int exponentDigits = 0;
    while (i < n && text[i] >= QLatin1Char('0') && text[i] <= QLatin1Char('9')) {
      plain += static_cast<char>(text[i++].unicode());
      ++exponentDigits;
    }
    if (exponentDigits == 0)
      return std::nullopt;
  }
  while (i < n && text[i] == QLatin1Char(' '))
    ++i;
  if (i != n)
    return std::nullopt;
  const double value = std::strtod(plain.c_str(), nullptr);
  if (!std::isfinite(value))
    return std::nullopt;
  return value;
}

QString generalText(double value, const QLocale &locale) { return locale.toString(value, 'g', 15); }

QString moneyUnitsText(std::int64_t units, const QLocale &locale) {
  const bool negative = units < 0;
  const std::uint64_t magnitude =
      negative ? 0 - static_cast<std::uint64_t>(units) : static_cast<std::uint64_t>(units);
  QString text = QString::number(magnitude / 10000);
  std::uint64_t fraction = magnitude % 10000;
  if (fraction) {
    QString f = QStringLiteral("%1").arg(fraction, 4, 10, QLatin1Char('0'));
    while (f.endsWith(QLatin1Char('0')))
      f.chop(1);
    text += locale.decimalPoint() + f;
  }
  return negative ? locale.negativeSign() + text : text;
}

double roundHalfEven(double value) { return std::nearbyint(value); }

std::int64_t moneyUnitsFrom(double value) {
  return static_cast<std::int64_t>(roundHalfEven(value * 10000.0));
}

QDateTime dateTimeFromDays(double days) {
  return kEpoch.addMSecs(static_cast<qint64>(std::llround(days * 86400000.0)));
}

double daysFromDateTime(const QDateTime &dateTime) {
  // Wall-clock date and time, whatever the time zone: days carry no zone.
  const QDateTime wall(dateTime.date(), dateTime.time(), Qt::UTC);
  return static_cast<double>(kEpoch.msecsTo(wall)) / 86400000.0;
}

} // namespace vandro::store
