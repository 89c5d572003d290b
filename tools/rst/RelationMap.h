// The map of relation names an RST import stores in place of a corpus's own.
#pragma once

#include "RstRelations.h"
#include "engine/Outcome.h"

#include <QString>

namespace vandro::rst {

// Reads a CSV file (RFC 4180, UTF-8) with the header "from,to", one pair a
// line. Fails naming the file, the line and the fault.
Outcome<RelationMap, QString> readRelationMap(const QString &path);

} // namespace vandro::rst
