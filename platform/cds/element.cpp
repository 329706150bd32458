// Leaf values and their stored bytes, and the rule for valid paths.
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "cds/host_store.h"
#include "cds/toolkit.h"

namespace toolkit {

const std::time_t CElement::_invalid_time = static_cast<std::time_t>(-1);

void CElement::set_int(int32_t value) {
    m_type = kTypeInt;
    m_int = value;
    m_float = 0.0;
    m_text.clear();
}

void CElement::set_float(double value) {
    m_type = kTypeFloat;
    m_int = 0;
    m_float = value;
    m_text.clear();
}

void CElement::set_text(const std::string& value) {
    m_type = kTypeText;
    m_int = 0;
    m_float = 0.0;
    m_text = value;
}

int32_t CElement::to_int() const {
    switch (m_type) {
        case kTypeInt:
            return m_int;
        case kTypeFloat:
            if (std::isnan(m_float))
                return 0;
            if (m_float <= static_cast<double>(std::numeric_limits<int32_t>::min())) {
                return std::numeric_limits<int32_t>::min();
            }
            if (m_float >= static_cast<double>(std::numeric_limits<int32_t>::max())) {
                return std::numeric_limits<int32_t>::max();
            }
            return static_cast<int32_t>(m_float);
        case kTypeText: {
            // Only a whole decimal number within int32 ("-12", "7") counts; anything else,
            // blanks and a plus sign included, reads as 0.
            const char* begin = m_text.c_str();
            if (m_text.size() != strlen(begin) ||
                !(isdigit(static_cast<unsigned char>(begin[0])) || begin[0] == '-'))
                return 0;
            char* end = nullptr;
            errno = 0;
            long long value = strtoll(begin, &end, 10);
            if (errno != 0 || *end != '\0' || value < std::numeric_limits<int32_t>::min() ||
                value > std::numeric_limits<int32_t>::max()) {
                return 0;
            }
            return static_cast<int32_t>(value);
        }
        default:
            return 0;
    }
}

double CElement::to_float() const {
    switch (m_type) {
        case kTypeInt:
            return m_int;
        case kTypeFloat:
            return m_float;
        case kTypeText: {
            // The whole text must be a number: no leading blanks either.
            const char* begin = m_text.c_str();
            if (m_text.empty() || m_text.size() != strlen(begin) ||
                isspace(static_cast<unsigned char>(begin[0])))
                return 0.0;
            char* end = nullptr;
            double value = strtod(begin, &end);
            return *end == '\0' ? value : 0.0;
        }
        default:
            return 0.0;
    }
}

}  // namespace toolkit

bool IsValidCdsPath(const std::string& path) {
    if (path.size() < 2 || path.size() > 511 || path[0] != '/')
        return false;
    for (char c : path) {
        // Printable and free of the characters that delimit a line of cdsctl's text format.
        if (c <= ' ' || c > '~' || c == '"' || c == '#' || c == '=')
            return false;
    }
    return true;
}

namespace {

constexpr size_t kElementHeaderSize = 9;  // type code and time stamp

void PutBe(uint64_t value, int bytes, std::vector<uint8_t>& out) {
    for (int shift = 8 * (bytes - 1); shift >= 0; shift -= 8) {
        out.push_back(static_cast<uint8_t>(value >> shift));
    }
}

uint64_t GetBe(const uint8_t* bytes, int count) {
    uint64_t value = 0;
    for (int i = 0; i < count; ++i)
        value = (value << 8) | bytes[i];
    return value;
}

}  // namespace

std::vector<uint8_t> EncodeCdsElement(const toolkit::CElement& element) {
    std::vector<uint8_t> out;
    EncodeCdsElement(element, &out);
    return out;
}

void EncodeCdsElement(const toolkit::CElement& element, std::vector<uint8_t>* bytes) {
    std::vector<uint8_t>& out = *bytes;
    out.clear();
    out.reserve(kElementHeaderSize + 8 + element.to_text().size());
    out.push_back(static_cast<uint8_t>(element.type()));
    PutBe(static_cast<uint64_t>(static_cast<int64_t>(element.time())), 8, out);
    switch (element.type()) {
        case toolkit::CElement::kTypeInt:
            PutBe(static_cast<uint32_t>(element.to_int()), 4, out);
            break;
        case toolkit::CElement::kTypeFloat: {
            double value = element.to_float();
            uint64_t bits;
            memcpy(&bits, &value, sizeof bits);
            PutBe(bits, 8, out);
            break;
        }
        case toolkit::CElement::kTypeText:
            out.insert(out.end(), element.to_text().begin(), element.to_text().end());
            break;
        default:
            break;
    }
}

bool DecodeCdsElement(const uint8_t* bytes, size_t size, toolkit::CElement* element) {
    if (size < kElementHeaderSize)
        return false;
    const uint8_t* value = bytes + kElementHeaderSize;
    size_t valueSize = size - kElementHeaderSize;
    toolkit::CElement decoded;
    switch (bytes[0]) {
        case toolkit::CElement::kTypeInt:
            if (valueSize != 4)
                return false;
            decoded.set_int(static_cast<int32_t>(static_cast<uint32_t>(GetBe(value, 4))));
            break;
        case toolkit::CElement::kTypeFloat: {
            if (valueSize != 8)
                return false;
            uint64_t bits = GetBe(value, 8);
            double number;
            memcpy(&number, &bits, sizeof number);
            decoded.set_float(number);
            break;
        }
        case toolkit::CElement::kTypeText:
            decoded.set_text(std::string(reinterpret_cast<const char*>(value), valueSize));
            break;
        default:
            return false;
    }
    int64_t time = static_cast<int64_t>(GetBe(bytes + 1, 8));
    // A time stamp that does not fit this host's time_t reads as no time stamp.
    std::time_t hostTime = static_cast<std::time_t>(time);
    decoded.set_time(static_cast<int64_t>(hostTime) == time ? hostTime
                                                            : toolkit::CElement::_invalid_time);
    *element = decoded;
    return true;
}
