// Run options: process globals set once from the command line, and the run-wide values of the
// generation run. Everything else only reads them.
#pragma once

#include <cstdint>
#include <cstdio>

// A wall-clock reading as the device keeps it: 32-bit seconds since the epoch (unsigned, so it
// holds until 2106 even where time_t is 32 bits), then microseconds.
struct WALL_TIME {
    uint32_t seconds;
    uint32_t micros;
};

extern int32_t g_profileIntervalLength;  // -i, minutes
extern bool g_useLocalInterval;          // true when -i was given
extern int32_t g_totalDays;              // -t
extern bool g_clearCDSBeforeStart;       // -c
extern int32_t g_profileIndex;           // -2 sets 1 (LP 2); index into g_lP
extern bool g_showConfigOnly;            // -s
extern bool g_printStorageCalculations;  // -p
extern int32_t g_logLevel;               // -d, debug bit mask, never negative
extern int32_t g_intervalSecs;           // interval in force for the run, seconds
extern WALL_TIME g_lastIntervalTime;     // seconds: start of the next interval to generate
extern const char* g_appVersion;
// The name the checks shared with the companion tools speak under, and where they say why they
// refuse: profill says everything on standard output (nullptr: stdout as it stands when they
// speak, which RetryInterruptedStdoutWrites may have replaced), lpload its refusals on standard
// error.
extern const char* g_programName;
extern FILE* g_refusalStream;
inline FILE* RefusalStream() {
    return g_refusalStream != nullptr ? g_refusalStream : stdout;
}

// Prints the usage text on standard output.
void ShowUsage();

// Parses argv[1..argc-1] into the run options. The options are recognised only in the order
// -i -t -c -2 -s -p -d, each at most once. On an error prints its message (when it has one) and
// the usage text and returns 1; the caller ends the process. Returns 0 otherwise.
int ParseCommandLine(int argc, char** argv);
