#include "RstExport.h"

#include "CsvTransfer.h"
#include "corpus/RstDocument.h"
#include "corpus/RstMarkers.h"
#include "RstRelations.h"
#include "RstSignalEditor.h"
#include "Interruption.h"
#include "RstTransfer.h"
#include "engine/DatabaseName.h"
#include "corpus/Corpus.h"
#include "engine/FieldValues.h"
#include "corpus/MarkerNotation.h"
#include "corpus/RelationTable.h"
#include "engine/MessageText.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <QFile>
#include <map>
#include <unistd.h>

namespace vandro::admin {

using namespace engine;

using namespace corpus;

namespace {

// The standard relation table's fields that export-rst reads.
constexpr std::size_t kMarker1 = 14, kPosition1 = 15, kMarker2 = 16, kPosition2 = 17;

std::optional<std::string> textOf(const Value &value) {
  return value.isText() ? std::optional(value.asText()) : std::nullopt;
}

// A marker or position for the listing: quoted, cut and escaped; null.
std::string shown(const std::optional<std::string> &text) { return text ? shownText(*text) : "null"; }

// One file to write: where, and what.
struct Output {
  std::string target, temporary, backup;
  QByteArray bytes;
  bool replaced = false, backedUp = false;
};

// Writes `bytes` as the whole file `path`; the system's reason otherwise.
Outcome<void> writeWhole(const std::string &path, const QByteArray &bytes) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0)
    return Failure{std::string(std::strerror(errno))};
  const char *data = bytes.constData();
  std::size_t left = static_cast<std::size_t>(bytes.size());
  while (left > 0) {
    const ssize_t written = ::write(fd, data, left);
    if (written < 0 && errno == EINTR)
      continue;
    if (written < 0) {
      const std::string cause = std::strerror(errno);
      ::close(fd);
      return Failure{cause};
    }
    data += written;
    left -= static_cast<std::size_t>(written);
  }
  if (::close(fd) != 0)
    return Failure{std::string(std::strerror(errno))};
  return {};
}

// Takes every new file away again, and puts back the old files it replaced.
void undoOutputs(std::vector<Output> &outputs) {
  for (Output &output : outputs) {
    if (output.replaced && output.backedUp)
      (void)::rename(output.backup.c_str(), output.target.c_str());
    else if (output.replaced)
      (void)::unlink(output.target.c_str());
    else if (output.backedUp)
      (void)::unlink(output.backup.c_str());
    (void)::unlink(output.temporary.c_str());
  }
}

// Writes one output beside its target.
Outcome<void> writeBeside(Output &output) {
  const std::string suffix = "-" + std::to_string(::getpid());
  output.temporary = output.target + ".part" + suffix;
  output.backup = output.target + ".was" + suffix;
  if (const auto written = writeWhole(output.temporary, output.bytes); !written)
    return Failure{output.target + ": the file cannot be written: " + written.error()};
  output.bytes.clear();
  return {};
}

// Puts every output written beside its target in its place, or none; a
// failure puts the old files back. The new files are on the disk before
// they replace the old ones (one sync of the file system for all of them),
// and the renames are, before it returns.
Outcome<void> placeAll(const std::string &folder, std::vector<Output> &outputs) {
  const int directory = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (directory < 0 || ::syncfs(directory) != 0) {
    const std::string cause = std::strerror(errno);
    if (directory >= 0)
      ::close(directory);
    undoOutputs(outputs);
    return Failure{folder + ": the files cannot be stored: " + cause};
  }
  for (Output &output : outputs) {
    output.backedUp = ::link(output.target.c_str(), output.backup.c_str()) == 0;
    if (!output.backedUp && errno != ENOENT) {
      const std::string cause = std::strerror(errno);
      undoOutputs(outputs);
      ::close(directory);
      return Failure{output.target + ": the file cannot be replaced: " + cause};
    }
    if (::rename(output.temporary.c_str(), output.target.c_str()) != 0) {
      const std::string cause = std::strerror(errno);
      undoOutputs(outputs);
      ::close(directory);
      return Failure{output.target + ": the file cannot be replaced: " + cause};
    }
    output.replaced = true;
  }
  for (const Output &output : outputs)
    if (output.backedUp)
      (void)::unlink(output.backup.c_str());
  (void)::fsync(directory);
  ::close(directory);
  return {};
}

// Why the export may not write the file `name` into `folder` (resolved):
// it is a link, which may lead anywhere; or a file of a table — the table
// `table` exported (its file and the files SQLite and the record locks keep
// beside it), any other SQLite database, or such a file of another table.
// Nothing when it may.
std::optional<std::string> targetProblem(const std::filesystem::path &folder, const std::string &name,
                                         const std::string &table) {
  namespace fs = std::filesystem;
  const fs::path target = folder / name;
  std::error_code ec;
  const fs::file_status status = fs::symlink_status(target, ec);
  if (fs::is_symlink(status))
    return target.string() + ": it is a link; an export writes only plain files inside its folder";
  if (fs::exists(status) && !fs::is_regular_file(status))
    return target.string() + ": something other than a file is there (a folder, a device or a pipe)";
  if (target == fs::path(table))
    return target.string() + ": it is a file of the table itself";
  for (const char *suffix : engine::kFilesBesideTable)
    if (target == fs::path(table + suffix))
      return target.string() + ": it is a file of the table itself";
  // An SQLite file begins with these 16 bytes; its companions are named
  // after it.
  auto isDatabase = [](const fs::path &file) {
    std::error_code error;
    if (!fs::is_regular_file(fs::symlink_status(file, error)))
      return false;
    QFile head(QString::fromStdString(file.string()));
    return head.open(QIODevice::ReadOnly) && head.read(16) == QByteArray("SQLite format 3\0", 16);
  };
  if (isDatabase(target))
    return target.string() + ": it is a database file";
  for (const std::string suffix : engine::kFilesBesideTable)
    if (name.size() > suffix.size() && name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0 &&
        isDatabase(folder / name.substr(0, name.size() - suffix.size())))
      return target.string() + ": it is a file a database keeps beside it";
  return std::nullopt;
}

// Whether the file `target` may be replaced: it is not there, or it holds
// the document as imported (`imported`) or as about to be written (`now`).
// The reason otherwise: a file changed since, by someone else perhaps.
Outcome<void> mayReplace(const std::string &target, const QByteArray &imported, const QByteArray &now) {
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::file_status status = fs::symlink_status(target, ec);
  if (!fs::exists(status))
    return {};
  if (fs::is_regular_file(status)) {
    const std::uintmax_t size = fs::file_size(target, ec);
    QFile file(QString::fromStdString(target));
    const bool sizeFits = !ec && (size == static_cast<std::uintmax_t>(imported.size()) ||
                                  size == static_cast<std::uintmax_t>(now.size()));
    if (sizeFits && !file.open(QIODevice::ReadOnly)) {
      return Failure{target + ": the file there cannot be read to see whether it changed: " +
                     file.errorString().toStdString()};
    }
    if (sizeFits)
      if (const QByteArray there = file.readAll(); there == imported || there == now)
        return {};
  }
  return Failure{target + ": the file there is neither the document as imported nor what the export writes now (changed "
                 "since the import: in another tool, or by an earlier export of other markers); export into another "
                 "folder, or replace it with --force"};
}

// The records a stored document gives, found by the nodes they came from.
class DocumentRecords {
public:
  Outcome<void, QString> build(const rst::RstDocument &document) {
    m_built = true;
    auto made = rst::relationRecords(document, {});
    if (!made)
      return Failure{made.error()};
    m_records = std::move(made).value();
    for (const rst::RelationRecord &r : m_records)
      m_byNodes.emplace(std::pair(r.node1.toStdString(), r.node2.toStdString()), &r);
    return {};
  }
  bool built() const { return m_built; }
  const rst::RelationRecord *find(const RecordSource &source) const {
    const auto found = m_byNodes.find({source.node1, source.node2.value_or("")});
    return found == m_byNodes.end() ? nullptr : found->second;
  }

private:
  bool m_built = false;
  std::vector<rst::RelationRecord> m_records;
  std::map<std::pair<std::string, std::string>, const rst::RelationRecord *> m_byNodes;
};

// What is wrong with `source` against its stored document, whose records
// are `records`: its nodes make no record of the document, a span's tokens
// are not that record's, or a signal it names is not one of the span's dm
// signals (the document's <signal> elements counted from 0), or is named
// twice. Empty when it fits.
std::string sourceProblem(const DocumentRecords &records, const RecordSource &source) {
  const rst::RelationRecord *record = records.find(source);
  if (!record)
    return "Node1 \"" + source.node1 + "\"" + (source.node2 ? " and Node2 \"" + *source.node2 + "\"" : "") +
           " make no relation record of the document";
  for (int span = 1; span <= 2; ++span) {
    const int first = span == 1 ? source.first1 : source.first2, last = span == 1 ? source.last1 : source.last2;
    const int shouldFirst = span == 1 ? record->first1 : record->first2;
    const int shouldLast = span == 1 ? record->last1 : record->last2;
    const std::string number = std::to_string(span);
    if (first != shouldFirst || last != shouldLast)
      return "First" + number + " " + std::to_string(first) + " and Last" + number + " " + std::to_string(last) +
             " are not the tokens of span " + number + " in the document (" + std::to_string(shouldFirst) + " to " +
             std::to_string(shouldLast) + ")";
    const std::vector<int> &places = span == 1 ? source.signals1 : source.signals2;
    const std::vector<int> &own = span == 1 ? record->signals1 : record->signals2;
    for (std::size_t i = 0; i < places.size(); ++i) {
      const std::string named = "Signals" + number + " names " + std::to_string(places[i]);
      if (std::find(places.begin(), places.begin() + static_cast<std::ptrdiff_t>(i), places[i]) !=
          places.begin() + static_cast<std::ptrdiff_t>(i))
        return named + " twice";
      if (std::find(own.begin(), own.end(), places[i]) == own.end())
        return named + ", which is not a dm signal of the record's span " + number +
               " in the document (its <signal> elements are counted from 0)";
    }
  }
  return {};
}

// What `check` says of a source that fits its document but leaves out dm
// signals the document gives its spans (a table imported before every
// signal showed, or changed since): an export leaves them as they are, and
// no marker of the table shows them. Empty when it leaves out none.
std::string leftOutSignals(const DocumentRecords &records, const RecordSource &source) {
  const rst::RelationRecord *record = records.find(source);
  if (!record)
    return {};
  for (int span = 1; span <= 2; ++span) {
    const std::vector<int> &places = span == 1 ? source.signals1 : source.signals2;
    for (const int place : span == 1 ? record->signals1 : record->signals2)
      if (std::find(places.begin(), places.end(), place) == places.end())
        return "Signals" + std::to_string(span) + " leaves out " + std::to_string(place) +
               ", a dm signal the document gives span " + std::to_string(span) +
               " (imported by an earlier Vandro, or changed since): no marker shows it, and an export leaves it as "
               "it is";
  }
  return {};
}

// The edits of one document, and what it lists.
class DocumentExport {
public:
  // `document` reads the document, when a changed marker needs its tokens.
  DocumentExport(std::function<const rst::RstDocument *()> document, RstExportSummary &result)
      : m_read(std::move(document)), m_result(result) {}
  // Whether the document cannot be written: it does not read, or a record's
  // source does not fit it (error() then says which and why).
  bool failed() const { return m_failed; }
  const std::string &error() const { return m_error; }

  // The record and the token choices of its spans (any record's: those of
  // another are passed over).
  void record(const RecordSource &source, const Record &record, const std::vector<TokenChoice> &choices) {
    const std::string id = "Id " + std::to_string(source.id) + ": ";
    if (otherColumnsDigest(record.values) != source.columns) {
      const std::string changed = changedColumns(source, record);
      list(source.id, id + "columns other than the markers differ from the import" +
                          (changed.empty() ? std::string() : " (" + changed + ")"));
    }
    auto choiceOf = [&](int number) -> const TokenChoice * {
      const auto found = std::find_if(choices.begin(), choices.end(), [&](const TokenChoice &choice) {
        return choice.id == source.id && choice.span == number;
      });
      return found == choices.end() ? nullptr : &*found;
    };
    span(source, 1, {source.marker1, source.position1}, {textOf(record.values[kMarker1]), textOf(record.values[kPosition1])},
         source.signals1, choiceOf(1));
    span(source, 2, {source.marker2, source.position2}, {textOf(record.values[kMarker2]), textOf(record.values[kPosition2])},
         source.signals2, choiceOf(2));
  }

  const std::vector<rst::SignalEdit> &edits() const { return m_edits; }
  bool changed() const { return m_changed; }

private:
  void list(std::int64_t id, std::string line) { m_result.listed.push_back(numbered(id) + std::move(line)); }
  // A key that sorts the lines by Id, taken off again before they are shown.
  static std::string numbered(std::int64_t id) {
    char key[24];
    std::snprintf(key, sizeof key, "%020lld", static_cast<long long>(id));
    return key;
  }

  // A span's marker as the corpus can hold it: without outer blanks; no
  // marker (null, empty or blanks only) has no position either.
  using Marker = std::pair<std::optional<std::string>, std::optional<std::string>>;
  static Marker normal(const std::optional<std::string> &marker, const std::optional<std::string> &position) {
    if (!marker || isNoMarker(*marker))
      return {};
    return {std::string(trimmedMarker(*marker)), position};
  }

  bool read() {
    if (!m_document && !m_failed && !(m_document = m_read()))
      m_failed = true;
    return !m_failed;
  }

  // The document's records, made once; false when the document fails.
  bool records() {
    if (!read())
      return false;
    if (!m_records.built()) {
      if (const auto built = m_records.build(*m_document); !built) {
        m_failed = true;
        m_error = "the stored document does not give its records: " + built.error().toStdString();
      }
    }
    return !m_failed;
  }

  void fail(const RecordSource &source, const std::string &why) {
    m_failed = true;
    m_error = "record Id = " + std::to_string(source.id) + ": " + why;
  }

  // One span whose marker changed since the import, or whose marker the
  // user chose tokens for: each part of its marker now is one signal. A
  // part on chosen tokens stands on them; another part equal to what a
  // signal of the span showed keeps that signal as it is; another part
  // becomes a new signal on the span's tokens; a signal whose part the user
  // saw and took away goes.
  void span(const RecordSource &source, int number, const Marker &imported, const Marker &stored,
            const std::vector<int> &spanSignals, const TokenChoice *choice) {
    const Marker now = normal(stored.first, stored.second);
    const bool unchanged = now == normal(imported.first, imported.second);
    if (choice && (!now.first || choice->marker != *now.first))
      choice = nullptr; // chosen for a marker the record no longer has
    if (unchanged && !choice)
      return; // its signals stay as they are
    if (!read())
      return void(m_changed = true);
    if (!records())
      return void(m_changed = true);
    if (const std::string problem = sourceProblem(m_records, source); !problem.empty()) {
      m_changed = true;
      return fail(source, "its source in the corpus does not fit the stored document: " + problem +
                              " (vandro-admin check lists every such source)");
    }
    const rst::RecordSpans spans{source.first1, source.last1, source.first2, source.last2};
    SpanChange change{source, number, spans.first(number), spans.last(number),
                      "Id " + std::to_string(source.id) + ": span " + std::to_string(number) + ": ", {}, {}, {}};
    const std::vector<rst::ShownSignal> had = signalsOf(source, number, spanSignals, spans);
    if (choice && !rst::choiceFits(*m_document, choice->marker, choice->parts, change.first, change.last)) {
      list(source.id, change.prefix + "the tokens chosen for " + shownText(choice->marker) +
                          " no longer give it; placed by its words");
      choice = nullptr;
    }
    if (unchanged && (!choice || sameTokens(had, choice->parts)))
      return; // the chosen tokens are the signals it has
    m_changed = true;
    std::vector<std::string> shownParts = markerParts(normal(imported.first, imported.second).first.value_or(""));
    const std::vector<std::string> parts = markerParts(now.first.value_or(""));
    const std::optional<QString> position =
        now.second ? std::optional(QString::fromStdString(*now.second)) : std::nullopt;
    std::vector<bool> keep(had.size(), false);
    for (const rst::PlacedPart &placed :
         rst::placeParts(*m_document, parts, position, change.first, change.last, had,
                         choice ? choice->parts : std::vector<std::vector<int>>{})) {
      if (placed.kept < 0) {
        addSignal(change, placed.part.toStdString(), placed.tokens);
        continue;
      }
      keep[static_cast<std::size_t>(placed.kept)] = true;
      change.taken.insert(change.taken.end(), placed.tokens.begin(), placed.tokens.end());
    }
    for (std::size_t i = 0; i < had.size(); ++i)
      keepOrRemove(change, had[i], keep[i], shownParts);
    checkReadBack(change, now, stored.first, stored.second);
    // New signals of a span that keeps none follow the record's last one.
    if (!change.edit.after) {
      const auto &both = number == 1 ? source.signals2 : source.signals1;
      if (const auto last = std::max_element(both.begin(), both.end()); last != both.end())
        change.edit.after = *last;
    }
    if (!change.edit.removed.empty() || !change.edit.added.empty())
      m_edits.push_back(std::move(change.edit));
  }

  // What the export does to one span's signals, as it goes.
  struct SpanChange {
    const RecordSource &source;
    int number, first, last;
    std::string prefix;   // "Id 5: span 1: " for the listing
    rst::SignalEdit edit;
    std::vector<rst::ShownSignal> after; // what a new import would show
    std::vector<int> taken; // tokens of the signals the span keeps or gains
    bool unwritten = false; // a part of the marker could not be written
  };

  // The span's signals: those its source names, and those the document
  // gives it that the source leaves out (imported before every signal
  // showed), which a part may keep but the user never saw to take away.
  std::vector<rst::ShownSignal> signalsOf(const RecordSource &source, int number, const std::vector<int> &spanSignals,
                                          const rst::RecordSpans &spans) const {
    std::vector<int> places = spanSignals;
    const rst::RelationRecord *given = m_records.find(source);
    for (const int place : number == 1 ? given->signals1 : given->signals2)
      if (std::find(places.begin(), places.end(), place) == places.end())
        places.push_back(place);
    std::sort(places.begin(), places.end());
    std::vector<rst::ShownSignal> had;
    for (int place : places)
      had.push_back(rst::showSignal(*m_document, *rst::signalAt(*m_document, place), spans));
    return had;
  }

  // A part of the marker that no signal showed: a new signal on the span's
  // tokens, or listed as not written.
  void addSignal(SpanChange &change, const std::string &part, const std::vector<int> &tokens) {
    const std::int64_t id = change.source.id;
    if (tokens.empty()) {
      change.unwritten = true;
      ++m_result.signalsNotWritten;
      const bool elsewhere =
          !rst::partPlacements(*m_document, QString::fromStdString(part), change.first, change.last).empty();
      list(id, change.prefix + shownText(part) +
                   (elsewhere ? " stands only on tokens another part of the marker has; not written"
                              : " is no sequence of the span's tokens (letter case as the document writes "
                                "it); not written"));
      return;
    }
    change.taken.insert(change.taken.end(), tokens.begin(), tokens.end());
    change.edit.added.push_back({QString::fromStdString(change.source.node2.value_or(change.source.node1)), tokens});
    rst::ShownSignal shown;
    shown.tokens = tokens;
    shown.text = QString::fromStdString(part);
    change.after.push_back(std::move(shown));
    ++m_result.signalsAdded;
    list(id, change.prefix + "signal added: " + shownText(part) + " (tokens " + tokenList(tokens) + ")");
  }

  // A signal the span had: kept when a part keeps it; else removed when the
  // user saw its part in the marker and took it away. A signal the user
  // never saw in this span's marker (a table imported before every signal
  // showed) is never taken away; nor is any while a part of the span cannot
  // be written, which may have been meant to replace it.
  void keepOrRemove(SpanChange &change, const rst::ShownSignal &signal, bool kept,
                    std::vector<std::string> &shownParts) {
    const std::int64_t id = change.source.id;
    const auto seen = std::find_if(shownParts.begin(), shownParts.end(), [&](const std::string &part) {
      return partRuns(part) == partRuns(signal.text.toStdString());
    });
    if (kept || seen == shownParts.end() || change.unwritten) {
      if (!kept && seen != shownParts.end())
        list(id, change.prefix + "signal kept: " + shownText(signal.text.toStdString()) + " (tokens " +
                     tokenList(signal.tokens) + "), since a part of the marker could not be written");
      change.after.push_back(signal);
      change.edit.after = signal.index;
      return;
    }
    shownParts.erase(seen);
    change.edit.removed.push_back(signal.index);
    ++m_result.signalsRemoved;
    list(id, change.prefix + "signal removed: " + shownText(signal.text.toStdString()) + " (tokens " +
                 tokenList(signal.tokens) + ")");
  }

  // Lists a marker that a new import of the written signals would read
  // otherwise.
  void checkReadBack(const SpanChange &change, const Marker &now, const std::optional<std::string> &marker,
                     const std::optional<std::string> &position) {
    std::optional<QString> readMarker, readPosition;
    rst::spanMarker(*m_document, change.after, change.first, change.last, readMarker, readPosition);
    const Marker readBack = normal(readMarker ? std::optional(readMarker->toStdString()) : std::nullopt,
                                   readPosition ? std::optional(readPosition->toStdString()) : std::nullopt);
    if (readBack != now)
      list(change.source.id, change.prefix + "the marker " + shown(marker) + " at " + shown(position) +
                                 " reads back as " + shown(readBack.first) + " at " + shown(readBack.second));
  }

  // Whether the signals `had` stand on exactly the tokens `chosen`.
  static bool sameTokens(const std::vector<rst::ShownSignal> &had, const std::vector<std::vector<int>> &chosen) {
    std::vector<std::vector<int>> tokens;
    for (const rst::ShownSignal &signal : had)
      tokens.push_back(signal.tokens);
    std::vector<std::vector<int>> sorted = chosen;
    std::sort(tokens.begin(), tokens.end());
    std::sort(sorted.begin(), sorted.end());
    return tokens == sorted;
  }

  static std::string tokenList(const std::vector<int> &tokens) {
    std::string list;
    for (int token : tokens)
      list += (list.empty() ? "" : ",") + std::to_string(token);
    return list;
  }

  // The columns of `record` other than its markers that differ from what
  // the import gave, named with their values (the spans by name only).
  std::string changedColumns(const RecordSource &source, const Record &record) {
    if (!records())
      return {};
    const rst::RelationRecord *found = m_records.find(source);
    if (!found)
      return {};
    const rst::RelationRecord &r = *found;
    const std::vector<Value> imported = {
        Value(), Value::text(r.from.toStdString()), Value::text(source.relation), Value::text(r.extended.toStdString()),
        Value(), Value(), Value::text(r.order.toStdString()), Value::text(r.span1.toStdString()),
        Value::text(r.span2.toStdString()), Value::integer(r.l1), Value::integer(r.h1), Value::integer(r.l2),
        Value::integer(r.h2), Value::integer(segmentsDistance(r.h1, r.l2))};
    auto shownValue = [](const Value &value) { return valueText(value); };
    std::string changed;
    for (std::size_t c = 1; c < imported.size() && c < record.values.size(); ++c) {
      if (record.values[c] == imported[c])
        continue;
      const bool span = c == column::Span1 || c == column::Span2;
      changed += (changed.empty() ? "" : ", ") + std::string(kRelationColumnNames[c]) +
                 (span ? "" : " " + shownValue(record.values[c]) + ", imported " + shownValue(imported[c]));
    }
    return changed;
  }

  std::function<const rst::RstDocument *()> m_read;
  const rst::RstDocument *m_document = nullptr;
  DocumentRecords m_records;
  bool m_failed = false;
  std::string m_error;
  RstExportSummary &m_result;
  std::vector<rst::SignalEdit> m_edits;
  bool m_changed = false;
};

} // namespace

// The documents to write (those `names` says, each once, else all) and
// their file names, each a plain name of its own; why not, or nothing.
std::optional<std::string> chooseDocuments(const std::vector<DocumentSummary> &all,
                                           const std::vector<std::string> &names, std::vector<std::string> &wanted,
                                           std::map<std::string, std::string> &files) {
  for (const std::string &name : names) {
    if (std::none_of(all.begin(), all.end(), [&](const DocumentSummary &d) { return d.name == name; }))
      return "the table has no document " + shownText(name) +
             " (vandro-admin documents lists them). Nothing was written";
    if (std::find(wanted.begin(), wanted.end(), name) == wanted.end())
      wanted.push_back(name);
  }
  if (names.empty())
    for (const DocumentSummary &summary : all)
      wanted.push_back(summary.name);
  // Every file a plain name of its own, before anything is made.
  for (const std::string &name : wanted) {
    const std::string &file =
        std::find_if(all.begin(), all.end(), [&](const DocumentSummary &d) { return d.name == name; })->file;
    if (const auto problem = Corpus::fileNameProblem(file))
      return "the document " + shownText(name) + " is stored under the file name " + shownText(file) + ", which " +
             *problem + " (vandro-admin check). Nothing was written";
    if (const auto [first, added] = files.emplace(file, name); !added)
      return "the documents " + shownText(first->second) + " and " + shownText(name) +
             " are both stored under the file name " + file +
             "; export them one at a time with --document, into two folders. Nothing was written";
  }
  return std::nullopt;
}

// Makes the document `name` with the table's markers and writes it beside
// its place in the folder `resolved`; why not, or nothing.
std::optional<std::string> exportDocument(Corpus &corpus, const std::string &name,
                                          const std::filesystem::path &resolved, ExistingFiles existing,
                                          RstExportSummary &result, std::vector<Output> &outputs) {
  CorpusDocument stored;
  std::vector<RecordSource> sources;
  std::vector<Record> records;
  Result got = corpus.document(name, stored);
  std::vector<TokenChoice> choices;
  if (got == code::Ok)
    got = corpus.sources(name, sources, records);
  if (got == code::Ok)
    got = corpus.choices(name, choices);
  if (got != code::Ok)
    return engineFailure(got);
  if (Corpus::sha256(stored.content) != stored.sha256)
    return "the stored document " + shownText(stored.name) +
           " no longer has the bytes it was imported with (its SHA-256 differs; vandro-admin check). "
           "Nothing was written";
  const QByteArray bytes(reinterpret_cast<const char *>(stored.content.data()),
                         static_cast<qsizetype>(stored.content.size()));
  stored.content = {};
  std::optional<rst::RstDocument> document;
  QString error;
  DocumentExport exported(
      [&]() -> const rst::RstDocument * {
        auto read = rst::readRstDocument(QString::fromStdString(stored.file), bytes);
        if (!read) {
          error = read.error();
          return nullptr;
        }
        document = std::move(read).value();
        return &*document;
      },
      result);
  for (std::size_t i = 0; i < sources.size() && !exported.failed(); ++i)
    exported.record(sources[i], records[i], choices);
  if (exported.failed() && !exported.error().empty())
    return "the document " + shownText(stored.name) + ": " + exported.error() + ". Nothing was written";
  if (exported.failed())
    return "the stored document " + shownText(stored.name) +
           " does not read: " + error.toStdString().substr(0, error.toStdString().find_last_not_of('.') + 1) +
           ". Nothing was written";
  Output output{(resolved / stored.file).string(), {}, {}, bytes};
  if (!exported.edits().empty()) {
    const auto edited = rst::editSignals(bytes, exported.edits());
    if (!edited)
      return stored.file + ": " + edited.error().toStdString() + ". Nothing was written";
    output.bytes = *edited;
  } else {
    ++result.identical;
  }
  if (existing == ExistingFiles::KeepChanged)
    if (const auto may = mayReplace(output.target, bytes, output.bytes); !may)
      return may.error() + ". Nothing was written";
  outputs.push_back(std::move(output));
  if (const auto written = writeBeside(outputs.back()); !written)
    return written.error() + ". Nothing was written";
  return std::nullopt;
}

namespace {

// The lines of the listing by Id, each record's in the order they were
// made, without the keys that sorted them.
void orderById(std::vector<std::string> &listed) {
  std::stable_sort(listed.begin(), listed.end(),
                   [](const std::string &a, const std::string &b) { return a.compare(0, 20, b, 0, 20) < 0; });
  for (std::string &line : listed)
    line.erase(0, 20);
}

} // namespace

Outcome<RstExportSummary> exportRst(Cursor &cursor, const std::string &folder, const std::vector<std::string> &names,
                                    ExistingFiles existing) {
  RstExportSummary result;
  std::vector<Output> outputs;
  namespace fs = std::filesystem;
  bool madeFolder = false;
  // Whatever fails, nothing is left behind: no file beside a target, no
  // folder the export made. An interruption is answered between documents,
  // and never while the files are put in their places.
  auto failure = [&](const std::string &why) -> Outcome<RstExportSummary> {
    undoOutputs(outputs);
    std::error_code ignored;
    if (madeFolder)
      fs::remove(folder, ignored); // only when it is empty again
    return Failure{why};
  };
  const Interruption interruption;
  try {
    Corpus corpus(cursor);
    bool kept = false;
    if (const Result checked = corpus.exists(kept); checked != code::Ok)
      return failure(engineFailure(checked));
    if (!kept)
      return failure(cursor.location() + ": the table keeps no corpus; import-rst keeps the documents it imports");
    // One snapshot for every document; each written beside its target as
    // soon as it is made, so that only one document is held at a time.
    if (const Result begun = cursor.beginSnapshot(); begun != code::Ok)
      return failure(engineFailure(begun));
    auto readFailure = [&](const std::string &why) {
      (void)cursor.endSnapshot();
      return failure(why);
    };
    std::vector<DocumentSummary> all;
    if (const Result listed = corpus.summaries(all); listed != code::Ok)
      return readFailure(engineFailure(listed));
    std::vector<std::string> wanted;
    std::map<std::string, std::string> files; // file name -> document
    if (const auto why = chooseDocuments(all, names, wanted, files))
      return readFailure(*why);
    std::error_code ec;
    madeFolder = !fs::exists(folder, ec);
    fs::create_directories(folder, ec);
    if (ec)
      return readFailure(folder + ": the folder cannot be made: " + ec.message());
    const fs::path resolved = fs::canonical(folder, ec);
    if (ec)
      return readFailure(folder + ": the folder cannot be read: " + ec.message());
    for (const auto &[file, name] : files)
      if (const auto problem = targetProblem(resolved, file, cursor.location()))
        return readFailure(*problem + ". Nothing was written");
    for (const std::string &name : wanted) {
      if (const auto why = exportDocument(corpus, name, resolved, existing, result, outputs))
        return readFailure(*why);
      if (Interruption::requested())
        return readFailure("interrupted. Nothing was written");
    }
    (void)cursor.endSnapshot();
    if (const auto placed = placeAll(folder, outputs); !placed)
      return failure(placed.error() + ". Nothing was written");
  } catch (const std::exception &e) {
    (void)cursor.endSnapshot();
    return failure(std::string("the export failed: ") + e.what() + ". Nothing was written");
  }
  result.documents = static_cast<long>(outputs.size());
  orderById(result.listed);
  return result;
}

Outcome<std::vector<std::string>> corpusSourceProblems(Cursor &cursor) {
  Corpus corpus(cursor);
  std::vector<DocumentSummary> documents;
  if (const Result listed = corpus.summaries(documents); listed != code::Ok)
    return Failure{engineFailure(listed)};
  std::vector<std::string> out;
  for (const DocumentSummary &summary : documents) {
    CorpusDocument stored;
    std::vector<RecordSource> sources;
    std::vector<Record> records;
    // Malformed sources and documents are Corpus::problems' to name; the
    // others of the document are checked all the same.
    long malformed = 0;
    if (corpus.document(summary.name, stored) != code::Ok ||
        corpus.sources(summary.name, sources, records, &malformed) != code::Ok)
      continue;
    const QByteArray bytes(reinterpret_cast<const char *>(stored.content.data()),
                           static_cast<qsizetype>(stored.content.size()));
    const auto document = rst::readRstDocument(QString::fromStdString(stored.file), bytes);
    if (!document) {
      out.push_back("The document " + shownText(summary.name) + " does not read: " + document.error().toStdString());
      continue;
    }
    DocumentRecords given;
    if (const auto built = given.build(*document); !built) {
      out.push_back("The document " + shownText(summary.name) +
                    " does not give its records: " + built.error().toStdString());
      continue;
    }
    for (const RecordSource &source : sources)
      if (std::string problem = sourceProblem(given, source);
          !problem.empty() || !(problem = leftOutSignals(given, source)).empty())
        out.push_back("The source of record Id = " + std::to_string(source.id) + " does not fit the document " +
                      shownText(summary.name) + ": " + problem);
  }
  return out;
}

} // namespace vandro::admin
