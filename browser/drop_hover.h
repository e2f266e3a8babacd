// The folder tree's reaction to files dragged over it, as a state machine
// without widgets or timers: the caller passes the time (milliseconds of a
// steady clock) and carries out what each call answers.
//
// - Auto-expand: hovering over a folder arms an expansion after 800 ms; a
//   move of more than 5 pixels (in either direction) from the last hover
//   point cancels it, and the same hover arms it again from then on.
// - Autoscroll: within 15 pixels of the pane's top or bottom the tree
//   scrolls one item up (-15) or down (15); a step runs at once when more
//   than 200 ms have passed since the last one, and the scroll timer is
//   armed for 50 ms, each tick of which steps again while the direction
//   holds.
//
// User-interface thread only.
#pragma once

#include <cstdint>

namespace qelvio::browser {

inline constexpr int kDropMoveTolerance = 5;
inline constexpr int kAutoExpandDelayMs = 800;
inline constexpr int kAutoScrollBand = 15;
inline constexpr int kAutoScrollPauseMs = 200;
inline constexpr int kAutoScrollTimerMs = 50;

// What a drag-over asks of the pane.
struct DragOverActions {
    bool cancel_expand = false;  // stop the pending auto-expand timer
    bool arm_expand = false;     // start the auto-expand timer (800 ms)
    bool scroll_now = false;     // scroll one item in direction() now
    bool arm_scroll = false;     // start the scroll timer (50 ms)
};

class DropHover {
public:
    // The pointer at (x, y) in pane coordinates over a pane of that height;
    // over_folder: the point is on a folder's item.
    DragOverActions drag_over(int x, int y, int pane_height, bool over_folder, int64_t now_ms);
    // The auto-expand timer fired: true when the highlighted folder should
    // be expanded now (the expansion is no longer pending either way).
    bool expand_due();
    // The scroll timer fired: true to scroll one item in direction() and arm
    // the timer again; false to stop it (no direction).
    bool scroll_due(int64_t now_ms);
    // Drop, leave or end of the drag: nothing is pending any more.
    void stop();

    // -15 (up), 0 or 15 (down).
    int direction() const { return direction_; }
    bool expand_pending() const { return expand_pending_; }

private:
    bool has_point_ = false;
    int x_ = 0;
    int y_ = 0;
    bool expand_pending_ = false;
    int direction_ = 0;
    bool stepped_ = false;
    int64_t last_step_ms_ = 0;
};

}  // namespace qelvio::browser
