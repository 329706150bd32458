#include "profile_json.h"

#include <nlohmann/json.hpp>

#include "lpfile/lp_dirs.h"
#include "record_time.h"

namespace {

using Json = nlohmann::ordered_json;

Json TimeJson(uint32_t seconds) {
    return {{"seconds", seconds},
            {"utc", FormatLpIsoTime(seconds, true)},
            {"local", FormatLpIsoTime(seconds, false)}};
}

std::string Text(const Json& json) {
    return json.dump(-1, ' ', false, Json::error_handler_t::replace) + "\n";
}

}  // namespace

std::string SummaryJson(const LpPlacement& p, const ProfileSummary& summary) {
    const ProfileSummary& s = summary;
    Json files = Json::array(), intervals = Json::array(), breaks = Json::array();
    for (const DayFileCount& file : s.files) {
        files.push_back({{"day", file.day}, {"records", file.records}});
    }
    for (const auto& [seconds, count] : s.intervals) {
        intervals.push_back({{"seconds", seconds}, {"records", count}});
    }
    for (const TimeBreak& b : s.breaks) {
        breaks.push_back(
            {{"file", b.file}, {"offset", b.offset}, {"record", b.record}, {"seconds", b.seconds}});
    }
    const LpCounters& c = s.leaves.counters;
    Json json = {
        {"profile", p.lp + 1},
        {"directory", LpDirectory(p.lp)},
        {"channels", p.channels},
        {"recordChannels", p.otherChannels >= 0 ? p.otherChannels : p.channels},
        {"dayFiles", files},
        {"otherFiles", Json(p.stray)},
        {"records", s.records},
        {"firstStart", s.records > 0 ? TimeJson(s.firstStart) : Json()},
        {"lastEnd", s.records > 0 ? TimeJson(s.lastEnd) : Json()},
        {"intervals", intervals},
        {"runs", s.records > 0 ? s.breaks.size() + 1 : 0},
        {"breaks", breaks},
        {"gaps", {{"count", s.gaps}, {"seconds", s.gapSeconds}}},
        {"overlaps", {{"count", s.overlaps}, {"seconds", s.overlapSeconds}}},
        {"store",
         {{"currentDay", c.currentDay},
          {"fileRecCnt", c.fileRecCnt},
          {"totalRecCnt", c.totalRecCnt},
          {"dayCnt", c.dayCnt},
          {"daysDeleted", c.daysDeleted}}},
        {"verdict", !s.writer.empty()      ? "not checked"
                    : s.discrepancies == 0 ? "agrees"
                                           : "disagrees"},
        {"discrepancies", s.discrepancies},
        {"notes", s.notes},
        {"next", s.next},
    };
    return Text(json);
}

std::string CheckJson(const LpPlacement& p, const ProfileCheck& check, const std::string& next) {
    Json findings = Json::array();
    for (const Finding& finding : check.findings) {
        findings.push_back({{"where", finding.where},
                            {"text", finding.text},
                            {"discrepancy", check.IsDiscrepancy(finding)},
                            {"timeBreak", finding.kind == FindingKind::kTimeBreak}});
    }
    const int discrepancies = check.Discrepancies();
    const Json json = {
        {"profile", p.lp + 1},
        {"strict", check.strict},
        {"verdict", discrepancies == 0 ? "agrees" : "disagrees"},
        {"dayFilesRead", check.files},
        {"records", check.records},
        {"channels", p.channels},
        {"discrepancies", discrepancies},
        {"notes", static_cast<int>(check.findings.size()) - discrepancies},
        {"timeBreaks", check.TimeBreaks()},
        {"findings", findings},
        {"next", next},
    };
    return Text(json);
}
