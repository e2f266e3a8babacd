// The surface the core draws on: plain and stretched copies of a Dib
// (plain, or inverted when a caller asks for it), rectangle fills and frames. The user
// interface provides a painter-backed implementation; SoftwareDrawingTarget
// draws into a 24-bit Dib for previews, tests and headless rendering.
//
// Coordinates are picture coordinates: x from the left, y from the top.
// Colours are 0x00BBGGRR words. A target is used from one thread at a time.
#pragma once

#include "imaging/dib.h"

#include <cstdint>

namespace qelvio::imaging {

enum class RasterOp {
    SourceCopy,     // destination = source
    NotSourceCopy,  // destination = inverted source
};

class DrawingTarget {
public:
    virtual ~DrawingTarget() = default;

    // Bits per pixel of the surface (24 for the software target).
    virtual int bits_per_pixel() const = 0;

    // Selects and realises a palette for the copies that follow; null goes
    // back to the target's own colours.
    virtual void select_palette(const DibPalette* palette) = 0;

    // Copies `source` (a rectangle of dib) unscaled with its top-left corner
    // at (x, y). Returns false if nothing could be copied.
    virtual bool copy(const Dib& dib, int x, int y, const DibRect& source, RasterOp op) = 0;

    // Copies `source` of dib scaled to fill `destination`.
    virtual bool stretch(const Dib& dib, const DibRect& destination, const DibRect& source,
                         RasterOp op) = 0;

    // Fills a rectangle with a colour.
    virtual void fill(const DibRect& rect, std::uint32_t colour) = 0;

    // Draws a one-pixel frame just inside a rectangle.
    virtual void frame(const DibRect& rect, std::uint32_t colour) = 0;
};

// Draws into a 24-bit Dib the caller owns and keeps alive. Everything is
// clipped to the canvas; copies read only pixels inside the source image.
// Stretched copies take the nearest source pixel.
class SoftwareDrawingTarget final : public DrawingTarget {
public:
    explicit SoftwareDrawingTarget(Dib& canvas);

    int bits_per_pixel() const override { return 24; }
    void select_palette(const DibPalette* palette) override;
    bool copy(const Dib& dib, int x, int y, const DibRect& source, RasterOp op) override;
    bool stretch(const Dib& dib, const DibRect& destination, const DibRect& source,
                 RasterOp op) override;
    void fill(const DibRect& rect, std::uint32_t colour) override;
    void frame(const DibRect& rect, std::uint32_t colour) override;

    // The palette last selected (null when none).
    const DibPalette* selected_palette() const { return palette_; }

private:
    Dib& canvas_;
    const DibPalette* palette_ = nullptr;
};

}  // namespace qelvio::imaging
