// record_cost: what one generated record costs, next to the work it cannot avoid.
//
//   record_cost [DAYS]   (default 100; records of 1-minute intervals and 16 channels)
//
// For the same N = DAYS x 1444 records it measures, in a scratch directory under TMPDIR:
//   (a) the file I/O each record must do: open its day file for appending, write the record's
//       112 bytes, close (a new day file with its header every 1444 records, as profill does);
//   (b) the store of five integer leaves in one transaction through the CDS client, and the
//       store's close at the end;
//   (c) profill -i 1 -t DAYS -c end to end, output to /dev/null;
//   (d) (a) and (b) in one loop, as profill interleaves them;
//   (e) lpload end to end, loading the table lpdump --csv writes of the run of (c) into the
//       profile cleared by profill -c -s, output to /dev/null;
// and prints microseconds per record of each, the ratios c / (a + b), c / d and e / c, and the
// peak resident memory of profill for 1 day and for DAYS days and of lpload for DAYS days.
// Everything runs on one processor; the measures alternate over seven runs and each figure is the
// median (the spread of c / (a + b) is shown). Wall-clock time is what a user waits; processor time
// (user and system) is less disturbed by other work on the machine.
#include <fcntl.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "cds/toolkit.h"

namespace {

constexpr int kRecordsPerDay = 1444;  // 1440 / 1 + 4
constexpr std::size_t kRecordSize = 16 + 6 * 16;
constexpr int kRepeats = 7;

// Processor time (user and system) of this process, or of its waited-for children, in seconds.
double CpuSeconds(int who) {
    struct rusage usage = {};
    getrusage(who, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           1e-6 * static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec);
}

// Wall-clock and processor seconds of one measure.
struct Cost {
    double wall;
    double cpu;
};

double Seconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void Fail(const std::string& what) {
    fprintf(stderr, "record_cost: %s: %s\n", what.c_str(), strerror(errno));
    exit(1);
}

// Runs program with args and the environment of this process, output to the file out; returns its
// peak resident memory in KiB.
long Run(const std::vector<std::string>& args, const char* out = "/dev/null") {
    std::vector<char*> argv;
    for (const std::string& arg : args) {
        argv.push_back(const_cast<char*>(arg.c_str()));
    }
    argv.push_back(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        const int fd = open(out, O_WRONLY | O_CREAT | O_TRUNC, 0666);
        dup2(fd, 1);
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    struct rusage usage = {};
    if (pid < 0 || wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0) {
        fprintf(stderr, "record_cost: %s failed (status %d)\n", args[0].c_str(), status);
        exit(1);
    }
    return usage.ru_maxrss;
}

// The unavoidable work of n records: with files, open the day file for appending, write the
// record, close (a); with leaves, store five integer leaves in one transaction on the store named
// by CDS_STORE, and close the store at the end as profill does (b); with both, the two in one
// loop, as profill interleaves them (d).
Cost Floor(const std::string& dir, long n, bool files, bool leaves) {
    char header[32] = "ZOLV Load Prof";
    header[15] = '1';
    header[19] = 1;
    char record[kRecordSize];
    memset(record, 0x5a, sizeof record);
    std::vector<std::string> paths;
    for (const char* name : {"currentDay", "fileRecCnt", "totalRecCnt", "dayCnt", "daysDeleted"}) {
        paths.push_back(std::string("/LP/1/") + name + "/Value");
    }
    std::vector<toolkit::CElement> values(5);
    const std::vector<pcd_tribool_t> flags(5, 1);
    std::vector<api_status_t> statuses;
    const double start = Seconds(), cpu = CpuSeconds(RUSAGE_SELF);
    {
        toolkit::CCds cds(leaves ? pcd_init() : nullptr);
        if (leaves && cds.handle() == nullptr) {
            Fail("open the CDS store");
        }
        for (long i = 0; i < n; ++i) {
            if (files) {
                const std::string path = dir + "/" + std::to_string(i / kRecordsPerDay + 1) + ".lp";
                const bool first = i % kRecordsPerDay == 0;
                const int fd =
                    open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | (first ? O_TRUNC : 0), 0666);
                if (fd < 0 || (first && write(fd, header, sizeof header) != sizeof header) ||
                    write(fd, record, sizeof record) != sizeof record || close(fd) != 0) {
                    Fail("write " + path);
                }
            }
            if (leaves) {
                for (std::size_t k = 0; k < values.size(); ++k) {
                    values[k].set_int(static_cast<int32_t>(i + static_cast<long>(k)));
                }
                if (cds.set_leaves(paths, values, flags, statuses, "") != 0) {
                    Fail("store");
                }
            }
        }
    }
    return {Seconds() - start, CpuSeconds(RUSAGE_SELF) - cpu};
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// A run of profill that stopped early would look fast: the store must count all its records.
void ExpectRecords(long n) {
    toolkit::CCds cds;
    api_status_t status = 0;
    toolkit::CElement total;
    element_property_t property = 0;
    if (cds.get_leaf("/LP/1/totalRecCnt/Value", status, total, property) != 0 || status != 1 ||
        total.to_int() != n) {
        fprintf(stderr, "record_cost: profill stored %d records, not %ld\n", total.to_int(), n);
        exit(1);
    }
}

}  // namespace

int main(int argc, char** argv) {
    const int days = argc > 1 ? atoi(argv[1]) : 100;
    if (days < 1 || days > 1500) {
        fputs("usage: record_cost [DAYS (1-1500)]\n", stderr);
        return 2;
    }
    const long n = static_cast<long>(days) * kRecordsPerDay;
    // One processor for every measure and for profill: on a machine of several, the measures
    // otherwise land on processors of different speed or load, run by run.
    cpu_set_t one;
    CPU_ZERO(&one);
    CPU_SET(sched_getcpu(), &one);
    sched_setaffinity(0, sizeof one, &one);
    const char* tmp = getenv("TMPDIR");
    std::string dir = std::string(tmp != nullptr ? tmp : "/tmp") + "/record_cost-XXXXXX";
    if (mkdtemp(&dir[0]) == nullptr) {
        Fail("mkdtemp");
    }
    const std::string jffs = dir + "/jffs", store = dir + "/store.mdb";
    if (mkdir(jffs.c_str(), 0777) != 0 || mkdir((jffs + "/lp1").c_str(), 0777) != 0) {
        Fail("mkdir " + jffs);
    }
    setenv("PROFILL_JFFS", jffs.c_str(), 1);
    setenv("CDS_STORE", store.c_str(), 1);
    Run({CDSCTL_BIN, "init"});
    Run({CDSCTL_BIN, "load", DEVICE_CDS});

    // The measures alternate, so that a quiet or a busy moment of the machine falls on
    // all of them; each figure is the median of its runs.
    std::vector<double> a, b, c, d, e, ratio, aCpu, bCpu, cCpu, dCpu, eCpu;
    long rssMany = 0, rssLoad = 0;
    const std::string table = dir + "/table.csv";
    for (int i = 0; i < kRepeats; ++i) {
        const Cost file = Floor(jffs + "/lp1", n, true, false);
        const Cost leaves = Floor(jffs + "/lp1", n, false, true);
        const Cost both = Floor(jffs + "/lp1", n, true, true);
        a.push_back(file.wall);
        aCpu.push_back(file.cpu);
        b.push_back(leaves.wall);
        bCpu.push_back(leaves.cpu);
        d.push_back(both.wall);
        dCpu.push_back(both.cpu);
        const double start = Seconds(), cpu = CpuSeconds(RUSAGE_CHILDREN);
        rssMany =
            std::max(rssMany, Run({PROFILL_BIN, "-i", "1", "-t", std::to_string(days), "-c"}));
        c.push_back(Seconds() - start);
        cCpu.push_back(CpuSeconds(RUSAGE_CHILDREN) - cpu);
        ExpectRecords(n);
        ratio.push_back(c.back() / (a.back() + b.back()));
        if (i == 0) {
            Run({LPDUMP_BIN, "--csv"}, table.c_str());
        }
        Run({PROFILL_BIN, "-c", "-s"});
        const double loadStart = Seconds(), loadCpu = CpuSeconds(RUSAGE_CHILDREN);
        rssLoad = std::max(rssLoad, Run({LPLOAD_BIN, table}));
        e.push_back(Seconds() - loadStart);
        eCpu.push_back(CpuSeconds(RUSAGE_CHILDREN) - loadCpu);
        ExpectRecords(n);
    }
    const long rssOne = Run({PROFILL_BIN, "-i", "1", "-t", "1", "-c"});
    ExpectRecords(kRecordsPerDay);
    Run({"/bin/rm", "-rf", dir});

    const double us = 1e6 / static_cast<double>(n);
    printf("records: %ld (%d days of 1-minute intervals, 16 channels), median of %d runs\n", n,
           days, kRepeats);
    printf("                            wall       processor (us/record)\n");
    printf("(a) open, append, close:   %7.2f    %7.2f\n", Median(a) * us, Median(aCpu) * us);
    printf("(b) store of five leaves:  %7.2f    %7.2f\n", Median(b) * us, Median(bCpu) * us);
    printf("(c) profill end to end:    %7.2f    %7.2f\n", Median(c) * us, Median(cCpu) * us);
    std::sort(ratio.begin(), ratio.end());
    printf("c / (a + b):               %7.3f    %7.3f   (wall: runs %.3f to %.3f)\n", Median(ratio),
           Median(cCpu) / (Median(aCpu) + Median(bCpu)), ratio.front(), ratio.back());
    printf("(d) (a) and (b) in one loop: %5.2f    %7.2f\n", Median(d) * us, Median(dCpu) * us);
    printf("c / d:                     %7.3f    %7.3f\n", Median(c) / Median(d),
           Median(cCpu) / Median(dCpu));
    printf("(e) lpload end to end:     %7.2f    %7.2f\n", Median(e) * us, Median(eCpu) * us);
    printf("e / c:                     %7.3f    %7.3f   (target for processor: at most 1.3)\n",
           Median(e) / Median(c), Median(eCpu) / Median(cCpu));
    printf("peak RSS of profill, 1 day:       %6ld KiB\n", rssOne);
    printf("peak RSS of profill, %d days: %6ld KiB\n", days, rssMany);
    printf("peak RSS of lpload, %d days:  %6ld KiB\n", days, rssLoad);
    return 0;
}
