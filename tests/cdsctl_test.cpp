// cdsctl's text form of floats: formatted so that they read back to the bit. Lines of the text
// form and whole invocations of cdsctl are in the transcripts.
#include <cmath>
#include <cstring>

#include "cds_text.h"
#include "test_support.h"

namespace {

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
