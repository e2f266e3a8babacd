#include "metadata/exif_value_text.h"

#include <gtest/gtest.h>

#include <cstring>

namespace qelvio::metadata {
namespace {

TEST(ExifValueText, Names) {
    EXPECT_EQ(exif_tag_name(271), u"Make");
    EXPECT_EQ(exif_tag_name(33437), u"F-number");
    EXPECT_EQ(exif_tag_name(41730), u"CFA pattern");
    EXPECT_EQ(exif_tag_name(50000), u"50000");
}

TEST(ExifValueText, ValuesByType) {
    struct Case {
        const char* name;
        std::uint16_t type;
        std::uint32_t count;
        std::vector<std::uint8_t> bytes;  // this machine's order
        std::u16string text;
    } cases[] = {
        {"ascii", kExifAscii, 6, {'C', 'a', 'n', 'o', 'n', 0}, u"Canon"},
        {"undefined", kExifUndefined, 4, {0x30, 0x32, 0x32, 0xAB}, u"(30,32,32,AB)"},
        {"bytes", kExifByte, 3, {1, 2, 255}, u"1,2,255"},
        {"short", kExifShort, 2, {6, 0, 0xFF, 0xFF}, u"6,65535"},
        {"long above 2^31", kExifLong, 1, {0, 0, 0, 0x80}, u"2147483648"},
        {"sshort", kExifSShort, 1, {0xFF, 0xFF}, u"-1"},
        {"rational whole", kExifRational, 1, {72, 0, 0, 0, 1, 0, 0, 0}, u"72"},
        {"rational", kExifRational, 1, {28, 0, 0, 0, 10, 0, 0, 0}, u"2.800000"},
        {"rational zero denominator", kExifRational, 1, {5, 0, 0, 0, 0, 0, 0, 0}, u"5/0"},
        {"srational negative", kExifSRational, 1, {0xFF, 0xFF, 0xFF, 0xFF, 3, 0, 0, 0}, u"-0.333333"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ExifTag t;
        ASSERT_TRUE(t.set_shape(1, c.type, c.count));
        std::memcpy(t.value_address(), c.bytes.data(), c.bytes.size());
        EXPECT_EQ(exif_value_text(t), c.text);
    }
    ExifTag d;
    d.set_shape(1, kExifDouble, 1);
    d.set_float(0, 2.75f);
    EXPECT_EQ(exif_value_text(d), u"3");
}

TEST(ExifValueText, LongValuesAreCut) {
    ExifTag t;
    t.set_shape(37500, kExifUndefined, 5000);
    std::u16string text = exif_value_text(t);
    EXPECT_LT(text.size(), 4000u);
    EXPECT_EQ(text.substr(text.size() - 3), u"...");
    EXPECT_EQ(text.substr(0, 7), u"(00,00,");
}

}  // namespace
}  // namespace qelvio::metadata
