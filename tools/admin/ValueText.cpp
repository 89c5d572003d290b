#include "ValueText.h"

#include "engine/DateText.h"
#include "engine/FieldValues.h"
#include "engine/MessageText.h"
#include "engine/Quoted.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

namespace vandro::admin {

using engine::FieldKind;
using engine::Value;

namespace {

// The integer kinds, booleans aside.
bool isWholeNumberKind(FieldKind kind) {
  return kind == FieldKind::Integer || kind == FieldKind::AutoInc ||
         kind == FieldKind::Smallint || kind == FieldKind::Word;
}

std::string decimalText(std::int64_t units) {
  const bool negative = units < 0;
  const std::uint64_t magnitude =
      negative ? 0 - static_cast<std::uint64_t>(units) : static_cast<std::uint64_t>(units);
  std::string text = std::to_string(magnitude / 10000);
  std::uint64_t fraction = magnitude % 10000;
  if (fraction != 0) {
    char digits[8];
    std::snprintf(digits, sizeof digits, "%04llu", static_cast<unsigned long long>(fraction));
    std::string f = digits;
    while (f.back() == '0')
      f.pop_back();
    text += "." + f;
  }
  return negative ? "-" + text : text;
}

// "12", "-3.5", "0.0001": at most four decimals, exactly.
std::optional<std::int64_t> parseDecimal(std::string_view text) {
  std::size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+'))
    negative = text[i++] == '-';
  std::int64_t whole = 0;
  std::size_t digits = 0;
  // The engine keeps decimals below 9.2e14, so that the count of
  // ten-thousandths fits 64 bits with room to spare.
  constexpr std::int64_t kLargestWhole = 919999999999999;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
    whole = whole * 10 + (text[i++] - '0');
    if (whole > kLargestWhole)
      return std::nullopt;
    ++digits;
  }
  std::int64_t fraction = 0;
  int places = 0;
  if (i < text.size() && text[i] == '.') {
    ++i;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
      if (++places > 4)
        return std::nullopt;
      fraction = fraction * 10 + (text[i++] - '0');
      ++digits;
    }
  }
  if (digits == 0 || i != text.size())
    return std::nullopt;
  while (places++ < 4)
    fraction *= 10;
  const std::int64_t units = whole * 10000 + fraction;
  return negative ? -units : units;
}

} // namespace

std::string valueToText(const Value &value, FieldKind kind) {
  // A value of another kind than the field's, as another program stored it.
  if (!engine::isOfKind(kind, value) && !value.isBytes())
    return engine::rawText(value);
  if (kind == FieldKind::Boolean)
    return value.asInteger() ? "true" : "false";
  if (kind == FieldKind::Decimal)
    return decimalText(value.asInteger());
  if (kind == FieldKind::Date || kind == FieldKind::Time || kind == FieldKind::DateTime)
    return engine::daysToIsoText(value.asReal(), kind);
  if (value.isInteger())
    return std::to_string(value.asInteger());
  if (value.isReal()) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value.asReal());
    return std::string(buffer, result.ptr);
  }
  if (value.isText())
    return value.asText();
  static const char hex[] = "0123456789abcdef";
  std::string text = "\\x";
  for (std::uint8_t byte : value.asBytes()) {
    text += hex[byte >> 4];
    text += hex[byte & 15];
  }
  return text;
}

namespace {

// ""text" reason", the text cut and escaped.
std::string quotedWhy(std::string_view text, std::string_view reason) {
  return engine::shownText(text).append(" ").append(reason);
}

} // namespace

Outcome<Value> textToValue(std::string_view text, FieldKind kind) {
  if (isWholeNumberKind(kind)) {
    std::int64_t v = 0;
    const char *first = text.data() + (!text.empty() && text[0] == '+' ? 1 : 0);
    const auto [ptr, ec] = std::from_chars(first, text.data() + text.size(), v);
    if (ec != std::errc() || ptr != text.data() + text.size() || first == text.data() + text.size()) {
      return Failure{quotedWhy(text, "is not an integer")};
    }
    std::int64_t low = std::numeric_limits<std::int32_t>::min();
    std::int64_t high = std::numeric_limits<std::int32_t>::max();
    if (kind == FieldKind::Smallint)
      low = -32768, high = 32767;
    else if (kind == FieldKind::Word)
      low = 0, high = 65535;
    if (v < low || v > high) {
      return Failure{std::string(text) + " lies outside " + std::to_string(low) + " to " + std::to_string(high)};
    }
    return Value::integer(v);
  }
  switch (kind) {
  case FieldKind::Boolean:
    if (text == "true" || text == "1")
      return Value::integer(1);
    if (text == "false" || text == "0")
      return Value::integer(0);
    return Failure{quotedWhy(text, "is not true or false")};
  case FieldKind::Decimal:
    if (auto units = parseDecimal(text))
      return Value::integer(*units);
    return Failure{quotedWhy(text, "is not a number below 9.2e14 with at most four decimals")};
  case FieldKind::Float:
  case FieldKind::Money: {
    double v = 0;
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || ptr != text.data() + text.size() || text.empty() || !std::isfinite(v)) {
      return Failure{quotedWhy(text, "is not a number")};
    }
    return Value::real(v);
  }
  case FieldKind::Date:
  case FieldKind::Time:
  case FieldKind::DateTime:
    if (auto days = engine::isoTextToDays(text))
      return Value::real(*days);
    return Failure{quotedWhy(text, "is not an ISO 8601 date or time")};
  case FieldKind::Blob: {
    if (text.substr(0, 2) != "\\x")
      return Value::bytes(engine::Bytes(text.begin(), text.end()));
    engine::Bytes bytes;
    auto nibble = [](char c) {
      return c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                          : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
    };
    for (std::size_t i = 2; i < text.size(); i += 2) {
      if (i + 1 >= text.size() || nibble(text[i]) < 0 || nibble(text[i + 1]) < 0) {
        return Failure{"'\\x' must be followed by pairs of hexadecimal digits"};
      }
      bytes.push_back(static_cast<std::uint8_t>(nibble(text[i]) * 16 + nibble(text[i + 1])));
    }
    return Value::bytes(std::move(bytes));
  }
  default:
    break;
  }
  return Value::text(std::string(text));
}

} // namespace vandro::admin
