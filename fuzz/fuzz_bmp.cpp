// Fuzzes the BMP decoder: header parsing, colour tables, run-length and
// bit-field rows.
#include "decoding/bmp_decoder.h"
#include "fuzz/decode_all.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    qelvio::fuzz::decode_all<qelvio::decoding::BmpDecoder>(data, size, 1, false);
    return 0;
}
