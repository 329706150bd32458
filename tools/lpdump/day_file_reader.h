// Reading day files back: the header check and the record decoder of lpdump. The layout is the
// one lpfile/lp_file.h describes and WriteLpRecord writes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "lpfile/lp_file.h"

// One record as the file holds it, for a profile of `channels` channels.
struct DayFileRecord {
    uint32_t number;
    uint32_t start;
    uint32_t end;
    uint32_t kind;
    int channels;
    uint16_t flags[kMaxChannels];
    float values[kMaxChannels];
};

// A place in a file where it differs from a day file.
struct HeaderFault {
    std::size_t offset;
    std::string text;
};

// What in the first size bytes of a file (at most 32 are looked at) is not a day-file header;
// empty when they are one. With lp 0 or 1 the profile digit must be that profile's; with lp -1
// either digit is taken. A file shorter than a header gets one fault for its size.
std::vector<HeaderFault> CheckLpHeader(const uint8_t* bytes, std::size_t size, int lp);

// Whether the first bytes of a file are the text a day-file header starts with ("ZOLV Load
// Prof"); a file shorter than that text must be a beginning of it. What fails this is no day
// file at all, rather than a damaged one.
bool StartsAsDayFile(const uint8_t* bytes, std::size_t size);

// Why a file that StartsAsDayFile refuses is not a day file.
std::string NotDayFileText(const uint8_t* bytes, std::size_t size);

// The profile index (0 or 1) that a header names, or -1 when its digit is neither.
int LpOfHeader(const uint8_t* bytes, std::size_t size);

// The version word of a header of at least 20 bytes.
uint32_t LpHeaderVersion(const uint8_t* bytes);

// What a file's partial bytes after its last whole record are called, in dumps and checks.
std::string PartialRecordText(std::size_t partial, int channels);

// A record's interval in seconds; its end may have wrapped past 2^32.
inline uint32_t LpRecordSeconds(const DayFileRecord& record) {
    return record.end - record.start;
}

// Decodes the record at bytes, which holds LpRecordSize(channels) bytes.
DayFileRecord DecodeLpRecord(const uint8_t* bytes, int channels);

// Far more than any day file holds (1444 records of 16 channels are 161,760 bytes), and little
// enough to read whole on the device.
constexpr std::size_t kMaxDayFileSize = 16u << 20;

enum class ReadResult {
    kRead,        // the whole file is in bytes
    kNotDayFile,  // not a regular file, or larger than kMaxDayFileSize: not read
    kUnreadable,  // missing, or open or read failed
};

// Reads the day file at path into bytes, or only its first maxSize bytes: only a regular file
// up to kMaxDayFileSize is read (a FIFO or a device never blocks or floods the reader). Says why
// in *error otherwise; errno is left as the failing call set it for kUnreadable.
ReadResult ReadDayFileBytes(const std::string& path, std::string* bytes, std::string* error,
                            std::size_t maxSize = kMaxDayFileSize);

// The files in dir that look like day files: the numbers of those named "<n>.lp" as profill
// names them, ascending, and the names of the others ("0.lp", "007.lp", ...). False with errno
// set when dir cannot be listed, or not to its end.
bool ListDayFiles(const char* dir, std::vector<int64_t>* days, std::vector<std::string>* stray);

// seconds as "YYYY-MM-DD HH:MM:SS ZONE", in UTC or in local time (TZ); "@seconds" when this
// host's time_t cannot hold them.
std::string FormatLpTime(uint32_t seconds, bool utc);

// seconds in ISO 8601 with the offset, for programs that read what lpdump writes:
// "2026-12-06T07:15:00Z" in UTC, "2026-12-06T08:15:00+01:00" in local time (TZ); "@seconds" when
// this host's time_t cannot hold them.
std::string FormatLpIsoTime(uint32_t seconds, bool utc);
