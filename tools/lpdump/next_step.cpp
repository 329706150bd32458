#include "next_step.h"

#include "lpstate/lp_leaves.h"

std::string NextStepText(const LpPlacement& placement, int32_t currentDay, const RepairPlan& plan,
                         bool onlyTimeBreaks, bool listed) {
    const int n = placement.lp + 1;
    const std::string two = Lp2Option(placement.lp);
    const std::string afresh = "; or profill -c" + two + " starts the profile afresh";
    if (placement.otherChannels >= 0) {
        return "set the channel count back with cdsctl set " + LpConfigPrefix(n) +
               kLpChannelCountLeaf + " " + std::to_string(placement.otherChannels) + afresh;
    }
    if (placement.ClearStopped(currentDay)) {
        return "a profill -c stopped in its removal leaves this; profill -c" + two +
               " again finishes the clear";
    }
    if (onlyTimeBreaks) {
        return "without --strict the breaks in time are notes: each run that continues a "
               "profile leaves one";
    }
    if (!plan.readError.empty() || !plan.Placeable()) {
        const std::string named =
            listed ? "what the lines above name" : "what lpdump --verify" + two + " names";
        return "set right or remove " + named + ", then lpdump --repair" + two + afresh;
    }
    if (!plan.Broken()) {
        return "lpdump --repair" + two + " brings the store in line with the day files";
    }
    if (plan.records == 0) {
        return "profill -c" + two + " starts the profile afresh: no record comes before the break";
    }
    return "lpdump --repair --force" + two + " keeps the " + Count(plan.records, "record") +
           " before the break and removes the " + Count(plan.lost, "whole record") + " from it on" +
           afresh;
}

std::string NextStepText(const LpPlacement& placement, int32_t currentDay,
                         const ProfileCheck& check, bool listed) {
    const int discrepancies = check.Discrepancies();
    if (discrepancies == 0) {
        return "";
    }
    const bool onlyTimeBreaks = check.strict && discrepancies == check.TimeBreaks();
    return NextStepText(placement, currentDay, PlanLpRepair(placement), onlyTimeBreaks, listed);
}
