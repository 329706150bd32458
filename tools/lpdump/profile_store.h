// The leaves of a load profile in the CDS that lpdump reads and its repair writes: the five
// file-information counters under /LP/<n>/ and the channel count of the profile's configuration.
#pragma once

#include <cstdint>
#include <string>

#include "cds/toolkit.h"
#include "profile_verify.h"

constexpr int kLpCounterCount = 5;
// The counters in the order of their leaves (kLpFileInfoLeaves).
constexpr int32_t LpCounters::*kLpCounters[kLpCounterCount] = {
    &LpCounters::currentDay, &LpCounters::fileRecCnt, &LpCounters::totalRecCnt, &LpCounters::dayCnt,
    &LpCounters::daysDeleted};

struct ProfileLeaves {
    LpCounters counters;
    bool present[kLpCounterCount];  // which counters the store holds, in the order of LpCounters
    int32_t numChannels;
};

// What the leaves are read for, which decides whether the counters must be there and what a
// failing store's message offers as the way around it.
enum class LeafUse {
    kDump,    // only the channel count is needed; --channels does without the store
    kVerify,  // every leaf is needed; a missing counter is one the repair stores
    kRepair,  // the counters are what the repair stores, so they may be missing
};

// Reads the leaves of LP index lp in one transaction. A counter that is missing or holds no
// element is taken as 0 and not present unless use is kVerify; otherwise, like an unreadable
// channel count, it fails the read. False after saying on standard error which store (the file
// CDS_STORE names, on a host) failed, why, and what to do about it.
bool ReadProfileLeaves(toolkit::CCds& cds, int lp, LeafUse use, ProfileLeaves* leaves);

// Stores the five counters of LP index lp in one write, creating the leaves that are missing.
// False with the reason in *error.
bool WriteProfileCounters(toolkit::CCds& cds, int lp, const LpCounters& counters,
                          std::string* error);

// What lpdump says of the store, on a host (profile_store_host.cpp: the file CDS_STORE names) or
// on the device (profile_store_device.cpp: the platform's CDS).
std::string StoreName();
// Says on standard error why the client gave no connection and what to do about it.
void ReportNoConnection(LeafUse use);
