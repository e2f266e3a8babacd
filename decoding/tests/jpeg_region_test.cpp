// Region-index recording and region decoding of JpegDecoder, checked against
// djpeg's decode of the whole file (and, for CMYK files, which djpeg does
// not write as BMP, against our own whole-file decode).
#include "decoding/jpeg_decoder.h"
#include "decoding/jpeg_library.h"
#include "decoding/jpeg_region_index.h"
#include "decoding/jpeg_region_transcoder.h"

#include "decoding/bitmap_output.h"
#include "decoding/tests/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>

namespace qelvio::decoding {
namespace {

using test::Decoded;
using test::Picture;

// Texture with edges and noise, so every kind of Huffman symbol occurs.
std::uint32_t texture(int x, int y) {
    const std::uint32_t noise = (static_cast<std::uint32_t>(x) * 2654435761u ^ static_cast<std::uint32_t>(y) * 40503u) >> 13;
    const std::uint32_t r = (x * 2 + (noise & 31)) & 0xFF;
    const std::uint32_t g = ((x / 9 + y / 7) % 2 ? 220 : 30) + (noise >> 5 & 15);
    const std::uint32_t b = (y * 3 + x) & 0xFF;
    return r << 16 | (g & 0xFF) << 8 | b;
}

ImageDataSource source_of(const std::vector<std::uint8_t>& bytes) {
    return memory_data_source(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
}

// The index of a file from an index-only decode; null (and the status in
// *status) when there is none.
void* record(const std::vector<std::uint8_t>& bytes, int* status = nullptr,
             std::uint32_t flags = kDecodeRecordIndex | kDecodeIndexOnly) {
    JpegDecoder decoder(source_of(bytes));
    DecodeRequest request{};
    request.flags = flags;
    DecodeResult result{};
    const int st = decoder.PageDecode(request, result);
    if (status) *status = st;
    else EXPECT_EQ(st, 0);
    void* index = result.region_index;
    result.region_index = nullptr;
    release_decode_result(result);
    return index;
}

struct Index {
    void* block;
    explicit Index(void* b) : block(b) {}
    ~Index() { std::free(block); }
    Index(const Index&) = delete;
};

void decode_region(const std::vector<std::uint8_t>& bytes, void* index, std::int32_t l, std::int32_t t,
                   std::int32_t r, std::int32_t b, std::uint32_t tw, std::uint32_t th, Decoded& out,
                   std::uint32_t flags = kDecodeRegion) {
    DecodeRequest request{};
    request.flags = flags;
    request.source[0] = l, request.source[1] = t, request.source[2] = r, request.source[3] = b;
    request.target_width = tw;
    request.target_height = th;
    request.region_index = index;
    test::decode_bytes(bytes, request, out);
}

Picture crop(const Picture& p, int x, int y, int w, int h) {
    Picture out;
    if (x < 0 || y < 0 || x + w > p.width || y + h > p.height) return out;
    out.width = w;
    out.height = h;
    for (int row = 0; row < h; ++row) {
        auto from = p.rgb.begin() + (static_cast<std::ptrdiff_t>(y + row) * p.width + x) * 3;
        out.rgb.insert(out.rgb.end(), from, from + w * 3);
    }
    return out;
}

struct Rect {
    std::int32_t l, t, r, b;
};

class RegionOracle : public ::testing::Test {
protected:
    static constexpr int kWidth = 333, kHeight = 257;  // not whole MCUs

    void SetUp() override { test::write_ppm(dir_.path("in.ppm"), kWidth, kHeight, texture); }

    std::string make(const std::string& name, const std::string& command) {
        std::string file = dir_.path(name + ".jpg");
        command_output(command + " > " + file);
        return file;
    }

    // The whole file decoded at 1/denominator, by djpeg or by us.
    const Picture& whole(const std::string& file, int denominator, bool own) {
        auto key = std::make_pair(file, denominator);
        auto it = whole_.find(key);
        if (it != whole_.end()) return it->second;
        Picture p;
        if (own) {
            Decoded d;
            test::decode_bytes(read_file(file), DecodeRequest{.target_width = kWidth / static_cast<std::uint32_t>(denominator),
                                                                     .target_height = kHeight / static_cast<std::uint32_t>(denominator)},
                               d);
            p = d.picture();
        } else {
            command_output("djpeg -bmp -scale 1/" + std::to_string(denominator) + " " + file + " > " + dir_.path("w.bmp"));
            p = test::magick_picture(dir_.path("w.bmp"));
        }
        return whole_[key] = p;
    }

    // Decodes every rectangle at every scale and compares it with the same
    // pixels of the whole decode: they must be equal, edges included (with
    // subsampled chroma the upsampling there needs the MCUs around the
    // rectangle).
    void expect_regions(const std::string& file, bool own_oracle = false) {
        auto bytes = read_file(file);
        Index index(record(bytes));
        ASSERT_NE(index.block, nullptr);
        const Rect rects[] = {
            {0, 0, kWidth, kHeight},   {0, 0, 1, 1},         {kWidth - 1, kHeight - 1, kWidth, kHeight},
            {100, 50, 228, 178},       {128, 128, 256, 256}, {317, 3, 333, 200},
            {5, 240, 330, 257},        {40, 0, 41, kHeight}, {200, 17, 300, 40},
        };
        for (const Rect& r : rects) {
            for (int d : {1, 2, 4, 8}) {
                SCOPED_TRACE(file + " rect " + std::to_string(r.l) + "," + std::to_string(r.t) + "," +
                             std::to_string(r.r) + "," + std::to_string(r.b) + " at 1/" + std::to_string(d));
                Decoded region;
                decode_region(bytes, index.block, r.l, r.t, r.r, r.b, std::max(1, (r.r - r.l) / d),
                              std::max(1, (r.b - r.t) / d), region);
                ASSERT_EQ(region.status, 0);
                const std::int32_t* dec = region.result.decoded;
                EXPECT_LE(dec[0], r.l);
                EXPECT_LE(dec[1], r.t);
                EXPECT_GE(dec[2], r.r);
                EXPECT_GE(dec[3], r.b);
                const int den = JpegDecoder::scale_denominator(
                    static_cast<std::uint32_t>(dec[2] - dec[0]), static_cast<std::uint32_t>(dec[3] - dec[1]),
                    static_cast<std::uint32_t>(std::max(1, (r.r - r.l) / d)),
                    static_cast<std::uint32_t>(std::max(1, (r.b - r.t) / d)));
                Picture got = region.picture();
                EXPECT_EQ(got.width, (dec[2] - dec[0] + den - 1) / den);
                EXPECT_EQ(got.height, (dec[3] - dec[1] + den - 1) / den);
                Picture want = crop(whole(file, den, own_oracle), dec[0] / den, dec[1] / den, got.width, got.height);
                ASSERT_EQ(want.width, got.width);
                ASSERT_EQ(test::difference(got, want), "");
            }
        }
    }

    test::TempDir dir_;
    std::map<std::pair<std::string, int>, Picture> whole_;
};

// Every sampling decodes exactly as the whole file does.
TEST_F(RegionOracle, ExactForEverySampling) {
    const std::string in = dir_.path("in.ppm");
    struct Case {
        const char* name;
        std::string command;
        bool own_oracle;
    } cases[] = {
        {"grey", "cjpeg -grayscale -quality 92 " + in, false},
        {"444", "cjpeg -sample 1x1 -quality 97 " + in, false},
        {"444 restarts every 5 MCUs", "cjpeg -sample 1x1 -restart 5B " + in, false},
        {"grey restarts every row", "cjpeg -grayscale -restart 1 " + in, false},
        {"rgb stored", "cjpeg -rgb " + in, false},
        // Sixteen-bit quantisation tables (quality 5, no baseline clamp).
        {"444 coarse", "cjpeg -sample 1x1 -quality 5 " + in, false},
        {"cmyk", "convert " + in + " -colorspace CMYK -sampling-factor 1x1 -quality 90 jpg:-", true},
        // Subsampled chroma: the margin of MCUs around the rectangle.
        {"420", "cjpeg -sample 2x2 -quality 90 " + in, false},
        {"422", "cjpeg -sample 2x1 -quality 90 " + in, false},
        {"440", "cjpeg -sample 1x2 -quality 90 " + in, false},
        {"411 (MCUs 32 wide)", "cjpeg -sample 4x1 -quality 90 " + in, false},
        {"420 restarts", "cjpeg -sample 2x2 -restart 7B " + in, false},
        {"cmyk 420", "convert " + in + " -colorspace CMYK -sampling-factor 2x2 -quality 90 jpg:-", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string name = c.name;
        std::replace_if(name.begin(), name.end(), [](char ch) { return !std::isalnum(static_cast<unsigned char>(ch)); }, '_');
        expect_regions(make(name, c.command), c.own_oracle);
    }
}

// A file cut in its scan: the index covers the missing part as libjpeg
// does (grey), and regions there match djpeg's decode of the cut file.
TEST_F(RegionOracle, TruncatedFile) {
    std::string file = make("full", "cjpeg -sample 1x1 " + dir_.path("in.ppm"));
    auto bytes = read_file(file);
    bytes.resize(bytes.size() * 2 / 3);
    std::string cut = dir_.path("cut.jpg");
    write_file(cut, bytes);
    expect_regions(cut);
}

// A copy of an index block, changed by `change` (a std::malloc'd block, as
// the decoder requires).
void* altered(const void* index, std::size_t size, const std::function<void(std::uint8_t*)>& change) {
    auto* copy = static_cast<std::uint8_t*>(std::malloc(size));
    std::memcpy(copy, index, std::min(size, std::size_t{44}));
    if (size > 44) std::memcpy(copy + 44, static_cast<const std::uint8_t*>(index) + 44, size - 44);
    change(copy);
    return copy;
}

TEST(JpegRegion, RefusedRequestsAndForeignIndexes) {
    test::TempDir dir;
    test::write_ppm(dir.path("a.ppm"), 64, 48, texture);
    test::write_ppm(dir.path("b.ppm"), 64, 48, [](int x, int y) { return texture(y, x); });
    command_output("cjpeg -sample 1x1 " + dir.path("a.ppm") + " > " + dir.path("a.jpg"));
    command_output("cjpeg -sample 1x1 " + dir.path("b.ppm") + " > " + dir.path("b.jpg"));
    command_output("cjpeg -progressive " + dir.path("a.ppm") + " > " + dir.path("p.jpg"));
    auto bytes = read_file(dir.path("a.jpg"));
    auto progressive = read_file(dir.path("p.jpg"));
    Index own(record(bytes));
    Index other(record(read_file(dir.path("b.jpg"))));
    ASSERT_NE(own.block, nullptr);
    ASSERT_NE(other.block, nullptr);
    const std::size_t size = region_index_size(10, 8, 6);  // 64 × 48 at 4:4:4: 8 × 6 MCUs
    Index damaged(altered(own.block, size, [](std::uint8_t* p) { p[4 + 40 + 8] ^= 1; }));
    Index moved(altered(own.block, size, [](std::uint8_t* p) {
        const std::uint32_t far = 1u << 30;
        std::memcpy(p + 4 + 40, &far, 4);
        reseal_region_point(p, 4 + 40);
    }));
    Index wrong_interval(altered(own.block, size, [](std::uint8_t* p) { p[0] = 11; }));
    Index short_block(altered(own.block, 44, [](std::uint8_t*) {}));
    struct Case {
        const char* name;
        const std::vector<std::uint8_t>* file;
        std::uint32_t flags;
        void* index;
        Rect rect;
        int status;
    } cases[] = {
        {"valid", &bytes, kDecodeRegion, own.block, {8, 8, 40, 40}, 0},
        {"no index", &bytes, kDecodeRegion, nullptr, {8, 8, 40, 40}, kDecodeFailed},
        {"region while recording", &bytes, kDecodeRegion | kDecodeRecordIndex, own.block, {8, 8, 40, 40}, kDecodeFailed},
        {"right edge outside", &bytes, kDecodeRegion, own.block, {8, 8, 65, 40}, kDecodeFailed},
        {"negative left", &bytes, kDecodeRegion, own.block, {-8, 8, 40, 40}, kDecodeFailed},
        {"empty", &bytes, kDecodeRegion, own.block, {8, 8, 8, 40}, kDecodeFailed},
        {"index of another file", &bytes, kDecodeRegion, other.block, {8, 8, 40, 40}, kDecodeFailed},
        {"damaged point", &bytes, kDecodeRegion, damaged.block, {0, 8, 8, 16}, kDecodeFailed},
        {"point beyond the data", &bytes, kDecodeRegion, moved.block, {0, 8, 8, 16}, kDecodeFailed},
        {"wrong interval", &bytes, kDecodeRegion, wrong_interval.block, {8, 8, 40, 40}, kDecodeFailed},
        {"block too short", &bytes, kDecodeRegion, short_block.block, {8, 8, 40, 40}, kDecodeFailed},
        {"progressive file", &progressive, kDecodeRegion, own.block, {8, 8, 40, 40}, kDecodeFailed},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Decoded d;
        decode_region(*c.file, c.index, c.rect.l, c.rect.t, c.rect.r, c.rect.b, 0, 0, d, c.flags);
        EXPECT_EQ(d.status, c.status);
        EXPECT_EQ(d.result.bitmap == nullptr, c.status != 0);
    }
    // The damaged point is only met by rectangles that need it.
    Decoded elsewhere;
    decode_region(bytes, damaged.block, 0, 16, 8, 24, 0, 0, elsewhere);
    EXPECT_EQ(elsewhere.status, 0);
}

TEST(JpegRegion, RecordingStatuses) {
    test::TempDir dir;
    test::write_ppm(dir.path("a.ppm"), 48, 40, texture);
    command_output("cjpeg -restart 1 " + dir.path("a.ppm") + " > " + dir.path("r.jpg"));
    auto restarts = read_file(dir.path("r.jpg"));
    // The first restart marker renumbered: out of order.
    auto disordered = restarts;
    for (std::size_t i = 0; i + 1 < disordered.size(); ++i)
        if (disordered[i] == 0xFF && disordered[i + 1] == 0xD0) {
            disordered[i + 1] = 0xD3;
            break;
        }
    struct Case {
        const char* name;
        const char* cjpeg;  // or null: `bytes`
        const std::vector<std::uint8_t>* bytes;
        int index_only, whole;  // statuses of flags 2 + 8 and of flag 2
        bool index;             // flag 2 returns an index
    } cases[] = {
        {"baseline with restarts", nullptr, &restarts, 0, 0, true},
        {"progressive", "-progressive", nullptr, kDecodeNotSupported, kDecodeNotSupported, false},
        {"arithmetic", "-arithmetic", nullptr, kDecodeNotSupported, kDecodeNotSupported, false},
        {"restart markers out of order", nullptr, &disordered, kDecodeCorrupt, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::uint8_t> bytes;
        if (c.cjpeg) {
            command_output(std::string("cjpeg ") + c.cjpeg + " " + dir.path("a.ppm") + " > " + dir.path("f.jpg"));
            bytes = read_file(dir.path("f.jpg"));
        } else {
            bytes = *c.bytes;
        }
        int status = 1;
        Index only(record(bytes, &status));
        EXPECT_EQ(status, c.index_only);
        EXPECT_EQ(only.block != nullptr, status == 0);
        Index whole(record(bytes, &status, kDecodeRecordIndex));
        EXPECT_EQ(status, c.whole);
        EXPECT_EQ(whole.block != nullptr, c.index);
    }
}

// Recording beside a whole-image decode gives the same index as recording
// alone, and the same picture as decoding without recording.
TEST(JpegRegion, RecordingBesideAWholeDecode) {
    test::TempDir dir;
    test::write_ppm(dir.path("a.ppm"), 300, 200, texture);
    command_output("cjpeg -sample 2x2 -restart 3B " + dir.path("a.ppm") + " > " + dir.path("a.jpg"));
    auto bytes = read_file(dir.path("a.jpg"));
    Index only(record(bytes));
    DecodeRequest request{};
    request.flags = kDecodeRecordIndex;
    request.target_width = 300 / 8;
    request.target_height = 200 / 8;
    Decoded with, without;
    test::decode_bytes(bytes, request, with);
    request.flags = 0;
    test::decode_bytes(bytes, request, without);
    ASSERT_EQ(with.status, 0);
    ASSERT_EQ(without.status, 0);
    ASSERT_NE(with.result.region_index, nullptr);
    EXPECT_EQ(without.result.region_index, nullptr);
    EXPECT_EQ(test::difference(with.picture(), without.picture()), "");
    EXPECT_EQ(with.picture().width, 38);
    const std::uint64_t size = region_index_size(10, 19, 13);
    EXPECT_EQ(std::memcmp(with.result.region_index, only.block, size), 0);
}

TEST(JpegRegion, IntervalGrowsUntilThePointsFit) {
    struct Case {
        std::uint32_t across, rows, interval;
    } cases[] = {
        {1, 1, 10},          {100, 100, 10},       {750, 563, 33},  // 12000 × 9000 at 4:2:0
        {1875, 1250, 244},   {3750, 2500, 823},    {8192, 8192, 9369},  // 65536² grey: one point a row
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.across) + " x " + std::to_string(c.rows));
        const std::uint32_t interval = region_index_interval(c.across, c.rows);
        EXPECT_EQ(interval, c.interval);
        EXPECT_LE(region_index_size(interval, c.across, c.rows), 524288u + 4);
    }
}

// A 30000 × 20000 4:2:0 file of one grey: a small file's header with the
// size changed, and the scan of all-zero blocks (DC size 0, end of block:
// "00" "1010" in the standard tables) repeated for every block.
TEST(JpegRegion, HugeFileIndexStaysWithinTheLimit) {
    test::TempDir dir;
    command_output("convert -size 16x16 xc:'rgb(128,128,128)' ppm:- | cjpeg -sample 2x2 > " + dir.path("g.jpg"));
    auto small = read_file(dir.path("g.jpg"));
    std::size_t sos = 0, sof = 0;
    for (std::size_t i = 2; i + 4 < small.size();) {
        const int marker = small[i + 1];
        const std::size_t length = static_cast<std::size_t>(small[i + 2] << 8 | small[i + 3]);
        if (marker == 0xC0) sof = i;
        if (marker == 0xDA) {
            sos = i + 2 + length;
            break;
        }
        i += 2 + length;
    }
    ASSERT_GT(sof, 0u);
    ASSERT_GT(sos, 0u);
    std::vector<std::uint8_t> bytes(small.begin(), small.begin() + static_cast<std::ptrdiff_t>(sos));
    bytes[sof + 5] = 20000 >> 8, bytes[sof + 6] = 20000 & 0xFF;
    bytes[sof + 7] = 30000 >> 8, bytes[sof + 8] = 30000 & 0xFF;
    const std::uint64_t blocks = 1875ull * 1250 * 6;
    const std::uint64_t data_bytes = (blocks * 6 + 7) / 8;
    const std::uint8_t period[3] = {0x28, 0xA2, 0x8A};  // "001010" four times
    bytes.reserve(bytes.size() + data_bytes + 2);
    for (std::uint64_t i = 0; i < data_bytes; ++i) bytes.push_back(period[i % 3]);
    bytes.push_back(0xFF);
    bytes.push_back(0xD9);

    Index index(record(bytes));
    ASSERT_NE(index.block, nullptr);
    std::uint32_t interval;
    std::memcpy(&interval, index.block, 4);
    EXPECT_EQ(interval, 244u);
    EXPECT_LE(region_index_size(interval, 1875, 1250), 524288u + 4);
    Decoded tile;
    decode_region(bytes, index.block, 30000 - 128, 20000 - 128, 30000, 20000, 128, 128, tile);
    ASSERT_EQ(tile.status, 0);
    Picture p = tile.picture();
    ASSERT_EQ(p.width, 128);
    ASSERT_EQ(p.height, 128);
    EXPECT_TRUE(std::all_of(p.rgb.begin(), p.rgb.end(), [](std::uint8_t v) { return v == 128; }));
}

// The reader's position as recording and region decoding use it.
TEST(JpegSourceManager, TellAndSeek) {
    test::TempDir dir;
    test::write_ppm(dir.path("a.ppm"), 40, 30, texture);
    command_output("cjpeg " + dir.path("a.ppm") + " > " + dir.path("a.jpg"));
    std::vector<std::uint8_t> bytes(7, 0x20);  // the data starts 7 bytes before the image
    auto jpeg = read_file(dir.path("a.jpg"));
    bytes.insert(bytes.end(), jpeg.begin(), jpeg.end());
    std::size_t scan = 0;
    for (std::size_t i = 9; i + 3 < bytes.size(); i += 2 + static_cast<std::size_t>(bytes[i + 2] << 8 | bytes[i + 3]))
        if (bytes[i + 1] == 0xDA) {
            scan = i + 2 + static_cast<std::size_t>(bytes[i + 2] << 8 | bytes[i + 3]);
            break;
        }
    const auto size = static_cast<std::uint32_t>(bytes.size());
    jpeg_decompress_struct cinfo{};
    JpegErrorManager errors{};
    JpegSourceManager manager{};
    jpeg_install_errors(cinfo, errors);
    jpeg_create_decompress(&cinfo);
    jpeg_install_source(cinfo, manager, source_of(bytes), 7);
    ASSERT_EQ(jpeg_read_header(&cinfo, TRUE), JPEG_HEADER_OK);
    EXPECT_EQ(jpeg_source_tell(cinfo), scan);
    EXPECT_FALSE(jpeg_source_seek(cinfo, size + 1));
    EXPECT_EQ(jpeg_source_tell(cinfo), scan);
    EXPECT_TRUE(jpeg_source_seek(cinfo, 9));
    EXPECT_EQ(jpeg_source_tell(cinfo), 9u);
    EXPECT_EQ(cinfo.src->next_input_byte[0], bytes[9]);
    EXPECT_TRUE(jpeg_source_seek(cinfo, size));
    EXPECT_EQ(jpeg_source_tell(cinfo), size);
    jpeg_destroy_decompress(&cinfo);
}

}  // namespace
}  // namespace qelvio::decoding
