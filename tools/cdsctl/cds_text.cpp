#include "cds_text.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <utility>

#include "cds/host_store.h"

namespace {

// Blanks as the C locale's isspace has them, without depending on the locale.
constexpr std::string_view kBlanks = " \t\n\r\v\f";

size_t SkipBlanks(std::string_view text, size_t at) {
    return std::min(text.find_first_not_of(kBlanks, at), text.size());
}

// Where the token at text[at] ends: at a blank, at stop or at the end of text.
size_t TokenEnd(std::string_view text, size_t at, char stop) {
    return std::min({text.find_first_of(kBlanks, at), text.find(stop, at), text.size()});
}

// The bytes of a text that a backslash and a letter stand for, beside \xHH for any byte.
constexpr std::string_view kEscaped = "\"\\\n\t";
constexpr std::string_view kEscapeLetters = "\"\\nt";

// Reads the quoted text that starts at text[*at] and moves *at past its closing quote.
bool ReadText(std::string_view text, size_t* at, toolkit::CElement* value, std::string* error) {
    std::string chars;
    size_t i = *at + 1;
    while (i < text.size() && text[i] != '"') {
        char c = text[i++];
        // A backslash at the end is the last of a text without its closing quote.
        if (c != '\\' || i == text.size()) {
            chars.push_back(c);
            continue;
        }
        char escape = text[i++];
        // Exactly two hex digits: from_chars into an unsigned type takes no sign or prefix.
        unsigned char byte = 0;
        const char* hex = text.data() + i;
        const size_t letter = kEscapeLetters.find(escape);
        if (letter != kEscapeLetters.npos) {
            chars.push_back(kEscaped[letter]);
        } else if (escape == 'x' && text.size() - i >= 2 &&
                   std::from_chars(hex, hex + 2, byte, 16).ptr == hex + 2) {
            chars.push_back(static_cast<char>(byte));
            i += 2;
        } else {
            *error = "bad escape: " + std::string(text.substr(i - 2, escape == 'x' ? 4 : 2));
            return false;
        }
    }
    if (i >= text.size()) {
        *error = "unterminated text";
        return false;
    }
    *at = i + 1;
    value->set_text(chars);
    return true;
}

// Reads the number at text[*at], up to a blank or a '#', and moves *at past it.
bool ReadNumber(std::string_view text, size_t* at, toolkit::CElement* value, std::string* error) {
    const size_t end = TokenEnd(text, *at, '#');
    const std::string token(text.substr(*at, end - *at));
    *at = end;
    if (token.empty()) {
        *error = "missing value";
        return false;
    }
    size_t digits = token[0] == '+' || token[0] == '-' ? 1 : 0;
    if (digits < token.size() && token.find_first_not_of("0123456789", digits) == token.npos) {
        // from_chars takes a '-' but no '+'.
        int32_t number = 0;
        const char* first = token.data() + (token[0] == '+' ? 1 : 0);
        if (std::from_chars(first, token.data() + token.size(), number).ec != std::errc()) {
            *error = "integer out of range: " + token;
            return false;
        }
        value->set_int(number);
        return true;
    }
    // A NUL inside the token stops strtod short of the end, so it is refused here as well.
    char* tokenEnd = nullptr;
    double number = strtod(token.c_str(), &tokenEnd);
    if (tokenEnd != token.c_str() + token.size()) {
        *error = "bad value: " + token;
        return false;
    }
    value->set_float(number);
    return true;
}

// Reads the value at text[at] and what follows it: nothing but blanks, and a comment when
// allowed.
bool ReadValueToEnd(std::string_view text, size_t at, bool allowComment, toolkit::CElement* value,
                    std::string* error) {
    const bool read = at < text.size() && text[at] == '"' ? ReadText(text, &at, value, error)
                                                          : ReadNumber(text, &at, value, error);
    if (!read) {
        return false;
    }
    at = SkipBlanks(text, at);
    if (at < text.size() && !(allowComment && text[at] == '#')) {
        *error = "text after value: " + std::string(text.substr(at));
        return false;
    }
    return true;
}

std::string FormatFloat(double value) {
    char text[40];
    // 17 significant digits always read back the same double; NaN never compares equal and
    // ends there too, as "nan" or "-nan".
    for (int precision = 1; precision <= 17; ++precision) {
        snprintf(text, sizeof text, "%.*g", precision, value);
        if (strtod(text, nullptr) == value) {
            break;
        }
    }
    // The shortest form of 20.0 is "2e+01"; plain digits read better. A shortest form with an
    // exponent from 1 to 16 is that of a whole number, which its plain digits give exactly.
    const char* e = strstr(text, "e+");
    const int exponent = e != nullptr ? atoi(e + 2) : 0;
    if (e != nullptr && exponent < 17) {
        snprintf(text, sizeof text, "%.*g", exponent + 1, value);
    }
    std::string result = text;
    if (result.find_first_not_of("0123456789", result[0] == '-' ? 1 : 0) == result.npos) {
        result += ".0";
    }
    return result;
}

std::string QuoteText(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        unsigned char byte = static_cast<unsigned char>(c);
        const size_t escaped = kEscaped.find(c);
        if (escaped != kEscaped.npos) {
            out += '\\';
            out += kEscapeLetters[escaped];
        } else if (byte < 0x20 || byte == 0x7f) {
            // Other control bytes, '\r' and NUL among them, would break the line or hide.
            char hex[5];
            snprintf(hex, sizeof hex, "\\x%02x", byte);
            out += hex;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

}  // namespace

bool ParseCdsValue(std::string_view text, toolkit::CElement* value, std::string* error) {
    return ReadValueToEnd(text, SkipBlanks(text, 0), false, value, error);
}

CdsLineKind ParseCdsLine(std::string_view line, CdsTextLeaf* leaf, std::string* error) {
    size_t at = SkipBlanks(line, 0);
    if (at == line.size() || line[at] == '#') {
        return CdsLineKind::kBlank;
    }
    const size_t pathEnd = TokenEnd(line, at, '=');
    leaf->path = line.substr(at, pathEnd - at);
    at = SkipBlanks(line, pathEnd);
    if (leaf->path.empty() || at == line.size() || line[at] != '=') {
        *error = "expected PATH = VALUE";
        return CdsLineKind::kBad;
    }
    if (!IsValidCdsPath(leaf->path)) {
        *error = "bad path: " + leaf->path;
        return CdsLineKind::kBad;
    }
    const bool read = ReadValueToEnd(line, SkipBlanks(line, at + 1), true, &leaf->value, error);
    return read ? CdsLineKind::kLeaf : CdsLineKind::kBad;
}

bool ParseCdsText(std::string_view text, std::vector<CdsTextLeaf>* leaves,
                  std::vector<CdsTextError>* errors) {
    leaves->clear();
    errors->clear();
    // One write of a path twice would keep the last value; in a file that is a slip.
    std::map<std::string, size_t> firstLine;
    size_t start = 0;
    for (size_t number = 1; start < text.size(); ++number) {
        const size_t end = std::min(text.find('\n', start), text.size());
        CdsTextLeaf leaf;
        std::string error;
        CdsLineKind kind = ParseCdsLine(text.substr(start, end - start), &leaf, &error);
        start = end + 1;
        if (kind == CdsLineKind::kBad) {
            errors->push_back({number, error});
        } else if (kind == CdsLineKind::kLeaf) {
            auto [first, added] = firstLine.emplace(leaf.path, number);
            if (added) {
                leaves->push_back(std::move(leaf));
            } else {
                errors->push_back({number, "duplicate path: " + leaf.path + " (first on line " +
                                               std::to_string(first->second) + ")"});
            }
        }
    }
    // Half a file is never to be applied.
    if (!errors->empty()) {
        leaves->clear();
    }
    return errors->empty();
}

std::string FormatCdsValue(const toolkit::CElement& value) {
    switch (value.type()) {
        case toolkit::CElement::kTypeInt:
            return std::to_string(value.to_int());
        case toolkit::CElement::kTypeFloat:
            return FormatFloat(value.to_float());
        case toolkit::CElement::kTypeText:
            return QuoteText(value.to_text());
        default:
            return "";
    }
}
