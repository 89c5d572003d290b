#include "RstExport.h"

#include "RstDocument.h"
#include "RstRelations.h"
#include "RstSignalEditor.h"
#include "RstTransfer.h"
#include "engine/Corpus.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <map>
#include <unistd.h>

namespace vandro::admin {

using namespace engine;

namespace {

// The standard relation table's fields that export-rst reads.
constexpr std::size_t kMarker1 = 14, kPosition1 = 15, kMarker2 = 16, kPosition2 = 17;

std::optional<std::string> textOf(const Value &value) {
  return value.isText() ? std::optional(value.asText()) : std::nullopt;
}

std::string shown(const std::optional<std::string> &text) { return text ? "\"" + *text + "\"" : "null"; }

// One file to write: where, and what.
struct Output {
  std::string target, temporary, backup;
  QByteArray bytes;
  bool replaced = false, backedUp = false;
};

bool writeWhole(const std::string &path, const QByteArray &bytes, std::string &error) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) {
    error = std::strerror(errno);
    return false;
  }
  const char *data = bytes.constData();
  std::size_t left = static_cast<std::size_t>(bytes.size());
  while (left > 0) {
    const ssize_t written = ::write(fd, data, left);
    if (written < 0 && errno == EINTR)
      continue;
    if (written < 0) {
      error = std::strerror(errno);
      ::close(fd);
      return false;
    }
    data += written;
    left -= static_cast<std::size_t>(written);
  }
  if (::close(fd) != 0) {
    error = std::strerror(errno);
    return false;
  }
  return true;
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
bool writeBeside(Output &output, std::string &error) {
  const std::string suffix = "-" + std::to_string(::getpid());
  output.temporary = output.target + ".part" + suffix;
  output.backup = output.target + ".was" + suffix;
  std::string cause;
  if (!writeWhole(output.temporary, output.bytes, cause)) {
    error = output.target + ": the file cannot be written: " + cause;
    return false;
  }
  output.bytes.clear();
  return true;
}

// Puts every output written beside its target in its place, or none; a
// failure puts the old files back. The new files are on the disk before
// they replace the old ones (one sync of the file system for all of them),
// and the renames are, before it returns.
bool placeAll(const std::string &folder, std::vector<Output> &outputs, std::string &error) {
  const int directory = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (directory < 0 || ::syncfs(directory) != 0) {
    error = folder + ": the files cannot be stored: " + std::strerror(errno);
    if (directory >= 0)
      ::close(directory);
    undoOutputs(outputs);
    return false;
  }
  for (Output &output : outputs) {
    output.backedUp = ::link(output.target.c_str(), output.backup.c_str()) == 0;
    if (!output.backedUp && errno != ENOENT) {
      error = output.target + ": the file cannot be replaced: " + std::strerror(errno);
      undoOutputs(outputs);
      ::close(directory);
      return false;
    }
    if (::rename(output.temporary.c_str(), output.target.c_str()) != 0) {
      error = output.target + ": the file cannot be replaced: " + std::strerror(errno);
      undoOutputs(outputs);
      ::close(directory);
      return false;
    }
    output.replaced = true;
  }
  for (const Output &output : outputs)
    if (output.backedUp)
      (void)::unlink(output.backup.c_str());
  (void)::fsync(directory);
  ::close(directory);
  return true;
}

// The edits of one document, and what it lists.
class DocumentExport {
public:
  // `document` reads the document, when a changed marker needs its tokens.
  DocumentExport(std::function<const rst::RstDocument *()> document, RstExportResult &result)
      : m_read(std::move(document)), m_result(result) {}
  bool failed() const { return m_failed; }

  void record(const RecordSource &source, const Record &record) {
    const std::string id = "Id " + std::to_string(source.id) + ": ";
    if (otherColumnsDigest(record.values) != source.columns) {
      const std::string changed = changedColumns(source, record);
      list(source.id, id + "columns other than the markers differ from the import" +
                          (changed.empty() ? std::string() : " (" + changed + ")"));
    }
    span(source, 1, source.marker1, source.position1, textOf(record.values[kMarker1]),
         textOf(record.values[kPosition1]), source.first1, source.last1, source.signals1);
    span(source, 2, source.marker2, source.position2, textOf(record.values[kMarker2]),
         textOf(record.values[kPosition2]), source.first2, source.last2, source.signals2);
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

  // A span's marker as the corpus can hold it: an empty marker (null, or
  // blanks only) is no marker, and its position is then nothing either.
  using Marker = std::pair<std::optional<std::string>, std::optional<std::string>>;
  static Marker normal(const std::optional<std::string> &marker, const std::optional<std::string> &position) {
    if (!marker || QString::fromStdString(*marker).trimmed().isEmpty())
      return {};
    return {marker, position};
  }

  bool read() {
    if (!m_document && !(m_document = m_read()))
      m_failed = true;
    return !m_failed;
  }

  void span(const RecordSource &source, int number, const std::optional<std::string> &importedMarker,
            const std::optional<std::string> &importedPosition, const std::optional<std::string> &marker,
            const std::optional<std::string> &position, int first, int last, const std::vector<int> &spanSignals) {
    const Marker now = normal(marker, position);
    if (now == normal(importedMarker, importedPosition))
      return; // its signals stay as they are
    m_changed = true;
    rst::SignalEdit edit;
    edit.removed = spanSignals;
    // What importing the written document gives this span again.
    Marker readBack;
    const std::string prefix = "Id " + std::to_string(source.id) + ": span " + std::to_string(number) + "'s marker ";
    if (now.first) {
      if (!read())
        return;
      bool agrees = false;
      const std::vector<int> run = rst::markerRun(*m_document, QString::fromStdString(*marker),
                                                  QString::fromStdString(position.value_or("")), first, last, agrees);
      if (run.empty()) {
        ++m_result.markersNotWritten;
        std::string dropped;
        for (const rst::RstSignal &signal : m_document->markers)
          if (std::find(spanSignals.begin(), spanSignals.end(), signal.index) != spanSignals.end())
            dropped += (dropped.empty() ? "" : "; ") + tokenList(signal.tokens);
        list(source.id, prefix + shown(marker) + " is no run of the span's tokens; not written" +
                            (dropped.empty() ? std::string()
                                             : ", and the signal it replaces (tokens " + dropped + ") is left out"));
        m_edits.push_back(std::move(edit));
        return;
      }
      ++m_result.markersWritten;
      QStringList words;
      for (int token : run)
        words << m_document->tokens[static_cast<std::size_t>(token)];
      readBack = normal(words.join(QLatin1Char(' ')).toStdString(),
                        rst::markerPosition(*m_document, run.front(), run.back(), first, last).toStdString());
      edit.added = rst::NewSignal{QString::fromStdString(source.node2.value_or(source.node1)), run};
    }
    if (readBack != now)
      list(source.id, prefix + shown(marker) + " at " + shown(position) + " is written as tokens " +
                          tokenList(edit.added->tokens) + ", which read back as " + shown(readBack.first) + " at " +
                          shown(readBack.second));
    m_edits.push_back(std::move(edit));
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
    static const char *const kNames[] = {"Id", "From", "Relation", "Extended", "Embedded", "Volitional", "Order",
                                         "Span1", "Span2", "L1", "H1", "L2", "H2", "Segments_distance"};
    std::vector<rst::RelationRecord> built;
    QString error;
    if (!read() || !rst::relationRecords(*m_document, {}, built, error))
      return {};
    const auto found = std::find_if(built.begin(), built.end(), [&](const rst::RelationRecord &r) {
      return r.node1.toStdString() == source.node1 && (r.node2.isEmpty() ? std::optional<std::string>()
                                                                          : std::optional(r.node2.toStdString())) ==
                                                          source.node2;
    });
    if (found == built.end())
      return {};
    const rst::RelationRecord &r = *found;
    const std::vector<Value> imported = {
        Value(), Value::text(r.from.toStdString()), Value::text(source.relation), Value::text(r.extended.toStdString()),
        Value(), Value(), Value::text(r.order.toStdString()), Value::text(r.span1.toStdString()),
        Value::text(r.span2.toStdString()), Value::integer(r.l1), Value::integer(r.h1), Value::integer(r.l2),
        Value::integer(r.h2), Value::integer(r.l2 - r.h1 - 1)};
    auto shownValue = [](const Value &value) {
      return value.isNull() ? std::string("null")
             : value.isInteger() ? std::to_string(value.asInteger())
                                 : "\"" + value.asText() + "\"";
    };
    std::string changed;
    for (std::size_t c = 1; c < imported.size() && c < record.values.size(); ++c) {
      if (record.values[c] == imported[c])
        continue;
      const bool span = c == 7 || c == 8;
      changed += (changed.empty() ? "" : ", ") + std::string(kNames[c]) +
                 (span ? "" : " " + shownValue(record.values[c]) + ", imported " + shownValue(imported[c]));
    }
    return changed;
  }

  std::function<const rst::RstDocument *()> m_read;
  const rst::RstDocument *m_document = nullptr;
  bool m_failed = false;
  RstExportResult &m_result;
  std::vector<rst::SignalEdit> m_edits;
  bool m_changed = false;
};

} // namespace

RstExportResult exportRst(Cursor &cursor, const std::string &folder, const std::vector<std::string> &names) {
  RstExportResult result;
  std::vector<Output> outputs;
  auto failure = [&](const std::string &why) {
    undoOutputs(outputs);
    result.ok = false;
    result.error = why;
    return result;
  };
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
  namespace fs = std::filesystem;
  bool madeFolder = false;
  auto readFailure = [&](const std::string &why) {
    (void)cursor.endSnapshot();
    failure(why);
    std::error_code ignored;
    if (madeFolder)
      fs::remove(folder, ignored); // only when it is empty again
    return result;
  };
  std::vector<DocumentSummary> all;
  if (const Result listed = corpus.summaries(all); listed != code::Ok)
    return readFailure(engineFailure(listed));
  std::vector<std::string> wanted;
  for (const std::string &name : names) {
    if (std::none_of(all.begin(), all.end(), [&](const DocumentSummary &d) { return d.name == name; }))
      return readFailure("the table has no document " + name + " (vandro-admin documents lists them). Nothing was written");
    if (std::find(wanted.begin(), wanted.end(), name) == wanted.end())
      wanted.push_back(name);
  }
  if (names.empty())
    for (const DocumentSummary &summary : all)
      wanted.push_back(summary.name);
  std::error_code ec;
  madeFolder = !fs::exists(folder, ec);
  fs::create_directories(folder, ec);
  if (ec)
    return readFailure(folder + ": the folder cannot be made: " + ec.message());
  for (const std::string &name : wanted) {
    CorpusDocument stored;
    std::vector<RecordSource> sources;
    std::vector<Record> records;
    Result got = corpus.document(name, stored);
    if (got == code::Ok)
      got = corpus.sources(name, sources, records);
    if (got != code::Ok)
      return readFailure(engineFailure(got));
    const QByteArray bytes(reinterpret_cast<const char *>(stored.content.data()),
                           static_cast<qsizetype>(stored.content.size()));
    stored.content = {};
    rst::RstDocument document;
    QString error;
    DocumentExport exported(
        [&]() -> const rst::RstDocument * {
          return rst::readRstDocument(QString::fromStdString(stored.file), bytes, document, error) ? &document
                                                                                                 : nullptr;
        },
        result);
    for (std::size_t i = 0; i < sources.size() && !exported.failed(); ++i)
      exported.record(sources[i], records[i]);
    if (exported.failed())
      return readFailure("the stored document " + stored.name + " does not read: " +
                         error.toStdString().substr(0, error.toStdString().find_last_not_of('.') + 1) +
                         ". Nothing was written");
    Output output{(fs::path(folder) / stored.file).string(), {}, {}, bytes};
    if (exported.changed()) {
      if (!rst::editSignals(bytes, exported.edits(), output.bytes, error))
        return readFailure(stored.file + ": " + error.toStdString() + ". Nothing was written");
    } else {
      ++result.identical;
    }
    std::string cause;
    outputs.push_back(std::move(output));
    if (!writeBeside(outputs.back(), cause))
      return readFailure(cause + ". Nothing was written");
  }
  (void)cursor.endSnapshot();
  std::string error;
  if (!placeAll(folder, outputs, error)) {
    failure(error + ". Nothing was written");
    std::error_code ignored;
    if (madeFolder)
      fs::remove(folder, ignored);
    return result;
  }
  result.documents = static_cast<long>(outputs.size());
  std::sort(result.listed.begin(), result.listed.end());
  for (std::string &line : result.listed)
    line.erase(0, 20);
  return result;
}

} // namespace vandro::admin
