// Where a marker stands among the tokens of a span: the position a signal
// has there, and the tokens a typed part of a marker can be. Tokens are
// numbered from 1 (the entry 0 is unused), as a document numbers them; a
// span's text split at blanks gives its tokens the same way.
#pragma once

#include <QString>
#include <optional>
#include <vector>

namespace vandro::corpus {

using Tokens = std::vector<QString>;

// The tokens of `text` split at blanks, numbered from 1.
Tokens tokensOf(const QString &text);

// Where the marker of tokens `markerFirst` to `markerLast` stands in a span
// of the tokens `first` to `last`: "Beginning" when it starts at the span's
// first or second token, else "End" when it ends at its last token (or the
// one before, when the last token holds a character that is no letter or
// digit), else "Middle".
QString markerPosition(const Tokens &tokens, int markerFirst, int markerLast, int first, int last);

// Every way the part `part` (one signal: runs of words between " ... ")
// stands among the tokens `first` to `last`, letter case as the tokens have
// it: for each token where its first run can start, the tokens of the first
// run there and of each later run at the first place after the one before
// with at least one token between. In token order; none when the part is
// no such sequence. Bounds outside the tokens are taken as far as they go.
std::vector<std::vector<int>> partPlacements(const Tokens &tokens, const QString &part, int first, int last);

// The position the rule gives `marker` typed for a span whose text is
// `spanText`: "Multiple" for two or more parts; for one part, the position
// of its first placement among the span's tokens. Nothing for no marker, a
// part the span's words do not hold, or a span longer than any real one
// (kLongestSpan characters: it is asked at every keystroke).
inline constexpr qsizetype kLongestSpan = 100000;
std::optional<QString> proposedPosition(const QString &marker, const QString &spanText);

} // namespace vandro::corpus
