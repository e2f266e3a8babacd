#include "app/cli/bmp_file.h"

#include "decoding/bitmap_output.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>

namespace qelvio::cli {
namespace {

void put(std::ofstream& out, std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out.put(static_cast<char>((v >> (8 * i)) & 0xFF));
}

}  // namespace

bool write_bmp(const std::string& path, const decoding::DecodeResult& result) {
    const std::size_t header = decoding::bitmap_header_size(result.header);
    const imaging::BitmapInfoHeader* h = decoding::header_fields(result.header);
    const std::uint64_t stride = decoding::bitmap_stride(static_cast<std::uint64_t>(std::abs(h->width)), h->bit_count);
    const std::uint64_t pixels = stride * static_cast<std::uint64_t>(std::abs(h->height));
    if (pixels > result.bitmap->size || 14 + header + pixels > UINT32_MAX) return false;
    std::ofstream out(path, std::ios::binary);
    out.write("BM", 2);
    put(out, static_cast<std::uint32_t>(14 + header + pixels), 4);
    put(out, 0, 4);
    put(out, static_cast<std::uint32_t>(14 + header), 4);
    out.write(reinterpret_cast<const char*>(result.header), static_cast<std::streamsize>(header));
    out.write(reinterpret_cast<const char*>(result.bitmap->bits), static_cast<std::streamsize>(pixels));
    return static_cast<bool>(out);
}

int write_decoded(const std::string& path, decoding::DecodeResult& result) {
    const bool written = write_bmp(path, result);
    const imaging::BitmapInfoHeader* h = decoding::header_fields(result.header);
    if (written) std::printf("%s: %d x %d, %d bits\n", path.c_str(), std::abs(h->width), std::abs(h->height), h->bit_count);
    decoding::release_decode_result(result);
    if (!written) {
        std::fprintf(stderr, "qelvio-cli: %s: cannot write the file\n", path.c_str());
        return 1;
    }
    return 0;
}

}  // namespace qelvio::cli
