// Runs of the real binary that a transcript cannot drive: signals, a store held by the test, a
// failing flash, and SIGKILLs at random instants (PROFILL_CRASH_TRIALS kills, 60 by default, with
// delays from PROFILL_CRASH_SEED; scripts/crash-soak.sh runs thousands).
#include <fcntl.h>
#include <lmdb.h>
#include <poll.h>
#include <sched.h>
#include <spawn.h>
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

#include "test_support.h"

namespace {

// <dir>/jffs/lp1/ and lp2/, and <dir>/store.mdb loaded with the example.
struct Sandbox {
    TempDir dir;
    std::string root = dir.path + "/jffs";
    std::string store = dir.path + "/store.mdb";

    Sandbox() {
        const std::string mkdir = "mkdir -p " + root + "/lp1 " + root + "/lp2";
        EXPECT_EQ(system(mkdir.c_str()), 0);
        EXPECT_EQ(RunProgram(CDSCTL_BIN, {"init"}, {"CDS_STORE=" + store}).status, 0);
        const ProgramResult load =
            RunProgram(CDSCTL_BIN, {"load", CDSCTL_EXAMPLE}, {"CDS_STORE=" + store});
        EXPECT_EQ(load.status, 0) << load.err;
    }
    std::vector<std::string> Env() const { return {"PROFILL_JFFS=" + root, "CDS_STORE=" + store}; }
    // The five file-information counters of LP index lp in the store, blank-separated.
    std::string Info(int lp) const {
        std::vector<std::string> paths = {"get"};
        for (const char* name :
             {"currentDay", "fileRecCnt", "totalRecCnt", "dayCnt", "daysDeleted"})
            paths.push_back("/LP/" + std::to_string(lp + 1) + "/" + name + "/Value");
        const ProgramResult get = RunProgram(CDSCTL_BIN, paths, {"CDS_STORE=" + store});
        EXPECT_EQ(get.status, 0) << get.err;
        return Replace(get.out.substr(0, get.out.size() - 1), "\n", " ");
    }
    std::string DayFile(int lp, int n) const {
        return root + "/lp" + std::to_string(lp + 1) + "/" + std::to_string(n) + ".lp";
    }
    // Starts profill with only Env() set and standard output on out (else /dev/null).
    pid_t Start(const std::vector<std::string>& args, int out = -1) const {
        std::vector<std::string> env = Env(), copies = args;
        std::vector<char*> argv = {const_cast<char*>(PROFILL_BIN)}, envp;
        for (std::string& arg : copies)
            argv.push_back(arg.data());
        for (std::string& entry : env)
            envp.push_back(entry.data());
        argv.push_back(nullptr);
        envp.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDWR, 0);
        posix_spawn_file_actions_adddup2(&actions, out < 0 ? 0 : out, 1);
        posix_spawn_file_actions_adddup2(&actions, 0, 2);
        pid_t pid = -1;
        EXPECT_EQ(posix_spawn(&pid, PROFILL_BIN, &actions, nullptr, argv.data(), envp.data()), 0);
        posix_spawn_file_actions_destroy(&actions);
        return pid;
    }
};

const char kBanner[] = "Load Profile Add input (profill) version 0.0.01 started.\n";

bool EndsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

void ExpectVerifies(const Sandbox& box) {
    const ProgramResult verify = RunProgram(LPDUMP_BIN, {"--verify", "--strict"}, box.Env());
    EXPECT_EQ(verify.status, 0) << verify.out;
}

// Reads fd to its end, or up to until; fails when nothing comes for two minutes. With signalAt,
// sends signal to pid once that text has been read.
std::string Drain(int fd, pid_t pid, const char* signalAt = nullptr, int signal = 0,
                  const char* until = nullptr) {
    std::string out;
    for (pollfd ready = {fd, POLLIN, 0}; !until || out.find(until) == std::string::npos;) {
        if (poll(&ready, 1, 120000) <= 0) {
            kill(pid, SIGKILL);
            ADD_FAILURE() << "profill went silent";
        }
        char buffer[4096];
        const ssize_t got = read(fd, buffer, sizeof buffer);
        if (got <= 0)
            break;
        out.append(buffer, static_cast<std::size_t>(got));
        if (signalAt != nullptr && out.find(signalAt) != std::string::npos) {
            kill(pid, signal);
            signalAt = nullptr;
        }
    }
    return out;
}

// Whether pid is blocked writing into a full pipe, which it first does after installing its
// handlers (under an emulator its signal mask says nothing of the program's handlers).
bool BlockedOnPipe(pid_t pid) {
    return ReadFile("/proc/" + std::to_string(pid) + "/wchan").find("pipe_write") !=
           std::string::npos;
}

int Wait(pid_t pid) {
    int status = -1;
    EXPECT_EQ(waitpid(pid, &status, 0), pid);
    return status;
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
        const pid_t pid = box.Start({"-i", "1", "-t", "1500", "-c", "-d", c.debug}, fds[1]);
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
    MDB_env* store = nullptr;
    MDB_txn* txn = nullptr;
    ASSERT_EQ(mdb_env_create(&store), 0);
    ASSERT_EQ(mdb_env_set_mapsize(store, std::size_t{16} << 20), 0);
    ASSERT_EQ(mdb_env_open(store, box.store.c_str(), MDB_NOSUBDIR, 0644), 0);
    ASSERT_EQ(mdb_txn_begin(store, nullptr, 0, &txn), 0);
    int fds[2];
    ASSERT_EQ(pipe2(fds, O_CLOEXEC), 0);
    const pid_t pid = box.Start({"-i", "15", "-t", "1", "-d", "0"}, fds[1]);
    close(fds[1]);
    const std::string out = Drain(fds[0], pid, nullptr, 0, "This LP Date range");
    EXPECT_NE(out.find("This LP Date range"), std::string::npos) << out;
    mdb_txn_abort(txn);  // lets the run go on
    mdb_env_close(store);
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

// A record written and not counted, or the head of one cut at a page boundary (the kernel copies
// a write a page at a time and stops between pages for a fatal signal).
struct Found {
    long long counted = 0;
    bool uncounted = false, cut = false;
};

// Whether LP index lp verifies after a run; was is what the previous check found.
testing::AssertionResult Check(const Sandbox& box, int lp, Found& was, bool complete) {
    Found now;
    std::istringstream(box.Info(lp)) >> now.counted >> now.counted >> now.counted;
    std::vector<std::string> args = {"--verify", "-2"};
    args.resize(1 + static_cast<std::size_t>(lp));
    const ProgramResult verified = RunProgram(LPDUMP_BIN, args, box.Env());
    std::istringstream lines(verified.out);
    for (std::string line; std::getline(lines, line);) {
        const std::size_t at = line.find(" offset "), partial = line.find(" bytes after ");
        const bool left = line.find(" is not counted in the store ") != std::string::npos ||
                          line.find(" writes it afresh") != std::string::npos;
        const bool cut = partial != std::string::npos && at != std::string::npos &&
                         (std::stoll(line.substr(at + 8)) +
                          std::stoll(line.substr(line.rfind(' ', partial - 1)))) %
                                 sysconf(_SC_PAGESIZE) ==
                             0;
        now.uncounted = now.uncounted || left;
        now.cut = now.cut || cut;
        if (line.find(": note: ") == std::string::npos && line.rfind("lpdump: ", 0) != 0 &&
            (complete || !(left || cut))) {
            return testing::AssertionFailure() << "LP " << lp + 1 << ": " << verified.out;
        }
    }
    if (verified.status != (now.uncounted || now.cut ? 1 : 0) || now.counted < was.counted ||
        (complete && now.counted != was.counted + kPerRun)) {
        return testing::AssertionFailure() << "LP " << lp + 1 << ": totalRecCnt " << now.counted
                                           << ", before this run " << was.counted << "\n"
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
        const pid_t pid = box.Start(args);
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
        ASSERT_TRUE(Check(box, lp, profiles[lp], status == 0)) << where;
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
