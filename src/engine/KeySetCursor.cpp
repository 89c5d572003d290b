#include "KeySetCursor.h"

#include "ErrorEntries.h"
#include "Expects.h"
#include "FieldValues.h"

#include <algorithm>

namespace vandro::engine {

Result KeySetCursor::setToBegin() {
  dropAhead();
  m_place = Place::BeforeFirst;
  m_key.clear();
  return code::Ok;
}

Result KeySetCursor::setToEnd() {
  dropAhead();
  m_place = Place::AfterLast;
  m_key.clear();
  return code::Ok;
}

Result KeySetCursor::readNext(Record &out) { return readStep(SearchDirection::Forward, out); }
Result KeySetCursor::readPrior(Record &out) { return readStep(SearchDirection::Backward, out); }

Result KeySetCursor::readStep(SearchDirection direction, Record &out) {
  const bool forward = direction == SearchDirection::Forward;
  if (m_place == (forward ? Place::AfterLast : Place::BeforeFirst))
    return ErrorEntries::fail(forward ? code::Eof : code::Bof);
  const bool usable = !m_ahead.empty() && m_aheadDirection == direction;
  if (!aheadIsFresh() || !usable) {
    m_ahead.clear();
    m_aheadDirection = direction;
    if (const Result result = queryPage(direction, m_place == Place::OnRecord ? &m_key : nullptr, m_readAhead, m_ahead);
        result != code::Ok && m_ahead.empty())
      return result;
  }
  if (m_ahead.empty())
    return ErrorEntries::fail(forward ? code::Eof : code::Bof);
  out = std::move(m_ahead.front());
  m_ahead.pop_front();
  m_place = Place::OnRecord;
  m_key = out.bookmark;
  return code::Ok;
}

Result KeySetCursor::getBookmark(Bookmark &out) const {
  if (m_place != Place::OnRecord)
    return ErrorEntries::fail(code::NoCurrentRecord);
  out = m_key;
  return code::Ok;
}

Result KeySetCursor::gotoBookmark(const Bookmark &bookmark) {
  VANDRO_EXPECTS(static_cast<int>(bookmark.size()) == m_keyColumnCount, "a bookmark of this table");
  placeOn(bookmark);
  return code::Ok;
}

void KeySetCursor::placeOn(Bookmark key) {
  dropAhead();
  m_place = Place::OnRecord;
  m_key = std::move(key);
}

Result KeySetCursor::arriveAt(Record record, Record &out) {
  placeOn(record.bookmark);
  out = std::move(record);
  return code::Ok;
}

Result KeySetCursor::findKey(const std::vector<Value> &key, Record &out) {
  if (!m_index.exists)
    return ErrorEntries::fail(code::NoIndex, {{code::NoIndex, 0, locationEntry()}});
  VANDRO_EXPECTS(!key.empty() && key.size() <= m_index.keyFields.size(), "some of the key's fields");
  for (std::size_t i = 0; i < key.size(); ++i)
    if (const Result fits = checkFieldValue(m_description.fields[static_cast<std::size_t>(m_index.keyFields[i])],
                                            key[i], locationEntry());
        fits != code::Ok)
      return fits;
  Record record;
  if (const Result result = queryKey(key, record); result != code::Ok)
    return result;
  return arriveAt(std::move(record), out);
}

Result KeySetCursor::findText(SearchDirection direction, int fieldNo, const std::string &text, Record &out) {
  return findWhere(direction, {FilterPart::equals(fieldNo, text)}, out);
}

Result KeySetCursor::findWhere(SearchDirection direction, const RecordFilter &filter, Record &out) {
  const bool forward = direction == SearchDirection::Forward;
  checkFilter(filter);
  if (m_place == (forward ? Place::AfterLast : Place::BeforeFirst))
    return ErrorEntries::fail(forward ? code::Eof : code::Bof);
  Record record;
  if (const Result result = queryWhere(direction, filter, m_place == Place::OnRecord ? &m_key : nullptr, record);
      result != code::Ok)
    return result;
  return arriveAt(std::move(record), out);
}

Result KeySetCursor::countWhere(const RecordFilter &filter, std::int64_t &out) {
  checkFilter(filter);
  out = 0;
  return queryCount(filter, out);
}

void KeySetCursor::checkFilter(const RecordFilter &filter) const {
  for (const FilterPart &part : filter) {
    if (part.test == FilterPart::Test::AnyOf) {
      VANDRO_EXPECTS(!part.alternatives.empty(), "alternatives to choose from");
      checkFilter(part.alternatives);
    } else if (part.test != FilterPart::Test::Sql) {
      VANDRO_EXPECTS(part.fieldNo >= 0 && static_cast<std::size_t>(part.fieldNo) < m_description.fields.size(),
                     "a field of the table");
    }
  }
}

void KeySetCursor::setSite(std::string table, std::string label, std::string location, bool writable) {
  m_table = std::move(table);
  m_locationLabel = std::move(label);
  m_location = std::move(location);
  m_writable = writable;
}

void KeySetCursor::setShape(TableDescription description, IndexDescription index, int keyColumnCount,
                            bool rowidKey) {
  m_description = std::move(description);
  m_description.writable = m_writable;
  m_index = std::move(index);
  m_keyColumnCount = keyColumnCount;
  m_rowidKey = rowidKey;
  m_writableFields.clear();
  for (std::size_t i = 0; i < m_description.fields.size(); ++i)
    if (!m_description.fields[i].readOnly)
      m_writableFields.push_back(static_cast<int>(i));
}

Result KeySetCursor::readCurrent(Record &out, LockMode mode) {
  if (m_place != Place::OnRecord)
    return ErrorEntries::fail(code::NoCurrentRecord, {{code::NoCurrentRecord, 0, locationEntry()}});
  const bool edit = mode == LockMode::WriteLock;
  if (edit) {
    if (!m_writable)
      return ErrorEntries::fail(code::TableIsReadOnly, {{code::TableIsReadOnly, 0, locationEntry()}});
    // A cursor holds one lock, and only it knows which: another record's
    // goes first, so that a lock refused never leaves the cursor believing
    // it holds one; the record's own is held already.
    if (m_lockedKey != keyText(m_key)) {
      letGo();
      // Locked first, then read: the edit starts from what is stored now.
      if (const Result locked = lockRecord(m_key); locked != code::Ok)
        return locked;
      m_lockedKey = keyText(m_key);
    }
  }
  Record record;
  Result result = queryRecord(m_key, edit ? ReadFor::Edit : ReadFor::Browse, record);
  if (result == code::RecordNotFound)
    result = ErrorEntries::fail(code::RecordDeleted, {{code::RecordDeleted, 0, "Record: " + recordName(m_key)},
                                                      {code::RecordDeleted, 0, locationEntry()}});
  if (result != code::Ok) {
    if (edit)
      letGo();
    return result;
  }
  if (edit)
    m_readForEdit = record.values;
  out = std::move(record);
  return code::Ok;
}

Result KeySetCursor::checkWrite(const Record &record, Write write) const {
  for (int field : m_writableFields) {
    const FieldDescription &description = m_description.fields[static_cast<std::size_t>(field)];
    const Value &value = record.values[static_cast<std::size_t>(field)];
    // A value the edit left as it read it goes back as it was stored, even
    // one another program stored that does not fit the field.
    if (write == Write::Replace && static_cast<std::size_t>(field) < m_readForEdit.size() &&
        value == m_readForEdit[static_cast<std::size_t>(field)])
      continue;
    // Checked here rather than left to the storage, which may fill an empty
    // key with a number of its own or let a key hold null, which no key
    // comparison finds again.
    const bool numbered = write == Write::Insert && description.kind == FieldKind::AutoInc;
    const bool isKey = std::find(m_index.keyFields.begin(), m_index.keyFields.end(), field) != m_index.keyFields.end();
    if ((description.required || isKey) && value.isNull() && !numbered)
      return ErrorEntries::fail(code::RequiredValueMissing, {{code::RequiredValueMissing, 0, locationEntry()},
                                                             {code::RequiredValueMissing, 0, "Field " + description.name}});
    if (const Result fits = checkFieldValue(description, value, locationEntry()); fits != code::Ok)
      return fits;
  }
  return code::Ok;
}

Result KeySetCursor::modifyRecord(const Record &record) {
  VANDRO_EXPECTS(record.values.size() == m_description.fields.size(), "a record of this table");
  if (!m_writable)
    return ErrorEntries::fail(code::TableIsReadOnly, {{code::TableIsReadOnly, 0, locationEntry()}});
  if (m_place != Place::OnRecord)
    return ErrorEntries::fail(code::NoCurrentRecord, {{code::NoCurrentRecord, 0, locationEntry()}});
  if (m_lockedKey != keyText(m_key))
    return ErrorEntries::fail(code::RecordNotLocked, {{code::RecordNotLocked, 0, "Record: " + recordName(m_key)}});
  if (const Result checked = checkWrite(record, Write::Replace); checked != code::Ok)
    return checked;
  Bookmark key;
  if (const Result stored = storeLogged({&m_readForEdit, &record.values},
                                        [&](const LogRows *logged) { return storeModified(record, key, logged); });
      stored != code::Ok) {
    if (stored == code::RecordChanged)
      return recordChanged();
    if (stored == code::KeyViolation && m_index.exists)
      ErrorEntries::add({code::KeyViolation, 0, "Record: " + recordName(keyOf(record))});
    return stored; // the lock stays held
  }
  letGo();
  placeOn(std::move(key));
  return code::Ok;
}

Result KeySetCursor::insertRecord(const Record &record) {
  VANDRO_EXPECTS(record.values.size() == m_description.fields.size(), "a record of this table");
  if (!m_writable)
    return ErrorEntries::fail(code::TableIsReadOnly, {{code::TableIsReadOnly, 0, locationEntry()}});
  if (const Result checked = checkWrite(record, Write::Insert); checked != code::Ok)
    return checked;
  Bookmark key;
  if (const Result stored = storeLogged({nullptr, &record.values},
                                        [&](const LogRows *logged) { return storeInserted(record, key, logged); });
      stored != code::Ok) {
    if (stored == code::KeyViolation && m_index.exists)
      ErrorEntries::add({code::KeyViolation, 0, "Record: " + recordName(keyOf(record))});
    return stored;
  }
  placeOn(std::move(key));
  return code::Ok;
}

Result KeySetCursor::deleteRecords(const std::vector<Bookmark> &keys) {
  if (!m_writable)
    return ErrorEntries::fail(code::TableIsReadOnly, {{code::TableIsReadOnly, 0, locationEntry()}});
  // Every lock before any delete: a refused one leaves every record.
  for (const Bookmark &key : keys) {
    VANDRO_EXPECTS(static_cast<int>(key.size()) == m_keyColumnCount, "a key of this table");
    if (const Result locked = lockUntilCommit(key); locked != code::Ok)
      return locked;
  }
  dropAhead();
  for (const Bookmark &key : keys) {
    // The log hears of the record as it was, read under the lock just taken.
    Record gone;
    if (m_changeLog) {
      const Result read = queryRecord(key, ReadFor::Browse, gone);
      if (read == code::RecordNotFound)
        continue;
      if (read != code::Ok)
        return read;
    }
    if (const Result deleted = storeDeleted(key); deleted != code::Ok)
      return deleted;
    if (m_changeLog)
      if (const Result logged = m_changeLog->written(*this, {&gone.values, nullptr}); logged != code::Ok)
        return logged;
  }
  return code::Ok;
}

Result KeySetCursor::storeLogged(const RecordChange &change, const std::function<Result(const LogRows *)> &store) {
  if (!m_changeLog)
    return store(nullptr);
  if (inBulk()) {
    // The log keeps its rows for the bulk transaction, or writes them in it.
    const Result stored = store(nullptr);
    return stored == code::Ok ? m_changeLog->written(*this, change) : stored;
  }
  LogRows logged;
  if (const Result asked = m_changeLog->rowsFor(*this, change, logged); asked != code::Ok)
    return asked;
  const Result stored = store(&logged);
  // What the log knew of its table may be what failed: it looks again.
  if (stored != code::Ok)
    m_changeLog->rolledBack();
  return stored;
}

Result KeySetCursor::changeLogCommitting() { return m_changeLog ? m_changeLog->committing(*this) : Result(code::Ok); }

void KeySetCursor::changeLogRolledBack() {
  if (m_changeLog)
    m_changeLog->rolledBack();
}

Result KeySetCursor::recordLocked(const Bookmark &key) const {
  // Asked first: the driver's own request must not replace the entries.
  const std::optional<LockHolder> holder = holderOf(key);
  std::vector<ErrorEntry> entries{{code::RecordLocked, 0, "Record: " + recordName(key)}};
  if (holder)
    entries.push_back({code::RecordLocked, 0, holderText(*holder)});
  entries.push_back({code::RecordLocked, 0, locationEntry()});
  return ErrorEntries::fail(code::RecordLocked, std::move(entries));
}

Result KeySetCursor::recordChanged() {
  std::vector<ErrorEntry> entries;
  Record now;
  if (queryRecord(m_key, ReadFor::Browse, now) == code::RecordNotFound)
    entries.push_back({code::RecordChanged, 0, "It has been deleted"});
  if (lostConnectionWhileEditing())
    entries.push_back({code::RecordChanged, 0, "The connection to the server was lost while it was being edited"});
  entries.push_back({code::RecordChanged, 0, "Record: " + recordName(m_key)});
  entries.push_back({code::RecordChanged, 0, locationEntry()});
  return ErrorEntries::fail(code::RecordChanged, entries);
}

Result KeySetCursor::releaseLock() {
  letGo();
  return code::Ok;
}

void KeySetCursor::letGo() {
  if (!m_lockedKey)
    return;
  unlockRecord();
  m_lockedKey.reset();
  m_readForEdit.clear();
}

Bookmark KeySetCursor::keyOf(const Record &record) const {
  Bookmark key;
  for (int field : m_index.keyFields)
    key.push_back(record.values[static_cast<std::size_t>(field)]);
  return key;
}

std::string KeySetCursor::recordName(const Bookmark &key) const {
  if (m_rowidKey)
    return "row " + (key.empty() ? std::string("?") : valueText(key[0])) + " of " + m_table;
  std::string name;
  for (std::size_t i = 0; i < key.size() && i < m_index.keyFields.size(); ++i)
    name += (i ? ", " : "") + m_description.fields[static_cast<std::size_t>(m_index.keyFields[i])].name + " = " +
            valueText(key[i]);
  return name;
}

std::string KeySetCursor::keyText(const Bookmark &key) {
  std::string text;
  for (const auto &value : key) {
    text += value.isInteger() ? 'i' : value.isReal() ? 'r' : 't';
    text += valueText(value);
    text += '\x1f';
  }
  return text;
}

} // namespace vandro::engine
