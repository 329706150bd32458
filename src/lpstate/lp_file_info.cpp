#include "lpstate/lp_file_info.h"

#include <cstdint>
#include <cstdio>
#include <iterator>
#include <string>
#include <vector>

#include "driver/debug_log.h"
#include "driver/run_options.h"
#include "lpstate/cds_client.h"
#include "lpstate/lp_config.h"
#include "lpstate/lp_leaves.h"
#include "lpstate/lp_state.h"

namespace {

// The fields kept in the CDS, in batch order, and their leaves under the profile prefix.
constexpr int kFileInfoLeafCount = 5;
int32_t LP_FILE_INFO::*const kFileInfoFields[kFileInfoLeafCount] = {
    &LP_FILE_INFO::currentDay, &LP_FILE_INFO::fileRecCnt, &LP_FILE_INFO::totalRecCnt,
    &LP_FILE_INFO::dayCnt, &LP_FILE_INFO::daysDeleted};
static_assert(std::size(kLpFileInfoLeaves) == kFileInfoLeafCount);

// The five leaf paths of LP number n (1 or 2), in batch order. They never change, and the run
// stores them after every record, so they are built once.
const std::vector<std::string>& FileInfoPaths(int n) {
    auto build = [](int lpNumber) {
        std::vector<std::string> paths;
        for (const char* leaf : kLpFileInfoLeaves) {
            paths.push_back(LpFileInfoPrefix(lpNumber) + leaf);
        }
        return paths;
    };
    static const std::vector<std::string> kPaths[kLpCount] = {build(1), build(2)};
    return kPaths[n == 1 ? 0 : 1];
}

}  // namespace

int InitLp(toolkit::CCds& cds, int lpMask) {
    if ((g_logLevel & kDebugConfig) != 0) {
        DebugPrintf("[InitLp] Enter\n");
    }
    ClearLpStructs(lpMask);
    ReadLpConfig(cds, lpMask);
    ReadLpFileInfo(cds, lpMask);
    return 0;
}

int ReadLpFileInfo(toolkit::CCds& cds, int lpMask) {
    const bool debug = (g_logLevel & kDebugConfig) != 0;
    int result = 0;
    for (int i = 0; i < kLpCount; ++i) {
        const int bit = g_lpBitTable[i];
        if ((bit & lpMask) == 0) {
            if (debug) {
                DebugPrintf("[ReadLpFileInfo] Skipping LP %d\n", bit);
            }
            continue;
        }
        if (debug) {
            DebugPrintf("[ReadLpFileInfo] Processing LP %d\n", i + 1);
        }
        if (debug) {
            DebugPrintf("[ReadLpFileInfo] prefix=%s \n", LpFileInfoPrefix(bit).c_str());
        }
        const std::vector<std::string>& paths = FileInfoPaths(bit);
        std::vector<api_status_t> statuses;
        std::vector<toolkit::CElement> values;
        std::vector<element_property_t> properties;
        if (cds.get_leaves(paths, statuses, values, properties) != kCdsCallOk) {
            LogCdsError("ReadLpFileInfo: get_leaves failed.");
            fputs("[ReadLpFileInfo] get_leaves failed.", stdout);
            return -1;
        }
        if (statuses.size() != paths.size()) {
            LogCdsError("[ReadLpFileInfo] get_leaves retcodes.size failed.");
            fputs("[ReadLpFileInfo] get_leaves retcodes.size failed.\n", stdout);
            return -1;
        }
        if (values.size() != statuses.size()) {
            LogCdsError("[ReadLpFileInfo] pcd_get_leaves vallist.size failed");
            fputs("[ReadLpFileInfo] pcd_get_leaves vallist.size failed\n", stdout);
            return -1;
        }
        if (debug) {
            DebugPrintf("[ReadLpFileInfo] read %d leaves\n", static_cast<int>(values.size()));
        }
        LP_FILE_INFO& info = g_lP[i].fileInfo;
        for (int k = 0; k < kFileInfoLeafCount; ++k) {
            const size_t at = static_cast<size_t>(k);
            if (statuses[at] != kCdsLeafOk) {
                LogCdsError("[ReadLpFileInfo] pcd_get_leaves failed - item %d, path %s", k,
                            paths[at].c_str());
                printf("[ReadLpFileInfo] pcd_get_leaves failed - item %d, path %s\n", k,
                       paths[at].c_str());
                result = -1;
                continue;
            }
            info.*kFileInfoFields[k] = values[at].to_int();
        }
        PrintLpFileInfoTable(i);
    }
    return result;
}

int WriteFileInfoToCDS(toolkit::CCds& cds, int lp) {
    const bool debug = (g_logLevel & kDebugFileInfo) != 0;
    if (debug) {
        DebugPrintf("[WriteFileInfoToCDS] prefix=%s\n", LpFileInfoPrefix(lp + 1).c_str());
    }
    const std::vector<std::string>& paths = FileInfoPaths(lp + 1);
    static const std::vector<pcd_tribool_t> kFlags(kFileInfoLeafCount, 1);
    const LP_FILE_INFO& info = g_lP[lp].fileInfo;
    // The run stores after every record: the elements and the statuses are written over on
    // every call rather than allocated again.
    static std::vector<toolkit::CElement> values(kFileInfoLeafCount);
    static std::vector<api_status_t> statuses;
    for (int k = 0; k < kFileInfoLeafCount; ++k) {
        values[static_cast<size_t>(k)].set_int(info.*kFileInfoFields[k]);
    }
    const int written = cds.set_leaves(paths, values, kFlags, statuses, std::string());
    if (written != kCdsCallOk) {
        LogCdsError("WriteFileInfoToCDS: Error calling set_leaves retval is %d", written);
        printf("[WriteFileInfoToCDS]: Error calling set_leaves retval is %d\n", written);
        return 8;
    }
    if (debug) {
        DebugPrintf("[WriteFileInfoToCDS] wrote %d values to CDS\n",
                    static_cast<int>(statuses.size()));
    }
    int result = 0;
    for (size_t k = 0; k < paths.size(); ++k) {
        // A store that answered with fewer statuses than paths has not confirmed the rest.
        const api_status_t status = k < statuses.size() ? statuses[k] : 0;
        if (status != kCdsLeafOk) {
            LogCdsError("WriteFileInfoToCDS: set_leaves error %s : %d", paths[k].c_str(), status);
            printf("[WriteFileInfoToCDS]: set_leaves error %s : %d \n", paths[k].c_str(), status);
            result = 8;
        }
    }
    return result;
}

void PrintLpFileInfoTable(int lp) {
    const LP_FILE_INFO& info = g_lP[lp].fileInfo;
    printf("Load Profile %d File Information Configuration\n", lp + 1);
    fputs(
        "Current\tFile\tTotal\tTotl\tDays   \n"
        "Day    \tRecs\tRecs \tDays\tDeleted\n"
        "-------\t----\t-----\t----\t-------\n",
        stdout);
    printf("%d\t%d\t%d\t%d\t%d\n\n\n", info.currentDay, info.fileRecCnt, info.totalRecCnt,
           info.dayCnt, info.daysDeleted);
}
