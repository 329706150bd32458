// The text form of leaves on arbitrary bytes: once as a whole file for `cdsctl load`, once as a
// single value for `cdsctl set`. Whatever parses must be dumped and parsed back to the same
// leaves, as `cdsctl dump | cdsctl load -` relies on.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "cds/host_store.h"
#include "cds_text.h"
#include "fuzz_check.h"

namespace {

using toolkit::CElement;

// Equal values; a NaN equals a NaN of the same sign, since the text of a NaN keeps only its sign.
bool SameValue(const CElement& a, const CElement& b) {
    if (a.type() != b.type())
        return false;
    const double x = a.to_float(), y = b.to_float();
    switch (a.type()) {
        case CElement::kTypeInt:
            return a.to_int() == b.to_int();
        case CElement::kTypeFloat:
            return std::isnan(x) ? std::isnan(y) && std::signbit(x) == std::signbit(y)
                                 : memcmp(&x, &y, sizeof x) == 0;
        case CElement::kTypeText:
            return a.to_text() == b.to_text();
        default:
            return false;
    }
}

void CheckDumpReadsBack(const std::vector<CdsTextLeaf>& leaves) {
    std::string dump;
    for (const CdsTextLeaf& leaf : leaves)
        dump += leaf.path + " = " + FormatCdsValue(leaf.value) + "\n";
    std::vector<CdsTextLeaf> again;
    std::vector<CdsTextError> errors;
    FuzzCheck(ParseCdsText(dump, &again, &errors), "a dump of parsed leaves parses");
    FuzzCheck(again.size() == leaves.size(), "a dump reads back as many leaves");
    for (size_t i = 0; i < leaves.size(); ++i) {
        FuzzCheck(again[i].path == leaves[i].path, "a dump reads back the same paths");
        FuzzCheck(SameValue(again[i].value, leaves[i].value), "a dump reads back the same values");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    std::vector<CdsTextLeaf> leaves;
    std::vector<CdsTextError> errors;
    const bool good = ParseCdsText(text, &leaves, &errors);
    FuzzCheck(good == errors.empty(), "a file is good exactly when no line is bad");
    FuzzCheck(good || leaves.empty(), "a bad file yields no leaves");
    size_t lastLine = 0;
    const size_t lines = static_cast<size_t>(std::count(text.begin(), text.end(), '\n')) + 1;
    for (const CdsTextError& error : errors) {
        FuzzCheck(error.line > lastLine && error.line <= lines, "one error a line, in file order");
        FuzzCheck(!error.reason.empty(), "every error has a reason");
        lastLine = error.line;
    }
    std::set<std::string> paths;
    for (const CdsTextLeaf& leaf : leaves) {
        FuzzCheck(IsValidCdsPath(leaf.path), "every leaf has a valid path");
        FuzzCheck(paths.insert(leaf.path).second, "no path twice");
        FuzzCheck(leaf.value.type() != CElement::kTypeNone, "every leaf has a value");
    }
    CheckDumpReadsBack(leaves);

    CElement value;
    std::string error;
    if (ParseCdsValue(text, &value, &error)) {
        FuzzCheck(value.type() != CElement::kTypeNone, "a parsed value has a type");
        CElement again;
        FuzzCheck(ParseCdsValue(FormatCdsValue(value), &again, &error) && SameValue(again, value),
                  "a formatted value reads back the same");
    } else {
        FuzzCheck(!error.empty(), "a refused value has a reason");
    }
    return 0;
}
