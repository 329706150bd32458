// Whole invocations of the real binary: exact standard output and exit status.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "cds/host_store.h"
#include "lpfile/storage_table.h"
#include "test_support.h"

namespace {

// A store holding the configuration and file information of both profiles, made once.
struct SeededStore {
    SeededStore() : path(dir.path + "/store.mdb") {
        std::string error;
        EXPECT_TRUE(CreateCdsStore(path, &error)) << error;
        setenv("CDS_STORE", path.c_str(), 1);
        toolkit::CCds cds;
        std::vector<std::string> paths;
        std::vector<toolkit::CElement> values;
        auto add = [&](const std::string& leaf, double value) {
            paths.push_back(leaf + "/Value");
            values.emplace_back();
            if (leaf.find("KmValue") != std::string::npos) {
                values.back().set_float(value);
            } else {
                values.back().set_int(static_cast<int32_t>(value));
            }
        };
        const int32_t kFileInfo[2][5] = {{3, 1, 200, 2, 0}, {1, 2, 3, 4, 5}};
        const char* kFileInfoLeaves[] = {"currentDay", "fileRecCnt", "totalRecCnt", "dayCnt",
                                         "daysDeleted"};
        for (int n = 1; n <= 2; ++n) {
            std::string lp = "/Q7M/LoadPrf/" + std::to_string(n);
            add(lp + "/NumChannels", n + 1);
            add(lp + "/IntLength", n == 1 ? 15 : 5);
            add(lp + "/ExtIntSync", 1);
            add(lp + "/FrzMark", 0);
            add(lp + "/DataSetting1", 70000);
            add(lp + "/DataSetting2", 40000);
            for (int k = 1; k <= n + 1; ++k) {
                std::string chan = lp + "/Chan/" + std::to_string(k);
                const char* kLeaves[] = {"Type",      "Quantity", "Phase",
                                         "Direction", "Records",  "UnComp"};
                for (int i = 0; i < 6; ++i)
                    add(chan + "/" + kLeaves[i], k * 10 + i);
                add(chan + "/KmValue", 1.8 * k);
            }
            for (int i = 0; i < 5; ++i) {
                add("/LP/" + std::to_string(n) + "/" + kFileInfoLeaves[i], kFileInfo[n - 1][i]);
            }
        }
        std::vector<api_status_t> statuses;
        EXPECT_EQ(cds.set_leaves(paths, values, std::vector<pcd_tribool_t>(paths.size(), 1),
                                 statuses, ""),
                  kCdsOk);
        unsetenv("CDS_STORE");
    }
    TempDir dir;
    std::string path;
};

const std::string kBanner = "Load Profile Add input (profill) version 0.0.01 started.\n";
const std::string kUsage =
    "Usage: profill -i <interval length in minutes 1 -> 60>  -t <total days> -c [-2] [-s] [-p] "
    "[-d 0xXXX]\n"
    " -i: set the interval length to minutes 1-60,1440(daily),10080(weekly),43800(monthly)\n"
    " -t: total number of days/files of data to auto generate data for 1->365 (default is 2)\n"
    " -c: clear file info parms in CDS before starting...to all zero's\n"
    " -2: Select LP 2;  otherwise LP 1 is assumed\n"
    " -s: Read & Display Configuration and File Info Only; (skip)DO NOT GENERATE LP RECORDS\n"
    " -p: Print out Table of Storage Allocations DO NOT GENERATE LP RECORDS\n"
    " -d: set the debug log level\n"
    "     1: Display Configuration read from CDS\n"
    "     2: WriteLpRecord\n"
    "\n"
    " If no interval length is entered, value in the CDS is used.\n"
    "\n";

// Placeholders in the expected texts, expanded before comparing.
const std::pair<std::string, std::string> kPlaceholders[] = {
    {"<noGen>",
     "profill: this build does not generate records yet; only -s and -p are available\n"},
    {"<info1>", "Load Profile 1 File Information Configuration\n<infoHead>3\t1\t200\t2\t0\n\n\n"},
    {"<info2>", "Load Profile 2 File Information Configuration\n<infoHead>1\t2\t3\t4\t5\n\n\n"},
    {"<infoHead>",
     "Current\tFile\tTotal\tTotl\tDays   \nDay    \tRecs\tRecs \tDays\tDeleted\n"
     "-------\t----\t-----\t----\t-------\n"},
    {"<badInterval>", "Invalid interval length value; must be 1 -> 60\n<usage>"},
    {"<badLevel>", "Invalid debug log level entered\n<usage>"},
    {"<badRoot>",
     "profill: PROFILL_JFFS must be an absolute path of at most 1024 letters, "
     "digits, '/', '.', '_' and '-': "},
    {"<usage>", kUsage},
    {"<config1>",
     "Load Profile 1 Configuration\n<configHead>2\t15\t\t1\t0\t4464\t\t-25536\n"
     "Channel Configuaration for 2 Channels\n<chanHead>"
     "1\t10\t11\t12\t13\t14\t1.800000\t15\n2\t20\t21\t22\t23\t24\t3.600000\t25\n\n\n"},
    {"<config2>",
     "Load Profile 2 Configuration\n<configHead>3\t5\t\t1\t0\t4464\t\t-25536\n"
     "Channel Configuaration for 3 Channels\n<chanHead>"
     "1\t10\t11\t12\t13\t14\t1.800000\t15\n2\t20\t21\t22\t23\t24\t3.600000\t25\n"
     "3\t30\t31\t32\t33\t34\t5.400000\t35\n\n\n"},
    {"<configHead>",
     "Chnls\tIntLength\tSync\tFrzMark\tStoreEvents\tInCounts\n"
     "-----\t---------\t----\t-------\t-----------\t--------\n"},
    {"<chanHead>",
     "Chan\tType\tQuan\tPhase\tDir\tRecords\tkmVal\t\tTLC\n"
     "----\t----\t----\t-----\t---\t-------\t-----\t\t---\n"},
    {"<clear1>",
     "profill: success for rm -Rf <root>/lp1/*.lp\nClearing out file info in CDS before "
     "starting\n"},
};

std::string Expand(std::string text) {
    for (const auto& [placeholder, replacement] : kPlaceholders) {
        for (std::size_t at; (at = text.find(placeholder)) != std::string::npos;) {
            text.replace(at, placeholder.size(), replacement);
        }
    }
    return text;
}

std::vector<std::string> Words(const char* text) {
    std::vector<std::string> words;
    std::istringstream in(text);
    for (std::string word; in >> word;)
        words.push_back(word);
    return words;
}

struct CliCase {
    const char* args;      // split at blanks
    const char* expected;  // standard output after the banner; <table> is the storage table
    int status;
    const char* env;
};

// clang-format off
const CliCase kCases[] = {
    {"", "<noGen>", 1, nullptr},
    {"-i 15", "interval length is 15\n<noGen>", 1, nullptr},
    {"-i 1 -t 1 -p", "interval length is 1\n<info1><table>", 0, nullptr},
    {"-i 60 -p", "interval length is 60\n<info1><table>", 0, nullptr},
    {"-i 1440 -p", "interval length is 1440\n<info1><table>", 0, nullptr},
    {"-i 10080 -p", "interval length is 10080\n<info1><table>", 0, nullptr},
    {"-i 43800 -p", "interval length is 43800\n<info1><table>", 0, nullptr},
    {"-i 15min -p", "interval length is 15\n<info1><table>", 0, nullptr},
    {"-i 0", "interval length is 0\n<badInterval>", 1, nullptr},
    {"-i 61", "interval length is 61\n<badInterval>", 1, nullptr},
    {"-i 1439", "interval length is 1439\n<badInterval>", 1, nullptr},
    {"-i -5", "interval length is -5\n<badInterval>", 1, nullptr},
    {"-i abc", "<usage>", 1, nullptr},
    {"-i 4294967311", "<usage>", 1, nullptr},
    {"-i", "Missing interval length value\n<usage>", 1, nullptr},
    {"-t 1500 -p", "<info1><table>", 0, nullptr},
    {"-t 0", "<usage>", 1, nullptr},
    {"-t 1501", "<usage>", 1, nullptr},
    {"-t", "Missing number of days to generate data for\n<usage>", 1, nullptr},
    {"-t 5 -i 15", "<usage>", 1, nullptr},
    {"-s -c", "<usage>", 1, nullptr},
    {"-c -c", "<usage>", 1, nullptr},
    {"-x", "<usage>", 1, nullptr},
    {"-p 15", "<usage>", 1, nullptr},
    {"-p -d 8", "debug level is: string=8 = hex=8; decimal=8\n<info1><table>", 0, nullptr},
    {"-p -d 0x8", "debug level is: string=0x8 = hex=8; decimal=8\n<info1><table>", 0, nullptr},
    {"-p -d 10", "debug level is: string=10 = hex=10; decimal=16\n<info1><table>", 0, nullptr},
    {"-p -d 7ffffff8", "debug level is: string=7ffffff8 = hex=7ffffff8; decimal=2147483640\n<info1><table>", 0, nullptr},
    {"-p -d ffffffff", "debug level is: string=ffffffff = hex=ffffffff; decimal=-1\n<badLevel>", 1, nullptr},
    {"-p -d -80000000", "debug level is: string=-80000000 = hex=80000000; decimal=-2147483648\n<badLevel>", 1, nullptr},
    {"-p -d 100000000", "<badLevel>", 1, nullptr},
    {"-p -d xyz", "<badLevel>", 1, nullptr},
    {"-p -d", "NO debug log level entered\n<usage>", 1, nullptr},
    {"-p -d 0 -x junk", "debug level is: string=0 = hex=0; decimal=0\n<info1><table>", 0, nullptr},
    {"-i 5 -t 3 -2 -p -d 0", "interval length is 5\ndebug level is: string=0 = hex=0; decimal=0\n<info2><table>", 0, nullptr},
    {"-p", "<info1><table>", 0, "PROFILL_JFFS=/tmp/some_dir-1.x/"},
    {"-p", "<badRoot>\"jffs\"\n", 1, "PROFILL_JFFS=jffs"},
    {"-p", "<badRoot>\"/tmp/x;rm -rf y\"\n", 1, "PROFILL_JFFS=/tmp/x;rm -rf y"},
    {"-p", "<badRoot>\"/tmp/a?b\"\n", 1, "PROFILL_JFFS=/tmp/a\nb"},
    {"-x", "<usage>", 1, "PROFILL_JFFS=jffs"},
};
// clang-format on

TEST(CliTest, PrintsExactOutputAndStatus) {
    SeededStore store;
    testing::internal::CaptureStdout();
    PrintDaysCalculationTable();
    const std::string table = testing::internal::GetCapturedStdout();

    for (const CliCase& c : kCases) {
        std::vector<std::string> args = Words(c.args);
        std::vector<std::string> env{"CDS_STORE=" + store.path};
        if (c.env != nullptr) {
            env.push_back(c.env);
        }
        ProgramResult result = RunProgram(PROFILL_BIN, args, env);

        std::string expected = Expand(kBanner + c.expected);
        if (std::size_t at = expected.find("<table>"); at != std::string::npos) {
            expected.replace(at, 7, table);
        }
        const std::string label = std::string(c.args) + " " + (c.env ? c.env : "");
        EXPECT_EQ(result.out, expected) << label;
        EXPECT_EQ(result.err, "") << label;
        EXPECT_EQ(result.status, c.status) << label;
    }
}

// Runs that reach the store: each in a fresh flash root and store, whose contents are checked
// afterwards.
TEST(CliTest, LoadsClearsAndShowsTheProfileFromTheStore) {
    struct Case {
        const char* args;
        bool reachable;
        const char* expected;   // standard output after the banner
        const char* errorText;  // in standard error (the syslog echo)
        int status;
        int32_t lp1FileInfo;  // value of every LP 1 counter afterwards: -1 for unchanged
    };
    // clang-format off
    const Case kStoreCases[] = {
        {"-s", true, "<config1><info1>", "", 0, -1},
        {"-2 -s", true, "<config2><info2>", "", 0, -1},
        {"-p", true, "<info1><table>", "", 0, -1},
        {"-c -s", true, "<config1><info1><clear1>", "", 0, 0},
        {"-c -p", true, "<info1><clear1><table>", "", 0, 0},
        {"-s", false, "", "main: Error: can't initialize CDS connection\n", 1, -1},
        {"-i 5 -c -p -d 8", false, "interval length is 5\ndebug level is: string=8 = hex=8; decimal=8\n",
         "main: Error: can't initialize CDS connection\n", 1, -1},
    };
    // clang-format on
    testing::internal::CaptureStdout();
    PrintDaysCalculationTable();
    const std::string table = testing::internal::GetCapturedStdout();

    for (const Case& c : kStoreCases) {
        SeededStore store;
        TempDir root;
        for (const char* file : {"/lp1/1.lp", "/lp1/2.lp", "/lp1/notes.txt", "/lp2/1.lp"}) {
            mkdir((root.path + "/lp1").c_str(), 0755);
            mkdir((root.path + "/lp2").c_str(), 0755);
            FILE* out = fopen((root.path + file).c_str(), "w");
            ASSERT_NE(out, nullptr);
            fclose(out);
        }
        const std::string storePath = c.reachable ? store.path : store.dir.path + "/none.mdb";
        ProgramResult result = RunProgram(PROFILL_BIN, Words(c.args),
                                          {"CDS_STORE=" + storePath, "PROFILL_JFFS=" + root.path});

        std::string expected = Expand(kBanner + c.expected);
        for (const auto& [placeholder, text] :
             {std::pair<std::string, std::string>{"<table>", table}, {"<root>", root.path}}) {
            if (std::size_t at = expected.find(placeholder); at != std::string::npos) {
                expected.replace(at, placeholder.size(), text);
            }
        }
        EXPECT_EQ(result.out, expected) << c.args;
        EXPECT_NE(result.err.find(c.errorText), std::string::npos) << c.args << result.err;
        EXPECT_EQ(result.status, c.status) << c.args;

        bool cleared = c.lp1FileInfo == 0;
        EXPECT_EQ(access((root.path + "/lp1/1.lp").c_str(), F_OK) != 0, cleared) << c.args;
        EXPECT_EQ(access((root.path + "/lp1/2.lp").c_str(), F_OK) != 0, cleared) << c.args;
        EXPECT_EQ(access((root.path + "/lp1/notes.txt").c_str(), F_OK), 0) << c.args;
        EXPECT_EQ(access((root.path + "/lp2/1.lp").c_str(), F_OK), 0) << c.args;

        setenv("CDS_STORE", store.path.c_str(), 1);
        toolkit::CCds cds;
        std::vector<std::string> paths;
        for (const char* lp : {"/LP/1/", "/LP/2/"}) {
            for (const char* leaf :
                 {"currentDay", "fileRecCnt", "totalRecCnt", "dayCnt", "daysDeleted"}) {
                paths.push_back(std::string(lp) + leaf + "/Value");
            }
        }
        std::vector<api_status_t> statuses;
        std::vector<toolkit::CElement> values;
        std::vector<element_property_t> properties;
        ASSERT_EQ(cds.get_leaves(paths, statuses, values, properties), kCdsOk);
        std::string stored;
        for (const toolkit::CElement& value : values)
            stored += std::to_string(value.to_int()) + " ";
        EXPECT_EQ(stored, cleared ? "0 0 0 0 0 1 2 3 4 5 " : "3 1 200 2 0 1 2 3 4 5 ") << c.args;
        unsetenv("CDS_STORE");
    }
}

}  // namespace
