// Whole invocations of the real binary: exact standard output and exit status.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "lpfile/storage_table.h"
#include "test_support.h"

namespace {

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

// Placeholders in the expected texts below.
const char kU[] = "<usage>";
const char kT[] = "<table>";
const char kBadInterval[] = "Invalid interval length value; must be 1 -> 60\n<usage>";
const char kBadLevel[] = "Invalid debug log level entered\n<usage>";
const char kBadRoot[] =
    "profill: PROFILL_JFFS must be an absolute path of at most 1024 letters, digits, '/', "
    "'.', '_' and '-': ";

struct CliCase {
    const char* args;      // split at blanks
    std::string expected;  // standard output after the banner
    int status;
    const char* env = nullptr;
};

const CliCase kCases[] = {
    {"", "profill: this build has no CDS connection yet; only -p is available\n", 1},
    {"-i 15",
     "interval length is 15\nprofill: this build has no CDS connection yet; only -p is available\n",
     1},
    {"-i 1 -t 1 -p", "interval length is 1\n<table>", 0},
    {"-i 60 -p", "interval length is 60\n<table>", 0},
    {"-i 1440 -p", "interval length is 1440\n<table>", 0},
    {"-i 10080 -p", "interval length is 10080\n<table>", 0},
    {"-i 43800 -p", "interval length is 43800\n<table>", 0},
    {"-i 15min -p", "interval length is 15\n<table>", 0},
    {"-i 0", std::string("interval length is 0\n") + kBadInterval, 1},
    {"-i 61", std::string("interval length is 61\n") + kBadInterval, 1},
    {"-i 1439", std::string("interval length is 1439\n") + kBadInterval, 1},
    {"-i -5", std::string("interval length is -5\n") + kBadInterval, 1},
    {"-i abc", kU, 1},
    {"-i 4294967311", kU, 1},
    {"-i", std::string("Missing interval length value\n") + kU, 1},
    {"-t 1500 -p", kT, 0},
    {"-t 0", kU, 1},
    {"-t 1501", kU, 1},
    {"-t", std::string("Missing number of days to generate data for\n") + kU, 1},
    {"-t 5 -i 15", kU, 1},
    {"-s -c", kU, 1},
    {"-c -c", kU, 1},
    {"-x", kU, 1},
    {"-p 15", kU, 1},
    {"-p -d 3", "debug level is: string=3 = hex=3; decimal=3\n<table>", 0},
    {"-p -d 0x3", "debug level is: string=0x3 = hex=3; decimal=3\n<table>", 0},
    {"-p -d 10", "debug level is: string=10 = hex=10; decimal=16\n<table>", 0},
    {"-p -d 7fffffff",
     "debug level is: string=7fffffff = hex=7fffffff; decimal=2147483647\n<table>", 0},
    {"-p -d ffffffff",
     std::string("debug level is: string=ffffffff = hex=ffffffff; decimal=-1\n") + kBadLevel, 1},
    {"-p -d -80000000",
     std::string("debug level is: string=-80000000 = hex=80000000; decimal=-2147483648\n") +
         kBadLevel,
     1},
    {"-p -d 100000000", kBadLevel, 1},
    {"-p -d xyz", kBadLevel, 1},
    {"-p -d", std::string("NO debug log level entered\n") + kU, 1},
    {"-p -d 0 -x junk", "debug level is: string=0 = hex=0; decimal=0\n<table>", 0},
    {"-i 5 -t 3 -2 -p -d 0",
     "interval length is 5\ndebug level is: string=0 = hex=0; decimal=0\n<table>", 0},
    {"-p", kT, 0, "PROFILL_JFFS=/tmp/some_dir-1.x/"},
    {"-p", std::string(kBadRoot) + "\"jffs\"\n", 1, "PROFILL_JFFS=jffs"},
    {"-p", std::string(kBadRoot) + "\"/tmp/x;rm -rf y\"\n", 1, "PROFILL_JFFS=/tmp/x;rm -rf y"},
    {"-p", std::string(kBadRoot) + "\"/tmp/a?b\"\n", 1, "PROFILL_JFFS=/tmp/a\nb"},
    {"-x", kU, 1, "PROFILL_JFFS=jffs"},
};

void Substitute(std::string* text, const std::string& placeholder, const std::string& value) {
    std::size_t at = text->find(placeholder);
    if (at != std::string::npos) {
        text->replace(at, placeholder.size(), value);
    }
}

TEST(CliTest, PrintsExactOutputAndStatus) {
    testing::internal::CaptureStdout();
    PrintDaysCalculationTable();
    const std::string table = testing::internal::GetCapturedStdout();

    for (const CliCase& c : kCases) {
        std::vector<std::string> args;
        std::istringstream words(c.args);
        for (std::string word; words >> word;) {
            args.push_back(word);
        }
        std::vector<std::string> env;
        if (c.env != nullptr) {
            env.push_back(c.env);
        }
        ProgramResult result = RunProgram(PROFILL_BIN, args, env);

        std::string expected = kBanner + c.expected;
        Substitute(&expected, kU, kUsage);
        Substitute(&expected, kT, table);
        const std::string label = std::string(c.args) + " " + (c.env ? c.env : "");
        EXPECT_EQ(result.out, expected) << label;
        EXPECT_EQ(result.err, "") << label;
        EXPECT_EQ(result.status, c.status) << label;
    }
}

}  // namespace
