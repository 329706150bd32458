#include "profile_repair.h"

#include <algorithm>

#include "lpfile/lp_codec.h"
#include "lpfile/lp_dirs.h"
#include "lpfile/lp_file.h"

namespace {

std::string WholeRecords(long count) {
    return count == 0 ? "no whole record" : Count(count, "whole record");
}

// What a file that holds no whole record holds.
std::string Residue(uint64_t size) {
    if (size == 0 || size == kLpHeaderSize) {
        return size == 0 ? "empty" : "a header only";
    }
    if (size < kLpHeaderSize) {
        return Count(static_cast<long long>(size), "byte") + ", shorter than a header";
    }
    return "a header and " + Count(static_cast<long long>(size - kLpHeaderSize), "byte") +
           " of a record";
}

// What keeps the day files from being placed at all: names, kinds, headers, another width.
void FindFaults(const LpPlacement& placement, RepairPlan& plan) {
    const std::string dir = LpDirectory(placement.lp);
    for (const std::string& name : placement.stray) {
        plan.faults.push_back(
            {dir + name, "is no name of a day file (profill names them 1.lp, 2.lp, ...)"});
    }
    for (const PlacedDayFile& file : placement.files) {
        if (file.notRegular != nullptr) {
            plan.faults.push_back({file.path, NotRegularText(file)});
        } else if (file.size >= kLpHeaderSize) {
            const std::vector<Finding> header =
                CheckLpHeader(reinterpret_cast<const uint8_t*>(file.bytes.data()), kLpHeaderSize,
                              placement.lp, file.path);
            plan.faults.insert(plan.faults.end(), header.begin(), header.end());
        }
    }
    if (placement.otherChannels >= 0) {
        plan.faults.push_back({dir, OtherChannelsText(placement)});
    }
}

// Where the records break off at record i of file, or "" when it is placed (the replay advanced).
std::string BreakAt(RepairPlan& plan, const PlacedDayFile& file, long i, uint32_t next) {
    const DayFileRecord record = file.Decoded(i);
    const std::string fault = RecordFault(record, next);
    if (!fault.empty()) {
        return fault;
    }
    const LpReplay before = plan.counters;
    const std::string text = plan.counters.Place(record, file.day, i);
    if (!text.empty()) {
        plan.counters = before;
    }
    return text;
}

// The records placed by the replay, up to the first break; *breakAt and *kept receive the first
// file the break reaches and its whole records before the break (breakAt files.size() without a
// break).
void PlaceRecords(const LpPlacement& placement, int32_t lastWithRecords, RepairPlan& plan,
                  std::size_t* breakAt, long* kept) {
    const std::vector<PlacedDayFile>& files = placement.files;
    const std::string recordsFollow =
        ", but day file " + std::to_string(lastWithRecords) + " holds records after it";
    auto breaks = [&](std::size_t k, long before, const std::string& where,
                      const std::string& text) {
        *breakAt = k;
        *kept = before;
        plan.faults.push_back({where, text, FindingKind::kBreak});
    };
    uint32_t next = 1;
    int64_t expected = 1;
    for (std::size_t k = 0; k < files.size() && files[k].day <= lastWithRecords; ++k) {
        const PlacedDayFile& file = files[k];
        if (file.day != expected) {
            return breaks(k, 0, LpDayFilePath(placement.lp, static_cast<int>(expected)),
                          MissingDaysText(expected, file.day - 1) + ", but day file " +
                              std::to_string(file.day) + " follows");
        }
        expected = int64_t{file.day} + 1;
        if (file.whole == 0) {
            return breaks(k, 0, file.path, "holds no whole record" + recordsFollow);
        }
        for (long i = 0; i < file.whole; ++i) {
            const std::string text = BreakAt(plan, file, i, next);
            if (!text.empty()) {
                return breaks(k, i, At(file.path, file.Offset(i)), text);
            }
            next = file.first + static_cast<uint32_t>(i) + 1u;
        }
        // Bytes after the last record are what a killed run or a cut left when the next day
        // file goes on with the next record; otherwise records are missing there.
        const bool continued = k + 1 < files.size() && files[k + 1].day == file.day + 1 &&
                               files[k + 1].whole > 0 && files[k + 1].first == next;
        if (file.partial != 0 && file.day < lastWithRecords && !continued) {
            return breaks(k, file.whole, At(file.path, file.Offset(file.whole)),
                          PartialRecordText(file.partial, placement.channels) + recordsFollow);
        }
    }
}

// Without a break: the day files after the last one with records go, later ones first, and the
// bytes after the last whole record of each file are cut.
void PlanTidying(const LpPlacement& placement, int32_t lastWithRecords, RepairPlan& plan) {
    const std::vector<PlacedDayFile>& files = placement.files;
    for (std::size_t k = files.size(); k-- > 0;) {
        const PlacedDayFile& file = files[k];
        if (file.day > lastWithRecords) {
            plan.changes.push_back(
                {file.path, true, 0, "it holds no whole record (" + Residue(file.size) + ")"});
        } else if (file.partial != 0) {
            plan.changes.push_back({file.path, false, file.size - file.partial,
                                    PartialRecordText(file.partial, placement.channels)});
        }
    }
}

// With a break: what comes after it goes, later files first, and the file it is in is cut.
void PlanCut(const LpPlacement& placement, std::size_t breakAt, long kept, RepairPlan& plan) {
    const std::vector<PlacedDayFile>& files = placement.files;
    for (std::size_t k = files.size(); k-- > breakAt + 1;) {
        plan.lost += files[k].whole;
        plan.changes.push_back(
            {files[k].path, true, 0, "after the break (" + WholeRecords(files[k].whole) + ")"});
    }
    const PlacedDayFile& broken = files[breakAt];
    const long from = broken.whole - kept;
    plan.lost += from;
    const std::string lost = "from the break on (" + WholeRecords(from) + ")";
    if (kept == 0) {
        plan.changes.push_back({broken.path, true, 0, lost});
    } else {
        const uint64_t keep = broken.Offset(kept);
        plan.changes.push_back(
            {broken.path, false, keep,
             Count(static_cast<long long>(broken.size - keep), "byte") + " " + lost});
    }
}

}  // namespace

bool RepairPlan::Placeable() const {
    return std::all_of(faults.begin(), faults.end(),
                       [](const Finding& fault) { return fault.kind == FindingKind::kBreak; });
}

bool RepairPlan::Broken() const {
    return std::any_of(faults.begin(), faults.end(),
                       [](const Finding& fault) { return fault.kind == FindingKind::kBreak; });
}

RepairPlan PlanLpRepair(const LpPlacement& placement) {
    RepairPlan plan;
    plan.readError = placement.ReadError();
    if (!plan.readError.empty()) {
        return plan;
    }
    FindFaults(placement, plan);
    if (!plan.Placeable()) {
        return plan;
    }
    int32_t lastWithRecords = 0;
    for (const PlacedDayFile& file : placement.files) {
        lastWithRecords = file.whole > 0 ? file.day : lastWithRecords;
    }
    std::size_t breakAt = placement.files.size();
    long kept = 0;
    PlaceRecords(placement, lastWithRecords, plan, &breakAt, &kept);
    plan.records = static_cast<long>(plan.counters.totalRecCnt);
    if (breakAt == placement.files.size()) {
        PlanTidying(placement, lastWithRecords, plan);
    } else {
        PlanCut(placement, breakAt, kept, plan);
    }
    return plan;
}
