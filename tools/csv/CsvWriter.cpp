#include "CsvWriter.h"

namespace vandro::csv {

Writer::Writer(std::ostream &out) : m_out(out) {}

bool Writer::needsQuotes(std::string_view text) noexcept {
  if (text.empty())
    return true;
  const auto blank = [](char c) { return c == ' ' || c == '\t'; };
  if (blank(text.front()) || blank(text.back()))
    return true;
  if (text.starts_with("\xEF\xBB\xBF"))
    return true;
  // One pass over the text (find_first_of would search the set per byte).
  for (const char c : text)
    if (c == ',' || c == '"' || c == '\r' || c == '\n')
      return true;
  return false;
}

void Writer::appendField(const Value &value) {
  if (!value)
    return; // NULL: nothing between the commas
  const std::string_view text = *value;
  if (!needsQuotes(text)) {
    m_record += text;
    return;
  }
  m_record += '"';
  std::size_t from = 0;
  for (std::size_t q = text.find('"'); q != std::string_view::npos; q = text.find('"', q + 1)) {
    m_record.append(text, from, q + 1 - from); // up to and including the quote
    m_record += '"';                           // ... which is then doubled
    from = q + 1;
  }
  m_record.append(text, from);
  m_record += '"';
}

bool Writer::finishRow() {
  m_record += "\r\n";
  m_out.write(m_record.data(), static_cast<std::streamsize>(m_record.size()));
  m_record.clear();
  return !m_out.fail();
}

bool Writer::writeRow(std::span<const Value> fields) {
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (i != 0)
      m_record += ',';
    appendField(fields[i]);
  }
  return finishRow();
}

bool Writer::writeRow(std::initializer_list<Value> fields) {
  return writeRow(std::span<const Value>(fields.begin(), fields.size()));
}

bool Writer::writeRow(const Row &row) {
  for (std::size_t i = 0; i < row.size(); ++i) {
    if (i != 0)
      m_record += ',';
    appendField(row[i].value());
  }
  return finishRow();
}

} // namespace vandro::csv
