#include "RstTransfer.h"

#include "RstDocument.h"
#include "corpus/Corpus.h"
#include "engine/MessageText.h"
#include "corpus/RelationTable.h"

#include <QDateTime>
#include <QFile>
#include <algorithm>
#include <cctype>
#include <filesystem>
#include <map>
#include <optional>
#include <set>

namespace vandro::admin {

using namespace engine;

using namespace corpus;

namespace {

// The columns an RST record fills, by their names in the standard table.
using column::Column;
using namespace column;

bool sameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

// The current time as ISO 8601 in UTC.
std::string nowUtc() {
  return QDateTime::currentDateTimeUtc().toString(Qt::ISODate).toStdString();
}

} // namespace

std::string otherColumnsDigest(const std::vector<Value> &values) {
  std::string canonical;
  for (int c = From; c <= SegmentsDistance && c < static_cast<int>(values.size()); ++c) {
    const Value &value = values[static_cast<std::size_t>(c)];
    if (value.isNull())
      canonical += "n";
    else if (value.isInteger())
      canonical += "i" + std::to_string(value.asInteger());
    else if (value.isText())
      canonical += "t" + std::to_string(value.asText().size()) + ":" + value.asText();
    else
      canonical += "?";
    canonical += '\x1f';
  }
  return Corpus::digest(canonical);
}

RstImportResult importRst(Cursor &cursor, const std::vector<std::string> &files, const rst::RelationMap &map,
                          const std::function<void(const RstImportResult &)> &progress) {
  RstImportResult result;
  auto failure = [&](const std::string &why) {
    result.ok = false;
    result.error = why;
    return result;
  };
  const auto &fields = cursor.description().fields;
  int column[column::Count];
  for (int c = 0; c < column::Count; ++c) {
    const auto found = std::find_if(fields.begin(), fields.end(),
                                    [&](const FieldDescription &f) { return sameName(f.name, kRelationColumnNames[c]); });
    if (found == fields.end())
      return failure(cursor.location() + ": the table has no column " + kRelationColumnNames[c] +
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
    result.warnings.clear();
    return failure(why);
  };
  // The corpus beside the table, made when missing; the documents it has.
  Corpus corpus(cursor);
  std::set<std::string> froms;
  if (const Result made = corpus.create(); made != code::Ok)
    return abandon(engineFailure(made));
  if (const Result read = corpus.froms(froms); read != code::Ok)
    return abandon(engineFailure(read));

  rst::RstDocument document;
  std::vector<rst::RelationRecord> records;
  rst::RstWarnings warnings;
  std::map<QString, std::string> undeclared, unknown; // name -> where first seen
  std::set<std::string> knownNames, importedNow;
  for (const std::string_view name : kRelationNames)
    knownNames.emplace(name);
  for (const std::string &file : files) {
    QString error;
    QFile in(QString::fromStdString(file));
    if (!in.open(QIODevice::ReadOnly))
      return abandon(file + ": the file cannot be read: " + in.errorString().toStdString());
    const QByteArray content = in.readAll();
    if (in.error() != QFileDevice::NoError)
      return abandon(file + ": the file cannot be read: " + in.errorString().toStdString());
    warnings = {};
    if (!rst::readRstDocument(QString::fromStdString(file), content, document, error) ||
        !rst::relationRecords(document, map, records, error, &warnings))
      return abandon(error.toStdString());
    const std::string name = document.name.toStdString();
    if (!importedNow.insert(name).second)
      return abandon(file + ": the document " + name + " is given twice. Nothing was imported");
    if (!froms.insert(name).second)
      return abandon(file + ": the document " + name + " is in the table already (records whose From is \"" + name +
                     "\"); remove it first with vandro-admin remove-document DATABASE TABLE " + name +
                     ". Nothing was imported");
    for (const auto &[relname, line] : warnings.undeclared)
      undeclared.emplace(relname, file + ":" + std::to_string(line));
    for (const qint64 line : warnings.tokensBeyondTheEnd)
      result.warnings.push_back(file + ":" + std::to_string(line) +
                                ": a dm signal names tokens beyond the document's last token");
    for (const auto &[line, why] : warnings.signalsNotShown)
      result.warnings.push_back(file + ":" + std::to_string(line) + ": " + why.toStdString() +
                                "; every export leaves it as it is");
    std::vector<RecordSource> sources;
    for (const rst::RelationRecord &r : records) {
      Record record = cursor.blankRecord();
      std::string refused;
      auto text = [&](Column c, const QString &value) {
        const FieldDescription &field = fields[static_cast<std::size_t>(column[c])];
        const auto characters = value.toUcs4().size();
        if (field.kind == FieldKind::String && characters > field.size && refused.empty())
          refused = file + ": the " + r.origin.toStdString() + " gives " + kRelationColumnNames[c] + " " +
                    shownText(value.toStdString()) + " of " + std::to_string(characters) +
                    " characters; the field holds " + std::to_string(field.size) + ". Nothing was imported";
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
      integer(SegmentsDistance, segmentsDistance(r.h1, r.l2));
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
      if (!knownNames.count(r.relation.toStdString())) {
        const QString &namedBy = r.node2.isEmpty() ? r.node1 : r.node2;
        const auto &node = document.nodes[static_cast<std::size_t>(document.nodeIndex.value(namedBy))];
        unknown.emplace(r.relation, file + ":" + std::to_string(node.line));
      }

      std::vector<Value> standard;
      for (int c = 0; c < column::Count; ++c)
        standard.push_back(record.values[static_cast<std::size_t>(column[c])]);
      auto optional = [](const std::optional<QString> &text) {
        return text ? std::optional(text->toStdString()) : std::nullopt;
      };
      RecordSource source;
      source.id = lastId;
      source.document = name;
      source.node1 = r.node1.toStdString();
      if (!r.node2.isEmpty())
        source.node2 = r.node2.toStdString();
      source.first1 = r.first1;
      source.last1 = r.last1;
      source.first2 = r.first2;
      source.last2 = r.last2;
      source.marker1 = optional(r.marker1);
      source.position1 = optional(r.position1);
      source.marker2 = optional(r.marker2);
      source.position2 = optional(r.position2);
      source.signals1 = r.signals1;
      source.signals2 = r.signals2;
      source.relation = r.relation.toStdString();
      source.columns = otherColumnsDigest(standard);
      sources.push_back(std::move(source));
    }
    const Bytes bytes(content.begin(), content.end());
    const CorpusDocument stored{name, std::filesystem::path(file).filename().string(), bytes, Corpus::sha256(bytes),
                                nowUtc()};
    if (const Result added = corpus.addDocument(stored); added != code::Ok)
      return abandon(file + ": " + engineFailure(added) + ". Nothing was imported");
    if (const Result added = corpus.addSources(sources); added != code::Ok)
      return abandon(file + ": " + engineFailure(added) + ". Nothing was imported");
    ++result.documents;
    if (progress)
      progress(result);
  }
  if (const Result committed = cursor.commitBulk(); committed != code::Ok)
    return abandon(engineFailure(committed));
  for (const auto &[relname, where] : undeclared)
    result.warnings.push_back(where + ": the relation name \"" + relname.toStdString() +
                              "\" is not declared in the document's header");
  for (const auto &[relname, where] : unknown)
    result.warnings.push_back(where + ": the relation name \"" + relname.toStdString() +
                              "\" is neither in the map nor one of the relation chooser's names");
  return result;
}

} // namespace vandro::admin
