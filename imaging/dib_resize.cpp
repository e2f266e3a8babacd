// DibResize: separable filtered resampling with integer pixel arithmetic.
//
// The weights are set up in single precision and stored as filter value x
// 65536 truncated toward zero, without renormalising; pixel sums are exact
// 32-bit integers divided by 65536 truncating toward zero, then clamped.
#include "imaging/resample.h"
#include "imaging/resample_source.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>

namespace qelvio::imaging {

namespace {

constexpr float kPi = 3.14159265358979323846f;

float sinc(float x) {
    if (x == 0.0f) return 1.0f;
    x *= kPi;
    return static_cast<float>(std::sin(static_cast<double>(x))) / x;
}

// A destination index's contributors: `count` (source index, weight) pairs
// starting at `first` in the shared pair array.
struct Contributor {
    int pixel;
    int weight;
};

struct ContributorLists {
    std::unique_ptr<Contributor[], void (*)(void*)> pairs{nullptr, DibRelease};
    std::unique_ptr<int[], void (*)(void*)> counts{nullptr, DibRelease};
    int capacity = 0;  // pairs per destination index

    const Contributor* list(int i) const { return pairs.get() + std::size_t(i) * capacity; }
    int count(int i) const { return counts[i]; }
};

// Source index j mirrored into 0..size-1, then clamped to the edge for
// sources smaller than the filter's reach.
int mirror(int j, int size) {
    if (j < 0) j = -j;
    if (j >= size) j = 2 * size - j - 1;
    return std::clamp(j, 0, size - 1);
}

bool build_contributors(ContributorLists& lists, int source_size, int destination_size,
                        ResampleFilter filter) {
    const float scale = static_cast<float>(destination_size) / static_cast<float>(source_size);
    const float support = ResampleFilterSupport(filter);
    const bool reducing = scale < 1.0f;
    const float fscale = 1.0f / scale;
    const float reach = reducing ? support * fscale : support;
    const float capacity_f = 2.0f * reach + 1.0f;
    if (!(capacity_f < 1.0e6f)) return false;
    lists.capacity = static_cast<int>(capacity_f);
    lists.pairs.reset(static_cast<Contributor*>(
        DibAllocate(sizeof(Contributor) * std::size_t(lists.capacity) * destination_size)));
    lists.counts.reset(static_cast<int*>(DibAllocate(sizeof(int) * destination_size)));
    if (!lists.pairs || !lists.counts) return false;
    for (int i = 0; i < destination_size; ++i) {
        Contributor* out = lists.pairs.get() + std::size_t(i) * lists.capacity;
        int n = 0;
        const float centre = static_cast<float>(i) * fscale;
        const int left = static_cast<int>(std::ceil(centre - reach));
        const int right = static_cast<int>(std::floor(centre + reach));
        for (int j = left; j <= right && n < lists.capacity; ++j) {
            float weight;
            if (reducing) {
                weight = ResampleFilterValue(filter, (centre - static_cast<float>(j)) * scale) *
                         scale;
            } else {
                weight = ResampleFilterValue(filter, centre - static_cast<float>(j));
            }
            out[n++] = {mirror(j, source_size), static_cast<int>(weight * 65536.0f)};
        }
        lists.counts[i] = n;
    }
    return true;
}

// Sum / 65536 truncated toward zero, through the clamp table.
inline std::uint8_t finish(int sum) {
    const int v = std::clamp(sum / 65536, -256, 511);
    return ClampTable()[v + 256];
}

// Percent-mode reporting: calls only when the value changed.
struct PercentReporter {
    ProgressCallback progress;
    std::intptr_t user;
    std::int64_t units;
    int last = -1;

    bool report(std::int64_t done_units) {
        if (!progress) return true;
        const int value = static_cast<int>((done_units * 100) / units);
        if (value == last) return true;
        last = value;
        return progress(user, value, 100) != 0;
    }
};

template <int Channels>
void horizontal_row(const std::uint8_t* in, std::uint8_t* out, const ContributorLists& x,
                    int width) {
    for (int i = 0; i < width; ++i) {
        const Contributor* c = x.list(i);
        const int n = x.count(i);
        int sum[Channels] = {};
        for (int k = 0; k < n; ++k) {
            const std::uint8_t* p = in + std::size_t(c[k].pixel) * Channels;
            for (int ch = 0; ch < Channels; ++ch) sum[ch] += c[k].weight * p[ch];
        }
        for (int ch = 0; ch < Channels; ++ch) out[i * Channels + ch] = finish(sum[ch]);
    }
}

}  // namespace

float ResampleFilterSupport(ResampleFilter filter) {
    switch (filter) {
    case Box: return 0.5f;
    case Triangle:
    case Hermite: return 1.0f;
    case Bell: return 1.5f;
    case BSpline:
    case Mitchell: return 2.0f;
    case Lanczos3: return 3.0f;
    }
    return 0.0f;
}

float ResampleFilterValue(ResampleFilter filter, float t) {
    const float a = std::fabs(t);
    switch (filter) {
    case Box: return (t > -0.5f && t <= 0.5f) ? 1.0f : 0.0f;
    case Triangle: return a < 1.0f ? 1.0f - a : 0.0f;
    case Hermite: return a < 1.0f ? (2.0f * a - 3.0f) * a * a + 1.0f : 0.0f;
    case Bell:
        if (a < 0.5f) return 0.75f - a * a;
        if (a < 1.5f) {
            const float u = a - 1.5f;
            return 0.5f * u * u;
        }
        return 0.0f;
    case BSpline:
        if (a < 1.0f) return 0.5f * a * a * a - a * a + 2.0f / 3.0f;
        if (a < 2.0f) {
            const float u = 2.0f - a;
            return (1.0f / 6.0f) * (u * u * u);
        }
        return 0.0f;
    case Lanczos3: return a < 3.0f ? sinc(a) * sinc(a / 3.0f) : 0.0f;
    case Mitchell:
        if (a < 1.0f) return (7.0f * a * a * a - 12.0f * a * a + 16.0f / 3.0f) / 6.0f;
        if (a < 2.0f) {
            return (-(7.0f / 3.0f) * a * a * a + 12.0f * a * a - 20.0f * a + 32.0f / 3.0f) /
                   6.0f;
        }
        return 0.0f;
    }
    return 0.0f;
}

const std::uint8_t* ClampTable() {
    static const std::array<std::uint8_t, 768> table = [] {
        std::array<std::uint8_t, 768> t{};
        for (int v = -256; v < 512; ++v) {
            t[v + 256] = static_cast<std::uint8_t>(std::clamp(v, 0, 255));
        }
        return t;
    }();
    return table.data();
}

DibPtr DibResize(const Dib& source, int width, int height, ResampleFilter filter,
                 ProgressCallback progress, std::intptr_t user) {
    if (!source.bitmap || filter < Box || filter > Mitchell) return nullptr;
    if (DibHeader(source)->compression != kCompressionPlain) return nullptr;
    if (width <= 0 || height <= 0) return nullptr;
    SourceRows rows(source);
    if (!rows.ok()) return nullptr;
    const int sw = DibWidth(source), sh = DibHeight(source);
    const int channels = rows.channels();

    auto result = create_resample_result(source, width, height);
    if (!result) return nullptr;

    ContributorLists xs, ys;
    if (!build_contributors(xs, sw, width, filter) || !build_contributors(ys, sh, height, filter)) {
        return nullptr;
    }
    const std::size_t inter_stride = std::size_t(width) * channels;
    std::unique_ptr<std::uint8_t[], void (*)(void*)> inter(
        static_cast<std::uint8_t*>(DibAllocate(inter_stride * sh)), DibRelease);
    std::unique_ptr<int[], void (*)(void*)> sums(
        static_cast<int*>(DibAllocate(sizeof(int) * inter_stride)), DibRelease);
    if (!inter || !sums || !rows.allocate()) return nullptr;

    PercentReporter reporter{progress, user,
                             std::int64_t(sh) * width + std::int64_t(width) * height};

    // Pass 1: every source row to destination width.
    for (int y = 0; y < sh; ++y) {
        const std::uint8_t* in = rows.row(y);
        std::uint8_t* out = inter.get() + inter_stride * y;
        if (channels == 3) {
            horizontal_row<3>(in, out, xs, width);
        } else {
            horizontal_row<1>(in, out, xs, width);
        }
        if (!reporter.report(std::int64_t(y) * width)) return nullptr;
    }

    // Pass 2: every destination row from its contributing intermediate rows.
    // Summing row by row gives the same integers as summing down each column.
    const std::size_t n = inter_stride;
    int* acc = sums.get();
    for (int y = 0; y < height; ++y) {
        const Contributor* c = ys.list(y);
        const int count = ys.count(y);
        std::fill(acc, acc + n, 0);
        for (int k = 0; k < count; ++k) {
            const std::uint8_t* in = inter.get() + inter_stride * c[k].pixel;
            const int w = c[k].weight;
            for (std::size_t i = 0; i < n; ++i) acc[i] += w * in[i];
        }
        std::uint8_t* out = DibRow(*result, y);
        for (std::size_t i = 0; i < n; ++i) out[i] = finish(acc[i]);
        if (!reporter.report(std::int64_t(sh) * width + std::int64_t(y) * width)) return nullptr;
    }
    DibMakePalette(*result);
    return result;
}

}  // namespace qelvio::imaging
