// lpdump's words for the device's CDS, which says no more than that it cannot be reached.
#include <cstdio>

#include "driver/run_options.h"
#include "profile_store.h"

std::string StoreName() {
    return "the CDS";
}

void ReportNoConnection(LeafUse use) {
    fprintf(stderr, "%s: cannot connect to the CDS%s\n", g_programName,
            use == LeafUse::kDump ? "; give --channels N to dump without it" : "");
}
