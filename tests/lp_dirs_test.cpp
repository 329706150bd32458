#include "lpfile/lp_dirs.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct RootCase {
    const char* root;
    bool accepted;
    const char* lp1;
    const char* lp2;
};

const RootCase kRootCases[] = {
    {nullptr, true, "/jffs/lp1/", "/jffs/lp2/"},
    {"/tmp/sandbox/jffs", true, "/tmp/sandbox/jffs/lp1/", "/tmp/sandbox/jffs/lp2/"},
    {"/tmp/sandbox/jffs//", true, "/tmp/sandbox/jffs/lp1/", "/tmp/sandbox/jffs/lp2/"},
    {"/", true, "/lp1/", "/lp2/"},
    {"/A-z_0.9", true, "/A-z_0.9/lp1/", "/A-z_0.9/lp2/"},
    {"", false, nullptr, nullptr},
    {"jffs", false, nullptr, nullptr},
    {"./jffs", false, nullptr, nullptr},
    {"/tmp/with space", false, nullptr, nullptr},
    {"/tmp/x;rm", false, nullptr, nullptr},
    {"/tmp/$HOME", false, nullptr, nullptr},
    {"/tmp/*", false, nullptr, nullptr},
    {"/tmp/a'b", false, nullptr, nullptr},
    {"/tmp/line\nbreak", false, nullptr, nullptr},
    {"/tmp/caf\xc3\xa9", false, nullptr, nullptr},
};

TEST(SetFlashRootTest, AcceptsOnlyPlainAbsolutePaths) {
    for (const RootCase& c : kRootCases) {
        ASSERT_TRUE(SetFlashRoot("/previous"));
        EXPECT_EQ(SetFlashRoot(c.root), c.accepted) << (c.root ? c.root : "(null)");
        EXPECT_STREQ(LpDirectory(0), c.accepted ? c.lp1 : "/previous/lp1/");
        EXPECT_STREQ(LpDirectory(1), c.accepted ? c.lp2 : "/previous/lp2/");
    }
    SetFlashRoot(nullptr);
}

TEST(SetFlashRootTest, LengthLimit) {
    const std::string longest = "/" + std::string(kMaxFlashRootLength - 1, 'a');
    ASSERT_TRUE(SetFlashRoot(longest.c_str()));
    EXPECT_EQ(std::string(LpDirectory(1)), longest + "/lp2/");
    EXPECT_FALSE(SetFlashRoot((longest + "a").c_str()));
    EXPECT_EQ(std::string(LpDirectory(0)), longest + "/lp1/");
    SetFlashRoot(nullptr);
}

TEST(LpDirectoryTest, AnyNonzeroIndexIsLp2) {
    SetFlashRoot(nullptr);
    EXPECT_STREQ(LpDirectory(0), "/jffs/lp1/");
    EXPECT_STREQ(LpDirectory(1), "/jffs/lp2/");
    EXPECT_STREQ(LpDirectory(7), "/jffs/lp2/");
    EXPECT_STREQ(LpDirectory(-1), "/jffs/lp2/");
}

}  // namespace
