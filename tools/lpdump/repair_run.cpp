// lpdump --repair: places the day files, says what it would change and makes the changes.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "lpdump_modes.h"
#include "lpfile/lp_dirs.h"
#include "lpfile/lp_file.h"
#include "lpfile/lp_lock.h"
#include "next_step.h"
#include "profile_repair.h"
#include "profile_store.h"

namespace {

// The five counters as they are stored, "-" for one the store does not hold.
std::string CounterValues(const LpCounters& c, const bool* present) {
    std::string text;
    for (int k = 0; k < kLpCounterCount; ++k) {
        text += (k == 0 ? "" : " ") + (present[k] ? std::to_string(c.*kLpCounters[k]) : "-");
    }
    return text;
}

// Makes the removals and cuts made in dir durable, before the counters that count on them are
// stored; false with errno set when that failed.
bool SyncDirectory(const char* dir) {
    const int fd = open(dir, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const bool synced = fd >= 0 && fsync(fd) == 0;
    const int saved = errno;
    if (fd >= 0) {
        close(fd);
    }
    errno = saved;
    return synced;
}

// Makes (with dry, only says) the changes of the plan, in its order, and flushes the directory;
// false after saying which failed.
bool MakeChanges(int lp, const RepairPlan& plan, bool dry) {
    for (const RepairChange& change : plan.changes) {
        // Only the regular file the plan read is cut, never what may have taken its place.
        int64_t removed = 0;
        if (!dry && !(change.remove ? unlink(change.path.c_str()) == 0
                                    : CutLpFile(change.path.c_str(),
                                                static_cast<int64_t>(change.size), &removed))) {
            printf("lpdump: LP %d is not repaired: cannot %s %s: %s\n", lp + 1,
                   change.remove ? "remove" : "cut", change.path.c_str(), strerror(errno));
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
    if (!dry && !plan.changes.empty() && !SyncDirectory(LpDirectory(lp))) {
        printf("lpdump: LP %d is not repaired: cannot flush %s: %s\n", lp + 1, LpDirectory(lp),
               strerror(errno));
        return false;
    }
    return true;
}

// Stores the counters the plan gives and makes its changes, in the order that lets a repair
// stopped anywhere be completed by running it again; with --dry-run only says what it would do.
int ApplyPlan(toolkit::CCds& cds, const LpdumpOptions& options, const ProfileLeaves& leaves,
              const RepairPlan& plan) {
    const int n = options.lp + 1;
    const int channels = LpRecordChannels(leaves.numChannels);
    const LpReplay& placed = plan.counters;
    LpCounters target = leaves.counters;
    target.currentDay = static_cast<int32_t>(placed.currentDay);
    target.fileRecCnt = static_cast<int32_t>(placed.fileRecCnt);
    target.totalRecCnt = static_cast<int32_t>(placed.totalRecCnt);
    target.dayCnt = static_cast<int32_t>(placed.dayCnt);
    const bool store = std::count(leaves.present, leaves.present + kLpCounterCount, false) > 0 ||
                       !SameCounters(target, leaves.counters);
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

}  // namespace

int Repair(const LpdumpOptions& options) {
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
    if (CannotRead(stdout, "repair", placement, false)) {
        return kExitFailure;
    }
    const RepairPlan plan = PlanLpRepair(placement);
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
