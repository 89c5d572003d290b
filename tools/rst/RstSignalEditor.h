// Writing changed discourse-marker signals into the bytes of an rs3/rs4
// document, leaving everything else exactly as it was.
#pragma once

#include "engine/Outcome.h"

#include <QByteArray>
#include <QString>
#include <optional>
#include <vector>

namespace vandro::rst {

// A new <signal source="N" type="dm" subtype="dm" tokens="i,j,..."/>.
struct NewSignal {
  QString source;
  std::vector<int> tokens;
};

// One span's signals: `removed` (places among the document's <signal>
// elements, from 0) go; the `added` ones stand where the first removed one
// stood, else just after the signal at the place `after` (the span's last
// kept one, else the record's last), else at the end of the <signals>
// element.
struct SignalEdit {
  std::vector<int> removed;
  std::vector<NewSignal> added;
  std::optional<int> after;
};

// The document `bytes` with `edits` made inside its <signals> element. An
// rs3 document without one gains it at the end of <body>, and a header
// without a dm signal type gains its declaration in <sigtypes>. Nothing
// else changes, byte for byte: the file keeps its encoding, its byte-order
// mark, its line ends, its formatting and its comments. Fails, saying why,
// when the document cannot be written back so (an encoding that does not
// give its bytes back, malformed XML, a signal it does not have).
Outcome<QByteArray, QString> editSignals(const QByteArray &bytes, const std::vector<SignalEdit> &edits);

} // namespace vandro::rst
