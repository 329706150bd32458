// cdsctl's text form of leaves: lines parsed, values formatted so that they read back. Whole
// invocations of cdsctl are in the transcripts.
#include <cmath>
#include <cstring>
#include <string_view>

#include "cds_text.h"
#include "test_support.h"

namespace {

using namespace std::string_view_literals;

// What a parse gave: "PATH = VALUE" as formatted, "" for a blank line, "! reason" for a bad one.
std::string Shown(std::string_view line) {
    CdsTextLeaf leaf;
    std::string error;
    switch (ParseCdsLine(line, &leaf, &error)) {
        case CdsLineKind::kBlank:
            return "";
        case CdsLineKind::kLeaf:
            return leaf.path + " = " + FormatCdsValue(leaf.value);
        default:
            return "! " + error;
    }
}

TEST(CdsTextTest, ParsesLines) {
    const std::string_view kCases[][2] = {
        {"/a = -2147483648", "/a = -2147483648"},
        {"/a = 2147483648", "! integer out of range: 2147483648"},
        {"/a = -99999999999999999999", "! integer out of range: -99999999999999999999"},
        {"/a = 0x1p-2", "/a = 0.25"},
        {"/a = INF\r", "/a = inf"},
        {"/a = 1e16", "/a = 10000000000000000.0"},
        {"/a = 1e17", "/a = 1e+17"},
        {"/a = 1.5e-7", "/a = 1.5e-07"},
        {"/a = \"\"", "/a = \"\""},
        {"/a = \"x\\\"y\\\\z\\n\\t\\x7F\\x00\\x0d\xc3\xa9\" # c",
         "/a = \"x\\\"y\\\\z\\n\\t\\x7f\\x00\\x0d\xc3\xa9\""},
        {"/a=\"# not = a comment\"", "/a = \"# not = a comment\""},
        {"\t\r", ""},
        {"/a", "! expected PATH = VALUE"},
        {"= 1", "! expected PATH = VALUE"},
        {"/a b = 1", "! expected PATH = VALUE"},
        {"a = 1", "! bad path: a"},
        {"/a\"b = 1", "! bad path: /a\"b"},
        {"/a = # c", "! missing value"},
        {"/a = 1\0"sv, "! bad value: 1\0"sv},
        {"/a = \"abc", "! unterminated text"},
        {"/a = \"\\q\"", "! bad escape: \\q"},
        {"/a = \"\\x4g\"", "! bad escape: \\x4g"},
        {"/a = \"\\x4", "! bad escape: \\x4"},
        {"/a = \"a\"b # c", "! text after value: b # c"},
    };
    for (const auto& [line, expected] : kCases)
        EXPECT_EQ(Shown(line), expected) << line;
}

TEST(CdsTextTest, FormattedFloatsReadBackExactly) {
    for (double number : {0.1, -0.0, 5e-324, 1.7976931348623157e308, 1.0 / 3, 1e21, -HUGE_VAL,
                          2.5e-308 / 3, -std::nan("")}) {
        const std::string text = FormatCdsValue(Float(number));
        toolkit::CElement back;
        std::string error;
        const double read = ParseCdsValue(text, &back, &error) ? back.to_float() : 0.5;
        EXPECT_TRUE(back.type() == toolkit::CElement::kTypeFloat &&
                    (std::isnan(number) ? std::isnan(read) && std::signbit(read)
                                        : memcmp(&number, &read, sizeof read) == 0))
            << text;
    }
}

}  // namespace
