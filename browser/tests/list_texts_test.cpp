#include "browser/list_commands.h"
#include "browser/list_texts.h"
#include "resources/command_ids.h"

#include <gtest/gtest.h>

namespace qelvio::browser {
namespace {

TEST(ListTexts, SizesNamesAndDimensions) {
    struct Case {
        int64_t size;
        std::u16string text;
    } sizes[] = {
        {1048576, u"1.00M"}, {1048575, u"1024.0K"}, {0, u"0.0K"}, {1536, u"1.5K"}, {5 * 1048576 + 524288, u"5.50M"},
    };
    for (const Case& c : sizes) EXPECT_EQ(size_text(c.size), c.text) << c.size;
    EXPECT_EQ(shown_name(u"a.b.jpg"), u"a.b");
    EXPECT_EQ(shown_name(u"photo"), u"photo");
    EXPECT_EQ(shown_name(u".hidden"), u"");
    EXPECT_EQ(dimensions_text(640, 480, 24), u"640x480x24b");
}

TEST(ListTexts, ShorteningWithDots) {
    // Every character 5 pixels wide.
    auto width_of = [](std::u16string_view t) { return static_cast<int>(t.size()) * 5; };
    EXPECT_EQ(shorten(u"abcdef", 30, width_of), u"abcdef");     // fits exactly
    EXPECT_EQ(shorten(u"abcdefg", 30, width_of), u"abc...");    // 3 + dots = 30
    EXPECT_EQ(shorten(u"abcdefg", 29, width_of), u"ab...");
    EXPECT_EQ(shorten(u"abcdefg", 3, width_of), u"a...");       // at least one character
    EXPECT_EQ(shorten(u"", 0, width_of), u"");
}

TEST(ListCommands, EnablingAndChecks) {
    using namespace resources;
    ListCommandFacts f;
    f.count = 3;
    f.view_mode = 2;
    f.sort_key = 3;
    f.descending = true;
    auto enabled = [&](int id) { return list_command_state(id, f)->enabled; };
    auto checked = [&](int id) { return list_command_state(id, f)->checked; };
    EXPECT_TRUE(checked(kCmdViewThumbsDetails));
    EXPECT_FALSE(checked(kCmdViewThumbnails));
    EXPECT_TRUE(checked(kCmdSortByDate));
    EXPECT_FALSE(checked(kCmdSortByName));
    EXPECT_TRUE(checked(kCmdSortDescending));
    EXPECT_FALSE(checked(kCmdSortAscending));
    // Nothing selected.
    for (int id : {kCmdViewImage, kCmdSlideShowSelected, kCmdCut, kCmdCopy, kCmdDelete, kCmdRename, kCmdPlayAudio,
                   kCmdTransformJpeg, kCmdPaste})
        EXPECT_FALSE(enabled(id)) << id;
    EXPECT_TRUE(enabled(kCmdSlideShowAll));
    EXPECT_TRUE(enabled(kCmdSelectAll));
    // One selected JPEG with audio, clipboard full.
    f.selected = 1;
    f.one_selected_has_audio = true;
    f.any_selected_jpeg = true;
    f.can_paste = true;
    for (int id : {kCmdViewImage, kCmdCut, kCmdCopy, kCmdDelete, kCmdRename, kCmdPlayAudio, kCmdTransformJpeg, kCmdPaste,
                   kCmdSendEmail, kCmdProperties})
        EXPECT_TRUE(enabled(id)) << id;
    EXPECT_FALSE(enabled(kCmdSlideShowSelected));
    // Two selected: view and audio need exactly one.
    f.selected = 2;
    EXPECT_FALSE(enabled(kCmdViewImage));
    EXPECT_FALSE(enabled(kCmdPlayAudio));
    EXPECT_FALSE(enabled(kCmdProperties));
    EXPECT_TRUE(enabled(kCmdSlideShowSelected));
    f.count = 1;
    EXPECT_FALSE(enabled(kCmdSlideShowAll));
    // Beaming: Send needs a selection and a window that is not receiving,
    // Receive a window that is not sending.
    struct Beam {
        int selected, mode;
        bool send, receive;
    };
    for (Beam c : {Beam{2, 0, true, true}, Beam{2, 1, true, false}, Beam{2, 2, false, true}, Beam{0, 0, false, true}}) {
        f.selected = c.selected;
        f.infrared_mode = c.mode;
        EXPECT_EQ(enabled(kCmdSendInfrared), c.send) << c.selected << " " << c.mode;
        EXPECT_EQ(enabled(kCmdReceiveInfrared), c.receive) << c.selected << " " << c.mode;
    }
    EXPECT_FALSE(list_command_state(kCmdNewFolder, f).has_value());
}

TEST(ListCommands, HeaderTaps) {
    struct Case {
        int column, key;
        bool descending;
        int new_key;
        bool new_descending;
    } cases[] = {{0, 0, false, 0, true}, {0, 0, true, 0, false}, {2, 0, true, 2, false}, {3, 1, false, 3, false}};
    for (const Case& c : cases) {
        SortChoice s = header_tap(c.column, c.key, c.descending);
        EXPECT_EQ(s.key, c.new_key);
        EXPECT_EQ(s.descending, c.new_descending);
    }
}

}  // namespace
}  // namespace qelvio::browser
