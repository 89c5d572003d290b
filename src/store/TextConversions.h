// Numbers and dates as text, in the user's regional formats.
#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>
#include <cstdint>
#include <optional>

namespace vandro::store {

// The user's regional formats as they are now (they follow a change of the
// platform's settings), without digit grouping.
QLocale userLocale();

// A floating-point text: blanks, sign, digits with at most one of the
// locale's decimal separators, an optional exponent, blanks. Nothing when
// invalid or out of range.
std::optional<double> parseFloat(const QString &text, const QLocale &locale);

// The general format: at most 15 significant digits, the locale's decimal
// separator, exponent form only for very large or small numbers.
QString generalText(double value, const QLocale &locale);
// A money amount (a count of ten-thousandths) in the general format.
QString moneyUnitsText(std::int64_t units, const QLocale &locale);
// Rounds to a whole count of ten-thousandths, halves to even.
std::int64_t moneyUnitsFrom(double value);
// Rounds to the nearest integer, halves to even.
double roundHalfEven(double value);

// Days since 1899-12-30 and back.
QDateTime dateTimeFromDays(double days);
double daysFromDateTime(const QDateTime &dateTime);

} // namespace vandro::store
