#include "load_table.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iterator>
#include <map>
#include <new>

#include "csv_cells.h"
#include "lpstate/lp_state.h"

namespace {

constexpr int kNone = -1;

// Where each column lpload reads stands in the header, kNone when it is not there.
struct Columns {
    std::size_t count = 0;
    int record = kNone, start = kNone, end = kNone, kind = kNone, profile = kNone;
    bool isoStart = false, isoEnd = false;  // read from start_utc, end_utc
    int flags[kMaxChannels], values[kMaxChannels];
};

// "flags_3" gives 3 (1 to 16) for the prefix "flags_"; 0 for anything else.
int ChannelOf(const std::string& name, const char* prefix) {
    const std::size_t length = strlen(prefix);
    const std::string digits = name.substr(std::min(length, name.size()));
    if (name.compare(0, length, prefix) != 0 || digits.empty() || digits.size() > 2 ||
        digits[0] == '0' || digits.find_first_not_of("0123456789") != std::string::npos) {
        return 0;
    }
    const int k = std::stoi(digits);
    return k <= kMaxChannels ? k : 0;
}

// The header row into *columns; "" or what is wrong with it.
std::string ReadHeader(const std::vector<std::string_view>& names, const LoadTarget& target,
                       Columns* columns) {
    std::fill(columns->flags, columns->flags + kMaxChannels, kNone);
    std::fill(columns->values, columns->values + kMaxChannels, kNone);
    columns->count = names.size();
    std::map<std::string, int> at;
    for (std::size_t i = 0; i < names.size(); ++i) {
        const std::string name(CsvTrimmed(names[i]));
        static const char* const kKnown[] = {"file",      "profile",   "record",  "start",
                                             "end",       "start_utc", "end_utc", "start_local",
                                             "end_local", "kind"};
        const bool known =
            std::find(std::begin(kKnown), std::end(kKnown), name) != std::end(kKnown);
        if (!known && ChannelOf(name, "flags_") == 0 && ChannelOf(name, "value_") == 0) {
            return "column \"" + ShownCell(name) +
                   "\" is none that lpload reads (record, start, end, kind, flags_K, value_K) or "
                   "that lpdump --csv writes";
        }
        if (!at.emplace(name, static_cast<int>(i)).second) {
            return "column \"" + ShownCell(name) + "\" comes twice";
        }
    }
    auto find = [&at](const std::string& name) {
        const auto found = at.find(name);
        return found == at.end() ? kNone : found->second;
    };
    columns->record = find("record");
    columns->kind = find("kind");
    columns->profile = find("profile");
    columns->start = find("start");
    columns->isoStart = columns->start == kNone && find("start_utc") != kNone;
    columns->start = columns->isoStart ? find("start_utc") : columns->start;
    columns->end = find("end");
    columns->isoEnd = columns->end == kNone && find("end_utc") != kNone;
    columns->end = columns->isoEnd ? find("end_utc") : columns->end;
    for (int k = 1; k <= kMaxChannels; ++k) {
        columns->flags[k - 1] = find("flags_" + std::to_string(k));
        columns->values[k - 1] = find("value_" + std::to_string(k));
    }
    if (columns->record == kNone && !target.renumber) {
        return "no column record (--renumber numbers the rows without one)";
    }
    const std::pair<int, const char*> needed[] = {{columns->start, "start (or start_utc)"},
                                                  {columns->end, "end (or end_utc)"},
                                                  {columns->kind, "kind"}};
    for (const auto& [column, name] : needed) {
        if (column == kNone) {
            return std::string("no column ") + name;
        }
    }
    for (int k = 1; k <= target.channels; ++k) {
        if (columns->flags[k - 1] == kNone || columns->values[k - 1] == kNone) {
            return "no column " +
                   std::string(columns->flags[k - 1] == kNone ? "flags_" : "value_") +
                   std::to_string(k) + ", but LP " + std::to_string(target.lp + 1) + " has " +
                   Count(target.channels, "channel");
        }
    }
    return "";
}

std::string NotA(const std::string& column, std::string_view text, const char* what) {
    return column + " is \"" + ShownCell(text) + "\", not " + what;
}

// The flags and values of the profile's channels into *record; the cells of channels beyond
// them must be empty. "" or what is wrong with them.
std::string ReadChannelCells(const std::vector<std::string_view>& cells, const Columns& columns,
                             const LoadTarget& target, DayFileRecord* record) {
    record->channels = target.channels;
    for (int k = 1; k <= kMaxChannels; ++k) {
        const int columnOf[] = {columns.flags[k - 1], columns.values[k - 1]};
        for (int v = 0; v < 2; ++v) {
            const std::string_view text = columnOf[v] == kNone ? "" : cells[size_t(columnOf[v])];
            const bool beyond = k > target.channels;
            if (beyond   ? text.find_first_not_of(" \t") == std::string::npos
                : v == 0 ? ParseCsvFlags(text, &record->flags[k - 1])
                         : ParseCsvFloat(text, &record->values[k - 1])) {
                continue;
            }
            const std::string name = (v == 0 ? "flags_" : "value_") + std::to_string(k);
            if (beyond) {
                return name + " is \"" + ShownCell(text) + "\", but LP " +
                       std::to_string(target.lp + 1) + " has " + Count(target.channels, "channel");
            }
            return NotA(name, text,
                        v == 0 ? "a hexadecimal word from 0 to ffff"
                               : "a decimal number that fits a single-precision float");
        }
    }
    return "";
}

// The cells of one row into *record; "" or what is wrong with them.
std::string ReadCells(const std::vector<std::string_view>& cells, const Columns& columns,
                      const LoadTarget& target, DayFileRecord* record) {
    if (cells.size() != columns.count) {
        return "the row has " + Count(static_cast<long long>(cells.size()), "field") +
               ", the header " + std::to_string(columns.count);
    }
    const std::string_view profileCell =
        columns.profile == kNone ? "" : cells[size_t(columns.profile)];
    if (profileCell.find_first_not_of(" \t") != std::string::npos) {
        uint32_t profile = 0;
        if (!ParseCsvU32(profileCell, &profile) || (profile != 1 && profile != 2)) {
            return NotA("profile", profileCell, "1 or 2");
        }
        if (profile != uint32_t(target.lp + 1)) {
            return "profile is " + std::to_string(profile) + ", but this loads LP " +
                   std::to_string(target.lp + 1) +
                   (target.lp == 0 ? " (-2 loads LP 2)" : " (without -2, LP 1 is loaded)");
        }
    }
    const char* const kWhole = "a whole number from 0 to 4294967295";
    const char* const kUtc = "a UTC time such as 2026-12-06T07:15:00Z";
    struct Number {
        int column;
        bool iso;
        const char* name;
        uint32_t* value;
    };
    const Number numbers[] = {{columns.record, false, "record", &record->number},
                              {columns.start, columns.isoStart, "start", &record->start},
                              {columns.end, columns.isoEnd, "end", &record->end},
                              {columns.kind, false, "kind", &record->kind}};
    for (const Number& number : numbers) {
        if (number.column == kNone || (target.renumber && number.value == &record->number)) {
            continue;
        }
        const std::string_view text = cells[size_t(number.column)];
        if (!(number.iso ? ParseCsvUtcTime(text, number.value) : ParseCsvU32(text, number.value))) {
            return NotA(std::string(number.name) + (number.iso ? "_utc" : ""), text,
                        number.iso ? kUtc : kWhole);
        }
    }
    return ReadChannelCells(cells, columns, target, record);
}

// What a run could not write as record number next of target; "" when it could.
std::string RunFault(const DayFileRecord& record, uint32_t next, const LoadTarget& target) {
    const std::string fault = RecordFault(record, next);
    if (record.number != next) {
        return fault + " (LP " + std::to_string(target.lp + 1) + " counts " +
               Count(target.totalRecCnt, "record") + "; --renumber numbers the rows on from there)";
    }
    const uint32_t minutes = LpRecordSeconds(record) / 60;
    const bool kindFits =
        record.kind != 2 || minutes == 1440 || minutes == 10080 || minutes == 43800;
    if (fault.empty() && minutes <= kMaxIntervalMinutes && kindFits) {
        return "";
    }
    const std::string name = "record " + std::to_string(record.number);
    // An end past 2^32 seconds wraps, as a run's does; any other end before the start is a fault.
    const bool wrapsBadly =
        record.end < record.start && (!fault.empty() || minutes > uint32_t{kMaxIntervalMinutes});
    if (wrapsBadly) {
        return name + " ends at " + std::to_string(record.end) + ", before it starts at " +
               std::to_string(record.start);
    }
    if (!fault.empty()) {
        return fault;
    }
    if (minutes > kMaxIntervalMinutes) {
        return name + " lasts " + Count(minutes, "minute") +
               ", more than a run's interval can be (" + std::to_string(kMaxIntervalMinutes) + ")";
    }
    if (!kindFits) {
        return name + " has kind 2, which only records of 1440, 10080 or 43800 minutes have, but " +
               "lasts " + Count(minutes, "minute");
    }
    return "";
}

void Say(const std::string& name, long line, const std::string& what) {
    fprintf(stderr, "lpload: %s:%ld: %s\n", name.c_str(), line, what.c_str());
}

}  // namespace

DayFileRecord LoadTable::Record(long i) const {
    return DecodeLpRecord(bytes.data() + static_cast<std::size_t>(i) * LpRecordSize(channels),
                          channels);
}

LP_RECORD WrittenRecord(const DayFileRecord& record) {
    LP_RECORD written = {record.number, record.start, record.end, record.kind, {}, {}};
    std::copy(record.flags, record.flags + record.channels, written.valueFlags);
    std::copy(record.values, record.values + record.channels, written.channelValues);
    return written;
}

// The row's record, numbered next, into the table; "" or what is wrong with it.
std::string AddRow(const std::vector<std::string_view>& cells, const Columns& columns,
                   const LoadTarget& target, uint32_t next, LoadTable* table) {
    DayFileRecord record = {};
    record.number = next;
    std::string error = ReadCells(cells, columns, target, &record);
    error = error.empty() ? RunFault(record, next, target) : error;
    if (error.empty() && int64_t{target.totalRecCnt} + table->count >= INT32_MAX) {
        error = "record " + std::to_string(next) + " would count more records than " +
                std::to_string(INT32_MAX);
    }
    if (!error.empty()) {
        return error;
    }
    const std::size_t size = LpRecordSize(target.channels);
    try {
        table->bytes.resize(table->bytes.size() + size);
    } catch (const std::bad_alloc&) {
        return "the records up to here do not fit in memory; load the table in parts";
    }
    EncodeLpRecord(WrittenRecord(record), target.channels,
                   table->bytes.data() + table->bytes.size() - size);
    ++table->count;
    return "";
}

bool ReadLoadTable(FILE* in, const std::string& name, const LoadTarget& target, LoadTable* table) {
    table->channels = target.channels;
    std::vector<std::string_view> cells;
    std::string error;
    Columns columns;
    bool header = false;
    uint32_t next = static_cast<uint32_t>(target.totalRecCnt) + 1u;
    long row = 1;  // the line the row starts on
    CsvReader reader(in);
    for (; ReadCsvRow(&reader, &cells, &error); row = reader.line + 1) {
        // An empty line, or a row of empty cells as spreadsheets end a table with.
        if (std::all_of(cells.begin(), cells.end(),
                        [](std::string_view cell) { return CsvTrimmed(cell).empty(); })) {
            continue;
        }
        if (!header) {
            header = true;
            error = ReadHeader(cells, target, &columns);
        } else {
            error = AddRow(cells, columns, target, next++, table);
        }
        if (!error.empty()) {
            Say(name, row, error);
            return false;
        }
    }
    if (!error.empty() || ferror(in)) {
        Say(name, row, error.empty() ? std::string("cannot be read: ") + strerror(errno) : error);
        return false;
    }
    if (table->count == 0) {
        Say(name, std::max(reader.line, 1L),
            header ? "no record follows the header row" : "no header row");
        return false;
    }
    return true;
}
