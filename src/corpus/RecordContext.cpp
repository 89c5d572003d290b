#include "RecordContext.h"

#include "corpus/MarkerNotation.h"

#include <algorithm>
#include <tuple>

namespace vandro::corpus {

namespace {

// "3" or "3–6".
QString segments(int low, int high) {
  if (low <= 0)
    return QStringLiteral("—");
  return low == high ? QString::number(low) : QStringLiteral("%1–%2").arg(low).arg(high);
}

const rst::RstNode *nodeOf(const rst::RstDocument &document, const std::optional<std::string> &id) {
  if (!id)
    return nullptr;
  const auto found = document.nodeIndex.constFind(QString::fromStdString(*id));
  return found == document.nodeIndex.constEnd() ? nullptr : &document.nodes[static_cast<std::size_t>(*found)];
}

const rst::RstNode *parentOf(const rst::RstDocument &document, const rst::RstNode *node) {
  if (!node || node->parentIndex < 0 || static_cast<std::size_t>(node->parentIndex) >= document.nodes.size())
    return nullptr;
  return &document.nodes[static_cast<std::size_t>(node->parentIndex)];
}

// " · above: elaboration 3–6 ← top 1–6": the relations of the groups above
// `from` (itself included), each by its relation to its parent, up to the
// top of the tree. A group that is its parent's nucleus ("span") adds no
// relation of its own and is passed over.
QString chainAbove(const rst::RstDocument &document, const rst::RstNode *from) {
  QStringList chain;
  // The parents are linked without cycles; the bound keeps a malformed
  // link from walking for ever all the same.
  for (std::size_t steps = 0; from && steps <= document.nodes.size(); ++steps, from = parentOf(document, from)) {
    const rst::RstNode *parent = parentOf(document, from);
    if (!parent)
      chain << QStringLiteral("top %1").arg(segments(from->low, from->high));
    else if (from->relname != QLatin1String("span") && !from->relname.isEmpty())
      chain << QStringLiteral("%1 %2").arg(from->relname, segments(from->low, from->high));
  }
  return chain.isEmpty() ? QString() : QStringLiteral(" · above: ") + chain.join(QStringLiteral(" ← "));
}

QString spanSegments(const RecordContext &context, int span) {
  return QStringLiteral("%1 (span %2)").arg(segments(context.firstSegment[span - 1], context.lastSegment[span - 1])).arg(span);
}

QString heading(const rst::RstDocument &document, const RecordSource &source, const QString &relation,
                const QString &order, const RecordContext &context) {
  const rst::RstNode *first = nodeOf(document, source.node1);
  const rst::RstNode *second = nodeOf(document, source.node2);
  const rst::RstNode *above = parentOf(document, source.node2 && second ? second : first);
  QString text = QString::fromStdString(source.document) + QStringLiteral(" · ") + relation + QStringLiteral(" · ");
  // Which span is the satellite: as the record's order says (an annotator
  // may have corrected it), else as the tree says: none for a pair of
  // co-nuclei, else the span whose first token is the satellite node's.
  int satellite = 0;
  if (order == QLatin1String("SN") || order == QLatin1String("NS"))
    satellite = order == QLatin1String("SN") ? 1 : 2;
  else if (order != QLatin1String("NN") && !source.node2)
    satellite = !first || first->low <= 0 || static_cast<std::size_t>(first->low) >= document.firstToken.size() ||
                        document.firstToken[static_cast<std::size_t>(first->low)] == context.spans.first1
                    ? 1
                    : 2;
  if (satellite == 0)
    text += QStringLiteral("nucleus %1 + nucleus %2").arg(spanSegments(context, 1), spanSegments(context, 2));
  else
    text += QStringLiteral("satellite %1 → nucleus %2")
                .arg(spanSegments(context, satellite), spanSegments(context, 3 - satellite));
  return text + chainAbove(document, above);
}

bool sameMarker(const std::optional<std::string> &importedMarker, const std::optional<std::string> &importedPosition,
                const SpanMarker &now) {
  const bool noneThen = !importedMarker || isNoMarker(*importedMarker);
  const bool noneNow = !now.marker || isNoMarker(now.marker->toStdString());
  if (noneThen || noneNow)
    return noneThen == noneNow;
  return trimmedMarker(*importedMarker) == trimmedMarker(now.marker->toStdString()) &&
         importedPosition == (now.position ? std::optional(now.position->toStdString()) : std::nullopt);
}

// The tokens of each signal span `span` owns.
std::vector<std::vector<int>> ownedBy(const rst::RstDocument &document, const RecordSource &source, int span,
                                      const SpanMarker &now, const std::vector<TokenChoice> &choices,
                                      const rst::RecordSpans &spans) {
  std::vector<rst::ShownSignal> had;
  for (const int place : span == 1 ? source.signals1 : source.signals2)
    if (const rst::RstSignal *signal = rst::signalAt(document, place)) {
      rst::ShownSignal shown = rst::showSignal(document, *signal, spans);
      if (shown.span == span && !shown.tokens.empty())
        had.push_back(std::move(shown));
    }
  const std::string marker = now.marker ? std::string(trimmedMarker(now.marker->toStdString())) : std::string();
  const auto choice = std::find_if(choices.begin(), choices.end(), [&](const TokenChoice &c) {
    return c.id == source.id && c.span == span && c.marker == marker &&
           rst::choiceFits(document, marker, c.parts, spans.first(span), spans.last(span));
  });
  const bool chosen = choice != choices.end();
  std::vector<std::vector<int>> owned;
  if (!chosen && sameMarker(span == 1 ? source.marker1 : source.marker2,
                            span == 1 ? source.position1 : source.position2, now)) {
    for (rst::ShownSignal &signal : had)
      owned.push_back(std::move(signal.tokens));
    return owned;
  }
  for (rst::PlacedPart &placed : rst::placeParts(document, markerParts(marker), now.position, spans.first(span),
                                                 spans.last(span), had, chosen ? choice->parts
                                                                               : std::vector<std::vector<int>>{}))
    if (!placed.tokens.empty())
      owned.push_back(std::move(placed.tokens));
  return owned;
}

} // namespace

int segmentOf(const rst::RstDocument &document, int token) {
  const int count = static_cast<int>(document.tokens.size()) - 1;
  if (token < 1 || token > count)
    return 0;
  // The segments' first tokens ascend; an empty segment shares its first
  // token with the next, which holds the token.
  const auto after = std::upper_bound(document.firstToken.begin() + 1, document.firstToken.end(), token);
  return static_cast<int>(after - document.firstToken.begin()) - 1;
}

namespace {

// Each span's first and last segment (0 for a span without tokens), from
// its stored token range kept inside the document.
void spanSegments(const rst::RstDocument &document, const rst::RecordSpans &spans, std::array<int, 2> &first,
                  std::array<int, 2> &last) {
  for (int span = 1; span <= 2; ++span) {
    const bool any = spans.first(span) <= spans.last(span);
    first[static_cast<std::size_t>(span - 1)] = any ? segmentOf(document, spans.first(span)) : 0;
    last[static_cast<std::size_t>(span - 1)] = any ? segmentOf(document, spans.last(span)) : 0;
  }
}

rst::RecordSpans keptInside(const rst::RstDocument &document, const RecordSource &source) {
  // A span's first token no further than just past the last, its last no
  // further than the last: an empty span stays empty, and no token beyond
  // the document is ever read.
  const int count = static_cast<int>(document.tokens.size()) - 1;
  auto first = [&](int token) { return std::clamp(token, 0, count + 1); };
  auto last = [&](int token) { return std::clamp(token, 0, count); };
  return {first(source.first1), last(source.last1), first(source.first2), last(source.last2)};
}

// The segments shown around spans of segments `first` to `last`.
std::pair<int, int> shownSegments(const rst::RstDocument &document, const std::array<int, 2> &first,
                                  const std::array<int, 2> &last) {
  const int segmentCount = static_cast<int>(document.segmentTexts.size());
  std::vector<int> shown;
  for (int s : {first[0], last[0], first[1], last[1]})
    if (s > 0)
      shown.push_back(s);
  if (shown.empty() || segmentCount == 0)
    return {0, 0};
  return {std::max(1, *std::min_element(shown.begin(), shown.end()) - kContextSegments),
          std::min(segmentCount, *std::max_element(shown.begin(), shown.end()) + kContextSegments)};
}

} // namespace

std::pair<int, int> shownTokens(const rst::RstDocument &document, const RecordSource &source) {
  std::array<int, 2> first{}, last{};
  spanSegments(document, keptInside(document, source), first, last);
  const auto [low, high] = shownSegments(document, first, last);
  if (low < 1)
    return {0, -1};
  return {document.firstToken[static_cast<std::size_t>(low)], document.lastToken[static_cast<std::size_t>(high)]};
}

RecordContext recordContext(const rst::RstDocument &document, const RecordSource &source, const QString &relation,
                            const QString &order, const std::array<SpanMarker, 2> &markers,
                            const std::vector<NearbyRecord> &nearby, const std::vector<TokenChoice> &choices) {
  RecordContext context;
  context.spans = keptInside(document, source);
  spanSegments(document, context.spans, context.firstSegment, context.lastSegment);
  for (int span = 1; span <= 2; ++span)
    context.owned[static_cast<std::size_t>(span - 1)] =
        ownedBy(document, source, span, markers[static_cast<std::size_t>(span - 1)], choices, context.spans);
  context.heading = heading(document, source, relation, order, context);
  std::tie(context.showFirst, context.showLast) = shownSegments(document, context.firstSegment, context.lastSegment);
  if (context.showFirst < 1)
    return context;

  // The signals the other records own, where they stand now, when a token
  // of theirs is among the segments shown.
  const int low = document.firstToken[static_cast<std::size_t>(context.showFirst)];
  const int high = document.lastToken[static_cast<std::size_t>(context.showLast)];
  for (const NearbyRecord &other : nearby) {
    if (other.source.id == source.id || other.source.document != source.document)
      continue;
    const rst::RecordSpans spans = keptInside(document, other.source);
    for (int span = 1; span <= 2; ++span)
      for (std::vector<int> &tokens :
           ownedBy(document, other.source, span, other.markers[static_cast<std::size_t>(span - 1)], choices, spans))
        if (std::any_of(tokens.begin(), tokens.end(), [&](int t) { return t >= low && t <= high; }))
          context.others.push_back(std::move(tokens));
  }
  std::sort(context.others.begin(), context.others.end());
  context.others.erase(std::unique(context.others.begin(), context.others.end()), context.others.end());
  return context;
}

} // namespace vandro::corpus
