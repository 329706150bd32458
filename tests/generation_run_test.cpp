// The record loop against a stand-in of the CDS client: a store that fails ends the run after the
// record it could not count, which stays in its file while the closing table counts it.
#include "driver/generation_run.h"

#include <sys/stat.h>

#include "driver/run_options.h"
#include "fake_cds.h"
#include "lpfile/lp_dirs.h"
#include "lpstate/lp_state.h"
#include "test_support.h"

namespace {

TEST_F(CdsTest, AFailingStoreEndsTheRunAfterTheRecord) {
    TempDir root;
    ASSERT_TRUE(SetFlashRoot(root.path.c_str()));
    ASSERT_EQ(mkdir((root.path + "/lp2").c_str(), 0755), 0);
    g_profileIndex = 1;
    g_totalDays = 1;
    g_lP[1].intLength = 60;
    g_lP[1].numChannels = 1;
    g_lP[1].fileInfo = {1, 26, 26, 0, 9, 0, {}, {}};
    WriteFile(root.path + "/lp2/1.lp", std::string(32 + 26 * 22, 'x'));
    g_fakeCds.failingPaths["/LP/2/dayCnt/Value"] = kCdsStatusBadPath;

    const CallOutput got = CaptureCall([this] {
        RunLpGeneration(cds);
        return 0;
    });
    const std::string kTail =
        "[WriteFileInfoToCDS]: set_leaves error /LP/2/dayCnt/Value : 3 \n"
        "main: WriteFileInfoToCDS returned error: 8\n"
        "Load Profile 2 File Information Configuration\n"
        "Current\tFile\tTotal\tTotl\tDays   \nDay    \tRecs\tRecs \tDays\tDeleted\n"
        "-------\t----\t-----\t----\t-------\n1\t27\t27\t0\t9\n\n\n";
    ASSERT_GE(got.out.size(), kTail.size());
    EXPECT_EQ(got.out.substr(got.out.size() - kTail.size()), kTail);
    EXPECT_NE(got.err.find("WriteFileInfoToCDS: set_leaves error /LP/2/dayCnt/Value : 3"),
              std::string::npos);
    EXPECT_EQ(ReadFile(root.path + "/lp2/1.lp").size(), 32u + 27 * 22);
    EXPECT_EQ(g_fakeCds.calls.size(), 1u);  // one store: the run did not go on

    g_profileIndex = 0;
    g_totalDays = 2;
    SetFlashRoot(nullptr);
}

}  // namespace
