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
    for (const char* verb : {"init", "load", "dump", "get", "set", "rm", "scan", "help"}) {
        EXPECT_NE(usage.find(std::string("\n  ") + verb + " "), std::string::npos) << verb;
    }
    const std::string kLoaded =
        "/a/float = 1.5\n/a/int = 9\n/a/text = \"hi there\"\n/c/f = -2000.0\n/c/inf = -inf\n"
        "/c/t = \"#x\\t\\\"\"\n";
    const std::string kBadLoad =
        "cdsctl: <dir>/in.cds:2: bad value: 1.5.5\ncdsctl: <dir>/in.cds:4: bad path: z\n"
        "cdsctl: <dir>/in.cds:5: duplicate path: /a/int (first on line 1)\n";
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
