#include "profile_verify.h"

#include <dirent.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "day_file_reader.h"
#include "lpfile/lp_dirs.h"

namespace {

std::string At(const std::string& path, std::size_t offset) {
    return path + " offset " + std::to_string(offset);
}

std::string Records(long count) {
    return std::to_string(count) + (count == 1 ? " record" : " records");
}

std::string Time(uint32_t seconds) {
    return std::to_string(seconds) + " (" + FormatLpTime(seconds, true) + ")";
}

// The day files in dir: the numbers of "<n>.lp" for n in 1 .. last, ascending, and the names
// of the other files that look like day files. False with errno set when dir cannot be listed.
bool ListDayFiles(const char* dir, long last, std::vector<long>* days,
                  std::vector<std::string>* stray) {
    DIR* listing = opendir(dir);
    if (listing == nullptr) {
        return false;
    }
    while (const dirent* entry = readdir(listing)) {
        const std::string name = entry->d_name;
        if (name.size() < 4 || name.compare(name.size() - 3, 3, ".lp") != 0 ||
            name.find_first_not_of("0123456789") != name.size() - 3) {
            continue;
        }
        const std::string digits = name.substr(0, name.size() - 3);
        const long number = digits.size() <= 9 ? std::stol(digits) : -1;
        if (number >= 1 && number <= last && std::to_string(number) == digits) {
            days->push_back(number);
        } else {
            stray->push_back(name);
        }
    }
    closedir(listing);
    std::sort(days->begin(), days->end());
    std::sort(stray->begin(), stray->end());
    return true;
}

// Walks the records of the day files in order, keeping what runs across files.
struct RecordWalk {
    uint32_t nextNumber = 1;
    bool numberKnown = true;  // false after a missing file: the next number is taken as it is
    bool havePrevious = false;
    uint32_t previousEnd = 0;
};

}  // namespace

int ProfileCheck::Discrepancies() const {
    int count = 0;
    for (const Finding& finding : findings) {
        count += finding.discrepancy ? 1 : 0;
    }
    return count;
}

ProfileCheck VerifyLpProfile(int lp, int channels, const LpCounters& counters, bool restarts) {
    ProfileCheck check;
    auto report = [&check](const std::string& where, const std::string& text, bool counts) {
        check.findings.push_back({where, text, counts});
    };
    const int32_t current = counters.currentDay;
    const int32_t fileRecs = counters.fileRecCnt;
    const int32_t total = counters.totalRecCnt;
    const int32_t days = counters.dayCnt;

    const char* names[] = {"currentDay", "fileRecCnt", "totalRecCnt", "dayCnt", "daysDeleted"};
    const int32_t values[] = {current, fileRecs, total, days, counters.daysDeleted};
    for (int i = 0; i < 5; ++i) {
        if (values[i] < 0) {
            report("store",
                   std::string(names[i]) + " is " + std::to_string(values[i]) + ", below 0", true);
        }
    }
    if (current == 0 && (fileRecs != 0 || total != 0 || days != 0)) {
        report("store",
               "currentDay is 0 (no day file), but fileRecCnt, totalRecCnt and dayCnt are " +
                   std::to_string(fileRecs) + ", " + std::to_string(total) + " and " +
                   std::to_string(days) + ", not 0",
               true);
    } else if (current > 0 && days != current - 1 && days != current) {
        report("store",
               "dayCnt is " + std::to_string(days) + ", but currentDay " + std::to_string(current) +
                   " means " + std::to_string(current - 1) + " or " + std::to_string(current) +
                   " day files started",
               true);
    }

    const std::size_t recordSize = LpRecordSize(channels);
    const uint32_t counted = static_cast<uint32_t>(total);
    RecordWalk walk;
    long countedRecords = 0;
    std::string bytes;
    std::vector<long> present;
    std::vector<std::string> stray;
    if (!ListDayFiles(LpDirectory(lp), current, &present, &stray) && errno != ENOENT) {
        check.readError = std::string(LpDirectory(lp)) + ": " + strerror(errno);
        return check;
    }
    present.push_back(static_cast<long>(current) + 1);  // ends the last gap
    char path[kMaxLpPathSize];
    long expectedDay = 1;
    for (const long listed : present) {
        if (listed > expectedDay) {
            FormatLpFilePath(path, lp, static_cast<int>(expectedDay));
            const std::string which = listed - 1 == expectedDay
                                          ? "day file is"
                                          : "day files " + std::to_string(expectedDay) + " to " +
                                                std::to_string(listed - 1) + " are";
            report(path, which + " missing, but currentDay is " + std::to_string(current), true);
            walk.numberKnown = false;
            walk.havePrevious = false;
        }
        expectedDay = listed + 1;
        if (listed > current) {
            break;
        }
        const int day = static_cast<int>(listed);
        FormatLpFilePath(path, lp, day);
        std::string error;
        if (!ReadWholeFile(path, &bytes, &error)) {
            check.readError = std::string(path) + ": " + error;
            return check;
        }
        ++check.files;
        const uint8_t* data = reinterpret_cast<const uint8_t*>(bytes.data());
        for (const HeaderFault& fault : CheckLpHeader(data, bytes.size(), lp)) {
            report(At(path, fault.offset), fault.text, true);
        }
        if (bytes.size() < kLpHeaderSize) {
            continue;
        }
        const std::size_t whole = (bytes.size() - kLpHeaderSize) / recordSize;
        long fileRecords = 0;
        for (std::size_t i = 0; i < whole; ++i) {
            const std::size_t offset = kLpHeaderSize + i * recordSize;
            const DayFileRecord record = DecodeLpRecord(data + offset, channels);
            ++check.records;
            if (walk.numberKnown && record.number != walk.nextNumber) {
                report(At(path, offset),
                       "record number " + std::to_string(record.number) + ", expected " +
                           std::to_string(walk.nextNumber),
                       true);
            }
            walk.numberKnown = true;
            walk.nextNumber = record.number + 1;
            if (walk.havePrevious && record.start != walk.previousEnd) {
                report(At(path, offset),
                       "record " + std::to_string(record.number) + " starts at " +
                           Time(record.start) + ", but the record before it ended at " +
                           Time(walk.previousEnd),
                       !restarts);
            }
            if (record.end <= record.start) {
                report(At(path, offset),
                       "record " + std::to_string(record.number) + " ends at " + Time(record.end) +
                           ", not after its start " + Time(record.start),
                       true);
            }
            if (record.kind != 1 && record.kind != 2) {
                report(At(path, offset),
                       "record " + std::to_string(record.number) + " has kind " +
                           std::to_string(record.kind) + ", not 1 or 2",
                       true);
            }
            walk.havePrevious = true;
            walk.previousEnd = record.end;
            // A run stopped between writing a record and storing its count leaves it at the
            // end of the current day file; the next run removes it.
            if (day == current && i + 1 == whole && record.number == counted + 1u &&
                whole * recordSize + kLpHeaderSize == bytes.size()) {
                report(At(path, offset),
                       "record " + std::to_string(record.number) +
                           " is not counted in the store (totalRecCnt " + std::to_string(total) +
                           "); the next run of profill on this profile removes it",
                       true);
                continue;
            }
            ++fileRecords;
        }
        const std::size_t partial = (bytes.size() - kLpHeaderSize) % recordSize;
        if (partial != 0) {
            report(At(path, bytes.size() - partial),
                   std::to_string(partial) + " bytes after the last whole record (records of " +
                       std::to_string(BoundedChannels(channels)) + " channels are " +
                       std::to_string(recordSize) + " bytes)",
                   true);
        }
        countedRecords += fileRecords;
        if (day < current && fileRecords == 0) {
            report(path, "holds no record, but is not the current day file", true);
        }
        if (day == current) {
            const long expected = (current == 1 && days == 0) ? fileRecs : fileRecs + 1L;
            if (fileRecords != expected) {
                report(path,
                       "holds " + Records(fileRecords) + ", but fileRecCnt " +
                           std::to_string(fileRecs) + " means " + std::to_string(expected),
                       true);
            }
        }
    }
    if (countedRecords != total) {
        report("store",
               "totalRecCnt is " + std::to_string(total) + ", but the day files hold " +
                   Records(countedRecords),
               true);
    }
    for (const std::string& name : stray) {
        report(LpDirectory(lp) + name,
               "is not one of day files 1 to " + std::to_string(current) + " that currentDay " +
                   std::to_string(current) + " counts",
               true);
    }
    return check;
}
