// Area-averaging reduction, filtered resampling and FitWithin.
#include "imaging/resample.h"
#include "imaging/tests/dib_fixtures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace qelvio::imaging {
namespace {

using testing::AllocationLimit;
using testing::pixel;
using testing::random_dib;
using testing::same_image;
using testing::set_pixel;

DibPtr uniform_dib(int w, int h, int bits, std::uint32_t value) {
    auto dib = std::make_unique<Dib>();
    const auto ramp = testing::grey_ramp();
    if (!DibCreate(*dib, w, h, bits, bits == 8 ? 256 : 0, ramp.data())) return nullptr;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) set_pixel(*dib, x, y, value);
    return dib;
}

TEST(DibScale, HalvingAGreyImageAveragesPairsWithRounding) {
    const auto ramp = testing::grey_ramp();
    auto source = random_dib(100, 100, 8, 5);
    std::memcpy(DibColourTable(*source), ramp.data(), 1024);
    auto out = DibScale(*source, 50, 50, AreaAverage);
    ASSERT_TRUE(out);
    EXPECT_EQ(DibFormatOf(*out), 0x48);
    EXPECT_EQ(std::memcmp(DibColourTable(*out), ramp.data(), 1024), 0);
    for (int y = 0; y < 50; ++y) {
        for (int x = 0; x < 50; ++x) {
            auto rows = [&](int sx) {
                return (pixel(*source, sx, 2 * y) + pixel(*source, sx, 2 * y + 1) + 1) / 2;
            };
            const std::uint32_t expected = (rows(2 * x) + rows(2 * x + 1) + 1) / 2;
            ASSERT_EQ(pixel(*out, x, y), expected) << x << "," << y;
        }
    }
}

TEST(DibScale, UniformAreasKeepTheirValue) {
    struct Case {
        int bits;
        std::uint32_t value, expected;
        int w, h, dw, dh;
    };
    const Case cases[] = {
        {24, 0x10A0FF, 0x10A0FF, 97, 61, 64, 40},  // uneven ratio: the edge weight comes
        {24, 0x808080, 0x808080, 640, 480, 64, 48},  // from the last row and pixel
        {8, 77, 77, 33, 20, 7, 3},
        {16, 0x7FFF, 0xFFFFFF, 9, 9, 4, 4},  // 5-bit channels by the rounded scale
        {16, 0x0421, 0x080808, 9, 9, 4, 4},  // 1 -> (255 + 16) / 31 = 8
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bits);
        auto source = uniform_dib(c.w, c.h, c.bits, c.value);
        for (ScaleMode mode : {AreaAverage, AreaAverageSharpen}) {
            auto out = DibScale(*source, c.dw, c.dh, mode);
            ASSERT_TRUE(out);
            for (int y = 0; y < c.dh; ++y)
                for (int x = 0; x < c.dw; ++x) ASSERT_EQ(pixel(*out, x, y), c.expected);
        }
    }
}

TEST(DibScale, SharpensInteriorPixelsOnlyAndSkipsSmallResults) {
    auto source = random_dib(24, 18, 24, 11);
    auto plain = DibScale(*source, 8, 6, AreaAverage);
    auto sharp = DibScale(*source, 8, 6, AreaAverageSharpen);
    ASSERT_TRUE(plain && sharp);
    for (int y = 0; y < 6; ++y) {
        for (int x = 0; x < 8; ++x) {
            const std::uint32_t got = pixel(*sharp, x, y);
            if (x == 0 || y == 0 || x == 7 || y == 5) {
                EXPECT_EQ(got, pixel(*plain, x, y)) << x << "," << y;
                continue;
            }
            for (int c = 0; c < 3; ++c) {
                auto v = [&](int dx, int dy) {
                    return int((pixel(*plain, x + dx, y + dy) >> (8 * c)) & 0xFF);
                };
                const int s = 28 * v(0, 0) - 2 * (v(-1, 0) + v(1, 0) + v(0, -1) + v(0, 1)) -
                              (v(-1, -1) + v(1, -1) + v(-1, 1) + v(1, 1));
                const int expected = s < 0 ? 0 : s > 4080 ? 255 : (s + 7) >> 4;
                EXPECT_EQ(int((got >> (8 * c)) & 0xFF), expected) << x << "," << y;
            }
        }
    }
    for (auto [w, h] : {std::pair{2, 2}, {2, 6}, {8, 2}}) {
        auto a = DibScale(*source, w, h, AreaAverage);
        auto b = DibScale(*source, w, h, AreaAverageSharpen);
        ASSERT_TRUE(a && b);
        EXPECT_TRUE(same_image(*a, *b)) << w << "x" << h;
    }
}

TEST(DibScale, GrowingOrFilteredModeIsHermiteResize) {
    auto source = random_dib(10, 8, 4, 3);
    const std::pair<int, int> sizes[] = {{20, 16}, {12, 4}, {5, 9}};
    for (auto [w, h] : sizes) {
        auto scaled = DibScale(*source, w, h, AreaAverageSharpen);
        auto resized = DibResize(*source, w, h, Hermite);
        ASSERT_TRUE(scaled && resized);
        EXPECT_TRUE(same_image(*scaled, *resized)) << w << "x" << h;
    }
    auto filtered = DibScale(*source, 5, 4, Filtered);
    auto resized = DibResize(*source, 5, 4, Hermite);
    ASSERT_TRUE(filtered && resized);
    EXPECT_TRUE(same_image(*filtered, *resized));
}

TEST(DibScale, ExtremeReductionStillCompletes) {
    // 1 / 5000 of a pixel truncates to a weight of 0 in 4096ths.
    auto source = uniform_dib(5000, 3, 24, 0x202020);
    auto out = DibScale(*source, 1, 1, AreaAverage);
    ASSERT_TRUE(out);
    EXPECT_EQ(DibWidth(*out), 1);
}

TEST(DibScale, RefusesBadInputAndLeavesSourceAlone) {
    auto source = random_dib(10, 10, 24);
    auto before = DibCopy(*source);
    Dib empty;
    EXPECT_EQ(DibScale(empty, 5, 5, AreaAverage), nullptr);
    EXPECT_EQ(DibScale(*source, 0, 5, AreaAverage), nullptr);
    EXPECT_EQ(DibScale(*source, 5, -1, AreaAverage), nullptr);
    EXPECT_EQ(DibScale(*source, 5, 5, static_cast<ScaleMode>(7)), nullptr);
    // FitWithin(64, 64, 1000, 10) is 64 x 0: scaling to it fails.
    EXPECT_EQ(DibScale(*source, 64, 0, AreaAverageSharpen), nullptr);
    EXPECT_TRUE(same_image(*source, *before));
}

TEST(DibScale, ReportsRowsFedAndStopsOnCancel) {
    auto source = random_dib(8, 10, 24);
    static std::vector<int> seen;
    seen.clear();
    auto record = [](std::intptr_t, int done, int total) {
        EXPECT_EQ(total, 10);
        seen.push_back(done);
        return 1;
    };
    ASSERT_TRUE(DibScale(*source, 4, 5, AreaAverage, record, 0));
    EXPECT_EQ(seen, (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
    auto cancel_at_3 = [](std::intptr_t, int done, int) { return done < 3 ? 1 : 0; };
    EXPECT_EQ(DibScale(*source, 4, 5, AreaAverageSharpen, cancel_at_3, 0), nullptr);
}

// A plain reading of the resampling rules, one channel value at a time:
// the oracle for the multiply-add paths of DibResize.
std::vector<std::pair<int, int>> reference_contributors(int i, int src, int dst,
                                                        ResampleFilter f) {
    const float scale = float(dst) / float(src), support = ResampleFilterSupport(f);
    std::vector<std::pair<int, int>> list;
    const bool reducing = scale < 1.0f;
    const float fscale = 1.0f / scale, reach = reducing ? support * fscale : support;
    const float centre = float(i) * fscale;
    for (int j = int(std::ceil(centre - reach)); j <= int(std::floor(centre + reach)); ++j) {
        const float w = reducing ? ResampleFilterValue(f, (centre - float(j)) * scale) * scale
                                 : ResampleFilterValue(f, centre - float(j));
        int m = j < 0 ? -j : j >= src ? 2 * src - j - 1 : j;
        m = std::clamp(m, 0, src - 1);
        list.push_back({m, int(w * 65536.0f)});
    }
    return list;
}

std::uint8_t reference_finish(int sum) { return std::uint8_t(std::clamp(sum / 65536, 0, 255)); }

std::vector<std::uint8_t> reference_resize(const Dib& src, int dw, int dh, ResampleFilter f) {
    const int sw = DibWidth(src), sh = DibHeight(src);
    std::vector<std::uint8_t> inter(std::size_t(dw) * sh * 3), out(std::size_t(dw) * dh * 3);
    for (int y = 0; y < sh; ++y)
        for (int x = 0; x < dw; ++x)
            for (int c = 0; c < 3; ++c) {
                int sum = 0;
                for (auto [j, w] : reference_contributors(x, sw, dw, f))
                    sum += w * DibRow(src, y)[3 * j + c];
                inter[(std::size_t(y) * dw + x) * 3 + c] = reference_finish(sum);
            }
    for (int y = 0; y < dh; ++y)
        for (int x = 0; x < dw * 3; ++x) {
            int sum = 0;
            for (auto [j, w] : reference_contributors(y, sh, dh, f))
                sum += w * inter[std::size_t(j) * dw * 3 + x];
            out[std::size_t(y) * dw * 3 + x] = reference_finish(sum);
        }
    return out;
}

TEST(DibResize, MatchesAPlainReadingOfTheRules) {
    auto source = random_dib(97, 61, 24, 21);
    // Random pixels drive the sharper filters past 0 and 255 on both sides.
    const std::pair<int, int> sizes[] = {{40, 25}, {48, 30}, {31, 61}, {97, 20},
                                         {150, 70}, {13, 9}, {3, 2}};
    for (ResampleFilter f : {Box, Triangle, Hermite, Bell, BSpline, Lanczos3, Mitchell}) {
        for (auto [w, h] : sizes) {
            SCOPED_TRACE(::testing::Message() << "filter " << f << " to " << w << "x" << h);
            auto out = DibResize(*source, w, h, f);
            ASSERT_TRUE(out);
            const auto expected = reference_resize(*source, w, h, f);
            for (int y = 0; y < h; ++y)
                ASSERT_EQ(std::memcmp(DibRow(*out, y), &expected[std::size_t(y) * w * 3], w * 3), 0)
                    << "row " << y;
        }
    }
    // Sources smaller than the reach: indices still outside after
    // mirroring clamp to the edge pixel.
    auto tiny = random_dib(2, 3, 24, 8);
    for (ResampleFilter f : {Lanczos3, Mitchell}) {
        for (auto [w, h] : {std::pair{9, 7}, {1, 1}, {5, 2}}) {
            auto out = DibResize(*tiny, w, h, f);
            ASSERT_TRUE(out);
            const auto expected = reference_resize(*tiny, w, h, f);
            for (int y = 0; y < h; ++y)
                ASSERT_EQ(std::memcmp(DibRow(*out, y), &expected[std::size_t(y) * w * 3], w * 3), 0);
        }
    }
}

TEST(DibResize, Lanczos3TruncatedWeightsDarkenAUniformArea) {
    auto white = uniform_dib(40, 40, 24, 0xFFFFFF);
    auto half_width = DibResize(*white, 20, 40, Lanczos3);  // first pass only
    auto half = DibResize(*white, 20, 20, Lanczos3);
    auto same = DibResize(*white, 40, 40, Lanczos3);
    ASSERT_TRUE(half_width && half && same);
    for (int y = 0; y < 20; ++y) {
        for (int x = 0; x < 20; ++x) {
            ASSERT_EQ(pixel(*half_width, x, y), 0xFEFEFEu);
            ASSERT_EQ(pixel(*half, x, y), 0xFDFDFDu);
        }
    }
    EXPECT_TRUE(same_image(*white, *same));
}

TEST(DibResize, SameSizeIsIdentityForInterpolatingFilters) {
    for (ResampleFilter f : {Box, Triangle, Hermite, Lanczos3}) {
        for (int bits : {24, 8}) {
            SCOPED_TRACE(::testing::Message() << f << " " << bits);
            auto source = random_dib(17, 9, bits, 9);
            if (bits == 8) std::memcpy(DibColourTable(*source), testing::grey_ramp().data(), 1024);
            auto out = DibResize(*source, 17, 9, f);
            ASSERT_TRUE(out);
            EXPECT_TRUE(same_image(*source, *out));
        }
    }
}

TEST(DibResize, TriangleHalvingMirrorsAtTheEdge) {
    // Weights 1/4, 1/2, 1/4; index -1 mirrors to 1 and 4 to 3.
    auto source = uniform_dib(4, 1, 8, 0);
    const std::uint32_t values[4] = {0, 100, 200, 40};
    for (int x = 0; x < 4; ++x) set_pixel(*source, x, 0, values[x]);
    auto out = DibResize(*source, 2, 1, Triangle);
    ASSERT_TRUE(out);
    EXPECT_EQ(pixel(*out, 0, 0), 50u);   // (100 + 0 + 100) / 4
    EXPECT_EQ(pixel(*out, 1, 0), 135u);  // (100 + 2 x 200 + 40) / 4
}

TEST(DibResize, ConvertsEachSourceFormat) {
    // 16-bit without masks uses the plain shift; colour palettes give 24-bit.
    BitmapInfoHeader h{40, 3, 2, 1, 16, 0, 0, 0, 0, 0, 0};
    std::vector<std::uint8_t> block(40 + 16, 0xFF);
    std::memcpy(block.data(), &h, 40);
    for (std::size_t i = 40; i < block.size(); i += 2) block[i + 1] = 0x7F;
    Dib rgb16;
    ASSERT_TRUE(DibFromPacked(rgb16, block.data(), block.size()));
    auto out = DibResize(rgb16, 3, 2, Box);
    ASSERT_TRUE(out);
    EXPECT_EQ(pixel(*out, 2, 1), 0xF8F8F8u);

    auto colour = uniform_dib(5, 5, 4, 3);
    DibColourTable(*colour)[3] = {10, 20, 30, 0};
    for (ResampleFilter f : {Box, Bell, BSpline, Mitchell}) {
        out = DibResize(*colour, 3, 7, f);
        ASSERT_TRUE(out);
        EXPECT_EQ(DibFormatOf(*out), 0x28);
    }
    EXPECT_EQ(pixel(*DibResize(*colour, 5, 5, Box), 4, 4), 0x1E140Au);

    Dib with_masks;
    ASSERT_TRUE(DibCreate(with_masks, 3, 3, 16, 0));
    EXPECT_EQ(DibResize(with_masks, 2, 2, Box), nullptr);
}

TEST(DibResize, TinySourcesReadOnlyRealPixels) {
    // Mirrored indices still outside a 1- or 2-pixel source clamp to its edge.
    for (auto [w, h] : {std::pair{1, 1}, {2, 1}, {1, 2}, {2, 3}}) {
        auto source = uniform_dib(w, h, 24, 0x646464);
        for (ResampleFilter f : {Lanczos3, Mitchell, BSpline}) {
            auto out = DibResize(*source, 9, 7, f);
            ASSERT_TRUE(out);
            auto down = DibResize(*source, 1, 1, f);
            ASSERT_TRUE(down);
        }
    }
}

TEST(DibResize, RefusesBadFiltersAndSizes) {
    auto source = random_dib(6, 6, 24);
    EXPECT_EQ(DibResize(*source, 3, 3, static_cast<ResampleFilter>(7)), nullptr);
    EXPECT_EQ(DibResize(*source, 3, 3, static_cast<ResampleFilter>(-1)), nullptr);
    EXPECT_EQ(DibResize(*source, 0, 3, Box), nullptr);
    Dib empty;
    EXPECT_EQ(DibResize(empty, 3, 3, Box), nullptr);
}

TEST(DibResize, PercentProgressGrowsAndCancelReturnsNull) {
    auto source = random_dib(50, 40, 24);
    static std::vector<int> seen;
    seen.clear();
    auto record = [](std::intptr_t, int done, int total) {
        EXPECT_EQ(total, 100);
        seen.push_back(done);
        return 1;
    };
    ASSERT_TRUE(DibResize(*source, 20, 30, Mitchell, record, 0));
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.front(), 0);
    EXPECT_LT(seen.back(), 100);
    for (std::size_t i = 1; i < seen.size(); ++i) EXPECT_GT(seen[i], seen[i - 1]);
    auto cancel_at_50 = [](std::intptr_t, int done, int) { return done < 50 ? 1 : 0; };
    EXPECT_EQ(DibResize(*source, 20, 30, Mitchell, cancel_at_50, 0), nullptr);
}

TEST(Resampling, EveryAllocationFailureGivesNull) {
    auto source = random_dib(30, 20, 8, 2);
    for (int allowed = 0; allowed < 12; ++allowed) {
        AllocationLimit limit(allowed);
        DibResize(*source, 12, 8, Lanczos3);
        DibScale(*source, 12, 8, AreaAverageSharpen);
    }
    AllocationLimit none(0);
    EXPECT_EQ(DibResize(*source, 12, 8, Lanczos3), nullptr);
    EXPECT_EQ(DibScale(*source, 12, 8, AreaAverageSharpen), nullptr);
}

TEST(ClampTable, LimitsToByteRange) {
    const std::uint8_t* t = ClampTable();
    const std::pair<int, int> cases[] = {{-256, 0}, {-1, 0}, {0, 0}, {128, 128},
                                         {255, 255}, {256, 255}, {511, 255}};
    for (auto [v, expected] : cases) EXPECT_EQ(t[v + 256], expected) << v;
}

TEST(FitWithin, KeepsAspectWithIntegerRules) {
    struct Case {
        int bw, bh, w, h, ew, eh;
    };
    const Case cases[] = {
        {64, 64, 640, 480, 64, 48}, {64, 64, 480, 640, 48, 64}, {64, 64, 50, 40, 50, 40},
        {64, 64, 1000, 10, 64, 0},  {64, 64, 10, 1000, 0, 64},  {64, 64, 128, 128, 64, 64},
        {64, 64, 3000, 2000, 64, 42}, {100, 50, 400, 100, 100, 25},
        {1, 100000, 1, 200, 1, 200},  // aspect truncates to 0
        {0, 64, 10, 10, 0, 0},       {64, 64, 0, 10, 0, 0},
    };
    for (const Case& c : cases) {
        const DibSize s = FitWithin(c.bw, c.bh, c.w, c.h);
        EXPECT_EQ(s.width, c.ew) << c.bw << " " << c.bh << " " << c.w << " " << c.h;
        EXPECT_EQ(s.height, c.eh) << c.bw << " " << c.bh << " " << c.w << " " << c.h;
    }
}

}  // namespace
}  // namespace qelvio::imaging
