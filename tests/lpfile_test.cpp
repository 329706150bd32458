// The day files' bytes and the writer's failures, the descriptors the start check holds, the debug
// text and the signal handler (what whole runs print is in the transcripts).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <utility>
#include <vector>

#include "driver/debug_log.h"
#include "driver/run_options.h"
#include "lpfile/lp_dirs.h"
#include "lpfile/lp_file.h"
#include "lpfile/lp_lock.h"
#include "lpfile/lp_placement.h"
#include "lpfile/lp_start_check.h"
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

// How many descriptors are open: a call that leaves a file open adds one.
int OpenDescriptors() {
    int count = 0;
    for (int fd = 0; fd < 1024; ++fd) {
        count += fcntl(fd, F_GETFD) != -1 ? 1 : 0;
    }
    return count;
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

        const int fd = OpenDescriptors();
        const CallOutput got =
            CaptureCall([&] { return WriteLpRecord(&record, c.lp, c.newFile != 0); });
        EXPECT_EQ(OpenDescriptors(), fd);
        EXPECT_EQ(got.result, c.status);
        EXPECT_EQ(got.out, Replace(c.output, "%s", path));
        EXPECT_EQ(g_lP[c.lp].fileInfo.currentDay, c.currentDayAfter);
        EXPECT_EQ(g_lP[1 - c.lp].fileInfo.currentDay, 0);
        if (c.prepare != kDevFull) {
            EXPECT_EQ(ReadFile(path), c.expected);
        }
    }
}

// A day file the check accepts, and cuts, is read and cut through descriptors it must give back: a
// run goes on for years.
TEST(LpStartCheckTest, GivesBackTheDescriptorsOfTheFilesItAccepts) {
    TempDir root;
    ASSERT_TRUE(SetFlashRoot(root.path.c_str()));
    mkdir((root.path + "/lp1").c_str(), 0755);
    WriteFile(root.path + "/lp1/1.lp", Header('1') + Hex("00000001") + Record(3).substr(4) + "xx");
    g_lP[0].numChannels = 3;
    g_lP[0].fileInfo = {1, 1, 1, 0, 0, 0, {}, {}};
    const int fd = OpenDescriptors();
    LP_UNCOUNTED_CUTS cuts;
    EXPECT_EQ(CaptureCall([&] {
                  return CheckLpFilesForRun(0, &cuts) && CutUncountedLpBytes(0, cuts);
              }).result,
              1);
    EXPECT_EQ(OpenDescriptors(), fd);
}

// Records numbered from `number` on, of n channels, as the writer encodes them.
std::string Records(int n, uint32_t number, int count) {
    std::string bytes;
    for (int i = 0; i < count; ++i) {
        LP_RECORD record = {};
        g_lastIntervalTime = {0x5f5e1000u + 900u * static_cast<uint32_t>(i), 0};
        g_intervalSecs = 900;
        FillLpRecord(&record, n, 1, number + static_cast<uint32_t>(i));
        uint8_t out[kLpMaxRecordSize];
        EncodeLpRecord(record, n, out);
        bytes.append(reinterpret_cast<const char*>(out), LpRecordSize(n));
    }
    return bytes;
}

// A profile directory under a fresh flash root holding the given day files of LP 1.
struct Profile {
    explicit Profile(const std::vector<std::pair<int, std::string>>& files) {
        EXPECT_TRUE(SetFlashRoot(root.path.c_str()));
        mkdir((root.path + "/lp1").c_str(), 0755);
        for (const auto& [day, bytes] : files) {
            WriteFile(root.path + "/lp1/" + std::to_string(day) + ".lp", bytes);
        }
    }
    TempDir root;
};

// Only the device's flash root, however spelled, asks after the flash; every other root, one
// that merely looks like it too, gets the command that makes the directory.
TEST(LpLockTest, SaysHowToMakeAMissingDirectoryOffTheDevice) {
    const struct {
        const char* root;
        int lp;
        const char* line;
    } kCases[] = {
        {"/jffs2", 0,
         "profill: LP 1's directory /jffs2/lp1/ is missing (mkdir -p /jffs2/lp1/ makes it); "
         "nothing was changed"},
        {nullptr, 0,
         "profill: LP 1's directory /jffs/lp1/ is missing (is the flash mounted?); nothing was "
         "changed"},
        {"/jff", 1,
         "profill: LP 2's directory /jff/lp2/ is missing (mkdir -p /jff/lp2/ makes it); nothing "
         "was changed"},
        {"/jffs//", 1,
         "profill: LP 2's directory /jffs/lp2/ is missing (is the flash mounted?); nothing was "
         "changed"},
        {"/", 1,
         "profill: LP 2's directory /lp2/ is missing (mkdir -p /lp2/ makes it); nothing was "
         "changed"},
        {"/jffs", 0,
         "profill: LP 1's directory /jffs/lp1/ is missing (is the flash mounted?); nothing was "
         "changed"},
        {"/tmp/x/jffs", 0,
         "profill: LP 1's directory /tmp/x/jffs/lp1/ is missing (mkdir -p /tmp/x/jffs/lp1/ makes "
         "it); nothing was changed"},
    };
    for (const auto& test : kCases) {
        ASSERT_TRUE(SetFlashRoot(test.root));
        EXPECT_EQ(LpDirectoryMissing(test.lp), test.line)
            << (test.root != nullptr ? test.root : "no root");
    }
    SetFlashRoot(nullptr);
}

TEST(LpCodecTest, DecodesWhatItEncodesAtEveryChannelCount) {
    for (int n = 0; n <= kMaxChannels; ++n) {
        const std::string bytes = Records(n, 7, 1);
        ASSERT_EQ(bytes, Record(n));
        const DayFileRecord record =
            DecodeLpRecord(reinterpret_cast<const uint8_t*>(bytes.data()), n);
        EXPECT_EQ(record.number, 7u);
        EXPECT_EQ(record.kind, 1u);
        EXPECT_EQ(LpRecordSeconds(record), 900u);
        for (int i = 0; i < n; ++i) {
            EXPECT_EQ(record.flags[i], 1u << i);
            EXPECT_EQ(record.values[i], 10000.0f * static_cast<float>(i + 1));
        }
    }
}

TEST(LpCodecTest, NamesOnlyTheDayFilesProfillNames) {
    const std::pair<const char*, int32_t> kNames[] = {
        {"1.lp", 1},           {"12.lp", 12}, {"2147483647.lp", INT32_MAX},
        {"2147483648.lp", 0},  {"0.lp", 0},   {"007.lp", 0},
        {"99999999999.lp", 0}, {".lp", 0},    {"12.lpx", 0},
        {"1.lp.", 0},          {"-1.lp", 0},  {"1 .lp", 0}};
    for (const auto& [name, number] : kNames) {
        EXPECT_EQ(DayFileNumber(name), number) << name;
    }
    EXPECT_EQ(LpRecordsPerFile(15), 100);
    EXPECT_EQ(LpRecordsPerFile(7), 209);
    EXPECT_EQ(LpRecordsPerFile(1440), 5);
}

// A day file cut at every length: skimming and reading fully see the same records, the bytes after
// the last whole one, and where the records stop running.
TEST(LpPlacementTest, ADayFileCutAtEveryLength) {
    const std::string whole = Header('1') + Records(3, 4, 3);
    for (std::size_t size = 0; size <= whole.size(); ++size) {
        SCOPED_TRACE(size);
        Profile profile({{1, Header('1') + Records(3, 1, 3)}, {2, whole.substr(0, size)}});
        for (const bool full : {false, true}) {
            const LpPlacement placement = PlaceLpFiles(0, 3, full);
            ASSERT_EQ(placement.files.size(), 2u);
            const PlacedDayFile& file = placement.files[1];
            const long records = size < 32 ? 0 : static_cast<long>((size - 32) / 34);
            EXPECT_EQ(file.day, 2);
            EXPECT_EQ(file.header, size >= 32);
            EXPECT_EQ(file.whole, records);
            EXPECT_EQ(file.partial, size < 32 ? 0 : (size - 32) % 34);
            EXPECT_EQ(file.Runs(), records > 0 && (size - 32) % 34 == 0);
            if (records > 0) {
                EXPECT_EQ(file.first, 4u);
                EXPECT_EQ(file.last, 3u + static_cast<uint32_t>(records));
            }
            EXPECT_EQ(placement.otherChannels, -1);
        }
    }
}

// Records of four channels read as records of any other count name four, whichever count the
// store holds; garbage after them, or a number out of line, names none.
TEST(LpPlacementTest, NamesTheChannelCountTheRecordsHold) {
    const std::string one = Header('1') + Records(4, 1, 3);
    const std::string two = Header('1') + Records(4, 4, 3);
    for (int n = 0; n <= kMaxChannels; ++n) {
        SCOPED_TRACE(n);
        {
            Profile profile({{1, one}, {2, two}});
            EXPECT_EQ(PlaceLpFiles(0, n, n % 2 == 0).otherChannels, n == 4 ? -1 : 4);
        }
        for (std::size_t at = 32; at < one.size(); at += 40) {
            std::string damaged = one;
            damaged[at + 3] = static_cast<char>(damaged[at + 3] ^ 0x40);  // a record's number
            Profile profile({{1, damaged}, {2, two + "x"}});
            EXPECT_EQ(PlaceLpFiles(0, n, true).otherChannels, -1) << at;
        }
    }
    Profile single({{1, Header('1') + Records(4, 1, 1)}});
    EXPECT_EQ(PlaceLpFiles(0, 3, true).otherChannels, -1) << "one record proves nothing";
}

// What a -c stopped in its removal leaves: the day files the shell removes last (in the order of
// their names) and 1.lp gone.
TEST(LpPlacementTest, KnowsWhatAStoppedClearLeaves) {
    struct Row {
        std::vector<int> days;
        int32_t currentDay;
        bool stopped;
    };
    const Row kRows[] = {{{2, 3, 4, 5, 6, 7, 8, 9}, 12, true},
                         {{3}, 3, true},
                         {{9}, 12, true},
                         {{2, 3}, 12, false},
                         {{1, 2, 3}, 3, false},
                         {{}, 3, false},
                         {{2, 3, 4, 5, 6, 7, 8, 9, 13}, 12, true},
                         {{2}, 200000, false}};
    for (const Row& row : kRows) {
        std::vector<std::pair<int, std::string>> files;
        for (int day : row.days) {
            files.push_back({day, Header('1')});
        }
        Profile profile(files);
        EXPECT_EQ(PlaceLpFiles(0, 3, false).ClearStopped(row.currentDay), row.stopped)
            << row.days.size() << " files, currentDay " << row.currentDay;
    }
}

// Counters far beyond the files: the check answers from the directory's entries (a loop up to
// them would take hours), refusing, and shows the counters as they are.
TEST(LpStartCheckTest, AnswersOnCountersOfAnySize) {
    Profile profile({{1, Header('1') + Records(3, 1, 3)}, {2, Header('1') + Records(3, 4, 2)}});
    for (const int32_t counter : {INT32_MAX, INT32_MIN, -5}) {
        g_lP[0].numChannels = 3;
        g_lP[0].fileInfo = {counter > 0 ? counter : 0, 0, counter, 0, 0, 0, {}, {}};
        LP_UNCOUNTED_CUTS cuts;
        const CallOutput got = CaptureCall([&] { return CheckLpFilesForRun(0, &cuts) ? 1 : 0; });
        EXPECT_EQ(got.result, 0);
        EXPECT_NE(got.out.find("up to number " + std::to_string(counter) + " "), std::string::npos)
            << got.out;
    }
}

TEST(DebugPrintfTest, PrintsTheTextAsFormattedAndCutsItAtTheBuffer) {
    testing::internal::CaptureStdout();
    DebugPrintf("[X] %d %s\n\r", 42, "100%d %s %n");
    DebugPrintf("<%s>", std::string(5000, 'a').c_str());
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "[X] 42 100%d %s %n\n\r<" + std::string(kDebugBufferSize - 2, 'a'));
}

// Any number gets its line; only SIGHUP, SIGINT, SIGQUIT and SIGTERM, caught for real, stop the
// run, and the handler stays installed without restart, flags or a mask.
TEST(SigHandlerTest, PrintsItsLineAndStopsOnlyForTheFourSignals) {
    ASSERT_EQ(register_handlers(), 0);
    for (int signum : {0, 10, 14, 16, -7, SIGHUP, SIGINT, SIGQUIT, SIGTERM, SIGINT}) {
        const bool stops =
            signum == SIGHUP || signum == SIGINT || signum == SIGQUIT || signum == SIGTERM;
        __signal_exit = 0;
        const CallOutput got =
            CaptureCall([&] { return stops ? kill(getpid(), signum) : (sig_handler(signum), 0); });
        EXPECT_EQ(got.out, "sig_handler: RECEIVIED " + std::to_string(signum) + "\n");
        EXPECT_EQ(__signal_exit, stops ? 1 : 0) << signum;
        struct sigaction installed;
        if (stops && sigaction(signum, nullptr, &installed) == 0) {
            EXPECT_EQ(installed.sa_handler, &sig_handler);
            EXPECT_EQ(installed.sa_flags & static_cast<int>(SA_RESTART | SA_RESETHAND | SA_NODEFER),
                      0);
            for (int blocked = 1; blocked < 32; ++blocked) {
                EXPECT_EQ(sigismember(&installed.sa_mask, blocked), 0) << blocked;
            }
        }
    }
    __signal_exit = 0;
    for (int signum : {SIGHUP, SIGINT, SIGQUIT, SIGTERM}) {
        signal(signum, SIG_DFL);
    }
}

}  // namespace

// The shared checks refuse on standard output as it stands once it retries interrupted writes,
// not on the stream it replaced, whose lost writes would drop a refusal.
TEST(RefusalStreamTest, IsTheStdoutThatRetriesInterruptedWrites) {
    FILE* const before = stdout;
    RetryInterruptedStdoutWrites();
    if (stdout == before) {
        GTEST_SKIP() << "this C library's stdout cannot be replaced";
    }
    EXPECT_EQ(RefusalStream(), stdout);
}
