// The view's zoom, pan, tap, rectangle and key rules, driven with a fake
// image and a hand-set clock.
#include "viewer/view_state.h"

#include <gtest/gtest.h>

#include <vector>

using namespace qelvio::viewer;

namespace {

struct FakeImage : ZoomTarget {
    FakeImage(int w, int h) : size{w, h} {}
    DibSize image_size() override { return size; }
    DibSize apply_zoom(int zoom) override {
        applied.push_back(zoom);
        return {static_cast<int>(int64_t{size.width} * zoom / 1000), static_cast<int>(int64_t{size.height} * zoom / 1000)};
    }
    DibSize size;
    std::vector<int> applied;
};

struct View {
    View(int image_w, int image_h, int client_w, int client_h) : image(image_w, image_h), state([this] { return now; }) {
        state.set_client(client_w, client_h);
        state.set_target(&image);
        state.fit();
    }
    void drag(int x0, int y0, int x1, int y1) {
        state.press(x0, y0, false);
        state.move(x1, y1);
        state.release(false);
    }
    Outcome tap(int x, int y) {
        state.press(x, y, false);
        return state.release(false);
    }
    int64_t now = 10000;
    FakeImage image;
    ViewState state;
};

}  // namespace

TEST(ViewZoom, ZoomInStepsFromFitSnapNearFullSizeAndStopAt3000) {
    View v(480, 360, 240, 300);
    std::vector<int> zooms{v.state.zoom()};
    for (int i = 0; i < 6; ++i) {
        v.state.zoom_in();
        zooms.push_back(v.state.zoom());
    }
    EXPECT_EQ(zooms, (std::vector<int>{500, 750, 1000, 1500, 2250, 3000, 3000}));
    // The image object is told every zoom it is shown at.
    EXPECT_EQ(v.image.applied.back(), 3000);
}

TEST(ViewZoom, RequestedZoomsWithin199OfFullSizeSnap) {
    struct Case {
        int requested;
        int shown;
    } cases[] = {{700, 700}, {800, 800}, {801, 1000}, {1050, 1000}, {1199, 1000}, {1200, 1200}, {3000, 3000}};
    for (auto c : cases) {
        View v(2000, 2000, 240, 300);
        v.state.zoom_to(c.requested, true);
        EXPECT_EQ(v.state.zoom(), c.shown) << c.requested;
    }
    View v(2000, 2000, 240, 300);
    v.state.zoom_to(700, true);
    v.state.zoom_in();
    EXPECT_EQ(v.state.zoom(), 1000);  // 1050 snapped
}

TEST(ViewZoom, SmallImageIsCentredAndZoomOutReturnsToFit) {
    View v(100, 80, 240, 300);
    EXPECT_EQ(v.state.zoom(), 1000);
    EXPECT_EQ(v.state.offset_x(), 70);
    EXPECT_EQ(v.state.offset_y(), 110);
    v.state.zoom_out();
    EXPECT_EQ(v.image.applied.end()[-2], 666);  // shown at 666 first
    EXPECT_EQ(v.state.zoom(), 1000);
    EXPECT_EQ(v.state.offset_x(), 70);
    // An odd free space gives the extra pixel to the left.
    View odd(101, 80, 240, 300);
    EXPECT_EQ(odd.state.offset_x(), 70);
}

TEST(ViewZoom, FitNeverEnlargesAndIsNotSnapped) {
    View v(2000, 100, 1000, 1000);
    EXPECT_EQ(v.state.zoom(), 500);
    View near(1100, 100, 1000, 1000);
    EXPECT_EQ(near.state.zoom(), 909);  // 1000 / 1.1, truncated
    // A size change re-applies the fitted zoom as it is.
    near.state.resize(1000, 900);
    EXPECT_EQ(near.state.zoom(), 909);
}

TEST(ViewZoom, ZoomKeepsTheCentrePoint) {
    View v(2000, 1500, 240, 300);
    v.state.zoom_to(1000, false);
    v.drag(200, 200, 100, 150);  // pan somewhere in the middle
    int cx = v.state.centre_x(), cy = v.state.centre_y();
    v.state.zoom_in();
    EXPECT_EQ(v.state.zoom(), 1500);
    EXPECT_NEAR(v.state.centre_x(), cx, 1);
    EXPECT_NEAR(v.state.centre_y(), cy, 1);
    v.state.zoom_out();
    EXPECT_EQ(v.state.zoom(), 1000);
    EXPECT_NEAR(v.state.centre_x(), cx, 1);
    EXPECT_NEAR(v.state.centre_y(), cy, 1);
}

TEST(ViewPointer, PanMovesAboutOneAndThreeQuarterTimesThePointerAndClamps) {
    View v(1000, 1000, 200, 200);
    v.state.zoom_to(1000, false);
    EXPECT_EQ(v.state.scroll_x(), 400);
    v.state.press(100, 100, false);
    Outcome start = v.state.move(90, 101);  // 10 left: 10 + 10/1.35 = 17; 1 up: as is
    EXPECT_TRUE(start.capture);
    EXPECT_TRUE(start.stop_slide_show);
    EXPECT_TRUE(v.state.panning());
    EXPECT_EQ(v.state.scroll_x(), 417);
    EXPECT_EQ(v.state.scroll_y(), 399);
    v.state.move(88, 101);  // 2: not sped up
    EXPECT_EQ(v.state.scroll_x(), 419);
    v.state.move(-2000, 101);  // far past the edge
    EXPECT_EQ(v.state.scroll_x(), 800);
    EXPECT_TRUE(v.state.release(false).release_capture);
    EXPECT_FALSE(v.state.panning());
}

TEST(ViewPointer, SmallMovesAreStillATap) {
    View v(480, 360, 240, 300);
    v.state.press(100, 100, false);
    EXPECT_FALSE(v.state.move(102, 98).capture);
    v.state.release(false);
    EXPECT_EQ(v.state.zoom(), 750);
}

TEST(ViewPointer, TapZoomsOnTheTappedPointButNotRightAfterAPanNorAt3000) {
    View v(960, 720, 240, 300);
    ASSERT_EQ(v.state.zoom(), 250);
    ASSERT_EQ(v.state.offset_y(), 60);
    EXPECT_TRUE(v.tap(150, 120).repaint);  // image point (600, 240)
    EXPECT_EQ(v.state.zoom(), 375);
    EXPECT_EQ(v.state.centre_x(), 600);

    v.state.zoom_to(1000, true);
    v.drag(100, 100, 50, 60);
    int zoom = v.state.zoom();
    v.now += 299;
    v.tap(120, 150);
    EXPECT_EQ(v.state.zoom(), zoom);
    v.now += 1;
    v.tap(120, 150);
    EXPECT_EQ(v.state.zoom(), 1500);

    v.state.zoom_to(3000, true);
    v.now += 1000;
    EXPECT_FALSE(v.tap(120, 150).repaint);
    EXPECT_EQ(v.state.zoom(), 3000);
}

TEST(ViewPointer, RestingThenDraggingZoomsToTheRectangle) {
    View v(960, 720, 240, 300);  // zoom 250, image drawn 60 pixels down
    Outcome pressed = v.state.press(20, 80, false);
    EXPECT_TRUE(pressed.arm_rest_timer);
    Outcome rested = v.state.rest_timeout();
    EXPECT_TRUE(rested.open_marker);
    EXPECT_EQ(v.state.tool(), kToolZoomArea);
    v.state.move(140, 155);
    ASSERT_TRUE(v.state.selecting());
    EXPECT_EQ(v.state.selection().left, 80);
    EXPECT_EQ(v.state.selection().top, 80);
    EXPECT_EQ(v.state.selection().right, 560);
    EXPECT_EQ(v.state.selection().bottom, 380);
    v.state.release(false);
    // 480 x 300 of the image fills 240 x 300: twice as wide -> 500.
    EXPECT_EQ(v.state.zoom(), 500);
    EXPECT_EQ(v.state.centre_x(), 320);
    EXPECT_EQ(v.state.tool(), kToolNone);
    EXPECT_FALSE(v.state.has_selection());

    // A tiny rectangle stops at 3000; the selection is limited to the image.
    View w(960, 720, 240, 300);
    w.state.toggle_tool(kToolZoomArea);
    w.state.press(5, 70, false);
    w.state.move(-50, 63);
    EXPECT_EQ(w.state.selection().left, 0);
    w.state.move(8, 74);
    w.state.release(false);
    EXPECT_EQ(w.state.zoom(), 3000);
}

TEST(ViewPointer, MovingBeforeTheRestPansAndArmsNoMarker) {
    View v(2000, 2000, 240, 300);
    v.state.press(100, 100, false);
    Outcome moved = v.state.move(80, 100);
    EXPECT_TRUE(moved.cancel_rest_timer);
    EXPECT_FALSE(v.state.rest_timeout().open_marker);
    EXPECT_EQ(v.state.tool(), kToolNone);
}

TEST(ViewPointer, CropToolTapInsideAsksToCropAndOutsideDropsTheSelection) {
    View v(480, 360, 240, 300);
    v.state.toggle_tool(kToolCrop);
    EXPECT_FALSE(v.state.press(20, 80, false).arm_rest_timer);
    v.state.move(120, 150);
    v.state.release(false);
    ASSERT_TRUE(v.state.has_selection());
    EXPECT_EQ(v.state.tool(), kToolCrop);
    EXPECT_TRUE(v.tap(60, 100).crop_requested);
    EXPECT_TRUE(v.state.has_selection());  // the crop ends it

    EXPECT_FALSE(v.tap(200, 250).crop_requested);
    EXPECT_FALSE(v.state.has_selection());
    EXPECT_EQ(v.state.tool(), kToolNone);
}

TEST(ViewKeys, KeysWithin250msOfTheLastHandledOneAreIgnored) {
    View v(10, 10, 100, 100);
    std::vector<bool> accepted;
    for (int64_t at : {0, 100, 249, 250, 300, 499, 500}) {
        v.now = 50000 + at;
        accepted.push_back(v.state.accept_key());
    }
    EXPECT_EQ(accepted, (std::vector<bool>{true, false, false, true, false, false, true}));
}
