#include "RstTransfer.h"

#include "RstDocument.h"
#include "engine/ErrorEntries.h"
#include "engine/FailureMessage.h"

#include <algorithm>
#include <cctype>
#include <optional>

namespace vandro::admin {

using namespace engine;

namespace {

// The columns an RST record fills, by their names in the standard table.
enum Column {
  Id, From, Relation, Extended, Embedded, Volitional, Order, Span1, Span2, L1, H1, L2, H2, SegmentsDistance,
  Marker1, Position1, Marker2, Position2, ColumnCount
};
constexpr const char *kColumnNames[ColumnCount] = {
    "Id", "From", "Relation", "Extended", "Embedded", "Volitional", "Order", "Span1", "Span2", "L1", "H1", "L2",
    "H2", "Segments_distance", "Marker1", "Position1", "Marker2", "Position2"};

bool sameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

std::string engineFailure(Result result) {
  std::string message = failureMessage(result, ErrorEntries::all());
  std::replace(message.begin(), message.end(), '\n', ' ');
  return message;
}

} // namespace

RstImportResult importRst(Cursor &cursor, const std::vector<std::string> &files, const rst::RelationMap &map,
                          const std::function<void(const RstImportResult &)> &progress) {
  RstImportResult result;
  auto failure = [&](const std::string &why) {
    result.ok = false;
    result.error = why;
    return result;
  };
  const auto &fields = cursor.description().fields;
  int column[ColumnCount];
  for (int c = 0; c < ColumnCount; ++c) {
    const auto found = std::find_if(fields.begin(), fields.end(),
                                    [&](const FieldDescription &f) { return sameName(f.name, kColumnNames[c]); });
    if (found == fields.end())
      return failure(cursor.filePath() + ": the table has no column " + kColumnNames[c] +
                     "; import-rst fills the standard relation table");
    column[c] = static_cast<int>(found - fields.begin());
  }

  // Numbered on after the largest Id.
  std::int64_t lastId = 0;
  Record last;
  if (const Result end = cursor.setToEnd(); end != code::Ok)
    return failure(engineFailure(end));
  if (const Result read = cursor.readPrior(last); read == code::Ok)
    lastId = last.values[static_cast<std::size_t>(column[Id])].asInteger();
  else if (read != code::Bof)
    return failure(engineFailure(read));

  if (const Result begun = cursor.beginBulk(); begun != code::Ok)
    return failure(engineFailure(begun));
  auto abandon = [&](const std::string &why) {
    (void)cursor.rollbackBulk();
    result.records = 0;
    return failure(why);
  };
  rst::RstDocument document;
  std::vector<rst::RelationRecord> records;
  for (const std::string &file : files) {
    QString error;
    if (!rst::readRstDocument(QString::fromStdString(file), document, error) ||
        !rst::relationRecords(document, map, records, error))
      return abandon(error.toStdString());
    for (const rst::RelationRecord &r : records) {
      Record record = cursor.blankRecord();
      std::string refused;
      auto text = [&](Column c, const QString &value) {
        const FieldDescription &field = fields[static_cast<std::size_t>(column[c])];
        const auto characters = value.toUcs4().size();
        if (field.kind == FieldKind::String && characters > field.size && refused.empty())
          refused = file + ": the " + r.origin.toStdString() + " gives " + kColumnNames[c] + " \"" +
                    value.toStdString() + "\" of " + std::to_string(characters) + " characters; the field holds " +
                    std::to_string(field.size) + ". Nothing was imported";
        record.values[static_cast<std::size_t>(column[c])] = Value::text(value.toStdString());
      };
      auto optionalText = [&](Column c, const std::optional<QString> &value) {
        if (value)
          text(c, *value);
      };
      auto integer = [&](Column c, std::int64_t value) {
        record.values[static_cast<std::size_t>(column[c])] = Value::integer(value);
      };
      integer(Id, ++lastId);
      text(From, r.from);
      text(Relation, r.relation);
      text(Extended, r.extended);
      text(Order, r.order);
      text(Span1, r.span1);
      text(Span2, r.span2);
      integer(L1, r.l1);
      integer(H1, r.h1);
      integer(L2, r.l2);
      integer(H2, r.h2);
      integer(SegmentsDistance, r.l2 - r.h1 - 1);
      optionalText(Marker1, r.marker1);
      optionalText(Position1, r.position1);
      optionalText(Marker2, r.marker2);
      optionalText(Position2, r.position2);
      if (!refused.empty())
        return abandon(refused);
      if (const Result inserted = cursor.insertRecord(record); inserted != code::Ok)
        return abandon(file + ": the " + r.origin.toStdString() + ": " + engineFailure(inserted) +
                       ". Nothing was imported");
      ++result.records;
      if (r.marker1 || r.marker2)
        ++result.withMarker;
    }
    ++result.documents;
    if (progress)
      progress(result);
  }
  if (const Result committed = cursor.commitBulk(); committed != code::Ok)
    return abandon(engineFailure(committed));
  return result;
}

} // namespace vandro::admin
