// Turning RST documents into records of a relation table.
#pragma once

#include "RstRelations.h"
#include "engine/Cursor.h"
#include "engine/Outcome.h"

#include <functional>
#include <string>
#include <vector>

namespace vandro::admin {

// What an import stored, so far or in all.
struct RstImportSummary {
  long documents = 0;
  long records = 0;
  long withMarker = 0; // records with a marker on either span
  // What the import says at its end, one line each, without refusing.
  std::vector<std::string> warnings;
};

// Reads the rs3/rs4 documents `files` in this order and stores their
// relation records in the standard relation table behind `cursor`, numbered
// on after its largest Id, all or nothing: any fault stores no record of any
// document. Beside the table, in the same transaction, each document's
// bytes and each record's source (corpus::Corpus), the two tables made
// when missing. A document whose name is a From of the table already is
// refused. A text longer than its field is refused, naming the document
// and the record, never cut. `progress`, when set, is told after each
// document. Fails, storing nothing, with the reason.
Outcome<RstImportSummary> importRst(engine::Cursor &cursor, const std::vector<std::string> &files,
                                    const rst::RelationMap &map,
                                    const std::function<void(const RstImportSummary &)> &progress = {});

// The digest of a record's columns other than its Id and markers (From to
// Segments_distance), as the relation table's standard fields give them in
// `values`: what export-rst compares with the import's.
std::string otherColumnsDigest(const std::vector<engine::Value> &values);

} // namespace vandro::admin
