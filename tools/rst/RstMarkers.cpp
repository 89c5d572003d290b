#include "RstMarkers.h"

#include "engine/MarkerNotation.h"

#include <algorithm>

namespace vandro::rst {

namespace {

bool holdsNonAlphanumeric(const QString &token) {
  return std::any_of(token.begin(), token.end(), [](QChar c) { return !c.isLetterOrNumber(); });
}

bool inside(int token, int first, int last) { return token >= first && token <= last; }

} // namespace

ShownSignal showSignal(const RstDocument &document, const RstSignal &signal, const RecordSpans &spans) {
  ShownSignal shown;
  shown.index = signal.index;
  shown.line = signal.line;
  std::vector<int> tokens = signal.tokens;
  std::sort(tokens.begin(), tokens.end());
  tokens.erase(std::unique(tokens.begin(), tokens.end()), tokens.end());
  for (int token : tokens) {
    if (inside(token, spans.first1, spans.last1))
      shown.span = 1;
    else if (inside(token, spans.first2, spans.last2))
      shown.span = 2;
    if (shown.span)
      break;
  }
  if (!shown.span)
    return shown;
  std::vector<std::pair<int, std::string>> words;
  for (int token : tokens)
    if (inside(token, spans.first(shown.span), spans.last(shown.span))) {
      shown.tokens.push_back(token);
      words.emplace_back(token, document.tokens[static_cast<std::size_t>(token)].toStdString());
    }
  shown.text = QString::fromStdString(engine::signalText(words));
  return shown;
}

const RstSignal *signalAt(const RstDocument &document, int index) {
  // The dm signals are in file order, so their places ascend.
  const auto found = std::lower_bound(document.markers.begin(), document.markers.end(), index,
                                      [](const RstSignal &signal, int place) { return signal.index < place; });
  return found != document.markers.end() && found->index == index ? &*found : nullptr;
}

void spanMarker(const RstDocument &document, std::vector<ShownSignal> owned, int first, int last,
                std::optional<QString> &marker, std::optional<QString> &position) {
  marker.reset();
  position.reset();
  if (owned.empty())
    return;
  std::stable_sort(owned.begin(), owned.end(),
                   [](const ShownSignal &a, const ShownSignal &b) { return a.tokens.front() < b.tokens.front(); });
  std::vector<std::string> parts;
  for (const ShownSignal &signal : owned)
    parts.push_back(signal.text.toStdString());
  marker = QString::fromStdString(engine::joinParts(parts));
  position = owned.size() > 1 ? QString::fromUtf8(engine::kMultiplePosition)
                              : markerPosition(document, owned.front().tokens.front(), owned.front().tokens.back(),
                                               first, last);
}

QString markerPosition(const RstDocument &document, int markerFirst, int markerLast, int first, int last) {
  if (markerFirst == first || markerFirst == first + 1)
    return QStringLiteral("Beginning");
  const int count = static_cast<int>(document.tokens.size()) - 1;
  const bool lastIsPunctuation =
      last >= 1 && last <= count && holdsNonAlphanumeric(document.tokens[static_cast<std::size_t>(last)]);
  if (markerLast == last || (lastIsPunctuation && markerLast == last - 1))
    return QStringLiteral("End");
  return QStringLiteral("Middle");
}

std::vector<std::vector<int>> partPlacements(const RstDocument &document, const QString &part, int first, int last) {
  std::vector<QStringList> runs;
  for (const auto &words : engine::partRuns(part.toStdString())) {
    runs.emplace_back();
    for (const std::string &word : words)
      runs.back() << QString::fromStdString(word);
  }
  const int count = static_cast<int>(document.tokens.size()) - 1;
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
      if (document.tokens[static_cast<std::size_t>(at + w)] != run[w])
        return false;
    return true;
  };
  for (int start = first; start <= last; ++start) {
    if (!standsAt(runs.front(), start))
      continue;
    std::vector<int> tokens;
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
        tokens.push_back(at + static_cast<int>(w));
      next = at + static_cast<int>(runs[r].size());
    }
    if (whole)
      placements.push_back(std::move(tokens));
  }
  return placements;
}

} // namespace vandro::rst
