#include "CsvTransfer.h"

#include "CsvReader.h"
#include "CsvWriter.h"
#include "ValueText.h"
#include "engine/ErrorEntries.h"
#include "engine/FailureMessage.h"
#include "engine/FieldValues.h"
#include "engine/MessageText.h"
#include "engine/Utf8.h"

#include <cstring>
#include <algorithm>
#include <cctype>
#include <optional>
#include <vector>

namespace vandro::admin {

using namespace engine;

namespace {

bool sameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

} // namespace

std::string engineFailure(Result result) {
  // One line: the code's text, then its details, each after "; ".
  std::string message = failureMessage(result, ErrorEntries::all());
  for (std::size_t at = 0; (at = message.find('\n', at)) != std::string::npos;)
    message.replace(at, 1, "; ");
  return message;
}

namespace {

// Why a row is refused: the column (empty for the whole row) and the cause.
struct Refusal {
  std::string column, why;
};

// Which field each column of the header `row` fills, in `target`; or why
// not.
std::optional<Refusal> columnsOf(const csv::Row &row, const std::vector<FieldDescription> &fields,
                                 std::vector<int> &target) {
  for (std::size_t i = 0; i < row.size(); ++i) {
    const std::string_view name = row[i].text;
    const auto it = std::find_if(fields.begin(), fields.end(),
                                 [&](const FieldDescription &f) { return sameName(f.name, name); });
    if (it == fields.end())
      return Refusal{std::string(name), "the table has no such column"};
    const int field = static_cast<int>(it - fields.begin());
    if (std::find(target.begin(), target.end(), field) != target.end())
      return Refusal{std::string(name), "the header names this column twice"};
    if (it->readOnly)
      return Refusal{std::string(name), "the column is computed by the table"};
    target.push_back(field);
  }
  return std::nullopt;
}

// The values of `row` into `record`, its columns filling the fields
// `target` says, the others null; or why not.
std::optional<Refusal> fillRecord(const csv::Row &row, const std::vector<int> &target,
                                  const std::vector<FieldDescription> &fields, Record &record) {
  std::fill(record.values.begin(), record.values.end(), Value());
  for (std::size_t i = 0; i < row.size(); ++i) {
    const csv::Field cell = row[i];
    const FieldDescription &field = fields[static_cast<std::size_t>(target[i])];
    if (cell.isNull())
      continue;
    const bool isText = field.kind == FieldKind::String || field.kind == FieldKind::Memo;
    if (cell.text.empty() && !isText)
      return Refusal{field.name, "an empty text is no value for a " + field.declaredType + " column"};
    if (field.kind == FieldKind::String && utf8Length(cell.text) > static_cast<std::size_t>(field.size))
      return Refusal{field.name, "the text has " + std::to_string(utf8Length(cell.text)) +
                                     " characters; the column takes at most " + std::to_string(field.size)};
    auto value = textToValue(cell.text, field.kind);
    if (!value)
      return Refusal{field.name, value.error()};
    record.values[static_cast<std::size_t>(target[i])] = std::move(*value);
  }
  return std::nullopt;
}

} // namespace

Outcome<long> importCsv(Cursor &cursor, std::istream &in, const std::string &fileName,
                        const std::function<void(long)> &progress) {
  long records = 0;
  const auto &fields = cursor.description().fields;
  // The place once, then why; a column name as the file has it, cut and
  // escaped.
  auto failAt = [&](std::size_t line, const std::string &column, const std::string &why) -> Outcome<long> {
    return Failure{fileName + ", line " + std::to_string(line) +
                   (column.empty() ? "" : ", column " + shownLine(column, kShownCharacters)) + ": " + why};
  };

  csv::Reader reader(in);
  csv::Row row;
  csv::Error error;
  if (!reader.next(row, error)) {
    if (error)
      return failAt(error.line, "",
                    (error.field ? "field " + std::to_string(error.field) + ": " : "") + error.reason());
    return failAt(1, "", "the file is empty; it needs at least a header row");
  }
  // Which field each column of the file fills.
  std::vector<int> target;
  if (const auto refused = columnsOf(row, fields, target))
    return failAt(row.line(), refused->column, refused->why);

  if (const Result begin = cursor.beginBulk(); begin != code::Ok)
    return failAt(row.line(), "", engineFailure(begin));
  auto abandon = [&](std::size_t line, const std::string &column, const std::string &why) {
    (void)cursor.rollbackBulk();
    return failAt(line, column, why);
  };

  Record record = cursor.blankRecord();
  std::vector<std::size_t> lines; // of the records inserted, in order
  while (reader.next(row, error)) {
    // A blank line is no record.
    if (row.size() == 1 && row[0].isNull() && target.size() > 1)
      continue;
    if (row.size() != target.size())
      return abandon(row.line(), "",
                     std::to_string(row.size()) + " fields where the header has " +
                         std::to_string(target.size()));
    if (const auto refused = fillRecord(row, target, fields, record))
      return abandon(row.line(), refused->column, refused->why);
    if (const Result insert = cursor.insertRecord(record); insert != code::Ok)
      return abandon(row.line(), "", engineFailure(insert));
    lines.push_back(row.line());
    ++records;
    if (progress && records % 4096 == 0)
      progress(records);
  }
  if (error) {
    // The reader counts fields from 1; the header says whose column it is.
    const std::string column = error.field >= 1 && error.field <= target.size()
                                   ? fields[static_cast<std::size_t>(target[error.field - 1])].name
                                   : std::string();
    return abandon(error.line, column, error.reason());
  }
  if (const Result commit = cursor.commitBulk(); commit != code::Ok) {
    // A server checks the records when they are committed: the entry that
    // numbers the failing record gives its line.
    std::size_t line = row.line();
    for (const ErrorEntry &entry : ErrorEntries::all())
      if (entry.nativeCode > 0 && entry.context.rfind("Record: ", 0) == 0 &&
          static_cast<std::size_t>(entry.nativeCode) <= lines.size())
        line = lines[static_cast<std::size_t>(entry.nativeCode) - 1];
    return abandon(line, "", engineFailure(commit));
  }
  if (progress)
    progress(records);
  return records;
}

namespace {

// The record as its key names it ("Id = 3"), for messages.
std::string recordOf(const Cursor &cursor, const Record &record) {
  std::string name;
  for (const int field : cursor.currentIndex().keyFields) {
    const auto at = static_cast<std::size_t>(field);
    if (at < record.values.size())
      name += (name.empty() ? "" : ", ") + cursor.description().fields[at].name + " = " +
              shownLine(valueToText(record.values[at], cursor.description().fields[at].kind));
  }
  return name;
}

} // namespace

Outcome<long> exportCsv(Cursor &cursor, std::ostream &out, const std::string &fileName,
                        std::vector<std::string> &warnings, const engine::RecordFilter *filter) {
  long records = 0;
  const auto &fields = cursor.description().fields;
  csv::Writer writer(out);
  std::vector<csv::Value> cells;
  for (const auto &field : fields)
    cells.emplace_back(field.name);
  writer.writeRow(cells);

  cursor.setReadAhead(2048);
  Record record;
  std::vector<std::string> texts(fields.size());
  // One snapshot for the whole export: a record changed meanwhile is
  // neither written twice nor left out.
  Result step = cursor.beginSnapshot();
  if (step == code::Ok)
    step = cursor.setToBegin();
  auto next = [&] {
    return filter ? cursor.findWhere(SearchDirection::Forward, *filter, record) : cursor.readNext(record);
  };
  while (step == code::Ok && (step = next()) == code::Ok) {
    for (std::size_t i = 0; i < fields.size(); ++i) {
      const Value &value = record.values[i];
      if (value.isNull()) {
        cells[i] = std::nullopt;
      } else if (value.isText() && (fields[i].kind == FieldKind::String || fields[i].kind == FieldKind::Memo)) {
        cells[i] = value.asText(); // as it stands, without a copy
        // Bytes another client stored (a database that keeps any bytes)
        // go out as stored, never changed unseen: named for the user.
        if (!isValidUtf8(value.asText()))
          warnings.push_back(fieldProblem(fields[i], recordOf(cursor, record),
                                          "holds text that is not valid UTF-8: written as stored"));
      } else {
        texts[i] = valueToText(value, fields[i].kind);
        cells[i] = texts[i];
      }
    }
    if (!writer.writeRow(cells))
      break;
    ++records;
  }
  if (step == code::Eof)
    step = cursor.endSnapshot();
  if (step != code::Ok && step != code::Eof)
    return Failure{engineFailure(step)};
  if (!out.flush())
    return Failure{fileName + ": the file could not be written: " + std::strerror(errno)};
  return records;
}

} // namespace vandro::admin
