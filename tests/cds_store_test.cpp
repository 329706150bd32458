// The host store behind the CDS client: values, statuses, all-or-nothing writes, and a store
// that survives a writer killed at any instant.
#include <fcntl.h>
#include <lmdb.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
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

// A missing store is not created. (A missing store, an existing one and a directory as seen by
// the programs are in cli_test and cdsctl_test, files that are no store below.)
TEST(CdsStore, OnlyAnExistingStoreOpens) {
    TempDir dir;
    const std::string path = dir.path + "/store.mdb";
    setenv("CDS_STORE", path.c_str(), 1);
    EXPECT_EQ(pcd_init(), nullptr);
    EXPECT_NE(access(path.c_str(), F_OK), 0);
    unsetenv("CDS_STORE");
    EXPECT_EQ(CdsStorePath(), kDefaultCdsStore);
}

// Writes to the store file at path straight through LMDB, as another program would.
bool WriteThroughLmdb(const std::string& path,
                      const std::function<bool(MDB_txn* txn, MDB_dbi main)>& write) {
    MDB_env* env = nullptr;
    MDB_txn* txn = nullptr;
    MDB_dbi main = 0;
    bool ok = mdb_env_create(&env) == 0 && mdb_env_set_maxdbs(env, 2) == 0 &&
              mdb_env_open(env, path.c_str(), MDB_NOSUBDIR, 0644) == 0 &&
              mdb_txn_begin(env, nullptr, 0, &txn) == 0;
    if (ok && mdb_dbi_open(txn, nullptr, 0, &main) == 0 && write(txn, main)) {
        ok = mdb_txn_commit(txn) == 0;
    } else if (txn != nullptr) {
        mdb_txn_abort(txn);
        ok = false;
    }
    mdb_env_close(env);
    return ok;
}

bool Put(MDB_txn* txn, MDB_dbi dbi, std::string key, std::string value) {
    MDB_val k{key.size(), key.data()}, v{value.size(), value.data()};
    return mdb_put(txn, dbi, &k, &v, 0) == 0;
}

bool HasMark(const std::string& path) {
    bool found = false;
    EXPECT_TRUE(WriteThroughLmdb(path, [&found](MDB_txn* txn, MDB_dbi main) {
        MDB_val key{strlen(kCdsStoreMarkKey), const_cast<char*>(kCdsStoreMarkKey)}, data;
        found = mdb_get(txn, main, &key, &data) == 0 &&
                std::string(static_cast<char*>(data.mv_data), data.mv_size) == kCdsStoreMarkValue;
        return true;
    }));
    return found;
}

// A store cdsctl made and loaded with the example, as bytes, with what the rows below need of
// its layout (store_file.h).
struct Seed {
    std::string bytes;
    size_t page;
    size_t root;  // the page of its main tree's root
};

const Seed& SeedStore() {
    static const Seed seed = [] {
        TempDir dir;
        const std::vector<std::string> env = {"CDS_STORE=" + dir.path + "/store.mdb"};
        EXPECT_EQ(RunProgram(CDSCTL_BIN, {"init"}, env).status, 0);
        EXPECT_EQ(RunProgram(CDSCTL_BIN, {"load", CDSCTL_EXAMPLE}, env).status, 0);
        StoreFile file;
        std::string error;
        EXPECT_TRUE(OpenStoreFile(dir.path + "/store.mdb", &file, &error)) << error;
        CloseStoreFile(&file);
        return Seed{ReadFile(dir.path + "/store.mdb"), file.pageSize,
                    file.meta.trees[kMainTree].root};
    }();
    return seed;
}

// How a row's tools reach its store: as it is, on a read-only mount, or as a user who may read
// the file but neither write it nor make its lock file.
enum class Reach { kPlain, kReadOnlyMount, kOtherUser };

struct ToolsCase {
    const char* name;
    void (*make)(const std::string& path, const Seed& seed);
    Reach reach;
    // What cdsctl says of a store the tools refuse (<size> stands for the file's size, <pages>
    // and <page> for the seed's pages and page size, <root> for its root), else null.
    const char* refusal;
    int scanStatus;
    const char* readOnly;  // why a write fails, on a store read-only to the tools
};

void Copy(const std::string& path, const Seed& seed) {
    WriteFile(path, seed.bytes);
}

void RemoveMark(const std::string& path, const Seed& seed) {
    Copy(path, seed);
    EXPECT_TRUE(WriteThroughLmdb(path, [](MDB_txn* txn, MDB_dbi main) {
        MDB_val key{strlen(kCdsStoreMarkKey), const_cast<char*>(kCdsStoreMarkKey)};
        return mdb_del(txn, main, &key, nullptr) == 0;
    }));
}

// clang-format off
const ToolsCase kToolsCases[] = {
    {"Empty", [](const std::string& path, const Seed&) { WriteFile(path, ""); },
     Reach::kPlain, "empty file, not a store", 2, nullptr},
    {"CutInsideMetaPage0", [](const std::string& path, const Seed& seed) {
         WriteFile(path, seed.bytes.substr(0, 40)); },
     Reach::kPlain, "truncated: meta page 0 is cut short", 2, nullptr},
    {"CutBetweenTheMetaPages", [](const std::string& path, const Seed& seed) {
         WriteFile(path, seed.bytes.substr(0, seed.page + 40)); },
     Reach::kPlain, "truncated: meta page 1 is cut short", 2, nullptr},
    {"CutAfterTheMetaPages", [](const std::string& path, const Seed& seed) {
         WriteFile(path, seed.bytes.substr(0, 2 * seed.page)); },
     Reach::kPlain, "truncated: <size> bytes, shorter than the <pages> pages of <page> bytes its meta page counts", 2, nullptr},
    {"OneByteShort", [](const std::string& path, const Seed& seed) {
         WriteFile(path, seed.bytes.substr(0, seed.bytes.size() - 1)); },
     Reach::kPlain, "truncated: <size> bytes, shorter than the <pages> pages of <page> bytes its meta page counts", 2, nullptr},
    {"GarbageBytes", [](const std::string& path, const Seed& seed) {
         std::mt19937 random(7);
         std::string bytes(seed.bytes.size(), '\0');
         for (char& byte : bytes) byte = static_cast<char>(random());
         WriteFile(path, bytes); },
     Reach::kPlain, "not a store: page 0 is no LMDB meta page", 2, nullptr},
    {"AnotherProgramsLmdbFile", [](const std::string& path, const Seed&) {
         EXPECT_TRUE(WriteThroughLmdb(path, [](MDB_txn* txn, MDB_dbi main) {
             MDB_dbi users = 0;
             return mdb_dbi_open(txn, "users", MDB_CREATE, &users) == 0 &&
                    Put(txn, users, "alice", "1") && Put(txn, main, "version", "3"); })); },
     Reach::kPlain, "not a CDS store: holds a named database or duplicates under \"users\"", 1, nullptr},
    {"DamagedRootPage", [](const std::string& path, const Seed& seed) {
         // The offset of the root's second node points past the end of its page.
         std::string bytes = seed.bytes;
         bytes.replace(seed.root * seed.page + sizeof(size_t) + 8 + 2, 2, "\xfe\xff");
         WriteFile(path, bytes); },
     Reach::kPlain, "damaged: page <root> node 1 lies outside the page", 1, nullptr},
    {"FreeTreeFlags", [](const std::string& path, const Seed& seed) {
         // The flags of the free tree's record in both meta pages, after the page header (a
         // size_t page number and four u16), magic, version, address and map size.
         // Sorted duplicates (0x04) besides the integer keys.
         std::string bytes = seed.bytes;
         const uint16_t flags = 0x0c;
         for (size_t meta : {size_t{0}, seed.page})
             memcpy(&bytes[meta + 3 * sizeof(size_t) + 16 + 4], &flags, sizeof flags);
         WriteFile(path, bytes); },
     Reach::kPlain, "damaged: the free tree has flags 0xc", 2, nullptr},
    {"NoMarkAndAValueThatIsNoElement", [](const std::string& path, const Seed& seed) {
         RemoveMark(path, seed);
         EXPECT_TRUE(WriteThroughLmdb(path, [](MDB_txn* txn, MDB_dbi main) {
             return Put(txn, main, "/x/Value", "\x09"); })); },
     Reach::kPlain, "not a CDS store: the value of /x/Value is no element", 1, nullptr},
    {"NoMark", RemoveMark, Reach::kPlain, nullptr, 0, nullptr},
    {"ReadOnlyMount", Copy, Reach::kReadOnlyMount, nullptr, 0, "Read-only file system"},
    {"UnwritableFile", Copy, Reach::kOtherUser, nullptr, 0, "Permission denied"},
};
// clang-format on

void PrintTo(const ToolsCase& c, std::ostream* out) {
    *out << c.name;
}

class ToolsOnStore : public testing::TestWithParam<ToolsCase> {};

// The words that run a program on dir mounted read-only, or none when this machine cannot (say
// why in *why): in a namespace of its own, with a user namespace first, which needs no
// privilege.
std::vector<std::string> ReadOnlyMount(const std::string& dir, std::string* why) {
    const std::string script =
        "mount --bind \"$0\" \"$0\" && mount -o remount,bind,ro \"$0\" && exec \"$@\"";
    for (bool userNamespace : {true, false}) {
        std::vector<std::string> words = {"unshare", "--mount", "sh", "-c", script, dir};
        if (userNamespace)
            words.insert(words.begin() + 1, {"--user", "--map-root-user"});
        std::vector<std::string> args(words.begin() + 1, words.end());
        args.insert(args.end(), {"touch", dir + "/probe"});
        const ProgramResult probe = RunProgram(words[0], args);
        if (probe.err.find("Read-only file system") != std::string::npos)
            return words;
        *why += probe.err;
    }
    return {};
}

// Stores that are damaged, truncated, empty, another program's or read-only to the tools: each
// tool refuses it with its status or reads it, never dies on a signal, and nothing writes into
// a store it refuses or reads.
TEST_P(ToolsOnStore, RefuseOrReadWithoutDying) {
    const ToolsCase& c = GetParam();
    const Seed& seed = SeedStore();
    TempDir dir;
    const std::string storeDir = dir.path + "/store", store = storeDir + "/store.mdb";
    const std::string jffs = dir.path + "/jffs";
    for (const std::string& made : {storeDir, jffs, jffs + "/lp1"})
        ASSERT_EQ(mkdir(made.c_str(), 0777), 0) << made;
    c.make(store, seed);
    const std::string before = ReadFile(store);
    std::vector<std::string> words;
    if (c.reach == Reach::kReadOnlyMount) {
        std::string why;
        words = ReadOnlyMount(storeDir, &why);
        if (words.empty())
            GTEST_SKIP() << "no read-only mount can be made here: " << why;
    } else if (c.reach == Reach::kOtherUser) {
        // Root may write any file: the tools run as nobody instead, who may read the store but
        // may neither write it nor make its lock file in its directory.
        ASSERT_EQ(chmod(store.c_str(), 0444), 0);
        ASSERT_EQ(chmod(storeDir.c_str(), 0555), 0);
        if (geteuid() == 0) {
            words = {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
            for (const std::string& open : {dir.path, jffs, jffs + "/lp1"})
                ASSERT_EQ(chmod(open.c_str(), 0777), 0);
            const ProgramResult probe =
                RunProgram(words[0], {words[1], words[2], words[3], CDSCTL_BIN, "help"});
            if (probe.status != 0)
                GTEST_SKIP() << "nobody may not run the tools here: " << probe.err;
        }
    }
    const std::vector<std::string> env = {"CDS_STORE=" + store, "PROFILL_JFFS=" + jffs};
    auto run = [&](const char* program, std::vector<std::string> args) {
        std::vector<std::string> all(words.begin(), words.end());
        all.push_back(program);
        all.insert(all.end(), args.begin(), args.end());
        const std::string first = all[0];
        all.erase(all.begin());
        const ProgramResult result = RunProgram(first, all, env);
        EXPECT_TRUE(result.status >= 0 && result.status < 128)
            << program << " " << args[0] << " died on a signal: " << result.status;
        return result;
    };
    const bool refused = c.refusal != nullptr;
    std::string refusal = refused ? c.refusal : "";
    const std::pair<const char*, size_t> kNumbers[] = {{"<size>", before.size()},
                                                       {"<pages>", seed.bytes.size() / seed.page},
                                                       {"<page>", seed.page},
                                                       {"<root>", seed.root}};
    for (const auto& [name, number] : kNumbers)
        refusal = Replace(refusal, name, std::to_string(number));

    EXPECT_EQ(run(LPDUMP_BIN, {"--verify"}).status, refused ? 2 : 0);
    const ProgramResult show = run(PROFILL_BIN, {"-s"});
    EXPECT_EQ(show.status, refused ? 1 : 0);
    EXPECT_EQ(show.err.find("main: Error: can't initialize CDS connection") != std::string::npos,
              refused);
    const ProgramResult get = run(CDSCTL_BIN, {"get", "/LP/1/dayCnt/Value"});
    EXPECT_EQ(get.status, refused ? 2 : 0);
    EXPECT_EQ(get.out, refused ? "" : "0\n");
    EXPECT_EQ(get.err, refused ? "cdsctl: cannot open store " + store + ": " + refusal + "\n" : "");
    const ProgramResult dump = run(CDSCTL_BIN, {"dump"});
    EXPECT_EQ(dump.status, refused ? 2 : 0);
    const ProgramResult check = run(CDSCTL_BIN, {"check", "-2"});
    EXPECT_EQ(check.status, refused ? 2 : 0) << check.err;
    EXPECT_EQ(check.err, get.err);
    const ProgramResult scan = run(CDSCTL_BIN, {"scan"});
    EXPECT_EQ(scan.status, c.scanStatus) << scan.out << scan.err;
    if (!refused) {
        const std::string leaves =
            std::to_string(std::count(dump.out.begin(), dump.out.end(), '\n'));
        EXPECT_EQ(
            scan.out.rfind("cdsctl: store " + store + " is sound: " + leaves + " leaves in ", 0),
            0u)
            << scan.out;
        EXPECT_EQ(
            scan.out.find("; it has no mark yet, its first write adds it\n") != std::string::npos,
            c.make == RemoveMark);
    }
    EXPECT_EQ(ReadFile(store), before) << "a tool that only reads wrote into the store";

    const ProgramResult set = run(CDSCTL_BIN, {"set", "/LP/1/dayCnt/Value", "0"});
    EXPECT_EQ(set.status, refused || c.readOnly != nullptr ? 2 : 0);
    if (c.readOnly != nullptr) {
        EXPECT_EQ(set.err, "cdsctl: cannot write store " + store +
                               ": opened read-only: " + c.readOnly + "\n");
    }
    // -c removes nothing when the zeros could not be stored.
    const std::string dayFile = jffs + "/lp1/1.lp";
    WriteFile(dayFile, "day file");
    chmod(dayFile.c_str(), 0666);
    EXPECT_EQ(run(PROFILL_BIN, {"-i", "60", "-t", "1", "-c"}).status,
              refused || c.readOnly != nullptr ? 1 : 0);
    EXPECT_EQ(ReadFile(dayFile) == "day file", refused || c.readOnly != nullptr);
    if (refused || c.readOnly != nullptr) {
        EXPECT_EQ(ReadFile(store), before) << "a store the tools refuse or only read was written";
    } else {
        EXPECT_TRUE(HasMark(store)) << "the first write did not mark the store";
    }
    chmod(storeDir.c_str(), 0755);
}

INSTANTIATE_TEST_SUITE_P(Stores, ToolsOnStore, testing::ValuesIn(kToolsCases),
                         [](const testing::TestParamInfo<ToolsCase>& row) {
                             return std::string(row.param.name);
                         });

// Every page of a store (branches, leaves, overflow pages, the free tree) damaged in turn in
// each field that LMDB follows: the store is refused, or it opens and every read and write
// through it works. Nothing dies on a signal, and a scan finds what the opening refused.
TEST(CdsStore, ADamagedPageIsRefusedOrReadButKillsNothing) {
    ScratchStore store;
    {
        CCds cds;
        Paths paths;
        std::vector<CElement> values;
        // Long paths make a tree of three levels from few leaves.
        for (int i = 0; i < 40; ++i) {
            paths.push_back("/" + std::string(480, 'p') + "/" + std::to_string(i) + "/Value");
            values.push_back(i == 20 ? Text(std::string(9000, 't')) : Int(i));
        }
        Statuses statuses;
        ASSERT_EQ(Set(cds, paths, values, statuses), kCdsOk);
        paths.resize(8);
        ASSERT_EQ(RemoveCdsLeaves(cds.handle(), paths, statuses), kCdsOk);
    }
    const std::string seed = ReadFile(store.path);
    const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    const size_t header = sizeof(size_t) + 8;  // page number, pad, flags, lower, upper
    const struct {
        const char* field;
        size_t offset;  // in the page; from kNode on, in the page's first node
        const char* bytes;
    } kDamages[] = {
        {"page number", 0, "\x05\x00"},
        {"flags", header - 6, "\x00\x00"},
        {"lower", header - 4, "\xff\x7f"},
        {"upper", header - 2, "\x00\x00"},
        {"node offset", header, "\xff\x7f"},
        {"node size", 1 << 20, "\xff\xff\xff\x7f"},
        {"node flags", (1 << 20) + 4, "\x07\x00"},
        {"key size", (1 << 20) + 6, "\xff\x7f"},
    };
    constexpr size_t kNode = 1 << 20;
    const std::string damaged = store.dir.path + "/damaged.mdb";
    setenv("CDS_STORE", damaged.c_str(), 1);
    for (size_t pgno = 2; pgno < seed.size() / page; ++pgno) {
        for (const auto& damage : kDamages) {
            SCOPED_TRACE("page " + std::to_string(pgno) + ": " + damage.field);
            std::string bytes = seed;
            size_t at = pgno * page + damage.offset;
            if (damage.offset >= kNode) {
                uint16_t node;
                memcpy(&node, bytes.data() + pgno * page + header, sizeof node);
                at = pgno * page + node + damage.offset - kNode;
                if (node + size_t{8} > page)
                    continue;
            }
            bytes.replace(at, strlen(damage.bytes), damage.bytes);
            WriteFile(damaged, bytes);
            unlink((damaged + "-lock").c_str());
            const pid_t child = fork();
            ASSERT_GE(child, 0);
            if (child == 0) {
                std::string error;
                CCds cds(OpenCdsStore(damaged, &error));
                if (cds.handle() == nullptr)
                    _exit(error.compare(0, 8, "damaged:") == 0 ? 3 : 4);
                Paths paths;
                std::vector<CElement> values;
                Statuses statuses;
                ListCdsLeaves(cds.handle(), "", paths, values);
                Get(cds, paths);
                Set(cds, {"/new/Value"}, {Int(1)}, statuses);
                RemoveCdsLeaves(cds.handle(), {paths.empty() ? "/none" : paths[0]}, statuses);
                pcd_close(cds.handle());
                cds.set_handle(nullptr);
                _exit(0);
            }
            int status = 0;
            ASSERT_EQ(waitpid(child, &status, 0), child);
            ASSERT_TRUE(WIFEXITED(status)) << "died on signal " << WTERMSIG(status);
            EXPECT_NE(WEXITSTATUS(status), 4) << "refused as anything but damaged";
            if (WEXITSTATUS(status) == 3) {
                WriteFile(damaged, bytes);
                EXPECT_FALSE(ScanCdsStore(damaged).findings.empty());
            }
        }
    }
    unsetenv("CDS_STORE");
}

// Stores written at random (leaves of all sizes, overflow pages, removals that merge pages and
// fill the free tree, trees of three levels) always open and scan sound: no check of a page
// refuses what LMDB writes.
TEST(CdsStore, StoresWrittenAtRandomScanSound) {
    ScratchStore store;
    const unsigned seed = std::random_device{}();
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    std::set<std::string> leaves;
    for (int round = 0; round < 8 && !testing::Test::HasFailure(); ++round) {
        {
            CCds cds;
            ASSERT_NE(cds.handle(), nullptr) << CdsStoreError(cds.handle());
            for (int write = 0; write < 40; ++write) {
                Paths paths;
                std::vector<CElement> values;
                Statuses statuses;
                for (size_t i = random() % 30 + 1; i > 0; --i) {
                    paths.push_back("/" + std::string(random() % 300, 'k') + "/" +
                                    std::to_string(random() % 500) + "/Value");
                    const size_t size = random() % 20 == 0 ? random() % 12000 : random() % 40;
                    values.push_back(Text(std::string(size, 'v')));
                }
                if (random() % 4 == 0) {
                    std::vector<std::string> gone;
                    for (const std::string& leaf : leaves) {
                        if (random() % 3 == 0)
                            gone.push_back(leaf);
                    }
                    ASSERT_EQ(RemoveCdsLeaves(cds.handle(), gone, statuses), kCdsOk);
                    for (const std::string& leaf : gone)
                        leaves.erase(leaf);
                } else if (Set(cds, paths, values, statuses) == kCdsOk &&
                           statuses == Statuses(paths.size(), kCdsStatusOk)) {
                    leaves.insert(paths.begin(), paths.end());
                }
            }
        }
        const CdsScan scan = ScanCdsStore(store.path);
        ASSERT_TRUE(scan.opened) << scan.error;
        for (const CdsScanFinding& finding : scan.findings)
            ADD_FAILURE() << finding.where << ": " << finding.what;
        EXPECT_EQ(scan.leaves, leaves.size());
        EXPECT_TRUE(scan.marked);
    }
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
