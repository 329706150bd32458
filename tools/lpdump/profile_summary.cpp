#include "profile_summary.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "lpfile/lp_dirs.h"
#include "lpfile/lp_file.h"
#include "profile_repair.h"
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
            return text + ", and " +
                   Count(static_cast<long>(files.size() - i), "more day file", "more day files");
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

}  // namespace

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

ProfileSummary SummarizeLpProfile(int lp, int channels) {
    ProfileSummary summary;
    summary.lp = lp;
    summary.directory = LpDirectory(lp);
    summary.channels = channels;
    std::vector<int32_t> days;
    if (!ListDayFiles(LpDirectory(lp), &days, &summary.stray)) {
        summary.readError = summary.directory + ": " + strerror(errno);
        return summary;
    }
    const std::size_t recordSize = LpRecordSize(channels);
    std::string bytes, error;
    char path[kMaxLpPathSize];
    bool havePrevious = false;
    uint32_t previousEnd = 0;
    int64_t latestEnd = -1;
    for (const int64_t day : days) {
        FormatLpFilePath(path, lp, static_cast<int>(day));
        const ReadResult read = ReadDayFileBytes(path, &bytes, &error);
        if (read == ReadResult::kUnreadable) {
            summary.readError = std::string(path) + ": " + error;
            return summary;
        }
        const uint8_t* data = reinterpret_cast<const uint8_t*>(bytes.data());
        const bool headed = read == ReadResult::kRead && bytes.size() >= kLpHeaderSize &&
                            StartsAsDayFile(data, bytes.size());
        const std::size_t whole = headed ? (bytes.size() - kLpHeaderSize) / recordSize : 0;
        summary.files.push_back({day, static_cast<long>(whole)});
        for (std::size_t i = 0; i < whole; ++i) {
            const std::size_t offset = kLpHeaderSize + i * recordSize;
            const DayFileRecord record = DecodeLpRecord(data + offset, channels);
            // A run that continues a profile can place its records before those of the runs
            // before it, so the time covered runs from the earliest start to the latest end.
            const int64_t end = int64_t{record.start} + LpRecordSeconds(record);
            if (summary.records++ == 0 || record.start < summary.firstStart) {
                summary.firstStart = record.start;
            }
            if (end > latestEnd) {
                latestEnd = end;
                summary.lastEnd = record.end;
            }
            if (havePrevious && record.start != previousEnd) {
                const int64_t jump = int64_t{record.start} - int64_t{previousEnd};
                summary.breaks.push_back({DayName(day), offset, record.number, jump});
                ++(jump > 0 ? summary.gaps : summary.overlaps);
                (jump > 0 ? summary.gapSeconds : summary.overlapSeconds) += jump > 0 ? jump : -jump;
            }
            havePrevious = true;
            previousEnd = record.end;
            ++summary.intervals[LpRecordSeconds(record)];
        }
    }
    return summary;
}

std::string NextStepText(int lp, int channels, const ProfileCheck& check, bool listed) {
    const int discrepancies = check.Discrepancies();
    if (discrepancies == 0) {
        return "";
    }
    const std::string two = lp == 1 ? " -2" : "";
    if (discrepancies == check.TimeBreaks()) {
        return "without --strict the breaks in time are notes: each run that continues a "
               "profile leaves one";
    }
    const std::string afresh = "; or profill -c" + two + " starts the profile afresh";
    const RepairPlan plan = PlanLpRepair(lp, channels);
    if (!plan.readError.empty() || !plan.Placeable()) {
        const std::string named =
            listed ? "what the lines above name" : "what lpdump --verify" + two + " names";
        return "set right or remove " + named + ", then lpdump --repair" + two + afresh;
    }
    if (plan.Broken()) {
        return "lpdump --repair --force" + two + " keeps the " +
               Count(plan.records, "record", "records") + " before the break" + afresh;
    }
    return "lpdump --repair" + two + " brings the store in line with the day files";
}

void PrintLpSummary(const ProfileSummary& summary) {
    const ProfileSummary& s = summary;
    printf("LP %d in %s, records of %s\n", s.lp + 1, s.directory.c_str(),
           Count(s.channels, "channel", "channels").c_str());
    if (s.files.empty()) {
        PrintRow("day files:", "none");
    } else {
        PrintRow("day files:", DayName(s.files.front().day) + " to " + DayName(s.files.back().day) +
                                   ", " + std::to_string(s.files.size()));
    }
    if (!s.stray.empty()) {
        std::string names;
        for (std::size_t i = 0; i < s.stray.size() && i < kListed; ++i) {
            names += (i == 0 ? "" : ", ") + s.stray[i];
        }
        PrintRow("other files:", names + (s.stray.size() > kListed ? ", ..." : "") +
                                     " (not named as profill names day files)");
    }
    PrintRow("records:",
             std::to_string(s.records) + (s.files.empty() ? "" : ": " + PerFileText(s.files)));
    if (s.records > 0) {
        PrintRow("time:",
                 FormatLpTime(s.firstStart, true) + " to " + FormatLpTime(s.lastEnd, true));
        PrintRow("", FormatLpTime(s.firstStart, false) + " to " + FormatLpTime(s.lastEnd, false));
        std::string lengths;
        for (const auto& [seconds, count] : s.intervals) {
            lengths += (lengths.empty() ? "" : ", ") + DurationText(seconds) + " (" +
                       Count(count, "record", "records") + ")";
        }
        PrintRow("intervals:", lengths);
    }
    PrintRow("runs:", std::to_string(s.records > 0 ? s.breaks.size() + 1 : 0) +
                          (s.breaks.empty()
                               ? ""
                               : ", split by " +
                                     Count(static_cast<long>(s.breaks.size()), "break", "breaks") +
                                     " in time:"));
    for (std::size_t i = 0; i < s.breaks.size() && i <= kListed; ++i) {
        const TimeBreak& b = s.breaks[i];
        if (i == kListed) {
            PrintRow("", "and " + Count(static_cast<long>(s.breaks.size() - kListed), "more break",
                                        "more breaks"));
            break;
        }
        PrintRow("", "record " + std::to_string(b.record) + " (" + b.file + " offset " +
                         std::to_string(b.offset) + ") starts " +
                         DurationText(b.seconds > 0 ? b.seconds : -b.seconds) +
                         (b.seconds > 0 ? " after the previous record's end (gap)"
                                        : " before the previous record's end (overlap)"));
    }
    PrintRow("gaps:", s.gaps == 0
                          ? "none"
                          : std::to_string(s.gaps) + ", " + DurationText(s.gapSeconds) + " in all");
    PrintRow("overlaps:", s.overlaps == 0 ? "none"
                                          : std::to_string(s.overlaps) + ", " +
                                                DurationText(s.overlapSeconds) + " in all");
    const LpCounters& c = s.counters;
    PrintRow("store:", "currentDay " + std::to_string(c.currentDay) + ", fileRecCnt " +
                           std::to_string(c.fileRecCnt) + ", totalRecCnt " +
                           std::to_string(c.totalRecCnt) + ", dayCnt " + std::to_string(c.dayCnt) +
                           ", daysDeleted " + std::to_string(c.daysDeleted));
    if (!s.writer.empty()) {
        PrintRow("verdict:", "not checked: " + s.writer);
    } else if (s.discrepancies == 0) {
        PrintRow("verdict:",
                 "agrees with its store" +
                     (s.notes == 0 ? std::string()
                                   : "; lpdump --verify" + std::string(s.lp == 1 ? " -2" : "") +
                                         " lists its " + Count(s.notes, "note", "notes")));
    } else {
        PrintRow("verdict:", "does not agree with its store: " +
                                 Count(s.discrepancies, "discrepancy", "discrepancies") +
                                 " (lpdump --verify" + (s.lp == 1 ? " -2" : "") +
                                 (s.discrepancies == 1 ? " lists it); " : " lists them); ") +
                                 s.next);
    }
}
