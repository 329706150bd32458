// Whole generation runs of the real binary on a seeded store and flash root: set-up lines, day
// files and their records, the file bookkeeping left in the store, a stop by SIGINT, write errors
// and profiles that cannot be generated. Runs that compare exact times freeze the clock with
// faketime; the others check what holds whenever they run.

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <ctime>
#include <numeric>
#include <sstream>

#include "sandbox.h"

namespace {

constexpr int kChannels = 3;  // odd, so the floats of a record are not 4-byte aligned
constexpr std::size_t kRecordSize = 16 + 6 * kChannels;
const char kBanner[] = "Load Profile Add input (profill) version 0.0.01 started.\n";

// LP 1 with kChannels channels at interval minutes, and its five file-information counters.
std::string Seed(int interval, const std::string& info = "0 0 0 0 0") {
    std::string seed = "/Q7M/LoadPrf/1/NumChannels/Value = " + std::to_string(kChannels) +
                       "\n/Q7M/LoadPrf/1/IntLength/Value = " + std::to_string(interval) + "\n";
    for (const char* leaf : {"ExtIntSync", "FrzMark", "DataSetting1", "DataSetting2"}) {
        seed += "/Q7M/LoadPrf/1/" + std::string(leaf) + "/Value = 0\n";
    }
    for (int c = 1; c <= kChannels; ++c) {
        for (const char* leaf :
             {"Type", "Quantity", "Phase", "Direction", "Records", "KmValue", "UnComp"}) {
            seed += "/Q7M/LoadPrf/1/Chan/" + std::to_string(c) + "/" + leaf + "/Value = 1\n";
        }
    }
    std::istringstream values(info);
    for (const char* name : {"currentDay", "fileRecCnt", "totalRecCnt", "dayCnt", "daysDeleted"}) {
        std::string value;
        values >> value;
        seed += "/LP/1/" + std::string(name) + "/Value = " + value + "\n";
    }
    return seed;
}

// The five counters of LP 1 in the store, blank-separated.
std::string Info(const Sandbox& box) {
    std::string info;
    for (const char* name : {"currentDay", "fileRecCnt", "totalRecCnt", "dayCnt", "daysDeleted"}) {
        info += (info.empty() ? "" : " ") +
                std::to_string(box.Leaf("/LP/1/" + std::string(name) + "/Value"));
    }
    return info;
}

std::string InfoTable(const std::string& info) {
    return "Load Profile 1 File Information Configuration\nCurrent\tFile\tTotal\tTotl\tDays   \n"
           "Day    \tRecs\tRecs \tDays\tDeleted\n-------\t----\t-----\t----\t-------\n" +
           Replace(info, " ", "\t") + "\n\n\n";
}

bool EndsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

std::string Be32(uint32_t value) {
    return {static_cast<char>(value >> 24), static_cast<char>(value >> 16),
            static_cast<char>(value >> 8), static_cast<char>(value)};
}

// A record as a day file holds it: the four fixed values, then flags 1, 2, 4 ... and the values
// 10000, 20000 ... of the channels.
std::string RecordBytes(uint32_t number, uint32_t start, uint32_t end, uint32_t kind) {
    std::string bytes = Be32(number) + Be32(start) + Be32(end) + Be32(kind);
    for (int i = 0; i < kChannels; ++i) {
        bytes += Be32(1u << i).substr(2);
    }
    for (int i = 0; i < kChannels; ++i) {
        const float value = 10000.0f * static_cast<float>(i + 1);
        uint32_t bits = 0;
        memcpy(&bits, &value, sizeof bits);
        bytes += Be32(bits);
    }
    return bytes;
}

// profill with args (split at blanks) under TZ=tz; with a frozen local time through faketime.
ProgramResult Profill(const Sandbox& box, const std::string& args, const std::string& frozen = "",
                      const std::string& tz = "XST+5") {
    std::vector<std::string> argv;
    std::istringstream words(args);
    for (std::string word; words >> word;) {
        argv.push_back(word);
    }
    std::vector<std::string> env = box.Env();
    env.push_back("TZ=" + tz);
    // libfaketime is preloaded ahead of the sanitizer runtime; other builds ignore this.
    env.push_back("ASAN_OPTIONS=verify_asan_link_order=0:detect_leaks=1");
    if (frozen.empty()) {
        return RunProgram(PROFILL_BIN, argv, env);
    }
    // A plain timestamp only sets the start of a running clock; with -f it stands still.
    argv.insert(argv.begin(), {"-f", frozen, PROFILL_BIN});
    return RunProgram("/usr/bin/faketime", argv, env);
}

// Day files 1, 2 ... of LP 1 up to the first missing one: all records, and the count per file.
struct DayFiles {
    std::vector<DayRecord> records;
    std::vector<std::size_t> counts;
};
DayFiles ReadDayFiles(const Sandbox& box) {
    DayFiles files;
    for (int n = 1;; ++n) {
        const DayFile file = ReadDayFile(box.DayFile(0, n), kChannels);
        if (!file.exists) {
            return files;
        }
        EXPECT_EQ(file.header, DayFileHeader(0)) << "file " << n;
        EXPECT_EQ(file.trailing, 0u) << "file " << n;
        files.counts.push_back(file.records.size());
        files.records.insert(files.records.end(), file.records.begin(), file.records.end());
    }
}

// Records numbered on from first, of kind, each secs long and starting where the last one ended.
void ExpectContiguous(const std::vector<DayRecord>& records, uint32_t first, uint32_t secs,
                      uint32_t kind) {
    for (std::size_t i = 0; i < records.size(); ++i) {
        SCOPED_TRACE("record " + std::to_string(records[i].number));
        EXPECT_EQ(records[i].number, first + i);
        EXPECT_EQ(records[i].end - records[i].start, secs);
        EXPECT_EQ(records[i].kind, kind);
        if (i > 0) {
            EXPECT_EQ(records[i].start, records[i - 1].end);
        }
    }
}

struct FrozenCase {
    const char* clock;  // local time
    const char* tz;
    const char* dates;  // the set-up lines that depend on the clock
    uint32_t start;     // of record 1
};

// 2012-03-04 05:06:07 at UTC-5 is 10:06:07 UTC, 1330855567; near the epoch the span is placed
// half a span after now (86400 + 86400 -> 86400 + 3 x 86400).
const FrozenCase kFrozenCases[] = {
    {"2012-03-04 05:06:07", "XST+5",
     "Total Seconds = 172800; 1330855567\nDate range is 1330682767 -> 1330855567\n"
     "This LP Date range is 03-02-2012  05:06:07 -> 03-04-2012  05:06:07   "
     "(1330682767 -> 1330855567)\n",
     1330682767},
    {"1970-01-02 00:00:00", "UTC",
     "Total Seconds = 172800; 86400\nCurrent data is < totalSecs. (172800 -> 345600)\n"
     "This LP Date range is 01-03-1970  00:00:00 -> 01-05-1970  00:00:00   (172800 -> 345600)\n",
     172800},
};

TEST(RunTest, ClearedTwoDaysOfQuarterHoursUnderAFrozenClock) {
    for (const FrozenCase& c : kFrozenCases) {
        SCOPED_TRACE(c.clock);
        Sandbox box(Seed(15, "3 1 200 2 0"));
        for (int n : {1, 4}) {
            WriteFile(box.DayFile(0, n), "stale");
        }
        const ProgramResult result = Profill(box, "-i 15 -t 2 -c", c.clock, c.tz);
        const std::string created = "[CreateLpFile]creating file " + box.root + "/lp1/";
        EXPECT_EQ(result.status, 0) << result.err;
        EXPECT_EQ(result.out,
                  kBanner + std::string("interval length is 15\n") + InfoTable("3 1 200 2 0") +
                      "profill: success for rm -Rf " + box.root +
                      "/lp1/*.lp\nClearing out file info in CDS before starting\n"
                      "profill: main starting a LP recording with an interval of 900 seconds\n"
                      "There should be a minimum of 100 records per file.(1440/15)\n"
                      "Auto generating 2 days of records; 200 total records\n" +
                      c.dates + created + "1.lp\n" + created +
                      "2.lp\nprofill: recordsWritten = 100\n" + created +
                      "3.lp\nprofill: recordsWritten = 200\n" + InfoTable("3 0 200 2 0"));
        EXPECT_EQ(Info(box), "3 0 200 2 0");

        const DayFiles files = ReadDayFiles(box);
        EXPECT_EQ(files.counts, (std::vector<std::size_t>{99, 100, 1}));
        ExpectContiguous(files.records, 1, 900, 1);
        ASSERT_EQ(files.records.size(), 200u);
        EXPECT_EQ(files.records[0].start, c.start);
        // The header and record 1 start file 1, record 100 starts file 2.
        const std::string first = ReadFile(box.DayFile(0, 1)).substr(0, 32 + kRecordSize);
        EXPECT_EQ(first, DayFileHeader(0) + RecordBytes(1, c.start, c.start + 900, 1));
        const std::string tenThousand("\x46\x1C\x40\x00", 4);  // 10000.0f
        EXPECT_EQ(first.substr(32 + 16 + 2 * kChannels, 4), tenThousand);
        EXPECT_EQ(ReadFile(box.DayFile(0, 2)).substr(32, kRecordSize),
                  RecordBytes(100, c.start + 99 * 900, c.start + 100 * 900, 1));
    }
}

struct SpanCase {
    const char* args;
    int cdsInterval;
    const char* perFile;  // the records-per-file line
    uint32_t secs;        // of one record
    uint32_t span;        // of the run
    uint32_t kind;
    bool midnight;  // the span ends at today's local midnight rather than now
    std::vector<std::size_t> counts;
    const char* info;
};

// clang-format off
const SpanCase kSpanCases[] = {
    {"-i 1440 -t 3", 15, "There will be 1 record per file. every 1 days", 86400, 3 * 86400, 2, true,
     {1, 1, 1}, "3 0 3 3 0"},
    {"-i 10080 -t 2", 15, "There will be 1 record per file. every 7 days", 604800, 1209600, 2,
     true, {1, 1}, "2 0 2 2 0"},
    {"-i 43800 -t 1", 15, "There will be 1 record per file. every 30 days", 2628000, 2592000, 2,
     true, {1}, "1 0 1 1 0"},
    {"", 15, "There should be a minimum of 100 records per file.(1440/15)", 900, 172800, 1, false,
     {99, 100, 1}, "3 0 200 2 0"},
    {"-t 2", 60, "There should be a minimum of 28 records per file.(1440/60)", 3600, 172800, 1,
     false, {27, 28, 1}, "3 0 56 2 0"},
    {"-t 2", 1440, "There should be a minimum of 5 records per file.(1440/1440)", 86400, 172800, 1,
     false, {4, 5, 1}, "3 0 10 2 0"},
};
// clang-format on

TEST(RunTest, IntervalSetsKindRecordsPerFileAndSpan) {
    for (const SpanCase& c : kSpanCases) {
        SCOPED_TRACE(std::string(c.args) + " at CDS interval " + std::to_string(c.cdsInterval));
        Sandbox box(Seed(c.cdsInterval));
        const time_t before = time(nullptr);
        const ProgramResult result = Profill(box, c.args);  // TZ=XST+5: local midnight is 05:00 UTC
        const time_t after = time(nullptr);
        EXPECT_EQ(result.status, 0) << result.err;

        const std::size_t at = result.out.find("Total Seconds = ");
        ASSERT_NE(at, std::string::npos) << result.out;
        const uint32_t now = static_cast<uint32_t>(
            strtoul(result.out.c_str() + result.out.find("; ", at) + 2, nullptr, 10));
        const std::size_t total = std::accumulate(c.counts.begin(), c.counts.end(), 0u);
        const std::string args = c.args;
        const std::string days = args.empty() ? "2" : args.substr(args.find("-t ") + 3);
        EXPECT_NE(result.out.find(
                      "profill: main starting a LP recording with an interval of " +
                      std::to_string(c.secs) + " seconds\n" + c.perFile + "\nAuto generating " +
                      days + " days of records; " + std::to_string(total) +
                      " total records\nTotal Seconds = " + std::to_string(c.span) + "; " +
                      std::to_string(now) + "\nDate range is " + std::to_string(now - c.span) +
                      " -> " + std::to_string(now) + "\n"),
                  std::string::npos)
            << result.out;
        // The moment of the run, or the local midnight (05:00 UTC) that began its day.
        if (c.midnight) {
            EXPECT_EQ(now % 86400, 5u * 3600);
        }
        EXPECT_GE(c.midnight ? now + 86399 : now, before);
        EXPECT_LE(now, after);

        const DayFiles files = ReadDayFiles(box);
        EXPECT_EQ(files.counts, c.counts);
        ExpectContiguous(files.records, 1, c.secs, c.kind);
        ASSERT_FALSE(files.records.empty());
        EXPECT_EQ(files.records[0].start, now - c.span);
        EXPECT_TRUE(EndsWith(result.out, InfoTable(c.info))) << result.out;
        EXPECT_EQ(Info(box), c.info);
    }
}

struct ContinueCase {
    const char* info;
    std::vector<uint32_t> before;  // the last record of each day file, numbered from 1
    std::size_t uncounted;  // bytes of the next record after the last one of the current file
    std::vector<uint32_t> after;
    const char* infoAfter;
};

const ContinueCase kContinueCases[] = {
    {"2 0 100 1 0", {99, 100}, 0, {99, 199, 200}, "3 0 200 2 0"},
    {"2 0 100 1 0", {99, 100}, 10, {99, 199, 200}, "3 0 200 2 0"},
    {"2 0 100 1 0", {99, 100}, kRecordSize, {99, 199, 200}, "3 0 200 2 0"},
    // File 2 is full: the run's first record starts file 3.
    {"2 99 199 1 0", {99, 199}, 0, {99, 199, 299}, "3 99 299 2 0"},
};

TEST(RunTest, RunWithoutClearContinuesTheBookkeeping) {
    const uint32_t kOld = 1000000000;  // start of record 1 of the earlier run
    for (const ContinueCase& c : kContinueCases) {
        SCOPED_TRACE(std::string(c.info) + ", uncounted " + std::to_string(c.uncounted));
        Sandbox box(Seed(15, c.info));
        std::vector<std::string> kept;
        for (uint32_t r = 1; r <= c.before.back(); ++r) {
            if (r == 1 || r == c.before[kept.size() - 1] + 1) {
                kept.push_back(DayFileHeader(0));
            }
            kept.back() += RecordBytes(r, kOld + 900 * (r - 1), kOld + 900 * r, 1);
        }
        for (std::size_t n = 0; n < kept.size(); ++n) {
            WriteFile(box.DayFile(0, static_cast<int>(n + 1)), kept[n]);
        }
        const int current = static_cast<int>(kept.size());
        const uint32_t next = c.before.back() + 1;
        WriteFile(box.DayFile(0, current),
                  kept.back() + RecordBytes(next, 0, 900, 1).substr(0, c.uncounted));
        const time_t before = time(nullptr);
        const ProgramResult result = Profill(box, "-i 15 -t 1");
        const time_t after = time(nullptr);
        EXPECT_EQ(result.status, 0) << result.err;
        const std::size_t at = result.out.find("profill: removed");
        EXPECT_EQ(at == std::string::npos
                      ? ""
                      : result.out.substr(at, result.out.find('\n', at) + 1 - at),
                  c.uncounted == 0 ? ""
                                   : "profill: removed " + std::to_string(c.uncounted) +
                                         " bytes at the end of " + box.DayFile(0, current) +
                                         " that its file information does not count\n");
        EXPECT_EQ(Info(box), c.infoAfter);

        const DayFiles files = ReadDayFiles(box);
        ASSERT_EQ(files.counts.size(), c.after.size());
        for (std::size_t n = 0; n < c.after.size(); ++n) {
            EXPECT_EQ(files.counts[n], c.after[n] - (n == 0 ? 0 : c.after[n - 1])) << n + 1;
            if (n < kept.size()) {  // what the earlier run wrote stays as it was
                const std::string bytes = ReadFile(box.DayFile(0, static_cast<int>(n + 1)));
                EXPECT_EQ(bytes.substr(0, kept[n].size()), kept[n]) << n + 1;
            }
        }
        ASSERT_EQ(files.records.size(), c.after.back());
        const std::vector<DayRecord> added(files.records.begin() + next - 1, files.records.end());
        ExpectContiguous(added, next, 900, 1);
        EXPECT_GE(added.front().start + 86400, before);
        EXPECT_LE(added.front().start + 86400, after);
    }
}

// A stop request by signal: either once the progress line of record 100 has been read, or while
// the run is blocked on a full pipe of debug lines (an interrupted write must not lose output).
const struct {
    int signal;
    const char* debug;    // -d value
    const char* waitFor;  // read the output up to this text first; empty: stall for a while
} kStops[] = {
    {SIGINT, "0", "profill: recordsWritten = 100\n"},
    {SIGTERM, "2", ""},
};

TEST(RunTest, SignalEndsTheRunBetweenStoredRecords) {
    for (const auto& c : kStops) {
        SCOPED_TRACE(c.signal);
        Sandbox box(Seed(15));
        int pipeFds[2];
        ASSERT_EQ(pipe(pipeFds), 0);
        const std::vector<std::string> env = box.Env();
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            const int null = open("/dev/null", O_RDWR);
            dup2(null, 0);
            dup2(null, 2);
            dup2(pipeFds[1], 1);
            close(pipeFds[0]);
            close(pipeFds[1]);
            // 1500 days of minutes: far more than are written before the signal arrives.
            execl("/usr/bin/env", "env", "-u", "PROFILL_JFFS", env[0].c_str(), env[1].c_str(),
                  PROFILL_BIN, "-i", "1", "-t", "1500", "-c", "-d", c.debug,
                  static_cast<char*>(nullptr));
            _exit(127);
        }
        close(pipeFds[1]);
        std::string out;
        bool signalled = false;
        if (*c.waitFor == '\0') {
            // The pipe fills with debug lines long before; the signal interrupts the blocked
            // write, and nothing is read until the handler has run.
            usleep(300000);
            kill(pid, c.signal);
            signalled = true;
            usleep(200000);
        }
        char buffer[4096];
        for (;;) {
            pollfd ready = {pipeFds[0], POLLIN, 0};
            if (poll(&ready, 1, 120000) <= 0) {
                kill(pid, SIGKILL);
                ADD_FAILURE() << "profill went silent";
            }
            const ssize_t got = read(pipeFds[0], buffer, sizeof buffer);
            if (got <= 0) {
                break;
            }
            out.append(buffer, static_cast<std::size_t>(got));
            if (!signalled && out.find(c.waitFor) != std::string::npos) {
                kill(pid, c.signal);
                signalled = true;
            }
        }
        close(pipeFds[0]);
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(signalled) << out;
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
        EXPECT_NE(out.find("sig_handler: RECEIVIED " + std::to_string(c.signal) + "\n"),
                  std::string::npos)
            << out.substr(out.size() > 2000 ? out.size() - 2000 : 0);

        // The closing table shows what the store holds, the files hold exactly those records and
        // the output shows every one of them.
        const std::string info = Info(box);
        EXPECT_TRUE(EndsWith(out, InfoTable(info)))
            << out.substr(out.size() > 2000 ? out.size() - 2000 : 0);
        std::size_t currentDay = 0, fileRecCnt = 0, totalRecCnt = 0;
        ASSERT_EQ(sscanf(info.c_str(), "%zu %zu %zu", &currentDay, &fileRecCnt, &totalRecCnt), 3);
        const DayFiles files = ReadDayFiles(box);
        ExpectContiguous(files.records, 1, 60, 1);
        EXPECT_EQ(files.records.size(), totalRecCnt);
        EXPECT_GE(totalRecCnt, 100u);
        EXPECT_LT(totalRecCnt, 1500u * 1444u);
        ASSERT_EQ(files.counts.size(), currentDay);
        ASSERT_GE(currentDay, 1u);
        EXPECT_EQ(files.counts.back(), currentDay == 1 ? fileRecCnt : fileRecCnt + 1);
        if (*c.debug == '2') {
            // The handler's line may land inside a buffered line.
            const std::string lines = Replace(out, "sig_handler: RECEIVIED 15\n", "");
            std::size_t shown = 0;
            for (std::size_t at = lines.find("writing record bytes 34\n"); at != std::string::npos;
                 at = lines.find("writing record bytes 34\n", at + 1)) {
                ++shown;
            }
            EXPECT_EQ(shown, totalRecCnt);
        }
    }
}

struct ErrorCase {
    const char* info;
    const char* args;
    const char* setUp;  // shell command; <root> is the flash root
    const char* lines;  // the writer's error line
    int error;
    const char* table;
    const char* stored;
};

const ErrorCase kErrorCases[] = {
    {"3 1 200 2 0", "-i 15 -t 1 -c", "rmdir <root>/lp1",
     "[CreateLpFile]Error creating LP file: <root>/lp1/1.lp\n\r", 2, "0 1 1 0 0", "0 0 0 0 0"},
    {"0 0 0 0 0", "-i 15 -t 1", "mkdir <root>/lp1/1.lp",
     "[CreateLpFile]Error creating LP file: <root>/lp1/1.lp\n\r", 2, "0 1 1 0 0", "0 0 0 0 0"},
    {"1 5 5 0 0", "-i 15 -t 1", "mkdir <root>/lp1/1.lp",
     "[WriteLpRecord]Error opening LP file: <root>/lp1/1.lp\n\r", 3, "1 6 6 0 0", "1 5 5 0 0"},
    {"1 5 5 0 0", "-i 15 -t 1", "ln -s /dev/full <root>/lp1/1.lp", "", 4, "1 6 6 0 0", "1 5 5 0 0"},
};

TEST(RunTest, WriteErrorEndsTheRunWithoutStoringTheRecord) {
    for (const ErrorCase& c : kErrorCases) {
        SCOPED_TRACE(std::string(c.setUp) + " " + c.args);
        Sandbox box(Seed(15, c.info));
        ASSERT_EQ(system(Replace(c.setUp, "<root>", box.root).c_str()), 0);
        const ProgramResult result = Profill(box, c.args);
        EXPECT_EQ(result.status, 0) << result.err;
        const std::string tail = Replace(c.lines, "<root>", box.root) +
                                 "main: WriteLpRecord returned error: " + std::to_string(c.error) +
                                 "\n" + InfoTable(c.table);
        EXPECT_TRUE(EndsWith(result.out, tail)) << result.out;
        EXPECT_EQ(Info(box), c.stored);
    }
}

const char kNoInterval[] =
    " minutes in the CDS, which cannot be generated; give an interval with -i (1-60, 1440, 10080 "
    "or 43800)\n";

const struct {
    int interval;
    const char* info;
    const char* args;
    std::string refusal;  // <root> is the flash root
} kRefusals[] = {
    {0, "3 1 200 2 0", "-t 1", "LP 1 has an interval length of 0" + std::string(kNoInterval)},
    {0, "3 1 200 2 0", "-c", "LP 1 has an interval length of 0" + std::string(kNoInterval)},
    {-5, "3 1 200 2 0", "-t 3 -c", "LP 1 has an interval length of -5" + std::string(kNoInterval)},
    {35791395, "3 1 200 2 0", "-c",
     "LP 1 has an interval length of 35791395" + std::string(kNoInterval)},
    {15, "-1 1 200 2 0", "-t 1",
     "LP 1 has a current day file of -1 in the CDS, which cannot be continued; -c starts the "
     "profile afresh\n"},
    {15, "4 1 200 2 0", "-i 5",
     "LP 1's current day file <root>/lp1/4.lp is missing or has no header, but the CDS counts "
     "records in it; -c starts the profile afresh\n"},
    {15, "3 1 200 2 0", "-i 5",
     "LP 1's current day file <root>/lp1/3.lp is missing or has no header, but the CDS counts "
     "records in it; -c starts the profile afresh\n"},
};

TEST(RunTest, ProfileThatCannotBeGeneratedIsRefusedBeforeAnythingIsTouched) {
    for (const auto& c : kRefusals) {
        SCOPED_TRACE(std::string(c.info) + " " + c.args);
        Sandbox box(Seed(c.interval, c.info));
        WriteFile(box.DayFile(0, 3), "day 3");
        const ProgramResult result = Profill(box, c.args);
        EXPECT_EQ(result.status, 1);
        const std::string echo = c.args[1] == 'i' ? "interval length is 5\n" : "";
        EXPECT_EQ(result.out, kBanner + echo + InfoTable(c.info) +
                                  "profill: " + Replace(c.refusal, "<root>", box.root));
        EXPECT_EQ(ReadFile(box.DayFile(0, 3)), "day 3");
        EXPECT_NE(access(box.DayFile(0, 4).c_str(), F_OK), 0);
        EXPECT_EQ(Info(box), c.info);
    }
    // The longest interval whose seconds fit in 32 bits still runs: 1440 / it + 4 records.
    Sandbox box(Seed(35791394));
    const ProgramResult result = Profill(box, "-t 1");
    EXPECT_EQ(result.status, 0);
    EXPECT_NE(result.out.find("interval of 2147483640 seconds\n"), std::string::npos) << result.out;
    EXPECT_EQ(Info(box), "2 0 4 1 0");
}

}  // namespace
