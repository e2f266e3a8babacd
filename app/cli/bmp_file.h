// Writing a bitmap as a BMP file, so that any viewer can show what a
// command decoded or drew.
#pragma once

#include "imaging/dib.h"

#include <string>

namespace qelvio::cli {

// False when the file cannot be written or the bitmap is empty.
bool write_bmp(const std::string& path, const imaging::Dib& dib);

}  // namespace qelvio::cli
