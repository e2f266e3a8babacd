// The drag-over rules of the folder tree, driven with a made-up clock.
#include "browser/drop_hover.h"

#include <gtest/gtest.h>

namespace qelvio::browser {
namespace {

constexpr int kHeight = 200;

TEST(DropHover, HoveringArmsTheExpansionOnceAndABigMoveStartsItAgain) {
    DropHover hover;
    DragOverActions a = hover.drag_over(50, 100, kHeight, true, 0);
    EXPECT_TRUE(a.arm_expand);
    EXPECT_FALSE(a.cancel_expand);
    // Jitter of up to 5 pixels keeps the countdown running.
    a = hover.drag_over(55, 95, kHeight, true, 10);
    EXPECT_FALSE(a.arm_expand);
    EXPECT_FALSE(a.cancel_expand);
    // 6 pixels from the last point (not the first): cancelled and armed anew.
    a = hover.drag_over(55, 101, kHeight, true, 20);
    EXPECT_TRUE(a.cancel_expand);
    EXPECT_TRUE(a.arm_expand);
    EXPECT_TRUE(hover.expand_due());
    EXPECT_FALSE(hover.expand_due());
    // Off the folders: nothing pending, nothing armed.
    hover.drag_over(55, 101, kHeight, true, 30);
    a = hover.drag_over(55, 150, kHeight, false, 40);
    EXPECT_TRUE(a.cancel_expand);
    EXPECT_FALSE(a.arm_expand);
    EXPECT_FALSE(hover.expand_due());
}

TEST(DropHover, ScrollBandsAtTopAndBottom) {
    struct Case {
        int y;
        int direction;
    } cases[] = {{0, -15}, {14, -15}, {15, 0}, {100, 0}, {184, 0}, {185, 15}, {199, 15}, {200, 0}, {-3, 0}};
    for (const Case& c : cases) {
        DropHover hover;
        DragOverActions a = hover.drag_over(10, c.y, kHeight, false, 1000);
        EXPECT_EQ(hover.direction(), c.direction) << c.y;
        EXPECT_EQ(a.scroll_now, c.direction != 0) << c.y;
        EXPECT_EQ(a.arm_scroll, c.direction != 0) << c.y;
    }
}

TEST(DropHover, ScrollStepsPauseTwoHundredMillisecondsBetweenHoverSteps) {
    DropHover hover;
    EXPECT_TRUE(hover.drag_over(10, 5, kHeight, false, 1000).scroll_now);
    DragOverActions a = hover.drag_over(11, 5, kHeight, false, 1200);
    EXPECT_FALSE(a.scroll_now);  // 200 ms is not more than 200 ms
    EXPECT_TRUE(a.arm_scroll);
    EXPECT_TRUE(hover.drag_over(11, 6, kHeight, false, 1201).scroll_now);
    // The timer steps while the direction holds, and restarts the pause.
    EXPECT_TRUE(hover.scroll_due(1251));
    EXPECT_FALSE(hover.drag_over(11, 6, kHeight, false, 1400).scroll_now);
    EXPECT_TRUE(hover.drag_over(11, 6, kHeight, false, 1452).scroll_now);
    // Back in the middle: the next tick stops the timer.
    hover.drag_over(11, 100, kHeight, false, 1460);
    EXPECT_EQ(hover.direction(), 0);
    EXPECT_FALSE(hover.scroll_due(1500));
}

TEST(DropHover, StopForgetsEverything) {
    DropHover hover;
    hover.drag_over(10, 5, kHeight, true, 1000);
    hover.stop();
    EXPECT_FALSE(hover.expand_pending());
    EXPECT_EQ(hover.direction(), 0);
    EXPECT_FALSE(hover.scroll_due(1100));
    // A new drag starts fresh: the first hover steps at once.
    EXPECT_TRUE(hover.drag_over(10, 5, kHeight, false, 1010).scroll_now);
}

}  // namespace
}  // namespace qelvio::browser
