#include "csv_cells.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string_view>

namespace {

bool Blank(char c) {
    return c == ' ' || c == '\t';
}

// Whether text is only digits (at least one) and their value fits below limit.
bool ParseDigits(std::string_view text, int base, uint64_t limit, uint64_t* value) {
    *value = 0;
    for (const char c : text) {
        const int digit = c >= '0' && c <= '9'                 ? c - '0'
                          : base == 16 && c >= 'a' && c <= 'f' ? c - 'a' + 10
                          : base == 16 && c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                               : -1;
        if (digit < 0) {
            return false;
        }
        *value = *value * static_cast<uint64_t>(base) + static_cast<uint64_t>(digit);
        if (*value > limit) {
            return false;
        }
    }
    return !text.empty();
}

// A field of exactly width digits at text[at], from 0 to limit.
bool Field(const std::string& text, std::size_t at, std::size_t width, int64_t limit,
           int64_t* value) {
    uint64_t digits = 0;
    if (at + width > text.size() ||
        !ParseDigits(std::string_view(text).substr(at, width), 10, 99999, &digits)) {
        return false;
    }
    *value = static_cast<int64_t>(digits);
    return *value <= limit;
}

// Days from 1970-01-01 to the date, in the proleptic Gregorian calendar.
int64_t DaysFromCivil(int64_t year, int64_t month, int64_t day) {
    year -= month <= 2 ? 1 : 0;
    const int64_t era = year / 400;
    const int64_t yearOfEra = year - era * 400;
    const int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

int64_t DaysInMonth(int64_t year, int64_t month) {
    const bool leap = year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
    return month == 2                                                ? (leap ? 29 : 28)
           : (month == 4 || month == 6 || month == 9 || month == 11) ? 30
                                                                     : 31;
}

// The quotes in text.
std::size_t Quotes(const char* text, std::size_t size) {
    std::size_t count = 0;
    for (const char* at = text;
         (at = static_cast<const char*>(memchr(at, '"', size - std::size_t(at - text)))) != nullptr;
         ++at) {
        ++count;
    }
    return count;
}

// The field in quotes that starts at text[at] (its opening quote), to its closing quote; *after
// is the place after that. Doubled quotes make one, in a string of the reader's. False when the
// text ends first.
bool Quoted(CsvReader* reader, std::string_view text, std::size_t at, std::string_view* field,
            std::size_t* after) {
    std::size_t close = text.find('"', at + 1);
    if (close == std::string_view::npos) {
        return false;
    }
    if (close + 1 >= text.size() || text[close + 1] != '"') {
        *field = text.substr(at + 1, close - at - 1);
        *after = close + 1;
        return true;
    }
    std::string& unquoted = reader->unquoted.emplace_back();
    for (at = at + 1; close != std::string_view::npos; close = text.find('"', at)) {
        unquoted.append(text.substr(at, close - at));
        if (close + 1 >= text.size() || text[close + 1] != '"') {
            *field = unquoted;
            *after = close + 1;
            return true;
        }
        unquoted.push_back('"');
        at = close + 2;
    }
    return false;
}

// Reads into the reader's buffer until it holds a whole row: up to a line end outside quotes (the
// quotes before it even in number), or the rest of the input. *size is the row's bytes with its
// line end; false with *size 0 at the end of the input, or above kCsvMaxRow when the row is.
bool FindRow(CsvReader* reader, std::size_t* size) {
    std::size_t scanned = 0;  // of the bytes from begin, those whose quotes are counted
    std::size_t quotes = 0;
    for (;;) {
        const char* row = reader->buffer.data() + reader->begin;
        const std::size_t held = reader->end - reader->begin;
        const void* found = nullptr;
        while ((found = memchr(row + scanned, '\n', held - scanned)) != nullptr) {
            const std::size_t lineEnd = std::size_t(static_cast<const char*>(found) - row) + 1;
            quotes += Quotes(row + scanned, lineEnd - scanned);
            scanned = lineEnd;
            if (quotes % 2 == 0 || scanned > kCsvMaxRow) {
                *size = scanned;
                return scanned <= kCsvMaxRow;
            }
        }
        if (held > kCsvMaxRow) {
            *size = held;
            return false;
        }
        // The rest is moved to the front of the buffer, and more read after it.
        std::copy(reader->buffer.begin() + std::ptrdiff_t(reader->begin),
                  reader->buffer.begin() + std::ptrdiff_t(reader->end), reader->buffer.begin());
        reader->begin = 0;
        reader->end = held;
        const std::size_t read = fread(reader->buffer.data() + reader->end, 1,
                                       reader->buffer.size() - reader->end, reader->in);
        reader->end += read;
        if (read == 0) {
            *size = held;
            return held > 0;
        }
    }
}

// Splits row, the text of a row without its line end, into fields.
bool Split(CsvReader* reader, std::string_view row, std::vector<std::string_view>* fields,
           std::string* error) {
    fields->clear();
    for (std::size_t at = 0;;) {
        const auto number = [fields] { return std::to_string(fields->size() + 1); };
        std::string_view field;
        if (at < row.size() && row[at] == '"') {
            if (!Quoted(reader, row, at, &field, &at)) {
                *error = "field " + number() + " opens a quote that is not closed";
                return false;
            }
            if (at < row.size() && row[at] != ',') {
                *error = "text follows the closing quote of field " + number();
                return false;
            }
        } else {
            const std::size_t comma = std::min(row.find(',', at), row.size());
            field = row.substr(at, comma - at);
            if (field.find('"') != std::string_view::npos) {
                *error = "field " + number() + " holds a quote but does not start with one";
                return false;
            }
            at = comma;
        }
        fields->push_back(field);
        if (at >= row.size()) {
            return true;
        }
        ++at;  // the comma
    }
}

}  // namespace

bool ReadCsvRow(CsvReader* reader, std::vector<std::string_view>* fields, std::string* error) {
    reader->unquoted.clear();
    fields->clear();
    std::size_t size = 0;
    if (!FindRow(reader, &size)) {
        if (size != 0) {
            ++reader->line;
            *error = "the row is longer than " + std::to_string(kCsvMaxRow) + " bytes";
        }
        return false;
    }
    std::string_view row(reader->buffer.data() + reader->begin, size);
    reader->begin += size;
    // Spreadsheets may start the table with a byte-order mark.
    if (reader->line == 0 && row.substr(0, 3) == "\xEF\xBB\xBF") {
        row.remove_prefix(3);
    }
    const bool ended = row.back() == '\n';
    reader->line += 1 + std::count(row.begin(), row.end(), '\n') - (ended ? 1 : 0);
    if (ended) {
        row.remove_suffix(row.size() >= 2 && row[row.size() - 2] == '\r' ? 2 : 1);
    }
    return Split(reader, row, fields, error);
}

bool ParseCsvU32(std::string_view text, uint32_t* value) {
    uint64_t digits = 0;
    const bool parsed = ParseDigits(CsvTrimmed(text), 10, UINT32_MAX, &digits);
    *value = static_cast<uint32_t>(digits);
    return parsed;
}

bool ParseCsvFlags(std::string_view text, uint16_t* value) {
    std::string_view hex = CsvTrimmed(text);
    if (hex.size() > 2 && hex[0] == '0' && (hex[1] == 'x' || hex[1] == 'X')) {
        hex.remove_prefix(2);
    }
    uint64_t digits = 0;
    const bool parsed = ParseDigits(hex, 16, UINT16_MAX, &digits);
    *value = static_cast<uint16_t>(digits);
    return parsed;
}

bool ParseCsvFloat(std::string_view text, float* value) {
    // A whole number up to 2^24, the usual cell, is a float exactly, as strtof would read it.
    uint64_t whole = 0;
    if (ParseDigits(CsvTrimmed(text), 10, uint64_t{1} << 24, &whole)) {
        *value = static_cast<float>(whole);
        return true;
    }
    const std::string number(CsvTrimmed(text));
    // strtof also reads hexadecimal, "inf" and "nan", which no decimal number is.
    const auto decimal = [](char c) {
        return (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.' || c == 'e' || c == 'E';
    };
    if (number.empty() || !std::all_of(number.begin(), number.end(), decimal)) {
        return false;
    }
    char* end = nullptr;
    errno = 0;
    *value = strtof(number.c_str(), &end);
    // A value too small for a normal float is still read, to the nearest one there is.
    return *end == '\0' && std::isfinite(*value);
}

bool ParseCsvUtcTime(std::string_view text, uint32_t* seconds) {
    const std::string time(CsvTrimmed(text));
    if (!time.empty() && time[0] == '@') {
        return ParseCsvU32(time.substr(1), seconds);
    }
    int64_t year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    if (time.size() < 20 || time[4] != '-' || time[7] != '-' || time[10] != 'T' ||
        time[13] != ':' || time[16] != ':' || !Field(time, 0, 4, 9999, &year) ||
        !Field(time, 5, 2, 12, &month) || !Field(time, 8, 2, 31, &day) ||
        !Field(time, 11, 2, 23, &hour) || !Field(time, 14, 2, 59, &minute) ||
        !Field(time, 17, 2, 59, &second) || month == 0 || day == 0 ||
        day > DaysInMonth(year, month)) {
        return false;
    }
    int64_t offset = 0;
    const std::string zone = time.substr(19);
    if (zone != "Z") {
        int64_t hours = 0, minutes = 0;
        const std::size_t colon = zone.size() == 6 && zone[3] == ':' ? 1 : 0;
        if ((zone[0] != '+' && zone[0] != '-') || zone.size() != 5 + colon ||
            !Field(zone, 1, 2, 23, &hours) || !Field(zone, 3 + colon, 2, 59, &minutes)) {
            return false;
        }
        offset = (zone[0] == '+' ? 1 : -1) * (hours * 3600 + minutes * 60);
    }
    const int64_t total =
        DaysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second - offset;
    *seconds = static_cast<uint32_t>(total);
    return total >= 0 && total <= int64_t{UINT32_MAX};
}

std::string_view CsvTrimmed(std::string_view text) {
    std::size_t first = 0, end = text.size();
    while (first < end && Blank(text[first])) {
        ++first;
    }
    while (end > first && Blank(text[end - 1])) {
        --end;
    }
    return text.substr(first, end - first);
}

std::string ShownCell(std::string_view text) {
    std::string shown(text.substr(0, 40));
    for (char& c : shown) {
        c = isprint(static_cast<unsigned char>(c)) ? c : '?';
    }
    return text.size() > 40 ? shown + "..." : shown;
}
