#include "lpstate/lp_file_info.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "driver/run_options.h"
#include "fake_cds.h"
#include "lpstate/lp_state.h"

namespace {

const char* const kFields[] = {"currentDay", "fileRecCnt", "totalRecCnt", "dayCnt", "daysDeleted"};

// Field k of LP n's file information holds 10 * n + k + 1.
void StoreFileInfo() {
    for (int n = 1; n <= 2; ++n) {
        for (int k = 0; k < 5; ++k) {
            SetIntLeaf("/LP/" + std::to_string(n) + "/" + kFields[k] + "/Value", 10 * n + k + 1);
        }
    }
}

std::string Table(int n, const char* row) {
    return "Load Profile " + std::to_string(n) +
           " File Information Configuration\n"
           "Current\tFile\tTotal\tTotl\tDays   \n"
           "Day    \tRecs\tRecs \tDays\tDeleted\n"
           "-------\t----\t-----\t----\t-------\n" +
           row + "\n\n\n";
}

using ReadLpFileInfoTest = CdsTest;
using WriteFileInfoToCDSTest = CdsTest;

TEST_F(ReadLpFileInfoTest, ReadsAndShowsTheSelectedProfiles) {
    const struct {
        int mask;
        int logLevel;
        void (*arrange)();
        int result;
        size_t calls;
        std::string out;
        const char* log;
    } kCases[] = {
        {3, 6, [] {}, 0, 2, Table(1, "11\t12\t13\t14\t15") + Table(2, "21\t22\t23\t24\t25"), ""},
        {2, 1, [] {}, 0, 1,
         "[ReadLpFileInfo] Skipping LP 1\n[ReadLpFileInfo] Processing LP 2\n"
         "[ReadLpFileInfo] prefix=/LP/2 \n[ReadLpFileInfo] read 5 leaves\n" +
             Table(2, "21\t22\t23\t24\t25"),
         ""},
        {0, 1, [] {}, 0, 0, "[ReadLpFileInfo] Skipping LP 1\n[ReadLpFileInfo] Skipping LP 2\n", ""},
        {4, 0, [] {}, 0, 0, "", ""},
        {1, 0,
         [] {
             g_fakeCds.failingPaths["/LP/1/totalRecCnt/Value"] = kCdsStatusNotFound;
             g_lP[0].fileInfo.totalRecCnt = 77;
         },
         -1, 1,
         "[ReadLpFileInfo] pcd_get_leaves failed - item 2, path /LP/1/totalRecCnt/Value\n" +
             Table(1, "11\t12\t77\t14\t15"),
         "[ReadLpFileInfo] pcd_get_leaves failed - item 2, path /LP/1/totalRecCnt/Value\n"},
        {3, 0, [] { g_fakeCds.getLeavesResult = kCdsStoreError; }, -1, 1,
         "[ReadLpFileInfo] get_leaves failed.", "ReadLpFileInfo: get_leaves failed.\n"},
        {3, 0, [] { g_fakeCds.oneStatusShort = true; }, -1, 1,
         "[ReadLpFileInfo] get_leaves retcodes.size failed.\n",
         "[ReadLpFileInfo] get_leaves retcodes.size failed.\n"},
        {3, 0, [] { g_fakeCds.oneValueShort = true; }, -1, 1,
         "[ReadLpFileInfo] pcd_get_leaves vallist.size failed\n",
         "[ReadLpFileInfo] pcd_get_leaves vallist.size failed\n"},
    };
    for (const auto& c : kCases) {
        Reset();
        StoreFileInfo();
        g_logLevel = c.logLevel;
        c.arrange();
        const CallOutput got = CaptureCall([&] { return ReadLpFileInfo(cds, c.mask); });
        EXPECT_EQ(got.result, c.result) << c.out;
        EXPECT_EQ(got.out, c.out);
        EXPECT_NE(got.err.find(c.log), std::string::npos) << got.err;
        EXPECT_EQ(got.err.empty(), c.log[0] == '\0') << got.err;
        EXPECT_EQ(g_fakeCds.calls.size(), c.calls) << c.out;
    }
}

TEST_F(ReadLpFileInfoTest, InitLpClearsAndReadsTheSelectedProfileAndAlwaysSucceeds) {
    StoreFileInfo();
    SetIntLeaf("/Q7M/LoadPrf/2/NumChannels/Value", 0);
    memset(g_lP, 0x5a, sizeof g_lP);
    const LP_STATE untouched = g_lP[0];
    CallOutput got = CaptureCall([&] { return InitLp(cds, 2); });
    EXPECT_EQ(got.result, 0);
    EXPECT_EQ(got.out, Table(2, "21\t22\t23\t24\t25"));
    EXPECT_EQ(memcmp(&g_lP[0], &untouched, sizeof untouched), 0);
    EXPECT_EQ(g_lP[1].intLength, 0);
    EXPECT_EQ(g_lP[1].fileInfo.listA[0], 0);

    g_fakeCds.getLeavesResult = kCdsStoreError;
    g_fakeCds.getLeafResult = kCdsStoreError;
    got = CaptureCall([&] { return InitLp(cds, 1); });
    EXPECT_EQ(got.result, 0);
    EXPECT_EQ(got.out,
              "[ReadLpConfig] failed to get_leaf of /Q7M/LoadPrf/1/NumChannels/Value\n"
              "[ReadLpFileInfo] get_leaves failed.");
}

TEST_F(WriteFileInfoToCDSTest, WritesTheFieldsOfTheIndexedProfile) {
    for (int logLevel : {0, 3, 4}) {
        Reset();
        g_lP[1].fileInfo = {7, -8, 9, 10, 2147483647, 0, {}, {}};
        g_logLevel = logLevel;
        const CallOutput got = CaptureCall([&] { return WriteFileInfoToCDS(cds, 1); });
        EXPECT_EQ(got.result, 0);
        EXPECT_EQ(got.out, logLevel != 4 ? ""
                                         : "[WriteFileInfoToCDS] prefix=/LP/2\n"
                                           "[WriteFileInfoToCDS] wrote 5 values to CDS\n");
        EXPECT_EQ(got.err, "");
        EXPECT_EQ(g_fakeCds.lastFlags, std::vector<pcd_tribool_t>(5, 1));
        ASSERT_EQ(g_fakeCds.leaves.size(), 5u);
        const int32_t kWritten[] = {7, -8, 9, 10, 2147483647};
        for (int k = 0; k < 5; ++k) {
            const toolkit::CElement& leaf =
                g_fakeCds.leaves[std::string("/LP/2/") + kFields[k] + "/Value"];
            EXPECT_EQ(leaf.type(), toolkit::CElement::kTypeInt) << kFields[k];
            EXPECT_EQ(leaf.to_int(), kWritten[k]) << kFields[k];
        }
    }
}

TEST_F(WriteFileInfoToCDSTest, ReportsAFailedWriteAndEachFailedLeaf) {
    const struct {
        void (*arrange)();
        const char* out;
        const char* log;
    } kCases[] = {
        {[] { g_fakeCds.setLeavesResult = kCdsStoreError; },
         "[WriteFileInfoToCDS]: Error calling set_leaves retval is -3\n",
         "WriteFileInfoToCDS: Error calling set_leaves retval is -3\n"},
        {[] { g_fakeCds.failingPaths["/LP/1/dayCnt/Value"] = kCdsStatusBadPath; },
         "[WriteFileInfoToCDS]: set_leaves error /LP/1/dayCnt/Value : 3 \n",
         "WriteFileInfoToCDS: set_leaves error /LP/1/dayCnt/Value : 3\n"},
        {[] { g_fakeCds.oneStatusShort = true; },
         "[WriteFileInfoToCDS]: set_leaves error /LP/1/daysDeleted/Value : 0 \n",
         "WriteFileInfoToCDS: set_leaves error /LP/1/daysDeleted/Value : 0\n"},
    };
    for (const auto& c : kCases) {
        Reset();
        c.arrange();
        const CallOutput got = CaptureCall([&] { return WriteFileInfoToCDS(cds, 0); });
        EXPECT_EQ(got.result, 8);
        EXPECT_EQ(got.out, c.out);
        EXPECT_NE(got.err.find(c.log), std::string::npos) << got.err;
    }
}

TEST_F(WriteFileInfoToCDSTest, WrittenZeroesReadBackAsAZeroTable) {
    StoreFileInfo();
    ASSERT_EQ(WriteFileInfoToCDS(cds, 0), 0);
    memset(&g_lP[0].fileInfo, 0x11, sizeof g_lP[0].fileInfo);
    const CallOutput got = CaptureCall([&] { return ReadLpFileInfo(cds, 1); });
    EXPECT_EQ(got.result, 0);
    EXPECT_EQ(got.out, Table(1, "0\t0\t0\t0\t0"));
}

}  // namespace
