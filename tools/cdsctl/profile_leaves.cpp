#include "profile_leaves.h"

#include <strings.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <map>
#include <numeric>

#include "cds_text.h"
#include "lpstate/lp_leaves.h"
#include "lpstate/lp_state.h"

namespace {

std::string ChannelPrefix(int n, int k) {
    return LpConfigPrefix(n) + "/Chan/" + std::to_string(k);
}

// Every leaf profill may read, of both profiles and all the channels a record holds: LP 1's
// configuration, LP 2's, then the file information of each.
std::vector<std::string> KnownLeaves() {
    std::vector<std::string> known;
    for (int n = 1; n <= kLpCount; ++n) {
        known.push_back(LpConfigPrefix(n) + kLpChannelCountLeaf);
        for (const char* leaf : kLpSettingLeaves) {
            known.push_back(LpConfigPrefix(n) + leaf);
        }
        for (int k = 1; k <= kMaxChannels; ++k) {
            for (const char* leaf : kLpChannelLeaves) {
                known.push_back(ChannelPrefix(n, k) + leaf);
            }
        }
    }
    for (int n = 1; n <= kLpCount; ++n) {
        for (const char* leaf : kLpFileInfoLeaves) {
            known.push_back(LpFileInfoPrefix(n) + leaf);
        }
    }
    return known;
}

bool StartsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

// Whether path lies under one of the profiles' prefixes, in any case, so that "/lp/1/..." is
// taken for the slip it is.
bool IsUnderProfilePrefix(const std::string& path) {
    return strncasecmp(path.c_str(), "/q7m/loadprf/", 13) == 0 ||
           strncasecmp(path.c_str(), "/lp/", 4) == 0;
}

// The Levenshtein distance: insertions, deletions and substitutions of single bytes.
size_t EditDistance(const std::string& a, const std::string& b) {
    std::vector<size_t> row(b.size() + 1);
    std::iota(row.begin(), row.end(), size_t{0});
    for (size_t i = 1; i <= a.size(); ++i) {
        size_t diagonal = row[0];
        row[0] = i;
        for (size_t j = 1; j <= b.size(); ++j) {
            const size_t above = row[j];
            row[j] = std::min({above + 1, row[j - 1] + 1, diagonal + (a[i - 1] != b[j - 1])});
            diagonal = above;
        }
    }
    return row[b.size()];
}

// Why profill cannot use a value, or "" when it can. A value is judged as profill reads it,
// through to_int.
typedef std::string (*ValueRule)(int32_t value);

std::string ChannelCountRule(int32_t channels) {
    if (IsLpChannelCountUsable(channels)) {
        return "";
    }
    const std::string max = std::to_string(kMaxChannels);
    return std::to_string(channels) + " channels, " +
           (channels > kMaxChannels
                ? "more than a record holds (profill uses the first " + max + ")"
                : "which profill cannot generate") +
           "; use 1 to " + max;
}

std::string IntervalRule(int32_t minutes) {
    if (IsLpIntervalUsable(minutes)) {
        return "";
    }
    return "an interval of " + std::to_string(minutes) +
           " minutes, which profill cannot generate; use 1 to " +
           std::to_string(kMaxIntervalMinutes) + ", or give -i";
}

std::string CounterRule(int32_t count) {
    if (count >= 0) {
        return "";
    }
    return "a negative count of " + std::to_string(count) +
           ", which profill cannot continue; -c starts the profile afresh";
}

}  // namespace

ProfileCheck CheckProfileLeaves(int n, const std::vector<std::string>& paths,
                                const std::vector<toolkit::CElement>& values) {
    std::map<std::string, const toolkit::CElement*> store;
    for (size_t i = 0; i < paths.size() && i < values.size(); ++i) {
        store[paths[i]] = &values[i];
    }
    ProfileCheck check;
    // Lists a leaf profill reads and says what is wrong with it; returns it when it is there.
    auto read = [&](const std::string& path, ValueRule rule) -> const toolkit::CElement* {
        ++check.leavesRead;
        const auto found = store.find(path);
        if (found == store.end() || found->second->type() == toolkit::CElement::kTypeNone) {
            check.findings.push_back(
                {path, found == store.end() ? "missing" : "stored bytes are no element"});
            return nullptr;
        }
        const toolkit::CElement& value = *found->second;
        check.listing.push_back(path + " = " + FormatCdsValue(value));
        const std::string why = rule != nullptr ? rule(value.to_int()) : "";
        if (!why.empty()) {
            check.findings.push_back({path, why});
        }
        return &value;
    };

    const toolkit::CElement* count =
        read(LpConfigPrefix(n) + kLpChannelCountLeaf, ChannelCountRule);
    // The first of the settings is the interval.
    for (const char* leaf : kLpSettingLeaves) {
        read(LpConfigPrefix(n) + leaf, leaf == kLpSettingLeaves[0] ? IntervalRule : nullptr);
    }
    // profill reads the channels of a count above what a record holds up to that limit.
    const int channels =
        count == nullptr ? 0 : std::clamp<int32_t>(count->to_int(), 0, kMaxChannels);
    // A channel not configured at all is one finding rather than one for each of its leaves.
    const size_t leaves = std::size(kLpChannelLeaves);
    for (int k = 1; k <= channels; ++k) {
        const std::string prefix = ChannelPrefix(n, k);
        const auto there = [&](const char* leaf) { return store.count(prefix + leaf) != 0; };
        if (std::none_of(kLpChannelLeaves, kLpChannelLeaves + leaves, there)) {
            check.leavesRead += leaves;
            check.findings.push_back(
                {prefix, "missing, with all its " + std::to_string(leaves) + " leaves"});
            continue;
        }
        for (const char* leaf : kLpChannelLeaves) {
            read(prefix + leaf, nullptr);
        }
    }
    // A run continues from the first four counters; daysDeleted it only shows.
    for (const char* leaf : kLpFileInfoLeaves) {
        read(LpFileInfoPrefix(n) + leaf,
             leaf == kLpFileInfoLeaves[std::size(kLpFileInfoLeaves) - 1] ? nullptr : CounterRule);
    }

    const int other = n == 1 ? 2 : 1;
    for (const auto& [path, value] : store) {
        const bool others = StartsWith(path, LpConfigPrefix(other) + "/") ||
                            StartsWith(path, LpFileInfoPrefix(other) + "/");
        const std::string note = others ? "" : UnknownLeafNote(path);
        if (!note.empty()) {
            check.findings.push_back({path, note});
        }
    }
    return check;
}

std::string UnknownLeafNote(const std::string& path) {
    static const std::vector<std::string> known = KnownLeaves();
    if (!IsUnderProfilePrefix(path) || std::find(known.begin(), known.end(), path) != known.end()) {
        return "";
    }
    std::vector<size_t> distances;
    for (const std::string& leaf : known) {
        distances.push_back(EditDistance(path, leaf));
    }
    // min_element gives the first of equals.
    const auto nearest = std::min_element(distances.begin(), distances.end()) - distances.begin();
    return "unknown leaf; did you mean " + known[static_cast<size_t>(nearest)] + "?";
}
