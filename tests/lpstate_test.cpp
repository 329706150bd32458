// The load-profile state, and its configuration and file information read from and written to a
// stand-in of the CDS client (what a whole profile shows is in the transcripts): exact output,
// item numbers, what each failure leaves; and the record loop that a failing store ends.
#include <sys/stat.h>

#include <cstring>

#include "driver/generation_run.h"
#include "driver/run_options.h"
#include "fake_cds.h"
#include "lpfile/lp_dirs.h"
#include "lpstate/lp_config.h"
#include "lpstate/lp_file_info.h"
#include "lpstate/lp_state.h"
#include "test_support.h"

namespace {

void Set(const std::string& path, const toolkit::CElement& value) {
    g_fakeCds.leaves[path] = value;
}

// LP n with count channels configured and leaves for `present` of them: setting i holds
// 10 * n + i, leaf j of channel k holds 100 * k + j, except KmValue, k + 0.5.
void Configure(int n, int32_t count, int present) {
    const std::string prefix = "/Q7M/LoadPrf/" + std::to_string(n) + "/";
    Set(prefix + "NumChannels/Value", Int(count));
    const char* const kSettings[] = {"IntLength", "ExtIntSync", "FrzMark", "DataSetting1",
                                     "DataSetting2"};
    for (int i = 0; i < 5; ++i) {
        Set(prefix + kSettings[i] + "/Value", Int(10 * n + i));
    }
    const char* const kLeaves[] = {"Type",    "Quantity", "Phase", "Direction",
                                   "Records", "KmValue",  "UnComp"};
    for (int k = 1; k <= present; ++k) {
        for (int j = 0; j < 7; ++j) {
            Set(prefix + "Chan/" + std::to_string(k) + "/" + kLeaves[j] + "/Value",
                j == 5 ? Float(k + 0.5) : Int(100 * k + j));
        }
    }
}

// What ReadLpConfig shows of LP n: its settings row and its channel rows.
std::string Shown(int n, const std::string& settings, int channels, const std::string& rows) {
    return "Load Profile " + std::to_string(n) +
           " Configuration\nChnls\tIntLength\tSync\tFrzMark\tStoreEvents\tInCounts\n"
           "-----\t---------\t----\t-------\t-----------\t--------\n" +
           settings + "\nChannel Configuaration for " + std::to_string(channels) +
           " Channels\nChan\tType\tQuan\tPhase\tDir\tRecords\tkmVal\t\tTLC\n"
           "----\t----\t----\t-----\t---\t-------\t-----\t\t---\n" +
           rows + "\n\n";
}
const std::string kChannel1 = "1\t100\t101\t102\t103\t104\t1.500000\t106\n";

const char* const kFields[] = {"currentDay", "fileRecCnt", "totalRecCnt", "dayCnt", "daysDeleted"};

// Field k of LP n's file information holds 10 * n + k + 1.
void StoreFileInfo() {
    for (int n = 1; n <= 2; ++n) {
        for (int k = 0; k < 5; ++k) {
            Set("/LP/" + std::to_string(n) + "/" + kFields[k] + "/Value", Int(10 * n + k + 1));
        }
    }
}

// What ReadLpFileInfo shows of LP n, by default with the values StoreFileInfo stored.
std::string Table(int n, std::string row = "") {
    if (row.empty()) {
        row = Replace("n1\tn2\tn3\tn4\tn5", "n", std::to_string(n));
    }
    return "Load Profile " + std::to_string(n) +
           " File Information Configuration\nCurrent\tFile\tTotal\tTotl\tDays   \n"
           "Day    \tRecs\tRecs \tDays\tDeleted\n-------\t----\t-----\t----\t-------\n" +
           row + "\n\n\n";
}

// A call's result and standard output, and the log line in standard error (none when empty).
void ExpectCall(const CallOutput& got, int result, const std::string& out, const std::string& log) {
    EXPECT_EQ(got.result, result);
    EXPECT_EQ(got.out, out);
    EXPECT_NE(got.err.find(log), std::string::npos) << got.err;
    EXPECT_EQ(got.err.empty(), log.empty()) << got.err;
}

using LpStateTest = CdsTest;

// InitLp clears the selected profiles (all but their headWord, padding included) and reads them,
// with every debug line of the three steps, and succeeds whatever the readers report.
TEST_F(LpStateTest, InitLpClearsAndReadsTheSelectedProfiles) {
    const std::string kSkip = "[ReadLpConfig] Skipping LP 2\n";
    const std::string kRead1 =
        "[InitLp] Enter\n[ClearLpStructs] Clearing Load Profile 1\n"
        "[ClearLpStructs] NOT Clearing Load Profile 2\n[ReadLpConfig] Processing LP 1\n"
        "[ReadLpConfig] numChans=1, prefix=/Q7M/LoadPrf/1 \n"
        "[ReadLpConfig] prefix=/Q7M/LoadPrf/1/Chan/ \n[ReadLpConfig] read 12 leaves\n" +
        Shown(1, "1\t10\t\t11\t12\t13\t\t14", 1, kChannel1) + kSkip +
        "[ReadLpFileInfo] Processing LP 1\n[ReadLpFileInfo] prefix=/LP/1 \n"
        "[ReadLpFileInfo] read 5 leaves\n" +
        Table(1) + "[ReadLpFileInfo] Skipping LP 2\n";
    const std::string kUnread =
        "[ReadLpConfig] failed to get_leaf of /Q7M/LoadPrf/1/NumChannels/Value\n"
        "[ReadLpFileInfo] get_leaves failed.";
    const struct {
        int mask, logLevel;
        bool unreadable;  // every call fails
        size_t calls;
        std::string out;
    } kCases[] = {{1, 1, false, 3, kRead1},
                  {3, 6, false, 6, Table(1) + Table(2)},
                  {0xfc, 6, false, 0, ""},
                  {1, 0, true, 2, kUnread}};
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.out);
        Reset();
        Configure(1, 1, 1);
        Configure(2, 2, 2);
        StoreFileInfo();
        g_fakeCds.getLeafResult = g_fakeCds.getLeavesResult = c.unreadable ? kCdsStoreError : 0;
        memset(g_lP, 0x5a, sizeof g_lP);
        LP_STATE before, cleared = {};
        memset(&before, 0x5a, sizeof before);
        cleared.headWord = before.headWord;
        g_logLevel = c.logLevel;
        ExpectCall(CaptureCall([&] { return InitLp(cds, c.mask); }), 0, c.out,
                   c.unreadable ? "get_leaves failed." : "");
        EXPECT_EQ(g_fakeCds.calls.size(), c.calls);
        for (int i = 0; i < 2; ++i) {
            if ((c.mask & (i + 1)) == 0 || c.unreadable) {
                const LP_STATE& expected = (c.mask & (i + 1)) == 0 ? before : cleared;
                EXPECT_EQ(memcmp(&g_lP[i], &expected, sizeof expected), 0) << i;
            } else {
                EXPECT_EQ(g_lP[i].headWord, before.headWord);
                EXPECT_EQ(g_lP[i].fileInfo.listB[kFileInfoListSize - 1], 0);
            }
        }
    }
}

// A failed batch stops either reader at once ("@" stands for the reader's name); an unreadable
// count stops the configuration reader; a failed item is reported, keeps its field, and the rest
// goes on.
TEST_F(LpStateTest, ReadFailures) {
    const std::string kNoCount =
        "[ReadLpConfig] failed to get_leaf of /Q7M/LoadPrf/1/NumChannels/Value\n";
    const std::string kItem14 =
        "[ReadLpConfig] pcd_get_leaves failed - item 14, path /Q7M/LoadPrf/1/Chan/2/Phase/Value\n";
    const std::string kItem2 =
        "[ReadLpFileInfo] pcd_get_leaves failed - item 2, path /LP/1/totalRecCnt/Value\n";
    const std::string kShown77 = Shown(1, "2\t10\t\t11\t12\t13\t\t14", 2,
                                       kChannel1 + "2\t200\t201\t77\t203\t204\t2.500000\t206\n") +
                                 Shown(2, "1\t20\t\t21\t22\t23\t\t24", 1, kChannel1);
    const std::string kItem5Lp2 =
        "[ReadLpConfig] pcd_get_leaves failed - item 5, path /Q7M/LoadPrf/2/Chan/1/Type/Value\n";
    const std::string kLp1Whole = Shown(1, "2\t10\t\t11\t12\t13\t\t14", 2,
                                        kChannel1 + "2\t200\t201\t202\t203\t204\t2.500000\t206\n");
    const struct {
        const char* reader;  // both when null
        void (*arrange)();
        size_t configCalls, fileInfoCalls;
        std::string out, log;  // log: in standard error; none when empty
    } kCases[] = {
        // clang-format off
        {nullptr, [] { g_fakeCds.getLeavesResult = kCdsStoreError; }, 2, 1, "[@] get_leaves failed.", "@: get_leaves failed.\n"},
        {nullptr, [] { g_fakeCds.oneStatusShort = true; }, 2, 1, "[@] get_leaves retcodes.size failed.\n", "[@] get_leaves retcodes.size failed.\n"},
        {nullptr, [] { g_fakeCds.oneValueShort = true; }, 2, 1, "[@] pcd_get_leaves vallist.size failed\n", "[@] pcd_get_leaves vallist.size failed\n"},
        {"ReadLpConfig", [] { g_fakeCds.failingPaths["/Q7M/LoadPrf/1/NumChannels/Value"] = 4; }, 1, 0, kNoCount, ""},
        {"ReadLpConfig", [] { g_fakeCds.getLeafResult = kCdsNotConnected; }, 1, 0, kNoCount, ""},
        {"ReadLpConfig", [] { g_fakeCds.failingPaths["/Q7M/LoadPrf/1/Chan/2/Phase/Value"] = 4; g_lP[0].channels[1].phase = 77; },
         4, 0, kItem14 + kShown77, kItem14},
        {"ReadLpConfig", [] { g_fakeCds.failingPaths["/Q7M/LoadPrf/2/Chan/1/Type/Value"] = 2; g_lP[1].channels[0].type = 77; },
         4, 0, kLp1Whole + kItem5Lp2 + Shown(2, "1\t20\t\t21\t22\t23\t\t24", 1, "1\t77\t101\t102\t103\t104\t1.500000\t106\n"), kItem5Lp2},
        {"ReadLpFileInfo", [] { g_fakeCds.failingPaths["/LP/1/totalRecCnt/Value"] = 2; g_lP[0].fileInfo.totalRecCnt = 77; },
         0, 2, kItem2 + Table(1, "11\t12\t77\t14\t15") + Table(2), kItem2},
        // clang-format on
    };
    for (const auto& c : kCases) {
        for (const char* reader : {"ReadLpConfig", "ReadLpFileInfo"}) {
            if (c.reader != nullptr && strcmp(c.reader, reader) != 0) {
                continue;
            }
            const std::string out = Replace(c.out, "@", reader), log = Replace(c.log, "@", reader);
            SCOPED_TRACE(out);
            Reset();
            Configure(1, 2, 2);
            Configure(2, 1, 1);
            StoreFileInfo();
            g_showConfigOnly = true;
            c.arrange();
            const bool config = strcmp(reader, "ReadLpConfig") == 0;
            const CallOutput got =
                CaptureCall([&] { return config ? ReadLpConfig(cds, 3) : ReadLpFileInfo(cds, 3); });
            ExpectCall(got, -1, out, log);
            EXPECT_EQ(g_fakeCds.calls.size(), config ? c.configCalls : c.fileInfoCalls);
        }
    }
}

TEST_F(LpStateTest, WriteFileInfoToCDSStoresTheIndexedProfileOrReportsEachFailure) {
    const struct {
        int logLevel;
        void (*arrange)();
        int result;
        const char* out;
        const char* log;  // in standard error; none when empty
    } kCases[] = {
        // clang-format off
        {4, [] {}, 0, "[WriteFileInfoToCDS] prefix=/LP/2\n[WriteFileInfoToCDS] wrote 5 values to CDS\n", ""},
        {3, [] { g_fakeCds.setLeavesResult = kCdsStoreError; }, 8,
         "[WriteFileInfoToCDS]: Error calling set_leaves retval is -3\n", "WriteFileInfoToCDS: Error calling set_leaves retval is -3\n"},
        {0, [] { g_fakeCds.failingPaths["/LP/2/dayCnt/Value"] = kCdsStatusBadPath; }, 8,
         "[WriteFileInfoToCDS]: set_leaves error /LP/2/dayCnt/Value : 3 \n", "WriteFileInfoToCDS: set_leaves error /LP/2/dayCnt/Value : 3\n"},
        {0, [] { g_fakeCds.oneStatusShort = true; }, 8,
         "[WriteFileInfoToCDS]: set_leaves error /LP/2/daysDeleted/Value : 0 \n", "WriteFileInfoToCDS: set_leaves error /LP/2/daysDeleted/Value : 0\n"},
        // clang-format on
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.out);
        Reset();
        g_lP[1].fileInfo = {7, -8, 9, 10, 2147483647, 0, {}, {}};
        g_logLevel = c.logLevel;
        c.arrange();
        ExpectCall(CaptureCall([&] { return WriteFileInfoToCDS(cds, 1); }), c.result, c.out, c.log);
        if (c.result != 0) {
            continue;
        }
        std::string stored;
        for (const char* field : kFields) {
            const toolkit::CElement& leaf =
                g_fakeCds.leaves[std::string("/LP/2/") + field + "/Value"];
            stored += std::to_string(leaf.type()) + ":" + std::to_string(leaf.to_int()) + " ";
        }
        EXPECT_EQ(stored, "2:7 2:-8 2:9 2:10 2:2147483647 ");
    }
}

// The record stays in its file and the closing table counts it.
TEST_F(LpStateTest, AFailingStoreEndsTheRunAfterTheRecord) {
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
