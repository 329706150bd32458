// What a profile's day files hold, read once for every reader: profill's check before a run
// skims each file (its header and the first and last record), lpdump reads every byte. The
// listing of the directory decides what is read, so the cost follows the files that exist and
// never the numbers the bookkeeping holds.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "lpfile/lp_codec.h"

struct PlacedDayFile {
    int32_t day = 0;
    std::string path;
    const char* notRegular = nullptr;  // what it is when it is not to be read ("a FIFO")
    int readErrno = 0;                 // why it could not be read; 0 when it was
    uint64_t size = 0;
    int channels = 0;      // of the records it is read as
    bool header = false;   // it starts with the 32 header bytes of the profile's day files
    long whole = 0;        // whole records of `channels` channels after the header
    uint64_t partial = 0;  // bytes after the last whole record
    // Number and kind of the record after the header, when its 16 fixed bytes are there.
    uint32_t first = 0;
    uint32_t firstKind = 0;
    uint32_t last = 0;  // number of its last whole record
    // Bit n: the records read as whole records of n channels, numbered from first without a gap;
    // the last of them then holds the number lastAt[n].
    uint32_t runsAt = 0;
    uint32_t lastAt[kMaxChannels + 1] = {};
    std::string bytes;  // every byte of the file when it was read fully, else its first 48

    bool Readable() const { return notRegular == nullptr && readErrno == 0; }
    // Its whole records are numbered first, first + 1, ... with nothing after the last.
    bool Runs() const { return whole > 0 && partial == 0 && last - first == uint32_t(whole - 1); }
    // Where record i starts; its bytes and the record they hold, when the file was read fully.
    uint64_t Offset(long i) const { return kLpHeaderSize + uint64_t(i) * LpRecordSize(channels); }
    const uint8_t* Record(long i) const {
        return reinterpret_cast<const uint8_t*>(bytes.data()) + Offset(i);
    }
    DayFileRecord Decoded(long i) const { return DecodeLpRecord(Record(i), channels); }
};

struct LpPlacement {
    int lp = 0;
    int channels = 0;                  // the profile's, bounded to 0..16
    std::vector<PlacedDayFile> files;  // the day files named as profill names them, ascending
    std::vector<std::string> stray;    // other names ending in .lp ("0.lp", "007.lp")
    int listErrno = 0;                 // why the directory could not be listed; 0 when it was
    int otherChannels = -1;            // the channel count the records run on with, when not ours

    // "DIR: why" when the directory could not be listed, else "PATH: why" for the first day file
    // that could not be read; "" when all could be.
    std::string ReadError() const;
    // The listed day file numbered day, or nullptr.
    const PlacedDayFile* Find(int32_t day) const;
    // Whether the day files up to currentDay are what a -c stopped in its removal leaves: the
    // shell removes them in the order of their names (1.lp, 10.lp, 11.lp, 2.lp, ...), so those
    // left are the last names of that order, and 1.lp is gone.
    bool ClearStopped(int32_t currentDay) const;
};

// "is a FIFO, not a regular file": what a file whose notRegular is set is.
std::string NotRegularText(const PlacedDayFile& file);

// Looks at the file at path, not following a link unless followLink, and not opening what is no
// regular file (opening a FIFO would wait for a writer); lp and channels as for PlaceLpFiles.
PlacedDayFile PlaceDayFile(const std::string& path, int lp, int channels, bool full,
                           bool followLink);

// Reads the day files of LP index lp, whose records hold `channels` channels: only the header,
// the first record and the last record numbers of each, or every byte when full.
LpPlacement PlaceLpFiles(int lp, int channels, bool full);

// A channel count other than file.channels at which file holds whole records numbered on from
// first without a gap, its last numbered last or last + 1 (any last when last is -1); -1 when
// there is none.
int OtherChannelsOf(const PlacedDayFile& file, uint32_t first, int64_t last);
