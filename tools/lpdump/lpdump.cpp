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
#include "day_file_reader.h"
#include "lpdump_options.h"
#include "lpfile/lp_dirs.h"
#include "lpfile/lp_lock.h"
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

// "1 thing", "2 things" (or the plural given).
std::string Count(long count, const std::string& one, const std::string& many = "") {
    return std::to_string(count) + " " + (count != 1 ? (many.empty() ? one + "s" : many) : one);
}

// " (pid N)" for the holder of a profile's lock, "" when its pid is not known.
std::string Pid(int holder) {
    return holder > 0 ? " (pid " + std::to_string(holder) + ")" : "";
}

bool SameCounters(const LpCounters& a, const LpCounters& b) {
    return a.currentDay == b.currentDay && a.fileRecCnt == b.fileRecCnt &&
           a.totalRecCnt == b.totalRecCnt && a.dayCnt == b.dayCnt && a.daysDeleted == b.daysDeleted;
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
    const ProfileCheck check = VerifyLpProfile(options.lp, channels, counters, options.strict);
    // A run that started while the files were read changed what was read: it holds the lock
    // still, or it has stored other counters.
    ProfileLeaves after;
    if (const int holder = LpLockHolder(options.lp)) {
        fprintf(say, "lpdump: cannot verify LP %d now: a run is writing it%s\n", n,
                Pid(holder).c_str());
        return kExitFailure;
    }
    if (!ReadProfileLeaves(cds, options.lp, LeafUse::kVerify, &after)) {
        return kExitFailure;
    }
    if (!SameCounters(counters, after.counters)) {
        fprintf(say, "lpdump: cannot verify LP %d now: a run wrote it while it was being checked\n",
                n);
        return kExitFailure;
    }
    if (!check.readError.empty()) {
        fprintf(say, "lpdump: cannot verify LP %d: cannot read %s\n", n, check.readError.c_str());
        return kExitFailure;
    }
    const int discrepancies = check.Discrepancies();
    const std::string next = NextStepText(options.lp, channels, check, !options.json);
    if (options.json) {
        fputs(CheckJson(options.lp, channels, options.strict, check, next).c_str(), stdout);
        return discrepancies == 0 ? kExitOk : kExitBadFile;
    }
    // A wrong channel count or a shifted file can find something in every record, and a profile
    // continued by many runs has a note for each; the first ones say what is wrong, the count
    // says how much.
    std::size_t shown[2] = {0, 0}, hidden[2] = {0, 0};  // notes, discrepancies
    for (const Finding& finding : check.findings) {
        const int kind = finding.discrepancy ? 1 : 0;
        if (shown[kind] == kMaxFindingsShown) {
            ++hidden[kind];
            continue;
        }
        ++shown[kind];
        printf("%s: %s%s\n", finding.where.c_str(),
               finding.discrepancy ? "" : "note: ", finding.text.c_str());
    }
    if (hidden[1] + hidden[0] > 0) {
        printf(
            "lpdump: %s and %s not shown\n",
            Count(static_cast<long>(hidden[1]), "more discrepancy", "more discrepancies").c_str(),
            Count(static_cast<long>(hidden[0]), "more note").c_str());
    }
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
    if (!ReadProfileLeaves(cds, options.lp, LeafUse::kVerify, &leaves)) {
        return kExitFailure;
    }
    const int channels = LpRecordChannels(leaves.numChannels);
    ProfileSummary summary = SummarizeLpProfile(options.lp, channels);
    summary.counters = leaves.counters;
    if (summary.readError.empty()) {
        if (const int holder = LpLockHolder(options.lp)) {
            summary.writer = "a run is writing it" + Pid(holder);
        } else {
            const ProfileCheck check =
                VerifyLpProfile(options.lp, channels, leaves.counters, false);
            summary.readError = check.readError;
            summary.discrepancies = check.Discrepancies();
            summary.notes = static_cast<int>(check.findings.size()) - summary.discrepancies;
            summary.next = NextStepText(options.lp, channels, check, false);
        }
        // As for Verify: a run that came and went while the files were read leaves other counters.
        ProfileLeaves after;
        if (!ReadProfileLeaves(cds, options.lp, LeafUse::kVerify, &after)) {
            return kExitFailure;
        }
        if (summary.writer.empty() && !SameCounters(leaves.counters, after.counters)) {
            summary.writer = "a run wrote it while it was being read";
        }
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
    const RepairPlan plan = PlanLpRepair(options.lp, channels);
    if (!plan.readError.empty()) {
        printf("lpdump: cannot repair LP %d: cannot read %s\n", n, plan.readError.c_str());
        return kExitFailure;
    }
    for (std::size_t i = 0; i < plan.faults.size(); ++i) {
        if (i == kMaxFindingsShown) {
            printf("lpdump: %s not shown\n",
                   Count(static_cast<long>(plan.faults.size() - i), "more fault").c_str());
            break;
        }
        printf("%s: %s\n", plan.faults[i].where.c_str(), plan.faults[i].text.c_str());
    }
    if (!plan.Placeable()) {
        printf("lpdump: LP %d is not repaired: its day files cannot be placed; nothing changed\n",
               n);
        return kExitBadFile;
    }
    if (plan.Broken() && !options.force) {
        printf(
            "lpdump: LP %d is not repaired: its records break off; --force keeps the %s "
            "before the break and removes the %s from it on; nothing changed\n",
            n, Count(plan.records, "record").c_str(), Count(plan.lost, "whole record").c_str());
        return kExitBadFile;
    }

    const LpReplay& placed = plan.counters;
    const LpCounters target = {static_cast<int32_t>(placed.currentDay),
                               static_cast<int32_t>(placed.fileRecCnt),
                               static_cast<int32_t>(placed.totalRecCnt),
                               static_cast<int32_t>(placed.dayCnt), leaves.counters.daysDeleted};
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
    for (const RepairChange& change : plan.changes) {
        if (!dry && !MakeRepairChange(change, &error)) {
            printf("lpdump: LP %d is not repaired: cannot %s %s: %s\n", n,
                   change.remove ? "remove" : "cut", change.path.c_str(), error.c_str());
            return kExitFailure;
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
    if (!dry && !plan.changes.empty() && !SyncLpDirectory(options.lp, &error)) {
        printf("lpdump: LP %d is not repaired: cannot flush %s: %s\n", n, dir, error.c_str());
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

// The day files of the profile that options name, in the order of their numbers; false after
// saying why they cannot be listed.
bool ListProfileFiles(const Options& options, std::vector<std::string>* files) {
    if (!TakeFlashRoot()) {
        return false;
    }
    std::vector<int64_t> days;
    std::vector<std::string> stray;
    if (!ListDayFiles(LpDirectory(options.lp), &days, &stray)) {
        fprintf(stderr, "lpdump: cannot list the day files of LP %d in %s: %s; set PROFILL_JFFS\n",
                options.lp + 1, LpDirectory(options.lp), strerror(errno));
        return false;
    }
    char path[kMaxLpPathSize];
    for (const int64_t day : days) {
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
