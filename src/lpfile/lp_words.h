// Words the tools share when they say what they found: counts with their noun, and a finding
// with the place it was found.
#pragma once

#include <string>

// "1 record", "2 records"; many is the plural when it is not one + "s".
inline std::string Count(long long count, const std::string& one, const std::string& many = "") {
    return std::to_string(count) + " " + (count == 1 ? one : many.empty() ? one + "s" : many);
}

enum class FindingKind {
    kFault,      // what the bookkeeping or the layout does not allow
    kBreak,      // where the records stop following each other: a repair cuts from there on
    kTimeBreak,  // an interval that does not start where the one before it ended
};

struct Finding {
    std::string where;  // "PATH offset N", "PATH" or "store"
    std::string text;
    FindingKind kind = FindingKind::kFault;
};

// " -2" in a command line for LP index lp when it is LP 2; "" for LP 1.
inline std::string Lp2Option(int lp) {
    return lp == 0 ? "" : " -2";
}

inline std::string At(const std::string& path, unsigned long long offset) {
    return path + " offset " + std::to_string(offset);
}
