#include "Statistics.h"

#include "RelationTable.h"

#include <algorithm>
#include <charconv>
#include <map>

namespace vandro::corpus {

using namespace engine;

namespace {

// The number of records of a group with a marker.
std::string markedCount() { return "sum(CASE WHEN " + hasMarkerCondition() + " THEN 1 ELSE 0 END)"; }

std::optional<std::string> textOrNull(const Value &value) {
  if (value.isText())
    return value.asText();
  if (value.isInteger())
    return std::to_string(value.asInteger());
  return std::nullopt;
}

long countOf(const Value &value) {
  if (value.isInteger())
    return static_cast<long>(value.asInteger());
  if (value.isReal())
    return static_cast<long>(value.asReal());
  long count = 0;
  if (value.isText())
    std::from_chars(value.asText().data(), value.asText().data() + value.asText().size(), count);
  return count;
}

} // namespace

std::string Statistics::where(const std::string &condition, std::vector<Value> &parameters) const {
  std::string clause = condition;
  if (!m_documents.empty()) {
    std::string list;
    for (const std::string &document : m_documents) {
      list += list.empty() ? "?" : ", ?";
      parameters.push_back(Value::text(document));
    }
    clause += (clause.empty() ? "" : " AND ") + std::string("\"From\" IN (") + list + ")";
  }
  return clause.empty() ? std::string() : " WHERE " + clause;
}

Result Statistics::run(const std::string &sql, const std::vector<Value> &parameters, std::vector<GroupCount> &out,
                       const std::vector<char> &layout) {
  std::vector<std::vector<Value>> rows;
  if (const Result result = m_cursor.execute(sql, parameters, &rows); result != code::Ok)
    return result;
  for (const auto &row : rows) {
    GroupCount group;
    for (std::size_t c = 0; c < layout.size() && c < row.size(); ++c) {
      switch (layout[c]) {
      case 'r': group.relation = textOrNull(row[c]); break;
      case 't': group.text = textOrNull(row[c]); break;
      case 'o': group.order = textOrNull(row[c]); break;
      case 's': group.span = static_cast<int>(countOf(row[c])); break;
      case 'n': group.records = countOf(row[c]); break;
      case 'm': group.marked = countOf(row[c]); break;
      default: break;
      }
    }
    out.push_back(std::move(group));
  }
  return code::Ok;
}

Result Statistics::byRelation(std::vector<GroupCount> &out) {
  std::vector<Value> parameters;
  const std::string sql = "SELECT \"Relation\", count(*), " + markedCount() + " FROM " +
                          m_cursor.quotedName() + where({}, parameters) + " GROUP BY \"Relation\"";
  return run(sql, parameters, out, {'r', 'n', 'm'});
}

Result Statistics::byMarker(std::vector<GroupCount> &out) {
  std::vector<Value> parameters;
  std::string sql = "SELECT \"Relation\", marker, count(*) FROM (";
  for (int span = 1; span <= 2; ++span) {
    const std::string column = "\"Marker" + std::to_string(span) + "\"";
    sql += span == 1 ? "" : " UNION ALL ";
    sql += "SELECT \"Relation\", " + column + " AS marker FROM " + m_cursor.quotedName() +
           where(markerSql(column) + " IS NOT NULL", parameters);
  }
  sql += ") AS markers GROUP BY \"Relation\", marker";
  std::vector<GroupCount> markers;
  if (const Result result = run(sql, parameters, markers, {'r', 't', 'n'}); result != code::Ok)
    return result;
  // Each part of a marker is one marker: the groups of whole markers, few
  // beside the records, are split and counted again here.
  std::map<std::pair<std::optional<std::string>, std::string>, long> parts;
  for (const GroupCount &group : markers)
    for (const std::string &part : markerParts(group.text.value_or("")))
      parts[{group.relation, part}] += group.records;
  for (const auto &[key, count] : parts) {
    GroupCount group;
    group.relation = key.first;
    group.text = key.second;
    group.records = count;
    out.push_back(std::move(group));
  }
  return code::Ok;
}

Result Statistics::byPosition(std::vector<GroupCount> &out) {
  std::vector<Value> parameters;
  std::string sql;
  for (int span = 1; span <= 2; ++span) {
    const std::string number = std::to_string(span);
    sql += span == 1 ? "" : " UNION ALL ";
    sql += "SELECT \"Relation\", \"Order\", " + number + ", \"Position" + number + "\", count(*) FROM " +
           m_cursor.quotedName() + where(markerSql("\"Marker" + number + "\"") + " IS NOT NULL", parameters) +
           " GROUP BY \"Relation\", \"Order\", \"Position" + number + "\"";
  }
  return run(sql, parameters, out, {'r', 'o', 's', 't', 'n'});
}

Result Statistics::byDocument(std::vector<GroupCount> &out) {
  std::vector<Value> parameters;
  const std::string sql = "SELECT \"From\", count(*), " + markedCount() + " FROM " +
                          m_cursor.quotedName() + where({}, parameters) + " GROUP BY \"From\"";
  return run(sql, parameters, out, {'t', 'n', 'm'});
}

Result Statistics::unknownDocuments(std::vector<std::string> &out) {
  if (m_documents.empty())
    return code::Ok;
  std::vector<Value> parameters;
  std::vector<std::vector<Value>> rows;
  if (const Result result = m_cursor.execute("SELECT DISTINCT \"From\" FROM " + m_cursor.quotedName() +
                                                 where({}, parameters),
                                             parameters, &rows);
      result != code::Ok)
    return result;
  for (const std::string &document : m_documents)
    if (std::none_of(rows.begin(), rows.end(), [&](const auto &row) { return textOrNull(row[0]) == document; }))
      out.push_back(document);
  return code::Ok;
}

} // namespace vandro::corpus
