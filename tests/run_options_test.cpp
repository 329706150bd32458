#include "driver/run_options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct DecimalCase {
    const char* text;
    bool ok;
    int32_t value;
};

const DecimalCase kDecimalCases[] = {
    {"15", true, 15},
    {"  15", true, 15},
    {"+15", true, 15},
    {"-5", true, -5},
    {"15min", true, 15},
    {"007", true, 7},
    {"2147483647", true, 2147483647},
    {"-2147483648", true, INT32_MIN},
    {"2147483648", false, 0},
    {"99999999999999999999", false, 0},
    {"", false, 0},
    {"abc", false, 0},
    {"-", false, 0},
    {"+-1", false, 0},
    {"- 1", false, 0},
};

TEST(ScanDecimalTest, ReadsLeadingNumber) {
    for (const DecimalCase& c : kDecimalCases) {
        int32_t value = 12345;
        EXPECT_EQ(ScanDecimal(c.text, &value), c.ok) << c.text;
        EXPECT_EQ(value, c.ok ? c.value : 12345) << c.text;
    }
}

struct HexCase {
    const char* text;
    bool ok;
    uint32_t value;
};

const HexCase kHexCases[] = {
    {"3", true, 3},
    {"0x3", true, 3},
    {"0X1f", true, 0x1f},
    {"10", true, 16},
    {"7fffffff", true, 0x7fffffff},
    {"ffffffff", true, 0xffffffff},
    {"-1", true, 0xffffffff},
    {" 2g", true, 2},
    {"0x", true, 0},  // the 0 is the number; the x is text after it
    {"0xg", true, 0},
    {"100000000", false, 0},
    {"xyz", false, 0},
    {"", false, 0},
    {"-", false, 0},
};

TEST(ScanHexTest, ReadsLeadingNumber) {
    for (const HexCase& c : kHexCases) {
        uint32_t value = 12345;
        EXPECT_EQ(ScanHex(c.text, &value), c.ok) << c.text;
        EXPECT_EQ(value, c.ok ? c.value : 12345u) << c.text;
    }
}

// Parses in this process, so the options are put back to their initial values around each case.
class ParseCommandLineTest : public testing::Test {
  protected:
    void SetUp() override { ResetOptions(); }
    void TearDown() override { ResetOptions(); }

    static void ResetOptions() {
        g_profileIntervalLength = 15;
        g_useLocalInterval = false;
        g_totalDays = 2;
        g_clearCDSBeforeStart = false;
        g_profileIndex = 0;
        g_showConfigOnly = false;
        g_printStorageCalculations = false;
        g_logLevel = 0;
    }

    static int Parse(std::vector<std::string> args) {
        args.insert(args.begin(), "profill");
        std::vector<char*> argv;
        for (std::string& arg : args) {
            argv.push_back(arg.data());
        }
        argv.push_back(nullptr);
        testing::internal::CaptureStdout();
        int status = ParseCommandLine(static_cast<int>(args.size()), argv.data());
        testing::internal::GetCapturedStdout();
        return status;
    }
};

TEST_F(ParseCommandLineTest, SetsEveryOption) {
    ASSERT_EQ(Parse({"-i", "1440", "-t", "1500", "-c", "-2", "-s", "-p", "-d", "10"}), 0);
    EXPECT_EQ(g_profileIntervalLength, 1440);
    EXPECT_TRUE(g_useLocalInterval);
    EXPECT_EQ(g_totalDays, 1500);
    EXPECT_TRUE(g_clearCDSBeforeStart);
    EXPECT_EQ(g_profileIndex, 1);
    EXPECT_TRUE(g_showConfigOnly);
    EXPECT_TRUE(g_printStorageCalculations);
    EXPECT_EQ(g_logLevel, 16);
}

TEST_F(ParseCommandLineTest, OmittedOptionsKeepTheirDefaults) {
    ASSERT_EQ(Parse({"-2"}), 0);
    EXPECT_EQ(g_profileIntervalLength, 15);
    EXPECT_FALSE(g_useLocalInterval);
    EXPECT_EQ(g_totalDays, 2);
    EXPECT_FALSE(g_clearCDSBeforeStart);
    EXPECT_EQ(g_profileIndex, 1);
    EXPECT_FALSE(g_showConfigOnly);
    EXPECT_FALSE(g_printStorageCalculations);
    EXPECT_EQ(g_logLevel, 0);
}

TEST_F(ParseCommandLineTest, RejectedIntervalLeavesTheDefault) {
    EXPECT_EQ(Parse({"-i", "61"}), 1);
    EXPECT_EQ(g_profileIntervalLength, 15);
    EXPECT_FALSE(g_useLocalInterval);
}

TEST_F(ParseCommandLineTest, RejectedLevelLeavesZero) {
    EXPECT_EQ(Parse({"-d", "80000000"}), 1);
    EXPECT_EQ(g_logLevel, 0);
}

}  // namespace
