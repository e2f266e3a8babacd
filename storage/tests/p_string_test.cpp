#include "qelvio/p_string.h"

#include <gtest/gtest.h>

namespace {

std::u16string text(const p_string& s) { return std::u16string(s.view()); }

TEST(PString, DefaultIsEmptyButNeverNull) {
    p_string s;
    const char16_t* t = s;
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t[0], 0);
    EXPECT_EQ(s.len(), 0u);
    EXPECT_EQ(s.at(0), 0);
    EXPECT_EQ(s.at(1), 0xFFFF);
}

TEST(PString, AtAndFind) {
    p_string s(u"abc");
    EXPECT_EQ(s.at(3), 0);
    EXPECT_EQ(s.at(4), 0xFFFF);
    EXPECT_EQ(s.find(u"bc"), 1);
    EXPECT_EQ(s.find(u"abc"), 0);
    EXPECT_EQ(s.find(u"abcd"), -1);
    EXPECT_EQ(s.ifind(u"BC"), 1);
    EXPECT_EQ(s.find(u'c'), 2);
    EXPECT_EQ(p_string(u"abca").rfind(u'a'), 3);
    EXPECT_EQ(p_string().find(u'a'), -1);
}

TEST(PString, SetCutsTailEvenWithoutTerminate) {
    p_string s(u"abcdef");
    EXPECT_EQ(s.set(2, u"XY", 2, false), 4u);
    EXPECT_EQ(text(s), u"abXY");
    EXPECT_EQ(s.set(s.len() + 1, u"Z", 1, true), 0u);
    EXPECT_EQ(text(s), u"abXY");
    EXPECT_EQ(s.set(4, u"123", -1, false), 7u);
    EXPECT_EQ(text(s), u"abXY123");
    EXPECT_EQ(s.set(0, nullptr, 1, true), 0u);
}

TEST(PString, SetOnNeverSetStringWithNothingReturnsZero) {
    p_string s;
    EXPECT_EQ(s.set(0, u"", 0, true), 0u);
    EXPECT_EQ(s.len(), 0u);
}

TEST(PString, CompareRules) {
    p_string empty;
    EXPECT_EQ(empty.cmp(u""), -1);
    p_string s(u"abc");
    EXPECT_EQ(s.cmp(nullptr), -1);
    EXPECT_EQ(s.cmp(u"abc"), 0);
    EXPECT_LT(s.cmp(u"abb"), 0);
    EXPECT_GT(s.cmp(u"abd"), 0);
    EXPECT_EQ(s.cmpi(u"ABC"), 0);
    EXPECT_NE(s.cmp(u"ABC"), 0);
}

TEST(PString, TruncateClearAppend) {
    p_string s(u"abc");
    s.truncate(10);
    EXPECT_EQ(text(s), u"abc");
    s.truncate(1);
    EXPECT_EQ(text(s), u"a");
    p_string joined = s + u"xyz";
    EXPECT_EQ(text(joined), u"axyz");
    EXPECT_EQ(text(s), u"a");
    s += nullptr;
    s += u"b";
    EXPECT_EQ(text(s), u"ab");
    s.clear();
    EXPECT_TRUE(s.isempty());
    EXPECT_NE(static_cast<const char16_t*>(s), nullptr);
    s = nullptr;  // a null text changes nothing
    EXPECT_TRUE(s.isempty());
}

TEST(PString, SelfAssignmentAndAppendOfOwnText) {
    p_string s(u"abc");
    s = s;
    EXPECT_EQ(text(s), u"abc");
    s += s;
    EXPECT_EQ(text(s), u"abcabc");
}

TEST(PString, FormatIsTypeSafeAndCut) {
    p_string s;
    s.format(u"%s has %d files (%05.1f%%)", u"Folder", 12, 3.25);
    EXPECT_EQ(text(s), u"Folder has 12 files (003.2%)");
    s.format(u"Copy (%d) of %s", 2, p_string(u"a.jpg"));
    EXPECT_EQ(text(s), u"Copy (2) of a.jpg");
    s.format(u"%d", u"not a number");  // wrong type: empty, no exception
    EXPECT_TRUE(s.isempty());
    std::u16string big(5000, u'x');
    s.format(u"%s", big.c_str());
    EXPECT_EQ(s.len(), 999u);
}

TEST(PString, Utf8RoundTrip) {
    p_string s = p_string::from_utf8("Grüße 📷");
    EXPECT_EQ(s.utf8(), "Grüße 📷");
    EXPECT_EQ(s.len(), 8u);  // the camera is a surrogate pair
}

}  // namespace
