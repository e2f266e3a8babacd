#include "browser/busy_indicator.h"

#include <chrono>

namespace qelvio::browser {

void next_busy_frame(int& index, int& step) {
    index += step;
    if (index == 4) {
        step = -1;
        index = 3;
    } else if (index == -1) {
        step = 1;
        index = 0;
    }
}

BusyIndicator::BusyIndicator(BusySurface& surface, int screen_width, int screen_height,
                             std::array<int, 4> frame_ms)
    : surface_(surface),
      x_(screen_width / 2 - kBusyWidth / 2),
      y_(screen_height / 2 - kBusyHeight / 2),
      frame_ms_(frame_ms) {}

BusyIndicator::~BusyIndicator() {
    if (thread_.joinable()) {
        nesting_ = 1;
        end();
    }
}

void BusyIndicator::begin() {
    if (nesting_++ != 0) return;
    stop_ = false;
    visible_ = true;
    thread_ = std::thread([this] { run(); });
}

void BusyIndicator::end() {
    if (nesting_ == 0) return;
    if (--nesting_ != 0) return;
    stop_ = true;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        signalled_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
    std::lock_guard<std::mutex> lock(mutex_);
    signalled_ = false;
}

void BusyIndicator::show(bool visible) {
    visible_ = visible;
    if (!thread_.joinable()) return;
    // The window belongs to the animation thread; wake it to apply the flag.
    {
        std::lock_guard<std::mutex> lock(mutex_);
        signalled_ = true;
    }
    wake_.notify_all();
}

void BusyIndicator::run() {
    bool shown = visible_;
    surface_.create(x_, y_, shown);
    int index = 0, step = 1;
    while (!stop_) {
        if (shown != visible_) {
            shown = visible_;
            surface_.set_visible(shown);
        }
        surface_.draw_frame(index);
        std::unique_lock<std::mutex> lock(mutex_);
        bool woken = wake_.wait_for(lock, std::chrono::milliseconds(frame_ms_[static_cast<std::size_t>(index)]),
                                    [this] { return signalled_; });
        if (woken && !stop_) {
            // A show or hide woke us: apply it and keep the frame.
            signalled_ = false;
            continue;
        }
        lock.unlock();
        next_busy_frame(index, step);
    }
    surface_.destroy();
}

}  // namespace qelvio::browser
