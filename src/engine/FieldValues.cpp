#include "FieldValues.h"

#include "ErrorEntries.h"
#include "MessageText.h"
#include "Quoted.h"
#include "Utf8.h"

#include <cstdio>
#include <limits>

namespace vandro::engine {

bool isIntegerKind(FieldKind kind) {
  return kind == FieldKind::Integer || kind == FieldKind::AutoInc || kind == FieldKind::Smallint ||
         kind == FieldKind::Word || kind == FieldKind::Boolean;
}

bool isDateKind(FieldKind kind) {
  return kind == FieldKind::Date || kind == FieldKind::Time || kind == FieldKind::DateTime;
}

bool inRange(FieldKind kind, std::int64_t v) {
  switch (kind) {
  case FieldKind::Integer:
  case FieldKind::AutoInc:
    return v >= std::numeric_limits<std::int32_t>::min() && v <= std::numeric_limits<std::int32_t>::max();
  case FieldKind::Smallint: return v >= -32768 && v <= 32767;
  case FieldKind::Word: return v >= 0 && v <= 65535;
  case FieldKind::Boolean: return v == 0 || v == 1;
  default: return true;
  }
}

std::string valueText(const Value &value) {
  if (value.isNull())
    return "null";
  if (value.isInteger())
    return std::to_string(value.asInteger());
  if (value.isReal()) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.15g", value.asReal());
    return buffer;
  }
  if (value.isText())
    return shownText(value.asText());
  std::string size = "(";
  return size.append(std::to_string(value.asBytes().size())).append(" bytes)");
}

std::string rawText(const Value &value) {
  if (value.isNull())
    return {};
  if (value.isText())
    return value.asText();
  const std::string text = valueText(value);
  return text;
}

bool fitsField(const FieldDescription &field, const Value &value) {
  return isOfKind(field.kind, value) &&
         (!isIntegerKind(field.kind) || value.isNull() || inRange(field.kind, value.asInteger()));
}

bool isOfKind(FieldKind kind, const Value &value) {
  if (value.isNull())
    return true;
  if (isIntegerKind(kind) || kind == FieldKind::Decimal)
    return value.isInteger();
  if (kind == FieldKind::Float || kind == FieldKind::Money || isDateKind(kind))
    return value.isReal() || value.isInteger();
  if (kind == FieldKind::Blob)
    return value.isBytes() || value.isText();
  return value.isText();
}

Result checkFieldValue(const FieldDescription &field, const Value &value, const std::string &location) {
  auto doesNotFit = [&](Result result, const std::string &why) {
    return ErrorEntries::fail(result, {{result, 0, location}, {result, 0, "Field " + field.name + ": " + why}});
  };
  if (value.isNull())
    return code::Ok;
  if (isIntegerKind(field.kind)) {
    if (!value.isInteger() || !inRange(field.kind, value.asInteger()))
      return doesNotFit(code::ValueDoesNotFit, valueText(value) + " is no " + field.declaredType);
  } else if (field.kind == FieldKind::Decimal) {
    if (!value.isInteger())
      return doesNotFit(code::ValueDoesNotFit, valueText(value) + " is no " + field.declaredType);
  } else if (field.kind == FieldKind::Float || field.kind == FieldKind::Money) {
    if (!value.isInteger() && !value.isReal())
      return doesNotFit(code::ValueDoesNotFit, valueText(value) + " is no number");
  } else if (isDateKind(field.kind)) {
    if (!value.isReal() && !value.isInteger())
      return doesNotFit(code::ValueDoesNotFit, valueText(value) + " is no date or time");
  } else if (field.kind == FieldKind::Blob) {
    if (!value.isBytes() && !value.isText())
      return doesNotFit(code::ValueDoesNotFit, "a blob takes bytes");
  } else { // String, Memo
    if (!value.isText())
      return doesNotFit(code::ValueDoesNotFit, valueText(value) + " is no text");
    if (!isValidUtf8(value.asText()))
      return doesNotFit(code::ValueDoesNotFit, "the text is not valid UTF-8");
    if (field.kind == FieldKind::String && utf8Length(value.asText()) > static_cast<std::size_t>(field.size))
      return doesNotFit(code::ValueTooLong, std::to_string(utf8Length(value.asText())) + " characters, at most " +
                                                std::to_string(field.size) + " allowed");
  }
  return code::Ok;
}

std::optional<std::string> storedValueProblem(const FieldDescription &field, const Value &value) {
  if (!value.isText())
    return std::nullopt;
  if (!isValidUtf8(value.asText()))
    return "holds text that is not valid UTF-8";
  if (field.kind == FieldKind::String && utf8Length(value.asText()) > static_cast<std::size_t>(field.size))
    return "holds " + std::to_string(utf8Length(value.asText())) + " characters, more than its " +
           std::to_string(field.size);
  return std::nullopt;
}

std::string notAValueOf(const FieldDescription &field, const std::string &stored) {
  return "holds " + shownText(stored) + ", which is no " + field.declaredType;
}

std::string fieldProblem(const FieldDescription &field, const std::string &record, const std::string &problem) {
  return "Field " + field.name + (record.empty() ? "" : " of record " + record) + " " + problem;
}

} // namespace vandro::engine
