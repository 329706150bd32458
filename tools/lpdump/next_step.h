// What to do next about a profile whose day files and store do not agree. Chosen here alone, so
// that --verify, --summary, their JSON and --repair say the same: a plain repair where that
// mends it, --force with what it costs where only that does, profill -c last.
#pragma once

#include <string>

#include "lpfile/lp_placement.h"
#include "profile_repair.h"
#include "profile_verify.h"

// The next step for the placement of LP placement.lp whose store counts currentDay day files,
// given its repair's plan. onlyTimeBreaks: every discrepancy is a break in time (--strict).
// listed: the findings are printed above this text; otherwise it points to --verify.
std::string NextStepText(const LpPlacement& placement, int32_t currentDay, const RepairPlan& plan,
                         bool onlyTimeBreaks, bool listed);

// The same for a check's discrepancies; empty when it found none.
std::string NextStepText(const LpPlacement& placement, int32_t currentDay,
                         const ProfileCheck& check, bool listed);
