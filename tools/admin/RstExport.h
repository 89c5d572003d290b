// Writing the corpus a relation table was imported from back as rs3/rs4
// documents, with the table's markers as discourse signals.
#pragma once

#include "corpus/RstDocument.h"
#include "corpus/Corpus.h"
#include "engine/Cursor.h"
#include "engine/Outcome.h"

#include <string>
#include <vector>

namespace vandro::admin {

// What an export wrote.
struct RstExportSummary {
  long documents = 0, identical = 0; // written, and of them byte for byte as imported
  // The dm signals added and removed, and the parts of markers that no
  // signal could be made of.
  long signalsAdded = 0, signalsRemoved = 0, signalsNotWritten = 0;
  // By Id: each signal added and removed, parts not written, markers that
  // read back otherwise, records whose other columns differ from the import.
  std::vector<std::string> listed;
};

// Every kept document read and every source checked against the record the
// document gives for its nodes (its spans' tokens, each signal it names one
// of that span's dm signals, none named twice): what is wrong, one line
// each. Fails when the corpus cannot be read.
Outcome<std::vector<std::string>> corpusSourceProblems(engine::Cursor &cursor);

// What an export does with a file of the folder that holds neither the
// document as imported nor what it would write now: refuses, or replaces it.
enum class ExistingFiles { KeepChanged, Replace };

// Writes the documents named `names` (every document when empty) of the
// table behind `cursor` into `folder` under their file names, all or
// nothing: each file goes beside its target first, and the targets are
// replaced only when every file is written. A document none of whose
// records' markers changed since the import is written byte for byte as
// it was imported. In the others each part of a changed span's marker is
// one dm signal (engine::MarkerNotation): a part equal to what a signal of
// the span showed keeps that <signal> element exactly, another part
// becomes a new signal on the span's tokens, and a signal whose part the
// user took away is removed; nothing else in the file changes. Fails,
// writing nothing, with the reason.
Outcome<RstExportSummary> exportRst(engine::Cursor &cursor, const std::string &folder,
                                    const std::vector<std::string> &names,
                                    ExistingFiles existing = ExistingFiles::KeepChanged);

} // namespace vandro::admin
