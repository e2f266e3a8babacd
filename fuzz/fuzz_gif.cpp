// Fuzzes the GIF decoder: blocks, LZW, interlacing and the animation canvas
// over the first frames.
#include "decoding/gif_decoder.h"
#include "fuzz/decode_all.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    qelvio::fuzz::decode_all<qelvio::decoding::GifDecoder>(data, size, 3, false);
    return 0;
}
