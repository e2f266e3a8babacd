// A message target for code without a window (the command-line tool, tests):
// posted messages wait in a queue until the owner takes them.
#pragma once

#include "platform/message_target.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>

namespace qelvio::platform {

struct Message {
    uint32_t number;
    std::intptr_t first;
    std::intptr_t second;
};

class MessageQueue final : public MessageTarget {
public:
    void post(uint32_t number, std::intptr_t first, std::intptr_t second) override {
        std::lock_guard lock(mutex_);
        messages_.push_back({number, first, second});
        arrived_.notify_all();
    }
    // The oldest message, waiting for one up to `timeout`; none on timeout.
    std::optional<Message> take(std::chrono::milliseconds timeout = std::chrono::seconds(60)) {
        std::unique_lock lock(mutex_);
        if (!arrived_.wait_for(lock, timeout, [&] { return !messages_.empty(); })) return std::nullopt;
        Message next = messages_.front();
        messages_.pop_front();
        return next;
    }

private:
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::deque<Message> messages_;
};

}  // namespace qelvio::platform
