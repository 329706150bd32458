// lpload: appends the records of a CSV table, as lpdump --csv writes it, to a load profile: into
// its day files and its bookkeeping in the CDS, record by record as a generation run of profill
// writes its own, so that profill, lpdump and the device take the result as a run's.
#include <getopt.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "cds/toolkit.h"
#include "driver/debug_log.h"
#include "driver/generation_run.h"
#include "driver/run_options.h"
#include "load_table.h"
#include "lpfile/lp_dirs.h"
#include "lpfile/lp_file.h"
#include "lpfile/lp_lock.h"
#include "lpstate/lp_file_info.h"
#include "profile_store.h"
#include "record_time.h"

namespace {

enum ExitStatus { kLoaded = 0, kRefused = 1, kUsage = 2, kCutShort = 3 };

const char kUsageText[] =
    "usage: lpload [-2] [--dry-run] [--renumber] [FILE|-]\n"
    "       lpload -h | --help | --version\n"
    "Appends the records of a CSV table, as lpdump --csv writes it, to LP 1 (LP 2 with -2).\n"
    "  -2            load LP 2\n"
    "  --dry-run     check the table and say what it would load; change nothing\n"
    "  --renumber    number the rows on from the profile's last record\n"
    "  -h, --help    print this text\n"
    "  --version     print the version\n"
    "FILE ('-' or none: standard input) has a header row; the columns record, start, end, kind,\n"
    "flags_K and value_K are read by name. Every row is checked before a record is written.\n"
    "Exit status:\n"
    "  0  loaded (--dry-run: it could be)\n"
    "  1  refused, nothing written\n"
    "  2  a usage error\n"
    "  3  stopped part way; the records before the stop are loaded and counted\n"
    "See lpload(1).\n";

struct LoadOptions {
    int lp = 0;
    bool dryRun = false;
    bool renumber = false;
    bool help = false;
    bool version = false;
    std::string file = "-";
};

// False after saying what is wrong with the command line and the usage, on standard error.
bool ParseLoadOptions(int argc, char** argv, LoadOptions* options) {
    enum { kDryRun = 256, kRenumber, kVersion };
    static const option kLong[] = {{"dry-run", no_argument, nullptr, kDryRun},
                                   {"renumber", no_argument, nullptr, kRenumber},
                                   {"help", no_argument, nullptr, 'h'},
                                   {"version", no_argument, nullptr, kVersion},
                                   {nullptr, 0, nullptr, 0}};
    opterr = 0;
    int c = 0;
    std::string wrong;
    while (wrong.empty() && (c = getopt_long(argc, argv, "2h", kLong, nullptr)) != -1) {
        switch (c) {
            case '2':
                options->lp = 1;
                break;
            case 'h':
                options->help = true;
                break;
            case kDryRun:
                options->dryRun = true;
                break;
            case kRenumber:
                options->renumber = true;
                break;
            case kVersion:
                options->version = true;
                break;
            default:
                wrong = std::string("unknown option ") + argv[optind - 1];
                break;
        }
    }
    if (wrong.empty() && argc - optind > 1) {
        wrong = "one table at a time: " + std::string(argv[optind + 1]) + " is one too many";
    }
    if (!wrong.empty()) {
        fprintf(stderr, "lpload: %s\n%s", wrong.c_str(), kUsageText);
        return false;
    }
    options->file = optind < argc ? argv[optind] : "-";
    return true;
}

// Where the first n records of a table go, from the file information info before them.
struct Span {
    long records = 0;
    int32_t firstDay = 0;
    int32_t lastDay = 0;
    uint32_t from = 0;
    uint32_t to = 0;
};

// The day files the first n records of table go into, counted as the load counts them, and the
// time from the earliest start to the latest end among them.
Span Plan(const LoadTable& table, LP_FILE_INFO info, long n) {
    Span span;
    span.records = n;
    for (long i = 0; i < n; ++i) {
        const DayFileRecord record = table.Record(i);
        CountLpRecord(&info, static_cast<int32_t>(RecordsPerFile(record)));
        info.currentDay = info.currentDay == 0 ? 1 : info.currentDay;  // the writer starts file 1
        span.firstDay = i == 0 ? info.currentDay : span.firstDay;
        span.lastDay = info.currentDay;
        span.from = i == 0 ? record.start : std::min(span.from, record.start);
        span.to = i == 0 ? record.end : std::max(span.to, record.end);
    }
    return span;
}

// "96 records into LP 2, day files 1 to 2, from ... to ..."; "40 of 96 records ..." for a part.
std::string Described(const Span& span, long total, int lp) {
    std::string text = span.records == total
                           ? Count(span.records, "record")
                           : std::to_string(span.records) + " of " + Count(total, "record");
    text += " into LP " + std::to_string(lp + 1);
    if (span.records == 0) {
        return text;
    }
    text += span.firstDay == span.lastDay ? ", day file " + std::to_string(span.firstDay)
                                          : ", day files " + std::to_string(span.firstDay) +
                                                " to " + std::to_string(span.lastDay);
    return text + ", from " + FormatLpTime(span.from, true) + " to " + FormatLpTime(span.to, true);
}

// Writes the records of table into LP index lp as a run writes its own: the file information
// counts each record, the writer puts it into its day file, and the bookkeeping is stored before
// the next. Stops between records on a signal. Returns the exit status after its last line.
int Load(toolkit::CCds& cds, int lp, const LoadTable& table) {
    LP_FILE_INFO& info = g_lP[lp].fileInfo;
    const LP_FILE_INFO before = info;
    long loaded = 0;
    std::string failure;
    for (long i = 0; i < table.count && __signal_exit == 0 && failure.empty(); ++i) {
        const DayFileRecord record = table.Record(i);
        LP_RECORD written = WrittenRecord(record);
        const bool newFile = CountLpRecord(&info, static_cast<int32_t>(RecordsPerFile(record)));
        int status = WriteLpRecord(&written, lp, newFile);
        if (status != 0) {
            failure = "record " + std::to_string(record.number) +
                      " could not be written (WriteLpRecord returned " + std::to_string(status) +
                      ")";
        } else if ((status = WriteFileInfoToCDS(cds, lp)) != 0) {
            failure = "record " + std::to_string(record.number) +
                      " is in its day file, but its count could not be stored " +
                      "(WriteFileInfoToCDS returned " + std::to_string(status) +
                      "); the next run or load removes it";
        } else {
            ++loaded;
        }
    }
    fflush(stdout);
    if (!failure.empty()) {
        fprintf(stderr, "lpload: %s\n", failure.c_str());
    }
    const std::string described = Described(Plan(table, before, loaded), table.count, lp);
    if (loaded == table.count) {
        printf("lpload: loaded %s\n", described.c_str());
        return kLoaded;
    }
    printf("lpload: %sloaded %s\n", failure.empty() ? "stopped by a signal: " : "",
           described.c_str());
    return kCutShort;
}

// Reads the profile's channel count and file information from the store into g_lP and checks
// its day files as a run does before its first record. False after saying why not.
bool ReadProfile(toolkit::CCds& cds, int lp, LP_UNCOUNTED_CUTS* cuts) {
    ProfileLeaves leaves;
    if (!ReadProfileLeaves(cds, lp, LeafUse::kRepair, &leaves)) {
        return false;
    }
    LP_STATE& state = g_lP[lp];
    // As profill's reader does, a larger count is cut to the channels a record holds.
    state.numChannels = std::min(leaves.numChannels, kMaxChannels);
    state.fileInfo = leaves.counters;
    // The interval comes from the table, not the store.
    g_profileIndex = lp;
    g_useLocalInterval = true;
    return CheckLpRunSettings(cuts);
}

}  // namespace

int main(int argc, char** argv) {
    g_programName = "lpload";
    g_refusalStream = stderr;
    TakeStandardDescriptors();
    RetryInterruptedStdoutWrites();
    LoadOptions options;
    if (!ParseLoadOptions(argc, argv, &options)) {
        return kUsage;
    }
    if (options.help || options.version) {
        fputs(options.help ? kUsageText : "lpload " PROFILL_VERSION "\n", stdout);
        return kLoaded;
    }
    if (!SetFlashRoot(getenv("PROFILL_JFFS"))) {
        fputs("lpload: PROFILL_JFFS is not a flash root profill would take\n", stderr);
        return kRefused;
    }
    const bool fromStdin = options.file == "-";
    FILE* in = fromStdin ? stdin : fopen(options.file.c_str(), "r");
    if (in == nullptr) {
        fprintf(stderr, "lpload: cannot open %s: %s\n", options.file.c_str(), strerror(errno));
        return kRefused;
    }
    register_handlers();
    toolkit::CCds cds;  // opens the store
    const int lp = options.lp;
    LP_UNCOUNTED_CUTS cuts;
    LoadTable table;
    int status = kRefused;
    if ((options.dryRun || TakeLpLock(lp)) && ReadProfile(cds, lp, &cuts) &&
        ReadLoadTable(in, fromStdin ? "stdin" : options.file,
                      {lp, g_lP[lp].numChannels, g_lP[lp].fileInfo.totalRecCnt, options.renumber},
                      &table)) {
        if (options.dryRun) {
            printf("lpload: would load %s\n",
                   Described(Plan(table, g_lP[lp].fileInfo, table.count), table.count, lp).c_str());
            status = kLoaded;
        } else if (CutUncountedLpBytes(lp, cuts)) {
            status = Load(cds, lp, table);
        }
    }
    return status;
}
