// lpdump's words for the device's CDS, which says no more than that it cannot be reached.
#include <cstdio>

#include "profile_store.h"

std::string StoreName() {
    return "the CDS";
}

void ReportNoConnection(LeafUse use) {
    fprintf(stderr, "lpdump: cannot connect to the CDS%s\n",
            use == LeafUse::kDump ? "; give --channels N to dump without it" : "");
}
