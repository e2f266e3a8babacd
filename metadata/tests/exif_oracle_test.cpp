// The Exif reader and writer checked against exiftool and exiv2 on JPEG
// files the test makes.
#include "metadata/exif_tag_list.h"
#include "storage/tests/command_output.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace qelvio::metadata {
namespace {

class ExifOracle : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/qelvio_exif_XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
        base_ = dir_ + "/base.jpg";
        command_output("convert -size 32x24 xc:#336699 " + base_ + " 2>&1");
        ASSERT_FALSE(read_file(base_).empty()) << "convert made no JPEG";
    }
    void TearDown() override { command_output("rm -rf '" + dir_ + "'"); }

    // The payload of the first APP1 "Exif" segment of a JPEG file.
    static std::vector<std::uint8_t> exif_payload(const std::vector<std::uint8_t>& jpeg) {
        std::size_t at = 2;
        while (at + 4 <= jpeg.size() && jpeg[at] == 0xFF) {
            std::uint8_t marker = jpeg[at + 1];
            std::size_t length = jpeg[at + 2] << 8 | jpeg[at + 3];
            if (marker == 0xDA || at + 2 + length > jpeg.size()) break;
            if (marker == 0xE1 && length > 8 && !std::memcmp(&jpeg[at + 4], "Exif", 4))
                return {jpeg.begin() + static_cast<long>(at + 4),
                        jpeg.begin() + static_cast<long>(at + 2 + length)};
            at += 2 + length;
        }
        return {};
    }

    // Tag number -> value text as exiftool prints it with -n, for one group.
    std::map<std::string, std::string> exiftool_values(const std::string& file,
                                                       const std::string& tags) {
        std::map<std::string, std::string> values;
        std::istringstream lines(command_output("exiftool -n -S -G1 " + tags + " " + file));
        std::string line;
        while (std::getline(lines, line)) {
            auto colon = line.find(": ");
            if (colon != std::string::npos) values[line.substr(0, colon)] = line.substr(colon + 2);
        }
        return values;
    }

    std::string dir_, base_;
};

std::string text_of(const ExifTag* t) {
    std::string s;
    if (t)
        for (char16_t c : t->text()) s += static_cast<char>(c);
    return s;
}

std::string rational_of(const ExifTag* t, std::uint32_t index = 0) {
    std::uint32_t n = 0, d = 0;
    if (!t || !t->get_rational(index, n, d) || d == 0) return "?";
    std::ostringstream o;
    o << static_cast<double>(n) / d;
    return o.str();
}

std::string integer_of(const ExifTag* t) {
    std::uint32_t v = 0;
    return t && t->get_integer(0, v) ? std::to_string(v) : "?";
}

// exiftool writes the tags in either byte order; our reader must agree with
// exiftool's own reading, including the copied JPEG thumbnail.
TEST_F(ExifOracle, ReadsWhatExiftoolWrote) {
    std::string thumb = dir_ + "/thumb.jpg";
    command_output("convert -size 16x12 xc:red " + thumb);
    for (const char* order : {"MM", "II"}) {
        SCOPED_TRACE(order);
        std::string file = dir_ + "/" + order + ".jpg";
        command_output("cp " + base_ + " " + file);
        command_output(std::string("exiftool -q -n -overwrite_original -ExifByteOrder=") + order +
            " -Make=Brantel -Model='QX 10' -Orientation=6 -XResolution=300 "
            "-ExposureTime=0.004 -FNumber=2.8 -ISO=200 -GPSLatitude=12.5 "
            "-GPSLatitudeRef=N -ImageDescription='Lake shore' '-ThumbnailImage<=" +
            thumb + "' " + file);
        auto payload = exif_payload(read_file(file));
        ASSERT_FALSE(payload.empty());
        ExifTagList list;
        ASSERT_TRUE(list.read(payload.data(), payload.size(), true));
        EXPECT_EQ(list.big_endian(), std::string(order) == "MM");

        auto v = exiftool_values(file,
                                 "-IFD0:Make -IFD0:Model -IFD0:Orientation -IFD0:XResolution "
                                 "-ExifIFD:ExposureTime -ExifIFD:FNumber -ExifIFD:ISO "
                                 "-GPS:GPSLatitude -GPS:GPSLatitudeRef -IFD0:ImageDescription");
        EXPECT_EQ(text_of(list.find(271, 0)), v["[IFD0] Make"]);
        EXPECT_EQ(text_of(list.find(272, 0)), v["[IFD0] Model"]);
        EXPECT_EQ(text_of(list.find(270, 0)), v["[IFD0] ImageDescription"]);
        EXPECT_EQ(integer_of(list.find(274, 0)), v["[IFD0] Orientation"]);
        EXPECT_EQ(rational_of(list.find(282, 0)), v["[IFD0] XResolution"]);
        EXPECT_EQ(rational_of(list.find(33434, 1)), v["[ExifIFD] ExposureTime"]);
        EXPECT_EQ(rational_of(list.find(33437, 1)), v["[ExifIFD] FNumber"]);
        EXPECT_EQ(integer_of(list.find(34855, 1)), v["[ExifIFD] ISO"]);
        EXPECT_EQ(text_of(list.find(1, 2)), v["[GPS] GPSLatitudeRef"]);
        // GPS latitude: three rationals, degrees minutes seconds.
        const ExifTag* lat = list.find(2, 2);
        ASSERT_NE(lat, nullptr);
        ASSERT_EQ(lat->count(), 3u);
        double deg = std::stod(rational_of(lat, 0)) + std::stod(rational_of(lat, 1)) / 60 +
                     std::stod(rational_of(lat, 2)) / 3600;
        EXPECT_NEAR(deg, std::stod(v["[GPS] GPSLatitude"]), 1e-6);

        EXPECT_TRUE(list.thumbnail_is_jpeg());
        EXPECT_EQ(list.thumbnail(), read_file(thumb));
    }
}

// A list we write, spliced into a JPEG, reads back the same in exiftool and
// exiv2.
TEST_F(ExifOracle, WrittenListReadsBackInExiftoolAndExiv2) {
    ExifTagList list;
    ExifTag t;
    t.set_shape(271, kExifAscii, 1);
    t.set_text(std::string_view("Brantel"));
    list.add(t, false);
    t.set_shape(274, kExifShort, 1);
    t.set_16bit(0, 8);
    list.add(t, false);
    t.set_shape(283, kExifRational, 1);
    t.set_rational(0, 144, 2);
    list.add(t, false);
    t.set_shape(33437, kExifRational, 1);  // automatic grouping: Exif
    t.set_rational(0, 56, 10);
    list.add(t, false);
    t.set_shape(34855, kExifShort, 1);
    t.set_16bit(0, 400);
    list.add(t, false);
    t.set_shape(37510, kExifUndefined, 12);  // user comment
    t.set_bytes("ASCII\0\0\0Hiya", -1);
    list.add(t, false);
    t.set_shape(6, kExifRational, 1);  // GPS altitude
    t.set_rational(0, 1234, 10);
    list.add(t, false, kExifGroupGps);

    std::vector<std::uint8_t> payload = list.write();
    ASSERT_FALSE(payload.empty());
    std::vector<std::uint8_t> base = read_file(base_);
    std::vector<std::uint8_t> jpeg = {0xFF, 0xD8, 0xFF, 0xE1,
                                      static_cast<std::uint8_t>((payload.size() + 2) >> 8),
                                      static_cast<std::uint8_t>(payload.size() + 2)};
    jpeg.insert(jpeg.end(), payload.begin(), payload.end());
    jpeg.insert(jpeg.end(), base.begin() + 2, base.end());
    std::string file = dir_ + "/written.jpg";
    write_file(file, jpeg);

    auto v = exiftool_values(file,
                             "-IFD0:Make -IFD0:Orientation -IFD0:YResolution -ExifIFD:FNumber "
                             "-ExifIFD:ISO -ExifIFD:UserComment -GPS:GPSAltitude -Warning");
    EXPECT_EQ(v["[IFD0] Make"], "Brantel");
    EXPECT_EQ(v["[IFD0] Orientation"], "8");
    EXPECT_EQ(v["[IFD0] YResolution"], "72");
    EXPECT_EQ(v["[ExifIFD] FNumber"], "5.6");
    EXPECT_EQ(v["[ExifIFD] ISO"], "400");
    EXPECT_EQ(v["[ExifIFD] UserComment"], "Hiya");
    EXPECT_EQ(v["[GPS] GPSAltitude"], "123.4");
    EXPECT_EQ(v.count("[ExifTool] Warning"), 0u) << v["[ExifTool] Warning"];

    // exiv2: key, type, count and value of every entry.
    std::string exiv2 = command_output("exiv2 -q -pa -u " + file + " 2>&1");
    for (const char* expected : {"Exif.Image.Make                              Ascii       8  Brantel",
                                 "Exif.Image.Orientation                       Short       1  left, bottom",
                                 "Exif.Photo.ISOSpeedRatings                   Short       1  400",
                                 "Exif.Photo.FNumber                           Rational    1  F5.6",
                                 "Exif.GPSInfo.GPSAltitude                     Rational    1  123.4 m"})
        EXPECT_NE(exiv2.find(expected), std::string::npos) << expected << "\nin:\n" << exiv2;

    // Our own reader agrees, and the empty-GPS case has no GPS pointer.
    ExifTagList back;
    ASSERT_TRUE(back.read(payload.data(), payload.size(), false));
    EXPECT_EQ(back.total_size(), list.total_size());
    list.remove(6, kExifGroupGps);
    auto no_gps = list.write();
    ExifTagList back2;
    ASSERT_TRUE(back2.read(no_gps.data(), no_gps.size(), false));
    EXPECT_EQ(back2.size(2), 0u);
    std::size_t entries = no_gps[14] | no_gps[15] << 8;
    for (std::size_t i = 0; i < entries; ++i)
        EXPECT_NE(no_gps[16 + 12 * i] | no_gps[17 + 12 * i] << 8, kGpsIfdPointer);
}

}  // namespace
}  // namespace qelvio::metadata
