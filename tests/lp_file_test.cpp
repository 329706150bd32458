#include "lpfile/lp_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
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
    std::string digits;
    for (char c : text) {
        if (c != ' ') {
            digits += c;
        }
    }
    for (std::size_t i = 0; i + 1 < digits.size(); i += 2) {
        bytes.push_back(static_cast<uint8_t>(std::stoi(digits.substr(i, 2), nullptr, 16)));
    }
    return bytes;
}

Bytes Join(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

const Bytes kHeaderLp1 =
    Hex("5a4f4c56 204c6f61 64205072 6f66 00 31 00000001 000000000000000000000000");
const Bytes kHeaderLp2 =
    Hex("5a4f4c56 204c6f61 64205072 6f66 00 32 00000001 000000000000000000000000");

// The floats 10000.0 to 160000.0, big-endian.
const char* const kChannelValueHex[16] = {
    "461c4000", "469c4000", "46ea6000", "471c4000", "47435000", "476a6000", "4788b800", "479c4000",
    "47afc800", "47c35000", "47d6d800", "47ea6000", "47fde800", "4808b800", "48127c00", "481c4000"};

// Record 7 of kind 1 starting at 0x5f5e1000 with a 900-second interval, n channels.
Bytes ExpectedRecord(int n) {
    std::string hex = "00000007 5f5e1000 5f5e1384 00000001";
    for (int i = 0; i < n; ++i) {
        char flag[16];
        snprintf(flag, sizeof flag, "%04x", 1u << i);
        hex += flag;
    }
    for (int i = 0; i < n; ++i) {
        hex += kChannelValueHex[i];
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

TEST(LpHeaderTest, BytesForEachProfile) {
    uint8_t header[kLpHeaderSize];
    EncodeLpHeader(header, 0);
    EXPECT_EQ(Bytes(header, header + kLpHeaderSize), kHeaderLp1);
    EncodeLpHeader(header, 1);
    EXPECT_EQ(Bytes(header, header + kLpHeaderSize), kHeaderLp2);
}

TEST(LpRecordTest, BytesForOneThreeAndSixteenChannels) {
    ASSERT_EQ(ExpectedRecord(3), Hex("00000007 5f5e1000 5f5e1384 00000001 0001 0002 0004"
                                     "461c4000 469c4000 46ea6000"));
    LP_RECORD record = SampleRecord();
    for (int n : {1, 3, 16}) {
        uint8_t bytes[kLpMaxRecordSize];
        EncodeLpRecord(record, n, bytes);
        ASSERT_EQ(LpRecordSize(n), 16u + 6u * static_cast<unsigned>(n));
        EXPECT_EQ(Bytes(bytes, bytes + LpRecordSize(n)), ExpectedRecord(n)) << n << " channels";
    }
}

TEST(LpRecordTest, ChannelCountIsBoundedToTheTable) {
    const struct {
        int numChannels;
        int used;
    } kCases[] = {{-5, 0}, {0, 0}, {1, 1}, {16, 16}, {17, 16}, {1000, 16}};
    for (const auto& c : kCases) {
        EXPECT_EQ(LpRecordChannels(c.numChannels), c.used) << c.numChannels;
        EXPECT_EQ(LpRecordSize(c.numChannels), 16u + 6u * static_cast<unsigned>(c.used));
    }
}

TEST(FillLpRecordTest, FillsOnlyTheGivenChannels) {
    g_lastIntervalTime = {0xffffff00, 0};
    g_intervalSecs = 0x200;
    LP_RECORD record;
    memset(&record, 0xee, sizeof record);
    FillLpRecord(&record, 2, 2, 0xffffffffUL);
    EXPECT_EQ(record.recordNumber, 0xffffffffu);
    EXPECT_EQ(record.intervalStart, 0xffffff00u);
    EXPECT_EQ(record.intervalEnd, 0x100u);  // the unsigned 32-bit sum wraps
    EXPECT_EQ(record.recordKind, 2u);
    EXPECT_EQ(record.valueFlags[0], 1);
    EXPECT_EQ(record.valueFlags[1], 2);
    EXPECT_EQ(record.channelValues[1], 20000.0f);
    EXPECT_EQ(record.valueFlags[2], 0xeeee);
    uint8_t untouched[4];
    memcpy(untouched, &record.channelValues[2], 4);
    EXPECT_EQ(untouched[0], 0xee);
}

// Day files in a scratch flash root with both profile directories.
class WriteLpRecordTest : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(SetFlashRoot(root_.path().c_str()));
        mkdir((root_.path() + "/lp1").c_str(), 0755);
        mkdir((root_.path() + "/lp2").c_str(), 0755);
        memset(g_lP, 0, sizeof g_lP);
        g_lP[0].numChannels = 3;
        g_lP[1].numChannels = 3;
        g_logLevel = 0;
        record_ = SampleRecord();
    }
    void TearDown() override {
        SetFlashRoot(nullptr);
        memset(g_lP, 0, sizeof g_lP);
        g_logLevel = 0;
    }

    std::string DayFile(int lp, int number) const {
        return root_.path() + "/lp" + std::to_string(lp + 1) + "/" + std::to_string(number) + ".lp";
    }

    int Write(int lp, bool newFile, std::string* output) {
        testing::internal::CaptureStdout();
        int status = WriteLpRecord(&record_, lp, newFile);
        *output = testing::internal::GetCapturedStdout();
        return status;
    }

    TempDir root_;
    LP_RECORD record_;
};

void WriteFile(const std::string& path, const Bytes& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<long>(bytes.size()));
}

struct WriteCase {
    const char* name;
    int lp;
    int currentDay;
    bool newFile;
    int logLevel;
    Bytes existing;  // content of the target day file before the call; empty: no file
    int currentDayAfter;
    int fileNumber;  // the day file the record goes to
    Bytes expected;
    const char* output;  // with %s for the day file's path
};

const WriteCase kWriteCases[] = {
    {"FirstRecordCreatesFileOne",
     0,
     0,
     false,
     0,
     {},
     1,
     1,
     Join({kHeaderLp1, ExpectedRecord(3)}),
     "[CreateLpFile]creating file %s\n"},
    {"FirstRecordIgnoresNewFile",
     0,
     0,
     true,
     0,
     {},
     1,
     1,
     Join({kHeaderLp1, ExpectedRecord(3)}),
     "[CreateLpFile]creating file %s\n"},
    {"FirstRecordReplacesAnOldFileOne", 1, 0, false, 0, Hex("0102030405"), 1, 1,
     Join({kHeaderLp2, ExpectedRecord(3)}), "[CreateLpFile]creating file %s\n"},
    {"AppendsToTheCurrentFile", 0, 4, false, 0, Join({kHeaderLp1, ExpectedRecord(3)}), 4, 4,
     Join({kHeaderLp1, ExpectedRecord(3), ExpectedRecord(3)}), ""},
    {"AppendToMissingFileHasNoHeader", 1, 2, false, 0, {}, 2, 2, ExpectedRecord(3), ""},
    {"NewFileTruncatesAnExistingOne", 0, 2, true, 0, Join({kHeaderLp1, ExpectedRecord(3)}), 2, 2,
     Join({kHeaderLp1, ExpectedRecord(3)}), "[CreateLpFile]creating file %s\n"},
    {"DebugLinesWhenAppending", 0, 1, false, 2, kHeaderLp1, 1, 1,
     Join({kHeaderLp1, ExpectedRecord(3)}),
     "WriteLpRecord: currentDay = 1\n[WriteLpRecord]opening file %s\n"
     "[WriteLpRecord]writing record bytes 34\n"},
    {"DebugLinesWhenCreating",
     1,
     0,
     false,
     7,
     {},
     1,
     1,
     Join({kHeaderLp2, ExpectedRecord(3)}),
     "WriteLpRecord: currentDay = 0\n[CreateLpFile]creating file %s\n"
     "[CreateLpFile]wrote file header; 1 record to file %s\n\r"
     "[WriteLpRecord]writing record bytes 34\n"},
    {"OtherDebugBitsPrintNothing", 0, 1, false, 5, kHeaderLp1, 1, 1,
     Join({kHeaderLp1, ExpectedRecord(3)}), ""},
};

std::string Expand(const char* format, const std::string& path) {
    std::string text = format;
    for (std::size_t at; (at = text.find("%s")) != std::string::npos;) {
        text.replace(at, 2, path);
    }
    return text;
}

TEST_F(WriteLpRecordTest, WritesTheRecordIntoTheRightDayFile) {
    for (const WriteCase& c : kWriteCases) {
        SCOPED_TRACE(c.name);
        const std::string path = DayFile(c.lp, c.fileNumber);
        unlink(path.c_str());
        if (!c.existing.empty()) {
            WriteFile(path, c.existing);
        }
        g_lP[0].fileInfo.currentDay = 0;
        g_lP[1].fileInfo.currentDay = 0;
        g_lP[c.lp].fileInfo.currentDay = c.currentDay;
        g_logLevel = c.logLevel;
        std::string output;
        EXPECT_EQ(Write(c.lp, c.newFile, &output), 0);
        EXPECT_EQ(output, Expand(c.output, path));
        EXPECT_EQ(g_lP[c.lp].fileInfo.currentDay, c.currentDayAfter);
        EXPECT_EQ(ReadFileBytes(path), c.expected);
        EXPECT_EQ(g_lP[1 - c.lp].fileInfo.currentDay, 0) << "the other profile is untouched";
        unlink(path.c_str());
    }
}

TEST_F(WriteLpRecordTest, SixteenAndMoreChannelsWriteSixteen) {
    for (int channels : {16, 17, 99}) {
        g_lP[0].numChannels = channels;
        g_lP[0].fileInfo.currentDay = 1;
        unlink(DayFile(0, 1).c_str());
        std::string output;
        EXPECT_EQ(Write(0, false, &output), 0);
        EXPECT_EQ(ReadFileBytes(DayFile(0, 1)), ExpectedRecord(16)) << channels;
    }
}

TEST_F(WriteLpRecordTest, NoChannelsLeavesTheFixedValuesAndFails) {
    for (int channels : {0, -4}) {
        g_lP[0].numChannels = channels;
        g_lP[0].fileInfo.currentDay = 0;
        g_logLevel = 2;
        std::string output;
        EXPECT_EQ(Write(0, false, &output), 4);
        EXPECT_NE(output.find("[WriteLpRecord]failed to write valueFlags \n"
                              "[WriteLpRecord]writing record bytes 16\n"),
                  std::string::npos)
            << output;
        EXPECT_EQ(g_lP[0].fileInfo.currentDay, 1);
        EXPECT_EQ(ReadFileBytes(DayFile(0, 1)), Join({kHeaderLp1, ExpectedRecord(0)}));
    }
}

TEST_F(WriteLpRecordTest, CreateFailureKeepsCurrentDayZero) {
    rmdir((root_.path() + "/lp1").c_str());
    const std::string path = DayFile(0, 1);
    std::string output;
    EXPECT_EQ(Write(0, false, &output), 2);
    EXPECT_EQ(output, "[CreateLpFile]creating file " + path +
                          "\n[CreateLpFile]Error creating LP file: " + path + "\n\r");
    EXPECT_EQ(g_lP[0].fileInfo.currentDay, 0);
    EXPECT_FALSE(FileExists(path));
}

TEST_F(WriteLpRecordTest, NewFileCreateFailureReturnsTwo) {
    rmdir((root_.path() + "/lp2").c_str());
    g_lP[1].fileInfo.currentDay = 5;
    std::string output;
    EXPECT_EQ(Write(1, true, &output), 2);
    EXPECT_EQ(output, "[CreateLpFile]creating file " + DayFile(1, 5) +
                          "\n[CreateLpFile]Error creating LP file: " + DayFile(1, 5) + "\n\r");
    EXPECT_EQ(g_lP[1].fileInfo.currentDay, 5);
}

TEST_F(WriteLpRecordTest, OpenFailureReturnsThree) {
    rmdir((root_.path() + "/lp1").c_str());
    g_lP[0].fileInfo.currentDay = 3;
    std::string output;
    EXPECT_EQ(Write(0, false, &output), 3);
    EXPECT_EQ(output, "[WriteLpRecord]Error opening LP file: " + DayFile(0, 3) + "\n\r");
    EXPECT_EQ(g_lP[0].fileInfo.currentDay, 3);
}

TEST_F(WriteLpRecordTest, FailingCloseReturnsFour) {
    for (bool newFile : {false, true}) {
        const std::string path = DayFile(0, 2);
        unlink(path.c_str());
        ASSERT_EQ(symlink("/dev/full", path.c_str()), 0);
        g_lP[0].fileInfo.currentDay = 2;
        std::string output;
        EXPECT_EQ(Write(0, newFile, &output), 4);
        const std::string created = newFile ? "[CreateLpFile]creating file " + path + "\n" : "";
        EXPECT_EQ(output, created + "[WriteLpRecord]Error closing LP file: " + path + "\n\r");
    }
}

TEST(CreateLpFileTest, LeavesTheStreamOpenAfterTheHeader) {
    TempDir root;
    ASSERT_TRUE(SetFlashRoot(root.path().c_str()));
    mkdir((root.path() + "/lp2").c_str(), 0755);
    FILE* file = nullptr;
    testing::internal::CaptureStdout();
    ASSERT_EQ(CreateLpFile(&file, 12, 1), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "[CreateLpFile]creating file " + root.path() + "/lp2/12.lp\n");
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(ftell(file), 32);
    fputc('x', file);
    ASSERT_EQ(fclose(file), 0);
    EXPECT_EQ(ReadFileBytes(root.path() + "/lp2/12.lp"), Join({kHeaderLp2, Bytes{'x'}}));

    FILE* untouched = reinterpret_cast<FILE*>(&root);
    testing::internal::CaptureStdout();
    EXPECT_EQ(CreateLpFile(&untouched, 1, 0), 2);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(untouched, reinterpret_cast<FILE*>(&root));
    SetFlashRoot(nullptr);
}

}  // namespace
