#include "lpstate/lp_state.h"

#include <cstring>

#include "driver/debug_log.h"
#include "driver/run_options.h"

const int g_lpBitTable[kLpCount] = {1, 2};

LP_STATE g_lP[kLpCount];

void ClearLpStructs(int lpMask) {
    for (int i = 0; i < kLpCount; ++i) {
        const int bit = g_lpBitTable[i];
        if ((bit & lpMask) == 0) {
            if ((g_logLevel & kDebugConfig) != 0) {
                DebugPrintf("[ClearLpStructs] NOT Clearing Load Profile %d\n", bit);
            }
            continue;
        }
        if ((g_logLevel & kDebugConfig) != 0) {
            DebugPrintf("[ClearLpStructs] Clearing Load Profile %d\n", bit);
        }
        // Everything but headWord, padding included, so a cleared record is all zero bytes.
        const uint32_t headWord = g_lP[i].headWord;
        memset(&g_lP[i], 0, sizeof g_lP[i]);
        g_lP[i].headWord = headWord;
    }
}
