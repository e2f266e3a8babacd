#include "sharing/infrared_engine.h"

#include "platform/file_system.h"
#include "platform/text.h"
#include "sharing/infrared_engine_core.h"

#include <algorithm>

namespace qelvio::sharing {
namespace {

// File ids come from one counter of the program, starting at 1.
std::atomic<uint16_t> id_counter{0};

uint16_t next_file_id() {
    uint16_t id;
    do {
        id = static_cast<uint16_t>(id_counter.fetch_add(1) + 1);
    } while (id == 0);
    return id;
}

bool same_path_ignoring_case(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (text::fold_case(a[i]) != text::fold_case(b[i])) return false;
    return true;
}

}  // namespace

// ---- PacketChannel ----

bool PacketChannel::send(const std::optional<Packet>& packet) {
    if (link_error) return false;
    if (!packet) {
        link_error = true;
        return false;
    }
    std::vector<uint8_t> bytes = encode(*packet);
    StreamLink::Io io = link_.send_all(bytes, stall_ms_, stop_);
    if (io == StreamLink::Io::ok) return true;
    if (io == StreamLink::Io::timed_out) timed_out = true;
    if (io != StreamLink::Io::stopped) link_error = true;
    return false;
}

bool PacketChannel::waiting(int ms) {
    return link_.pending() > 0 || link_.wait_readable(ms);
}

PacketChannel::Got PacketChannel::receive(Packet& out) {
    uint8_t header_bytes[kHeaderSize];
    StreamLink::Io io = link_.receive_exact(header_bytes, stall_ms_, stop_);
    if (io == StreamLink::Io::ok) {
        Header header = decode_header(header_bytes);
        out.type = header.type;
        out.length = 0;
        if (header.type == kGoodbye) {
            peer_closed = true;
            return Got::packet;
        }
        if (header.length > kMaxPayload) return Got::too_long;
        out.length = header.length;
        io = link_.receive_exact({out.payload.data(), header.length}, stall_ms_, stop_);
        if (io == StreamLink::Io::ok) return Got::packet;
    }
    if (io == StreamLink::Io::timed_out) timed_out = true;
    if (io == StreamLink::Io::stopped) return Got::nothing;
    link_error = true;
    return Got::failed;
}

// ---- InfraredEngine ----

InfraredEngine::InfraredEngine(InfraredOptions options) : core_(std::make_unique<Core>(std::move(options))) {}

InfraredEngine::~InfraredEngine() { stop(); }

void InfraredEngine::join_ended_worker() {
    if (core_->worker.joinable() && !core_->worker_running) core_->worker.join();
}

int32_t InfraredEngine::start(int mode, platform::MessageTarget* window) {
    join_ended_worker();
    if (core_->worker.joinable() || core_->mode != kIdle) return kEngineRunning;
    if (mode != kSending && mode != kReceiving) return kEngineSocketError;
    Core& c = *core_;
    c.window = window;
    c.stop_request = false;
    c.skip_request = false;
    c.overwrite_answer = -2;
    c.progress_armed = false;
    {
        std::lock_guard guard(c.lock);
        c.current_id = 0;
        if (mode == kReceiving) {
            c.queue.clear();
        } else {
            // A new link: what an earlier one finished is dropped, and the
            // rest is announced again to the new receiver.
            std::erase_if(c.queue, [](const TransferEntry& e) { return e.finished() || (e.flags & kEntryWithdrawn); });
            for (TransferEntry& e : c.queue) e.flags &= static_cast<uint16_t>(~kEntryAnnounced);
            c.queue_changed = true;
        }
    }
    if (mode == kReceiving)
        c.listener = ServiceListener::open(c.options.transport);
    else
        c.listener.reset();
    c.mode = mode;
    c.worker_running = true;
    c.worker = std::thread([&c, mode] {
        if (mode == kSending)
            run_sender(c);
        else
            run_receiver(c);
        c.worker_running = false;
    });
    return 0;
}

void InfraredEngine::stop() {
    Core& c = *core_;
    c.stop_request = true;
    if (c.worker.joinable()) c.worker.join();
    c.worker_ended();
    {
        std::lock_guard guard(c.lock);
        c.queue.clear();
        c.queue_changed = false;
    }
    c.listener.reset();
    c.stop_request = false;
}

int InfraredEngine::mode() const { return core_->mode; }

int32_t InfraredEngine::queue_file(std::u16string_view path, std::u16string_view description, p_filenode* node) {
    auto attributes = platform::get_attributes(path);
    if (!attributes || attributes->directory) return kEngineNoSuchFile;
    // Sizes travel as 32-bit numbers: a file of 4 GiB or more cannot be sent.
    int64_t size = platform::file_size(path).value_or(0);
    if (size > static_cast<int64_t>(UINT32_MAX)) return kEngineNoSuchFile;
    TransferEntry entry;
    entry.path = path;
    std::size_t slash = path.rfind(u'\\');
    entry.name = slash == std::u16string_view::npos ? path : path.substr(slash + 1);
    entry.description = description;
    entry.node = node;
    entry.size = static_cast<uint32_t>(size);
    entry.file_time = platform::file_time(path).value_or(0);
    std::lock_guard guard(core_->lock);
    for (const TransferEntry& e : core_->queue)
        if (same_path_ignoring_case(e.path, path)) return 0;
    entry.id = next_file_id();
    core_->queue.push_back(std::move(entry));
    core_->queue_changed = true;
    return 0;
}

int32_t InfraredEngine::withdraw(std::u16string_view path) {
    std::lock_guard guard(core_->lock);
    for (TransferEntry& e : core_->queue) {
        if (!same_path_ignoring_case(e.path, path)) continue;
        if (e.id == core_->current_id) {
            core_->skip_request = true;
        } else {
            e.flags |= kEntryWithdrawn;
            core_->queue_changed = true;
        }
        return 0;
    }
    return kEngineNoSuchFile;
}

int32_t InfraredEngine::skip() {
    if (!core_->worker_running) return kEngineSocketError;
    core_->skip_request = true;
    return 0;
}

void InfraredEngine::set_overwrite_answer(bool yes) {
    int pending = 0;
    if (core_->worker_running) core_->overwrite_answer.compare_exchange_strong(pending, yes ? 1 : -1);
}

void InfraredEngine::rearm_progress() { core_->progress_armed = true; }

int InfraredEngine::files_remaining() const {
    std::lock_guard guard(core_->lock);
    return static_cast<int>(std::count_if(core_->queue.begin(), core_->queue.end(), [](const TransferEntry& e) {
        return !(e.flags & (kEntryComplete | kEntryWithdrawn | kEntryFailed));
    }));
}

std::optional<TransferEntry> InfraredEngine::next_entry_after(uint16_t id) const {
    std::lock_guard guard(core_->lock);
    for (const TransferEntry& e : core_->queue)
        if (e.id > id) return e;
    return std::nullopt;
}

std::optional<TransferEntry> InfraredEngine::entry(uint16_t id) const {
    std::lock_guard guard(core_->lock);
    for (const TransferEntry& e : core_->queue)
        if (e.id == id) return e;
    return std::nullopt;
}

std::vector<TransferEntry> InfraredEngine::entries() const {
    std::lock_guard guard(core_->lock);
    return core_->queue;
}

std::pair<uint16_t, uint16_t> InfraredEngine::listening_ports() const {
    if (!core_->worker_running || !core_->listener) return {0, 0};
    return {core_->listener->stream_port(), core_->listener->discovery_port()};
}

}  // namespace qelvio::sharing
