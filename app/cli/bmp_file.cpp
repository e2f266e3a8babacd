#include "app/cli/bmp_file.h"

#include "decoding/bitmap_output.h"

#include <cstdint>
#include <cstdio>
#include <fstream>

namespace qelvio::cli {
namespace {

void put(std::ofstream& out, std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out.put(static_cast<char>((v >> (8 * i)) & 0xFF));
}

}  // namespace

bool write_bmp(const std::string& path, const imaging::Dib& dib) {
    if (!dib.bitmap || !dib.header) return false;
    const std::size_t header = decoding::bitmap_header_size(dib.header);
    const std::uint64_t pixels = imaging::DibImageSize(dib);
    if (pixels > dib.bitmap->size || 14 + header + pixels > UINT32_MAX) return false;
    std::ofstream out(path, std::ios::binary);
    out.write("BM", 2);
    put(out, static_cast<std::uint32_t>(14 + header + pixels), 4);
    put(out, 0, 4);
    put(out, static_cast<std::uint32_t>(14 + header), 4);
    out.write(reinterpret_cast<const char*>(dib.header), static_cast<std::streamsize>(header));
    out.write(reinterpret_cast<const char*>(dib.pixels), static_cast<std::streamsize>(pixels));
    return static_cast<bool>(out);
}

int write_decoded(const std::string& path, decoding::DecodeResult& result) {
    imaging::DibPtr dib = decoding::take_decode_result(result);
    decoding::release_decode_result(result);
    if (!dib || !write_bmp(path, *dib)) {
        std::fprintf(stderr, "qelvio-cli: %s: cannot write the file\n", path.c_str());
        return 1;
    }
    std::printf("%s: %d x %d, %d bits\n", path.c_str(), imaging::DibWidth(*dib), imaging::DibHeight(*dib),
                imaging::DibBitCount(*dib));
    return 0;
}

}  // namespace qelvio::cli
