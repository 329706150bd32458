// profill killed with SIGKILL at random instants of its runs. After every kill the store still
// opens, and lpdump --verify finds the day files of both profiles holding exactly the records
// their bookkeeping counts, or one more that was written but not yet counted: never fewer, never
// part of a record or of a header. Each run starts from what the killed run before it left, so
// every trial also tests that a run continues from the stored bookkeeping.
//
// PROFILL_CRASH_TRIALS sets the number of trials (60), PROFILL_CRASH_SEED the seed of the kill
// delays (a seed repeats the delays, not the timing of profill itself); scripts/crash-soak.sh runs
// thousands of trials.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <random>
#include <sstream>
#include <thread>

#include "sandbox.h"

namespace {

using Clock = std::chrono::steady_clock;

// Every run is -i 60 -t 40: 28 hourly records per day file, so that kills often land near the
// start of a new file; file 1 holds records 1 to 27, file k > 1 holds (k - 1) x 28 to k x 28 - 1.
constexpr long long kPerFile = 28;
constexpr long long kPerRun = 40 * kPerFile;

// Runs profill -i 60 -t 40 (-2 for LP index 1) on the sandbox, kills it with SIGKILL after delay
// unless it has ended by then (a negative delay lets it end), and returns its wait status.
int RunProfill(const Sandbox& box, int lp, Clock::duration delay) {
    std::vector<std::string> args = {"-i", "60", "-t", "40", "-2"};
    args.resize(4 + static_cast<std::size_t>(lp));
    const pid_t pid = box.Start(args);
    if (delay >= Clock::duration::zero()) {
        std::this_thread::sleep_for(delay);
        kill(pid, SIGKILL);
    }
    int status = -1;
    waitpid(pid, &status, 0);
    return status;
}

// What a check found of a profile besides its records: one written and not counted, the head of
// one cut at a page boundary (the kernel copies a write a page at a time and stops between pages
// for a fatal signal).
struct Found {
    long long counted = 0;
    bool uncounted = false, cut = false;
};

// Whether the store and the day files of LP index lp are sound after a run; was is what the
// previous check found (a profile that did not run keeps it), ran whether profill just ran on
// this profile, complete whether that run ended by itself.
testing::AssertionResult Check(const Sandbox& box, int lp, Found& was, bool ran, bool complete) {
    const std::string info = box.Info(lp);
    Found now;
    std::istringstream(info) >> now.counted >> now.counted >> now.counted;
    const long long n = now.counted;
    std::ostringstream needed;  // the counters that as many records from zero leave
    needed << (n == 0 ? 0 : 1 + n / kPerFile) << " " << n % kPerFile << " " << n << " "
           << n / kPerFile << " 0";
    if (info != needed.str() || (!ran && n != was.counted) || n < was.counted ||
        (complete && n != was.counted + kPerRun)) {
        return testing::AssertionFailure() << "LP " << lp + 1 << ": the store holds " << info
                                           << ", before this run totalRecCnt was " << was.counted;
    }
    std::vector<std::string> args = {"--verify", "--continued", "-2"};
    args.resize(2 + static_cast<std::size_t>(lp));
    const ProgramResult verified = RunProgram(LPDUMP_BIN, args, box.Env());
    std::istringstream lines(verified.out);
    std::string line, verdict;
    for (std::getline(lines, verdict); std::getline(lines, line); verdict = line) {
        const std::size_t at = verdict.find(" offset "), partial = verdict.find(" bytes after ");
        const bool left = verdict.find(" is not counted in the store ") != std::string::npos ||
                          verdict.find(" writes it afresh") != std::string::npos;
        const bool cut = partial != std::string::npos && at != std::string::npos &&
                         (std::stoll(verdict.substr(at + 8)) +
                          std::stoll(verdict.substr(verdict.rfind(' ', partial - 1)))) %
                                 sysconf(_SC_PAGESIZE) ==
                             0;
        now.uncounted = now.uncounted || left;
        now.cut = now.cut || cut;
        if (verdict.find(": note: ") == std::string::npos && verdict.rfind("lpdump: ", 0) != 0 &&
            !(!complete && (left || cut))) {
            return testing::AssertionFailure()
                   << "LP " << lp + 1 << ": lpdump --verify found " << verdict << "\n"
                   << verified.out;
        }
    }
    if (verified.status != (now.uncounted || now.cut ? 1 : 0) ||
        (!ran && (now.uncounted != was.uncounted || now.cut != was.cut))) {
        return testing::AssertionFailure() << "LP " << lp + 1 << ": lpdump --verify\n"
                                           << verified.out << verified.err;
    }
    was = now;
    return testing::AssertionSuccess();
}

TEST(CrashTest, KilledRunsLeaveCountedRecordsAndContinue) {
    const char* seedText = std::getenv("PROFILL_CRASH_SEED");
    const char* trialsText = std::getenv("PROFILL_CRASH_TRIALS");
    const unsigned long long seed =
        seedText ? std::strtoull(seedText, nullptr, 10) : std::random_device{}();
    const int trials = trialsText ? std::atoi(trialsText) : 60;
    std::mt19937_64 random(seed);
    printf("PROFILL_CRASH_SEED=%llu PROFILL_CRASH_TRIALS=%d\n", seed, trials);

    // The example device: both profiles configured (LP 1 with 16 channels, LP 2 with 3), no day
    // file written yet. One complete run of each profile; its duration bounds the kill instants.
    Sandbox box(ReadFile(CDSCTL_EXAMPLE));
    Found profiles[2];
    std::chrono::microseconds runTime[2];
    for (int lp = 0; lp < 2; ++lp) {
        const Clock::time_point start = Clock::now();
        ASSERT_EQ(RunProfill(box, lp, Clock::duration(-1)), 0) << "LP " << lp + 1;
        runTime[lp] = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start);
        ASSERT_TRUE(Check(box, lp, profiles[lp], true, true));
    }

    int ended = 0, idle = 0, uncounted = 0, inLoop = 0, cuts = 0;
    for (int trial = 1; trial <= trials + 2; ++trial) {
        const int lp = (trial - 1) % 2;
        const long long counted = profiles[lp].counted;
        // The last two runs are not killed: they continue from the last trials' states and leave
        // no record uncounted.
        const std::chrono::microseconds delay(
            trial > trials
                ? -1
                : std::uniform_int_distribution<long long>(0, runTime[lp].count() - 1)(random));
        const int status = RunProfill(box, lp, delay);
        const std::string where = "seed " + std::to_string(seed) + ", trial " +
                                  std::to_string(trial) + ": LP " + std::to_string(lp + 1) +
                                  " killed after " + std::to_string(delay.count()) + " of " +
                                  std::to_string(runTime[lp].count()) + " us";
        ASSERT_TRUE(status == 0 || (WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL))
            << where << ", but it ended with wait status " << status;
        for (int other = 0; other < 2; ++other) {
            ASSERT_TRUE(Check(box, other, profiles[other], other == lp, other == lp && status == 0))
                << where;
        }
        // A run killed between the write and the store of its first record counts as both idle
        // and uncounted.
        const bool stored = profiles[lp].counted != counted;
        ended += status == 0;
        idle += !stored;
        uncounted += profiles[lp].uncounted;
        inLoop += status != 0 && stored && !profiles[lp].uncounted;
        cuts += profiles[lp].cut;
    }
    // Kills landed both between a record's write and its store and elsewhere in the record loop.
    if (trials >= 20) {
        EXPECT_GT(uncounted, 0);
        EXPECT_GT(inLoop, 0);
    }
    printf(
        "%d trials: %d runs had ended before the kill, %d stored no record, %d left one "
        "written and not counted, %d stored records and left none uncounted, %d the head of one "
        "cut at a page\n",
        trials, ended - 2, idle, uncounted, inLoop, cuts);
}

}  // namespace
