#include "decoding/bmp_decoder.h"

#include "decoding/bitmap_output.h"
#include "decoding/refusal.h"
#include "decoding/tests/test_support.h"

#include <gtest/gtest.h>

#include <cstring>

namespace qelvio::decoding {
namespace {

using test::Decoded;
using test::Picture;

// Builds a BMP file: 14-byte file header, a 40-byte (or 12-byte core)
// information header, optional masks, colour table, then the pixel bytes.
struct BmpLayout {
    std::int32_t width = 4, height = 2;
    std::uint16_t bits = 8;
    std::uint32_t compression = 0;
    std::uint32_t header_size = 40;
    std::uint32_t colours_used = 0;
    std::vector<std::uint32_t> palette;  // 0x00RRGGBB
    std::vector<std::uint32_t> masks;
    std::vector<std::uint8_t> pixels;
};

void put(std::vector<std::uint8_t>& b, std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

std::vector<std::uint8_t> make_bmp(const BmpLayout& s) {
    std::vector<std::uint8_t> b = {'B', 'M'};
    const bool core = s.header_size == 12;
    std::uint32_t table = static_cast<std::uint32_t>(s.palette.size()) * (core ? 3 : 4);
    std::uint32_t offset = 14 + s.header_size + 4 * static_cast<std::uint32_t>(s.masks.size()) + table;
    put(b, offset + static_cast<std::uint32_t>(s.pixels.size()), 4);
    put(b, 0, 4);
    put(b, offset, 4);
    put(b, s.header_size, 4);
    if (core) {
        put(b, static_cast<std::uint32_t>(s.width), 2);
        put(b, static_cast<std::uint32_t>(s.height), 2);
        put(b, 1, 2);
        put(b, s.bits, 2);
    } else {
        put(b, static_cast<std::uint32_t>(s.width), 4);
        put(b, static_cast<std::uint32_t>(s.height), 4);
        put(b, 1, 2);
        put(b, s.bits, 2);
        put(b, s.compression, 4);
        put(b, static_cast<std::uint32_t>(s.pixels.size()), 4);
        put(b, 2835, 4);
        put(b, 2835, 4);
        std::uint32_t used = s.colours_used;
        if (!used && !s.palette.empty() && s.bits <= 8 && s.palette.size() < (1u << s.bits))
            used = static_cast<std::uint32_t>(s.palette.size());
        put(b, used, 4);
        put(b, 0, 4);
        for (std::uint32_t i = 40; i < s.header_size; ++i) b.push_back(0);
    }
    for (std::uint32_t m : s.masks) put(b, m, 4);
    for (std::uint32_t c : s.palette) {
        b.push_back(static_cast<std::uint8_t>(c));
        b.push_back(static_cast<std::uint8_t>(c >> 8));
        b.push_back(static_cast<std::uint8_t>(c >> 16));
        if (!core) b.push_back(0);
    }
    b.insert(b.end(), s.pixels.begin(), s.pixels.end());
    return b;
}

// A colourful 37 × 23 pattern: odd width exercises row padding.
std::uint32_t pattern(int x, int y) {
    return static_cast<std::uint32_t>((x * 7) & 0xFF) << 16 | static_cast<std::uint32_t>((y * 11) & 0xFF) << 8 |
           static_cast<std::uint32_t>(((x + y) * 5) & 0xFF);
}

Picture masked(Picture p, std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    for (std::size_t i = 0; i < p.rgb.size(); i += 3) {
        p.rgb[i] &= red;
        p.rgb[i + 1] &= green;
        p.rgb[i + 2] &= blue;
    }
    return p;
}

// ImageMagick writes the files; our decode must equal its decode.
TEST(BmpDecoder, MatchesImageMagickOnFilesItWrites) {
    test::TempDir dir;
    test::write_ppm(dir.path("in.ppm"), 37, 23, pattern);
    struct Case {
        const char* name;
        const char* options;
        const char* output;
        std::uint32_t bits;  // expected bits per sample in the facts
        bool mask565;        // 5-6-5 channels: compare the significant bits
    } cases[] = {
        {"24-bit", "", "BMP3:", 8, false},
        {"8-bit palette", "-colors 200", "BMP3:", 8, false},
        {"4-bit palette", "-colors 12", "BMP3:", 4, false},
        {"1-bit palette", "-colors 2", "BMP3:", 1, false},
        {"8-bit run length", "-colors 200 -compress RLE", "BMP3:", 8, false},
        {"core header 24-bit", "", "BMP2:", 8, false},
        {"core header 4-bit", "-colors 12", "BMP2:", 4, false},
        {"version 5 header", "", "BMP:", 8, false},
        {"bit fields 5-6-5", "-define bmp:subtype=RGB565", "BMP:", 5, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string file = dir.path(std::string(c.name) + ".bmp");
        for (char& ch : file)
            if (ch == ' ') ch = '_';
        command_output(std::string("convert ") + dir.path("in.ppm") + " " + c.options + " " + c.output +
                  file);
        Decoded d;
        test::decode_file(file, d);
        ASSERT_EQ(d.status, 0);
        EXPECT_EQ(d.info.format, kFormatBmp);
        EXPECT_EQ(d.info.bits_per_sample, c.bits);
        Picture expected = test::magick_picture(file);
        ASSERT_EQ(expected.width, 37);
        if (c.mask565) expected = masked(expected, 0xF8, 0xFC, 0xF8);
        EXPECT_EQ(test::difference(d.picture(), expected), "");
    }
}

// Files made from our own byte tables, checked against ImageMagick's
// reading of the same bytes.
TEST(BmpDecoder, HandMadeFilesMatchImageMagick) {
    test::TempDir dir;
    struct Case {
        const char* name;
        BmpLayout layout;
    };
    std::vector<Case> cases;
    {
        BmpLayout s;  // 4-bit run length: runs alternate nibbles, absolute runs padded
        s.width = 7, s.height = 3, s.bits = 4, s.compression = 2;
        s.palette = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00, 0x00FFFF, 0xFF00FF, 0xFFFFFF,
                     0x808080, 0x800000, 0x008000, 0x000080, 0x808000, 0x008080, 0x800080, 0xC0C0C0};
        s.pixels = {7, 0x12, 0, 0,               // row 0: 1 2 1 2 1 2 1
                    0, 5, 0x34, 0x56, 0x70, 0, 2, 0x89, 0, 0,  // row 1: absolute 3 4 5 6 7, run 8 9
                    3, 0xAB, 0, 2, 2, 0, 2, 0xCD, 0, 1};     // row 2: A B A, skip 2, C D, end
        cases.push_back({"rle4", s});
    }
    {
        BmpLayout s;  // 8-bit run length with a delta and an odd absolute run
        s.width = 6, s.height = 2, s.bits = 8, s.compression = 1;
        s.palette = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF};
        s.pixels = {2, 1, 0, 3, 2, 3, 4, 0, 1, 1, 0, 0,  // row 0: 1 1 2 3 4 1
                    0, 2, 3, 0, 3, 4, 0, 0, 0, 1};       // row 1: skip 3, 4 4 4
        cases.push_back({"rle8 delta", s});
    }
    {
        BmpLayout s;  // top-down 24-bit: negative height
        s.width = 3, s.height = -2, s.bits = 24;
        s.pixels = {0, 0, 255, 0, 255, 0, 255, 0, 0, 0, 0, 0,
                    255, 255, 255, 0, 0, 0, 128, 128, 128, 0, 0, 0};
        cases.push_back({"top-down", s});
    }
    {
        BmpLayout s;  // 32-bit without bit fields: blue, green, red, unused
        s.width = 2, s.height = 2, s.bits = 32;
        s.pixels = {10, 20, 30, 0, 40, 50, 60, 0, 70, 80, 90, 0, 100, 110, 120, 0};
        cases.push_back({"32-bit", s});
    }
    {
        BmpLayout s;  // 32-bit bit fields in an unusual order
        s.width = 2, s.height = 1, s.bits = 32, s.compression = 3;
        s.masks = {0x000000FF, 0x0000FF00, 0x00FF0000};
        s.pixels = {1, 2, 3, 0, 200, 100, 50, 0};
        cases.push_back({"32-bit bit fields", s});
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string file = dir.path("case.bmp");
        write_file(file, make_bmp(c.layout));
        Decoded d;
        test::decode_file(file, d);
        ASSERT_EQ(d.status, 0);
        EXPECT_EQ(test::difference(d.picture(), test::magick_picture(file)), "");
        // Every bitmap we hand out is bottom-up with a positive height.
        EXPECT_GT(header_fields(d.result.header)->height, 0);
    }
}

TEST(BmpDecoder, RunsPastTheRowAreDropped) {
    BmpLayout s;
    s.width = 3, s.height = 2, s.bits = 8, s.compression = 1;
    s.palette = {0x000000, 0xFF0000, 0x00FF00};
    s.pixels = {5, 1, 0, 0,           // bottom row: 1 1 1, two pixels dropped
                1, 2, 0, 4, 1, 1, 1, 1, 0, 1};  // top row: 2, absolute 1 1 1 1 clipped
    Decoded d;
    test::decode_bytes(make_bmp(s), DecodeRequest{}, d);
    ASSERT_EQ(d.status, 0);
    Picture p = d.picture();
    std::vector<std::uint8_t> expected = {0, 255, 0, 255, 0, 0, 255, 0, 0,
                                          255, 0, 0, 255, 0, 0, 255, 0, 0};
    EXPECT_EQ(p.rgb, expected);
}

// A 4-bit absolute run of v pixels takes (v + 1) / 2 bytes; reading more
// would run past a file that ends there (found by fuzzing).
TEST(BmpDecoder, FourBitAbsoluteRunAtTheEndOfTheData) {
    BmpLayout s;
    s.width = 8, s.height = 1, s.bits = 4, s.compression = 2;
    s.palette.assign(16, 0x808080);
    s.palette[1] = 0xFF0000, s.palette[2] = 0x00FF00;
    s.pixels = {0, 8, 0x12, 0x12, 0x12, 0x12};  // absolute run of 8, then the data ends
    auto bytes = make_bmp(s);
    std::vector<std::uint8_t> exact(bytes.begin(), bytes.end());
    Decoded d;
    test::decode_bytes(exact, DecodeRequest{}, d);
    EXPECT_EQ(d.status, kDecodeTruncated);  // no end-of-line pair follows
    s.pixels.insert(s.pixels.end(), {0, 1});
    Decoded ok;
    test::decode_bytes(make_bmp(s), DecodeRequest{}, ok);
    ASSERT_EQ(ok.status, 0);
    EXPECT_EQ(ok.picture().rgb[0], 255);
    EXPECT_EQ(ok.picture().rgb[4], 255);
}

TEST(BmpDecoder, SixteenBitWithoutBitFieldsIsFiveFiveFive) {
    BmpLayout s;
    s.width = 2, s.height = 1, s.bits = 16;
    s.pixels = {0xFF, 0x7F, 0x1F, 0x00};  // white 0x7FFF, blue 0x001F
    Decoded d;
    test::decode_bytes(make_bmp(s), DecodeRequest{}, d);
    ASSERT_EQ(d.status, 0);
    EXPECT_EQ(d.info.bits_per_sample, 5u);
    EXPECT_EQ(d.info.samples_per_pixel, 3u);
    EXPECT_EQ(d.picture().rgb, (std::vector<std::uint8_t>{248, 248, 248, 0, 0, 248}));
}

TEST(BmpDecoder, CoreHeaderUsesThreeByteColourEntries) {
    BmpLayout s;
    s.header_size = 12;
    s.width = 2, s.height = 1, s.bits = 1;
    s.palette = {0x102030, 0xA0B0C0};
    s.pixels = {0x40, 0, 0, 0};  // pixels 0, 1
    Decoded d;
    test::decode_bytes(make_bmp(s), DecodeRequest{}, d);
    ASSERT_EQ(d.status, 0);
    EXPECT_EQ(d.picture().rgb, (std::vector<std::uint8_t>{0x10, 0x20, 0x30, 0xA0, 0xB0, 0xC0}));
}

TEST(BmpDecoder, FactsAndPageInformation) {
    struct Case {
        std::uint16_t bits;
        std::uint32_t compression;
        std::vector<std::uint32_t> masks;
        std::uint32_t bits_per_sample, samples, page_flags;
    } cases[] = {
        {1, 0, {}, 1, 1, kPagePalette},  {4, 0, {}, 4, 1, kPagePalette},
        {8, 0, {}, 8, 1, kPagePalette},  {16, 3, {0xF800, 0x7E0, 0x1F}, 5, 3, kPageDirectColour},
        {24, 0, {}, 8, 3, kPageDirectColour}, {32, 0, {}, 8, 4, kPageDirectColour},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bits);
        BmpLayout s;
        s.bits = c.bits, s.compression = c.compression, s.masks = c.masks;
        s.pixels.assign(64, 0);
        auto bytes = make_bmp(s);
        BmpDecoder d(memory_data_source(bytes.data(), static_cast<std::uint32_t>(bytes.size())));
        ImageInfo info{};
        ASSERT_EQ(d.open(&info), 0);
        EXPECT_EQ(info.bits_per_sample, c.bits_per_sample);
        EXPECT_EQ(info.samples_per_pixel, c.samples);
        EXPECT_EQ(info.pages, 1u);
        EXPECT_EQ(info.flags, 0u);
        PageInfo page{};
        ASSERT_EQ(d.page_info(0, page), 0);
        EXPECT_EQ(page.flags, c.page_flags);
        EXPECT_EQ(d.page_info(1, page), kDecodeNoSuchPage);
        metadata::ExifTagList* list = nullptr;
        EXPECT_EQ(d.get_metadata(0, &list), kDecodeNotSupported);
        EXPECT_EQ(d.free_metadata(nullptr), kDecodeNotSupported);
        EXPECT_EQ(d.extract_audio(AudioRequest{}), kDecodeNotSupported);
    }
}

TEST(BmpDecoder, BadFilesFailWithTheirStatus) {
    BmpLayout good;  // 4 × 2, 1 bit
    good.bits = 1;
    good.pixels.assign(8, 1);
    good.palette = {0, 0xFFFFFF};
    // reason: what a BMP that cannot be read says about itself (0: nothing,
    // the file is not a BMP or fails later).
    struct Case {
        const char* name;
        std::function<void(std::vector<std::uint8_t>&)> spoil;
        int status;
        int reason = 0;
    } cases[] = {
        {"signature", [](auto& b) { b[0] = 'X'; }, kDecodeCorrupt},
        {"header size 50", [](auto& b) { b[14] = 50; }, kDecodeCorrupt, kReasonBmpKind},
        {"header size 16 (short OS/2 header)", [](auto& b) { b[14] = 16; }, kDecodeCorrupt, kReasonBmpKind},
        {"bit count 7", [](auto& b) { b[28] = 7; }, kDecodeCorrupt, kReasonBmpKind},
        {"bit count 2", [](auto& b) { b[28] = 2; }, kDecodeCorrupt, kReasonBmpKind},
        {"bit count 15 (opens, cannot decode)", [](auto& b) { b[28] = 15; }, kDecodeCorrupt},
        {"compression 4", [](auto& b) { b[30] = 4; }, kDecodeCorrupt, kReasonBmpKind},
        {"run length with 24 bits", [](auto& b) { b[28] = 24, b[30] = 1; }, kDecodeCorrupt, kReasonBmpKind},
        {"zero width", [](auto& b) { std::memset(&b[18], 0, 4); }, kDecodeCorrupt, kReasonBmpSize},
        {"negative width", [](auto& b) { std::memset(&b[18], 0xFF, 4); }, kDecodeCorrupt, kReasonBmpSize},
        {"header cut", [](auto& b) { b.resize(40); }, kDecodeTruncated},
        {"pixels cut", [](auto& b) { b.resize(b.size() - 3); }, kDecodeTruncated},
        {"pixel offset past end", [](auto& b) { b[11] = 0x40; }, kDecodeTruncated},
        {"colours used 4000 (table read capped)", [](auto& b) { b[46] = 0xA0, b[47] = 0x0F; }, 0},
        // 1,000,000 × 1,000,000 pixels in a 70-byte file: refused before allocating.
        {"absurd size", [](auto& b) { b[20] = 0x0F, b[21] = 0x42, b[24] = 0x0F, b[25] = 0x42; },
         kDecodeTruncated},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto bytes = make_bmp(good);
        c.spoil(bytes);
        BmpDecoder d(memory_data_source(bytes.data(), static_cast<std::uint32_t>(bytes.size())));
        DecodeResult result{};
        int st = d.open(nullptr);
        if (st == 0) st = d.PageDecode(DecodeRequest{}, result);
        EXPECT_EQ(st, c.status);
        EXPECT_EQ(d.failure_reason(), c.reason);
        if (st != 0) {
            EXPECT_EQ(result.bitmap, nullptr);
        }
        release_decode_result(result);
    }
}

// Headers of 52 and 56 bytes are the 40-byte header followed by its masks
// (three, or four with alpha): the same pixels as the 40-byte file.
TEST(BmpDecoder, HeadersWithTheirMasksInside) {
    BmpLayout s;
    s.width = 3, s.height = 2, s.bits = 32, s.compression = 3;
    s.masks = {0x0000FF00, 0x00FF0000, 0xFF000000, 0x000000FF};  // red, green, blue, alpha
    for (std::uint32_t i = 0; i < 6; ++i) put(s.pixels, 0x10203040u * (i + 1), 4);
    const auto forty = make_bmp(s);
    Decoded base;
    test::decode_bytes(forty, DecodeRequest{}, base);
    ASSERT_EQ(base.status, 0);
    EXPECT_EQ(base.picture().channel(0, 1, 0), 0x30);  // first stored row is the bottom one
    for (std::uint8_t size : {52, 56}) {
        SCOPED_TRACE(size);
        auto bytes = forty;
        bytes[14] = size;
        Decoded d;
        test::decode_bytes(bytes, DecodeRequest{}, d);
        ASSERT_EQ(d.status, 0);
        EXPECT_EQ(test::difference(d.picture(), base.picture()), "");
    }
}

TEST(BmpDecoder, RunLengthAbsurdSizeRefusedBeforeAllocating) {
    BmpLayout s;
    s.width = 60000, s.height = 60000, s.bits = 8, s.compression = 1;
    s.palette = {0};
    s.pixels = {0, 1};
    Decoded d;
    test::decode_bytes(make_bmp(s), DecodeRequest{}, d);
    EXPECT_EQ(d.status, kDecodeCorrupt);
}

TEST(BmpDecoder, ProgressCancelsAndRowDecodingMatches) {
    BmpLayout s;
    s.width = 5, s.height = 4, s.bits = 8, s.compression = 1;
    s.palette = {0, 0xFF0000, 0x00FF00};
    s.pixels = {5, 1, 0, 0, 5, 2, 0, 0, 2, 1, 3, 2, 0, 0, 0, 1};
    auto bytes = make_bmp(s);

    DecodeRequest request{};
    request.progress = [](std::intptr_t user, int done, int) {
        return done < static_cast<int>(user) ? 1 : 0;
    };
    request.user = 3;
    Decoded cancelled;
    test::decode_bytes(bytes, request, cancelled);
    EXPECT_EQ(cancelled.status, kDecodeCancelled);
    EXPECT_EQ(cancelled.result.header, nullptr);

    Decoded whole;
    test::decode_bytes(bytes, DecodeRequest{}, whole);
    ASSERT_EQ(whole.status, 0);
    BmpDecoder rows(memory_data_source(bytes.data(), static_cast<std::uint32_t>(bytes.size())));
    RowFormat format{};
    ASSERT_EQ(rows.begin_row_decoding(DecodeRequest{}, format), 0);
    EXPECT_EQ(format.bit_count, 8u);
    EXPECT_EQ(format.colours[1].red, 255);
    for (std::uint32_t r = 0; r < 4; ++r) {
        RowOutput out{};
        ASSERT_EQ(rows.read_row(out), 0);
        EXPECT_EQ(out.number, r + 1);
        std::int32_t y = out.rect[1];
        EXPECT_EQ(y, 3 - static_cast<std::int32_t>(r));  // bottom-up file: bottom row first
        EXPECT_EQ(0, std::memcmp(out.row, whole.result.bitmap->bits + 8 * r, 5));
    }
    RowOutput past{};
    EXPECT_EQ(rows.read_row(past), kDecodeNotOpened);
    EXPECT_EQ(rows.end_row_decoding(), 0);
}

}  // namespace
}  // namespace qelvio::decoding
