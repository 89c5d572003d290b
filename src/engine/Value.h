// A stored value of one field, as the engine hands it over.
#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace vandro::engine {

using Bytes = std::vector<std::uint8_t>;

// What one field of a record holds. The field's kind (Schema.h) says which
// alternative is used:
//  - integer kinds, boolean (0 or 1) and decimal (a count of ten-thousandths):
//    Integer;
//  - floating point, money, date, time and date-time (days since 1899-12-30,
//    the fraction being the time of day): Float;
//  - string and memo (UTF-8): Text;
//  - blob: Bytes.
class Value {
public:
  Value() = default;
  static Value integer(std::int64_t v) { return Value(Storage(v)); }
  static Value real(double v) { return Value(Storage(v)); }
  static Value text(std::string v) { return Value(Storage(std::move(v))); }
  static Value bytes(Bytes v) { return Value(Storage(std::move(v))); }

  bool isNull() const { return std::holds_alternative<std::monostate>(m_value); }
  bool isInteger() const { return std::holds_alternative<std::int64_t>(m_value); }
  bool isReal() const { return std::holds_alternative<double>(m_value); }
  bool isText() const { return std::holds_alternative<std::string>(m_value); }
  bool isBytes() const { return std::holds_alternative<Bytes>(m_value); }

  // The content; only valid for the alternative that the value holds.
  std::int64_t asInteger() const { return std::get<std::int64_t>(m_value); }
  double asReal() const { return std::get<double>(m_value); }
  const std::string &asText() const { return std::get<std::string>(m_value); }
  const Bytes &asBytes() const { return std::get<Bytes>(m_value); }

  friend bool operator==(const Value &, const Value &) = default;

private:
  using Storage = std::variant<std::monostate, std::int64_t, double, std::string, Bytes>;
  explicit Value(Storage v) : m_value(std::move(v)) {}
  Storage m_value;
};

} // namespace vandro::engine
