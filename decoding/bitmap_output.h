// Helpers every decoder uses to hand out a bitmap: the header block, the
// size limits that keep hostile files from making huge allocations, and
// freeing a decode result.
#pragma once

#include "decoding/decoder_records.h"
#include "decoding/memory_budget.h"
#include "imaging/dib.h"

#include <cstddef>
#include <cstdint>

namespace qelvio::decoding {

// A zeroed header block: the 40-byte header (width, height, 1 plane, the bit
// count, no compression, colours used and important = the table size) and a
// colour table of 2^bit_count entries for 1 to 8 bits. Allocated with
// imaging::DibAllocate; null when memory runs out.
std::uint8_t* allocate_bitmap_header(std::int32_t width, std::int32_t height, int bit_count);

inline imaging::BitmapInfoHeader* header_fields(std::uint8_t* block) {
    return reinterpret_cast<imaging::BitmapInfoHeader*>(block);
}
inline imaging::RgbQuad* header_colours(std::uint8_t* block) {
    return reinterpret_cast<imaging::RgbQuad*>(block + 40);
}

// Bytes of a header block made by allocate_bitmap_header (40 plus the table).
std::size_t bitmap_header_size(const std::uint8_t* block);

// Bytes of one row of a bitmap: (width × bits + 31) / 32 × 4.
inline std::uint64_t bitmap_stride(std::uint64_t width, std::uint32_t bits) {
    return (width * bits + 31) / 32 * 4;
}

// Makes the header block and the bitmap over it; on failure frees both and
// returns kDecodeNoMemory.
int create_output(std::int32_t width, std::int32_t height, int bit_count, DecodeResult& out);

// Wraps a successful result's header block and bitmap in a Dib, taking both
// over (the region index stays in the result); null when they make none.
imaging::DibPtr take_decode_result(DecodeResult& result);

// Frees the header, the bitmap and the region index of a result and clears
// its fields.
void release_decode_result(DecodeResult& result);

}  // namespace qelvio::decoding
