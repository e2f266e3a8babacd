#include "decoding/tests/test_support.h"

#include "decoding/bitmap_output.h"
#include "imaging/dib.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>

namespace qelvio::decoding::test {

TempDir::TempDir() {
    char tmpl[] = "/tmp/qelvio_decode_XXXXXX";
    if (mkdtemp(tmpl)) dir_ = tmpl;
}

TempDir::~TempDir() {
    if (!dir_.empty()) command_output("rm -rf '" + dir_ + "'");
}

void write_ppm(const std::string& path, int width, int height,
               const std::function<std::uint32_t(int, int)>& colour) {
    std::string header = "P6\n" + std::to_string(width) + " " + std::to_string(height) + "\n255\n";
    std::vector<std::uint8_t> bytes(header.begin(), header.end());
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            std::uint32_t c = colour(x, y);
            bytes.push_back(static_cast<std::uint8_t>(c >> 16));
            bytes.push_back(static_cast<std::uint8_t>(c >> 8));
            bytes.push_back(static_cast<std::uint8_t>(c));
        }
    write_file(path, bytes);
}

Picture ppm_picture(const std::vector<std::uint8_t>& ppm) {
    Picture p;
    std::string text(ppm.begin(), ppm.end());
    std::istringstream in(text);
    std::string magic;
    int maxval = 0;
    in >> magic >> p.width >> p.height >> maxval;
    if (magic != "P6" || maxval != 255 || p.width <= 0 || p.height <= 0) return {};
    auto start = static_cast<std::size_t>(in.tellg()) + 1;
    std::size_t n = static_cast<std::size_t>(p.width) * p.height * 3;
    if (ppm.size() < start + n) return {};
    p.rgb.assign(ppm.begin() + static_cast<long>(start), ppm.begin() + static_cast<long>(start + n));
    return p;
}

Picture magick_picture(const std::string& source, const std::string& options) {
    std::string out = command_output("convert '" + source + "' " + options + " -depth 8 ppm:- 2>/dev/null");
    return ppm_picture(std::vector<std::uint8_t>(out.begin(), out.end()));
}

Picture result_picture(const DecodeResult& result) {
    Picture p;
    if (!result.header || !result.bitmap) return p;
    imaging::BitmapInfoHeader h;
    std::memcpy(&h, result.header, 40);
    p.width = std::abs(h.width);
    p.height = std::abs(h.height);
    const imaging::RgbQuad* table = reinterpret_cast<const imaging::RgbQuad*>(result.header + 40);
    std::size_t stride = bitmap_stride(static_cast<std::uint64_t>(p.width), h.bit_count);
    p.rgb.resize(static_cast<std::size_t>(p.width) * p.height * 3);
    for (int y = 0; y < p.height; ++y) {
        int stored = h.height > 0 ? p.height - 1 - y : y;
        const std::uint8_t* row = result.bitmap->bits + stride * static_cast<std::size_t>(stored);
        for (int x = 0; x < p.width; ++x) {
            std::uint8_t* dst = &p.rgb[(static_cast<std::size_t>(y) * p.width + x) * 3];
            if (h.bit_count == 24) {
                dst[0] = row[3 * x + 2], dst[1] = row[3 * x + 1], dst[2] = row[3 * x];
                continue;
            }
            int index = h.bit_count == 8   ? row[x]
                        : h.bit_count == 4 ? (row[x / 2] >> (x & 1 ? 0 : 4)) & 0x0F
                                           : (row[x / 8] >> (7 - x % 8)) & 1;
            dst[0] = table[index].red, dst[1] = table[index].green, dst[2] = table[index].blue;
        }
    }
    return p;
}

std::string difference(const Picture& a, const Picture& b, int tolerance) {
    if (a.width != b.width || a.height != b.height)
        return "size " + std::to_string(a.width) + "x" + std::to_string(a.height) + " vs " +
               std::to_string(b.width) + "x" + std::to_string(b.height);
    if (a.rgb.size() != b.rgb.size()) return "pixel buffers differ in size";
    for (std::size_t i = 0; i < a.rgb.size(); ++i) {
        if (std::abs(int{a.rgb[i]} - int{b.rgb[i]}) > tolerance) {
            std::size_t pixel = i / 3;
            return "pixel (" + std::to_string(pixel % static_cast<std::size_t>(a.width)) + ", " +
                   std::to_string(pixel / static_cast<std::size_t>(a.width)) + ") channel " +
                   std::to_string(i % 3) + ": " + std::to_string(a.rgb[i]) + " vs " +
                   std::to_string(b.rgb[i]);
        }
    }
    return {};
}

Decoded::~Decoded() { release_decode_result(result); }

void decode_bytes(const std::vector<std::uint8_t>& bytes, const DecodeRequest& request,
                  Decoded& out) {
    ImageDataSource source =
        memory_data_source(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
    ImageDecoder* raw = nullptr;
    out.status = builtin_open_decoder(source, &raw);
    if (out.status) return;
    std::unique_ptr<ImageDecoder> decoder(raw);
    decoder->open(&out.info);
    out.status = decoder->PageDecode(request, out.result);
}

void decode_file(const std::string& path, Decoded& out, std::uint32_t target_width,
                 std::uint32_t target_height) {
    std::vector<std::uint8_t> bytes = read_file(path);
    DecodeRequest request{};
    request.target_width = target_width;
    request.target_height = target_height;
    decode_bytes(bytes, request, out);
}

}  // namespace qelvio::decoding::test
