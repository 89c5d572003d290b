#include "History.h"

#include "engine/ErrorEntries.h"
#include "engine/FieldValues.h"
#include "engine/LockHolder.h"
#include "engine/MessageText.h"
#include "engine/Quoted.h"
#include "engine/Utf8.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <limits>
#include <utility>

namespace vandro::corpus {

using namespace engine;

namespace {

// Rows an import keeps before it writes them (on a server in one COPY): few
// writes, and a bounded memory however large the import.
constexpr std::size_t kRowsKept = 20000;
constexpr std::size_t kBytesKept = 16 << 20;
// Rows read per query: a long history is read a page at a time.
constexpr int kRowsPerPage = 1000;

Value optionalText(const std::optional<std::string> &text) { return text ? Value::text(*text) : Value(); }

std::optional<std::string> unhex(const QString &text) {
  if (text.size() % 2)
    return std::nullopt;
  const QByteArray bytes = QByteArray::fromHex(text.toLatin1());
  if (bytes.size() * 2 != text.size())
    return std::nullopt;
  return bytes.toStdString();
}

// A JSON string of UTF-8 text.
void appendJsonString(std::string &out, std::string_view text) {
  out += '"';
  for (unsigned char c : text) {
    switch (c) {
    case '"': out += "\\\""; break;
    case '\\': out += "\\\\"; break;
    case '\n': out += "\\n"; break;
    case '\r': out += "\\r"; break;
    case '\t': out += "\\t"; break;
    default:
      if (c < 0x20) {
        char escaped[8];
        std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
        out += escaped;
      } else {
        out += static_cast<char>(c);
      }
    }
  }
  out += '"';
}

bool isTextKind(FieldKind kind) { return kind == FieldKind::String || kind == FieldKind::Memo; }

std::string shown(const std::optional<std::string> &text) {
  return text ? shownText(*text) : std::string("null");
}

} // namespace

History::History(std::string program, Rows rows)
    : m_program(std::move(program)), m_user(thisUser()), m_machine(thisMachine()), m_rows(rows) {}

std::string History::now() {
  const auto since = std::chrono::system_clock::now().time_since_epoch();
  const auto micros = std::chrono::duration_cast<std::chrono::microseconds>(since).count();
  const std::time_t seconds = static_cast<std::time_t>(micros / 1'000'000);
  std::tm utc{};
  gmtime_r(&seconds, &utc);
  char text[96];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%06lldZ", utc.tm_year + 1900, utc.tm_mon + 1,
                utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec, static_cast<long long>(micros % 1'000'000));
  return text;
}

std::optional<std::string> History::timeFromUser(const std::string &text) {
  QString written = QString::fromStdString(text).trimmed();
  if (written.size() == 10)
    written += QStringLiteral("T00:00:00");
  written.replace(QLatin1Char(' '), QLatin1Char('T'));
  // Without an offset the time is UTC, as the history shows its times.
  const bool offset = written.endsWith(QLatin1Char('Z')) ||
                      (written.size() > 19 && (written[written.size() - 6] == QLatin1Char('+') ||
                                               written[written.size() - 6] == QLatin1Char('-')));
  if (!offset)
    written += QLatin1Char('Z');
  // The fraction of a second as written, to the microsecond (a time copied
  // from the history's own list finds its row); Qt reads milliseconds only.
  std::string fraction = "000000";
  if (written.size() > 19 && written[19] == QLatin1Char('.')) {
    qsizetype end = 20;
    while (end < written.size() && written[end].isDigit())
      ++end;
    if (end == 20)
      return std::nullopt;
    fraction = written.mid(20, std::min<qsizetype>(end - 20, 6)).toStdString();
    fraction.resize(6, '0');
    written.remove(19, end - 19);
  }
  const QDateTime time = QDateTime::fromString(written, Qt::ISODate);
  if (!time.isValid())
    return std::nullopt;
  return time.toUTC().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.")).toStdString() + fraction + "Z";
}

std::optional<std::string> History::valueText(const Value &value) {
  if (value.isNull())
    return std::nullopt;
  if (value.isInteger())
    return std::to_string(value.asInteger());
  if (value.isReal()) {
    char text[40];
    std::snprintf(text, sizeof text, "%.17g", value.asReal());
    return std::string(text);
  }
  if (value.isText())
    return value.asText();
  return engine::valueText(value);
}

Value History::valueOf(const FieldDescription &field, const std::optional<std::string> &text) {
  if (!text)
    return Value();
  if (isIntegerKind(field.kind)) {
    std::int64_t number = 0;
    const char *end = text->data() + text->size();
    if (const auto [at, error] = std::from_chars(text->data(), end, number); error == std::errc() && at == end)
      return Value::integer(number);
  } else if (field.kind == FieldKind::Float && !text->empty()) {
    char *end = nullptr;
    const double number = std::strtod(text->c_str(), &end);
    if (end == text->c_str() + text->size())
      return Value::real(number);
  }
  // Anything else is kept as the text it was: the engine's checks then say
  // whether the field may hold it.
  return Value::text(*text);
}

std::string History::recordJson(const TableDescription &table, const std::vector<Value> &values) {
  std::string out = "{";
  for (std::size_t i = 0; i < table.fields.size() && i < values.size(); ++i) {
    if (i)
      out += ',';
    appendJsonString(out, table.fields[i].name);
    out += ':';
    const Value &value = values[i];
    if (value.isNull()) {
      out += "null";
    } else if (value.isInteger()) {
      out += std::to_string(value.asInteger());
    } else if (value.isReal() && std::isfinite(value.asReal())) {
      out += *valueText(value);
    } else if (value.isText() && isValidUtf8(value.asText())) {
      appendJsonString(out, value.asText());
    } else {
      // Bytes, and text that is no UTF-8 (another program stored it), kept
      // exactly as hexadecimal.
      const std::string bytes = value.isText()    ? value.asText()
                                : value.isBytes() ? std::string(value.asBytes().begin(), value.asBytes().end())
                                                  : *valueText(value);
      out += "{\"hex\":\"" + QByteArray::fromStdString(bytes).toHex().toStdString() + "\"}";
    }
  }
  out += '}';
  return out;
}

Outcome<std::vector<Value>> History::recordFromJson(const TableDescription &table, const std::string &json) {
  QJsonParseError error;
  const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(json), &error);
  if (!document.isObject())
    return Failure{"the record kept is no JSON object (" + error.errorString().toStdString() + ")"};
  const QJsonObject object = document.object();
  std::vector<Value> values(table.fields.size());
  int known = 0;
  for (std::size_t i = 0; i < table.fields.size(); ++i) {
    const FieldDescription &field = table.fields[i];
    const QJsonValue value = object.value(QString::fromStdString(field.name));
    if (value.isUndefined())
      continue;
    ++known;
    if (value.isNull())
      continue;
    if (value.isString()) {
      std::string text = value.toString().toStdString();
      values[i] = isTextKind(field.kind) ? Value::text(std::move(text)) : valueOf(field, text);
    } else if (value.isDouble()) {
      const double number = value.toDouble();
      if (isIntegerKind(field.kind) && number == std::floor(number))
        values[i] = Value::integer(value.toInteger());
      else
        values[i] = Value::real(number);
    } else if (value.isObject() && value.toObject().value(QStringLiteral("hex")).isString()) {
      const auto bytes = unhex(value.toObject().value(QStringLiteral("hex")).toString());
      if (!bytes)
        return Failure{"the value of " + field.name + " is no hexadecimal"};
      values[i] = field.kind == FieldKind::Blob ? Value::bytes(Bytes(bytes->begin(), bytes->end()))
                                                : Value::text(*bytes);
    } else {
      return Failure{"the value of " + field.name + " is neither a number nor a text"};
    }
  }
  if (known != object.size())
    for (auto it = object.begin(); it != object.end(); ++it)
      if (std::none_of(table.fields.begin(), table.fields.end(),
                       [&](const FieldDescription &f) { return f.name == it.key().toStdString(); }))
        return Failure{"the record kept has a column " + it.key().toStdString() + " the table no longer has"};
  return values;
}

Result History::create(Cursor &cursor) {
  for (const char *suffix : {kSuffix, kIndexSuffix})
    if (const auto problem = cursor.siblingNameProblem(suffix))
      return ErrorEntries::fail(code::InvalidParameter, {{code::InvalidParameter, 0, "Table name: " + cursor.tableName()},
                                                         {code::InvalidParameter, 0, *problem}});
  const std::string table = cursor.siblingName(kSuffix);
  const std::string statements[] = {
      "CREATE TABLE IF NOT EXISTS " + table + " (\"Seq\" " + cursor.numberedKeyColumn() +
          ", \"Time\" TEXT NOT NULL, \"User\" TEXT NOT NULL, \"Role\" TEXT, \"Machine\" TEXT NOT NULL, "
          "\"Program\" TEXT NOT NULL, \"Kind\" TEXT NOT NULL, \"Id\" BIGINT NOT NULL, \"Column\" TEXT NOT NULL, "
          "\"Old\" TEXT, \"New\" TEXT)",
      "CREATE INDEX IF NOT EXISTS " + quoteIdentifier(cursor.tableName() + kIndexSuffix) + " ON " + table +
          " (\"Id\", \"Seq\")"};
  for (const std::string &sql : statements)
    if (const Result result = cursor.execute(sql, {}); result != code::Ok)
      return result;
  return code::Ok;
}

bool History::suits(const Cursor &cursor) {
  const IndexDescription &index = cursor.currentIndex();
  return index.exists && index.keyFields.size() == 1 &&
         isIntegerKind(cursor.description().fields[static_cast<std::size_t>(index.keyFields[0])].kind);
}

Result History::ensureTable(Cursor &cursor) {
  if (m_tableKnown)
    return code::Ok;
  bool exists = false;
  if (const Result result = History::exists(cursor, exists); result != code::Ok)
    return result;
  if (!exists)
    if (const Result made = create(cursor); made != code::Ok) {
      ErrorEntries::add({made, 0, "The history " + cursor.tableName() + kSuffix +
                                      " beside the table is missing and could not be made, so the change is not "
                                      "stored; the table's owner makes it with vandro-admin history"});
      return made;
    }
  // Known from now on; a bulk transaction that made it and was rolled back
  // says so (rolledBack).
  m_tableKnown = true;
  return code::Ok;
}

Result History::changeRows(Cursor &cursor, const RecordChange &change, std::vector<HistoryRow> &out) const {
  const TableDescription &table = cursor.description();
  const IndexDescription &index = cursor.currentIndex();
  const std::vector<Value> &record = change.after ? *change.after : *change.before;
  const Value key = index.exists && !index.keyFields.empty() && static_cast<std::size_t>(index.keyFields[0]) < record.size()
                        ? record[static_cast<std::size_t>(index.keyFields[0])]
                        : Value();
  if (!key.isInteger())
    return ErrorEntries::fail(code::InvalidParameter,
                              {{code::InvalidParameter, 0, "The history keeps records by an integer Id; this one's key is " +
                                                               engine::valueText(key)}});
  HistoryRow row;
  row.time = now();
  row.user = m_user;
  row.role = cursor.sessionRole();
  row.machine = m_machine;
  row.program = m_program;
  row.kind = !change.before ? "insert" : !change.after ? "delete" : "edit";
  row.id = key.asInteger();
  if (m_rows == Rows::PerRecord || !change.after) {
    row.column = kWholeRecord;
    (change.after ? row.newValue : row.oldValue) = recordJson(table, record);
    out.push_back(std::move(row));
    return code::Ok;
  }
  for (std::size_t i = 0; i < table.fields.size() && i < change.after->size(); ++i) {
    const Value &after = (*change.after)[i];
    const Value before = change.before && i < change.before->size() ? (*change.before)[i] : Value();
    if (before == after)
      continue;
    HistoryRow column = row;
    column.column = table.fields[i].name;
    column.oldValue = valueText(before);
    column.newValue = valueText(after);
    out.push_back(std::move(column));
  }
  return code::Ok;
}

std::vector<std::string> History::columnNames() {
  return {"Time", "User", "Role", "Machine", "Program", "Kind", "Id", "Column", "Old", "New"};
}

std::vector<Value> History::rowValues(HistoryRow &&row) {
  return {Value::text(std::move(row.time)),    Value::text(std::move(row.user)),
          row.role.empty() ? Value() : Value::text(std::move(row.role)),
          Value::text(std::move(row.machine)), Value::text(std::move(row.program)),
          Value::text(std::move(row.kind)),    Value::integer(row.id),
          Value::text(std::move(row.column)),  optionalText(row.oldValue),
          optionalText(row.newValue)};
}

Result History::rowsFor(Cursor &cursor, const RecordChange &change, LogRows &out) {
  std::vector<HistoryRow> rows;
  if (const Result made = changeRows(cursor, change, rows); made != code::Ok)
    return made;
  if (const Result made = ensureTable(cursor); made != code::Ok)
    return made;
  out.table = cursor.siblingName(kSuffix);
  out.columns = columnNames();
  for (HistoryRow &row : rows)
    out.rows.push_back(rowValues(std::move(row)));
  return code::Ok;
}

Result History::written(Cursor &cursor, const RecordChange &change) {
  const std::size_t from = m_kept.size();
  if (const Result made = changeRows(cursor, change, m_kept); made != code::Ok)
    return made;
  for (std::size_t i = from; i < m_kept.size(); ++i)
    m_keptBytes += m_kept[i].oldValue.value_or("").size() + m_kept[i].newValue.value_or("").size() + 128;
  return m_kept.size() >= kRowsKept || m_keptBytes >= kBytesKept ? flush(cursor) : Result(code::Ok);
}

Result History::committing(Cursor &cursor) { return flush(cursor); }

void History::rolledBack() {
  m_kept.clear();
  m_keptBytes = 0;
  m_tableKnown = false;
}

Result History::flush(Cursor &cursor) {
  std::vector<HistoryRow> kept = std::exchange(m_kept, {});
  m_keptBytes = 0;
  if (kept.empty())
    return code::Ok;
  if (const Result made = ensureTable(cursor); made != code::Ok)
    return made;
  LogRows rows{cursor.siblingName(kSuffix), columnNames(), {}};
  rows.rows.reserve(kept.size());
  for (HistoryRow &row : kept)
    rows.rows.push_back(rowValues(std::move(row)));
  return cursor.appendRows(rows);
}

Result History::read(Cursor &cursor, const HistoryFilter &filter, const std::function<void(HistoryRow &&)> &each,
                     std::vector<std::string> &malformed) {
  bool kept = false;
  if (const Result result = exists(cursor, kept); result != code::Ok || !kept)
    return result;
  const std::string table = cursor.siblingName(kSuffix);
  std::string where = " WHERE \"Seq\" > ?";
  std::vector<Value> fixed;
  if (filter.record) {
    where += " AND \"Id\" = ?";
    fixed.push_back(Value::integer(*filter.record));
  }
  if (filter.user) {
    where += " AND (\"User\" = ? OR \"Role\" = ?)";
    fixed.push_back(Value::text(*filter.user));
    fixed.push_back(Value::text(*filter.user));
  }
  if (filter.since) {
    where += " AND \"Time\" >= ?";
    fixed.push_back(Value::text(*filter.since));
  }
  std::string columns = "\"Seq\"";
  const std::vector<std::string> names = columnNames();
  for (const std::string &column : names)
    columns += ", " + quoteIdentifier(column);
  const std::string sql = "SELECT " + columns + " FROM " + table + where +
                          " ORDER BY \"Seq\" LIMIT " + std::to_string(kRowsPerPage);
  std::int64_t after = std::numeric_limits<std::int64_t>::min();
  for (;;) {
    std::vector<Value> parameters{Value::integer(after)};
    parameters.insert(parameters.end(), fixed.begin(), fixed.end());
    std::vector<std::vector<Value>> rows;
    if (const Result result = cursor.execute(sql, parameters, &rows); result != code::Ok)
      return result;
    for (const auto &values : rows) {
      if (values.size() != 1 + names.size() || !values[0].isInteger())
        continue; // no Seq: nothing to page on, and no row to name
      after = values[0].asInteger();
      auto text = [&](int i) -> std::optional<std::string> {
        const Value &v = values[static_cast<std::size_t>(i)];
        return v.isText() && isValidUtf8(v.asText()) ? std::optional(v.asText()) : std::nullopt;
      };
      auto problem = [&](const char *column, int i, const char *what) {
        malformed.push_back("History row Seq = " + std::to_string(after) + " of " + cursor.tableName() + kSuffix +
                            ": " + column + " holds " + engine::valueText(values[static_cast<std::size_t>(i)]) +
                            ", which is " + what);
      };
      HistoryRow row;
      row.seq = after;
      const auto time = text(1), user = text(2), machine = text(4), program = text(5), kind = text(6),
                 column = text(8);
      if (!time || !History::timeFromUser(*time)) {
        problem("Time", 1, "no time");
        continue;
      }
      if (!user || !machine || !program || !column) {
        problem(!user ? "User" : !machine ? "Machine" : !program ? "Program" : "Column", !user ? 2 : !machine ? 4 : !program ? 5 : 8,
                "no text");
        continue;
      }
      if (!kind || (*kind != "edit" && *kind != "insert" && *kind != "delete")) {
        problem("Kind", 6, "none of edit, insert and delete");
        continue;
      }
      if (!values[7].isInteger()) {
        problem("Id", 7, "no record's Id");
        continue;
      }
      bool valuesRead = true;
      // Old and New hold a value as the record held it: text that is no
      // UTF-8 too, when another program stored such bytes in the record.
      for (int i : {9, 10})
        if (!values[static_cast<std::size_t>(i)].isNull() && !values[static_cast<std::size_t>(i)].isText()) {
          problem(i == 9 ? "Old" : "New", i, "no text");
          valuesRead = false;
          break;
        }
      if (!valuesRead)
        continue;
      row.time = *time;
      row.user = *user;
      row.role = text(3).value_or("");
      row.machine = *machine;
      row.program = *program;
      row.kind = *kind;
      row.id = values[7].asInteger();
      row.column = *column;
      if (values[9].isText())
        row.oldValue = values[9].asText();
      if (values[10].isText())
        row.newValue = values[10].asText();
      each(std::move(row));
    }
    if (rows.size() < static_cast<std::size_t>(kRowsPerPage))
      return code::Ok;
  }
}

Result History::problems(Cursor &cursor, std::vector<std::string> &out) {
  return read(cursor, {}, [](HistoryRow &&) {}, out);
}

Outcome<std::optional<std::vector<Value>>> valuesBefore(const TableDescription &table,
                                                        std::optional<std::vector<Value>> now,
                                                        const std::vector<HistoryRow> &undone) {
  std::optional<std::vector<Value>> state = std::move(now);
  for (auto row = undone.rbegin(); row != undone.rend(); ++row) {
    const std::string which = "history row Seq = " + std::to_string(row->seq);
    if (row->kind == "insert") {
      state.reset(); // before its insert the record was not there
      continue;
    }
    if (row->kind == "delete") {
      if (!row->oldValue)
        return Failure{which + " removed record Id = " + std::to_string(row->id) + " but keeps none of its values"};
      auto values = History::recordFromJson(table, *row->oldValue);
      if (!values)
        return Failure{which + ": " + values.error()};
      state = std::move(*values);
      continue;
    }
    if (!state)
      return Failure{which + " changed record Id = " + std::to_string(row->id) +
                     ", which the later rows say was not there then"};
    const auto field = std::find_if(table.fields.begin(), table.fields.end(),
                                    [&](const FieldDescription &f) { return f.name == row->column; });
    if (field == table.fields.end())
      return Failure{which + " changed the column " + shown(row->column) + ", which the table no longer has"};
    (*state)[static_cast<std::size_t>(field - table.fields.begin())] = History::valueOf(*field, row->oldValue);
  }
  return state;
}

} // namespace vandro::corpus
