// The viewer's slide show without widgets: a check every 100 ms moves to
// the next image once the interval (the setting slide_interval, seconds,
// times 1000 and truncated to milliseconds) has passed since the current
// slide started; it wraps, and with selected-only skips unselected images.
// The start time is taken before the next image is decoded, so decoding
// counts towards that image's own display time. User-interface thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>

namespace qelvio::browser {

inline constexpr int kSlideCheckMs = 100;

// The interval in milliseconds for a slide_interval in seconds.
int64_t slide_interval_ms(float seconds);

class SlideShow {
public:
    // Starts at an index; now is the steady clock in ms.
    void start(int index, bool selected_only, int64_t now);
    void stop() { running_ = false; }
    bool running() const { return running_; }
    bool selected_only() const { return selected_only_; }
    int current() const { return current_; }

    // The 100 ms check: the index to show next, or nullopt when the slide
    // stays (or nothing else can be shown). count is the number of images,
    // selected(i) whether image i is selected.
    std::optional<int> check(int64_t now, int64_t interval_ms, int count, const std::function<bool(int)>& selected);

private:
    bool running_ = false;
    bool selected_only_ = false;
    int current_ = 0;
    int64_t slide_start_ = 0;
};

}  // namespace qelvio::browser
