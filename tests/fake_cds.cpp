#include "fake_cds.h"

#include <cstring>

#include "driver/run_options.h"
#include "lpstate/lp_state.h"

FAKE_CDS g_fakeCds;

struct pcd_connection {};

namespace {

pcd_connection g_connection;

api_status_t ReadOne(const std::string& path, toolkit::CElement& element) {
    const auto failing = g_fakeCds.failingPaths.find(path);
    const auto leaf = g_fakeCds.leaves.find(path);
    if (failing != g_fakeCds.failingPaths.end()) {
        return failing->second;
    }
    if (leaf == g_fakeCds.leaves.end()) {
        return kCdsStatusNotFound;
    }
    element = leaf->second;
    return kCdsStatusOk;
}

}  // namespace

pcd_handle_t pcd_init() {
    return &g_connection;
}

void pcd_close(pcd_handle_t) {}

void CdsTest::Reset() {
    g_fakeCds = FAKE_CDS();
    memset(g_lP, 0, sizeof g_lP);
    g_logLevel = 0;
    g_showConfigOnly = false;
}

namespace toolkit {

int CCds::get_leaf(const std::string& path, api_status_t& status, CElement& element,
                   element_property_t& property) {
    g_fakeCds.calls.push_back({path});
    element = CElement();
    status = ReadOne(path, element);
    property = status == kCdsStatusOk ? 1 : 0;
    return g_fakeCds.getLeafResult;
}

int CCds::get_leaves(const std::vector<std::string>& paths, std::vector<api_status_t>& statuses,
                     std::vector<CElement>& values, std::vector<element_property_t>& properties) {
    g_fakeCds.calls.push_back(paths);
    statuses.assign(paths.size(), 0);
    values.assign(paths.size(), CElement());
    properties.assign(paths.size(), 0);
    for (size_t i = 0; i < paths.size() && g_fakeCds.getLeavesResult == kCdsOk; ++i) {
        statuses[i] = ReadOne(paths[i], values[i]);
        properties[i] = statuses[i] == kCdsStatusOk ? 1 : 0;
    }
    if (g_fakeCds.oneStatusShort) {
        statuses.pop_back();
    }
    if (g_fakeCds.oneValueShort) {
        values.pop_back();
    }
    return g_fakeCds.getLeavesResult;
}

int CCds::set_leaves(const std::vector<std::string>& paths, const std::vector<CElement>& values,
                     const std::vector<pcd_tribool_t>& flags, std::vector<api_status_t>& statuses,
                     const std::string&) {
    g_fakeCds.calls.push_back(paths);
    statuses.clear();
    for (size_t i = 0; i < paths.size() && g_fakeCds.setLeavesResult == kCdsOk; ++i) {
        const auto failing = g_fakeCds.failingPaths.find(paths[i]);
        if (failing != g_fakeCds.failingPaths.end()) {
            statuses.push_back(failing->second);
        } else if (flags[i] == 0 && g_fakeCds.leaves.count(paths[i]) == 0) {
            statuses.push_back(kCdsStatusNotFound);
        } else {
            g_fakeCds.leaves[paths[i]] = values[i];
            statuses.push_back(kCdsStatusOk);
        }
    }
    if (g_fakeCds.oneStatusShort) {
        statuses.pop_back();
    }
    return g_fakeCds.setLeavesResult;
}

}  // namespace toolkit
