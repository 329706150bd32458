// The check a generation run makes of a profile's day files against its file information
// before it writes anything, and the cut of what a killed run left uncounted.
//
// The run appends to the current day file with mode "a+" and starts new ones with mode "w", so
// it must never meet a current day file that the bookkeeping does not describe, nor a later day
// file holding a record, and must not append after a break in the records (an earlier day file
// that lost its end in a power cut). The check works on the placement skimmed from the
// directory's listing (lp_placement.h): each listed day file's type, size, header and the
// numbers of its first and last records, so its cost follows the files, not the counters.
#pragma once

#include <sys/types.h>

#include <string>

// Where a killed run left records it never counted: the current day file is cut back to its
// size in currentKeep (-1: nothing to cut), and the day file after it (day file 1 when none was
// started yet), which holds only such a record, is removed when removeNext is set.
struct LP_UNCOUNTED_CUTS {
    off_t currentKeep = -1;
    bool removeNext = false;
};

// profill's clear as the tool that speaks names it: "-c", or "profill -c" from another tool.
std::string LpClearOption();

// Checks the day files of LP index lp against its file information and channel count. On
// success, says in *cuts what a killed run left and returns true. Otherwise prints one "profill: "
// line naming the file, what it holds, what the CDS counts and the way out, and returns false.
bool CheckLpFilesForRun(int lp, LP_UNCOUNTED_CUTS* cuts);

// Cuts what CheckLpFilesForRun found, printing "profill: removed N bytes at the end of PATH that
// its file information does not count" for the current day file and "profill: removed PATH,
// which holds only a record that its file information does not count" for the next. Returns
// false when that failed.
bool CutUncountedLpBytes(int lp, const LP_UNCOUNTED_CUTS& cuts);
