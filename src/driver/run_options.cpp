#include "driver/run_options.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

int32_t g_profileIntervalLength = 15;
bool g_useLocalInterval = false;
int32_t g_totalDays = 2;
bool g_clearCDSBeforeStart = false;
int32_t g_profileIndex = 0;
bool g_showConfigOnly = false;
bool g_printStorageCalculations = false;
int32_t g_logLevel = 0;
int32_t g_intervalSecs = 900;
WALL_TIME g_lastIntervalTime = {0, 0};
const char* g_appVersion = "0.0.01";
const char* g_programName = "profill";
FILE* g_refusalStream = nullptr;

namespace {

const char* const kUsage[] = {
    ("Usage: profill -i <interval length in minutes 1 -> 60>  -t <total days> -c [-2] [-s] [-p] "
     "[-d 0xXXX]"),
    " -i: set the interval length to minutes 1-60,1440(daily),10080(weekly),43800(monthly)",
    " -t: total number of days/files of data to auto generate data for 1->365 (default is 2)",
    " -c: clear file info parms in CDS before starting...to all zero's",
    " -2: Select LP 2;  otherwise LP 1 is assumed",
    " -s: Read & Display Configuration and File Info Only; (skip)DO NOT GENERATE LP RECORDS",
    " -p: Print out Table of Storage Allocations DO NOT GENERATE LP RECORDS",
    " -d: set the debug log level",
    "     1: Display Configuration read from CDS",
    "     2: WriteLpRecord",
    "",
    " If no interval length is entered, value in the CDS is used.",
    "",
};

// Prints the message (if any) and the usage text; the result is the command-line error status.
int UsageError(const char* message) {
    if (message != nullptr) {
        puts(message);
    }
    ShowUsage();
    return 1;
}

bool IsAcceptedInterval(int32_t minutes) {
    return (minutes >= 1 && minutes <= 60) || minutes == 1440 || minutes == 10080 ||
           minutes == 43800;
}

// Scans a leading integer as the option values are read: leading white space, a sign and text
// after the number are accepted (and for base 16 a 0x prefix). False when there is no number
// or it does not fit in 64 bits.
bool ScanInteger(const char* text, int base, long long* value) {
    char* end = nullptr;
    errno = 0;
    *value = strtoll(text, &end, base);
    return end != text && errno != ERANGE;
}

// A decimal option value; one beyond 32 bits counts as no number rather than wrapping.
bool ScanDecimal(const char* text, int32_t* value) {
    long long scanned = 0;
    if (!ScanInteger(text, 10, &scanned) || scanned < INT32_MIN || scanned > INT32_MAX) {
        return false;
    }
    *value = static_cast<int32_t>(scanned);
    return true;
}

// A hexadecimal option value; a negative one wraps to its 32-bit two's complement, as a
// hexadecimal scan into an unsigned 32-bit integer does. A magnitude beyond 32 bits is refused.
bool ScanHex(const char* text, uint32_t* value) {
    long long scanned = 0;
    if (!ScanInteger(text, 16, &scanned) || scanned < -0xFFFFFFFFLL || scanned > 0xFFFFFFFFLL) {
        return false;
    }
    *value = static_cast<uint32_t>(scanned);
    return true;
}

}  // namespace

void ShowUsage() {
    for (const char* line : kUsage) {
        puts(line);
    }
}

int ParseCommandLine(int argc, char** argv) {
    int p = 1;
    auto at = [&](int i) -> const char* { return i < argc ? argv[i] : nullptr; };
    auto is = [&](int i, const char* option) {
        return at(i) != nullptr && strcmp(at(i), option) == 0;
    };

    if (is(p, "-i")) {
        if (at(p + 1) == nullptr) {
            return UsageError("Missing interval length value");
        }
        int32_t minutes = 0;
        if (!ScanDecimal(at(p + 1), &minutes)) {
            return UsageError(nullptr);
        }
        printf("interval length is %d\n", minutes);
        if (!IsAcceptedInterval(minutes)) {
            return UsageError("Invalid interval length value; must be 1 -> 60");
        }
        g_profileIntervalLength = minutes;
        g_useLocalInterval = true;
        p += 2;
    }
    if (is(p, "-t")) {
        if (at(p + 1) == nullptr) {
            return UsageError("Missing number of days to generate data for");
        }
        int32_t days = 0;
        if (!ScanDecimal(at(p + 1), &days) || days < 1 || days > 1500) {
            return UsageError(nullptr);
        }
        g_totalDays = days;
        p += 2;
    }
    if (is(p, "-c")) {
        g_clearCDSBeforeStart = true;
        ++p;
    }
    if (is(p, "-2")) {
        g_profileIndex = 1;
        ++p;
    }
    if (is(p, "-s")) {
        g_showConfigOnly = true;
        ++p;
    }
    if (is(p, "-p")) {
        g_printStorageCalculations = true;
        ++p;
    }
    if (at(p) == nullptr) {
        return 0;
    }
    if (!is(p, "-d")) {
        return UsageError(nullptr);
    }
    if (at(p + 1) == nullptr) {
        return UsageError("NO debug log level entered");
    }
    uint32_t level = 0;
    if (!ScanHex(at(p + 1), &level)) {
        return UsageError("Invalid debug log level entered");
    }
    printf("debug level is: string=%s = hex=%x; decimal=%d\n", at(p + 1), level,
           static_cast<int32_t>(level));
    if (level > INT32_MAX) {
        return UsageError("Invalid debug log level entered");
    }
    g_logLevel = static_cast<int32_t>(level);
    return 0;
}
