// What lpdump's modes over a whole profile share: the exit statuses, how many findings are shown,
// and what says that a run is writing the profile.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

#include "lpdump_options.h"
#include "profile_verify.h"

// The exit statuses, as man/lpdump.1 lists them for each mode.
constexpr int kExitOk = 0;
constexpr int kExitBadFile = 1;
constexpr int kExitFailure = 2;

// A shifted file can find something in every record, and a profile continued by many runs has a
// note for each; the first ones say what is wrong, the count says how much.
constexpr std::size_t kMaxFindingsShown = 100;

// " (pid N)" for the holder of a profile's lock, "" when its pid is not known.
std::string Pid(int holder);

// Says on out that LP placement.lp cannot be `doing` ("verify") and which day file or directory
// cannot be read, unless all could be or only the listing failed and exceptListing is set; true
// when it said so.
bool CannotRead(FILE* out, const char* doing, const LpPlacement& placement, bool exceptListing);

bool SameCounters(const LpCounters& a, const LpCounters& b);

// --repair, once the flash root is taken.
int Repair(const LpdumpOptions& options);
