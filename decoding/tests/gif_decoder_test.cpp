#include "decoding/gif_decoder.h"

#include "decoding/bitmap_output.h"
#include "decoding/refusal.h"
#include "decoding/tests/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>

namespace qelvio::decoding {
namespace {

using test::Decoded;
using test::Picture;

std::uint32_t pattern(int x, int y) {
    return static_cast<std::uint32_t>((x * 13) & 0xFF) << 16 |
           static_cast<std::uint32_t>((y * 9) & 0xFF) << 8 | static_cast<std::uint32_t>((x * y) & 0xFF);
}

std::unique_ptr<GifDecoder> decoder_for(const std::vector<std::uint8_t>& bytes) {
    return std::make_unique<GifDecoder>(
        memory_data_source(bytes.data(), static_cast<std::uint32_t>(bytes.size())));
}

// Single-image files written by ImageMagick decode to the same pixels; the
// colour-table size decides the bitmap's depth.
TEST(GifDecoder, MatchesImageMagickAndPicksDepthFromTableSize) {
    test::TempDir dir;
    test::write_ppm(dir.path("in.ppm"), 37, 23, pattern);
    struct Case {
        const char* name;
        const char* options;
        std::uint32_t table_field;  // bits per sample = field + 1
        int bit_count;
    } cases[] = {
        {"2 colours", "-colors 2", 0, 1},
        {"12 colours", "-colors 12", 3, 4},
        {"32 colours", "-colors 32", 4, 8},
        {"200 colours", "-colors 200", 7, 8},
        {"interlaced", "-colors 200 -interlace GIF", 7, 8},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string file = dir.path("case.gif");
        command_output("convert " + dir.path("in.ppm") + " " + c.options + " " + file);
        Decoded d;
        test::decode_file(file, d);
        ASSERT_EQ(d.status, 0);
        EXPECT_EQ(d.info.format, kFormatGif);
        EXPECT_EQ(d.info.bits_per_sample, c.table_field + 1);
        EXPECT_EQ(header_fields(d.result.header)->bit_count, c.bit_count);
        EXPECT_EQ(test::difference(d.picture(), test::magick_picture(file)), "");
    }
}

// Frames of an animation are composed on the screen canvas: each decode
// takes the next frame and equals ImageMagick's coalesced frame (later
// frames use local colour tables; the second is restored by disposal 3).
TEST(GifDecoder, AnimationFramesEqualCoalescedFrames) {
    test::TempDir dir;
    std::string file = dir.path("anim.gif");
    test::write_ppm(dir.path("a.ppm"), 10, 8, pattern);
    command_output("convert " + dir.path("a.ppm") + " -colors 64 \\( -size 4x4 xc:blue -repage +2+3 "
              "-dispose Previous \\) \\( -size 3x2 xc:lime -repage +6+0 \\) -set delay 10 " + file);
    command_output("convert " + file + " -coalesce " + dir.path("frame%d.ppm"));
    auto bytes = read_file(file);
    auto d = decoder_for(bytes);
    ImageInfo info{};
    ASSERT_EQ(d->open(&info), 0);
    EXPECT_EQ(info.flags, kImageAnimated);
    for (int frame = 0; frame < 3; ++frame) {
        SCOPED_TRACE(frame);
        DecodeResult result{};
        ASSERT_EQ(d->PageDecode(DecodeRequest{}, result), 0);
        Picture expected = test::ppm_picture(read_file(dir.path("frame" + std::to_string(frame) + ".ppm")));
        ASSERT_GT(expected.width, 0);
        EXPECT_EQ(test::difference(test::result_picture(result), expected), "");
        release_decode_result(result);
    }
    DecodeResult none{};
    EXPECT_EQ(d->PageDecode(DecodeRequest{}, none), kDecodeNoSuchPage);
    EXPECT_EQ(none.header, nullptr);
}

TEST(GifDecoder, PageInformationSkipsForwardAndReportsDelay) {
    test::TempDir dir;
    std::string file = dir.path("anim.gif");
    command_output("convert -size 6x4 xc:red \\( -size 6x4 xc:blue -set delay 25 \\) -loop 0 " + file);
    auto bytes = read_file(file);
    auto d = decoder_for(bytes);
    PageInfo page{};
    ASSERT_EQ(d->page_info(1, page), 0);
    EXPECT_EQ(page.width, 6u);
    EXPECT_EQ(page.height, 4u);
    EXPECT_EQ(page.flags, kPagePalette);
    EXPECT_EQ(page.delay, 250u);
    EXPECT_EQ(d->page_info(0, page), kDecodeNoSuchPage);  // forward only
    EXPECT_EQ(d->page_info(2, page), kDecodeNoSuchPage);
    EXPECT_EQ(d->get_metadata(0, nullptr), kDecodeNotSupported);
    EXPECT_EQ(d->extract_audio(AudioRequest{}), kDecodeNotSupported);
}

// Rows of an interlaced image come in the format's pass order, and row
// decoding yields the same rows as a page decode.
TEST(GifDecoder, InterlacedRowOrder) {
    test::TempDir dir;
    std::string file = dir.path("i.gif");
    test::write_ppm(dir.path("in.ppm"), 5, 10, pattern);
    command_output("convert " + dir.path("in.ppm") + " -colors 50 -interlace GIF " + file);
    auto bytes = read_file(file);
    Decoded whole;
    test::decode_bytes(bytes, DecodeRequest{}, whole);
    ASSERT_EQ(whole.status, 0);

    auto d = decoder_for(bytes);
    RowFormat format{};
    ASSERT_EQ(d->begin_row_decoding(DecodeRequest{}, format), 0);
    std::vector<int> order;
    for (int i = 0; i < 10; ++i) {
        RowOutput row{};
        ASSERT_EQ(d->read_row(row), 0);
        order.push_back(row.rect[1]);
        const std::uint8_t* stored = whole.result.bitmap->bits + 8 * (9 - row.rect[1]);
        EXPECT_EQ(0, std::memcmp(row.row, stored, 5)) << "row " << row.rect[1];
    }
    EXPECT_EQ(order, (std::vector<int>{0, 8, 4, 2, 6, 1, 3, 5, 7, 9}));
    RowOutput past{};
    EXPECT_EQ(d->read_row(past), kDecodeNotOpened);
}

// A minimal GIF from bytes: 2×2 screen, 2-entry global table, one image
// with the given LZW data sub-blocks.
std::vector<std::uint8_t> tiny_gif(const char* version, std::vector<std::uint8_t> image_data,
                                   std::vector<std::uint8_t> extension = {}) {
    std::vector<std::uint8_t> b(version, version + 6);
    b.insert(b.end(), {2, 0, 2, 0, 0x80, 0, 0, 0, 0, 0, 255, 255, 255});
    b.insert(b.end(), extension.begin(), extension.end());
    b.insert(b.end(), {0x2C, 0, 0, 0, 0, 2, 0, 2, 0, 0});
    b.insert(b.end(), image_data.begin(), image_data.end());
    b.push_back(0x3B);
    return b;
}

// LZW, root size 2: clear(4) 1 0 0 as 3-bit codes, then 1 end(5) as 4-bit
// codes (the table reached 8 entries), packed least significant bit first.
const std::vector<std::uint8_t> kCheckerData = {2, 3, 0x0C, 0x10, 0x05, 0};

TEST(GifDecoder, HandMadeLzwAndAnimationFlag) {
    struct Case {
        const char* name;
        const char* version;
        std::vector<std::uint8_t> extension;
        std::uint32_t flags;
    } cases[] = {
        {"87a", "GIF87a", {}, 0},
        {"89a single image is animated", "GIF89a", {}, kImageAnimated},
        {"87a with a delay", "GIF87a", {0x21, 0xF9, 4, 0, 5, 0, 0, 0}, kImageAnimated},
        {"87a with disposal", "GIF87a", {0x21, 0xF9, 4, 8, 0, 0, 0, 0}, kImageAnimated},
        {"87a with a comment", "GIF87a", {0x21, 0xFE, 2, 'h', 'i', 0}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Decoded d;
        test::decode_bytes(tiny_gif(c.version, kCheckerData, c.extension), DecodeRequest{}, d);
        ASSERT_EQ(d.status, 0);
        EXPECT_EQ(d.info.flags, c.flags);
        EXPECT_EQ(d.picture().rgb, (std::vector<std::uint8_t>{255, 255, 255, 0, 0, 0,
                                                              0, 0, 0, 255, 255, 255}));
    }
}

// A single image with a local colour table keeps the palette format of its
// table's size (1 bit for 2 colours) and shows the local colours, not the
// global ones.
TEST(GifDecoder, SingleImageWithLocalTableKeepsItsPalette) {
    std::vector<std::uint8_t> bytes = {'G', 'I', 'F', '8', '9', 'a', 2, 0, 2, 0, 0x80, 0, 0,
                                       0, 0, 0, 255, 255, 255,                       // global: black, white
                                       0x2C, 0, 0, 0, 0, 2, 0, 2, 0, 0x80,
                                       255, 0, 0, 0, 0, 255};                        // local: red, blue
    for (std::uint8_t b : kCheckerData) bytes.push_back(b);
    bytes.push_back(0x3B);
    test::TempDir dir;
    write_file(dir.path("local.gif"), bytes);
    Decoded d;
    test::decode_bytes(bytes, DecodeRequest{}, d);
    ASSERT_EQ(d.status, 0);
    EXPECT_EQ(header_fields(d.result.header)->bit_count, 1);
    EXPECT_EQ(header_fields(d.result.header)->colours_used, 2u);
    const imaging::RgbQuad* colours = header_colours(d.result.header);
    EXPECT_EQ(colours[0].red, 255);
    EXPECT_EQ(colours[1].blue, 255);
    EXPECT_EQ(test::difference(d.picture(), test::magick_picture(dir.path("local.gif"))), "");
}

// A 4000 × 4000 white picture is an 11 KB file: the memory it really needs
// (a 1-bit bitmap and the index canvases) is what a desktop holds.
TEST(GifDecoder, LargeValidPictureDecodes) {
    test::TempDir dir;
    std::string file = dir.path("blank.gif");
    command_output("convert -size 4000x4000 xc:white " + file);
    Decoded d;
    test::decode_file(file, d);
    ASSERT_EQ(d.status, 0);
    EXPECT_EQ(header_fields(d.result.header)->bit_count, 1);
    Picture p = d.picture();
    ASSERT_EQ(p.width, 4000);
    ASSERT_EQ(p.height, 4000);
    EXPECT_TRUE(std::all_of(p.rgb.begin(), p.rgb.end(), [](std::uint8_t v) { return v == 255; }));
}

TEST(GifDecoder, HostileAndBrokenFiles) {
    struct Case {
        const char* name;
        std::vector<std::uint8_t> bytes;
        int status;
    } cases[] = {
        {"signature", tiny_gif("GIF88a", kCheckerData), kDecodeCorrupt},
        {"root size 12", tiny_gif("GIF89a", {12, 2, 0x0C, 0x0A, 0}), kDecodeCorrupt},
        {"root size 1", tiny_gif("GIF89a", {1, 2, 0x0C, 0x0A, 0}), kDecodeCorrupt},
        {"data cut in a sub-block", tiny_gif("GIF89a", {2, 9, 0x0C}), kDecodeTruncated},
        // Codes far beyond the table: decoded as the previous string, no crash.
        {"codes beyond the table", tiny_gif("GIF89a", {2, 3, 0xFC, 0xFF, 0xFF, 0}), 0},
        // The end code at once: the pixels are 0.
        {"early end code", tiny_gif("GIF89a", {2, 1, 0x2C, 0}), 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto d = decoder_for(c.bytes);
        DecodeResult result{};
        int st = d->open(nullptr);
        if (st == 0) st = d->PageDecode(DecodeRequest{}, result);
        EXPECT_EQ(st, c.status);
        release_decode_result(result);
    }
    // Header problems, by the bytes.
    auto cut = tiny_gif("GIF89a", kCheckerData);
    cut.resize(10);
    EXPECT_EQ(decoder_for(cut)->open(nullptr), kDecodeTruncated);
    std::vector<std::uint8_t> trailer_only = {'G', 'I', 'F', '8', '9', 'a', 2, 0, 2, 0, 0, 0, 0, 0x3B};
    EXPECT_EQ(decoder_for(trailer_only)->open(nullptr), kDecodeCorrupt);
    // A 65535 × 65535 screen in a few dozen bytes is refused before any
    // canvas or bitmap is allocated.
    auto huge = tiny_gif("GIF89a", kCheckerData);
    huge[6] = huge[7] = huge[8] = huge[9] = 0xFF;
    auto d = decoder_for(huge);
    DecodeResult result{};
    ASSERT_EQ(d->open(nullptr), 0);
    EXPECT_EQ(d->PageDecode(DecodeRequest{}, result), kDecodeCorrupt);
    EXPECT_EQ(d->failure_reason(), kReasonImplausibleSize);
    // So is a 65535 × 65535 interlaced image on a 2 × 2 screen, whose rows
    // would all have to be decoded to reach the visible ones.
    auto wide = tiny_gif("GIF89a", kCheckerData);
    wide[24] = wide[25] = wide[26] = wide[27] = 0xFF;
    wide[28] = 0x40;
    auto w = decoder_for(wide);
    DecodeResult none{};
    ASSERT_EQ(w->open(nullptr), 0);
    EXPECT_EQ(w->PageDecode(DecodeRequest{}, none), kDecodeCorrupt);
}

TEST(GifDecoder, ProgressCancels) {
    DecodeRequest request{};
    request.progress = [](std::intptr_t, int done, int) { return done < 1 ? 1 : 0; };
    Decoded d;
    test::decode_bytes(tiny_gif("GIF89a", kCheckerData), request, d);
    EXPECT_EQ(d.status, kDecodeCancelled);
    EXPECT_EQ(d.result.bitmap, nullptr);
}

}  // namespace
}  // namespace qelvio::decoding
