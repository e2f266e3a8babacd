// The size rules of sending images reduced: the pixel count each choice
// aims at, the scale an image is decoded at, and the size a decoded image
// is resampled to. Plain integer arithmetic, so the sizes are exact.
#pragma once

#include "imaging/resample.h"

#include <cstdint>

namespace qelvio::sharing {

// The choices of "Reduce images to:", by list position.
inline constexpr int kReductionCount = 6;

// Target pixel count of a choice (0: no reduction; 0 for an unknown index).
int64_t reduction_pixels(int index);

// Whether an image of `pixels` pixels is sent as its unchanged file.
inline bool send_unchanged(int64_t pixels, int64_t target) { return target == 0 || target >= pixels; }

// The divisor g (1, 2, 4 or 8) of the first decode of an image of `pixels`
// pixels aimed at `target` (pixels > target > 0): r = P / T, k = min(r / 4,
// 3), g = 2^k, halved when P / (g * g) < T. The decode scale is 1000 / g.
int decode_divisor(int64_t pixels, int64_t target);

// The size a decoded w x h image is resampled to: when w * h exceeds
// T + T / 10, (w * u / 100) x (h * u / 100) with u = T * 140 / (w * h);
// otherwise w x h itself (no resampling).
imaging::DibSize resampled_size(int width, int height, int64_t target);

}  // namespace qelvio::sharing
