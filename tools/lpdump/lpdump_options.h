// lpdump's command line: its modes, the options each takes, the usage and the help.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

// In the order of the usage's lines.
enum LpdumpMode { kDumpMode, kCsvMode, kSummaryMode, kVerifyMode, kRepairMode, kLpdumpModeCount };

struct LpdumpOptions {
    LpdumpMode mode = kDumpMode;
    int channels = -1;  // -1: from the store
    bool strict = false;
    bool json = false;
    bool dryRun = false;
    bool force = false;
    bool help = false;
    bool version = false;
    int lp = 0;  // LP index: 1 with -2
    std::vector<std::string> files;
};

// Parses the command line. A command line that fits no mode returns false after one line that
// says what is wrong and the usage, on standard error.
bool ParseLpdumpOptions(int argc, char** argv, LpdumpOptions* options);

// The usage and what each option does, for --help.
void PrintLpdumpHelp(FILE* out);
