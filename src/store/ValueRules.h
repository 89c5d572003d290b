// Equality, subtraction and conversion to integer of general values.
#pragma once

#include "Variant.h"

#include <cstdint>

namespace vandro::store {

// Whether two values are equal. The pair of kinds decides how: a null
// equals only a null (no error); two texts are compared byte for byte;
// other pairs are compared as integers, numbers, money or booleans after
// converting both sides. Raises EVariantError "Invalid variant type
// conversion" for a text that is no number where one is needed, and
// "Invalid variant operation" for a value of no kind.
bool ValuesEqual(const Variant &left, const Variant &right);

// left − right. Null on either side gives null; integers subtract as
// 32-bit integers, falling back to floating point when the difference does
// not fit; money exactly (EInvalidOp "Invalid floating point operation" when
// the difference leaves the 64-bit range of ten-thousandths); two date-times
// give a date-time; everything else floating point. Raises as ValuesEqual
// does.
Variant SubtractValues(const Variant &left, const Variant &right);

// The value as a 32-bit integer: numbers rounded to the nearest integer,
// halves to even, then the low 32 bits of that 64-bit integer (no range
// check); texts by the locale's number conversion. Raises EVariantError
// "Invalid variant type conversion" for a null or a text that is no
// integer, EInvalidOp "Invalid floating point operation" for a number of
// magnitude 2^63 or more.
std::int32_t ValueToInteger(const Variant &value);

} // namespace vandro::store
