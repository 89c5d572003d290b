#include "KeySetCursor.h"

#include "ErrorEntries.h"
#include "FieldValues.h"

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
  if (static_cast<int>(bookmark.size()) != m_keyColumnCount)
    return ErrorEntries::fail(code::InvalidParameter, {{code::InvalidParameter, 0, "A bookmark of another table"}});
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
  if (key.empty() || key.size() > m_index.keyFields.size())
    return ErrorEntries::fail(code::InvalidParameter,
                              {{code::InvalidParameter, 0, "Key of " + std::to_string(key.size()) + " fields"}});
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
  const bool forward = direction == SearchDirection::Forward;
  if (fieldNo < 0 || static_cast<std::size_t>(fieldNo) >= m_description.fields.size())
    return ErrorEntries::fail(code::InvalidParameter,
                              {{code::InvalidParameter, 0, "Field number " + std::to_string(fieldNo)}});
  if (m_place == (forward ? Place::AfterLast : Place::BeforeFirst))
    return ErrorEntries::fail(forward ? code::Eof : code::Bof);
  Record record;
  if (const Result result =
          queryText(direction, fieldNo, text, m_place == Place::OnRecord ? &m_key : nullptr, record);
      result != code::Ok)
    return result;
  return arriveAt(std::move(record), out);
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
