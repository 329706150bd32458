// Day files of arbitrary bytes (the first byte gives the channel count and the number of files, the
// next five the counters): skimming and reading fully see the same, every whole record decodes
// inside the bytes read, and the start check answers whatever the counters.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz_check.h"
#include "lpfile/lp_dirs.h"
#include "lpfile/lp_placement.h"
#include "lpfile/lp_start_check.h"

namespace {

// A flash root of its own for the life of the process.
const std::string& Root() {
    static const std::string root = [] {
        char dir[] = "/tmp/day_file_fuzz.XXXXXX";
        FuzzCheck(mkdtemp(dir) != nullptr, "a scratch directory");
        FuzzCheck(SetFlashRoot(dir), "the scratch directory as the flash root");
        mkdir((std::string(dir) + "/lp1").c_str(), 0755);
        return std::string(dir);
    }();
    return root;
}

void WriteDayFiles(const uint8_t* data, std::size_t size, int files) {
    for (int day = 1; day <= 9; ++day) {
        unlink((Root() + "/lp1/" + std::to_string(day) + ".lp").c_str());
    }
    std::size_t at = 0;
    for (int day = 1; day <= files && at < size; ++day) {
        const std::size_t length = day == files ? size - at : (size - at) * data[at] / 256;
        FILE* file = fopen((Root() + "/lp1/" + std::to_string(day) + ".lp").c_str(), "w");
        FuzzCheck(file != nullptr, "a day file written");
        fwrite(data + at, 1, length, file);
        fclose(file);
        at += length + (day == files ? 0 : 1);
    }
}

bool SameFacts(const PlacedDayFile& a, const PlacedDayFile& b) {
    bool same = a.day == b.day && a.size == b.size && a.header == b.header && a.whole == b.whole &&
                a.partial == b.partial && a.runsAt == b.runsAt;
    same = same && (a.whole == 0 || (a.first == b.first && a.last == b.last));
    for (int n = 0; n <= kMaxChannels; ++n) {
        same = same && a.lastAt[n] == b.lastAt[n];
    }
    return same;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (size < 6) {
        return 0;
    }
    const int channels = data[0] % 18;  // 17: more than a record holds
    const int files = 1 + data[0] / 18 % 5;
    WriteDayFiles(data + 6, size - 6, files);
    const LpPlacement skimmed = PlaceLpFiles(0, channels, false);
    const LpPlacement read = PlaceLpFiles(0, channels, true);
    FuzzCheck(skimmed.files.size() == read.files.size(), "the same files listed");
    FuzzCheck(skimmed.otherChannels == read.otherChannels, "the same other channel count");
    for (std::size_t k = 0; k < read.files.size(); ++k) {
        const PlacedDayFile& file = read.files[k];
        FuzzCheck(SameFacts(skimmed.files[k], file), "skimming and reading agree");
        FuzzCheck(static_cast<uint64_t>(file.whole) * LpRecordSize(channels) + file.partial +
                              kLpHeaderSize ==
                          file.size ||
                      file.size < kLpHeaderSize,
                  "whole records and the rest make up the file");
        for (long i = 0; i < file.whole; ++i) {
            const DayFileRecord record = DecodeLpRecord(file.Record(i), channels);
            FuzzCheck(i != 0 || record.number == file.first, "the first number read");
            FuzzCheck(i + 1 != file.whole || record.number == file.last, "the last number read");
        }
    }
    g_lP[0].numChannels = channels;
    g_lP[0].fileInfo = {};
    const int32_t counters[4] = {static_cast<int8_t>(data[1]), static_cast<int8_t>(data[2]),
                                 static_cast<int8_t>(data[3]) * 0x100001,
                                 static_cast<int8_t>(data[4])};
    g_lP[0].fileInfo.currentDay = data[5] == 0xff ? INT32_MAX : counters[0];
    g_lP[0].fileInfo.fileRecCnt = counters[1];
    g_lP[0].fileInfo.totalRecCnt = counters[2];
    g_lP[0].fileInfo.dayCnt = counters[3];
    LP_UNCOUNTED_CUTS cuts;
    CheckLpFilesForRun(0, &cuts);
    return 0;
}
