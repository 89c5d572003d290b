// The four marker fields of a relation record as texts: what the marker
// panel shows, what it would store, and what the record holds.
#pragma once

#include <QString>

namespace vandro::store {

class TTable;

// Whether `marker` is no marker: empty or blanks only.
bool isNoMarker(const QString &marker);
// `text` for a message: quoted, cut after a few dozen characters, control
// characters escaped (engine::shownText).
QString shownText(const QString &text);
// `marker` as the notation writes it (corpus::canonicalMarker): blanks
// around and between its parts and words made single or none.
QString canonicalMarker(const QString &marker);

struct MarkerTexts {
  QString marker1, position1, marker2, position2;

  // The fields Marker1, Position1, Marker2 and Position2 of the record the
  // table shows (while editing, as edited so far). Raises LookupField's
  // failure for a missing field.
  static MarkerTexts current(const TTable &table);
  // The same fields of the record as it was stored when its edit began
  // (outside an edit, the record shown).
  static MarkerTexts stored(const TTable &table);

  // Whether both say the same of both spans: the same marker (as the
  // notation writes it), and where there is one the same position. A
  // marker that is empty or blanks only is no marker, whose position counts
  // for nothing.
  bool sameAnnotation(const MarkerTexts &other) const;

  // For messages: "Span1 "because" at "Beginning"; Span2 no marker".
  QString described() const;
};

} // namespace vandro::store
