// cdsctl: its text form of leaves (lines parsed, values formatted so that they read back), and
// whole invocations of the real binary, each on a fresh store: exact output, messages and exit
// status, and what the store holds afterwards.
#include <lmdb.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string_view>

#include "cds_text.h"
#include "test_support.h"

namespace {

using namespace std::string_view_literals;

// What a parse gave: "PATH = VALUE" as formatted, "" for a blank line, "! reason" for a bad one.
std::string Shown(std::string_view line) {
    CdsTextLeaf leaf;
    std::string error;
    switch (ParseCdsLine(line, &leaf, &error)) {
        case CdsLineKind::kBlank:
            return "";
        case CdsLineKind::kLeaf:
            return leaf.path + " = " + FormatCdsValue(leaf.value);
        default:
            return "! " + error;
    }
}

TEST(CdsTextTest, ParsesLines) {
    const std::string_view kCases[][2] = {
        {"/a = -2147483648", "/a = -2147483648"},
        {"/a = 2147483648", "! integer out of range: 2147483648"},
        {"/a = -99999999999999999999", "! integer out of range: -99999999999999999999"},
        {"/a = 0x1p-2", "/a = 0.25"},
        {"/a = INF\r", "/a = inf"},
        {"/a = 1e16", "/a = 10000000000000000.0"},
        {"/a = 1e17", "/a = 1e+17"},
        {"/a = 1.5e-7", "/a = 1.5e-07"},
        {"/a = \"\"", "/a = \"\""},
        {"/a = \"x\\\"y\\\\z\\n\\t\\x7F\\x00\\x0d\xc3\xa9\" # c",
         "/a = \"x\\\"y\\\\z\\n\\t\\x7f\\x00\\x0d\xc3\xa9\""},
        {"/a=\"# not = a comment\"", "/a = \"# not = a comment\""},
        {"\t\r", ""},
        {"/a", "! expected PATH = VALUE"},
        {"= 1", "! expected PATH = VALUE"},
        {"/a b = 1", "! expected PATH = VALUE"},
        {"a = 1", "! bad path: a"},
        {"/a\"b = 1", "! bad path: /a\"b"},
        {"/a = # c", "! missing value"},
        {"/a = 1\0"sv, "! bad value: 1\0"sv},
        {"/a = \"abc", "! unterminated text"},
        {"/a = \"\\q\"", "! bad escape: \\q"},
        {"/a = \"\\x4g\"", "! bad escape: \\x4g"},
        {"/a = \"\\x4", "! bad escape: \\x4"},
        {"/a = \"a\"b # c", "! text after value: b # c"},
    };
    for (const auto& [line, expected] : kCases) {
        EXPECT_EQ(Shown(line), expected) << line;
    }
}

TEST(CdsTextTest, FormattedFloatsReadBackExactly) {
    const double kFloats[] = {
        0.1, -0.0, 5e-324, 1.7976931348623157e308, 1.0 / 3, 1e21, -INFINITY, 2.5e-308 / 3, -NAN};
    for (double number : kFloats) {
        toolkit::CElement back;
        const std::string text = FormatCdsValue(Float(number));
        std::string error;
        ASSERT_TRUE(ParseCdsValue(text, &back, &error)) << text << ": " << error;
        ASSERT_EQ(back.type(), toolkit::CElement::kTypeFloat) << text;
        const double read = back.to_float();
        EXPECT_TRUE(std::isnan(number)
                        ? std::isnan(read) && std::signbit(read) == std::signbit(number)
                        : memcmp(&number, &read, sizeof read) == 0)
            << text;
    }
}

ProgramResult Cdsctl(const std::string& store, const std::vector<std::string>& args) {
    return RunProgram(CDSCTL_BIN, args, {"CDS_STORE=" + store});
}

// Every case starts from a store with these leaves, and with two that no writer of the store
// produces: /junk holds a type code and half a time stamp, /none an element of type none.
const char kSeed[] = "/a/int = 7\n/a/float = 1.5\n/a/text = \"hi there\"\n";
const char kSeedDump[] = "/a/float = 1.5\n/a/int = 7\n/a/text = \"hi there\"\n";
const char kJunk[] =
    "cdsctl: /junk: stored bytes are no element\ncdsctl: /none: stored bytes are no element\n";

std::string SeededStore(const TempDir& dir) {
    const std::string store = dir.path + "/store.mdb";
    WriteFile(dir.path + "/seed.cds", kSeed);
    EXPECT_EQ(Cdsctl(store, {"init"}).status, 0);
    EXPECT_EQ(Cdsctl(store, {"load", dir.path + "/seed.cds"}).status, 0);
    MDB_env* env = nullptr;
    MDB_txn* txn = nullptr;
    MDB_dbi dbi = 0;
    char junk[] = "/junk", none[] = "/none", half[] = "\x02\x00\x00\x00", empty[9] = {};
    MDB_val k1{strlen(junk), junk}, v1{sizeof half, half}, k2{strlen(none), none}, v2{9, empty};
    EXPECT_TRUE(mdb_env_create(&env) == 0 &&
                mdb_env_open(env, store.c_str(), MDB_NOSUBDIR, 0644) == 0 &&
                mdb_txn_begin(env, nullptr, 0, &txn) == 0 &&
                mdb_dbi_open(txn, nullptr, 0, &dbi) == 0 && mdb_put(txn, dbi, &k1, &v1, 0) == 0 &&
                mdb_put(txn, dbi, &k2, &v2, 0) == 0 && mdb_txn_commit(txn) == 0);
    mdb_env_close(env);
    return store;
}

struct CdsctlCase {
    std::vector<std::string> args;  // <dir> stands for the case's scratch directory
    const char* file;               // written to <dir>/in.cds first
    const char* out;                // <usage> stands for the output of "cdsctl help"
    const char* err;
    int status;
    const char* after = kSeedDump;  // what a dump of the store prints afterwards
    const char* store = "<dir>/store.mdb";
};

std::string Expand(const std::string& text, const std::string& dir, const std::string& usage) {
    return Replace(Replace(text, "<dir>", dir), "<usage>", usage);
}

TEST(CdsctlTest, RunsVerbs) {
    const std::string usage = RunProgram(CDSCTL_BIN, {"help"}).out;
    for (const char* verb : {"init", "load", "dump", "get", "set", "rm", "scan", "check", "help"}) {
        EXPECT_NE(usage.find(std::string("\n  ") + verb + " "), std::string::npos) << verb;
    }
    const std::string kLoaded =
        "/a/float = 1.5\n/a/int = 9\n/a/text = \"hi there\"\n/c/f = -2000.0\n/c/inf = -inf\n"
        "/c/t = \"#x\\t\\\"\"\n";
    const std::string kBadLoad =
        "cdsctl: <dir>/in.cds:2: bad value: 1.5.5\ncdsctl: <dir>/in.cds:4: bad path: z\n"
        "cdsctl: <dir>/in.cds:5: duplicate path: /a/int (first on line 1)\n";
    std::string kNoProfile;
    for (const char* leaf :
         {"NumChannels", "IntLength", "ExtIntSync", "FrzMark", "DataSetting1", "DataSetting2"}) {
        kNoProfile += std::string("cdsctl: /Q7M/LoadPrf/1/") + leaf + "/Value: missing\n";
    }
    for (const char* leaf : {"currentDay", "fileRecCnt", "totalRecCnt", "dayCnt", "daysDeleted"}) {
        kNoProfile += std::string("cdsctl: /LP/1/") + leaf + "/Value: missing\n";
    }
    // clang-format off
    const CdsctlCase kCases[] = {
        {{"get", "/a/int", "/nope", "/a/text"}, nullptr, "7\nhi there\n", "cdsctl: /nope: not found\n", 1},
        {{"get", "/junk", "/none", "/a/int"}, nullptr, "7\n", kJunk, 1},
        {{"get", "/a/int", "a/text"}, nullptr, "", "cdsctl: bad path: a/text\n", 2},
        {{"get"}, nullptr, "", "usage: cdsctl get PATH...\n", 2},
        {{"dump"}, nullptr, kSeedDump, kJunk, 1},
        {{"dump", "/a/i"}, nullptr, "/a/int = 7\n", "", 0},
        {{"dump", "/a", "/b"}, nullptr, "", "usage: cdsctl dump [PREFIX]\n", 2},
        {{"set", "/a/int", "-5", "/b/f", "2.", "/b/t", "\"q\\\"\\\\\\x41\\n\""}, nullptr, "", "", 0,
         "/a/float = 1.5\n/a/int = -5\n/a/text = \"hi there\"\n/b/f = 2.0\n/b/t = \"q\\\"\\\\A\\n\"\n"},
        {{"set", "/a/int", "8", "/a/float", "12x"}, nullptr, "", "cdsctl: /a/float: bad value: 12x\n", 2},
        {{"set", "/a/int", " 9 ", "/a/float", "1 # c"}, nullptr, "", "cdsctl: /a/float: text after value: # c\n", 2},
        {{"set", "/a/int", "1", "b", "2"}, nullptr, "", "cdsctl: bad path: b\n", 2},
        {{"set", "/a/int", "1", "/a/int", "2"}, nullptr, "", "cdsctl: /a/int: given twice\n", 2},
        {{"set", "/a/int"}, nullptr, "", "usage: cdsctl set PATH VALUE [PATH VALUE]...\n", 2},
        {{"rm", "/a/int", "/junk", "/none", "/a/text"}, nullptr, "", "", 0, "/a/float = 1.5\n"},
        {{"rm", "/a/int", "/nope", "/nix"}, nullptr, "", "cdsctl: /nope: not found\ncdsctl: /nix: not found\n", 1},
        {{"rm", "/a/int", "/a/int"}, nullptr, "", "", 0, "/a/float = 1.5\n/a/text = \"hi there\"\n"},
        {{"rm"}, nullptr, "", "usage: cdsctl rm PATH...\n", 2},
        {{"load", "<dir>/in.cds"},
         "# config\n\n  /a/int=+9 # nine\n/c/f = -2e3\n/c/t = \"#x\\t\\\"\"\t# y\r\n/c/inf = -inf",
         "", "", 0, kLoaded.c_str()},
        {{"load", "<dir>/in.cds"}, "/a/int = 1\n/a/float = 1.5.5\n/z/new = 3\nz = 4\n/a/int = 2\n",
         "", kBadLoad.c_str(), 2},
        {{"load", "<dir>/none.cds"}, nullptr, "", "cdsctl: cannot read <dir>/none.cds: No such file or directory\n", 2},
        {{"load"}, nullptr, "", "usage: cdsctl load FILE\n", 2},
        {{"load", "<dir>/in.cds"}, "/lp/1/dayCnt = 2\n", "",
         "cdsctl: warning: /lp/1/dayCnt: unknown leaf; did you mean /LP/1/dayCnt/Value?\n", 0,
         "/a/float = 1.5\n/a/int = 7\n/a/text = \"hi there\"\n/lp/1/dayCnt = 2\n"},
        {{"set", "/Q7M/LoadPrf/2/NumChanels/Value", "3", "/LP/2/dayCnt/Value", "1"}, nullptr, "",
         "cdsctl: warning: /Q7M/LoadPrf/2/NumChanels/Value: unknown leaf; did you mean /Q7M/LoadPrf/2/NumChannels/Value?\n", 0,
         "/LP/2/dayCnt/Value = 1\n/Q7M/LoadPrf/2/NumChanels/Value = 3\n/a/float = 1.5\n/a/int = 7\n/a/text = \"hi there\"\n"},
        {{"check"}, nullptr, "cdsctl: LP 1 in store <dir>/store.mdb: 11 leaves profill reads, 11 findings\n",
         kNoProfile.c_str(), 1},
        {{"check", "-1"}, nullptr, "", "usage: cdsctl check [-2]\n", 2},
        {{"scan"}, nullptr, "/junk: stored bytes are no element\n/none: stored bytes are no element\n"
         "cdsctl: store <dir>/store.mdb is not sound: 2 findings; 6 entries in 4 pages\n", "", 1},
        {{"scan", "x"}, nullptr, "", "usage: cdsctl scan\n", 2},
        {{"scan"}, nullptr, "", "cdsctl: cannot open store <dir>: not a regular file\n", 2, kSeedDump, "<dir>"},
        {{"init"}, nullptr, "", "cdsctl: cannot create store <dir>/store.mdb: exists already\n", 2},
        {{"init"}, nullptr, "", "", 0, kSeedDump, "<dir>/new/store.mdb"},
        {{"get", "/a/int"}, nullptr, "", "cdsctl: cannot open store <dir>/none.mdb: No such file or directory\n", 2, kSeedDump, "<dir>/none.mdb"},
        {{"dump"}, nullptr, "", "cdsctl: cannot open store <dir>: not a regular file\n", 2, kSeedDump, "<dir>"},
        {{"frob"}, nullptr, "", "cdsctl: unknown verb: frob\n<usage>", 2},
        {{}, nullptr, "", "<usage>", 2},
        {{"--help"}, nullptr, "<usage>", "", 0},
        {{"-h"}, nullptr, "<usage>", "", 0},
        {{"--version"}, nullptr, "cdsctl " PROFILL_VERSION "\n", "", 0},
        {{"help", "me"}, nullptr, "", "usage: cdsctl help\n", 2},
    };
    // clang-format on
    for (const CdsctlCase& c : kCases) {
        TempDir dir;
        const std::string store = SeededStore(dir);
        std::vector<std::string> args;
        for (const std::string& arg : c.args) {
            args.push_back(Expand(arg, dir.path, usage));
        }
        if (c.file != nullptr) {
            WriteFile(dir.path + "/in.cds", c.file);
        }
        ProgramResult result = Cdsctl(Expand(c.store, dir.path, usage), args);
        SCOPED_TRACE(c.args.empty() ? "(none)" : c.args[0] + " " + c.args.back());
        EXPECT_EQ(result.out, Expand(c.out, dir.path, usage));
        EXPECT_EQ(result.err, Expand(c.err, dir.path, usage));
        EXPECT_EQ(result.status, c.status);
        EXPECT_EQ(Cdsctl(store, {"dump"}).out, c.after);
    }
}

// check on the example store changed by a load file and removals: what it lists, its findings
// and its verdict.
TEST(CdsctlTest, ChecksTheLeavesProfillReads) {
    const char kLp2[] =
        "/Q7M/LoadPrf/2/NumChannels/Value = 3\n/Q7M/LoadPrf/2/IntLength/Value = 5\n"
        "/Q7M/LoadPrf/2/ExtIntSync/Value = 1\n/Q7M/LoadPrf/2/FrzMark/Value = 1\n"
        "/Q7M/LoadPrf/2/DataSetting1/Value = 1\n/Q7M/LoadPrf/2/DataSetting2/Value = 0\n"
        "/Q7M/LoadPrf/2/Chan/1/Type/Value = 1\n/Q7M/LoadPrf/2/Chan/1/Quantity/Value = 1\n"
        "/Q7M/LoadPrf/2/Chan/1/Phase/Value = 0\n/Q7M/LoadPrf/2/Chan/1/Direction/Value = 0\n"
        "/Q7M/LoadPrf/2/Chan/1/Records/Value = 1\n/Q7M/LoadPrf/2/Chan/1/KmValue/Value = 1.8\n"
        "/Q7M/LoadPrf/2/Chan/1/UnComp/Value = 0\n/Q7M/LoadPrf/2/Chan/2/Type/Value = 1\n"
        "/Q7M/LoadPrf/2/Chan/2/Quantity/Value = 1\n/Q7M/LoadPrf/2/Chan/2/Phase/Value = 0\n"
        "/Q7M/LoadPrf/2/Chan/2/Direction/Value = 1\n/Q7M/LoadPrf/2/Chan/2/Records/Value = 1\n"
        "/Q7M/LoadPrf/2/Chan/2/KmValue/Value = 1.8\n/Q7M/LoadPrf/2/Chan/2/UnComp/Value = 0\n"
        "/Q7M/LoadPrf/2/Chan/3/Type/Value = 3\n/Q7M/LoadPrf/2/Chan/3/Quantity/Value = 4\n"
        "/Q7M/LoadPrf/2/Chan/3/Phase/Value = 0\n/Q7M/LoadPrf/2/Chan/3/Direction/Value = 0\n"
        "/Q7M/LoadPrf/2/Chan/3/Records/Value = 1\n/Q7M/LoadPrf/2/Chan/3/KmValue/Value = 14.4\n"
        "/Q7M/LoadPrf/2/Chan/3/UnComp/Value = 1\n/LP/2/currentDay/Value = 0\n"
        "/LP/2/fileRecCnt/Value = 0\n/LP/2/totalRecCnt/Value = 0\n/LP/2/dayCnt/Value = 0\n"
        "/LP/2/daysDeleted/Value = 0\n"
        "cdsctl: LP 2 in store <store>: 32 leaves profill reads, no findings\n";
    const struct {
        const char* load;  // over the example
        std::vector<std::string> removed;
        bool lp2;
        const char* out;  // all of it, or its last line when it does not start with '/'
        const char* err;
        int status;
    } kCases[] = {
        // clang-format off
        {"", {}, true, kLp2, "", 0},
        {"/Q7M/LoadPrf/2/NumChanels/Value = 3\n/LP/3/dayCnt/Value = 1\n", {"/Q7M/LoadPrf/2/NumChannels/Value"}, true,
         "cdsctl: LP 2 in store <store>: 11 leaves profill reads, 3 findings\n",
         "cdsctl: /Q7M/LoadPrf/2/NumChannels/Value: missing\n"
         "cdsctl: /LP/3/dayCnt/Value: unknown leaf; did you mean /LP/1/dayCnt/Value?\n"
         "cdsctl: /Q7M/LoadPrf/2/NumChanels/Value: unknown leaf; did you mean /Q7M/LoadPrf/2/NumChannels/Value?\n", 1},
        {"/LP/2/dayCnt = 0\n/Q7M/LoadPrf/1/IntLength = 5\n", {"/LP/2/dayCnt/Value"}, true,
         "cdsctl: LP 2 in store <store>: 32 leaves profill reads, 2 findings\n",
         "cdsctl: /LP/2/dayCnt/Value: missing\n"
         "cdsctl: /LP/2/dayCnt: unknown leaf; did you mean /LP/2/dayCnt/Value?\n", 1},
        {"/Q7M/LoadPrf/2/NumChannels/Value = 4\n", {"/Q7M/LoadPrf/2/Chan/2/KmValue/Value"}, true,
         "cdsctl: LP 2 in store <store>: 39 leaves profill reads, 2 findings\n",
         "cdsctl: /Q7M/LoadPrf/2/Chan/2/KmValue/Value: missing\n"
         "cdsctl: /Q7M/LoadPrf/2/Chan/4: missing, with all its 7 leaves\n", 1},
        {"/Q7M/LoadPrf/1/NumChannels/Value = 17\n/Q7M/LoadPrf/1/IntLength/Value = 35791395\n", {}, false,
         "cdsctl: LP 1 in store <store>: 123 leaves profill reads, 2 findings\n",
         "cdsctl: /Q7M/LoadPrf/1/NumChannels/Value: 17 channels, more than a record holds (profill uses the first 16); use 1 to 16\n"
         "cdsctl: /Q7M/LoadPrf/1/IntLength/Value: an interval of 35791395 minutes, which profill cannot generate; use 1 to 35791394, or give -i\n", 1},
        {"/Q7M/LoadPrf/2/NumChannels/Value = 0.5\n/Q7M/LoadPrf/2/IntLength/Value = 0\n", {}, true,
         "cdsctl: LP 2 in store <store>: 11 leaves profill reads, 2 findings\n",
         "cdsctl: /Q7M/LoadPrf/2/NumChannels/Value: 0 channels, which profill cannot generate; use 1 to 16\n"
         "cdsctl: /Q7M/LoadPrf/2/IntLength/Value: an interval of 0 minutes, which profill cannot generate; use 1 to 35791394, or give -i\n", 1},
        {"/LP/2/currentDay/Value = -1\n/LP/2/daysDeleted/Value = -1\n/Q7M/LoadPrf/2/IntLength/Value = 35791394\n", {}, true,
         "cdsctl: LP 2 in store <store>: 32 leaves profill reads, 1 finding\n",
         "cdsctl: /LP/2/currentDay/Value: a negative count of -1, which profill cannot continue; -c starts the profile afresh\n", 1},
        // clang-format on
    };
    for (const auto& c : kCases) {
        TempDir dir;
        const std::string store = dir.path + "/store.mdb";
        WriteFile(dir.path + "/edit.cds", c.load);
        ASSERT_EQ(Cdsctl(store, {"init"}).status, 0);
        ASSERT_EQ(Cdsctl(store, {"load", CDSCTL_EXAMPLE}).status, 0);
        ASSERT_EQ(Cdsctl(store, {"load", dir.path + "/edit.cds"}).status, 0);
        if (!c.removed.empty()) {
            std::vector<std::string> rm = {"rm"};
            rm.insert(rm.end(), c.removed.begin(), c.removed.end());
            ASSERT_EQ(Cdsctl(store, rm).status, 0);
        }
        const ProgramResult result = Cdsctl(store, c.lp2 ? std::vector<std::string>{"check", "-2"}
                                                         : std::vector<std::string>{"check"});
        SCOPED_TRACE(c.load);
        const std::string out = Replace(c.out, "<store>", store);
        EXPECT_EQ(out[0] == '/'
                      ? result.out
                      : result.out.substr(result.out.rfind('\n', result.out.size() - 2) + 1),
                  out);
        EXPECT_EQ(result.err, c.err);
        EXPECT_EQ(result.status, c.status);
    }
}

TEST(CdsctlTest, DumpLoadsBackIntoAnotherStore) {
    TempDir dir;
    const std::string first = dir.path + "/first.mdb", second = dir.path + "/second.mdb";
    std::string allBytes, odd = "/odd/all = \"";
    for (int byte = 0; byte < 256; ++byte) {
        allBytes += static_cast<char>(byte);
        odd +=
            "\\x" + std::string(1, "0123456789abcdef"[byte / 16]) + "0123456789abcdef"[byte % 16];
    }
    odd += "\"\n/odd/f = 0.1\n/odd/g = -0.0\n/odd/h = 5e-324\n/odd/i = nan\n/odd/j = 1e300\n";
    WriteFile(dir.path + "/odd.cds", odd);
    ASSERT_EQ(Cdsctl(first, {"init"}).status, 0);
    ASSERT_EQ(Cdsctl(first, {"load", CDSCTL_EXAMPLE}).err, "");
    ASSERT_EQ(Cdsctl(first, {"load", dir.path + "/odd.cds"}).err, "");
    ASSERT_EQ(Cdsctl(second, {"init"}).status, 0);

    ProgramResult copy = RunProgram(
        "/bin/sh", {"-c", std::string("CDS_STORE=") + first + " " + CDSCTL_BIN +
                              " dump | CDS_STORE=" + second + " " + CDSCTL_BIN + " load -"});
    EXPECT_EQ(copy.err, "");
    EXPECT_EQ(copy.status, 0);
    const std::string dump = Cdsctl(first, {"dump"}).out;
    EXPECT_EQ(Cdsctl(second, {"dump"}).out, dump);
    // Both profiles (settings, then 7 leaves a channel), their bookkeeping, and the odd leaves.
    EXPECT_EQ(std::count(dump.begin(), dump.end(), '\n'), 6 + 16 * 7 + 6 + 3 * 7 + 10 + 6);
    ProgramResult get =
        Cdsctl(second, {"get", "/Q7M/LoadPrf/1/NumChannels/Value", "/Q7M/LoadPrf/2/IntLength/Value",
                        "/Q7M/LoadPrf/1/Chan/10/KmValue/Value", "/odd/all"});
    EXPECT_EQ(get.out, "16\n5\n14.4\n" + allBytes + "\n");
}

}  // namespace
