#include "platform/path_utils.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace qelvio::platform {
namespace {

TEST(PathUtilsTest, FolderAndNameParts) {
    struct Case {
        std::u16string path, folder, name;
    };
    const Case cases[] = {
        {u"\\My Documents\\a.jpg", u"\\My Documents", u"a.jpg"},
        {u"\\a.jpg", u"", u"a.jpg"},
        {u"a.jpg", u"", u"a.jpg"},
        {u"C:\\\\a.jpg", u"C:\\", u"a.jpg"},  // a backslash after a colon stays
        {u"x\\\\a.jpg", u"x", u"a.jpg"},
        {u"\\folder\\", u"\\folder", u""},
        {u"file:name.jpg", u"", u"name.jpg"},
        {u"", u"", u""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(folder_part(c.path), c.folder) << std::string(c.path.begin(), c.path.end());
        EXPECT_EQ(name_part(c.path), c.name) << std::string(c.path.begin(), c.path.end());
    }
}

TEST(PathUtilsTest, Join) {
    struct Case {
        std::u16string folder, name, joined;
    };
    const Case cases[] = {
        {u"\\My Documents", u"a.jpg", u"\\My Documents\\a.jpg"},
        {u"\\My Documents\\\\", u"\\a.jpg", u"\\My Documents\\a.jpg"},
        {u"\\My Documents\\", u"", u"\\My Documents"},
        {u"", u"a.jpg", u"\\a.jpg"},
        {u"\\x", u"\\\\y", u"\\x\\\\y"},  // only one leading backslash is skipped
    };
    std::u16string buffer = u"old content";
    for (const Case& c : cases) {
        join_path(buffer, c.folder, c.name);
        EXPECT_EQ(buffer, c.joined);
    }
}

TEST(PathUtilsTest, RemoveSpacesAndDuplicate) {
    std::u16string s = u" a b\tc  ";
    remove_spaces(s);
    EXPECT_EQ(s, u"ab\tc");
    auto copy = duplicate_text(u"text");
    EXPECT_EQ(std::u16string(copy.get()), u"text");
    EXPECT_EQ(duplicate_text(nullptr), nullptr);
}

TEST(PathUtilsTest, EightBitConversionsKeepLowByte) {
    EXPECT_STREQ(narrow_text(u"A\u00e9\u0142"), "A\xe9\x42");
    EXPECT_EQ(std::u16string(widen_text("A\xe9")), u"A\u00e9");
    // The buffer is reused: a shorter text after a longer one is terminated.
    narrow_text(u"a long piece of text");
    EXPECT_STREQ(narrow_text(u"ab"), "ab");
}

// Each thread has its own conversion buffer, so results never mix.
TEST(PathUtilsTest, ConversionsOnSeveralThreads) {
    std::vector<int> mismatches(4);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t, &mismatches] {
            std::u16string mine(100 + t * 37, static_cast<char16_t>(u'a' + t));
            std::string expected(mine.begin(), mine.end());
            for (int i = 0; i < 2000; ++i) {
                const char* out = narrow_text(mine);
                std::this_thread::yield();
                if (expected != out) ++mismatches[t];
            }
        });
    }
    for (auto& th : threads) th.join();
    EXPECT_EQ(mismatches, std::vector<int>(4, 0));
}

}  // namespace
}  // namespace qelvio::platform
