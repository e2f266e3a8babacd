#include "decoding/jpeg_decoder.h"
#include "decoding/refusal.h"

#include "decoding/bitmap_output.h"
#include "decoding/tests/test_support.h"
#include "metadata/exif_tag_list.h"
#include "platform/text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

namespace qelvio::decoding {
namespace {

using test::Decoded;
using test::Picture;

std::uint32_t pattern(int x, int y) {
    return static_cast<std::uint32_t>((x * 3) & 0xFF) << 16 |
           static_cast<std::uint32_t>((y * 5) & 0xFF) << 8 | static_cast<std::uint32_t>((x ^ y) & 0xFF);
}

std::unique_ptr<JpegDecoder> decoder_for(const std::vector<std::uint8_t>& bytes) {
    return std::make_unique<JpegDecoder>(
        memory_data_source(bytes.data(), static_cast<std::uint32_t>(bytes.size())));
}

// A JPEG with an extra segment (marker, payload) right after the SOI.
std::vector<std::uint8_t> with_segment(const std::vector<std::uint8_t>& jpeg, int marker,
                                       const std::vector<std::uint8_t>& payload) {
    std::vector<std::uint8_t> out = {0xFF, 0xD8, 0xFF, static_cast<std::uint8_t>(marker),
                                     static_cast<std::uint8_t>((payload.size() + 2) >> 8),
                                     static_cast<std::uint8_t>(payload.size() + 2)};
    out.insert(out.end(), payload.begin(), payload.end());
    out.insert(out.end(), jpeg.begin() + 2, jpeg.end());
    return out;
}

class JpegOracle : public ::testing::Test {
protected:
    void SetUp() override {
        test::write_ppm(dir_.path("in.ppm"), 203, 157, pattern);
    }
    // Our decode at a denominator equals djpeg's at the same scale.
    void expect_matches_djpeg(const std::string& file, int denominator) {
        SCOPED_TRACE(file + " at 1/" + std::to_string(denominator));
        std::string bmp = dir_.path("djpeg.bmp");
        command_output("djpeg -bmp -scale 1/" + std::to_string(denominator) + " " + file + " > " + bmp +
                  " 2>/dev/null");
        Picture expected = test::magick_picture(bmp);
        ASSERT_GT(expected.width, 0);
        std::vector<std::uint8_t> bytes = read_file(file);
        ImageInfo info{};
        ASSERT_EQ(decoder_for(bytes)->open(&info), 0);
        Decoded d;
        test::decode_file(file, d, info.width / static_cast<std::uint32_t>(denominator),
                          info.height / static_cast<std::uint32_t>(denominator));
        ASSERT_EQ(d.status, 0);
        EXPECT_EQ(test::difference(d.picture(), expected), "");
    }
    test::TempDir dir_;
};

TEST_F(JpegOracle, EqualsDjpegAtEveryScale) {
    struct Case {
        const char* name;
        const char* cjpeg;
    } cases[] = {
        {"420", "-quality 85"},
        {"444", "-quality 90 -sample 1x1"},
        {"grey", "-grayscale"},
        {"progressive", "-progressive"},
        {"rgb stored", "-rgb"},
        {"restart markers", "-restart 1"},
    };
    for (const Case& c : cases) {
        std::string file = dir_.path(std::string(c.name) + ".jpg");
        for (char& ch : file)
            if (ch == ' ') ch = '_';
        command_output(std::string("cjpeg ") + c.cjpeg + " " + dir_.path("in.ppm") + " > " + file);
        for (int denominator : {1, 2, 4, 8}) expect_matches_djpeg(file, denominator);
    }
}

TEST_F(JpegOracle, GreyscaleIsEightBitWithGreyTable) {
    std::string file = dir_.path("grey.jpg");
    command_output("cjpeg -grayscale " + dir_.path("in.ppm") + " > " + file);
    Decoded d;
    test::decode_file(file, d);
    ASSERT_EQ(d.status, 0);
    EXPECT_EQ(d.info.samples_per_pixel, 1u);
    const imaging::BitmapInfoHeader* h = header_fields(d.result.header);
    EXPECT_EQ(h->bit_count, 8);
    EXPECT_GT(h->height, 0);
    const imaging::RgbQuad* table = header_colours(d.result.header);
    for (int i : {0, 77, 255}) {
        EXPECT_EQ(table[i].red, i);
        EXPECT_EQ(table[i].reserved, i);
    }
}

// A file cut in the middle of its scan decodes to a full-size bitmap, the
// way djpeg decodes the same bytes.
TEST_F(JpegOracle, TruncatedFileDecodesLikeDjpeg) {
    std::string file = dir_.path("full.jpg");
    command_output("cjpeg " + dir_.path("in.ppm") + " > " + file);
    auto bytes = read_file(file);
    bytes.resize(bytes.size() / 2);
    std::string cut = dir_.path("cut.jpg");
    write_file(cut, bytes);
    expect_matches_djpeg(cut, 1);
}

TEST_F(JpegOracle, CmykWithAdobeSegmentMatchesImageMagick) {
    std::string file = dir_.path("cmyk.jpg");
    command_output("convert " + dir_.path("in.ppm") + " -colorspace CMYK -quality 95 " + file);
    Decoded d;
    test::decode_file(file, d);
    ASSERT_EQ(d.status, 0);
    EXPECT_EQ(header_fields(d.result.header)->bit_count, 24);
    EXPECT_EQ(d.info.samples_per_pixel, 3u);
    // ImageMagick converts with its own rounding: allow one step.
    EXPECT_EQ(test::difference(d.picture(), test::magick_picture(file), 1), "");
}

TEST(JpegDecoder, ScaleFromTargetSize) {
    struct Case {
        std::uint32_t w, h, tw, th;
        int denominator;
    } cases[] = {
        {2048, 1536, 64, 64, 8},     {2048, 1536, 1000, 700, 2}, {2048, 1536, 0, 0, 1},
        {2048, 1536, 640, 0, 1},     {2048, 1536, 1024, 768, 2}, {2048, 1536, 512, 384, 4},
        {2048, 1536, 513, 384, 2},   {100, 100, 200, 200, 1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(JpegDecoder::scale_denominator(c.w, c.h, c.tw, c.th), c.denominator)
            << c.tw << "x" << c.th;
}

TEST(JpegDecoder, LargeImageAtThumbnailSize) {
    test::TempDir dir;
    std::string file = dir.path("big.jpg");
    command_output("convert -size 2048x1536 gradient:red-blue -quality 70 " + file);
    Decoded d;
    test::decode_file(file, d, 64, 64);
    ASSERT_EQ(d.status, 0);
    EXPECT_EQ(d.picture().width, 256);
    EXPECT_EQ(d.picture().height, 192);
    Decoded half;
    test::decode_file(file, half, 1000, 700);
    ASSERT_EQ(half.status, 0);
    EXPECT_EQ(half.picture().width, 1024);
    EXPECT_EQ(half.picture().height, 768);
}

TEST(JpegDecoder, StartMarkerWithinTheFirst1024Bytes) {
    test::TempDir dir;
    test::write_ppm(dir.path("in.ppm"), 16, 16, pattern);
    auto jpeg = read_file(dir.path("in.ppm"));
    command_output("cjpeg " + dir.path("in.ppm") + " > " + dir.path("a.jpg"));
    jpeg = read_file(dir.path("a.jpg"));
    for (std::size_t junk : {std::size_t{0}, std::size_t{1}, std::size_t{1023}, std::size_t{1024}}) {
        SCOPED_TRACE(junk);
        std::vector<std::uint8_t> bytes(junk, 0x20);
        bytes.insert(bytes.end(), jpeg.begin(), jpeg.end());
        ImageInfo info{};
        int st = decoder_for(bytes)->open(&info);
        EXPECT_EQ(st, junk < 1024 ? 0 : kDecodeCorrupt);
        if (st == 0) {
            EXPECT_EQ(info.width, 16u);
            Decoded d;
            test::decode_bytes(bytes, DecodeRequest{}, d);
            EXPECT_EQ(d.status, 0);
        }
    }
}

TEST(JpegDecoder, FactsPagesAndFlags) {
    test::TempDir dir;
    test::write_ppm(dir.path("in.ppm"), 40, 30, pattern);
    struct Case {
        const char* options;
        std::uint32_t samples, flags, page_flags;
    } cases[] = {
        {"", 3, kImageBaseline, kPageDirectColour | kPageJpegTiff},
        {"-progressive", 3, 0, kPageDirectColour | kPageJpegTiff},
        {"-arithmetic", 3, 0, kPageDirectColour | kPageJpegTiff},
        {"-grayscale", 1, kImageBaseline, kPageGrey | kPageJpegTiff},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.options);
        command_output(std::string("cjpeg ") + c.options + " " + dir.path("in.ppm") + " > " + dir.path("f.jpg"));
        auto bytes = read_file(dir.path("f.jpg"));
        auto d = decoder_for(bytes);
        ImageInfo info{};
        ASSERT_EQ(d->open(&info), 0);
        EXPECT_EQ(info.format, kFormatJpeg);
        EXPECT_EQ(info.samples_per_pixel, c.samples);
        EXPECT_EQ(info.bits_per_sample, 8u);
        EXPECT_EQ(info.pages, 1u);
        EXPECT_EQ(info.flags, c.flags);
        PageInfo page{};
        ASSERT_EQ(d->page_info(0, page), 0);
        EXPECT_EQ(page.flags, c.page_flags);
        EXPECT_EQ(d->page_info(1, page), kDecodeNoSuchPage);
        DecodeRequest second{};
        second.page = 1;
        DecodeResult result{};
        EXPECT_EQ(d->PageDecode(second, result), kDecodeNoSuchPage);
        metadata::ExifTagList* list = nullptr;
        EXPECT_EQ(d->get_metadata(0, &list), kDecodeNoMetadata);
        EXPECT_EQ(list, nullptr);
    }
}

// Embedded Exif thumbnails serve small targets of their orientation (or
// square ones), unless they are turned the other way from the picture.
TEST(JpegDecoder, ExifThumbnailSubstitution) {
    test::TempDir dir;
    std::string main = dir.path("main.jpg");
    command_output("convert -size 1600x1200 gradient:white-black -quality 60 " + main);
    command_output("convert -size 160x120 xc:red -quality 90 " + dir.path("land.jpg"));
    command_output("convert -size 120x160 xc:lime -quality 90 " + dir.path("port.jpg"));
    struct Case {
        const char* thumbnail;
        std::uint32_t tw, th, flags;
        int width, height;  // expected output
    } cases[] = {
        {"land.jpg", 64, 64, 0, 160, 120},                  // a square target takes either orientation
        {"port.jpg", 64, 64, 0, 200, 150},                  // turned from the picture: main at 1/8
        {"land.jpg", 160, 120, 0, 160, 120},
        {"land.jpg", 64, 48, 0, 80, 60},                    // thumbnail at 1/2
        {"land.jpg", 161, 120, 0, 200, 150},                // thumbnail too narrow: main at 1/8
        {"land.jpg", 64, 48, kDecodeNoThumbnail, 200, 150},  // thumbnails refused by the request
        {"land.jpg", 0, 0, 0, 1600, 1200},                  // full size never uses it
        {"port.jpg", 64, 48, 0, 200, 150},                  // portrait thumbnail, landscape target
        {"port.jpg", 48, 64, 0, 200, 150},                  // the same for a portrait target
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.thumbnail) + " " + std::to_string(c.tw) + "x" + std::to_string(c.th));
        std::string file = dir.path("with.jpg");
        command_output("cp " + main + " " + file + " && exiftool -q -overwrite_original '-ThumbnailImage<=" +
                  dir.path(c.thumbnail) + "' " + file);
        DecodeRequest request{};
        request.target_width = c.tw;
        request.target_height = c.th;
        request.flags = c.flags;
        Decoded d;
        test::decode_bytes(read_file(file), request, d);
        ASSERT_EQ(d.status, 0);
        Picture p = d.picture();
        EXPECT_EQ(p.width, c.width);
        EXPECT_EQ(p.height, c.height);
    }
}

// An uncompressed (TIFF) thumbnail: the Exif segment's second directory
// holds 4 × 2 RGB pixels in one strip.
TEST(JpegDecoder, UncompressedExifThumbnail) {
    test::TempDir dir;
    command_output("convert -size 400x200 xc:white -quality 80 " + dir.path("m.jpg"));
    auto jpeg = read_file(dir.path("m.jpg"));
    std::vector<std::uint8_t> p = {'E', 'x', 'i', 'f', 0, 0, 'I', 'I', 42, 0, 8, 0, 0, 0};
    auto u16 = [&](std::uint32_t v) { p.push_back(v & 0xFF), p.push_back((v >> 8) & 0xFF); };
    auto u32 = [&](std::uint32_t v) { u16(v & 0xFFFF), u16(v >> 16); };
    auto entry = [&](std::uint16_t tag, std::uint16_t type, std::uint32_t count, std::uint32_t value) {
        u16(tag), u16(type), u32(count);
        if (type == 3 && count == 1) u16(value), u16(0);
        else u32(value);
    };
    // IFD0 at 8: no entries, next IFD at 14.
    u16(0), u32(14);
    // IFD1 at 14: 8 entries, pixels at 14 + 2 + 96 + 4 = 116.
    u16(8);
    entry(256, 3, 1, 4);
    entry(257, 3, 1, 2);
    entry(258, 3, 1, 8);  // 8 bits for each of the 3 samples (count 1 is accepted by libtiff)
    entry(259, 3, 1, 1);
    entry(262, 3, 1, 2);
    entry(273, 4, 1, 116);
    entry(277, 3, 1, 3);
    entry(279, 4, 1, 24);
    u32(0);
    const std::uint8_t pixels[24] = {255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255,
                                     0, 0, 0, 10, 20, 30, 40, 50, 60, 70, 80, 90};
    p.insert(p.end(), pixels, pixels + 24);
    auto bytes = with_segment(jpeg, 0xE1, p);
    DecodeRequest request{};
    request.target_width = 2;
    request.target_height = 1;
    Decoded d;
    test::decode_bytes(bytes, request, d);
    ASSERT_EQ(d.status, 0);
    Picture pic = d.picture();
    ASSERT_EQ(pic.width, 4);
    ASSERT_EQ(pic.height, 2);
    EXPECT_EQ(std::vector<std::uint8_t>(pic.rgb.begin(), pic.rgb.end()),
              std::vector<std::uint8_t>(pixels, pixels + 24));
}

TEST(JpegDecoder, MetadataFromExifSegments) {
    test::TempDir dir;
    std::string file = dir.path("tags.jpg");
    command_output("convert -size 32x24 xc:gray " + file +
              " && exiftool -q -overwrite_original -Make=Brantel -FNumber=4 " + file);
    auto bytes = read_file(file);
    auto d = decoder_for(bytes);
    metadata::ExifTagList* list = nullptr;
    ASSERT_EQ(d->get_metadata(0, &list), 0);
    ASSERT_NE(list, nullptr);
    ASSERT_NE(list->find(271), nullptr);
    EXPECT_EQ(list->find(271)->text(), u"Brantel");
    EXPECT_NE(list->find(33437, 1), nullptr);
    EXPECT_EQ(d->free_metadata(list), 0);
    EXPECT_EQ(d->get_metadata(1, &list), kDecodeNoSuchPage);
}

std::vector<std::uint8_t> fpxr(std::uint16_t index, const std::vector<std::uint8_t>& stream) {
    std::vector<std::uint8_t> p = {'F', 'P', 'X', 'R', 0, 0, 2, static_cast<std::uint8_t>(index >> 8),
                                   static_cast<std::uint8_t>(index), 0, 0, 0, 0};
    p.insert(p.end(), stream.begin(), stream.end());
    return p;
}

TEST(JpegDecoder, AudioAnnotation) {
    test::TempDir dir;
    command_output("convert -size 8x8 xc:gray " + dir.path("a.jpg"));
    auto jpeg = read_file(dir.path("a.jpg"));
    std::vector<std::uint8_t> header(28, 0xEE);
    std::vector<std::uint8_t> first = header;
    for (char c : std::string("RIFFpart-one")) first.push_back(static_cast<std::uint8_t>(c));
    // Segments are inserted front-first: the second piece goes in first.
    auto audio = with_segment(with_segment(jpeg, 0xE2, fpxr(4, {'-', 't', 'w', 'o'})), 0xE2,
                              fpxr(4, first));
    auto d = decoder_for(audio);
    ImageInfo info{};
    ASSERT_EQ(d->open(&info), 0);
    EXPECT_TRUE(info.flags & kImageHasAudio);
    std::u16string path = text::to_utf16(dir.path("out.wav"));
    AudioRequest request{0, path.c_str()};
    ASSERT_EQ(d->extract_audio(request), 0);
    auto written = read_file(dir.path("out.wav"));
    EXPECT_EQ(std::string(written.begin(), written.end()), "RIFFpart-one-two");

    // Contents-list index 3 is not the audio stream.
    auto other = with_segment(jpeg, 0xE2, fpxr(3, first));
    auto d3 = decoder_for(other);
    ASSERT_EQ(d3->open(&info), 0);
    EXPECT_FALSE(info.flags & kImageHasAudio);
    std::u16string none = text::to_utf16(dir.path("none.wav"));
    EXPECT_EQ(d3->extract_audio(AudioRequest{0, none.c_str()}), kDecodeNoAudio);
    EXPECT_TRUE(read_file(dir.path("none.wav")).empty());
}

TEST(JpegDecoder, BrokenAndHostileFiles) {
    test::TempDir dir;
    test::write_ppm(dir.path("in.ppm"), 16, 16, pattern);
    command_output("cjpeg " + dir.path("in.ppm") + " > " + dir.path("a.jpg"));
    auto good = read_file(dir.path("a.jpg"));
    // Declared size 65000 × 65000 in a file of a few hundred bytes.
    auto huge = good;
    for (std::size_t i = 2; i + 9 < huge.size(); ++i) {
        if (huge[i] == 0xFF && huge[i + 1] == 0xC0) {
            huge[i + 5] = 0xFD, huge[i + 6] = 0xE8, huge[i + 7] = 0xFD, huge[i + 8] = 0xE8;
            break;
        }
    }
    std::vector<std::uint8_t> header_only(good.begin(), good.begin() + 20);
    std::vector<std::uint8_t> garbage = {0xFF, 0xD8, 0x00, 0x01, 0x02, 0x03};
    // Sizes found by fuzzing: a few hundred bytes claiming 49157 × 27397 or
    // 61472 × 32800 pixels, baseline and progressive (whose coefficients
    // the library itself would allocate).
    command_output("cjpeg -progressive " + dir.path("in.ppm") + " > " + dir.path("p.jpg"));
    auto claim = [](std::vector<std::uint8_t> bytes, std::uint16_t width, std::uint16_t height) {
        for (std::size_t i = 2; i + 9 < bytes.size(); ++i) {
            if (bytes[i] == 0xFF && (bytes[i + 1] == 0xC0 || bytes[i + 1] == 0xC2)) {
                bytes[i + 5] = height >> 8, bytes[i + 6] = height & 0xFF;
                bytes[i + 7] = width >> 8, bytes[i + 8] = width & 0xFF;
                break;
            }
        }
        return bytes;
    };
    const auto progressive = read_file(dir.path("p.jpg"));
    struct Case {
        const char* name;
        std::vector<std::uint8_t> bytes;
        int open, decode;
    } cases[] = {
        {"absurd size", huge, 0, kDecodeCorrupt},
        {"49157 x 27397", claim(good, 49157, 27397), 0, kDecodeCorrupt},
        {"61472 x 32800 progressive", claim(progressive, 61472, 32800), 0, kDecodeCorrupt},
        {"12000 x 9000 progressive", claim(progressive, 12000, 9000), 0, kDecodeCorrupt},
        {"header cut", header_only, kDecodeCorrupt, kDecodeCorrupt},
        {"garbage after SOI", garbage, kDecodeCorrupt, kDecodeCorrupt},
        {"empty", {}, kDecodeCorrupt, kDecodeCorrupt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto d = decoder_for(c.bytes);
        EXPECT_EQ(d->open(nullptr), c.open);
        DecodeResult result{};
        EXPECT_EQ(d->PageDecode(DecodeRequest{}, result), c.decode);
        EXPECT_EQ(result.bitmap, nullptr);
        if (c.open == 0) EXPECT_EQ(d->failure_reason(), kReasonImplausibleSize);
    }
}

TEST(JpegDecoder, RowDecodingAndCancel) {
    test::TempDir dir;
    test::write_ppm(dir.path("in.ppm"), 30, 20, pattern);
    command_output("cjpeg " + dir.path("in.ppm") + " > " + dir.path("a.jpg"));
    auto bytes = read_file(dir.path("a.jpg"));
    Decoded whole;
    test::decode_bytes(bytes, DecodeRequest{}, whole);
    ASSERT_EQ(whole.status, 0);
    auto d = decoder_for(bytes);
    RowFormat format{};
    ASSERT_EQ(d->begin_row_decoding(DecodeRequest{}, format), 0);
    EXPECT_EQ(format.bit_count, 24u);
    for (int r = 0; r < 20; ++r) {
        RowOutput row{};
        ASSERT_EQ(d->read_row(row), 0);
        EXPECT_EQ(row.rect[1], r);
        EXPECT_EQ(0, std::memcmp(row.row, whole.result.bitmap->bits + 92 * (19 - r), 90));
    }
    RowOutput past{};
    EXPECT_EQ(d->read_row(past), kDecodeNotOpened);

    DecodeRequest cancel{};
    cancel.progress = [](std::intptr_t, int row, int) { return row < 5 ? 1 : 0; };
    Decoded cancelled;
    test::decode_bytes(bytes, cancel, cancelled);
    EXPECT_EQ(cancelled.status, kDecodeCancelled);
    EXPECT_EQ(cancelled.result.bitmap, nullptr);
}

}  // namespace
}  // namespace qelvio::decoding
