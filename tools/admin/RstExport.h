// Writing the corpus a relation table was imported from back as rs3/rs4
// documents, with the table's markers as discourse signals.
#pragma once

#include "CsvTransfer.h"
#include "engine/Cursor.h"

#include <string>
#include <vector>

namespace vandro::admin {

struct RstExportResult : TransferResult {
  long documents = 0, identical = 0; // written, and of them byte for byte as imported
  long markersWritten = 0, markersNotWritten = 0;
  // By Id: markers not written, markers that read back otherwise, records
  // whose other columns differ from the import.
  std::vector<std::string> listed;
};

// Writes the documents named `names` (every document when empty) of the
// table behind `cursor` into `folder` under their file names, all or
// nothing: each file goes beside its target first, and the targets are
// replaced only when every file is written. A document none of whose
// records' markers changed since the import is written byte for byte as
// it was imported; in the others, the dm signals of each span whose marker
// changed make way for one signal of the span's marker now (rst::markerRun),
// and nothing else in the file changes.
RstExportResult exportRst(engine::Cursor &cursor, const std::string &folder, const std::vector<std::string> &names);

} // namespace vandro::admin
