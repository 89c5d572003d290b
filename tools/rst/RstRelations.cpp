#include "RstRelations.h"

#include <QStringList>
#include <algorithm>
#include <tuple>

namespace vandro::rst {

namespace {

using Kind = RstNode::Kind;

struct Coverage {
  int low = 0, high = 0;
  bool empty() const { return low == 0; }
  void add(const Coverage &other) {
    if (other.empty())
      return;
    low = empty() ? other.low : std::min(low, other.low);
    high = std::max(high, other.high);
  }
};

Coverage coverageOf(const RstNode &node) { return {node.low, node.high}; }

// The document's tokens: its segment texts split at white space, numbered
// from 1, and for each segment the first and last of its tokens.
struct Tokens {
  std::vector<QString> text{QString()}; // text[0] unused
  std::vector<int> first, last;         // by segment number; last < first for an empty segment

  explicit Tokens(const RstDocument &document) {
    first.assign(document.segmentTexts.size() + 1, 0);
    last.assign(document.segmentTexts.size() + 1, 0);
    for (std::size_t s = 0; s < document.segmentTexts.size(); ++s) {
      first[s + 1] = static_cast<int>(text.size());
      for (const QString &token : document.segmentTexts[s].split(QLatin1Char(' '), Qt::SkipEmptyParts))
        text.push_back(token);
      last[s + 1] = static_cast<int>(text.size()) - 1;
    }
  }
  int count() const { return static_cast<int>(text.size()) - 1; }
};

bool holdsNonAlphanumeric(const QString &token) {
  return std::any_of(token.begin(), token.end(), [](QChar c) { return !c.isLetterOrNumber(); });
}

// Where a marker stands in a span of the tokens `first` to `last`.
QString positionIn(const std::vector<int> &marker, int first, int last, const Tokens &tokens) {
  const int begin = marker.front(), end = marker.back();
  if (begin == first || begin == first + 1)
    return QStringLiteral("Beginning");
  const bool lastIsPunctuation = last >= 1 && last <= tokens.count() && holdsNonAlphanumeric(tokens.text[last]);
  if (end == last || (lastIsPunctuation && end == last - 1))
    return QStringLiteral("End");
  return QStringLiteral("Middle");
}

class Builder {
public:
  Builder(const RstDocument &document, const RelationMap &map)
      : m_document(document), m_map(map), m_tokens(document),
        m_children(document.nodes.size()) {
    for (std::size_t i = 0; i < document.nodes.size(); ++i)
      if (document.nodes[i].parentIndex >= 0)
        m_children[static_cast<std::size_t>(document.nodes[i].parentIndex)].push_back(static_cast<int>(i));
  }

  bool build(std::vector<RelationRecord> &out, QString &error) {
    const auto &nodes = m_document.nodes;
    for (std::size_t i = 0; i < nodes.size(); ++i) {
      const RstNode &node = nodes[i];
      // Rule 1: a satellite and its nucleus.
      if (node.parentIndex >= 0 && node.relname != QLatin1String("span") && !isMultinuclearChild(node)) {
        const Coverage nucleus = nucleusOf(nodes[static_cast<std::size_t>(node.parentIndex)]);
        if (!covered(node, error) || !covered(nodes[static_cast<std::size_t>(node.parentIndex)], nucleus, error))
          return false;
        const Coverage satellite = coverageOf(node);
        const bool satelliteFirst = satellite.low < nucleus.low;
        out.push_back(record(node.relname, satelliteFirst ? QStringLiteral("SN") : QStringLiteral("NS"),
                             satelliteFirst ? satellite : nucleus, satelliteFirst ? nucleus : satellite,
                             {node.id}, QStringLiteral("satellite %1").arg(node.id)));
      }
      // Rule 2: each pair of adjacent co-nuclei.
      if (node.kind == Kind::Multinuc) {
        std::vector<int> nuclei;
        for (int child : m_children[i])
          if (isMultinuclearChild(nodes[static_cast<std::size_t>(child)])) {
            if (!covered(nodes[static_cast<std::size_t>(child)], error))
              return false;
            nuclei.push_back(child);
          }
        std::stable_sort(nuclei.begin(), nuclei.end(), [&](int a, int b) {
          return std::pair(nodes[static_cast<std::size_t>(a)].low, nodes[static_cast<std::size_t>(a)].high) <
                 std::pair(nodes[static_cast<std::size_t>(b)].low, nodes[static_cast<std::size_t>(b)].high);
        });
        for (std::size_t k = 1; k < nuclei.size(); ++k) {
          const RstNode &first = nodes[static_cast<std::size_t>(nuclei[k - 1])];
          const RstNode &second = nodes[static_cast<std::size_t>(nuclei[k])];
          out.push_back(record(second.relname, QStringLiteral("NN"), coverageOf(first), coverageOf(second),
                               {first.id, second.id},
                               QStringLiteral("co-nuclei %1 and %2 of group %3").arg(first.id, second.id, node.id)));
        }
      }
    }
    std::stable_sort(out.begin(), out.end(), [](const RelationRecord &a, const RelationRecord &b) {
      return std::tie(a.l1, a.l2, a.h1, a.h2, a.relation) < std::tie(b.l1, b.l2, b.h1, b.h2, b.relation);
    });
    return true;
  }

private:
  bool isMultinuclearChild(const RstNode &node) const {
    return node.parentIndex >= 0 &&
           m_document.nodes[static_cast<std::size_t>(node.parentIndex)].kind == Kind::Multinuc &&
           m_document.isMultinuclear(node.relname);
  }

  // The nucleus a satellite of `parent` stands beside.
  Coverage nucleusOf(const RstNode &parent) const {
    Coverage nucleus;
    const auto &children = m_children[static_cast<std::size_t>(m_document.nodeIndex.value(parent.id))];
    auto childrenWhere = [&](auto keep) {
      for (int child : children)
        if (keep(m_document.nodes[static_cast<std::size_t>(child)]))
          nucleus.add(coverageOf(m_document.nodes[static_cast<std::size_t>(child)]));
    };
    auto isSpan = [](const RstNode &child) { return child.relname == QLatin1String("span"); };
    switch (parent.kind) {
    case Kind::Segment:
      nucleus.add({parent.segment, parent.segment});
      childrenWhere(isSpan);
      break;
    case Kind::Multinuc:
      childrenWhere([this](const RstNode &child) { return isMultinuclearChild(child); });
      break;
    case Kind::Span:
      childrenWhere(isSpan);
      if (nucleus.empty())
        nucleus = coverageOf(parent);
      break;
    }
    return nucleus;
  }

  bool covered(const RstNode &node, QString &error) const { return covered(node, coverageOf(node), error); }
  bool covered(const RstNode &node, const Coverage &coverage, QString &error) const {
    if (!coverage.empty())
      return true;
    error = QStringLiteral("%1: line %2: node %3 holds no segment, so it has no span of text")
                .arg(m_document.name)
                .arg(node.line)
                .arg(node.id);
    return false;
  }

  QString textOf(const Coverage &span) const {
    QStringList texts;
    for (int s = span.low; s <= span.high; ++s)
      if (!m_document.segmentTexts[static_cast<std::size_t>(s - 1)].isEmpty())
        texts << m_document.segmentTexts[static_cast<std::size_t>(s - 1)];
    return texts.join(QLatin1Char(' '));
  }

  // The marker of a span and its position, from the signals of `sources`
  // whose first token lies in the span.
  void markSpan(const Coverage &span, const QStringList &sources, std::optional<QString> &marker,
                std::optional<QString> &position) const {
    const int first = m_tokens.first[static_cast<std::size_t>(span.low)];
    const int last = m_tokens.last[static_cast<std::size_t>(span.high)];
    int found = 0;
    for (const RstSignal &signal : m_document.markers) {
      if (signal.tokens.empty() || !sources.contains(signal.source) || signal.tokens.front() < first ||
          signal.tokens.front() > last)
        continue;
      if (++found == 1) {
        QStringList words;
        for (int token : signal.tokens)
          if (token <= m_tokens.count())
            words << m_tokens.text[static_cast<std::size_t>(token)];
        marker = words.join(QLatin1Char(' '));
        position = positionIn(signal.tokens, first, last, m_tokens);
      }
    }
    if (found > 1)
      position = QStringLiteral("Multiple");
  }

  RelationRecord record(const QString &relname, const QString &order, const Coverage &span1, const Coverage &span2,
                        const QStringList &sources, const QString &origin) const {
    RelationRecord r;
    r.from = m_document.name;
    r.relation = m_map.value(relname, relname);
    r.order = order;
    r.l1 = span1.low;
    r.h1 = span1.high;
    r.l2 = span2.low;
    r.h2 = span2.high;
    r.extended = (r.l1 != r.h1 || r.l2 != r.h2) ? QStringLiteral("yes") : QStringLiteral("no");
    r.span1 = textOf(span1);
    r.span2 = textOf(span2);
    markSpan(span1, sources, r.marker1, r.position1);
    markSpan(span2, sources, r.marker2, r.position2);
    r.origin = origin;
    return r;
  }

  const RstDocument &m_document;
  const RelationMap &m_map;
  Tokens m_tokens;
  std::vector<std::vector<int>> m_children;
};

} // namespace

bool relationRecords(const RstDocument &document, const RelationMap &map, std::vector<RelationRecord> &out,
                     QString &error) {
  out.clear();
  return Builder(document, map).build(out, error);
}

} // namespace vandro::rst
