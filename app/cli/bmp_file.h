// Writing a decoded bitmap (the header block and pixels of a DecodeResult)
// as a BMP file, for the commands that output pictures.
#pragma once

#include "decoding/decoder_records.h"

#include <string>

namespace qelvio::cli {

// Writes the file; false when it cannot be written or the result's pixels
// are fewer than its header says.
bool write_bmp(const std::string& path, const decoding::DecodeResult& result);

// Writes the result as a BMP file, prints "PATH: W x H, B bits" (or the
// failure on stderr) and releases the result; returns the exit status.
int write_decoded(const std::string& path, decoding::DecodeResult& result);

}  // namespace qelvio::cli
