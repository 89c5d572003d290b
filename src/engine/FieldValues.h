// The rules every driver applies to field values: which values a field of
// a kind may hold, and how a value reads in messages.
#pragma once

#include "Result.h"
#include "Schema.h"
#include "Value.h"

#include <cstdint>
#include <optional>
#include <string>

namespace vandro::engine {

bool isIntegerKind(FieldKind kind);
bool isDateKind(FieldKind kind);
// Whether `v` lies in the range of an integer kind (any value for others).
bool inRange(FieldKind kind, std::int64_t v);

// A value as messages show it: null, a number, "text" (cut and escaped by
// shownText), (n bytes).
std::string valueText(const Value &value);
// A value as a box shows one of another kind than its field's: a number,
// the text itself, (n bytes); empty for null.
std::string rawText(const Value &value);
// Whether `value` is of the alternative `field`'s kind reads into (Value's
// comment), whatever its range: a value another program stored may be of
// another, and reads as stored.
bool isOfKind(FieldKind kind, const Value &value);
// Whether `value` is one `field` may hold: of its kind, and in its range.
bool fitsField(const FieldDescription &field, const Value &value);
inline bool isOfKind(const FieldDescription &field, const Value &value) { return isOfKind(field.kind, value); }

// Whether `value` may be stored in `field`: Ok, else ValueDoesNotFit (a
// value of another kind, a number out of range, text that is no UTF-8) or
// ValueTooLong (more characters than the field holds), with entries naming
// `location` and the field.
[[nodiscard]] Result checkFieldValue(const FieldDescription &field, const Value &value, const std::string &location);

// What is wrong with a value read from storage for `field` (text that is no
// UTF-8, or longer than the field), or nothing when it fits.
std::optional<std::string> storedValueProblem(const FieldDescription &field, const Value &value);
// The problem of a stored text that reads as no value of `field`:
// "holds "text", which is no TYPE" (the text cut and escaped).
std::string notAValueOf(const FieldDescription &field, const std::string &stored);
// "Field NAME of record R PROBLEM" for messages ("Field NAME PROBLEM"
// when the record is not known).
std::string fieldProblem(const FieldDescription &field, const std::string &record, const std::string &problem);

} // namespace vandro::engine
