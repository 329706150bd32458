#include "lpstate/lp_config.h"

#include <gtest/gtest.h>

#include <string>

#include "driver/run_options.h"
#include "fake_cds.h"
#include "lpstate/lp_state.h"

namespace {

const char* const kChannelLeaves[] = {"Type",    "Quantity", "Phase", "Direction",
                                      "Records", "KmValue",  "UnComp"};

// LP n with count channels configured and leaves for `present` of them: setting i holds
// 10 * n + i, leaf j of channel k holds 100 * k + j, except KmValue, k + 0.5.
void Configure(int n, int32_t count, int present) {
    const std::string prefix = "/Q7M/LoadPrf/" + std::to_string(n);
    SetIntLeaf(prefix + "/NumChannels/Value", count);
    int i = 0;
    for (const char* leaf :
         {"IntLength", "ExtIntSync", "FrzMark", "DataSetting1", "DataSetting2"}) {
        SetIntLeaf(prefix + "/" + leaf + "/Value", 10 * n + i++);
    }
    for (int k = 1; k <= present; ++k) {
        const std::string channel = prefix + "/Chan/" + std::to_string(k) + "/";
        for (int j = 0; j < 7; ++j) {
            SetIntLeaf(channel + kChannelLeaves[j] + "/Value", 100 * k + j);
        }
        g_fakeCds.leaves[channel + "KmValue/Value"].set_float(k + 0.5);
    }
}

const char kHead[] =
    "Chnls\tIntLength\tSync\tFrzMark\tStoreEvents\tInCounts\n"
    "-----\t---------\t----\t-------\t-----------\t--------\n";
const char kChannelHead[] =
    "Chan\tType\tQuan\tPhase\tDir\tRecords\tkmVal\t\tTLC\n"
    "----\t----\t----\t-----\t---\t-------\t-----\t\t---\n";

using ReadLpConfigTest = CdsTest;

TEST_F(ReadLpConfigTest, ShowsTheProfileByteForByte) {
    Configure(2, 3, 3);
    SetIntLeaf("/Q7M/LoadPrf/2/ExtIntSync/Value", 70000);
    SetIntLeaf("/Q7M/LoadPrf/2/FrzMark/Value", 40000);
    g_fakeCds.leaves["/Q7M/LoadPrf/2/Chan/1/KmValue/Value"].set_float(1.2345678);
    SetIntLeaf("/Q7M/LoadPrf/2/Chan/2/Phase/Value", -1);
    SetIntLeaf("/Q7M/LoadPrf/2/Chan/2/KmValue/Value", 2);
    g_fakeCds.leaves["/Q7M/LoadPrf/2/Chan/3/Type/Value"].set_text("12");
    g_fakeCds.leaves["/Q7M/LoadPrf/2/Chan/3/KmValue/Value"].set_text("-3.25");
    SetIntLeaf("/Q7M/LoadPrf/2/Chan/3/UnComp/Value", 99999);
    g_showConfigOnly = true;

    const CallOutput got = CaptureCall([&] { return ReadLpConfig(cds, 2); });
    EXPECT_EQ(got.result, 0);
    EXPECT_EQ(got.out, std::string("Load Profile 2 Configuration\n") + kHead +
                           "3\t20\t\t4464\t-25536\t23\t\t24\n"
                           "Channel Configuaration for 3 Channels\n" +
                           kChannelHead +
                           "1\t100\t101\t102\t103\t104\t1.234568\t106\n"
                           "2\t200\t201\t-1\t203\t204\t2.000000\t206\n"
                           "3\t12\t301\t302\t303\t304\t-3.250000\t-31073\n\n\n");
    ASSERT_EQ(g_fakeCds.calls.size(), 2u);
    const std::vector<std::string>& batch = g_fakeCds.calls[1];
    ASSERT_EQ(batch.size(), 26u);
    EXPECT_EQ(batch[0], "/Q7M/LoadPrf/2/IntLength/Value");
    EXPECT_EQ(batch[4], "/Q7M/LoadPrf/2/DataSetting2/Value");
    EXPECT_EQ(batch[5], "/Q7M/LoadPrf/2/Chan/1/Type/Value");
    EXPECT_EQ(batch[17], "/Q7M/LoadPrf/2/Chan/2/KmValue/Value");
    EXPECT_EQ(batch[25], "/Q7M/LoadPrf/2/Chan/3/UnComp/Value");
}

TEST_F(ReadLpConfigTest, BoundsTheChannelCount) {
    const struct {
        int32_t count;
        int32_t stored;
        size_t batch;
        const char* out;
    } kCases[] = {
        {0, 0, 0, ""},
        {-3, -3, 0, ""},
        {16, 16, 117, ""},
        {17, 16, 117,
         "[ReadLpConfig] LP 2 has 17 channels configured; only the first 16 are used\n"},
        {40000, 16, 117,
         "[ReadLpConfig] LP 2 has 40000 channels configured; only the first 16 are used\n"},
    };
    for (const auto& c : kCases) {
        Reset();
        Configure(2, c.count, 17);
        const CallOutput got = CaptureCall([&] { return ReadLpConfig(cds, 2); });
        EXPECT_EQ(got.result, 0);
        EXPECT_EQ(got.out, c.out);
        EXPECT_EQ(g_lP[1].numChannels, c.stored);
        ASSERT_EQ(g_fakeCds.calls.size(), c.batch == 0 ? 1u : 2u) << c.count;
        if (c.batch != 0) {
            ASSERT_EQ(g_fakeCds.calls[1].size(), c.batch);
            EXPECT_EQ(g_fakeCds.calls[1][73], "/Q7M/LoadPrf/2/Chan/10/KmValue/Value");
            EXPECT_EQ(g_fakeCds.calls[1].back(), "/Q7M/LoadPrf/2/Chan/16/UnComp/Value");
            EXPECT_EQ(g_lP[1].channels[15].unComp, 1606);
        }
    }
    Reset();
    Configure(1, -3, 0);
    g_showConfigOnly = true;
    EXPECT_EQ(CaptureCall([&] { return ReadLpConfig(cds, 1); }).out,
              std::string("Load Profile 1 Configuration\n") + kHead + "-3\t0\t\t0\t0\t0\t\t0\n" +
                  "Channel Configuaration for -3 Channels\n" + kChannelHead + "\n\n");
}

TEST_F(ReadLpConfigTest, FollowsTheMaskAndTheDebugBit) {
    const std::string kShown1 = std::string("Load Profile 1 Configuration\n") + kHead +
                                "1\t10\t\t11\t12\t13\t\t14\n"
                                "Channel Configuaration for 1 Channels\n" +
                                kChannelHead + "1\t100\t101\t102\t103\t104\t1.500000\t106\n\n\n";
    const struct {
        int mask;
        int logLevel;
        size_t calls;
        std::string out;
    } kCases[] = {
        {0, 1, 0, "[ReadLpConfig] Skipping LP 1\n[ReadLpConfig] Skipping LP 2\n"},
        {0xfc, 6, 0, ""},
        {3, 6, 4, ""},
        {1, 1, 2,
         "[ReadLpConfig] Processing LP 1\n"
         "[ReadLpConfig] numChans=1, prefix=/Q7M/LoadPrf/1 \n"
         "[ReadLpConfig] prefix=/Q7M/LoadPrf/1/Chan/ \n"
         "[ReadLpConfig] read 12 leaves\n" +
             kShown1 + "[ReadLpConfig] Skipping LP 2\n"},
    };
    for (const auto& c : kCases) {
        Reset();
        Configure(1, 1, 1);
        Configure(2, 2, 2);
        g_logLevel = c.logLevel;
        const CallOutput got = CaptureCall([&] { return ReadLpConfig(cds, c.mask); });
        EXPECT_EQ(got.result, 0);
        EXPECT_EQ(got.out, c.out) << c.mask;
        EXPECT_EQ(g_fakeCds.calls.size(), c.calls) << c.mask;
        EXPECT_EQ(g_lP[1].channels[1].kmValue, (c.mask & 2) != 0 ? 2.5 : 0.0) << c.mask;
    }
}

TEST_F(ReadLpConfigTest, StopsAtAFailedCountOrBatch) {
    const std::string kNoCount =
        "[ReadLpConfig] failed to get_leaf of /Q7M/LoadPrf/1/NumChannels/Value\n";
    const struct {
        void (*arrange)();
        size_t calls;
        int32_t stored;
        std::string out;
        const char* log;
    } kCases[] = {
        {[] { g_fakeCds.leaves.erase("/Q7M/LoadPrf/1/NumChannels/Value"); }, 1, 0, kNoCount, ""},
        {[] { g_fakeCds.failingPaths["/Q7M/LoadPrf/1/NumChannels/Value"] = 4; }, 1, 0, kNoCount,
         ""},
        {[] { g_fakeCds.getLeafResult = kCdsNotConnected; }, 1, 0, kNoCount, ""},
        {[] { g_fakeCds.getLeavesResult = kCdsStoreError; }, 2, 2,
         "[ReadLpConfig] get_leaves failed.", "ReadLpConfig: get_leaves failed.\n"},
        {[] { g_fakeCds.oneStatusShort = true; }, 2, 2,
         "[ReadLpConfig] get_leaves retcodes.size failed.\n",
         "[ReadLpConfig] get_leaves retcodes.size failed.\n"},
        {[] { g_fakeCds.oneValueShort = true; }, 2, 2,
         "[ReadLpConfig] pcd_get_leaves vallist.size failed\n",
         "[ReadLpConfig] pcd_get_leaves vallist.size failed\n"},
    };
    for (const auto& c : kCases) {
        Reset();
        Configure(1, 2, 2);
        Configure(2, 2, 2);
        g_showConfigOnly = true;
        c.arrange();
        const CallOutput got = CaptureCall([&] { return ReadLpConfig(cds, 3); });
        EXPECT_EQ(got.result, -1);
        EXPECT_EQ(got.out, c.out);
        EXPECT_NE(got.err.find(c.log), std::string::npos) << got.err;
        EXPECT_EQ(got.err.empty(), c.log[0] == '\0') << got.err;
        EXPECT_EQ(g_fakeCds.calls.size(), c.calls) << c.out;
        EXPECT_EQ(g_lP[0].numChannels, c.stored) << c.out;
        EXPECT_EQ(g_lP[0].intLength, 0) << c.out;
    }
}

TEST_F(ReadLpConfigTest, AFailedItemKeepsItsFieldAndTheRestGoesOn) {
    Configure(1, 3, 3);
    Configure(2, 1, 1);
    g_fakeCds.failingPaths["/Q7M/LoadPrf/1/Chan/2/Phase/Value"] = kCdsStatusBadValue;
    g_lP[0].channels[1].phase = 77;
    const CallOutput got = CaptureCall([&] { return ReadLpConfig(cds, 3); });
    EXPECT_EQ(got.result, -1);
    const std::string kLine =
        "[ReadLpConfig] pcd_get_leaves failed - item 14, path /Q7M/LoadPrf/1/Chan/2/Phase/Value";
    EXPECT_EQ(got.out, kLine + "\n");
    EXPECT_NE(got.err.find(kLine + "\n"), std::string::npos) << got.err;
    EXPECT_EQ(g_lP[0].channels[1].phase, 77);
    EXPECT_EQ(g_lP[0].channels[1].quantity, 201);
    EXPECT_EQ(g_lP[0].channels[1].direction, 203);
    EXPECT_EQ(g_lP[0].channels[2].unComp, 306);
    EXPECT_EQ(g_lP[1].channels[0].records, 104);
}

}  // namespace
