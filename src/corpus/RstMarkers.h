// The discourse markers of a relation record as the document's dm signals
// give them, and the way back: where a marker's parts stand among a span's
// tokens. The notation itself is engine::MarkerNotation's.
#pragma once

#include "corpus/RstDocument.h"

#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace vandro::rst {

// The token ranges of a record's two spans (last < first for a span without
// any token).
struct RecordSpans {
  int first1 = 0, last1 = -1, first2 = 0, last2 = -1;
  int first(int span) const { return span == 1 ? first1 : first2; }
  int last(int span) const { return span == 1 ? last1 : last2; }
};

// A dm signal as a record shows it: it belongs to the span that holds its
// first token inside the record's two spans, and shows its tokens inside
// that span. `span` is 0 when none of its tokens lies inside either span.
struct ShownSignal {
  int index = 0; // its place among the document's <signal> elements
  qint64 line = 0;
  int span = 0;
  std::vector<int> tokens; // inside its span, ascending
  QString text;            // as a marker writes it ("either ... or")
};

ShownSignal showSignal(const RstDocument &document, const RstSignal &signal, const RecordSpans &spans);

// The dm signal at `index` among the document's <signal> elements; null
// when the document has no dm signal there.
const RstSignal *signalAt(const RstDocument &document, int index);

// A span's marker and position from the signals it owns (any order): their
// texts in the order of their first tokens, joined by " + "; the position
// of one signal by markerPosition, "Multiple" for more. Nulls when the span
// owns none.
void spanMarker(const RstDocument &document, std::vector<ShownSignal> owned, int first, int last,
                std::optional<QString> &marker, std::optional<QString> &position);

// corpus::markerPosition and corpus::partPlacements over the document's
// tokens.
QString markerPosition(const RstDocument &document, int markerFirst, int markerLast, int first, int last);

std::vector<std::vector<int>> partPlacements(const RstDocument &document, const QString &part, int first, int last);

} // namespace vandro::rst
