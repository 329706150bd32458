#include "driver/debug_log.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <csignal>
#include <string>

namespace {

TEST(DebugPrintfTest, PrintsTheTextAsFormattedAndCutsItAtTheBuffer) {
    static const std::string kLong(5000, 'a');
    testing::internal::CaptureStdout();
    DebugPrintf("[X] %d %s\n\r", 42, "100%d %s %n");
    DebugPrintf("<%s>", kLong.c_str());
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "[X] 42 100%d %s %n\n\r<" + std::string(kDebugBufferSize - 2, 'a'));
}

TEST(SigHandlerTest, PrintsItsLineAndStopsOnlyForTheFourSignals) {
    const struct {
        int signum;
        bool stops;
    } kCases[] = {{1, true},   {2, true},   {3, true},   {15, true}, {0, false},
                  {10, false}, {14, false}, {16, false}, {-7, false}};
    for (const auto& c : kCases) {
        __signal_exit = 0;
        testing::internal::CaptureStdout();
        sig_handler(c.signum);
        EXPECT_EQ(testing::internal::GetCapturedStdout(),
                  "sig_handler: RECEIVIED " + std::to_string(c.signum) + "\n");
        EXPECT_EQ(__signal_exit, c.stops ? 1 : 0) << c.signum;
    }
    __signal_exit = 0;
}

TEST(SigHandlerTest, RealSignalsAreCaughtWithoutRestart) {
    ASSERT_EQ(register_handlers(), 0);
    // SIGINT twice: the handler stays installed and prints its line again.
    for (int signum : {SIGHUP, SIGINT, SIGQUIT, SIGTERM, SIGINT}) {
        __signal_exit = 0;
        testing::internal::CaptureStdout();
        ASSERT_EQ(kill(getpid(), signum), 0);
        EXPECT_EQ(testing::internal::GetCapturedStdout(),
                  "sig_handler: RECEIVIED " + std::to_string(signum) + "\n");
        EXPECT_EQ(__signal_exit, 1);

        struct sigaction installed;
        ASSERT_EQ(sigaction(signum, nullptr, &installed), 0);
        EXPECT_EQ(installed.sa_handler, &sig_handler);
        EXPECT_EQ(installed.sa_flags & (SA_RESTART | SA_RESETHAND | SA_NODEFER), 0);
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
