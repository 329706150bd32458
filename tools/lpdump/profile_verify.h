// Checks a load profile's day files against the file information that the store keeps for it,
// as a generation run of profill leaves them from a cleared start:
//   - day files 1 .. currentDay exist and no other; each starts with its profile's header and
//     holds whole records only;
//   - record numbers run 1, 2, ... across the files, and the files hold totalRecCnt records;
//   - each interval starts where the previous one ended and ends after it starts; kind 1 or 2;
//   - dayCnt is currentDay - 1 (day file 1 was started by the first record) or currentDay (the
//     first record already filled a file of one record);
//   - the current day file holds fileRecCnt + 1 records (its first record reset fileRecCnt to
//     0), except day file 1 before any new file was started, which holds fileRecCnt.
// daysDeleted is not checked: profill never deletes day files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct LpCounters {
    int32_t currentDay;
    int32_t fileRecCnt;
    int32_t totalRecCnt;
    int32_t dayCnt;
    int32_t daysDeleted;
};

struct Finding {
    std::string where;  // "PATH offset N", "PATH" or "store"
    std::string text;
    bool discrepancy;  // false for a note that does not break the agreement
};

struct ProfileCheck {
    std::vector<Finding> findings;
    int files = 0;          // day files read
    long records = 0;       // whole records in them
    std::string readError;  // why the profile could not be read through; empty when it was
    int Discrepancies() const;
};

// Checks the day files of LP index lp (in LpDirectory(lp)) with `channels` channels against
// counters. With restarts, an interval that does not start where the previous one ended is a
// note, not a discrepancy: every later run of profill that continues a profile starts its span
// afresh before the present moment.
ProfileCheck VerifyLpProfile(int lp, int channels, const LpCounters& counters, bool restarts);
