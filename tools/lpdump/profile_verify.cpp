#include "profile_verify.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "lpfile/lp_codec.h"
#include "lpfile/lp_dirs.h"
#include "lpfile/lp_file.h"
#include "record_time.h"

namespace {

std::string Time(uint32_t seconds) {
    return std::to_string(seconds) + " (" + FormatLpTime(seconds, true) + ")";
}

std::string Counters(int64_t a, int64_t b, int64_t c, int64_t d) {
    return std::to_string(a) + " " + std::to_string(b) + " " + std::to_string(c) + " " +
           std::to_string(d);
}

}  // namespace

bool LpReplay::Advance(int64_t perFile) {
    ++totalRecCnt;
    if (++fileRecCnt >= perFile) {
        fileRecCnt = 0;
        ++currentDay;
        ++dayCnt;
        return true;
    }
    if (currentDay == 0) {
        currentDay = 1;
        return true;
    }
    return false;
}

int64_t RecordsPerFile(const DayFileRecord& record) {
    const uint32_t minutes = LpRecordSeconds(record) / 60;
    if (record.kind == 2) {
        return 1;
    }
    return minutes == 0 ? INT64_MAX : 1440 / minutes + 4;
}

std::string MisplacedRecordText(const LpReplay& replay, bool starts, int64_t day, std::size_t i,
                                const DayFileRecord& record) {
    if (replay.currentDay == day && starts == (i == 0)) {
        return "";
    }
    const std::string name = "record " + std::to_string(record.number);
    const std::string every =
        " (its run starts a day file every " + Count(RecordsPerFile(record), "record") + ")";
    if (starts) {
        return name + " should start day file " + std::to_string(replay.currentDay) + every;
    }
    if (i == 0) {
        return name + " starts this day file, but should continue day file " +
               std::to_string(replay.currentDay) + every;
    }
    return name + " belongs in day file " + std::to_string(replay.currentDay);
}

bool ProfileCheck::IsDiscrepancy(const Finding& finding) const {
    return strict || finding.kind != FindingKind::kTimeBreak;
}

int ProfileCheck::Discrepancies() const {
    return static_cast<int>(std::count_if(findings.begin(), findings.end(),
                                          [this](const Finding& f) { return IsDiscrepancy(f); }));
}

int ProfileCheck::TimeBreaks() const {
    return static_cast<int>(std::count_if(findings.begin(), findings.end(), [](const Finding& f) {
        return f.kind == FindingKind::kTimeBreak;
    }));
}

ProfileCheck VerifyLpProfile(int lp, int channels, const LpCounters& counters, bool strict) {
    ProfileCheck check;
    check.strict = strict;
    auto report = [&check](const std::string& where, const std::string& text, bool /*counts*/,
                           bool timeBreak = false) {
        check.findings.push_back(
            {where, text, timeBreak ? FindingKind::kTimeBreak : FindingKind::kFault});
    };
    const int64_t current = counters.currentDay;
    const uint32_t counted = static_cast<uint32_t>(counters.totalRecCnt);
    const std::size_t recordSize = LpRecordSize(channels);

    std::vector<int32_t> days;
    std::vector<std::string> stray;
    if (!ListDayFiles(LpDirectory(lp), &days, &stray) && errno != ENOENT) {
        check.readError = std::string(LpDirectory(lp)) + ": " + strerror(errno);
        return check;
    }

    LpReplay replay;
    uint32_t nextNumber = 1;
    // After a day file that is missing or not a file, the next record's number and start are
    // taken as they are, and where the records belong is no longer known.
    bool numberKnown = true;
    bool placesKnown = true;
    bool havePrevious = false;
    uint32_t previousEnd = 0;
    int64_t expectedDay = 1;
    std::string bytes, error;
    char path[kMaxLpPathSize];
    std::vector<int64_t> beyond;  // listed day files above currentDay
    days.push_back(static_cast<int32_t>(
        std::min<int64_t>(std::max<int64_t>(current, 0) + 1, INT32_MAX)));  // ends the last gap
    for (std::size_t k = 0; k < days.size(); ++k) {
        const int64_t day = days[k];
        if (day > expectedDay && expectedDay <= current) {
            const int64_t last = std::min(day - 1, current);
            FormatLpFilePath(path, lp, static_cast<int>(expectedDay));
            report(path,
                   (last == expectedDay ? std::string("day file is")
                                        : "day files " + std::to_string(expectedDay) + " to " +
                                              std::to_string(last) + " are") +
                       " missing, but currentDay is " + std::to_string(current),
                   true);
            numberKnown = placesKnown = havePrevious = false;
        }
        expectedDay = day + 1;
        if (day > current) {
            if (k + 1 < days.size()) {
                beyond.push_back(day);
            }
            continue;
        }
        FormatLpFilePath(path, lp, static_cast<int>(day));
        const ReadResult read = ReadDayFileBytes(path, &bytes, &error);
        if (read == ReadResult::kUnreadable) {
            check.readError = std::string(path) + ": " + error;
            return check;
        }
        if (read == ReadResult::kNotDayFile) {
            report(path, error, true);
            numberKnown = placesKnown = havePrevious = false;
            continue;
        }
        ++check.files;
        const uint8_t* data = reinterpret_cast<const uint8_t*>(bytes.data());
        for (const Finding& fault : CheckLpHeader(data, bytes.size(), lp, path)) {
            check.findings.push_back(fault);
        }
        const std::size_t whole =
            bytes.size() < kLpHeaderSize ? 0 : (bytes.size() - kLpHeaderSize) / recordSize;
        if (whole == 0 && day < current) {
            // Records are missing here: what follows cannot be placed against them.
            numberKnown = placesKnown = havePrevious = false;
        }
        if (bytes.size() < kLpHeaderSize) {
            continue;
        }
        const std::size_t partial = (bytes.size() - kLpHeaderSize) % recordSize;
        bool placed = placesKnown;  // false once a record of this file was found out of place
        for (std::size_t i = 0; i < whole; ++i) {
            const std::size_t offset = kLpHeaderSize + i * recordSize;
            const DayFileRecord record = DecodeLpRecord(data + offset, channels);
            const std::string name = "record " + std::to_string(record.number);
            ++check.records;
            if (numberKnown && record.number != nextNumber) {
                report(At(path, offset),
                       "record number " + std::to_string(record.number) + ", expected " +
                           std::to_string(nextNumber),
                       true);
            }
            numberKnown = true;
            nextNumber = record.number + 1;
            if (havePrevious && record.start != previousEnd) {
                report(At(path, offset),
                       name + " starts at " + Time(record.start) +
                           ", but the record before it ended at " + Time(previousEnd),
                       strict, true);
            }
            havePrevious = true;
            previousEnd = record.end;
            if (LpRecordSeconds(record) == 0 || LpRecordSeconds(record) % 60 != 0) {
                report(At(path, offset),
                       name + " lasts " + std::to_string(LpRecordSeconds(record)) +
                           " seconds, not a whole number of minutes",
                       true);
            }
            if (record.kind != 1 && record.kind != 2) {
                report(At(path, offset),
                       name + " has kind " + std::to_string(record.kind) + ", not 1 or 2", true);
            }
            // A run killed between writing a record and storing its count leaves it at the end
            // of the current day file; the next run removes it.
            if (day == current && i + 1 == whole && partial == 0 && record.number == counted + 1) {
                report(At(path, offset),
                       name + " is not counted in the store (totalRecCnt " +
                           std::to_string(counters.totalRecCnt) +
                           "); the next run of profill on this profile removes it",
                       true);
                break;
            }
            const bool starts = replay.Advance(RecordsPerFile(record));
            const std::string misplaced = MisplacedRecordText(replay, starts, day, i, record);
            if (placed && !misplaced.empty()) {
                placed = false;
                report(At(path, offset), misplaced, true);
            }
        }
        if (partial != 0) {
            report(At(path, bytes.size() - partial), PartialRecordText(partial, channels), true);
        }
        if (day < current && whole == 0) {
            report(path, "holds no record, but is not the current day file", true);
        }
    }

    const LpCounters& c = counters;
    if (replay.currentDay != c.currentDay || replay.fileRecCnt != c.fileRecCnt ||
        replay.totalRecCnt != c.totalRecCnt || replay.dayCnt != c.dayCnt) {
        report(
            "store",
            "currentDay fileRecCnt totalRecCnt dayCnt are " +
                Counters(c.currentDay, c.fileRecCnt, c.totalRecCnt, c.dayCnt) +
                ", but the records in the day files give " +
                Counters(replay.currentDay, replay.fileRecCnt, replay.totalRecCnt, replay.dayCnt),
            true);
    }

    const std::string bound = current > 0
                                  ? "is not one of day files 1 to " + std::to_string(current) +
                                        " that currentDay " + std::to_string(current) + " counts"
                                  : "is not counted: currentDay is " + std::to_string(current);
    for (const int64_t day : beyond) {
        FormatLpFilePath(path, lp, static_cast<int>(day));
        // A run killed after creating the day file that its next record starts, and before
        // storing that record, leaves currentDay + 1 empty or holding that record: one whose run
        // starts a day file at the stored count.
        std::string text = bound;
        if (day == current + 1 &&
            ReadDayFileBytes(path, &bytes, &error, kLpHeaderSize + recordSize) ==
                ReadResult::kRead) {
            const uint8_t* data = reinterpret_cast<const uint8_t*>(bytes.data());
            const bool headed = bytes.size() >= kLpHeaderSize + kLpFixedSize &&
                                CheckLpHeader(data, kLpHeaderSize, lp, path).empty();
            const DayFileRecord record =
                headed ? DecodeLpRecord(data + kLpHeaderSize, 0) : DayFileRecord{};
            if (bytes.empty() ||
                (headed && record.number == counted + 1 &&
                 (current == 0 || RecordsPerFile(record) <= counters.fileRecCnt + int64_t{1}))) {
                text = bound + "; it was started by " +
                       (headed ? "record " + std::to_string(record.number) + ", which"
                               : std::string("a record that")) +
                       " the store does not count, and the run of profill that next starts day "
                       "file " +
                       std::to_string(day) + " writes it afresh";
            }
        }
        report(path, text, true);
    }
    for (const std::string& name : stray) {
        report(LpDirectory(lp) + name, bound, true);
    }
    return check;
}
