// The leaves profill reads for a load profile, as cdsctl checks them: which leaves they are, the
// values a run cannot use, and leaves under the profiles' prefixes that profill never reads
// (usually a slip of the keyboard), each with the known leaf nearest to it.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "cds/toolkit.h"
#include "lpfile/lp_words.h"

struct ProfileCheck {
    std::vector<std::string> listing;  // "PATH = VALUE" of every leaf read that is there
    size_t leavesRead = 0;             // the leaves profill reads, there or not
    std::vector<Finding> findings;     // where: the leaf's path
};

// Checks LP n (1 or 2) against the whole store, as ListCdsLeaves gives it (an element of type
// none stands for stored bytes that are no element). The leaves come in the order profill reads
// them: the channel count, the settings, the channels it counts (at most 16), the file
// information. Unknown leaves are those under /Q7M/LoadPrf/ or /LP/ (in any case) that profill
// never reads, except under the other profile's own prefixes.
ProfileCheck CheckProfileLeaves(int n, const std::vector<std::string>& paths,
                                const std::vector<toolkit::CElement>& values);

// "unknown leaf; did you mean PATH?" for a path under /Q7M/LoadPrf/ or /LP/ (in any case) that
// profill never reads, naming the first leaf it reads at the least edit distance; "" otherwise.
std::string UnknownLeafNote(const std::string& path);
