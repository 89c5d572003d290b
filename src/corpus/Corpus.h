// The corpus a relation table was imported from, kept beside it: the
// documents as read, and for each record made from one of them, where in it
// the record came from.
#pragma once

#include "engine/Cursor.h"

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace vandro::corpus {

using engine::Bytes;
using engine::Cursor;
using engine::Record;
using engine::Result;
using engine::Value;
// A document of the corpus: its name (the From of its records), its file's
// name, the file's bytes exactly as read, their SHA-256 (hexadecimal), and
// when it was imported (ISO 8601, UTC).
struct CorpusDocument {
  std::string name, file;
  Bytes content;
  std::string sha256, imported;
};

// Where a record came from: its document, the node ids as the file writes
// them (the satellite, or the pair's first and second child), each span's
// range of the document's tokens, the four marker fields as the import gave
// them, the dm signals the import gave each span (their places among the
// document's <signal> elements, in file order), and the record's other
// columns as imported: the relation name, and a digest of the rest.
struct RecordSource {
  std::int64_t id = 0;
  std::string document;
  std::string node1;
  std::optional<std::string> node2;
  int first1 = 0, last1 = 0, first2 = 0, last2 = 0;
  std::optional<std::string> marker1, position1, marker2, position2;
  std::vector<int> signals1, signals2;
  std::string relation;
  std::string columns;
};

// Tokens a user chose for a span's marker by clicking them in the
// document: the record, the span (1 or 2), the marker they give as stored,
// and each part's tokens, in the marker's order. The export writes a
// marker so chosen on exactly these tokens while the record's marker is
// still this one.
struct TokenChoice {
  std::int64_t id = 0;
  int span = 0;
  std::string marker;
  std::vector<std::vector<int>> parts;
  bool operator==(const TokenChoice &) const = default;
};

// One document's line of `vandro-admin documents`.
struct DocumentSummary {
  std::string name, file, imported;
  long records = 0, marked = 0, changed = 0;
};

// The two tables beside the relation table T: T_documents and T_sources,
// in the same database (the same file; the same schema on a server),
// written through the table's own cursor and so in its transaction. A
// source belongs to its record and its document: deleting either through
// the engine deletes the source. Every function returns Ok or the failure
// of the statement it ran.
class Corpus {
public:
  // The tables beside the relation table T: T_documents and T_sources, and
  // the index of the sources by document.
  static constexpr const char *kDocumentsSuffix = "_documents";
  static constexpr const char *kSourcesSuffix = "_sources";
  static constexpr const char *kSourcesIndexSuffix = "_sources_document";
  static constexpr const char *kChoicesSuffix = "_choices";
  explicit Corpus(Cursor &cursor) : m_cursor(cursor) {}

  // Whether the two tables exist.
  [[nodiscard]] Result exists(bool &out);
  // Makes them when they are missing.
  [[nodiscard]] Result create();
  // Every From of the relation table's records.
  [[nodiscard]] Result froms(std::set<std::string> &out);
  [[nodiscard]] Result addDocument(const CorpusDocument &document);
  [[nodiscard]] Result addSources(const std::vector<RecordSource> &sources);
  // Every document, by name, with its counts: records, records with a
  // marker (on either span), records whose markers differ from the import.
  [[nodiscard]] Result summaries(std::vector<DocumentSummary> &out);
  // The document `name` with its bytes; RecordNotFound when there is none.
  [[nodiscard]] Result document(const std::string &name, CorpusDocument &out);
  // The sources of the document's records, by Id, each with its record as
  // it is stored now (the relation table's fields, in its order).
  // ValueDoesNotFit naming the first source whose values are malformed; or,
  // with `skipped`, such sources are left out and counted there. With
  // `tokens`, only the records with a span that reaches among the tokens
  // first to last.
  [[nodiscard]] Result sources(const std::string &document, std::vector<RecordSource> &sources,
                               std::vector<Record> &records, long *skipped = nullptr,
                               std::optional<std::pair<int, int>> tokens = std::nullopt);
  // The source of the record `id` and the SHA-256 of its document as kept,
  // in one statement. RecordNotFound when the record has no source,
  // ValueDoesNotFit when its values are malformed.
  [[nodiscard]] Result recordSource(std::int64_t id, RecordSource &source, std::string &documentSha256);
  // Whether T_choices exists.
  [[nodiscard]] Result hasChoices(bool &out) { return m_cursor.hasSibling(kChoicesSuffix, out); }
  // The document of the first record after (before) record `id`, in key
  // order, that is another than `document`; nothing at the end.
  [[nodiscard]] Result documentBeside(std::int64_t id, const std::string &document, bool after,
                                      std::optional<std::string> &out);
  // Keeps `choice`, over an earlier one of the same record and span; makes
  // T_choices beside the table when it is missing.
  [[nodiscard]] Result keepChoice(const TokenChoice &choice);
  // The token choices of the document's records, by Id and span. A
  // malformed one is left out.
  [[nodiscard]] Result choices(const std::string &document, std::vector<TokenChoice> &out);
  // The document's records (those whose From is `name`, and those whose
  // source names the document): how many, how many with a marker, and
  // whether the document itself is kept. RecordNotFound when there is
  // neither a record nor the document.
  [[nodiscard]] Result documentRecords(const std::string &name, long &records, long &marked, bool &stored);
  // How many of the document's markers (a span each) differ from what its
  // import gave: the annotation a removal would drop. Nothing for a
  // document that is not kept.
  [[nodiscard]] Result changedMarkers(const std::string &name, long &out);
  // Deletes the document's records, their sources and the document, in one
  // transaction; how many records went, and how many had a marker. Works on
  // records of a document that was never kept (imported as CSV, say). Each
  // record goes through the engine's checked delete (Cursor::deleteRecords):
  // RecordLocked, naming the record, when another program is editing one,
  // and nothing is removed. RecordNotFound when there is neither a record
  // nor the document.
  [[nodiscard]] Result removeDocument(const std::string &name, long &records, long &marked);
  // An SQL condition on the relation table's records (named by the
  // cursor's quotedName()): the record's source says that a marker or its
  // position differs from what the import gave. Only for a kept corpus
  // (exists()); a record without a source never passes.
  std::string markersChangedCondition() const;
  // What is wrong in the two tables: a source whose record or document is
  // missing, a document whose bytes no longer give its digest.
  [[nodiscard]] Result problems(std::vector<std::string> &out);

  // Why `file`, a stored file name, cannot be written into a folder: it is
  // empty, "." or "..", too long, or holds "/", "\" or a control
  // character. Nothing for a plain file name.
  static std::optional<std::string> fileNameProblem(const std::string &file);
  // The SHA-256 of `bytes` in hexadecimal.
  static std::string sha256(const Bytes &bytes);
  // A quicker digest of `text` (BLAKE2b, 128 bits) in hexadecimal, to tell
  // whether a record's columns changed.
  static std::string digest(const std::string &text);

private:
  std::string documentsTable() const { return m_cursor.siblingName(kDocumentsSuffix); }
  std::string sourcesTable() const { return m_cursor.siblingName(kSourcesSuffix); }
  std::string choicesTable() const { return m_cursor.siblingName(kChoicesSuffix); }
  // The choices the rows `rows` (Id, Span, Marker, Tokens) hold; a
  // malformed one goes into `malformed` as a line of check, when given.
  static void choicesOf(const std::vector<std::vector<Value>> &rows, std::vector<TokenChoice> &out,
                        std::vector<std::string> *malformed, const std::string &table);
  // The malformed rows of T_choices, as lines of check.
  [[nodiscard]] Result choiceProblems(std::vector<std::string> &out);
  // " WHERE ..." for the document's records, with its parameters.
  std::string recordsOf(const std::string &name, std::vector<Value> &parameters);
  // The relation table's columns (the standard ones), qualified by `alias`.
  std::string recordColumns(const std::string &alias) const;

  Cursor &m_cursor;
};

} // namespace vandro::corpus
