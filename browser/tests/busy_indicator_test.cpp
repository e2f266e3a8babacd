// The busy indicator's thread, frames and nesting, with a recording surface
// and short frame times.
#include "browser/busy_indicator.h"
#include "browser/progress_layout.h"

#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

namespace qelvio::browser {
namespace {

class RecordingSurface : public BusySurface {
public:
    void create(int x, int y, bool shown) override {
        std::lock_guard<std::mutex> lock(m);
        created_x = x;
        created_y = y;
        visible = shown;
        alive = true;
        ++creates;
    }
    void draw_frame(int frame) override {
        std::lock_guard<std::mutex> lock(m);
        if (!alive) ++drawn_after_destroy;
        frames.push_back(frame);
    }
    void set_visible(bool v) override {
        std::lock_guard<std::mutex> lock(m);
        visible = v;
    }
    void destroy() override {
        std::lock_guard<std::mutex> lock(m);
        alive = false;
        ++destroys;
    }
    std::size_t frame_count() {
        std::lock_guard<std::mutex> lock(m);
        return frames.size();
    }
    bool wait_frames(std::size_t n) {
        for (int i = 0; i < 2000 && frame_count() < n; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return frame_count() >= n;
    }

    std::mutex m;
    std::vector<int> frames;
    int created_x = 0, created_y = 0, creates = 0, destroys = 0, drawn_after_destroy = 0;
    bool visible = false, alive = false;
};

TEST(BusyFrames, RunBackAndForth) {
    int index = 0, step = 1;
    std::vector<int> seen{index};
    for (int i = 0; i < 16; ++i) {
        next_busy_frame(index, step);
        seen.push_back(index);
    }
    EXPECT_EQ(seen, (std::vector<int>{0, 1, 2, 3, 3, 2, 1, 0, 0, 1, 2, 3, 3, 2, 1, 0, 0}));
}

TEST(BusyIndicator, NestedBeginsShareOneAnimation) {
    RecordingSurface surface;
    BusyIndicator busy(surface, 240, 320, {2, 1, 1, 1});
    busy.begin();
    busy.begin();
    ASSERT_TRUE(surface.wait_frames(3));
    busy.end();  // inner end: still animating
    EXPECT_TRUE(busy.animating());
    std::size_t before = surface.frame_count();
    ASSERT_TRUE(surface.wait_frames(before + 4));
    busy.end();  // outer end waits for the thread
    EXPECT_FALSE(busy.animating());
    EXPECT_EQ(surface.destroys, 1);
    EXPECT_EQ(surface.creates, 1);
    std::size_t at_end = surface.frame_count();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(surface.frame_count(), at_end);  // nothing drawn after End returned
    EXPECT_EQ(surface.drawn_after_destroy, 0);
    EXPECT_EQ(surface.created_x, 240 / 2 - 16);
    EXPECT_EQ(surface.created_y, 320 / 2 - 12);
    // The frames drawn follow the sequence from frame 0.
    std::vector<int> expected;
    int index = 0, step = 1;
    for (std::size_t i = 0; i < surface.frames.size(); ++i) {
        expected.push_back(index);
        next_busy_frame(index, step);
    }
    EXPECT_EQ(surface.frames, expected);
}

TEST(BusyIndicator, HidingKeepsTheAnimationRunning) {
    RecordingSurface surface;
    BusyIndicator busy(surface, 100, 100, {1, 1, 1, 1});
    busy.begin();
    ASSERT_TRUE(surface.wait_frames(2));
    busy.show(false);
    std::size_t before = surface.frame_count();
    ASSERT_TRUE(surface.wait_frames(before + 3));
    {
        std::lock_guard<std::mutex> lock(surface.m);
        EXPECT_FALSE(surface.visible);
    }
    busy.show(true);
    before = surface.frame_count();
    ASSERT_TRUE(surface.wait_frames(before + 3));
    {
        std::lock_guard<std::mutex> lock(surface.m);
        EXPECT_TRUE(surface.visible);
    }
    busy.end();
    EXPECT_FALSE(busy.animating());
}

TEST(BusyIndicator, EndReturnsPromptlyDuringTheLongFrame) {
    RecordingSurface surface;
    BusyIndicator busy(surface, 100, 100);  // frame 0 stays 1.5 s
    busy.begin();
    ASSERT_TRUE(surface.wait_frames(1));
    auto start = std::chrono::steady_clock::now();
    busy.end();
    // The wake event ends the wait early; a second of slack for a loaded machine.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1000));
    EXPECT_EQ(surface.frame_count(), 1u);
    busy.end();  // an unmatched end does nothing
    EXPECT_EQ(busy.nesting(), 0);
}

TEST(ProgressLayout, GeometryAndRange) {
    ProgressLayout l = progress_layout(240, 320);
    EXPECT_EQ(l.window, (Rect{40, 80, 200, 138}));
    EXPECT_EQ(l.text, (Rect{4, 4, 156, 32}));
    EXPECT_EQ(l.bar, (Rect{4, 36, 156, 50}));
    EXPECT_EQ(progress_range(0, 0).maximum, 1);
    EXPECT_EQ(progress_range(5, 5).minimum, 5);
    EXPECT_EQ(progress_range(5, 5).maximum, 6);
    EXPECT_EQ(progress_range(0, 10).maximum, 10);
}

}  // namespace
}  // namespace qelvio::browser
