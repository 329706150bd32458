// The binary day file of a load profile, and the filler and writer of its records.
//
// A day file "<LP directory><n>.lp" is a 32-byte header followed by packed records; every
// multi-byte field is big-endian whatever the host, floats are IEEE-754 single precision.
//
//   Header, 32 bytes
//     0  14  ASCII "ZOLV Load Prof"
//    14   1  0x00
//    15   1  ASCII digit of the profile, '1' or '2'
//    16   4  version, 1
//    20  12  zero
//
//   Record, 16 + 6n bytes for n channels (the header does not say n: it is the profile's
//   channel count, and a file holds (size - 32) / (16 + 6n) records)
//     0   4  recordNumber
//     4   4  intervalStart, seconds since the epoch
//     8   4  intervalEnd
//    12   4  recordKind
//    16  2n  valueFlags of channels 1..n
//  16+2n 4n  channelValues of channels 1..n
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "lpstate/lp_state.h"

constexpr std::size_t kLpHeaderSize = 32;
constexpr std::size_t kLpFixedSize = 16;
constexpr std::size_t kLpMaxRecordSize = kLpFixedSize + 6 * kMaxChannels;

struct LP_RECORD {
    uint32_t recordNumber;
    uint32_t intervalStart;
    uint32_t intervalEnd;
    uint32_t recordKind;
    uint16_t valueFlags[kMaxChannels];
    float channelValues[kMaxChannels];
};

// A record holds at most 16 channels: a count outside 0..16 is bounded to it.
int LpRecordChannels(int numChannels);
// The bytes of one record of a profile with numChannels channels (bounded as above).
std::size_t LpRecordSize(int numChannels);
// The 32 header bytes of a day file of LP lp into out.
void EncodeLpHeader(uint8_t* out, int lp);

// The path of day file fileNumber of LP lp into path, which holds kMaxLpPathSize bytes.
void FormatLpFilePath(char* path, int lp, int fileNumber);

// Fills the four fixed values (interval from g_lastIntervalTime and g_intervalSecs) and the
// first numChannels channel entries; entries beyond them are left as they were.
void FillLpRecord(LP_RECORD* record, int numChannels, unsigned long recordKind,
                  unsigned long recordNumber);

// Creates (or truncates) day file fileNumber of LP lp and writes its header. Returns 0 with the
// open stream in *file, or 2 when the file cannot be created (*file untouched).
// The stream buffers into the writer's one static buffer, so it must be closed before another day
// file is created or opened.
int CreateLpFile(FILE** file, int fileNumber, int lp);

// Writes one record into the current day file of LP lp, creating the file when the profile has
// none yet (currentDay 0 becomes 1) or when newFile is set. Returns 0 when the record is
// completely in the file, 2 (cannot create), 3 (cannot open for appending) or 4 (a piece or
// the close failed).
int WriteLpRecord(LP_RECORD* record, int lp, bool newFile);
