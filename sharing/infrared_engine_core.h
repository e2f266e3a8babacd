// The engine's shared state and the packet channel its two workers speak
// through. Internal to the sharing folder.
//
// Threading: `lock` guards `queue`, `queue_changed` and `current_id`; the
// request words (stop, skip, overwrite answer, progress armed) are atomics
// written by the window's thread and polled by the worker.
#pragma once

#include "sharing/infrared_engine.h"
#include "sharing/infrared_packet.h"

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

namespace qelvio::sharing {

struct InfraredEngine::Core {
    explicit Core(InfraredOptions o) : options(std::move(o)) {}

    InfraredOptions options;
    std::thread worker;
    std::atomic<int> mode{kIdle};
    std::atomic<bool> worker_running{false};
    std::atomic<bool> stop_request{false};
    std::atomic<bool> skip_request{false};
    std::atomic<int> overwrite_answer{-2};  // -2 none pending, 0 pending, 1 yes, -1 no
    std::atomic<bool> progress_armed{false};
    platform::MessageTarget* window = nullptr;
    std::unique_ptr<ServiceListener> listener;  // the receiver's, opened by start

    mutable std::mutex lock;
    std::vector<TransferEntry> queue;
    bool queue_changed = false;
    uint16_t current_id = 0;  // 0: no current file

    // Posts a notification to the window and yields.
    void post(uint32_t message, std::intptr_t first = 0, std::intptr_t second = 0) {
        if (window) window->post(message, first, second);
        std::this_thread::yield();
    }
    // Sleeps up to ms; false when a stop request came.
    bool sleep_unless_stopped(int ms) {
        for (int waited = 0; waited < ms; waited += 10) {
            if (stop_request) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return !stop_request;
    }
    // Sets the entry's flags (none when the id is not queued).
    void mark(uint16_t id, uint16_t flags) {
        std::lock_guard guard(lock);
        for (TransferEntry& e : queue)
            if (e.id == id) e.flags |= flags;
    }
    // Ends the worker's life: state back to idle; the queue stays for the
    // window to read until the next start or stop. Called last by the worker.
    void worker_ended() {
        {
            std::lock_guard guard(lock);
            current_id = 0;
        }
        skip_request = false;
        overwrite_answer = -2;
        progress_armed = false;
        mode = kIdle;
    }
};

// Packets over a stream link, with the link-error and peer-closed flags.
class PacketChannel {
public:
    enum class Got { packet, nothing, too_long, failed };

    PacketChannel(StreamLink& link, const std::atomic<bool>& stop, int stall_ms)
        : link_(link), stop_(stop), stall_ms_(stall_ms) {}

    // Sends a packet; a packet that could not be made, or any failure of
    // the link, sets the link-error flag.
    bool send(const std::optional<Packet>& packet);
    bool send_empty(uint16_t type) { return send(make_packet(type)); }
    // Whether bytes (or the peer's close) wait, waiting up to ms for them.
    bool waiting(int ms);
    // Reads one packet. A type 2 sets peer_closed as soon as it is read; a
    // payload over 512 bytes is too_long and is not read.
    Got receive(Packet& out);

    bool link_error = false;
    bool peer_closed = false;
    bool timed_out = false;

private:
    StreamLink& link_;
    const std::atomic<bool>& stop_;
    int stall_ms_;
};

void run_sender(InfraredEngine::Core& core);
void run_receiver(InfraredEngine::Core& core);

}  // namespace qelvio::sharing
