// The load-profile state read from and written to a stand-in of the CDS client: exact output and
// what each failure leaves; and the record loop that a failing store ends.
#include <sys/stat.h>

#include <cstring>
#include <map>

#include "cds/pcd.h"
#include "driver/generation_run.h"
#include "driver/run_options.h"
#include "lpfile/lp_dirs.h"
#include "lpstate/lp_config.h"
#include "lpstate/lp_file_info.h"
#include "lpstate/lp_state.h"
#include "test_support.h"

// A stand-in for the CDS client, linked in place of the store: the leaves live in a map, every
// call is logged and plain knobs make calls fail.
struct FAKE_CDS {
    std::map<std::string, toolkit::CElement> leaves;
    int getLeafResult = kCdsOk;
    int getLeavesResult = kCdsOk;
    int setLeavesResult = kCdsOk;                      // on failure nothing is written
    std::map<std::string, api_status_t> failingPaths;  // written with this status
    bool oneStatusShort = false;                       // reads and writes answer one status too few
    bool oneValueShort = false;                        // reads answer one value too few
    std::vector<std::vector<std::string>> calls;       // the paths of every call, in call order
} g_fakeCds;

api_status_t ReadOne(const std::string& path, toolkit::CElement& element) {
    const auto leaf = g_fakeCds.leaves.find(path);
    if (leaf != g_fakeCds.leaves.end())
        element = leaf->second;
    return leaf == g_fakeCds.leaves.end() ? kCdsStatusNotFound : kCdsStatusOk;
}

pcd_handle_t pcd_init() {
    return nullptr;
}
void pcd_close(pcd_handle_t) {}

namespace toolkit {

int CCds::get_leaf(const std::string& path, api_status_t& status, CElement& element,
                   element_property_t& property) {
    g_fakeCds.calls.push_back({path});
    status = ReadOne(path, element);
    property = status == kCdsStatusOk ? 1 : 0;
    return g_fakeCds.getLeafResult;
}

int CCds::get_leaves(const std::vector<std::string>& paths, std::vector<api_status_t>& statuses,
                     std::vector<CElement>& values, std::vector<element_property_t>& properties) {
    g_fakeCds.calls.push_back(paths);
    statuses.assign(paths.size(), 0);
    values.assign(paths.size(), CElement());
    properties.assign(paths.size(), 0);
    for (size_t i = 0; i < paths.size() && g_fakeCds.getLeavesResult == kCdsOk; ++i) {
        statuses[i] = ReadOne(paths[i], values[i]);
        properties[i] = statuses[i] == kCdsStatusOk ? 1 : 0;
    }
    if (g_fakeCds.oneStatusShort)
        statuses.pop_back();
    if (g_fakeCds.oneValueShort)
        values.pop_back();
    return g_fakeCds.getLeavesResult;
}

int CCds::set_leaves(const std::vector<std::string>& paths, const std::vector<CElement>& values,
                     const std::vector<pcd_tribool_t>&, std::vector<api_status_t>& statuses,
                     const std::string&) {
    g_fakeCds.calls.push_back(paths);
    statuses.clear();
    for (size_t i = 0; i < paths.size() && g_fakeCds.setLeavesResult == kCdsOk; ++i) {
        const auto failing = g_fakeCds.failingPaths.find(paths[i]);
        if (failing != g_fakeCds.failingPaths.end()) {
            statuses.push_back(failing->second);
        } else {
            g_fakeCds.leaves[paths[i]] = values[i];
            statuses.push_back(kCdsStatusOk);
        }
    }
    if (g_fakeCds.oneStatusShort)
        statuses.pop_back();
    return g_fakeCds.setLeavesResult;
}

}  // namespace toolkit

namespace {

// Every test starts and ends with an empty store, zeroed profiles, no debug output and LP 1.
class LpStateTest : public testing::Test {
  protected:
    void SetUp() override { Reset(); }
    void TearDown() override { Reset(); }
    static void Reset() {
        g_fakeCds = FAKE_CDS();
        memset(g_lP, 0, sizeof g_lP);
        g_logLevel = 0;
        g_profileIndex = 0;
    }
    toolkit::CCds cds;
};

const char* const kFields[] = {"currentDay", "fileRecCnt", "totalRecCnt", "dayCnt", "daysDeleted"};

// LP n with count channels, field k of its file information holding 10 * n + k + 1.
void StoreProfile(int n, int32_t count) {
    g_fakeCds.leaves["/Q7M/LoadPrf/" + std::to_string(n) + "/NumChannels/Value"] = Int(count);
    for (int k = 0; k < 5; ++k) {
        g_fakeCds.leaves["/LP/" + std::to_string(n) + "/" + kFields[k] + "/Value"] =
            Int(10 * n + k + 1);
    }
}

// A call's result and standard output, and the log line in standard error (none when empty).
void ExpectCall(const CallOutput& got, int result, const std::string& out, const std::string& log) {
    EXPECT_EQ(got.result, result);
    EXPECT_EQ(got.out, out);
    EXPECT_NE(got.err.find(log), std::string::npos) << got.err;
    EXPECT_EQ(got.err.empty(), log.empty()) << got.err;
}

// InitLp clears the selected profiles (all but their headWord) and reads them, and succeeds
// whatever the readers report.
TEST_F(LpStateTest, InitLpClearsAndReadsTheSelectedProfiles) {
    const struct {
        int mask, logLevel;
        bool unreadable;  // every call fails
        size_t calls;
        std::string out;
    } kCases[] = {
        {3, 6, false, 4, InfoTable(1, "11\t12\t13\t14\t15") + InfoTable(2, "21\t22\t23\t24\t25")},
        {0xfc, 6, false, 0, ""},
        {1, 0, true, 2,
         "[ReadLpConfig] failed to get_leaf of /Q7M/LoadPrf/1/NumChannels/Value\n"
         "[ReadLpFileInfo] get_leaves failed."}};
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.out);
        Reset();
        StoreProfile(1, 0);
        StoreProfile(2, 0);
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
            const bool selected = (c.mask & (i + 1)) != 0;
            if (selected && !c.unreadable) {
                EXPECT_EQ(g_lP[i].headWord, before.headWord);
                EXPECT_EQ(g_lP[i].fileInfo.listB[kFileInfoListSize - 1], 0);
            } else {
                EXPECT_EQ(memcmp(&g_lP[i], selected ? &cleared : &before, sizeof before), 0) << i;
            }
        }
    }
}

// A failed batch, or one answered with too few statuses or values, stops either reader ("@").
TEST_F(LpStateTest, ReadFailures) {
    const struct {
        void (*arrange)();
        std::string out, log;  // log: in standard error
    } kCases[] = {
        // clang-format off
        {[] { g_fakeCds.getLeavesResult = kCdsStoreError; }, "[@] get_leaves failed.", "@: get_leaves failed.\n"},
        {[] { g_fakeCds.oneStatusShort = true; }, "[@] get_leaves retcodes.size failed.\n", "[@] get_leaves retcodes.size failed.\n"},
        {[] { g_fakeCds.oneValueShort = true; }, "[@] pcd_get_leaves vallist.size failed\n", "[@] pcd_get_leaves vallist.size failed\n"},
        // clang-format on
    };
    for (const auto& c : kCases) {
        for (const char* reader : {"ReadLpConfig", "ReadLpFileInfo"}) {
            const std::string out = Replace(c.out, "@", reader);
            SCOPED_TRACE(out);
            Reset();
            StoreProfile(1, 2);
            c.arrange();
            const bool config = strcmp(reader, "ReadLpConfig") == 0;
            ExpectCall(
                CaptureCall([&] { return config ? ReadLpConfig(cds, 3) : ReadLpFileInfo(cds, 3); }),
                -1, out, Replace(c.log, "@", reader));
            EXPECT_EQ(g_fakeCds.calls.size(), config ? 2u : 1u);
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
        if (c.result != 0)
            continue;
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
        "main: WriteFileInfoToCDS returned error: 8\n" +
        InfoTable(2, "1\t27\t27\t0\t9");
    EXPECT_EQ(got.out.rfind(kTail), got.out.size() - kTail.size()) << got.out;
    EXPECT_NE(got.err.find("WriteFileInfoToCDS: set_leaves error /LP/2/dayCnt/Value : 3"),
              std::string::npos);
    EXPECT_EQ(ReadFile(root.path + "/lp2/1.lp").size(), 32u + 27 * 22);
    EXPECT_EQ(g_fakeCds.calls.size(), 1u);  // one store: the run did not go on
}

}  // namespace
