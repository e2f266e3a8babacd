// Quarter-turn rotation, mirroring and cropping for every bit count.
#include "imaging/transform.h"
#include "imaging/tests/dib_fixtures.h"

#include <gtest/gtest.h>

namespace qelvio::imaging {
namespace {

using testing::AllocationLimit;
using testing::pixel;
using testing::random_dib;
using testing::same_image;

constexpr int kBitCounts[] = {1, 4, 8, 16, 24};
// Odd sizes give odd result widths after a quarter turn (sub-byte nibbles
// and bits land mid-byte); 70 x 67 and 9 x 530 cross the edges of the
// tiles quarter turns walk in.
constexpr std::pair<int, int> kSizes[] = {{3, 2}, {10, 5}, {13, 7}, {70, 67}, {9, 530}};

DibPtr chain(const Dib& dib, std::initializer_list<int> angles) {
    DibPtr current = DibCopy(dib);
    for (int a : angles) {
        if (!current) return nullptr;
        current = DibRotate(*current, a);
    }
    return current;
}

TEST(DibRotate, MovesEachPixelToItsPlace) {
    for (int bits : kBitCounts) {
        for (auto [w, h] : kSizes) {
            SCOPED_TRACE(::testing::Message() << bits << " bits " << w << "x" << h);
            auto src = random_dib(w, h, bits, w * 31 + bits);
            auto r90 = DibRotate(*src, 90), r270 = DibRotate(*src, 270),
                 r180 = DibRotate(*src, 180);
            ASSERT_TRUE(r90 && r270 && r180);
            ASSERT_EQ(DibWidth(*r90), h);
            ASSERT_EQ(DibHeight(*r90), w);
            EXPECT_EQ(DibBitCount(*r90), bits);
            for (int y = 0; y < h; ++y) {
                for (int x = 0; x < w; ++x) {
                    const std::uint32_t v = pixel(*src, x, y);
                    ASSERT_EQ(pixel(*r90, h - 1 - y, x), v);
                    ASSERT_EQ(pixel(*r270, y, w - 1 - x), v);
                    ASSERT_EQ(pixel(*r180, w - 1 - x, h - 1 - y), v);
                }
            }
        }
    }
}

TEST(DibRotate, TurnsComposeToIdentityAndPaddingStaysZero) {
    for (int bits : kBitCounts) {
        for (auto [w, h] : kSizes) {
            SCOPED_TRACE(::testing::Message() << bits << " bits " << w << "x" << h);
            auto src = random_dib(w, h, bits, h * 17 + bits);
            // same_image compares whole stored rows, padding included.
            for (auto angles : {std::initializer_list<int>{90, 270}, {90, 90, 90, 90},
                                {180, 180}, {-90, 90}, {0}, {270, 270, 180}}) {
                auto back = chain(*src, angles);
                ASSERT_TRUE(back);
                EXPECT_TRUE(same_image(*src, *back));
            }
            auto minus = DibRotate(*src, -90), r270 = DibRotate(*src, 270);
            ASSERT_TRUE(minus && r270);
            EXPECT_TRUE(same_image(*minus, *r270));
            auto r450 = DibRotate(*src, 450), r90 = DibRotate(*src, 90);
            EXPECT_TRUE(same_image(*r450, *r90));
        }
    }
}

TEST(DibRotate, MatchesImageMagick) {
    auto src = random_dib(37, 23, 24, 77);
    for (int angle : {90, 180, 270}) {
        auto out = DibRotate(*src, angle);
        ASSERT_TRUE(out);
        const auto expected = testing::imagemagick_rgb(*src, "-rotate " + std::to_string(angle));
        const int w = DibWidth(*out), h = DibHeight(*out);
        ASSERT_EQ(expected.size(), std::size_t(w) * h * 3);
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                const std::uint8_t* e = &expected[(std::size_t(y) * w + x) * 3];
                ASSERT_EQ(pixel(*out, x, y), std::uint32_t(e[0] << 16 | e[1] << 8 | e[2]))
                    << angle << ": " << x << "," << y;
            }
        }
    }
}

TEST(DibFlip, MirrorsAndBothFlagsEqualAHalfTurn) {
    for (int bits : kBitCounts) {
        for (auto [w, h] : kSizes) {
            SCOPED_TRACE(::testing::Message() << bits << " bits " << w << "x" << h);
            auto src = random_dib(w, h, bits, w + h + bits);
            auto hf = DibFlip(*src, true, false), vf = DibFlip(*src, false, true),
                 both = DibFlip(*src, true, true), none = DibFlip(*src, false, false),
                 half = DibRotate(*src, 180);
            ASSERT_TRUE(hf && vf && both && none && half);
            EXPECT_TRUE(same_image(*both, *half));
            EXPECT_TRUE(same_image(*none, *src));
            for (int y = 0; y < h; ++y) {
                for (int x = 0; x < w; ++x) {
                    ASSERT_EQ(pixel(*hf, w - 1 - x, y), pixel(*src, x, y));
                    ASSERT_EQ(pixel(*vf, x, h - 1 - y), pixel(*src, x, y));
                }
            }
            auto twice = DibFlip(*hf, true, false);
            EXPECT_TRUE(same_image(*twice, *src));  // fill bits after the last pixel stay 0
        }
    }
}

TEST(DibCrop, CopiesTheRectangleForEveryBitCount) {
    for (int bits : kBitCounts) {
        SCOPED_TRACE(bits);
        auto src = random_dib(13, 7, bits, 3 + bits);
        auto whole = DibCrop(*src, {0, 0, 13, 7});
        ASSERT_TRUE(whole);
        EXPECT_TRUE(same_image(*whole, *src));
        auto one = DibCrop(*src, {1, 1, 2, 2});
        ASSERT_TRUE(one);
        EXPECT_EQ(DibWidth(*one), 1);
        EXPECT_EQ(DibHeight(*one), 1);
        EXPECT_EQ(pixel(*one, 0, 0), pixel(*src, 1, 1));
        auto part = DibCrop(*src, {3, 2, 12, 6});
        ASSERT_TRUE(part);
        ASSERT_EQ(DibWidth(*part), 9);
        ASSERT_EQ(DibHeight(*part), 4);
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 9; ++x) ASSERT_EQ(pixel(*part, x, y), pixel(*src, 3 + x, 2 + y));
        // Sub-byte results keep zero padding after the last pixel.
        auto again = DibCrop(*part, {0, 0, 9, 4});
        EXPECT_TRUE(same_image(*again, *part));
    }
}

TEST(Transforms, RefuseBadInputAndLeaveTheSourceAlone) {
    auto src = random_dib(6, 4, 8);
    auto before = DibCopy(*src);
    for (int angle : {45, 1, -1, 359}) EXPECT_EQ(DibRotate(*src, angle), nullptr) << angle;
    const DibRect bad[] = {{-1, 0, 2, 2}, {0, -1, 2, 2}, {0, 0, 7, 2}, {0, 0, 2, 5},
                           {3, 0, 3, 2},  {0, 2, 2, 1},  {4, 0, 2, 2}};
    for (const DibRect& r : bad) EXPECT_EQ(DibCrop(*src, r), nullptr);
    EXPECT_TRUE(same_image(*src, *before));

    Dib empty;
    EXPECT_EQ(DibRotate(empty, 90), nullptr);
    EXPECT_EQ(DibFlip(empty, true, true), nullptr);
    EXPECT_EQ(DibCrop(empty, {0, 0, 1, 1}), nullptr);

    // A header with an unsupported bit count.
    BitmapInfoHeader h{40, 2, 2, 1, 32, 0, 0, 0, 0, 0, 0};
    DibBitmap* bitmap = DibBitmapCreate({40, 2, 2, 1, 24, 0, 0, 0, 0, 0, 0});
    ASSERT_NE(bitmap, nullptr);
    Dib odd;
    odd.bitmap = bitmap;
    odd.pixels = bitmap->bits;
    odd.header = static_cast<std::uint8_t*>(DibAllocate(40));
    std::memcpy(odd.header, &h, 40);
    EXPECT_EQ(DibRotate(odd, 90), nullptr);
    EXPECT_EQ(DibFlip(odd, true, false), nullptr);
    EXPECT_EQ(DibCrop(odd, {0, 0, 1, 1}), nullptr);

    AllocationLimit none(0);
    EXPECT_EQ(DibRotate(*src, 90), nullptr);
    EXPECT_EQ(DibFlip(*src, true, false), nullptr);
    EXPECT_EQ(DibCrop(*src, {0, 0, 2, 2}), nullptr);
}

TEST(Transforms, ReportPercentPerRowAndCancel) {
    auto src = random_dib(300, 200, 24);
    static std::vector<int> seen;
    auto record = [](std::intptr_t, int done, int total) {
        EXPECT_EQ(total, 100);
        seen.push_back(done);
        return 1;
    };
    std::vector<int> all(100);
    for (int i = 0; i < 100; ++i) all[i] = i + 1;
    for (int angle : {0, 90, 180, 270}) {
        seen.clear();
        ASSERT_TRUE(DibRotate(*src, angle, record, 0));
        EXPECT_EQ(seen, all) << angle;
    }
    seen.clear();
    ASSERT_TRUE(DibFlip(*src, true, false, record, 0));
    EXPECT_EQ(seen, all);
    auto cancel = [](std::intptr_t, int done, int) { return done < 30 ? 1 : 0; };
    EXPECT_EQ(DibRotate(*src, 90, cancel, 0), nullptr);
    EXPECT_EQ(DibRotate(*src, 180, cancel, 0), nullptr);
    EXPECT_EQ(DibFlip(*src, false, true, cancel, 0), nullptr);
    EXPECT_EQ(DibCrop(*src, {0, 0, 300, 200}, cancel, 0), nullptr);
}

}  // namespace
}  // namespace qelvio::imaging
