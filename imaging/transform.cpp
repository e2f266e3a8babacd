// Rotation by quarter turns, mirroring and cropping on packed rows.
//
// Byte-sized pixels (8, 16, 24 bits) are moved as whole bytes; quarter turns
// walk the source in tall, narrow tiles so that both the rows read and the
// rows written stay in cache, and move 24-bit pixels as 4-byte words.
// 1- and 4-bit pixels are OR-ed into a zero-filled result (DibCreate's
// memory starts zeroed), so padding bits stay 0.
#include "imaging/transform.h"
#include "imaging/progress.h"

#include <algorithm>
#include <cstring>

namespace qelvio::imaging {

namespace {

constexpr int kTileRows = 512;  // source rows per band for quarter turns
constexpr int kTileColumns = 8;  // source columns per tile (one cache line of 24-bit)

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

// Copies one pixel; a 3-byte pixel moves as one 4-byte load and store, so
// the byte after it is overwritten and must be written again later.
template <int B>
inline void copy_pixel_wide(const std::uint8_t* s, std::uint8_t* d) {
    if constexpr (B == 3) {
        std::uint32_t v;
        std::memcpy(&v, s, 4);
        std::memcpy(d, &v, 4);
    } else {
        std::memcpy(d, s, B);
    }
}

// Copies pixel x of source rows r0..r1-1 to consecutive result pixels
// r0..r1-1 of one result row. 24-bit pixels move as 4-byte words whose
// fourth byte is overwritten by the next pixel; the last pixel of a run is
// written alone when its spare byte would land on a pixel already written
// or outside the row, and the last source column is read 3 bytes at a time
// so that no read passes the end of the source.
template <int B>
inline void copy_run(const std::uint8_t* column, std::size_t ss, std::uint8_t* out, int r0,
                     int r1, bool last_column, bool last_band) {
    const std::uint8_t* s = column + std::size_t(r0) * ss;
    std::uint8_t* d = out + std::size_t(r0) * B;
    int fast_end = r1;
    if constexpr (B == 3) {
        if (last_column) fast_end = r0;
        else if (last_band) fast_end = r1 - 1;
    }
    int r = r0;
    for (; r < fast_end; ++r, s += ss, d += B) {
        copy_pixel_wide<B>(s, d);
    }
    for (; r < r1; ++r, s += ss, d += B) std::memcpy(d, s, B);
}

// Counter-clockwise: source row r goes to column h-1-r, so the rows are
// walked from r1-1 down to r0 to write the result row forward. The run's
// last pixel (row r0) is written alone: its spare byte would land on the
// pixel of row r0-1, written with the previous band.
template <int B>
inline void copy_run_reversed(const std::uint8_t* column, std::size_t ss, std::uint8_t* out,
                              int h, int r0, int r1, bool last_column) {
    const std::uint8_t* s = column + std::size_t(r1 - 1) * ss;
    std::uint8_t* d = out + std::size_t(h - r1) * B;
    int r = r1 - 1;
    const int fast_stop = (B == 3 && last_column) ? r1 - 1 : r0;
    for (; r > fast_stop; --r, s -= ss, d += B) {
        copy_pixel_wide<B>(s, d);
    }
    for (; r >= r0; --r, s -= ss, d += B) std::memcpy(d, s, B);
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
    for (int r0 = 0; r0 < h; r0 += kTileRows) {
        const int r1 = std::min(r0 + kTileRows, h);
        for (int x0 = 0; x0 < w; x0 += kTileColumns) {
            const int x1 = std::min(x0 + kTileColumns, w);
            for (int x = x0; x < x1; ++x) {
                const std::uint8_t* column = src + std::size_t(x) * B;
                std::uint8_t* out = dst + std::size_t(clockwise ? w - 1 - x : x) * ds;
                if (clockwise) {
                    copy_run<B>(column, ss, out, r0, r1, x == w - 1,
                                r1 == h);
                } else {
                    copy_run_reversed<B>(column, ss, out, h, r0, r1, x == w - 1);
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
