#include "RelationTable.h"

#include <algorithm>
#include <cstdint>

namespace vandro::corpus {

using namespace engine;

std::vector<FieldDescription> relationTableFields() {
  auto text = [](const char *name, int size) {
    return FieldDescription{name, FieldKind::String, size, false, false, {}};
  };
  auto integer = [](const char *name) {
    return FieldDescription{name, FieldKind::Integer, 0, false, false, {}};
  };
  auto memo = [](const char *name) {
    return FieldDescription{name, FieldKind::Memo, 0, false, false, {}};
  };
  using namespace column;
  FieldDescription id = integer(kRelationColumnNames[Id]);
  id.required = true;
  return {id,
          text(kRelationColumnNames[From], 60),
          text(kRelationColumnNames[Relation], 30),
          text(kRelationColumnNames[Extended], 10),
          text(kRelationColumnNames[Embedded], 10),
          text(kRelationColumnNames[Volitional], 10),
          text(kRelationColumnNames[Order], 10),
          memo(kRelationColumnNames[Span1]),
          memo(kRelationColumnNames[Span2]),
          integer(kRelationColumnNames[L1]),
          integer(kRelationColumnNames[H1]),
          integer(kRelationColumnNames[L2]),
          integer(kRelationColumnNames[H2]),
          integer(kRelationColumnNames[SegmentsDistance]),
          text(kRelationColumnNames[Marker1], 60),
          text(kRelationColumnNames[Position1], 20),
          text(kRelationColumnNames[Marker2], 60),
          text(kRelationColumnNames[Position2], 20)};
}

Result relationTableProblems(Cursor &cursor, std::vector<std::string> &out) {
  const auto &fields = cursor.description().fields;
  for (const int c : {column::Id, column::Marker1, column::Position1, column::Marker2, column::Position2})
    if (const std::string name = kRelationColumnNames[c];
        std::none_of(fields.begin(), fields.end(), [&](const FieldDescription &field) { return field.name == name; }))
      return code::Ok;
  // The first few records named, then how many more.
  constexpr std::int64_t kNamed = 20;
  for (int span = 1; span <= 2; ++span) {
    const std::string number = std::to_string(span);
    const std::string position = "\"Position" + number + "\"";
    const std::string where = " FROM " + cursor.quotedName() + " WHERE " + markerSql("\"Marker" + number + "\"") +
                              " IS NULL AND coalesce(" + position + ", '') <> ''";
    std::vector<std::vector<Value>> rows, count;
    if (const Result result = cursor.execute("SELECT \"Id\", " + position + where + " ORDER BY \"Id\" LIMIT " +
                                                 std::to_string(kNamed),
                                             {}, &rows);
        result != code::Ok)
      return result;
    for (const auto &row : rows)
      out.push_back("Record Id = " + (row[0].isInteger() ? std::to_string(row[0].asInteger()) : std::string("?")) +
                    ": span " + number + " has no marker but the position \"" +
                    (row[1].isText() ? row[1].asText() : std::string()) + "\"");
    if (static_cast<std::int64_t>(rows.size()) < kNamed)
      continue;
    if (const Result result = cursor.execute("SELECT count(*)" + where, {}, &count); result != code::Ok)
      return result;
    if (const std::int64_t all = count.empty() || !count[0][0].isInteger() ? 0 : count[0][0].asInteger(); all > kNamed)
      out.push_back("... and " + std::to_string(all - kNamed) + " more records with a position on span " + number +
                    " but no marker");
  }
  return code::Ok;
}

} // namespace vandro::corpus
