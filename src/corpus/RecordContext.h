// A relation record in the document it came from, as the context view
// shows it: the tokens of its two spans, the dm signals each span owns, the
// other signals nearby, and a line naming its place in the tree.
#pragma once

#include "corpus/Corpus.h"
#include "corpus/RstMarkers.h"

#include <QString>
#include <array>
#include <optional>
#include <vector>

namespace vandro::corpus {

// A span's marker and position as the record holds them now (nulls for
// none).
struct SpanMarker {
  std::optional<QString> marker, position;
};

// Another record of the document, with its markers as it holds them now.
struct NearbyRecord {
  RecordSource source;
  std::array<SpanMarker, 2> markers;
};

struct RecordContext {
  // "walk · concession · satellite 1 (span 1) → nucleus 2 (span 2) · above:
  // top 1–6": the document, the relation, which span is the satellite and
  // which the nucleus (or the two nuclei), with their segments, and the
  // chain of relations above it up to the top of the tree.
  QString heading;
  // Each span's tokens (last < first for a span without any) and segments.
  rst::RecordSpans spans;
  std::array<int, 2> firstSegment{}, lastSegment{};
  // By span, the tokens of each dm signal it owns: the signals the import
  // gave it while its marker is the imported one, else where its marker
  // now stands (the tokens chosen for it, else as an export places it).
  std::array<std::vector<std::vector<int>>, 2> owned;
  // The tokens of the signals the other records near it own (as their
  // markers stand now), by first token.
  std::vector<std::vector<int>> others;
  // The segments to show around the record: a few before and after.
  int showFirst = 0, showLast = 0;
};

// How many segments the view shows before and after the record's spans.
inline constexpr int kContextSegments = 3;

// The tokens of the segments the view shows around the record whose
// source is `source` (a few before and after its spans): first and last;
// 0 and -1 when it has none.
std::pair<int, int> shownTokens(const rst::RstDocument &document, const RecordSource &source);

// The context of the record whose source is `source` in `document`, with
// its relation, order ("SN", "NS" or "NN": which span is the satellite; the
// document's tree says so for another value) and markers as it holds them
// now, the other records near it (any others are passed over) and the
// token choices of them all.
// Node ids, token numbers and signal places that `document` does not have
// are passed over (check names them), never trusted.
RecordContext recordContext(const rst::RstDocument &document, const RecordSource &source, const QString &relation,
                            const QString &order, const std::array<SpanMarker, 2> &markers,
                            const std::vector<NearbyRecord> &nearby, const std::vector<TokenChoice> &choices);

// The segment (from 1) that holds token `token`; 0 for a token the
// document does not have.
int segmentOf(const rst::RstDocument &document, int token);

} // namespace vandro::corpus
