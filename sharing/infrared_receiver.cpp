// The receiving worker: listens, answers discovery, and serves one sender
// after another. Each file is written to a partial file in the folder of
// partial files; only a file that arrived complete, with exactly its
// announced size, takes its place in the receiving folder (moved there, or
// replacing an existing file only after the user's yes), so an interrupted
// file can be resumed and never shows up shortened.
//
// Receiver states: 0 idle, 3 reading an announcement, 2 receiving, 1 this
// file stopped (waiting for the sender's end of file).
#include "platform/file_system.h"
#include "shell/known_folders.h"
#include "sharing/infrared_crc.h"
#include "sharing/infrared_engine_core.h"
#include "sharing/received_name.h"

namespace qelvio::sharing {
namespace {

using Clock = std::chrono::steady_clock;

enum ReceiverState { kReceiveIdle = 0, kReceiveStopped = 1, kReceiving = 2, kReadingAnnouncement = 3 };
constexpr std::size_t kMaxSavedStates = 5;

std::u16string folder_or(const std::u16string& chosen, int known) {
    if (!chosen.empty()) return chosen;
    return shell::well_known_folder(known).value_or(u"");
}

std::u16string join(const std::u16string& folder, const std::u16string& name) {
    if (!folder.empty() && folder.back() == u'\\') return folder + name;
    return folder + u"\\" + name;
}

class ReceiverSession {
public:
    ReceiverSession(InfraredEngine::Core& core, StreamLink& link)
        : c_(core), ch_(link, core.stop_request, core.options.stall_timeout_ms),
          receive_folder_(folder_or(core.options.receive_folder, shell::kDocumentsFolder)),
          partial_folder_(folder_or(core.options.partial_folder, shell::kInfraredPartialFolder)) {}

    // Serves the connection; true when a stop request ended it.
    bool run();

private:
    void handle(const Packet& p);
    void begin_file(uint16_t id);
    void write_data(const Packet& p);
    void end_file(const Packet& p);
    // Ends the current file from this side: failed, 18 with the reason.
    void stop_file(uint16_t reason);
    // Puts the complete partial file in the receiving folder.
    bool place_file();
    void close_file();
    TransferEntry* find(uint16_t id);
    void protocol_error() { protocol_error_ = true; }

    InfraredEngine::Core& c_;
    PacketChannel ch_;
    std::u16string receive_folder_;
    std::u16string partial_folder_;
    int state_ = kReceiveIdle;
    std::vector<int> saved_states_;
    bool protocol_error_ = false;
    // The current file.
    TransferEntry current_;
    std::u16string partial_path_;
    std::u16string target_path_;
    uint32_t file_ = 0;
    int64_t written_ = 0;
    bool go_sent_ = false;
    bool resume_confirmed_ = false;
    bool overwrite_allowed_ = false;
    Clock::time_point last_report_ = Clock::now();
};

bool ReceiverSession::run() {
    c_.post(kMsgConnected);
    {
        std::lock_guard guard(c_.lock);
        c_.queue.clear();
        c_.current_id = 0;
    }
    c_.overwrite_answer = -2;
    ch_.send(make_u16_packet(kHello, kHelloValue));
    Packet hello;
    if (ch_.receive(hello) == PacketChannel::Got::packet && hello.type != kHello && !ch_.peer_closed)
        protocol_error();

    Clock::time_point last_heard = Clock::now();
    Clock::time_point last_probe_answer = Clock::now();
    while (true) {
        if (c_.stop_request) {
            close_file();
            ch_.send_empty(kGoodbye);
            c_.post(kMsgDisconnected);
            return true;
        }
        if (ch_.link_error || ch_.peer_closed || protocol_error_) break;
        if (state_ == kReceiving && c_.skip_request.exchange(false)) {
            stop_file(kResultSkipped);
            continue;
        }
        int answer = c_.overwrite_answer;
        if (answer == -1 || answer == 1) {
            c_.overwrite_answer = -2;
            if (state_ == kReceiving && answer == -1) {
                stop_file(kResultOverwriteRefused);
            } else if (state_ == kReceiving) {
                overwrite_allowed_ = true;
                go_sent_ = true;
                ch_.send_empty(kGo);
            }
            last_heard = Clock::now();
            continue;
        }
        if (Clock::now() - last_probe_answer > std::chrono::milliseconds(100)) {
            c_.listener->answer_probes();
            last_probe_answer = Clock::now();
        }
        if (!ch_.waiting(10)) {
            // A peer that stays silent while this side waits for it is
            // dropped; the time the user takes to answer does not count.
            bool asking = c_.overwrite_answer == 0;
            if (asking) last_heard = Clock::now();
            if (!asking && Clock::now() - last_heard > std::chrono::milliseconds(c_.options.stall_timeout_ms))
                ch_.timed_out = ch_.link_error = true;
            continue;
        }
        Packet p;
        PacketChannel::Got got = ch_.receive(p);
        if (got == PacketChannel::Got::too_long) protocol_error();
        if (got != PacketChannel::Got::packet) continue;
        last_heard = Clock::now();
        handle(p);
    }

    close_file();
    if (protocol_error_) c_.post(kMsgFailed, kEngineProtocolError);
    else if (ch_.timed_out) c_.post(kMsgFailed, kEngineSocketError);
    c_.post(kMsgDisconnected);
    if (!ch_.peer_closed) ch_.send_empty(kGoodbye);
    return false;
}

TransferEntry* ReceiverSession::find(uint16_t id) {
    for (TransferEntry& e : c_.queue)
        if (e.id == id) return &e;
    return nullptr;
}

void ReceiverSession::handle(const Packet& p) {
    if (p.type < kWithdrawn || p.type > kFileEnd) return;  // hello, goodbye and unknown types
    // Every number packet carries its number.
    bool needs_u16 = p.type == kWithdrawn || p.type == kAnnounceBegin || p.type == kTransferRequest;
    if ((needs_u16 && !payload_u16(p)) || (p.type == kAnnounceSize && !payload_u32(p)) ||
        (p.type == kAnnounceTime && !payload_u64(p)) || (p.type == kData && p.length == 0))
        return protocol_error();
    switch (p.type) {
    case kWithdrawn: {
        if (state_ == kReadingAnnouncement) return protocol_error();
        uint16_t id = *payload_u16(p);
        {
            std::lock_guard guard(c_.lock);
            TransferEntry* e = find(id);
            if (!e) return protocol_error();
            if (id == c_.current_id) return;
            c_.queue.erase(c_.queue.begin() + (e - c_.queue.data()));
        }
        c_.post(kMsgLeftQueue, id);
        return;
    }
    case kAnnounceBegin: {
        if (state_ != kReceiveIdle && state_ != kReceiving) return protocol_error();
        if (saved_states_.size() >= kMaxSavedStates) return protocol_error();
        uint16_t id = *payload_u16(p);
        std::lock_guard guard(c_.lock);
        if (find(id) || c_.queue.size() >= c_.options.max_entries) return protocol_error();
        saved_states_.push_back(state_);
        state_ = kReadingAnnouncement;
        TransferEntry e;
        e.id = id;
        c_.queue.push_back(std::move(e));
        return;
    }
    case kAnnounceName:
    case kAnnounceDescription:
    case kAnnounceSize:
    case kAnnounceTime: {
        if (state_ != kReadingAnnouncement) return protocol_error();
        std::lock_guard guard(c_.lock);
        TransferEntry& e = c_.queue.back();
        if (p.type == kAnnounceName) e.name = payload_text(p);
        if (p.type == kAnnounceDescription) e.description = payload_text(p);
        if (p.type == kAnnounceSize) e.size = *payload_u32(p);
        if (p.type == kAnnounceTime) e.file_time = *payload_u64(p);
        return;
    }
    case kAnnounceEnd: {
        if (state_ != kReadingAnnouncement) return protocol_error();
        state_ = saved_states_.back();
        saved_states_.pop_back();
        uint16_t id;
        {
            std::lock_guard guard(c_.lock);
            c_.queue.back().flags |= kEntryAnnounced;
            id = c_.queue.back().id;
        }
        c_.post(kMsgAnnounced, id);
        return;
    }
    case kTransferRequest:
        if (state_ != kReceiveIdle) return protocol_error();
        return begin_file(*payload_u16(p));
    case kResume:
        if (state_ == kReceiveStopped) return;
        if (state_ != kReceiving || !go_sent_) return protocol_error();
        resume_confirmed_ = true;
        return;
    case kData:
        if (state_ == kReceiveStopped) return;
        if (state_ != kReceiving || !go_sent_) return protocol_error();
        return write_data(p);
    case kFileEnd:
        if (state_ != kReceiving && state_ != kReceiveStopped) return protocol_error();
        return end_file(p);
    }
}

// 10: the sender wants to transfer a file now.
void ReceiverSession::begin_file(uint16_t id) {
    {
        std::lock_guard guard(c_.lock);
        TransferEntry* e = find(id);
        if (!e) return protocol_error();
        current_ = *e;
        c_.current_id = id;
    }
    written_ = 0;
    go_sent_ = resume_confirmed_ = overwrite_allowed_ = false;
    ch_.send_empty(kAccept);
    state_ = kReceiving;
    c_.progress_armed = true;
    c_.post(kMsgFileStarts, id);
    if (!is_plain_file_name(current_.name) || receive_folder_.empty() || partial_folder_.empty())
        return stop_file(kResultCannotCreate);
    partial_path_ = join(partial_folder_, current_.name);
    target_path_ = join(receive_folder_, current_.name);
    // The answer may come before this function ends: whether to wait for
    // it is decided here, once.
    bool asking = platform::get_attributes(target_path_).has_value();
    if (asking) {
        c_.overwrite_answer = 0;
        c_.post(kMsgTargetExists, id);
    }
    auto held = platform::file_size(partial_path_);
    if (held && *held >= 0 && *held <= static_cast<int64_t>(UINT32_MAX)) {
        ch_.send(make_u32_packet(kHeldBytes, static_cast<uint32_t>(*held)));
        uint32_t crc = 0;
        if (uint32_t in = platform::open_file(partial_path_, platform::OpenMode::read_existing)) {
            bool complete = false;
            crc = crc16_of_prefix(
                static_cast<uint32_t>(*held),
                [&](uint8_t* buffer, uint32_t count) { return platform::read_file(in, buffer, count); }, complete);
            platform::close_file(in);
        }
        ch_.send(make_u32_packet(kHeldCrc, crc));
    }
    if (!asking) {
        go_sent_ = true;
        ch_.send_empty(kGo);
    }
}

void ReceiverSession::write_data(const Packet& p) {
    if (!file_) {
        if (resume_confirmed_) {
            file_ = platform::open_file(partial_path_, platform::OpenMode::write_existing);
            int64_t end = file_ ? platform::seek_file(file_, 2, 0) : -1;
            if (end < 0) close_file();
            written_ = end;
            if (file_) c_.post(kMsgResumed, static_cast<std::intptr_t>(written_));
        } else {
            platform::delete_file(partial_path_);
            file_ = platform::open_file(partial_path_, platform::OpenMode::create_new);
            written_ = 0;
        }
        if (!file_) return stop_file(kResultCannotCreate);
    }
    // More data than announced: the peer is broken or hostile.
    if (written_ + p.length > static_cast<int64_t>(current_.size)) return protocol_error();
    int64_t n = platform::write_file(file_, p.payload.data(), p.length);
    if (n != p.length) return stop_file(kResultCannotWrite);
    written_ += n;
    if (!c_.progress_armed) return;
    Clock::time_point now = Clock::now();
    if (now - last_report_ <= std::chrono::milliseconds(c_.options.progress_interval_ms)) return;
    last_report_ = now;
    c_.progress_armed = false;
    c_.post(kMsgProgress, static_cast<std::intptr_t>(written_));
}

// 13: the sender ended the file.
void ReceiverSession::end_file(const Packet& p) {
    if (state_ == kReceiveStopped) {
        close_file();
        state_ = kReceiveIdle;
        return;
    }
    uint16_t result = payload_u16(p).value_or(kResultSkipped);
    if (result == kResultComplete && !go_sent_) return protocol_error();
    if (c_.overwrite_answer == 0) c_.overwrite_answer = -2;  // the question is moot now
    // The file is in its place before the sender hears that its end arrived.
    if (result == kResultComplete && !place_file()) result = written_ < current_.size ? kResultSkipped : kResultCannotWrite;
    ch_.send_empty(kStopFile);
    close_file();
    c_.mark(current_.id, result == kResultComplete ? kEntryComplete : kEntryFailed);
    c_.post(kMsgFileEnded, result);
    std::lock_guard guard(c_.lock);
    c_.current_id = 0;
    state_ = kReceiveIdle;
}

bool ReceiverSession::place_file() {
    if (!file_) {
        // No data came: the partial file held everything (a resume at the
        // full size), or the file is empty.
        if (resume_confirmed_) {
            file_ = platform::open_file(partial_path_, platform::OpenMode::write_existing);
            written_ = file_ ? platform::seek_file(file_, 2, 0) : -1;
        } else {
            platform::delete_file(partial_path_);
            file_ = platform::open_file(partial_path_, platform::OpenMode::create_new);
            written_ = 0;
        }
        if (!file_) return false;
    }
    if (written_ != static_cast<int64_t>(current_.size)) return false;
    bool flushed = platform::flush_file(file_);
    platform::close_file(file_);
    file_ = 0;
    if (!flushed) return false;
    // An existing file is replaced only after the user's yes, in one step;
    // a file that appeared meanwhile is left alone.
    if (platform::get_attributes(target_path_)) {
        if (!overwrite_allowed_) return false;
        platform::set_readonly(target_path_, false);
        return platform::replace_file(partial_path_, target_path_);
    }
    return platform::move_file(partial_path_, target_path_);
}

void ReceiverSession::stop_file(uint16_t reason) {
    close_file();
    c_.mark(current_.id, kEntryFailed);
    ch_.send(make_u16_packet(kStopFile, reason));
    c_.post(kMsgFileEnded, reason);
    if (c_.overwrite_answer == 0) c_.overwrite_answer = -2;
    state_ = kReceiveStopped;
}

void ReceiverSession::close_file() {
    if (file_) platform::close_file(file_);
    file_ = 0;
}

}  // namespace

void run_receiver(InfraredEngine::Core& c) {
    if (!c.listener) {
        c.post(kMsgFailed, kEngineSocketError);
        c.worker_ended();
        return;
    }
    while (!c.stop_request) {
        c.listener->answer_probes();
        bool failed = false;
        std::unique_ptr<StreamLink> link = c.listener->accept(failed);
        if (failed) {
            c.post(kMsgFailed, kEngineSocketError);
            break;
        }
        if (!link) {
            c.listener->wait(100);
            continue;
        }
        if (ReceiverSession(c, *link).run()) break;
        std::lock_guard guard(c.lock);
        c.current_id = 0;
    }
    c.worker_ended();
}

}  // namespace qelvio::sharing
