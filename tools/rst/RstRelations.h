// The relation records of an RST document: one per satellite, one per pair
// of adjacent co-nuclei of a multinuclear group, with the discourse markers
// of rs4 signals.
#pragma once

#include "RstDocument.h"

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
  // The node a dm signal of this record names: the satellite, or the
  // pair's second child.
  QString signalSource() const { return node2.isEmpty() ? node1 : node2; }
  // Each span's tokens, first to last (last < first for a span without any).
  int first1 = 0, last1 = 0, first2 = 0, last2 = 0;
  // The dm signals that marked each span, as places among the document's
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
};

// The records of `document`, ordered by L1, then L2, H1, H2, Relation.
// A dm signal belongs to the record whose satellite is its source, or to
// the one pair of co-nuclei whose second child is its source (its first
// child: the group's first pair). False with `error` naming the document
// and the node when a node that a record needs covers no segment, when a
// satellite stands beside a span group without a nucleus, or when a
// record's two spans would overlap.
bool relationRecords(const RstDocument &document, const RelationMap &map, std::vector<RelationRecord> &out,
                     QString &error, RstWarnings *warnings = nullptr);

// Where the marker of tokens `marker` (first to last) stands in a span of
// the document's tokens `first` to `last`: "Beginning" when it starts at
// the span's first or second token, else "End" when it ends at its last
// token (or the one before, when the last token holds a character that is
// no letter or digit), else "Middle".
QString markerPosition(const RstDocument &document, int markerFirst, int markerLast, int first, int last);

// The tokens of a marker whose words are `marker` (split at blanks) in the
// span of tokens `first` to `last`: the first run of tokens equal to its
// words whose position agrees with `position` ("Beginning", "Middle",
// "End"), else, for any other position or when no run agrees, the first run
// at all (`agrees` then false for the three). Empty when the words are no
// run of the span's tokens.
std::vector<int> markerRun(const RstDocument &document, const QString &marker, const QString &position, int first,
                           int last, bool &agrees);

} // namespace vandro::rst
