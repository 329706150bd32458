// lpdump's words for the host store: the file CDS_STORE names, and why it did not open.
#include <cstdio>

#include "cds/host_store.h"
#include "driver/run_options.h"
#include "profile_store.h"

std::string StoreName() {
    return "the CDS store " + CdsStorePath();
}

// A missing file may be the wrong CDS_STORE; a damaged one is not mended by naming it again.
void ReportNoConnection(LeafUse use) {
    CdsOpenFailure failure = LastCdsOpenFailure();
    if (failure.path.empty())
        failure.path = CdsStorePath();
    const bool dump = use == LeafUse::kDump;
    std::string around;
    if (failure.missing) {
        around =
            dump ? "; set CDS_STORE, or give --channels N to dump without it" : "; set CDS_STORE";
    } else if (dump) {
        around = "; give --channels N to dump without it";
    } else if (failure.damaged) {
        around = "; move it aside and make a new one (cdsctl init FILE), then lpdump --repair";
    }
    fprintf(stderr, "%s: cannot open the CDS store %s: %s%s\n", g_programName, failure.path.c_str(),
            failure.reason.c_str(), around.c_str());
}
