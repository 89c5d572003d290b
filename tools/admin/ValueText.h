// Field values as the text of a CSV file, independent of the user's locale.
#pragma once

#include "engine/Outcome.h"
#include "engine/Schema.h"
#include "engine/Value.h"

#include <optional>
#include <string>
#include <string_view>

namespace vandro::admin {

// The text for `value` of a field of `kind`: integers in decimal, numbers in
// the shortest form that reads back exactly ("." as decimal point), decimals
// with up to four decimals, booleans as "true"/"false", dates and times in
// ISO 8601, blobs as "\x" and hexadecimal digits. Not for null values.
std::string valueToText(const engine::Value &value, engine::FieldKind kind);

// The value for `text` in a field of `kind`, the inverse of valueToText;
// or what is wrong with the text.
Outcome<engine::Value> textToValue(std::string_view text, engine::FieldKind kind);

} // namespace vandro::admin
