// Dates and times as days since 1899-12-30 and as ISO 8601 text.
#pragma once

#include "Schema.h"

#include <optional>
#include <string>
#include <string_view>

namespace vandro::engine {

// "YYYY-MM-DD" for a date, "HH:MM:SS.mmm" for a time, both with a blank for
// a date-time. Days count from 1899-12-30; the fraction is the time of day.
std::string daysToIsoText(double days, FieldKind kind);
// The days for an ISO text of the forms above ("T" may stand for the blank;
// seconds and milliseconds may be left out); nothing when it is no such text.
std::optional<double> isoTextToDays(std::string_view text);

} // namespace vandro::engine
