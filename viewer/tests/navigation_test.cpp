// Moving between images from the viewer, and the overlay buttons' places.
#include "viewer/navigation.h"

#include <gtest/gtest.h>

#include <vector>

using namespace qelvio::viewer;

TEST(ViewerNavigation, NextAndPreviousWithWrapAndSelectedOnly) {
    std::vector<bool> picked{false, true, false, true, false};
    std::function<bool(int)> selected = [&](int i) { return static_cast<bool>(picked[static_cast<std::size_t>(i)]); };
    struct Case {
        int current;
        int direction;
        bool wrap;
        bool only_selected;
        int expected;
    } cases[] = {
        {2, 1, false, false, 3},  {4, 1, false, false, -1}, {4, 1, true, false, 0},  {0, -1, false, false, -1},
        {0, -1, true, false, 4},  {1, 1, false, true, 3},   {3, 1, false, true, -1}, {3, 1, true, true, 1},
        {1, -1, true, true, 3},   {4, 1, true, true, 1},    {2, -1, false, true, 1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(step_index(5, c.current, c.direction, c.wrap, c.only_selected ? selected : std::function<bool(int)>{}), c.expected)
            << c.current << " " << c.direction << " " << c.wrap << " " << c.only_selected;
    }
    // One selected image: nothing else to go to, nothing to read ahead.
    std::vector<bool> one{false, false, true, false, false};
    auto only = [&](int i) { return static_cast<bool>(one[static_cast<std::size_t>(i)]); };
    EXPECT_EQ(step_index(5, 2, 1, true, only), 2);
    EXPECT_EQ(prefetch_index(5, 2, 1, only), -1);
    EXPECT_EQ(prefetch_index(5, 4, 1), 0);
    EXPECT_EQ(prefetch_index(5, 0, -1), 4);
    EXPECT_EQ(prefetch_index(1, 0, 1), -1);
}

TEST(ViewerNavigation, OverlayButtonsSitInTheirCorners) {
    struct Case {
        int bitmap;
        int left;
        int top;
    } cases[] = {{190, 0, 0}, {191, 208, 0}, {193, 224, 0}, {192, 0, 284}};
    for (const Case& c : cases) {
        auto r = overlay_button_rect(c.bitmap, 240, 300);
        EXPECT_EQ(r.left, c.left) << c.bitmap;
        EXPECT_EQ(r.top, c.top) << c.bitmap;
        EXPECT_EQ(r.right - r.left, 16);
        EXPECT_EQ(r.bottom - r.top, 16);
    }
}
