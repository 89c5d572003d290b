#include "RstRelations.h"

#include <QHash>
#include <QStringList>
#include <algorithm>
#include <optional>
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

class Builder {
public:
  Builder(const RstDocument &document, const RelationMap &map, RstWarnings *warnings)
      : m_document(document), m_map(map), m_warnings(warnings), m_children(document.nodes.size()),
        m_nuclei(document.nodes.size()), m_claimed(document.markers.size(), Claim::None) {
    for (std::size_t i = 0; i < document.nodes.size(); ++i)
      if (document.nodes[i].parentIndex >= 0)
        m_children[static_cast<std::size_t>(document.nodes[i].parentIndex)].push_back(static_cast<int>(i));
    for (std::size_t i = 0; i < document.markers.size(); ++i)
      m_signalsOf[document.markers[i].source].push_back(static_cast<int>(i));
  }

  Outcome<std::vector<RelationRecord>, QString> build() {
    std::vector<RelationRecord> out;
    const auto &nodes = m_document.nodes;
    for (std::size_t i = 0; i < nodes.size(); ++i) {
      const RstNode &node = nodes[i];
      // Rule 1: a satellite and its nucleus.
      if (node.parentIndex >= 0 && node.relname != QLatin1String("span") && !isMultinuclearChild(node)) {
        const RstNode &parent = nodes[static_cast<std::size_t>(node.parentIndex)];
        const auto nucleusFound = nucleusOf(parent);
        if (!nucleusFound)
          return Failure{nucleusFound.error()};
        const Coverage nucleus = *nucleusFound;
        if (auto fault = covered(node); !fault)
          return Failure{fault.error()};
        if (auto fault = covered(parent, nucleus); !fault)
          return Failure{fault.error()};
        const Coverage satellite = coverageOf(node);
        const bool satelliteFirst = satellite.low < nucleus.low;
        RelationRecord r = record(node.relname, satelliteFirst ? QStringLiteral("SN") : QStringLiteral("NS"),
                                  satelliteFirst ? satellite : nucleus, satelliteFirst ? nucleus : satellite,
                                  {node.id}, QStringLiteral("satellite %1").arg(node.id));
        r.node1 = node.id;
        if (auto fault = apart(r, node); !fault)
          return Failure{fault.error()};
        out.push_back(std::move(r));
      }
      // Rule 2: each pair of adjacent co-nuclei.
      if (node.kind == Kind::Multinuc) {
        std::vector<int> nuclei;
        for (int child : m_children[i])
          if (isMultinuclearChild(nodes[static_cast<std::size_t>(child)])) {
            if (auto fault = covered(nodes[static_cast<std::size_t>(child)]); !fault)
              return Failure{fault.error()};
            nuclei.push_back(child);
          }
        std::stable_sort(nuclei.begin(), nuclei.end(), [&](int a, int b) {
          return std::pair(nodes[static_cast<std::size_t>(a)].low, nodes[static_cast<std::size_t>(a)].high) <
                 std::pair(nodes[static_cast<std::size_t>(b)].low, nodes[static_cast<std::size_t>(b)].high);
        });
        for (std::size_t k = 1; k < nuclei.size(); ++k) {
          const RstNode &first = nodes[static_cast<std::size_t>(nuclei[k - 1])];
          const RstNode &second = nodes[static_cast<std::size_t>(nuclei[k])];
          // A signal of a co-nucleus belongs to the one pair in which it is
          // the second child; the group's first child's, to the first pair.
          const QStringList sources = k == 1 ? QStringList{first.id, second.id} : QStringList{second.id};
          RelationRecord r = record(second.relname, QStringLiteral("NN"), coverageOf(first), coverageOf(second), sources,
                                    QStringLiteral("co-nuclei %1 and %2 of group %3").arg(first.id, second.id, node.id));
          r.node1 = first.id;
          r.node2 = second.id;
          if (auto fault = apart(r, first); !fault)
            return Failure{fault.error()};
          out.push_back(std::move(r));
        }
      }
    }
    std::stable_sort(out.begin(), out.end(), [](const RelationRecord &a, const RelationRecord &b) {
      return std::tie(a.l1, a.l2, a.h1, a.h2, a.relation) < std::tie(b.l1, b.l2, b.h1, b.h2, b.relation);
    });
    if (m_warnings)
      warn();
    return out;
  }

private:
  bool isMultinuclearChild(const RstNode &node) const {
    return node.parentIndex >= 0 &&
           m_document.nodes[static_cast<std::size_t>(node.parentIndex)].kind == Kind::Multinuc &&
           m_document.isMultinuclear(node.relname);
  }

  // The nucleus a satellite of `parent` stands beside. Fails for a span
  // group without a span child: it has no nucleus.
  Outcome<Coverage, QString> nucleusOf(const RstNode &parent) const {
    // Once per group: a group of many satellites would otherwise look at
    // all its children for each of them.
    const auto index = static_cast<std::size_t>(m_document.nodeIndex.value(parent.id));
    if (m_nuclei[index])
      return *m_nuclei[index];
    auto found = findNucleusOf(parent);
    if (found)
      m_nuclei[index] = *found;
    return found;
  }

  Outcome<Coverage, QString> findNucleusOf(const RstNode &parent) const {
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
      if (nucleus.empty() && std::none_of(children.begin(), children.end(), [&](int child) {
            return isSpan(m_document.nodes[static_cast<std::size_t>(child)]);
          })) {
        return Failure{QStringLiteral("%1:%2:%3: the span group %4 has no nucleus")
                           .arg(m_document.path)
                           .arg(parent.line)
                           .arg(parent.column)
                           .arg(parent.id)};
      }
      break;
    }
    return nucleus;
  }

  // A record whose two spans share a segment comes from a tree whose
  // branches cross.
  Outcome<void, QString> apart(const RelationRecord &r, const RstNode &node) const {
    if (r.h1 < r.l2)
      return {};
    return Failure{QStringLiteral("%1:%2: the record of the %3 would have spans that overlap (segments %4-%5 and "
                                  "%6-%7): the tree's branches cross")
                       .arg(m_document.path)
                       .arg(node.line)
                       .arg(r.origin)
                       .arg(r.l1)
                       .arg(r.h1)
                       .arg(r.l2)
                       .arg(r.h2)};
  }

  void warn() const {
    QSet<QString> seen;
    for (const RstNode &node : m_document.nodes)
      if (node.parentIndex >= 0 && !node.relname.isEmpty() && node.relname != QLatin1String("span") &&
          !m_document.relationTypes.contains(node.relname) && !seen.contains(node.relname)) {
        seen.insert(node.relname);
        m_warnings->undeclared.emplace_back(node.relname, node.line);
      }
    const int count = static_cast<int>(m_document.tokens.size()) - 1;
    for (std::size_t i = 0; i < m_document.markers.size(); ++i) {
      const RstSignal &signal = m_document.markers[i];
      if (std::any_of(signal.tokens.begin(), signal.tokens.end(), [count](int token) { return token > count; }))
        m_warnings->tokensBeyondTheEnd.push_back(signal.line);
      if (m_claimed[i] == Claim::None)
        m_warnings->signalsNotShown.emplace_back(
            signal.line, m_document.nodeIndex.contains(signal.source)
                             ? QStringLiteral("the dm signal of node %1 belongs to no relation record (the node is "
                                              "no satellite and no co-nucleus), so no marker shows it")
                                   .arg(signal.source)
                             : QStringLiteral("the dm signal names the source \"%1\", which is no node of the "
                                              "document, so no marker shows it")
                                   .arg(signal.source));
    }
  }

  Outcome<void, QString> covered(const RstNode &node) const { return covered(node, coverageOf(node)); }
  Outcome<void, QString> covered(const RstNode &node, const Coverage &coverage) const {
    if (!coverage.empty())
      return {};
    return Failure{QStringLiteral("%1:%2: node %3 holds no segment, so it has no span of text")
                       .arg(m_document.path)
                       .arg(node.line)
                       .arg(node.id)};
  }

  QString textOf(const Coverage &span) const {
    QStringList texts;
    for (int s = span.low; s <= span.high; ++s)
      if (!m_document.segmentTexts[static_cast<std::size_t>(s - 1)].isEmpty())
        texts << m_document.segmentTexts[static_cast<std::size_t>(s - 1)];
    return texts.join(QLatin1Char(' '));
  }

  // Both spans' markers and positions, from the dm signals of `sources`.
  void markSpans(RelationRecord &r, const QStringList &sources) const {
    const RecordSpans spans{r.first1, r.last1, r.first2, r.last2};
    std::vector<ShownSignal> owned[2];
    // The signals of the record's sources, in file order.
    std::vector<int> candidates;
    for (const QString &source : sources) {
      const auto found = m_signalsOf.constFind(source);
      if (found != m_signalsOf.constEnd())
        candidates.insert(candidates.end(), found->begin(), found->end());
    }
    std::sort(candidates.begin(), candidates.end());
    for (const int candidate : candidates) {
      const RstSignal &signal = m_document.markers[static_cast<std::size_t>(candidate)];
      ShownSignal shown = showSignal(m_document, signal, spans);
      m_claimed[static_cast<std::size_t>(&signal - m_document.markers.data())] =
          shown.span ? Claim::Shown : Claim::Outside;
      if (shown.span) {
        (shown.span == 1 ? r.signals1 : r.signals2).push_back(signal.index);
        owned[shown.span - 1].push_back(std::move(shown));
      } else if (m_warnings && signal.tokens.empty()) {
        m_warnings->signalsNotShown.emplace_back(
            signal.line, QStringLiteral("the dm signal of node %1 lists no token numbers, so no marker shows it")
                             .arg(signal.source));
      } else if (m_warnings) {
        m_warnings->signalsNotShown.emplace_back(
            signal.line, QStringLiteral("the dm signal of node %1 has no token inside the spans of the %2 "
                                        "(tokens %3-%4 and %5-%6), so no marker shows it")
                             .arg(signal.source, r.origin)
                             .arg(r.first1)
                             .arg(r.last1)
                             .arg(r.first2)
                             .arg(r.last2));
      }
    }
    spanMarker(m_document, owned[0], r.first1, r.last1, r.marker1, r.position1);
    spanMarker(m_document, owned[1], r.first2, r.last2, r.marker2, r.position2);
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
    r.first1 = m_document.firstToken[static_cast<std::size_t>(span1.low)];
    r.last1 = m_document.lastToken[static_cast<std::size_t>(span1.high)];
    r.first2 = m_document.firstToken[static_cast<std::size_t>(span2.low)];
    r.last2 = m_document.lastToken[static_cast<std::size_t>(span2.high)];
    r.origin = origin;
    markSpans(r, sources);
    return r;
  }

  const RstDocument &m_document;
  const RelationMap &m_map;
  RstWarnings *m_warnings;
  std::vector<std::vector<int>> m_children;
  // Each group's nucleus, once found (by node index).
  mutable std::vector<std::optional<Coverage>> m_nuclei;
  // The dm signals of each source node (places in m_document.markers).
  QHash<QString, std::vector<int>> m_signalsOf;
  // What became of each dm signal (by its place in m_document.markers).
  enum class Claim { None, Shown, Outside };
  mutable std::vector<Claim> m_claimed;
};

} // namespace

Outcome<std::vector<RelationRecord>, QString> relationRecords(const RstDocument &document, const RelationMap &map,
                                                              RstWarnings *warnings) {
  return Builder(document, map, warnings).build();
}

} // namespace vandro::rst
