// Checks a load profile's day files against the file information that the store keeps for it.
//
// The day files are read in order and the bookkeeping is replayed over their records as the
// generation run of profill advances it, from the zeros of a cleared start: every record adds 1
// to totalRecCnt and fileRecCnt; when fileRecCnt reaches the records per file of the run that
// wrote the record, the record starts a new day file (fileRecCnt 0, currentDay and dayCnt + 1);
// the first record of a profile starts day file 1. A record says which run wrote it: kind 2 (a
// daily, weekly or monthly interval) gives one record per file, kind 1 with an interval of m
// minutes 1440 / m + 4. So the replay knows, for every record, the day file it belongs in and
// whether it starts it, also over runs of different intervals. Checked:
//   - day files 1 .. currentDay exist and no other "<n>.lp"; each is a regular file that starts
//     with its profile's header and holds whole records only;
//   - each record is in the day file the replay puts it in, and starts it exactly when the
//     replay says so; after the last record the replay gives the stored currentDay,
//     fileRecCnt, totalRecCnt and dayCnt;
//   - record numbers run 1, 2, ...; each interval starts where the previous one ended, is a
//     whole number of minutes long, and has kind 1 or 2.
// What a run killed between writing a record and storing its count leaves (the record at the
// end of the current day file, or a day file currentDay + 1 started by it) is named as such.
// daysDeleted is not checked: profill never deletes day files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "lpfile/lp_codec.h"
#include "lpfile/lp_placement.h"

// The five counters of the file information, as the store holds them.
using LpCounters = LP_FILE_INFO;

struct ProfileCheck {
    std::vector<Finding> findings;
    bool strict = false;  // a break in time is a discrepancy, not a note
    int files = 0;        // day files read
    long records = 0;     // whole records in them
    int Discrepancies() const;
    int TimeBreaks() const;
    bool IsDiscrepancy(const Finding& finding) const;
};

// The bookkeeping of a generation run, advanced record by record from a cleared start.
struct LpReplay {
    int64_t currentDay = 0;
    int64_t fileRecCnt = 0;
    int64_t totalRecCnt = 0;
    int64_t dayCnt = 0;

    // Advances by record, the i-th of day file `day`, and says why it is not where the replay
    // puts it; "" when it is.
    std::string Place(const DayFileRecord& record, int64_t day, long i);
    std::string Text() const;  // "currentDay fileRecCnt totalRecCnt dayCnt"
};

// "day file is missing", "day files 3 to 5 are missing".
std::string MissingDaysText(int64_t first, int64_t last);

// Checks the day files of a profile, read fully and without a read error, against counters. An
// interval that does not start where the previous one ended is a note, since every later run of
// profill that continues a profile starts its span afresh before the present moment; strict makes
// it a discrepancy.
ProfileCheck VerifyLpProfile(const LpPlacement& placement, const LpCounters& counters, bool strict);

// "the day files hold records of 16 channels (112 bytes), not of the 3 channels (34 bytes) of
// NumChannels in the store", for a placement whose otherChannels is set.
std::string OtherChannelsText(const LpPlacement& placement);
