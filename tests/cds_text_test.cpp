// The text form of leaves: lines parsed, values formatted so that they read back.
#include "cds_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <string_view>

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
        {"/a = 1", "/a = 1"},
        {" \t/a=+007#c", "/a = 7"},
        {"/a = -2147483648", "/a = -2147483648"},
        {"/a = 2147483648", "! integer out of range: 2147483648"},
        {"/a = -99999999999999999999", "! integer out of range: -99999999999999999999"},
        {"/a = 2.", "/a = 2.0"},
        {"/a = -0.0", "/a = -0.0"},
        {"/a = -2e3", "/a = -2000.0"},
        {"/a = 0x1p-2", "/a = 0.25"},
        {"/a = INF\r", "/a = inf"},
        {"/a = 0.30000000000000004", "/a = 0.30000000000000004"},
        {"/a = 1e16", "/a = 10000000000000000.0"},
        {"/a = 1e17", "/a = 1e+17"},
        {"/a = 1.5e-7", "/a = 1.5e-07"},
        {"/a = \"\"", "/a = \"\""},
        {"/a = \"x\\\"y\\\\z\\n\\t\\x7F\\x00\\x0d\xc3\xa9\" # c",
         "/a = \"x\\\"y\\\\z\\n\\t\\x7f\\x00\\x0d\xc3\xa9\""},
        {"/a=\"# not = a comment\"", "/a = \"# not = a comment\""},
        {"", ""},
        {"\t\r", ""},
        {"/a", "! expected PATH = VALUE"},
        {"= 1", "! expected PATH = VALUE"},
        {"/a b = 1", "! expected PATH = VALUE"},
        {"a = 1", "! bad path: a"},
        {"/a\"b = 1", "! bad path: /a\"b"},
        {"/a\0 = 1"sv, "! bad path: /a\0"sv},
        {"/a =", "! missing value"},
        {"/a = # c", "! missing value"},
        {"/a = abc", "! bad value: abc"},
        {"/a = 1.5.5", "! bad value: 1.5.5"},
        {"/a = 1\0"sv, "! bad value: 1\0"sv},
        {"/a = \"abc", "! unterminated text"},
        {"/a = \"abc\\\"", "! unterminated text"},
        {"/a = \"\\q\"", "! bad escape: \\q"},
        {"/a = \"\\x4g\"", "! bad escape: \\x4g"},
        {"/a = \"\\x4", "! bad escape: \\x4"},
        {"/a = 1 2", "! text after value: 2"},
        {"/a = \"a\"b # c", "! text after value: b # c"},
    };
    for (const auto& [line, expected] : kCases) {
        EXPECT_EQ(Shown(line), expected) << line;
    }
}

TEST(CdsTextTest, FormattedFloatsReadBackExactly) {
    const double kFloats[] = {0.1,           -0.0,      5e-324,       1.7976931348623157e308,
                              1.0 / 3,       1e21,      -20.0,        1e-5,
                              123456789.125, -INFINITY, 2.5e-308 / 3, -NAN};
    for (double number : kFloats) {
        toolkit::CElement value, back;
        value.set_float(number);
        const std::string text = FormatCdsValue(value);
        std::string error;
        ASSERT_TRUE(ParseCdsValue(text, &back, &error)) << text << ": " << error;
        ASSERT_EQ(back.type(), toolkit::CElement::kTypeFloat) << text;
        const double read = back.to_float();
        EXPECT_TRUE(std::isnan(number)
                        ? std::isnan(read) && std::signbit(read) == std::signbit(number)
                        : memcmp(&number, &read, sizeof read) == 0)
            << text;
    }
}

}  // namespace
