#include "SqliteValues.h"

#include "../DateText.h"
#include "../ErrorEntries.h"
#include "../FieldValues.h"

#include <cmath>

namespace vandro::engine {

Value keyValue(sqlite3_stmt *stmt, int column) {
  switch (sqlite3_column_type(stmt, column)) {
  case SQLITE_INTEGER: return Value::integer(sqlite3_column_int64(stmt, column));
  case SQLITE_FLOAT: return Value::real(sqlite3_column_double(stmt, column));
  case SQLITE_NULL: return Value();
  default:
    return Value::text(std::string(reinterpret_cast<const char *>(sqlite3_column_text(stmt, column)),
                                   static_cast<std::size_t>(sqlite3_column_bytes(stmt, column))));
  }
}

Value storedValue(sqlite3_stmt *stmt, int column) {
  if (sqlite3_column_type(stmt, column) == SQLITE_BLOB) {
    const auto *data = static_cast<const std::uint8_t *>(sqlite3_column_blob(stmt, column));
    return Value::bytes(Bytes(data, data + sqlite3_column_bytes(stmt, column)));
  }
  return keyValue(stmt, column);
}

bool columnValue(sqlite3_stmt *stmt, int i, const FieldDescription &field, Value &value) {
  const int type = sqlite3_column_type(stmt, i);
  value = Value();
  if (type == SQLITE_NULL)
    return true;
  if (isIntegerKind(field.kind)) {
    if (type == SQLITE_INTEGER) {
      value = Value::integer(sqlite3_column_int64(stmt, i));
    } else if (type == SQLITE_FLOAT) {
      const double d = sqlite3_column_double(stmt, i);
      if (std::nearbyint(d) != d || std::fabs(d) >= 9.2e18)
        return false;
      value = Value::integer(static_cast<std::int64_t>(d));
    } else {
      return false;
    }
    return inRange(field.kind, value.asInteger());
  }
  if (field.kind == FieldKind::Decimal) {
    if (type != SQLITE_INTEGER && type != SQLITE_FLOAT)
      return false;
    const double d = sqlite3_column_double(stmt, i);
    if (std::fabs(d) >= 9.2e14)
      return false;
    value = type == SQLITE_INTEGER ? Value::integer(sqlite3_column_int64(stmt, i) * 10000)
                                   : Value::integer(std::llround(d * 10000.0));
    return true;
  }
  if (field.kind == FieldKind::Float || field.kind == FieldKind::Money) {
    if (type != SQLITE_INTEGER && type != SQLITE_FLOAT)
      return false;
    value = Value::real(sqlite3_column_double(stmt, i));
    return true;
  }
  if (isDateKind(field.kind)) {
    if (type != SQLITE_TEXT)
      return false;
    const auto days = isoTextToDays(reinterpret_cast<const char *>(sqlite3_column_text(stmt, i)));
    if (!days)
      return false;
    value = Value::real(*days);
    return true;
  }
  if (field.kind == FieldKind::Blob) {
    const auto *data = static_cast<const std::uint8_t *>(sqlite3_column_blob(stmt, i));
    value = Value::bytes(Bytes(data, data + sqlite3_column_bytes(stmt, i)));
    return true;
  }
  // String and memo: numbers that other programs stored read as their text.
  value = Value::text(std::string(reinterpret_cast<const char *>(sqlite3_column_text(stmt, i)),
                                  static_cast<std::size_t>(sqlite3_column_bytes(stmt, i))));
  return true;
}

std::optional<std::string> misfit(sqlite3_stmt *stmt, int i, const FieldDescription &field, const std::string &record) {
  Value value;
  if (!columnValue(stmt, i, field, value)) {
    if (isIntegerKind(field.kind) && sqlite3_column_type(stmt, i) == SQLITE_INTEGER)
      return fieldProblem(field, record,
                          "holds " + std::to_string(sqlite3_column_int64(stmt, i)) + ", beyond what " +
                              field.declaredType + " holds");
    const Value raw = storedValue(stmt, i);
    return fieldProblem(field, record, "holds " + valueText(raw) + ", which is no " + field.declaredType);
  }
  if (const auto problem = storedValueProblem(field, value))
    return fieldProblem(field, record, *problem);
  return std::nullopt;
}

void bindRaw(sqlite3_stmt *stmt, int index, const Value &value) {
  if (value.isNull())
    sqlite3_bind_null(stmt, index);
  else if (value.isInteger())
    sqlite3_bind_int64(stmt, index, value.asInteger());
  else if (value.isReal())
    sqlite3_bind_double(stmt, index, value.asReal());
  else if (value.isText())
    sqlite3_bind_text(stmt, index, value.asText().data(), static_cast<int>(value.asText().size()),
                      SQLITE_STATIC);
  else if (value.asBytes().empty())
    sqlite3_bind_zeroblob(stmt, index, 0); // a null pointer would bind NULL
  else
    sqlite3_bind_blob(stmt, index, value.asBytes().data(), static_cast<int>(value.asBytes().size()),
                      SQLITE_STATIC);
}

void bindField(sqlite3_stmt *stmt, int index, const FieldDescription &field, const Value &value) {
  // A value of another kind was read as stored and goes back so.
  if (value.isNull() || !isOfKind(field, value)) {
    bindRaw(stmt, index, value);
  } else if (field.kind == FieldKind::Decimal) {
    const std::int64_t units = value.asInteger();
    if (units % 10000 == 0)
      sqlite3_bind_int64(stmt, index, units / 10000);
    else
      sqlite3_bind_double(stmt, index, static_cast<double>(units) / 10000.0);
  } else if (field.kind == FieldKind::Float || field.kind == FieldKind::Money) {
    sqlite3_bind_double(stmt, index, value.isInteger() ? static_cast<double>(value.asInteger()) : value.asReal());
  } else if (isDateKind(field.kind)) {
    const double days = value.isReal() ? value.asReal() : static_cast<double>(value.asInteger());
    const std::string text = daysToIsoText(days, field.kind);
    sqlite3_bind_text(stmt, index, text.c_str(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
  } else if (field.kind == FieldKind::Blob && value.isText()) {
    sqlite3_bind_blob(stmt, index, value.asText().data(), static_cast<int>(value.asText().size()), SQLITE_STATIC);
  } else {
    bindRaw(stmt, index, value);
  }
}

void rowToRecord(sqlite3_stmt *stmt, const TableDescription &description, std::size_t keyColumns, Record &out) {
  const int fields = static_cast<int>(description.fields.size());
  out.values.assign(static_cast<std::size_t>(fields), Value());
  out.bookmark.clear();
  for (std::size_t k = 0; k < keyColumns; ++k)
    out.bookmark.push_back(keyValue(stmt, fields + static_cast<int>(k)));
  for (int i = 0; i < fields; ++i) {
    // A value of another kind, or out of the field's range, reads as it is
    // stored: the record is shown, and check names the value.
    const FieldDescription &field = description.fields[static_cast<std::size_t>(i)];
    if (!columnValue(stmt, i, field, out.values[static_cast<std::size_t>(i)]))
      out.values[static_cast<std::size_t>(i)] = storedValue(stmt, i);
  }
}

} // namespace vandro::engine
