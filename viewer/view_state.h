// The viewer's geometry and pointer rules without a window: the zoom (fit,
// the snap to full size, the 1.5 steps up to 3000), the centre point kept
// across zoom changes, the scroll origin and its clamps, panning at about
// 1.74 times the pointer's speed, the tap zoom, the rectangle tools (1 zoom
// to a selected area, 2 crop selection), the 300 ms rest that switches on
// the rectangle zoom, and the 250 ms key repeat limit.
//
// The window feeds it client sizes, pointer events and timer expiries and
// carries out what each call's Outcome asks (repaint, capture, timers,
// marker, overlay buttons). The image is reached through ZoomTarget so the
// image object decodes and draws at the zoom chosen here. Times come from an
// injected clock in milliseconds. User-interface thread only.
#pragma once

#include "imaging/dib.h"
#include "imaging/resample.h"

#include <cstdint>
#include <functional>

namespace qelvio::viewer {

using imaging::DibRect;
using imaging::DibSize;

inline constexpr int kZoomFull = 1000;
inline constexpr int kZoomMax = 3000;
inline constexpr int kZoomStep = 1500;    // thousandths: each step is x1.5
inline constexpr int kZoomSnap = 199;     // a zoom this close to 1000 becomes 1000
inline constexpr int kDragThreshold = 2;  // pixels before a press becomes a drag
inline constexpr int kRestMs = 300;       // stylus at rest: rectangle zoom
inline constexpr int kTapAfterPanMs = 300;
inline constexpr int kKeyRepeatMs = 250;
inline constexpr double kPanDivisor = 1.35;

enum Tool : int {
    kToolNone = 0,
    kToolZoomArea = 1,
    kToolCrop = 2,
};

// The image as the zoom sees it: its current size, and the size it is
// displayed at once given a zoom (the image object's set_zoom and
// displayed_size).
class ZoomTarget {
public:
    virtual ~ZoomTarget() = default;
    virtual DibSize image_size() = 0;
    virtual DibSize apply_zoom(int zoom) = 0;
};

// What the window does after a call.
struct Outcome {
    bool repaint = false;
    bool stop_slide_show = false;
    bool capture = false;          // capture the pointer
    bool release_capture = false;
    bool arm_rest_timer = false;   // timer 2, kRestMs
    bool cancel_rest_timer = false;
    bool open_marker = false;      // marker window (bitmap 174) at press_point()
    bool hide_overlay = false;     // full screen only
    bool show_overlay = false;
    bool crop_requested = false;   // a tap inside the crop selection
};

class ViewState {
public:
    using Clock = std::function<int64_t()>;
    explicit ViewState(Clock clock);

    // ---- image and client ----
    // The image to show (null: none). The zoom is not applied until fit().
    void set_target(ZoomTarget* target);
    ZoomTarget* target() const { return target_; }
    void set_client(int width, int height);
    int client_width() const { return client_w_; }
    int client_height() const { return client_h_; }
    // A new client size: the zoom again keeping the centre point, then a fit
    // when a reduced image now fits within the client both ways.
    Outcome resize(int width, int height);

    // ---- zoom ----
    // The zoom that fits the image in the client, never enlarging.
    int fit_zoom() const;
    void fit() { zoom_to(0, false, true); }
    // Applies a zoom (snapped near 1000), optionally keeping the centre point.
    void zoom_to(int zoom, bool keep_centre, bool fit = false);
    Outcome zoom_in();
    Outcome zoom_out();
    int zoom() const { return zoom_; }
    DibSize displayed() const { return displayed_; }
    int offset_x() const { return offset_x_; }
    int offset_y() const { return offset_y_; }
    int scroll_x() const { return scroll_x_; }
    int scroll_y() const { return scroll_y_; }
    int centre_x() const { return centre_x_; }
    int centre_y() const { return centre_y_; }
    // Client point -> image point, and image rectangle -> client rectangle.
    void client_to_image(int x, int y, int& ix, int& iy) const;
    DibRect image_to_client(const DibRect& r) const;
    // The displayed-image part visible in the client, in full-size image
    // pixels (what the image object is asked to draw).
    DibRect visible_image_part() const;

    // ---- tools and selection ----
    int tool() const { return tool_; }
    int previous_tool() const { return previous_tool_; }
    // Switches a rectangle tool on (remembering the previous one) or, when
    // it is on, back to the previous tool (commands 32867 and 32845).
    void toggle_tool(int tool);
    // Forgets selection and tools (entering the viewer, showing an image).
    void reset_tools();
    bool has_selection() const { return has_selection_; }
    bool selecting() const { return selecting_; }
    const DibRect& selection() const { return selection_; }
    // Removes the selection and restores the previous tool.
    void end_selection();

    // ---- pointer ----
    Outcome press(int x, int y, bool full_screen);
    Outcome move(int x, int y);
    Outcome release(bool full_screen);
    // Timer 2 expired: the stylus rested.
    Outcome rest_timeout();
    bool panning() const { return panning_; }
    int press_x() const { return press_x_; }
    int press_y() const { return press_y_; }

    // ---- keys ----
    // True when a key arriving now is handled (at least kKeyRepeatMs after
    // the last handled one); it then counts as the last handled key.
    bool accept_key();

private:
    void clamp_scroll();
    void update_centre();
    void centre_on_image_point(int ix, int iy);
    DibRect clip_to_image(int x0, int y0, int x1, int y1) const;

    Clock clock_;
    ZoomTarget* target_ = nullptr;
    int client_w_ = 0;
    int client_h_ = 0;
    int zoom_ = kZoomFull;
    bool has_displayed_ = false;
    DibSize displayed_{0, 0};
    int offset_x_ = 0, offset_y_ = 0;
    int scroll_x_ = 0, scroll_y_ = 0;
    int centre_x_ = 0, centre_y_ = 0;

    int tool_ = kToolNone;
    int previous_tool_ = kToolNone;
    bool has_selection_ = false;
    bool selecting_ = false;
    DibRect selection_{0, 0, 0, 0};
    int anchor_x_ = 0, anchor_y_ = 0;  // image point where the selection began

    bool pressed_ = false;
    int press_x_ = 0, press_y_ = 0;
    bool moved_ = false;
    bool panning_ = false;
    int last_x_ = 0, last_y_ = 0;
    int64_t pan_end_ = INT64_MIN / 2;
    int64_t key_time_ = INT64_MIN / 2;
};

}  // namespace qelvio::viewer
