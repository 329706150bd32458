// A load profile at a glance: what its day files hold, read as they are (the files are the
// truth, also where the bookkeeping counts other ones), and whether they agree with the
// bookkeeping, with what to do next when they do not.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "lpfile/lp_placement.h"
#include "profile_store.h"
#include "profile_verify.h"

// An interval that does not start where the one before it ended.
struct TimeBreak {
    std::string file;  // the day file's name ("3.lp")
    uint64_t offset;   // of the record in it
    uint32_t record;   // its number
    int64_t seconds;   // its start minus the previous end: a gap above 0, an overlap below
};

struct DayFileCount {
    int64_t day;
    long records;  // whole records after a day-file header; 0 for what holds none
};

// What the records of a placement (LpPlacement) add up to.
struct ProfileSummary {
    std::vector<DayFileCount> files;  // the numbered day files, ascending
    long records = 0;
    uint32_t firstStart = 0;             // the earliest start, when records > 0
    uint32_t lastEnd = 0;                // the latest end
    std::map<uint32_t, long> intervals;  // records by interval length in seconds
    std::vector<TimeBreak> breaks;
    long gaps = 0, overlaps = 0;                 // breaks forward and back in time
    int64_t gapSeconds = 0, overlapSeconds = 0;  // their lengths added up

    // The bookkeeping and the check against it, filled in by the caller.
    ProfileLeaves leaves = {};
    std::string writer;  // when a run is writing the profile: who, and nothing was checked
    int discrepancies = 0;
    int notes = 0;
    std::string next;  // what to do about the discrepancies
};

// Sums up the day files of a profile, read fully and without a read error.
ProfileSummary SummarizeLpProfile(const LpPlacement& placement);

// The summary of placement as one screen of text.
void PrintLpSummary(const LpPlacement& placement, const ProfileSummary& summary);
