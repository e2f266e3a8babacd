// Resampling a Dib to another size: the integer area-averaging reducer
// (DibScale), the separable filtered resampler (DibResize) and FitWithin,
// the integer rule for the largest size of an aspect inside a box.
//
// Both resamplers return a new Dib, 8-bit with a grey ramp when the source
// is paletted with an all-grey colour table, 24-bit otherwise; the source is
// never changed. They run on the calling thread; the progress callback runs
// there too.
#pragma once

#include "imaging/dib.h"

#include <cstdint>

namespace qelvio::imaging {

enum ScaleMode : int {
    AreaAverage = 0,         // area averaging only
    AreaAverageSharpen = 1,  // area averaging, then a 3x3 sharpening of each row
    Filtered = 2,            // DibResize with the Hermite filter
};

enum ResampleFilter : int {
    Box = 0,
    Triangle = 1,
    Hermite = 2,
    Bell = 3,
    BSpline = 4,
    Lanczos3 = 5,
    Mitchell = 6,
};

struct DibSize {
    int width;
    int height;
};

// Reduces source to width x height by integer area averaging (4096 = one
// pixel; every sum starts at one half), optionally sharpened. Mode Filtered,
// or a destination wider or higher than the source, hands the work to
// DibResize with Hermite. Progress in row mode after every source row fed
// (done = source rows fed, at most the source height). Null for an empty
// source, an unsupported bit count, a size of 0, an unknown mode, no memory
// or a cancel.
DibPtr DibScale(const Dib& source, int width, int height, ScaleMode mode,
                ProgressCallback progress = nullptr, std::intptr_t user = 0);

// Separable filtered resampling, horizontal pass first. Weights are the
// filter value x 65536 truncated toward zero and are not renormalised; there
// is no half-pixel offset; edge pixels are mirrored (and clamped to the edge
// for sources smaller than the filter's reach). Progress in percent mode over
// both passes. Null for a filter outside 0..6, a source whose compression is
// not 0 (this includes 16-bit Dibs that carry masks), a size of 0, no
// memory or a cancel.
DibPtr DibResize(const Dib& source, int width, int height, ResampleFilter filter,
                 ProgressCallback progress = nullptr, std::intptr_t user = 0);

// The filter function of a kind at distance t (single precision); 0 for an
// unknown kind.
float ResampleFilterValue(ResampleFilter filter, float t);
// The filter's reach in source pixels (its support); 0 for an unknown kind.
float ResampleFilterSupport(ResampleFilter filter);

// 768 bytes: index v + 256 (v from -256 to 511) gives v limited to 0..255.
const std::uint8_t* ClampTable();

// Largest size of width x height's aspect inside box_width x box_height,
// never enlarging, in integers; the short side can truncate to 0. 0 x 0 for
// sizes that are not positive.
DibSize FitWithin(int box_width, int box_height, int width, int height);

}  // namespace qelvio::imaging
