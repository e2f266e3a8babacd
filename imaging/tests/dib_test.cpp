// The Dib record: creation, strides, adoption of decoder blocks, format
// codes, 24-bit conversion, palettes and failure handling.
#include "imaging/dib.h"
#include "imaging/tests/dib_fixtures.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

namespace qelvio::imaging {
namespace {

using testing::AllocationLimit;
using testing::pixel;
using testing::random_dib;
using testing::set_pixel;

TEST(DibCreate, HeaderStrideAndTableFollowTheBitmapLayout) {
    struct Case {
        int width, bits, stride, block_bytes;
    };
    const Case cases[] = {
        {3, 24, 12, 40}, {5, 4, 4, 40 + 64}, {1, 1, 4, 48},     {33, 1, 8, 48},
        {3, 16, 8, 52},  {5, 8, 8, 40 + 1024}, {4, 24, 12, 40},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.width << " px " << c.bits << " bits");
        Dib dib;
        ASSERT_TRUE(DibCreate(dib, c.width, 2, c.bits, 0));
        EXPECT_EQ(DibStride(dib), c.stride);
        EXPECT_EQ(DibImageSize(dib), static_cast<std::size_t>(c.stride) * 2);
        EXPECT_EQ(dib.bitmap->size, DibImageSize(dib));
        const BitmapInfoHeader* h = DibHeader(dib);
        EXPECT_EQ(h->size, 40u);
        EXPECT_EQ(h->planes, 1);
        EXPECT_EQ(h->height, 2);
        EXPECT_EQ(h->image_size, 0u);
        EXPECT_EQ(h->colours_used, 0u);
        EXPECT_EQ(DibColourTableSize(dib), c.bits <= 8 ? 1 << c.bits : 0);
        EXPECT_EQ(DibColourTable(dib) != nullptr, c.bits <= 8);
        if (c.bits == 16) {
            EXPECT_EQ(h->compression, 3u);
            std::uint32_t masks[3];
            std::memcpy(masks, dib.header + 40, 12);
            EXPECT_EQ(masks[0], 0x7C00u);
            EXPECT_EQ(masks[1], 0x03E0u);
            EXPECT_EQ(masks[2], 0x001Fu);
        } else {
            EXPECT_EQ(h->compression, 0u);
        }
    }
}

TEST(DibCreate, CopiesTableAndPixelsAndShortTablesStayFull) {
    const RgbQuad two[2] = {{1, 2, 3, 0}, {4, 5, 6, 0}};
    const std::uint8_t pixels[8] = {0x12, 0x34, 0, 0, 0x56, 0x78, 0, 0};
    Dib dib;
    ASSERT_TRUE(DibCreate(dib, 3, 2, 4, 2, two, pixels));
    EXPECT_EQ(std::memcmp(dib.pixels, pixels, 8), 0);
    EXPECT_EQ(DibColourTable(dib)[1].red, 6);
    // The table always has 16 entries; those not given are zero.
    EXPECT_EQ(DibColourTable(dib)[15].red, 0);
    // Creating again releases the previous image.
    ASSERT_TRUE(DibCreate(dib, 1, 1, 24, 0));
    EXPECT_EQ(DibBitCount(dib), 24);
}

TEST(DibCreate, RefusesBadSizesAndBitCountsAndLeavesTheDibEmpty) {
    struct Case {
        int w, h, bits;
    };
    const Case cases[] = {{0, 5, 24}, {5, 0, 24}, {-3, 5, 24}, {5, -3, 8},
                          {5, 5, 2},  {5, 5, 32}, {5, 5, 0},   {65535, 65535, 24}};
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.w << "x" << c.h << "x" << c.bits);
        Dib dib;
        ASSERT_TRUE(DibCreate(dib, 2, 2, 8, 0));
        EXPECT_FALSE(DibCreate(dib, c.w, c.h, c.bits, 0));
        EXPECT_FALSE(dib);
        EXPECT_EQ(dib.header, nullptr);
        EXPECT_EQ(dib.pixels, nullptr);
    }
}

TEST(DibCreate, SurvivesEachAllocationFailing) {
    for (int allowed = 0; allowed < 3; ++allowed) {
        AllocationLimit limit(allowed);
        Dib dib;
        EXPECT_FALSE(DibCreate(dib, 4, 4, 8, 0)) << allowed;
        EXPECT_EQ(dib.header, nullptr);
    }
    Dib source;
    ASSERT_TRUE(DibCreate(source, 4, 4, 24, 0));
    AllocationLimit limit(1);
    EXPECT_EQ(DibCopy(source), nullptr);
}

TEST(DibCreate, PictureSizedBitmapsStartZeroed) {
    // Blocks of several megabytes take the mapped path of the allocator.
    Dib big;
    ASSERT_TRUE(DibCreate(big, 1500, 1000, 24, 0));
    const std::uint8_t* p = big.pixels;
    std::size_t nonzero = 0;
    for (std::size_t i = 0; i < DibImageSize(big); ++i) nonzero += p[i] != 0;
    EXPECT_EQ(nonzero, 0u);
    big.pixels[DibImageSize(big) - 1] = 7;
    auto copy = DibCopy(big);
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->pixels[DibImageSize(*copy) - 1], 7);
}

TEST(DibCopy, CopiesPixelsTableAndPalette) {
    auto source = random_dib(7, 3, 4);
    auto copy = DibCopy(*source);
    ASSERT_TRUE(copy);
    EXPECT_TRUE(testing::same_image(*source, *copy));
    EXPECT_NE(copy->pixels, source->pixels);
    ASSERT_NE(copy->palette, nullptr);
    EXPECT_EQ(copy->palette->count, 16);
    Dib empty;
    EXPECT_EQ(DibCopy(empty), nullptr);
}

// A decoder block: header, optional masks, colour table, pixels.
std::vector<std::uint8_t> packed_block(int w, int h, int bits, std::uint32_t compression,
                                       const std::vector<std::uint32_t>& masks,
                                       const std::vector<std::uint8_t>& pixels) {
    BitmapInfoHeader hdr{};
    hdr.size = 40;
    hdr.width = w;
    hdr.height = h;
    hdr.planes = 1;
    hdr.bit_count = static_cast<std::uint16_t>(bits);
    hdr.compression = compression;
    std::vector<std::uint8_t> block(40);
    std::memcpy(block.data(), &hdr, 40);
    for (std::uint32_t m : masks) {
        const auto* p = reinterpret_cast<const std::uint8_t*>(&m);
        block.insert(block.end(), p, p + 4);
    }
    if (bits <= 8) {
        for (int i = 0; i < (1 << bits); ++i) {
            const auto v = static_cast<std::uint8_t>(i * 255 / ((1 << bits) - 1));
            block.insert(block.end(), {v, v, v, 0});
        }
    }
    block.insert(block.end(), pixels.begin(), pixels.end());
    return block;
}

TEST(DibFromPacked, Converts565And444MasksTo555) {
    // Three pixels and one padding word a row.
    struct Case {
        std::vector<std::uint32_t> masks;
        std::uint16_t in[3];
        std::uint16_t out[3];
    };
    const Case cases[] = {
        {{0xF800, 0x07E0, 0x001F}, {0x07E0, 0xF800, 0xFFFF}, {0x03E0, 0x7C00, 0x7FFF}},
        {{0x7C00, 0x03E0, 0x001F}, {0x03E0, 0x7C00, 0x1234}, {0x03E0, 0x7C00, 0x1234}},
        {{0x0F00, 0x00F0, 0x000F}, {0x00F0, 0x0F00, 0x0FFF}, {0x03C0, 0x7800, 0x7BDE}},
    };
    for (const Case& c : cases) {
        std::vector<std::uint8_t> px;
        for (int i = 0; i < 4; ++i) {
            const std::uint16_t v = i < 3 ? c.in[i] : 0;
            px.push_back(static_cast<std::uint8_t>(v));
            px.push_back(static_cast<std::uint8_t>(v >> 8));
        }
        const auto block = packed_block(3, 1, 16, 3, c.masks, px);
        Dib dib;
        ASSERT_TRUE(DibFromPacked(dib, block.data(), block.size()));
        EXPECT_EQ(DibHeader(dib)->compression, 0u);
        EXPECT_EQ(DibFormatOf(dib), 0x25);
        for (int x = 0; x < 3; ++x) EXPECT_EQ(pixel(dib, x, 0), c.out[x]) << std::hex << c.in[x];

        // A decoder's own bitmap holding the masked pixels is converted in place.
        BitmapInfoHeader hdr;
        std::memcpy(&hdr, block.data(), 40);
        DibBitmap* bitmap = DibBitmapCreate(hdr);
        ASSERT_NE(bitmap, nullptr);
        std::memcpy(bitmap->bits, px.data(), px.size());
        Dib adopted;
        ASSERT_TRUE(DibFromPacked(adopted, block.data(), 40 + 12, bitmap));
        EXPECT_EQ(adopted.pixels, bitmap->bits);
        for (int x = 0; x < 3; ++x) EXPECT_EQ(pixel(adopted, x, 0), c.out[x]);
    }
}

TEST(DibFromPacked, CopiesPalettedPixelsOrAdoptsTheDecoderBitmap) {
    const std::vector<std::uint8_t> px = {1, 2, 3, 0, 4, 5, 6, 0};
    const auto block = packed_block(3, 2, 8, 0, {}, px);
    Dib copied;
    ASSERT_TRUE(DibFromPacked(copied, block.data(), block.size()));
    EXPECT_EQ(std::memcmp(copied.pixels, px.data(), 8), 0);
    EXPECT_EQ(DibFormatOf(copied), 0x48);
    ASSERT_NE(copied.palette, nullptr);
    EXPECT_EQ(copied.palette->entries[255].red, 255);

    BitmapInfoHeader hdr;
    std::memcpy(&hdr, block.data(), 40);
    DibBitmap* bitmap = DibBitmapCreate(hdr);
    ASSERT_NE(bitmap, nullptr);
    bitmap->bits[0] = 9;
    Dib adopted;
    ASSERT_TRUE(DibFromPacked(adopted, block.data(), 40 + 1024, bitmap));
    EXPECT_EQ(adopted.bitmap, bitmap);
    EXPECT_EQ(adopted.pixels, bitmap->bits);
    EXPECT_EQ(pixel(adopted, 0, 1), 9u);
}

TEST(DibFromPacked, RefusesTruncatedOrUnsupportedBlocks) {
    const auto good = packed_block(3, 2, 24, 0, {}, std::vector<std::uint8_t>(24, 7));
    const auto masks_on_24 =
        packed_block(3, 2, 24, 3, {0xFF0000, 0xFF00, 0xFF}, std::vector<std::uint8_t>(24));
    const auto bits_32 = packed_block(3, 2, 32, 0, {}, std::vector<std::uint8_t>(24));
    const auto rle = packed_block(3, 2, 8, 1, {}, std::vector<std::uint8_t>(8));
    struct Case {
        const std::vector<std::uint8_t>* block;
        std::size_t size;
    };
    const Case cases[] = {{&good, good.size() - 1}, {&good, 39},
                          {&masks_on_24, masks_on_24.size()},
                          {&bits_32, bits_32.size()},
                          {&rle, rle.size()}};
    for (const Case& c : cases) {
        Dib dib;
        EXPECT_FALSE(DibFromPacked(dib, c.block->data(), c.size));
        EXPECT_EQ(dib.header, nullptr);
    }
    Dib dib;
    EXPECT_TRUE(DibFromPacked(dib, good.data(), good.size()));
}

TEST(DibFromBitmap, AdoptsA24BitBitmap) {
    BitmapInfoHeader hdr{40, 5, 3, 1, 24, 0, 0, 0, 0, 0, 0};
    DibBitmap* bitmap = DibBitmapCreate(hdr);
    ASSERT_NE(bitmap, nullptr);
    Dib dib;
    ASSERT_TRUE(DibFromBitmap(dib, bitmap));
    EXPECT_EQ(dib.pixels, bitmap->bits);
    EXPECT_EQ(DibWidth(dib), 5);
    EXPECT_EQ(DibStride(dib), 16);
}

TEST(DibFormatOf, ClassifiesBitCountsAndGreyTables) {
    auto grey8 = std::make_unique<Dib>();
    const auto ramp = testing::grey_ramp();
    ASSERT_TRUE(DibCreate(*grey8, 2, 2, 8, 256, ramp.data()));
    EXPECT_EQ(DibFormatOf(*grey8), 0x48);
    EXPECT_TRUE(DibIsGrey(*grey8));
    DibColourTable(*grey8)[200].red = 1;  // grey but one entry
    EXPECT_EQ(DibFormatOf(*grey8), 0x88);
    EXPECT_FALSE(DibIsGrey(*grey8));

    Dib grey1, colour4, rgb, rgb16;
    const RgbQuad bw[2] = {{0, 0, 0, 0}, {255, 255, 255, 0}};
    ASSERT_TRUE(DibCreate(grey1, 9, 1, 1, 2, bw));
    ASSERT_TRUE(DibCreate(colour4, 9, 1, 4, 2, bw));  // 14 zero entries are grey too
    DibColourTable(colour4)[3] = {1, 2, 3, 0};
    ASSERT_TRUE(DibCreate(rgb, 2, 2, 24, 0));
    ASSERT_TRUE(DibCreate(rgb16, 2, 2, 16, 0));
    EXPECT_EQ(DibFormatOf(grey1), 0x41);
    EXPECT_EQ(DibFormatOf(colour4), 0x84);
    EXPECT_EQ(DibFormatOf(rgb), 0x28);
    EXPECT_FALSE(DibIsGrey(rgb));  // a 24-bit image is never grey
    EXPECT_EQ(DibFormatOf(rgb16), 0x25);
    BitmapInfoHeader h32{40, 1, 1, 1, 32, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(DibFormatOf(reinterpret_cast<const std::uint8_t*>(&h32)), 0);
}

TEST(DibToTrueColor, ExpandsFiveBitChannelsByShifting) {
    Dib dib;
    ASSERT_TRUE(DibCreate(dib, 3, 1, 16, 0));
    set_pixel(dib, 0, 0, 0x7FFF);
    set_pixel(dib, 1, 0, 0x001F);  // blue 31
    set_pixel(dib, 2, 0, 0x8421);  // top bit ignored, 1 in each channel
    auto rgb = DibToTrueColor(dib);
    ASSERT_TRUE(rgb);
    EXPECT_EQ(DibBitCount(*rgb), 24);
    EXPECT_EQ(pixel(*rgb, 0, 0), 0xF8F8F8u);
    EXPECT_EQ(pixel(*rgb, 1, 0), 0x0000F8u);
    EXPECT_EQ(pixel(*rgb, 2, 0), 0x080808u);
}

// ImageMagick's reading of a paletted BMP is the oracle for the colour
// table lookups.
TEST(DibToTrueColor, PalettedPixelsMatchImageMagick) {
    for (int bits : {1, 4, 8}) {
        SCOPED_TRACE(bits);
        auto dib = random_dib(13, 5, bits, 40 + bits);
        const std::vector<std::uint8_t> expected = testing::imagemagick_rgb(*dib, "");
        ASSERT_EQ(expected.size(), 13u * 5 * 3);
        auto out = DibToTrueColor(*dib);
        ASSERT_TRUE(out);
        for (int y = 0; y < 5; ++y) {
            for (int x = 0; x < 13; ++x) {
                const std::uint8_t* e = &expected[(y * 13 + x) * 3];
                EXPECT_EQ(pixel(*out, x, y), static_cast<std::uint32_t>(e[0] << 16 | e[1] << 8 | e[2]))
                    << x << "," << y;
            }
        }
    }
}

TEST(DibToTrueColor, ReportsEveryRowAndRefusesEmptyOrOddInput) {
    auto dib = random_dib(4, 6, 8);
    static std::vector<int> seen;
    seen.clear();
    auto cancel_always = [](std::intptr_t user, int done, int total) {
        EXPECT_EQ(user, 42);
        EXPECT_EQ(total, 6);
        seen.push_back(done);
        return 0;  // ignored: the conversion runs to the end
    };
    auto out = DibToTrueColor(*dib, cancel_always, 42);
    ASSERT_TRUE(out);
    EXPECT_EQ(seen, (std::vector<int>{0, 1, 2, 3, 4, 5}));
    Dib empty;
    EXPECT_EQ(DibToTrueColor(empty), nullptr);
    AllocationLimit limit(0);
    EXPECT_EQ(DibToTrueColor(*dib), nullptr);
}

TEST(DibMakePalette, BuildsFromTheTableOnlyForPalettedImages) {
    auto dib = random_dib(2, 2, 4, 3);
    DibColourTable(*dib)[5] = {10, 20, 30, 0};
    DibMakePalette(*dib);
    ASSERT_NE(dib->palette, nullptr);
    EXPECT_EQ(dib->palette->version, 0x300);
    EXPECT_EQ(dib->palette->count, 16);
    const PaletteEntry& e = dib->palette->entries[5];
    EXPECT_EQ(e.red, 30);
    EXPECT_EQ(e.green, 20);
    EXPECT_EQ(e.blue, 10);
    EXPECT_EQ(e.flags, 0);
    Dib rgb;
    ASSERT_TRUE(DibCreate(rgb, 2, 2, 24, 0));
    DibMakePalette(rgb);
    EXPECT_EQ(rgb.palette, nullptr);
}

}  // namespace
}  // namespace qelvio::imaging
