// The stored bytes of a leaf on arbitrary input, as the host store reads them back: bytes that
// decode encode to the same bytes and decode again to the same element; bytes that do not leave
// the element alone. The element's conversions run on everything that decodes.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "cds/host_store.h"
#include "fuzz_check.h"

using toolkit::CElement;

// Equal in every field, a float to the bit (NaN payloads included).
static bool SameElement(const CElement& a, const CElement& b) {
    const double x = a.to_float(), y = b.to_float();
    return a.type() == b.type() && a.time() == b.time() && a.to_int() == b.to_int() &&
           memcmp(&x, &y, sizeof x) == 0 && a.to_text() == b.to_text();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CElement element, again;
    element.set_int(0x5a5a5a5a);
    element.set_time(12345);
    const CElement before = element;
    if (!DecodeCdsElement(data, size, &element)) {
        FuzzCheck(SameElement(element, before), "bytes that are no element leave it alone");
        return 0;
    }
    // The time stamp reads back as stored, or as none where this host's time_t cannot hold it.
    std::vector<uint8_t> expected(data, data + size);
    if (element.time() == CElement::_invalid_time)
        std::fill(expected.begin() + 1, expected.begin() + 9, 0xff);
    const std::vector<uint8_t> encoded = EncodeCdsElement(element);
    FuzzCheck(encoded == expected, "a decoded element encodes to its stored bytes");
    FuzzCheck(
        DecodeCdsElement(encoded.data(), encoded.size(), &again) && SameElement(again, element),
        "an encoded element decodes to itself");
    // An int reads as the same float, a float as an int truncated toward zero and clamped, a text
    // that is an int as the same float.
    const int32_t asInt = element.to_int();
    const double asFloat = element.to_float(),
                 whole = std::isnan(asFloat) ? 0 : std::trunc(asFloat);
    FuzzCheck(element.type() == CElement::kTypeText
                  ? (asInt == 0 || asFloat == asInt) && element.to_text().size() == size - 9
                  : asInt == static_cast<int32_t>(std::clamp(whole, -2147483648.0, 2147483647.0)) &&
                        (element.type() == CElement::kTypeFloat || asFloat == asInt),
              "the conversions agree, and a text holds every stored value byte");
    FuzzCheck(element.type() >= CElement::kTypeText && element.type() <= CElement::kTypeFloat,
              "a decoded element is a text, an int or a float");
    return 0;
}
