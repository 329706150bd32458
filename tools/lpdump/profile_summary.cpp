#include "profile_summary.h"

#include <cstdio>

#include "lpfile/lp_dirs.h"
#include "record_time.h"

namespace {

// The summary fits one screen: longer lists are cut after this many entries and counted.
constexpr std::size_t kListed = 8;

std::string DayName(int64_t day) {
    return std::to_string(day) + ".lp";
}

// "99 in 1.lp, 100 in each of 2.lp to 10.lp, 1 in 11.lp": a profile's files hold the same count
// but for the first and the current one, so runs of equal counts keep this short.
std::string PerFileText(const std::vector<DayFileCount>& files) {
    std::string text;
    std::size_t groups = 0;
    for (std::size_t i = 0; i < files.size();) {
        std::size_t j = i + 1;
        while (j < files.size() && files[j].records == files[i].records &&
               files[j].day == files[j - 1].day + 1) {
            ++j;
        }
        if (groups == kListed) {
            return text + ", and " + Count(static_cast<long>(files.size() - i), "more day file");
        }
        text += (groups++ == 0 ? "" : ", ") + std::to_string(files[i].records) +
                (j - i == 1 ? " in " + DayName(files[i].day)
                            : " in each of " + DayName(files[i].day) +
                                  (j - i == 2 ? " and " : " to ") + DayName(files[j - 1].day));
        i = j;
    }
    return text;
}

void PrintRow(const char* label, const std::string& text) {
    printf("%-12s %s\n", label, text.c_str());
}

// "1 d 2 h 15 min", "40 s": a length of time for people.
std::string DurationText(int64_t seconds) {
    const int64_t parts[] = {seconds / 86400, seconds / 3600 % 24, seconds / 60 % 60, seconds % 60};
    const char* const units[] = {" d", " h", " min", " s"};
    std::string text;
    for (int i = 0; i < 4; ++i) {
        if (parts[i] != 0) {
            text += (text.empty() ? "" : " ") + std::to_string(parts[i]) + units[i];
        }
    }
    return text.empty() ? "0 s" : text;
}

// Adds the records of file to the summary; *previousEnd is where the record before them ended
// (-1 before the first).
void AddRecords(ProfileSummary& summary, const PlacedDayFile& file, int64_t* previousEnd,
                int64_t* latestEnd) {
    for (long i = 0; i < file.whole; ++i) {
        const DayFileRecord record = file.Decoded(i);
        // A run that continues a profile can place its records before those of the runs before
        // it, so the time covered runs from the earliest start to the latest end.
        const int64_t end = int64_t{record.start} + LpRecordSeconds(record);
        if (summary.records++ == 0 || record.start < summary.firstStart) {
            summary.firstStart = record.start;
        }
        if (end > *latestEnd) {
            *latestEnd = end;
            summary.lastEnd = record.end;
        }
        if (*previousEnd >= 0 && record.start != *previousEnd) {
            const int64_t jump = int64_t{record.start} - *previousEnd;
            summary.breaks.push_back({DayName(file.day), file.Offset(i), record.number, jump});
            ++(jump > 0 ? summary.gaps : summary.overlaps);
            (jump > 0 ? summary.gapSeconds : summary.overlapSeconds) += jump > 0 ? jump : -jump;
        }
        *previousEnd = record.end;
        ++summary.intervals[LpRecordSeconds(record)];
    }
}

}  // namespace

ProfileSummary SummarizeLpProfile(const LpPlacement& placement) {
    ProfileSummary summary;
    int64_t previousEnd = -1;
    int64_t latestEnd = -1;
    for (const PlacedDayFile& file : placement.files) {
        const bool headed =
            file.Readable() && file.size >= kLpHeaderSize &&
            StartsAsDayFile(reinterpret_cast<const uint8_t*>(file.bytes.data()), file.bytes.size());
        // Records of another width would be read as bytes under other names: none is decoded.
        const bool read = headed && placement.otherChannels < 0;
        summary.files.push_back({file.day, read ? file.whole : 0});
        if (read) {
            AddRecords(summary, file, &previousEnd, &latestEnd);
        }
    }
    return summary;
}

namespace {

// "none", or "3, 1 h 15 min in all".
std::string Total(long count, int64_t seconds) {
    return count == 0 ? "none" : std::to_string(count) + ", " + DurationText(seconds) + " in all";
}

// The rows of the day files and the records they hold.
void PrintFileRows(const LpPlacement& p, const ProfileSummary& s) {
    if (s.files.empty()) {
        PrintRow("day files:", "none");
    } else {
        // The numbers the listing skips, as runs: "2.lp, 5.lp to 9.lp".
        std::string missing;
        for (std::size_t i = 1; i < s.files.size(); ++i) {
            const int64_t from = s.files[i - 1].day + 1, to = s.files[i].day - 1;
            if (from <= to) {
                missing += (missing.empty() ? "; missing: " : ", ") + DayName(from) +
                           (from == to ? "" : " to " + DayName(to));
            }
        }
        PrintRow("day files:", DayName(s.files.front().day) + " to " + DayName(s.files.back().day) +
                                   ", " + std::to_string(s.files.size()) + missing);
    }
    if (!p.stray.empty()) {
        std::string names;
        for (std::size_t i = 0; i < p.stray.size() && i < kListed; ++i) {
            names += (i == 0 ? "" : ", ") + p.stray[i];
        }
        PrintRow("other files:", names + (p.stray.size() > kListed ? ", ..." : "") +
                                     " (not named as profill names day files)");
    }
    if (p.otherChannels >= 0) {
        PrintRow("records:", "not read: the day files hold records of " +
                                 Count(p.otherChannels, "channel") + ", not of the store's " +
                                 std::to_string(p.channels));
    } else {
        PrintRow("records:",
                 std::to_string(s.records) + (s.files.empty() ? "" : ": " + PerFileText(s.files)));
    }
}

// The rows of the time the records cover and how it splits into runs.
void PrintTimeRows(const ProfileSummary& s) {
    if (s.records > 0) {
        const std::string utc =
            FormatLpTime(s.firstStart, true) + " to " + FormatLpTime(s.lastEnd, true);
        PrintRow("time:", utc);
        const std::string local =
            FormatLpTime(s.firstStart, false) + " to " + FormatLpTime(s.lastEnd, false);
        if (local != utc) {  // local time is UTC: once is enough
            PrintRow("", local);
        }
        std::string lengths;
        for (const auto& [seconds, count] : s.intervals) {
            lengths += (lengths.empty() ? "" : ", ") + DurationText(seconds) + " (" +
                       Count(count, "record") + ")";
        }
        PrintRow("intervals:", lengths);
    }
    PrintRow(
        "runs:",
        std::to_string(s.records > 0 ? s.breaks.size() + 1 : 0) +
            (s.breaks.empty() ? ""
                              : ", split by " + Count(static_cast<long>(s.breaks.size()), "break") +
                                    " in time:"));
    for (std::size_t i = 0; i < s.breaks.size() && i < kListed; ++i) {
        const TimeBreak& b = s.breaks[i];
        PrintRow("", "record " + std::to_string(b.record) + " (" + b.file + " offset " +
                         std::to_string(b.offset) + ") starts " +
                         DurationText(b.seconds > 0 ? b.seconds : -b.seconds) +
                         (b.seconds > 0 ? " after the previous record's end (gap)"
                                        : " before the previous record's end (overlap)"));
    }
    if (s.breaks.size() > kListed) {
        PrintRow("", "and " + Count(static_cast<long>(s.breaks.size() - kListed), "more break"));
    }
}

}  // namespace

void PrintLpSummary(const LpPlacement& p, const ProfileSummary& summary) {
    const ProfileSummary& s = summary;
    printf("LP %d in %s, records of %s\n", p.lp + 1, LpDirectory(p.lp),
           Count(p.channels, "channel").c_str());
    PrintFileRows(p, s);
    PrintTimeRows(s);
    PrintRow("gaps:", Total(s.gaps, s.gapSeconds));
    PrintRow("overlaps:", Total(s.overlaps, s.overlapSeconds));
    const char* const names[] = {"currentDay ", ", fileRecCnt ", ", totalRecCnt ", ", dayCnt ",
                                 ", daysDeleted "};
    std::string store;
    for (int k = 0; k < 5; ++k) {
        store += names[k] +
                 (s.leaves.present[k] ? std::to_string(s.leaves.counters.*kLpCounters[k]) : "-");
    }
    PrintRow("store:", store);
    if (!s.writer.empty()) {
        PrintRow("verdict:", "not checked: " + s.writer);
    } else if (s.discrepancies == 0) {
        PrintRow("verdict:", "agrees with its store" +
                                 (s.notes == 0 ? std::string()
                                               : "; lpdump --verify" + Lp2Option(p.lp) +
                                                     " lists its " + Count(s.notes, "note")));
    } else {
        PrintRow("verdict:", "does not agree with its store: " +
                                 Count(s.discrepancies, "discrepancy", "discrepancies") +
                                 " (lpdump --verify" + Lp2Option(p.lp) +
                                 (s.discrepancies == 1 ? " lists it); " : " lists them); ") +
                                 s.next);
    }
}
