#include "TTable.h"

#include "EngineCheck.h"
#include "TDataSource.h"
#include "TSession.h"
#include "ValueRules.h"
#include "engine/Engine.h"
#include "engine/ErrorEntries.h"
#include "engine/MessageText.h"

#include <QLocale>
#include <algorithm>
#include <exception>

namespace vandro::store {

using namespace engine;

namespace {
const IndexDescription kNoIndex{};
}

TTable::TTable(QString name, TSession *session) : m_name(std::move(name)), m_session(session) {}

TTable::~TTable() {
  Close();
  for (TDataSource *source : std::vector<TDataSource *>(m_sources))
    source->setDataSet(nullptr);
}

void TTable::databaseError(const QString &text) const { throw EDatabaseError(m_name, text); }

void TTable::attachDataSource(TDataSource *source) {
  if (std::find(m_sources.begin(), m_sources.end(), source) == m_sources.end())
    m_sources.push_back(source);
}

void TTable::detachDataSource(TDataSource *source) { std::erase(m_sources, source); }

void TTable::notify(DataEvent event, TField *field) {
  for (std::size_t i = 0; i < m_sources.size(); ++i)
    m_sources[i]->notify(event, field);
}

void TTable::setState(DataSetState state) {
  if (m_state == state)
    return;
  m_state = state;
  m_editing.modified = false;
  m_editing.stale = false;
  notify(DataEvent::StateChange);
}

void TTable::raiseAfterScroll() {
  if (AfterScroll)
    AfterScroll(*this);
}

void TTable::raiseBeforeMove() {
  if (BeforeMove)
    BeforeMove(*this);
}

void TTable::raiseBeforeScroll() {
  if (BeforeScroll)
    BeforeScroll(*this);
}

void TTable::checkActive() const {
  if (m_state == DataSetState::Inactive)
    databaseError(QStringLiteral("Cannot perform this operation on a closed dataset"));
}

void TTable::checkCanModify() const {
  if (!m_canModify)
    databaseError(m_readOnlyReason.isEmpty() || ReadOnly
                      ? QStringLiteral("Cannot modify a read-only dataset")
                      : QStringLiteral("Cannot modify a read-only dataset.\n%1").arg(m_readOnlyReason));
}

const IndexDescription &TTable::index() const { return m_cursor ? m_cursor->currentIndex() : kNoIndex; }

void TTable::setActive(bool active) {
  if (m_loading) {
    m_streamedActive = active;
    return;
  }
  if (active)
    Open();
  else
    Close();
}

void TTable::Loaded() {
  m_loading = false;
  if (m_streamedActive)
    Open();
}

TField *TTable::FindField(const QString &name) const {
  // Both names folded with the locale of this moment, so that a locale
  // changed since the table opened finds a field by its own name.
  const QLocale locale;
  const QString folded = locale.toLower(name);
  for (const auto &field : m_fields)
    if (locale.toLower(field->FieldName()) == folded)
      return field.get();
  return nullptr;
}

TField &TTable::LookupField(const QString &name) const {
  if (TField *field = FindField(name))
    return *field;
  databaseError(QStringLiteral("Field '%1' not found").arg(name));
}

const Value &TTable::fieldValue(int fieldNo) const {
  static const Value kNull;
  const Record *record = nullptr;
  switch (m_state) {
  case DataSetState::Inactive: return kNull;
  case DataSetState::Browse: record = m_hasRecord ? &m_current : nullptr; break;
  case DataSetState::Edit:
  case DataSetState::Insert: record = &m_editing.edited; break;
  case DataSetState::SetKey: record = &m_key; break;
  }
  if (!record || fieldNo < 0 || static_cast<std::size_t>(fieldNo) >= record->values.size())
    return kNull;
  return record->values[static_cast<std::size_t>(fieldNo)];
}

const Value &TTable::storedFieldValue(int fieldNo) const {
  static const Value kNull;
  // Edit reads the record again as it begins: m_current is what it read.
  const bool shown = (m_state == DataSetState::Browse || m_state == DataSetState::Edit) && m_hasRecord;
  if (!shown || fieldNo < 0 || static_cast<std::size_t>(fieldNo) >= m_current.values.size())
    return kNull;
  return m_current.values[static_cast<std::size_t>(fieldNo)];
}

void TTable::writeField(TField &field, Value value) {
  const bool editing = m_state == DataSetState::Edit || m_state == DataSetState::Insert;
  if (!editing && m_state != DataSetState::SetKey)
    databaseError(QStringLiteral("Dataset not in edit or insert mode"));
  Record &record = m_state == DataSetState::SetKey ? m_key : m_editing.edited;
  if (m_state == DataSetState::SetKey) {
    const auto &keys = index().keyFields;
    if (std::find(keys.begin(), keys.end(), field.FieldNo()) == keys.end())
      throw EDatabaseError(QStringLiteral("Field '%1' is not indexed and cannot be modified")
                               .arg(field.FieldName()));
  } else if (field.ReadOnly()) {
    throw EDatabaseError(QStringLiteral("Field '%1' cannot be modified").arg(field.FieldName()));
  }
  record.values[static_cast<std::size_t>(field.FieldNo())] = std::move(value);
  if (editing)
    m_editing.modified = true;
  notify(DataEvent::FieldChange, &field);
}

// Opening ----------------------------------------------------------------

void TTable::Open() {
  if (Active())
    return;
  if (TableName.isEmpty())
    databaseError(QStringLiteral("Missing TableName property"));
  TSession &session = m_session ? *m_session : *Session;
  session.start();
  Database &database = session.database(DatabaseName);
  openCursor(session, database);
  createFields();
  m_canModify = m_cursor->description().writable && !ReadOnly;

  // Before the first record, then the first record read.
  check(m_cursor->setToBegin());
  const Result first = m_cursor->readNext(m_current);
  if (first != code::Ok && first != code::Eof) {
    const EDBEngineError error = engineError(first);
    m_fields.clear();
    m_cursor.reset();
    throw error;
  }
  m_hasRecord = first == code::Ok;
  m_atStart = true;
  m_atEnd = !m_hasRecord;
  m_editing.modified = false;
  m_state = DataSetState::Browse;
  notify(DataEvent::StateChange);
  if (m_hasRecord)
    raiseAfterScroll();
}

void TTable::openCursor(TSession &session, Database &database) {
  OpenMode mode = ReadOnly ? OpenMode::ReadOnly : OpenMode::ReadWrite;
  const std::string name = TableName.toStdString();
  m_readOnlyReason.clear();
  for (;;) {
    const Result result = database.openTable(name, "default", mode, ShareMode::Shared, m_cursor);
    if (result == code::Ok) {
      m_cursor->setChangeLog(m_changeLog);
      return;
    }
    if (result == code::ReadOnlyTable && mode == OpenMode::ReadWrite) {
      mode = OpenMode::ReadOnly; // and so it stays: every edit then fails
      // The engine's entries after the table's place say why.
      const auto &entries = engine::ErrorEntries::all();
      QStringList reasons;
      for (std::size_t i = 1; i < entries.size(); ++i)
        reasons << QString::fromStdString(engine::shownLine(entries[i].context));
      m_readOnlyReason = reasons.join(QStringLiteral("; "));
      continue;
    }
    if (result == code::PasswordNeeded) {
      // The engine's message is built now, before the dialog's own calls
      // replace the engine's error entries.
      const EDBEngineError refused = engineError(result);
      if (session.askPassword())
        continue;
      throw refused;
    }
    throw engineError(result);
  }
}

void TTable::SetChangeLog(std::shared_ptr<engine::ChangeLog> log) {
  m_changeLog = std::move(log);
  if (m_cursor)
    m_cursor->setChangeLog(m_changeLog);
}

void TTable::createFields() {
  m_fields.clear();
  const auto &description = m_cursor->description();
  for (std::size_t i = 0; i < description.fields.size(); ++i) {
    // A name that repeats an earlier one gets "_1", "_2", ... appended.
    const QString base = QString::fromStdString(description.fields[i].name);
    QString name = base;
    for (int n = 1; FindField(name); ++n)
      name = base + QStringLiteral("_%1").arg(n);
    m_fields.push_back(TField::create(*this, static_cast<int>(i), description.fields[i], name));
  }
}

void TTable::Close() {
  if (m_state == DataSetState::Inactive)
    return;
  // Closing drops a pending edit; the engine's lock goes with the cursor.
  if (m_cursor && m_state == DataSetState::Edit)
    (void)m_cursor->releaseLock();
  m_state = DataSetState::Inactive;
  m_editing.modified = false;
  m_hasRecord = false;
  m_atStart = m_atEnd = true;
  notify(DataEvent::StateChange);
  m_fields.clear();
  m_cursor.reset();
}

// The cursor ----------------------------------------------------------------

void TTable::SettleEdit() {
  notify(DataEvent::CheckBrowseMode);
  if (m_state == DataSetState::Edit || m_state == DataSetState::Insert) {
    notify(DataEvent::UpdateRecord);
    if (m_editing.modified)
      Post();
    else
      Cancel();
  }
}

void TTable::Next() { move(SearchDirection::Forward); }
void TTable::Prior() { move(SearchDirection::Backward); }

void TTable::move(SearchDirection direction) {
  const bool forward = direction == SearchDirection::Forward;
  checkActive();
  // A move refused at the end shows nothing anew, unless an edit is settled
  // first (its post reads the record again, and the end is looked for anew).
  const bool editing = m_state == DataSetState::Edit || m_state == DataSetState::Insert;
  if (editing || !(forward ? m_atEnd : m_atStart))
    raiseBeforeMove();
  SettleEdit();
  raiseBeforeScroll();
  if (forward ? m_atEnd : m_atStart)
    return;
  m_atStart = m_atEnd = false;
  std::exception_ptr failure;
  Record record;
  const Result result = forward ? m_cursor->readNext(record) : m_cursor->readPrior(record);
  if (result == code::Ok) {
    m_current = std::move(record);
    m_hasRecord = true;
  } else if (result == (forward ? code::Eof : code::Bof)) {
    (forward ? m_atEnd : m_atStart) = true;
  } else {
    failure = std::make_exception_ptr(engineError(result));
  }
  notify(DataEvent::DataSetScroll);
  raiseAfterScroll();
  if (failure)
    std::rethrow_exception(failure);
}

void TTable::First() { moveToEnd(End::First); }
void TTable::Last() { moveToEnd(End::Last); }

void TTable::moveToEnd(End end) {
  const bool toFirst = end == End::First;
  checkActive();
  raiseBeforeMove();
  SettleEdit();
  raiseBeforeScroll();
  m_atStart = m_atEnd = true;
  m_hasRecord = false;
  std::exception_ptr failure;
  Record record;
  Result result = toFirst ? m_cursor->setToBegin() : m_cursor->setToEnd();
  if (result == code::Ok)
    result = toFirst ? m_cursor->readNext(record) : m_cursor->readPrior(record);
  if (result == code::Ok) {
    m_current = std::move(record);
    m_hasRecord = true;
    m_atStart = m_atEnd = false;
  } else if (result != code::Eof && result != code::Bof) {
    failure = std::make_exception_ptr(engineError(result));
  }
  (toFirst ? m_atStart : m_atEnd) = true;
  notify(DataEvent::DataSetChange);
  raiseAfterScroll();
  if (failure)
    std::rethrow_exception(failure);
}

void TTable::Edit() {
  checkActive();
  if (m_state == DataSetState::Edit || m_state == DataSetState::Insert)
    return;
  if (!m_hasRecord) {
    insertBlank();
    return;
  }
  SettleEdit();
  checkCanModify();
  // Locked first, then read again: the edit starts from what is stored now.
  Record fresh;
  check(m_cursor->readCurrent(fresh, LockMode::WriteLock));
  // What another client changed since the record was shown.
  m_changedAtEdit.clear();
  for (std::size_t i = 0; i < m_fields.size() && i < fresh.values.size(); ++i)
    if (i >= m_current.values.size() || !(fresh.values[i] == m_current.values[i]))
      m_changedAtEdit << m_fields[i]->FieldName();
  m_current = fresh;
  m_editing.edited = std::move(fresh);
  setState(DataSetState::Edit);
  notify(DataEvent::RecordChange);
}

void TTable::insertBlank() {
  SettleEdit();
  checkCanModify();
  raiseBeforeScroll();
  m_editing.edited = m_cursor->blankRecord();
  setState(DataSetState::Insert);
  m_editing.modified = false;
  notify(DataEvent::DataSetChange);
  raiseAfterScroll();
}

void TTable::Post() {
  notify(DataEvent::UpdateRecord);
  if (m_state != DataSetState::Edit && m_state != DataSetState::Insert &&
      m_state != DataSetState::SetKey)
    databaseError(QStringLiteral("Dataset not in edit or insert mode"));
  if (m_state == DataSetState::SetKey) {
    setState(DataSetState::Browse);
    return;
  }
  notify(DataEvent::CheckBrowseMode);
  for (const auto &field : m_fields) {
    if (field->Required() && !field->ReadOnly() && field->IsNull()) {
      notify(DataEvent::FocusControl, field.get());
      throw EDatabaseError(QStringLiteral("Field '%1' must have a value").arg(field->FieldName()));
    }
  }
  if (m_state == DataSetState::Edit) {
    const Result modified = m_cursor->modifyRecord(m_editing.edited);
    if (modified == code::RecordChanged) {
      // Every later post fails alike; the user's way out is to cancel.
      m_editing.stale = true;
      const EDBEngineError error = engineError(modified);
      // The record as stored now, for what the program says of it.
      if (Record now; m_cursor->readCurrent(now, LockMode::NoLock) == code::Ok)
        m_current = std::move(now);
      throw EDBEngineError(error.message() + QStringLiteral("\nEscape in one of the record's boxes drops the edit "
                                                            "and shows the record as stored."),
                           error.Errors());
    }
    check(modified);
  } else {
    check(m_cursor->insertRecord(m_editing.edited));
  }
  setState(DataSetState::Browse);
  resync();
}

void TTable::Cancel() {
  if (m_state != DataSetState::Edit && m_state != DataSetState::Insert)
    return;
  const bool inserting = m_state == DataSetState::Insert;
  notify(DataEvent::CheckBrowseMode);
  if (inserting)
    raiseBeforeScroll();
  else
    (void)m_cursor->releaseLock();
  setState(DataSetState::Browse);
  resync();
  if (inserting)
    raiseAfterScroll();
}

void TTable::resync() {
  // The record at the cursor's place; if it has gone, the next one, else
  // the prior one; else the table shows no record.
  Record record;
  if (m_cursor->readCurrent(record, LockMode::NoLock) == code::Ok ||
      m_cursor->readNext(record) == code::Ok || m_cursor->readPrior(record) == code::Ok) {
    m_current = std::move(record);
    m_hasRecord = true;
    m_atStart = m_atEnd = false;
  } else {
    m_hasRecord = false;
    m_atStart = m_atEnd = true;
  }
  notify(DataEvent::DataSetChange);
}

bool TTable::SearchField(const QString &fieldName, const QString &text, SearchDirection direction,
                         SearchMeans means) {
  const bool forward = direction == SearchDirection::Forward;
  const bool &atTheEnd = forward ? m_atEnd : m_atStart;
  move(direction);
  while (!atTheEnd) {
    const TField &field = LookupField(fieldName);
    if (ValuesEqual(field.AsValue(), Variant::text(text)))
      return true;
    const bool exact = field.kind() == FieldKind::String || field.kind() == FieldKind::Memo;
    if (means == SearchMeans::EngineWhereExact && exact)
      return jumpToText(field, text, direction);
    move(direction);
  }
  return false;
}

bool TTable::jumpToText(const TField &field, const QString &text, SearchDirection direction) {
  const bool forward = direction == SearchDirection::Forward;
  // As the moves of the record-by-record walk would leave it: on the match,
  // or on the end record with the end flag set; one scroll either way.
  raiseBeforeScroll();
  m_atStart = m_atEnd = false;
  std::exception_ptr failure;
  Record record;
  Result result = m_cursor->findText(direction, field.FieldNo(), text.toStdString(), record);
  const bool found = result == code::Ok;
  if (result == (forward ? code::Eof : code::Bof)) {
    result = forward ? m_cursor->setToEnd() : m_cursor->setToBegin();
    if (result == code::Ok)
      result = forward ? m_cursor->readPrior(record) : m_cursor->readNext(record);
    (forward ? m_atEnd : m_atStart) = true;
  }
  if (result == code::Ok) {
    m_current = std::move(record);
    m_hasRecord = true;
  } else {
    failure = std::make_exception_ptr(engineError(result));
  }
  notify(DataEvent::DataSetScroll);
  raiseAfterScroll();
  if (failure)
    std::rethrow_exception(failure);
  return found;
}

bool TTable::FindWhere(const engine::RecordFilter &filter, SearchDirection direction) {
  const bool forward = direction == SearchDirection::Forward;
  checkActive();
  raiseBeforeMove();
  SettleEdit();
  raiseBeforeScroll();
  Record record;
  const Result result = m_cursor->findWhere(direction, filter, record);
  if (result == (forward ? code::Eof : code::Bof))
    return false;
  if (result != code::Ok)
    throw engineError(result);
  m_atStart = m_atEnd = false;
  m_current = std::move(record);
  m_hasRecord = true;
  notify(DataEvent::DataSetScroll);
  raiseAfterScroll();
  return true;
}

std::int64_t TTable::CountWhere(const engine::RecordFilter &filter) {
  checkActive();
  std::int64_t count = 0;
  if (const Result result = m_cursor->countWhere(filter, count); result != code::Ok)
    throw engineError(result);
  return count;
}

engine::Cursor &TTable::QueryCursor() {
  checkActive();
  return *m_cursor;
}

bool TTable::FindByKey(int key) {
  checkActive();
  raiseBeforeMove();
  SettleEdit();
  const IndexDescription &description = index();
  if (description.expression)
    databaseError(QStringLiteral("Cannot use array of Field values with Expression Indices"));
  if (!description.exists || description.keyFields.empty())
    databaseError(QStringLiteral("No index currently active"));
  // The key is written into a buffer of its own by the key field's own
  // integer assignment, so a key out of that field's range fails there.
  m_key = m_cursor->blankRecord();
  setState(DataSetState::SetKey);
  try {
    m_fields[static_cast<std::size_t>(description.keyFields[0])]->setAsInteger(key);
  } catch (...) {
    setState(DataSetState::Browse);
    throw;
  }
  setState(DataSetState::Browse);
  SettleEdit();
  raiseBeforeScroll();
  Record record;
  const Result result = m_cursor->findKey(
      {m_key.values[static_cast<std::size_t>(description.keyFields[0])]}, record);
  if (result == code::RecordNotFound)
    return false;
  check(result);
  m_current = std::move(record);
  m_hasRecord = true;
  m_atStart = m_atEnd = false;
  notify(DataEvent::DataSetChange);
  raiseAfterScroll();
  return true;
}

} // namespace vandro::store
