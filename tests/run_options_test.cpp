#include "driver/run_options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

int Parse(std::vector<std::string> args) {
    args.insert(args.begin(), "profill");
    std::vector<char*> argv;
    for (std::string& arg : args) {
        argv.push_back(arg.data());
    }
    testing::internal::CaptureStdout();
    int status = ParseCommandLine(static_cast<int>(args.size()), argv.data());
    testing::internal::GetCapturedStdout();
    return status;
}

// The output of the parse is checked on the real binary; this checks what it sets.
TEST(ParseCommandLineTest, SetsTheRunOptions) {
    ASSERT_EQ(Parse({"-2"}), 0);
    EXPECT_EQ(g_profileIndex, 1);
    EXPECT_EQ(g_profileIntervalLength, 15);
    EXPECT_FALSE(g_useLocalInterval);
    EXPECT_EQ(g_totalDays, 2);
    EXPECT_FALSE(g_clearCDSBeforeStart || g_showConfigOnly || g_printStorageCalculations);

    EXPECT_EQ(Parse({"-i", "61"}), 1);
    EXPECT_EQ(Parse({"-d", "80000000"}), 1);
    EXPECT_EQ(g_profileIntervalLength, 15);
    EXPECT_EQ(g_logLevel, 0);

    ASSERT_EQ(Parse({"-i", "1440", "-t", "1500", "-c", "-2", "-s", "-p", "-d", "0x1F"}), 0);
    EXPECT_EQ(g_profileIntervalLength, 1440);
    EXPECT_TRUE(g_useLocalInterval);
    EXPECT_EQ(g_totalDays, 1500);
    EXPECT_TRUE(g_clearCDSBeforeStart && g_showConfigOnly && g_printStorageCalculations);
    EXPECT_EQ(g_logLevel, 31);
}

}  // namespace
