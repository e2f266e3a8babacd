#include "viewer/transform_choice.h"

#include "imaging/transform.h"

#include <algorithm>

namespace qelvio::viewer {

void TransformChoice::click(int index) {
    if (index < 0 || index >= kTransformButtons) return;
    if (selected_ == index) {
        selected_ = -1;
        code_ = 0;
    } else {
        selected_ = index;
        code_ = kTransformCodes[static_cast<std::size_t>(index)];
    }
}

int transform_button_x(int left, int width, int index) {
    int gap = (width / kTransformButtons - kTransformButtonSide) / 2;
    return left + gap + index * (2 * gap + kTransformButtonSide);
}

imaging::DibRect square_within(const imaging::DibRect& area) {
    int width = area.right - area.left, height = area.bottom - area.top;
    int side = std::max(0, std::min(width, height));
    int left = area.left + (width - side) / 2, top = area.top + (height - side) / 2;
    return {left, top, left + side, top + side};
}

imaging::DibPtr transform_preview(const imaging::Dib& preview, int code) {
    switch (code) {
    case 0: return imaging::DibCopy(preview);
    case 1: return imaging::DibFlip(preview, true, false);
    case 2: return imaging::DibFlip(preview, false, true);
    case 5: return imaging::DibRotate(preview, 90);
    case 6: return imaging::DibRotate(preview, 180);
    case 7: return imaging::DibRotate(preview, -90);
    default: return nullptr;
    }
}

}  // namespace qelvio::viewer
