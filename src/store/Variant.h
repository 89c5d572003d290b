// A general value: what a field gives when read as a value.
#pragma once

#include <QString>
#include <cstdint>

namespace vandro::store {

class Variant {
public:
  // Empty is a value of no kind at all (never assigned); no field read
  // gives one. The order of the others is their rank.
  enum class Kind { Empty = 0, Null = 1, Integer = 2, Float = 3, Money = 4, Text = 5, Boolean = 6, DateTime = 7 };

  Variant() = default; // empty
  static Variant null() { return Variant(Kind::Null); }
  static Variant integer(std::int32_t v) { Variant x(Kind::Integer); x.m_integer = v; return x; }
  static Variant floating(double v) { Variant x(Kind::Float); x.m_float = v; return x; }
  // A count of ten-thousandths.
  static Variant money(std::int64_t units) { Variant x(Kind::Money); x.m_integer = units; return x; }
  static Variant text(QString v) { Variant x(Kind::Text); x.m_text = std::move(v); return x; }
  static Variant boolean(bool v) { Variant x(Kind::Boolean); x.m_integer = v ? 1 : 0; return x; }
  // Days since 1899-12-30, the fraction being the time of day.
  static Variant dateTime(double days) { Variant x(Kind::DateTime); x.m_float = days; return x; }

  Kind kind() const { return m_kind; }
  bool isNull() const { return m_kind == Kind::Null; }
  bool isEmpty() const { return m_kind == Kind::Empty; }
  int rank() const { return static_cast<int>(m_kind); }

  std::int32_t asInteger() const { return static_cast<std::int32_t>(m_integer); }
  double asFloat() const { return m_float; }
  std::int64_t moneyUnits() const { return m_integer; }
  const QString &asText() const { return m_text; }
  bool asBoolean() const { return m_integer != 0; }
  double asDateTime() const { return m_float; }

private:
  explicit Variant(Kind kind) : m_kind(kind) {}
  Kind m_kind = Kind::Empty;
  std::int64_t m_integer = 0;
  double m_float = 0;
  QString m_text;
};

} // namespace vandro::store
