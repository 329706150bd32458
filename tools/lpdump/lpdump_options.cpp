// lpdump's modes in one table of the usage's lines: each names the option that picks the mode and
// the options and files it takes. A command line is checked against them, so every refusal can
// say what is wrong.
#include "lpdump_options.h"

#include <getopt.h>

#include <algorithm>
#include <cstdlib>
#include <iterator>

#include "lpstate/lp_state.h"

namespace {

const char kHelp[] =
    "Dumps load-profile day files (without FILE: every day file of LP 1, or of LP 2 with -2,\n"
    "under PROFILL_JFFS, in order), sums up a profile, checks it against its bookkeeping in\n"
    "the CDS store (CDS_STORE) and brings that bookkeeping in line with the day files.\n"
    "  --channels N  the records hold N channels (0-16); the store is not read\n"
    "  --store       the channel count is the profile's NumChannels in the store (default)\n"
    "  --csv         one CSV table, times in ISO 8601, instead of a line per record\n"
    "  --summary     day files, records, time covered, runs and breaks, and the verdict\n"
    "  --verify      check the day files against the bookkeeping\n"
    "  --strict      with --verify: a break in time between runs is a discrepancy, not a note\n"
    "  --json        with --summary or --verify: one JSON object instead of text\n"
    "  --repair      bring the bookkeeping in line with the day files\n"
    "  --dry-run     with --repair: say what it would change, and change nothing\n"
    "  --force       with --repair: also cut the records from a break in their sequence on\n"
    "  -2            LP 2 instead of LP 1\n"
    "  -h, --help    print this text\n"
    "  --version     print the version\n"
    "Exit status:\n"
    "  0  all is well (--summary: the profile was read; --repair: it agrees now)\n"
    "  1  a damaged day file or a discrepancy; --repair: nothing changed, it cannot\n"
    "  2  a usage error or what cannot be read; --verify: a run is writing the profile\n"
    "See lpdump(1).\n";

// Each mode's line of the usage, after "lpdump ", in the order of LpdumpMode: the option that
// picks it (none for the dump, the default), then the options it takes.
const char* const kModes[] = {
    "[--channels N | --store] [-2 | FILE...]",
    "--csv [--channels N | --store] [-2 | FILE...]",
    "--summary [--json] [-2]",
    "--verify [--strict] [--json] [-2]",
    "--repair [--dry-run] [--force] [-2]",
};
static_assert(std::size(kModes) == kLpdumpModeCount, "a row for every mode");

// Every option: the mode it picks (-1: none) or the field it sets.
struct OptionRow {
    const char* name;
    int hasArg;
    int mode;
    bool LpdumpOptions::*field;
};

const OptionRow kOptions[] = {
    {"--csv", no_argument, kCsvMode, nullptr},
    {"--summary", no_argument, kSummaryMode, nullptr},
    {"--verify", no_argument, kVerifyMode, nullptr},
    {"--repair", no_argument, kRepairMode, nullptr},
    {"--channels", required_argument, -1, nullptr},
    {"--store", no_argument, -1, nullptr},
    {"--strict", no_argument, -1, &LpdumpOptions::strict},
    {"--json", no_argument, -1, &LpdumpOptions::json},
    {"--dry-run", no_argument, -1, &LpdumpOptions::dryRun},
    {"--force", no_argument, -1, &LpdumpOptions::force},
    {"-2", no_argument, -1, nullptr},
    {"--help", no_argument, -1, &LpdumpOptions::help},  // it and --version go with anything
    {"--version", no_argument, -1, &LpdumpOptions::version},
};
constexpr int kOptionCount = static_cast<int>(std::size(kOptions));
constexpr int kFirstOptionValue = 256;  // getopt's value of kOptions[0]

// The row of kOptions named name; -1 for none.
int OptionIndex(const std::string& name) {
    for (int i = 0; i < kOptionCount; ++i) {
        if (name == kOptions[i].name) {
            return i;
        }
    }
    return -1;
}

// The bit of the option named name in the set of options given, that of its row in kOptions.
unsigned Bit(const char* name) {
    return 1u << OptionIndex(name);
}

// Whether the usage line of mode names word ("--json", "FILE") as something it takes.
bool Takes(int mode, const std::string& word) {
    const std::string synopsis = std::string(kModes[mode]) + " ";
    const std::size_t at = synopsis.find(word);
    return at != std::string::npos && synopsis.find_first_of(" ]", at) == at + word.size();
}

void PrintUsage(FILE* out) {
    const char* lead = "usage: lpdump ";
    for (const char* synopsis : kModes) {
        fprintf(out, "%s%s\n", lead, synopsis);
        lead = "       lpdump ";
    }
    fprintf(out, "%s-h | --help | --version\n", lead);
}

// Says what is wrong with the command line, then the usage; returns false.
bool UsageError(const std::string& what) {
    fprintf(stderr, "lpdump: %s\n", what.c_str());
    PrintUsage(stderr);
    return false;
}

std::string ModeName(int mode) {
    const std::string synopsis = kModes[mode];
    return mode == kDumpMode ? "a dump" : synopsis.substr(0, synopsis.find(' '));
}

// "a dump or --csv", "--summary or --verify": the modes that take the option named name.
std::string ModesTaking(const std::string& name) {
    std::string names;
    for (int mode = 0; mode < kLpdumpModeCount; ++mode) {
        if (Takes(mode, name)) {
            names += (names.empty() ? "" : " or ") + ModeName(mode);
        }
    }
    return names;
}

// What getopt stopped at (returning c): an unknown option, a value missing or one too many.
std::string BadOption(int c, char** argv) {
    const std::string given = argv[optind - 1];
    if (c == ':') {
        return given + " needs a value";
    }
    if (optopt >= kFirstOptionValue) {
        return std::string(kOptions[optopt - kFirstOptionValue].name) + " takes no value";
    }
    if (optopt != 0) {
        return std::string("unknown option -") + static_cast<char>(optopt);
    }
    const std::string name = given.substr(0, given.find('='));
    const long matches = std::count_if(
        std::begin(kOptions), std::end(kOptions),
        [&](const OptionRow& row) { return std::string(row.name).rfind(name, 0) == 0; });
    return matches > 1 ? name + " is short for more than one option" : "unknown option " + given;
}

bool ParseChannels(const char* text, int* channels) {
    char* end = nullptr;
    const long count = strtol(text, &end, 10);
    if (*text == '\0' || *end != '\0' || count < 0 || count > kMaxChannels) {
        return UsageError("--channels takes 0 to " + std::to_string(kMaxChannels) + ", not \"" +
                          text + "\"");
    }
    *channels = static_cast<int>(count);
    return true;
}

// Whether the options given (a set of Bits) and the files go with the mode chosen.
bool CheckModeOptions(unsigned given, const LpdumpOptions& options) {
    const int mode = options.mode;
    for (int i = 0; i < kOptionCount; ++i) {
        if ((given >> i & 1u) != 0 && kOptions[i].mode < 0 && !Takes(mode, kOptions[i].name)) {
            return UsageError(std::string(kOptions[i].name) + " goes with " +
                              ModesTaking(kOptions[i].name) + ", not with " + ModeName(mode));
        }
    }
    if ((given & Bit("--channels")) != 0 && (given & Bit("--store")) != 0) {
        return UsageError("give --channels or --store, not both");
    }
    if (!options.files.empty() && !Takes(mode, "FILE...")) {
        return UsageError(ModeName(mode) + " reads the profile's day files itself and takes no " +
                          "FILE (\"" + options.files[0] + "\")");
    }
    if (!options.files.empty() && (given & Bit("-2")) != 0) {
        return UsageError("-2 picks LP 2's day files, so it takes no FILE (\"" + options.files[0] +
                          "\")");
    }
    return true;
}

}  // namespace

bool ParseLpdumpOptions(int argc, char** argv, LpdumpOptions* options) {
    std::vector<option> longOptions;
    for (int i = 0; i < kOptionCount; ++i) {
        if (kOptions[i].name[1] == '-') {
            longOptions.push_back(
                {kOptions[i].name + 2, kOptions[i].hasArg, nullptr, kFirstOptionValue + i});
        }
    }
    longOptions.push_back({});
    opterr = 0;  // the errors are said here, in one line before the usage
    unsigned given = 0;
    for (int c = 0; (c = getopt_long(argc, argv, ":2h", longOptions.data(), nullptr)) != -1;) {
        const int index = c >= kFirstOptionValue ? c - kFirstOptionValue
                          : c == '2'             ? OptionIndex("-2")
                          : c == 'h'             ? OptionIndex("--help")
                                                 : -1;
        if (index < 0) {
            return UsageError(BadOption(c, argv));
        }
        const OptionRow& row = kOptions[index];
        if (row.mode >= 0 && options->mode != kDumpMode && options->mode != row.mode) {
            return UsageError(ModeName(options->mode) + " and " + row.name +
                              " are two modes; give one");
        }
        options->mode = row.mode >= 0 ? static_cast<LpdumpMode>(row.mode) : options->mode;
        given |= 1u << index;
        if (row.field != nullptr) {
            options->*row.field = true;
        }
        if (row.hasArg == required_argument && !ParseChannels(optarg, &options->channels)) {
            return false;
        }
    }
    options->files.assign(argv + optind, argv + argc);
    options->lp = (given & Bit("-2")) != 0 ? 1 : 0;
    return options->help || options->version || CheckModeOptions(given, *options);
}

void PrintLpdumpHelp(FILE* out) {
    PrintUsage(out);
    fputs(kHelp, out);
}
