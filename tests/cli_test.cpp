// Whole invocations of the real binary: exact standard output and exit status.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <utility>
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

// Placeholders in the expected texts, expanded before comparing.
const std::pair<std::string, std::string> kPlaceholders[] = {
    {"<noCds>", "profill: this build has no CDS connection yet; only -p is available\n"},
    {"<badInterval>", "Invalid interval length value; must be 1 -> 60\n<usage>"},
    {"<badLevel>", "Invalid debug log level entered\n<usage>"},
    {"<badRoot>",
     "profill: PROFILL_JFFS must be an absolute path of at most 1024 letters, "
     "digits, '/', '.', '_' and '-': "},
    {"<usage>", kUsage},
};

struct CliCase {
    const char* args;      // split at blanks
    const char* expected;  // standard output after the banner; <table> is the storage table
    int status;
    const char* env;
};

// clang-format off
const CliCase kCases[] = {
    {"", "<noCds>", 1, nullptr},
    {"-i 15", "interval length is 15\n<noCds>", 1, nullptr},
    {"-i 1 -t 1 -p", "interval length is 1\n<table>", 0, nullptr},
    {"-i 60 -p", "interval length is 60\n<table>", 0, nullptr},
    {"-i 1440 -p", "interval length is 1440\n<table>", 0, nullptr},
    {"-i 10080 -p", "interval length is 10080\n<table>", 0, nullptr},
    {"-i 43800 -p", "interval length is 43800\n<table>", 0, nullptr},
    {"-i 15min -p", "interval length is 15\n<table>", 0, nullptr},
    {"-i 0", "interval length is 0\n<badInterval>", 1, nullptr},
    {"-i 61", "interval length is 61\n<badInterval>", 1, nullptr},
    {"-i 1439", "interval length is 1439\n<badInterval>", 1, nullptr},
    {"-i -5", "interval length is -5\n<badInterval>", 1, nullptr},
    {"-i abc", "<usage>", 1, nullptr},
    {"-i 4294967311", "<usage>", 1, nullptr},
    {"-i", "Missing interval length value\n<usage>", 1, nullptr},
    {"-t 1500 -p", "<table>", 0, nullptr},
    {"-t 0", "<usage>", 1, nullptr},
    {"-t 1501", "<usage>", 1, nullptr},
    {"-t", "Missing number of days to generate data for\n<usage>", 1, nullptr},
    {"-t 5 -i 15", "<usage>", 1, nullptr},
    {"-s -c", "<usage>", 1, nullptr},
    {"-c -c", "<usage>", 1, nullptr},
    {"-x", "<usage>", 1, nullptr},
    {"-p 15", "<usage>", 1, nullptr},
    {"-p -d 3", "debug level is: string=3 = hex=3; decimal=3\n<table>", 0, nullptr},
    {"-p -d 0x3", "debug level is: string=0x3 = hex=3; decimal=3\n<table>", 0, nullptr},
    {"-p -d 10", "debug level is: string=10 = hex=10; decimal=16\n<table>", 0, nullptr},
    {"-p -d 7fffffff", "debug level is: string=7fffffff = hex=7fffffff; decimal=2147483647\n<table>", 0, nullptr},
    {"-p -d ffffffff", "debug level is: string=ffffffff = hex=ffffffff; decimal=-1\n<badLevel>", 1, nullptr},
    {"-p -d -80000000", "debug level is: string=-80000000 = hex=80000000; decimal=-2147483648\n<badLevel>", 1, nullptr},
    {"-p -d 100000000", "<badLevel>", 1, nullptr},
    {"-p -d xyz", "<badLevel>", 1, nullptr},
    {"-p -d", "NO debug log level entered\n<usage>", 1, nullptr},
    {"-p -d 0 -x junk", "debug level is: string=0 = hex=0; decimal=0\n<table>", 0, nullptr},
    {"-i 5 -t 3 -2 -p -d 0", "interval length is 5\ndebug level is: string=0 = hex=0; decimal=0\n<table>", 0, nullptr},
    {"-p", "<table>", 0, "PROFILL_JFFS=/tmp/some_dir-1.x/"},
    {"-p", "<badRoot>\"jffs\"\n", 1, "PROFILL_JFFS=jffs"},
    {"-p", "<badRoot>\"/tmp/x;rm -rf y\"\n", 1, "PROFILL_JFFS=/tmp/x;rm -rf y"},
    {"-p", "<badRoot>\"/tmp/a?b\"\n", 1, "PROFILL_JFFS=/tmp/a\nb"},
    {"-x", "<usage>", 1, "PROFILL_JFFS=jffs"},
};
// clang-format on

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
        for (const auto& [placeholder, text] : kPlaceholders) {
            for (std::size_t at; (at = expected.find(placeholder)) != std::string::npos;) {
                expected.replace(at, placeholder.size(), text);
            }
        }
        if (std::size_t at = expected.find("<table>"); at != std::string::npos) {
            expected.replace(at, 7, table);
        }
        const std::string label = std::string(c.args) + " " + (c.env ? c.env : "");
        EXPECT_EQ(result.out, expected) << label;
        EXPECT_EQ(result.err, "") << label;
        EXPECT_EQ(result.status, c.status) << label;
    }
}

}  // namespace
