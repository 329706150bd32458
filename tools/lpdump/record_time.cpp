#include "record_time.h"

#include <ctime>

namespace {

// A record's time as text for people or in ISO 8601, in UTC or local time, or "@seconds" where
// this host's time_t cannot hold it.
std::string FormatRecordTime(uint32_t seconds, bool utc, bool iso) {
    const std::time_t time = static_cast<std::time_t>(seconds);
    struct tm fields = {};
    char text[64];
    // A 32-bit time_t turns the upper half of the record's unsigned range negative.
    if (static_cast<uint32_t>(time) != seconds || time < 0 ||
        (utc ? gmtime_r(&time, &fields) : localtime_r(&time, &fields)) == nullptr) {
        return "@" + std::to_string(seconds);
    }
    const size_t length =
        iso ? strftime(text, sizeof text, utc ? "%Y-%m-%dT%H:%M:%SZ" : "%Y-%m-%dT%H:%M:%S%z",
                       &fields)
            : strftime(text, sizeof text, utc ? "%Y-%m-%d %H:%M:%S UTC" : "%Y-%m-%d %H:%M:%S %Z",
                       &fields);
    return length == 0 ? "@" + std::to_string(seconds) : std::string(text);
}

}  // namespace

std::string FormatLpTime(uint32_t seconds, bool utc) {
    return FormatRecordTime(seconds, utc, false);
}

std::string FormatLpIsoTime(uint32_t seconds, bool utc) {
    std::string iso = FormatRecordTime(seconds, utc, true);
    // strftime's %z gives +hhmm; ISO 8601's extended form, which readers expect beside the
    // extended date and time, is +hh:mm.
    if (!utc && iso[0] != '@' && iso.size() >= 5 &&
        (iso[iso.size() - 5] == '+' || iso[iso.size() - 5] == '-')) {
        iso.insert(iso.size() - 2, ":");
    }
    return iso;
}
