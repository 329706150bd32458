// Whole invocations of the real binary, each on a fresh store and flash root: exact standard
// output and exit status, and the day files and file bookkeeping left afterwards.

#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <sstream>

#include "lpfile/storage_table.h"
#include "test_support.h"

namespace {

const char kBanner[] = "Load Profile Add input (profill) version 0.0.01 started.\n";
const char kUsage[] =
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

// LP 1: one channel at 15 minutes; LP 2: no channels; the file information of both.
const char kSeed[] =
    "/Q7M/LoadPrf/1/NumChannels/Value = 1\n/Q7M/LoadPrf/1/IntLength/Value = 15\n"
    "/Q7M/LoadPrf/1/ExtIntSync/Value = 1\n/Q7M/LoadPrf/1/FrzMark/Value = 0\n"
    "/Q7M/LoadPrf/1/DataSetting1/Value = 70000\n/Q7M/LoadPrf/1/DataSetting2/Value = 40000\n"
    "/Q7M/LoadPrf/1/Chan/1/Type/Value = 10\n/Q7M/LoadPrf/1/Chan/1/Quantity/Value = 11\n"
    "/Q7M/LoadPrf/1/Chan/1/Phase/Value = 12\n/Q7M/LoadPrf/1/Chan/1/Direction/Value = 13\n"
    "/Q7M/LoadPrf/1/Chan/1/Records/Value = 14\n/Q7M/LoadPrf/1/Chan/1/KmValue/Value = 1.8\n"
    "/Q7M/LoadPrf/1/Chan/1/UnComp/Value = 15\n/Q7M/LoadPrf/2/NumChannels/Value = 0\n"
    "/LP/1/currentDay/Value = 3\n/LP/1/fileRecCnt/Value = 1\n/LP/1/totalRecCnt/Value = 200\n"
    "/LP/1/dayCnt/Value = 2\n/LP/1/daysDeleted/Value = 0\n/LP/2/currentDay/Value = 1\n"
    "/LP/2/fileRecCnt/Value = 2\n/LP/2/totalRecCnt/Value = 3\n/LP/2/dayCnt/Value = 4\n"
    "/LP/2/daysDeleted/Value = 5\n";

std::string Clear(int n, const char* outcome = "success") {
    return std::string("profill: ") + outcome + " for rm -Rf <root>/lp" + std::to_string(n) +
           "/*.lp\nClearing out file info in CDS before starting\n";
}

// The syslog echo on standard error without the "name[pid]: " that starts each line.
std::string SyslogText(const std::string& err) {
    std::string text;
    std::istringstream lines(err);
    for (std::string line; std::getline(lines, line);) {
        const std::size_t at = line.find("]: ");
        text += (at == std::string::npos ? line : line.substr(at + 3)) + "\n";
    }
    return text;
}

// Placeholders in the expected texts, expanded in this order.
const std::pair<std::string, std::string> kPlaceholders[] = {
    {"<noChannels2>",
     "profill: LP 2 has 0 channels in the CDS, which cannot be generated; configure 1 to 16 "
     "channels (NumChannels)\n"},
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
     "Load Profile 1 Configuration\nChnls\tIntLength\tSync\tFrzMark\tStoreEvents\tInCounts\n"
     "-----\t---------\t----\t-------\t-----------\t--------\n1\t15\t\t1\t0\t4464\t\t-25536\n"
     "Channel Configuaration for 1 Channels\nChan\tType\tQuan\tPhase\tDir\tRecords\tkmVal\t\tTLC\n"
     "----\t----\t----\t-----\t---\t-------\t-----\t\t---\n"
     "1\t10\t11\t12\t13\t14\t1.800000\t15\n\n\n"},
    {"<config2>",
     "Load Profile 2 Configuration\nChnls\tIntLength\tSync\tFrzMark\tStoreEvents\tInCounts\n"
     "-----\t---------\t----\t-------\t-----------\t--------\n0\t0\t\t0\t0\t0\t\t0\n"
     "Channel Configuaration for 0 Channels\nChan\tType\tQuan\tPhase\tDir\tRecords\tkmVal\t\tTLC\n"
     "----\t----\t----\t-----\t---\t-------\t-----\t\t---\n\n\n"},
    {"<clear1>", Clear(1)},
    {"<fail1>", Clear(1, "failure")},
    {"<clear2>", Clear(2)},
};

struct CliCase {
    const char* args;  // split at blanks
    const char* out;   // standard output after the banner; <table> is the storage table
    int status;
    // After CDS_STORE=<dir>/store.mdb; <root> is <dir>/jffs, made with lp1/ and lp2/ files;
    // <dir>/bin holds an rm that fails.
    std::vector<std::string> env = {"PROFILL_JFFS=<root>"};
    const char* err = "";  // standard error: the syslog echo without its "name[pid]: "
};

// clang-format off
const CliCase kCases[] = {
    {"-2", "<info2><noChannels2>", 1},
    {"-c -2", "<info2><noChannels2>", 1},
    {"-i 1 -t 1 -p", "interval length is 1\n<info1><table>", 0},
    {"-i 60 -p", "interval length is 60\n<info1><table>", 0},
    {"-i 1440 -p", "interval length is 1440\n<info1><table>", 0},
    {"-i 10080 -p", "interval length is 10080\n<info1><table>", 0},
    {"-i 43800 -p", "interval length is 43800\n<info1><table>", 0},
    {"-i 15min -s", "interval length is 15\n<config1><info1>", 0},
    {"-i 0", "interval length is 0\n<badInterval>", 1},
    {"-i 61", "interval length is 61\n<badInterval>", 1},
    {"-i abc", "<usage>", 1},
    {"-i 4294967311", "<usage>", 1},
    {"-i", "Missing interval length value\n<usage>", 1},
    {"-t 1500 -p", "<info1><table>", 0},
    {"-t 0", "<usage>", 1},
    {"-t 1501", "<usage>", 1},
    {"-t", "Missing number of days to generate data for\n<usage>", 1},
    {"-t 5 -i 15", "<usage>", 1},
    {"-c -c", "<usage>", 1},
    {"-p -d 0x8", "debug level is: string=0x8 = hex=8; decimal=8\n<info1><table>", 0},
    {"-p -d 10", "debug level is: string=10 = hex=10; decimal=16\n<info1><table>", 0},
    {"-p -d 7ffffff8", "debug level is: string=7ffffff8 = hex=7ffffff8; decimal=2147483640\n<info1><table>", 0},
    {"-p -d ffffffff", "debug level is: string=ffffffff = hex=ffffffff; decimal=-1\n<badLevel>", 1},
    {"-p -d -80000000", "debug level is: string=-80000000 = hex=80000000; decimal=-2147483648\n<badLevel>", 1},
    {"-p -d 100000000", "<badLevel>", 1},
    {"-p -d xyz", "<badLevel>", 1},
    {"-p -d", "NO debug log level entered\n<usage>", 1},
    {"-i 5 -t 3 -2 -p -d 0 -x junk", "interval length is 5\ndebug level is: string=0 = hex=0; decimal=0\n<info2><table>", 0},
    {"-s", "<config1><info1>", 0},
    {"-2 -s", "<config2><info2>", 0},
    {"-c -s", "<config1><info1><clear1>", 0},
    {"-c -s", "<config1><info1><fail1>", 0, {"PROFILL_JFFS=<root>", "PATH=<dir>/bin:/usr/bin:/bin"}},
    {"-c -2 -p", "<info2><clear2><table>", 0},
    {"-c -2 -p -d 4", "debug level is: string=4 = hex=4; decimal=4\n<info2><clear2>"
     "[WriteFileInfoToCDS] prefix=/LP/2\n[WriteFileInfoToCDS] wrote 5 values to CDS\n<table>", 0},
    {"-c -p", "<info1><clear1><table>", 0, {"PROFILL_JFFS=<root>//"}},
    {"-p", "<badRoot>\"jffs\"\n", 1, {"PROFILL_JFFS=jffs"}},
    {"-p", "<badRoot>\"/tmp/a?b\"\n", 1, {"PROFILL_JFFS=/tmp/a\nb"}},
    {"-x", "<usage>", 1, {"PROFILL_JFFS=jffs"}},
    {"-i 5 -c -p -d 8", "interval length is 5\ndebug level is: string=8 = hex=8; decimal=8\n", 1,
     {"PROFILL_JFFS=<root>", "CDS_STORE=<dir>/none.mdb"}, "main: Error: can't initialize CDS connection\n"},
};
// clang-format on

TEST(CliTest, PrintsExactOutputAndStatusAndTouchesOnlyWhatItShould) {
    const std::string table = CaptureCall(PrintDaysCalculationTable).out;
    for (const CliCase& c : kCases) {
        SCOPED_TRACE(std::string(c.args) + " " + c.env[0]);
        TempDir dir;
        const std::string store = dir.path + "/store.mdb", root = dir.path + "/jffs";
        WriteFile(dir.path + "/seed.cds", kSeed);
        ASSERT_EQ(RunProgram(CDSCTL_BIN, {"init"}, {"CDS_STORE=" + store}).status, 0);
        ASSERT_EQ(
            RunProgram(CDSCTL_BIN, {"load", dir.path + "/seed.cds"}, {"CDS_STORE=" + store}).status,
            0);
        ASSERT_EQ(
            system(("mkdir -p " + root + "/lp1 " + root + "/lp2 " + dir.path + "/bin").c_str()), 0);
        const char* const kFiles[] = {"/lp1/1.lp", "/lp1/2.lp", "/lp1/x.txt", "/lp2/1.lp"};
        for (const char* file : kFiles) {
            WriteFile(root + file, "x");
        }
        WriteFile(dir.path + "/bin/rm", "#!/bin/sh\nexit 1\n");
        ASSERT_EQ(chmod((dir.path + "/bin/rm").c_str(), 0755), 0);
        auto Dump = [&] {
            return RunProgram(CDSCTL_BIN, {"dump", "/LP/"}, {"CDS_STORE=" + store}).out;
        };
        const std::string before = Dump();
        ASSERT_EQ(std::count(before.begin(), before.end(), '\n'), 10);
        std::vector<std::string> args;
        std::istringstream words(c.args);
        for (std::string word; words >> word;) {
            args.push_back(word);
        }
        std::vector<std::string> env = {"CDS_STORE=" + store};
        for (const std::string& entry : c.env) {
            env.push_back(Replace(Replace(entry, "<root>", root), "<dir>", dir.path));
        }
        const ProgramResult result = RunProgram(PROFILL_BIN, args, env);

        std::string expected = kBanner + std::string(c.out);
        for (const auto& [placeholder, text] : kPlaceholders) {
            expected = Replace(expected, placeholder, text);
        }
        expected = Replace(Replace(expected, "<table>", table), "<root>", root);
        const bool removed[2] = {strstr(c.out, "<clear1>") != nullptr,
                                 strstr(c.out, "<clear2>") != nullptr};
        const bool cleared[2] = {removed[0] || strstr(c.out, "<fail1>") != nullptr, removed[1]};
        EXPECT_EQ(result.out, expected);
        EXPECT_EQ(result.status, c.status);
        EXPECT_EQ(SyslogText(result.err), c.err);

        // A cleared profile has lost its day files, nothing else, and its file information.
        std::string bookkeeping;
        std::istringstream lines(before);
        for (std::string line; std::getline(lines, line);) {
            bookkeeping +=
                cleared[line[4] - '1'] ? line.substr(0, line.find('=') + 2) + "0\n" : line + "\n";
        }
        EXPECT_EQ(Dump(), bookkeeping);
        for (const char* file : kFiles) {
            const bool gone = strstr(file, ".lp") != nullptr && removed[file[3] - '1'];
            EXPECT_EQ(access((root + file).c_str(), F_OK) != 0, gone) << file;
        }
    }
}

}  // namespace
