#include "CsvReader.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

namespace vandro::csv {

namespace {

// Bytes that end a run of plain data in an unquoted / a quoted field.
constexpr std::array<bool, 256> makeStops(std::string_view stops) {
  std::array<bool, 256> table{};
  for (char c : stops)
    table[static_cast<unsigned char>(c)] = true;
  return table;
}
constexpr auto kUnquotedStops = makeStops(",\"\r\n");
constexpr auto kQuotedStops = makeStops("\"\r\n");

struct Utf8Fault {
  std::size_t offset; // of the first byte of the bad sequence
  std::size_t length; // bytes worth showing
  const char *what;
};

bool isContinuation(unsigned char b) { return (b & 0xC0) == 0x80; }

// Finds the first invalid UTF-8 sequence in `s`.
std::optional<Utf8Fault> findInvalidUtf8(std::string_view s) {
  const auto *p = reinterpret_cast<const unsigned char *>(s.data());
  const std::size_t n = s.size();
  std::size_t i = 0;
  while (i < n) {
    // Plain ASCII is by far the common case: skip eight bytes at a time.
    while (i + 8 <= n) {
      std::uint64_t word;
      std::memcpy(&word, p + i, 8);
      if (word & 0x8080808080808080ULL)
        break;
      i += 8;
    }
    if (i >= n)
      break;
    const unsigned char b = p[i];
    if (b < 0x80) {
      ++i;
      continue;
    }
    std::size_t need;        // continuation bytes after the lead byte
    unsigned char lo = 0x80; // allowed range of the second byte
    unsigned char hi = 0xBF;
    const char *outOfRange = nullptr; // why a second byte outside lo..hi is wrong
    if (b < 0xC0)
      return Utf8Fault{i, 1, "continuation byte without a lead byte"};
    if (b < 0xC2)
      return Utf8Fault{i, std::min<std::size_t>(2, n - i), "overlong encoding"};
    if (b < 0xE0) {
      need = 1;
    } else if (b < 0xF0) {
      need = 2;
      if (b == 0xE0) {
        lo = 0xA0;
        outOfRange = "overlong encoding";
      }
      if (b == 0xED) {
        hi = 0x9F;
        outOfRange = "UTF-16 surrogate";
      }
    } else if (b < 0xF5) {
      need = 3;
      if (b == 0xF0) {
        lo = 0x90;
        outOfRange = "overlong encoding";
      }
      if (b == 0xF4) {
        hi = 0x8F;
        outOfRange = "code point above U+10FFFF";
      }
    } else {
      return Utf8Fault{i, 1, "byte that never occurs in UTF-8"};
    }
    for (std::size_t k = 1; k <= need; ++k) {
      if (i + k >= n || !isContinuation(p[i + k]))
        return Utf8Fault{i, k, "truncated sequence"};
    }
    if (p[i + 1] < lo || p[i + 1] > hi)
      return Utf8Fault{i, need + 1, outOfRange};
    i += need + 1;
  }
  return std::nullopt;
}

// Line ends in `s` (CRLF, LF and CR each count once).
std::size_t countLineEnds(std::string_view s) {
  std::size_t lines = 0;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\n') {
      ++lines;
    } else if (s[i] == '\r') {
      ++lines;
      if (i + 1 < s.size() && s[i + 1] == '\n')
        ++i;
    }
  }
  return lines;
}

std::string hexBytes(std::string_view bytes) {
  static constexpr char digits[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char b : bytes) {
    if (!out.empty())
      out += ' ';
    out += digits[b >> 4];
    out += digits[b & 0x0F];
  }
  return out;
}

} // namespace

std::string Error::message() const {
  if (kind == ErrorKind::None)
    return reason();
  std::string out = "line " + std::to_string(line);
  if (field != 0)
    out += ", field " + std::to_string(field);
  return out + ": " + reason();
}

std::string Error::reason() const {
  std::string reason;
  switch (kind) {
  case ErrorKind::None: return "no error";
  case ErrorKind::UnterminatedQuote: reason = "quoted field is never closed (the file ends inside it)"; break;
  case ErrorKind::TextAfterClosingQuote:
    reason = "text after a closing quote (expected a comma or the end of the line)";
    break;
  case ErrorKind::QuoteInUnquotedField: reason = "quote inside a field that does not start with a quote"; break;
  case ErrorKind::InvalidUtf8: reason = "invalid UTF-8 (" + detail + ")"; break;
  case ErrorKind::RecordTooLarge: reason = "record is larger than the allowed maximum"; break;
  case ErrorKind::ReadFailed: reason = "the file could not be read"; break;
  }
  return reason;
}

Reader::Reader(std::istream &in, ReaderOptions options)
    : m_in(in), m_options(options),
      // Room for at least the byte order mark, whatever the chunk size.
      m_capacity(std::max<std::size_t>(std::max<std::size_t>(options.chunkSize, 1), 4)),
      m_buffer(new char[m_capacity]) {
  m_options.chunkSize = std::max<std::size_t>(m_options.chunkSize, 1);
}

// Makes at least n bytes available unless the stream ends first; returns
// whether it managed. Unread bytes move to the front of the buffer first.
bool Reader::ensure(std::size_t n) {
  while (available() < n) {
    if (m_streamEnded)
      return false;
    if (m_pos != 0) {
      std::memmove(m_buffer.get(), m_buffer.get() + m_pos, available());
      m_end -= m_pos;
      m_pos = 0;
    }
    const std::size_t room = std::min(m_options.chunkSize, m_capacity - m_end);
    m_in.read(m_buffer.get() + m_end, static_cast<std::streamsize>(room));
    const auto got = static_cast<std::size_t>(m_in.gcount());
    m_end += got;
    if (m_in.bad()) {
      m_readFailed = true;
      m_streamEnded = true;
    } else if (got == 0) {
      m_streamEnded = true;
    }
  }
  return true;
}

bool Reader::fail(ErrorKind kind, std::size_t line, std::size_t fieldNo, Error &error, std::string detail) {
  m_failure = Error{kind, line, fieldNo, std::move(detail)};
  error = m_failure;
  return false;
}

bool Reader::append(Row &row, const char *bytes, std::size_t n, std::size_t fieldNo, Error &error) {
  if (row.m_data.size() + row.m_spans.size() + n > m_options.maxRecordBytes)
    return fail(ErrorKind::RecordTooLarge, m_line, fieldNo, error);
  row.m_data.append(bytes, n);
  return true;
}

// Reads the rest of a quoted field; the opening quote is consumed. Stops
// before the comma or line end that follows the closing quote.
bool Reader::readQuoted(Row &row, std::size_t fieldNo, Error &error) {
  const std::size_t openLine = m_line;
  for (;;) {
    if (!ensure(1)) {
      return fail(m_readFailed ? ErrorKind::ReadFailed : ErrorKind::UnterminatedQuote, m_readFailed ? m_line : openLine,
                  fieldNo, error);
    }
    const char *const base = m_buffer.get();
    const char *p = base + m_pos;
    const char *const stop = base + m_end;
    const char *const run = p;
    while (p != stop && !kQuotedStops[static_cast<unsigned char>(*p)])
      ++p;
    if (!append(row, run, static_cast<std::size_t>(p - run), fieldNo, error))
      return false;
    m_pos = static_cast<std::size_t>(p - base);
    if (p == stop)
      continue;

    const char c = *p;
    ++m_pos;
    if (c == '\n') {
      if (!append(row, "\n", 1, fieldNo, error))
        return false;
      ++m_line;
    } else if (c == '\r') {
      if (!append(row, "\r", 1, fieldNo, error))
        return false;
      if (ensure(1) && m_buffer[m_pos] == '\n') {
        if (!append(row, "\n", 1, fieldNo, error))
          return false;
        ++m_pos;
      }
      ++m_line;
    } else { // a quote: either a doubled one or the closing one
      if (!ensure(1))
        return true;
      const char after = m_buffer[m_pos];
      if (after == '"') {
        if (!append(row, "\"", 1, fieldNo, error))
          return false;
        ++m_pos;
      } else if (after == ',' || after == '\r' || after == '\n') {
        return true;
      } else {
        return fail(ErrorKind::TextAfterClosingQuote, m_line, fieldNo, error);
      }
    }
  }
}

// Reads an unquoted field up to (not including) the comma or line end that
// ends it, or to end of input.
bool Reader::readUnquoted(Row &row, std::size_t fieldNo, Error &error) {
  while (ensure(1)) {
    const char *const base = m_buffer.get();
    const char *p = base + m_pos;
    const char *const stop = base + m_end;
    const char *const run = p;
    while (p != stop && !kUnquotedStops[static_cast<unsigned char>(*p)])
      ++p;
    if (!append(row, run, static_cast<std::size_t>(p - run), fieldNo, error))
      return false;
    m_pos = static_cast<std::size_t>(p - base);
    if (p != stop) {
      if (*p == '"')
        return fail(ErrorKind::QuoteInUnquotedField, m_line, fieldNo, error);
      return true;
    }
  }
  return true;
}

bool Reader::next(Row &row, Error &error) {
  row.clear();
  error = Error{};
  if (m_failure) {
    error = m_failure;
    return false;
  }
  if (readRecord(row, error))
    return true;
  row.clear(); // no half records on a fault
  return false;
}

bool Reader::readRecord(Row &row, Error &error) {
  if (!m_started) {
    m_started = true;
    if (ensure(3) && std::memcmp(m_buffer.get() + m_pos, "\xEF\xBB\xBF", 3) == 0)
      m_pos += 3;
  }
  if (!ensure(1)) {
    if (m_readFailed)
      return fail(ErrorKind::ReadFailed, m_line, 0, error);
    return false; // clean end: nothing after the last line end
  }

  row.m_line = m_line;
  for (;;) {
    const std::size_t fieldNo = row.m_spans.size() + 1;
    const std::size_t start = row.m_data.size();
    const std::size_t fieldLine = m_line;
    const bool quoted = ensure(1) && m_buffer[m_pos] == '"';
    if (quoted) {
      ++m_pos;
      if (!readQuoted(row, fieldNo, error))
        return false;
    } else if (!readUnquoted(row, fieldNo, error)) {
      return false;
    }
    if (row.m_data.size() + row.m_spans.size() + 1 > m_options.maxRecordBytes)
      return fail(ErrorKind::RecordTooLarge, m_line, fieldNo, error);
    row.m_spans.push_back({start, row.m_data.size() - start, quoted});

    const std::string_view text = std::string_view(row.m_data).substr(start);
    if (const auto bad = findInvalidUtf8(text)) {
      return fail(ErrorKind::InvalidUtf8, fieldLine + countLineEnds(text.substr(0, bad->offset)), fieldNo, error,
                  std::string(bad->what) + ": " + hexBytes(text.substr(bad->offset, bad->length)));
    }

    // The field ended at a comma, a line end or the end of input.
    if (!ensure(1)) {
      if (m_readFailed)
        return fail(ErrorKind::ReadFailed, m_line, fieldNo, error);
      return true;
    }
    const char c = m_buffer[m_pos++];
    if (c == ',')
      continue;
    if (c == '\r' && ensure(1) && m_buffer[m_pos] == '\n')
      ++m_pos;
    ++m_line;
    return true;
  }
}

} // namespace vandro::csv
