// The times of records as lpdump prints them.
#pragma once

#include <cstdint>
#include <string>

// seconds as "YYYY-MM-DD HH:MM:SS ZONE", in UTC or in local time (TZ); "@seconds" when this
// host's time_t cannot hold them.
std::string FormatLpTime(uint32_t seconds, bool utc);

// seconds in ISO 8601 with the offset, for programs that read what lpdump writes:
// "2026-12-06T07:15:00Z" in UTC, "2026-12-06T08:15:00+01:00" in local time (TZ); "@seconds" when
// this host's time_t cannot hold them.
std::string FormatLpIsoTime(uint32_t seconds, bool utc);
