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
    std::string_view text;  // UTF-8 bytes, quotes removed and "" undoubled
    bool quoted = false;    // the field was enclosed in quotes

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
    std::size_t size() const noexcept { return spans_.size(); }
    bool empty() const noexcept { return spans_.empty(); }
    // The i-th field (0-based); i must be less than size().
    Field operator[](std::size_t i) const noexcept {
        const Span& s = spans_[i];
        return {std::string_view(data_).substr(s.offset, s.length), s.quoted};
    }
    // 1-based physical line on which the record starts.
    std::size_t line() const noexcept { return line_; }
    // Removes all fields but keeps the storage.
    void clear() noexcept {
        data_.clear();
        spans_.clear();
        line_ = 0;
    }

private:
    friend class Reader;
    struct Span {
        std::size_t offset;
        std::size_t length;
        bool quoted;
    };
    std::string data_;         // texts of all fields, back to back
    std::vector<Span> spans_;  // where each field's text lies in data_
    std::size_t line_ = 0;
};

enum class ErrorKind {
    None,
    UnterminatedQuote,      // a quoted field is still open at end of input
    TextAfterClosingQuote,  // "ab"c
    QuoteInUnquotedField,   // ab"c
    InvalidUtf8,
    RecordTooLarge,         // over ReaderOptions::maxRecordBytes
    ReadFailed,             // the stream reported an I/O error
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
    explicit Reader(std::istream& in, ReaderOptions options = {});

    // Reads the next record into `row` (replacing what it held).
    // Returns true with a record; returns false at end of input with
    // `error` empty, or on a fault with `error` describing it. After a
    // fault every later call returns false with the same error.
    bool next(Row& row, Error& error);

private:
    std::size_t available() const noexcept { return end_ - pos_; }
    bool readRecord(Row& row, Error& error);
    bool ensure(std::size_t n);
    bool readQuoted(Row& row, std::size_t fieldNo, Error& error);
    bool readUnquoted(Row& row, std::size_t fieldNo, Error& error);
    bool append(Row& row, const char* bytes, std::size_t n, std::size_t fieldNo,
                Error& error);
    bool fail(ErrorKind kind, std::size_t line, std::size_t fieldNo, Error& error,
              std::string detail = {});

    std::istream& in_;
    ReaderOptions options_;
    std::size_t capacity_;
    std::unique_ptr<char[]> buffer_;
    std::size_t pos_ = 0;
    std::size_t end_ = 0;
    std::size_t line_ = 1;
    bool started_ = false;
    bool streamEnded_ = false;
    bool readFailed_ = false;
    Error failure_;
};

}  // namespace vandro::csv
