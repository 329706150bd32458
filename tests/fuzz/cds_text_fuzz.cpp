// The text form of leaves on arbitrary bytes: once as a whole file for `cdsctl load`, once as a
// single value for `cdsctl set`. Whatever parses must be dumped and parsed back to the same
// leaves, as `cdsctl dump | cdsctl load -` relies on.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "cds/host_store.h"
#include "cds_text.h"
#include "fuzz_check.h"

using toolkit::CElement;

// Equal values; a NaN equals a NaN of the same sign, since the text of a NaN keeps only its sign.
static bool SameValue(const CElement& a, const CElement& b) {
    const double x = a.to_float(), y = b.to_float();
    return a.type() == b.type() && a.to_int() == b.to_int() && a.to_text() == b.to_text() &&
           (std::isnan(x) ? std::isnan(y) && std::signbit(x) == std::signbit(y)
                          : memcmp(&x, &y, sizeof x) == 0);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::vector<CdsTextLeaf> leaves, again;
    std::vector<CdsTextError> errors, againErrors;
    const bool good = ParseCdsText(text, &leaves, &errors);
    FuzzCheck(good == errors.empty() && (good || leaves.empty()),
              "a file is good exactly when no line is bad, and a bad one yields no leaves");
    size_t lastLine = 0;
    const size_t lines = static_cast<size_t>(std::count(text.begin(), text.end(), '\n')) + 1;
    for (const CdsTextError& error : errors) {
        FuzzCheck(error.line > lastLine && error.line <= lines && !error.reason.empty(),
                  "one error a line, in file order, with a reason");
        lastLine = error.line;
    }
    std::set<std::string> paths;
    std::string dump;
    for (const CdsTextLeaf& leaf : leaves) {
        FuzzCheck(IsValidCdsPath(leaf.path) && paths.insert(leaf.path).second &&
                      leaf.value.type() != CElement::kTypeNone,
                  "every leaf has a valid path of its own and a value");
        dump += leaf.path + " = " + FormatCdsValue(leaf.value) + "\n";
    }
    FuzzCheck(ParseCdsText(dump, &again, &againErrors) && again.size() == leaves.size(),
              "a dump of parsed leaves parses to as many leaves");
    for (size_t i = 0; i < leaves.size(); ++i) {
        FuzzCheck(again[i].path == leaves[i].path && SameValue(again[i].value, leaves[i].value),
                  "a dump reads back the same leaves");
    }

    CElement value, back;
    std::string error;
    if (ParseCdsValue(text, &value, &error)) {
        FuzzCheck(value.type() != CElement::kTypeNone, "a parsed value has a type");
        FuzzCheck(ParseCdsValue(FormatCdsValue(value), &back, &error) && SameValue(back, value),
                  "a formatted value reads back the same");
    } else {
        FuzzCheck(!error.empty(), "a refused value has a reason");
    }
    return 0;
}
