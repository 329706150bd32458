#include "lpfile/lp_start_check.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "lpfile/lp_dirs.h"
#include "lpfile/lp_file.h"
#include "lpstate/lp_state.h"

namespace {

// What a day file is, as far as the check needs to know.
struct DayFileShape {
    bool exists = false;
    bool regular = false;
    const char* kind = "";  // what a file that is not regular is
    off_t size = 0;
    bool header = false;  // starts with the profile's 32 header bytes
    int fd = -1;
};

const char* FileKind(mode_t mode) {
    if (S_ISLNK(mode)) {
        return "a symbolic link";
    }
    if (S_ISDIR(mode)) {
        return "a directory";
    }
    if (S_ISFIFO(mode)) {
        return "a FIFO";
    }
    if (S_ISCHR(mode) || S_ISBLK(mode)) {
        return "a device";
    }
    if (S_ISSOCK(mode)) {
        return "a socket";
    }
    return "not a regular file";
}

// Looks at path without following a link and without opening anything that is not a regular
// file (opening a FIFO would wait for a writer).
DayFileShape LookAt(const char* path, int lp) {
    DayFileShape shape;
    struct stat st = {};
    if (lstat(path, &st) != 0) {
        return shape;
    }
    shape.exists = true;
    if (!S_ISREG(st.st_mode)) {
        shape.kind = FileKind(st.st_mode);
        return shape;
    }
    shape.fd = open(path, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (shape.fd < 0 || fstat(shape.fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        shape.kind = "not a regular file";
        return shape;
    }
    shape.regular = true;
    shape.size = st.st_size;
    uint8_t expected[kLpHeaderSize];
    uint8_t found[kLpHeaderSize];
    EncodeLpHeader(expected, lp);
    shape.header = pread(shape.fd, found, sizeof found, 0) == static_cast<ssize_t>(sizeof found) &&
                   memcmp(found, expected, sizeof found) == 0;
    return shape;
}

void Release(DayFileShape& shape) {
    if (shape.fd >= 0) {
        close(shape.fd);
        shape.fd = -1;
    }
}

bool NumberAt(int fd, off_t offset, uint32_t* number) {
    uint8_t bytes[4];
    if (pread(fd, bytes, sizeof bytes, offset) != static_cast<ssize_t>(sizeof bytes)) {
        return false;
    }
    *number = GetBe32(bytes);
    return true;
}

// The records of a day file read with records of recordSize bytes.
struct Records {
    long whole = 0;
    off_t partial = 0;  // bytes after the last whole record
    uint32_t first = 0;
    uint32_t last = 0;
    bool read = false;  // first and last could be read
};

Records RecordsOf(const DayFileShape& shape, off_t recordSize) {
    Records records;
    const off_t body = shape.size - static_cast<off_t>(kLpHeaderSize);
    if (body <= 0) {
        records.read = true;
        return records;
    }
    records.whole = static_cast<long>(body / recordSize);
    records.partial = body % recordSize;
    const off_t header = static_cast<off_t>(kLpHeaderSize);
    records.read = records.whole == 0 ||
                   (NumberAt(shape.fd, header, &records.first) &&
                    NumberAt(shape.fd, header + (records.whole - 1) * recordSize, &records.last));
    return records;
}

// "40 records numbered 101 to 140 and 12 bytes of another"
std::string Describe(const Records& records) {
    std::string text;
    if (records.whole == 0) {
        text = "no whole record";
    } else if (records.whole == 1) {
        text = "1 record, numbered " + std::to_string(records.last);
    } else {
        text = Count(records.whole, "record") + " numbered " + std::to_string(records.first) +
               " to " + std::to_string(records.last);
    }
    if (records.partial != 0) {
        text += " and " + Count(static_cast<long>(records.partial), "byte") + " of another";
    }
    return text;
}

std::string WayOut(int lp) {
    return std::string("lpdump --repair") + (lp == 0 ? "" : " -2") +
           " brings the CDS in line with the files; -c starts the profile afresh";
}

// A channel count other than the profile's at which the file holds whole records numbered on
// from first without a gap, the last one numbered last or last + 1 (any last when anyLast); 0
// when there is none. A partial record can read as whole records of another width, but their
// numbers then do not run on.
int OtherChannelCount(const DayFileShape& shape, int channels, uint32_t first, uint32_t last,
                      bool anyLast) {
    const off_t body = shape.size - static_cast<off_t>(kLpHeaderSize);
    const off_t header = static_cast<off_t>(kLpHeaderSize);
    for (int n = 1; n <= kMaxChannels; ++n) {
        const off_t size = static_cast<off_t>(LpRecordSize(n));
        if (n == channels || body < size || body % size != 0) {
            continue;
        }
        const uint32_t whole = static_cast<uint32_t>(body / size);
        uint32_t firstThere = 0;
        uint32_t lastThere = 0;
        if (NumberAt(shape.fd, header, &firstThere) &&
            NumberAt(shape.fd, header + body - size, &lastThere) && firstThere == first &&
            lastThere - firstThere == whole - 1u &&
            (anyLast || lastThere == last || lastThere == last + 1u)) {
            return n;
        }
    }
    return 0;
}

void PrintOtherChannelCount(int lp, const char* path, bool current, int other, int channels) {
    printf(
        "profill: LP %d's %sday file %s holds records of %d channels, but the CDS's channel count "
        "is %d; set the channel count back, or -c starts the profile afresh\n",
        lp + 1, current ? "current " : "", path, other, channels);
}

// Whether the records of the current day file are the ones the counters describe: inFile of
// them, the last numbered totalRecCnt, with no gap.
bool FitsCounters(long whole, uint32_t first, uint32_t last, long inFile, uint32_t counted) {
    return whole >= 1 && whole == inFile && last == counted &&
           last - first == static_cast<uint32_t>(whole - 1);
}

// The kind of record 1 (the first of day file 1) tells whether it started its day file: kind 2
// (one record per file) does, so that file 1 counts in dayCnt; kind 1 does not, its file was
// started by the writer's own step from no day file to day file 1.
bool FirstRecordStartedItsFile(int fd) {
    uint8_t kind[4] = {};
    return pread(fd, kind, sizeof kind, static_cast<off_t>(kLpHeaderSize + 12)) ==
               static_cast<ssize_t>(sizeof kind) &&
           kind[0] == 0 && kind[1] == 0 && kind[2] == 0 && kind[3] == 2;
}

// A day file where the profile's records break off: what a power cut can leave when the end of
// one day file is lost and a later one kept its records.
void PrintBreak(int lp, const char* path, const std::string& holds) {
    printf(
        "profill: LP %d's day file %s %s, so the profile's records break off there; lpdump "
        "--repair%s --force keeps the records before the break; -c starts the profile afresh\n",
        lp + 1, path, holds.c_str(), lp == 0 ? "" : " -2");
}

// What holds a day file's records from number next on, or "" when it holds them from there in
// whole records, none missing.
std::string BreakIn(const DayFileShape& shape, const Records& records, uint32_t next, int lp) {
    if (!shape.exists) {
        return "is missing";
    }
    if (!shape.regular) {
        return std::string("is ") + shape.kind;
    }
    if (!shape.header) {
        return "does not start with LP " + std::to_string(lp + 1) + "'s day-file header";
    }
    if (!records.read) {
        return std::string("cannot be read (") + strerror(errno) + ")";
    }
    if (records.whole >= 1 && records.first != next) {
        return "holds " + Describe(records) + ", but record " + std::to_string(next) +
               " comes next";
    }
    if (records.whole == 0 || records.partial != 0 ||
        records.last - records.first != static_cast<uint32_t>(records.whole - 1)) {
        return "holds " + Describe(records);
    }
    return "";
}

// Whether a day file after number, up to the current one, holds a whole record.
bool RecordsFollow(int lp, int number, off_t recordSize) {
    char path[kMaxLpPathSize];
    for (int later = number + 1; later <= g_lP[lp].fileInfo.currentDay; ++later) {
        FormatLpFilePath(path, lp, later);
        struct stat st = {};
        if (lstat(path, &st) == 0 && S_ISREG(st.st_mode) &&
            st.st_size >= static_cast<off_t>(kLpHeaderSize) + recordSize) {
            return true;
        }
    }
    return false;
}

// The day files before the current one hold whole records numbered on from 1 without a gap, two
// record numbers read per file; *next receives the number the current day file starts with, and
// *firstStarted whether record 1 started day file 1.
bool CheckEarlierFiles(int lp, uint32_t* next, bool* firstStarted) {
    const LP_STATE& state = g_lP[lp];
    const off_t recordSize = static_cast<off_t>(LpRecordSize(state.numChannels));
    char path[kMaxLpPathSize];
    *next = 1;
    for (int number = 1; number < state.fileInfo.currentDay; ++number) {
        FormatLpFilePath(path, lp, number);
        DayFileShape shape = LookAt(path, lp);
        const Records records = shape.regular ? RecordsOf(shape, recordSize) : Records();
        const std::string holds = BreakIn(shape, records, *next, lp);
        if (number == 1 && holds.empty()) {
            *firstStarted = FirstRecordStartedItsFile(shape.fd);
        }
        const bool read = shape.regular && shape.header && records.read;
        const int other = !holds.empty() && read
                              ? OtherChannelCount(shape, state.numChannels, *next, 0, true)
                              : 0;
        Release(shape);
        if (other != 0) {
            PrintOtherChannelCount(lp, path, false, other, state.numChannels);
            return false;
        }
        // A day file missing or cut short with no record after it is bookkeeping ahead of the
        // files, which the check of the current day file names; only records after it break.
        const bool endLost =
            !shape.exists || (read && (records.whole == 0 || records.first == *next));
        if (!holds.empty() && endLost && !RecordsFollow(lp, number, recordSize)) {
            return true;
        }
        if (!holds.empty()) {
            PrintBreak(lp, path, holds);
            return false;
        }
        *next = records.last + 1u;
    }
    return true;
}

// The current day file d: what a run may append to, after cutting what a killed run left. Its
// records go on from record first; firstStarted says whether record 1 started day file 1 (when
// d is 1, this file tells).
bool CheckCurrentFile(int lp, const char* path, uint32_t first, bool firstStarted,
                      LP_UNCOUNTED_CUTS* cuts) {
    const LP_STATE& state = g_lP[lp];
    const LP_FILE_INFO& info = state.fileInfo;
    const uint32_t counted = static_cast<uint32_t>(info.totalRecCnt);
    const off_t recordSize = static_cast<off_t>(LpRecordSize(state.numChannels));
    const int n = lp + 1;
    const std::string counts = "records up to number " + std::to_string(counted) + " (fileRecCnt " +
                               std::to_string(info.fileRecCnt) + ", dayCnt " +
                               std::to_string(info.dayCnt) + ")";
    DayFileShape shape = LookAt(path, lp);
    std::string holds;
    std::string wayOut = WayOut(lp);
    if (!shape.exists) {
        holds = "is missing";
    } else if (!shape.regular) {
        holds = std::string("is ") + shape.kind;
        wayOut = std::string("remove it and run lpdump --repair") + (lp == 0 ? "" : " -2") +
                 ", or -c starts the profile afresh";
    } else if (!shape.header) {
        holds = "does not start with LP " + std::to_string(n) + "'s day-file header";
    } else {
        if (info.currentDay == 1) {
            firstStarted = FirstRecordStartedItsFile(shape.fd);
        }
        // Every day file after the first was started by a record, which set fileRecCnt back to
        // 0, and so was the first when record 1 started it; each started file counts in dayCnt.
        const long inFile =
            static_cast<long>(info.fileRecCnt) + ((info.currentDay > 1 || firstStarted) ? 1 : 0);
        const bool days = info.dayCnt == info.currentDay - (firstStarted ? 0 : 1);
        const Records records = RecordsOf(shape, recordSize);
        const off_t header = static_cast<off_t>(kLpHeaderSize);
        const bool fits = records.read && records.partial == 0 && days &&
                          FitsCounters(records.whole, records.first, records.last, inFile, counted);
        const int other =
            fits ? 0 : OtherChannelCount(shape, state.numChannels, first, counted, false);
        uint32_t before = 0;
        if (!records.read) {
            holds = std::string("cannot be read (") + strerror(errno) + ")";
        } else if (other != 0) {
            PrintOtherChannelCount(lp, path, true, other, state.numChannels);
            Release(shape);
            return false;
        } else if (records.whole >= 1 && records.first != first) {
            PrintBreak(lp, path, BreakIn(shape, records, first, lp));
            Release(shape);
            return false;
        } else if (days &&
                   FitsCounters(records.whole, records.first, records.last, inFile, counted)) {
            // The head of an uncounted record, if any, goes.
            cuts->currentKeep = records.partial != 0 ? shape.size - records.partial : -1;
            Release(shape);
            return true;
        } else if (days && records.partial == 0 && records.whole >= 2 &&
                   records.last == counted + 1u &&
                   NumberAt(shape.fd, header + (records.whole - 2) * recordSize, &before) &&
                   FitsCounters(records.whole - 1, records.first, before, inFile, counted)) {
            cuts->currentKeep = shape.size - recordSize;  // a whole uncounted record
            Release(shape);
            return true;
        }
        if (holds.empty()) {
            holds = "holds " + Describe(records);
        }
    }
    Release(shape);
    printf("profill: LP %d's current day file %s %s, but the CDS counts %s; %s\n", n, path,
           holds.c_str(), counts.c_str(), wayOut.c_str());
    return false;
}

// A day file numbered above the current one: the run creates it with mode "w" when it gets
// there, so it may hold no whole record, except the one record a killed run wrote into the
// day file it had just started (number totalRecCnt + 1), whose file is removed.
bool CheckLaterFile(int lp, int number, const char* path, LP_UNCOUNTED_CUTS* cuts) {
    const LP_STATE& state = g_lP[lp];
    const int current = state.fileInfo.currentDay;
    const uint32_t counted = static_cast<uint32_t>(state.fileInfo.totalRecCnt);
    const off_t recordSize = static_cast<off_t>(LpRecordSize(state.numChannels));
    DayFileShape shape = LookAt(path, lp);
    if (!shape.exists) {
        return true;
    }
    if (!shape.regular) {
        printf(
            "profill: LP %d's day file %s is %s, not a regular file; remove it, or -c starts the "
            "profile afresh\n",
            lp + 1, path, shape.kind);
        Release(shape);
        return false;
    }
    const Records records = RecordsOf(shape, recordSize);
    const bool fits = records.whole == 0 ||
                      (number == current + 1 && shape.header && records.read &&
                       records.whole == 1 && records.partial == 0 && records.last == counted + 1u);
    Release(shape);
    if (fits) {
        if (records.whole == 1) {
            cuts->removeNext = true;
        }
        return true;
    }
    std::string holds = records.read ? Describe(records) : "records";
    if (!shape.header) {
        holds = "bytes that are no day file's";
    }
    printf("profill: LP %d's day file %s holds %s, but the CDS counts day files up to %d; %s\n",
           lp + 1, path, holds.c_str(), current, WayOut(lp).c_str());
    return false;
}

bool Cut(const char* path, off_t keep) {
    struct stat st = {};
    const int fd = open(path, O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    long removed = -1;
    if (fd >= 0 && fstat(fd, &st) == 0) {
        removed = static_cast<long>(st.st_size - keep);
        if (ftruncate(fd, keep) == 0) {
            close(fd);
            printf(
                "profill: removed %ld bytes at the end of %s that its file information does not "
                "count\n",
                removed, path);
            return true;
        }
    }
    printf(
        "profill: cannot remove %ld bytes at the end of %s that its file information does not "
        "count: %s\n",
        removed, path, strerror(errno));
    if (fd >= 0) {
        close(fd);
    }
    return false;
}

}  // namespace

bool CheckLpFilesForRun(int lp, LP_UNCOUNTED_CUTS* cuts) {
    lp = lp == 0 ? 0 : 1;
    *cuts = LP_UNCOUNTED_CUTS();
    const int current = g_lP[lp].fileInfo.currentDay;
    char path[kMaxLpPathSize];
    const LP_FILE_INFO& info = g_lP[lp].fileInfo;
    uint32_t first = 1;
    bool firstStarted = false;
    if (current > 0) {
        FormatLpFilePath(path, lp, current);
        if (!CheckEarlierFiles(lp, &first, &firstStarted) ||
            !CheckCurrentFile(lp, path, first, firstStarted, cuts)) {
            return false;
        }
    } else if (info.fileRecCnt != 0 || info.totalRecCnt != 0 || info.dayCnt != 0) {
        printf(
            "profill: LP %d has no current day file in the CDS, but the CDS counts records up to "
            "number %u (fileRecCnt %d, dayCnt %d); %s\n",
            lp + 1, static_cast<uint32_t>(info.totalRecCnt), info.fileRecCnt, info.dayCnt,
            WayOut(lp).c_str());
        return false;
    }
    DIR* directory = opendir(LpDirectory(lp));
    if (directory == nullptr) {
        printf("profill: cannot list LP %d's directory %s: %s\n", lp + 1, LpDirectory(lp),
               strerror(errno));
        return false;
    }
    bool fits = true;
    errno = 0;
    for (struct dirent* entry = readdir(directory); fits && entry != nullptr;
         entry = readdir(directory)) {
        const int32_t number = DayFileNumber(entry->d_name);
        if (number > current) {
            FormatLpFilePath(path, lp, static_cast<int>(number));
            fits = CheckLaterFile(lp, static_cast<int>(number), path, cuts);
        }
        errno = 0;
    }
    if (fits && errno != 0) {
        printf("profill: cannot list LP %d's directory %s: %s\n", lp + 1, LpDirectory(lp),
               strerror(errno));
        fits = false;
    }
    closedir(directory);
    return fits;
}

bool CutUncountedLpBytes(int lp, const LP_UNCOUNTED_CUTS& cuts) {
    lp = lp == 0 ? 0 : 1;
    const int current = g_lP[lp].fileInfo.currentDay;
    char path[kMaxLpPathSize];
    bool cut = true;
    if (cuts.currentKeep >= 0 && current > 0) {
        FormatLpFilePath(path, lp, current);
        cut = Cut(path, cuts.currentKeep);
    }
    if (cuts.removeNext) {
        // Removed rather than emptied: the run creates it again only if it gets there.
        FormatLpFilePath(path, lp, current + 1);
        if (unlink(path) == 0) {
            printf(
                "profill: removed %s, which holds only a record that its file information "
                "does not count\n",
                path);
        } else {
            printf(
                "profill: cannot remove %s, which holds only a record that its file "
                "information does not count: %s\n",
                path, strerror(errno));
            cut = false;
        }
    }
    return cut;
}
