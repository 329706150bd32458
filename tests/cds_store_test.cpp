// The host store behind the CDS client: values, statuses, all-or-nothing writes, stores the tools
// must refuse or read, and a store that survives a writer killed at any instant.
#include <lmdb.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <random>
#include <set>
#include <tuple>

#include "cds/host_store.h"
#include "store_file.h"
#include "test_support.h"

namespace {

using namespace std::string_literals;
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

// Reads give a status per path in path order; a write lands whole or not at all: each row writes
// /a, a spoiled leaf (or one too big for the map) and /c, and nothing of it may land.
TEST(CdsStore, ReadsGiveWhatWasWrittenAndAWriteLandsWholeOrNotAtAll) {
    const struct {
        std::string path;
        CElement value;
        pcd_tribool_t flag;
        api_status_t status;  // of the middle leaf; kCdsStatusNotWritten when the store is full
    } kCases[] = {{"/with space", Int(9), 1, kCdsStatusBadPath},
                  {"/" + std::string(511, 'x'), Int(9), 1, kCdsStatusBadPath},
                  {"/f", CElement(), 1, kCdsStatusBadValue},
                  {"/new", Int(9), 0, kCdsStatusNotFound},
                  {"/big", Text(std::string(16 << 20, 'x')), 1, kCdsStatusNotWritten}};
    ScratchStore store;
    CCds cds, unconnected(nullptr);
    Statuses statuses;
    const std::time_t before = std::time(nullptr);
    ASSERT_EQ(Set(cds, {"/a", "/c", "/f", "/t"},
                  {Int(kMin), Int(kMax), Float(-0.0), Text("\0\"x"s)}, statuses),
              kCdsOk);
    EXPECT_EQ(statuses, Statuses(4, kCdsStatusOk));
    const Read got = Get(cds, {"/t", "/f", "/c", "/b", "bad", "/a", "/a/"});
    ASSERT_EQ(got.result, kCdsOk);
    EXPECT_EQ(got.statuses, (Statuses{kCdsStatusOk, kCdsStatusOk, kCdsStatusOk, kCdsStatusNotFound,
                                      kCdsStatusBadPath, kCdsStatusOk, kCdsStatusNotFound}));
    EXPECT_EQ(got.properties, (std::vector<element_property_t>{1, 1, 1, 0, 0, 1, 0}));
    EXPECT_EQ(
        std::make_tuple(got.values[0].to_text(), got.values[1].type(),
                        std::signbit(got.values[1].to_float()), got.values[2].to_int(),
                        got.values[3].type(), got.values[5].to_int()),
        std::make_tuple("\0\"x"s, CElement::kTypeFloat, true, kMax, CElement::kTypeNone, kMin));
    EXPECT_GE(got.values[2].time(), before);
    EXPECT_LE(got.values[2].time(), std::time(nullptr));
    api_status_t status = 0;
    CElement element;
    element_property_t property = 0;
    ASSERT_EQ(cds.get_leaf("/c", status, element, property), kCdsOk);
    EXPECT_EQ(std::make_tuple(status, property, element.to_int()), std::make_tuple(1, 1, kMax));
    EXPECT_EQ(cds.set_leaves({"/a"}, {}, {1}, statuses, ""), kCdsBadRequest);
    EXPECT_EQ(cds.set_leaves({"/a"}, {Int(1)}, {}, statuses, ""), kCdsBadRequest);
    EXPECT_EQ(Get(unconnected, {"/a"}).result, kCdsNotConnected);
    EXPECT_EQ(Set(unconnected, {"/a"}, {Int(1)}, statuses), kCdsNotConnected);
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.path.substr(0, 20));
        const bool full = c.status == kCdsStatusNotWritten;
        ASSERT_EQ(Set(cds, {"/a", c.path, "/c"}, {Int(7), c.value, Int(8)}, statuses, c.flag),
                  full ? kCdsStoreError : kCdsOk);
        EXPECT_EQ(statuses, (Statuses{kCdsStatusNotWritten, c.status, kCdsStatusNotWritten}));
        EXPECT_EQ(CdsStoreError(cds.handle()),
                  full ? "mdb_put: MDB_MAP_FULL: Environment mapsize limit reached" : "");
        const Read now = Get(cds, {"/a", "/c", c.path});
        EXPECT_EQ(std::make_tuple(now.values[0].to_int(), now.values[1].to_int(),
                                  now.statuses[2] == kCdsStatusOk),
                  std::make_tuple(kMin, kMax, c.path == "/f"));
    }
    ASSERT_EQ(Set(cds, {"/a"}, {Int(4)}, statuses), kCdsOk);
    EXPECT_EQ(Get(cds, {"/a"}).values[0].to_int(), 4);
}

// Writes to the store file at path straight through LMDB, as another program would.
bool WriteThroughLmdb(const std::string& path,
                      const std::function<bool(MDB_txn* txn, MDB_dbi main)>& write) {
    MDB_env* env = nullptr;
    MDB_txn* txn = nullptr;
    MDB_dbi main = 0;
    bool ok = mdb_env_create(&env) == 0 && mdb_env_set_maxdbs(env, 2) == 0 &&
              mdb_env_open(env, path.c_str(), MDB_NOSUBDIR, 0644) == 0 &&
              mdb_txn_begin(env, nullptr, 0, &txn) == 0 &&
              mdb_dbi_open(txn, nullptr, 0, &main) == 0;
    const bool wrote = ok && write(txn, main);
    ok = wrote && mdb_txn_commit(txn) == 0;
    if (!wrote && txn != nullptr)
        mdb_txn_abort(txn);
    mdb_env_close(env);
    return ok;
}

bool Put(MDB_txn* txn, MDB_dbi dbi, std::string key, std::string value) {
    MDB_val k{key.size(), key.data()}, v{value.size(), value.data()};
    return mdb_put(txn, dbi, &k, &v, 0) == 0;
}

// A store cdsctl made and loaded with the example. (Empty, short and garbage stores are in the
// store-short transcript.)
const std::string& SeedStore() {
    static const std::string seed = [] {
        TempDir dir;
        const std::vector<std::string> env = {"CDS_STORE=" + dir.path + "/store.mdb"};
        EXPECT_EQ(RunProgram(CDSCTL_BIN, {"init"}, env).status, 0);
        EXPECT_EQ(RunProgram(CDSCTL_BIN, {"load", CDSCTL_EXAMPLE}, env).status, 0);
        return ReadFile(dir.path + "/store.mdb");
    }();
    return seed;
}

// The seed with value at offset at. Its current meta page is page 0 (cdsctl wrote it twice).
template <typename Value>
void Patch(const std::string& path, size_t at, Value value) {
    std::string bytes = SeedStore();
    memcpy(&bytes[at], &value, sizeof value);
    WriteFile(path, bytes);
}

size_t Page() {
    return static_cast<size_t>(sysconf(_SC_PAGESIZE));
}

size_t MainRoot() {
    size_t root = 0;
    memcpy(&root, &SeedStore()[kPageHeaderSize + offsetof(StoreMeta, trees[kMainTree].root)],
           sizeof root);
    return root;
}

void RemoveMark(const std::string& path) {
    WriteFile(path, SeedStore());
    EXPECT_TRUE(WriteThroughLmdb(path, [](MDB_txn* txn, MDB_dbi main) {
        MDB_val key{strlen(kCdsStoreMarkKey), const_cast<char*>(kCdsStoreMarkKey)};
        return mdb_del(txn, main, &key, nullptr) == 0;
    }));
}

// Stores another program wrote or whose meta or tree pages are damaged: cdsctl refuses them with
// the reason and its status or reads them, never dies on a signal, and writes nothing into a store
// it refuses. (Empty, short, garbage, missing and read-only stores are in the store-short and
// store-access transcripts.)
TEST(CdsStore, ToolsRefuseOrReadAStoreWithoutDying) {
    const struct {
        void (*make)(const std::string& path);
        const char* refusal;  // after "cdsctl: cannot open store <path>: ", <root> the seed's root
        int scanStatus;
        const char* scanSays;  // a part of the scan's report on a store the tools read
    } kCases[] = {
        // clang-format off
        {[](const std::string& path) {
             EXPECT_TRUE(WriteThroughLmdb(path, [](MDB_txn* txn, MDB_dbi main) {
                 MDB_dbi users = 0;
                 return mdb_dbi_open(txn, "users", MDB_CREATE, &users) == 0 &&
                        Put(txn, users, "alice", "1") && Put(txn, main, "version", "3"); })); },
         "not a CDS store: holds a named database or duplicates under \"users\"", 1, nullptr},
        {[](const std::string& path) {
             Patch(path, MainRoot() * Page() + offsetof(StorePageHeader, lower), uint16_t{kPageHeaderSize}); },
         "damaged: page <root> is a branch page of 0 nodes", 1, nullptr},
        {[](const std::string& path) {  // sorted duplicates besides integer keys
             Patch(path, kPageHeaderSize + offsetof(StoreMeta, trees[kFreeTree].flags), uint16_t{0x0c}); },
         "damaged: the free tree has flags 0xc", 2, nullptr},
        {[](const std::string& path) {  // integer keys
             Patch(path, kPageHeaderSize + offsetof(StoreMeta, trees[kMainTree].flags), uint16_t{0x08}); },
         "not a CDS store: its main database has flags 0x8", 1, nullptr},
        {[](const std::string& path) {
             Patch(path, kPageHeaderSize + offsetof(StoreMeta, trees[kMainTree].branchPages), size_t{2}); },
         nullptr, 1, "the main tree counts 2 branch pages, holds 1"},
        {[](const std::string& path) {
             RemoveMark(path);
             EXPECT_TRUE(WriteThroughLmdb(path, [](MDB_txn* txn, MDB_dbi main) {
                 return Put(txn, main, "/x/Value", "\x09"); })); },
         "not a CDS store: the value of /x/Value is no element", 1, nullptr},
        {RemoveMark, nullptr, 0, "; it has no mark yet, its first write adds it\n"},
        // clang-format on
    };
    TempDir dir;
    const std::string store = dir.path + "/store.mdb";
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.refusal != nullptr ? c.refusal : c.scanSays);
        unlink((store + "-lock").c_str());
        c.make(store);
        const std::string before = ReadFile(store);
        auto run = [&](const Paths& args) {
            const ProgramResult result = RunProgram(CDSCTL_BIN, args, {"CDS_STORE=" + store});
            EXPECT_GE(result.status, 0) << args[0] << " died on a signal";
            return result;
        };
        const bool refused = c.refusal != nullptr;
        const std::string cannot =
            refused ? "cdsctl: cannot open store " + store + ": " +
                          Replace(c.refusal, "<root>", std::to_string(MainRoot())) + "\n"
                    : "";
        const ProgramResult get = run({"get", "/LP/1/dayCnt/Value"}), scan = run({"scan"});
        EXPECT_EQ(std::make_tuple(get.status, get.out + get.err),
                  std::make_tuple(refused ? 2 : 0, refused ? cannot : "0\n"));
        EXPECT_EQ(scan.status, c.scanStatus) << scan.out << scan.err;
        EXPECT_TRUE(c.scanSays == nullptr || scan.out.find(c.scanSays) != std::string::npos)
            << scan.out;
        EXPECT_EQ(ReadFile(store), before) << "a tool that only reads wrote into the store";
        const ProgramResult set = run({"set", "/LP/1/dayCnt/Value", "0"});
        EXPECT_EQ(std::make_tuple(set.status, set.err), std::make_tuple(refused ? 2 : 0, cannot));
        EXPECT_TRUE(refused ? ReadFile(store) == before : ScanCdsStore(store).marked)
            << "a refused store was written, or the first write did not mark it";
    }
}

// Every page of a store (branches, leaves, overflow pages, the free tree) damaged in turn in
// each field that LMDB follows: the store is refused as damaged and a scan finds that too, or it
// opens and every read and write through it works. Nothing dies on a signal.
TEST(CdsStore, ADamagedPageIsRefusedOrReadButKillsNothing) {
    ScratchStore store;
    Paths paths;
    std::vector<CElement> values;
    Statuses statuses;
    // Long paths make a tree of three levels from few leaves.
    for (int i = 0; i < 40; ++i) {
        paths.push_back("/" + std::string(480, 'p') + "/" + std::to_string(i) + "/Value");
        values.push_back(i == 20 ? Text(std::string(9000, 't')) : Int(i));
    }
    ASSERT_EQ(Set(*std::make_unique<CCds>(), paths, values, statuses), kCdsOk);
    paths.resize(8);
    ASSERT_EQ(RemoveCdsLeaves(CCds().handle(), paths, statuses), kCdsOk);
    const std::string seed = ReadFile(store.path), damaged = store.dir.path + "/damaged.mdb";
    const size_t page = Page(), header = kPageHeaderSize;
    constexpr size_t kNode = 1 << 20;  // offsets from here on are in the page's first node
    // Page number, flags, lower, upper, the first node's offset, and its size, flags, key size.
    // clang-format off
    const std::pair<size_t, std::string> kDamages[] = {
        {0, "\x05"}, {header - 6, "\0\0"s}, {header - 4, "\xff\x7f"}, {header - 2, "\0\0"s},
        {header, "\xff\x7f"}, {kNode, "\xff\xff\xff\x7f"}, {kNode + 4, "\x07"}, {kNode + 6, "\xff\x7f"}};
    // clang-format on
    for (size_t pgno = 2; pgno < seed.size() / page; ++pgno) {
        for (const auto& [offset, bytes] : kDamages) {
            SCOPED_TRACE("page " + std::to_string(pgno) + " at " + std::to_string(offset));
            uint16_t node;
            memcpy(&node, &seed[pgno * page + header], sizeof node);
            if (offset >= kNode && node + kNodeSize > page)
                continue;
            WriteFile(damaged, std::string(seed).replace(
                                   pgno * page + (offset >= kNode ? node + offset - kNode : offset),
                                   bytes.size(), bytes));
            unlink((damaged + "-lock").c_str());
            const pid_t child = fork();
            ASSERT_GE(child, 0);
            if (child == 0) {
                std::string error;
                CCds cds(OpenCdsStore(damaged, &error));
                if (cds.handle() == nullptr)
                    _exit(error.compare(0, 8, "damaged:") == 0 ? 3 : 4);
                ListCdsLeaves(cds.handle(), "", paths, values);
                Get(cds, paths);
                Set(cds, {"/new/Value"}, {Int(1)}, statuses);
                RemoveCdsLeaves(cds.handle(), {paths[0]}, statuses);
                _exit(0);
            }
            int status = 0;
            ASSERT_EQ(waitpid(child, &status, 0), child);
            ASSERT_TRUE(WIFEXITED(status)) << "died on signal " << WTERMSIG(status);
            EXPECT_NE(WEXITSTATUS(status), 4) << "refused as anything but damaged";
            EXPECT_TRUE(WEXITSTATUS(status) == 0 || !ScanCdsStore(damaged).findings.empty());
        }
    }
}

// Stores written at random (leaves of all sizes, overflow pages, removals that merge pages and
// fill the free tree, trees of three levels) scan sound: no check of a page refuses what LMDB
// writes.
TEST(CdsStore, StoresWrittenAtRandomScanSound) {
    ScratchStore store;
    const unsigned seed = std::random_device{}();
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    std::set<std::string> leaves;
    for (int write = 0; write < 320 && !testing::Test::HasFailure(); ++write) {
        Paths paths, gone;
        std::vector<CElement> values;
        Statuses statuses;
        for (size_t i = random() % 30 + 1; i > 0; --i) {
            paths.push_back("/" + std::string(random() % 300, 'k') + "/" +
                            std::to_string(random() % 500) + "/Value");
            values.push_back(
                Text(std::string(random() % 20 == 0 ? random() % 12000 : random() % 40, 'v')));
        }
        for (const std::string& leaf : leaves) {
            if (random() % 12 == 0)
                gone.push_back(leaf);
        }
        if (write % 4 == 3) {
            ASSERT_EQ(RemoveCdsLeaves(CCds().handle(), gone, statuses), kCdsOk);
            for (const std::string& leaf : gone)
                leaves.erase(leaf);
        } else if (Set(*std::make_unique<CCds>(), paths, values, statuses) == kCdsOk) {
            leaves.insert(paths.begin(), paths.end());
        }
        if (write % 40 == 39) {
            const CdsScan scan = ScanCdsStore(store.path);
            ASSERT_TRUE(scan.opened) << scan.error;
            for (const CdsScanFinding& finding : scan.findings)
                ADD_FAILURE() << finding.where << ": " << finding.what;
            EXPECT_EQ(std::make_tuple(scan.leaves, scan.marked),
                      std::make_tuple(leaves.size(), true));
        }
    }
}

// Stored bytes that are no element are refused and leave the element alone; conversions.
TEST(CdsElement, DecodingAndConversions) {
    // clang-format off
    const std::vector<uint8_t> kBad[] = {
        {2, 0, 0, 0, 0, 0, 0, 0},                 {2, 0, 0, 0, 0, 0, 0, 0, 0, 1, 2, 3, 4, 5},
        {2, 0, 0, 0, 0, 0, 0, 0, 0, 1, 2, 3},     {3, 0, 0, 0, 0, 0, 0, 0, 0, 1, 2, 3, 4},
        {0, 0, 0, 0, 0, 0, 0, 0, 0, 1},           {9, 0, 0, 0, 0, 0, 0, 0, 0}};
    const struct {
        CElement element;
        int32_t asInt;
        double asFloat;
    } kCases[] = {
        {CElement(), 0, 0.0},         {Int(-7), -7, -7.0},          {Float(-2.9), -2, -2.9},
        {Float(1e10), kMax, 1e10},    {Float(-1e10), kMin, -1e10},  {Float(NAN), 0, NAN},
        {Text("2.5"), 0, 2.5},        {Text("12x"), 0, 0.0},        {Text(" 12"), 0, 0.0},
        {Text("4294967296"), 0, 4294967296.0}, {Text("-12"), -12, -12.0}, {Text("+12"), 0, 12.0}};
    // clang-format on
    for (const std::vector<uint8_t>& bytes : kBad) {
        CElement element = Int(5);
        EXPECT_FALSE(DecodeCdsElement(bytes.data(), bytes.size(), &element)) << bytes.size();
        EXPECT_EQ(element.to_int(), 5) << "left alone";
    }
    EXPECT_EQ(
        EncodeCdsElement(Int(0x01020304)),
        (std::vector<uint8_t>{2, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 1, 2, 3, 4}));
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.element.to_text() + " " + std::to_string(c.element.to_float()));
        EXPECT_EQ(c.element.to_int(), c.asInt);
        EXPECT_TRUE(c.element.to_float() == c.asFloat ||
                    (std::isnan(c.asFloat) && std::isnan(c.element.to_float())));
    }
}

// A child process stores the same counter in five leaves, one transaction per value, and reports
// each value after its commit. The parent reads alongside (never seeing a mix of two values), stops
// the child at a random moment, mostly inside a write, and reads again (a reader that waited for
// the writer would hang until its alarm), kills it and reopens the store: it must open and hold
// the last value reported, or the one after it (committed but not yet reported).
TEST(CdsStore, WriterKilledAtAnyInstantLeavesAConsistentStore) {
    ScratchStore store;
    const Paths kPaths = {"/LP/1/currentDay/Value", "/LP/1/fileRecCnt/Value",
                          "/LP/1/totalRecCnt/Value", "/LP/1/dayCnt/Value",
                          "/LP/1/daysDeleted/Value"};
    auto consistentValue = [&](CCds& cds) {
        const Read got = Get(cds, kPaths);
        EXPECT_EQ(got.statuses, Statuses(5, kCdsStatusOk));
        for (const CElement& value : got.values)
            EXPECT_EQ(value.to_int(), got.values[0].to_int());
        return got.values.empty() ? -1 : got.values[0].to_int();
    };
    const unsigned seed = std::random_device{}();
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    for (int32_t trial = 0, committed = 0; trial < 20 && !testing::Test::HasFailure(); ++trial) {
        int report[2];
        ASSERT_EQ(pipe(report), 0);
        const pid_t writer = fork();
        if (writer == 0) {
            CCds cds;
            Statuses statuses;
            for (int32_t value = committed + 1;; ++value) {
                if (Set(cds, kPaths, std::vector<CElement>(5, Int(value)), statuses) != kCdsOk ||
                    write(report[1], &value, sizeof value) != sizeof value)
                    _exit(3);
            }
        }
        close(report[1]);
        int32_t reported = committed;
        const int32_t target = committed + 1 + static_cast<int32_t>(random() % 2000);
        for (CCds reader; reported < target && !testing::Test::HasFailure();) {
            ASSERT_EQ(read(report[0], &reported, sizeof reported), 4);
            consistentValue(reader);
        }
        ASSERT_EQ(kill(writer, SIGSTOP), 0);
        alarm(10);
        Paths paths;
        std::vector<CElement> values;
        EXPECT_EQ(ListCdsLeaves(CCds().handle(), "/LP/1/", paths, values), kCdsOk);
        EXPECT_EQ(paths.size(), 5u);
        consistentValue(*std::make_unique<CCds>());
        alarm(0);
        int status = kill(writer, SIGKILL);
        waitpid(writer, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status)) << "writer failed with " << WEXITSTATUS(status);
        while (read(report[0], &reported, sizeof reported) == 4) {
        }
        close(report[0]);
        committed = consistentValue(*std::make_unique<CCds>());
        EXPECT_GE(committed, reported);
        EXPECT_LE(committed, reported + 1);
    }
}

}  // namespace
