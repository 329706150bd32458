// The table lpload appends to a profile, read whole and checked before anything is written: the
// columns lpdump --csv writes, found by name, and every row a record the profile's next run could
// write.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "lpfile/lp_codec.h"

// What the rows are checked against.
struct LoadTarget {
    int lp = 0;               // 0 or 1
    int channels = 1;         // the profile's channel count, 1 to 16
    int32_t totalRecCnt = 0;  // the first row is numbered one more
    bool renumber = false;    // number the rows on from totalRecCnt, whatever they say
};

// The records of the table, in the bytes of their day files.
struct LoadTable {
    int channels = 1;
    std::vector<uint8_t> bytes;
    long count = 0;
    DayFileRecord Record(long i) const;
};

// A record as the writer takes it.
LP_RECORD WrittenRecord(const DayFileRecord& record);

// Reads the table from in, which messages call name. False after saying on standard error
// "lpload: NAME:LINE: what is wrong" about the first fault.
bool ReadLoadTable(FILE* in, const std::string& name, const LoadTarget& target, LoadTable* table);
