// The program's own decoder module: the BMP, GIF, JPEG and TIFF decoders
// behind the fifteen entry points. Its information (one format row per
// decoder) is built once by the initialize entry point and lives until the
// program ends. Every forwarder answers -1 while the module is not
// initialized.
//
// Thread-safe: initialization may race harmlessly; decoders themselves are
// used by one thread at a time.
#pragma once

#include "decoding/decoder_entry_points.h"

namespace qelvio::decoding {

// The module's table of entry points.
const DecoderEntryPoints& builtin_entry_points();

// Creates the first of the built-in decoders (TIFF, JPEG, GIF, BMP, in that
// order) that opens the data, or returns kDecodeNoDecoder. Exposed for the
// JPEG decoder's nested thumbnails and for tests.
int builtin_open_decoder(const ImageDataSource& source, ImageDecoder** decoder);

}  // namespace qelvio::decoding
