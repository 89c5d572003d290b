#include "corpus/RstMarkers.h"

#include "corpus/MarkerPlacement.h"
#include "corpus/MarkerNotation.h"

#include <algorithm>

namespace vandro::rst {

namespace {

bool inside(int token, int first, int last) { return token >= first && token <= last; }

// The part the ascending tokens `tokens` show.
QString tokensText(const RstDocument &document, const std::vector<int> &tokens) {
  std::vector<std::pair<int, std::string>> words;
  for (int token : tokens)
    words.emplace_back(token, document.tokens[static_cast<std::size_t>(token)].toStdString());
  return QString::fromStdString(corpus::signalText(words));
}

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
  for (int token : tokens)
    if (inside(token, spans.first(shown.span), spans.last(shown.span)))
      shown.tokens.push_back(token);
  shown.text = tokensText(document, shown.tokens);
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
  marker = QString::fromStdString(corpus::joinParts(parts));
  position = owned.size() > 1 ? QString::fromUtf8(corpus::kMultiplePosition)
                              : markerPosition(document, owned.front().tokens.front(), owned.front().tokens.back(),
                                               first, last);
}

QString markerPosition(const RstDocument &document, int markerFirst, int markerLast, int first, int last) {
  return corpus::markerPosition(document.tokens, markerFirst, markerLast, first, last);
}

std::vector<std::vector<int>> partPlacements(const RstDocument &document, const QString &part, int first, int last) {
  return corpus::partPlacements(document.tokens, part, first, last);
}

namespace {

// Where a new signal of the words `part` goes among the tokens `first` to
// `last`: the first place that shares no token with `taken`; for the only
// part of a marker placed "Beginning", "Middle" or "End", the first such
// place there, when there is one. Empty when there is none.
std::vector<int> placePart(const RstDocument &document, const QString &part, const std::optional<QString> &position,
                           int first, int last, const std::vector<int> &taken) {
  std::vector<int> chosen;
  for (const std::vector<int> &tokens : partPlacements(document, part, first, last)) {
    if (std::any_of(tokens.begin(), tokens.end(),
                    [&](int token) { return std::find(taken.begin(), taken.end(), token) != taken.end(); }))
      continue;
    if (!position || markerPosition(document, tokens.front(), tokens.back(), first, last) == *position)
      return tokens;
    if (chosen.empty())
      chosen = tokens;
  }
  return chosen;
}

} // namespace

std::vector<PlacedPart> placeParts(const RstDocument &document, const std::vector<std::string> &parts,
                                   const std::optional<QString> &position, int first, int last,
                                   const std::vector<ShownSignal> &had, const std::vector<std::vector<int>> &chosen) {
  const bool choice = !chosen.empty() && chosen.size() == parts.size();
  std::vector<PlacedPart> placed(parts.size());
  std::vector<bool> kept(had.size(), false);
  std::vector<int> taken;
  for (std::size_t p = 0; p < parts.size(); ++p) {
    placed[p].part = QString::fromStdString(parts[p]);
    for (std::size_t s = 0; s < had.size(); ++s) {
      const bool same = choice ? had[s].tokens == chosen[p]
                               : corpus::partRuns(had[s].text.toStdString()) == corpus::partRuns(parts[p]);
      if (kept[s] || !same)
        continue;
      kept[s] = true;
      placed[p].kept = static_cast<int>(s);
      placed[p].tokens = had[s].tokens;
      taken.insert(taken.end(), had[s].tokens.begin(), had[s].tokens.end());
      break;
    }
  }
  for (PlacedPart &part : placed) {
    if (part.kept >= 0)
      continue;
    part.tokens = choice ? chosen[static_cast<std::size_t>(&part - placed.data())]
                         : placePart(document, part.part, parts.size() == 1 ? position : std::nullopt, first, last,
                                     taken);
    taken.insert(taken.end(), part.tokens.begin(), part.tokens.end());
  }
  return placed;
}

std::optional<ChosenMarker> chosenMarker(const RstDocument &document, std::vector<std::vector<int>> chosen, int first,
                                         int last) {
  std::vector<ShownSignal> owned;
  for (std::vector<int> &tokens : chosen) {
    std::sort(tokens.begin(), tokens.end());
    tokens.erase(std::unique(tokens.begin(), tokens.end()), tokens.end());
    if (tokens.empty())
      continue;
    if (tokens.front() < 1 || !inside(tokens.front(), first, last) || !inside(tokens.back(), first, last) ||
        tokens.back() >= static_cast<int>(document.tokens.size()))
      return std::nullopt;
    ShownSignal shown;
    shown.tokens = tokens;
    shown.text = tokensText(document, tokens);
    owned.push_back(std::move(shown));
  }
  if (owned.empty())
    return std::nullopt;
  std::stable_sort(owned.begin(), owned.end(),
                   [](const ShownSignal &a, const ShownSignal &b) { return a.tokens.front() < b.tokens.front(); });
  std::optional<QString> marker, position;
  spanMarker(document, owned, first, last, marker, position);
  ChosenMarker result{*marker, *position, {}};
  for (ShownSignal &signal : owned)
    result.parts.push_back(std::move(signal.tokens));
  return result;
}

bool choiceFits(const RstDocument &document, const std::string &marker, const std::vector<std::vector<int>> &chosen,
                int first, int last) {
  const std::vector<std::string> parts = corpus::markerParts(marker);
  if (parts.empty() || parts.size() != chosen.size())
    return false;
  const int count = static_cast<int>(document.tokens.size()) - 1;
  for (std::size_t p = 0; p < parts.size(); ++p) {
    const std::vector<int> &tokens = chosen[p];
    if (tokens.empty() || !std::is_sorted(tokens.begin(), tokens.end()) ||
        std::adjacent_find(tokens.begin(), tokens.end()) != tokens.end() || tokens.front() < 1 ||
        !inside(tokens.front(), first, last) ||
        !inside(tokens.back(), first, last) || tokens.back() > count)
      return false;
    if (corpus::partRuns(tokensText(document, tokens).toStdString()) != corpus::partRuns(parts[p]))
      return false;
  }
  return true;
}

} // namespace vandro::rst
