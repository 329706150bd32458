// profill killed with SIGKILL at random instants of its runs. After every kill the store still
// opens, and the day files of both profiles hold exactly the records their bookkeeping counts, or
// one more that was written but not yet counted: never fewer, never part of a record or of a
// header. Each run starts from what the killed run before it left, so every trial also tests that
// a run continues from the stored bookkeeping.
//
// PROFILL_CRASH_TRIALS sets the number of trials (60), PROFILL_CRASH_SEED the seed of the kill
// delays (a seed repeats the delays, not the timing of profill itself); scripts/crash-soak.sh runs
// thousands of trials.
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <random>
#include <sstream>
#include <thread>

#include "sandbox.h"

namespace {

using Clock = std::chrono::steady_clock;

// Every run is -i 60 -t 40: 28 hourly records per day file, so that kills often land near the
// start of a new file, and 40 files' worth of records per run.
constexpr long long kPerFile = 28;
constexpr long long kPerRun = 40 * kPerFile;

// The day file of record n: file 1 holds records 1 to 27, file k > 1 holds (k - 1) x 28 to
// k x 28 - 1.
long long FileOf(long long n) {
    return 1 + n / kPerFile;
}

template <typename... Parts>
std::string Text(const Parts&... parts) {
    std::ostringstream text;
    (text << ... << parts);
    return text.str();
}

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

struct Profile {
    int channels;
    long long counted = 0;  // totalRecCnt in the store
    long long last = 0;     // the number of the last record in the day files
    long long files = 0;    // the number of day files
    bool cut = false;       // the newest one ends in the head of a record cut at a page boundary
};

// What is wrong with the day files of LP index lp, given now.counted records, or ""; the rest of
// now receives what the files hold.
std::string CheckFiles(const Sandbox& box, int lp, Profile& now) {
    for (const auto& entry : std::filesystem::directory_iterator(Text(box.root, "/lp", lp + 1))) {
        const std::string name = entry.path().filename().string();
        const long long n = std::atoll(name.c_str());
        if (n < 1 || name != Text(n, ".lp")) {
            return Text(entry.path().string(), " is no day file");
        }
        now.files = std::max(now.files, n);
    }
    // A file found whole is read again only once its size or time or the record before it has
    // changed, which keeps long soaks quick.
    static std::map<std::string, std::pair<std::string, long long>> whole;
    const std::size_t recordSize = 16 + 6 * static_cast<std::size_t>(now.channels);
    for (long long n = 1; n <= now.files; ++n) {
        const std::string path = box.DayFile(lp, static_cast<int>(n));
        struct stat status = {};
        stat(path.c_str(), &status);
        const std::string stamp = Text(status.st_size, " ", status.st_mtim.tv_sec, ".",
                                       status.st_mtim.tv_nsec, " ", now.last);
        if (whole.count(path) != 0 && whole[path].first == stamp) {
            now.last = whole[path].second;
            continue;
        }
        const DayFile file = ReadDayFile(path, now.channels);
        const std::string header = DayFileHeader(lp);
        if (!file.exists) {
            return Text(path, " is missing, but ", now.files, ".lp exists");
        } else if (file.header.empty() && n == now.files && n == FileOf(now.counted + 1) &&
                   (now.counted == 0 || (now.counted + 1) % kPerFile == 0)) {
            continue;  // a kill between creating the file for the next record and writing it
        } else if (file.header != header) {
            return Text(
                path, ": the header (", file.header.size(),
                " bytes) differs from a day file's at offset ",
                std::mismatch(file.header.begin(), file.header.end(), header.begin()).first -
                    file.header.begin(),
                "; only a newest file that record ", now.counted + 1, " would start may be empty");
        }
        for (std::size_t i = 0; i < file.records.size(); ++i) {
            const DayRecord& record = file.records[i];
            if (record.number != now.last + 1 || FileOf(record.number) != n || record.kind != 1 ||
                record.end - record.start != 3600) {
                return Text(path, " offset ", 32 + i * recordSize, ": record ", record.number,
                            " of kind ", record.kind, " and ", record.end - record.start,
                            " seconds; the next is record ", now.last + 1,
                            ", of kind 1 and 3600 seconds, in ", FileOf(now.last + 1), ".lp");
            }
            now.last = record.number;
        }
        // The kernel copies a write into the file a page at a time and stops between pages for a
        // fatal signal, so a kill can leave the head of the uncounted record, up to a page
        // boundary, after the last counted one in the newest file. The next run cuts it.
        const std::size_t end = 32 + file.records.size() * recordSize;
        now.cut = file.trailing != 0 && n == now.files && now.last == now.counted &&
                  (end + file.trailing) % static_cast<std::size_t>(sysconf(_SC_PAGESIZE)) == 0 &&
                  ReadFile(path).substr(end, 4) ==
                      Be32(static_cast<uint32_t>(now.counted + 1)).substr(0, file.trailing);
        if (file.trailing != 0 && !now.cut) {
            return Text(path, " offset ", end, ": ", file.trailing,
                        " bytes of a partial record after record ", now.last);
        } else if (file.records.empty()) {
            return Text(path, " holds a header and no record");
        }
        whole[path] = {stamp, now.last};
    }
    return "";
}

// Whether the store and the day files of both profiles are sound, and if not what is wrong.
// profiles holds both as the previous check found them and receives them as found now; ran is the
// profile that profill just ran on, complete whether that run ended by itself.
testing::AssertionResult Check(const Sandbox& box, Profile (&profiles)[2], int ran, bool complete) {
    for (int lp = 0; lp < 2; ++lp) {
        const Profile was = profiles[lp];
        const std::string info = box.Info(lp);
        Profile now{was.channels, -1};
        sscanf(info.c_str(), "%*s %*s %lld", &now.counted);
        // The counters that as many records from zero leave (see FileOf).
        const std::string needed =
            Text(now.counted == 0 ? 0 : FileOf(now.counted), " ", now.counted % kPerFile, " ",
                 now.counted, " ", now.counted / kPerFile, " 0");
        std::string problem = info == needed ? CheckFiles(box, lp, now)
                                             : Text("totalRecCnt ", now.counted, " needs ", needed);
        if (problem.empty() &&
            ((lp != ran &&
              (now.counted != was.counted || now.last != was.last || now.files != was.files)) ||
             (now.last != now.counted &&
              (now.last != now.counted + 1 || (lp == ran && complete))) ||
             (lp == ran &&
              (now.counted < was.counted || (complete && now.counted != was.counted + kPerRun))))) {
            problem = Text("the store counts ", now.counted, " records, ", now.files,
                           " day files hold 1 to ", now.last, "; before this run of LP ", ran + 1,
                           complete ? ", which ended by itself," : "", " they were ", was.counted,
                           ", ", was.files, " and 1 to ", was.last);
        }
        if (!problem.empty()) {
            return testing::AssertionFailure()
                   << "LP " << lp + 1 << ": " << problem
                   << "\nthe store holds (currentDay fileRecCnt totalRecCnt dayCnt daysDeleted) "
                   << info;
        }
        profiles[lp] = now;
    }
    return testing::AssertionSuccess();
}

// lpdump --verify on the profile finds nothing but what a kill leaves: a record written and not
// counted, the day file it started, or the head of a record cut at a page.
testing::AssertionResult VerifiesButForTheKill(const Sandbox& box, int lp) {
    std::vector<std::string> args = {"--verify", "--continued", "-2"};
    args.resize(2 + static_cast<std::size_t>(lp));
    const ProgramResult verified = RunProgram(LPDUMP_BIN, args, box.Env());
    std::istringstream lines(verified.out);
    std::string line, verdict;
    for (std::getline(lines, verdict); std::getline(lines, line);) {
        if (verdict.find(": note: ") == std::string::npos &&
            verdict.find(" is not counted in the store ") == std::string::npos &&
            verdict.find(" writes it afresh") == std::string::npos &&
            verdict.find(" bytes after the last whole record ") == std::string::npos &&
            verdict.rfind("lpdump: 0 more discrepancies and ", 0) != 0) {
            return testing::AssertionFailure() << "lpdump --verify found " << verdict << "\n"
                                               << verified.out;
        }
        verdict = line;
    }
    if (verified.status != 0 && verified.status != 1) {
        return testing::AssertionFailure() << "lpdump --verify: " << verified.out << verified.err;
    }
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
    // file written yet.
    Sandbox box(ReadFile(CDSCTL_EXAMPLE));
    ASSERT_FALSE(testing::Test::HasFailure());
    Profile profiles[2] = {{box.Leaf("/Q7M/LoadPrf/1/NumChannels/Value")},
                           {box.Leaf("/Q7M/LoadPrf/2/NumChannels/Value")}};
    // One complete run of each profile; its duration bounds the kill instants.
    std::chrono::microseconds runTime[2];
    for (int lp = 0; lp < 2; ++lp) {
        const Clock::time_point start = Clock::now();
        const int status = RunProfill(box, lp, Clock::duration(-1));
        runTime[lp] = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start);
        ASSERT_EQ(status, 0) << "the complete run of LP " << lp + 1;
        ASSERT_TRUE(Check(box, profiles, lp, true)) << "the complete run of LP " << lp + 1;
    }

    int ended = 0, idle = 0, uncounted = 0, inLoop = 0, cuts = 0;
    for (int trial = 1; trial <= trials; ++trial) {
        const int lp = (trial - 1) % 2;
        const long long counted = profiles[lp].counted;
        const std::chrono::microseconds delay(
            std::uniform_int_distribution<long long>(0, runTime[lp].count() - 1)(random));
        const int status = RunProfill(box, lp, delay);
        const std::string where =
            Text("seed ", seed, ", trial ", trial, ": LP ", lp + 1, " killed after ", delay.count(),
                 " of ", runTime[lp].count(), " us");
        ASSERT_TRUE(status == 0 || (WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL))
            << where << ", but it ended with wait status " << status;
        ASSERT_TRUE(Check(box, profiles, lp, status == 0)) << where;
        ASSERT_TRUE(VerifiesButForTheKill(box, lp)) << where;
        // A run killed between the write and the store of its first record counts as both idle
        // and uncounted.
        const bool stored = profiles[lp].counted != counted;
        const bool left = profiles[lp].last == profiles[lp].counted + 1;
        ended += status == 0;
        idle += !stored;
        uncounted += left;
        inLoop += status != 0 && stored && !left;
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
        trials, ended, idle, uncounted, inLoop, cuts);

    // Without a kill, a run continues from the last trial's state and leaves no record uncounted.
    for (int lp = 0; lp < 2; ++lp) {
        ASSERT_EQ(RunProfill(box, lp, Clock::duration(-1)), 0) << "LP " << lp + 1;
        ASSERT_TRUE(Check(box, profiles, lp, true))
            << "seed " << seed << ", the complete run of LP " << lp + 1 << " after the trials";
        // Every record is where the bookkeeping of all those runs puts it; each run that
        // continued the profile started its times afresh.
        std::vector<std::string> verify = {"--verify", "--continued", "-2"};
        verify.resize(2 + static_cast<std::size_t>(lp));
        const ProgramResult verified = RunProgram(LPDUMP_BIN, verify, box.Env());
        EXPECT_EQ(verified.status, 0) << "seed " << seed << "\n" << verified.out;
    }
}

}  // namespace
