// The leaves of a load profile in the CDS that lpdump reads and its repair writes: the five
// file-information counters under /LP/<n>/ and the channel count of the profile's configuration.
#pragma once

#include <cstdint>
#include <string>

#include "cds/toolkit.h"
#include "profile_verify.h"

constexpr int kLpCounterCount = 5;

struct ProfileLeaves {
    LpCounters counters;
    bool present[kLpCounterCount];  // which counters the store holds, in the order of LpCounters
    int32_t numChannels;
};

// Reads the leaves of LP index lp in one transaction. A counter that is missing or holds no
// element is taken as 0 and not present when countersOptional; otherwise, like an unreadable
// channel count, it fails the read. False after saying why on standard error, naming the store
// file (CDS_STORE) when it cannot be opened.
bool ReadProfileLeaves(toolkit::CCds& cds, int lp, bool countersOptional, ProfileLeaves* leaves);

// Stores the five counters of LP index lp in one write, creating the leaves that are missing.
// False with the reason in *error.
bool WriteProfileCounters(toolkit::CCds& cds, int lp, const LpCounters& counters,
                          std::string* error);
