#include "lpfile/lp_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "driver/run_options.h"
#include "lpfile/lp_dirs.h"
#include "test_support.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Hex(const std::string& text) {
    Bytes bytes;
    for (std::size_t i = 0; i < text.size();) {
        if (text[i] == ' ') {
            ++i;
            continue;
        }
        bytes.push_back(static_cast<uint8_t>(std::stoi(text.substr(i, 2), nullptr, 16)));
        i += 2;
    }
    return bytes;
}

Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

const Bytes kHeader1 =
    Hex("5a4f4c56 204c6f61 64205072 6f66 00 31 00000001 000000000000000000000000");
const Bytes kHeader2 =
    Hex("5a4f4c56 204c6f61 64205072 6f66 00 32 00000001 000000000000000000000000");

// Record 7 of kind 1 from 0x5f5e1000 over 900 seconds, with n channels: flags 1 << i and the
// floats 10000.0 x (i + 1), big-endian.
Bytes ExpectedRecord(int n) {
    static const char* const kValues[16] = {"461c4000", "469c4000", "46ea6000", "471c4000",
                                            "47435000", "476a6000", "4788b800", "479c4000",
                                            "47afc800", "47c35000", "47d6d800", "47ea6000",
                                            "47fde800", "4808b800", "48127c00", "481c4000"};
    std::string hex = "00000007 5f5e1000 5f5e1384 00000001";
    for (int i = 0; i < n; ++i) {
        char flag[16];
        snprintf(flag, sizeof flag, "%04x", 1u << i);
        hex += flag;
    }
    for (int i = 0; i < n; ++i) {
        hex += kValues[i];
    }
    return Hex(hex);
}

LP_RECORD SampleRecord() {
    g_lastIntervalTime = {0x5f5e1000, 123};
    g_intervalSecs = 900;
    LP_RECORD record;
    memset(&record, 0xee, sizeof record);
    FillLpRecord(&record, 16, 1, 7);
    return record;
}

enum Prepare { kNothing, kExisting, kNoDirectory, kDevFull };

struct WriteCase {
    const char* name;
    int lp, numChannels, currentDay;
    bool newFile;
    int logLevel;
    Prepare prepare;
    Bytes existing;  // the day file's content before the call, for kExisting
    int status, currentDayAfter;
    Bytes expected;      // the day file after the call (not read from /dev/full)
    const char* output;  // %s stands for the day file's path
};

const char kCreating[] = "[CreateLpFile]creating file %s\n";

// clang-format off
const WriteCase kWriteCases[] = {
    {"FirstRecordCreatesFileOne", 0, 3, 0, false, 0, kNothing, {}, 0, 1,
     kHeader1 + ExpectedRecord(3), kCreating},
    {"FirstRecordReplacesOldFileOne", 1, 3, 0, true, 0, kExisting, Hex("0102"), 0, 1,
     kHeader2 + ExpectedRecord(3), kCreating},
    {"Appends", 0, 3, 4, false, 2, kExisting, kHeader1 + ExpectedRecord(3), 0, 4,
     kHeader1 + ExpectedRecord(3) + ExpectedRecord(3),
     "WriteLpRecord: currentDay = 4\n[WriteLpRecord]opening file %s\n"
     "[WriteLpRecord]writing record bytes 34\n"},
    {"AppendToMissingFileHasNoHeader", 1, 3, 2, false, 0, kNothing, {}, 0, 2,
     ExpectedRecord(3), ""},
    {"NewFileTruncates", 0, 3, 2, true, 7, kExisting, kHeader1 + ExpectedRecord(3), 0, 2,
     kHeader1 + ExpectedRecord(3),
     "WriteLpRecord: currentDay = 2\n[CreateLpFile]creating file %s\n"
     "[CreateLpFile]wrote file header; 1 record to file %s\n\r"
     "[WriteLpRecord]writing record bytes 34\n"},
    {"OneChannel", 1, 1, 1, false, 0, kNothing, {}, 0, 1, ExpectedRecord(1), ""},
    {"SixteenChannels", 0, 16, 1, false, 0, kNothing, {}, 0, 1, ExpectedRecord(16), ""},
    {"MoreThanSixteenWriteSixteen", 0, 99, 1, false, 0, kNothing, {}, 0, 1,
     ExpectedRecord(16), ""},
    {"NoChannels", 0, 0, 0, false, 0, kNothing, {}, 4, 1, kHeader1 + ExpectedRecord(0),
     "[CreateLpFile]creating file %s\n[WriteLpRecord]failed to write valueFlags \n"},
    {"CreateFails", 0, 3, 0, false, 0, kNoDirectory, {}, 2, 0, {},
     "[CreateLpFile]creating file %s\n[CreateLpFile]Error creating LP file: %s\n\r"},
    {"NewFileCreateFails", 1, 3, 5, true, 0, kNoDirectory, {}, 2, 5, {},
     "[CreateLpFile]creating file %s\n[CreateLpFile]Error creating LP file: %s\n\r"},
    {"OpenFails", 0, 3, 3, false, 0, kNoDirectory, {}, 3, 3, {},
     "[WriteLpRecord]Error opening LP file: %s\n\r"},
    {"CloseFails", 0, 3, 2, false, 0, kDevFull, {}, 4, 2, {},
     "[WriteLpRecord]Error closing LP file: %s\n\r"},
    {"NewFileCloseFails", 0, 3, 2, true, 0, kDevFull, {}, 4, 2, {},
     "[CreateLpFile]creating file %s\n[WriteLpRecord]Error closing LP file: %s\n\r"},
};
// clang-format on

TEST(WriteLpRecordTest, WritesIntoTheRightDayFileOrFails) {
    ASSERT_EQ(ExpectedRecord(3), Hex("00000007 5f5e1000 5f5e1384 00000001 0001 0002 0004"
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
            std::ofstream(path).write(reinterpret_cast<const char*>(c.existing.data()),
                                      static_cast<std::streamsize>(c.existing.size()));
        }
        if (c.prepare == kDevFull) {
            ASSERT_EQ(symlink("/dev/full", path.c_str()), 0);
        }
        memset(g_lP, 0, sizeof g_lP);
        g_lP[c.lp].numChannels = c.numChannels;
        g_lP[c.lp].fileInfo.currentDay = c.currentDay;
        g_logLevel = c.logLevel;
        LP_RECORD record = SampleRecord();

        testing::internal::CaptureStdout();
        EXPECT_EQ(WriteLpRecord(&record, c.lp, c.newFile), c.status);
        std::string expectedOutput = c.output;
        for (std::size_t at; (at = expectedOutput.find("%s")) != std::string::npos;) {
            expectedOutput.replace(at, 2, path);
        }
        EXPECT_EQ(testing::internal::GetCapturedStdout(), expectedOutput);
        EXPECT_EQ(g_lP[c.lp].fileInfo.currentDay, c.currentDayAfter);
        EXPECT_EQ(g_lP[1 - c.lp].fileInfo.currentDay, 0);
        if (c.prepare != kDevFull) {
            EXPECT_EQ(ReadFileBytes(path), c.expected);
        }
    }
    memset(g_lP, 0, sizeof g_lP);
    g_logLevel = 0;
    SetFlashRoot(nullptr);
}

}  // namespace
