#include "viewer/navigation.h"

namespace qelvio::viewer {

int step_index(int count, int current, int direction, bool wrap, const std::function<bool(int)>& selected) {
    if (count <= 0 || (direction != 1 && direction != -1)) return -1;
    auto counts = [&](int i) { return !selected || selected(i); };
    for (int i = current + direction; i >= 0 && i < count; i += direction)
        if (counts(i)) return i;
    if (!wrap) return -1;
    // From the other end up to (and including) the current one.
    int start = direction == 1 ? 0 : count - 1;
    for (int i = start; i >= 0 && i < count; i += direction) {
        if (counts(i)) return i;
        if (i == current) break;
    }
    return -1;
}

int prefetch_index(int count, int shown, int direction, const std::function<bool(int)>& selected) {
    int next = step_index(count, shown, direction, true, selected);
    return next == shown ? -1 : next;
}

imaging::DibRect overlay_button_rect(int bitmap, int client_width, int client_height) {
    bool right = false, bottom = false;
    int slot = 0;
    switch (bitmap) {
    case kOverlayLeaveFullScreen: break;
    case kOverlayZoomOut: right = true; slot = 1; break;
    case kOverlayZoomIn: right = true; break;
    case kOverlayReturn: bottom = true; break;
    default: return {0, 0, 0, 0};
    }
    int x = right ? client_width - slot * kOverlaySide - kOverlaySide : slot * kOverlaySide;
    int y = bottom ? client_height - kOverlaySide : 0;
    return {x, y, x + kOverlaySide, y + kOverlaySide};
}

}  // namespace qelvio::viewer
