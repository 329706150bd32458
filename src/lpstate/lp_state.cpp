#include "lpstate/lp_state.h"

#include "driver/debug_log.h"
#include "driver/run_options.h"

const int g_lpBitTable[kLpCount] = {1, 2};

LP_STATE g_lP[kLpCount];

void ClearLpFileInfo(LP_FILE_INFO* fileInfo) {
    *fileInfo = LP_FILE_INFO{};
}

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
        LP_STATE& lp = g_lP[i];
        lp.intLength = 0;
        lp.numChannels = 0;
        lp.extIntSync = 0;
        lp.frzMark = 0;
        lp.dataSetting1 = 0;
        lp.dataSetting2 = 0;
        for (LP_CHANNEL& channel : lp.channels) {
            channel = LP_CHANNEL{};
        }
        ClearLpFileInfo(&lp.fileInfo);
    }
}
