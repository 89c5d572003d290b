// Table1: the relation table component, its record cursor and edit cycle.
#pragma once

#include "TDataLink.h"
#include "TField.h"
#include "engine/Database.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

namespace vandro::store {

class TDataSource;
class TSession;

enum class DataSetState { Inactive, Browse, Edit, Insert, SetKey };

// How a search walks the table: one engine request for the rest of the table
// where the field compares byte for byte (a string or memo field), else (or
// when asked) a move and a test per record. Both leave the same end state.
enum class SearchMeans { EngineWhereExact, RecordByRecord };

// Every state change of the table happens in this class, one function per
// operation. Each operation runs to its end, with all its notifications and
// the AfterScroll handler, before it returns; a failure is an exception that
// leaves the operation at the failing step.
class TTable {
public:
  // `name` is the component's, for messages ("Table1: ..."); `session`
  // the one the table opens its database in (the program's when null).
  TTable(QString name, TSession *session);
  ~TTable(); // closes the table: a pending edit is dropped, its lock released

  const QString &Name() const { return m_name; }

  // Where the table lives.
  QString DatabaseName;
  QString TableName;
  bool ReadOnly = false;
  bool Exclusive = false;

  // While the owner is being loaded, Active true is only remembered;
  // Loaded() then opens the table.
  void setActive(bool active);
  bool Active() const { return m_state != DataSetState::Inactive; }
  void beginLoading() { m_loading = true; }
  void Loaded();

  void Open();
  void Close();

  DataSetState State() const { return m_state; }
  bool AtStart() const { return m_atStart; }
  bool AtEnd() const { return m_atEnd; }
  bool Modified() const { return m_editing.modified; }
  // Opened for writing and not ReadOnly.
  bool CanModify() const { return m_canModify; }
  // Why the engine opened the table read-only although writing was asked
  // for (the missing right, the write-protected file), or empty.
  const QString &ReadOnlyReason() const { return m_readOnlyReason; }
  // Whether the last post of the edit found that the record had been
  // changed (or deleted) since the edit began: no post can store the edit,
  // and Cancel shows the record as stored. Cleared by every change of state.
  bool EditIsStale() const { return m_editing.stale; }
  // The fields whose stored values the last Edit found changed since the
  // record was shown (another client stored them), by name.
  const QStringList &ChangedAtEdit() const { return m_changedAtEdit; }
  bool IsEmpty() const { return Active() && !m_hasRecord && m_state != DataSetState::Insert; }
  const engine::IndexDescription &index() const;

  // The field objects, in column order, while the table is open.
  const std::vector<std::unique_ptr<TField>> &Fields() const { return m_fields; }
  TField *FindField(const QString &name) const;
  // The field of that name, compared without regard to case, first match;
  // raises "Table1: Field '%s' not found".
  TField &LookupField(const QString &name) const;

  // The cursor and the edit cycle.
  void SettleEdit();
  void First();
  void Prior();
  void Next();
  void Last();
  void Edit();
  void Post();
  void Cancel();
  bool FindByKey(int key);
  // Moves once in `direction` (a full move: the pending edit settled first),
  // then on until the record shown holds `text` in the field `fieldName`
  // (equal by ValuesEqual: for text, byte for byte; a null never) or the
  // end of the table. True on a match, the table standing on it; false
  // with the end flag of that direction set, the table on the last (first)
  // record. The record shown at the start is never tested. Raises what the
  // moves, LookupField and ValuesEqual raise.
  bool SearchField(const QString &fieldName, const QString &text, engine::SearchDirection direction,
                   SearchMeans means = SearchMeans::EngineWhereExact);
  // Settles the pending edit (after BeforeMove, as every move), then looks
  // for the next (prior) record after (before) the one shown that passes
  // `filter`, in one query of the engine. True with the table on it (one
  // scroll); false when none does, the table staying where it stands
  // without a scroll.
  bool FindWhere(const engine::RecordFilter &filter, engine::SearchDirection direction);
  // How many records pass `filter` as stored now; every record for an
  // empty one.
  std::int64_t CountWhere(const engine::RecordFilter &filter);
  // The open table's engine cursor, for the corpus layer to build a filter
  // (its columns, the tables kept beside it). Reads only: every write goes
  // through the edit cycle. Raises on a closed table.
  engine::Cursor &QueryCursor();
  // Every record the table stores from now on (a post, an insert) is told
  // to `log` inside the write's own transaction; kept across Close and Open.
  void SetChangeLog(std::shared_ptr<engine::ChangeLog> log);

  // Component notifications; the program handles BeforeMove and AfterScroll.
  std::function<void(TTable &)> BeforeScroll;
  std::function<void(TTable &)> AfterScroll;
  // Called at the start of every move that shows a record anew and so
  // raises AfterScroll (First, Prior, Next, Last, FindByKey, a search's
  // first step; not a move refused at the end the table stands on), before
  // a pending edit is settled. An exception raised there (EAbort to say
  // nothing) ends the move with the table as it was.
  std::function<void(TTable &)> BeforeMove;

  // Used by the field objects and the data source.
  const engine::Value &fieldValue(int fieldNo) const;
  // The value of field `fieldNo` in the record as stored when the current
  // edit began, or as found by a post refused because it had changed since
  // (outside an edit, the record shown); null without a record.
  const engine::Value &storedFieldValue(int fieldNo) const;
  // The state and read-only checks of a write, then the store and the
  // field-change notification.
  void writeField(TField &field, engine::Value value);
  // A failure on behalf of the table: "Table1: text".
  [[noreturn]] void databaseError(const QString &text) const;
  void attachDataSource(TDataSource *source);
  void detachDataSource(TDataSource *source);

private:
  void notify(DataEvent event, TField *field = nullptr);
  void setState(DataSetState state);
  void checkActive() const;
  void checkCanModify() const;
  void raiseAfterScroll();
  void raiseBeforeScroll();
  void raiseBeforeMove();
  void move(engine::SearchDirection direction);
  // The rest of a search in one engine request: the table moves onto the
  // match, or onto the end record with its end flag set.
  bool jumpToText(const TField &field, const QString &text, engine::SearchDirection direction);
  enum class End { First, Last };
  void moveToEnd(End end);
  void insertBlank();
  // Reads the record at the cursor's place again after a post or cancel.
  void resync();
  void createFields();
  void openCursor(TSession &session, engine::Database &database);

  QString m_name;
  TSession *m_session;
  DataSetState m_state = DataSetState::Inactive;
  bool m_loading = false;
  bool m_streamedActive = false;
  std::unique_ptr<engine::Cursor> m_cursor;
  std::shared_ptr<engine::ChangeLog> m_changeLog;
  std::vector<std::unique_ptr<TField>> m_fields;
  std::vector<TDataSource *> m_sources;

  // The record being edited or inserted (in the states Edit and Insert):
  // its values as edited, whether a field was written since the state
  // last changed, and whether the last post found the stored record
  // changed since the edit began. A change of state starts it anew.
  struct EditBuffer {
    engine::Record edited;
    bool modified = false;
    bool stale = false;
  };

  engine::Record m_current; // the record shown
  bool m_hasRecord = false;
  EditBuffer m_editing;
  engine::Record m_key;     // the key buffer of FindByKey
  bool m_atStart = true;
  bool m_atEnd = true;
  bool m_canModify = false;
  QString m_readOnlyReason;
  QStringList m_changedAtEdit;
};

} // namespace vandro::store
