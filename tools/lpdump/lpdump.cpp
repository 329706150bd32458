// lpdump: shows the records of load-profile day files, sums up a whole profile, checks it
// against the file information that the CDS keeps for it, and brings that information in line
// with the day files. Its modes and the options each takes are a table in lpdump_options.cpp;
// man/lpdump.1 says what each prints and what each exit status means.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "cds/toolkit.h"
#include "day_file_dump.h"
#include "driver/run_options.h"
#include "lpdump_modes.h"
#include "lpdump_options.h"
#include "lpfile/lp_codec.h"
#include "lpfile/lp_dirs.h"
#include "lpfile/lp_lock.h"
#include "lpstate/lp_leaves.h"
#include "next_step.h"
#include "profile_json.h"
#include "profile_store.h"
#include "profile_summary.h"
#include "profile_verify.h"

std::string Pid(int holder) {
    return holder > 0 ? " (pid " + std::to_string(holder) + ")" : "";
}

bool SameCounters(const LpCounters& a, const LpCounters& b) {
    return std::all_of(std::begin(kLpCounters), std::end(kLpCounters),
                       [&](int32_t LpCounters::*counter) { return a.*counter == b.*counter; });
}

bool CannotRead(FILE* out, const char* doing, const LpPlacement& placement, bool exceptListing) {
    const std::string error = exceptListing ? "" : placement.ReadError();
    if (!error.empty()) {
        fprintf(out, "lpdump: cannot %s LP %d: cannot read %s\n", doing, placement.lp + 1,
                error.c_str());
    }
    return !error.empty();
}

namespace {

using Options = LpdumpOptions;

// Why what was read of LP lp may not be what its files and store held together: a run holds the
// profile's lock now, or stored other counters than before while they were read; "" when neither.
// *failed when the store could not be read again (the reason is printed).
std::string Unsteady(toolkit::CCds& cds, int lp, const LpCounters& before, bool* failed) {
    if (const int holder = LpLockHolder(lp)) {
        return "a run is writing it" + Pid(holder);
    }
    ProfileLeaves after;
    if (!ReadProfileLeaves(cds, lp, LeafUse::kRepair, &after)) {
        *failed = true;
        return "";
    }
    return SameCounters(before, after.counters) ? "" : "a run wrote it while it was being read";
}

// The first findings of each sort, then how many more there are.
void PrintFindings(const ProfileCheck& check) {
    std::size_t shown[2] = {0, 0}, hidden[2] = {0, 0};  // notes, discrepancies
    for (const Finding& finding : check.findings) {
        const int kind = check.IsDiscrepancy(finding) ? 1 : 0;
        if (shown[kind] == kMaxFindingsShown) {
            ++hidden[kind];
            continue;
        }
        ++shown[kind];
        printf("%s: %s%s\n", finding.where.c_str(),
               kind == 1 ? "" : "note: ", finding.text.c_str());
    }
    if (hidden[1] + hidden[0] > 0) {
        printf(
            "lpdump: %s and %s not shown\n",
            Count(static_cast<long>(hidden[1]), "more discrepancy", "more discrepancies").c_str(),
            Count(static_cast<long>(hidden[0]), "more note").c_str());
    }
}

int Verify(const Options& options) {
    const int n = options.lp + 1;
    // What is no finding goes where it cannot spoil the JSON.
    FILE* const say = options.json ? stderr : stdout;
    // A run writes each record before it stores its count: its last record cannot be told from
    // one that a killed run left, and the files and the store change under the check.
    if (const int holder = LpLockHolder(options.lp)) {
        fprintf(say, "lpdump: cannot verify LP %d now: a run is writing it%s\n", n,
                Pid(holder).c_str());
        return kExitFailure;
    }
    toolkit::CCds cds;
    ProfileLeaves leaves;
    if (!ReadProfileLeaves(cds, options.lp, LeafUse::kVerify, &leaves)) {
        return kExitFailure;
    }
    const LpCounters& counters = leaves.counters;
    const int channels = LpRecordChannels(leaves.numChannels);
    const LpPlacement placement = PlaceLpFiles(options.lp, channels, true);
    bool failed = false;
    const std::string moved = Unsteady(cds, options.lp, counters, &failed);
    if (!moved.empty()) {
        fprintf(say, "lpdump: cannot verify LP %d now: %s\n", n, moved.c_str());
    }
    if (failed || !moved.empty()) {
        return kExitFailure;
    }
    // A directory that is missing holds no day file, which the check names.
    if (CannotRead(say, "verify", placement, placement.listErrno == ENOENT)) {
        return kExitFailure;
    }
    const ProfileCheck check = VerifyLpProfile(placement, counters, options.strict);
    const int discrepancies = check.Discrepancies();
    const std::string next = NextStepText(placement, counters.currentDay, check, !options.json);
    if (options.json) {
        fputs(CheckJson(placement, check, next).c_str(), stdout);
        return discrepancies == 0 ? kExitOk : kExitBadFile;
    }
    PrintFindings(check);
    if (discrepancies == 0) {
        const int breaks = check.TimeBreaks();
        printf("lpdump: LP %d agrees with its store: %s, %s of %s%s\n", n,
               Count(check.files, "day file").c_str(), Count(check.records, "record").c_str(),
               Count(channels, "channel").c_str(),
               breaks == 0 ? "" : ("; " + Count(breaks, "break") + " in time, noted").c_str());
        return kExitOk;
    }
    printf("lpdump: LP %d does not agree with its store: %s in %s, %s; %s\n", n,
           Count(discrepancies, "discrepancy", "discrepancies").c_str(),
           Count(check.files, "day file").c_str(), Count(check.records, "record").c_str(),
           next.c_str());
    return kExitBadFile;
}

// Sums up the profile; its verdict is that of Verify, without the findings.
int Summarize(const Options& options) {
    toolkit::CCds cds;
    ProfileLeaves leaves;
    // A counter the store lacks leaves the files to sum up; only the verdict needs it.
    if (!ReadProfileLeaves(cds, options.lp, LeafUse::kRepair, &leaves)) {
        return kExitFailure;
    }
    const int channels = LpRecordChannels(leaves.numChannels);
    const LpPlacement placement = PlaceLpFiles(options.lp, channels, true);
    if (CannotRead(stderr, "sum up", placement, false)) {
        return kExitFailure;
    }
    ProfileSummary summary = SummarizeLpProfile(placement);
    summary.leaves = leaves;
    const bool* missing = std::find(leaves.present, leaves.present + 4, false);
    if (missing != leaves.present + 4) {
        summary.writer = "the store holds no " + LpFileInfoPrefix(options.lp + 1) +
                         kLpFileInfoLeaves[missing - leaves.present] + "; lpdump --repair" +
                         Lp2Option(options.lp) + " stores it from the day files";
    } else {
        const ProfileCheck check = VerifyLpProfile(placement, leaves.counters, false);
        summary.discrepancies = check.Discrepancies();
        summary.notes = static_cast<int>(check.findings.size()) - summary.discrepancies;
        summary.next = NextStepText(placement, leaves.counters.currentDay, check, false);
        bool failed = false;
        const std::string moved = Unsteady(cds, options.lp, leaves.counters, &failed);
        if (failed) {
            return kExitFailure;
        }
        summary.writer = moved;
    }
    if (options.json) {
        fputs(SummaryJson(placement, summary).c_str(), stdout);
    } else {
        PrintLpSummary(placement, summary);
    }
    return kExitOk;
}

int Dump(const Options& options) {
    std::vector<std::string> files = options.files;
    if (files.empty()) {
        // The profile's day files, in the order of their numbers.
        const LpPlacement placement = PlaceLpFiles(options.lp, 0, false);
        if (placement.listErrno != 0) {
            fprintf(stderr,
                    "lpdump: cannot list the day files of LP %d in %s: %s; set PROFILL_JFFS\n",
                    options.lp + 1, LpDirectory(options.lp), strerror(placement.listErrno));
            return kExitFailure;
        }
        for (const PlacedDayFile& file : placement.files) {
            files.push_back(file.path);
        }
    }
    return DumpDayFiles(files, options.channels, options.mode == kCsvMode);
}

}  // namespace

int main(int argc, char** argv) {
    g_programName = "lpdump";
    Options options;
    if (!ParseLpdumpOptions(argc, argv, &options)) {
        return kExitFailure;
    }
    if (options.help) {
        PrintLpdumpHelp(stdout);
        return kExitOk;
    }
    if (options.version) {
        puts("lpdump " PROFILL_VERSION);
        return kExitOk;
    }
    // Every mode but a dump of the files named reads the profile under the flash root.
    if ((options.mode >= kSummaryMode || options.files.empty()) &&
        !SetFlashRoot(getenv("PROFILL_JFFS"))) {
        fputs("lpdump: PROFILL_JFFS is not a flash root profill would take\n", stderr);
        return kExitFailure;
    }
    // In the order of LpdumpMode; Dump tells the CSV table by the mode.
    int (*const run[kLpdumpModeCount])(const Options&) = {Dump, Dump, Summarize, Verify, Repair};
    const int status = run[options.mode](options);
    if (fflush(stdout) != 0 || ferror(stdout)) {
        perror("lpdump: cannot write the output");
        return kExitFailure;
    }
    return status;
}
