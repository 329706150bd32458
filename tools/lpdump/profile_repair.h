// Bringing a load profile's bookkeeping in line with its day files, which are the truth.
//
// The records are placed with the replay of the check (profile_verify.h). A whole record that
// the replay places is never touched, also one that a killed run wrote but never counted. What a
// killed run leaves beyond its records is removed: the partial record at the end of the last day
// file that holds records (and bytes that are no whole record at the end of any day file whose
// next file goes on with the next record), and every later day file, which then holds no whole
// record (empty, a partial header, a header, a header and part of a record). The counters the
// replay gives are then stored.
//
// What cannot be placed is left alone: a name profill never gives a day file ("0.lp",
// "007.lp"), what is no regular file (a FIFO, a symbolic link), a header that is no header of the
// profile's day files, records of another channel count than the store's. A break in the
// sequence (a missing day file, a record number, kind or interval that does not follow, a record
// in the wrong day file, a partial record before a day file that does not go on with the next
// record, a day file without records before a day file with records) is what losing the end of one
// day file and keeping the next leaves; it is repaired only when asked, by keeping the records
// before it and removing everything from it on.
//
// The changes are ordered so that a repair stopped after any of them leaves day files that a
// second repair places the same way: later day files are removed before earlier ones, files
// are changed before the counters are stored.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "profile_verify.h"

struct RepairChange {
    std::string path;
    bool remove;    // remove the file; otherwise cut it to size bytes
    uint64_t size;  // the bytes kept
    std::string why;
};

struct RepairPlan {
    std::vector<Finding> faults;        // kBreak: a break in the sequence, which the plan cuts
    std::vector<RepairChange> changes;  // in the order they are to be made
    LpReplay counters;                  // what the records kept give
    long records = 0;                   // whole records kept
    long lost = 0;                      // whole records from the break on
    std::string readError;              // why the day files could not be read; empty when they were
    bool Placeable() const;             // no fault but a break
    bool Broken() const;
};

// Plans the repair of a profile's day files, read fully.
RepairPlan PlanLpRepair(const LpPlacement& placement);
