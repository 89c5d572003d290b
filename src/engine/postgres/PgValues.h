// Values of a PostgreSQL table as the engine holds them, and the server's
// types as the engine's field kinds.
#pragma once

#include "../Schema.h"
#include "../Value.h"
#include "PgConnection.h"

#include <optional>
#include <string>

namespace vandro::engine {

// The kind (and size) of a column of server type `typeName` (pg_type's
// typname) with modifier `typeModifier`; nothing for a type the engine
// cannot describe (bigint among them: no field kind holds all its values).
std::optional<KindAndSize> kindFromPgType(const std::string &typeName, int typeModifier, bool identity);
// The server type that makes a column of `kind`.
std::string pgTypeFor(FieldKind kind, int size);

// The engine's value for the server's text of a `field` value; nothing when
// it does not fit the field's kind.
std::optional<Value> valueFromPgText(const FieldDescription &field, std::string text);
// The text the server takes for `value` of `field` (checked before).
std::string pgTextFromValue(const FieldDescription &field, const Value &value);

// For the engine's own statements (Cursor::execute): the text of a
// parameter (bytes as bytea's hexadecimal text; empty for a null), the
// statement with each "?" outside quotes numbered "$1", "$2", ..., and the
// value of a column of a result by the column's type (integers, reals,
// bytes, texts, nulls).
std::string pgParameterText(const Value &value);
std::string numberedParameters(const std::string &sql);
Value valueOfPgColumn(const PgResult &result, int row, int column);

} // namespace vandro::engine
