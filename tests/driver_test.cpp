// The run options a parse sets (its output is checked on the real binary), the debug text and
// the signal handler.
#include <unistd.h>

#include <csignal>
#include <tuple>

#include "driver/debug_log.h"
#include "driver/run_options.h"
#include "test_support.h"

namespace {

int Parse(std::vector<std::string> args) {
    args.insert(args.begin(), "profill");
    std::vector<char*> argv;
    for (std::string& arg : args) {
        argv.push_back(arg.data());
    }
    return CaptureCall([&] { return ParseCommandLine(static_cast<int>(argv.size()), argv.data()); })
        .result;
}

TEST(ParseCommandLineTest, SetsTheRunOptions) {
    auto options = [] {
        return std::make_tuple(g_profileIntervalLength, g_useLocalInterval, g_totalDays,
                               g_clearCDSBeforeStart, g_profileIndex, g_showConfigOnly,
                               g_printStorageCalculations, g_logLevel);
    };
    ASSERT_EQ(Parse({"-2"}), 0);
    EXPECT_EQ(options(), std::make_tuple(15, false, 2, false, 1, false, false, 0));
    EXPECT_EQ(Parse({"-i", "61"}), 1);
    EXPECT_EQ(Parse({"-d", "80000000"}), 1);
    EXPECT_EQ(options(), std::make_tuple(15, false, 2, false, 1, false, false, 0));
    ASSERT_EQ(Parse({"-i", "1440", "-t", "1500", "-c", "-2", "-s", "-p", "-d", "0x1F"}), 0);
    EXPECT_EQ(options(), std::make_tuple(1440, true, 1500, true, 1, true, true, 31));
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
    auto line = [](int signum) {
        return "sig_handler: RECEIVIED " + std::to_string(signum) + "\n";
    };
    for (int signum : {0, 10, 14, 16, -7}) {
        __signal_exit = 0;
        testing::internal::CaptureStdout();
        sig_handler(signum);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), line(signum));
        EXPECT_EQ(__signal_exit, 0) << signum;
    }
    ASSERT_EQ(register_handlers(), 0);
    for (int signum : {SIGHUP, SIGINT, SIGQUIT, SIGTERM, SIGINT}) {
        __signal_exit = 0;
        EXPECT_EQ(CaptureCall([&] { return kill(getpid(), signum); }).out, line(signum));
        EXPECT_EQ(__signal_exit, 1) << signum;
        struct sigaction installed;
        ASSERT_EQ(sigaction(signum, nullptr, &installed), 0);
        EXPECT_EQ(installed.sa_handler, &sig_handler);
        EXPECT_EQ(installed.sa_flags & static_cast<int>(SA_RESTART | SA_RESETHAND | SA_NODEFER), 0);
        for (int blocked = 1; blocked < 32; ++blocked) {
            EXPECT_EQ(sigismember(&installed.sa_mask, blocked), 0) << blocked;
        }
    }
    __signal_exit = 0;
    for (int signum : {SIGHUP, SIGINT, SIGQUIT, SIGTERM}) {
        signal(signum, SIG_DFL);
    }
}

}  // namespace
