// DibScale: one-pass integer area averaging, with an optional 3x3
// sharpening of the result.
//
// Weights are in 4096ths of a pixel. Each destination row (and pixel)
// collects the weighted source rows (pixels) it covers in an accumulator
// that starts at one half (2048), so the final shift by 12 rounds.
#include "imaging/resample.h"
#include "imaging/resample_source.h"

#include <algorithm>
#include <cstring>

namespace qelvio::imaging {

namespace {

// The horizontal step: reduces a finished row of `sw` pixels to `dw`.
void reduce_row(const std::uint8_t* in, std::uint8_t* out, int sw, int dw, int channels,
                int wx) {
    if (sw == dw) {
        std::memcpy(out, in, std::size_t(sw) * channels);
        return;
    }
    std::uint32_t acc[3] = {2048, 2048, 2048};
    int cap = 4096, w = wx, x = 0, produced = 0;
    while (produced < dw) {
        // Past the end, the last pixel supplies the weight truncation left short.
        const std::uint8_t* p = in + std::size_t(std::min(x, sw - 1)) * channels;
        ++x;
        if (w >= cap) {
            for (int c = 0; c < channels; ++c) {
                out[produced * channels + c] =
                    static_cast<std::uint8_t>((acc[c] + std::uint32_t(cap) * p[c]) >> 12);
                acc[c] = 2048;
            }
            ++produced;
            w -= cap;
            cap += 4096;
        }
        for (int c = 0; c < channels; ++c) acc[c] += std::uint32_t(w) * p[c];
        w = wx;
        cap -= wx;
    }
}

// 3x3 sharpening of row `mid` with its neighbours; first and last pixels
// are copied.
void sharpen_row(const std::uint8_t* below, const std::uint8_t* mid, const std::uint8_t* above,
                 std::uint8_t* out, int width, int channels) {
    const int n = width * channels;
    std::memcpy(out, mid, channels);
    std::memcpy(out + n - channels, mid + n - channels, channels);
    for (int i = channels; i < n - channels; ++i) {
        const int v = 28 * mid[i] - 2 * (mid[i - channels] + mid[i + channels] + below[i] + above[i]) -
                      (below[i - channels] + below[i + channels] + above[i - channels] +
                       above[i + channels]);
        out[i] = static_cast<std::uint8_t>(v < 0 ? 0 : v > 4080 ? 255 : (v + 7) >> 4);
    }
}

// Receives destination rows in memory order and writes them, sharpened or
// not, into the result.
class SharpenStage {
public:
    SharpenStage(Dib& result, int width, int height, int channels, bool sharpen)
        : result_(result), width_(width), height_(height), channels_(channels),
          active_(sharpen && width >= 3 && height >= 3) {}

    bool allocate() {
        if (!active_) return true;
        for (auto& r : ring_) {
            r = allocate_row();
            if (!r) return false;
        }
        return true;
    }

    // The buffer the next finished row is written into.
    std::uint8_t* next_row() { return active_ ? ring_[count_ % 3].get() : DibRow(result_, count_); }

    // The row handed out by next_row() is complete.
    void push() {
        const int k = count_++;
        if (!active_) return;
        const std::size_t n = std::size_t(width_) * channels_;
        if (k == 1) std::memcpy(DibRow(result_, 0), ring_[0].get(), n);
        if (k >= 2) {
            sharpen_row(ring_[(k - 2) % 3].get(), ring_[(k - 1) % 3].get(), ring_[k % 3].get(),
                        DibRow(result_, k - 1), width_, channels_);
        }
    }

    // After the last row: the last row goes out unchanged.
    void finish() {
        if (active_ && count_ == height_) {
            std::memcpy(DibRow(result_, height_ - 1), ring_[(height_ - 1) % 3].get(),
                        std::size_t(width_) * channels_);
        }
    }

private:
    Block<std::uint8_t> allocate_row() {
        return make_block<std::uint8_t>(std::size_t(width_) * channels_ + 3);
    }

    Dib& result_;
    int width_, height_, channels_;
    bool active_;
    int count_ = 0;
    Block<std::uint8_t> ring_[3] = {{nullptr, DibRelease}, {nullptr, DibRelease},
                                    {nullptr, DibRelease}};
};

}  // namespace

DibPtr DibScale(const Dib& source, int width, int height, ScaleMode mode,
                ProgressCallback progress, std::intptr_t user) {
    if (!source.bitmap || width <= 0 || height <= 0) return nullptr;
    if (mode != AreaAverage && mode != AreaAverageSharpen && mode != Filtered) return nullptr;
    const int sw = DibWidth(source), sh = DibHeight(source);
    const int wx = static_cast<int>(static_cast<float>(width) / static_cast<float>(sw) * 4096.0f);
    const int wy = static_cast<int>(static_cast<float>(height) / static_cast<float>(sh) * 4096.0f);
    // Growing needs the filter. So does a reduction beyond 4096 to 1, whose
    // weight truncates to 0 and would never complete a pixel.
    if (mode == Filtered || width > sw || height > sh || wx == 0 || wy == 0) {
        return DibResize(source, width, height, Hermite, progress, user);
    }
    SourceRows rows(source, FiveBitExpansion::Rounded);
    if (!rows.ok()) return nullptr;
    const int channels = rows.channels();
    auto result = create_resample_result(source, width, height);
    if (!result) return nullptr;

    const std::size_t n = std::size_t(sw) * channels;
    auto acc = make_block<std::uint32_t>(n);
    auto finished = make_block<std::uint8_t>(std::size_t(sw) * 4);
    SharpenStage stage(*result, width, height, channels, mode == AreaAverageSharpen);
    if (!acc || !finished || !rows.allocate() || !stage.allocate()) return nullptr;
    std::fill(acc.get(), acc.get() + n, 2048u);

    std::uint32_t* a = acc.get();
    std::uint8_t* f = finished.get();
    int cap = 4096, w = wy, source_y = 0, fed = 0;
    for (int y = 0; y < height; ++y) {
        bool produced = false;
        while (!produced) {
            const std::uint8_t* p = rows.row(source_y);
            if (source_y < sh - 1) ++source_y;  // then the last row is fed again
            ++fed;
            if (w >= cap) {
                const std::uint32_t c = std::uint32_t(cap), rest = std::uint32_t(w - cap);
                for (std::size_t i = 0; i < n; ++i) {
                    f[i] = static_cast<std::uint8_t>((a[i] + c * p[i]) >> 12);
                    a[i] = 2048 + rest * p[i];
                }
                produced = true;
                cap += 4096;
            } else {
                const std::uint32_t c = std::uint32_t(w);
                for (std::size_t i = 0; i < n; ++i) a[i] += c * p[i];
            }
            w = wy;
            cap -= wy;
            if (produced) {
                reduce_row(f, stage.next_row(), sw, width, channels, wx);
                stage.push();
            }
            if (progress && !progress(user, std::min(fed, sh), sh)) return nullptr;
        }
    }
    stage.finish();
    DibMakePalette(*result);
    return result;
}

}  // namespace qelvio::imaging
