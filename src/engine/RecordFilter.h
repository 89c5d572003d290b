// The conditions of a find: tests of a table's records, joined with AND,
// that each driver runs inside its one key-set query.
#pragma once

#include "Record.h"

#include <string>
#include <vector>

namespace vandro::engine {

struct FilterPart {
  enum class Test {
    // Field `fieldNo` holds exactly `text`: the UTF-8 bytes compared,
    // letter case and blanks counting, a null never matching.
    Equals,
    // Field `fieldNo`'s text holds `text`, letter case aside (foldedCase,
    // the same on every driver); a null never matches.
    Contains,
    // `sql`: portable SQL over the table's columns, true for the records
    // that pass, with "?" for each of `parameters`. The table is named by
    // its Cursor::quotedName() in a subquery that needs it. Never text a
    // user typed: that goes in as a parameter.
    Sql,
    // At least one of `alternatives` holds.
    AnyOf,
  };
  Test test = Test::Sql;
  int fieldNo = -1;
  std::string text;
  std::string sql;
  std::vector<Value> parameters;
  std::vector<FilterPart> alternatives;

  static FilterPart equals(int fieldNo, std::string text) { return {Test::Equals, fieldNo, std::move(text), {}, {}, {}}; }
  static FilterPart contains(int fieldNo, std::string text) {
    return {Test::Contains, fieldNo, std::move(text), {}, {}, {}};
  }
  static FilterPart where(std::string sql, std::vector<Value> parameters = {}) {
    return {Test::Sql, -1, {}, std::move(sql), std::move(parameters), {}};
  }
  static FilterPart anyOf(std::vector<FilterPart> alternatives) {
    return {Test::AnyOf, -1, {}, {}, {}, std::move(alternatives)};
  }
};

// Every part must hold; no part: every record.
using RecordFilter = std::vector<FilterPart>;

} // namespace vandro::engine
