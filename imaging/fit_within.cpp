// FitWithin: the integer rule for reduced sizes that keep the aspect ratio.
#include "imaging/resample.h"

#include <algorithm>
#include <cstdint>

namespace qelvio::imaging {

DibSize FitWithin(int box_width, int box_height, int width, int height) {
    if (box_width <= 0 || box_height <= 0 || width <= 0 || height <= 0) return {0, 0};
    const std::int64_t w = width, h = height;
    const std::int64_t rw = (w * 1000) / box_width;
    const std::int64_t rh = (h * 1000) / box_height;
    std::int64_t out_w, out_h;
    if (rh < rw) {
        out_w = std::min<std::int64_t>(w, box_width);
        const std::int64_t aspect = (w * 100) / h;
        // An aspect that truncates to 0 would divide by zero; the exact
        // ratio gives the answer the rule approximates.
        out_h = aspect > 0 ? (out_w * 100) / aspect : std::min(h, (out_w * h) / w);
    } else if (rw < rh) {
        out_h = std::min<std::int64_t>(h, box_height);
        const std::int64_t aspect = (h * 100) / w;
        out_w = aspect > 0 ? (out_h * 100) / aspect : std::min(w, (out_h * w) / h);
    } else {
        out_w = std::min<std::int64_t>(w, box_width);
        out_h = std::min<std::int64_t>(h, box_height);
    }
    return {static_cast<int>(std::min(out_w, w)), static_cast<int>(std::min(out_h, h))};
}

}  // namespace qelvio::imaging
