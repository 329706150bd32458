#include "driver/debug_log.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <csignal>
#include <string>

namespace {

std::string Captured(void (*action)()) {
    testing::internal::CaptureStdout();
    action();
    return testing::internal::GetCapturedStdout();
}

TEST(DebugPrintfTest, FormatsWithoutAddingAnything) {
    EXPECT_EQ(Captured([] { DebugPrintf("[X] value=%d path=%s\n\r", 42, "/jffs/lp1/1.lp"); }),
              "[X] value=42 path=/jffs/lp1/1.lp\n\r");
}

TEST(DebugPrintfTest, PercentFromAnArgumentIsPrintedLiterally) {
    EXPECT_EQ(Captured([] { DebugPrintf("[X] %s\n", "100%d %s %n"); }), "[X] 100%d %s %n\n");
}

TEST(DebugPrintfTest, LongTextIsCutAtTheBuffer) {
    static const std::string kLong(5000, 'a');
    std::string out = Captured([] { DebugPrintf("<%s>", kLong.c_str()); });
    EXPECT_EQ(out, "<" + std::string(kDebugBufferSize - 2, 'a'));
}

struct HandlerCase {
    int signum;
    const char* line;
    bool stops;
};

// Numbers not caught by the program still go through the handler when it is called directly.
const HandlerCase kHandlerCases[] = {
    {SIGHUP, "sig_handler: RECEIVIED 1\n", true},
    {SIGINT, "sig_handler: RECEIVIED 2\n", true},
    {SIGQUIT, "sig_handler: RECEIVIED 3\n", true},
    {SIGTERM, "sig_handler: RECEIVIED 15\n", true},
    {0, "sig_handler: RECEIVIED 0\n", false},
    {SIGUSR1, "sig_handler: RECEIVIED 10\n", false},
    {14, "sig_handler: RECEIVIED 14\n", false},
    {16, "sig_handler: RECEIVIED 16\n", false},
    {31, "sig_handler: RECEIVIED 31\n", false},
    {-2147483647 - 1, "sig_handler: RECEIVIED -2147483648\n", false},
};

TEST(SigHandlerTest, PrintsItsLineAndRaisesTheFlagForStopSignals) {
    for (const HandlerCase& c : kHandlerCases) {
        __signal_exit = 0;
        testing::internal::CaptureStdout();
        sig_handler(c.signum);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), c.line);
        EXPECT_EQ(__signal_exit, c.stops ? 1 : 0) << c.signum;
    }
    __signal_exit = 0;
}

TEST(SigHandlerTest, RealSignalsAreCaughtWithoutRestartAndRaiseTheFlag) {
    ASSERT_EQ(register_handlers(), 0);
    for (int signum : {SIGHUP, SIGINT, SIGQUIT, SIGTERM}) {
        struct sigaction installed;
        ASSERT_EQ(sigaction(signum, nullptr, &installed), 0);
        EXPECT_EQ(installed.sa_handler, &sig_handler) << signum;
        EXPECT_EQ(installed.sa_flags & SA_RESTART, 0) << signum;
        EXPECT_EQ(sigismember(&installed.sa_mask, SIGINT), 0) << signum;

        __signal_exit = 0;
        testing::internal::CaptureStdout();
        ASSERT_EQ(kill(getpid(), signum), 0);
        std::string out = testing::internal::GetCapturedStdout();
        EXPECT_EQ(out, "sig_handler: RECEIVIED " + std::to_string(signum) + "\n");
        EXPECT_EQ(__signal_exit, 1);
    }
    // A second signal prints its line again and the flag stays raised.
    testing::internal::CaptureStdout();
    ASSERT_EQ(kill(getpid(), SIGINT), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "sig_handler: RECEIVIED 2\n");
    EXPECT_EQ(__signal_exit, 1);
    __signal_exit = 0;
    for (int signum : {SIGHUP, SIGINT, SIGQUIT, SIGTERM}) {
        signal(signum, SIG_DFL);
    }
}

}  // namespace
