// Reading the Find dialog's fields and testing one image against them.
#include "find/find_criteria.h"

#include <gtest/gtest.h>

namespace qelvio::find {
namespace {

FindCriteria criteria_of(FindFields fields) {
    FindCriteria c;
    EXPECT_EQ(read_fields(fields, c), 0);
    return c;
}

TEST(FindFieldsTest, SizeTextMustBeADecimalNumber) {
    struct Case {
        std::u16string text;
        int expected;
    };
    const Case cases[] = {{u"", 35066}, {u"1.5", 35067}, {u"-3", 35067}, {u" 100", 35067}, {u"10k", 35067},
                          {u"99999999999999999999", 35067}, {u"100", 0}, {u"0", 0}};
    for (const Case& c : cases) {
        FindFields fields;
        fields.size_mode = kSizeGreater;
        fields.size_text = c.text;
        FindCriteria criteria;
        EXPECT_EQ(read_fields(fields, criteria), c.expected) << std::string(c.text.begin(), c.text.end());
    }
    // With the size ignored its text is not looked at.
    FindFields ignored;
    ignored.size_text = u"1.5";
    FindCriteria criteria;
    EXPECT_EQ(read_fields(ignored, criteria), 0);
    EXPECT_FALSE(criteria.any());
}

TEST(FindFieldsTest, SizeInWholeKilobytes) {
    FindFields fields;
    fields.size_text = u"100";
    fields.size_mode = kSizeGreater;
    FindCriteria greater = criteria_of(fields);
    fields.size_mode = kSizeLess;
    FindCriteria less = criteria_of(fields);
    struct Case {
        int64_t bytes;
        bool greater, less;
    };
    const Case cases[] = {{102400, true, true}, {103423, true, true}, {102399, false, true},
                          {103424, true, false}, {0, false, true}};
    for (const Case& c : cases) {
        EXPECT_EQ(size_passes(greater, c.bytes), c.greater) << c.bytes;
        EXPECT_EQ(size_passes(less, c.bytes), c.less) << c.bytes;
    }
}

TEST(FindFieldsTest, NamePartIgnoresCase) {
    FindFields fields;
    fields.name = u"DSC";
    FindCriteria c = criteria_of(fields);
    EXPECT_TRUE(name_passes(c, u"dsc00012.jpg"));
    EXPECT_TRUE(name_passes(c, u"MyDsc.gif"));
    EXPECT_FALSE(name_passes(c, u"DS_C.jpg"));
    fields.name = u"\u00c9T\u00c9";
    EXPECT_TRUE(name_passes(criteria_of(fields), u"photo d'\u00e9t\u00e9.jpg"));
}

TEST(FindFieldsTest, WordsAreSplitAtSpacesAndKeptToThirtyTwo) {
    FindFields fields;
    fields.words = u"  Canon   EOS ";
    EXPECT_EQ(criteria_of(fields).words, (std::vector<std::string>{"canon", "eos"}));
    std::u16string many;
    for (int i = 0; i < 40; ++i) many += u"w" + std::u16string(1, static_cast<char16_t>(u'a' + i % 26)) + u" ";
    fields.words = many;
    EXPECT_EQ(criteria_of(fields).words.size(), kMaxWords);
    // Select-all mode searches the shown folder only.
    fields.select_all = true;
    fields.subfolders = true;
    EXPECT_FALSE(criteria_of(fields).subfolders);
}

// A tag list with text entries (type 2) and one number.
void add_text(metadata::ExifTagList& list, uint16_t tag, std::string_view text) {
    metadata::ExifTag entry;
    std::string with_zero(text);
    with_zero += '\0';
    entry.set_shape(tag, 2, static_cast<uint32_t>(with_zero.size()));
    entry.set_bytes(with_zero.data(), static_cast<int64_t>(with_zero.size()));
    list.add(entry, true);
}

TEST(FindFieldsTest, EveryWordInSomeTextEntry) {
    metadata::ExifTagList camera;
    add_text(camera, 271, "Canon");
    add_text(camera, 272, "Canon EOS D30");
    metadata::ExifTagList make_only;
    add_text(make_only, 271, "Canon");
    metadata::ExifTagList numbers;
    metadata::ExifTag width;
    width.set_shape(256, 3, 1);
    numbers.add(width, true);
    metadata::ExifTagList long_text;
    add_text(long_text, 270, std::string(1023, 'x') + "canon eos");  // past the searched bytes

    FindFields fields;
    fields.words = u"canon eos";
    FindCriteria c = criteria_of(fields);
    EXPECT_TRUE(words_pass(c, &camera));
    EXPECT_FALSE(words_pass(c, &make_only));
    EXPECT_FALSE(words_pass(c, &numbers));
    EXPECT_FALSE(words_pass(c, &long_text));
    EXPECT_FALSE(words_pass(c, nullptr));
    fields.words = u"D30 CANON";
    EXPECT_TRUE(words_pass(criteria_of(fields), &camera));
}

}  // namespace
}  // namespace qelvio::find
