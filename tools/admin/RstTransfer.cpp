#include "RstTransfer.h"

#include "CsvTransfer.h"
#include "corpus/RstDocument.h"
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

namespace {

// One import-rst run: the table's standard columns, the Ids given so far,
// the documents the table and this run hold, what to warn of at the end.
class RstImport {
public:
  RstImport(Cursor &cursor, const rst::RelationMap &map, RstImportSummary &result)
      : m_cursor(cursor), m_fields(cursor.description().fields), m_map(map), m_result(result), m_corpus(cursor) {
    for (const std::string_view name : kRelationNames)
      m_knownNames.emplace(name);
  }

  // Finds the standard columns and the largest Id; why not, or nothing.
  std::optional<std::string> prepare() {
    for (int c = 0; c < column::Count; ++c) {
      const auto found = std::find_if(m_fields.begin(), m_fields.end(), [&](const FieldDescription &f) {
        return sameName(f.name, kRelationColumnNames[c]);
      });
      if (found == m_fields.end())
        return m_cursor.location() + ": the table has no column " + kRelationColumnNames[c] +
               "; import-rst fills the standard relation table";
      m_column[c] = static_cast<int>(found - m_fields.begin());
    }
    // Numbered on after the largest Id.
    Record last;
    if (const Result end = m_cursor.setToEnd(); end != code::Ok)
      return engineFailure(end);
    if (const Result read = m_cursor.readPrior(last); read == code::Ok)
      m_lastId = last.values[static_cast<std::size_t>(m_column[Id])].asInteger();
    else if (read != code::Bof)
      return engineFailure(read);
    return std::nullopt;
  }

  // Inside the bulk transaction: the corpus beside the table, made when
  // missing, and the documents it has.
  std::optional<std::string> openCorpus() {
    if (const Result made = m_corpus.create(); made != code::Ok)
      return engineFailure(made);
    if (const Result read = m_corpus.froms(m_froms); read != code::Ok)
      return engineFailure(read);
    return std::nullopt;
  }

  // Reads the document in `file` and stores its records, its bytes and
  // its records' sources; why not, or nothing.
  std::optional<std::string> importFile(const std::string &file) {
    QFile in(QString::fromStdString(file));
    if (!in.open(QIODevice::ReadOnly))
      return file + ": the file cannot be read: " + in.errorString().toStdString();
    const QByteArray content = in.readAll();
    if (in.error() != QFileDevice::NoError)
      return file + ": the file cannot be read: " + in.errorString().toStdString();
    const auto read = rst::readRstDocument(QString::fromStdString(file), content);
    if (!read)
      return read.error().toStdString();
    const rst::RstDocument &document = *read;
    rst::RstWarnings warnings;
    const auto records = rst::relationRecords(document, m_map, &warnings);
    if (!records)
      return records.error().toStdString();
    const std::string name = document.name.toStdString();
    if (!m_importedNow.insert(name).second)
      return file + ": the document " + name + " is given twice. Nothing was imported";
    if (!m_froms.insert(name).second)
      return file + ": the document " + name + " is in the table already (records whose From is \"" + name +
             "\"); remove it first with vandro-admin remove-document DATABASE TABLE " + name +
             ". Nothing was imported";
    noteWarnings(file, warnings);
    std::vector<RecordSource> sources;
    for (const rst::RelationRecord &r : *records) {
      if (auto refused = storeRecord(file, document, r, sources))
        return refused;
    }
    const Bytes bytes(content.begin(), content.end());
    const CorpusDocument stored{name, std::filesystem::path(file).filename().string(), bytes, Corpus::sha256(bytes),
                                nowUtc()};
    if (const Result added = m_corpus.addDocument(stored); added != code::Ok)
      return file + ": " + engineFailure(added) + ". Nothing was imported";
    if (const Result added = m_corpus.addSources(sources); added != code::Ok)
      return file + ": " + engineFailure(added) + ". Nothing was imported";
    ++m_result.documents;
    return std::nullopt;
  }

  // The relation names the documents did not declare or that neither the
  // map nor the chooser knows, each where first seen.
  void warnOfNames() {
    for (const auto &[relname, where] : m_undeclared)
      m_result.warnings.push_back(where + ": the relation name \"" + relname.toStdString() +
                                  "\" is not declared in the document's header");
    for (const auto &[relname, where] : m_unknown)
      m_result.warnings.push_back(where + ": the relation name \"" + relname.toStdString() +
                                  "\" is neither in the map nor one of the relation chooser's names");
  }

private:
  void noteWarnings(const std::string &file, const rst::RstWarnings &warnings) {
    for (const auto &[relname, line] : warnings.undeclared)
      m_undeclared.emplace(relname, file + ":" + std::to_string(line));
    for (const qint64 line : warnings.tokensBeyondTheEnd)
      m_result.warnings.push_back(file + ":" + std::to_string(line) +
                                  ": a dm signal names tokens beyond the document's last token");
    for (const auto &[line, why] : warnings.signalsNotShown)
      m_result.warnings.push_back(file + ":" + std::to_string(line) + ": " + why.toStdString() +
                                  "; every export leaves it as it is");
  }

  // Stores the record `r` of `document` under the next Id, and notes its
  // source; why not, or nothing.
  std::optional<std::string> storeRecord(const std::string &file, const rst::RstDocument &document,
                                         const rst::RelationRecord &r, std::vector<RecordSource> &sources) {
    Record record = m_cursor.blankRecord();
    std::string refused;
    auto text = [&](Column c, const QString &value) {
      const FieldDescription &field = m_fields[static_cast<std::size_t>(m_column[c])];
      const auto characters = value.toUcs4().size();
      if (field.kind == FieldKind::String && characters > field.size && refused.empty())
        refused = file + ": the " + r.origin.toStdString() + " gives " + kRelationColumnNames[c] + " " +
                  shownText(value.toStdString()) + " of " + std::to_string(characters) +
                  " characters; the field holds " + std::to_string(field.size) + ". Nothing was imported";
      record.values[static_cast<std::size_t>(m_column[c])] = Value::text(value.toStdString());
    };
    auto optionalText = [&](Column c, const std::optional<QString> &value) {
      if (value)
        text(c, *value);
    };
    auto integer = [&](Column c, std::int64_t value) {
      record.values[static_cast<std::size_t>(m_column[c])] = Value::integer(value);
    };
    integer(Id, ++m_lastId);
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
      return refused;
    if (const Result inserted = m_cursor.insertRecord(record); inserted != code::Ok)
      return file + ": the " + r.origin.toStdString() + ": " + engineFailure(inserted) + ". Nothing was imported";
    ++m_result.records;
    if (r.marker1 || r.marker2)
      ++m_result.withMarker;
    if (!m_knownNames.count(r.relation.toStdString())) {
      const QString &namedBy = r.node2.isEmpty() ? r.node1 : r.node2;
      const auto &node = document.nodes[static_cast<std::size_t>(document.nodeIndex.value(namedBy))];
      m_unknown.emplace(r.relation, file + ":" + std::to_string(node.line));
    }
    std::vector<Value> standard;
    for (int c = 0; c < column::Count; ++c)
      standard.push_back(record.values[static_cast<std::size_t>(m_column[c])]);
    sources.push_back(sourceOf(r, document.name.toStdString(), standard));
    return std::nullopt;
  }

  RecordSource sourceOf(const rst::RelationRecord &r, const std::string &name, const std::vector<Value> &standard) const {
    auto optional = [](const std::optional<QString> &text) {
      return text ? std::optional(text->toStdString()) : std::nullopt;
    };
    RecordSource source;
    source.id = m_lastId;
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
    return source;
  }

  Cursor &m_cursor;
  const std::vector<FieldDescription> &m_fields;
  const rst::RelationMap &m_map;
  RstImportSummary &m_result;
  Corpus m_corpus;
  int m_column[column::Count] = {};
  std::int64_t m_lastId = 0;
  std::set<std::string> m_froms, m_knownNames, m_importedNow;
  std::map<QString, std::string> m_undeclared, m_unknown; // name -> where first seen
};

} // namespace

Outcome<RstImportSummary> importRst(Cursor &cursor, const std::vector<std::string> &files, const rst::RelationMap &map,
                                    const std::function<void(const RstImportSummary &)> &progress) {
  RstImportSummary result;
  RstImport import(cursor, map, result);
  if (const auto why = import.prepare())
    return Failure{*why};
  if (const Result begun = cursor.beginBulk(); begun != code::Ok)
    return Failure{engineFailure(begun)};
  auto abandon = [&](const std::string &why) -> Outcome<RstImportSummary> {
    (void)cursor.rollbackBulk();
    return Failure{why};
  };
  if (const auto why = import.openCorpus())
    return abandon(*why);
  for (const std::string &file : files) {
    if (const auto why = import.importFile(file))
      return abandon(*why);
    if (progress)
      progress(result);
  }
  if (const Result committed = cursor.commitBulk(); committed != code::Ok)
    return abandon(engineFailure(committed));
  import.warnOfNames();
  return result;
}

} // namespace vandro::admin
