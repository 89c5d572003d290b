// The map of relation names an RST import stores in place of a corpus's own.
#pragma once

#include "RstRelations.h"

#include <QString>

namespace vandro::rst {

// Reads a CSV file (RFC 4180, UTF-8) with the header "from,to", one pair a
// line. False with `error` naming the file, the line and the fault.
bool readRelationMap(const QString &path, RelationMap &out, QString &error);

} // namespace vandro::rst
