// The relation records of an RST document: one per satellite, one per pair
// of adjacent co-nuclei of a multinuclear group, with the discourse markers
// of rs4 signals.
#pragma once

#include "corpus/RstDocument.h"
#include "corpus/RstMarkers.h"
#include "engine/Outcome.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace vandro::rst {

// One record of the standard relation table, without its Id, and where in
// the document it came from. Empty optionals are nulls.
struct RelationRecord {
  QString from;
  QString relation;
  QString extended; // "yes" or "no"
  QString order;    // "SN", "NS" or "NN"
  QString span1, span2;
  int l1 = 0, h1 = 0, l2 = 0, h2 = 0;
  std::optional<QString> marker1, position1, marker2, position2;
  QString origin; // which node made it, for messages
  // The satellite, or the pair's first and second child (node2 then).
  QString node1, node2;
  // Each span's tokens, first to last (last < first for a span without any).
  int first1 = 0, last1 = 0, first2 = 0, last2 = 0;
  // The dm signals each span owns, as places among the document's
  // <signal> elements, in file order.
  std::vector<int> signals1, signals2;
};

// Relation names to store in place of the document's own ("from" -> "to").
using RelationMap = QHash<QString, QString>;

// What an import says at its end without refusing the document.
struct RstWarnings {
  // A relation name the header does not declare, with the line of its first use.
  std::vector<std::pair<QString, qint64>> undeclared;
  // A dm signal whose tokens reach beyond the document's last token: its line.
  std::vector<qint64> tokensBeyondTheEnd;
  // A dm signal that no record shows, with its line and why: its source
  // makes no record, or none of its tokens lies inside its record's spans.
  // Every export leaves it as it is.
  std::vector<std::pair<qint64, QString>> signalsNotShown;
};

// The records of `document`, ordered by L1, then L2, H1, H2, Relation.
// A dm signal belongs to the record whose satellite is its source, or to
// the one pair of co-nuclei whose second child is its source (its first
// child: the group's first pair); within the record, to the span that
// holds its first token inside the two spans (showSignal). Each span's
// marker names every signal it owns (spanMarker). Fails naming the document
// and the node when a node that a record needs covers no segment, when a
// satellite stands beside a span group without a nucleus, or when a
// record's two spans would overlap.
Outcome<std::vector<RelationRecord>, QString> relationRecords(const RstDocument &document, const RelationMap &map,
                                                              RstWarnings *warnings = nullptr);

} // namespace vandro::rst
