#include "Stats.h"

#include "CsvWriter.h"
#include "engine/ErrorEntries.h"
#include "engine/FailureMessage.h"
#include "corpus/Statistics.h"

#include <QRegularExpression>
#include <QString>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <numeric>
#include <set>
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

// The three most frequent markers of `markers` among those of the relations
// in `relations` (all when null), as "and 30, also 12, so 9" and as CSV cells.
void topMarkers(const std::vector<MarkerCounts::Counted> &markers, const std::set<std::string> *relations,
                std::string &text, std::vector<std::string> &cells) {
  std::vector<std::pair<std::string, long>> top;
  for (const auto &marker : markers) {
    long count = relations ? 0 : marker.total;
    if (relations)
      for (const auto &[relation, times] : marker.byRelation)
        count += relations->count(relation) ? times : 0;
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

// The `count` heaviest of the rows weighed by `weights`, the first of equals.
std::vector<bool> heaviest(const std::vector<long> &weights, std::size_t count) {
  std::vector<std::size_t> order(weights.size());
  std::iota(order.begin(), order.end(), std::size_t{0});
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return weights[a] > weights[b]; });
  std::vector<bool> kept(weights.size());
  for (std::size_t i = 0; i < order.size() && i < count; ++i)
    kept[order[i]] = true;
  return kept;
}

// Which of the rows weighed by `weights` stand on their own when `cap` of
// them may (0: all): the heaviest. A single row left over stands on its
// own too, since a row of "other" would take its place.
std::vector<bool> keptRows(const std::vector<long> &weights, std::size_t cap) {
  if (cap == 0 || weights.size() <= cap + 1)
    return std::vector<bool>(weights.size(), true);
  return heaviest(weights, cap);
}

long sum(const std::vector<long> &counts) { return std::accumulate(counts.begin(), counts.end(), 0L); }

void byRelation(const std::vector<GroupCount> &relations, const std::vector<GroupCount> &markerRows, std::size_t cap,
                StatsReport &out) {
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
  out.noun = "relations";
  out.unit = "records";
  out.header = {"Relation", "Records", "With a marker", "Share", "Most frequent markers"};
  out.numeric = {false, true, true, true, false};
  out.csvHeader = {"Relation", "Records", "With a marker", "Share", "Marker 1", "Count 1", "Marker 2", "Count 2",
                   "Marker 3", "Count 3"};
  out.series = {"Records", "With a marker"};
  auto addRow = [&](const std::string &name, long all, long withMarker, const std::set<std::string> *names,
                    bool shown, bool inCsv) {
    std::string text;
    std::vector<std::string> cells;
    topMarkers(markers, names, text, cells);
    if (shown)
      out.rows.push_back({name, std::to_string(all), std::to_string(withMarker), percent(withMarker, all), text});
    if (!inCsv)
      return;
    std::vector<std::string> csv = {name, std::to_string(all), std::to_string(withMarker), fraction(withMarker, all)};
    csv.insert(csv.end(), cells.begin(), cells.end());
    out.csvRows.push_back(std::move(csv));
  };
  std::vector<long> weights;
  for (const GroupCount &group : ordered)
    weights.push_back(group.records);
  const std::vector<bool> kept = keptRows(weights, cap);
  long records = 0, marked = 0, otherRecords = 0, otherMarked = 0;
  std::set<std::string> others;
  for (std::size_t i = 0; i < ordered.size(); ++i) {
    const GroupCount &group = ordered[i];
    const std::string name = relationOf(group);
    const std::set<std::string> only = {name};
    addRow(name, group.records, group.marked, &only, kept[i], true);
    if (kept[i]) {
      out.labels.push_back(name);
      out.values.push_back({group.records, group.marked});
    } else {
      others.insert(name);
      otherRecords += group.records;
      otherMarked += group.marked;
    }
    records += group.records;
    marked += group.marked;
  }
  if (!others.empty()) {
    out.otherCount = static_cast<long>(others.size());
    out.labels.push_back(otherLabel(out.otherCount, out.noun));
    out.values.push_back({otherRecords, otherMarked});
    addRow(out.labels.back(), otherRecords, otherMarked, &others, true, false);
  }
  addRow("Total", records, marked, nullptr, true, true);
  out.total = records;
}

// A count with its share of `whole` beside it: "16 (59.3%)"; a bare 0.
std::string countAndShare(long count, long whole) {
  return count ? std::to_string(count) + " (" + percent(count, whole) + ")" : "0";
}

void byMarker(const std::vector<GroupCount> &markerRows, StatsShare share, std::size_t cap, StatsReport &out) {
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
  if (share == StatsShare::Row)
    out.title += ", shares of each marker's uses";
  else if (share == StatsShare::Column)
    out.title += ", shares of each relation's markers";
  out.noun = "markers";
  out.unit = "markers";
  out.share = share;
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
  if (share != StatsShare::None) {
    for (const auto &[relation, total] : relations)
      out.csvHeader.push_back(relation + " share");
    out.csvHeader.push_back("Total share");
  }
  std::vector<long> columnTotals;
  for (const auto &[relation, total] : relations)
    columnTotals.push_back(total);
  columnTotals.push_back(sum(columnTotals));
  out.total = columnTotals.back();
  // A row of counts, one per relation and the total last, as the terminal
  // shows it and as CSV.
  // A share that is always the whole (a row's total of itself, a column's
  // total of itself) is left out on a terminal.
  auto cells = [&](const std::string &name, const std::vector<long> &values, bool shares) {
    const bool totals = &values == &columnTotals;
    std::vector<std::string> row = {name};
    for (std::size_t c = 0; c < values.size(); ++c) {
      const bool last = c + 1 == values.size();
      const bool whole = share == StatsShare::Row ? last : totals;
      row.push_back(shares && !whole ? countAndShare(values[c], share == StatsShare::Row ? values.back()
                                                                                          : columnTotals[c])
                                     : std::to_string(values[c]));
    }
    return row;
  };
  const auto markers = counts.ordered();
  std::vector<std::vector<long>> table;
  std::vector<long> weights;
  for (const auto &marker : markers) {
    std::vector<long> values;
    for (const auto &[relation, total] : relations) {
      const auto found = marker.byRelation.find(relation);
      values.push_back(found == marker.byRelation.end() ? 0 : found->second);
    }
    values.push_back(marker.total);
    table.push_back(values);
    weights.push_back(marker.total);
  }
  const std::vector<bool> kept = keptRows(weights, cap ? cap : kMarkersShown);
  std::vector<long> other(columnTotals.size());
  for (std::size_t i = 0; i < markers.size(); ++i) {
    std::vector<std::string> csv = cells(markers[i].shown, table[i], false);
    if (share != StatsShare::None)
      for (std::size_t c = 0; c < table[i].size(); ++c)
        csv.push_back(fraction(table[i][c], share == StatsShare::Row ? table[i].back() : columnTotals[c]));
    out.csvRows.push_back(std::move(csv));
    if (kept[i]) {
      out.rows.push_back(cells(markers[i].shown, table[i], share != StatsShare::None));
      out.labels.push_back(markers[i].shown);
      out.values.emplace_back(table[i].begin(), table[i].end() - 1);
    } else {
      ++out.otherCount;
      for (std::size_t c = 0; c < other.size(); ++c)
        other[c] += table[i][c];
    }
  }
  if (out.otherCount > 0) {
    out.labels.push_back(otherLabel(out.otherCount, out.noun));
    out.rows.push_back(cells(out.labels.back(), other, share != StatsShare::None));
    out.values.emplace_back(other.begin(), other.end() - 1);
  }
  out.rows.push_back(cells("Total", columnTotals, share != StatsShare::None));
}

// The span groups of the position table and which group each span of a
// record with `order` falls in.
std::vector<std::string> spanGroups(StatsSpans spans) {
  if (spans == StatsSpans::Number)
    return {"Span 1", "Span 2"};
  return {"Satellite", "Nucleus", "Co-nucleus", "Order unknown"};
}

std::size_t spanGroup(StatsSpans spans, int span, const std::optional<std::string> &order) {
  if (spans == StatsSpans::Number)
    return span == 2 ? 1 : 0;
  // SN: span 1 is the satellite; NS: span 2 is; NN: both are nuclei of a
  // multinuclear relation.
  if (order == "SN" || order == "NS")
    return (*order == "SN") == (span == 1) ? 0 : 1;
  return order == "NN" ? 2 : 3;
}

void byPosition(const std::vector<GroupCount> &positionRows, StatsSpans spans, std::size_t cap, StatsReport &out) {
  out.spanGroups = spanGroups(spans);
  out.spans = spans;
  const std::size_t width = out.spanGroups.size() * kPositions.size();
  // relation -> group * 5 + position -> count
  std::map<std::string, std::vector<long>> table;
  for (const GroupCount &group : positionRows) {
    std::vector<long> &counts = table[relationOf(group)];
    counts.resize(width);
    const auto known = std::find(kPositions.begin(), kPositions.end() - 1, group.text.value_or(""));
    const std::size_t position = static_cast<std::size_t>(known - kPositions.begin()); // "other" when not found
    counts[spanGroup(spans, group.span, group.order) * kPositions.size() + position] += group.records;
  }
  std::vector<std::pair<std::string, std::vector<long>>> ordered(table.begin(), table.end());
  std::stable_sort(ordered.begin(), ordered.end(),
                   [&](const auto &a, const auto &b) { return sum(a.second) > sum(b.second); });
  out.title = spans == StatsSpans::Number ? "Marker positions by relation, span 1 and span 2"
                                          : "Marker positions by relation, satellite and nucleus";
  out.noun = "relations";
  out.unit = "marked spans";
  std::vector<long> totals(width);
  for (const auto &[relation, counts] : ordered)
    for (std::size_t i = 0; i < width; ++i)
      totals[i] += counts[i];
  // A terminal shows only the groups that have a marker; CSV has them all.
  std::vector<bool> shownColumn(width);
  for (std::size_t g = 0; g < out.spanGroups.size(); ++g)
    for (std::size_t p = 0; p < kPositions.size(); ++p)
      shownColumn[g * kPositions.size() + p] =
          std::any_of(totals.begin() + static_cast<long>(g * kPositions.size()),
                      totals.begin() + static_cast<long>((g + 1) * kPositions.size()), [](long n) { return n > 0; });
  out.csvHeader = {"Relation"};
  out.header = {"Relation"};
  out.numeric = {false};
  for (std::size_t i = 0; i < width; ++i) {
    out.series.push_back(out.spanGroups[i / kPositions.size()] + " " + kPositions[i % kPositions.size()]);
    out.csvHeader.push_back(out.series.back());
    if (shownColumn[i]) {
      out.header.push_back(out.series.back());
      out.numeric.push_back(true);
    }
  }
  out.csvHeader.push_back("Total");
  out.header.push_back("Total");
  out.numeric.push_back(true);
  auto row = [&](const std::string &name, const std::vector<long> &counts, bool all) {
    std::vector<std::string> cells = {name};
    for (std::size_t i = 0; i < counts.size(); ++i)
      if (all || shownColumn[i])
        cells.push_back(std::to_string(counts[i]));
    cells.push_back(std::to_string(sum(counts)));
    return cells;
  };
  std::vector<long> weights;
  for (const auto &[relation, counts] : ordered)
    weights.push_back(sum(counts));
  const std::vector<bool> kept = keptRows(weights, cap);
  std::vector<long> other(width);
  for (std::size_t i = 0; i < ordered.size(); ++i) {
    const auto &[relation, counts] = ordered[i];
    out.csvRows.push_back(row(relation, counts, true));
    if (kept[i]) {
      out.rows.push_back(row(relation, counts, false));
      out.labels.push_back(relation);
      out.values.push_back(counts);
    } else {
      ++out.otherCount;
      for (std::size_t c = 0; c < width; ++c)
        other[c] += counts[c];
    }
  }
  if (out.otherCount > 0) {
    out.labels.push_back(otherLabel(out.otherCount, out.noun));
    out.rows.push_back(row(out.labels.back(), other, false));
    out.values.push_back(other);
  }
  out.rows.push_back(row("Total", totals, false));
  out.csvRows.push_back(row("Total", totals, true));
  out.total = sum(totals);
}

const std::string kUnmatched = "(unmatched)";

// The documents, or with `pattern` their groups, each with its number of
// documents, records and records with a marker; in name order, the
// documents that match no group last.
struct Counted {
  std::string name;
  long documents = 0, records = 0, marked = 0;
};
std::vector<Counted> documentRows(const std::vector<GroupCount> &documents, const std::string &pattern) {
  std::map<std::string, Counted> named;
  const QRegularExpression expression(QString::fromStdString(pattern));
  for (const GroupCount &group : documents) {
    std::string name = label(group.text);
    if (!pattern.empty()) {
      // The first capture group names the group (the whole match when the
      // pattern has none); a null From, no match, or a group that took no
      // text leaves the document unmatched.
      const QRegularExpressionMatch match =
          group.text ? expression.match(QString::fromStdString(*group.text)) : QRegularExpressionMatch();
      const QString captured = match.hasMatch() ? match.captured(expression.captureCount() > 0 ? 1 : 0) : QString();
      name = captured.isEmpty() ? kUnmatched : captured.toStdString();
    }
    Counted &counted = named[name];
    counted.name = name;
    counted.documents += 1;
    counted.records += group.records;
    counted.marked += group.marked;
  }
  std::vector<Counted> rows;
  for (const auto &[name, counted] : named)
    if (pattern.empty() || name != kUnmatched)
      rows.push_back(counted);
  if (!pattern.empty() && named.count(kUnmatched))
    rows.push_back(named.at(kUnmatched));
  return rows;
}

void add(Counted &to, const Counted &counts) {
  to.documents += counts.documents;
  to.records += counts.records;
  to.marked += counts.marked;
}

void byDocument(const std::vector<GroupCount> &documents, const std::string &pattern, std::size_t cap,
                StatsReport &out) {
  const std::vector<Counted> counted = documentRows(documents, pattern);
  const bool grouped = !pattern.empty();
  out.title = grouped ? "Document groups: records and records with a marker"
                      : "Documents: records and records with a marker";
  out.noun = grouped ? "groups" : "documents";
  out.unit = "records";
  out.header = {"Document", "Records", "With a marker", "Share"};
  if (grouped)
    out.header = {"Group", "Documents", "Records", "With a marker", "Share"};
  out.numeric.assign(out.header.size(), true);
  out.numeric[0] = false;
  out.csvHeader = out.header;
  out.series = {"Records", "With a marker"};
  auto cells = [&](const std::string &name, const Counted &counts, bool csv) {
    std::vector<std::string> row = {name};
    if (grouped)
      row.push_back(std::to_string(counts.documents));
    row.push_back(std::to_string(counts.records));
    row.push_back(std::to_string(counts.marked));
    row.push_back(csv ? fraction(counts.marked, counts.records) : percent(counts.marked, counts.records));
    return row;
  };
  std::vector<long> weights;
  for (const Counted &row : counted)
    weights.push_back(row.records);
  const std::vector<bool> kept = keptRows(weights, cap);
  Counted other, total;
  for (std::size_t i = 0; i < counted.size(); ++i) {
    out.csvRows.push_back(cells(counted[i].name, counted[i], true));
    if (kept[i]) {
      out.rows.push_back(cells(counted[i].name, counted[i], false));
      out.labels.push_back(counted[i].name);
      out.values.push_back({counted[i].records, counted[i].marked});
    } else {
      ++out.otherCount;
      add(other, counted[i]);
    }
    add(total, counted[i]);
  }
  if (out.otherCount > 0) {
    out.labels.push_back(otherLabel(out.otherCount, out.noun));
    out.rows.push_back(cells(out.labels.back(), other, false));
    out.values.push_back({other.records, other.marked});
  }
  out.rows.push_back(cells("Total", total, false));
  out.csvRows.push_back(cells("Total", total, true));
  out.total = total.records;
}

// The corpus the documents make: the common start of their names without
// the separators it ends in ("GUM" for GUM_bio_byron and GUM_news_iodine);
// empty when they have none.
std::string commonName(const std::vector<GroupCount> &documents) {
  std::optional<QString> common;
  for (const GroupCount &group : documents) {
    if (!group.text)
      continue;
    const QString name = QString::fromStdString(*group.text);
    if (!common) {
      common = name;
      continue;
    }
    qsizetype same = 0;
    while (same < common->size() && same < name.size() && common->at(same) == name.at(same))
      ++same;
    common->truncate(same);
  }
  if (!common)
    return {};
  while (!common->isEmpty() && (common->back().isHighSurrogate() || common->back().isSpace() ||
                                QStringLiteral("_-.:/").contains(common->back())))
    common->chop(1);
  return common->toStdString();
}

// Characters on a terminal: the UTF-8 bytes that start a character.
std::size_t width(const std::string &text) {
  return static_cast<std::size_t>(std::count_if(
      text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

} // namespace

Outcome<StatsReport> buildStats(Cursor &cursor, const StatsOptions &options) {
  StatsReport out;
  out.by = options.by;
  Statistics statistics(cursor, options.documents);
  std::vector<std::string> unknown;
  if (const Result checked = statistics.unknownDocuments(unknown); checked != code::Ok)
    return Failure{failureMessage(checked, ErrorEntries::all())};
  if (!unknown.empty())
    return Failure{"no record's From is " + unknown.front() + " (stats --by document lists them)"};
  std::vector<GroupCount> first, second, documents;
  Result result = statistics.byDocument(documents);
  if (result == code::Ok) {
    switch (options.by) {
    case StatsBy::Relation:
      result = statistics.byRelation(first);
      if (result == code::Ok)
        result = statistics.byMarker(second);
      break;
    case StatsBy::Marker: result = statistics.byMarker(first); break;
    case StatsBy::Position: result = statistics.byPosition(first); break;
    case StatsBy::Document: break;
    }
  }
  if (result != code::Ok)
    return Failure{failureMessage(result, ErrorEntries::all())};
  switch (options.by) {
  case StatsBy::Relation: byRelation(first, second, options.top, out); break;
  case StatsBy::Marker: byMarker(first, options.share, options.top, out); break;
  case StatsBy::Position: byPosition(first, options.spans, options.top, out); break;
  case StatsBy::Document: byDocument(documents, options.group, options.top, out); break;
  }
  out.corpus = options.corpus.empty() ? commonName(documents) : options.corpus;
  if (out.corpus.empty())
    out.corpus = std::filesystem::path(options.table).stem().string();
  return out;
}

std::string otherLabel(long count, const std::string &noun) {
  return "(other: " + std::to_string(count) + " " + (count == 1 ? noun.substr(0, noun.size() - 1) : noun) + ")";
}

void foldRows(StatsReport &report, std::size_t keep) {
  const std::size_t own = report.labels.size() - (report.otherCount > 0 ? 1 : 0);
  if (report.labels.size() <= keep + 1 || own <= keep)
    return;
  std::vector<long> weights;
  for (std::size_t i = 0; i < own; ++i)
    weights.push_back(report.by == StatsBy::Relation || report.by == StatsBy::Document ? report.values[i][0]
                                                                                        : sum(report.values[i]));
  const std::vector<bool> kept = heaviest(weights, keep);
  std::vector<long> other(report.series.size());
  long folded = report.otherCount;
  std::vector<std::string> labels;
  std::vector<std::vector<long>> values;
  for (std::size_t i = 0; i < report.labels.size(); ++i) {
    if (i < own && kept[i]) {
      labels.push_back(report.labels[i]);
      values.push_back(report.values[i]);
      continue;
    }
    folded += i < own ? 1 : 0;
    for (std::size_t c = 0; c < other.size() && c < report.values[i].size(); ++c)
      other[c] += report.values[i][c];
  }
  labels.push_back(otherLabel(folded, report.noun));
  values.push_back(other);
  report.labels = std::move(labels);
  report.values = std::move(values);
  report.otherCount = folded;
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
