// Levels, per-channel levels, histograms and auto levels.
#include "imaging/levels.h"
#include "imaging/tests/dib_fixtures.h"

#include <gtest/gtest.h>

namespace qelvio::imaging {
namespace {

using testing::AllocationLimit;
using testing::pixel;
using testing::random_dib;
using testing::same_image;
using testing::set_pixel;

// A 24-bit image whose pixel i (of 256) has blue = green = red = i.
DibPtr all_tones() {
    auto dib = std::make_unique<Dib>();
    if (!DibCreate(*dib, 16, 16, 24, 0)) return nullptr;
    for (int i = 0; i < 256; ++i) set_pixel(*dib, i % 16, i / 16, i * 0x010101u);
    return dib;
}

DibPtr grey8(int w, int h) {
    auto dib = std::make_unique<Dib>();
    const auto ramp = testing::grey_ramp();
    if (!DibCreate(*dib, w, h, 8, 256, ramp.data())) return nullptr;
    return dib;
}

LevelsParams params(int black, int white, int contrast, int brightness, double gamma) {
    LevelsParams p;
    p.black = black;
    p.white = white;
    p.contrast = contrast;
    p.brightness = brightness;
    p.gamma = gamma;
    return p;
}

TEST(DibLevels, ToneTableExamples) {
    struct Case {
        LevelsParams p;
        int in, out;
    };
    const Case cases[] = {
        {params(0, 127, 0, 0, 1.0), 127, 255}, {params(0, 127, 0, 0, 1.0), 64, 129},
        {params(0, 127, 0, 0, 1.0), 200, 255}, {params(0, 255, 0, 0, 2.0), 64, 128},
        {params(0, 255, 50, 0, 1.0), 0, 0},    {params(0, 255, 50, 0, 1.0), 64, 38},
        {params(0, 255, 50, 0, 1.0), 191, 217}, {params(0, 255, 50, 0, 1.0), 255, 255},
        {params(0, 255, 100, 0, 1.0), 64, 11},  {params(0, 255, 100, 0, 1.0), 191, 244},
        {params(0, 255, -100, 0, 1.0), 64, 117}, {params(0, 255, -100, 0, 1.0), 191, 138},
        {params(0, 255, 0, 100, 1.0), 0, 255},  {params(0, 255, 0, -100, 1.0), 255, 0},
        {params(100, 200, 0, 0, 1.0), 50, 0},   // negative before gamma
        {params(100, 200, 0, 0, 3.0), 50, 0},
        // Gamma 0 acts as gamma 1.
        {params(0, 127, 0, 0, 0.0), 64, 129},   {params(0, 255, 0, 0, 0.0), 64, 64},
    };
    auto source = all_tones();
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.p.black << "/" << c.p.white << " c" << c.p.contrast
                                          << " b" << c.p.brightness << " g" << c.p.gamma
                                          << " tone " << c.in);
        EXPECT_EQ(LevelsTone(c.p, c.in), c.out);
        auto out = DibLevels(*source, c.p);
        ASSERT_TRUE(out);
        EXPECT_EQ(pixel(*out, c.in % 16, c.in / 16), c.out * 0x010101u);
    }
}

TEST(DibLevels, NeutralParametersKeepEveryTone) {
    auto source = all_tones();
    auto out = DibLevels(*source, LevelsParams{});
    ASSERT_TRUE(out);
    EXPECT_TRUE(same_image(*source, *out));
}

TEST(DibLevels, EightBitUsesTheGreenByteAndColoursUsed) {
    auto source = grey8(256, 1);
    for (int i = 0; i < 256; ++i) set_pixel(*source, i, 0, i);
    DibColourTable(*source)[5] = {0, 99, 250, 0};  // tone = green byte
    DibHeader(*source)->colours_used = 16;
    auto out = DibLevels(*source, LevelsParams{});
    ASSERT_TRUE(out);
    EXPECT_EQ(DibBitCount(*out), 8);
    EXPECT_EQ(DibFormatOf(*out), 0x48);  // grey ramp
    EXPECT_EQ(pixel(*out, 3, 0), 3u);
    EXPECT_EQ(pixel(*out, 5, 0), 99u);
    EXPECT_EQ(pixel(*out, 15, 0), 15u);
    for (int i = 16; i < 256; ++i) ASSERT_EQ(pixel(*out, i, 0), 0u) << i;
}

TEST(DibLevelsRgb, EachChannelHasItsOwnTableAndIgnoresContrast) {
    auto source = all_tones();
    auto out = DibLevelsRgb(*source, params(0, 127, 100, 0, 1.0),  // red
                            params(0, 255, -100, 100, 2.0),        // green
                            params(64, 255, 0, 0, 1.0));           // blue
    ASSERT_TRUE(out);
    const std::uint32_t v = pixel(*out, 64 % 16, 64 / 16);
    EXPECT_EQ(v >> 16, 129u);        // red: 64 x 255 / 127
    EXPECT_EQ((v >> 8) & 0xFF, 128u);  // green: gamma 2 only
    EXPECT_EQ(v & 0xFF, 0u);          // blue: at the black point
}

TEST(Levels, RefuseBadInputAndLeaveTheSourceAlone) {
    auto source = random_dib(9, 5, 24);
    auto before = DibCopy(*source);
    EXPECT_EQ(DibLevels(*source, params(100, 100, 0, 0, 1.0)), nullptr);
    EXPECT_EQ(DibLevels(*source, params(200, 100, 0, 0, 1.0)), nullptr);
    const LevelsParams ok;
    EXPECT_EQ(DibLevelsRgb(*source, ok, params(5, 5, 0, 0, 1.0), ok), nullptr);
    EXPECT_TRUE(same_image(*source, *before));
    for (int bits : {1, 4, 16}) {
        auto other = random_dib(4, 4, bits);
        EXPECT_EQ(DibLevels(*other, ok), nullptr) << bits;
        EXPECT_EQ(DibAutoLevels(*other, 0.5, 0.5), nullptr) << bits;
    }
    auto eight = grey8(4, 4);
    EXPECT_EQ(DibLevelsRgb(*eight, ok, ok, ok), nullptr);
    Dib empty;
    EXPECT_EQ(DibLevels(empty, ok), nullptr);
    AllocationLimit none(0);
    EXPECT_EQ(DibLevels(*source, ok), nullptr);
    EXPECT_EQ(DibLevelsRgb(*source, ok, ok, ok), nullptr);
}

TEST(Levels, PercentProgressAndCancel) {
    auto source = random_dib(5, 50, 24);
    auto stop_at_40 = [](std::intptr_t user, int done, int total) {
        EXPECT_EQ(user, 9);
        EXPECT_EQ(total, 100);
        return done < 40 ? 1 : 0;
    };
    EXPECT_EQ(DibLevels(*source, LevelsParams{}, stop_at_40, 9), nullptr);
    EXPECT_EQ(DibLevelsRgb(*source, {}, {}, {}, stop_at_40, 9), nullptr);
    auto go_on = [](std::intptr_t, int, int) { return 1; };
    EXPECT_TRUE(DibLevels(*source, LevelsParams{}, go_on, 0));
}

TEST(DibHistogram, CountsIndicesOrChannels) {
    auto eight = grey8(3, 2);
    set_pixel(*eight, 0, 0, 7);
    set_pixel(*eight, 1, 1, 7);
    Histogram h;
    ASSERT_TRUE(DibHistogram(*eight, h));
    EXPECT_EQ(h.channels, 1);
    EXPECT_EQ(h.counts[0][7], 2u);
    EXPECT_EQ(h.counts[0][0], 4u);

    Dib rgb;
    ASSERT_TRUE(DibCreate(rgb, 2, 1, 24, 0));
    set_pixel(rgb, 0, 0, 0x102030);  // red 0x10, green 0x20, blue 0x30
    ASSERT_TRUE(DibHistogram(rgb, h));
    EXPECT_EQ(h.channels, 3);
    EXPECT_EQ(h.counts[0][0x10], 1u);
    EXPECT_EQ(h.counts[1][0x20], 1u);
    EXPECT_EQ(h.counts[2][0x30], 1u);
    EXPECT_EQ(h.counts[2][0], 1u);

    DibHeader(rgb)->compression = 3;  // only plain headers are measured
    EXPECT_FALSE(DibHistogram(rgb, h));
    EXPECT_EQ(DibAutoLevels(rgb, 0.5, 0.5), nullptr);
}

TEST(DibAutoLevels, ClipsHalfAPercentAndStretches) {
    // 50 pixels of tone 10 and 50 of 200: clip counts 1, black 11, white 199.
    auto source = grey8(10, 10);
    for (int i = 0; i < 100; ++i) set_pixel(*source, i % 10, i / 10, i < 50 ? 10 : 200);
    auto out = DibAutoLevels(*source, 0.5, 0.5);
    ASSERT_TRUE(out);
    for (int i = 0; i < 100; ++i) {
        ASSERT_EQ(pixel(*out, i % 10, i / 10), i < 50 ? 0u : 255u) << i;
    }

    // 24-bit: each channel is stretched on its own.
    Dib rgb;
    ASSERT_TRUE(DibCreate(rgb, 10, 10, 24, 0));
    for (int i = 0; i < 100; ++i) {
        set_pixel(rgb, i % 10, i / 10, i < 50 ? 0x0A1400 : 0xC8325A);
    }
    out = DibAutoLevels(rgb, 0.5, 0.5);
    ASSERT_TRUE(out);
    EXPECT_EQ(pixel(*out, 0, 0), 0x000000u);
    EXPECT_EQ(pixel(*out, 9, 9), 0xFFFFFFu);

    // A uniform image has black = tone + 1 > white = tone - 1.
    auto flat = grey8(4, 4);
    EXPECT_EQ(DibAutoLevels(*flat, 0.5, 0.5), nullptr);
}

}  // namespace
}  // namespace qelvio::imaging
