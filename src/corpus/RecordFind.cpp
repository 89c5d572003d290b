#include "RecordFind.h"

#include "Corpus.h"
#include "MarkerNotation.h"
#include "RelationTable.h"
#include "engine/ErrorEntries.h"
#include "engine/FailureMessage.h"
#include "engine/Quoted.h"

#include <algorithm>
#include <cctype>
#include <functional>

namespace vandro::corpus {

using engine::FilterPart;
using engine::RecordFilter;

namespace {

// The field number of the relation table's column `c` in the table behind
// `cursor`, found by name without regard to case, as the window finds its
// fields.
Outcome<int> fieldOf(const engine::Cursor &cursor, column::Column c) {
  const auto &fields = cursor.description().fields;
  const std::string_view name = kRelationColumnNames[c];
  auto sameLetters = [](char a, char b) {
    return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
  };
  for (std::size_t i = 0; i < fields.size(); ++i)
    if (std::equal(fields[i].name.begin(), fields[i].name.end(), name.begin(), name.end(), sameLetters))
      return static_cast<int>(i);
  return Failure{"The table has no column " + std::string(name)};
}

// The test `part` of span 1 and of span 2, as `spans` asks: one span's
// alone, either of the two, or both.
Outcome<void> addPerSpan(RecordFilter &filter, Spans spans, const std::function<Outcome<FilterPart>(int)> &part) {
  std::vector<FilterPart> tests;
  for (const int span : {1, 2}) {
    if ((spans == Spans::First && span == 2) || (spans == Spans::Second && span == 1))
      continue;
    auto made = part(span);
    if (!made)
      return Failure{made.error()};
    tests.push_back(std::move(*made));
  }
  if (spans == Spans::Either)
    filter.push_back(FilterPart::anyOf(std::move(tests)));
  else
    filter.insert(filter.end(), tests.begin(), tests.end());
  return {};
}

column::Column markerColumn(int span) { return span == 1 ? column::Marker1 : column::Marker2; }
column::Column textColumn(int span) { return span == 1 ? column::Span1 : column::Span2; }

} // namespace

Outcome<RecordFilter> recordFilter(engine::Cursor &cursor, const FindConditions &conditions) {
  RecordFilter filter;
  for (const auto &[text, c] : {std::pair{&conditions.relation, column::Relation},
                                std::pair{&conditions.document, column::From}}) {
    if (text->empty())
      continue;
    const auto field = fieldOf(cursor, c);
    if (!field)
      return Failure{field.error()};
    filter.push_back(FilterPart::equals(*field, *text));
  }
  // Marker and span text: contained, letter case aside, on the spans asked.
  const Spans spans = conditions.spans == Spans::Both ? Spans::Either : conditions.spans;
  for (const auto &[text, columnOf] : {std::pair{&conditions.marker, &markerColumn},
                                       std::pair{&conditions.text, &textColumn}}) {
    if (text->empty())
      continue;
    const auto added = addPerSpan(filter, spans, [&](int span) -> Outcome<FilterPart> {
      const auto field = fieldOf(cursor, columnOf(span));
      if (!field)
        return Failure{field.error()};
      return FilterPart::contains(*field, *text);
    });
    if (!added)
      return Failure{added.error()};
  }
  if (conditions.withoutMarker) {
    const auto added = addPerSpan(filter, *conditions.withoutMarker, [&](int span) -> Outcome<FilterPart> {
      const auto field = fieldOf(cursor, markerColumn(span));
      if (!field)
        return Failure{field.error()};
      // No marker: null, empty, or blanks only (markerSql).
      const std::string name = cursor.description().fields[static_cast<std::size_t>(*field)].name;
      return FilterPart::where(markerSql(engine::quoteIdentifier(name)) + " IS NULL");
    });
    if (!added)
      return Failure{added.error()};
  }
  if (conditions.changed) {
    Corpus corpus(cursor);
    bool kept = false;
    if (const engine::Result result = corpus.exists(kept); result != engine::code::Ok)
      return Failure{engine::failureMessage(result, engine::ErrorEntries::all())};
    if (!kept)
      return Failure{std::string("The table keeps no imported corpus, so no record has markers changed since an "
                                 "import")};
    filter.push_back(FilterPart::where(corpus.markersChangedCondition()));
  }
  return filter;
}

} // namespace vandro::corpus
