// Writing a bitmap as a BMP file, so that any viewer can show what a
// command decoded or drew.
#pragma once

#include "decoding/decoder_records.h"
#include "imaging/dib.h"

#include <string>

namespace qelvio::cli {

// False when the file cannot be written or the bitmap is empty.
bool write_bmp(const std::string& path, const imaging::Dib& dib);

// Writes a decode result as a BMP file, prints "PATH: W x H, B bits" (or
// the failure on stderr) and releases the result; returns the exit status.
int write_decoded(const std::string& path, decoding::DecodeResult& result);

}  // namespace qelvio::cli
