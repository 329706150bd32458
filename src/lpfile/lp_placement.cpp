#include "lpfile/lp_placement.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "lpfile/lp_dirs.h"
#include "lpfile/lp_file.h"

namespace {

const char* FileKind(mode_t mode) {
    return S_ISLNK(mode)                    ? "a symbolic link"
           : S_ISDIR(mode)                  ? "a directory"
           : S_ISFIFO(mode)                 ? "a FIFO"
           : S_ISCHR(mode) || S_ISBLK(mode) ? "a device"
           : S_ISSOCK(mode)                 ? "a socket"
                                            : "not a regular file";
}

// The bytes of a file at an offset: from what was read fully, or read from fd.
struct Source {
    int fd;
    const std::string* bytes;

    bool Read(uint64_t offset, uint8_t* out, std::size_t count) const {
        if (bytes != nullptr) {
            if (offset + count > bytes->size()) {
                return false;
            }
            memcpy(out, bytes->data() + offset, count);
            return true;
        }
        return pread(fd, out, count, static_cast<off_t>(offset)) == static_cast<ssize_t>(count);
    }
    bool Number(uint64_t offset, uint32_t* number) const {
        uint8_t in[4];
        if (!Read(offset, in, sizeof in)) {
            return false;
        }
        *number = GetBe32(in);
        return true;
    }
};

// Header, record numbers and the widths the records run at; false when a read failed.
bool Measure(PlacedDayFile& file, const Source& source, int lp) {
    uint8_t found[kLpHeaderSize + kLpFixedSize] = {};
    const std::size_t head =
        file.size < sizeof found ? static_cast<std::size_t>(file.size) : sizeof found;
    if (!source.Read(0, found, head)) {
        return false;
    }
    if (source.bytes == nullptr) {
        file.bytes.assign(reinterpret_cast<const char*>(found), head);
    }
    uint8_t expected[kLpHeaderSize];
    EncodeLpHeader(expected, lp);
    file.header = head >= kLpHeaderSize && memcmp(found, expected, kLpHeaderSize) == 0;
    if (file.size < kLpHeaderSize) {
        return true;
    }
    const uint64_t body = file.size - kLpHeaderSize;
    const uint64_t recordSize = LpRecordSize(file.channels);
    file.whole = static_cast<long>(body / recordSize);
    file.partial = body % recordSize;
    if (head < kLpHeaderSize + kLpFixedSize) {
        return true;
    }
    file.first = GetBe32(found + kLpHeaderSize);
    file.firstKind = GetBe32(found + kLpHeaderSize + 12);
    if (file.whole > 0 && !source.Number(file.Offset(file.whole - 1), &file.last)) {
        return false;
    }
    for (int n = 0; n <= kMaxChannels; ++n) {
        const uint64_t size = LpRecordSize(n);
        uint32_t last = 0;
        if (body < size || body % size != 0) {
            continue;
        }
        if (!source.Number(kLpHeaderSize + body - size, &last)) {
            return false;
        }
        if (last - file.first == static_cast<uint32_t>(body / size - 1)) {
            file.runsAt |= 1u << n;
            file.lastAt[n] = last;
        }
    }
    return true;
}

// Every byte of the regular file open at fd into bytes; false with errno set when a read failed.
bool ReadAll(int fd, std::string* bytes) {
    char buffer[65536];
    errno = 0;
    for (;;) {
        const ssize_t got = read(fd, buffer, sizeof buffer);
        if (got < 0 && errno != EINTR) {
            return false;
        }
        if (got == 0 || bytes->size() > kMaxDayFileSize) {
            return got == 0;
        }
        bytes->append(buffer, static_cast<std::size_t>(got > 0 ? got : 0));
    }
}

}  // namespace

PlacedDayFile PlaceDayFile(const std::string& path, int lp, int channels, bool full,
                           bool followLink) {
    PlacedDayFile file;
    file.path = path;
    file.channels = LpRecordChannels(channels);
    struct stat st = {};
    if ((followLink ? stat(path.c_str(), &st) : lstat(path.c_str(), &st)) != 0) {
        file.readErrno = errno;
        return file;
    }
    if (!S_ISREG(st.st_mode)) {
        file.notRegular = FileKind(st.st_mode);
        return file;
    }
    const int fd =
        open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | (followLink ? 0 : O_NOFOLLOW));
    file.size = static_cast<uint64_t>(st.st_size);
    if (fd < 0 || fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        file.readErrno = fd < 0 ? errno : 0;
        file.notRegular = fd < 0 ? nullptr : "not a regular file";
    } else if (file.size > kMaxDayFileSize) {
        file.notRegular = "too large";
    } else if (full && !ReadAll(fd, &file.bytes)) {
        file.readErrno = errno != 0 ? errno : EFBIG;  // it grew past any day file
    } else {
        file.size = full ? file.bytes.size() : file.size;
        const Source source = {fd, full ? &file.bytes : nullptr};
        if (!Measure(file, source, lp)) {
            file.readErrno = errno != 0 ? errno : EIO;
        }
    }
    if (fd >= 0) {
        close(fd);
    }
    return file;
}

namespace {

// The channel count other than the profile's at which every day file's records run on from
// record 1, two records at least; -1 when the profile's own count places them or none does.
int OtherChannels(const LpPlacement& placement) {
    for (int k = -1; k <= kMaxChannels; ++k) {
        const int n = k < 0 ? placement.channels : k;  // the profile's own count first
        uint32_t next = 1;
        bool runs = true;
        for (const PlacedDayFile& file : placement.files) {
            if (!file.Readable() || !file.header || file.first != next) {
                runs = runs && file.Readable() && file.size <= kLpHeaderSize;
                continue;
            }
            runs = runs && (file.runsAt >> n & 1u) != 0;
            next = file.lastAt[n] + 1u;
        }
        if (runs && (k < 0 || next > 2)) {
            return k < 0 ? -1 : n;
        }
    }
    return -1;
}

}  // namespace

std::string NotRegularText(const PlacedDayFile& file) {
    const std::string what = file.notRegular;
    if (what == "too large") {
        return "is " + std::to_string(file.size) + " bytes, more than a day file holds";
    }
    return "is " + what + (what.compare(0, 2, "a ") == 0 ? ", not a regular file" : "");
}

std::string LpPlacement::ReadError() const {
    if (listErrno != 0) {
        return LpDirectory(lp) + std::string(": ") + strerror(listErrno);
    }
    for (const PlacedDayFile& file : files) {
        if (file.readErrno != 0) {
            return file.path + ": " + strerror(file.readErrno);
        }
    }
    return "";
}

const PlacedDayFile* LpPlacement::Find(int32_t day) const {
    for (const PlacedDayFile& file : files) {
        if (file.day == day) {
            return &file;
        }
    }
    return nullptr;
}

bool LpPlacement::ClearStopped(int32_t currentDay) const {
    // Beyond this many day files the names are not compared one by one; no profile has that many.
    constexpr int32_t kMostCompared = 100000;
    if (files.empty() || files.front().day == 1 || currentDay > kMostCompared) {
        return false;
    }
    std::string lowest;  // the first name of the shell's order left
    long left = 0;
    for (const PlacedDayFile& file : files) {
        const std::string name = std::to_string(file.day) + ".lp";
        if (file.day <= currentDay && (lowest.empty() || name < lowest)) {
            lowest = name;
        }
        left += file.day <= currentDay ? 1 : 0;
    }
    long after = 0;  // names from the lowest one left on, which must all be left
    for (int32_t day = 1; day <= currentDay; ++day) {
        after += std::to_string(day) + ".lp" >= lowest ? 1 : 0;
    }
    return left > 0 && after == left;
}

LpPlacement PlaceLpFiles(int lp, int channels, bool full) {
    LpPlacement placement;
    placement.lp = lp == 0 ? 0 : 1;
    placement.channels = LpRecordChannels(channels);
    std::vector<int32_t> days;
    if (!ListDayFiles(LpDirectory(placement.lp), &days, &placement.stray)) {
        placement.listErrno = errno;
        return placement;
    }
    for (const int32_t day : days) {
        placement.files.push_back(PlaceDayFile(LpDayFilePath(placement.lp, day), placement.lp,
                                               placement.channels, full, false));
        placement.files.back().day = day;
    }
    placement.otherChannels = OtherChannels(placement);
    return placement;
}

int OtherChannelsOf(const PlacedDayFile& file, uint32_t first, int64_t last) {
    for (int n = 1; n <= kMaxChannels; ++n) {
        if (n != file.channels && (file.runsAt >> n & 1u) != 0 && file.first == first &&
            (last < 0 || file.lastAt[n] == uint32_t(last) ||
             file.lastAt[n] == uint32_t(last) + 1u)) {
            return n;
        }
    }
    return -1;
}
