// Turning RST documents into records of a relation table.
#pragma once

#include "CsvTransfer.h"
#include "RstRelations.h"

#include <string>
#include <vector>

namespace vandro::admin {

struct RstImportResult : TransferResult {
  long documents = 0;
  long withMarker = 0; // records with a marker on either span
};

// Reads the rs3/rs4 documents `files` in this order and stores their
// relation records in the standard relation table behind `cursor`, numbered
// on after its largest Id, all or nothing: any fault stores no record of any
// document. A text longer than its field is refused, naming the document and
// the record, never cut. `progress`, when set, is told after each document.
RstImportResult importRst(engine::Cursor &cursor, const std::vector<std::string> &files,
                          const rst::RelationMap &map,
                          const std::function<void(const RstImportResult &)> &progress = {});

} // namespace vandro::admin
