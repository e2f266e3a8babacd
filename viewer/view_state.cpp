#include "viewer/view_state.h"

#include <algorithm>
#include <cstdlib>

namespace qelvio::viewer {
namespace {

int scaled(int length, int zoom) { return static_cast<int>(static_cast<int64_t>(length) * zoom / 1000); }
int unscaled(int length, int zoom) {
    return zoom > 0 ? static_cast<int>(static_cast<int64_t>(length) * 1000 / zoom) : 0;
}
// Half the free space, a remaining half pixel counted as a whole one.
int centring(int displayed, int client) { return displayed < client ? (client - displayed + 1) / 2 : 0; }

}  // namespace

ViewState::ViewState(Clock clock) : clock_(std::move(clock)) {}

void ViewState::set_target(ZoomTarget* target) {
    target_ = target;
    has_displayed_ = false;
    displayed_ = {0, 0};
    scroll_x_ = scroll_y_ = 0;
    offset_x_ = offset_y_ = 0;
    pressed_ = selecting_ = panning_ = moved_ = false;
}

void ViewState::set_client(int width, int height) {
    client_w_ = std::max(0, width);
    client_h_ = std::max(0, height);
}

Outcome ViewState::resize(int width, int height) {
    set_client(width, height);
    Outcome out;
    if (!target_) return out;
    // The current zoom again (unsnapped: a fitted zoom of 900 stays 900).
    zoom_to(zoom_, true);
    if (zoom_ < kZoomFull && displayed_.width < client_w_ && displayed_.height < client_h_) fit();
    out.repaint = true;
    return out;
}

int ViewState::fit_zoom() const {
    if (!target_ || client_w_ <= 0 || client_h_ <= 0) return kZoomFull;
    DibSize size = target_->image_size();
    if (size.width <= client_w_ && size.height <= client_h_) return kZoomFull;
    double ratio = std::max(static_cast<double>(size.width) / client_w_,
                            static_cast<double>(size.height) / client_h_);
    return std::max(1, static_cast<int>(1000.0 / ratio));
}

void ViewState::zoom_to(int zoom, bool keep_centre, bool fit) {
    if (!target_) return;
    if (fit) {
        zoom = fit_zoom();
    } else if (std::abs(zoom - kZoomFull) <= kZoomSnap && zoom != zoom_) {
        // The snap applies to requested zooms; re-applying the current one
        // (a size change) keeps it as it is.
        zoom = kZoomFull;
    }
    zoom = std::max(1, zoom);
    DibSize shown = target_->apply_zoom(zoom);
    zoom_ = zoom;
    offset_x_ = centring(shown.width, client_w_);
    offset_y_ = centring(shown.height, client_h_);
    int cx, cy;
    if (keep_centre && has_displayed_) {
        cx = scaled(centre_x_, zoom);
        cy = scaled(centre_y_, zoom);
    } else {
        cx = shown.width / 2;
        cy = shown.height / 2;
    }
    displayed_ = shown;
    has_displayed_ = true;
    scroll_x_ = cx - client_w_ / 2;
    scroll_y_ = cy - client_h_ / 2;
    clamp_scroll();
    if (has_selection_ || selecting_) {
        DibSize size = target_->image_size();
        selection_.left = std::clamp(selection_.left, 0, size.width);
        selection_.right = std::clamp(selection_.right, 0, size.width);
        selection_.top = std::clamp(selection_.top, 0, size.height);
        selection_.bottom = std::clamp(selection_.bottom, 0, size.height);
    }
    update_centre();
}

Outcome ViewState::zoom_in() {
    Outcome out;
    out.stop_slide_show = true;
    if (!target_ || zoom_ >= kZoomMax) return out;
    zoom_to(std::min(kZoomMax, zoom_ * kZoomStep / 1000), true);
    out.repaint = true;
    return out;
}

Outcome ViewState::zoom_out() {
    Outcome out;
    out.stop_slide_show = true;
    if (!target_) return out;
    if (zoom_ > kZoomMax) {
        zoom_to(kZoomMax, true);
    } else {
        zoom_to(zoom_ * 1000 / kZoomStep, true);
        if (zoom_ < kZoomFull && displayed_.width < client_w_ && displayed_.height < client_h_) fit();
    }
    out.repaint = true;
    return out;
}

void ViewState::clamp_scroll() {
    scroll_x_ = std::clamp(scroll_x_, 0, std::max(0, displayed_.width - client_w_));
    scroll_y_ = std::clamp(scroll_y_, 0, std::max(0, displayed_.height - client_h_));
}

void ViewState::update_centre() { client_to_image(client_w_ / 2, client_h_ / 2, centre_x_, centre_y_); }

void ViewState::client_to_image(int x, int y, int& ix, int& iy) const {
    ix = unscaled(x + scroll_x_ - offset_x_, zoom_);
    iy = unscaled(y + scroll_y_ - offset_y_, zoom_);
}

DibRect ViewState::image_to_client(const DibRect& r) const {
    return {scaled(r.left, zoom_) - scroll_x_ + offset_x_, scaled(r.top, zoom_) - scroll_y_ + offset_y_,
            scaled(r.right, zoom_) - scroll_x_ + offset_x_, scaled(r.bottom, zoom_) - scroll_y_ + offset_y_};
}

DibRect ViewState::visible_image_part() const {
    if (!target_ || zoom_ <= 0) return {0, 0, 0, 0};
    DibSize size = target_->image_size();
    auto upto = [this](int displayed_edge) {
        return static_cast<int>((static_cast<int64_t>(displayed_edge) * 1000 + zoom_ - 1) / zoom_);
    };
    return {std::min(size.width, unscaled(scroll_x_, zoom_)), std::min(size.height, unscaled(scroll_y_, zoom_)),
            std::min(size.width, upto(scroll_x_ + client_w_)), std::min(size.height, upto(scroll_y_ + client_h_))};
}

void ViewState::centre_on_image_point(int ix, int iy) {
    scroll_x_ = scaled(ix, zoom_) - client_w_ / 2;
    scroll_y_ = scaled(iy, zoom_) - client_h_ / 2;
    clamp_scroll();
    update_centre();
}

// ---- tools ----

void ViewState::toggle_tool(int tool) {
    has_selection_ = selecting_ = false;
    if (tool_ == tool) {
        tool_ = previous_tool_;
        previous_tool_ = kToolNone;
    } else {
        previous_tool_ = tool_;
        tool_ = tool;
    }
}

void ViewState::reset_tools() {
    has_selection_ = selecting_ = false;
    tool_ = previous_tool_ = kToolNone;
}

void ViewState::end_selection() {
    has_selection_ = selecting_ = false;
    tool_ = previous_tool_;
    previous_tool_ = kToolNone;
}

DibRect ViewState::clip_to_image(int x0, int y0, int x1, int y1) const {
    DibSize size = target_ ? target_->image_size() : DibSize{0, 0};
    auto cx = [&](int v) { return std::clamp(v, 0, size.width); };
    auto cy = [&](int v) { return std::clamp(v, 0, size.height); };
    return {cx(std::min(x0, x1)), cy(std::min(y0, y1)), cx(std::max(x0, x1)), cy(std::max(y0, y1))};
}

// ---- pointer ----

Outcome ViewState::press(int x, int y, bool full_screen) {
    Outcome out;
    pressed_ = true;
    press_x_ = x;
    press_y_ = y;
    moved_ = false;
    // Resting only switches on the rectangle zoom from the plain tool.
    out.arm_rest_timer = tool_ == kToolNone;
    out.hide_overlay = full_screen;
    return out;
}

Outcome ViewState::move(int x, int y) {
    Outcome out;
    if (!pressed_ || !target_) return out;
    if (selecting_) {
        int ix, iy;
        client_to_image(x, y, ix, iy);
        selection_ = clip_to_image(anchor_x_, anchor_y_, ix, iy);
        out.repaint = true;
        return out;
    }
    if (!moved_) {
        if (std::abs(x - press_x_) <= kDragThreshold && std::abs(y - press_y_) <= kDragThreshold) return out;
        moved_ = true;
        out.cancel_rest_timer = true;
        out.stop_slide_show = true;
        out.capture = true;
        if (tool_ == kToolNone) {
            panning_ = true;
            last_x_ = press_x_;
            last_y_ = press_y_;
        } else {
            selecting_ = has_selection_ = true;
            client_to_image(press_x_, press_y_, anchor_x_, anchor_y_);
            int ix, iy;
            client_to_image(x, y, ix, iy);
            selection_ = clip_to_image(anchor_x_, anchor_y_, ix, iy);
            out.repaint = true;
            return out;
        }
    }
    if (panning_) {
        auto speed_up = [](int d) { return std::abs(d) > kDragThreshold ? d + static_cast<int>(d / kPanDivisor) : d; };
        int before_x = scroll_x_, before_y = scroll_y_;
        scroll_x_ += speed_up(last_x_ - x);
        scroll_y_ += speed_up(last_y_ - y);
        last_x_ = x;
        last_y_ = y;
        clamp_scroll();
        update_centre();
        out.repaint = scroll_x_ != before_x || scroll_y_ != before_y;
    }
    return out;
}

Outcome ViewState::release(bool full_screen) {
    Outcome out;
    out.show_overlay = full_screen;
    out.cancel_rest_timer = true;
    if (!pressed_) return out;
    pressed_ = false;
    if (selecting_) {
        selecting_ = false;
        out.release_capture = true;
        out.repaint = true;
        if (tool_ == kToolZoomArea) {
            int width = selection_.right - selection_.left, height = selection_.bottom - selection_.top;
            // An empty rectangle (a drag along the image's edge) gives no zoom.
            if (width > 0 && height > 0 && client_w_ > 0 && client_h_ > 0) {
                double ratio = std::max(static_cast<double>(width) / client_w_,
                                        static_cast<double>(height) / client_h_);
                int zoom = std::min(kZoomMax, static_cast<int>(1000.0 / ratio));
                int cx = (selection_.left + selection_.right) / 2, cy = (selection_.top + selection_.bottom) / 2;
                zoom_to(zoom, false);
                centre_on_image_point(cx, cy);
            }
            end_selection();
        }
        return out;
    }
    if (panning_) {
        pan_end_ = clock_();
        panning_ = false;
        out.release_capture = true;
        return out;
    }
    if (moved_ || !target_) return out;
    // A tap.
    int ix, iy;
    client_to_image(press_x_, press_y_, ix, iy);
    if (tool_ == kToolCrop) {
        if (!has_selection_) return out;
        if (ix >= selection_.left && ix < selection_.right && iy >= selection_.top && iy < selection_.bottom) {
            out.crop_requested = true;  // the crop ends the selection
        } else {
            end_selection();
        }
        out.repaint = true;
        return out;
    }
    if (tool_ != kToolNone) return out;
    if (clock_() - pan_end_ < kTapAfterPanMs || zoom_ >= kZoomMax) return out;
    zoom_to(std::min(kZoomMax, zoom_ * kZoomStep / 1000), false);
    centre_on_image_point(ix, iy);
    out.repaint = true;
    return out;
}

Outcome ViewState::rest_timeout() {
    Outcome out;
    if (!pressed_ || moved_ || tool_ != kToolNone || !target_) return out;
    previous_tool_ = tool_;
    tool_ = kToolZoomArea;
    out.open_marker = true;
    return out;
}

bool ViewState::accept_key() {
    int64_t now = clock_();
    if (now - key_time_ < kKeyRepeatMs) return false;
    key_time_ = now;
    return true;
}

}  // namespace qelvio::viewer
