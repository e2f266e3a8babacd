// DibDraw through the software drawing target.
#include "imaging/drawing_target.h"
#include "imaging/tests/dib_fixtures.h"

#include <gtest/gtest.h>

namespace qelvio::imaging {
namespace {

using testing::pixel;
using testing::set_pixel;

constexpr std::uint32_t kGrey = 0x555555;  // canvas background (0x00BBGGRR = 0xRRGGBB here)

DibPtr canvas(int w, int h) {
    auto dib = std::make_unique<Dib>();
    if (!DibCreate(*dib, w, h, 24, 0)) return nullptr;
    SoftwareDrawingTarget(*dib).fill({0, 0, w, h}, kGrey);
    return dib;
}

// 0x00BBGGRR colour of the fixture's 0xRRGGBB pixel value.
std::uint32_t colorref(std::uint32_t rgb) {
    return ((rgb & 0xFF) << 16) | (rgb & 0xFF00) | (rgb >> 16);
}

TEST(DibDraw, PlainCopyAtTheDestination) {
    auto image = testing::random_dib(3, 2, 24, 4);
    auto screen = canvas(6, 5);
    SoftwareDrawingTarget target(*screen);
    EXPECT_EQ(DibDraw(*image, target, {2, 1, 5, 3}), 1);
    for (int y = 0; y < 5; ++y) {
        for (int x = 0; x < 6; ++x) {
            const bool inside = x >= 2 && x < 5 && y >= 1 && y < 3;
            EXPECT_EQ(pixel(*screen, x, y), inside ? pixel(*image, x - 2, y - 1) : kGrey)
                << x << "," << y;
        }
    }
    // A source rectangle picks part of the image; the canvas clips.
    const DibRect part{1, 1, 3, 2};
    EXPECT_EQ(DibDraw(*image, target, {5, 4, 7, 5}, &part), 1);
    EXPECT_EQ(pixel(*screen, 5, 4), pixel(*image, 1, 1));
}

TEST(DibDraw, StretchedCopyTakesTheNearestPixel) {
    Dib image;
    const RgbQuad table[4] = {{0, 0, 255, 0}, {0, 255, 0, 0}, {255, 0, 0, 0}, {9, 9, 9, 0}};
    ASSERT_TRUE(DibCreate(image, 2, 2, 8, 4, table));
    DibMakePalette(image);
    set_pixel(image, 0, 0, 0);
    set_pixel(image, 1, 0, 1);
    set_pixel(image, 0, 1, 2);
    set_pixel(image, 1, 1, 3);
    auto screen = canvas(4, 4);
    SoftwareDrawingTarget target(*screen);
    EXPECT_EQ(DibDraw(image, target, {0, 0, 4, 4}), 1);
    EXPECT_EQ(target.selected_palette(), nullptr);  // put back after drawing
    const std::uint32_t expected[2][2] = {{0xFF0000, 0x00FF00}, {0x0000FF, 0x090909}};
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) EXPECT_EQ(pixel(*screen, x, y), expected[y / 2][x / 2]);
}

// A 1-bit picture shows its palette: a white page with black text stays
// black on white, and a red/blue two-colour picture stays red and blue,
// copied or stretched.
TEST(DibDraw, OneBitImagesShowTheirPaletteColours) {
    struct Case {
        const char* name;
        RgbQuad palette[2];
        std::uint32_t colour0, colour1;
    } cases[] = {
        {"black text on white", {{255, 255, 255, 0}, {0, 0, 0, 0}}, 0xFFFFFF, 0x000000},
        {"red and blue", {{0, 0, 255, 0}, {255, 0, 0, 0}}, 0xFF0000, 0x0000FF},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Dib mono;
        ASSERT_TRUE(DibCreate(mono, 2, 1, 1, 2, c.palette));
        set_pixel(mono, 1, 0, 1);
        for (int scale : {1, 3}) {
            auto screen = canvas(2 * scale, scale);
            SoftwareDrawingTarget target(*screen);
            EXPECT_EQ(DibDraw(mono, target, {0, 0, 2 * scale, scale}), 1);
            for (int y = 0; y < scale; ++y)
                for (int x = 0; x < 2 * scale; ++x)
                    EXPECT_EQ(pixel(*screen, x, y), x < scale ? c.colour0 : c.colour1) << scale << ": " << x;
        }
    }
}

TEST(DibDraw, EmptyDibOrDegenerateRectanglesDrawNothing) {
    auto screen = canvas(3, 3);
    SoftwareDrawingTarget target(*screen);
    Dib empty;
    EXPECT_EQ(DibDraw(empty, target, {0, 0, 3, 3}), 0);
    auto image = testing::random_dib(2, 2, 16);
    EXPECT_EQ(DibDraw(*image, target, {0, 0, 0, 3}), 0);
    const DibRect outside{5, 5, 7, 7};  // nothing of the image: nothing to read
    EXPECT_EQ(DibDraw(*image, target, {0, 0, 2, 2}, &outside), 1);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 3; ++x) EXPECT_EQ(pixel(*screen, x, y), kGrey);
}

TEST(SoftwareDrawingTarget, FillAndFrameClipToTheCanvas) {
    auto screen = canvas(5, 4);
    SoftwareDrawingTarget target(*screen);
    target.fill({-3, -3, 2, 1}, colorref(0x112233));
    target.frame({1, 1, 10, 4}, colorref(0xABCDEF));
    const char* expected[4] = {"FF...", ".FFFF", ".F...", ".FFFF"};
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 5; ++x) {
            const char e = expected[y][x];
            std::uint32_t want = kGrey;
            if (e == 'F') want = (y == 0) ? 0x112233 : 0xABCDEF;
            EXPECT_EQ(pixel(*screen, x, y), want) << x << "," << y;
        }
    }
    EXPECT_EQ(target.bits_per_pixel(), 24);
}

}  // namespace
}  // namespace qelvio::imaging
