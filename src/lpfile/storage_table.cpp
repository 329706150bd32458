#include "lpfile/storage_table.h"

#include <cstdint>
#include <cstdio>

#include "lpfile/lp_codec.h"

namespace {

const int32_t kIntervals[] = {1, 2, 3, 4, 5, 6, 10, 12, 15, 20, 30, 60, 1440, 10080, 43800};

// A year of 16-channel files at 15-minute intervals: 365 files of 11232 bytes.
constexpr int32_t kStorageBudget = 4099680;
constexpr int32_t kMaxDays = 1095;
constexpr int32_t kBlockSize = 4096;

}  // namespace

int PrintDaysCalculationTable() {
    puts(
        "     \t     \tMaximum\t\tMax    \tRecords\t\tBytes per\tBytes per\tTotal\tKilo \t4K Blks "
        "\tActual");
    puts(
        "Chans\tIntvl\tDays   \t\tRecords\tPer Day\t\tRecord   \tFile     \tBytes\tBytes\tper "
        "file\tDisk usage");
    puts(
        "-----\t-----\t-------\t\t-------\t-------\t\t---------\t---------\t-----\t-----\t------"
        "--\t----------");
    for (int32_t channels = 16; channels >= 1; --channels) {
        const int32_t bytesPerRecord = 16 + 6 * channels;
        for (int32_t interval : kIntervals) {
            const int32_t recordsPerDay = interval <= 60 ? LpRecordsPerFile(interval) : 1;
            const int32_t bytesPerFile = recordsPerDay * bytesPerRecord + 32;
            int32_t maxDays = kStorageBudget / bytesPerFile;
            if (maxDays > kMaxDays) {
                maxDays = kMaxDays;
            }
            const int32_t maxRecords = maxDays * recordsPerDay;
            const int32_t totalBytes = maxDays * bytesPerFile;
            const double kiloBytes = totalBytes / 1024.0;
            const int32_t blocksPerFile = (bytesPerFile + kBlockSize - 1) / kBlockSize;
            const int32_t diskUsage = blocksPerFile * 4 * maxDays;
            printf("%d\t%d\t%d\t%d\t%d\t%d\t%d\t%d\t%5.2f\t%d\t%d\n", channels, interval, maxDays,
                   maxRecords, recordsPerDay, bytesPerRecord, bytesPerFile, totalBytes, kiloBytes,
                   blocksPerFile, diskUsage);
        }
    }
    puts("\nNOTE: When maxDays is > 1095; MaxDays is set to 1095");
    return 0;
}
