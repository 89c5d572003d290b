#include "MarkerPlacement.h"

#include "corpus/MarkerNotation.h"

#include <QStringList>
#include <algorithm>

namespace vandro::corpus {

namespace {

bool holdsNonAlphanumeric(const QString &token) {
  return std::any_of(token.begin(), token.end(), [](QChar c) { return !c.isLetterOrNumber(); });
}

} // namespace

Tokens tokensOf(const QString &text) {
  Tokens tokens{QString()};
  for (const QString &token : text.split(QLatin1Char(' '), Qt::SkipEmptyParts))
    tokens.push_back(token);
  return tokens;
}

QString markerPosition(const Tokens &tokens, int markerFirst, int markerLast, int first, int last) {
  if (markerFirst == first || markerFirst == first + 1)
    return QStringLiteral("Beginning");
  const int count = static_cast<int>(tokens.size()) - 1;
  const bool lastIsPunctuation =
      last >= 1 && last <= count && holdsNonAlphanumeric(tokens[static_cast<std::size_t>(last)]);
  if (markerLast == last || (lastIsPunctuation && markerLast == last - 1))
    return QStringLiteral("End");
  return QStringLiteral("Middle");
}

std::vector<std::vector<int>> partPlacements(const Tokens &tokens, const QString &part, int first, int last) {
  std::vector<QStringList> runs;
  for (const auto &words : partRuns(part.toStdString())) {
    runs.emplace_back();
    for (const std::string &word : words)
      runs.back() << QString::fromStdString(word);
  }
  const int count = static_cast<int>(tokens.size()) - 1;
  first = std::max(first, 1);
  last = std::min(last, count);
  std::vector<std::vector<int>> placements;
  if (runs.empty())
    return placements;
  // Whether run `run` stands at token `at`.
  auto standsAt = [&](const QStringList &run, int at) {
    if (at + static_cast<int>(run.size()) - 1 > last)
      return false;
    for (qsizetype w = 0; w < run.size(); ++w)
      if (tokens[static_cast<std::size_t>(at + w)] != run[w])
        return false;
    return true;
  };
  for (int start = first; start <= last; ++start) {
    if (!standsAt(runs.front(), start))
      continue;
    std::vector<int> placed;
    int next = start;
    bool whole = true;
    for (std::size_t r = 0; r < runs.size() && whole; ++r) {
      // A later run needs at least one word between it and the one before.
      int at = next + (r == 0 ? 0 : 1);
      while (at <= last && !standsAt(runs[r], at))
        ++at;
      if (at > last || (r == 0 && at != start)) {
        whole = false;
        break;
      }
      for (qsizetype w = 0; w < runs[r].size(); ++w)
        placed.push_back(at + static_cast<int>(w));
      next = at + static_cast<int>(runs[r].size());
    }
    if (whole)
      placements.push_back(std::move(placed));
  }
  return placements;
}

std::optional<QString> proposedPosition(const QString &marker, const QString &spanText) {
  const std::vector<std::string> parts = markerParts(marker.toStdString());
  if (parts.size() > 1)
    return QString::fromUtf8(kMultiplePosition.data(),
                             static_cast<qsizetype>(kMultiplePosition.size()));
  if (parts.empty() || spanText.size() > kLongestSpan)
    return std::nullopt;
  const Tokens tokens = tokensOf(spanText);
  const int last = static_cast<int>(tokens.size()) - 1;
  const auto placements = partPlacements(tokens, QString::fromStdString(parts.front()), 1, last);
  if (placements.empty())
    return std::nullopt;
  return markerPosition(tokens, placements.front().front(), placements.front().back(), 1, last);
}

} // namespace vandro::corpus
