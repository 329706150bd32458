// The stored bytes of a leaf on arbitrary input, as the host store reads them back: bytes that
// decode encode to the same bytes and decode again to the same element; bytes that do not leave
// the element alone. The element's conversions run on everything that decodes.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

#include "cds/host_store.h"
#include "fuzz_check.h"

namespace {

using toolkit::CElement;

// Equal in every field, a float to the bit (NaN payloads included).
bool SameElement(const CElement& a, const CElement& b) {
    const double x = a.to_float(), y = b.to_float();
    return a.type() == b.type() && a.time() == b.time() && a.to_int() == b.to_int() &&
           memcmp(&x, &y, sizeof x) == 0 && a.to_text() == b.to_text();
}

// to_int of a float: truncated toward zero and clamped to int32, 0 for NaN.
int32_t FloatToInt(double value) {
    if (std::isnan(value))
        return 0;
    const double whole = std::trunc(value);
    if (whole <= std::numeric_limits<int32_t>::min())
        return std::numeric_limits<int32_t>::min();
    if (whole >= std::numeric_limits<int32_t>::max())
        return std::numeric_limits<int32_t>::max();
    return static_cast<int32_t>(whole);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CElement element;
    element.set_int(0x5a5a5a5a);
    element.set_time(12345);
    const CElement before = element;
    if (!DecodeCdsElement(data, size, &element)) {
        FuzzCheck(SameElement(element, before), "bytes that are no element leave it alone");
        return 0;
    }
    FuzzCheck(element.type() >= CElement::kTypeText && element.type() <= CElement::kTypeFloat,
              "a decoded element is a text, an int or a float");

    // The time stamp reads back as stored, or as none where this host's time_t cannot hold it.
    std::vector<uint8_t> expected(data, data + size);
    if (element.time() == CElement::_invalid_time)
        std::fill(expected.begin() + 1, expected.begin() + 9, 0xff);
    const std::vector<uint8_t> encoded = EncodeCdsElement(element);
    FuzzCheck(encoded == expected, "a decoded element encodes to its stored bytes");
    CElement again;
    FuzzCheck(
        DecodeCdsElement(encoded.data(), encoded.size(), &again) && SameElement(again, element),
        "an encoded element decodes to itself");

    const int32_t asInt = element.to_int();
    const double asFloat = element.to_float();
    if (element.type() == CElement::kTypeInt) {
        FuzzCheck(asFloat == asInt, "an int reads as the same float");
    } else if (element.type() == CElement::kTypeFloat) {
        FuzzCheck(asInt == FloatToInt(asFloat), "a float reads as an int truncated and clamped");
    } else {
        FuzzCheck(asInt == 0 || asFloat == asInt, "a text that is an int is the same float");
        FuzzCheck(element.to_text().size() == size - 9, "a text holds every stored value byte");
    }
    return 0;
}
