// The relation records of an RST document: one per satellite, one per pair
// of adjacent co-nuclei of a multinuclear group, with the discourse markers
// of rs4 signals.
#pragma once

#include "RstDocument.h"

#include <QHash>
#include <QString>
#include <optional>
#include <vector>

namespace vandro::rst {

// One record of the standard relation table, without its Id. Empty
// optionals are nulls.
struct RelationRecord {
  QString from;
  QString relation;
  QString extended; // "yes" or "no"
  QString order;    // "SN", "NS" or "NN"
  QString span1, span2;
  int l1 = 0, h1 = 0, l2 = 0, h2 = 0;
  std::optional<QString> marker1, position1, marker2, position2;
  QString origin; // which node made it, for messages
};

// Relation names to store in place of the document's own ("from" -> "to").
using RelationMap = QHash<QString, QString>;

// The records of `document`, ordered by L1, then L2, H1, H2, Relation.
// False with `error` (naming the document and the node) when a node that a
// record needs covers no segment.
bool relationRecords(const RstDocument &document, const RelationMap &map, std::vector<RelationRecord> &out,
                     QString &error);

} // namespace vandro::rst
