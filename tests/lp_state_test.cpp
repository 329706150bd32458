#include "lpstate/lp_state.h"

#include <gtest/gtest.h>

#include <cstring>

#include "driver/run_options.h"

namespace {

TEST(ClearLpStructsTest, ClearsTheSelectedProfilesOnly) {
    const struct {
        int mask;
        int logLevel;
        bool clears[2];
        const char* output;
    } kCases[] = {
        {0,
         1,
         {false, false},
         "[ClearLpStructs] NOT Clearing Load Profile 1\n"
         "[ClearLpStructs] NOT Clearing Load Profile 2\n"},
        {2,
         7,
         {false, true},
         "[ClearLpStructs] NOT Clearing Load Profile 1\n"
         "[ClearLpStructs] Clearing Load Profile 2\n"},
        {3,
         1,
         {true, true},
         "[ClearLpStructs] Clearing Load Profile 1\n"
         "[ClearLpStructs] Clearing Load Profile 2\n"},
        {0xfd, 6, {true, false}, ""},
    };
    for (const auto& c : kCases) {
        memset(g_lP, 0x5a, sizeof g_lP);
        LP_STATE expected[2];
        memcpy(expected, g_lP, sizeof expected);
        for (int i = 0; i < 2; ++i) {
            if (c.clears[i]) {
                memset(&expected[i], 0, sizeof expected[i]);
                expected[i].headWord = g_lP[i].headWord;
            }
        }
        g_logLevel = c.logLevel;
        testing::internal::CaptureStdout();
        ClearLpStructs(c.mask);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), c.output) << c.mask;
        EXPECT_EQ(memcmp(g_lP, expected, sizeof expected), 0) << c.mask;
    }
    g_logLevel = 0;
    memset(g_lP, 0, sizeof g_lP);
}

}  // namespace
