// Drawing a Dib through a drawing target.
#include "imaging/dib.h"
#include "imaging/drawing_target.h"

namespace qelvio::imaging {

int DibDraw(const Dib& dib, DrawingTarget& target, const DibRect& destination,
            const DibRect* source) {
    if (!dib.bitmap) return 0;
    const DibRect src = source ? *source : DibRect{0, 0, DibWidth(dib), DibHeight(dib)};
    if (dib.palette) target.select_palette(dib.palette);
    // Every image, 1-bit ones included, shows its own palette's colours:
    // the colour table already says which value is black.
    const RasterOp op = RasterOp::SourceCopy;
    bool ok;
    if (destination.right - destination.left == src.right - src.left &&
        destination.bottom - destination.top == src.bottom - src.top) {
        ok = target.copy(dib, destination.left, destination.top, src, op);
    } else {
        ok = target.stretch(dib, destination, src, op);
    }
    if (dib.palette) target.select_palette(nullptr);
    return ok ? 1 : 0;
}

}  // namespace qelvio::imaging
