#include "profile_store.h"

#include <cstdio>
#include <vector>

#ifdef PROFILL_HOST_STORE
#include "cds/host_store.h"
#include "cds/pcd.h"
#endif

namespace {

const char* const kCounterNames[kLpCounterCount] = {"currentDay", "fileRecCnt", "totalRecCnt",
                                                    "dayCnt", "daysDeleted"};

int32_t* CounterField(LpCounters* counters, int k) {
    int32_t* const fields[kLpCounterCount] = {&counters->currentDay, &counters->fileRecCnt,
                                              &counters->totalRecCnt, &counters->dayCnt,
                                              &counters->daysDeleted};
    return fields[k];
}

std::string CounterPath(int lp, int k) {
    return "/LP/" + std::to_string(lp + 1) + "/" + kCounterNames[k] + "/Value";
}

// Why the client gave no connection. On a host the store's own opening says why; the device's
// CDS says no more than that it cannot be reached.
void ReportNoConnection() {
#ifdef PROFILL_HOST_STORE
    const std::string store = CdsStorePath();
    std::string error;
    if (pcd_handle_t handle = OpenCdsStore(store, &error); handle != nullptr) {
        pcd_close(handle);
        error = "it opens now: another program may have been changing it";
    }
    fprintf(stderr, "lpdump: cannot open the CDS store %s: %s\n", store.c_str(), error.c_str());
#else
    fputs("lpdump: cannot connect to the CDS\n", stderr);
#endif
}

}  // namespace

bool ReadProfileLeaves(toolkit::CCds& cds, int lp, bool countersOptional, ProfileLeaves* leaves) {
    if (cds.handle() == nullptr) {
        ReportNoConnection();
        return false;
    }
    std::vector<std::string> paths;
    for (int k = 0; k < kLpCounterCount; ++k) {
        paths.push_back(CounterPath(lp, k));
    }
    paths.push_back("/Q7M/LoadPrf/" + std::to_string(lp + 1) + "/NumChannels/Value");
    std::vector<api_status_t> statuses;
    std::vector<toolkit::CElement> elements;
    std::vector<element_property_t> properties;
    const int rc = cds.get_leaves(paths, statuses, elements, properties);
    *leaves = {};
    for (std::size_t i = 0; i < paths.size(); ++i) {
        const bool read = rc == 0 && i < statuses.size() && i < elements.size();
        const bool absent =
            read && (statuses[i] == kCdsStatusNotFound || statuses[i] == kCdsStatusBadValue);
        if (read && statuses[i] == kCdsStatusOk) {
            const int32_t value = elements[i].to_int();
            if (i < kLpCounterCount) {
                *CounterField(&leaves->counters, static_cast<int>(i)) = value;
                leaves->present[i] = true;
            } else {
                leaves->numChannels = value;
            }
        } else if (!(countersOptional && absent && i < kLpCounterCount)) {
            fprintf(stderr, "lpdump: cannot read %s from the CDS store\n", paths[i].c_str());
            return false;
        }
    }
    return true;
}

bool WriteProfileCounters(toolkit::CCds& cds, int lp, const LpCounters& counters,
                          std::string* error) {
    std::vector<std::string> paths;
    std::vector<toolkit::CElement> elements(kLpCounterCount);
    LpCounters values = counters;
    for (int k = 0; k < kLpCounterCount; ++k) {
        paths.push_back(CounterPath(lp, k));
        elements[static_cast<std::size_t>(k)].set_int(*CounterField(&values, k));
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
