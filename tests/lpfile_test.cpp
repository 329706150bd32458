// The day files: their bytes and the writer's failures, the flash directories, and the storage
// table.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <regex>

#include "driver/run_options.h"
#include "lpfile/lp_dirs.h"
#include "lpfile/lp_file.h"
#include "lpfile/storage_table.h"
#include "test_support.h"

namespace {

// Bytes from hex digits; blanks are skipped.
std::string Hex(const std::string& text) {
    std::string bytes;
    for (std::size_t i = text.find_first_not_of(' '); i != std::string::npos;
         i = text.find_first_not_of(' ', i + 2)) {
        bytes.push_back(static_cast<char>(std::stoi(text.substr(i, 2), nullptr, 16)));
    }
    return bytes;
}

std::string Header(char lp) {
    return Hex("5a4f4c56 204c6f61 64205072 6f66 00 3" + std::string(1, lp) +
               " 00000001 000000000000000000000000");
}

// Record 7 of kind 1 from 0x5f5e1000 over 900 seconds, with n channels: flags 1 << i and the
// floats 10000.0 x (i + 1), big-endian.
std::string Record(int n) {
    const std::string kFlags = "0001000200040008001000200040008001000200040008001000200040008000";
    const std::string kValues =
        "461c4000469c400046ea6000471c400047435000476a60004788b800479c4000"
        "47afc80047c3500047d6d80047ea600047fde8004808b80048127c00481c4000";
    return Hex("00000007 5f5e1000 5f5e1384 00000001" +
               kFlags.substr(0, 4 * static_cast<size_t>(n)) +
               kValues.substr(0, 8 * static_cast<size_t>(n)));
}

enum Prepare { kNothing, kExisting, kNoDirectory, kDevFull };

// The day file's content before the call is `existing` for kExisting; `expected` is its content
// after (not read from /dev/full); %s in the output stands for the day file's path.
struct WriteCase {
    const char* name;
    int lp, numChannels, currentDay, newFile, logLevel;
    Prepare prepare;
    std::string existing;
    int status, currentDayAfter;
    std::string expected;
    const char* output;
};

const char kCreating[] = "[CreateLpFile]creating file %s\n";
const char kCreateFailed[] =
    "[CreateLpFile]creating file %s\n[CreateLpFile]Error creating LP file: %s\n\r";

// clang-format off
const WriteCase kWriteCases[] = {
    {"FirstRecordCreatesFileOne", 0, 3, 0, 0, 0, kNothing, {}, 0, 1, Header('1') + Record(3), kCreating},
    {"Appends", 0, 3, 4, 0, 2, kExisting, Header('1') + Record(3), 0, 4,
     Header('1') + Record(3) + Record(3),
     "WriteLpRecord: currentDay = 4\n[WriteLpRecord]opening file %s\n[WriteLpRecord]writing record bytes 34\n"},
    {"AppendToMissingFileHasNoHeader", 1, 3, 2, 0, 0, kNothing, {}, 0, 2, Record(3), ""},
    {"NewFileReplacesTheOldOne", 1, 3, 2, 1, 7, kExisting, Hex("0102"), 0, 2, Header('2') + Record(3),
     "WriteLpRecord: currentDay = 2\n[CreateLpFile]creating file %s\n"
     "[CreateLpFile]wrote file header; 1 record to file %s\n\r[WriteLpRecord]writing record bytes 34\n"},
    {"MoreThanSixteenWriteSixteen", 0, 99, 1, 0, 0, kNothing, {}, 0, 1, Record(16), ""},
    {"NoChannels", 0, 0, 0, 0, 0, kNothing, {}, 4, 1, Header('1') + Record(0),
     "[CreateLpFile]creating file %s\n[WriteLpRecord]failed to write valueFlags \n"},
    {"CreateFails", 0, 3, 0, 0, 0, kNoDirectory, {}, 2, 0, {}, kCreateFailed},
    {"NewFileCreateFails", 1, 3, 5, 1, 0, kNoDirectory, {}, 2, 5, {}, kCreateFailed},
    {"OpenFails", 0, 3, 3, 0, 0, kNoDirectory, {}, 3, 3, {}, "[WriteLpRecord]Error opening LP file: %s\n\r"},
    {"CloseFails", 0, 3, 2, 0, 0, kDevFull, {}, 4, 2, {}, "[WriteLpRecord]Error closing LP file: %s\n\r"},
};
// clang-format on

TEST(WriteLpRecordTest, WritesIntoTheRightDayFileOrFails) {
    ASSERT_EQ(Record(3), Hex("00000007 5f5e1000 5f5e1384 00000001 0001 0002 0004"
                             "461c4000 469c4000 46ea6000"));
    for (const WriteCase& c : kWriteCases) {
        SCOPED_TRACE(c.name);
        TempDir root;
        ASSERT_TRUE(SetFlashRoot(root.path.c_str()));
        const std::string dir = root.path + (c.lp == 0 ? "/lp1/" : "/lp2/");
        const std::string path = dir + std::to_string(c.currentDay == 0 ? 1 : c.currentDay) + ".lp";
        if (c.prepare != kNoDirectory) {
            mkdir(dir.c_str(), 0755);
        }
        if (c.prepare == kExisting) {
            WriteFile(path, c.existing);
        }
        if (c.prepare == kDevFull) {
            ASSERT_EQ(symlink("/dev/full", path.c_str()), 0);
        }
        memset(g_lP, 0, sizeof g_lP);
        g_lP[c.lp].numChannels = c.numChannels;
        g_lP[c.lp].fileInfo.currentDay = c.currentDay;
        g_logLevel = c.logLevel;
        g_lastIntervalTime = {0x5f5e1000, 123};
        g_intervalSecs = 900;
        LP_RECORD record;
        memset(&record, 0xee, sizeof record);
        FillLpRecord(&record, 16, 1, 7);

        const CallOutput got =
            CaptureCall([&] { return WriteLpRecord(&record, c.lp, c.newFile != 0); });
        EXPECT_EQ(got.result, c.status);
        EXPECT_EQ(got.out, Replace(c.output, "%s", path));
        EXPECT_EQ(g_lP[c.lp].fileInfo.currentDay, c.currentDayAfter);
        EXPECT_EQ(g_lP[1 - c.lp].fileInfo.currentDay, 0);
        if (c.prepare != kDevFull) {
            EXPECT_EQ(ReadFile(path), c.expected);
        }
    }
    memset(g_lP, 0, sizeof g_lP);
    g_logLevel = 0;
    SetFlashRoot(nullptr);
}

// Record(3) with another record number.
std::string Numbered(uint32_t number) {
    return Hex(std::string(8 - std::to_string(number).size(), '0') + std::to_string(number)) +
           Record(3).substr(4);
}

TEST(DropUncountedLpBytesTest, CutsOnlyWhatTheBookkeepingDoesNotCount) {
    const std::string counted = Header('1') + Numbered(6) + Numbered(7);
    const struct {
        const char* name;
        int currentDay;
        int32_t totalRecCnt;
        std::string before;  // day file currentDay (file 1 when 0); empty: none
        long removed;
    } kCases[] = {
        {"WrittenNotStored", 2, 7, counted + Numbered(8), 34},
        {"PartialAfterTheLastCounted", 2, 7, counted + Numbered(8).substr(0, 21), 21},
        {"Agrees", 2, 7, counted, 0},
        {"FewerThanCounted", 2, 9, counted, 0},
        {"PartialAfterAnUncountedRecord", 2, 6, counted + Numbered(8).substr(0, 5), 0},
        {"TwoUncounted", 2, 6, counted + Numbered(8), 0},
        {"HeaderOnly", 2, 0, Header('1'), 0},
        {"NoFile", 2, 7, "", 0},
        {"NoDayStarted", 0, 0, Header('1') + Numbered(1), 0},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        TempDir root;
        ASSERT_TRUE(SetFlashRoot(root.path.c_str()));
        const std::string path =
            root.path + "/lp1/" + std::to_string(c.currentDay == 0 ? 1 : c.currentDay) + ".lp";
        mkdir((root.path + "/lp1").c_str(), 0755);
        if (!c.before.empty()) {
            WriteFile(path, c.before);
        }
        memset(g_lP, 0, sizeof g_lP);
        g_lP[0].numChannels = 3;
        g_lP[0].fileInfo.currentDay = c.currentDay;
        g_lP[0].fileInfo.totalRecCnt = c.totalRecCnt;

        const CallOutput got =
            CaptureCall([] { return static_cast<int>(DropUncountedLpBytes(0)); });
        EXPECT_EQ(got.result, c.removed);
        EXPECT_EQ(ReadFile(path),
                  c.before.substr(0, c.before.size() - static_cast<size_t>(c.removed)));
        EXPECT_EQ(got.out, c.removed == 0 ? ""
                                          : "profill: removed " + std::to_string(c.removed) +
                                                " bytes at the end of " + path +
                                                " that its file information does not count\n");
    }
    memset(g_lP, 0, sizeof g_lP);
    SetFlashRoot(nullptr);
}

TEST(SetFlashRootTest, AcceptsOnlyPlainAbsolutePaths) {
    const std::string longest = "/" + std::string(kMaxFlashRootLength - 1, 'a');
    const struct {
        std::string root;
        std::string lp2;  // empty: refused
    } kCases[] = {
        // clang-format off
        {"/tmp/sandbox/jffs//", "/tmp/sandbox/jffs/lp2/"}, {"/", "/lp2/"}, {"/A-z_0.9", "/A-z_0.9/lp2/"},
        {longest, longest + "/lp2/"}, {longest + "a", ""}, {"", ""}, {"jffs", ""}, {"/tmp/with space", ""},
        {"/tmp/x;rm", ""}, {"/tmp/$HOME", ""}, {"/tmp/a'b*", ""}, {"/tmp/caf\xc3\xa9", ""},
        // clang-format on
    };
    for (const auto& c : kCases) {
        ASSERT_TRUE(SetFlashRoot("/previous"));
        EXPECT_STREQ(LpFilePath(1, 3), "/previous/lp2/3.lp");
        const std::string lp2 = c.lp2.empty() ? "/previous/lp2/" : c.lp2;
        EXPECT_EQ(SetFlashRoot(c.root.c_str()), !c.lp2.empty()) << c.root;
        EXPECT_EQ(LpDirectory(1), lp2);
        EXPECT_EQ(LpDirectory(7), lp2);
        const std::string lp1 = lp2.substr(0, lp2.size() - 2) + "1/";
        EXPECT_EQ(LpDirectory(0), lp1);
        // The day-file paths follow the root and the file number, whatever was asked before.
        EXPECT_EQ(LpFilePath(1, 3), lp2 + "3.lp");
        EXPECT_EQ(LpFilePath(0, 3), lp1 + "3.lp");
        EXPECT_EQ(LpFilePath(1, 12), lp2 + "12.lp");
        EXPECT_EQ(LpFilePath(1, 12), lp2 + "12.lp");
    }
    ASSERT_TRUE(SetFlashRoot(nullptr));
    EXPECT_STREQ(LpDirectory(0), "/jffs/lp1/");
}

TEST(StorageTableTest, HeadingsRowsAndNote) {
    const CallOutput got = CaptureCall(PrintDaysCalculationTable);
    EXPECT_EQ(got.result, 0);
    const std::string kFirst =
        "     \t     \tMaximum\t\tMax    \tRecords\t\tBytes per\tBytes per\tTotal\tKilo \t4K Blks "
        "\tActual\n"
        "Chans\tIntvl\tDays   \t\tRecords\tPer Day\t\tRecord   \tFile     \tBytes\tBytes\tper "
        "file\tDisk usage\n"
        "-----\t-----\t-------\t\t-------\t-------\t\t---------\t---------\t-----\t-----\t------"
        "--\t----------\n"
        "16\t1\t25\t36100\t1444\t112\t161760\t4044000\t3949.22\t40\t4000\n";
    const std::string kLast =
        "\n1\t43800\t1095\t1095\t1\t22\t54\t59130\t57.74\t1\t4380\n\n"
        "NOTE: When maxDays is > 1095; MaxDays is set to 1095\n";
    EXPECT_EQ(got.out.substr(0, kFirst.size()), kFirst);
    ASSERT_GT(got.out.size(), kLast.size());
    EXPECT_EQ(got.out.substr(got.out.size() - kLast.size()), kLast);
    EXPECT_EQ(std::count(got.out.begin(), got.out.end(), '\n'), 3 + 240 + 2);
    const char* const kTellingRows[] = {
        "16\t15\t365\t36500\t100\t112\t11232\t4099680\t4003.59\t3\t4380",
        "16\t30\t700\t36400\t52\t112\t5856\t4099200\t4003.12\t2\t5600",
        "16\t60\t1095\t30660\t28\t112\t3168\t3468960\t3387.66\t1\t4380",
        "1\t1\t128\t184832\t1444\t22\t31800\t4070400\t3975.00\t8\t4096",
        "1\t6\t759\t185196\t244\t22\t5400\t4098600\t4002.54\t2\t6072",
    };
    for (const char* row : kTellingRows) {
        EXPECT_NE(got.out.find("\n" + std::string(row) + "\n"), std::string::npos) << row;
    }
    // Rows whose maximum days are capped.
    const std::regex capped("\n[0-9]+\t[0-9]+\t1095\t");
    EXPECT_EQ(std::distance(std::sregex_iterator(got.out.begin(), got.out.end(), capped),
                            std::sregex_iterator()),
              84);
}

}  // namespace
