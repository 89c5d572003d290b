// vandro-admin find: the records that meet the Find dialog's conditions.
#include "Commands.h"

#include "CsvTransfer.h"
#include "corpus/RecordFind.h"

#include <iostream>
#include <map>
#include <vector>

namespace vandro::admin {

using namespace engine;

namespace {

struct FindOptions {
  corpus::FindConditions conditions;
  std::string span = "either", withoutMarker;
  bool count = false, csv = false;
};

const std::map<std::string, corpus::Spans> kSpans = {{"1", corpus::Spans::First},
                                                     {"2", corpus::Spans::Second},
                                                     {"either", corpus::Spans::Either},
                                                     {"both", corpus::Spans::Both}};

int find(Context &context, const TableArguments &table, FindOptions options) {
  options.conditions.spans = kSpans.at(options.span);
  if (!options.withoutMarker.empty())
    options.conditions.withoutMarker = kSpans.at(options.withoutMarker);
  Context::Session session(context);
  if (!session.openDatabase(table.database) || !session.openTable(table.table, OpenMode::ReadOnly))
    return kFailure;
  Cursor &cursor = session.cursor();
  const auto filter = corpus::recordFilter(cursor, options.conditions);
  if (!filter)
    return context.failure(filter.error());
  if (options.count) {
    std::int64_t count = 0;
    if (const Result counted = cursor.countWhere(*filter, count); counted != code::Ok)
      return context.failure(engineFailure(counted));
    context.out << count << "\n";
    return kSuccess;
  }
  if (options.csv) {
    std::vector<std::string> warnings;
    const Outcome<long> written = exportCsv(cursor, context.out, "standard output", warnings, &*filter);
    for (const std::string &warning : warnings)
      context.warn(warning);
    return written ? kSuccess : context.failure(written.error());
  }
  // The Ids, in key order, as the window's Find next meets them.
  Record record;
  Result step = cursor.setToBegin();
  while (step == code::Ok && (step = cursor.findWhere(SearchDirection::Forward, *filter, record)) == code::Ok) {
    Bookmark key;
    if ((step = cursor.getBookmark(key)) != code::Ok)
      break;
    for (std::size_t i = 0; i < key.size(); ++i)
      context.out << (i ? "," : "") << (key[i].isInteger() ? std::to_string(key[i].asInteger()) : key[i].asText());
    context.out << "\n";
  }
  if (step != code::Eof)
    return context.failure(engineFailure(step));
  return kSuccess;
}

} // namespace

void addFindCommand(CLI::App &app, Context &context) {
  auto *command = addCommand(app, "find", "Print the records that meet the conditions of the window's Find",
                 "Print the Ids of the records that meet every condition given, in key order, one a line\n"
              "(the window's Find): --count prints only how many, --csv the records as export writes them");
  const auto table = addTableArguments(*command);
  const auto options = std::make_shared<FindOptions>();
  auto &c = options->conditions;
  command->add_option("--relation", c.relation, "The relation, exactly (as the search box's search)");
  command->add_option("--document", c.document, "The document (From), exactly");
  command->add_option("--marker", c.marker, "A marker holding TEXT, letter case aside");
  command->add_option("--text", c.text, "A span's text holding TEXT, letter case aside");
  command->add_option("--span", options->span, "Where --marker and --text look: 1, 2 or either (the default)")
      ->check(CLI::IsMember({"1", "2", "either"}));
  command->add_option("--without-marker", options->withoutMarker, "No marker on span 1, 2, either or both")
      ->check(CLI::IsMember({"1", "2", "either", "both"}));
  command->add_flag("--changed", c.changed, "Markers changed since the import of a kept corpus");
  auto *count = command->add_flag("--count", options->count, "Print only the number of records");
  command->add_flag("--csv", options->csv, "Print the records as CSV, with a header row")->excludes(count);
  command->callback([&context, table, options] { context.status = find(context, *table, *options); });
}

} // namespace vandro::admin
