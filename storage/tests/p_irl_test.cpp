#include "qelvio/p_irl.h"

#include <gtest/gtest.h>

namespace {

std::u16string text(const p_string& s) { return std::u16string(s.view()); }

struct ParseCase {
    const char16_t* input;
    uint32_t bits;
    const char16_t* scheme;
    const char16_t* path;
    const char16_t* recomposed;
};

class IrlParse : public ::testing::TestWithParam<ParseCase> {};

TEST_P(IrlParse, ExtractsAndRecomposes) {
    const ParseCase& c = GetParam();
    p_string scheme(u"old"), location(u"old"), path(u"old");
    EXPECT_EQ(p_irl::extract(c.input, &scheme, &location, &path), c.bits);
    if (c.bits != 0) {
        EXPECT_EQ(text(scheme), c.scheme);
        EXPECT_TRUE(location.isempty());
        EXPECT_EQ(text(path), c.path);
    }
    p_irl irl;
    EXPECT_EQ(irl.set(c.input), c.bits);
    EXPECT_EQ(text(irl), c.recomposed);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, IrlParse,
    ::testing::Values(
        ParseCase{u"file:\\\\\\My Documents\\a.jpg", 7, u"file", u"\\My Documents\\a.jpg",
                  u"file:\\\\\\My Documents\\a.jpg"},
        ParseCase{u"file:\\\\My Documents", 7, u"file", u"My Documents",
                  u"file:\\\\\\My Documents"},
        ParseCase{u"file:\\\\", 3, u"file", u"", u"file:\\\\"},
        ParseCase{u"a.jpg", 4, u"", u"a.jpg", u"\\a.jpg"},
        ParseCase{u":\\\\x", 5, u"", u"\\x", u"\\x"},
        ParseCase{u"C:\\x", 0, u"", u"", u""},
        ParseCase{u"file:", 0, u"", u"", u""}));

TEST(Irl, FailedParseWritesNoOutput) {
    p_string scheme(u"keep");
    EXPECT_EQ(p_irl::extract(u"C:\\x", &scheme, nullptr, nullptr), 0u);
    EXPECT_EQ(text(scheme), u"keep");
}

TEST(Irl, ComposeAddsSeparatorOnlyWhenLocationGiven) {
    p_irl a, b, c, d;
    a.set(u"file", u"", u"\\My Documents");
    b.set(u"file", u"", u"My Documents");
    EXPECT_EQ(text(a), text(b));
    EXPECT_EQ(text(a), u"file:\\\\\\My Documents");
    c.set(u"file", u"\\My Documents", nullptr);
    EXPECT_EQ(text(c), u"file:\\\\My Documents");
    d.set(u"file", nullptr, u"x");
    EXPECT_EQ(text(d), u"file:\\\\x");
}

TEST(Irl, FileAndParent) {
    p_irl irl(u"file:\\\\\\My Documents\\a.jpg");
    p_string out;
    EXPECT_TRUE(irl.getfile(&out));
    EXPECT_EQ(text(out), u"a.jpg");
    EXPECT_TRUE(irl.getfileparent(&out));
    EXPECT_EQ(text(out), u"\\My Documents");
    EXPECT_FALSE(irl.getfile(nullptr));

    p_irl bare(u"file:\\\\");
    EXPECT_TRUE(bare.getfile(&out));
    EXPECT_TRUE(out.isempty());
    p_irl one;
    one.p_string::operator=(u"a.jpg");  // a bare one-name path
    EXPECT_TRUE(one.getfileparent(&out));
    EXPECT_TRUE(out.isempty());
}

TEST(Irl, AssignmentCopiesVerbatimCopyConstructionRecomposes) {
    p_irl raw;
    raw.p_string::operator=(u"file:\\\\My Documents");  // not in composed form
    p_irl assigned;
    assigned = raw;
    EXPECT_EQ(text(assigned), u"file:\\\\My Documents");
    p_irl copied(raw);
    EXPECT_EQ(text(copied), u"file:\\\\\\My Documents");
}

}  // namespace
