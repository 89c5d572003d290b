#include "ValueRules.h"

#include "TextConversions.h"
#include "shell/Exception.h"

#include <QLocale>
#include <cmath>
#include <limits>

namespace vandro::store {

using Kind = Variant::Kind;

namespace {

[[noreturn]] void conversionFailure() {
  throw EVariantError(QStringLiteral("Invalid variant type conversion"));
}

[[noreturn]] void operationFailure() { throw EVariantError(QStringLiteral("Invalid variant operation")); }

// The platform's text-to-number conversion in the user's locale: its
// decimal separator and digit grouping, blanks around the number allowed.
double numberFromText(const QString &text) {
  bool ok = false;
  const double value = QLocale().toDouble(text.trimmed(), &ok);
  if (!ok)
    conversionFailure();
  return value;
}

// Text to truth: "True"/"False" in any case, or a number (non-zero true).
bool booleanFromText(const QString &text) {
  const QString trimmed = text.trimmed();
  if (trimmed.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
    return true;
  if (trimmed.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0)
    return false;
  return numberFromText(trimmed) != 0;
}

double toNumber(const Variant &v) {
  switch (v.kind()) {
  case Kind::Integer: return v.asInteger();
  case Kind::Float: return v.asFloat();
  case Kind::Money: return static_cast<double>(v.moneyUnits()) / 10000.0;
  case Kind::Text: return numberFromText(v.asText());
  case Kind::Boolean: return v.asBoolean() ? -1 : 0;
  case Kind::DateTime: return v.asDateTime();
  default: conversionFailure();
  }
}

std::int64_t unitsFromNumber(double value) {
  const double units = roundHalfEven(value * 10000.0);
  if (!std::isfinite(units) || std::fabs(units) >= 9.2e18)
    conversionFailure();
  return static_cast<std::int64_t>(units);
}

std::int64_t toMoney(const Variant &v) {
  switch (v.kind()) {
  case Kind::Integer: return static_cast<std::int64_t>(v.asInteger()) * 10000;
  case Kind::Money: return v.moneyUnits();
  case Kind::Boolean: return v.asBoolean() ? -10000 : 0;
  case Kind::Float:
  case Kind::Text:
  case Kind::DateTime: return unitsFromNumber(toNumber(v));
  default: conversionFailure();
  }
}

bool toBoolean(const Variant &v) {
  switch (v.kind()) {
  case Kind::Boolean: return v.asBoolean();
  case Kind::Text: return booleanFromText(v.asText());
  case Kind::Integer:
  case Kind::Float:
  case Kind::Money:
  case Kind::DateTime: return toNumber(v) != 0;
  default: conversionFailure();
  }
}

// The low 32 bits of a number rounded halves to even.
std::int32_t lowBits(double value) {
  const double rounded = roundHalfEven(value);
  if (std::isnan(rounded) || std::fabs(rounded) >= 9223372036854775808.0)
    throw EInvalidOp(QStringLiteral("Invalid floating point operation"));
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::int64_t>(rounded)));
}

enum class Comparison { Integers, Numbers, Money, Texts, Booleans };

// How each pair of non-null kinds compares: rows the left kind, columns the
// right, in the order integer, float, money, text, boolean, date-time.
constexpr Comparison kComparisons[6][6] = {
    {Comparison::Integers, Comparison::Numbers, Comparison::Money, Comparison::Numbers, Comparison::Integers, Comparison::Numbers},
    {Comparison::Numbers, Comparison::Numbers, Comparison::Money, Comparison::Numbers, Comparison::Numbers, Comparison::Numbers},
    {Comparison::Money, Comparison::Money, Comparison::Money, Comparison::Money, Comparison::Money, Comparison::Numbers},
    {Comparison::Numbers, Comparison::Numbers, Comparison::Money, Comparison::Texts, Comparison::Booleans, Comparison::Numbers},
    {Comparison::Integers, Comparison::Numbers, Comparison::Money, Comparison::Booleans, Comparison::Booleans, Comparison::Numbers},
    {Comparison::Numbers, Comparison::Numbers, Comparison::Numbers, Comparison::Numbers, Comparison::Numbers, Comparison::Numbers},
};

// The kind of left − right for each pair of non-null kinds, same order.
constexpr Kind kDifferences[6][6] = {
    {Kind::Integer, Kind::Float, Kind::Money, Kind::Float, Kind::Integer, Kind::Float},
    {Kind::Float, Kind::Float, Kind::Money, Kind::Float, Kind::Float, Kind::Float},
    {Kind::Money, Kind::Money, Kind::Money, Kind::Money, Kind::Money, Kind::Float},
    {Kind::Float, Kind::Float, Kind::Money, Kind::Float, Kind::Float, Kind::Float},
    {Kind::Integer, Kind::Float, Kind::Money, Kind::Float, Kind::Float, Kind::Float},
    {Kind::Float, Kind::Float, Kind::Float, Kind::Float, Kind::Float, Kind::DateTime},
};

int tableIndex(const Variant &v) { return static_cast<int>(v.kind()) - static_cast<int>(Kind::Integer); }

} // namespace

std::int32_t ValueToInteger(const Variant &value) {
  switch (value.kind()) {
  case Kind::Integer: return value.asInteger();
  case Kind::Float: return lowBits(value.asFloat());
  case Kind::Money: {
    // Exactly, from the count of ten-thousandths.
    std::int64_t whole = value.moneyUnits() / 10000;
    const std::int64_t rest = value.moneyUnits() % 10000;
    if (rest > 5000 || (rest == 5000 && whole % 2 != 0))
      ++whole;
    else if (rest < -5000 || (rest == -5000 && whole % 2 != 0))
      --whole;
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(whole));
  }
  case Kind::Boolean: return value.asBoolean() ? -1 : 0;
  case Kind::Text:
  case Kind::DateTime: {
    // The platform's conversion to a 32-bit integer: rounded, in range.
    const double number = roundHalfEven(toNumber(value));
    if (!(number >= std::numeric_limits<std::int32_t>::min() && number <= std::numeric_limits<std::int32_t>::max()))
      conversionFailure();
    return static_cast<std::int32_t>(number);
  }
  default: conversionFailure();
  }
}

bool ValuesEqual(const Variant &left, const Variant &right) {
  if (left.isEmpty() || right.isEmpty())
    operationFailure();
  if (left.isNull() || right.isNull())
    return left.rank() == right.rank();
  switch (kComparisons[tableIndex(left)][tableIndex(right)]) {
  case Comparison::Integers: return ValueToInteger(left) == ValueToInteger(right);
  case Comparison::Numbers: return toNumber(left) == toNumber(right);
  case Comparison::Money: return toMoney(left) == toMoney(right);
  case Comparison::Texts: return left.asText().toUtf8() == right.asText().toUtf8();
  case Comparison::Booleans: return toBoolean(left) == toBoolean(right);
  }
  return false;
}

Variant SubtractValues(const Variant &left, const Variant &right) {
  if (left.isEmpty() || right.isEmpty())
    operationFailure();
  if (left.isNull() || right.isNull())
    return Variant::null();
  switch (kDifferences[tableIndex(left)][tableIndex(right)]) {
  case Kind::Integer: {
    const std::int64_t difference =
        static_cast<std::int64_t>(ValueToInteger(left)) - static_cast<std::int64_t>(ValueToInteger(right));
    if (difference >= std::numeric_limits<std::int32_t>::min() &&
        difference <= std::numeric_limits<std::int32_t>::max())
      return Variant::integer(static_cast<std::int32_t>(difference));
    return Variant::floating(toNumber(left) - toNumber(right));
  }
  case Kind::Money: {
    // Exactly, in ten-thousandths; a difference beyond 64 bits is no money
    // value at all (the same failure as a number too large for an integer).
    std::int64_t units = 0;
    if (__builtin_sub_overflow(toMoney(left), toMoney(right), &units))
      throw EInvalidOp(QStringLiteral("Invalid floating point operation"));
    return Variant::money(units);
  }
  case Kind::DateTime: return Variant::dateTime(left.asDateTime() - right.asDateTime());
  default: return Variant::floating(toNumber(left) - toNumber(right));
  }
}

} // namespace vandro::store
