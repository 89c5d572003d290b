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

// The shares the marker table shows beside its counts: none, each count's
// share of its marker's total (its row) or of its relation's (its column).
enum class StatsShare { None, Row, Column };
inline const std::vector<std::pair<std::string, StatsShare>> kStatsShare = {{"row", StatsShare::Row},
                                                                            {"column", StatsShare::Column}};

// How the position table tells a record's two spans apart: as span 1 and
// span 2, or by their role as the record's Order gives it (satellite,
// nucleus, co-nucleus of a multinuclear relation, or an Order that says none).
enum class StatsSpans { Number, Role };
inline const std::vector<std::pair<std::string, StatsSpans>> kStatsSpans = {{"number", StatsSpans::Number},
                                                                            {"role", StatsSpans::Role}};

// What to count and how to show it.
struct StatsOptions {
  StatsBy by = StatsBy::Relation;
  std::vector<std::string> documents; // only these Froms; all when empty
  StatsShare share = StatsShare::None;
  StatsSpans spans = StatsSpans::Number;
  // The rows shown on their own on a terminal and in the chart, the rest
  // summed in one "other" row; 0 for the default (kMarkersShown markers,
  // every row of the other tables).
  std::size_t top = 0;
  // A regular expression whose first capture group (the whole match when it
  // has none) names each document's group; the documents are counted by
  // group when it is given. The caller has checked that it is valid.
  std::string group;
  // The corpus named in the chart's title; when empty, the documents'
  // common name prefix, else `table` without its extension.
  std::string corpus;
  std::string table;
};

// One statistics table.
struct StatsReport {
  StatsBy by = StatsBy::Relation;
  StatsShare share = StatsShare::None;
  std::string title;
  // The corpus and what was counted in it: `total` `unit` ("522 records").
  std::string corpus, unit;
  long total = 0;
  // What a row counts, in the plural ("relations"), for the "other" row.
  std::string noun;
  // The table as shown: its header and rows (a total row last where the
  // table has one), every cell as text; `numeric` marks the columns whose
  // cells are numbers (right-aligned on a terminal).
  std::vector<std::string> header;
  std::vector<bool> numeric;
  std::vector<std::vector<std::string>> rows;
  // The same table for CSV, with the numbers as numbers: every row, never
  // summed into "other".
  std::vector<std::string> csvHeader;
  std::vector<std::vector<std::string>> csvRows;
  // The numbers behind the chart: one row per label (no total), one value
  // per series. For relations and documents the series are the records and
  // those with a marker; for markers, the relations; for positions, the
  // positions of each span (`spanGroups` of them, `series` named
  // "<group> <position>").
  std::vector<std::string> labels, series;
  std::vector<std::vector<long>> values;
  std::vector<std::string> spanGroups;
  StatsSpans spans = StatsSpans::Number;
  // How many rows the last label sums as "other"; 0 when it is a row of its own.
  long otherCount = 0;
};

// The markers shown on a terminal and in the chart of the marker table.
inline constexpr std::size_t kMarkersShown = 40;

// Counts the records of the table behind `cursor` as `options` say, in
// grouping queries of the database. Fails with the reason when a query
// fails or a document is unknown.
Outcome<StatsReport> buildStats(engine::Cursor &cursor, const StatsOptions &options);

// The label of a row that sums `count` rows of `noun`: "(other: 3 relations)".
std::string otherLabel(long count, const std::string &noun);

// Folds the chart's rows of `report` so that at most `keep` rows stand on
// their own: the largest (by records, or by their sum where the series are
// parts of one whole) in their order, the rest, with any "other" row
// there was, summed into one "other" row last.
void foldRows(StatsReport &report, std::size_t keep);

// The table aligned in columns, as text for a terminal.
std::string statsText(const StatsReport &report);
// The table as RFC 4180 CSV (CRLF line ends, a header row), as export writes.
std::string statsCsv(const StatsReport &report);

} // namespace vandro::admin
