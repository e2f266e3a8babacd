// The Levels, Resize and JPEG Transform dialogs' rules without widgets.
#include "viewer/levels_sliders.h"
#include "viewer/resize_fields.h"
#include "viewer/transform_choice.h"

#include "imaging/levels.h"

#include <gtest/gtest.h>

using namespace qelvio::viewer;
namespace qi = qelvio::imaging;

TEST(LevelsSliders, StartNeutralAndKeepBlackBelowWhite) {
    LevelsSliders s;
    qi::LevelsParams p = s.params();
    for (int v = 0; v < 256; ++v) ASSERT_EQ(qi::LevelsTone(p, v), v) << v;

    s.set_position(kLevelsBlack, 40);
    s.set_position(kLevelsWhite, 10);
    EXPECT_EQ(s.position(kLevelsBlack), 9);
    EXPECT_EQ(s.range(kLevelsBlack).maximum, 9);
    s.set_position(kLevelsBlack, 200);  // clamped to the narrowed range
    EXPECT_EQ(s.position(kLevelsBlack), 9);
    // The white point cannot reach 0, where no black point would fit.
    s.set_position(kLevelsWhite, 0);
    EXPECT_EQ(s.position(kLevelsWhite), 1);
    EXPECT_EQ(s.position(kLevelsBlack), 0);

    s.set_position(kLevelsContrast, 150);
    s.set_position(kLevelsBrightness, 20);
    s.set_position(kLevelsGamma, 3);
    p = s.params();
    EXPECT_EQ(p.contrast, 50);
    EXPECT_EQ(p.brightness, -80);
    EXPECT_EQ(p.gamma, 3.0);
    EXPECT_LT(p.black, p.white);
}

TEST(ResizeFields, TheLockedDimensionFollowsFromTheOpeningAspect) {
    struct Case {
        const char* typed;
        const char* other;
    } by_width[] = {{"320", "240"}, {"100", "75"}, {"", "0"}, {"abc", "0"}, {"12x", "9"}, {"1", "1"}};
    for (auto c : by_width) {
        ResizeFields f(640, 480);
        f.set_width_text(c.typed);
        EXPECT_EQ(f.height_text(), c.other) << c.typed;
        EXPECT_EQ(f.width_text(), c.typed);
    }
    ResizeFields f(640, 480);
    f.set_height_text("240");
    EXPECT_EQ(f.width_text(), "320");
    f.fit_width(1024);
    EXPECT_EQ(f.width_text(), "1024");
    EXPECT_EQ(f.height_text(), "768");

    f.set_locked(false);
    f.set_width_text("50");
    f.fit_height(600);
    EXPECT_EQ(f.width_text(), "50");
    EXPECT_EQ(f.height_text(), "600");
}

TEST(ResizeFields, OkAcceptsWholeNumbersFrom16To4096) {
    struct Case {
        const char* width;
        const char* height;
        int refused;
    } cases[] = {{"16", "4096", 0}, {"4096", "16", 0}, {"15", "100", kResizeWidth}, {"4097", "100", kResizeWidth},
                 {"100", "15", kResizeHeight}, {"100", "4097", kResizeHeight}, {"12a", "100", kResizeWidth},
                 {"", "100", kResizeWidth}, {"-20", "100", kResizeWidth}, {" 300 ", "200", 0}};
    for (auto c : cases) {
        ResizeFields f(640, 480);
        f.set_locked(false);
        f.set_width_text(c.width);
        f.set_height_text(c.height);
        int w = 0, h = 0;
        EXPECT_EQ(f.validate(w, h), c.refused) << c.width << " x " << c.height;
        if (!c.refused) {
            EXPECT_EQ(w, std::stoi(c.width));
        }
    }
}

TEST(TransformChoice, ASecondClickOnTheSameButtonChoosesNothing) {
    TransformChoice t;
    EXPECT_EQ(t.code(), 0);
    t.click(0);
    EXPECT_EQ(t.code(), 7);
    EXPECT_TRUE(t.selected(0));
    t.click(3);
    EXPECT_EQ(t.code(), 1);
    EXPECT_FALSE(t.selected(0));
    EXPECT_TRUE(t.selected(3));
    t.click(3);
    EXPECT_EQ(t.code(), 0);
    EXPECT_FALSE(t.selected(3));
    std::vector<int> codes;
    for (int i = 0; i < kTransformButtons; ++i) {
        TransformChoice u;
        u.click(i);
        codes.push_back(u.code());
    }
    EXPECT_EQ(codes, (std::vector<int>{7, 6, 5, 1, 2}));
}

TEST(TransformChoice, ButtonsAndPreviewSquareGeometry) {
    // 200 wide: gap (40 - 24) / 2 = 8, one button every 40 pixels.
    EXPECT_EQ(transform_button_x(10, 200, 0), 18);
    EXPECT_EQ(transform_button_x(10, 200, 4), 178);
    qi::DibRect square = square_within({0, 10, 100, 60});
    EXPECT_EQ(square.left, 25);
    EXPECT_EQ(square.right, 75);
    EXPECT_EQ(square.top, 10);
    EXPECT_EQ(square.bottom, 60);
}

TEST(TransformChoice, PreviewOperationOfEachCode) {
    // A 3 x 2 picture whose top-left pixel is marked; where it lands tells
    // the operation.
    qi::Dib dib;
    ASSERT_TRUE(qi::DibCreate(dib, 3, 2, 24, 0));
    for (int row = 0; row < 2; ++row) std::fill_n(qi::DibRow(dib, row), 9, 0);
    auto top_left = [](const qi::Dib& d) { return qi::DibRow(d, qi::DibHeight(d) - 1); };  // bottom-up rows
    top_left(dib)[0] = 255;
    struct Case {
        int code;
        int width;
        int row_from_top;
        int column;
    } cases[] = {{0, 3, 0, 0}, {1, 3, 0, 2}, {2, 3, 1, 0}, {5, 2, 0, 1}, {6, 3, 1, 2}, {7, 2, 2, 0}};
    for (auto c : cases) {
        qi::DibPtr out = transform_preview(dib, c.code);
        ASSERT_TRUE(out) << c.code;
        EXPECT_EQ(qi::DibWidth(*out), c.width) << c.code;
        int h = qi::DibHeight(*out);
        EXPECT_EQ(qi::DibRow(*out, h - 1 - c.row_from_top)[c.column * 3], 255) << c.code;
    }
    EXPECT_EQ(transform_preview(dib, 3), nullptr);
}
