// Counts over a relation table, computed by the database in grouping
// queries rather than by reading the records.
#pragma once

#include "engine/Cursor.h"

#include <optional>
#include <string>
#include <vector>

namespace vandro::corpus {

using engine::Cursor;
using engine::Result;
using engine::Value;
// One group's counts. `relation` and `text` are nulls where the table holds
// null; `span` is 1 or 2 where counts are per span.
struct GroupCount {
  std::optional<std::string> relation;
  std::optional<std::string> text; // the From, the marker or the position, by query
  std::optional<std::string> order; // the record's Order, where counts are per span
  int span = 0;
  long records = 0;
  long marked = 0; // of them, with a marker on either span (where counted)
};

// The standard relation table behind a cursor, restricted to the records
// whose From is one of `documents` (all records when it is empty). A marker
// is a Marker1 or Marker2 that is neither null, nor empty, nor blanks only
// (MarkerNotation). Every function returns Ok or the failure of its query.
class Statistics {
public:
  Statistics(Cursor &cursor, std::vector<std::string> documents)
      : m_cursor(cursor), m_documents(std::move(documents)) {}

  // Per relation name: records, and records with a marker.
  [[nodiscard]] Result byRelation(std::vector<GroupCount> &out);
  // Per relation name and marker, how often the marker stands on either
  // span (`records`): each part of a stored marker ("and + then") is one
  // marker, without its outer blanks.
  [[nodiscard]] Result byMarker(std::vector<GroupCount> &out);
  // Per relation name, Order, span and position of the span's marker
  // (exactly as stored; null where none), how many spans with a marker.
  [[nodiscard]] Result byPosition(std::vector<GroupCount> &out);
  // Per From (`text`): records, and records with a marker.
  [[nodiscard]] Result byDocument(std::vector<GroupCount> &out);
  // The documents asked for of which no record's From is.
  [[nodiscard]] Result unknownDocuments(std::vector<std::string> &out);

private:
  // " WHERE <condition>" with the From restriction, and its parameters.
  std::string where(const std::string &condition, std::vector<Value> &parameters) const;
  Result run(const std::string &sql, const std::vector<Value> &parameters, std::vector<GroupCount> &out,
             const std::vector<char> &layout);

  Cursor &m_cursor;
  std::vector<std::string> m_documents;
};

} // namespace vandro::corpus
