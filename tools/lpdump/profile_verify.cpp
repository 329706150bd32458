#include "profile_verify.h"

#include <algorithm>

#include "lpfile/lp_codec.h"
#include "lpfile/lp_dirs.h"
#include "lpfile/lp_file.h"
#include "record_time.h"

namespace {

std::string Time(uint32_t seconds) {
    return std::to_string(seconds) + " (" + FormatLpTime(seconds, true) + ")";
}

}  // namespace

std::string LpReplay::Place(const DayFileRecord& record, int64_t day, long i) {
    // A record that fills its day file starts the next one, and the first record starts day
    // file 1.
    bool starts = currentDay == 0;
    ++totalRecCnt;
    if (++fileRecCnt >= RecordsPerFile(record)) {
        fileRecCnt = 0;
        ++currentDay;
        ++dayCnt;
        starts = true;
    }
    currentDay = currentDay == 0 ? 1 : currentDay;
    if (currentDay == day && starts == (i == 0)) {
        return "";
    }
    const std::string name = "record " + std::to_string(record.number);
    const std::string every =
        " (its run starts a day file every " + Count(RecordsPerFile(record), "record") + ")";
    if (starts) {
        return name + " should start day file " + std::to_string(currentDay) + every;
    }
    if (i == 0) {
        return name + " starts this day file, but should continue day file " +
               std::to_string(currentDay) + every;
    }
    return name + " belongs in day file " + std::to_string(currentDay);
}

std::string LpReplay::Text() const {
    return std::to_string(currentDay) + " " + std::to_string(fileRecCnt) + " " +
           std::to_string(totalRecCnt) + " " + std::to_string(dayCnt);
}

std::string MissingDaysText(int64_t first, int64_t last) {
    return first == last ? "day file is missing"
                         : "day files " + std::to_string(first) + " to " + std::to_string(last) +
                               " are missing";
}

bool ProfileCheck::IsDiscrepancy(const Finding& finding) const {
    return strict || finding.kind != FindingKind::kTimeBreak;
}

int ProfileCheck::Discrepancies() const {
    return static_cast<int>(findings.size()) - (strict ? 0 : TimeBreaks());
}

int ProfileCheck::TimeBreaks() const {
    return static_cast<int>(std::count_if(findings.begin(), findings.end(), [](const Finding& f) {
        return f.kind == FindingKind::kTimeBreak;
    }));
}

std::string OtherChannelsText(const LpPlacement& placement) {
    const int other = placement.otherChannels;
    return "the day files hold records of " + std::to_string(other) + " channels (" +
           std::to_string(LpRecordSize(other)) + " bytes), not of the " +
           std::to_string(placement.channels) + " channels (" +
           std::to_string(LpRecordSize(placement.channels)) + " bytes) of NumChannels in the store";
}

namespace {

// What the walk over the records carries from one to the next. After a day file that is missing
// or not a file, the next record's number and start are taken as they are, and where the records
// belong is no longer known.
struct Walk {
    Walk(ProfileCheck& c, const LpCounters& counted) : check(c), counters(counted) {}
    ProfileCheck& check;
    const LpCounters& counters;
    LpReplay replay;
    uint32_t nextNumber = 1;
    bool numberKnown = true;
    bool placesKnown = true;
    bool havePrevious = false;
    uint32_t previousEnd = 0;

    void Report(const std::string& where, const std::string& text,
                FindingKind kind = FindingKind::kFault) {
        check.findings.push_back({where, text, kind});
    }
    void Lose() { numberKnown = placesKnown = havePrevious = false; }
};

// The checks of record i of file; false when it is the uncounted last record a killed run left.
bool CheckRecord(Walk& walk, const PlacedDayFile& file, long i, bool* placed) {
    const DayFileRecord record = file.Decoded(i);
    const std::string where = At(file.path, file.Offset(i));
    const std::string name = "record " + std::to_string(record.number);
    ++walk.check.records;
    const std::string fault =
        RecordFault(record, walk.numberKnown ? walk.nextNumber : record.number);
    if (!fault.empty()) {
        walk.Report(where, fault);
    }
    walk.numberKnown = true;
    walk.nextNumber = record.number + 1;
    if (walk.havePrevious && record.start != walk.previousEnd) {
        walk.Report(where,
                    name + " starts at " + Time(record.start) +
                        ", but the record before it ended at " + Time(walk.previousEnd),
                    FindingKind::kTimeBreak);
    }
    walk.havePrevious = true;
    walk.previousEnd = record.end;
    // A run killed between writing a record and storing its count leaves it at the end of the
    // current day file; the next run removes it.
    if (file.day == walk.counters.currentDay && i + 1 == file.whole && file.partial == 0 &&
        record.number == static_cast<uint32_t>(walk.counters.totalRecCnt) + 1u) {
        walk.Report(where, name + " is not counted in the store (totalRecCnt " +
                               std::to_string(walk.counters.totalRecCnt) +
                               "); the next run of profill on this profile removes it");
        return false;
    }
    const std::string misplaced = walk.replay.Place(record, file.day, i);
    if (*placed && !misplaced.empty()) {
        *placed = false;
        walk.Report(where, misplaced);
    }
    return true;
}

void CheckFile(Walk& walk, const LpPlacement& placement, const PlacedDayFile& file) {
    if (!file.Readable()) {
        walk.Report(file.path, NotRegularText(file));
        walk.Lose();
        return;
    }
    ++walk.check.files;
    const int lp = placement.lp;
    const std::vector<Finding> header = CheckLpHeader(
        reinterpret_cast<const uint8_t*>(file.bytes.data()), file.bytes.size(), lp, file.path);
    walk.check.findings.insert(walk.check.findings.end(), header.begin(), header.end());
    if (file.whole == 0 && file.day < walk.counters.currentDay) {
        walk.Lose();  // records are missing here: what follows cannot be placed against them
    }
    if (file.size < kLpHeaderSize) {
        return;
    }
    bool placed = walk.placesKnown;  // false once a record of this file was found out of place
    for (long i = 0; i < file.whole && CheckRecord(walk, file, i, &placed); ++i) {
    }
    if (file.partial != 0) {
        walk.Report(At(file.path, file.size - file.partial),
                    PartialRecordText(file.partial, placement.channels));
    }
    if (file.day < walk.counters.currentDay && file.whole == 0) {
        walk.Report(file.path, "holds no record, but is not the current day file");
    }
}

// Day files from expected up to before day that currentDay counts but the directory lacks.
void CheckGap(Walk& walk, int lp, int64_t expected, int64_t day) {
    const int64_t current = walk.counters.currentDay;
    if (day <= expected || expected > current) {
        return;
    }
    const int64_t last = std::min(day - 1, current);
    walk.Report(LpDayFilePath(lp, static_cast<int>(expected)),
                MissingDaysText(expected, last) + ", but currentDay is " + std::to_string(current));
    walk.Lose();
}

// A day file above currentDay: a run killed after creating the day file that its next record
// starts, and before storing that record, leaves currentDay + 1 empty or holding that record,
// one whose run starts a day file at the stored count.
std::string BeyondText(const PlacedDayFile& file, const LpCounters& counters,
                       const std::string& bound) {
    const int64_t current = counters.currentDay;
    if (int64_t{file.day} != current + 1 || !file.Readable()) {
        return bound;
    }
    const bool headed = file.size >= kLpHeaderSize + kLpFixedSize && file.header;
    const DayFileRecord record = headed ? DecodeLpRecord(file.Record(0), 0) : DayFileRecord{};
    if (file.size != 0 &&
        (!headed || record.number != static_cast<uint32_t>(counters.totalRecCnt) + 1u ||
         (current != 0 && RecordsPerFile(record) > counters.fileRecCnt + int64_t{1}))) {
        return bound;
    }
    return bound + "; it was started by " +
           (headed ? "record " + std::to_string(record.number) + ", which"
                   : std::string("a record that")) +
           " the store does not count, and the run of profill that next starts day file " +
           std::to_string(file.day) + " writes it afresh";
}

void CheckCounters(Walk& walk) {
    const LpCounters& c = walk.counters;
    const std::string stored = LpReplay{c.currentDay, c.fileRecCnt, c.totalRecCnt, c.dayCnt}.Text();
    if (stored != walk.replay.Text()) {
        walk.Report("store", "currentDay fileRecCnt totalRecCnt dayCnt are " + stored +
                                 ", but the records in the day files give " + walk.replay.Text());
    }
}

}  // namespace

ProfileCheck VerifyLpProfile(const LpPlacement& placement, const LpCounters& counters,
                             bool strict) {
    ProfileCheck check;
    check.strict = strict;
    const int lp = placement.lp;
    const std::string dir = LpDirectory(lp);
    Walk walk(check, counters);
    if (placement.otherChannels >= 0) {
        // Records read at the store's width would be bytes under other names.
        check.files = static_cast<int>(placement.files.size());
        walk.Report(dir, OtherChannelsText(placement));
        return check;
    }
    const int64_t current = counters.currentDay;
    int64_t expected = 1;
    std::vector<const PlacedDayFile*> beyond;  // listed day files above currentDay
    for (const PlacedDayFile& file : placement.files) {
        CheckGap(walk, lp, expected, file.day);
        expected = int64_t{file.day} + 1;
        if (file.day > current) {
            beyond.push_back(&file);
        } else {
            CheckFile(walk, placement, file);
        }
    }
    CheckGap(walk, lp, expected, std::max<int64_t>(current, 0) + 1);
    CheckCounters(walk);
    const std::string bound = current > 0
                                  ? "is not one of day files 1 to " + std::to_string(current) +
                                        " that currentDay " + std::to_string(current) + " counts"
                                  : "is not counted: currentDay is " + std::to_string(current);
    for (const PlacedDayFile* file : beyond) {
        walk.Report(file->path, BeyondText(*file, counters, bound));
    }
    for (const std::string& name : placement.stray) {
        walk.Report(dir + name, bound);
    }
    return check;
}
