// The summary of a profile and the findings of its check as one JSON object each, for test
// harnesses and scripts: counts are JSON numbers, times are given as seconds since the epoch
// and in ISO 8601.
#pragma once

#include <string>

#include "profile_summary.h"
#include "profile_verify.h"

// One line, ending in a newline. Bytes of a path that are no UTF-8 become U+FFFD.
std::string SummaryJson(const LpPlacement& placement, const ProfileSummary& summary);

// The check of placement as lpdump --verify [--strict] saw it; next is what to do about its
// discrepancies (NextStepText).
std::string CheckJson(const LpPlacement& placement, const ProfileCheck& check,
                      const std::string& next);
