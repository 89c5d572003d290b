#include "CsvReader.h"
#include "CsvWriter.h"

#include <gtest/gtest.h>

#include <sstream>
#include <stdexcept>
#include <streambuf>
#include <string>
#include <vector>

using namespace std::string_literals;
using namespace std::string_view_literals;
using vandro::csv::Error;
using vandro::csv::ErrorKind;
using vandro::csv::Reader;
using vandro::csv::ReaderOptions;
using vandro::csv::Row;
using vandro::csv::Value;
using vandro::csv::Writer;

namespace {

constexpr Value Null{};

// Owning copy of a record: the field values plus where it started.
struct Record {
    std::size_t line;
    std::vector<std::optional<std::string>> values;
    bool operator==(const Record&) const = default;
};

Record record(std::size_t line, const std::vector<Value>& values) {
    Record r{line, {}};
    for (const Value& v : values) r.values.push_back(v ? std::optional<std::string>(*v) : std::nullopt);
    return r;
}

std::vector<Record> readAll(const std::string& input, std::size_t chunkSize, Error& error,
                            std::size_t maxRecordBytes = ReaderOptions{}.maxRecordBytes) {
    std::istringstream in(input);
    Reader reader(in, ReaderOptions{chunkSize, maxRecordBytes});
    std::vector<Record> out;
    Row row;
    while (reader.next(row, error)) {
        Record r{row.line(), {}};
        for (std::size_t i = 0; i < row.size(); ++i) {
            const Value v = row[i].value();
            r.values.push_back(v ? std::optional<std::string>(*v) : std::nullopt);
        }
        out.push_back(std::move(r));
    }
    return out;
}

std::string writeAll(const std::vector<std::vector<Value>>& rows) {
    std::ostringstream out;
    Writer writer(out);
    for (const auto& r : rows) EXPECT_TRUE(writer.writeRow(r));
    return out.str();
}

// Chunk sizes that put buffer boundaries everywhere, plus the normal one.
const std::size_t kChunkSizes[] = {1, 2, 3, 65536};

}  // namespace

TEST(CsvReader, ParsesRecords) {
    struct Case {
        const char* name;
        std::string input;
        std::vector<Record> expected;
    };
    const Case cases[] = {
        {"CRLF file", "a,b\r\nc,d\r\n", {record(1, {"a", "b"}), record(2, {"c", "d"})}},
        {"LF file", "a,b\nc,d\n", {record(1, {"a", "b"}), record(2, {"c", "d"})}},
        {"no final line end", "a,b\nc,d", {record(1, {"a", "b"}), record(2, {"c", "d"})}},
        {"lone CR ends records", "a\rb\r", {record(1, {"a"}), record(2, {"b"})}},
        {"mixed line ends", "a\r\nb\nc\rd", {record(1, {"a"}), record(2, {"b"}), record(3, {"c"}), record(4, {"d"})}},
        {"empty input", "", {}},
        {"BOM only", "\xEF\xBB\xBF", {}},
        {"BOM skipped", "\xEF\xBB\xBFid,name\n1,x\n", {record(1, {"id", "name"}), record(2, {"1", "x"})}},
        {"BOM after the start is data", "a\n\xEF\xBB\xBF" "b\n", {record(1, {"a"}), record(2, {"\xEF\xBB\xBF" "b"})}},
        {"BOM then quoted field", "\xEF\xBB\xBF\"x\"", {record(1, {"x"})}},
        {"NULL vs empty text", ",\"\",x,\n", {record(1, {Null, "", "x", Null})}},
        {"empty line is one NULL", "a\n\nb\n", {record(1, {"a"}), record(2, {Null}), record(3, {"b"})}},
        {"terminated empty last line is a record", "a\r\n\r\n", {record(1, {"a"}), record(2, {Null})}},
        {"lone line end", "\n", {record(1, {Null})}},
        {"quoted commas and quotes", "\"a,b\",\"say \"\"hi\"\"\",\"\"\"\"\n",
         {record(1, {"a,b", "say \"hi\"", "\""})}},
        {"line breaks kept and counted", "\"l1\r\nl2\",x\r\n\"l3\nl4\rl5\"\r\nnext\r\n\"\n\",y",
         {record(1, {"l1\r\nl2", "x"}), record(3, {"l3\nl4\rl5"}), record(6, {"next"}), record(7, {"\n", "y"})}},
        {"quoted field at end of input", "a,\"b\"", {record(1, {"a", "b"})}},
        {"non-ASCII", "Zurbarán,Ελληνικά,😀\n\"€\",\xF4\x8F\xBF\xBF,\xEF\xBF\xBF,\xED\x9F\xBF,\xEE\x80\x80\n",
         {record(1, {"Zurbarán", "Ελληνικά", "😀"}),
          record(2, {"€", "\xF4\x8F\xBF\xBF", "\xEF\xBF\xBF", "\xED\x9F\xBF", "\xEE\x80\x80"})}},
        {"blanks are data", " a , b \t,\t\n", {record(1, {" a ", " b \t", "\t"})}},
        {"NUL byte is data", "a\0b,c\n"s, {record(1, {"a\0b"sv, "c"})}},
    };
    for (const Case& c : cases) {
        for (std::size_t chunk : kChunkSizes) {
            SCOPED_TRACE(std::string(c.name) + ", chunk " + std::to_string(chunk));
            Error error;
            EXPECT_EQ(readAll(c.input, chunk, error), c.expected);
            EXPECT_FALSE(error) << error.message();
        }
    }
}

TEST(CsvReader, ReportsWhichFieldsWereQuoted) {
    std::istringstream in("\"a\",b,\"\",\n");
    Reader reader(in);
    Row row;
    Error error;
    ASSERT_TRUE(reader.next(row, error));
    ASSERT_EQ(row.size(), 4u);
    EXPECT_TRUE(row[0].quoted);
    EXPECT_FALSE(row[1].quoted);
    EXPECT_TRUE(row[2].quoted);
    EXPECT_FALSE(row[2].isNull());
    EXPECT_TRUE(row[3].isNull());
    EXPECT_FALSE(reader.next(row, error));
    EXPECT_FALSE(error);
}

TEST(CsvReader, ReportsErrorsWithLineAndField) {
    struct Case {
        const char* name;
        std::string input;
        std::size_t goodRecords;  // read before the fault
        ErrorKind kind;
        std::size_t line;
        std::size_t field;
        std::string detail;  // expected start of Error::detail
    };
    const auto Unterminated = ErrorKind::UnterminatedQuote;
    const auto AfterQuote = ErrorKind::TextAfterClosingQuote;
    const auto QuoteInside = ErrorKind::QuoteInUnquotedField;
    const auto Utf8 = ErrorKind::InvalidUtf8;
    const Case cases[] = {
        {"unterminated quote", "a\n\"abc\ndef\n", 1, Unterminated, 2, 1, ""},
        {"unterminated in second field", "x,y\nz,\"q\r\n\r\n", 1, Unterminated, 2, 2, ""},
        {"lone quote", "\"", 0, Unterminated, 1, 1, ""},
        {"text after closing quote", "x\n\"ab\"c\n", 1, AfterQuote, 2, 1, ""},
        {"blank after closing quote", "a,\"b\" ,c", 0, AfterQuote, 1, 2, ""},
        {"text after multi-line field", "\"a\nb\"x", 0, AfterQuote, 2, 1, ""},
        {"quote inside unquoted field", "ab\"c\n", 0, QuoteInside, 1, 1, ""},
        {"blank before opening quote", "a, \"b\"\n", 0, QuoteInside, 1, 2, ""},
        {"quote ends unquoted field", "x\ny,ab\"\n", 1, QuoteInside, 2, 2, ""},
        {"overlong 2 bytes", "\xC0\xAF", 0, Utf8, 1, 1, "overlong encoding: C0 AF"},
        {"overlong C1", "a,\xC1\xBF", 0, Utf8, 1, 2, "overlong encoding: C1 BF"},
        {"overlong 3 bytes", "\xE0\x80\xAF", 0, Utf8, 1, 1, "overlong encoding: E0 80 AF"},
        {"overlong 4 bytes", "\xF0\x80\x80\xAF", 0, Utf8, 1, 1, "overlong encoding: F0 80 80 AF"},
        {"high surrogate", "\xED\xA0\x80", 0, Utf8, 1, 1, "UTF-16 surrogate: ED A0 80"},
        {"low surrogate", "\"\xED\xBF\xBF\"", 0, Utf8, 1, 1, "UTF-16 surrogate"},
        {"above U+10FFFF", "\xF4\x90\x80\x80", 0, Utf8, 1, 1, "code point above U+10FFFF"},
        {"byte F5", "\xF5\x80\x80\x80", 0, Utf8, 1, 1, "byte that never occurs in UTF-8: F5"},
        {"byte FF", "ok\n\xFF", 1, Utf8, 2, 1, "byte that never occurs in UTF-8: FF"},
        {"lone continuation byte", "a\x80", 0, Utf8, 1, 1, "continuation byte without a lead byte: 80"},
        {"truncated at end of input", "ab\xC3", 0, Utf8, 1, 1, "truncated sequence: C3"},
        {"truncated before comma", "\xE2\x82,x", 0, Utf8, 1, 1, "truncated sequence: E2 82"},
        {"truncated in quoted field", "\"\xF0\x9F\x98\"", 0, Utf8, 1, 1, "truncated sequence: F0 9F 98"},
        {"truncated before ASCII", "\xC3" "A", 0, Utf8, 1, 1, "truncated sequence: C3"},
        {"bad byte on third line of a field", "ok\nx,\"one\ntwo\n\xC3\x28\"\n", 1, Utf8, 4, 2, "truncated"},
    };
    for (const Case& c : cases) {
        for (std::size_t chunk : kChunkSizes) {
            SCOPED_TRACE(std::string(c.name) + ", chunk " + std::to_string(chunk));
            std::istringstream in(c.input);
            Reader reader(in, ReaderOptions{chunk});
            Row row;
            Error error;
            std::size_t good = 0;
            while (reader.next(row, error)) ++good;
            EXPECT_EQ(good, c.goodRecords);
            EXPECT_TRUE(row.empty());  // no half record is handed out
            EXPECT_EQ(error.kind, c.kind);
            EXPECT_EQ(error.line, c.line);
            EXPECT_EQ(error.field, c.field);
            EXPECT_TRUE(error.detail.starts_with(c.detail)) << error.detail;
            const std::string where = "line " + std::to_string(c.line) + ", field " + std::to_string(c.field) + ": ";
            EXPECT_TRUE(error.message().starts_with(where)) << error.message();
            // The fault sticks.
            Error again;
            EXPECT_FALSE(reader.next(row, again));
            EXPECT_EQ(again.kind, c.kind);
            EXPECT_EQ(again.line, c.line);
        }
    }
}

TEST(CsvReader, LimitsRecordSize) {
    Error error;
    // A stray quote must not pull the rest of the file into memory.
    const auto rows = readAll("ok\n\"" + std::string(1000, 'x') + "\n", 16, error, 100);
    EXPECT_EQ(rows.size(), 1u);
    EXPECT_EQ(error.kind, ErrorKind::RecordTooLarge);
    EXPECT_EQ(error.line, 2u);
    // Many tiny fields count too.
    readAll(std::string(500, ','), 65536, error, 100);
    EXPECT_EQ(error.kind, ErrorKind::RecordTooLarge);
    // Records under the limit pass.
    EXPECT_EQ(readAll(std::string(60, 'x') + "\n" + std::string(60, 'y'), 7, error, 100).size(), 2u);
    EXPECT_FALSE(error);
}

TEST(CsvReader, ReportsStreamFailure) {
    // Delivers some bytes, then fails as a broken disk or pipe would.
    struct FailingBuffer : std::streambuf {
        std::string data = "a,b\nc,";
        bool served = false;
        int_type underflow() override {
            if (served) throw std::runtime_error("read error");
            served = true;
            setg(data.data(), data.data(), data.data() + data.size());
            return traits_type::to_int_type(data[0]);
        }
    } buffer;
    std::istream in(&buffer);
    // One chunk holds exactly the good bytes, so the failure hits the next read.
    Reader reader(in, ReaderOptions{buffer.data.size()});
    Row row;
    Error error;
    ASSERT_TRUE(reader.next(row, error));
    EXPECT_EQ(row.size(), 2u);
    EXPECT_FALSE(reader.next(row, error));
    EXPECT_EQ(error.kind, ErrorKind::ReadFailed);
    EXPECT_EQ(error.line, 2u);
}

TEST(CsvWriter, QuotesOnlyWhatNeedsIt) {
    struct Case {
        std::vector<Value> fields;
        std::string expected;
    };
    const Case cases[] = {
        {{"a", "b"}, "a,b\r\n"},
        {{Null, "", "x"}, ",\"\",x\r\n"},
        {{Null}, "\r\n"},
        {{Null, Null}, ",\r\n"},
        {{}, "\r\n"},
        {{"a,b"}, "\"a,b\"\r\n"},
        {{"say \"hi\""}, "\"say \"\"hi\"\"\"\r\n"},
        {{"\"", "\"\""}, "\"\"\"\",\"\"\"\"\"\"\r\n"},
        {{"l1\r\nl2", "a\rb", "a\nb"}, "\"l1\r\nl2\",\"a\rb\",\"a\nb\"\r\n"},
        {{" a", "a ", "\ta", "a\t", "a b"}, "\" a\",\"a \",\"\ta\",\"a\t\",a b\r\n"},
        {{"\xEF\xBB\xBFx"}, "\"\xEF\xBB\xBFx\"\r\n"},
        {{"Zurbarán", "Ελληνικά", "😀"}, "Zurbarán,Ελληνικά,😀\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected);
        EXPECT_EQ(writeAll({c.fields}), c.expected);
    }
}

TEST(CsvWriter, ReportsFailedStream) {
    std::ostringstream out;
    out.setstate(std::ios::badbit);
    Writer writer(out);
    EXPECT_FALSE(writer.writeRow({"a"}));
}

TEST(Csv, RoundTripsThroughWriterAndReader) {
    const std::vector<std::vector<std::vector<Value>>> tables = {
        {{"id", "text", "note"},
         {"1", "Zurbarán", Null},
         {"2", "Ελληνικά, \"quoted\"", ""},
         {"3", "emoji 😀\r\nsecond line\nthird\rfourth", " padded "}},
        {{"a"}, {Null}},  // one column whose last value is NULL
        {{Null}},
        {{""}},
        {{"\xEF\xBB\xBF" "starts with a BOM", "x"}},
        {{"\"\"\"", ",,,", "\r\n\r\n", "\r", "\n"}},
        {{Null, Null, Null}, {"", "", ""}, {"\t", " ", "a\0b"sv}},
    };
    for (const auto& table : tables) {
        const std::string csv = writeAll(table);
        SCOPED_TRACE(csv);
        for (std::size_t chunk : kChunkSizes) {
            Error error;
            const auto got = readAll(csv, chunk, error);
            EXPECT_FALSE(error) << error.message();
            ASSERT_EQ(got.size(), table.size());
            for (std::size_t i = 0; i < got.size(); ++i) EXPECT_EQ(got[i].values, record(0, table[i]).values);
        }
    }
}

TEST(Csv, RewritesReadRowsCanonically) {
    std::istringstream in("a,\"b\",,\"\"\n\"x\ny\",\"q\"\"\"\r\n");
    Reader reader(in);
    std::ostringstream out;
    Writer writer(out);
    Row row;
    Error error;
    while (reader.next(row, error)) ASSERT_TRUE(writer.writeRow(row));
    EXPECT_FALSE(error);
    EXPECT_EQ(out.str(), "a,b,,\"\"\r\n\"x\ny\",\"q\"\"\"\r\n");
}
