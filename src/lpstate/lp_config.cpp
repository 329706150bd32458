#include "lpstate/lp_config.h"

#include <cstdint>
#include <cstdio>
#include <iterator>
#include <string>
#include <vector>

#include "driver/debug_log.h"
#include "driver/run_options.h"
#include "lpstate/cds_client.h"
#include "lpstate/lp_leaves.h"
#include "lpstate/lp_state.h"

namespace {

// A leaf's item number is its position in the batch: the settings, then each channel's leaves.
constexpr int kSettingCount = static_cast<int>(std::size(kLpSettingLeaves));
constexpr int kChannelLeafCount = static_cast<int>(std::size(kLpChannelLeaves));

// The CDS holds these as 32-bit numbers and the record as 16 bits: only the low half is kept,
// so 70000 reads as 4464 and 40000 as -25536.
int16_t Low16(int32_t value) {
    return static_cast<int16_t>(static_cast<uint16_t>(value));
}

void StoreItem(LP_STATE& lp, int item, const toolkit::CElement& value) {
    const int32_t number = value.to_int();
    switch (item) {
        case 0:
            lp.intLength = number;
            return;
        case 1:
            lp.extIntSync = Low16(number);
            return;
        case 2:
            lp.frzMark = Low16(number);
            return;
        case 3:
            lp.dataSetting1 = Low16(number);
            return;
        case 4:
            lp.dataSetting2 = Low16(number);
            return;
        default:
            break;
    }
    LP_CHANNEL& channel = lp.channels[(item - kSettingCount) / kChannelLeafCount];
    switch ((item - kSettingCount) % kChannelLeafCount) {
        case 0:
            channel.type = Low16(number);
            break;
        case 1:
            channel.quantity = Low16(number);
            break;
        case 2:
            channel.phase = Low16(number);
            break;
        case 3:
            channel.direction = Low16(number);
            break;
        case 4:
            channel.records = Low16(number);
            break;
        case 5:
            channel.kmValue = value.to_float();
            break;
        default:
            channel.unComp = Low16(number);
            break;
    }
}

enum class BatchResult { kRead, kItemsFailed, kFailed };

// Reads the settings and lp.numChannels (1..kMaxChannels) channels of the profile at prefix.
BatchResult ReadBatch(toolkit::CCds& cds, std::string prefix, LP_STATE& lp, bool debug) {
    if (debug) {
        DebugPrintf("[ReadLpConfig] numChans=%d, prefix=%s \n", lp.numChannels, prefix.c_str());
    }
    std::vector<std::string> paths;
    paths.reserve(static_cast<size_t>(kSettingCount + kChannelLeafCount * lp.numChannels));
    for (const char* leaf : kLpSettingLeaves) {
        paths.push_back(prefix + leaf);
    }
    prefix += "/Chan/";
    if (debug) {
        DebugPrintf("[ReadLpConfig] prefix=%s \n", prefix.c_str());
    }
    for (int k = 1; k <= lp.numChannels; ++k) {
        const std::string channelPrefix = prefix + std::to_string(k);
        for (const char* leaf : kLpChannelLeaves) {
            paths.push_back(channelPrefix + leaf);
        }
    }

    std::vector<api_status_t> statuses;
    std::vector<toolkit::CElement> values;
    std::vector<element_property_t> properties;
    if (cds.get_leaves(paths, statuses, values, properties) != kCdsCallOk) {
        fputs("[ReadLpConfig] get_leaves failed.", stdout);
        LogCdsError("ReadLpConfig: get_leaves failed.");
        return BatchResult::kFailed;
    }
    if (statuses.size() != paths.size()) {
        fputs("[ReadLpConfig] get_leaves retcodes.size failed.\n", stdout);
        LogCdsError("[ReadLpConfig] get_leaves retcodes.size failed.");
        return BatchResult::kFailed;
    }
    if (values.size() != statuses.size()) {
        fputs("[ReadLpConfig] pcd_get_leaves vallist.size failed\n", stdout);
        LogCdsError("[ReadLpConfig] pcd_get_leaves vallist.size failed");
        return BatchResult::kFailed;
    }
    if (debug) {
        DebugPrintf("[ReadLpConfig] read %d leaves\n", static_cast<int>(values.size()));
    }

    BatchResult result = BatchResult::kRead;
    for (size_t i = 0; i < paths.size(); ++i) {
        const int item = static_cast<int>(i);
        if (statuses[i] != kCdsLeafOk) {
            printf("[ReadLpConfig] pcd_get_leaves failed - item %d, path %s\n", item,
                   paths[i].c_str());
            LogCdsError("[ReadLpConfig] pcd_get_leaves failed - item %d, path %s", item,
                        paths[i].c_str());
            result = BatchResult::kItemsFailed;
            continue;
        }
        StoreItem(lp, item, values[i]);
    }
    return result;
}

void ShowLpConfig(int n, const LP_STATE& lp) {
    printf("Load Profile %d Configuration\n", n);
    fputs(
        "Chnls\tIntLength\tSync\tFrzMark\tStoreEvents\tInCounts\n"
        "-----\t---------\t----\t-------\t-----------\t--------\n",
        stdout);
    printf("%d\t%d\t\t%d\t%d\t%d\t\t%d\n", lp.numChannels, lp.intLength, lp.extIntSync, lp.frzMark,
           lp.dataSetting1, lp.dataSetting2);
    printf("Channel Configuaration for %d Channels\n", lp.numChannels);
    fputs(
        "Chan\tType\tQuan\tPhase\tDir\tRecords\tkmVal\t\tTLC\n"
        "----\t----\t----\t-----\t---\t-------\t-----\t\t---\n",
        stdout);
    for (int k = 1; k <= lp.numChannels; ++k) {
        const LP_CHANNEL& c = lp.channels[k - 1];
        printf("%d\t%d\t%d\t%d\t%d\t%d\t%f\t%d\n", k, c.type, c.quantity, c.phase, c.direction,
               c.records, c.kmValue, c.unComp);
    }
    fputs("\n\n", stdout);
}

}  // namespace

int ReadLpConfig(toolkit::CCds& cds, int lpMask) {
    const bool debug = (g_logLevel & kDebugConfig) != 0;
    int result = 0;
    for (int n = 1; n <= kLpCount; ++n) {
        if ((lpMask & g_lpBitTable[n - 1]) == 0) {
            if (debug) {
                DebugPrintf("[ReadLpConfig] Skipping LP %d\n", n);
            }
            continue;
        }
        if (debug) {
            DebugPrintf("[ReadLpConfig] Processing LP %d\n", n);
        }
        LP_STATE& lp = g_lP[n - 1];
        const std::string prefix = LpConfigPrefix(n);

        const std::string countPath = prefix + kLpChannelCountLeaf;
        api_status_t status = 0;
        toolkit::CElement count;
        element_property_t property = 0;
        if (cds.get_leaf(countPath, status, count, property) != kCdsCallOk ||
            status != kCdsLeafOk) {
            printf("[ReadLpConfig] failed to get_leaf of %s\n", countPath.c_str());
            return -1;
        }
        lp.numChannels = count.to_int();
        // A record has room for kMaxChannels channels; the rest of a larger count is ignored.
        if (lp.numChannels > kMaxChannels) {
            printf("[ReadLpConfig] LP %d has %d channels configured; only the first %d are used\n",
                   n, lp.numChannels, kMaxChannels);
            lp.numChannels = kMaxChannels;
        }

        if (lp.numChannels > 0) {
            switch (ReadBatch(cds, prefix, lp, debug)) {
                case BatchResult::kFailed:
                    return -1;
                case BatchResult::kItemsFailed:
                    result = -1;
                    break;
                case BatchResult::kRead:
                    break;
            }
        }
        if (g_showConfigOnly || debug) {
            ShowLpConfig(n, lp);
        }
    }
    return result;
}
