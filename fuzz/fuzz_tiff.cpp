// Fuzzes the TIFF decoder through libtiff: directory facts, scanline and
// RGBA paths, both pages of two-directory files; the first byte's low bit
// picks the Exif-thumbnail mode.
#include "decoding/tiff_decoder.h"
#include "fuzz/decode_all.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    bool exif = size > 0 && (data[size - 1] & 1);
    qelvio::fuzz::decode_all<qelvio::decoding::TiffDecoder>(data, size, 2, true, exif);
    return 0;
}
