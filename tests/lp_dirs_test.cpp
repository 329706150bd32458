#include "lpfile/lp_dirs.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(SetFlashRootTest, AcceptsOnlyPlainAbsolutePaths) {
    const std::string longest = "/" + std::string(kMaxFlashRootLength - 1, 'a');
    const struct {
        std::string root;
        std::string lp2;  // empty: refused
    } kCases[] = {
        {"/tmp/sandbox/jffs//", "/tmp/sandbox/jffs/lp2/"},
        {"/", "/lp2/"},
        {"/A-z_0.9", "/A-z_0.9/lp2/"},
        {longest, longest + "/lp2/"},
        {longest + "a", ""},
        {"", ""},
        {"jffs", ""},
        {"/tmp/with space", ""},
        {"/tmp/x;rm", ""},
        {"/tmp/$HOME", ""},
        {"/tmp/a'b*", ""},
        {"/tmp/caf\xc3\xa9", ""},
    };
    for (const auto& c : kCases) {
        ASSERT_TRUE(SetFlashRoot("/previous"));
        const std::string lp2 = c.lp2.empty() ? "/previous/lp2/" : c.lp2;
        EXPECT_EQ(SetFlashRoot(c.root.c_str()), !c.lp2.empty()) << c.root;
        EXPECT_EQ(LpDirectory(1), lp2);
        EXPECT_EQ(LpDirectory(7), lp2);
        EXPECT_EQ(LpDirectory(0), lp2.substr(0, lp2.size() - 2) + "1/");
    }
    ASSERT_TRUE(SetFlashRoot(nullptr));
    EXPECT_STREQ(LpDirectory(0), "/jffs/lp1/");
}

}  // namespace
