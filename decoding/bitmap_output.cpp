#include "decoding/bitmap_output.h"

#include "decoding/decoder_status.h"

#include <cstdlib>
#include <cstring>

namespace qelvio::decoding {

std::uint8_t* allocate_bitmap_header(std::int32_t width, std::int32_t height, int bit_count) {
    std::uint32_t colours = bit_count <= 8 ? 1u << bit_count : 0;
    auto* block = static_cast<std::uint8_t*>(imaging::DibAllocate(40 + 4 * colours));
    if (!block) return nullptr;
    std::memset(block, 0, 40 + 4 * colours);
    imaging::BitmapInfoHeader* h = header_fields(block);
    h->size = 40;
    h->width = width;
    h->height = height;
    h->planes = 1;
    h->bit_count = static_cast<std::uint16_t>(bit_count);
    h->compression = imaging::kCompressionPlain;
    h->colours_used = colours;
    h->colours_important = colours;
    return block;
}

std::size_t bitmap_header_size(const std::uint8_t* block) {
    imaging::BitmapInfoHeader h;
    std::memcpy(&h, block, 40);
    std::size_t n = 40;
    if (h.compression == imaging::kCompressionBitfields) n += 12;
    if (h.bit_count <= 8) n += 4u << h.bit_count;
    return n;
}

int create_output(std::int32_t width, std::int32_t height, int bit_count, DecodeResult& out) {
    out.header = allocate_bitmap_header(width, height, bit_count);
    if (out.header) out.bitmap = imaging::DibBitmapCreate(*header_fields(out.header));
    if (!out.header || !out.bitmap) {
        release_decode_result(out);
        return kDecodeNoMemory;
    }
    return kDecodeOk;
}

imaging::DibPtr take_decode_result(DecodeResult& result) {
    auto dib = std::make_unique<imaging::Dib>();
    bool ok = result.header &&
              imaging::DibFromPacked(*dib, result.header, bitmap_header_size(result.header), result.bitmap);
    imaging::DibRelease(result.header);
    result.header = nullptr;
    result.bitmap = nullptr;  // adopted (or freed) by DibFromPacked
    return ok ? std::move(dib) : nullptr;
}

void release_decode_result(DecodeResult& result) {
    imaging::DibRelease(result.header);
    imaging::DibBitmapDestroy(result.bitmap);
    std::free(result.region_index);
    result.header = nullptr;
    result.bitmap = nullptr;
    result.region_index = nullptr;
}

}  // namespace qelvio::decoding
