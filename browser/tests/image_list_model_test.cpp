#include "browser/image_list_model.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qelvio::browser {
namespace {

// Items whose file pointers stand for indices into a table of facts.
struct ModelFixture : ::testing::Test {
    ImageListModel model;
    std::vector<SortFacts> facts;

    void make(int n) {
        for (int i = 0; i < n; ++i) model.add(reinterpret_cast<p_filenode*>(static_cast<intptr_t>(i + 1)), nullptr);
    }
    int id(int index) const { return static_cast<int>(reinterpret_cast<intptr_t>(model.items()[index].file)) - 1; }
    std::vector<int> order() const {
        std::vector<int> out;
        for (int i = 0; i < model.count(); ++i) out.push_back(id(i));
        return out;
    }
    std::string states() const {
        std::string out;
        for (const ListItem& item : model.items()) out += static_cast<char>('0' + item.state);
        return out;
    }
    void sort(int key, bool descending) {
        model.sort(key, descending, [this](const ListItem& item) {
            return facts[static_cast<std::size_t>(reinterpret_cast<intptr_t>(item.file) - 1)];
        });
    }
};

TEST_F(ModelFixture, SortsByEveryKeyInBothDirections) {
    facts = {
        {u"b.JPG", u"JPEG", 300, 50},
        {u"A.bmp", u"BMP", 100, 70},
        {u"c.tif", u"tiff", 200, 10},
        {u"a2.gif", u"GIF", 400, 30},
    };
    make(4);
    struct Case {
        int key;
        bool descending;
        std::vector<int> order;
    } cases[] = {
        {kSortName, false, {1, 3, 0, 2}}, {kSortName, true, {2, 0, 3, 1}},
        {kSortType, false, {1, 3, 0, 2}}, {kSortType, true, {2, 0, 3, 1}},
        {kSortSize, false, {1, 2, 0, 3}}, {kSortSize, true, {3, 0, 2, 1}},
        {kSortDate, false, {2, 3, 0, 1}}, {kSortDate, true, {1, 0, 3, 2}},
    };
    for (const Case& c : cases) {
        sort(c.key, c.descending);
        EXPECT_EQ(order(), c.order) << "key " << c.key << " descending " << c.descending;
    }
}

TEST_F(ModelFixture, UnknownFormatsSortLastWithoutBreakingTheOrder) {
    // Many items with and without format names: the comparison must stay a
    // strict weak order (an "equal to everything" rule would not be).
    for (int i = 0; i < 200; ++i)
        facts.push_back({u"f", i % 3 == 0 ? u"" : (i % 3 == 1 ? u"JPEG" : u"BMP"), 0, 0});
    make(200);
    for (bool descending : {false, true}) {
        sort(kSortType, descending);
        std::vector<std::u16string> formats;
        for (int i = 0; i < model.count(); ++i) formats.push_back(facts[id(i)].format);
        // 66 BMP (i % 3 == 2), 67 JPEG, 67 without a name, always last.
        const int firsts = descending ? 67 : 66;
        const std::u16string first = descending ? u"JPEG" : u"BMP", second = descending ? u"BMP" : u"JPEG";
        for (int i = 0; i < 200; ++i) {
            const std::u16string& want = i < firsts ? first : (i < 133 ? second : std::u16string());
            ASSERT_EQ(formats[i], want) << i;
        }
    }
}

TEST_F(ModelFixture, TapsSelectAndMultiSelectToggles) {
    make(5);
    // Tap on 1: selected at press, stays after release.
    EXPECT_TRUE(model.press(1, 10, 10, false, false, kViewThumbnails));
    model.release(false);
    EXPECT_EQ(states(), "02000");
    // Control tap on 3 adds it.
    model.press(3, 10, 10, true, false, kViewThumbnails);
    model.release(true);
    EXPECT_EQ(states(), "02020");
    // Control tap on a selected item unselects it on release only.
    model.press(1, 10, 10, true, false, kViewThumbnails);
    EXPECT_EQ(states(), "02020");
    model.release(true);
    EXPECT_EQ(states(), "00020");
    EXPECT_EQ(model.selected_count(), 1);
    // A plain tap on the selected one keeps it alone selected; on another
    // one moves the selection there.
    model.press(0, 10, 10, true, false, kViewThumbnails);
    model.release(true);
    EXPECT_EQ(states(), "20020");
    model.press(3, 10, 10, false, false, kViewThumbnails);
    EXPECT_EQ(states(), "20020");  // pressed item was selected: nothing yet
    model.release(false);
    EXPECT_EQ(states(), "00020");
    // A press on nothing without control clears.
    model.press(-1, 10, 10, false, false, kViewThumbnails);
    model.release(false);
    EXPECT_EQ(states(), "00000");
    EXPECT_EQ(model.selected_count(), 0);
}

TEST_F(ModelFixture, IconHitChangesNoSelection) {
    make(3);
    model.select(0, true);
    EXPECT_FALSE(model.press(2, 10, 10, false, true, kViewThumbsDetails));
    EXPECT_TRUE(model.press_hit_icon());
    EXPECT_EQ(model.move(40, 40, [](int, const ListRect&) { return true; }), MoveResult::nothing);
    model.release(false);
    EXPECT_EQ(states(), "200");
}

TEST_F(ModelFixture, RubberBandFromEmptySpaceInTheGrid) {
    make(6);
    GridGeometry grid{3, kCellHeightWithNames};
    auto meets = [&](int i, const ListRect& band) { return grid.cell(i).intersects(band); };
    model.select(5, true);
    // Control keeps the selection; the band starts only past 8 pixels.
    // The press lies right of the last column (the grid ends at 220).
    model.press(-1, 230, 10, true, false, kViewThumbnails);
    EXPECT_EQ(model.move(222, 18, meets), MoveResult::nothing);
    EXPECT_FALSE(model.band_active());
    EXPECT_EQ(model.move(200, 18, meets), MoveResult::band_started);
    ASSERT_TRUE(model.band_active());
    EXPECT_EQ(states(), "001002");  // the band meets cell 2 only
    EXPECT_EQ(model.move(80, 100, meets), MoveResult::band_changed);
    EXPECT_EQ(states(), "011012");
    EXPECT_EQ(model.move(200, 18, meets), MoveResult::band_changed);  // back: items leave the band
    EXPECT_EQ(states(), "001002");
    model.move(80, 100, meets);
    EXPECT_TRUE(model.release(true));
    EXPECT_EQ(states(), "022022");
    EXPECT_EQ(model.selected_count(), 4);
    // Without control the press on empty space clears first.
    model.press(-1, 230, 10, false, false, kViewThumbnails);
    model.move(200, 30, meets);
    model.release(false);
    EXPECT_EQ(states(), "002000");
}

TEST_F(ModelFixture, MoveFromAnItemDragsInTheGridAndBandsInTheLists) {
    make(4);
    auto none = [](int, const ListRect&) { return false; };
    struct Case {
        int mode;
        bool preselect;  // the pressed item was selected already
        MoveResult result;
    } cases[] = {
        {kViewThumbnails, false, MoveResult::drag_started},
        {kViewThumbnails, true, MoveResult::drag_started},
        {kViewDetails, false, MoveResult::band_started},  // the press changed the selection
        {kViewDetails, true, MoveResult::drag_started},
        {kViewThumbsDetails, false, MoveResult::band_started},
    };
    for (const Case& c : cases) {
        model.select_all(false);
        if (c.preselect) model.select(1, true);
        model.press(1, 20, 20, false, false, c.mode);
        EXPECT_EQ(model.move(20, 29, none), c.result) << c.mode << c.preselect;
        model.release(false);
    }
    // A drag ends without the tap rule: the selection stays as it was.
    model.select_all(true);
    model.press(2, 20, 20, false, false, kViewThumbnails);
    model.move(40, 40, none);
    model.release(false);
    EXPECT_EQ(states(), "2222");
    // A press on nothing in a list mode does nothing on move.
    model.press(-1, 20, 20, false, false, kViewDetails);
    EXPECT_EQ(model.move(60, 60, none), MoveResult::nothing);
}

TEST_F(ModelFixture, RemovalKeepsTheSelectedCountAndNavigation) {
    make(5);
    model.select(1, true);
    model.select(3, true);
    EXPECT_EQ(model.next(-1, true), 1);
    EXPECT_EQ(model.next(1, true), 3);
    EXPECT_EQ(model.next(3, true), -1);
    EXPECT_EQ(model.previous(3, true), 1);
    EXPECT_EQ(model.previous(1, false), 0);
    model.remove(1);
    EXPECT_EQ(model.selected_count(), 1);
    EXPECT_EQ(model.selected_indices(), std::vector<int>{2});
    model.remove(0);
    EXPECT_EQ(model.selected_count(), 1);
    model.remove(9);
    EXPECT_EQ(model.count(), 3);
}

}  // namespace
}  // namespace qelvio::browser
