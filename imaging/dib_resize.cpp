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
#include <cstring>
#include <memory>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace qelvio::imaging {

namespace {

constexpr float kPi = 3.14159265358979323846f;

float sinc(float x) {
    if (x == 0.0f) return 1.0f;
    x *= kPi;
    return static_cast<float>(std::sin(static_cast<double>(x))) / x;
}

// One contributor: a source index and its weight in 65536ths.
struct Contributor {
    int pixel;
    int weight;
};

// The contributor lists of every destination index of one dimension, each
// at most `capacity` pairs long, in one shared array.
struct ContributorLists {
    std::unique_ptr<Contributor[], void (*)(void*)> pairs{nullptr, DibRelease};
    std::unique_ptr<int[], void (*)(void*)> counts{nullptr, DibRelease};
    int capacity = 0;  // pairs per destination index

    const Contributor* list(int i) const { return pairs.get() + std::size_t(i) * capacity; }
    int count(int i) const { return counts[i]; }
};

// Source index j mirrored at the edge it passed (-j before the start,
// 2 x size - j - 1 past the end); an index that is still outside, for
// sources smaller than the filter's reach, is clamped to the edge pixel.
int mirror(int j, int size) {
    if (j < 0) {
        j = -j;
    } else if (j >= size) {
        j = 2 * size - j - 1;
    }
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


// True when every weight of the lists fits in 16 bits, so that products can
// be summed pairwise by 16-bit multiply-add instructions; the sums are the
// same exact integers either way.
bool weights_fit_16(const ContributorLists& lists, int size) {
    for (int i = 0; i < size; ++i) {
        const Contributor* c = lists.list(i);
        for (int k = 0; k < lists.count(i); ++k) {
            if (c[k].weight < -32768 || c[k].weight > 32767) return false;
        }
    }
    return true;
}

// The horizontal contributors laid out for 8-lane dot products: per
// destination index, `lanes` 16-bit weights (zero past the count) applied to
// source pixels first..first+lanes-1. `first` is -1 where the run is not
// contiguous (mirrored or clamped edges); those use the pair list.
struct PackedRow {
    Block<std::int16_t> weights{nullptr, DibRelease};
    Block<int> first{nullptr, DibRelease};
    int lanes = 0;
};

bool pack_row_weights(const ContributorLists& lists, int size, PackedRow& packed) {
    packed.lanes = (lists.capacity + 7) / 8 * 8;
    packed.weights = make_block<std::int16_t>(std::size_t(packed.lanes) * size);
    packed.first = make_block<int>(size);
    if (!packed.weights || !packed.first) return false;
    for (int i = 0; i < size; ++i) {
        const Contributor* c = lists.list(i);
        const int n = lists.count(i);
        bool contiguous = n > 0;
        for (int k = 1; k < n && contiguous; ++k) contiguous = c[k].pixel == c[0].pixel + k;
        packed.first[i] = contiguous ? c[0].pixel : -1;
        std::int16_t* w = packed.weights.get() + std::size_t(i) * packed.lanes;
        for (int k = 0; k < n; ++k) w[k] = static_cast<std::int16_t>(c[k].weight);
    }
    return true;
}

#if defined(__SSE2__)
inline int horizontal_sum(__m128i v) {
    v = _mm_add_epi32(v, _mm_shuffle_epi32(v, _MM_SHUFFLE(1, 0, 3, 2)));
    v = _mm_add_epi32(v, _mm_shuffle_epi32(v, _MM_SHUFFLE(2, 3, 0, 1)));
    return _mm_cvtsi128_si32(v);
}

inline int dot16(const std::int16_t* values, const std::int16_t* weights, int lanes) {
    __m128i acc = _mm_setzero_si128();
    for (int m = 0; m < lanes; m += 8) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(values + m));
        const __m128i w = _mm_loadu_si128(reinterpret_cast<const __m128i*>(weights + m));
        acc = _mm_add_epi32(acc, _mm_madd_epi16(v, w));
    }
    return horizontal_sum(acc);
}

// Sum / 65536 truncated toward zero, then limited to 0..255 (the clamp
// table's mapping), for 16 sums at once.
inline __m128i finish16(__m128i s0, __m128i s1, __m128i s2, __m128i s3) {
    const __m128i low = _mm_set1_epi32(0xFFFF);
    auto div = [&](__m128i s) {
        return _mm_srai_epi32(_mm_add_epi32(s, _mm_and_si128(_mm_srai_epi32(s, 31), low)), 16);
    };
    return _mm_packus_epi16(_mm_packs_epi32(div(s0), div(s1)), _mm_packs_epi32(div(s2), div(s3)));
}
#else
inline int dot16(const std::int16_t* values, const std::int16_t* weights, int lanes) {
    int sum = 0;
    for (int m = 0; m < lanes; ++m) sum += values[m] * weights[m];
    return sum;
}
#endif

// Pass 1 on one row with 16-bit weights: the row's channels are spread into
// 16-bit planes (padded with zeros for the last lanes), then each
// destination pixel is a dot product per channel.
void horizontal_row_packed(const std::uint8_t* in, std::uint8_t* out, const ContributorLists& x,
                           const PackedRow& packed, int source_width, int width, int channels,
                           std::int16_t* planes) {
    const std::size_t plane_size = std::size_t(source_width) + packed.lanes;
    for (int c = 0; c < channels; ++c) {
        std::int16_t* plane = planes + plane_size * c;
        for (int j = 0; j < source_width; ++j) plane[j] = in[j * channels + c];
    }
    for (int i = 0; i < width; ++i) {
        const int first = packed.first[i];
        if (first >= 0) {
            const std::int16_t* w = packed.weights.get() + std::size_t(i) * packed.lanes;
            for (int c = 0; c < channels; ++c) {
                out[i * channels + c] = finish(dot16(planes + plane_size * c + first, w, packed.lanes));
            }
        } else {
            const Contributor* list = x.list(i);
            for (int c = 0; c < channels; ++c) {
                int sum = 0;
                for (int k = 0; k < x.count(i); ++k) sum += list[k].weight * in[list[k].pixel * channels + c];
                out[i * channels + c] = finish(sum);
            }
        }
    }
}

// Pass 2 for one destination row: sums weight x value over the
// contributing intermediate rows for all n values of the row.
void vertical_row(const std::uint8_t* inter, std::size_t inter_stride, const Contributor* c,
                  int count, bool fits16, std::size_t n, int* acc, std::uint8_t* out) {
    std::size_t i = 0;
#if defined(__SSE2__)
    if (fits16) {
        const __m128i zero = _mm_setzero_si128();
        for (; i + 16 <= n; i += 16) {
            __m128i s0 = zero, s1 = zero, s2 = zero, s3 = zero;
            for (int k = 0; k < count; k += 2) {
                const std::uint8_t* ra = inter + inter_stride * c[k].pixel + i;
                const bool pair = k + 1 < count;
                const std::uint8_t* rb = pair ? inter + inter_stride * c[k + 1].pixel + i : ra;
                const int wb = pair ? c[k + 1].weight : 0;
                const __m128i w = _mm_set1_epi32(static_cast<int>(
                    (static_cast<std::uint32_t>(wb) << 16) |
                    (static_cast<std::uint32_t>(c[k].weight) & 0xFFFFu)));
                const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(ra));
                const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(rb));
                const __m128i a_lo = _mm_unpacklo_epi8(a, zero), a_hi = _mm_unpackhi_epi8(a, zero);
                const __m128i b_lo = _mm_unpacklo_epi8(b, zero), b_hi = _mm_unpackhi_epi8(b, zero);
                s0 = _mm_add_epi32(s0, _mm_madd_epi16(_mm_unpacklo_epi16(a_lo, b_lo), w));
                s1 = _mm_add_epi32(s1, _mm_madd_epi16(_mm_unpackhi_epi16(a_lo, b_lo), w));
                s2 = _mm_add_epi32(s2, _mm_madd_epi16(_mm_unpacklo_epi16(a_hi, b_hi), w));
                s3 = _mm_add_epi32(s3, _mm_madd_epi16(_mm_unpackhi_epi16(a_hi, b_hi), w));
            }
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), finish16(s0, s1, s2, s3));
        }
    }
#else
    (void)fits16;
#endif
    if (i >= n) return;
    std::fill(acc + i, acc + n, 0);
    for (int k = 0; k < count; ++k) {
        const std::uint8_t* in = inter + inter_stride * c[k].pixel;
        const int w = c[k].weight;
        for (std::size_t v = i; v < n; ++v) acc[v] += w * in[v];
    }
    for (std::size_t v = i; v < n; ++v) out[v] = finish(acc[v]);
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
    auto inter = make_block<std::uint8_t>(inter_stride * sh);
    auto sums = make_block<int>(inter_stride);
    if (!inter || !sums || !rows.allocate()) return nullptr;

    // 16-bit weights (every reduction to half size or less, for example)
    // take the multiply-add path; the sums are the same integers.
    const bool x_fits16 = weights_fit_16(xs, width);
    const bool y_fits16 = weights_fit_16(ys, height);
    PackedRow packed;
    Block<std::int16_t> planes{nullptr, DibRelease};
    if (x_fits16) {
        if (!pack_row_weights(xs, width, packed)) return nullptr;
        planes = make_block<std::int16_t>((std::size_t(sw) + packed.lanes) * channels);
        if (!planes) return nullptr;
    }

    PercentReporter reporter{progress, user,
                             std::int64_t(sh) * width + std::int64_t(width) * height};

    // Pass 1: every source row to destination width.
    for (int y = 0; y < sh; ++y) {
        const std::uint8_t* in = rows.row(y);
        std::uint8_t* out = inter.get() + inter_stride * y;
        if (x_fits16) {
            horizontal_row_packed(in, out, xs, packed, sw, width, channels, planes.get());
        } else if (channels == 3) {
            horizontal_row<3>(in, out, xs, width);
        } else {
            horizontal_row<1>(in, out, xs, width);
        }
        if (!reporter.report(std::int64_t(y) * width)) return nullptr;
    }

    // Pass 2: every destination row from its contributing intermediate rows.
    // Summing row by row gives the same integers as summing down each column.
    for (int y = 0; y < height; ++y) {
        vertical_row(inter.get(), inter_stride, ys.list(y), ys.count(y), y_fits16, inter_stride,
                     sums.get(), DibRow(*result, y));
        if (!reporter.report(std::int64_t(sh) * width + std::int64_t(y) * width)) return nullptr;
    }
    DibMakePalette(*result);
    return result;
}

}  // namespace qelvio::imaging
