// Whole invocations of the real binary: exact standard output and exit status.
#include <gtest/gtest.h>

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

// Marks where the storage table stands in an expected output.
const std::string kTable = "<table>";

std::string StorageTable() {
    testing::internal::CaptureStdout();
    PrintDaysCalculationTable();
    return testing::internal::GetCapturedStdout();
}

struct CliCase {
    const char* name;
    std::vector<std::string> args;
    std::string expected;  // standard output after the banner
    int status;
    std::vector<std::string> env = {};
};

void PrintTo(const CliCase& c, std::ostream* os) {
    *os << c.name;
}

std::string Echo(const char* text) {
    return std::string(text) + "\n";
}

const std::string kBadInterval = "Invalid interval length value; must be 1 -> 60\n" + kUsage;
const std::string kBadLevel = "Invalid debug log level entered\n" + kUsage;

const CliCase kCases[] = {
    {"IntervalAlone", {"-i", "15", "-p"}, Echo("interval length is 15") + kTable, 0},
    {"Interval60", {"-i", "60", "-p"}, Echo("interval length is 60") + kTable, 0},
    {"IntervalDaily", {"-i", "1440", "-p"}, Echo("interval length is 1440") + kTable, 0},
    {"IntervalWeekly", {"-i", "10080", "-p"}, Echo("interval length is 10080") + kTable, 0},
    {"IntervalMonthly", {"-i", "43800", "-p"}, Echo("interval length is 43800") + kTable, 0},
    {"IntervalWithSuffix", {"-i", "15min", "-p"}, Echo("interval length is 15") + kTable, 0},
    {"IntervalSpaceAndSign", {"-i", " +7", "-p"}, Echo("interval length is 7") + kTable, 0},
    {"IntervalZero", {"-i", "0"}, Echo("interval length is 0") + kBadInterval, 1},
    {"Interval61", {"-i", "61"}, Echo("interval length is 61") + kBadInterval, 1},
    {"Interval1439", {"-i", "1439"}, Echo("interval length is 1439") + kBadInterval, 1},
    {"IntervalNegative", {"-i", "-5"}, Echo("interval length is -5") + kBadInterval, 1},
    {"IntervalNotANumber", {"-i", "abc"}, kUsage, 1},
    {"IntervalEmpty", {"-i", ""}, kUsage, 1},
    {"IntervalBeyond32Bits", {"-i", "4294967311"}, kUsage, 1},
    {"IntervalMissing", {"-i"}, "Missing interval length value\n" + kUsage, 1},
    {"Days1500", {"-t", "1500", "-p"}, kTable, 0},
    {"Days1", {"-i", "1", "-t", "1", "-p"}, Echo("interval length is 1") + kTable, 0},
    {"DaysZero", {"-t", "0"}, kUsage, 1},
    {"Days1501", {"-t", "1501"}, kUsage, 1},
    {"DaysNotANumber", {"-t", "x"}, kUsage, 1},
    {"DaysMissing", {"-t"}, "Missing number of days to generate data for\n" + kUsage, 1},
    {"IntervalAfterDays", {"-t", "5", "-i", "15"}, kUsage, 1},
    {"ClearAfterShow", {"-s", "-c"}, kUsage, 1},
    {"ClearTwice", {"-c", "-c"}, kUsage, 1},
    {"TableTwice", {"-p", "-p"}, kUsage, 1},
    {"IntervalAfterTable", {"-p", "-i", "15"}, kUsage, 1},
    {"UnknownOption", {"-x"}, kUsage, 1},
    {"OptionCaseMatters", {"-P"}, kUsage, 1},
    {"StrayValue", {"-p", "15"}, kUsage, 1},
    {"Level3", {"-p", "-d", "3"}, Echo("debug level is: string=3 = hex=3; decimal=3") + kTable, 0},
    {"Level0x3",
     {"-p", "-d", "0x3"},
     Echo("debug level is: string=0x3 = hex=3; decimal=3") + kTable,
     0},
    {"Level10IsHex",
     {"-p", "-d", "10"},
     Echo("debug level is: string=10 = hex=10; decimal=16") + kTable,
     0},
    {"LevelLargest",
     {"-p", "-d", "7fffffff"},
     Echo("debug level is: string=7fffffff = hex=7fffffff; decimal=2147483647") + kTable,
     0},
    {"LevelNegative",
     {"-p", "-d", "ffffffff"},
     Echo("debug level is: string=ffffffff = hex=ffffffff; decimal=-1") + kBadLevel,
     1},
    {"LevelSignBit",
     {"-p", "-d", "0x80000000"},
     Echo("debug level is: string=0x80000000 = hex=80000000; decimal=-2147483648") + kBadLevel,
     1},
    {"LevelMinusOne",
     {"-p", "-d", "-1"},
     Echo("debug level is: string=-1 = hex=ffffffff; decimal=-1") + kBadLevel,
     1},
    {"LevelBeyond32Bits", {"-p", "-d", "100000000"}, kBadLevel, 1},
    {"LevelNotHex", {"-p", "-d", "xyz"}, kBadLevel, 1},
    {"LevelMissing", {"-p", "-d"}, "NO debug log level entered\n" + kUsage, 1},
    {"ArgumentAfterLevelIgnored",
     {"-p", "-d", "0", "-x", "junk"},
     Echo("debug level is: string=0 = hex=0; decimal=0") + kTable,
     0},
    {"AllOptionsInOrder",
     {"-i", "5", "-t", "3", "-2", "-p", "-d", "0"},
     Echo("interval length is 5") + Echo("debug level is: string=0 = hex=0; decimal=0") + kTable,
     0},
    {"FlashRootAccepted", {"-p"}, kTable, 0, {"PROFILL_JFFS=/tmp/some_dir-1.x/"}},
    {"FlashRootRelative",
     {"-p"},
     Echo("profill: PROFILL_JFFS must be an absolute path of at most 1024 letters, digits, "
          "'/', '.', '_' and '-': \"jffs\""),
     1,
     {"PROFILL_JFFS=jffs"}},
    {"FlashRootShellCharacters",
     {"-p"},
     Echo("profill: PROFILL_JFFS must be an absolute path of at most 1024 letters, digits, "
          "'/', '.', '_' and '-': \"/tmp/x;rm -rf y\""),
     1,
     {"PROFILL_JFFS=/tmp/x;rm -rf y"}},
    {"FlashRootEmpty",
     {"-p"},
     Echo("profill: PROFILL_JFFS must be an absolute path of at most 1024 letters, digits, "
          "'/', '.', '_' and '-': \"\""),
     1,
     {"PROFILL_JFFS="}},
    {"CommandLineBeforeFlashRoot", {"-x"}, kUsage, 1, {"PROFILL_JFFS=jffs"}},
};

class CliTest : public testing::TestWithParam<CliCase> {};

TEST_P(CliTest, PrintsExactOutputAndStatus) {
    const CliCase& c = GetParam();
    std::vector<std::string> env = c.env;
    if (env.empty()) {
        env.push_back("PROFILL_JFFS");
    }
    ProgramResult result = RunProgram(PROFILL_BIN, c.args, env);

    std::string expected = kBanner + c.expected;
    std::size_t table = expected.find(kTable);
    if (table != std::string::npos) {
        expected.replace(table, kTable.size(), StorageTable());
    }
    EXPECT_EQ(result.out, expected);
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.status, c.status);
}

INSTANTIATE_TEST_SUITE_P(Profill, CliTest, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<CliCase>& param) {
                             return std::string(param.param.name);
                         });

TEST(CliTest, FlashRootTooLongIsRefused) {
    std::string root = "/" + std::string(1024, 'a');
    ProgramResult result = RunProgram(PROFILL_BIN, {"-p"}, {"PROFILL_JFFS=" + root});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out.rfind(kBanner + "profill: PROFILL_JFFS must be", 0), 0u) << result.out;
}

}  // namespace
