// Geometric operations on the packed rows of every bit count (1, 4, 8, 16,
// 24): quarter-turn rotation, mirroring and cropping. Each returns a new Dib
// with the source's bit count and colour table and never changes the source.
// Progress in percent mode after each source row. Run on the calling thread.
#pragma once

#include "imaging/dib.h"

#include <cstdint>

namespace qelvio::imaging {

// Rotates clockwise by a multiple of 90 degrees; the angle is reduced to
// (angle + 360) mod 360, so -90 is 270. 90 and 270 exchange width and
// height. Null for any other angle, an unsupported bit count, no memory or
// a cancel.
DibPtr DibRotate(const Dib& source, int angle, ProgressCallback progress = nullptr,
                 std::intptr_t user = 0);

// Mirrors left-right (horizontal) and/or top-bottom (vertical); both equal a
// half turn. Null for an unsupported bit count, no memory or a cancel.
DibPtr DibFlip(const Dib& source, bool horizontal, bool vertical,
               ProgressCallback progress = nullptr, std::intptr_t user = 0);

// The pixels of `rect` (picture coordinates: top row 0; right and bottom
// exclusive). The rectangle must lie inside the image and be non-empty;
// otherwise null, as for an unsupported bit count, no memory or a cancel.
DibPtr DibCrop(const Dib& source, const DibRect& rect, ProgressCallback progress = nullptr,
               std::intptr_t user = 0);

}  // namespace qelvio::imaging
