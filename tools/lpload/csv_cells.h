// The rows and cells of a CSV table as lpload reads them: what lpdump --csv writes, and what
// spreadsheets and scripts write in its place.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

// The longest row read: far more than lpdump writes for 16 channels and a long path, and little
// enough to hold on the device whatever the input.
constexpr std::size_t kCsvMaxRow = 64 * 1024;

// A CSV table being read: its stream, what was read of it and not yet taken, and how many lines
// were taken.
struct CsvReader {
    explicit CsvReader(FILE* stream) : in(stream), buffer(2 * kCsvMaxRow) {}
    FILE* in;
    long line = 0;
    std::vector<char> buffer;
    std::size_t begin = 0;  // the bytes not yet taken: buffer[begin, end)
    std::size_t end = 0;
    std::deque<std::string> unquoted;  // the row's quoted fields that hold doubled quotes
};

// Reads one row: fields split at commas, where a field in quotes may hold commas, line ends and
// doubled quotes; a line ends with "\n" or "\r\n", the last one also without. The fields are
// valid until the next call; reader->line is left at the row's last line. Returns false at the
// end of the input (or on a read error, which ferror tells), or with *error set when a quote is
// not closed, text follows a closing quote, a field that does not start with one holds one, or
// the row is longer than kCsvMaxRow. A byte-order mark at the start of the input is skipped.
bool ReadCsvRow(CsvReader* reader, std::vector<std::string_view>* fields, std::string* error);

// Cells, with blanks around them allowed. Each returns false when the text is not one.
// A decimal whole number from 0 to 4294967295.
bool ParseCsvU32(std::string_view text, uint32_t* value);
// A hexadecimal word from 0 to ffff, with or without "0x".
bool ParseCsvFlags(std::string_view text, uint16_t* value);
// A decimal number, read to the nearest single-precision float; not infinite, not NaN.
bool ParseCsvFloat(std::string_view text, float* value);
// A UTC time as lpdump writes it ("2026-12-06T07:15:00Z", or "@seconds" where lpdump's host could
// not write the date), or with an offset ("+01:00"), from 1970 to 2106.
bool ParseCsvUtcTime(std::string_view text, uint32_t* seconds);

// text without the blanks (spaces, tabs) around it.
std::string_view CsvTrimmed(std::string_view text);

// text as a message shows it: at most 40 characters, anything unprintable as '?'.
std::string ShownCell(std::string_view text);
