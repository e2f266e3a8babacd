// The core's drawing target over a QPainter, and a Dib seen as a QImage
// that shares its rows (no pixel is copied; the rows stay bottom-up, so
// drawing flips them).
#pragma once

#include "imaging/drawing_target.h"

#include <QImage>

class QPainter;

namespace qelvio::imaging {

// A QImage over the Dib's pixel rows, upside down (the Dib's last row
// first). 1, 8, 16 (5-5-5) and 24-bit Dibs; a null image for 4 bits.
// Valid while the Dib lives and keeps its pixels.
QImage dib_rows_image(const Dib& dib);

class PainterDrawingTarget final : public DrawingTarget {
public:
    // depth: the screen's bits per pixel.
    PainterDrawingTarget(QPainter& painter, int depth) : painter_(painter), depth_(depth) {}

    int bits_per_pixel() const override { return depth_; }
    void select_palette(const DibPalette*) override {}
    bool copy(const Dib& dib, int x, int y, const DibRect& source, RasterOp op) override;
    bool stretch(const Dib& dib, const DibRect& destination, const DibRect& source, RasterOp op) override;
    void fill(const DibRect& rect, std::uint32_t colour) override;
    void frame(const DibRect& rect, std::uint32_t colour) override;

private:
    QPainter& painter_;
    int depth_;
};

}  // namespace qelvio::imaging
