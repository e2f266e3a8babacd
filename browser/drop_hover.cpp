#include "browser/drop_hover.h"

#include <cstdlib>

namespace qelvio::browser {

DragOverActions DropHover::drag_over(int x, int y, int pane_height, bool over_folder, int64_t now_ms) {
    DragOverActions actions;
    if (has_point_ && (std::abs(x - x_) > kDropMoveTolerance || std::abs(y - y_) > kDropMoveTolerance) &&
        expand_pending_) {
        expand_pending_ = false;
        actions.cancel_expand = true;
    }
    has_point_ = true;
    x_ = x;
    y_ = y;
    if (!over_folder && expand_pending_) {
        expand_pending_ = false;
        actions.cancel_expand = true;
    }
    if (over_folder && !expand_pending_) {
        expand_pending_ = true;
        actions.arm_expand = true;
    }

    direction_ = 0;
    if (y >= 0 && y < pane_height) {
        if (y < kAutoScrollBand)
            direction_ = -kAutoScrollBand;
        else if (y >= pane_height - kAutoScrollBand)
            direction_ = kAutoScrollBand;
    }
    if (direction_ != 0) {
        if (!stepped_ || now_ms - last_step_ms_ > kAutoScrollPauseMs) {
            actions.scroll_now = true;
            stepped_ = true;
            last_step_ms_ = now_ms;
        }
        actions.arm_scroll = true;
    }
    return actions;
}

bool DropHover::expand_due() {
    bool due = expand_pending_;
    expand_pending_ = false;
    return due;
}

bool DropHover::scroll_due(int64_t now_ms) {
    if (direction_ == 0) return false;
    stepped_ = true;
    last_step_ms_ = now_ms;
    return true;
}

void DropHover::stop() { *this = DropHover(); }

}  // namespace qelvio::browser
