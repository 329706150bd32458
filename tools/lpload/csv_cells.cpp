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

// text without the blanks around it; a view into text.
std::string_view Trimmed(const std::string& text) {
    std::size_t first = 0, end = text.size();
    while (first < end && Blank(text[first])) {
        ++first;
    }
    while (end > first && Blank(text[end - 1])) {
        --end;
    }
    return std::string_view(text).substr(first, end - first);
}

// Whether text is only digits (at least one) and their value fits below limit.
bool ParseDigits(std::string_view text, int base, uint64_t limit, uint64_t* value) {
    *value = 0;
    for (const char c : text) {
        const int digit = isdigit(static_cast<unsigned char>(c)) ? c - '0'
                          : base == 16 && isxdigit(static_cast<unsigned char>(c))
                              ? tolower(static_cast<unsigned char>(c)) - 'a' + 10
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

// Where the reader's line ends without its line end, "\n" or "\r\n".
std::size_t LineEnd(const CsvReader& reader) {
    std::size_t end = reader.size;
    end -= end > 0 && reader.buffer[end - 1] == '\n' ? 1 : 0;
    end -= end > 0 && end < reader.size && reader.buffer[end - 1] == '\r' ? 1 : 0;
    return end;
}

// The rest of a quoted field from text[at] of the reader's line, its doubled quotes made single,
// into *field, reading on over line ends inside it; *after is the place after its closing quote.
// False when the input ends first.
bool ReadQuoted(CsvReader* reader, std::size_t at, std::string* field, std::size_t* after) {
    for (;;) {
        const char* text = reader->buffer;
        const void* quote = memchr(text + at, '"', reader->size - at);
        if (quote == nullptr) {
            field->append(text + at, reader->size - at);
            if (reader->size == 0 || text[reader->size - 1] != '\n' || !reader->NextLine()) {
                return false;
            }
            ++reader->line;
            at = 0;
            continue;
        }
        const std::size_t stop = static_cast<std::size_t>(static_cast<const char*>(quote) - text);
        field->append(text + at, stop - at);
        if (stop + 1 < reader->size && text[stop + 1] == '"') {
            field->push_back('"');
            at = stop + 2;
            continue;
        }
        *after = stop + 1;
        return true;
    }
}

}  // namespace

CsvReader::~CsvReader() {
    free(buffer);
}

bool CsvReader::NextLine() {
    const ssize_t read = getline(&buffer, &capacity, in);
    size = read < 0 ? 0 : static_cast<std::size_t>(read);
    return read >= 0;
}

bool ReadCsvRow(CsvReader* reader, std::vector<std::string>* fields, std::string* error) {
    if (!reader->NextLine()) {
        fields->clear();
        return false;
    }
    ++reader->line;
    // The strings of the last row's fields are filled again, keeping what they hold allocated.
    std::size_t count = 0;
    for (std::size_t at = 0;;) {
        if (count == fields->size()) {
            fields->emplace_back();
        }
        std::string& field = (*fields)[count++];
        const char* text = reader->buffer;
        std::size_t end = LineEnd(*reader);
        if (at < end && text[at] == '"') {
            field.clear();
            if (!ReadQuoted(reader, at + 1, &field, &at)) {
                *error = "field " + std::to_string(count) + " opens a quote that is not closed";
                return false;
            }
            text = reader->buffer;
            end = LineEnd(*reader);
            if (at < end && text[at] != ',') {
                *error = "text follows the closing quote of field " + std::to_string(count);
                return false;
            }
        } else {
            const void* comma = memchr(text + at, ',', end - at);
            const std::size_t stop = comma ? static_cast<const char*>(comma) - text : end;
            field.assign(text + at, stop - at);
            at = stop;
        }
        if (at >= end) {
            fields->resize(count);
            return true;
        }
        ++at;  // the comma
    }
}

bool ParseCsvU32(const std::string& text, uint32_t* value) {
    uint64_t digits = 0;
    const bool parsed = ParseDigits(Trimmed(text), 10, UINT32_MAX, &digits);
    *value = static_cast<uint32_t>(digits);
    return parsed;
}

bool ParseCsvFlags(const std::string& text, uint16_t* value) {
    std::string_view hex = Trimmed(text);
    if (hex.size() > 2 && hex[0] == '0' && (hex[1] == 'x' || hex[1] == 'X')) {
        hex.remove_prefix(2);
    }
    uint64_t digits = 0;
    const bool parsed = ParseDigits(hex, 16, UINT16_MAX, &digits);
    *value = static_cast<uint16_t>(digits);
    return parsed;
}

bool ParseCsvFloat(const std::string& text, float* value) {
    // A whole number up to 2^24, the usual cell, is a float exactly, as strtof would read it.
    uint64_t whole = 0;
    if (ParseDigits(Trimmed(text), 10, uint64_t{1} << 24, &whole)) {
        *value = static_cast<float>(whole);
        return true;
    }
    const std::string number(Trimmed(text));
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

bool ParseCsvUtcTime(const std::string& text, uint32_t* seconds) {
    const std::string time(Trimmed(text));
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

std::string ShownCell(const std::string& text) {
    std::string shown = text.substr(0, 40);
    for (char& c : shown) {
        c = isprint(static_cast<unsigned char>(c)) ? c : '?';
    }
    return text.size() > 40 ? shown + "..." : shown;
}
