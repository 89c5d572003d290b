#include "Corpus.h"

#include "engine/Database.h"

#include "engine/ErrorEntries.h"
#include "engine/FieldValues.h"
#include "MarkerNotation.h"
#include "engine/MessageText.h"
#include "engine/Utf8.h"
#include "engine/Quoted.h"
#include "RelationTable.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cstdint>
#include <iterator>
#include <map>
#include <sodium.h>

namespace vandro::corpus {

using namespace engine;

namespace {

Value optionalText(const std::optional<std::string> &text) { return text ? Value::text(*text) : Value(); }

std::optional<std::string> textOrNull(const Value &value) {
  return value.isText() ? std::optional(value.asText()) : std::nullopt;
}

// Whether span `span`'s marker differs between the records `a` and `b`:
// no marker (markerSql) has no position either.
std::string markerChanged(const std::string &a, const std::string &b, int span) {
  auto marker = [&](const std::string &record) {
    return markerSql(record + ".\"Marker" + std::to_string(span) + "\"");
  };
  auto position = [&](const std::string &record) {
    return "CASE WHEN " + marker(record) + " IS NULL THEN NULL ELSE " + record + ".\"Position" +
           std::to_string(span) + "\" END";
  };
  return "(" + marker(a) + " IS DISTINCT FROM " + marker(b) + " OR " + position(a) + " IS DISTINCT FROM " +
         position(b) + ")";
}

// The text a column holds: bytes stored where a text belongs read as the
// text they are, as the relation table's text fields read them.
std::string textOf(const Value &value) {
  if (value.isBytes())
    return std::string(value.asBytes().begin(), value.asBytes().end());
  return value.isText() ? value.asText() : value.isInteger() ? std::to_string(value.asInteger()) : std::string();
}

// The document bytes a Content column holds, whatever the storage class
// another program left them in; false for a value that holds no bytes.
bool contentOf(const Value &value, Bytes &out) {
  if (value.isBytes())
    out = value.asBytes();
  else if (value.isText())
    out.assign(value.asText().begin(), value.asText().end());
  else
    return false;
  return true;
}

std::int64_t integerOf(const Value &value) { return value.isInteger() ? value.asInteger() : 0; }

// A stored value for messages: null, a number, or a text in quotes (cut
// short when long).
std::string shownValue(const Value &value) {
  if (value.isNull())
    return "null";
  if (value.isInteger())
    return std::to_string(value.asInteger());
  if (value.isText() || value.isBytes())
    return shownText(textOf(value));
  return "a value of another kind";
}

// "12,13": the places of signals among the document's <signal> elements.
std::string signalList(const std::vector<int> &signals) {
  std::string list;
  for (int signal : signals) {
    if (!list.empty())
      list += ',';
    list += std::to_string(signal);
  }
  return list;
}

// The places "12,13" of `value` into `out`; false when it is no such list.
bool signalsOf(const Value &value, std::vector<int> &out) {
  out.clear();
  if (value.isNull())
    return true;
  if (!value.isText())
    return false;
  const std::string &text = value.asText();
  if (!text.empty() && text.back() == ',')
    return false; // a number left out at the end
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t comma = std::min(text.find(',', at), text.size());
    int place = 0;
    const auto [end, error] = std::from_chars(text.data() + at, text.data() + comma, place);
    if (error != std::errc() || end != text.data() + comma || place < 0)
      return false;
    out.push_back(place);
    at = comma + 1;
  }
  return true;
}

// An integer column of a source, which must hold an integer of 32 bits.
bool tokenOf(const Value &value, int &out) {
  if (!value.isInteger() || value.asInteger() < INT32_MIN || value.asInteger() > INT32_MAX)
    return false;
  out = static_cast<int>(value.asInteger());
  return true;
}

// "12,13;20": the tokens of each part of a chosen marker, parts separated
// by ";".
std::string choiceTokens(const std::vector<std::vector<int>> &parts) {
  std::string text;
  for (const std::vector<int> &part : parts) {
    if (!text.empty())
      text += ';';
    for (std::size_t t = 0; t < part.size(); ++t)
      text += (t ? "," : "") + std::to_string(part[t]);
  }
  return text;
}

// The parts of "12,13;20"; false for another text, or a token below 1.
bool choicePartsOf(const Value &value, std::vector<std::vector<int>> &out) {
  out.clear();
  if (!value.isText())
    return false;
  const std::string &text = value.asText();
  for (std::size_t at = 0; at <= text.size();) {
    const std::size_t end = std::min(text.find(';', at), text.size());
    std::vector<int> tokens;
    if (!signalsOf(Value::text(text.substr(at, end - at)), tokens) || tokens.empty() ||
        std::any_of(tokens.begin(), tokens.end(), [](int token) { return token < 1; }))
      return false;
    out.push_back(std::move(tokens));
    at = end + 1;
  }
  return !out.empty();
}

// The sources table's columns, in the order addSources binds them.
constexpr const char *kSourceColumns[] = {"Id",     "Document", "Node1",     "Node2",    "First1",    "Last1",
                                          "First2", "Last2",    "Marker1",   "Position1", "Marker2",  "Position2",
                                          "Signals1", "Signals2", "Relation", "Columns"};
constexpr int kSourceColumnCount = static_cast<int>(std::size(kSourceColumns));

// The sources table's columns quoted, each after `prefix` ("s.", or none).
std::string sourceColumns(const std::string &prefix = {}) {
  std::string list;
  for (const char *column : kSourceColumns)
    list += (list.empty() ? "" : ", ") + prefix + quoteIdentifier(column);
  return list;
}

// Lower-case hexadecimal digits of `size` bytes.
std::string hexText(const unsigned char *bytes, std::size_t size) {
  std::string hex(size * 2 + 1, '\0');
  sodium_bin2hex(hex.data(), hex.size(), bytes, size);
  hex.pop_back();
  return hex;
}

// The source in `row` (the columns of kSourceColumns); false with `why`
// naming the first column that holds no value of its kind.
bool sourceOf(const std::vector<Value> &row, RecordSource &s, std::string &why) {
  s.id = integerOf(row[0]);
  s.document = textOf(row[1]);
  s.node1 = textOf(row[2]);
  s.node2 = textOrNull(row[3]);
  int *const tokens[] = {&s.first1, &s.last1, &s.first2, &s.last2};
  for (int c = 4; c < 8; ++c)
    if (!tokenOf(row[static_cast<std::size_t>(c)], *tokens[c - 4])) {
      why = std::string(kSourceColumns[c]) + " holds " + shownValue(row[static_cast<std::size_t>(c)]) +
            ", which is no token number";
      return false;
    }
  s.marker1 = textOrNull(row[8]);
  s.position1 = textOrNull(row[9]);
  s.marker2 = textOrNull(row[10]);
  s.position2 = textOrNull(row[11]);
  if (!signalsOf(row[12], s.signals1) || !signalsOf(row[13], s.signals2)) {
    const int c = signalsOf(row[12], s.signals1) ? 13 : 12;
    why = std::string(kSourceColumns[c]) + " holds " + shownValue(row[static_cast<std::size_t>(c)]) +
          ", which is no list of signal numbers";
    return false;
  }
  s.relation = textOf(row[14]);
  s.columns = textOf(row[15]);
  return true;
}

// A record of the relation table read with the sources, each integer field
// an integer where its text reads as one; another value stays as stored,
// and differs from what the import gave.
Record recordOf(std::vector<Value>::const_iterator from, std::vector<Value>::const_iterator to) {
  const auto fields = relationTableFields();
  Record record;
  record.values.assign(from, to);
  for (std::size_t i = 0; i < record.values.size() && i < fields.size(); ++i) {
    Value &value = record.values[i];
    // Bytes in a text field read as the text they are, as the window shows
    // them.
    if ((fields[i].kind == FieldKind::String || fields[i].kind == FieldKind::Memo) && value.isBytes())
      value = Value::text(textOf(value));
    if (!isIntegerKind(fields[i].kind) || !value.isText())
      continue;
    std::int64_t number = 0;
    const std::string &text = value.asText();
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (error == std::errc() && end == text.data() + text.size())
      value = Value::integer(number);
  }
  return record;
}

} // namespace

std::optional<std::string> Corpus::fileNameProblem(const std::string &file) {
  if (file.empty() || file == "." || file == "..")
    return "is no file name";
  if (file.size() > 255)
    return "is longer than a file name may be";
  if (!isValidUtf8(file))
    return "is no UTF-8 text";
  for (const char c : file)
    if (c == '/' || c == '\\' || static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
      return "is no plain file name: it holds a folder separator or a control character";
  return std::nullopt;
}

std::string Corpus::sha256(const Bytes &bytes) {
  unsigned char digest[crypto_hash_sha256_BYTES];
  crypto_hash_sha256(digest, bytes.data(), bytes.size());
  return hexText(digest, sizeof digest);
}

std::string Corpus::digest(const std::string &text) {
  unsigned char digest[16];
  crypto_generichash(digest, sizeof digest, reinterpret_cast<const unsigned char *>(text.data()), text.size(), nullptr,
                     0);
  return hexText(digest, sizeof digest);
}

std::string Corpus::recordColumns(const std::string &alias) const {
  std::string list;
  for (const FieldDescription &field : relationTableFields())
    list += (list.empty() ? "" : ", ") + alias + "." + quoteIdentifier(field.name);
  return list;
}

Result Corpus::exists(bool &out) {
  bool documents = false, sources = false;
  if (const Result result = m_cursor.hasSibling(kDocumentsSuffix, documents); result != code::Ok)
    return result;
  if (const Result result = m_cursor.hasSibling(kSourcesSuffix, sources); result != code::Ok)
    return result;
  out = documents && sources;
  return code::Ok;
}

// A new table's name leaves room for its companions' (Database::createTable).
static_assert(std::string_view(Corpus::kSourcesIndexSuffix).size() <= Database::kSiblingSuffixRoom);

Result Corpus::create() {
  for (const char *suffix : {kDocumentsSuffix, kSourcesSuffix, kSourcesIndexSuffix})
    if (const auto problem = m_cursor.siblingNameProblem(suffix))
      return ErrorEntries::fail(code::InvalidParameter,
                                {{code::InvalidParameter, 0, "Table name: " + m_cursor.tableName()},
                                 {code::InvalidParameter, 0, *problem}});
  const std::string bytes = m_cursor.columnType(FieldKind::Blob, 0);
  const std::string indexName = quoteIdentifier(m_cursor.tableName() + kSourcesIndexSuffix);
  const std::string statements[] = {
      "CREATE TABLE IF NOT EXISTS " + documentsTable() +
          " (\"Name\" TEXT PRIMARY KEY, \"File\" TEXT NOT NULL, \"Content\" " + bytes +
          " NOT NULL, \"Sha256\" TEXT NOT NULL, \"Imported\" TEXT NOT NULL)",
      "CREATE TABLE IF NOT EXISTS " + sourcesTable() + " (\"Id\" INTEGER PRIMARY KEY REFERENCES " +
          m_cursor.quotedName() + " (\"Id\") ON DELETE CASCADE ON UPDATE CASCADE, \"Document\" TEXT NOT NULL " +
          "REFERENCES " + documentsTable() +
          " (\"Name\") ON DELETE CASCADE, \"Node1\" TEXT NOT NULL, \"Node2\" TEXT, \"First1\" INTEGER NOT NULL, "
          "\"Last1\" INTEGER NOT NULL, \"First2\" INTEGER NOT NULL, \"Last2\" INTEGER NOT NULL, \"Marker1\" TEXT, "
          "\"Position1\" TEXT, \"Marker2\" TEXT, \"Position2\" TEXT, \"Signals1\" TEXT NOT NULL, "
          "\"Signals2\" TEXT NOT NULL, \"Relation\" TEXT NOT NULL, \"Columns\" TEXT NOT NULL)",
      "CREATE INDEX IF NOT EXISTS " + indexName + " ON " + sourcesTable() + " (\"Document\")"};
  for (const std::string &sql : statements)
    if (const Result result = m_cursor.execute(sql, {}); result != code::Ok)
      return result;
  return code::Ok;
}

Result Corpus::froms(std::set<std::string> &out) {
  std::vector<std::vector<Value>> rows;
  if (const Result result =
          m_cursor.execute("SELECT DISTINCT \"From\" FROM " + m_cursor.quotedName() + " WHERE \"From\" IS NOT NULL",
                           {}, &rows);
      result != code::Ok)
    return result;
  for (const auto &row : rows)
    out.insert(textOf(row[0]));
  return code::Ok;
}

Result Corpus::addDocument(const CorpusDocument &document) {
  return m_cursor.execute("INSERT INTO " + documentsTable() +
                              " (\"Name\", \"File\", \"Content\", \"Sha256\", \"Imported\") VALUES (?, ?, ?, ?, ?)",
                          {Value::text(document.name), Value::text(document.file), Value::bytes(document.content),
                           Value::text(document.sha256), Value::text(document.imported)});
}

Result Corpus::addSources(const std::vector<RecordSource> &sources) {
  // Many rows a statement: a server answers each statement once.
  constexpr std::size_t kRowsAStatement = 200;
  for (std::size_t from = 0; from < sources.size(); from += kRowsAStatement) {
    const std::size_t to = std::min(sources.size(), from + kRowsAStatement);
    std::string sql = "INSERT INTO " + sourcesTable() + " (" + sourceColumns() + ") VALUES ";
    std::vector<Value> parameters;
    for (std::size_t i = from; i < to; ++i) {
      const RecordSource &s = sources[i];
      sql += i == from ? "(" : ", (";
      for (int c = 0; c < kSourceColumnCount; ++c)
        sql += c ? ", ?" : "?";
      sql += ")";
      for (Value value :
           {Value::integer(s.id), Value::text(s.document), Value::text(s.node1), optionalText(s.node2),
            Value::integer(s.first1), Value::integer(s.last1), Value::integer(s.first2), Value::integer(s.last2),
            optionalText(s.marker1), optionalText(s.position1), optionalText(s.marker2), optionalText(s.position2),
            Value::text(signalList(s.signals1)), Value::text(signalList(s.signals2)), Value::text(s.relation),
            Value::text(s.columns)})
        parameters.push_back(std::move(value));
    }
    if (const Result result = m_cursor.execute(sql, parameters); result != code::Ok)
      return result;
  }
  return code::Ok;
}

Result Corpus::summaries(std::vector<DocumentSummary> &out) {
  const std::string sql =
      "SELECT d.\"Name\", d.\"File\", d.\"Imported\", count(t.\"Id\"), "
      "coalesce(sum(CASE WHEN " + hasMarkerCondition("t.") + " THEN 1 ELSE 0 END), 0), "
      "coalesce(sum(CASE WHEN t.\"Id\" IS NOT NULL AND (" + markerChanged("t", "s", 1) + " OR " +
      markerChanged("t", "s", 2) + ") THEN 1 ELSE 0 END), 0) "
      "FROM " + documentsTable() + " d LEFT JOIN " + sourcesTable() + " s ON s.\"Document\" = d.\"Name\" LEFT JOIN " +
      m_cursor.quotedName() + " t ON t.\"Id\" = s.\"Id\" GROUP BY d.\"Name\", d.\"File\", d.\"Imported\" " +
      "ORDER BY d.\"Name\"";
  std::vector<std::vector<Value>> rows;
  if (const Result result = m_cursor.execute(sql, {}, &rows); result != code::Ok)
    return result;
  for (const auto &row : rows)
    out.push_back({textOf(row[0]), textOf(row[1]), textOf(row[2]), static_cast<long>(integerOf(row[3])),
                   static_cast<long>(integerOf(row[4])), static_cast<long>(integerOf(row[5]))});
  return code::Ok;
}

Result Corpus::document(const std::string &name, CorpusDocument &out) {
  std::vector<std::vector<Value>> rows;
  if (const Result result = m_cursor.execute("SELECT \"Name\", \"File\", \"Content\", \"Sha256\", \"Imported\" FROM " +
                                                 documentsTable() + " WHERE \"Name\" = ?",
                                             {Value::text(name)}, &rows);
      result != code::Ok)
    return result;
  if (rows.empty())
    return ErrorEntries::fail(code::RecordNotFound, {{code::RecordNotFound, 0, "Document: " + name}});
  out.name = textOf(rows[0][0]);
  out.file = textOf(rows[0][1]);
  // The stored bytes, read once, whatever the storage class that holds them.
  const Value &content = rows[0][2];
  if (!contentOf(content, out.content)) {
    return ErrorEntries::fail(code::ValueDoesNotFit,
                              {{code::ValueDoesNotFit, 0, "Document: " + name + " in " + documentsTable()},
                               {code::ValueDoesNotFit, 0, "Content holds " + shownValue(content) + ", no bytes"}});
  }
  out.sha256 = textOf(rows[0][3]);
  out.imported = textOf(rows[0][4]);
  return code::Ok;
}

Result Corpus::sources(const std::string &document, std::vector<RecordSource> &sources, std::vector<Record> &records,
                       long *skipped, std::optional<std::pair<int, int>> tokens) {
  std::vector<std::vector<Value>> rows;
  std::vector<Value> parameters{Value::text(document)};
  std::string among;
  if (tokens) {
    among = " AND ((s.\"First1\" <= ? AND s.\"Last1\" >= ?) OR (s.\"First2\" <= ? AND s.\"Last2\" >= ?))";
    for (int i = 0; i < 2; ++i) {
      parameters.push_back(Value::integer(tokens->second));
      parameters.push_back(Value::integer(tokens->first));
    }
  }
  if (const Result result = m_cursor.execute("SELECT " + sourceColumns("s.") + ", " + recordColumns("t") + " FROM " +
                                                 sourcesTable() + " s JOIN " + m_cursor.quotedName() +
                                                 " t ON t.\"Id\" = s.\"Id\" WHERE s.\"Document\" = ?" + among +
                                                 " ORDER BY s.\"Id\"",
                                             parameters, &rows);
      result != code::Ok)
    return result;
  for (const auto &row : rows) {
    RecordSource source;
    std::string why;
    if (!sourceOf(row, source, why) && skipped) {
      ++*skipped;
      continue;
    }
    if (!why.empty())
      return ErrorEntries::fail(code::ValueDoesNotFit,
                                {{code::ValueDoesNotFit, 0, "Record: Id = " + textOf(row[0]) + " in " + sourcesTable()},
                                 {code::ValueDoesNotFit, 0, why}});
    sources.push_back(std::move(source));
    records.push_back(recordOf(row.begin() + kSourceColumnCount, row.end()));
  }
  return code::Ok;
}

Result Corpus::recordSource(std::int64_t id, RecordSource &source, std::string &documentSha256) {
  std::vector<std::vector<Value>> rows;
  if (const Result result = m_cursor.execute("SELECT " + sourceColumns("s.") + ", d.\"Sha256\" FROM " + sourcesTable() +
                                                 " s JOIN " + documentsTable() +
                                                 " d ON d.\"Name\" = s.\"Document\" WHERE s.\"Id\" = ?",
                                             {Value::integer(id)}, &rows);
      result != code::Ok)
    return result;
  if (rows.empty())
    return ErrorEntries::fail(code::RecordNotFound, {{code::RecordNotFound, 0, "Record: Id = " + std::to_string(id)}});
  if (std::string why; !sourceOf(rows[0], source, why))
    return ErrorEntries::fail(code::ValueDoesNotFit,
                              {{code::ValueDoesNotFit, 0, "Record: Id = " + std::to_string(id) + " in " + sourcesTable()},
                               {code::ValueDoesNotFit, 0, why}});
  documentSha256 = textOf(rows[0][kSourceColumnCount]);
  return code::Ok;
}

Result Corpus::documentBeside(std::int64_t id, const std::string &document, bool after,
                              std::optional<std::string> &out) {
  std::vector<std::vector<Value>> rows;
  if (const Result result = m_cursor.execute(
          "SELECT \"Document\" FROM " + sourcesTable() + " WHERE \"Id\" " + (after ? ">" : "<") +
              " ? AND \"Document\" <> ? ORDER BY \"Id\" " + (after ? "ASC" : "DESC") + " LIMIT 1",
          {Value::integer(id), Value::text(document)}, &rows);
      result != code::Ok)
    return result;
  out.reset();
  if (!rows.empty())
    out = textOf(rows[0][0]);
  return code::Ok;
}

Result Corpus::keepChoice(const TokenChoice &choice) {
  if (const auto problem = m_cursor.siblingNameProblem(kChoicesSuffix))
    return ErrorEntries::fail(code::InvalidParameter, {{code::InvalidParameter, 0, "Table name: " + m_cursor.tableName()},
                                                       {code::InvalidParameter, 0, *problem}});
  if (const Result made = m_cursor.execute(
          "CREATE TABLE IF NOT EXISTS " + choicesTable() + " (\"Id\" INTEGER NOT NULL REFERENCES " +
              m_cursor.quotedName() +
              " (\"Id\") ON DELETE CASCADE ON UPDATE CASCADE, \"Span\" INTEGER NOT NULL, \"Marker\" TEXT NOT NULL, "
              "\"Tokens\" TEXT NOT NULL, PRIMARY KEY (\"Id\", \"Span\"))",
          {});
      made != code::Ok)
    return made;
  return m_cursor.execute("INSERT INTO " + choicesTable() +
                              " (\"Id\", \"Span\", \"Marker\", \"Tokens\") VALUES (?, ?, ?, ?) ON CONFLICT (\"Id\", "
                              "\"Span\") DO UPDATE SET \"Marker\" = excluded.\"Marker\", \"Tokens\" = excluded.\"Tokens\"",
                          {Value::integer(choice.id), Value::integer(choice.span), Value::text(choice.marker),
                           Value::text(choiceTokens(choice.parts))});
}

Result Corpus::choices(const std::string &document, std::vector<TokenChoice> &out) {
  bool kept = false;
  if (const Result result = hasChoices(kept); result != code::Ok || !kept)
    return result;
  std::vector<std::vector<Value>> rows;
  if (const Result result = m_cursor.execute(
          "SELECT c.\"Id\", c.\"Span\", c.\"Marker\", c.\"Tokens\" FROM " + choicesTable() + " c JOIN " +
              sourcesTable() + " s ON s.\"Id\" = c.\"Id\" WHERE s.\"Document\" = ? ORDER BY c.\"Id\", c.\"Span\"",
          {Value::text(document)}, &rows);
      result != code::Ok)
    return result;
  choicesOf(rows, out, nullptr, {});
  return code::Ok;
}

void Corpus::choicesOf(const std::vector<std::vector<Value>> &rows, std::vector<TokenChoice> &out,
                       std::vector<std::string> *malformed, const std::string &table) {
  for (const auto &row : rows) {
    TokenChoice choice;
    choice.id = integerOf(row[0]);
    const bool span = row[1].isInteger() && (row[1].asInteger() == 1 || row[1].asInteger() == 2);
    const bool marker = row[2].isText() && isValidUtf8(row[2].asText());
    const bool tokens = choicePartsOf(row[3], choice.parts);
    if (span && marker && tokens) {
      choice.span = static_cast<int>(row[1].asInteger());
      choice.marker = row[2].asText();
      out.push_back(std::move(choice));
    } else if (malformed) {
      malformed->push_back("The token choice of record Id = " + textOf(row[0]) + " in " + table + ": " +
                           (!span ? "Span holds " + shownValue(row[1]) + ", which is neither 1 nor 2"
                            : !marker ? "Marker holds " + shownValue(row[2]) + ", which is no text"
                                      : "Tokens holds " + shownValue(row[3]) + ", which is no list of tokens"));
    }
  }
}

Result Corpus::choiceProblems(std::vector<std::string> &out) {
  bool kept = false;
  if (const Result result = hasChoices(kept); result != code::Ok || !kept)
    return result;
  std::vector<std::vector<Value>> rows;
  if (const Result result = m_cursor.execute("SELECT \"Id\", \"Span\", \"Marker\", \"Tokens\" FROM " + choicesTable() +
                                                 " ORDER BY \"Id\", \"Span\"",
                                             {}, &rows);
      result != code::Ok)
    return result;
  std::vector<TokenChoice> ignored;
  choicesOf(rows, ignored, &out, choicesTable());
  return code::Ok;
}

Result Corpus::documentRecords(const std::string &name, long &records, long &marked, bool &stored) {
  if (const Result checked = exists(stored); checked != code::Ok)
    return checked;
  std::vector<std::vector<Value>> rows;
  if (stored) {
    if (const Result result = m_cursor.execute("SELECT count(*) FROM " + documentsTable() + " WHERE \"Name\" = ?",
                                               {Value::text(name)}, &rows);
        result != code::Ok)
      return result;
    stored = !rows.empty() && integerOf(rows[0][0]) > 0;
  }
  rows.clear();
  std::vector<Value> parameters;
  if (const Result result = m_cursor.execute(
          "SELECT count(*), coalesce(sum(CASE WHEN " + hasMarkerCondition() + " THEN 1 ELSE 0 END), 0) FROM " +
              m_cursor.quotedName() + recordsOf(name, parameters),
          parameters, &rows);
      result != code::Ok)
    return result;
  records = static_cast<long>(integerOf(rows[0][0]));
  marked = static_cast<long>(integerOf(rows[0][1]));
  if (!stored && records == 0)
    return ErrorEntries::fail(code::RecordNotFound, {{code::RecordNotFound, 0, "Document: " + name}});
  return code::Ok;
}

std::string Corpus::recordsOf(const std::string &name, std::vector<Value> &parameters) {
  bool kept = false;
  parameters.push_back(Value::text(name));
  if (exists(kept) != code::Ok || !kept)
    return " WHERE \"From\" = ?";
  parameters.push_back(Value::text(name));
  return " WHERE \"From\" = ? OR \"Id\" IN (SELECT \"Id\" FROM " + sourcesTable() + " WHERE \"Document\" = ?)";
}

std::string Corpus::markersChangedCondition() const {
  const std::string table = m_cursor.quotedName();
  return "EXISTS (SELECT 1 FROM " + sourcesTable() + " s WHERE s.\"Id\" = " + table + ".\"Id\" AND (" +
         markerChanged(table, "s", 1) + " OR " + markerChanged(table, "s", 2) + "))";
}

Result Corpus::changedMarkers(const std::string &name, long &out) {
  out = 0;
  bool kept = false;
  if (const Result checked = exists(kept); checked != code::Ok || !kept)
    return checked;
  std::vector<std::vector<Value>> rows;
  if (const Result result = m_cursor.execute(
          "SELECT coalesce(sum(CASE WHEN " + markerChanged("t", "s", 1) + " THEN 1 ELSE 0 END + CASE WHEN " +
              markerChanged("t", "s", 2) + " THEN 1 ELSE 0 END), 0) FROM " + sourcesTable() + " s JOIN " +
              m_cursor.quotedName() + " t ON t.\"Id\" = s.\"Id\" WHERE s.\"Document\" = ?",
          {Value::text(name)}, &rows);
      result != code::Ok)
    return result;
  out = rows.empty() ? 0 : static_cast<long>(integerOf(rows[0][0]));
  return code::Ok;
}

Result Corpus::removeDocument(const std::string &name, long &records, long &marked) {
  bool stored = false;
  if (const Result counted = documentRecords(name, records, marked, stored); counted != code::Ok)
    return counted;
  if (const Result begun = m_cursor.beginBulk(); begun != code::Ok)
    return begun;
  // The records go through the engine's checked delete, each locked first:
  // a record another program is editing stops the removal.
  std::vector<Value> parameters;
  std::vector<std::vector<Value>> keys;
  const std::string where = recordsOf(name, parameters);
  Result result = m_cursor.execute("SELECT \"Id\" FROM " + m_cursor.quotedName() + where + " ORDER BY \"Id\"",
                                   parameters, &keys);
  if (result == code::Ok) {
    std::vector<Bookmark> bookmarks;
    for (auto &key : keys)
      bookmarks.push_back(std::move(key));
    result = m_cursor.deleteRecords(bookmarks);
  }
  if (result != code::Ok) {
    const std::vector<ErrorEntry> entries = ErrorEntries::all();
    (void)m_cursor.rollbackBulk();
    return ErrorEntries::fail(result, entries);
  }
  std::vector<std::pair<std::string, std::vector<Value>>> statements;
  bool choices = false;
  if (stored && hasChoices(choices) == code::Ok && choices)
    statements.emplace_back("DELETE FROM " + choicesTable() + " WHERE \"Id\" IN (SELECT \"Id\" FROM " + sourcesTable() +
                                " WHERE \"Document\" = ?)",
                            std::vector<Value>{Value::text(name)});
  if (stored) {
    statements.emplace_back("DELETE FROM " + sourcesTable() + " WHERE \"Document\" = ?",
                            std::vector<Value>{Value::text(name)});
    statements.emplace_back("DELETE FROM " + documentsTable() + " WHERE \"Name\" = ?",
                            std::vector<Value>{Value::text(name)});
  }
  for (const auto &[sql, values] : statements)
    if (const Result result = m_cursor.execute(sql, values); result != code::Ok) {
      (void)m_cursor.rollbackBulk();
      return result;
    }
  if (const Result committed = m_cursor.commitBulk(); committed != code::Ok) {
    const std::vector<ErrorEntry> entries = ErrorEntries::all();
    (void)m_cursor.rollbackBulk();
    return ErrorEntries::fail(committed, entries);
  }
  return code::Ok;
}

Result Corpus::problems(std::vector<std::string> &out) {
  std::vector<std::vector<Value>> rows;
  // Every source's values, a document at a time.
  if (const Result result = m_cursor.execute("SELECT DISTINCT \"Document\" FROM " + sourcesTable(), {}, &rows);
      result != code::Ok)
    return result;
  for (const auto &document : std::vector<std::vector<Value>>(std::move(rows))) {
    std::vector<std::vector<Value>> sources;
    if (const Result result = m_cursor.execute("SELECT " + sourceColumns() + " FROM " + sourcesTable() +
                                                   " WHERE \"Document\" = ? ORDER BY \"Id\"",
                                               {document[0]}, &sources);
        result != code::Ok)
      return result;
    for (const auto &row : sources) {
      RecordSource source;
      if (std::string why; !sourceOf(row, source, why))
        out.push_back("The source of record Id = " + textOf(row[0]) + " in " + sourcesTable() + ": " + why);
    }
  }
  rows.clear();
  if (const Result result = m_cursor.execute("SELECT s.\"Id\" FROM " + sourcesTable() + " s WHERE NOT EXISTS (SELECT 1 FROM " +
                                                 m_cursor.quotedName() + " t WHERE t.\"Id\" = s.\"Id\") ORDER BY s.\"Id\"",
                                             {}, &rows);
      result != code::Ok)
    return result;
  for (const auto &row : rows)
    out.push_back("The source of record Id = " + textOf(row[0]) + " in " + sourcesTable() + " names no record");
  rows.clear();
  if (const Result result = m_cursor.execute("SELECT s.\"Id\", s.\"Document\" FROM " + sourcesTable() +
                                                 " s WHERE NOT EXISTS (SELECT 1 FROM " + documentsTable() +
                                                 " d WHERE d.\"Name\" = s.\"Document\") ORDER BY s.\"Id\"",
                                             {}, &rows);
      result != code::Ok)
    return result;
  for (const auto &row : rows)
    out.push_back("The source of record Id = " + textOf(row[0]) + " names the document " + shownText(textOf(row[1])) +
                  ", which " + documentsTable() + " does not hold");
  rows.clear();
  if (const Result result =
          m_cursor.execute("SELECT \"Name\", \"Content\", \"Sha256\", \"File\" FROM " + documentsTable() +
                               " ORDER BY \"Name\"",
                           {}, &rows);
      result != code::Ok)
    return result;
  std::map<std::string, std::string> files; // file name -> the first document stored under it
  if (const Result listed = choiceProblems(out); listed != code::Ok)
    return listed;
  for (const auto &row : rows) {
    const std::string document = "The document " + shownText(textOf(row[0])) + " in " + documentsTable();
    if (Bytes content; !contentOf(row[1], content) || sha256(content) != textOf(row[2]))
      out.push_back(document + " no longer has the bytes it was imported with (SHA-256 " + textOf(row[2]) + ")");
    const std::string file = textOf(row[3]);
    if (const auto problem = fileNameProblem(file))
      out.push_back(document + ": its file name " + shownValue(row[3]) + " " + *problem);
    else if (const auto [first, added] = files.emplace(file, textOf(row[0])); !added)
      out.push_back(document + " has the file name " + shownText(file) + " of the document " + shownText(first->second) +
                    " too");
  }
  return code::Ok;
}

} // namespace vandro::corpus
