// The busy indicator: a 32 x 24 animation in the middle of the screen shown
// around single long operations, drawn by a thread of its own. Nested
// begins share one animation; only the outermost end stops it.
//
// Threading: begin, end and show are called on the user-interface thread,
// which owns the nesting count and writes the flags. The animation thread
// only calls the surface (create, draw_frame, set_visible, destroy) and
// waits on the wake event. end() waits until the thread has ended, so no
// drawing happens after it returns.
#pragma once

#include <array>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace qelvio::browser {

// Where the animation is drawn; called on the animation thread only.
class BusySurface {
public:
    virtual ~BusySurface() = default;
    // Makes the 32 x 24 window at (x, y), visible or not.
    virtual void create(int x, int y, bool visible) = 0;
    // Shows frame 0 to 3 (bitmaps 149 to 152).
    virtual void draw_frame(int frame) = 0;
    virtual void set_visible(bool visible) = 0;
    virtual void destroy() = 0;
};

// The next frame of the back-and-forth sequence 0,1,2,3,3,2,1,0,0,1,...:
// index += step; at 4 the step turns to -1 and the index is 3; at -1 the
// step turns to +1 and the index is 0.
void next_busy_frame(int& index, int& step);

inline constexpr int kBusyWidth = 32;
inline constexpr int kBusyHeight = 24;

class BusyIndicator {
public:
    // frame_ms: how long each of the four frames stays (1500, 30, 30, 30).
    BusyIndicator(BusySurface& surface, int screen_width, int screen_height,
                  std::array<int, 4> frame_ms = {1500, 30, 30, 30});
    ~BusyIndicator();
    BusyIndicator(const BusyIndicator&) = delete;
    BusyIndicator& operator=(const BusyIndicator&) = delete;

    void begin();
    void end();
    // Shows or hides the window while animating (callers hide it around
    // message boxes); the animation goes on.
    void show(bool visible);

    int nesting() const { return nesting_; }
    bool animating() const { return thread_.joinable(); }

private:
    void run();

    BusySurface& surface_;
    int x_;
    int y_;
    std::array<int, 4> frame_ms_;
    int nesting_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<bool> visible_{false};
    std::mutex mutex_;
    std::condition_variable wake_;  // the wake event, with signalled_ under mutex_
    bool signalled_ = false;
    std::thread thread_;
};

}  // namespace qelvio::browser
