#include "corpus/RstMarkers.h"

#include "corpus/MarkerPlacement.h"
#include "corpus/MarkerNotation.h"

#include <algorithm>

namespace vandro::rst {

namespace {

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
  shown.text = QString::fromStdString(corpus::signalText(words));
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

} // namespace vandro::rst
