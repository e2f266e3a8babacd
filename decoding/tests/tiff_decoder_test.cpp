#include "decoding/tiff_decoder.h"

#include "decoding/bitmap_output.h"
#include "decoding/refusal.h"
#include "decoding/tests/test_support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

namespace qelvio::decoding {
namespace {

using test::Decoded;
using test::Picture;

std::uint32_t pattern(int x, int y) {
    return static_cast<std::uint32_t>((x * 6) & 0xFF) << 16 |
           static_cast<std::uint32_t>((y * 10) & 0xFF) << 8 | static_cast<std::uint32_t>((x + 2 * y) & 0xFF);
}

std::unique_ptr<TiffDecoder> decoder_for(const std::vector<std::uint8_t>& bytes, bool exif = false) {
    return std::make_unique<TiffDecoder>(
        memory_data_source(bytes.data(), static_cast<std::uint32_t>(bytes.size())), exif);
}

// A little-endian uncompressed TIFF with one strip, from our own bytes.
struct TiffLayout {
    std::uint32_t width = 4, height = 2;
    std::uint16_t bits = 8, samples = 1, photometric = 1;
    std::vector<std::pair<std::uint16_t, std::uint32_t>> extra;  // SHORT tags
    std::vector<std::uint16_t> colour_map;                       // 3 × 2^bits values
    std::pair<std::uint32_t, std::uint32_t> resolution{0, 0};    // x, y (dpi)
    std::vector<std::uint8_t> pixels;
};

std::vector<std::uint8_t> make_tiff(const TiffLayout& s) {
    std::vector<std::uint8_t> b = {'I', 'I', 42, 0, 0, 0, 0, 0};
    auto u16 = [&](std::uint32_t v) { b.push_back(v & 0xFF), b.push_back((v >> 8) & 0xFF); };
    auto u32 = [&](std::uint32_t v) { u16(v & 0xFFFF), u16(v >> 16); };
    // Data first: pixels, colour map, resolutions; then the directory.
    std::uint32_t pixels_at = 8;
    for (std::uint8_t px : s.pixels) b.push_back(px);
    if (b.size() & 1) b.push_back(0);
    auto map_at = static_cast<std::uint32_t>(b.size());
    for (std::uint16_t v : s.colour_map) u16(v);
    auto res_at = static_cast<std::uint32_t>(b.size());
    u32(s.resolution.first), u32(1), u32(s.resolution.second), u32(1);
    auto dir = static_cast<std::uint32_t>(b.size());
    b[4] = dir & 0xFF, b[5] = (dir >> 8) & 0xFF, b[6] = (dir >> 16) & 0xFF;
    struct E {
        std::uint16_t tag, type;
        std::uint32_t count, value;
    };
    std::vector<E> e = {{256, 4, 1, s.width}, {257, 4, 1, s.height}, {258, 3, 1, s.bits},
                        {259, 3, 1, 1}, {262, 3, 1, s.photometric}, {273, 4, 1, pixels_at},
                        {277, 3, 1, s.samples}, {278, 4, 1, s.height},
                        {279, 4, 1, static_cast<std::uint32_t>(s.pixels.size())}};
    if (s.resolution.second) {
        e.push_back({282, 5, 1, res_at});
        e.push_back({283, 5, 1, res_at + 8});
    }
    if (!s.colour_map.empty()) e.push_back({320, 3, static_cast<std::uint32_t>(s.colour_map.size()), map_at});
    for (auto [tag, value] : s.extra) e.push_back({tag, 3, 1, value});
    std::sort(e.begin(), e.end(), [](const E& a, const E& c) { return a.tag < c.tag; });
    u16(static_cast<std::uint32_t>(e.size()));
    for (const E& x : e) {
        u16(x.tag), u16(x.type), u32(x.count);
        if (x.type == 3 && x.count == 1) u16(x.value), u16(0);
        else u32(x.value);
    }
    u32(0);
    return b;
}

TEST(TiffDecoder, MatchesImageMagickOnFilesItWrites) {
    test::TempDir dir;
    test::write_ppm(dir.path("in.ppm"), 37, 23, pattern);
    struct Case {
        const char* name;
        const char* command;  // %i input, %o output
        int tolerance;
    } cases[] = {
        {"rgb", "convert %i -depth 8 %o", 0},
        {"packbits", "convert %i -depth 8 -compress RLE %o", 0},
        {"palette 4-bit", "convert %i -colors 16 -type Palette %o", 1},
        {"palette 8-bit", "convert %i -colors 100 -type Palette -depth 8 %o", 1},
        {"grey 8-bit", "convert %i -colorspace gray -depth 8 %o", 0},
        {"grey 16-bit", "convert %i -colorspace gray -depth 16 %o", 1},
        {"rgb 16-bit", "convert %i -depth 16 %o", 1},
        {"cmyk", "convert %i -depth 8 -colorspace CMYK %o", 1},
        {"bilevel", "convert %i -monochrome %o", 0},
        {"tiled", "convert %i -depth 8 %o.strip.tif && tiffcp -t -w 16 -l 16 %o.strip.tif %o", 0},
        {"jpeg ycbcr", "convert %i -depth 8 %o.strip.tif && tiffcp -c jpeg:r %o.strip.tif %o", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string out = dir.path("case.tif");
        std::string command = c.command;
        for (std::size_t at; (at = command.find("%i")) != std::string::npos;) command.replace(at, 2, dir.path("in.ppm"));
        for (std::size_t at; (at = command.find("%o")) != std::string::npos;) command.replace(at, 2, out);
        command_output(command);
        Decoded d;
        test::decode_file(out, d);
        ASSERT_EQ(d.status, 0);
        EXPECT_EQ(d.info.format, kFormatTiff);
        EXPECT_EQ(test::difference(d.picture(), test::magick_picture(out), c.tolerance), "");
    }
}

TEST(TiffDecoder, WhiteIsZeroTableAndTwoBitPages) {
    TiffLayout s;
    s.photometric = 0;
    s.pixels = {0, 64, 128, 255, 255, 128, 64, 0};
    auto bytes = make_tiff(s);
    Decoded d;
    test::decode_bytes(bytes, DecodeRequest{}, d);
    ASSERT_EQ(d.status, 0);
    const imaging::RgbQuad* table = header_colours(d.result.header);
    EXPECT_EQ(table[0].red, 255);
    EXPECT_EQ(table[255].red, 0);
    EXPECT_EQ(table[64].green, 191);
    test::TempDir dir;
    write_file(dir.path("w.tif"), bytes);
    EXPECT_EQ(test::difference(d.picture(), test::magick_picture(dir.path("w.tif"))), "");

    TiffLayout two;  // 2 bits: four grey levels, one byte a pixel
    two.bits = 2;
    two.pixels = {0x1B, 0xE4};  // 0 1 2 3 / 3 2 1 0
    Decoded d2;
    test::decode_bytes(make_tiff(two), DecodeRequest{}, d2);
    ASSERT_EQ(d2.status, 0);
    EXPECT_EQ(header_fields(d2.result.header)->bit_count, 8);
    Picture p = d2.picture();
    std::vector<std::uint8_t> greys;
    for (std::size_t i = 0; i < p.rgb.size(); i += 3) greys.push_back(p.rgb[i]);
    EXPECT_EQ(greys, (std::vector<std::uint8_t>{0, 85, 170, 255, 255, 170, 85, 0}));
}

// Signed samples (sample format 2) run from the most negative value, black,
// to the most positive, white, as ImageMagick shows 16-bit grey ones (it
// reads 8-bit and colour signed samples as unsigned); floating-point
// samples are refused with their reason.
TEST(TiffDecoder, SignedAndFloatingPointSamples) {
    test::TempDir dir;
    struct Case {
        const char* name;
        std::uint16_t bits, samples, photometric;
        std::vector<std::uint8_t> pixels;  // little-endian samples
        std::vector<std::uint8_t> reds;
        bool magick = false;
    } cases[] = {
        {"grey 16-bit", 16, 1, 1, {0x00, 0x80, 0xFF, 0xFF, 0x00, 0x00, 0xFF, 0x7F}, {0, 127, 128, 255}, true},
        {"grey 8-bit", 8, 1, 1, {0x80, 0xFF, 0x00, 0x7F}, {0, 127, 128, 255}},
        {"rgb 16-bit", 16, 3, 2,
         {0x00, 0x80, 0x00, 0x00, 0xFF, 0x7F, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
          0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00, 0xFF, 0x7F, 0x00, 0x80, 0x00, 0x80},
         {0, 128, 127, 255}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TiffLayout s;
        s.height = 1;
        s.bits = c.bits, s.samples = c.samples, s.photometric = c.photometric;
        s.extra = {{339, 2}};
        s.pixels = c.pixels;
        const auto bytes = make_tiff(s);
        Decoded d;
        test::decode_bytes(bytes, DecodeRequest{}, d);
        ASSERT_EQ(d.status, 0);
        const Picture p = d.picture();
        std::vector<std::uint8_t> reds;
        for (int x = 0; x < p.width; ++x) reds.push_back(p.channel(x, 0, 0));
        EXPECT_EQ(reds, c.reds);
        if (!c.magick) continue;
        write_file(dir.path("signed.tif"), bytes);
        EXPECT_EQ(test::difference(p, test::magick_picture(dir.path("signed.tif")), 1), "");
    }
    TiffLayout f;
    f.height = 1;
    f.bits = 32;
    f.extra = {{339, 3}};
    f.pixels.assign(16, 0);
    const auto floats = make_tiff(f);
    auto d = decoder_for(floats);
    EXPECT_EQ(d->open(nullptr), kDecodeNotSupported);
    EXPECT_EQ(d->failure_reason(), kReasonTiffSampleFormat);
}

TEST(TiffDecoder, OrientationFlips) {
    TiffLayout s;
    s.width = 3, s.height = 2, s.samples = 3, s.photometric = 2;
    s.pixels = {1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4, 5, 5, 5, 6, 6, 6};
    struct Case {
        std::uint16_t orientation;
        std::vector<std::uint8_t> reds;  // top-left first
    } cases[] = {
        {1, {1, 2, 3, 4, 5, 6}}, {2, {3, 2, 1, 6, 5, 4}}, {3, {6, 5, 4, 3, 2, 1}},
        {4, {4, 5, 6, 1, 2, 3}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.orientation);
        s.extra = {{274, c.orientation}};
        Decoded d;
        test::decode_bytes(make_tiff(s), DecodeRequest{}, d);
        ASSERT_EQ(d.status, 0);
        Picture p = d.picture();
        std::vector<std::uint8_t> reds;
        for (std::size_t i = 0; i < p.rgb.size(); i += 3) reds.push_back(p.rgb[i]);
        EXPECT_EQ(reds, c.reds);
    }
}

// A low-resolution fax page (204 × 98 dpi) shows every scanline twice.
TEST(TiffDecoder, FaxRowDoubling) {
    test::TempDir dir;
    test::write_ppm(dir.path("in.ppm"), 37, 23, pattern);
    std::string fax = dir.path("fax.tif");
    command_output("convert " + dir.path("in.ppm") + " -monochrome -compress Fax -density 204x98 -units PixelsPerInch " + fax);
    Decoded d;
    test::decode_file(fax, d);
    ASSERT_EQ(d.status, 0);
    EXPECT_EQ(d.info.height, 23u);
    auto bytes = read_file(fax);
    auto decoder = decoder_for(bytes);
    PageInfo page{};
    ASSERT_EQ(decoder->page_info(0, page), 0);
    EXPECT_EQ(page.height, 46u);
    EXPECT_EQ(page.flags, kPageGrey | kPageJpegTiff);
    EXPECT_EQ(test::difference(d.picture(), test::magick_picture(fax, "-sample 100%x200%")), "");
}

// Sets the value of a tag of the directory `which` (0 first) of a
// little-endian TIFF in place; a missing tag fails the test.
void set_tag_value(std::vector<std::uint8_t>& b, std::uint16_t tag, std::uint32_t value, int which = 0,
                   std::uint16_t new_tag = 0) {
    auto u16 = [&](std::size_t at) { return static_cast<std::uint32_t>(b[at] | b[at + 1] << 8); };
    auto u32 = [&](std::size_t at) { return u16(at) | u16(at + 2) << 16; };
    std::size_t dir = u32(4);
    for (int i = 0; i < which; ++i) dir = u32(dir + 2 + 12 * u16(dir));
    for (std::uint32_t i = 0, n = u16(dir); i < n; ++i) {
        std::size_t e = dir + 2 + 12 * i;
        if (u16(e) != tag) continue;
        if (new_tag) b[e] = new_tag & 0xFF, b[e + 1] = new_tag >> 8;
        if (u16(e + 2) == 3 && u32(e + 4) == 1) b[e + 8] = value & 0xFF, b[e + 9] = (value >> 8) & 0xFF;
        else for (int k = 0; k < 4; ++k) b[e + 8 + k] = (value >> (8 * k)) & 0xFF;
        return;
    }
    ADD_FAILURE() << "no tag " << tag;
}

TEST(TiffDecoder, LzwOnlyAsExifThumbnail) {
    test::TempDir dir;
    test::write_ppm(dir.path("in.ppm"), 20, 10, pattern);
    std::string file = dir.path("lzw.tif");
    command_output("convert " + dir.path("in.ppm") + " -depth 8 -compress LZW " + file);
    auto bytes = read_file(file);
    auto refused = decoder_for(bytes);
    EXPECT_EQ(refused->open(nullptr), kDecodeNoDecoder);
    EXPECT_EQ(refused->failure_reason(), kReasonLzwTiff);
    auto thumbnail = decoder_for(bytes, true);
    ASSERT_EQ(thumbnail->open(nullptr), 0);
    DecodeResult result{};
    ASSERT_EQ(thumbnail->PageDecode(DecodeRequest{}, result), 0);
    EXPECT_EQ(test::difference(test::result_picture(result), test::magick_picture(file)), "");
    release_decode_result(result);
}

// Compressions outside the accepted list (Adobe Deflate, as ImageMagick
// writes -compress Zip) and sample arrangements libtiff cannot read are
// refused with their reason, not as a file no decoder knows.
TEST(TiffDecoder, RefusalsSayWhy) {
    test::TempDir dir;
    test::write_ppm(dir.path("in.ppm"), 20, 10, pattern);
    command_output("convert " + dir.path("in.ppm") + " -depth 8 -compress Zip " + dir.path("zip.tif"));
    const auto zip = read_file(dir.path("zip.tif"));
    ASSERT_NE(command_output("tiffinfo " + dir.path("zip.tif") + " 2>&1").find("AdobeDeflate"), std::string::npos);
    auto deflate = decoder_for(zip);
    EXPECT_EQ(deflate->open(nullptr), kDecodeNoDecoder);
    EXPECT_EQ(deflate->failure_reason(), kReasonTiffCompression);

    TiffLayout one_sample_rgb;  // photometric RGB with one sample: no RGBA reading
    one_sample_rgb.photometric = 2;
    one_sample_rgb.pixels.assign(8, 0x55);
    const auto odd = make_tiff(one_sample_rgb);
    auto layout = decoder_for(odd);
    EXPECT_EQ(layout->open(nullptr), kDecodeFailed);
    EXPECT_EQ(layout->failure_reason(), kReasonTiffLayout);
}

// A second directory holding a 160 × 120 preview of a 1600 × 1200 image
// serves the 64 × 64 thumbnail; a 640 × 480 request gets the main image.
TEST(TiffDecoder, ReducedSecondDirectory) {
    test::TempDir dir;
    command_output("convert -size 1600x1200 gradient:red-blue -depth 8 -compress LZW " + dir.path("main.tif") +
              " && convert -size 160x120 xc:lime -depth 8 " + dir.path("preview.tif") +
              " && convert " + dir.path("main.tif") + " -compress RLE " + dir.path("main_pb.tif") +
              " && tiffcp " + dir.path("main_pb.tif") + " " + dir.path("preview.tif") + " " + dir.path("two.tif"));
    auto bytes = read_file(dir.path("two.tif"));
    auto d = decoder_for(bytes);
    ImageInfo info{};
    ASSERT_EQ(d->open(&info), 0);
    EXPECT_EQ(info.pages, 2u);
    EXPECT_EQ(info.flags, kImageMultiPage);
    struct Case {
        std::uint32_t tw, th;
        int width;
    } cases[] = {{64, 64, 160}, {160, 120, 160}, {640, 480, 1600}, {0, 0, 1600}};  // 0 × 0: full size
    for (const Case& c : cases) {
        SCOPED_TRACE(c.tw);
        DecodeRequest request{};
        request.target_width = c.tw;
        request.target_height = c.th;
        DecodeResult result{};
        ASSERT_EQ(d->PageDecode(request, result), 0);
        EXPECT_EQ(test::result_picture(result).width, c.width);
        release_decode_result(result);
    }
    PageInfo page{};
    ASSERT_EQ(d->page_info(1, page), 0);
    EXPECT_EQ(page.width, 160u);
    EXPECT_EQ(d->page_info(2, page), kDecodeNoSuchPage);
    metadata::ExifTagList* list = nullptr;
    EXPECT_EQ(d->get_metadata(0, &list), kDecodeNoMetadata);
}

// Tiled greyscale pages of fewer than 8 bits (read through libtiff's RGBA
// reader, which scales them to 0..255) show ImageMagick's greys, not black.
TEST(TiffDecoder, TiledGreyBelowEightBits) {
    test::TempDir dir;
    test::write_ppm(dir.path("in.ppm"), 150, 100, pattern);
    struct Case {
        const char* name;
        const char* options;
    } cases[] = {
        {"1 bit", "-colorspace Gray -threshold 50% -depth 1"},
        {"4 bits", "-colorspace Gray -depth 4"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string strips = dir.path("strips.tif"), tiled = dir.path("tiled.tif");
        command_output("convert " + dir.path("in.ppm") + " " + c.options + " -compress None " + strips +
                       " && tiffcp -t -w 16 -l 16 " + strips + " " + tiled);
        ASSERT_NE(command_output("tiffinfo " + tiled).find("Tile Width: 16"), std::string::npos);
        Decoded d;
        test::decode_file(tiled, d);
        ASSERT_EQ(d.status, 0);
        EXPECT_EQ(test::difference(d.picture(), test::magick_picture(tiled)), "");
    }
}

// A second directory that libtiff cannot read, or that the decoder refuses,
// is never decoded from: page 0 comes from the first directory whatever the
// target, and page 1 is refused (a directory that failed to load once made
// libtiff divide by zero reading scanlines from it).
TEST(TiffDecoder, BrokenSecondDirectory) {
    test::TempDir dir;
    command_output("convert -size 200x150 gradient:red-blue -depth 8 -compress None " + dir.path("main.tif") +
                   " && convert -size 20x15 xc:lime -depth 8 -compress None " + dir.path("preview.tif") +
                   " && tiffcp " + dir.path("main.tif") + " " + dir.path("preview.tif") + " " + dir.path("two.tif") +
                   " && tiffcp -t -w 16 -l 16 " + dir.path("main.tif") + " " + dir.path("preview.tif") + " " +
                   dir.path("two_tiled.tif"));
    const auto two = read_file(dir.path("two.tif"));
    const auto two_tiled = read_file(dir.path("two_tiled.tif"));
    const Picture main = test::magick_picture(dir.path("main.tif"));
    struct Case {
        const char* name;
        std::uint16_t tag, renamed;
        std::uint32_t value;
        bool page1_readable;
    } cases[] = {
        {"tile width 0", 322, 322, 0, false},
        {"tile length 0", 323, 323, 0, false},
        {"rows per strip 0", 278, 278, 0, false},
        {"bits per sample unreadable", 258, 258, 0, false},
        {"no image length", 257, 65000, 15, false},
        {"no strip offsets", 273, 65001, 0, false},
        {"no strip byte counts, rows per strip 0", 279, 65002, 0, false},
        {"LZW preview", 259, 259, 5, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto bytes = c.tag == 322 || c.tag == 323 ? two_tiled : two;
        if (c.renamed == 65002) set_tag_value(bytes, 278, 0, 1);
        set_tag_value(bytes, c.tag, c.value, 1, c.renamed);
        for (std::uint32_t target : {64u, 0u, 640u}) {
            SCOPED_TRACE(target);
            auto d = decoder_for(bytes);
            ImageInfo info{};
            ASSERT_EQ(d->open(&info), 0);
            EXPECT_EQ(info.pages, 2u);
            DecodeRequest request{};
            request.target_width = request.target_height = target;
            DecodeResult result{};
            ASSERT_EQ(d->PageDecode(request, result), 0);
            EXPECT_EQ(test::difference(test::result_picture(result), main), "");
            release_decode_result(result);
            PageInfo page{};
            EXPECT_EQ(d->page_info(1, page) == 0, c.page1_readable);
            request.page = 1;
            EXPECT_NE(d->PageDecode(request, result), 0);
            EXPECT_EQ(result.header, nullptr);
            // The first directory again after the failed one.
            EXPECT_EQ(d->page_info(0, page), 0);
            EXPECT_EQ(page.width, 200u);
        }
    }
}

TEST(TiffDecoder, BrokenFiles) {
    TiffLayout s;
    s.pixels = {1, 2, 3, 4, 5, 6, 7, 8};
    auto good = make_tiff(s);
    struct Case {
        const char* name;
        std::vector<std::uint8_t> bytes;
        int open;
    } cases[] = {
        {"not a TIFF", {'I', 'I', 43, 0, 8, 0, 0, 0}, kDecodeNoDecoder},
        {"directory past the end", {'I', 'I', 42, 0, 0xFF, 0, 0, 0}, kDecodeNoDecoder},
        {"header only", {'I', 'I'}, kDecodeNoDecoder},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(decoder_for(c.bytes)->open(nullptr), c.open);
    }
    // Three samples called grey, one sample called RGB: rows of the wrong
    // width must not be written into the bitmap (found by fuzzing). The
    // RGBA reader takes them, as ImageMagick does, at the full width.
    for (auto [samples, photometric] : {std::pair<int, int>{3, 1}, {4, 0}, {1, 2}}) {
        SCOPED_TRACE(samples);
        TiffLayout odd;
        odd.width = 40;
        odd.samples = static_cast<std::uint16_t>(samples);
        odd.photometric = static_cast<std::uint16_t>(photometric);
        odd.pixels.assign(40 * 2 * static_cast<std::size_t>(samples), 0x55);
        Decoded d;
        test::decode_bytes(make_tiff(odd), DecodeRequest{}, d);
        if (samples == 1) {
            // One sample cannot be RGB: libtiff's RGBA reader refuses it.
            EXPECT_NE(d.status, 0);
            continue;
        }
        ASSERT_EQ(d.status, 0);
        EXPECT_EQ(d.picture().width, 40);
        EXPECT_EQ(d.picture().height, 2);
    }
    // Pixel data cut short (the strip runs past the end of the file): a
    // status, never a crash or a picture made of whatever lies beyond.
    auto cut_strip = good;
    set_tag_value(cut_strip, 273, static_cast<std::uint32_t>(cut_strip.size() - 3));
    {
        auto d = decoder_for(cut_strip);
        ASSERT_EQ(d->open(nullptr), 0);
        DecodeResult result{};
        EXPECT_EQ(d->PageDecode(DecodeRequest{}, result), kDecodeCorrupt);
        EXPECT_EQ(result.header, nullptr);
    }
    auto cut = good;
    cut.erase(cut.begin() + 10, cut.begin() + 16);  // the directory moves: its offset points into it
    auto d = decoder_for(cut);
    DecodeResult result{};
    int st = d->open(nullptr);
    if (st == 0) st = d->PageDecode(DecodeRequest{}, result);
    EXPECT_NE(st, 0);
    EXPECT_EQ(result.header, nullptr);
    release_decode_result(result);
}

}  // namespace
}  // namespace qelvio::decoding
