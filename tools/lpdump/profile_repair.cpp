#include "profile_repair.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "lpfile/lp_codec.h"
#include "lpfile/lp_dirs.h"
#include "lpfile/lp_file.h"

namespace {

std::string WholeRecords(long count) {
    if (count == 0) {
        return "no whole record";
    }
    return std::to_string(count) + (count == 1 ? " whole record" : " whole records");
}

uint64_t WholeIn(uint64_t size, std::size_t recordSize) {
    return size < kLpHeaderSize ? 0 : (size - kLpHeaderSize) / recordSize;
}

// What a file that holds no whole record holds.
std::string Residue(uint64_t size) {
    if (size == 0) {
        return "empty";
    }
    if (size < kLpHeaderSize) {
        return std::to_string(size) + (size == 1 ? " byte" : " bytes") + ", shorter than a header";
    }
    if (size == kLpHeaderSize) {
        return "a header only";
    }
    const uint64_t rest = size - kLpHeaderSize;
    return "a header and " + std::to_string(rest) + (rest == 1 ? " byte" : " bytes") +
           " of a record";
}

struct DayEntry {
    int64_t day;
    std::string path;
    uint64_t size;
    bool regular;
};

// The plan with records of `channels` channels.
RepairPlan PlanAt(int lp, int channels) {
    RepairPlan plan;
    auto fault = [&plan](const std::string& where, const std::string& text, bool isBreak) {
        plan.faults.push_back({where, text, isBreak ? FindingKind::kBreak : FindingKind::kFault});
    };
    const std::string dir = LpDirectory(lp);
    std::vector<int32_t> days;
    std::vector<std::string> stray;
    if (!ListDayFiles(dir.c_str(), &days, &stray)) {
        plan.readError = dir + ": " + strerror(errno);
        return plan;
    }
    for (const std::string& name : stray) {
        fault(dir + name, "is no name of a day file (profill names them 1.lp, 2.lp, ...)", false);
    }

    // First what each file is: whether bytes after the last whole record of a file are what a
    // killed run left or a break depends on whether a later day file holds records.
    const std::size_t recordSize = LpRecordSize(channels);
    std::vector<DayEntry> files;
    int64_t lastWithRecords = 0;
    char path[kMaxLpPathSize];
    std::string bytes, error;
    for (const int64_t day : days) {
        FormatLpFilePath(path, lp, static_cast<int>(day));
        struct stat entry = {};
        if (lstat(path, &entry) != 0) {
            plan.readError = std::string(path) + ": " + strerror(errno);
            return plan;
        }
        const bool regular = S_ISREG(entry.st_mode);
        const uint64_t size = static_cast<uint64_t>(entry.st_size);
        files.push_back({day, path, size, regular});
        if (!regular) {
            fault(path,
                  S_ISLNK(entry.st_mode) ? "a symbolic link, not a regular file"
                                         : "not a regular file",
                  false);
            continue;
        }
        if (size >= kLpHeaderSize) {
            const ReadResult read = ReadDayFileBytes(path, &bytes, &error, kLpHeaderSize);
            if (read == ReadResult::kNotDayFile) {
                fault(path, error, false);
                continue;
            }
            if (read == ReadResult::kUnreadable) {
                plan.readError = std::string(path) + ": " + error;
                return plan;
            }
            const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
            for (const Finding& header : CheckLpHeader(data, bytes.size(), lp, path)) {
                plan.faults.push_back(header);
            }
        }
        if (WholeIn(size, recordSize) > 0) {
            lastWithRecords = day;
        }
    }
    if (!plan.Placeable()) {
        return plan;
    }

    // Then the records, placed by the replay, up to the first break.
    std::size_t breakAt = files.size();  // the first file the break reaches
    uint64_t keep = 0;                   // its bytes before the break
    auto breaks = [&](std::size_t k, uint64_t kept, const std::string& where,
                      const std::string& text) {
        breakAt = k;
        keep = kept;
        fault(where, text, true);
    };
    const std::string recordsFollow =
        ", but day file " + std::to_string(lastWithRecords) + " holds records after it";
    bool cutLast = false;  // the last day file with records ends in a partial record
    uint32_t next = 1;
    int64_t expected = 1;
    for (std::size_t k = 0; k < files.size() && files[k].day <= lastWithRecords; ++k) {
        const DayEntry& file = files[k];
        if (file.day != expected) {
            FormatLpFilePath(path, lp, static_cast<int>(expected));
            breaks(k, 0, path,
                   (file.day - 1 == expected ? std::string("day file is")
                                             : "day files " + std::to_string(expected) + " to " +
                                                   std::to_string(file.day - 1) + " are") +
                       " missing, but day file " + std::to_string(file.day) + " follows");
            break;
        }
        expected = file.day + 1;
        const ReadResult read = ReadDayFileBytes(file.path, &bytes, &error);
        if (read == ReadResult::kNotDayFile) {
            fault(file.path, error, false);
            return plan;
        }
        if (read == ReadResult::kUnreadable) {
            plan.readError = file.path + ": " + error;
            return plan;
        }
        const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
        const std::size_t whole = static_cast<std::size_t>(WholeIn(bytes.size(), recordSize));
        if (whole == 0) {
            breaks(k, 0, file.path, "holds no whole record" + recordsFollow);
            break;
        }
        for (std::size_t i = 0; i < whole && breakAt == files.size(); ++i) {
            const std::size_t offset = kLpHeaderSize + i * recordSize;
            const DayFileRecord record = DecodeLpRecord(data + offset, channels);
            const std::string name = "record " + std::to_string(record.number);
            std::string text;
            if (record.number != next) {
                text = "record number " + std::to_string(record.number) + ", expected " +
                       std::to_string(next);
            } else if (record.kind != 1 && record.kind != 2) {
                text = name + " has kind " + std::to_string(record.kind) + ", not 1 or 2";
            } else if (LpRecordSeconds(record) == 0 || LpRecordSeconds(record) % 60 != 0) {
                text = name + " lasts " + std::to_string(LpRecordSeconds(record)) +
                       " seconds, not a whole number of minutes";
            } else {
                const LpReplay before = plan.counters;
                const bool starts = plan.counters.Advance(RecordsPerFile(record));
                text = MisplacedRecordText(plan.counters, starts, file.day, i, record);
                if (!text.empty()) {
                    plan.counters = before;
                }
            }
            if (!text.empty()) {
                breaks(k, offset, At(file.path, offset), text);
            }
            next = record.number + 1;
        }
        if (breakAt != files.size()) {
            break;
        }
        const std::size_t partial = (bytes.size() - kLpHeaderSize) % recordSize;
        if (partial != 0 && file.day < lastWithRecords) {
            breaks(k, bytes.size() - partial, At(file.path, bytes.size() - partial),
                   PartialRecordText(partial, channels) + recordsFollow);
            break;
        }
        cutLast = partial != 0;
    }
    plan.records = static_cast<long>(plan.counters.totalRecCnt);

    if (breakAt == files.size()) {
        // Later files first: a repair stopped in between leaves no gap before the ones still there.
        for (std::size_t k = files.size(); k-- > 0 && files[k].day > lastWithRecords;) {
            plan.changes.push_back({files[k].path, true, 0,
                                    "it holds no whole record (" + Residue(files[k].size) + ")"});
        }
        if (cutLast) {
            const DayEntry& last = files[static_cast<std::size_t>(lastWithRecords - 1)];
            const auto partial = static_cast<std::size_t>((last.size - kLpHeaderSize) % recordSize);
            plan.changes.push_back(
                {last.path, false, last.size - partial, PartialRecordText(partial, channels)});
        }
        return plan;
    }
    const long kept = static_cast<long>(WholeIn(keep, recordSize));
    for (std::size_t k = files.size(); k-- > breakAt + 1;) {
        const long whole = static_cast<long>(WholeIn(files[k].size, recordSize));
        plan.lost += whole;
        plan.changes.push_back(
            {files[k].path, true, 0, "after the break (" + WholeRecords(whole) + ")"});
    }
    const DayEntry& broken = files[breakAt];
    const long from = static_cast<long>(WholeIn(broken.size, recordSize)) - kept;
    plan.lost += from;
    const std::string lost = "from the break on (" + WholeRecords(from) + ")";
    if (kept == 0) {
        plan.changes.push_back({broken.path, true, 0, lost});
    } else {
        const uint64_t cut = broken.size - keep;
        plan.changes.push_back({broken.path, false, keep,
                                std::to_string(cut) + (cut == 1 ? " byte " : " bytes ") + lost});
    }
    return plan;
}

}  // namespace

bool RepairPlan::Placeable() const {
    for (const Finding& fault : faults) {
        if (fault.kind != FindingKind::kBreak) {
            return false;
        }
    }
    return true;
}

bool RepairPlan::Broken() const {
    for (const Finding& fault : faults) {
        if (fault.kind == FindingKind::kBreak) {
            return true;
        }
    }
    return false;
}

RepairPlan PlanLpRepair(int lp, int channels) {
    RepairPlan plan = PlanAt(lp, channels);
    if (!plan.readError.empty() || !plan.Placeable() || plan.changes.empty()) {
        return plan;
    }
    // Records of another width break off within the first day file, or at a channel count above
    // theirs fill no whole record: before bytes are cut or removed, a width at which the day files
    // place whole says that the store's channel count is not theirs. One record proves nothing: a
    // partial record's fixed part reads as a whole record of fewer channels.
    for (int other = 0; other <= kMaxChannels; ++other) {
        if (LpRecordSize(other) == LpRecordSize(channels)) {
            continue;
        }
        const RepairPlan at = PlanAt(lp, other);
        if (at.readError.empty() && at.faults.empty() && at.records >= 2) {
            // Where the store's channel count first goes wrong; that is no break in the records.
            const RepairChange& lowest = plan.changes.back();
            const std::string where = plan.Broken()   ? plan.faults.back().where
                                      : lowest.remove ? lowest.path
                                                      : At(lowest.path, lowest.size);
            if (plan.Broken()) {
                plan.faults.pop_back();
            }
            plan.faults.push_back(
                {where,
                 "the day files hold records of " + std::to_string(other) + " channels (" +
                     std::to_string(LpRecordSize(other)) + " bytes), not of the " +
                     std::to_string(LpRecordChannels(channels)) + " channels (" +
                     std::to_string(LpRecordSize(channels)) + " bytes) of NumChannels in the store",
                 FindingKind::kFault});
            break;
        }
    }
    return plan;
}

bool MakeRepairChange(const RepairChange& change, std::string* error) {
    if (change.remove) {
        if (unlink(change.path.c_str()) != 0) {
            *error = strerror(errno);
            return false;
        }
        return true;
    }
    // Only the regular file the plan read is cut, never what may have taken its place.
    const int fd = open(change.path.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        *error = strerror(errno);
        return false;
    }
    struct stat info = {};
    bool done = false;
    if (fstat(fd, &info) != 0) {
        *error = strerror(errno);
    } else if (!S_ISREG(info.st_mode)) {
        *error = "not a regular file";
    } else if (ftruncate(fd, static_cast<off_t>(change.size)) != 0 || fsync(fd) != 0) {
        *error = strerror(errno);
    } else {
        done = true;
    }
    close(fd);
    return done;
}

bool SyncLpDirectory(int lp, std::string* error) {
    const int fd = open(LpDirectory(lp), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0 || fsync(fd) != 0) {
        *error = strerror(errno);
        if (fd >= 0) {
            close(fd);
        }
        return false;
    }
    close(fd);
    return true;
}
