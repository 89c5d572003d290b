#include "Stats.h"

#include "CsvWriter.h"
#include "engine/ErrorEntries.h"
#include "engine/FailureMessage.h"
#include "corpus/Statistics.h"

#include <QString>
#include <algorithm>
#include <cstdio>
#include <map>
#include <sstream>

namespace vandro::admin {

using namespace engine;

using namespace corpus;

namespace {

const std::string kNoRelation = "(none)", kEmptyText = "(empty)";
const std::vector<std::string> kPositions = {"Beginning", "Middle", "End", "Multiple", "other"};

std::string percent(long part, long whole) {
  char text[16];
  std::snprintf(text, sizeof text, "%.1f%%", whole ? 100.0 * static_cast<double>(part) / static_cast<double>(whole) : 0.0);
  return text;
}

std::string fraction(long part, long whole) {
  char text[16];
  std::snprintf(text, sizeof text, "%.4f", whole ? static_cast<double>(part) / static_cast<double>(whole) : 0.0);
  return text;
}

// A label for a relation or a document: null and the empty text shown as such.
std::string label(const std::optional<std::string> &text) {
  return !text ? kNoRelation : text->empty() ? kEmptyText : *text;
}

std::string relationOf(const GroupCount &group) { return label(group.relation); }

// Markers counted without regard to letter case, each shown in its most
// frequent spelling.
class MarkerCounts {
public:
  void add(const std::string &spelling, const std::string &relation, long count) {
    const std::string key = QString::fromStdString(spelling).toCaseFolded().toStdString();
    Marker &marker = m_markers[key];
    marker.spellings[spelling] += count;
    marker.byRelation[relation] += count;
    marker.total += count;
  }
  struct Counted {
    std::string shown;
    long total = 0;
    std::map<std::string, long> byRelation;
  };
  // Most frequent first, then by the shown spelling.
  std::vector<Counted> ordered() const {
    std::vector<Counted> list;
    for (const auto &[key, marker] : m_markers) {
      auto spelling = std::max_element(marker.spellings.begin(), marker.spellings.end(),
                                        [](const auto &a, const auto &b) { return a.second < b.second; });
      list.push_back({spelling->first, marker.total, marker.byRelation});
    }
    std::stable_sort(list.begin(), list.end(), [](const Counted &a, const Counted &b) {
      return a.total != b.total ? a.total > b.total : a.shown < b.shown;
    });
    return list;
  }

private:
  struct Marker {
    std::map<std::string, long> spellings, byRelation;
    long total = 0;
  };
  std::map<std::string, Marker> m_markers;
};

// The three most frequent markers of `markers` among those of `relation`
// (all when empty), as "and 30, also 12, so 9" and as CSV cells.
void topMarkers(const std::vector<MarkerCounts::Counted> &markers, const std::string *relation, std::string &text,
                std::vector<std::string> &cells) {
  std::vector<std::pair<std::string, long>> top;
  for (const auto &marker : markers) {
    const long count = relation ? (marker.byRelation.count(*relation) ? marker.byRelation.at(*relation) : 0) : marker.total;
    if (count > 0)
      top.emplace_back(marker.shown, count);
  }
  std::stable_sort(top.begin(), top.end(), [](const auto &a, const auto &b) { return a.second > b.second; });
  top.resize(std::min<std::size_t>(top.size(), 3));
  for (std::size_t i = 0; i < 3; ++i) {
    if (i < top.size()) {
      text += (i ? ", " : "") + top[i].first + " " + std::to_string(top[i].second);
      cells.push_back(top[i].first);
      cells.push_back(std::to_string(top[i].second));
    } else {
      cells.emplace_back();
      cells.emplace_back();
    }
  }
}

void byRelation(const std::vector<GroupCount> &relations, const std::vector<GroupCount> &markerRows, StatsReport &out) {
  MarkerCounts counts;
  for (const GroupCount &group : markerRows)
    if (group.text)
      counts.add(*group.text, relationOf(group), group.records);
  const auto markers = counts.ordered();
  std::vector<GroupCount> ordered = relations;
  std::stable_sort(ordered.begin(), ordered.end(), [](const GroupCount &a, const GroupCount &b) {
    return a.records != b.records ? a.records > b.records : relationOf(a) < relationOf(b);
  });
  out.title = "Relations: records and records with a marker";
  out.header = {"Relation", "Records", "With a marker", "Share", "Most frequent markers"};
  out.numeric = {false, true, true, true, false};
  out.csvHeader = {"Relation", "Records", "With a marker", "Share", "Marker 1", "Count 1", "Marker 2", "Count 2",
                   "Marker 3", "Count 3"};
  out.series = {"Records", "With a marker"};
  long records = 0, marked = 0;
  auto addRow = [&](const std::string &name, long all, long withMarker, const std::string *relation) {
    std::string text;
    std::vector<std::string> cells;
    topMarkers(markers, relation, text, cells);
    out.rows.push_back({name, std::to_string(all), std::to_string(withMarker), percent(withMarker, all), text});
    std::vector<std::string> csv = {name, std::to_string(all), std::to_string(withMarker), fraction(withMarker, all)};
    csv.insert(csv.end(), cells.begin(), cells.end());
    out.csvRows.push_back(std::move(csv));
  };
  for (const GroupCount &group : ordered) {
    const std::string name = relationOf(group);
    addRow(name, group.records, group.marked, &name);
    out.labels.push_back(name);
    out.values.push_back({group.records, group.marked});
    records += group.records;
    marked += group.marked;
  }
  addRow("Total", records, marked, nullptr);
}

void byMarker(const std::vector<GroupCount> &markerRows, StatsReport &out) {
  MarkerCounts counts;
  std::map<std::string, long> relationTotals;
  for (const GroupCount &group : markerRows)
    if (group.text) {
      counts.add(*group.text, relationOf(group), group.records);
      relationTotals[relationOf(group)] += group.records;
    }
  std::vector<std::pair<std::string, long>> relations(relationTotals.begin(), relationTotals.end());
  std::stable_sort(relations.begin(), relations.end(), [](const auto &a, const auto &b) { return a.second > b.second; });
  out.title = "Markers and the relations they mark";
  out.header = {"Marker"};
  out.numeric = {false};
  for (const auto &[relation, total] : relations) {
    out.header.push_back(relation);
    out.numeric.push_back(true);
    out.series.push_back(relation);
  }
  out.header.push_back("Total");
  out.numeric.push_back(true);
  out.csvHeader = out.header;
  const auto markers = counts.ordered();
  for (std::size_t i = 0; i < markers.size(); ++i) {
    std::vector<std::string> row = {markers[i].shown};
    std::vector<long> values;
    for (const auto &[relation, total] : relations) {
      const auto found = markers[i].byRelation.find(relation);
      const long count = found == markers[i].byRelation.end() ? 0 : found->second;
      row.push_back(std::to_string(count));
      values.push_back(count);
    }
    row.push_back(std::to_string(markers[i].total));
    out.csvRows.push_back(row);
    if (i < kMarkersShown) {
      out.rows.push_back(row);
      out.labels.push_back(markers[i].shown);
      out.values.push_back(values);
    }
  }
  out.leftOut = static_cast<long>(markers.size() > kMarkersShown ? markers.size() - kMarkersShown : 0);
}

void byPosition(const std::vector<GroupCount> &positionRows, StatsReport &out) {
  // relation -> span * 5 + position -> count
  std::map<std::string, std::vector<long>> table;
  for (const GroupCount &group : positionRows) {
    std::vector<long> &counts = table[relationOf(group)];
    counts.resize(2 * kPositions.size());
    const auto known = std::find(kPositions.begin(), kPositions.end() - 1, group.text.value_or(""));
    const std::size_t position = static_cast<std::size_t>(known - kPositions.begin()); // "other" when not found
    counts[static_cast<std::size_t>(group.span - 1) * kPositions.size() + position] += group.records;
  }
  std::vector<std::pair<std::string, std::vector<long>>> ordered(table.begin(), table.end());
  auto sum = [](const std::vector<long> &counts) {
    long total = 0;
    for (long count : counts)
      total += count;
    return total;
  };
  std::stable_sort(ordered.begin(), ordered.end(),
                   [&](const auto &a, const auto &b) { return sum(a.second) > sum(b.second); });
  out.title = "Marker positions by relation, span 1 and span 2";
  out.header = {"Relation"};
  out.numeric = {false};
  for (int span = 1; span <= 2; ++span)
    for (const std::string &position : kPositions) {
      out.header.push_back("Span " + std::to_string(span) + " " + position);
      out.numeric.push_back(true);
      out.series.push_back(out.header.back());
    }
  out.header.push_back("Total");
  out.numeric.push_back(true);
  out.csvHeader = out.header;
  std::vector<long> totals(2 * kPositions.size());
  for (const auto &[relation, counts] : ordered) {
    std::vector<std::string> row = {relation};
    for (std::size_t i = 0; i < counts.size(); ++i) {
      row.push_back(std::to_string(counts[i]));
      totals[i] += counts[i];
    }
    row.push_back(std::to_string(sum(counts)));
    out.rows.push_back(row);
    out.labels.push_back(relation);
    out.values.push_back(counts);
  }
  std::vector<std::string> total = {"Total"};
  for (long count : totals)
    total.push_back(std::to_string(count));
  total.push_back(std::to_string(sum(totals)));
  out.rows.push_back(total);
  out.csvRows = out.rows;
}

void byDocument(const std::vector<GroupCount> &documents, StatsReport &out) {
  std::vector<GroupCount> ordered = documents;
  std::stable_sort(ordered.begin(), ordered.end(),
                   [](const GroupCount &a, const GroupCount &b) { return a.text.value_or("") < b.text.value_or(""); });
  out.title = "Documents: records and records with a marker";
  out.header = {"Document", "Records", "With a marker", "Share"};
  out.numeric = {false, true, true, true};
  out.csvHeader = out.header;
  out.series = {"Records", "With a marker"};
  long records = 0, marked = 0;
  for (const GroupCount &group : ordered) {
    const std::string name = label(group.text);
    out.rows.push_back({name, std::to_string(group.records), std::to_string(group.marked),
                        percent(group.marked, group.records)});
    out.csvRows.push_back({name, std::to_string(group.records), std::to_string(group.marked),
                           fraction(group.marked, group.records)});
    out.labels.push_back(name);
    out.values.push_back({group.records, group.marked});
    records += group.records;
    marked += group.marked;
  }
  out.rows.push_back({"Total", std::to_string(records), std::to_string(marked), percent(marked, records)});
  out.csvRows.push_back({"Total", std::to_string(records), std::to_string(marked), fraction(marked, records)});
}

// Characters on a terminal: the UTF-8 bytes that start a character.
std::size_t width(const std::string &text) {
  return static_cast<std::size_t>(std::count_if(
      text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

} // namespace

Outcome<StatsReport> buildStats(Cursor &cursor, StatsBy by, const std::vector<std::string> &documents) {
  StatsReport out;
  out.by = by;
  Statistics statistics(cursor, documents);
  std::vector<std::string> unknown;
  if (const Result checked = statistics.unknownDocuments(unknown); checked != code::Ok)
    return Failure{failureMessage(checked, ErrorEntries::all())};
  if (!unknown.empty())
    return Failure{"no record's From is " + unknown.front() + " (stats --by document lists them)"};
  std::vector<GroupCount> first, second;
  Result result = code::Ok;
  switch (by) {
  case StatsBy::Relation:
    result = statistics.byRelation(first);
    if (result == code::Ok)
      result = statistics.byMarker(second);
    break;
  case StatsBy::Marker: result = statistics.byMarker(first); break;
  case StatsBy::Position: result = statistics.byPosition(first); break;
  case StatsBy::Document: result = statistics.byDocument(first); break;
  }
  if (result != code::Ok)
    return Failure{failureMessage(result, ErrorEntries::all())};
  switch (by) {
  case StatsBy::Relation: byRelation(first, second, out); break;
  case StatsBy::Marker: byMarker(first, out); break;
  case StatsBy::Position: byPosition(first, out); break;
  case StatsBy::Document: byDocument(first, out); break;
  }
  return out;
}

std::string statsText(const StatsReport &report) {
  std::vector<std::size_t> widths(report.header.size());
  auto measure = [&](const std::vector<std::string> &row) {
    for (std::size_t c = 0; c < row.size() && c < widths.size(); ++c)
      widths[c] = std::max(widths[c], width(row[c]));
  };
  measure(report.header);
  for (const auto &row : report.rows)
    measure(row);
  std::string text;
  auto line = [&](const std::vector<std::string> &row) {
    std::string out;
    for (std::size_t c = 0; c < row.size() && c < widths.size(); ++c) {
      const std::string pad(widths[c] - width(row[c]), ' ');
      const bool last = c + 1 == row.size();
      out += c ? "  " : "";
      out += report.numeric[c] ? pad + row[c] : row[c] + (last ? "" : pad);
    }
    text += out + "\n";
  };
  line(report.header);
  for (const auto &row : report.rows)
    line(row);
  if (report.leftOut > 0)
    text += "(" + std::to_string(report.leftOut) + " less frequent markers left out; --csv lists them all)\n";
  return text;
}

std::string statsCsv(const StatsReport &report) {
  std::ostringstream out;
  csv::Writer writer(out);
  // An empty cell (no third marker, say) is an empty field, not "".
  auto write = [&](const std::vector<std::string> &row) {
    std::vector<csv::Value> fields;
    for (std::size_t c = 0; c < row.size(); ++c)
      fields.push_back(row[c].empty() && c > 0 ? csv::Value() : csv::Value(row[c]));
    writer.writeRow(fields);
  };
  write(report.csvHeader);
  for (const auto &row : report.csvRows)
    write(row);
  return out.str();
}

} // namespace vandro::admin
