// Finding the records that still need doing: conditions on a relation
// record, which the window's Find and `vandro-admin find` share, made into
// the engine's filter of one key-set query.
#pragma once

#include "engine/Cursor.h"
#include "engine/Outcome.h"

#include <optional>
#include <string>

namespace vandro::corpus {

// Which spans a condition looks at.
enum class Spans { First, Second, Either, Both };

// Conditions that must all hold; an unset one holds for every record. The
// texts are as the user typed them; an empty one is no condition.
struct FindConditions {
  std::string relation;       // the Relation, exactly (as the search box's search)
  std::string document;       // the From, exactly
  std::string marker;         // a marker holding this, letter case aside
  std::string text;           // a span's text holding this, letter case aside
  Spans spans = Spans::Either; // where marker and text are looked for: First, Second or Either
  std::optional<Spans> withoutMarker; // no marker on this span, on either, or on both
  bool changed = false;       // markers differing from what the import of a kept corpus gave

  bool any() const {
    return !relation.empty() || !document.empty() || !marker.empty() || !text.empty() || withoutMarker || changed;
  }
};

// The engine's filter for `conditions` on the relation table behind
// `cursor`: its columns found by name. A failure names a column the table
// lacks, or "changed" asked of a table without a kept corpus.
Outcome<engine::RecordFilter> recordFilter(engine::Cursor &cursor, const FindConditions &conditions);

} // namespace vandro::corpus
