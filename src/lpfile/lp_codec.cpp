#include "lpfile/lp_codec.h"

#include <dirent.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

constexpr char kMagic[] = "ZOLV Load Prof";
constexpr std::size_t kMagicSize = sizeof kMagic - 1;

std::string HexBytes(const uint8_t* bytes, std::size_t count) {
    std::string text;
    char hex[4];
    for (std::size_t i = 0; i < count; ++i) {
        snprintf(hex, sizeof hex, "%s%02x", i == 0 ? "" : " ", bytes[i]);
        text += hex;
    }
    return text;
}

}  // namespace

int LpRecordChannels(int numChannels) {
    if (numChannels < 0) {
        return 0;
    }
    return numChannels > kMaxChannels ? kMaxChannels : numChannels;
}

std::size_t LpRecordSize(int numChannels) {
    return kLpFixedSize + 6 * static_cast<std::size_t>(LpRecordChannels(numChannels));
}

int32_t LpRecordsPerFile(int32_t intervalMinutes) {
    return 1440 / intervalMinutes + 4;
}

void EncodeLpRecord(const LP_RECORD& record, int numChannels, uint8_t* out) {
    const int n = LpRecordChannels(numChannels);
    PutBe32(out, record.recordNumber);
    PutBe32(out + 4, record.intervalStart);
    PutBe32(out + 8, record.intervalEnd);
    PutBe32(out + 12, record.recordKind);
    uint8_t* flags = out + kLpFixedSize;
    uint8_t* values = flags + 2 * n;
    for (int i = 0; i < n; ++i) {
        PutBe16(flags + 2 * i, record.valueFlags[i]);
        uint32_t bits = 0;
        memcpy(&bits, &record.channelValues[i], sizeof bits);
        PutBe32(values + 4 * i, bits);
    }
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

void EncodeLpHeader(uint8_t* out, int lp) {
    memset(out, 0, kLpHeaderSize);
    memcpy(out, kMagic, kMagicSize);
    out[15] = (lp == 0) ? '1' : '2';
    PutBe32(out + 16, 1);
}

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

uint32_t LpHeaderVersion(const uint8_t* bytes) {
    return GetBe32(bytes + 16);
}

std::vector<Finding> CheckLpHeader(const uint8_t* bytes, std::size_t size, int lp,
                                   const std::string& path) {
    std::vector<Finding> faults;
    auto fault = [&](std::size_t offset, const std::string& text) {
        faults.push_back({At(path, offset), text});
    };
    if (size < kLpHeaderSize) {
        fault(0, std::to_string(size) + " bytes, shorter than the " +
                     std::to_string(kLpHeaderSize) + "-byte header");
        return faults;
    }
    if (memcmp(bytes, kMagic, kMagicSize) != 0) {
        fault(0, "header starts with " + HexBytes(bytes, kMagicSize) + ", not \"ZOLV Load Prof\"");
    }
    if (bytes[14] != 0) {
        fault(14, "header byte is " + HexBytes(bytes + 14, 1) + ", not 00");
    }
    const int named = LpOfHeader(bytes, size);
    if (named < 0 || (lp >= 0 && named != lp)) {
        const std::string wanted =
            lp < 0 ? "'1' or '2'" : std::string("'") + static_cast<char>('1' + lp) + "'";
        fault(15, "profile digit is " + HexBytes(bytes + 15, 1) + ", not " + wanted);
    }
    if (LpHeaderVersion(bytes) != 1) {
        fault(16, "version is " + HexBytes(bytes + 16, 4) + ", not 00 00 00 01");
    }
    for (std::size_t i = 20; i < kLpHeaderSize; ++i) {
        if (bytes[i] != 0) {
            fault(i, "header bytes 20-31 are " + HexBytes(bytes + 20, 12) + ", not all zero");
            break;
        }
    }
    return faults;
}

std::string PartialRecordText(uint64_t partial, int channels) {
    const int n = LpRecordChannels(channels);
    return Count(static_cast<long long>(partial), "byte") +
           " after the last whole record (records of " + Count(n, "channel") + " are " +
           std::to_string(LpRecordSize(n)) + " bytes)";
}

int32_t DayFileNumber(const char* name) {
    int64_t number = 0;
    std::size_t i = 0;
    for (; name[i] >= '0' && name[i] <= '9' && i < 11; ++i) {
        number = number * 10 + (name[i] - '0');
    }
    const bool named = i > 0 && name[0] != '0' && strcmp(name + i, ".lp") == 0;
    return named && number <= INT32_MAX ? static_cast<int32_t>(number) : 0;
}

bool ListDayFiles(const char* dir, std::vector<int32_t>* days, std::vector<std::string>* stray) {
    DIR* listing = opendir(dir);
    if (listing == nullptr) {
        return false;
    }
    // readdir ends the listing with null both at its end and on an error, which sets errno.
    const dirent* entry = nullptr;
    for (errno = 0; (entry = readdir(listing)) != nullptr; errno = 0) {
        const std::string name = entry->d_name;
        if (name.size() < 4 || name.compare(name.size() - 3, 3, ".lp") != 0 ||
            name.find_first_not_of("0123456789") != name.size() - 3) {
            continue;
        }
        const int32_t number = DayFileNumber(entry->d_name);
        if (number > 0) {
            days->push_back(number);
        } else {
            stray->push_back(name);
        }
    }
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

std::string RecordFault(const DayFileRecord& record, uint32_t next) {
    if (record.number != next) {
        return "record number " + std::to_string(record.number) + ", expected " +
               std::to_string(next);
    }
    if (record.kind != 1 && record.kind != 2) {
        return "record " + std::to_string(record.number) + " has kind " +
               std::to_string(record.kind) + ", not 1 or 2";
    }
    if (LpRecordSeconds(record) == 0 || LpRecordSeconds(record) % 60 != 0) {
        return "record " + std::to_string(record.number) + " lasts " +
               std::to_string(LpRecordSeconds(record)) + " seconds, not a whole number of minutes";
    }
    return "";
}

int64_t RecordsPerFile(const DayFileRecord& record) {
    const uint32_t minutes = LpRecordSeconds(record) / 60;
    if (record.kind == 2) {
        return 1;
    }
    return minutes == 0 ? INT64_MAX : LpRecordsPerFile(static_cast<int32_t>(minutes));
}
