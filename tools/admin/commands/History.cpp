// vandro-admin history and revert: who changed which record's columns, and
// a record put back as it was.
#include "Commands.h"

#include "CsvWriter.h"
#include "corpus/History.h"
#include "engine/MessageText.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <vector>

namespace vandro::admin {

using namespace engine;
using namespace corpus;

namespace {

// The history's times to the second, for a terminal: "2026-12-09 13:45:12".
std::string shownTime(const std::string &time) {
  std::string shown = time.substr(0, 19);
  std::replace(shown.begin(), shown.end(), 'T', ' ');
  return shown;
}

// "ann", or "ann (server role annot)" when the server knows the login by
// another name.
std::string who(const HistoryRow &row) {
  return row.role.empty() || row.role == row.user ? row.user : row.user + " (server role " + row.role + ")";
}

std::string shownValue(const std::optional<std::string> &value) {
  return value ? shownText(*value, 60) : std::string("null");
}

// The user's --since or --to as the history writes times.
std::optional<std::string> historyTime(Context &context, const std::string &option, const std::string &text) {
  auto time = History::timeFromUser(text);
  if (!time) {
    context.failure(option + " " + shownText(text) +
                    " reads as no time: write it as the history shows times, in UTC, such as 2026-12-09 or "
                    "\"2026-12-09 14:05:30\", or with its offset, such as 2026-12-09T15:05:30+01:00");
  }
  return time;
}

struct HistoryOptions {
  std::optional<std::int64_t> record;
  std::string user, since;
  bool csv = false;
};

int history(Context &context, const std::string &database, const std::string &table, const HistoryOptions &options) {
  HistoryFilter filter;
  filter.record = options.record;
  if (!options.user.empty())
    filter.user = options.user;
  if (!options.since.empty() && !(filter.since = historyTime(context, "--since", options.since)))
    return kUsage;
  Context::Session session(context);
  if (!session.openDatabase(database) || !session.openTable(table, OpenMode::ReadOnly))
    return kFailure;
  Cursor &cursor = session.cursor();
  bool kept = false;
  if (const Result result = History::exists(cursor, kept); result != code::Ok)
    return context.failure(engineMessage(result));
  if (!kept) {
    // Made now, empty, by whoever may make tables beside this one, so that
    // annotators who may not need only write into it.
    std::unique_ptr<Cursor> writer;
    if (session.database().openTable(table, "default", OpenMode::ReadWrite, ShareMode::Shared, writer) == code::Ok &&
        History::suits(*writer) && History::create(*writer) == code::Ok) {
      context.err << "vandro-admin: made the empty history " << writer->tableName() << History::kSuffix
                  << " beside the table; on a server, grant SELECT and INSERT on it to the annotators\n";
      kept = true;
    } else if (!options.csv) {
      context.out << cursor.location() << " has no history yet: its first change (a post in the window, an "
                                          "import, a removal) begins it\n";
    }
  }
  csv::Writer writer(context.out);
  if (options.csv)
    writer.writeRow({"Time", "User", "Machine", "Program", "Id", "Column", "Old", "New"});
  long rows = 0, changes = 0;
  std::string lastChange;
  std::vector<std::string> malformed;
  const Result read = History::read(
      cursor, filter,
      [&](HistoryRow &&row) {
        ++rows;
        // The rows of one change share its time and record.
        if (std::string change = row.time + " " + std::to_string(row.id); change != lastChange) {
          ++changes;
          lastChange = std::move(change);
        }
        if (options.csv) {
          const std::string user = who(row), id = std::to_string(row.id);
          writer.writeRow({row.time, user, row.machine, row.program, id, row.column,
                           row.oldValue ? csv::Value(*row.oldValue) : csv::Value(),
                           row.newValue ? csv::Value(*row.newValue) : csv::Value()});
          return;
        }
        context.out << shownTime(row.time) << "  " << shownLine(who(row), 40) << " on " << shownLine(row.machine, 40)
                    << "  " << shownLine(row.program, 40) << "  " << row.kind << " Id = " << row.id << "  ";
        if (row.column == History::kWholeRecord)
          context.out << (row.kind == "delete" ? "removed: " + shownValue(row.oldValue)
                                               : "made: " + shownValue(row.newValue));
        else
          context.out << shownLine(row.column, 40) << ": " << shownValue(row.oldValue) << " -> "
                      << shownValue(row.newValue);
        context.out << "\n";
      },
      malformed);
  if (read != code::Ok)
    return context.failure(engineMessage(read));
  for (const std::string &problem : malformed)
    context.warn(problem + " (left out)");
  if (!options.csv && kept)
    context.out << changes << (changes == 1 ? " change" : " changes") << " of records listed, in " << rows
                << (rows == 1 ? " row" : " rows") << " (times in UTC)\n";
  return kSuccess;
}

int revert(Context &context, const std::string &database, const std::string &table, std::int64_t id,
           const std::string &to) {
  std::optional<std::string> until;
  if (!to.empty() && !(until = historyTime(context, "--to", to)))
    return kUsage;
  Context::Session session(context);
  if (!session.openDatabase(database) || !session.openTable(table))
    return kFailure;
  Cursor &cursor = session.cursor();
  const std::string record = "record Id = " + std::to_string(id);
  if (!History::suits(cursor))
    return context.failure(cursor.location() + " has no integer Id, so no history to put a record back from");

  // The record as stored now, locked against every other program first,
  // so that no change lands between the history read and the revert.
  Record now;
  std::optional<std::vector<Value>> current;
  const Result found = cursor.findKey({Value::integer(id)}, now);
  if (found == code::Ok) {
    if (const Result locked = cursor.readCurrent(now, LockMode::WriteLock); locked != code::Ok)
      return context.failure("refused: " + engineMessage(locked));
    current = now.values;
  } else if (found != code::RecordNotFound) {
    return context.failure(engineMessage(found));
  }
  auto refuse = [&](const std::string &why) {
    (void)cursor.releaseLock();
    return context.failure(why);
  };

  std::vector<HistoryRow> rows;
  std::vector<std::string> malformed;
  HistoryFilter filter;
  filter.record = id;
  if (const Result read = History::read(cursor, filter, [&](HistoryRow &&row) { rows.push_back(std::move(row)); },
                                        malformed);
      read != code::Ok)
    return refuse(engineMessage(read));
  if (!malformed.empty())
    return refuse("the history of " + record + " has rows that cannot be read, so it cannot be put back:\n" +
                  malformed.front());
  if (rows.empty())
    return refuse("the history has no change of " + record + ": there is nothing to put back");
  // The changes to undo: those after --to, else the last one stored (its
  // rows share one time; the order stored, not the clocks of the machines
  // that wrote them, says which is last).
  const std::string after = until ? *until : rows.back().time;
  std::vector<HistoryRow> undone;
  for (const HistoryRow &row : rows)
    if (until ? row.time > after : row.time == after)
      undone.push_back(row);
  if (undone.empty()) {
    (void)cursor.releaseLock();
    context.out << "Nothing changed " << record << " after " << shownTime(after) << " UTC: nothing to put back\n";
    return kSuccess;
  }
  const auto before = valuesBefore(cursor.description(), current, undone);
  if (!before)
    return refuse("the history of " + record + " cannot be undone: " + before.error());
  const std::string when = until ? "as at " + shownTime(*until) + " UTC" : "as before its last change";
  if (!*before) {
    (void)cursor.releaseLock();
    if (!current) {
      context.out << "The " << record << " was not there " << (until ? "then" : "before its last change")
                  << ", and is not there now: nothing to put back\n";
      return kSuccess;
    }
    return context.failure("the " + record + " was not there yet " + (until ? "at " + shownTime(*until) + " UTC" : "before its last change") +
                           " (" + undone.front().program + " made it); revert puts a record's columns back and "
                           "deletes no record (remove-document removes a document's records)");
  }
  if (current && *current == **before) {
    (void)cursor.releaseLock();
    context.out << "The " << record << " holds " << when << " already: nothing to put back\n";
    return kSuccess;
  }
  cursor.setChangeLog(std::make_shared<History>("vandro-admin revert", History::Rows::PerColumn));
  Record target = cursor.blankRecord();
  target.values = **before;
  const Result stored = current ? cursor.modifyRecord(target) : cursor.insertRecord(target);
  if (stored != code::Ok) {
    (void)cursor.releaseLock();
    return context.failure("the " + record + " was not put back: " + engineMessage(stored));
  }
  const TableDescription &description = cursor.description();
  context.out << "Put back " << record << " " << when << (current ? "" : " (made anew)") << ":\n";
  for (std::size_t i = 0; i < description.fields.size(); ++i) {
    const Value was = current ? (*current)[i] : Value();
    if (was == target.values[i])
      continue;
    context.out << "  " << description.fields[i].name << ": " << shownValue(History::valueText(was)) << " -> "
                << shownValue(History::valueText(target.values[i])) << "\n";
  }
  return kSuccess;
}

} // namespace

void addHistoryCommand(CLI::App &app, Context &context) {
  auto *command = addCommand(
      app, "history", "List who changed which record's columns, and when",
      "List the changes stored in TABLE, oldest first: when (UTC), who (the login, and the\n"
      "role on a server), on which machine, with which program, which record, and each\n"
      "changed column's old and new value. A post or an insert in the window writes one\n"
      "row per changed column; an import or a removal one row per record, its values as\n"
      "a whole (a JSON object). Each change is stored in the same transaction as the\n"
      "change itself. TIME is UTC unless it gives its offset: 2026-12-09, \"2026-12-09\n"
      "14:05\", 2026-12-09T15:05:00+01:00. --csv writes the columns\n"
      "Time,User,Machine,Program,Id,Column,Old,New (null as an empty field).");
  const auto table = addTableArguments(*command);
  const auto options = std::make_shared<HistoryOptions>();
  command->add_option("--record", options->record, "Only the changes of the record with this Id");
  command->add_option("--user", options->user, "Only the changes of this login or server role");
  command->add_option("--since", options->since, "Only the changes at or after TIME");
  command->add_flag("--csv", options->csv, "Write RFC 4180 CSV");
  command->callback(
      [&context, table, options] { context.status = history(context, table->database, table->table, *options); });
}

void addRevertCommand(CLI::App &app, Context &context) {
  auto *command = addCommand(
      app, "revert", "Put a record's columns back as they were, as a change of its own",
      "Put the record's columns back as they were before its last change, or with --to\n"
      "as they were at TIME (UTC unless it gives its offset; as `history` shows times),\n"
      "undoing every later change of the record, newest first. A record a removal took\n"
      "is made anew; a record that was not there yet is not deleted (refused). The revert\n"
      "is stored as a change of its own, in the history too, so a revert can be undone\n"
      "the same way. Refused while another program holds the record for editing.");
  const auto table = addTableArguments(*command);
  const auto id = std::make_shared<std::int64_t>();
  const auto to = std::make_shared<std::string>();
  command->add_option("--record", *id, "The Id of the record to put back")->required();
  command->add_option("--to", *to, "The time whose values to put back");
  command->callback(
      [&context, table, id, to] { context.status = revert(context, table->database, table->table, *id, *to); });
}

} // namespace vandro::admin
