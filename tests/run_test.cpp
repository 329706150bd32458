// Whole generation runs of the real binary on a seeded store and flash root: set-up lines, day
// files and their records, the file bookkeeping left in the store, a stop by SIGINT, write errors
// and profiles that cannot be generated. Runs that compare exact times freeze the clock with
// faketime; the others check what holds whenever they run.

#include <fcntl.h>
#include <lmdb.h>
#include <poll.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <ctime>
#include <iterator>
#include <sstream>

#include "lpfile/lp_dirs.h"
#include "lpfile/lp_lock.h"
#include "sandbox.h"

namespace {

// Odd, so the floats of a record are not 4-byte aligned; RecordBytes writes out three.
constexpr int kChannels = 3;
constexpr std::size_t kRecordSize = 16 + 6 * kChannels;
const char kBanner[] = "Load Profile Add input (profill) version 0.0.01 started.\n";

// LP 1 with kChannels channels at interval minutes, and its five file-information counters.
std::string Seed(int interval, const std::string& info = "0 0 0 0 0") {
    const std::string lp = "/Q7M/LoadPrf/1/";
    std::ostringstream seed;
    seed << lp << "NumChannels/Value = " << kChannels << "\n"
         << lp << "IntLength/Value = " << interval << "\n";
    for (const char* leaf : {"ExtIntSync", "FrzMark", "DataSetting1", "DataSetting2"}) {
        seed << lp << leaf << "/Value = 0\n";
    }
    for (int c = 1; c <= kChannels; ++c) {
        for (const char* leaf :
             {"Type", "Quantity", "Phase", "Direction", "Records", "KmValue", "UnComp"}) {
            seed << lp << "Chan/" << c << "/" << leaf << "/Value = 1\n";
        }
    }
    std::istringstream values(info);
    std::istream_iterator<std::string> value(values);
    for (const char* name : kCounters) {
        seed << "/LP/1/" << name << "/Value = " << *value++ << "\n";
    }
    return seed.str();
}

// The table profill prints of the counters of LP 1 (as Sandbox::Info gives them).
std::string InfoTable(const std::string& info) {
    return "Load Profile 1 File Information Configuration\nCurrent\tFile\tTotal\tTotl\tDays   \n"
           "Day    \tRecs\tRecs \tDays\tDeleted\n-------\t----\t-----\t----\t-------\n" +
           Replace(info, " ", "\t") + "\n\n\n";
}

bool EndsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// A record as a day file holds it: the four fixed values, then the flags 1, 2 and 4 and the values
// 10000.0f, 20000.0f and 30000.0f of the channels.
std::string RecordBytes(uint32_t number, uint32_t start, uint32_t end, uint32_t kind) {
    return Be32(number) + Be32(start) + Be32(end) + Be32(kind) + std::string("\0\1\0\2\0\4", 6) +
           Be32(0x461C4000) + Be32(0x469C4000) + Be32(0x46EA6000);
}

// profill with args (split at blanks) under TZ=tz; with a frozen local time through faketime.
ProgramResult Profill(const Sandbox& box, const std::string& args, const std::string& frozen = "",
                      const std::string& tz = "XST+5") {
    std::istringstream words(args);
    std::vector<std::string> argv{std::istream_iterator<std::string>(words), {}};
    std::vector<std::string> env = box.Env();
    // libfaketime is preloaded ahead of the sanitizer runtime; other builds ignore ASAN_OPTIONS.
    env.insert(env.end(), {"TZ=" + tz, "ASAN_OPTIONS=verify_asan_link_order=0:detect_leaks=1"});
    if (frozen.empty()) {
        return RunProgram(PROFILL_BIN, argv, env);
    }
    // A plain timestamp only sets the start of a running clock; with -f it stands still.
    argv.insert(argv.begin(), {"-f", frozen, PROFILL_BIN});
    return RunProgram("/usr/bin/faketime", argv, env);
}

// Day files 1, 2 ... of LP 1 up to the first missing one: all records, and the count per file.
// The records are numbered on from 1, of kind and secs long, and each starts where the one before
// ended, except record restart (the first of a later run).
struct DayFiles {
    std::vector<DayRecord> records;
    std::vector<std::size_t> counts;
};
DayFiles ReadDayFiles(const Sandbox& box, uint32_t secs, uint32_t kind, uint32_t restart = 1) {
    DayFiles files;
    for (int n = 1;; ++n) {
        const DayFile file = ReadDayFile(box.DayFile(0, n), kChannels);
        if (!file.exists) {
            return files;
        }
        EXPECT_EQ(file.header, DayFileHeader(0)) << "file " << n;
        EXPECT_EQ(file.trailing, 0u) << "file " << n;
        files.counts.push_back(file.records.size());
        for (const DayRecord& record : file.records) {
            SCOPED_TRACE("record " + std::to_string(record.number));
            EXPECT_EQ(record.number, files.records.size() + 1);
            EXPECT_EQ(record.end - record.start, secs);
            EXPECT_EQ(record.kind, kind);
            if (!files.records.empty() && record.number != restart) {
                EXPECT_EQ(record.start, files.records.back().end);
            }
            files.records.push_back(record);
        }
    }
}

// 2012-03-04 05:06:07 at UTC-5 is 10:06:07 UTC, 1330855567; near the epoch the span is placed
// half a span after now (86400 + 86400 -> 86400 + 3 x 86400). Record 1 starts where the last line
// says the range does.
const struct {
    const char *clock, *tz;  // local time and zone
    const char* dates;       // the set-up lines that depend on the clock
} kFrozenCases[] = {
    {"2012-03-04 05:06:07", "XST+5",
     "Total Seconds = 172800; 1330855567\nDate range is 1330682767 -> 1330855567\n"
     "This LP Date range is 03-02-2012  05:06:07 -> 03-04-2012  05:06:07   "
     "(1330682767 -> 1330855567)\n"},
    {"1970-01-02 00:00:00", "UTC",
     "Total Seconds = 172800; 86400\nCurrent data is < totalSecs. (172800 -> 345600)\n"
     "This LP Date range is 01-03-1970  00:00:00 -> 01-05-1970  00:00:00   (172800 -> 345600)\n"},
};

TEST(RunTest, ClearedTwoDaysOfQuarterHoursUnderAFrozenClock) {
    for (const auto& c : kFrozenCases) {
        SCOPED_TRACE(c.clock);
        Sandbox box(Seed(15, "3 1 200 2 0"));
        WriteFile(box.DayFile(0, 1), "stale");
        WriteFile(box.DayFile(0, 4), "stale");
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
        EXPECT_EQ(box.Info(0), "3 0 200 2 0");

        EXPECT_EQ(ReadDayFiles(box, 900, 1).counts, (std::vector<std::size_t>{99, 100, 1}));
        // The header and record 1 start file 1, record 100 starts file 2.
        const uint32_t start =
            static_cast<uint32_t>(strtoul(strrchr(c.dates, '(') + 1, nullptr, 10));
        EXPECT_EQ(ReadFile(box.DayFile(0, 1)).substr(0, 32 + kRecordSize),
                  DayFileHeader(0) + RecordBytes(1, start, start + 900, 1));
        EXPECT_EQ(ReadFile(box.DayFile(0, 2)).substr(32, kRecordSize),
                  RecordBytes(100, start + 99 * 900, start + 100 * 900, 1));
    }
}

// clang-format off
const struct {
    const char* args;
    int cdsInterval;
    const char* perFile;        // the records-per-file line
    uint32_t secs, span, kind;  // of a record, of the run (ending at local midnight for kind 2)
    std::vector<std::size_t> counts;
    const char* info;
} kSpanCases[] = {
    {"-i 1440 -t 3", 15, "There will be 1 record per file. every 1 days", 86400, 3 * 86400, 2,
     {1, 1, 1}, "3 0 3 3 0"},
    {"-i 10080 -t 2", 15, "There will be 1 record per file. every 7 days", 604800, 1209600, 2,
     {1, 1}, "2 0 2 2 0"},
    {"-i 43800 -t 1", 15, "There will be 1 record per file. every 30 days", 2628000, 2592000, 2,
     {1}, "1 0 1 1 0"},
    {"", 15, "There should be a minimum of 100 records per file.(1440/15)", 900, 172800, 1,
     {99, 100, 1}, "3 0 200 2 0"},
    {"-t 2", 60, "There should be a minimum of 28 records per file.(1440/60)", 3600, 172800, 1,
     {27, 28, 1}, "3 0 56 2 0"},
    {"-t 2", 1440, "There should be a minimum of 5 records per file.(1440/1440)", 86400, 172800, 1,
     {4, 5, 1}, "3 0 10 2 0"},
    // The longest interval whose seconds fit in 32 bits still runs: 1440 / it + 4 records.
    {"-t 1", 35791394, "There should be a minimum of 4 records per file.(1440/35791394)",
     2147483640, 86400, 1, {3, 1}, "2 0 4 1 0"},
};
// clang-format on

TEST(RunTest, IntervalSetsKindRecordsPerFileAndSpan) {
    for (const auto& c : kSpanCases) {
        SCOPED_TRACE(std::string(c.args) + " at CDS interval " + std::to_string(c.cdsInterval));
        Sandbox box(Seed(c.cdsInterval));
        const time_t before = time(nullptr);
        const ProgramResult result = Profill(box, c.args);  // TZ=XST+5: local midnight is 05:00 UTC
        const time_t after = time(nullptr);
        EXPECT_EQ(result.status, 0) << result.err;
        EXPECT_TRUE(EndsWith(result.out, InfoTable(c.info))) << result.out;
        EXPECT_EQ(box.Info(0), c.info);

        const DayFiles files = ReadDayFiles(box, c.secs, c.kind);
        EXPECT_EQ(files.counts, c.counts);
        ASSERT_FALSE(files.records.empty());
        const uint32_t now = files.records[0].start + c.span;
        const std::string args = c.args;
        EXPECT_NE(result.out.find(
                      "profill: main starting a LP recording with an interval of " +
                      std::to_string(c.secs) + " seconds\n" + c.perFile + "\nAuto generating " +
                      (args.empty() ? "2" : args.substr(args.find("-t ") + 3)) +
                      " days of records; " + std::to_string(files.records.size()) +
                      " total records\nTotal Seconds = " + std::to_string(c.span) + "; " +
                      std::to_string(now) + "\nDate range is " + std::to_string(now - c.span) +
                      " -> " + std::to_string(now) + "\n"),
                  std::string::npos)
            << result.out;
        // The moment of the run, or the local midnight (05:00 UTC) that began its day.
        if (c.kind == 2) {
            EXPECT_EQ(now % 86400, 5u * 3600);
        }
        EXPECT_GE(c.kind == 2 ? now + 86399 : now, before);
        EXPECT_LE(now, after);
    }
}

// An earlier run's day files (records per file), maybe the head of an uncounted record after the
// last one, and what a run of one more day makes of them.
const struct {
    const char* info;
    std::vector<std::size_t> before;
    std::size_t uncounted;  // bytes of that record
    std::vector<std::size_t> after;
    const char* infoAfter;
} kContinueCases[] = {
    {"2 0 100 1 0", {99, 1}, 0, {99, 100, 1}, "3 0 200 2 0"},
    {"2 0 100 1 0", {99, 1}, 10, {99, 100, 1}, "3 0 200 2 0"},
    {"2 0 100 1 0", {99, 1}, kRecordSize, {99, 100, 1}, "3 0 200 2 0"},
    // File 2 is full: the run's first record starts file 3.
    {"2 99 199 1 0", {99, 100}, 0, {99, 100, 100}, "3 99 299 2 0"},
};

TEST(RunTest, RunWithoutClearContinuesTheBookkeeping) {
    const uint32_t kOld = 1000000000;  // start of record 1 of the earlier run
    for (const auto& c : kContinueCases) {
        SCOPED_TRACE(std::string(c.info) + ", uncounted " + std::to_string(c.uncounted));
        Sandbox box(Seed(15, c.info));
        std::vector<std::string> kept;
        uint32_t next = 1;
        for (const std::size_t count : c.before) {
            kept.push_back(DayFileHeader(0));
            for (std::size_t i = 0; i < count; ++i, ++next) {
                kept.back() += RecordBytes(next, kOld + 900 * (next - 1), kOld + 900 * next, 1);
            }
            WriteFile(box.DayFile(0, static_cast<int>(kept.size())), kept.back());
        }
        const std::string current = box.DayFile(0, static_cast<int>(kept.size()));
        WriteFile(current, kept.back() + RecordBytes(next, 0, 900, 1).substr(0, c.uncounted));
        const time_t before = time(nullptr);
        const ProgramResult result = Profill(box, "-i 15 -t 1");
        const time_t after = time(nullptr);
        EXPECT_EQ(result.status, 0) << result.err;
        // Only what a record's head left after the last counted one is removed, and that is shown.
        const std::string removed = "profill: removed " + std::to_string(c.uncounted) +
                                    " bytes at the end of " + current +
                                    " that its file information does not count\n";
        EXPECT_EQ(result.out.find(removed) != std::string::npos, c.uncounted != 0) << result.out;
        EXPECT_EQ(Replace(result.out, removed, "").find("profill: removed"), std::string::npos);
        EXPECT_EQ(box.Info(0), c.infoAfter);

        for (std::size_t n = 0; n < kept.size(); ++n) {  // what the earlier run wrote stays
            const std::string bytes = ReadFile(box.DayFile(0, static_cast<int>(n + 1)));
            EXPECT_EQ(bytes.substr(0, kept[n].size()), kept[n]) << n + 1;
        }
        const DayFiles files = ReadDayFiles(box, 900, 1, next);
        ASSERT_EQ(files.counts, c.after);
        EXPECT_GE(files.records[next - 1].start + 86400, before);
        EXPECT_LE(files.records[next - 1].start + 86400, after);
    }
}

// Fills the pipe's write end fd until it would block, and returns what it wrote.
std::string FillPipe(int fd) {
    const int flags = fcntl(fd, F_GETFL);
    fcntl(fd, F_SETFL, flags | O_NONBLOCK);
    const std::string block(4096, '#');
    std::string filler;
    while (write(fd, block.data(), block.size()) > 0) {
        filler += block;
    }
    fcntl(fd, F_SETFL, flags);
    return filler;
}

// Reads fd to its end; fails when nothing comes for two minutes.
std::string Drain(int fd, pid_t pid, const char* signalAt = nullptr, int signal = 0) {
    std::string out;
    for (pollfd ready = {fd, POLLIN, 0};;) {
        if (poll(&ready, 1, 120000) <= 0) {
            kill(pid, SIGKILL);
            ADD_FAILURE() << "profill went silent";
        }
        char buffer[4096];
        const ssize_t got = read(fd, buffer, sizeof buffer);
        if (got <= 0) {
            return out;
        }
        out.append(buffer, static_cast<std::size_t>(got));
        if (signalAt != nullptr && out.find(signalAt) != std::string::npos) {
            kill(pid, signal);
            signalAt = nullptr;
        }
    }
}

// A stop request by signal: once the progress line of record 100 has been read, or while the run
// is blocked writing to a full pipe, where the interrupted write must lose nothing.
const struct {
    int signal;
    const char* debug;    // -d value
    const char* waitFor;  // read the output up to this text, then signal; empty: a full pipe
    bool fullPipe;        // the signal comes while the pipe is full, before anything is read
} kStops[] = {
    {SIGINT, "0", "profill: recordsWritten = 100\n", false},
    {SIGTERM, "2", "", true},
};

TEST(RunTest, SignalEndsTheRunBetweenStoredRecords) {
    for (const auto& c : kStops) {
        SCOPED_TRACE(c.signal);
        Sandbox box(Seed(15));
        int fds[2];
        ASSERT_EQ(pipe2(fds, O_CLOEXEC), 0);
        const std::string filler = c.fullPipe ? FillPipe(fds[1]) : "";
        // 1500 days of minutes: far more than are written before the signal arrives.
        const pid_t pid = box.Start({"-i", "1", "-t", "1500", "-c", "-d", c.debug}, fds[1]);
        close(fds[1]);
        if (c.fullPipe) {
            usleep(300000);  // the run blocks on its first flush, after the set-up lines
            ASSERT_EQ(kill(pid, c.signal), 0);
            usleep(200000);  // the handler runs before anything is read
        }
        const std::string out = Drain(fds[0], pid, c.fullPipe ? nullptr : c.waitFor, c.signal);
        close(fds[0]);
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;

        // The files hold exactly the records the store counts, all of them when the signal came
        // once the progress line had been read, only the first when it came during the set-up.
        const std::string info = box.Info(0);
        std::size_t currentDay = 0, fileRecCnt = 0, totalRecCnt = 0;
        ASSERT_EQ(sscanf(info.c_str(), "%zu %zu %zu", &currentDay, &fileRecCnt, &totalRecCnt), 3);
        const DayFiles files = ReadDayFiles(box, 60, 1);
        EXPECT_EQ(files.records.size(), totalRecCnt);
        if (!c.fullPipe) {
            EXPECT_GE(totalRecCnt, 100u);
            EXPECT_LT(totalRecCnt, 1500u * 1444u);
        } else {
            EXPECT_EQ(totalRecCnt, 1u);
        }
        ASSERT_EQ(files.counts.size(), currentDay);
        ASSERT_GE(currentDay, 1u);
        EXPECT_EQ(files.counts.back(), currentDay == 1 ? fileRecCnt : fileRecCnt + 1);
        // The output is whole: the handler's line, every record's debug line and the closing
        // table that shows what the store holds.
        const std::string tail = out.substr(out.size() - std::min<std::size_t>(out.size(), 2000));
        const std::string handler = "sig_handler: RECEIVIED " + std::to_string(c.signal) + "\n";
        EXPECT_NE(out.find(handler), std::string::npos) << tail;
        EXPECT_TRUE(EndsWith(out, InfoTable(info))) << tail;
        // The handler's line can come first: it was written the moment the reader made room.
        EXPECT_EQ(Replace(out, handler, "").find(kBanner), filler.size())
            << out.substr(filler.size(), 300);
        if (*c.debug == '2') {
            // The handler's line may land inside a buffered line.
            const std::string lines = Replace(out, handler, "");
            const std::string shown = "writing record bytes 34\n";
            EXPECT_EQ((lines.size() - Replace(lines, shown, "").size()) / shown.size(),
                      totalRecCnt);
        }
    }
}

// What precedes the records is out before the first record is stored (which here waits: the
// test holds the store's write transaction), and a closed standard output does not land in a
// file the run opens.
TEST(RunTest, OutputBeforeTheRecordsIsFlushedAndAClosedOutputStaysClosed) {
    Sandbox box(Seed(15));
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
    std::string out;
    for (pollfd ready = {fds[0], POLLIN, 0};
         out.find("This LP Date range") == std::string::npos && poll(&ready, 1, 5000) > 0;) {
        char buffer[4096];
        const ssize_t got = read(fds[0], buffer, sizeof buffer);
        if (got <= 0) {
            break;  // the run ended without the line
        }
        out.append(buffer, static_cast<std::size_t>(got));
    }
    EXPECT_NE(out.find("This LP Date range"), std::string::npos) << out;
    mdb_txn_abort(txn);  // lets the run go on
    mdb_env_close(store);
    out += Drain(fds[0], pid);
    close(fds[0]);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(EndsWith(out, InfoTable("2 0 100 1 0"))) << out;

    Sandbox closed(Seed(15));
    const std::string env = "PROFILL_JFFS=" + closed.root + " CDS_STORE=" + closed.store;
    EXPECT_EQ(system(("env " + env + " " + PROFILL_BIN + " -i 15 -t 1 -c >&-").c_str()), 0);
    EXPECT_EQ(closed.Info(0), "2 0 100 1 0");
    EXPECT_EQ(ReadFile(closed.store + "-lock").find("Load Profile"), std::string::npos);
    EXPECT_EQ(ReadDayFiles(closed, 900, 1).records.size(), 100u);
}

// Gives this test process a mount namespace of its own, so that the file systems a case mounts
// are seen by the runs it starts and vanish with it; false where that is not allowed.
bool OwnMountNamespace() {
    static const bool own =
        unshare(CLONE_NEWNS) == 0 && mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
    return own;
}

// The profile's directory on a small file system of its own, as a device's flash may be: out of
// inodes, out of space or read-only.
const struct {
    const char *info, *args;
    const char* mountOptions;  // of the tmpfs mounted on the profile's directory
    uint32_t records;          // in day file 1 before the run
    bool readOnly;             // remounted read-only once day file 1 is there
    const char* line;          // the writer's error line; <root> is the flash root
    int error;
    const char *table, *stored;  // the closing table, and what the store keeps
} kErrorCases[] = {
    {"3 1 200 2 0", "-i 15 -t 1 -c", "nr_inodes=1", 0, false,
     "[CreateLpFile]Error creating LP file: <root>/lp1/1.lp\n\r", 2, "0 1 1 0 0", "0 0 0 0 0"},
    {"1 5 5 0 0", "-i 15 -t 1", "size=4k", 5, true,
     "[WriteLpRecord]Error opening LP file: <root>/lp1/1.lp\n\r", 3, "1 6 6 0 0", "1 5 5 0 0"},
    // Record 120 crosses the end of the file system's only page.
    {"1 119 119 0 0", "-i 1 -t 1", "size=4k", 119, false,
     "[WriteLpRecord]Error closing LP file: <root>/lp1/1.lp\n\r", 4, "1 120 120 0 0",
     "1 119 119 0 0"},
};

TEST(RunTest, WriteErrorEndsTheRunWithoutStoringTheRecord) {
    if (!OwnMountNamespace()) {
        GTEST_SKIP() << "no mount namespace of its own: " << strerror(errno);
    }
    for (const auto& c : kErrorCases) {
        SCOPED_TRACE(std::string(c.mountOptions) + " " + c.args);
        Sandbox box(Seed(15, c.info));
        const std::string dir = box.root + "/lp1";
        ASSERT_EQ(mount("tmpfs", dir.c_str(), "tmpfs", 0, c.mountOptions), 0) << strerror(errno);
        std::string file = DayFileHeader(0);
        for (uint32_t n = 1; n <= c.records; ++n) {
            file += RecordBytes(n, 60 * n, 60 * n + 60, 1);
        }
        if (c.records > 0) {
            WriteFile(box.DayFile(0, 1), file);
        }
        if (c.readOnly) {
            ASSERT_EQ(mount("tmpfs", dir.c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, c.mountOptions),
                      0);
        }
        const ProgramResult result = Profill(box, c.args);
        EXPECT_EQ(result.status, 0) << result.err;
        const std::string tail = Replace(c.line, "<root>", box.root) +
                                 "main: WriteLpRecord returned error: " + std::to_string(c.error) +
                                 "\n" + InfoTable(c.table);
        EXPECT_TRUE(EndsWith(result.out, tail)) << result.out;
        EXPECT_EQ(box.Info(0), c.stored);
        // What is left of the record that failed: nothing, or the head that fitted.
        EXPECT_EQ(ReadFile(box.DayFile(0, 1)).substr(0, file.size()),
                  c.records > 0 ? file : std::string());
        umount2(dir.c_str(), MNT_DETACH);
    }
}

const struct {
    int interval;
    const char *info, *args;
    const char* refusal;  // <root> is the flash root; none: the interval cannot be generated
} kRefusals[] = {
    {0, "3 1 200 2 0", "-t 1", nullptr},
    {0, "3 1 200 2 0", "-c", nullptr},
    {-5, "3 1 200 2 0", "-t 3 -c", nullptr},
    {35791395, "3 1 200 2 0", "-c", nullptr},
    {15, "-1 1 200 2 0", "-t 1",
     "LP 1 has a current day file of -1 in the CDS, which cannot be continued; -c starts the "
     "profile afresh\n"},
    {15, "3 1 200 2 0", "-i 5",
     "LP 1's current day file <root>/lp1/3.lp does not start with LP 1's day-file header, but "
     "the CDS counts records up to number 200 (fileRecCnt 1, dayCnt 2); lpdump --repair brings "
     "the CDS in line with the files; -c starts the profile afresh\n"},
};

TEST(RunTest, ProfileThatCannotBeGeneratedIsRefusedBeforeAnythingIsTouched) {
    for (const auto& c : kRefusals) {
        SCOPED_TRACE(std::string(c.info) + " " + c.args);
        Sandbox box(Seed(c.interval, c.info));
        WriteFile(box.DayFile(0, 3), std::string(31, '3'));  // one byte short of a header
        const ProgramResult result = Profill(box, c.args);
        EXPECT_EQ(result.status, 1);
        const std::string refusal =
            c.refusal ? Replace(c.refusal, "<root>", box.root)
                      : "LP 1 has an interval length of " + std::to_string(c.interval) +
                            " minutes in the CDS, which cannot be generated; give an interval "
                            "with -i (1-60, 1440, 10080 or 43800)\n";
        EXPECT_EQ(result.out, kBanner +
                                  std::string(c.args[1] == 'i' ? "interval length is 5\n" : "") +
                                  InfoTable(c.info) + "profill: " + refusal);
        EXPECT_EQ(ReadFile(box.DayFile(0, 3)), std::string(31, '3'));
        EXPECT_NE(access(box.DayFile(0, 4).c_str(), F_OK), 0);
        EXPECT_EQ(box.Info(0), c.info);
    }
}

// Holds LP 1 as a writer: a run (without -c, which a kill could interrupt between its removal
// and its zeros) whose output fills a pipe that nobody reads, so that it waits with the lock
// taken until the pipe is drained; returns its pid and the pipe's read end in *out.
pid_t StartHeldRun(const Sandbox& box, int* out) {
    int fds[2];
    EXPECT_EQ(pipe2(fds, O_CLOEXEC), 0);
    const pid_t pid = box.Start({"-i", "15", "-t", "30", "-d", "2"}, fds[1]);
    close(fds[1]);
    *out = fds[0];
    SetFlashRoot(box.root.c_str());
    for (int tries = 0; LpLockHolder(0) != pid && tries < 6000; ++tries) {
        usleep(10000);
    }
    EXPECT_EQ(LpLockHolder(0), pid);
    return pid;
}

TEST(RunTest, OneWriterPerProfile) {
    Sandbox box(Seed(15) +
                Replace(Replace(Seed(15), "LoadPrf/1/", "LoadPrf/2/"), "/LP/1/", "/LP/2/"));
    int out = -1;
    const pid_t holder = StartHeldRun(box, &out);
    const std::string busy = "profill: another run (pid " + std::to_string(holder) +
                             ") is writing LP 1; nothing was changed\n";
    const struct {
        const char* args;
        int status;
        std::string tail;  // of the output
    } kCases[] = {
        {"-i 15 -t 1", 1, "interval length is 15\n" + busy},
        {"-c -s", 1, busy},
        {"-s", 0, "\n\n\n"},  // the counters of the run going on
        {"-i 15 -t 1 -2", 0, Replace(InfoTable("2 0 100 1 0"), "Profile 1", "Profile 2")},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.args);
        const ProgramResult result = Profill(box, c.args);
        EXPECT_EQ(result.status, c.status);
        EXPECT_TRUE(EndsWith(result.out, c.tail)) << result.out;
    }
    Drain(out, holder);
    close(out);
    int status = 0;
    ASSERT_EQ(waitpid(holder, &status, 0), holder);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(box.Info(0), "31 0 3000 30 0");

    // A holder killed at any instant takes its lock along; the next run cuts what it left.
    const pid_t killed = StartHeldRun(box, &out);
    kill(killed, SIGKILL);
    ASSERT_EQ(waitpid(killed, &status, 0), killed);
    close(out);
    EXPECT_EQ(Profill(box, "-i 15 -t 1").status, 0);
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--verify", "--continued"}, {"--verify", "--continued", "-2"}}) {
        const ProgramResult verify = RunProgram(LPDUMP_BIN, args, box.Env());
        EXPECT_EQ(verify.status, 0) << verify.out;
    }

    // Without its directory (flash not mounted) a profile is not touched, also not by -c.
    ASSERT_EQ(system(("rm -r " + box.root + "/lp1").c_str()), 0);
    const std::string counted = box.Info(0);
    for (const char* args : {"-i 15 -t 1", "-c"}) {
        const ProgramResult result = Profill(box, args);
        EXPECT_EQ(result.status, 1);
        EXPECT_TRUE(EndsWith(result.out, "profill: LP 1's directory " + box.root +
                                             "/lp1/ is missing (is the flash mounted?); nothing "
                                             "was changed\n"))
            << result.out;
        EXPECT_EQ(box.Info(0), counted) << args;
    }
    SetFlashRoot(nullptr);
}

}  // namespace
