// Fuzz target for the CSV reader. For any input it checks that
//  - reading never crashes or hangs, and gives the same records and the
//    same error whether the stream arrives in large chunks or byte by byte
//    (chunk boundaries must not change the result);
//  - when the input is clean CSV, writing its records with the writer and
//    reading them back gives the same fields (NULL vs empty text included)
//    starting on the same lines.
// Any mismatch abort()s so that libFuzzer keeps the input.

#include "CsvReader.h"
#include "CsvWriter.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <istream>
#include <sstream>
#include <streambuf>
#include <string>
#include <vector>

namespace {

using namespace vandro::csv;

// Serves the fuzz input to the reader without copying it.
class MemoryBuffer : public std::streambuf {
public:
  MemoryBuffer(const char *data, std::size_t size) {
    char *p = const_cast<char *>(data); // only ever read
    setg(p, p, p + size);
  }
};

struct Record {
  std::size_t line;
  std::vector<std::string> texts;
  std::vector<bool> quoted;
};

struct Outcome {
  std::vector<Record> records;
  Error error;
};

Outcome readAll(const char *data, std::size_t size, std::size_t chunkSize) {
  MemoryBuffer buffer(data, size);
  std::istream in(&buffer);
  Reader reader(in, ReaderOptions{chunkSize, ReaderOptions{}.maxRecordBytes});
  Outcome out;
  Row row;
  while (reader.next(row, out.error)) {
    Record r{row.line(), {}, {}};
    if (row.empty())
      std::abort(); // every record has a field
    for (std::size_t i = 0; i < row.size(); ++i) {
      r.texts.emplace_back(row[i].text);
      r.quoted.push_back(row[i].quoted);
    }
    out.records.push_back(std::move(r));
  }
  return out;
}

[[noreturn]] void mismatch(const char *what) {
  std::fprintf(stderr, "csv fuzz: %s\n", what);
  std::abort();
}

bool sameError(const Error &a, const Error &b) {
  return a.kind == b.kind && a.line == b.line && a.field == b.field && a.detail == b.detail;
}

bool sameRecords(const std::vector<Record> &a, const std::vector<Record> &b) {
  if (a.size() != b.size())
    return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i].line != b[i].line || a[i].texts != b[i].texts || a[i].quoted != b[i].quoted)
      return false;
  }
  return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const char *bytes = reinterpret_cast<const char *>(data);
  const Outcome whole = readAll(bytes, size, 64 * 1024);
  for (std::size_t chunk : {std::size_t{1}, std::size_t{3}}) {
    const Outcome pieces = readAll(bytes, size, chunk);
    if (!sameError(whole.error, pieces.error))
      mismatch("error depends on chunk size");
    if (!sameRecords(whole.records, pieces.records))
      mismatch("records depend on chunk size");
  }
  if (whole.error)
    return 0;

  std::ostringstream written;
  Writer writer(written);
  std::vector<Value> values;
  for (const Record &r : whole.records) {
    values.clear();
    for (std::size_t i = 0; i < r.texts.size(); ++i) {
      const bool isNull = !r.quoted[i] && r.texts[i].empty();
      values.push_back(isNull ? Value{} : Value{r.texts[i]});
    }
    if (!writer.writeRow(values))
      mismatch("writer failed");
  }

  const std::string csv = written.str();
  const Outcome back = readAll(csv.data(), csv.size(), 64 * 1024);
  if (back.error)
    mismatch("writer output does not read back");
  if (back.records.size() != whole.records.size())
    mismatch("record count changed");
  for (std::size_t i = 0; i < back.records.size(); ++i) {
    const Record &a = whole.records[i];
    const Record &b = back.records[i];
    if (a.line != b.line)
      mismatch("record line changed");
    if (a.texts != b.texts)
      mismatch("field text changed");
    for (std::size_t f = 0; f < a.texts.size(); ++f) {
      const bool aNull = !a.quoted[f] && a.texts[f].empty();
      const bool bNull = !b.quoted[f] && b.texts[f].empty();
      if (aNull != bNull)
        mismatch("NULL and empty text mixed up");
    }
  }
  return 0;
}
