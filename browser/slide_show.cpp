#include "browser/slide_show.h"

namespace qelvio::browser {

int64_t slide_interval_ms(float seconds) {
    if (!(seconds > 0)) return 0;
    return static_cast<int64_t>(static_cast<double>(seconds) * 1000.0);
}

void SlideShow::start(int index, bool selected_only, int64_t now) {
    running_ = true;
    selected_only_ = selected_only;
    current_ = index;
    slide_start_ = now;
}

std::optional<int> SlideShow::check(int64_t now, int64_t interval_ms, int count,
                                    const std::function<bool(int)>& selected) {
    if (!running_ || count <= 0 || now - slide_start_ < interval_ms) return std::nullopt;
    slide_start_ = now;
    for (int step = 1; step <= count; ++step) {
        const int next = (current_ + step) % count;
        if (selected_only_ && !selected(next)) continue;
        if (next == current_) return std::nullopt;
        current_ = next;
        return next;
    }
    return std::nullopt;
}

}  // namespace qelvio::browser
