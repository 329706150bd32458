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
#include "lpfile/lp_start_check.h"
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

// A day file of the table below: its bytes, or a file that is no regular file.
struct DayFileSetUp {
    int number;
    std::string bytes;  // "<fifo>", "<link>" or "<dir>" for those
};

TEST(LpStartCheckTest, RefusesDayFilesTheBookkeepingDoesNotDescribeAndCutsAKilledRunsResidue) {
    // Day file 1 before a current day file 2 that starts with record 6 (added to every row with
    // a current day file 2 or 3 that does not name day file 1).
    const std::string earlier =
        Header('1') + Numbered(1) + Numbered(2) + Numbered(3) + Numbered(4) + Numbered(5);
    const std::string counted = Header('1') + Numbered(6) + Numbered(7);
    // Records of 16 channels numbered from first to last.
    const auto wideRecords = [](char first, char last) {
        std::string bytes = Header('1');
        for (char n = first; n <= last; ++n) {
            bytes += std::string(3, '\0') + n + std::string(108, 'w');
        }
        return bytes;
    };
    const std::string wide = wideRecords(6, 7);
    const std::string wayOut =
        "; lpdump --repair brings the CDS in line with the files; -c starts the profile afresh\n";
    const std::string removed =
        "profill: removed <n> bytes at the end of <dir><file>.lp that its "
        "file information does not count\n";
    const std::string broken =
        ", so the profile's records break off there; lpdump --repair "
        "--force keeps the records before the break; -c starts the "
        "profile afresh\n";
    const std::string counts = ", but the CDS counts records up to number ";
    const std::string removeIt =
        "; remove it and run lpdump --repair, or -c starts the profile afresh\n";
    struct Row {
        const char* name;
        int currentDay, fileRecCnt;
        int32_t totalRecCnt;
        std::vector<DayFileSetUp> files;
        std::string out;  // <dir> is the profile's directory; empty: agrees, nothing cut
        std::vector<std::size_t> kept;  // bytes of each file after the check (and cut)
        int32_t dayCnt = -1;            // -1: currentDay - 1, as record 1 of kind 1 leaves it
    };
    constexpr std::size_t kGone = SIZE_MAX;  // the file is removed
    auto removedFile = [](const char* file) {
        return "profill: removed <dir>" + std::string(file) +
               ".lp, which holds only a record that its file information does not count\n";
    };
    auto cut = [&](const char* file, int bytes) {
        return Replace(Replace(removed, "<file>", file), "<n>", std::to_string(bytes));
    };
    // clang-format off
    const Row kCases[] = {
        {"Agrees", 2, 1, 7, {{2, counted}}, "", {counted.size()}},
        {"WrittenNotStored", 2, 1, 7, {{2, counted + Numbered(8)}}, cut("2", 34), {counted.size()}},
        {"PartialAfterTheLastCounted", 2, 1, 7, {{2, counted + Numbered(8).substr(0, 21)}},
         cut("2", 21), {counted.size()}},
        {"UncountedRecordStartedTheNextFile", 2, 1, 7, {{2, counted}, {3, Header('1') + Numbered(8)}},
         removedFile("3"), {counted.size(), kGone}},
        {"NoDayStartedButOneUncountedRecord", 0, 0, 0, {{1, Header('1') + Numbered(1)}},
         removedFile("1"), {kGone}},
        {"NextFileHeaderOnly", 2, 1, 7, {{2, counted}, {3, Header('1')}, {9, "LP"}}, "",
         {counted.size(), 32, 2}},
        {"CountersAhead", 2, 1, 9, {{2, counted}}, "profill: LP 1's current day file <dir>2.lp "
         "holds 2 records numbered 6 to 7" + counts + "9 (fileRecCnt 1, dayCnt 1)" + wayOut, {counted.size()}},
        {"CountersBehind", 2, 0, 6, {{2, counted + Numbered(8)}}, "profill: LP 1's current day "
         "file <dir>2.lp holds 3 records numbered 6 to 8" + counts + "6 (fileRecCnt 0, dayCnt 1)" + wayOut,
         {counted.size() + 34}},
        {"FileCountOneOff", 2, 2, 7, {{2, counted}}, "profill: LP 1's current day file <dir>2.lp "
         "holds 2 records numbered 6 to 7" + counts + "7 (fileRecCnt 2, dayCnt 1)" + wayOut, {counted.size()}},
        {"DayCountWrong", 2, 1, 7, {{2, counted}}, "profill: LP 1's current day file <dir>2.lp "
         "holds 2 records numbered 6 to 7" + counts + "7 (fileRecCnt 1, dayCnt 7)" + wayOut, {counted.size()}, 7},
        {"NoCurrentDayButCounts", 0, 0, 500, {}, "profill: LP 1 has no current day file in the CDS, "
         "but the CDS counts records up to number 500 (fileRecCnt 0, dayCnt 0)" + wayOut, {}},
        {"PartialAfterAnUncountedRecord", 2, 1, 6, {{2, counted + Numbered(8).substr(0, 5)}},
         "profill: LP 1's current day file <dir>2.lp holds 2 records numbered 6 to 7 and 5 bytes "
         "of another" + counts + "6 (fileRecCnt 1, dayCnt 1)" + wayOut, {counted.size() + 5}},
        {"HeaderOnly", 2, 0, 7, {{2, Header('1')}}, "profill: LP 1's current day file <dir>2.lp "
         "holds no whole record" + counts + "7 (fileRecCnt 0, dayCnt 1)" + wayOut, {32}},
        {"Missing", 2, 1, 7, {}, "profill: LP 1's current day file <dir>2.lp is missing" + counts +
         "7 (fileRecCnt 1, dayCnt 1)" + wayOut, {}},
        {"OtherProfilesHeader", 2, 1, 7, {{2, Header('2') + Numbered(6) + Numbered(7)}},
         "profill: LP 1's current day file <dir>2.lp does not start with LP 1's day-file header" +
         counts + "7 (fileRecCnt 1, dayCnt 1)" + wayOut, {counted.size()}},
        {"Fifo", 2, 1, 7, {{2, "<fifo>"}}, "profill: LP 1's current day file <dir>2.lp is a FIFO" +
         counts + "7 (fileRecCnt 1, dayCnt 1)" + removeIt, {}},
        {"Link", 2, 1, 7, {{2, "<link>"}}, "profill: LP 1's current day file <dir>2.lp is a "
         "symbolic link" + counts + "7 (fileRecCnt 1, dayCnt 1)" + removeIt, {}},
        // One record of 4 channels reads as one of 3 and 6 bytes of another.
        {"NarrowerChannelCount", 2, 0, 6, {{2, Header('1') + Numbered(6) + std::string(6, '\0')}},
         "profill: LP 1's current day file <dir>2.lp holds records of 4 channels, but the CDS's "
         "channel count is 3; set the channel count back, or -c starts the profile afresh\n", {40 + 32}},
        {"ChannelCountChanged", 2, 1, 7, {{2, wide}}, "profill: LP 1's current day file <dir>2.lp "
         "holds records of 16 channels, but the CDS's channel count is 3; set the channel count "
         "back, or -c starts the profile afresh\n", {wide.size()}},
        {"RecordsAboveTheCurrentFile", 2, 1, 7, {{2, counted}, {4, Header('1') + Numbered(9)}},
         "profill: LP 1's day file <dir>4.lp holds 1 record, numbered 9, but the CDS counts day "
         "files up to 2" + wayOut, {counted.size(), 66}},
        {"TwoRecordsInTheNextFile", 0, 0, 0, {{1, Header('1') + Numbered(1) + Numbered(2)}},
         "profill: LP 1's day file <dir>1.lp holds 2 records numbered 1 to 2, but the CDS counts "
         "day files up to 0" + wayOut, {100}},
        {"NextFileIsAFifo", 2, 1, 7, {{2, counted}, {3, "<fifo>"}}, "profill: LP 1's day file "
         "<dir>3.lp is a FIFO, not a regular file; remove it, or -c starts the profile afresh\n",
         {counted.size()}},
        {"NextFileIsADirectory", 2, 1, 7, {{2, counted}, {3, "<dir>"}}, "profill: LP 1's day file "
         "<dir>3.lp is a directory, not a regular file; remove it, or -c starts the profile "
         "afresh\n", {counted.size()}},
        {"ChannelCountChangedUnderTwoDayFiles", 2, 1, 7, {{1, wideRecords(1, 5)}, {2, wide}},
         "profill: LP 1's day file <dir>1.lp holds records of 16 channels, but the CDS's channel "
         "count is 3; set the channel count back, or -c starts the profile afresh\n",
         {32 + 5 * 112, wide.size()}},
        {"CountersAheadOfTheFiles", 4, 0, 9, {{2, counted}}, "profill: LP 1's current day file "
         "<dir>4.lp is missing" + counts + "9 (fileRecCnt 0, dayCnt 3)" + wayOut, {counted.size()}},
        // A power cut lost the end of an earlier day file, or all of it.
        {"EarlierFileLostItsEnd", 2, 1, 7, {{1, earlier.substr(0, 32 + 3 * 34 + 5)}, {2, counted}},
         "profill: LP 1's day file <dir>1.lp holds 3 records numbered 1 to 3 and 5 bytes of "
         "another" + broken, {32 + 3 * 34 + 5, counted.size()}},
        {"GapBeforeTheCurrentFile", 2, 1, 7, {{1, earlier.substr(0, 32 + 4 * 34)}, {2, counted}},
         "profill: LP 1's day file <dir>2.lp holds 2 records numbered 6 to 7, but record 5 comes "
         "next" + broken, {32 + 4 * 34, counted.size()}},
        {"EarlierFileMissing", 3, 0, 8, {{1, "<none>"}, {2, counted}, {3, Header('1') + Numbered(8)}},
         "profill: LP 1's day file <dir>1.lp is missing" + broken, {counted.size(), 66}},
    };
    // clang-format on
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        TempDir root;
        ASSERT_TRUE(SetFlashRoot(root.path.c_str()));
        const std::string dir = root.path + "/lp1/";
        mkdir(dir.c_str(), 0755);
        if (c.currentDay >= 2 && (c.files.empty() || c.files.front().number != 1)) {
            WriteFile(dir + "1.lp", earlier);
        }
        for (const DayFileSetUp& file : c.files) {
            const std::string path = dir + std::to_string(file.number) + ".lp";
            if (file.bytes == "<none>") {
                continue;
            } else if (file.bytes == "<fifo>") {
                ASSERT_EQ(mkfifo(path.c_str(), 0644), 0);
            } else if (file.bytes == "<link>") {
                WriteFile(dir + "target", counted);
                ASSERT_EQ(symlink((dir + "target").c_str(), path.c_str()), 0);
            } else if (file.bytes == "<dir>") {
                ASSERT_EQ(mkdir(path.c_str(), 0755), 0);
            } else {
                WriteFile(path, file.bytes);
            }
        }
        memset(g_lP, 0, sizeof g_lP);
        g_lP[0].numChannels = 3;
        g_lP[0].fileInfo.currentDay = c.currentDay;
        g_lP[0].fileInfo.fileRecCnt = c.fileRecCnt;
        g_lP[0].fileInfo.totalRecCnt = c.totalRecCnt;
        g_lP[0].fileInfo.dayCnt = c.dayCnt >= 0 ? c.dayCnt : std::max(c.currentDay - 1, 0);

        const CallOutput got = CaptureCall([] {
            LP_UNCOUNTED_CUTS cuts;
            return CheckLpFilesForRun(0, &cuts) && CutUncountedLpBytes(0, cuts) ? 1 : 0;
        });
        const std::string out = Replace(c.out, "<dir>", dir);
        EXPECT_EQ(got.out, out);
        EXPECT_EQ(got.result, out.rfind("profill: removed", 0) == 0 || out.empty() ? 1 : 0);
        std::size_t k = 0;
        for (const DayFileSetUp& file : c.files) {
            if (file.bytes[0] != '<') {
                ASSERT_LT(k, c.kept.size());
                const std::string path = dir + std::to_string(file.number) + ".lp";
                if (c.kept[k] == kGone) {
                    EXPECT_NE(access(path.c_str(), F_OK), 0) << path;
                } else {
                    EXPECT_EQ(ReadFile(path), file.bytes.substr(0, c.kept[k])) << path;
                }
                ++k;
            }
        }
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
