// The host store behind the CDS client: values, statuses, all-or-nothing writes, stores the tools
// must refuse or read, and a store that survives a writer killed at any instant.
#include <lmdb.h>
#include <signal.h>
#include <sys/wait.h>
#include <syslog.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <set>
#include <tuple>

#include "cds/host_store.h"
#include "cds/pcd.h"
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
    Read again = got;  // the vectors are replaced, not appended to
    ASSERT_EQ(cds.get_leaves({"/a"}, again.statuses, again.values, again.properties), kCdsOk);
    EXPECT_EQ(std::make_tuple(again.statuses.size(), again.values.size(), again.properties.size()),
              std::make_tuple(1u, 1u, 1u));
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

// A store cdsctl made and loaded with the example.
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

// A store another program wrote straight through LMDB: the seed store (or a new one) with its
// main database opened with flags, its mark removed, key = value put unless key is empty and a
// named database added.
struct Foreign {
    bool seeded, unmark;
    unsigned flags;
    std::string key, value;
    bool named;
};
void Write(const std::string& path, const Foreign& f) {
    if (f.seeded)
        WriteFile(path, SeedStore());
    MDB_env* env = nullptr;
    MDB_txn* txn = nullptr;
    MDB_dbi main = 0, named = 0;
    const std::string markKey = kCdsStoreMarkKey, oneText = "1";
    const auto val = [](const std::string& s) {
        return MDB_val{s.size(), const_cast<char*>(s.data())};
    };
    MDB_val mark = val(markKey), key = val(f.key), value = val(f.value), one = val(oneText);
    EXPECT_TRUE(mdb_env_create(&env) == 0 && mdb_env_set_maxdbs(env, 2) == 0 &&
                mdb_env_open(env, path.c_str(), MDB_NOSUBDIR, 0644) == 0 &&
                mdb_txn_begin(env, nullptr, 0, &txn) == 0 &&
                mdb_dbi_open(txn, nullptr, f.flags, &main) == 0 &&
                (!f.unmark || mdb_del(txn, main, &mark, nullptr) == 0) &&
                (f.key.empty() || mdb_put(txn, main, &key, &value, 0) == 0) &&
                (!f.named || (mdb_dbi_open(txn, "users", MDB_CREATE, &named) == 0 &&
                              mdb_put(txn, named, &one, &one, 0) == 0)) &&
                mdb_txn_commit(txn) == 0);
    mdb_env_close(env);
}

// Stores another program wrote: cdsctl refuses them with the reason and its status, or reads
// them; it never dies on a signal, and writes nothing into a store it refuses.
TEST(CdsStore, ToolsRefuseAForeignStoreOrReadAnUnmarkedOne) {
    const struct {
        Foreign store;
        const char* refusal;   // after "cdsctl: cannot open store <path>: "
        const char* scanSays;  // a part of the scan's report
    } kCases[] = {
        {{true, false, 0, kCdsStoreMarkKey, "v2", true},
         "marked as a store of another format: \"v2\"",
         "store: is marked as a store of another"},
        {{true, true, 0, "", "", true},
         "not a CDS store: key \"users\" is no leaf path",
         "\"users\": key is no leaf path"},
        {{false, false, MDB_INTEGERKEY, std::string(sizeof(size_t), 7), "x", false},
         "not a CDS store: its main database has flags 0x8",
         "store: its main database has flags 0x8"},
        {{true, true, 0, "/x/Value", "\x09", false},
         "not a CDS store: the value of /x/Value is no element",
         "has no mark and holds more"},
        {{true, true, 0, "", "", false},
         nullptr,
         "; it has no mark yet, its first write adds it\n"},
    };
    TempDir dir;
    const std::string store = dir.path + "/store.mdb";
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.scanSays);
        unlink(store.c_str());
        unlink((store + "-lock").c_str());
        Write(store, c.store);
        const std::string before = ReadFile(store);
        auto run = [&](const Paths& args) {
            return RunProgram(CDSCTL_BIN, args, {"CDS_STORE=" + store});
        };
        const bool refused = c.refusal != nullptr;
        const std::string cannot =
            refused ? "cdsctl: cannot open store " + store + ": " + c.refusal + "\n" : "";
        const ProgramResult get = run({"get", "/LP/1/dayCnt/Value"}), scan = run({"scan"});
        EXPECT_EQ(std::make_tuple(get.status, get.out + get.err),
                  std::make_tuple(refused ? 2 : 0, refused ? cannot : "0\n"));
        EXPECT_EQ(scan.status, refused ? 1 : 0) << scan.out << scan.err;
        EXPECT_NE(scan.out.find(c.scanSays), std::string::npos) << scan.out;
        EXPECT_EQ(ReadFile(store), before) << "a tool that only reads wrote into the store";
        const ProgramResult set = run({"set", "/LP/1/dayCnt/Value", "0"});
        EXPECT_EQ(std::make_tuple(set.status, set.err), std::make_tuple(refused ? 2 : 0, cannot));
        EXPECT_TRUE(refused ? ReadFile(store) == before : ScanCdsStore(store).marked)
            << "a refused store was written, or the first write did not mark it";
    }
}

// What LMDB itself tells of a store file: page size, last page in use, depth of the main tree,
// the pages its free lists name and the last list (a count, then the pages).
struct StoreLayout {
    size_t pageSize = 0, lastPage = 0, depth = 0;
    std::set<size_t> freePages;
    std::vector<size_t> lastList;
};
StoreLayout LayoutOf(const std::string& path) {
    StoreLayout layout;
    MDB_env* env = nullptr;
    MDB_txn* txn = nullptr;
    MDB_cursor* cursor = nullptr;
    MDB_envinfo info;
    MDB_stat stat;
    EXPECT_TRUE(mdb_env_create(&env) == 0 &&
                mdb_env_open(env, path.c_str(), MDB_NOSUBDIR | MDB_RDONLY, 0644) == 0 &&
                mdb_env_info(env, &info) == 0 && mdb_env_stat(env, &stat) == 0 &&
                mdb_txn_begin(env, nullptr, MDB_RDONLY, &txn) == 0 &&
                mdb_cursor_open(txn, 0, &cursor) == 0);
    layout = {stat.ms_psize, info.me_last_pgno, stat.ms_depth, {}, {}};
    MDB_val key, data;
    for (int rc = mdb_cursor_get(cursor, &key, &data, MDB_FIRST); rc == 0;
         rc = mdb_cursor_get(cursor, &key, &data, MDB_NEXT)) {
        std::vector<size_t>& list = layout.lastList;
        list.resize(data.mv_size / sizeof(size_t));
        memcpy(list.data(), data.mv_data, list.size() * sizeof(size_t));
        layout.freePages.insert(list.begin() + 1, list.begin() + 1 + static_cast<long>(list[0]));
    }
    mdb_cursor_close(cursor);
    mdb_txn_abort(txn);
    mdb_env_close(env);
    return layout;
}

// A store of three levels (long paths), a value of 9000 't's on pages of its own and a free
// database that lists pages: 80 leaves written, 8 removed.
std::string GrownStore(const ScratchStore& store) {
    Paths paths;
    std::vector<CElement> values;
    Statuses statuses;
    for (int i = 0; i < 80; ++i) {
        paths.push_back("/" + std::string(480, 'p') + "/" + std::to_string(i) + "/Value");
        values.push_back(i == 20 ? Text(std::string(9000, 't')) : Int(i));
    }
    EXPECT_EQ(Set(*std::make_unique<CCds>(), paths, values, statuses), kCdsOk);
    paths.resize(8);
    EXPECT_EQ(RemoveCdsLeaves(CCds().handle(), paths, statuses), kCdsOk);
    return ReadFile(store.path);
}

// How a child that opened a store file of these bytes and used it ended: 0 every call worked, 3
// refused as foreign, 4 refused as damaged, 5 a call failed; -1 died on a signal.
int OpenAndUse(const std::string& path, const std::string& bytes) {
    WriteFile(path, bytes);
    unlink((path + "-lock").c_str());
    const pid_t child = fork();
    if (child == 0) {
        std::string error;
        CCds cds(OpenCdsStore(path, &error));
        if (cds.handle() == nullptr)
            _exit(error.compare(0, 11, "not a CDS s") == 0 || error.compare(0, 6, "marked") == 0
                      ? 3
                      : 4);
        Paths paths;
        std::vector<CElement> values;
        Statuses statuses;
        const bool worked = ListCdsLeaves(cds.handle(), "", paths, values) == kCdsOk &&
                            Get(cds, paths).result == kCdsOk &&
                            Set(cds, {"/new/Value"}, {Int(1)}, statuses) == kCdsOk &&
                            RemoveCdsLeaves(cds.handle(), {paths.at(0)}, statuses) == kCdsOk;
        _exit(worked ? 0 : 5);
    }
    int status = 0;
    EXPECT_EQ(waitpid(child, &status, 0), child);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A sound store of three levels scans sound. Cut at every page, each page zeroed or overwritten by
// its neighbour, its last free list naming each other page, bits flipped at random: refused as
// damaged, or it opens and every call works; nothing dies on a signal. A zeroed page is refused
// exactly when it holds a tree (not a free or big value's page); the free list, when it names a
// page twice, past the last or the big value's.
TEST(CdsStore, ADamagedStoreIsRefusedOrReadButKillsNothing) {
    ScratchStore store;
    const std::string seed = GrownStore(store), damaged = store.dir.path + "/damaged.mdb";
    const StoreLayout layout = LayoutOf(store.path);
    const CdsScan scan = ScanCdsStore(store.path);
    EXPECT_TRUE(scan.findings.empty() && scan.marked && scan.leaves == 72) << scan.error;
    const size_t page = layout.pageSize, pages = layout.lastPage + 1;
    const size_t value = seed.find(std::string(9000, 't')),
                 list = seed.find(std::string(reinterpret_cast<const char*>(layout.lastList.data()),
                                              layout.lastList.size() * sizeof(size_t)));
    ASSERT_TRUE(pages > 8 && layout.depth >= 3 && layout.lastList.size() >= 3 &&
                value != std::string::npos && list != std::string::npos &&
                seed.size() >= pages * page);
    const auto holdsNoTree = [&](size_t pgno) {
        return layout.freePages.count(pgno) != 0 ||
               (pgno >= value / page && pgno <= (value + 8999) / page);
    };
    for (size_t cut = 0; cut < pages; ++cut) {
        EXPECT_EQ(
            OpenAndUse(damaged, seed.substr(0, cut * page + (cut == pages - 1 ? page - 1 : 0))), 4)
            << "cut at page " << cut;
    }
    for (size_t pgno = 2; pgno < pages; ++pgno) {
        std::string zeroed = seed, copied = seed;
        zeroed.replace(pgno * page, page, page, '\0');
        copied.replace(pgno * page, page, seed, (pgno == 2 ? pages - 1 : pgno - 1) * page, page);
        EXPECT_EQ(OpenAndUse(damaged, zeroed), holdsNoTree(pgno) ? 0 : 4) << "page " << pgno;
        const int end = OpenAndUse(damaged, copied);
        EXPECT_TRUE(end == 0 || end == 4) << "page " << pgno << " copied over: " << end;
    }
    for (size_t pgno = 2; pgno < pages + 3; ++pgno) {
        std::string bytes = seed;
        bytes.replace(list + sizeof(size_t), sizeof pgno, reinterpret_cast<char*>(&pgno),
                      sizeof pgno);
        const bool caught = pgno != layout.lastList[1] && (pgno >= pages || holdsNoTree(pgno));
        const int end = OpenAndUse(damaged, bytes);
        EXPECT_TRUE(end == 4 || (end == 0 && !caught))
            << "free list names page " << pgno << ": " << end;
    }
    std::mt19937 random(1);  // 1, 8 or 64 flips, in the first two pages or anywhere
    for (int trial = 0; trial < 180; ++trial) {
        std::string bytes = seed;
        for (int i = 0; i < 1 << (3 * (trial % 3)); ++i)
            bytes[random() % ((trial % 2 ? 2 : pages) * page)] ^=
                static_cast<char>(1u << (random() % 8));
        const int end = OpenAndUse(damaged, bytes);
        EXPECT_TRUE(end == 0 || end == 3 || end == 4) << "trial " << trial << ": " << end;
    }
}

// Another major or minor version of LMDB at run time is refused, naming both versions.
TEST(CdsStore, AnotherLmdbSeriesIsRefused) {
    const int built[3] = {0, 9, 24}, patch[3] = {0, 9, 33}, minor[3] = {0, 10, 24},
              major[3] = {1, 9, 24};
    const std::string must = ": the major and minor versions must agree";
    EXPECT_EQ(LmdbVersionRefusal(built, patch), "");
    EXPECT_EQ(LmdbVersionRefusal(built, minor),
              "the LMDB library is version 0.10.24, built against 0.9.24" + must);
    EXPECT_EQ(LmdbVersionRefusal(built, major),
              "the LMDB library is version 1.9.24, built against 0.9.24" + must);
}

// pcd_init names in its syslog line the store that did not open and why.
TEST(CdsStore, AStoreThatDoesNotOpenIsNamedWithItsReason) {
    ScratchStore store;
    WriteFile(store.path, "");
    openlog(nullptr, LOG_PERROR, 0);
    const CallOutput said = CaptureCall([] { return pcd_init() == nullptr ? 0 : 1; });
    closelog();
    EXPECT_EQ(said.result, 0);
    EXPECT_NE(said.err.find("pcd_init: cannot open the CDS store " + store.path +
                            ": empty file, not a store"),
              std::string::npos)
        << said.err;
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

// A child writes one counter into five leaves, a transaction per value, reporting each commit.
// Readers never see a mix; a reader of a stopped writer does not wait (alarm); after a kill the
// store opens holding the last value reported or the one after it.
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
    std::mt19937 random(1206);
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
