// Rotation by quarter turns, mirroring and cropping on packed rows.
//
// Byte-sized pixels (8, 16, 24 bits) are moved as whole bytes; quarter turns
// walk the source in square tiles so that both the rows read and the rows
// written stay in cache. 1- and 4-bit pixels are OR-ed into a zero-filled
// result (DibCreate's memory starts zeroed), so padding bits stay 0.
#include "imaging/transform.h"
#include "imaging/progress.h"

#include <algorithm>
#include <cstring>

namespace qelvio::imaging {

namespace {

constexpr int kTile = 64;  // pixels per tile side for quarter turns

bool supported(int bits) { return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24; }

DibPtr make_like(const Dib& source, int width, int height, const void* pixels = nullptr) {
    auto result = std::make_unique<Dib>();
    if (!DibCreate(*result, width, height, DibBitCount(source), DibColourTableSize(source),
                   DibColourTable(source), pixels)) {
        return nullptr;
    }
    DibMakePalette(*result);
    return result;
}

// Index of sub-byte pixel x (1 or 4 bits, leftmost in the high bits).
inline unsigned get_small(const std::uint8_t* row, int x, int bits) {
    if (bits == 1) return (row[x >> 3] >> (7 - (x & 7))) & 1;
    return (row[x >> 1] >> ((x & 1) ? 0 : 4)) & 0x0F;
}

inline void or_small(std::uint8_t* row, int x, int bits, unsigned v) {
    if (bits == 1) {
        row[x >> 3] |= static_cast<std::uint8_t>(v << (7 - (x & 7)));
    } else {
        row[x >> 1] |= static_cast<std::uint8_t>(v << ((x & 1) ? 0 : 4));
    }
}

// Quarter turn of byte-sized pixels. Source row r (memory order), pixel x
// goes to result row W-1-x, column r (clockwise) or row x, column H-1-r.
template <int B>
bool quarter_turn_bytes(const Dib& source, Dib& result, bool clockwise,
                        const RowPercentProgress& progress) {
    const int w = DibWidth(source), h = DibHeight(source);
    const std::size_t ss = DibStride(source), ds = DibStride(result);
    const std::uint8_t* src = source.pixels;
    std::uint8_t* dst = result.pixels;
    for (int r0 = 0; r0 < h; r0 += kTile) {
        const int r1 = std::min(r0 + kTile, h);
        for (int x0 = 0; x0 < w; x0 += kTile) {
            const int x1 = std::min(x0 + kTile, w);
            for (int x = x0; x < x1; ++x) {
                const std::uint8_t* s = src + std::size_t(r0) * ss + std::size_t(x) * B;
                if (clockwise) {
                    std::uint8_t* d = dst + std::size_t(w - 1 - x) * ds + std::size_t(r0) * B;
                    for (int r = r0; r < r1; ++r, s += ss, d += B) std::memcpy(d, s, B);
                } else {
                    std::uint8_t* d = dst + std::size_t(x) * ds + std::size_t(h - 1 - r0) * B;
                    for (int r = r0; r < r1; ++r, s += ss, d -= B) std::memcpy(d, s, B);
                }
            }
        }
        if (!progress.rows_done(r0, r1)) return false;
    }
    return true;
}

bool quarter_turn_small(const Dib& source, Dib& result, bool clockwise,
                        const RowPercentProgress& progress) {
    const int w = DibWidth(source), h = DibHeight(source), bits = DibBitCount(source);
    for (int r = 0; r < h; ++r) {
        const std::uint8_t* s = DibRow(source, r);
        for (int x = 0; x < w; ++x) {
            const unsigned v = get_small(s, x, bits);
            if (v == 0) continue;
            if (clockwise) {
                or_small(DibRow(result, w - 1 - x), r, bits, v);
            } else {
                or_small(DibRow(result, x), h - 1 - r, bits, v);
            }
        }
        if (!progress.row_done(r)) return false;
    }
    return true;
}

template <int B>
void mirror_row_bytes(const std::uint8_t* s, std::uint8_t* d, int w) {
    const std::uint8_t* p = s + std::size_t(w - 1) * B;
    for (int x = 0; x < w; ++x, p -= B, d += B) std::memcpy(d, p, B);
}

bool flip_rows(const Dib& source, Dib& result, bool horizontal, bool vertical,
               const RowPercentProgress& progress) {
    const int w = DibWidth(source), h = DibHeight(source), bits = DibBitCount(source);
    const std::size_t stride = DibStride(source);
    for (int r = 0; r < h; ++r) {
        const std::uint8_t* s = DibRow(source, r);
        std::uint8_t* d = DibRow(result, vertical ? h - 1 - r : r);
        if (!horizontal) {
            std::memcpy(d, s, stride);
        } else if (bits == 24) {
            mirror_row_bytes<3>(s, d, w);
        } else if (bits == 16) {
            mirror_row_bytes<2>(s, d, w);
        } else if (bits == 8) {
            mirror_row_bytes<1>(s, d, w);
        } else {
            for (int x = 0; x < w; ++x) {
                const unsigned v = get_small(s, x, bits);
                if (v) or_small(d, w - 1 - x, bits, v);
            }
        }
        if (!progress.row_done(r)) return false;
    }
    return true;
}

}  // namespace

DibPtr DibRotate(const Dib& source, int angle, ProgressCallback progress, std::intptr_t user) {
    if (!source.bitmap || !supported(DibBitCount(source))) return nullptr;
    angle = ((angle % 360) + 360) % 360;
    if (angle % 90 != 0) return nullptr;
    const int w = DibWidth(source), h = DibHeight(source), bits = DibBitCount(source);
    const RowPercentProgress rows(progress, user, h);
    if (angle == 0) {
        auto result = make_like(source, w, h, source.pixels);
        if (!result || !rows.rows_done(0, h)) return nullptr;
        return result;
    }
    if (angle == 180) {
        auto result = make_like(source, w, h);
        if (!result || !flip_rows(source, *result, true, true, rows)) return nullptr;
        return result;
    }
    auto result = make_like(source, h, w);
    if (!result) return nullptr;
    const bool clockwise = angle == 90;
    bool ok;
    switch (bits) {
    case 24: ok = quarter_turn_bytes<3>(source, *result, clockwise, rows); break;
    case 16: ok = quarter_turn_bytes<2>(source, *result, clockwise, rows); break;
    case 8: ok = quarter_turn_bytes<1>(source, *result, clockwise, rows); break;
    default: ok = quarter_turn_small(source, *result, clockwise, rows); break;
    }
    return ok ? std::move(result) : nullptr;
}

DibPtr DibFlip(const Dib& source, bool horizontal, bool vertical, ProgressCallback progress,
               std::intptr_t user) {
    if (!source.bitmap || !supported(DibBitCount(source))) return nullptr;
    const int w = DibWidth(source), h = DibHeight(source);
    auto result = make_like(source, w, h);
    if (!result) return nullptr;
    if (!flip_rows(source, *result, horizontal, vertical, RowPercentProgress(progress, user, h))) {
        return nullptr;
    }
    return result;
}

DibPtr DibCrop(const Dib& source, const DibRect& rect, ProgressCallback progress,
               std::intptr_t user) {
    if (!source.bitmap || !supported(DibBitCount(source))) return nullptr;
    const int w = DibWidth(source), h = DibHeight(source), bits = DibBitCount(source);
    if (rect.left < 0 || rect.top < 0 || rect.right > w || rect.bottom > h ||
        rect.left >= rect.right || rect.top >= rect.bottom) {
        return nullptr;
    }
    const int cw = rect.right - rect.left, ch = rect.bottom - rect.top;
    auto result = make_like(source, cw, ch);
    if (!result) return nullptr;
    const RowPercentProgress rows(progress, user, ch);
    for (int y = 0; y < ch; ++y) {
        const std::uint8_t* s = DibRow(source, h - 1 - (rect.top + y));
        std::uint8_t* d = DibRow(*result, ch - 1 - y);
        if (bits >= 8) {
            const int b = bits / 8;
            std::memcpy(d, s + std::size_t(rect.left) * b, std::size_t(cw) * b);
        } else {
            for (int x = 0; x < cw; ++x) {
                const unsigned v = get_small(s, rect.left + x, bits);
                if (v) or_small(d, x, bits, v);
            }
        }
        if (!rows.row_done(y)) return nullptr;
    }
    return result;
}

}  // namespace qelvio::imaging
