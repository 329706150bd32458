// The command-line parser on arbitrary arguments (after the program name, each ended by a NUL
// byte), every run from the options of a fresh process.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <tuple>
#include <vector>

#include "driver/run_options.h"
#include "fuzz_check.h"

namespace {

// The options the parser may set; assigning to the result restores them.
auto Options() {
    return std::tie(g_profileIntervalLength, g_useLocalInterval, g_totalDays, g_clearCDSBeforeStart,
                    g_profileIndex, g_showConfigOnly, g_printStorageCalculations, g_logLevel,
                    g_intervalSecs, g_lastIntervalTime.seconds, g_lastIntervalTime.micros);
}

template <typename... T>
std::tuple<T...> Copy(const std::tuple<T&...>& options) {
    return options;
}

bool Given(const std::vector<std::string>& args, const char* option) {
    return std::find(args.begin(), args.end(), option) != args.end();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const auto fresh = Copy(Options());
    Options() = fresh;
    const auto& [interval0, local0, days0, clear0, index0, show0, print0, level0, secs0, seconds0,
                 micros0] = fresh;

    std::vector<std::string> args = {"profill", ""};
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == 0) {
            args.emplace_back();
        } else {
            args.back().push_back(static_cast<char>(data[i]));
        }
    }
    if (args.back().empty())
        args.pop_back();
    std::vector<std::string> passed = args;
    std::vector<char*> argv;
    for (std::string& each : passed)
        argv.push_back(each.data());
    argv.push_back(nullptr);

    const int result = ParseCommandLine(static_cast<int>(args.size()), argv.data());

    FuzzCheck(result == 0 || result == 1, "the status is 0 or 1");
    FuzzCheck(passed == args, "the arguments are left as they were");
    // What the options may hold after any parse, good or bad.
    const int32_t interval = g_profileIntervalLength;
    FuzzCheck(g_useLocalInterval ? (interval >= 1 && interval <= 60) || interval == 1440 ||
                                       interval == 10080 || interval == 43800
                                 : interval == interval0,
              "-i sets an accepted interval or nothing");
    FuzzCheck(g_totalDays >= 1 && g_totalDays <= 1500, "the days are 1 to 1500");
    FuzzCheck(g_logLevel >= 0, "the debug level is never negative");
    FuzzCheck(g_profileIndex == 0 || g_profileIndex == 1, "the profile index is 0 or 1");
    // An option takes effect only when it was given.
    FuzzCheck(!g_useLocalInterval || Given(args, "-i"), "an interval without -i");
    FuzzCheck(g_totalDays == days0 || Given(args, "-t"), "days without -t");
    FuzzCheck(!g_clearCDSBeforeStart || Given(args, "-c"), "clearing without -c");
    FuzzCheck(g_profileIndex == 0 || Given(args, "-2"), "LP 2 without -2");
    FuzzCheck(!g_showConfigOnly || Given(args, "-s"), "show only without -s");
    FuzzCheck(!g_printStorageCalculations || Given(args, "-p"), "the table without -p");
    FuzzCheck(g_logLevel == level0 || Given(args, "-d"), "a debug level without -d");
    FuzzCheck(g_intervalSecs == secs0 && g_lastIntervalTime.seconds == seconds0 &&
                  g_lastIntervalTime.micros == micros0,
              "the run-wide values are the run's, not the parser's");
    return 0;
}
