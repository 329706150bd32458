// In-memory state of the two load profiles: configuration read from the CDS, the channel table
// and the file bookkeeping of the day files.
#pragma once

#include <cstdint>

constexpr int kLpCount = 2;
constexpr int kMaxChannels = 16;
constexpr int kFileInfoListSize = 30;
// The longest interval whose seconds still fit in the run's 32-bit interval.
constexpr int32_t kMaxIntervalMinutes = INT32_MAX / 60;

// What a run can generate from the CDS: a record has room for kMaxChannels channels (the reader
// cuts a larger count to it), and an interval taken from the CDS must be at least a minute and
// fit in 32-bit seconds.
constexpr bool IsLpChannelCountUsable(int32_t channels) {
    return channels >= 1 && channels <= kMaxChannels;
}
constexpr bool IsLpIntervalUsable(int32_t minutes) {
    return minutes >= 1 && minutes <= kMaxIntervalMinutes;
}

// Bit of each LP in an lpMask, by LP index: LP 1 is 1, LP 2 is 2.
extern const int g_lpBitTable[kLpCount];

struct LP_CHANNEL {
    int16_t type;
    int16_t quantity;
    int16_t phase;
    int16_t direction;
    int16_t records;
    double kmValue;
    int16_t unComp;
    uint16_t spare;
};

// The first five fields are kept in the CDS between runs, in this order.
struct LP_FILE_INFO {
    int32_t currentDay;   // number of the day file being filled; 0: none started
    int32_t fileRecCnt;   // records in the current day file
    int32_t totalRecCnt;  // records in all day files; also the number of the last record
    int32_t dayCnt;       // day files started
    int32_t daysDeleted;  // only read, stored and zeroed here
    int32_t spare;
    int32_t listA[kFileInfoListSize];
    int32_t listB[kFileInfoListSize];
};

struct LP_STATE {
    uint32_t headWord;  // never set or read
    int32_t intLength;  // minutes
    int32_t numChannels;
    int16_t extIntSync;
    int16_t frzMark;
    int16_t dataSetting1;
    int16_t dataSetting2;
    LP_CHANNEL channels[kMaxChannels];  // entry i is channel i + 1
    LP_FILE_INFO fileInfo;
};

// Index 0 is LP 1, index 1 is LP 2. Zero at start; read and written directly.
extern LP_STATE g_lP[kLpCount];

// Clears the records of the LPs selected by lpMask (configuration, all 16 channel entries and
// the whole file information; headWord is left alone) and leaves the others as they are.
void ClearLpStructs(int lpMask);
