// How a span's discourse markers are written as one text: every dm signal
// the span owns, in the order of their first tokens, separated by " + ";
// within one signal, adjacent tokens joined by a blank and tokens with
// words between them by " ... " ("and + instead", "either ... or"). A marker
// that is null, empty or blanks only is no marker, and has no position.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vandro::corpus {

// The characters that count as blanks around a marker and its parts.
inline constexpr std::string_view kMarkerBlanks = " \t\r\n";
// Between the signals of a span, and between the separated tokens of one.
inline constexpr std::string_view kPartSeparator = " + ";
inline constexpr std::string_view kGapSeparator = " ... ";
// The position of a span that owns two or more signals.
inline constexpr std::string_view kMultiplePosition = "Multiple";

// Whether `marker` is no marker: empty or blanks only (a null is no marker
// either; callers pass it as the empty text).
bool isNoMarker(std::string_view marker);

// `text` without blanks at either end.
std::string_view trimmedMarker(std::string_view text);

// The parts of `marker`, one per signal: split at " + ", each without outer
// blanks, empty parts left out. No marker has none.
std::vector<std::string> markerParts(std::string_view marker);

// One marker of `parts`, in that order.
std::string joinParts(const std::vector<std::string> &parts);

// `marker` written as the notation writes it: without outer blanks, parts
// joined by " + ", runs by " ... " and words by one blank. What the corpus
// reads back from it; empty for no marker.
std::string canonicalMarker(std::string_view marker);

// The runs of words of one part: split at " ... ", each run split at
// blanks ("either ... or" gives {{"either"}, {"or"}}). Empty when the part
// names no word, or when a run between two " ... " is empty.
std::vector<std::vector<std::string>> partRuns(std::string_view part);

// The part that shows a signal's tokens, given as (token number, text) in
// ascending token order.
std::string signalText(const std::vector<std::pair<int, std::string>> &tokens);

// An SQL expression over the text column `column` (quoted, with any
// prefix): the marker it holds, or null when it holds no marker. The same
// in both dialects.
std::string markerSql(const std::string &column);

} // namespace vandro::corpus
