#include "browser/slide_show.h"

#include <gtest/gtest.h>

#include <vector>

namespace qelvio::browser {
namespace {

TEST(SlideShow, AdvancesAtTheFirstCheckAfterTheInterval) {
    SlideShow show;
    show.start(1, false, 0);
    const int64_t interval = slide_interval_ms(3.0f);
    ASSERT_EQ(interval, 3000);
    auto all = [](int) { return true; };
    std::vector<int> shown;
    int64_t advanced_at = -1;
    for (int64_t now = 100; now <= 9000; now += kSlideCheckMs) {
        if (auto next = show.check(now, interval, 4, all)) {
            shown.push_back(*next);
            if (advanced_at < 0) advanced_at = now;
        }
    }
    EXPECT_EQ(advanced_at, 3000);
    EXPECT_EQ(shown, (std::vector<int>{2, 3, 0}));  // wraps from the last to the first
}

TEST(SlideShow, SelectedOnlySkipsUnselectedImages) {
    SlideShow show;
    show.start(0, true, 0);
    auto selected = [](int i) { return i == 0 || i == 3; };
    std::vector<int> shown;
    for (int64_t now = 100; now <= 1000; now += 100)
        if (auto next = show.check(now, 200, 5, selected)) shown.push_back(*next);
    EXPECT_EQ(shown, (std::vector<int>{3, 0, 3, 0, 3}));
    // One selected image alone: nothing else to show.
    SlideShow lone;
    lone.start(2, true, 0);
    EXPECT_FALSE(lone.check(500, 100, 4, [](int i) { return i == 2; }));
    show.stop();
    EXPECT_FALSE(show.check(5000, 200, 5, selected));
}

TEST(SlideShow, IntervalIsTruncatedToMilliseconds) {
    EXPECT_EQ(slide_interval_ms(2.5f), 2500);
    EXPECT_EQ(slide_interval_ms(12.34f), 12340);
    EXPECT_EQ(slide_interval_ms(0.0f), 0);
    EXPECT_EQ(slide_interval_ms(0.0015f), 1);
}

}  // namespace
}  // namespace qelvio::browser
