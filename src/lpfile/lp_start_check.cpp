#include "lpfile/lp_start_check.h"

#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "driver/run_options.h"
#include "lpfile/lp_dirs.h"
#include "lpfile/lp_file.h"
#include "lpfile/lp_placement.h"
#include "lpstate/lp_state.h"

namespace {

// "40 records numbered 101 to 140 and 12 bytes of another"
std::string Describe(const PlacedDayFile& file) {
    std::string text;
    if (file.whole == 0) {
        text = "no whole record";
    } else if (file.whole == 1) {
        text = "1 record, numbered " + std::to_string(file.last);
    } else {
        text = Count(file.whole, "record") + " numbered " + std::to_string(file.first) + " to " +
               std::to_string(file.last);
    }
    if (file.partial != 0) {
        text += " and " + Count(static_cast<long long>(file.partial), "byte") + " of another";
    }
    return text;
}

std::string Afresh() {
    return LpClearOption() + " starts the profile afresh";
}

std::string WayOut(int lp) {
    return "lpdump --repair" + Lp2Option(lp) + " brings the CDS in line with the files; " +
           Afresh();
}

// "records up to number 140 (fileRecCnt 3, dayCnt 2)"
std::string Counts(const LP_FILE_INFO& info) {
    return "records up to number " + std::to_string(info.totalRecCnt) + " (fileRecCnt " +
           std::to_string(info.fileRecCnt) + ", dayCnt " + std::to_string(info.dayCnt) + ")";
}

void PrintOtherChannelCount(int lp, const std::string& path, bool current, int other,
                            int channels) {
    fprintf(RefusalStream(),
            "%s: LP %d's %sday file %s holds records of %d channels, but the CDS's channel count "
            "is %d; set the channel count back, or %s\n",
            g_programName, lp + 1, current ? "current " : "", path.c_str(), other, channels,
            Afresh().c_str());
}

// Whether the records of the current day file are the ones the counters describe: inFile of
// them, the last numbered totalRecCnt, with no gap.
bool FitsCounters(const PlacedDayFile& file, long whole, long inFile, int64_t counted) {
    return whole >= 1 && whole == inFile && file.first + uint32_t(whole - 1) == uint32_t(counted) &&
           file.last - file.first == static_cast<uint32_t>(file.whole - 1);
}

// A day file where the profile's records break off: what a power cut can leave when the end of
// one day file is lost and a later one kept its records, or what a -c that was stopped leaves.
void PrintBreak(const LpPlacement& placement, const std::string& path, const std::string& holds) {
    const int lp = placement.lp;
    const int32_t current = g_lP[lp].fileInfo.currentDay;
    fprintf(RefusalStream(),
            "%s: LP %d's day file %s %s, so the profile's records break off there; %s\n",
            g_programName, lp + 1, path.c_str(), holds.c_str(),
            placement.ClearStopped(current)
                ? ("a " + LpClearOption() + " stopped in its removal leaves this; " +
                   LpClearOption() + " again finishes the clear")
                      .c_str()
                : ("lpdump --repair" + Lp2Option(lp) +
                   " --force keeps the records before the break; " + Afresh())
                      .c_str());
}

// What holds a day file's records from number next on, or "" when it holds them from there in
// whole records, none missing.
std::string BreakIn(const PlacedDayFile* file, uint32_t next, int lp) {
    if (file == nullptr) {
        return "is missing";
    }
    if (file->notRegular != nullptr) {
        return std::string("is ") + file->notRegular;
    }
    if (file->readErrno != 0) {
        return std::string("cannot be read (") + strerror(file->readErrno) + ")";
    }
    if (!file->header) {
        return "does not start with LP " + std::to_string(lp + 1) + "'s day-file header";
    }
    if (file->whole >= 1 && file->first != next) {
        return "holds " + Describe(*file) + ", but record " + std::to_string(next) + " comes next";
    }
    return file->Runs() ? "" : "holds " + Describe(*file);
}

// Whether a listed day file numbered above day, up to upTo, holds a whole record.
bool RecordsAfter(const LpPlacement& placement, int32_t day, int32_t upTo) {
    for (const PlacedDayFile& file : placement.files) {
        if (file.day > day && file.day <= upTo && file.Readable() && file.whole >= 1) {
            return true;
        }
    }
    return false;
}

// The day files before the current one hold whole records numbered on from 1 without a gap;
// *next receives the number the current day file starts with, and *firstStarted whether record 1
// started day file 1. Stops at the first file that is not so, so it reads no more files than exist.
bool CheckEarlierFiles(const LpPlacement& placement, uint32_t* next, bool* firstStarted) {
    const int lp = placement.lp;
    const int32_t current = g_lP[lp].fileInfo.currentDay;
    *next = 1;
    for (int32_t number = 1; number < current; ++number) {
        const PlacedDayFile* file = placement.Find(number);
        const std::string holds = BreakIn(file, *next, lp);
        if (holds.empty()) {
            *firstStarted = number == 1 ? file->firstKind == 2 : *firstStarted;
            *next = file->last + 1u;
            continue;
        }
        const bool read = file != nullptr && file->Readable() && file->header;
        const int other = read ? OtherChannelsOf(*file, *next, -1) : -1;
        if (other >= 0) {
            PrintOtherChannelCount(lp, file->path, false, other, placement.channels);
            return false;
        }
        // A day file missing or cut short with no record after it is bookkeeping ahead of the
        // files, which the check of the current day file names; only records after it break.
        const bool endLost =
            file == nullptr || (read && (file->whole == 0 || file->first == *next));
        if (endLost && !RecordsAfter(placement, number, current)) {
            return true;
        }
        PrintBreak(placement, LpDayFilePath(lp, number), holds);
        return false;
    }
    return true;
}

// The current day file d: what a run may append to, after cutting what a killed run left. Its
// records go on from record first; firstStarted says whether record 1 started day file 1 (when
// d is 1, this file tells).
bool CheckCurrentFile(const LpPlacement& placement, uint32_t first, bool firstStarted,
                      LP_UNCOUNTED_CUTS* cuts) {
    const int lp = placement.lp;
    const LP_FILE_INFO& info = g_lP[lp].fileInfo;
    const int64_t counted = info.totalRecCnt;
    const std::string path = LpDayFilePath(lp, info.currentDay);
    const PlacedDayFile* file = placement.Find(info.currentDay);
    std::string holds = BreakIn(file, first, lp);
    std::string wayOut = WayOut(lp);
    if (file != nullptr && file->notRegular != nullptr) {
        wayOut = "remove it and run lpdump --repair" + Lp2Option(lp) + ", or " + Afresh();
    } else if (file != nullptr && file->Readable() && file->header) {
        if (info.currentDay == 1) {
            firstStarted = file->firstKind == 2;
        }
        // Every day file after the first was started by a record, which set fileRecCnt back to
        // 0, and so was the first when record 1 started it; each started file counts in dayCnt.
        const long inFile =
            static_cast<long>(info.fileRecCnt) + ((info.currentDay > 1 || firstStarted) ? 1 : 0);
        const bool days = info.dayCnt == info.currentDay - (firstStarted ? 0 : 1);
        const bool fits = days && FitsCounters(*file, file->whole, inFile, counted);
        const bool uncounted = days && file->partial == 0 && file->whole >= 2 && file->Runs() &&
                               FitsCounters(*file, file->whole - 1, inFile, counted);
        // A clean file is ours; bytes after the records may be whole records of another width.
        const bool clean = fits && file->partial == 0;
        const int other = clean || uncounted ? -1 : OtherChannelsOf(*file, first, counted);
        if (other >= 0) {
            PrintOtherChannelCount(lp, path, true, other, placement.channels);
            return false;
        }
        if (file->whole >= 1 && file->first != first) {
            PrintBreak(placement, path, holds);
            return false;
        }
        if (fits) {
            // The head of an uncounted record, if any, goes.
            cuts->currentKeep = file->partial != 0 ? off_t(file->size - file->partial) : -1;
            return true;
        }
        if (uncounted) {
            // A whole uncounted record.
            cuts->currentKeep = off_t(file->size - LpRecordSize(placement.channels));
            return true;
        }
        holds = "holds " + Describe(*file);
    }
    fprintf(RefusalStream(), "%s: LP %d's current day file %s %s, but the CDS counts %s; %s\n",
            g_programName, lp + 1, path.c_str(), holds.c_str(), Counts(info).c_str(),
            wayOut.c_str());
    return false;
}

// A day file numbered above the current one: the run creates it with mode "w" when it gets
// there, so it may hold no whole record, except the one record a killed run wrote into the
// day file it had just started (number totalRecCnt + 1), whose file is removed.
bool CheckLaterFile(const LpPlacement& placement, const PlacedDayFile& file,
                    LP_UNCOUNTED_CUTS* cuts) {
    const int lp = placement.lp;
    const int32_t current = g_lP[lp].fileInfo.currentDay;
    const uint32_t counted = static_cast<uint32_t>(g_lP[lp].fileInfo.totalRecCnt);
    if (!file.Readable()) {
        const std::string what = file.notRegular != nullptr ? NotRegularText(file)
                                                            : std::string("cannot be read (") +
                                                                  strerror(file.readErrno) + ")";
        fprintf(RefusalStream(), "%s: LP %d's day file %s %s; remove it, or %s\n", g_programName,
                lp + 1, file.path.c_str(), what.c_str(), Afresh().c_str());
        return false;
    }
    if (file.whole == 0) {
        return true;
    }
    if (int64_t{file.day} == int64_t{current} + 1 && file.header && file.whole == 1 &&
        file.partial == 0 && file.last == counted + 1u) {
        cuts->removeNext = true;
        return true;
    }
    const std::string holds = file.header ? Describe(file) : "bytes that are no day file's";
    fprintf(RefusalStream(),
            "%s: LP %d's day file %s holds %s, but the CDS counts day files up to %d; %s\n",
            g_programName, lp + 1, file.path.c_str(), holds.c_str(), current, WayOut(lp).c_str());
    return false;
}

}  // namespace

std::string LpClearOption() {
    return strcmp(g_programName, "profill") == 0 ? "-c" : "profill -c";
}

bool CheckLpFilesForRun(int lp, LP_UNCOUNTED_CUTS* cuts) {
    lp = lp == 0 ? 0 : 1;
    *cuts = LP_UNCOUNTED_CUTS();
    const LP_FILE_INFO& info = g_lP[lp].fileInfo;
    const LpPlacement placement = PlaceLpFiles(lp, g_lP[lp].numChannels, false);
    uint32_t first = 1;
    bool firstStarted = false;
    if (info.currentDay > 0) {
        if (!CheckEarlierFiles(placement, &first, &firstStarted) ||
            !CheckCurrentFile(placement, first, firstStarted, cuts)) {
            return false;
        }
    } else if (info.fileRecCnt != 0 || info.totalRecCnt != 0 || info.dayCnt != 0) {
        fprintf(RefusalStream(),
                "%s: LP %d has no current day file in the CDS, but the CDS counts %s; %s\n",
                g_programName, lp + 1, Counts(info).c_str(), WayOut(lp).c_str());
        return false;
    }
    if (placement.listErrno != 0) {
        fprintf(RefusalStream(), "%s: cannot list LP %d's directory %s: %s\n", g_programName,
                lp + 1, LpDirectory(lp), strerror(placement.listErrno));
        return false;
    }
    for (const PlacedDayFile& file : placement.files) {
        if (file.day > info.currentDay && !CheckLaterFile(placement, file, cuts)) {
            return false;
        }
    }
    return true;
}

bool CutUncountedLpBytes(int lp, const LP_UNCOUNTED_CUTS& cuts) {
    lp = lp == 0 ? 0 : 1;
    const int current = g_lP[lp].fileInfo.currentDay;
    bool cut = true;
    if (cuts.currentKeep >= 0 && current > 0) {
        const std::string path = LpDayFilePath(lp, current);
        int64_t removed = -1;
        cut = CutLpFile(path.c_str(), cuts.currentKeep, &removed);
        printf(
            "%s: %s %lld bytes at the end of %s that its file information does not "
            "count%s%s\n",
            g_programName, cut ? "removed" : "cannot remove", static_cast<long long>(removed),
            path.c_str(), cut ? "" : ": ", cut ? "" : strerror(errno));
    }
    if (cuts.removeNext) {
        // Removed rather than emptied: the run creates it again only if it gets there.
        const std::string next = LpDayFilePath(lp, current + 1);
        const bool removed = unlink(next.c_str()) == 0;
        printf(
            "%s: %s %s, which holds only a record that its file information does not "
            "count%s%s\n",
            g_programName, removed ? "removed" : "cannot remove", next.c_str(), removed ? "" : ": ",
            removed ? "" : strerror(errno));
        cut = cut && removed;
    }
    return cut;
}
