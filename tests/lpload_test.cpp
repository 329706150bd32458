// The cells and rows of lpload's tables: the times, numbers and quoting that spreadsheets and
// scripts write, read exactly or refused.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "csv_cells.h"

namespace {

TEST(CsvCellsTest, UtcTimesReadToTheSecondOrAreRefused) {
    struct Case {
        const char* text;
        bool read;
        uint32_t seconds;
    };
    const Case cases[] = {
        {"1970-01-01T00:00:00Z", true, 0},
        {"2026-12-06T07:15:00Z", true, 1796541300},
        {"2026-12-06T08:15:00+01:00", true, 1796541300},
        {"2026-12-06T01:45:00-0530", true, 1796541300},
        {" 2024-02-29T23:59:59Z ", true, 1709251199},
        {"2000-02-29T00:00:00Z", true, 951782400},
        {"2106-02-07T06:28:15Z", true, 4294967295u},
        {"@4294967295", true, 4294967295u},
        {"2106-02-07T06:28:16Z", false, 0},
        {"1969-12-31T23:59:59Z", false, 0},
        {"1970-01-01T00:30:00+01:00", false, 0},
        {"2100-02-29T00:00:00Z", false, 0},
        {"2026-12-31T23:59:59Z", true, 1798761599},
        {"2026-04-31T00:00:00Z", false, 0},
        {"2026-11-31T00:00:00Z", false, 0},
        {"2024-02-30T00:00:00Z", false, 0},
        {"2026-12-06T24:00:00Z", false, 0},
        {"2026-12-06 07:15:00Z", false, 0},
        {"2026-12-06T07:15:00", false, 0},
        {"2026-12-06T07:15:00+1", false, 0},
        {"2026-12-06T07:15:00Zx", false, 0},
        {"@4294967296", false, 0},
    };
    for (const Case& c : cases) {
        uint32_t seconds = 0;
        EXPECT_EQ(ParseCsvUtcTime(c.text, &seconds), c.read) << c.text;
        if (c.read) {
            EXPECT_EQ(seconds, c.seconds) << c.text;
        }
    }
}

TEST(CsvCellsTest, NumbersFlagsAndValuesReadExactlyOrAreRefused) {
    struct Case {
        const char* text;
        bool u32, flags, value;
    };
    const Case cases[] = {
        {"0", true, true, true},
        {"4294967295", true, false, true},
        {"4294967296", false, false, true},
        {"ffff", false, true, false},
        {"0xFFFF", false, true, false},
        {"10000", true, false, true},
        {"0x", false, false, false},
        {"", false, false, false},
        {"-1", false, false, true},
        {"1.5", false, false, true},
        {"1e-45", false, false, true},
        {"3.5e38", false, false, false},
        {"0x1p3", false, false, false},
        {"inf", false, false, false},
        {"1 2", false, false, false},
        {" 7 ", true, true, true},
    };
    for (const Case& c : cases) {
        uint32_t number = 0;
        uint16_t flags = 0;
        float value = 0;
        EXPECT_EQ(ParseCsvU32(c.text, &number), c.u32) << c.text;
        EXPECT_EQ(ParseCsvFlags(c.text, &flags), c.flags) << c.text;
        EXPECT_EQ(ParseCsvFloat(c.text, &value), c.value) << c.text;
    }
    uint32_t number = 0;
    uint16_t flags = 0;
    float value = 0;
    ASSERT_TRUE(ParseCsvU32("4294967295", &number) && ParseCsvFlags("0xbeef", &flags));
    EXPECT_EQ(number, 4294967295u);
    EXPECT_EQ(flags, 0xbeef);
    // The nearest float to the decimal, not the float nearest a double on the way.
    ASSERT_TRUE(ParseCsvFloat("1.00000017881393432617187499", &value));
    EXPECT_EQ(value, 1.0000001f);
    ASSERT_TRUE(ParseCsvFloat("1e-45", &value));
    EXPECT_GT(value, 0.0f);
}

// The rows of text, each as its fields joined by '|' with the line it ends on, or "error: ...".
std::vector<std::string> Rows(const std::string& text) {
    FILE* in = fmemopen(const_cast<char*>(text.data()), text.size(), "r");
    std::vector<std::string> rows;
    std::vector<std::string_view> fields;
    std::string error;
    CsvReader reader(in);
    long& line = reader.line;
    while (ReadCsvRow(&reader, &fields, &error)) {
        std::string row;
        for (std::size_t i = 0; i < fields.size(); ++i) {
            row += (i == 0 ? "" : "|") + std::string(fields[i]);
        }
        rows.push_back(row + " @" + std::to_string(line));
    }
    if (!error.empty()) {
        rows.push_back("error: " + error + " @" + std::to_string(line));
    }
    fclose(in);
    return rows;
}

TEST(CsvCellsTest, RowsSplitAtCommasOutsideQuotes) {
    using Rows_ = std::vector<std::string>;
    EXPECT_EQ(Rows("a,b\r\n1,2"), (Rows_{"a|b @1", "1|2 @2"}));
    EXPECT_EQ(Rows("\"x,\"\"y\"\"\",2\n"), (Rows_{"x,\"y\"|2 @1"}));
    EXPECT_EQ(Rows("\"two\nlines\",1\nnext\n"), (Rows_{"two\nlines|1 @2", "next @3"}));
    EXPECT_EQ(Rows(",\n\n"), (Rows_{"| @1", " @2"}));
    EXPECT_EQ(Rows("a\rb,\"q\"\r\n"), (Rows_{"a\rb|q @1"}));
    EXPECT_EQ(Rows("1,\"open\n"), (Rows_{"error: field 2 opens a quote that is not closed @1"}));
    EXPECT_EQ(Rows("\"a\"b\n"), (Rows_{"error: text follows the closing quote of field 1 @1"}));
    EXPECT_EQ(Rows("1,a\"b\n"),
              (Rows_{"error: field 2 holds a quote but does not start with one @1"}));
    EXPECT_EQ(Rows(""), Rows_{});
}

}  // namespace

// Rows, also of several lines, go on across the reads of the input, and a row is at most
// kCsvMaxRow bytes with its line end, whatever the input.
TEST(CsvCellsTest, RowsAcrossReadsAndTheLongestRow) {
    std::string text;
    for (int i = 0; i < 20000; ++i) {
        text += std::to_string(i) + ",\"a\r\n\"\"b\"\r\n";
    }
    const std::vector<std::string> rows = Rows(text);
    ASSERT_EQ(rows.size(), 20000u);
    for (int i = 0; i < 20000; i += 997) {
        EXPECT_EQ(rows[std::size_t(i)],
                  std::to_string(i) + "|a\r\n\"b @" + std::to_string(2 * i + 2));
    }
    const std::string longest(kCsvMaxRow - 1, 'x');
    EXPECT_EQ(Rows(longest + "\n" + longest).size(), 2u);
    const std::string tooLong = "error: the row is longer than 65536 bytes @1";
    EXPECT_EQ(Rows("x" + longest + "\n"), std::vector<std::string>{tooLong});
    EXPECT_EQ(Rows("\"" + longest + longest), std::vector<std::string>{tooLong});
}
