// The software drawing target: draws into a 24-bit Dib.
#include "imaging/drawing_target.h"

#include <algorithm>
#include <cstdint>

namespace qelvio::imaging {

namespace {

struct Bgr {
    std::uint8_t b, g, r;
};

// Colour of pixel (x, y) in picture coordinates; the caller keeps (x, y)
// inside the image.
Bgr pixel_at(const Dib& dib, int x, int y) {
    const std::uint8_t* row = DibRow(dib, DibHeight(dib) - 1 - y);
    const RgbQuad* table = DibColourTable(dib);
    switch (DibBitCount(dib)) {
    case 24: return {row[3 * x], row[3 * x + 1], row[3 * x + 2]};
    case 16: {
        const unsigned v = row[2 * x] | (row[2 * x + 1] << 8);
        return {static_cast<std::uint8_t>((v & 0x1F) << 3),
                static_cast<std::uint8_t>(((v >> 5) & 0x1F) << 3),
                static_cast<std::uint8_t>(((v >> 10) & 0x1F) << 3)};
    }
    case 8: {
        const RgbQuad& q = table[row[x]];
        return {q.blue, q.green, q.red};
    }
    case 4: {
        const RgbQuad& q = table[(row[x >> 1] >> ((x & 1) ? 0 : 4)) & 0x0F];
        return {q.blue, q.green, q.red};
    }
    case 1: {
        const RgbQuad& q = table[(row[x >> 3] >> (7 - (x & 7))) & 1];
        return {q.blue, q.green, q.red};
    }
    default: return {0, 0, 0};
    }
}

void put(Dib& canvas, int x, int y, Bgr c) {
    std::uint8_t* p = DibRow(canvas, DibHeight(canvas) - 1 - y) + 3 * x;
    p[0] = c.b;
    p[1] = c.g;
    p[2] = c.r;
}

Bgr apply(Bgr c, RasterOp op) {
    if (op == RasterOp::NotSourceCopy) {
        return {static_cast<std::uint8_t>(~c.b), static_cast<std::uint8_t>(~c.g),
                static_cast<std::uint8_t>(~c.r)};
    }
    return c;
}

bool usable(const Dib& dib) {
    const int bits = DibBitCount(dib);
    return dib.bitmap && (bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24);
}

// The source rectangle limited to the image; false when nothing remains.
bool clip_source(const Dib& dib, const DibRect& in, DibRect& out) {
    out.left = std::max(in.left, 0);
    out.top = std::max(in.top, 0);
    out.right = std::min(in.right, DibWidth(dib));
    out.bottom = std::min(in.bottom, DibHeight(dib));
    return out.left < out.right && out.top < out.bottom;
}

}  // namespace

SoftwareDrawingTarget::SoftwareDrawingTarget(Dib& canvas) : canvas_(canvas) {}

void SoftwareDrawingTarget::select_palette(const DibPalette* palette) { palette_ = palette; }

bool SoftwareDrawingTarget::copy(const Dib& dib, int x, int y, const DibRect& source,
                                 RasterOp op) {
    if (!usable(dib) || DibBitCount(canvas_) != 24 || !canvas_.bitmap) return false;
    if (source.right <= source.left || source.bottom <= source.top) return false;
    DibRect src;
    if (!clip_source(dib, source, src)) return true;  // nothing of the image in view
    // Shift the destination by what clipping removed from the source.
    x += src.left - source.left;
    y += src.top - source.top;
    const int cw = DibWidth(canvas_), ch = DibHeight(canvas_);
    for (int sy = src.top; sy < src.bottom; ++sy) {
        const int dy = y + (sy - src.top);
        if (dy < 0 || dy >= ch) continue;
        for (int sx = src.left; sx < src.right; ++sx) {
            const int dx = x + (sx - src.left);
            if (dx < 0 || dx >= cw) continue;
            put(canvas_, dx, dy, apply(pixel_at(dib, sx, sy), op));
        }
    }
    return true;
}

bool SoftwareDrawingTarget::stretch(const Dib& dib, const DibRect& destination,
                                    const DibRect& source, RasterOp op) {
    if (!usable(dib) || DibBitCount(canvas_) != 24 || !canvas_.bitmap) return false;
    const std::int64_t dw = static_cast<std::int64_t>(destination.right) - destination.left;
    const std::int64_t dh = static_cast<std::int64_t>(destination.bottom) - destination.top;
    const std::int64_t sw = static_cast<std::int64_t>(source.right) - source.left;
    const std::int64_t sh = static_cast<std::int64_t>(source.bottom) - source.top;
    if (dw <= 0 || dh <= 0 || sw <= 0 || sh <= 0) return false;
    const int cw = DibWidth(canvas_), ch = DibHeight(canvas_);
    const int iw = DibWidth(dib), ih = DibHeight(dib);
    const int y0 = std::max(destination.top, 0), y1 = std::min(destination.bottom, ch);
    const int x0 = std::max(destination.left, 0), x1 = std::min(destination.right, cw);
    for (int dy = y0; dy < y1; ++dy) {
        // Nearest source pixel to the centre of the destination pixel.
        const std::int64_t sy = source.top + ((2 * (dy - destination.top) + 1) * sh) / (2 * dh);
        if (sy < 0 || sy >= ih) continue;
        for (int dx = x0; dx < x1; ++dx) {
            const std::int64_t sx =
                source.left + ((2 * (dx - destination.left) + 1) * sw) / (2 * dw);
            if (sx < 0 || sx >= iw) continue;
            put(canvas_, dx, dy,
                apply(pixel_at(dib, static_cast<int>(sx), static_cast<int>(sy)), op));
        }
    }
    return true;
}

void SoftwareDrawingTarget::fill(const DibRect& rect, std::uint32_t colour) {
    if (!canvas_.bitmap || DibBitCount(canvas_) != 24) return;
    const Bgr c{static_cast<std::uint8_t>(colour >> 16), static_cast<std::uint8_t>(colour >> 8),
                static_cast<std::uint8_t>(colour)};
    const int y0 = std::max(rect.top, 0), y1 = std::min(rect.bottom, DibHeight(canvas_));
    const int x0 = std::max(rect.left, 0), x1 = std::min(rect.right, DibWidth(canvas_));
    for (int y = y0; y < y1; ++y) {
        for (int x = x0; x < x1; ++x) put(canvas_, x, y, c);
    }
}

void SoftwareDrawingTarget::frame(const DibRect& rect, std::uint32_t colour) {
    if (rect.right <= rect.left || rect.bottom <= rect.top) return;
    fill({rect.left, rect.top, rect.right, rect.top + 1}, colour);
    fill({rect.left, rect.bottom - 1, rect.right, rect.bottom}, colour);
    fill({rect.left, rect.top, rect.left + 1, rect.bottom}, colour);
    fill({rect.right - 1, rect.top, rect.right, rect.bottom}, colour);
}

}  // namespace qelvio::imaging
