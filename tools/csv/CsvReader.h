// Streaming reader for CSV files as written by RFC 4180, used by the
// administration tool's `import` command.
//
// Format accepted:
//  - Fields are separated by commas; records end with CRLF, LF or a lone CR
//    (old Mac exports). Every kind of line end counts as one line.
//  - A field may be enclosed in double quotes; inside, commas, line ends and
//    doubled quotes ("" stands for ") are data. Line ends inside a quoted
//    field are kept exactly as written (CR, LF or CRLF).
//  - An unquoted empty field is NULL; a quoted empty field ("") is the empty
//    text. Blanks are data and are never trimmed.
//  - A UTF-8 byte order mark at the very start of the input is skipped.
//  - The line end after the last record is optional. Nothing after the last
//    line end is a record, but an empty line that is itself terminated is a
//    record of one NULL field (that is how a one-column NULL is written).
//  - Strict: a quote inside an unquoted field (ab"c) and anything but a
//    comma or line end after a closing quote ("ab"c) are errors, because
//    they mean the file's quoting is broken and guessing would shift data
//    between fields.
//  - Every field must be valid UTF-8 (no overlong forms, no surrogates,
//    nothing above U+10FFFF, no truncated sequences).
#pragma once

#include <cstddef>
#include <istream>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vandro::csv {

// A field's value as the database sees it: std::nullopt is NULL.
using Value = std::optional<std::string_view>;

// One field of a record. `text` points into the Row it came from and stays
// valid until that Row is cleared or read into again.
struct Field {
  std::string_view text; // UTF-8 bytes, quotes removed and "" undoubled
  bool quoted = false;   // the field was enclosed in quotes

  // True for an unquoted empty field.
  bool isNull() const noexcept { return !quoted && text.empty(); }
  // NULL as std::nullopt, anything else as its text.
  Value value() const { return isNull() ? Value{} : Value{text}; }
};

// One record. Reading into the same Row again reuses its storage, so a
// loop over a large file does not allocate per field.
class Row {
public:
  // Number of fields; at least 1 for every record the reader returns.
  std::size_t size() const noexcept { return m_spans.size(); }
  bool empty() const noexcept { return m_spans.empty(); }
  // The i-th field (0-based); i must be less than size().
  Field operator[](std::size_t i) const noexcept {
    const Span &s = m_spans[i];
    return {std::string_view(m_data).substr(s.offset, s.length), s.quoted};
  }
  // 1-based physical line on which the record starts.
  std::size_t line() const noexcept { return m_line; }
  // Removes all fields but keeps the storage.
  void clear() noexcept {
    m_data.clear();
    m_spans.clear();
    m_line = 0;
  }

private:
  friend class Reader;
  struct Span {
    std::size_t offset;
    std::size_t length;
    bool quoted;
  };
  std::string m_data;        // texts of all fields, back to back
  std::vector<Span> m_spans; // where each field's text lies in m_data
  std::size_t m_line = 0;
};

enum class ErrorKind {
  None,
  UnterminatedQuote,     // a quoted field is still open at end of input
  TextAfterClosingQuote, // "ab"c
  QuoteInUnquotedField,  // ab"c
  InvalidUtf8,
  RecordTooLarge, // over ReaderOptions::maxRecordBytes
  ReadFailed,     // the stream reported an I/O error
};

struct Error {
  ErrorKind kind = ErrorKind::None;
  // 1-based line of the fault. For an unterminated quote it is the line
  // of the opening quote, because the end of the file tells nothing.
  std::size_t line = 0;
  // 1-based number of the field within its record (0 for ReadFailed when
  // it happens between records).
  std::size_t field = 0;
  // For InvalidUtf8: what is wrong and the offending bytes in hex.
  std::string detail;

  explicit operator bool() const noexcept { return kind != ErrorKind::None; }
  // One line for the user, e.g. "line 7, field 2: invalid UTF-8
  // (overlong encoding: C0 AF)".
  std::string message() const;
  // The same without the place: "invalid UTF-8 (overlong encoding: C0 AF)".
  std::string reason() const;
};

struct ReaderOptions {
  // Bytes asked from the stream per read.
  std::size_t chunkSize = 64 * 1024;
  // Upper bound on one record's size (field bytes plus one per field), so
  // that a stray quote in a huge file fails instead of swallowing the rest
  // of the file into memory.
  std::size_t maxRecordBytes = 256 * 1024 * 1024;
};

class Reader {
public:
  // Reads from `in`, which must outlive the reader. Nothing is read yet.
  explicit Reader(std::istream &in, ReaderOptions options = {});

  // Reads the next record into `row` (replacing what it held).
  // Returns true with a record; returns false at end of input with
  // `error` empty, or on a fault with `error` describing it. After a
  // fault every later call returns false with the same error.
  bool next(Row &row, Error &error);

private:
  std::size_t available() const noexcept { return m_end - m_pos; }
  bool readRecord(Row &row, Error &error);
  bool ensure(std::size_t n);
  bool readQuoted(Row &row, std::size_t fieldNo, Error &error);
  bool readUnquoted(Row &row, std::size_t fieldNo, Error &error);
  bool append(Row &row, const char *bytes, std::size_t n, std::size_t fieldNo, Error &error);
  bool fail(ErrorKind kind, std::size_t line, std::size_t fieldNo, Error &error, std::string detail = {});

  std::istream &m_in;
  ReaderOptions m_options;
  std::size_t m_capacity;
  std::unique_ptr<char[]> m_buffer;
  std::size_t m_pos = 0;
  std::size_t m_end = 0;
  std::size_t m_line = 1;
  bool m_started = false;
  bool m_streamEnded = false;
  bool m_readFailed = false;
  Error m_failure;
};

} // namespace vandro::csv
