// Runs of the real binary that a transcript cannot drive: signals, a store held by the test, a
// failing flash, and SIGKILLs at random instants (PROFILL_CRASH_TRIALS kills, 60 by default, with
// delays from PROFILL_CRASH_SEED; scripts/crash-soak.sh runs thousands).
#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <random>
#include <sstream>
#include <thread>

#include "sandbox.h"
#include "test_support.h"

namespace {

const char kBanner[] = "Load Profile Add input (profill) version 0.0.01 started.\n";

void ExpectVerifies(const Sandbox& box) {
    const ProgramResult verify = RunProgram(LPDUMP_BIN, {"--verify", "--strict"}, box.Env());
    EXPECT_EQ(verify.status, 0) << verify.out;
}

// Whether pid is blocked writing into a full pipe, which it first does after installing its
// handlers (under an emulator its signal mask says nothing of the program's handlers).
bool BlockedOnPipe(pid_t pid) {
    return ReadFile("/proc/" + std::to_string(pid) + "/wchan").find("pipe_write") !=
           std::string::npos;
}

// A stop request by signal: once the progress line of record 100 has been read, or while the run
// is blocked writing to a full pipe, where the interrupted write must lose nothing.
const struct {
    int signal;
    const char* debug;    // -d value
    const char* waitFor;  // read the output up to this text, then signal; null: a full pipe
} kStops[] = {
    {SIGINT, "0", "profill: recordsWritten = 100\n"},
    {SIGTERM, "2", nullptr},
};

TEST(RunTest, SignalEndsTheRunBetweenStoredRecords) {
    for (const auto& c : kStops) {
        SCOPED_TRACE(c.signal);
        Sandbox box;
        int fds[2];
        ASSERT_EQ(pipe2(fds, O_CLOEXEC), 0);
        std::string filler;
        if (c.waitFor == nullptr) {  // fills the pipe until it would block
            fcntl(fds[1], F_SETFL, O_NONBLOCK);
            for (const std::string block(4096, '#'); write(fds[1], block.data(), 4096) > 0;)
                filler += block;
            fcntl(fds[1], F_SETFL, 0);
        }
        // 1500 days of minutes: far more than are written before the signal arrives.
        const pid_t pid =
            box.Start(PROFILL_BIN, {"-i", "1", "-t", "1500", "-c", "-d", c.debug}, fds[1]);
        close(fds[1]);
        if (c.waitFor == nullptr) {
            for (int wait = 0; wait < 2400 && !BlockedOnPipe(pid); ++wait)
                usleep(50000);
            ASSERT_EQ(kill(pid, c.signal), 0);
            usleep(200000);  // the handler runs before anything is read
        }
        const std::string out = Drain(fds[0], pid, c.waitFor, c.signal);
        close(fds[0]);
        EXPECT_EQ(Wait(pid), 0);

        // Only the first record is stored when the signal came during the set-up.
        ExpectVerifies(box);
        const std::string info = box.Info(0);
        std::size_t counted = 0;
        std::istringstream(info) >> counted >> counted >> counted;
        EXPECT_TRUE(c.waitFor ? counted >= 100 && counted < 1500 * 1444 : counted == 1) << info;
        // The output is whole; the handler's line may come inside a buffered line.
        const std::string tail = out.substr(out.size() - std::min<std::size_t>(out.size(), 2000));
        const std::string handler = "sig_handler: RECEIVIED " + std::to_string(c.signal) + "\n";
        const std::string lines = Replace(out, handler, "");
        EXPECT_NE(out.find(handler), std::string::npos) << tail;
        EXPECT_TRUE(EndsWith(out, InfoTable(1, info))) << tail;
        EXPECT_EQ(lines.find(kBanner), filler.size()) << out.substr(filler.size(), 300);
        const std::string shown = "writing record bytes 112\n";
        EXPECT_EQ((lines.size() - Replace(lines, shown, "").size()) / shown.size(),
                  *c.debug == '2' ? counted : 0u);
    }
}

// What precedes the records is out before the first record is stored, which here waits: the
// test holds the store's write transaction.
TEST(RunTest, OutputBeforeTheRecordsIsFlushed) {
    Sandbox box;
    StoreHold hold(box);
    ASSERT_TRUE(hold.held);
    int fds[2];
    ASSERT_EQ(pipe2(fds, O_CLOEXEC), 0);
    const pid_t pid = box.Start(PROFILL_BIN, {"-i", "15", "-t", "1", "-d", "0"}, fds[1]);
    close(fds[1]);
    const std::string out = Drain(fds[0], pid, nullptr, 0, "This LP Date range");
    EXPECT_NE(out.find("This LP Date range"), std::string::npos) << out;
    hold.Release();  // lets the run go on
    EXPECT_TRUE(EndsWith(Drain(fds[0], pid), InfoTable(1, "2 0 100 1 0")));
    close(fds[0]);
    EXPECT_EQ(Wait(pid), 0);
}

// The profile's directory on a small file system of its own, as a device's flash may be: out of
// inodes, out of space, then read-only. The cases run on, in one sandbox.
const struct {
    const char* args;
    const char* mountOptions;  // of the tmpfs (re)mounted on the profile's directory
    unsigned long flags;
    const char* line;  // the writer's error line; <root> is the flash root
    int error;
    const char* table;  // the closing table; the store keeps what the day file holds
    std::size_t head;   // bytes of the failed record in the file
} kErrorCases[] = {
    {"-i 15 -t 1 -c", "nr_inodes=1", 0, "[CreateLpFile]Error creating LP file: <root>/lp1/1.lp", 2,
     "0 1 1 0 0", 0},
    // Record 37 crosses the end of the file system's only page.
    {"-i 1 -t 1 -c", "size=4k", 0, "[WriteLpRecord]Error closing LP file: <root>/lp1/1.lp", 4,
     "1 37 37 0 0", 32},
    {"-i 1 -t 1", "size=4k", MS_REMOUNT | MS_RDONLY,
     "[WriteLpRecord]Error opening LP file: <root>/lp1/1.lp", 3, "1 37 37 0 0", 0},
};

TEST(RunTest, WriteErrorEndsTheRunWithoutStoringTheRecord) {
    // The file systems mounted here vanish with this process.
    if (unshare(CLONE_NEWNS) != 0 || mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr))
        GTEST_SKIP() << "no mount namespace of its own: " << strerror(errno);
    Sandbox box;
    const std::string dir = box.root + "/lp1";
    for (const auto& c : kErrorCases) {
        SCOPED_TRACE(c.line);
        if (c.flags == 0)
            umount2(dir.c_str(), MNT_DETACH);
        ASSERT_EQ(mount("tmpfs", dir.c_str(), "tmpfs", c.flags, c.mountOptions), 0)
            << strerror(errno);
        std::istringstream words(c.args);
        const ProgramResult result =
            RunProgram(PROFILL_BIN, {std::istream_iterator<std::string>(words), {}}, box.Env());
        EXPECT_EQ(result.status, 0) << result.err;
        EXPECT_TRUE(EndsWith(
            result.out, Replace(c.line, "<root>", box.root) +
                            "\n\rmain: WriteLpRecord returned error: " + std::to_string(c.error) +
                            "\n" + InfoTable(1, c.table)))
            << result.out;
        if (c.head != 0) {  // what fitted of the record; the next run would cut it
            EXPECT_EQ(ReadFile(box.DayFile(0, 1)).size(), 32 + 36 * 112 + c.head);
            ASSERT_EQ(truncate(box.DayFile(0, 1).c_str(), 32 + 36 * 112), 0);
        }
        ExpectVerifies(box);
    }
    umount2(dir.c_str(), MNT_DETACH);
}

using Clock = std::chrono::steady_clock;

// Every run is -i 60 -t 40 (-2 for LP 2): 28 hourly records per day file, so that kills often
// land near the start of a new file.
constexpr long long kPerRun = 40 * 28;

TEST(CrashTest, KilledRunsLeaveCountedRecordsAndContinue) {
    const auto [seed, trials] = CrashPlanFromEnv("PROFILL_CRASH_TRIALS", 60);
    std::mt19937_64 random(seed);

    // Trials -1 and 0 run each profile to its end, which bounds the kill instants; the last two
    // continue from the last kills' states.
    Sandbox box;
    Found profiles[2];
    long long runTime[2] = {};
    int uncounted = 0, inLoop = 0;
    for (int trial = -1; trial <= trials + 2; ++trial) {
        const int lp = (trial + 1) % 2;
        const long long counted = profiles[lp].counted;
        const std::string other = box.Info(1 - lp);
        const bool killing = trial > 0 && trial <= trials;
        const long long delay =
            killing ? std::uniform_int_distribution<long long>(0, runTime[lp] - 1)(random) : -1;
        std::vector<std::string> args = {"-i", "60", "-t", "40", "-2"};
        args.resize(4 + static_cast<std::size_t>(lp));
        const Clock::time_point start = Clock::now();
        const pid_t pid = box.Start(PROFILL_BIN, args);
        if (killing) {
            std::this_thread::sleep_for(std::chrono::microseconds(delay));
            kill(pid, SIGKILL);
        }
        const int status = Wait(pid);
        if (!killing) {
            runTime[lp] =
                std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start).count();
        }
        const std::string where = "seed " + std::to_string(seed) + ", trial " +
                                  std::to_string(trial) + ": LP " + std::to_string(lp + 1) +
                                  " killed after " + std::to_string(delay) + " us";
        ASSERT_TRUE(status == 0 || (killing && WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL))
            << where << ", but it ended with wait status " << status;
        ASSERT_TRUE(Check(box, lp, profiles[lp], status == 0 ? kPerRun : -1)) << where;
        ASSERT_EQ(box.Info(1 - lp), other) << where;
        const bool stored = profiles[lp].counted != counted;
        uncounted += killing && profiles[lp].uncounted;
        inLoop += status != 0 && stored && !profiles[lp].uncounted;
    }
    // Where the kills landed depends on the machine's speed, so it is only reported.
    printf("%d trials: %d left a record uncounted, %d stored records and left none\n", trials,
           uncounted, inLoop);
}

}  // namespace
