#include "metadata/exif_tag.h"
#include "metadata/exif_tag_list.h"

#include <gtest/gtest.h>

#include <cstring>

namespace qelvio::metadata {
namespace {

TEST(ExifTag, FreshEntryIsUndefinedAndEmpty) {
    ExifTag t;
    EXPECT_EQ(t.type(), kExifUndefined);
    EXPECT_EQ(t.count(), 0u);
    std::uint8_t b;
    EXPECT_EQ(t.get_byte(0, b), 0);
}

TEST(ExifTag, SmallValuesInlineLargerInBlock) {
    ExifTag t;
    ASSERT_TRUE(t.set_shape(1, kExifByte, 4));
    const std::uint8_t* inline_address = t.value_address();
    EXPECT_GE(inline_address, reinterpret_cast<const std::uint8_t*>(&t));
    EXPECT_LT(inline_address, reinterpret_cast<const std::uint8_t*>(&t + 1));
    ASSERT_TRUE(t.set_shape(1, kExifByte, 5));
    const std::uint8_t* block = t.value_address();
    EXPECT_TRUE(block < reinterpret_cast<const std::uint8_t*>(&t) ||
                block >= reinterpret_cast<const std::uint8_t*>(&t + 1));
    for (std::uint32_t i = 0; i < 5; ++i) EXPECT_TRUE(t.set_8bit(i, 0x100 + i));
    std::uint8_t v;
    ASSERT_TRUE(t.get_byte(4, v));
    EXPECT_EQ(v, 4);
    EXPECT_EQ(t.get_byte(5, v), 0);
}

TEST(ExifTag, InvalidTypesRefused) {
    ExifTag t;
    EXPECT_EQ(t.set_shape(1, 0, 1), 0);
    EXPECT_EQ(t.set_shape(1, 13, 1), 0);
    EXPECT_EQ(exif_type_size(13), 0u);
    EXPECT_EQ(exif_type_size(kExifRational), 8u);
}

// Which getters and setters each type accepts.
TEST(ExifTag, TypeAcceptanceTable) {
    struct Case {
        std::uint16_t type;
        bool small, integer, byte, rational, float_bits, real;
        bool set16, set32, set8, set_rational, set_float;
    };
    const Case cases[] = {
        {kExifByte, 1, 1, 1, 0, 0, 0, 0, 0, 1, 0, 0},
        {kExifAscii, 1, 1, 1, 0, 0, 0, 0, 0, 1, 0, 0},
        {kExifShort, 1, 1, 0, 0, 0, 0, 1, 0, 1, 0, 0},
        {kExifLong, 0, 1, 0, 0, 0, 0, 1, 1, 1, 0, 0},
        {kExifRational, 0, 0, 0, 1, 0, 0, 0, 0, 0, 1, 0},
        {kExifSByte, 1, 1, 1, 0, 0, 0, 0, 0, 1, 0, 0},
        {kExifUndefined, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0},
        {kExifSShort, 1, 1, 0, 0, 0, 0, 1, 0, 1, 0, 0},
        {kExifSLong, 0, 1, 0, 0, 0, 0, 1, 1, 1, 0, 0},
        {kExifSRational, 0, 0, 0, 1, 0, 0, 0, 0, 0, 1, 0},
        {kExifFloat, 0, 0, 0, 0, 1, 1, 0, 0, 0, 0, 1},
        {kExifDouble, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.type);
        ExifTag t;
        ASSERT_TRUE(t.set_shape(7, c.type, 2));
        std::uint32_t u, d;
        std::uint8_t b;
        double r;
        EXPECT_EQ(t.get_small(1, u) != 0, c.small);
        EXPECT_EQ(t.get_integer(1, u) != 0, c.integer);
        EXPECT_EQ(t.get_byte(1, b) != 0, c.byte);
        EXPECT_EQ(t.get_rational(1, u, d) != 0, c.rational);
        EXPECT_EQ(t.get_float_bits(1, u) != 0, c.float_bits);
        EXPECT_EQ(t.get_real(1, r) != 0, c.real);
        EXPECT_EQ(t.set_16bit(1, 1) != 0, c.set16);
        EXPECT_EQ(t.set_32bit(1, 1) != 0, c.set32);
        EXPECT_EQ(t.set_8bit(1, 1) != 0, c.set8);
        EXPECT_EQ(t.set_rational(1, 1, 2) != 0, c.set_rational);
        EXPECT_EQ(t.set_float(1, 1.5f) != 0, c.set_float);
        EXPECT_EQ(t.set_double(1, 0) != 0, c.type == kExifDouble);
        // Index 2 is past the count for every getter and setter.
        EXPECT_EQ(t.get_integer(2, u), 0);
        EXPECT_EQ(t.set_8bit(2, 1), 0);
        EXPECT_EQ(t.get_real(2, r), 0);
    }
}

TEST(ExifTag, SixteenBitIntoLongClearsUpperHalf) {
    ExifTag t;
    ASSERT_TRUE(t.set_shape(256, kExifLong, 1));
    ASSERT_TRUE(t.set_32bit(0, 0xDEADBEEF));
    ASSERT_TRUE(t.set_16bit(0, 0x1234));
    std::uint32_t v;
    ASSERT_TRUE(t.get_integer(0, v));
    EXPECT_EQ(v, 0x1234u);
    ASSERT_TRUE(t.set_8bit(0, 0x4321));
    ASSERT_TRUE(t.get_integer(0, v));
    EXPECT_EQ(v, 0x21u);
}

TEST(ExifTag, ValuesRoundTrip) {
    ExifTag t;
    ASSERT_TRUE(t.set_shape(282, kExifRational, 3));
    ASSERT_TRUE(t.set_rational(2, 72, 1));
    std::uint32_t n, d;
    ASSERT_TRUE(t.get_rational(2, n, d));
    EXPECT_EQ(n, 72u);
    EXPECT_EQ(d, 1u);

    ASSERT_TRUE(t.set_shape(1, kExifDouble, 1));
    ASSERT_TRUE(t.set_float(0, 2.5f));
    double r;
    ASSERT_TRUE(t.get_real(0, r));
    EXPECT_EQ(r, 2.5);
    double pi = 3.14159;
    std::uint64_t bits;
    std::memcpy(&bits, &pi, 8);
    ASSERT_TRUE(t.set_double(0, bits));
    ASSERT_TRUE(t.get_real(0, r));
    EXPECT_EQ(r, pi);

    ASSERT_TRUE(t.set_shape(1, kExifFloat, 1));
    ASSERT_TRUE(t.set_float(0, -0.75f));
    ASSERT_TRUE(t.get_real(0, r));
    EXPECT_EQ(r, -0.75);
}

TEST(ExifTag, TextAndBytes) {
    ExifTag t;
    ASSERT_TRUE(t.set_shape(270, kExifAscii, 1));
    ASSERT_TRUE(t.set_text(std::u16string_view(u"Caf\u00e9 L")));
    EXPECT_EQ(t.count(), 7u);  // six characters and the terminating zero
    std::uint8_t b;
    ASSERT_TRUE(t.get_byte(3, b));
    EXPECT_EQ(b, 0xE9);
    EXPECT_EQ(t.text(), u"Caf\u00e9 L");
    // A character 8-bit text cannot hold is refused, not cut to its low byte
    // (U+0141 would become "A").
    EXPECT_EQ(t.set_text(std::u16string_view(u"\u0141odz")), 0);
    EXPECT_EQ(t.text(), u"Caf\u00e9 L");

    // -1 keeps the count; a smaller count copies only that much.
    ASSERT_TRUE(t.set_bytes("XY", 2));
    EXPECT_EQ(t.count(), 7u);
    EXPECT_EQ(t.text(), u"XYf\u00e9 L");
    ASSERT_TRUE(t.set_bytes("abcdefg", -1));
    EXPECT_EQ(t.text(), u"abcdefg");

    ASSERT_TRUE(t.set_shape(1, kExifUndefined, 2));
    EXPECT_EQ(t.set_text("no"), 0);  // UNDEFINED takes no text
}

TEST(ExifTag, SettersMarkOwningListModified) {
    ExifTagList list;
    ExifTag t;
    t.set_shape(274, kExifShort, 1);
    ASSERT_TRUE(list.add(t, false));
    list.set_modified(false);
    ExifTag* bound = list.find(274);
    ASSERT_NE(bound, nullptr);
    EXPECT_EQ(bound->list(), &list);
    ASSERT_TRUE(bound->set_16bit(0, 6));
    EXPECT_TRUE(list.modified());
    EXPECT_EQ(t.list(), nullptr);  // the caller's entry stays unbound
}

}  // namespace
}  // namespace qelvio::metadata
