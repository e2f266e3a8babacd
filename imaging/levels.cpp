// Levels, per-channel levels, histograms and auto levels.
#include "imaging/levels.h"
#include "imaging/progress.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace qelvio::imaging {

namespace {

// Gamma 0 is a reachable dialog position where 1 / gamma has no value; it
// acts as the smallest non-zero position, 1, so the image is left as the
// other parameters make it.
double effective_gamma(double gamma) { return gamma > 0.0 ? gamma : 1.0; }

// 255 (y / 255)^(1 / gamma) + 0.5, truncated and limited to 0..255.
std::uint8_t apply_gamma(double y, double gamma) {
    if (!(y >= 0.0)) return 0;  // negative (or not a number)
    const double z = 255.0 * std::pow(y / 255.0, 1.0 / effective_gamma(gamma)) + 0.5;
    if (!(z < 255.0)) return 255;
    return static_cast<std::uint8_t>(static_cast<int>(z));
}

double stretch(const LevelsParams& p, int v) {
    return static_cast<double>(v - p.black) * 255.0 / static_cast<double>(p.white - p.black);
}

bool remap_24(const Dib& source, Dib& result, const ToneTable& b, const ToneTable& g,
              const ToneTable& r, const RowPercentProgress& progress) {
    const int w = DibWidth(source), h = DibHeight(source);
    for (int y = 0; y < h; ++y) {
        const std::uint8_t* s = DibRow(source, y);
        std::uint8_t* d = DibRow(result, y);
        for (int x = 0; x < w; ++x, s += 3, d += 3) {
            d[0] = b[s[0]];
            d[1] = g[s[1]];
            d[2] = r[s[2]];
        }
        if (!progress.row_done(y)) return false;
    }
    return true;
}

DibPtr create_like(const Dib& source) {
    auto result = std::make_unique<Dib>();
    const int bits = DibBitCount(source);
    if (bits == 8) {
        RgbQuad ramp[256];
        for (int i = 0; i < 256; ++i) {
            const auto v = static_cast<std::uint8_t>(i);
            ramp[i] = {v, v, v, 0};
        }
        if (!DibCreate(*result, DibWidth(source), DibHeight(source), 8, 256, ramp)) return nullptr;
    } else if (!DibCreate(*result, DibWidth(source), DibHeight(source), 24, 0)) {
        return nullptr;
    }
    return result;
}

}  // namespace

std::uint8_t LevelsTone(const LevelsParams& p, int v) {
    const double x = stretch(p, v);
    const double s = 127.5 * (1.0 + std::sin((v - 127.5) * std::numbers::pi / 255.0));
    const double y = x + (p.contrast * 0.02) * (s - x) + p.brightness * 2.55;
    return apply_gamma(y, p.gamma);
}

DibPtr DibLevels(const Dib& source, const LevelsParams& params, ProgressCallback progress,
                 std::intptr_t user) {
    if (!source.bitmap || params.black >= params.white) return nullptr;
    const int bits = DibBitCount(source);
    if (bits != 8 && bits != 24) return nullptr;
    ToneTable table{};
    if (bits == 24) {
        for (int i = 0; i < 256; ++i) table[i] = LevelsTone(params, i);
    } else {
        const std::uint32_t used = DibHeader(source)->colours_used;
        const int entries = used == 0 || used > 256 ? 256 : static_cast<int>(used);
        const RgbQuad* colours = DibColourTable(source);
        for (int i = 0; i < entries; ++i) table[i] = LevelsTone(params, colours[i].green);
    }
    auto result = create_like(source);
    if (!result) return nullptr;
    const RowPercentProgress rows(progress, user, DibHeight(source));
    if (bits == 24) {
        if (!remap_24(source, *result, table, table, table, rows)) return nullptr;
    } else {
        const int w = DibWidth(source);
        for (int y = 0, h = DibHeight(source); y < h; ++y) {
            const std::uint8_t* s = DibRow(source, y);
            std::uint8_t* d = DibRow(*result, y);
            for (int x = 0; x < w; ++x) d[x] = table[s[x]];
            if (!rows.row_done(y)) return nullptr;
        }
    }
    DibMakePalette(*result);
    return result;
}

DibPtr DibLevelsRgb(const Dib& source, const LevelsParams& red, const LevelsParams& green,
                    const LevelsParams& blue, ProgressCallback progress, std::intptr_t user) {
    if (!source.bitmap || DibBitCount(source) != 24) return nullptr;
    ToneTable tables[3];  // blue, green, red
    const LevelsParams* params[3] = {&blue, &green, &red};
    for (int c = 0; c < 3; ++c) {
        const LevelsParams& p = *params[c];
        if (p.black >= p.white) return nullptr;
        for (int i = 0; i < 256; ++i) tables[c][i] = apply_gamma(stretch(p, i), p.gamma);
    }
    auto result = create_like(source);
    if (!result) return nullptr;
    if (!remap_24(source, *result, tables[0], tables[1], tables[2],
                  RowPercentProgress(progress, user, DibHeight(source)))) {
        return nullptr;
    }
    return result;
}

bool DibHistogram(const Dib& dib, Histogram& histogram) {
    histogram = Histogram{};
    if (!dib.bitmap || DibHeader(dib)->compression != kCompressionPlain) return false;
    const int bits = DibBitCount(dib);
    if (bits != 8 && bits != 24) return false;
    const int w = DibWidth(dib), h = DibHeight(dib);
    histogram.channels = bits == 8 ? 1 : 3;
    auto& c = histogram.counts;
    for (int y = 0; y < h; ++y) {
        const std::uint8_t* s = DibRow(dib, y);
        if (bits == 8) {
            for (int x = 0; x < w; ++x) ++c[0][s[x]];
        } else {
            for (int x = 0; x < w; ++x, s += 3) {
                ++c[2][s[0]];
                ++c[1][s[1]];
                ++c[0][s[2]];
            }
        }
    }
    return true;
}

namespace {

// Black point: one past the index where the running sum from the dark end
// first exceeds `clip` (256 when it never does).
int black_point(const std::array<std::uint32_t, 256>& counts, std::uint64_t clip) {
    std::uint64_t sum = 0;
    for (int i = 0; i < 256; ++i) {
        sum += counts[i];
        if (sum > clip) return i + 1;
    }
    return 256;
}

// White point: one below the index where the running sum from the bright
// end first exceeds `clip` (-1 when it never does).
int white_point(const std::array<std::uint32_t, 256>& counts, std::uint64_t clip) {
    std::uint64_t sum = 0;
    for (int i = 255; i >= 0; --i) {
        sum += counts[i];
        if (sum > clip) return i - 1;
    }
    return -1;
}

}  // namespace

DibPtr DibAutoLevels(const Dib& source, double low_percent, double high_percent,
                     ProgressCallback progress, std::intptr_t user) {
    Histogram histogram;
    if (!DibHistogram(source, histogram)) return nullptr;
    const double n = static_cast<double>(DibWidth(source)) * DibHeight(source);
    const double low = std::max(0.0, n * low_percent * 0.01 + 0.5);
    const double high = std::max(0.0, n * high_percent * 0.01 + 0.5);
    if (!(low < 1.0e18) || !(high < 1.0e18)) return nullptr;
    const auto low_count = static_cast<std::uint64_t>(low);
    const auto high_count = static_cast<std::uint64_t>(high);
    if (histogram.channels == 1) {
        LevelsParams p;
        p.black = black_point(histogram.counts[0], low_count);
        p.white = white_point(histogram.counts[0], high_count);
        return DibLevels(source, p, progress, user);
    }
    LevelsParams channel[3];  // red, green, blue
    for (int c = 0; c < 3; ++c) {
        channel[c].black = black_point(histogram.counts[c], low_count);
        channel[c].white = white_point(histogram.counts[c], high_count);
    }
    return DibLevelsRgb(source, channel[0], channel[1], channel[2], progress, user);
}

}  // namespace qelvio::imaging
