// Fuzzes region-index recording and region decoding of the JPEG decoder: an
// index-only decode of the input, region decodes of rectangles taken from
// the input's last bytes through that index, and one through a copy of the
// index with a point changed (its check rewritten, so the changed state
// reaches the entropy scanner).
#include "decoding/bitmap_output.h"
#include "decoding/data_source.h"
#include "decoding/jpeg_decoder.h"
#include "decoding/jpeg_region_index.h"

#include <cstdlib>
#include <cstring>

namespace {

using namespace qelvio::decoding;

// A word from the input's tail, so the fuzzer steers the rectangles.
std::uint32_t tail_word(const std::uint8_t* data, std::size_t size, std::size_t n) {
    std::uint32_t v = 0;
    for (std::size_t i = 0; i < 4 && n * 4 + i < size; ++i) v = v << 8 | data[size - 1 - n * 4 - i];
    return v;
}

void decode_region(JpegDecoder& decoder, void* index, const ImageInfo& info, std::uint32_t a, std::uint32_t b) {
    DecodeRequest request{};
    request.flags = kDecodeRegion;
    // Mostly inside the image, sometimes not; at most 256 × 256.
    const auto left = static_cast<std::int32_t>((a & 0xFFFF) % (info.width + 2)) - 1;
    const auto top = static_cast<std::int32_t>((a >> 16) % (info.height + 2)) - 1;
    request.source[0] = left;
    request.source[1] = top;
    request.source[2] = left + 1 + static_cast<std::int32_t>(b & 0xFF);
    request.source[3] = top + 1 + static_cast<std::int32_t>(b >> 8 & 0xFF);
    request.target_width = (b >> 16 & 0xFF) + 1;
    request.target_height = (b >> 24) + 1;
    request.region_index = index;
    DecodeResult result{};
    decoder.PageDecode(request, result);
    release_decode_result(result);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 0xFFFFFFFFu) return 0;
    JpegDecoder decoder(memory_data_source(data, static_cast<std::uint32_t>(size)));
    ImageInfo info{};
    std::uint64_t bytes = 0;
    if (decoder.open(&info) != 0 || decoder.region_index_bytes(&bytes) != 0) return 0;
    DecodeRequest request{};
    request.flags = kDecodeRecordIndex | kDecodeIndexOnly;
    DecodeResult recorded{};
    if (decoder.PageDecode(request, recorded) != 0) return 0;
    void* index = recorded.region_index;
    decode_region(decoder, index, info, tail_word(data, size, 0), tail_word(data, size, 1));
    decode_region(decoder, index, info, tail_word(data, size, 2), tail_word(data, size, 3));

    // One point changed: a byte of its state flipped.
    const std::uint64_t points = (bytes - 4) / kRegionPointBytes;
    const std::uint32_t choice = tail_word(data, size, 4);
    auto* changed = static_cast<std::uint8_t*>(std::malloc(bytes));
    if (changed && points) {
        std::memcpy(changed, index, bytes);
        const std::uint64_t offset = 4 + choice % points * kRegionPointBytes;
        changed[offset + (choice >> 24) % 30] ^= static_cast<std::uint8_t>(choice >> 16 | 1);
        reseal_region_point(changed, offset);
        decode_region(decoder, changed, info, tail_word(data, size, 0), tail_word(data, size, 1));
    }
    std::free(changed);
    release_decode_result(recorded);
    return 0;
}
