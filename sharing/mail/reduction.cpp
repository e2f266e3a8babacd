#include "sharing/mail/reduction.h"

namespace qelvio::sharing {

int64_t reduction_pixels(int index) {
    static constexpr int64_t targets[kReductionCount] = {0, 250000, 500000, 1000000, 1500000, 2000000};
    return index >= 0 && index < kReductionCount ? targets[index] : 0;
}

int decode_divisor(int64_t pixels, int64_t target) {
    if (target <= 0 || pixels <= target) return 1;
    int64_t r = pixels / target;
    int64_t k = r / 4 > 3 ? 3 : r / 4;
    int g = 1 << k;
    if (pixels / (static_cast<int64_t>(g) * g) < target) g /= 2;
    return g < 1 ? 1 : g;
}

imaging::DibSize resampled_size(int width, int height, int64_t target) {
    int64_t q = static_cast<int64_t>(width) * height;
    if (q <= 0 || q <= target + target / 10) return {width, height};
    int64_t u = target * 140 / q;
    return {static_cast<int>(width * u / 100), static_cast<int>(height * u / 100)};
}

}  // namespace qelvio::sharing
