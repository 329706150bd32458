// The host store behind the CDS client: values, statuses, all-or-nothing writes, and a store
// that survives a writer killed at any instant.
#include <fcntl.h>
#include <lmdb.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <limits>
#include <random>
#include <tuple>

#include "cds/host_store.h"
#include "test_support.h"

namespace {

using toolkit::CCds;
using toolkit::CElement;
using Paths = std::vector<std::string>;
using Statuses = std::vector<api_status_t>;
constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
constexpr int32_t kMax = std::numeric_limits<int32_t>::max();

// A fresh store in a temporary directory, named by CDS_STORE for the whole test.
struct ScratchStore {
    ScratchStore() : path(dir.path + "/store.mdb") {
        setenv("CDS_STORE", path.c_str(), 1);
        std::string error;
        EXPECT_TRUE(CreateCdsStore(path, &error)) << error;
    }
    TempDir dir;
    std::string path;
};

// Kills and reaps a child process at the end of the scope, also when an assertion returns early.
struct ChildProcess {
    ~ChildProcess() {
        if (pid > 0) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
    }
    pid_t pid = -1;
};

int Set(CCds& cds, const Paths& paths, const std::vector<CElement>& values, Statuses& statuses,
        pcd_tribool_t flag = 1) {
    return cds.set_leaves(paths, values, std::vector<pcd_tribool_t>(paths.size(), flag), statuses,
                          "");
}

struct Read {
    int result;
    Statuses statuses;
    std::vector<CElement> values;
    std::vector<element_property_t> properties;
};
Read Get(CCds& cds, const Paths& paths) {
    Read read;
    read.result = cds.get_leaves(paths, read.statuses, read.values, read.properties);
    return read;
}

TEST(CdsStore, ReadsGiveWhatWasWrittenWithAStatusPerPathInPathOrder) {
    ScratchStore store;
    CCds cds;
    Statuses statuses;
    const std::time_t before = std::time(nullptr);
    ASSERT_EQ(Set(cds, {"/a", "/c", "/f", "/t"},
                  {Int(kMin), Int(kMax), Float(-0.0), Text(std::string("\0\"x", 3))}, statuses),
              kCdsOk);
    EXPECT_EQ(statuses, Statuses(4, kCdsStatusOk));
    const Read got = Get(cds, {"/t", "/f", "/c", "/b", "bad", "/a", "/a/"});
    ASSERT_EQ(got.result, kCdsOk);
    EXPECT_EQ(got.statuses, (Statuses{kCdsStatusOk, kCdsStatusOk, kCdsStatusOk, kCdsStatusNotFound,
                                      kCdsStatusBadPath, kCdsStatusOk, kCdsStatusNotFound}));
    EXPECT_EQ(got.properties, (std::vector<element_property_t>{1, 1, 1, 0, 0, 1, 0}));
    EXPECT_EQ(got.values[0].to_text(), std::string("\0\"x", 3));
    EXPECT_EQ(std::make_tuple(got.values[1].type(), std::signbit(got.values[1].to_float()),
                              got.values[2].to_int(), got.values[3].type(), got.values[5].to_int()),
              std::make_tuple(CElement::kTypeFloat, true, kMax, CElement::kTypeNone, kMin));
    for (size_t i : {0u, 1u, 2u, 5u}) {
        EXPECT_GE(got.values[i].time(), before);
        EXPECT_LE(got.values[i].time(), std::time(nullptr));
    }
    api_status_t status = 0;
    CElement element;
    element_property_t property = 0;
    ASSERT_EQ(cds.get_leaf("/c", status, element, property), kCdsOk);
    EXPECT_EQ(std::make_tuple(status, property, element.to_int()), std::make_tuple(1, 1, kMax));
    ASSERT_EQ(cds.get_leaf("/missing", status, element, property), kCdsOk);
    EXPECT_EQ(status, kCdsStatusNotFound);

    EXPECT_EQ(cds.set_leaves({"/a"}, {}, {1}, statuses, ""), kCdsBadRequest);
    EXPECT_EQ(cds.set_leaves({"/a"}, {Int(1)}, {}, statuses, ""), kCdsBadRequest);
    CCds unconnected(nullptr);
    EXPECT_EQ(Get(unconnected, {"/a"}).result, kCdsNotConnected);
    EXPECT_TRUE(Get(unconnected, {"/a"}).statuses.empty());
    EXPECT_EQ(Set(unconnected, {"/a"}, {Int(1)}, statuses), kCdsNotConnected);
}

// Each row writes the same three leaves, the middle one spoiled; nothing of the write may land.
TEST(CdsStore, AWriteLandsWholeOrNotAtAll) {
    const struct {
        std::string path;
        CElement value;
        pcd_tribool_t flag;
        api_status_t status;
    } kCases[] = {{"/with space", Int(9), 1, kCdsStatusBadPath},
                  {"/" + std::string(511, 'x'), Int(9), 1, kCdsStatusBadPath},
                  {"/b", CElement(), 1, kCdsStatusBadValue},
                  {"/new", Int(9), 0, kCdsStatusNotFound}};
    ScratchStore store;
    CCds cds;
    Statuses statuses;
    ASSERT_EQ(Set(cds, {"/a", "/b", "/c"}, {Int(1), Int(2), Int(3)}, statuses), kCdsOk);
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.path);
        ASSERT_EQ(Set(cds, {"/a", c.path, "/c"}, {Int(7), c.value, Int(8)}, statuses, c.flag),
                  kCdsOk);
        EXPECT_EQ(statuses, (Statuses{kCdsStatusNotWritten, c.status, kCdsStatusNotWritten}));
        const Read got = Get(cds, {"/a", "/b", "/c", "/new"});
        EXPECT_EQ(got.statuses[3], kCdsStatusNotFound);
        EXPECT_EQ(
            std::make_tuple(got.values[0].to_int(), got.values[1].to_int(), got.values[2].to_int()),
            std::make_tuple(1, 2, 3));
    }
}

// A missing store is not created; an empty or foreign file is no store. (A missing store, an
// existing one and a directory as seen by the programs are in cli_test and cdsctl_test.)
TEST(CdsStore, OnlyAnExistingStoreOpens) {
    TempDir dir;
    const std::string path = dir.path + "/store.mdb";
    setenv("CDS_STORE", path.c_str(), 1);
    EXPECT_EQ(pcd_init(), nullptr);
    EXPECT_NE(access(path.c_str(), F_OK), 0);
    WriteFile(path, "");
    EXPECT_EQ(pcd_init(), nullptr);
    WriteFile(path, std::string(16384, 'x'));
    EXPECT_EQ(pcd_init(), nullptr);
    unsetenv("CDS_STORE");
    EXPECT_EQ(CdsStorePath(), kDefaultCdsStore);
}

TEST(CdsStore, StoredBytesThatAreNoElementAreRefused) {
    // clang-format off
    const std::vector<uint8_t> kBad[] = {
        {2, 0, 0, 0, 0, 0, 0, 0},                    // shorter than type and time stamp
        {2, 0, 0, 0, 0, 0, 0, 0, 0, 1, 2, 3},        // int of three bytes
        {2, 0, 0, 0, 0, 0, 0, 0, 0, 1, 2, 3, 4, 5},  // int of five bytes
        {3, 0, 0, 0, 0, 0, 0, 0, 0, 1, 2, 3, 4},     // float of four bytes
        {0, 0, 0, 0, 0, 0, 0, 0, 0, 1},              // none with a value
        {9, 0, 0, 0, 0, 0, 0, 0, 0}};                // unknown type
    // clang-format on
    for (const std::vector<uint8_t>& bytes : kBad) {
        CElement element = Int(5);
        EXPECT_FALSE(DecodeCdsElement(bytes.data(), bytes.size(), &element)) << bytes.size();
        EXPECT_EQ(element.to_int(), 5) << "left alone";
    }
    EXPECT_EQ(
        EncodeCdsElement(Int(0x01020304)),
        (std::vector<uint8_t>{2, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 1, 2, 3, 4}));
}

TEST(CdsElement, Conversions) {
    const struct {
        CElement element;
        int32_t asInt;
        double asFloat;
    } kCases[] = {
        // clang-format off
        {CElement(), 0, 0.0},         {Int(-7), -7, -7.0},          {Float(-2.9), -2, -2.9},
        {Float(1e10), kMax, 1e10},    {Float(-1e10), kMin, -1e10},  {Float(NAN), 0, NAN},
        {Text("2.5"), 0, 2.5},        {Text("12x"), 0, 0.0},        {Text(" 12"), 0, 0.0},
        {Text("4294967296"), 0, 4294967296.0}, {Text("-12"), -12, -12.0}, {Text("+12"), 0, 12.0},
        // clang-format on
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.element.to_text() + " " + std::to_string(c.element.to_float()));
        EXPECT_EQ(c.element.to_int(), c.asInt);
        EXPECT_TRUE(c.element.to_float() == c.asFloat ||
                    (std::isnan(c.asFloat) && std::isnan(c.element.to_float())));
    }
}

// Another process holds a write transaction open, as a writer does between its first change
// and its commit; connecting, reading and listing must not wait for it.
TEST(CdsStore, ReadersDoNotWaitForAWriter) {
    ScratchStore store;
    {
        CCds cds;
        Statuses statuses;
        ASSERT_EQ(Set(cds, {"/a/Value"}, {Int(4)}, statuses), kCdsOk);
    }
    int held[2];
    ASSERT_EQ(pipe(held), 0);
    ChildProcess writer;
    writer.pid = fork();
    ASSERT_GE(writer.pid, 0);
    if (writer.pid == 0) {
        MDB_env* env = nullptr;
        MDB_txn* txn = nullptr;
        if (mdb_env_create(&env) != 0 ||
            mdb_env_open(env, store.path.c_str(), MDB_NOSUBDIR, 0644) != 0 ||
            mdb_txn_begin(env, nullptr, 0, &txn) != 0 || write(held[1], "w", 1) != 1) {
            _exit(3);
        }
        // Gives up its write after ten seconds, saying so before it lets go.
        sleep(10);
        if (write(held[1], "t", 1) != 1) {
            _exit(4);
        }
        _exit(0);
    }
    close(held[1]);  // so that a writer that fails to start ends the read below
    char signal = 0;
    ASSERT_EQ(read(held[0], &signal, 1), 1) << "the writer did not start";
    CCds cds;
    ASSERT_NE(cds.handle(), nullptr);
    const Read got = Get(cds, {"/a/Value"});
    EXPECT_EQ(got.statuses, Statuses{kCdsStatusOk});
    Paths paths;
    std::vector<CElement> values;
    EXPECT_EQ(ListCdsLeaves(cds.handle(), "/", paths, values), kCdsOk);
    EXPECT_EQ(paths, Paths{"/a/Value"});
    // A reader that waited would have got through only when the writer gave up.
    fcntl(held[0], F_SETFL, O_NONBLOCK);
    EXPECT_EQ(read(held[0], &signal, 1), -1) << "the reader waited for the writer";
}

// A write bigger than the map fails as a whole, says why, and leaves the store usable.
TEST(CdsStore, AFullStoreRefusesTheWholeWrite) {
    ScratchStore store;
    CCds cds;
    Statuses statuses;
    ASSERT_EQ(
        Set(cds, {"/a/Value", "/big/Value"}, {Int(1), Text(std::string(32 << 20, 'x'))}, statuses),
        kCdsStoreError);
    EXPECT_EQ(statuses, Statuses(2, kCdsStatusNotWritten));
    EXPECT_EQ(CdsStoreError(cds.handle()),
              "mdb_put: MDB_MAP_FULL: Environment mapsize limit reached");
    EXPECT_EQ(Get(cds, {"/a/Value"}).statuses, Statuses{kCdsStatusNotFound});
    ASSERT_EQ(Set(cds, {"/a/Value"}, {Int(2)}, statuses), kCdsOk);
    EXPECT_EQ(Get(cds, {"/a/Value"}).values[0].to_int(), 2);
}

// A child process stores the same counter in five leaves, one transaction per value, and reports
// each value after its commit. The parent reads alongside (never seeing a mix of two values),
// kills the child at a random moment and reopens the store: it must open and hold the last value
// reported, or the one after it (committed but not yet reported).
TEST(CdsStore, WriterKilledAtAnyInstantLeavesAConsistentStore) {
    ScratchStore store;
    const Paths kPaths = {"/LP/1/currentDay/Value", "/LP/1/fileRecCnt/Value",
                          "/LP/1/totalRecCnt/Value", "/LP/1/dayCnt/Value",
                          "/LP/1/daysDeleted/Value"};
    auto consistentValue = [&](CCds& cds) {
        const Read got = Get(cds, kPaths);
        EXPECT_EQ(got.statuses, Statuses(5, kCdsStatusOk));
        for (const CElement& value : got.values) {
            EXPECT_EQ(value.to_int(), got.values[0].to_int());
        }
        return got.values.empty() ? -1 : got.values[0].to_int();
    };
    const unsigned seed = std::random_device{}();
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    int32_t committed = 0;
    for (int trial = 0; trial < 20 && !testing::Test::HasFailure(); ++trial) {
        SCOPED_TRACE(trial);
        int report[2];
        ASSERT_EQ(pipe(report), 0);
        ChildProcess child;
        child.pid = fork();
        ASSERT_GE(child.pid, 0);
        if (child.pid == 0) {
            CCds cds;
            Statuses statuses;
            for (int32_t value = committed + 1;; ++value) {
                if (Set(cds, kPaths, std::vector<CElement>(5, Int(value)), statuses) != kCdsOk ||
                    write(report[1], &value, sizeof value) != sizeof value) {
                    _exit(3);
                }
            }
        }
        close(report[1]);
        int32_t reported = committed;
        {
            CCds reader;
            ASSERT_NE(reader.handle(), nullptr);
            const int32_t target = committed + 1 + static_cast<int32_t>(random() % 2000);
            while (reported < target && !testing::Test::HasFailure()) {
                ASSERT_EQ(read(report[0], &reported, sizeof reported), 4);
                consistentValue(reader);
            }
        }
        kill(child.pid, SIGKILL);
        int status = 0;
        waitpid(child.pid, &status, 0);
        child.pid = -1;
        ASSERT_TRUE(WIFSIGNALED(status)) << "writer failed with " << WEXITSTATUS(status);
        while (read(report[0], &reported, sizeof reported) == 4) {
        }
        close(report[0]);
        CCds cds;
        ASSERT_NE(cds.handle(), nullptr);
        committed = consistentValue(cds);
        EXPECT_GE(committed, reported);
        EXPECT_LE(committed, reported + 1);
    }
}

}  // namespace
