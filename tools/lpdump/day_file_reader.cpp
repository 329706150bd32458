#include "day_file_reader.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace {

uint32_t GetBe32(const uint8_t* in) {
    return (static_cast<uint32_t>(in[0]) << 24) | (static_cast<uint32_t>(in[1]) << 16) |
           (static_cast<uint32_t>(in[2]) << 8) | in[3];
}

uint16_t GetBe16(const uint8_t* in) {
    return static_cast<uint16_t>((in[0] << 8) | in[1]);
}

std::string HexBytes(const uint8_t* bytes, std::size_t count) {
    std::string text;
    char hex[4];
    for (std::size_t i = 0; i < count; ++i) {
        snprintf(hex, sizeof hex, "%s%02x", i == 0 ? "" : " ", bytes[i]);
        text += hex;
    }
    return text;
}

constexpr char kMagic[] = "ZOLV Load Prof";
constexpr std::size_t kMagicSize = sizeof kMagic - 1;

}  // namespace

bool StartsAsDayFile(const uint8_t* bytes, std::size_t size) {
    return memcmp(bytes, kMagic, std::min(size, kMagicSize)) == 0;
}

std::string NotDayFileText(const uint8_t* bytes, std::size_t size) {
    return "it starts with " + HexBytes(bytes, std::min(size, kMagicSize)) +
           ", not \"ZOLV Load Prof\"";
}

int LpOfHeader(const uint8_t* bytes, std::size_t size) {
    if (size < 16 || (bytes[15] != '1' && bytes[15] != '2')) {
        return -1;
    }
    return bytes[15] - '1';
}

std::vector<HeaderFault> CheckLpHeader(const uint8_t* bytes, std::size_t size, int lp) {
    std::vector<HeaderFault> faults;
    if (size < kLpHeaderSize) {
        faults.push_back({0, std::to_string(size) + " bytes, shorter than the " +
                                 std::to_string(kLpHeaderSize) + "-byte header"});
        return faults;
    }
    if (memcmp(bytes, kMagic, kMagicSize) != 0) {
        faults.push_back(
            {0, "header starts with " + HexBytes(bytes, kMagicSize) + ", not \"ZOLV Load Prof\""});
    }
    if (bytes[14] != 0) {
        faults.push_back({14, "header byte is " + HexBytes(bytes + 14, 1) + ", not 00"});
    }
    const int named = LpOfHeader(bytes, size);
    if (named < 0 || (lp >= 0 && named != lp)) {
        const std::string wanted =
            lp < 0 ? "'1' or '2'" : std::string("'") + static_cast<char>('1' + lp) + "'";
        faults.push_back({15, "profile digit is " + HexBytes(bytes + 15, 1) + ", not " + wanted});
    }
    if (LpHeaderVersion(bytes) != 1) {
        faults.push_back({16, "version is " + HexBytes(bytes + 16, 4) + ", not 00 00 00 01"});
    }
    for (std::size_t i = 20; i < kLpHeaderSize; ++i) {
        if (bytes[i] != 0) {
            faults.push_back(
                {i, "header bytes 20-31 are " + HexBytes(bytes + 20, 12) + ", not all zero"});
            break;
        }
    }
    return faults;
}

std::string PartialRecordText(std::size_t partial, int channels) {
    const int n = LpRecordChannels(channels);
    return std::to_string(partial) + (partial == 1 ? " byte" : " bytes") +
           " after the last whole record (records of " + std::to_string(n) +
           (n == 1 ? " channel are " : " channels are ") + std::to_string(LpRecordSize(n)) +
           " bytes)";
}

uint32_t LpHeaderVersion(const uint8_t* bytes) {
    return GetBe32(bytes + 16);
}

DayFileRecord DecodeLpRecord(const uint8_t* bytes, int channels) {
    DayFileRecord record = {};
    record.number = GetBe32(bytes);
    record.start = GetBe32(bytes + 4);
    record.end = GetBe32(bytes + 8);
    record.kind = GetBe32(bytes + 12);
    record.channels = LpRecordChannels(channels);
    const uint8_t* flags = bytes + kLpFixedSize;
    const uint8_t* values = flags + 2 * record.channels;
    for (int i = 0; i < record.channels; ++i) {
        record.flags[i] = GetBe16(flags + 2 * i);
        const uint32_t bits = GetBe32(values + 4 * i);
        memcpy(&record.values[i], &bits, sizeof bits);
    }
    return record;
}

ReadResult ReadDayFileBytes(const std::string& path, std::string* bytes, std::string* error,
                            std::size_t maxSize) {
    bytes->clear();
    // What is not a regular file (or a link to one) is told apart before it is opened: a
    // socket, a dangling or looping link cannot be opened at all.
    struct stat entry = {};
    if (lstat(path.c_str(), &entry) != 0) {
        *error = strerror(errno);
        return ReadResult::kUnreadable;
    }
    if (!S_ISREG(entry.st_mode) &&
        (!S_ISLNK(entry.st_mode) || stat(path.c_str(), &entry) != 0 || !S_ISREG(entry.st_mode))) {
        *error =
            S_ISLNK(entry.st_mode) ? "a symbolic link to no regular file" : "not a regular file";
        return ReadResult::kNotDayFile;
    }
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK);
    if (fd < 0) {
        *error = strerror(errno);
        return ReadResult::kUnreadable;
    }
    struct stat info = {};
    ReadResult result = ReadResult::kRead;
    if (fstat(fd, &info) != 0) {
        *error = strerror(errno);
        result = ReadResult::kUnreadable;
    } else if (!S_ISREG(info.st_mode)) {
        *error = "not a regular file";
        result = ReadResult::kNotDayFile;
    } else if (static_cast<uintmax_t>(info.st_size) > kMaxDayFileSize) {
        *error = std::to_string(static_cast<uintmax_t>(info.st_size)) +
                 " bytes, more than a day file holds";
        result = ReadResult::kNotDayFile;
    }
    char buffer[65536];
    while (result == ReadResult::kRead && bytes->size() < maxSize) {
        const std::size_t want = std::min(sizeof buffer, maxSize - bytes->size());
        const ssize_t got = read(fd, buffer, want);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            *error = strerror(errno);
            result = ReadResult::kUnreadable;
        } else if (got == 0) {
            break;
        } else {
            bytes->append(buffer, static_cast<std::size_t>(got));
        }
    }
    const int saved = errno;
    close(fd);
    errno = saved;
    return result;
}

namespace {

// A record's time as text for people or in ISO 8601, in UTC or local time, or "@seconds" where
// this host's time_t cannot hold it.
std::string FormatRecordTime(uint32_t seconds, bool utc, bool iso) {
    const std::time_t time = static_cast<std::time_t>(seconds);
    struct tm fields = {};
    char text[64];
    // A 32-bit time_t turns the upper half of the record's unsigned range negative.
    if (static_cast<uint32_t>(time) != seconds || time < 0 ||
        (utc ? gmtime_r(&time, &fields) : localtime_r(&time, &fields)) == nullptr) {
        return "@" + std::to_string(seconds);
    }
    const size_t length =
        iso ? strftime(text, sizeof text, utc ? "%Y-%m-%dT%H:%M:%SZ" : "%Y-%m-%dT%H:%M:%S%z",
                       &fields)
            : strftime(text, sizeof text, utc ? "%Y-%m-%d %H:%M:%S UTC" : "%Y-%m-%d %H:%M:%S %Z",
                       &fields);
    return length == 0 ? "@" + std::to_string(seconds) : std::string(text);
}

}  // namespace

std::string FormatLpTime(uint32_t seconds, bool utc) {
    return FormatRecordTime(seconds, utc, false);
}

std::string FormatLpIsoTime(uint32_t seconds, bool utc) {
    std::string iso = FormatRecordTime(seconds, utc, true);
    // strftime's %z gives +hhmm; ISO 8601's extended form, which readers expect beside the
    // extended date and time, is +hh:mm.
    if (!utc && iso[0] != '@' && iso.size() >= 5 &&
        (iso[iso.size() - 5] == '+' || iso[iso.size() - 5] == '-')) {
        iso.insert(iso.size() - 2, ":");
    }
    return iso;
}

bool ListDayFiles(const char* dir, std::vector<int64_t>* days, std::vector<std::string>* stray) {
    DIR* listing = opendir(dir);
    if (listing == nullptr) {
        return false;
    }
    for (;;) {
        errno = 0;
        const dirent* entry = readdir(listing);
        if (entry == nullptr) {
            break;
        }
        const std::string name = entry->d_name;
        if (name.size() < 4 || name.compare(name.size() - 3, 3, ".lp") != 0 ||
            name.find_first_not_of("0123456789") != name.size() - 3) {
            continue;
        }
        const std::string digits = name.substr(0, name.size() - 3);
        const int64_t number = digits.size() <= 10 ? std::stoll(digits) : -1;
        if (number >= 1 && number <= INT32_MAX && std::to_string(number) == digits) {
            days->push_back(number);
        } else {
            stray->push_back(name);
        }
    }
    // readdir ends the listing with null both at its end and on an error.
    const int listed = errno;
    closedir(listing);
    if (listed != 0) {
        errno = listed;
        return false;
    }
    std::sort(days->begin(), days->end());
    std::sort(stray->begin(), stray->end());
    return true;
}
