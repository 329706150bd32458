#include "lpstate/lp_state.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "driver/run_options.h"

namespace {

// Every field of a profile set to something nonzero.
void FillProfile(LP_STATE* lp) {
    memset(lp, 0x5a, sizeof *lp);
    for (LP_CHANNEL& channel : lp->channels) {
        channel.kmValue = 1.5;
    }
}

bool IsCleared(const LP_STATE& lp) {
    bool cleared = lp.intLength == 0 && lp.numChannels == 0 && lp.extIntSync == 0 &&
                   lp.frzMark == 0 && lp.dataSetting1 == 0 && lp.dataSetting2 == 0;
    for (const LP_CHANNEL& c : lp.channels) {
        cleared = cleared && c.type == 0 && c.quantity == 0 && c.phase == 0 && c.direction == 0 &&
                  c.records == 0 && c.kmValue == 0.0 && c.unComp == 0 && c.spare == 0;
    }
    LP_FILE_INFO zero;
    memset(&zero, 0, sizeof zero);
    return cleared && memcmp(&lp.fileInfo, &zero, sizeof zero) == 0;
}

struct ClearCase {
    int mask;
    int logLevel;
    bool clearsLp1;
    bool clearsLp2;
    const char* output;
};

const ClearCase kClearCases[] = {
    {0, 1, false, false,
     "[ClearLpStructs] NOT Clearing Load Profile 1\n"
     "[ClearLpStructs] NOT Clearing Load Profile 2\n"},
    {1, 1, true, false,
     "[ClearLpStructs] Clearing Load Profile 1\n"
     "[ClearLpStructs] NOT Clearing Load Profile 2\n"},
    {2, 7, false, true,
     "[ClearLpStructs] NOT Clearing Load Profile 1\n"
     "[ClearLpStructs] Clearing Load Profile 2\n"},
    {3, 1, true, true,
     "[ClearLpStructs] Clearing Load Profile 1\n"
     "[ClearLpStructs] Clearing Load Profile 2\n"},
    {0xfc, 1, false, false,
     "[ClearLpStructs] NOT Clearing Load Profile 1\n"
     "[ClearLpStructs] NOT Clearing Load Profile 2\n"},
    {3, 0, true, true, ""},
    {1, 6, true, false, ""},
};

TEST(ClearLpStructsTest, ClearsTheSelectedProfilesOnly) {
    for (const ClearCase& c : kClearCases) {
        FillProfile(&g_lP[0]);
        FillProfile(&g_lP[1]);
        LP_STATE before[2];
        memcpy(before, g_lP, sizeof before);
        g_logLevel = c.logLevel;

        testing::internal::CaptureStdout();
        ClearLpStructs(c.mask);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), c.output) << "mask " << c.mask;

        const bool clears[2] = {c.clearsLp1, c.clearsLp2};
        for (int i = 0; i < 2; ++i) {
            if (clears[i]) {
                EXPECT_TRUE(IsCleared(g_lP[i])) << "mask " << c.mask << " LP " << i;
                EXPECT_EQ(g_lP[i].headWord, before[i].headWord);
            } else {
                EXPECT_EQ(memcmp(&g_lP[i], &before[i], sizeof before[i]), 0)
                    << "mask " << c.mask << " LP " << i;
            }
        }
    }
    g_logLevel = 0;
    memset(g_lP, 0, sizeof g_lP);
}

TEST(ClearLpFileInfoTest, ZeroesCountersAndLists) {
    LP_FILE_INFO info;
    memset(&info, 0x11, sizeof info);
    ClearLpFileInfo(&info);
    LP_FILE_INFO zero;
    memset(&zero, 0, sizeof zero);
    EXPECT_EQ(memcmp(&info, &zero, sizeof info), 0);
}

}  // namespace
