// The day file in bytes: its header and records encoded and decoded, the numbering of a
// profile's day files and the records a day file is given.
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
#include <string>
#include <vector>

#include "lpfile/lp_words.h"
#include "lpstate/lp_state.h"

constexpr std::size_t kLpHeaderSize = 32;
constexpr std::size_t kLpFixedSize = 16;
constexpr std::size_t kLpMaxRecordSize = kLpFixedSize + 6 * kMaxChannels;

inline uint16_t GetBe16(const uint8_t* in) {
    return static_cast<uint16_t>((in[0] << 8) | in[1]);
}

inline uint32_t GetBe32(const uint8_t* in) {
    return (static_cast<uint32_t>(in[0]) << 24) | (static_cast<uint32_t>(in[1]) << 16) |
           (static_cast<uint32_t>(in[2]) << 8) | in[3];
}

inline void PutBe16(uint8_t* out, uint16_t value) {
    out[0] = static_cast<uint8_t>(value >> 8);
    out[1] = static_cast<uint8_t>(value);
}

inline void PutBe32(uint8_t* out, uint32_t value) {
    out[0] = static_cast<uint8_t>(value >> 24);
    out[1] = static_cast<uint8_t>(value >> 16);
    out[2] = static_cast<uint8_t>(value >> 8);
    out[3] = static_cast<uint8_t>(value);
}

// A record holds at most 16 channels: a count outside 0..16 is bounded to it.
int LpRecordChannels(int numChannels);
// The bytes of one record of a profile with numChannels channels (bounded as above).
std::size_t LpRecordSize(int numChannels);

// The records a day file is given at an interval of intervalMinutes (1 to 60, or the CDS's
// interval): a day's intervals and four more. A longer interval given on the command line gives
// one record per file, which the caller decides.
int32_t LpRecordsPerFile(int32_t intervalMinutes);

// One record in memory, as the writer fills it; only the first numChannels entries are used.
struct LP_RECORD {
    uint32_t recordNumber;
    uint32_t intervalStart;
    uint32_t intervalEnd;
    uint32_t recordKind;
    uint16_t valueFlags[kMaxChannels];
    float channelValues[kMaxChannels];
};

// One record as a reader decodes it from a day file.
struct DayFileRecord {
    uint32_t number;
    uint32_t start;
    uint32_t end;
    uint32_t kind;
    int channels;
    uint16_t flags[kMaxChannels];
    float values[kMaxChannels];
};

// A record's interval in seconds; its end may have wrapped past 2^32.
inline uint32_t LpRecordSeconds(const DayFileRecord& record) {
    return record.end - record.start;
}

// What in record is not what the record numbered next of a run holds: its number, a kind other
// than 1 or 2, or an interval that is no whole number of minutes; "" when nothing is.
std::string RecordFault(const DayFileRecord& record, uint32_t next);

// Records per day file of the run that wrote record: kind 2 (a daily, weekly or monthly interval
// given on the command line) gives one, kind 1 those of its interval.
int64_t RecordsPerFile(const DayFileRecord& record);

// The file bytes of a record of numChannels channels (bounded); out holds LpRecordSize of them.
void EncodeLpRecord(const LP_RECORD& record, int numChannels, uint8_t* out);
// Decodes the record at bytes, which holds LpRecordSize(channels) bytes.
DayFileRecord DecodeLpRecord(const uint8_t* bytes, int channels);

// The 32 header bytes of a day file of LP index lp into out.
void EncodeLpHeader(uint8_t* out, int lp);
// Whether the first bytes of a file are the text a header starts with ("ZOLV Load Prof"); a
// file shorter than that text must be a beginning of it. What fails this is no day file at all.
bool StartsAsDayFile(const uint8_t* bytes, std::size_t size);
// Why a file that StartsAsDayFile refuses is not a day file.
std::string NotDayFileText(const uint8_t* bytes, std::size_t size);
// The profile index (0 or 1) that a header names, or -1 when its digit is neither.
int LpOfHeader(const uint8_t* bytes, std::size_t size);
// The version word of a header of at least 20 bytes.
uint32_t LpHeaderVersion(const uint8_t* bytes);
// What in the first size bytes of the file at path is not a header, each at "PATH offset N";
// empty when they are one. With lp 0 or 1 the digit must be that profile's; with -1 either.
std::vector<Finding> CheckLpHeader(const uint8_t* bytes, std::size_t size, int lp,
                                   const std::string& path);

// What a file's bytes after its last whole record are called.
std::string PartialRecordText(uint64_t partial, int channels);

// The number of a day file's name as profill gives them ("12.lp"), 0 for any other name.
int32_t DayFileNumber(const char* name);

// The files in dir that look like day files: the numbers of those named as profill names them,
// ascending, and the names of the others ("0.lp", "007.lp"), sorted. False with errno set when
// dir cannot be listed, or not to its end.
bool ListDayFiles(const char* dir, std::vector<int32_t>* days, std::vector<std::string>* stray);

// Far more than any day file holds (1444 records of 16 channels are 161,760 bytes), and little
// enough to read whole on the device.
constexpr std::size_t kMaxDayFileSize = 16u << 20;
