#include "driver/run_options.h"

#include <cctype>
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

namespace {

const char* const kUsage[] = {
    "Usage: profill -i <interval length in minutes 1 -> 60>  -t <total days> -c [-2] [-s] [-p] "
    "[-d 0xXXX]",
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

// Skips white space and an optional sign; returns the position of the first digit candidate.
const char* SkipSpaceAndSign(const char* text, bool* negative) {
    while (isspace(static_cast<unsigned char>(*text))) {
        ++text;
    }
    *negative = (*text == '-');
    if (*text == '-' || *text == '+') {
        ++text;
    }
    return text;
}

}  // namespace

void ShowUsage() {
    for (const char* line : kUsage) {
        puts(line);
    }
}

bool ScanDecimal(const char* text, int32_t* value) {
    bool negative = false;
    const char* digits = SkipSpaceAndSign(text, &negative);
    if (!isdigit(static_cast<unsigned char>(*digits))) {
        return false;
    }
    // Accumulate in 64 bits and stop as soon as the number leaves the 32-bit range, so that an
    // over-long number is refused instead of wrapping.
    int64_t magnitude = 0;
    for (; isdigit(static_cast<unsigned char>(*digits)); ++digits) {
        magnitude = magnitude * 10 + (*digits - '0');
        if (magnitude > 2147483648LL) {
            return false;
        }
    }
    int64_t signedValue = negative ? -magnitude : magnitude;
    if (signedValue > INT32_MAX) {
        return false;
    }
    *value = static_cast<int32_t>(signedValue);
    return true;
}

bool ScanHex(const char* text, uint32_t* value) {
    bool negative = false;
    const char* digits = SkipSpaceAndSign(text, &negative);
    if (digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X') &&
        isxdigit(static_cast<unsigned char>(digits[2]))) {
        digits += 2;
    }
    if (!isxdigit(static_cast<unsigned char>(*digits))) {
        return false;
    }
    uint64_t magnitude = 0;
    for (; isxdigit(static_cast<unsigned char>(*digits)); ++digits) {
        int c = tolower(static_cast<unsigned char>(*digits));
        magnitude = magnitude * 16 + static_cast<uint64_t>(isdigit(c) ? c - '0' : c - 'a' + 10);
        if (magnitude > UINT32_MAX) {
            return false;
        }
    }
    uint32_t bits = static_cast<uint32_t>(magnitude);
    *value = negative ? 0u - bits : bits;
    return true;
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
