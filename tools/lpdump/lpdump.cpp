// lpdump: shows the records of load-profile day files, sums up a whole profile, checks it
// against the file information that the CDS keeps for it, and brings that information in line
// with the day files. Its modes and the options each takes are a table in lpdump_options.cpp;
// man/lpdump.1 says what each prints.
//
// Exit status: 0 all is well (--summary: the profile was read); 1 a file is not a whole day
// file, (--verify) a discrepancy, or (--repair) day files that cannot be placed or a profile
// that another process is writing; 2 a usage error, a file that is no day file, a file,
// directory or the store that cannot be read, (--verify) a run writing the profile, or
// (--repair) a change that failed.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "cds/toolkit.h"
#include "day_file_dump.h"
#include "lpdump_options.h"
#include "lpfile/lp_codec.h"
#include "lpfile/lp_dirs.h"
#include "lpfile/lp_file.h"
#include "lpfile/lp_lock.h"
#include "lpstate/lp_leaves.h"
#include "next_step.h"
#include "profile_json.h"
#include "profile_repair.h"
#include "profile_store.h"
#include "profile_summary.h"
#include "profile_verify.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitBadFile = 1;
constexpr int kExitFailure = 2;

constexpr std::size_t kMaxFindingsShown = 100;

using Options = LpdumpOptions;

bool TakeFlashRoot() {
    if (!SetFlashRoot(getenv("PROFILL_JFFS"))) {
        fputs("lpdump: PROFILL_JFFS is not a flash root profill would take\n", stderr);
        return false;
    }
    return true;
}

// " (pid N)" for the holder of a profile's lock, "" when its pid is not known.
std::string Pid(int holder) {
    return holder > 0 ? " (pid " + std::to_string(holder) + ")" : "";
}

bool SameCounters(const LpCounters& a, const LpCounters& b) {
    return a.currentDay == b.currentDay && a.fileRecCnt == b.fileRecCnt &&
           a.totalRecCnt == b.totalRecCnt && a.dayCnt == b.dayCnt && a.daysDeleted == b.daysDeleted;
}

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

// A shifted file can find something in every record, and a profile continued by many runs has a
// note for each; the first ones say what is wrong, the count says how much.
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
    if (!TakeFlashRoot()) {
        return kExitFailure;
    }
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
    const ProfileCheck check = VerifyLpProfile(placement, counters, options.strict);
    bool failed = false;
    const std::string moved = Unsteady(cds, options.lp, counters, &failed);
    if (!moved.empty()) {
        fprintf(say, "lpdump: cannot verify LP %d now: %s\n", n, moved.c_str());
    }
    if (failed || !moved.empty()) {
        return kExitFailure;
    }
    if (!check.readError.empty()) {
        fprintf(say, "lpdump: cannot verify LP %d: cannot read %s\n", n, check.readError.c_str());
        return kExitFailure;
    }
    const int discrepancies = check.Discrepancies();
    const std::string next = NextStepText(placement, counters.currentDay, check, !options.json);
    if (options.json) {
        fputs(CheckJson(options.lp, channels, options.strict, check, next).c_str(), stdout);
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
    if (!TakeFlashRoot()) {
        return kExitFailure;
    }
    toolkit::CCds cds;
    ProfileLeaves leaves;
    // A counter the store lacks leaves the files to sum up; only the verdict needs it.
    if (!ReadProfileLeaves(cds, options.lp, LeafUse::kRepair, &leaves)) {
        return kExitFailure;
    }
    const int channels = LpRecordChannels(leaves.numChannels);
    const LpPlacement placement = PlaceLpFiles(options.lp, channels, true);
    ProfileSummary summary = SummarizeLpProfile(placement);
    summary.counters = leaves.counters;
    std::copy(leaves.present, leaves.present + kLpCounterCount, summary.present);
    const bool* missing = std::find(leaves.present, leaves.present + 4, false);
    if (summary.readError.empty() && missing != leaves.present + 4) {
        summary.writer = "the store holds no " + LpFileInfoPrefix(options.lp + 1) +
                         kLpFileInfoLeaves[missing - leaves.present] + "; lpdump --repair" +
                         (options.lp == 1 ? " -2" : "") + " stores it from the day files";
    } else if (summary.readError.empty()) {
        const ProfileCheck check = VerifyLpProfile(placement, leaves.counters, false);
        summary.readError = check.readError;
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
    if (!summary.readError.empty()) {
        fprintf(stderr, "lpdump: cannot sum up LP %d: cannot read %s\n", options.lp + 1,
                summary.readError.c_str());
        return kExitFailure;
    }
    if (options.json) {
        fputs(SummaryJson(summary).c_str(), stdout);
    } else {
        PrintLpSummary(summary);
    }
    return kExitOk;
}

// The five counters as they are stored, "-" for one the store does not hold.
std::string CounterValues(const LpCounters& c, const bool* present) {
    const int32_t values[kLpCounterCount] = {c.currentDay, c.fileRecCnt, c.totalRecCnt, c.dayCnt,
                                             c.daysDeleted};
    std::string text;
    for (int k = 0; k < kLpCounterCount; ++k) {
        text += (k == 0 ? "" : " ") + (present[k] ? std::to_string(values[k]) : "-");
    }
    return text;
}

// Makes (with dry, only says) the changes of the plan, in its order, and flushes the directory;
// false after saying which failed.
bool MakeChanges(int lp, const RepairPlan& plan, bool dry) {
    std::string error;
    for (const RepairChange& change : plan.changes) {
        if (!dry && !MakeRepairChange(change, &error)) {
            printf("lpdump: LP %d is not repaired: cannot %s %s: %s\n", lp + 1,
                   change.remove ? "remove" : "cut", change.path.c_str(), error.c_str());
            return false;
        }
        if (change.remove) {
            printf("%s: %s, %s\n", change.path.c_str(), dry ? "would be removed" : "removed",
                   change.why.c_str());
        } else {
            printf("%s offset %llu: %s %s\n", change.path.c_str(),
                   static_cast<unsigned long long>(change.size), dry ? "would cut" : "cut",
                   change.why.c_str());
        }
    }
    if (!dry && !plan.changes.empty() && !SyncLpDirectory(lp, &error)) {
        printf("lpdump: LP %d is not repaired: cannot flush %s: %s\n", lp + 1, LpDirectory(lp),
               error.c_str());
        return false;
    }
    return true;
}

// Stores the counters the plan gives and makes its changes, in the order that lets a repair
// stopped anywhere be completed by running it again; with --dry-run only says what it would do.
int ApplyPlan(toolkit::CCds& cds, const Options& options, const ProfileLeaves& leaves,
              const RepairPlan& plan) {
    const int n = options.lp + 1;
    const int channels = LpRecordChannels(leaves.numChannels);
    const LpReplay& placed = plan.counters;
    LpCounters target = leaves.counters;
    target.currentDay = static_cast<int32_t>(placed.currentDay);
    target.fileRecCnt = static_cast<int32_t>(placed.fileRecCnt);
    target.totalRecCnt = static_cast<int32_t>(placed.totalRecCnt);
    target.dayCnt = static_cast<int32_t>(placed.dayCnt);
    const bool allPresent = std::all_of(leaves.present, leaves.present + kLpCounterCount,
                                        [](bool present) { return present; });
    const bool store = !allPresent || !SameCounters(target, leaves.counters);
    const std::string holds = Count(static_cast<long>(placed.currentDay), "day file") + ", " +
                              Count(plan.records, "record") + " of " + Count(channels, "channel");
    if (plan.changes.empty() && !store) {
        printf("lpdump: LP %d agrees with its store already: %s; nothing to repair\n", n,
               holds.c_str());
        return kExitOk;
    }
    const bool dry = options.dryRun;
    std::string error;
    // A store that takes no write (read-only media) would be left counting records the changes
    // remove: the counters as they are are stored first, and nothing is changed when that fails.
    if (!dry && !plan.changes.empty() &&
        !WriteProfileCounters(cds, options.lp, leaves.counters, &error)) {
        printf("lpdump: LP %d is not repaired: cannot store its counters: %s; nothing changed\n", n,
               error.c_str());
        return kExitFailure;
    }
    if (!MakeChanges(options.lp, plan, dry)) {
        return kExitFailure;
    }
    if (store) {
        if (!dry && !WriteProfileCounters(cds, options.lp, target, &error)) {
            printf("lpdump: LP %d is not repaired: cannot store its counters: %s\n", n,
                   error.c_str());
            return kExitFailure;
        }
        const bool all[kLpCounterCount] = {true, true, true, true, true};
        printf("store: currentDay fileRecCnt totalRecCnt dayCnt daysDeleted %s %s, %s %s\n",
               dry ? "are" : "were", CounterValues(leaves.counters, leaves.present).c_str(),
               dry ? "would be" : "now", CounterValues(target, all).c_str());
    }
    const std::string cost = plan.Broken()
                                 ? std::string("; the break ") + (dry ? "would cost " : "cost ") +
                                       Count(plan.lost, "whole record")
                                 : "";
    printf(dry ? "lpdump: LP %d would agree with its store after these changes: %s%s\n"
               : "lpdump: LP %d agrees with its store now: %s%s\n",
           n, holds.c_str(), cost.c_str());
    return kExitOk;
}

int Repair(const Options& options) {
    if (!TakeFlashRoot()) {
        return kExitFailure;
    }
    const int n = options.lp + 1;
    const char* dir = LpDirectory(options.lp);
    // Held to the end of the process: nothing else may write the files or the counters between
    // the reading and the last change.
    int holder = 0;
    switch (LockLpProfile(options.lp, &holder)) {
        case kLpLockTaken:
            break;
        case kLpLockBusy:
            printf("lpdump: another run is writing LP %d%s; nothing repaired\n", n,
                   Pid(holder).c_str());
            return kExitBadFile;
        case kLpLockNoDirectory:
            printf(
                "lpdump: cannot repair LP %d: %s is missing or no directory; there is nothing "
                "to repair\n",
                n, dir);
            return kExitFailure;
        case kLpLockFailed:
            printf("lpdump: cannot repair LP %d: cannot lock %s: %s\n", n, dir, strerror(errno));
            return kExitFailure;
    }
    toolkit::CCds cds;
    ProfileLeaves leaves;
    if (!ReadProfileLeaves(cds, options.lp, LeafUse::kRepair, &leaves)) {
        return kExitFailure;
    }
    const int channels = LpRecordChannels(leaves.numChannels);
    const LpPlacement placement = PlaceLpFiles(options.lp, channels, true);
    const RepairPlan plan = PlanLpRepair(placement);
    if (!plan.readError.empty()) {
        printf("lpdump: cannot repair LP %d: cannot read %s\n", n, plan.readError.c_str());
        return kExitFailure;
    }
    for (std::size_t i = 0; i < plan.faults.size() && i <= kMaxFindingsShown; ++i) {
        if (i == kMaxFindingsShown) {
            printf("lpdump: %s not shown\n",
                   Count(static_cast<long>(plan.faults.size() - i), "more fault").c_str());
        } else {
            printf("%s: %s\n", plan.faults[i].where.c_str(), plan.faults[i].text.c_str());
        }
    }
    if (!plan.Placeable() || (plan.Broken() && !options.force)) {
        printf("lpdump: LP %d is not repaired, nothing changed: %s; %s\n", n,
               plan.Placeable() ? "its records break off" : "its day files cannot be placed",
               NextStepText(placement, leaves.counters.currentDay, plan, false, true).c_str());
        return kExitBadFile;
    }

    return ApplyPlan(cds, options, leaves, plan);
}

// The day files of the profile that options name, in the order of their numbers; false after
// saying why they cannot be listed.
bool ListProfileFiles(const Options& options, std::vector<std::string>* files) {
    if (!TakeFlashRoot()) {
        return false;
    }
    std::vector<int32_t> days;
    std::vector<std::string> stray;
    if (!ListDayFiles(LpDirectory(options.lp), &days, &stray)) {
        fprintf(stderr, "lpdump: cannot list the day files of LP %d in %s: %s; set PROFILL_JFFS\n",
                options.lp + 1, LpDirectory(options.lp), strerror(errno));
        return false;
    }
    char path[kMaxLpPathSize];
    for (const int32_t day : days) {
        FormatLpFilePath(path, options.lp, static_cast<int>(day));
        files->push_back(path);
    }
    return true;
}

int Dump(const Options& options) {
    std::vector<std::string> files = options.files;
    if (files.empty() && !ListProfileFiles(options, &files)) {
        return kExitFailure;
    }
    return DumpDayFiles(files, options.channels, options.csv);
}

}  // namespace

int main(int argc, char** argv) {
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
    // In the order of LpdumpMode; Dump tells the CSV table by options.csv.
    int (*const run[kLpdumpModeCount])(const Options&) = {Dump, Dump, Summarize, Verify, Repair};
    const int status = run[options.mode](options);
    if (fflush(stdout) != 0 || ferror(stdout)) {
        perror("lpdump: cannot write the output");
        return kExitFailure;
    }
    return status;
}
