// CSV writer for the administration tool's `export` command. Its output is
// read back by Reader (CsvReader.h) into exactly the fields written.
//
// Output format:
//  - Fields are separated by commas; every record ends with CRLF.
//  - NULL is written as an unquoted empty field, the empty text as "".
//  - A text is enclosed in quotes when it is empty, contains a comma, quote,
//    CR or LF, starts or ends with a blank (space or tab; other programs
//    often trim unquoted blanks) or starts with a UTF-8 byte order mark
//    (which the reader would otherwise skip at the start of the file).
//    Quotes inside are doubled. Other texts are written as they are.
//  - Texts are written byte for byte; they must be valid UTF-8 for the
//    reader to accept them back.
#pragma once

#include "CsvReader.h"

#include <initializer_list>
#include <ostream>
#include <span>
#include <string>
#include <string_view>

namespace vandro::csv {

class Writer {
public:
  // Writes to `out`, which must outlive the writer.
  explicit Writer(std::ostream &out);

  // Writes one record; std::nullopt fields are NULL. Returns false when
  // the stream is in a failed state afterwards. A record needs at least
  // one field: an empty list is written as an empty line, which reads
  // back as one NULL field.
  bool writeRow(std::span<const Value> fields);
  bool writeRow(std::initializer_list<Value> fields);
  // Writes a record as read by Reader: NULL stays NULL, "" stays empty.
  bool writeRow(const Row &row);

  // Whether `text` is written in quotes (see the rules above).
  static bool needsQuotes(std::string_view text) noexcept;

private:
  void appendField(const Value &value);
  bool finishRow();

  std::ostream &m_out;
  std::string m_record; // the record being built, written in one call
};

} // namespace vandro::csv
