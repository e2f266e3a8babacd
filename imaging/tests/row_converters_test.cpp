// Scan-line converters used by the decoders.
#include "imaging/dib.h"

#include <gtest/gtest.h>

#include <vector>

namespace qelvio::imaging {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(RowCmykToBgr, WhiteBlackAndScaledChannels) {
    CmykTable table;
    CmykTableBuild(table);
    EXPECT_EQ(table[0], 0);
    EXPECT_EQ(table[255], 0);
    EXPECT_EQ(table[256], 0);
    EXPECT_EQ(table[511], 255);
    struct Case {
        Bytes cmyk;
        bool invert;
        Bytes bgr;
    };
    const Case cases[] = {
        {{0, 0, 0, 0}, false, {255, 255, 255}},
        {{0, 0, 0, 255}, false, {0, 0, 0}},
        {{17, 200, 99, 255}, false, {0, 0, 0}},   // black wins whatever the rest
        {{255, 255, 255, 255}, true, {255, 255, 255}},
        {{255, 255, 255, 0}, true, {0, 0, 0}},
        // c 128, m 64, y 0, k 100: x' = (155 x) / 255, out = 255 - (x' + 100)
        {{128, 64, 0, 100}, false, {155, 117, 78}},
        {{127, 191, 255, 155}, true, {155, 117, 78}},
    };
    for (const Case& c : cases) {
        Bytes out(3);
        row_cmyk_to_bgr(c.cmyk.data(), out.data(), 1, c.invert, table);
        EXPECT_EQ(out, c.bgr) << int(c.cmyk[0]) << " " << int(c.cmyk[3]) << " " << c.invert;
    }
}

TEST(RowConverters, ExpandAndReorderSamples) {
    Bytes out(6);
    row_rgbx_to_bgr(Bytes{1, 2, 3, 99, 4, 5, 6, 99}.data(), out.data(), 2);
    EXPECT_EQ(out, (Bytes{3, 2, 1, 6, 5, 4}));

    row_444_to_bgr(Bytes{0xA5, 0x3C, 0xFF, 0xF0}.data(), out.data(), 2);
    EXPECT_EQ(out, (Bytes{0x30, 0x50, 0xA0, 0xF0, 0xF0, 0xF0}));

    // 12-bit pairs: 0x000, 0xFFF | 0x7F8, 0x800; odd count reads one sample.
    Bytes grey(5);
    row_grey12_to_8(Bytes{0x00, 0x0F, 0xFF, 0x7F, 0x88, 0x00, 0x12, 0x30}.data(), grey.data(),
                    5, false);
    EXPECT_EQ(grey, (Bytes{0, 255, 127, 128, 0x12}));  // 0x7F8 -> 127, 0x800 -> 128, 0xFFF -> 255
    row_grey12_to_8(Bytes{0x00, 0x0F, 0xFF}.data(), grey.data(), 2, true);
    EXPECT_EQ(grey[0], 255);
    EXPECT_EQ(grey[1], 0);

    Bytes two(2);
    row_grey16_to_8(Bytes{0x12, 0x34, 0x56, 0x78}.data(), two.data(), 2, false, false);
    EXPECT_EQ(two, (Bytes{0x12, 0x56}));
    row_grey16_to_8(Bytes{0x12, 0x34, 0x56, 0x78}.data(), two.data(), 2, true, true);
    EXPECT_EQ(two, (Bytes{0xCB, 0x87}));

    Bytes unpacked(5);
    row_unpack2(Bytes{0b11100100, 0b10000000}.data(), unpacked.data(), 5);
    EXPECT_EQ(unpacked, (Bytes{3, 2, 1, 0, 2}));
}

TEST(RowConverters, PackBitsAndNibbles) {
    Bytes packed(2, 0xEE);
    row_pack1(Bytes{1, 0, 1, 1, 0, 0, 0, 1, 1, 1}.data(), packed.data(), 10);
    EXPECT_EQ(packed, (Bytes{0b10110001, 0b11000000}));  // partial byte left-aligned
    Bytes nibbles(2, 0xEE);
    row_pack4(Bytes{1, 2, 15}.data(), nibbles.data(), 3);
    EXPECT_EQ(nibbles, (Bytes{0x12, 0xF0}));
}

TEST(RowConverters, ReverseInPlace) {
    // Bits counted from the least significant bit of each byte: with 10
    // bits, bit 0 (byte 0, 0x01) becomes bit 9 (byte 1, 0x02).
    Bytes bits{0x01, 0x00};
    row_reverse1(bits.data(), 10);
    EXPECT_EQ(bits, (Bytes{0x00, 0x02}));
    bits = {0b00000110, 0b11111100};  // bits 1, 2 set; bits 10+ are outside the row
    row_reverse1(bits.data(), 10);
    EXPECT_EQ(bits, (Bytes{0b10000000, 0b11111101}));

    Bytes bytes{1, 2, 3, 4, 5};
    row_reverse8(bytes.data(), 5);
    EXPECT_EQ(bytes, (Bytes{5, 4, 3, 2, 1}));

    Bytes pixels{1, 2, 3, 4, 5, 6, 7, 8, 9};
    row_reverse24(pixels.data(), 3);
    EXPECT_EQ(pixels, (Bytes{7, 8, 9, 4, 5, 6, 1, 2, 3}));
}

}  // namespace
}  // namespace qelvio::imaging
