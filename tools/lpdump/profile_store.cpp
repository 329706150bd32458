#include "profile_store.h"

#include <cstdio>
#include <vector>

#include "driver/run_options.h"
#include "lpstate/lp_leaves.h"

namespace {

std::string CounterPath(int lp, int k) {
    return LpFileInfoPrefix(lp + 1) + kLpFileInfoLeaves[k];
}

// How to get on without what the store does not give.
std::string WayAround(LeafUse use, bool channelLeaf, int lp) {
    const std::string dumpWithout = "give --channels N to dump without it";
    if (!channelLeaf) {
        return "lpdump --repair" + Lp2Option(lp) + " stores it from the day files";
    }
    return use == LeafUse::kDump ? "set it with cdsctl set, or " + dumpWithout
                                 : std::string("set it with cdsctl set");
}

}  // namespace

bool ReadProfileLeaves(toolkit::CCds& cds, int lp, LeafUse use, ProfileLeaves* leaves) {
    if (cds.handle() == nullptr) {
        ReportNoConnection(use);
        return false;
    }
    std::vector<std::string> paths;
    for (int k = 0; k < kLpCounterCount; ++k) {
        paths.push_back(CounterPath(lp, k));
    }
    paths.push_back(LpConfigPrefix(lp + 1) + kLpChannelCountLeaf);
    std::vector<api_status_t> statuses;
    std::vector<toolkit::CElement> elements;
    std::vector<element_property_t> properties;
    const int rc = cds.get_leaves(paths, statuses, elements, properties);
    if (rc != 0) {
        fprintf(stderr, "%s: cannot read %s: its read of LP %d's leaves returned %d; %s\n",
                g_programName, StoreName().c_str(), lp + 1, rc,
                use == LeafUse::kDump ? "give --channels N to dump without it"
                                      : "cdsctl scan says what is wrong with it");
        return false;
    }
    *leaves = {};
    for (std::size_t i = 0; i < paths.size(); ++i) {
        const bool channelLeaf = i == kLpCounterCount;
        const api_status_t status = i < statuses.size() ? statuses[i] : kCdsStatusNotFound;
        if (status == kCdsStatusOk && i < elements.size()) {
            const int32_t value = elements[i].to_int();
            if (channelLeaf) {
                leaves->numChannels = value;
            } else {
                leaves->counters.*kLpCounters[i] = value;
                leaves->present[i] = true;
            }
            continue;
        }
        const bool absent = status == kCdsStatusNotFound || status == kCdsStatusBadValue;
        if (!channelLeaf && absent && use != LeafUse::kVerify) {
            continue;
        }
        const std::string what =
            status == kCdsStatusNotFound ? "has no " + paths[i]
            : status == kCdsStatusBadValue
                ? "holds no value at " + paths[i] + " (its stored bytes are no element)"
                : "gives status " + std::to_string(status) + " for " + paths[i];
        fprintf(stderr, "%s: %s %s; %s\n", g_programName, StoreName().c_str(), what.c_str(),
                WayAround(use, channelLeaf, lp).c_str());
        return false;
    }
    return true;
}

bool WriteProfileCounters(toolkit::CCds& cds, int lp, const LpCounters& counters,
                          std::string* error) {
    std::vector<std::string> paths;
    std::vector<toolkit::CElement> elements(kLpCounterCount);
    for (int k = 0; k < kLpCounterCount; ++k) {
        paths.push_back(CounterPath(lp, k));
        elements[static_cast<std::size_t>(k)].set_int(counters.*kLpCounters[k]);
    }
    const std::vector<pcd_tribool_t> create(kLpCounterCount, 1);
    std::vector<api_status_t> statuses;
    const int rc = cds.set_leaves(paths, elements, create, statuses, "lpdump --repair");
    if (rc != 0) {
        *error = "set_leaves returned " + std::to_string(rc);
        return false;
    }
    for (std::size_t k = 0; k < paths.size(); ++k) {
        if (k >= statuses.size() || statuses[k] != kCdsStatusOk) {
            *error = paths[k] + " got status " +
                     (k < statuses.size() ? std::to_string(statuses[k]) : std::string("none"));
            return false;
        }
    }
    return true;
}
