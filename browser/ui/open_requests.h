// Open-file requests handed over by a second start of the program: the
// single-instance listener's thread queues the locator here and posts
// message 1027 to the main window, which takes the queue on its thread.
#pragma once

#include "qelvio/p_irl.h"

#include <deque>
#include <mutex>
#include <string>
#include <vector>

namespace qelvio::browser {

class OpenRequests {
public:
    // Any thread.
    void push(const p_irl& irl) {
        std::lock_guard<std::mutex> lock(mutex_);
        queue_.emplace_back(static_cast<const char16_t*>(irl));
    }
    // Empties the queue, oldest first.
    std::vector<std::u16string> take() {
        std::lock_guard<std::mutex> lock(mutex_);
        std::vector<std::u16string> out(queue_.begin(), queue_.end());
        queue_.clear();
        return out;
    }

private:
    std::mutex mutex_;
    std::deque<std::u16string> queue_;
};

}  // namespace qelvio::browser
