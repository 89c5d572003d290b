// Who changed what in a relation table, and when: the table T's history,
// kept beside it as T_history and written in the same transaction as each
// change, so that a change and its rows are stored together or not at all.
#pragma once

#include "engine/ChangeLog.h"
#include "engine/Cursor.h"
#include "engine/Outcome.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace vandro::corpus {

// One row of the history: when (ISO 8601, UTC, to the microsecond), who
// (the login on the machine, and the role on a server), the machine, the
// program, what kind of change ("edit", "insert", "delete"), the record's
// Id, and the column with its value before and after (texts; nothing for
// null). An import or a removal writes one row per record, whose column is
// kWholeRecord and whose old or new value is the whole record as a JSON
// object.
struct HistoryRow {
  std::int64_t seq = 0;
  std::string time, user, role, machine, program, kind;
  std::int64_t id = 0;
  std::string column;
  std::optional<std::string> oldValue, newValue;
};

// Which rows to read: of one record, of one user (the login or the role),
// from a time on (the rows at or after it). All of them when empty.
struct HistoryFilter {
  std::optional<std::int64_t> record;
  std::optional<std::string> user;
  std::optional<std::string> since;
};

class History : public engine::ChangeLog {
public:
  static constexpr const char *kSuffix = "_history";
  static constexpr const char *kIndexSuffix = "_history_id";
  static constexpr const char *kWholeRecord = "(record)";

  // A change writes one row per column it changed (a window's post or
  // insert, a revert), or one row per record with its values as a whole
  // (an import, a removal), kept until the bulk transaction commits.
  enum class Rows { PerColumn, PerRecord };
  // `program` names the writer: "Vandro", "vandro-admin import", ...; the
  // login and machine are this process's.
  History(std::string program, Rows rows);

  engine::Result rowsFor(engine::Cursor &cursor, const engine::RecordChange &change, engine::LogRows &out) override;
  engine::Result written(engine::Cursor &cursor, const engine::RecordChange &change) override;
  engine::Result committing(engine::Cursor &cursor) override;
  void rolledBack() override;

  // Makes T_history and its index beside the table behind `cursor` when
  // they are missing.
  [[nodiscard]] static engine::Result create(engine::Cursor &cursor);
  // Whether the table behind `cursor` can have a history: its key is one
  // integer column (the relation table's Id).
  static bool suits(const engine::Cursor &cursor);
  [[nodiscard]] static engine::Result exists(engine::Cursor &cursor, bool &out) {
    return cursor.hasSibling(kSuffix, out);
  }
  // The rows that pass `filter`, oldest first, each given to `each` as it
  // is read (a page of rows at a time, however long the history). A
  // malformed row (another client wrote it) is left out and named in
  // `malformed`.
  [[nodiscard]] static engine::Result read(engine::Cursor &cursor, const HistoryFilter &filter,
                                           const std::function<void(HistoryRow &&)> &each,
                                           std::vector<std::string> &malformed);
  // The malformed rows, as lines of check.
  [[nodiscard]] static engine::Result problems(engine::Cursor &cursor, std::vector<std::string> &out);

  // The time now, as the history writes it.
  static std::string now();
  // A time as a user writes it ("2026-12-09", "2026-12-09 14:05",
  // "2026-12-09T14:05:30Z"; UTC unless it ends in an offset) in the
  // history's own form; nothing when it reads as no time.
  static std::optional<std::string> timeFromUser(const std::string &text);
  // A record's values as the JSON object of a whole-record row, and back
  // (a failure names what does not fit the table's fields).
  static std::string recordJson(const engine::TableDescription &table, const std::vector<engine::Value> &values);
  static Outcome<std::vector<engine::Value>> recordFromJson(const engine::TableDescription &table,
                                                            const std::string &json);
  // A value as a per-column row keeps it, and back as a value of `field`.
  static std::optional<std::string> valueText(const engine::Value &value);
  static engine::Value valueOf(const engine::FieldDescription &field, const std::optional<std::string> &text);

private:
  // The rows `change` makes, added to `out`.
  engine::Result changeRows(engine::Cursor &cursor, const engine::RecordChange &change,
                            std::vector<HistoryRow> &out) const;
  // A row's values in the order of the history's columns after Seq.
  static std::vector<engine::Value> rowValues(HistoryRow &&row);
  static std::vector<std::string> columnNames();
  // The rows kept for the bulk transaction go now.
  engine::Result flush(engine::Cursor &cursor);
  engine::Result ensureTable(engine::Cursor &cursor);

  std::string m_program, m_user, m_machine;
  Rows m_rows;
  bool m_tableKnown = false;
  std::vector<HistoryRow> m_kept;
  std::size_t m_keptBytes = 0; // their values' size: kept rows stay within a few megabytes
};

// What a revert does to a record: its values as they were, from the record
// as stored now (nothing when it is gone) and the history rows to undo,
// newest last. Nothing in the outcome's value means the record did not
// exist then. A failure names the row that cannot be undone.
Outcome<std::optional<std::vector<engine::Value>>> valuesBefore(const engine::TableDescription &table,
                                                                std::optional<std::vector<engine::Value>> now,
                                                                const std::vector<HistoryRow> &undone);

} // namespace vandro::corpus
