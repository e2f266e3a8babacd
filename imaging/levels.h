// Tone adjustment of 8-bit (treated as grey) and 24-bit images: levels with
// contrast, brightness and gamma, per-channel levels, auto levels and the
// histogram they measure. Each returns a new Dib and leaves the source
// untouched; the floating-point work builds at most three 256-entry tables
// and the pixels are remapped by lookup. Run on the calling thread.
#pragma once

#include "imaging/dib.h"

#include <array>
#include <cstdint>

namespace qelvio::imaging {

// The five levels parameters; the defaults are the neutral values.
struct LevelsParams {
    int black = 0;        // 0 to white - 1
    int white = 255;      // 0 to 255
    int contrast = 0;     // -100 to 100; 50 replaces the tone by an S-curve
    int brightness = 0;   // -100 to 100; +-100 adds +-255
    double gamma = 1.0;   // 0 to 10; 0 (or less) acts as 1, the smallest non-zero step
};

// One remapping table: out = table[in].
using ToneTable = std::array<std::uint8_t, 256>;

// The table of one entry tone v: x = (v - black) x 255 / (white - black);
// s = 127.5 (1 + sin((v - 127.5) pi / 255)); y = x + contrast x 0.02 (s - x)
// + brightness x 2.55; out = 255 (y / 255)^(1 / gamma) rounded, limited to
// 0..255, and 0 for a negative y. Requires black < white.
std::uint8_t LevelsTone(const LevelsParams& params, int v);

// Remaps every tone through the table of `params`. 8-bit images: each
// colour-table entry's green byte is the tone (entries at or past the
// colours-used count, when that is set, map to 0) and the result gets the
// grey ramp; 24-bit: blue, green and red each go through the table. Percent
// progress after each row. Null unless 8- or 24-bit, for black >= white, no
// memory or a cancel.
DibPtr DibLevels(const Dib& source, const LevelsParams& params,
                 ProgressCallback progress = nullptr, std::intptr_t user = 0);

// Per-channel levels of a 24-bit image using each channel's black, white
// and gamma (contrast and brightness are ignored). Null unless 24-bit, for
// black >= white in any channel, no memory or a cancel.
DibPtr DibLevelsRgb(const Dib& source, const LevelsParams& red, const LevelsParams& green,
                    const LevelsParams& blue, ProgressCallback progress = nullptr,
                    std::intptr_t user = 0);

// Counts of a Dib's values: for 8-bit images one histogram of colour-table
// indices (counts[0]), for 24-bit one per channel (counts[0] red, [1] green,
// [2] blue).
struct Histogram {
    int channels = 0;
    std::array<std::array<std::uint32_t, 256>, 3> counts{};
};

// Measures an 8- or 24-bit image whose compression is 0; false otherwise.
bool DibHistogram(const Dib& dib, Histogram& histogram);

// Clips low_percent of the pixels at the dark end and high_percent at the
// bright end (per channel for 24-bit) and stretches the rest to the full
// range. Null for other bit counts, a uniform image (black would not be
// below white), no memory or a cancel.
DibPtr DibAutoLevels(const Dib& source, double low_percent, double high_percent,
                     ProgressCallback progress = nullptr, std::intptr_t user = 0);

}  // namespace qelvio::imaging
