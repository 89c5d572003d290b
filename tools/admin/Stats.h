// What the annotation says: relation and marker counts of a relation table,
// as tables for a terminal or CSV, and the numbers behind their charts.
#pragma once

#include "engine/Cursor.h"
#include "engine/Outcome.h"

#include <string>
#include <utility>
#include <vector>

namespace vandro::admin {

enum class StatsBy { Relation, Marker, Position, Document };
// The groupings by the names --by takes, in the order the help lists them.
inline const std::vector<std::pair<std::string, StatsBy>> kStatsBy = {
    {"relation", StatsBy::Relation}, {"marker", StatsBy::Marker}, {"position", StatsBy::Position},
    {"document", StatsBy::Document}};

// One statistics table.
struct StatsReport {
  StatsBy by = StatsBy::Relation;
  std::string title;
  // The table as shown: its header and rows (a total row last where the
  // table has one), every cell as text; `numeric` marks the columns whose
  // cells are numbers (right-aligned on a terminal).
  std::vector<std::string> header;
  std::vector<bool> numeric;
  std::vector<std::vector<std::string>> rows;
  // The same table for CSV, with the numbers as numbers.
  std::vector<std::string> csvHeader;
  std::vector<std::vector<std::string>> csvRows;
  // The numbers behind the chart: one row per label (no total), one value
  // per series. For relations and documents the series are the records and
  // those with a marker; for markers, the relations; for positions, each
  // span's positions.
  std::vector<std::string> labels, series;
  std::vector<std::vector<long>> values;
  // Markers left out of the terminal table and the chart (they are in the CSV).
  long leftOut = 0;
};

// The markers shown on a terminal and in the chart of the marker table.
inline constexpr std::size_t kMarkersShown = 40;

// Counts the records of the table behind `cursor` (of the documents named
// in `documents`, all when empty) by `by`, in grouping queries of the
// database. Fails with the reason when a query fails or a document is unknown.
Outcome<StatsReport> buildStats(engine::Cursor &cursor, StatsBy by, const std::vector<std::string> &documents);

// The table aligned in columns, as text for a terminal.
std::string statsText(const StatsReport &report);
// The table as RFC 4180 CSV (CRLF line ends, a header row), as export writes.
std::string statsCsv(const StatsReport &report);

} // namespace vandro::admin
