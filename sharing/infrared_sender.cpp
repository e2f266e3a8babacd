// The sending worker: finds a receiver, announces the queued files, and
// sends them one after another, resuming a file the receiver already holds
// the start of.
//
// Sender states: 0 idle, 4 waiting for acceptance, 5 transferring, 1 waiting
// for the receiver's acknowledgement of the file's end.
#include "platform/file_system.h"
#include "sharing/infrared_crc.h"
#include "sharing/infrared_engine_core.h"

#include <algorithm>

namespace qelvio::sharing {
namespace {

using Clock = std::chrono::steady_clock;

enum SenderState { kSendIdle = 0, kSendWaitAck = 1, kSendWaitAccept = 4, kSendTransfer = 5 };

class SenderSession {
public:
    SenderSession(InfraredEngine::Core& core, StreamLink& link)
        : c_(core), ch_(link, core.stop_request, -1) {}

    void run();

private:
    void update_queue();
    bool start_next_file();
    void handle(const Packet& p);
    void send_data();
    void end_file(uint16_t result);
    void close_file();
    void report_progress();

    InfraredEngine::Core& c_;
    PacketChannel ch_;
    int state_ = kSendIdle;
    bool protocol_error_ = false;
    uint32_t file_ = 0;
    TransferEntry current_;
    bool resume_offered_ = false;
    uint32_t resume_offset_ = 0;
    uint32_t resume_crc_ = 0;
    bool sending_enabled_ = false;
    uint32_t sent_ = 0;
    Clock::time_point last_report_ = Clock::now();
};

void SenderSession::run() {
    c_.post(kMsgConnected);
    ch_.send(make_u16_packet(kHello, kHelloValue));
    Packet hello;
    while (!c_.stop_request && !ch_.link_error && !ch_.waiting(20)) {}
    if (!c_.stop_request && !ch_.link_error && ch_.receive(hello) == PacketChannel::Got::packet && hello.type != kHello &&
        !ch_.peer_closed)
        protocol_error_ = true;

    while (!c_.stop_request && !ch_.link_error && !ch_.peer_closed && !protocol_error_) {
        update_queue();
        if (state_ == kSendIdle && !start_next_file()) break;
        bool busy = false;
        while (!ch_.link_error && !ch_.peer_closed && !protocol_error_ && ch_.waiting(0)) {
            Packet p;
            PacketChannel::Got got = ch_.receive(p);
            if (got == PacketChannel::Got::too_long) protocol_error_ = true;
            if (got != PacketChannel::Got::packet) break;
            handle(p);
            busy = true;
        }
        if (ch_.link_error || ch_.peer_closed || protocol_error_) break;
        if ((state_ == kSendWaitAccept || state_ == kSendTransfer) && c_.skip_request.exchange(false)) {
            c_.mark(current_.id, kEntryFailed);
            c_.post(kMsgFileEnded, kResultSkipped);
            ch_.send(make_u16_packet(kFileEnd, kResultSkipped));
            close_file();
            state_ = kSendWaitAck;
        } else if (state_ == kSendTransfer && sending_enabled_) {
            send_data();
            busy = true;
        }
        if (!busy) ch_.waiting(10);
    }

    close_file();
    if (protocol_error_) c_.post(kMsgFailed, kEngineProtocolError);
    else if (ch_.link_error && !c_.stop_request) c_.post(kMsgFailed, kEngineSocketError);
    if (!ch_.peer_closed) ch_.send_empty(kGoodbye);
}

void SenderSession::update_queue() {
    struct Left {
        uint16_t id;
        bool announced;
    };
    std::vector<Left> withdrawn;
    std::vector<TransferEntry> announce;
    {
        std::lock_guard guard(c_.lock);
        if (!c_.queue_changed) return;
        c_.queue_changed = false;
        for (auto it = c_.queue.begin(); it != c_.queue.end();) {
            if ((it->flags & kEntryWithdrawn) && !it->finished()) {
                withdrawn.push_back({it->id, (it->flags & kEntryAnnounced) != 0});
                it = c_.queue.erase(it);
                continue;
            }
            if (!(it->flags & (kEntryAnnounced | kEntryWithdrawn | kEntryFailed))) {
                // A name too long for one packet cannot be announced: the
                // file fails before it is offered.
                if (it->name.size() * 2 + 2 > kMaxPayload || it->description.size() * 2 + 2 > kMaxPayload) {
                    it->flags |= kEntryFailed;
                } else {
                    it->flags |= kEntryAnnounced;
                    announce.push_back(*it);
                }
            }
            ++it;
        }
    }
    for (const Left& left : withdrawn) {
        c_.post(kMsgLeftQueue, left.id);
        // Only an announced file is withdrawn on the wire: the receiver
        // knows no other id.
        if (left.announced) ch_.send(make_u16_packet(kWithdrawn, left.id));
    }
    for (const TransferEntry& e : announce) {
        ch_.send(make_u16_packet(kAnnounceBegin, e.id));
        ch_.send(make_text_packet(kAnnounceName, e.name));
        ch_.send(make_u32_packet(kAnnounceSize, e.size));
        if (!e.description.empty()) ch_.send(make_text_packet(kAnnounceDescription, e.description));
        ch_.send(make_u64_packet(kAnnounceTime, e.file_time));
        ch_.send_empty(kAnnounceEnd);
        c_.post(kMsgAnnounced, e.id);
    }
}

// State 0: the first file neither complete, withdrawn nor failed becomes
// current. False when none is left (the transfer ends).
bool SenderSession::start_next_file() {
    c_.skip_request = false;
    while (true) {
        {
            std::lock_guard guard(c_.lock);
            auto it = std::find_if(c_.queue.begin(), c_.queue.end(), [](const TransferEntry& e) {
                return (e.flags & kEntryAnnounced) && !(e.flags & (kEntryComplete | kEntryWithdrawn | kEntryFailed));
            });
            if (it == c_.queue.end()) return false;
            current_ = *it;
            c_.current_id = it->id;
        }
        file_ = platform::open_file(current_.path, platform::OpenMode::read_existing);
        if (file_) break;
        c_.mark(current_.id, kEntryFailed);
        std::lock_guard guard(c_.lock);
        c_.current_id = 0;
    }
    ch_.send(make_u16_packet(kTransferRequest, current_.id));
    c_.post(kMsgFileStarts, current_.id, reinterpret_cast<std::intptr_t>(current_.node));
    c_.post(kMsgProgress, 0);
    resume_offered_ = false;
    resume_offset_ = resume_crc_ = 0;
    sending_enabled_ = false;
    sent_ = 0;
    state_ = kSendWaitAccept;
    return true;
}

void SenderSession::handle(const Packet& p) {
    switch (p.type) {
    case kAccept:
        if (state_ == kSendWaitAccept) state_ = kSendTransfer;
        break;
    case kHeldBytes: {
        auto offset = payload_u32(p);
        if (state_ != kSendTransfer || !offset || *offset > current_.size) break;
        platform::seek_file(file_, 1, 0);
        bool complete = false;
        uint16_t crc = crc16_of_prefix(
            *offset, [&](uint8_t* buffer, uint32_t count) { return platform::read_file(file_, buffer, count); },
            complete);
        if (complete) {
            resume_offered_ = true;
            resume_offset_ = *offset;
            resume_crc_ = crc;
        }
        break;
    }
    case kHeldCrc: {
        auto crc = payload_u32(p);
        if (state_ == kSendTransfer && resume_offered_ && (!crc || *crc != resume_crc_)) {
            resume_offered_ = false;
            resume_offset_ = resume_crc_ = 0;
        }
        break;
    }
    case kGo:
        if (state_ != kSendTransfer) break;
        sending_enabled_ = true;
        c_.progress_armed = true;
        sent_ = 0;
        if (resume_offered_) {
            sent_ = resume_offset_;
            ch_.send(make_packet(kResume));
            c_.post(kMsgResumed, resume_offset_);
        }
        // Data always follows the bytes the receiver holds.
        if (platform::seek_file(file_, 1, sent_) != sent_) end_file(kResultSkipped);
        break;
    case kStopFile:
        if (state_ == kSendWaitAccept || state_ == kSendTransfer) {
            uint16_t reason = payload_u16(p).value_or(kResultCannotWrite);
            c_.mark(current_.id, kEntryFailed);
            ch_.send_empty(kFileEnd);
            c_.post(kMsgFileEnded, reason);
            close_file();
            state_ = kSendIdle;
        } else if (state_ == kSendWaitAck) {
            state_ = kSendIdle;
        }
        break;
    default:
        break;  // the receiver sends nothing else that matters here
    }
}

// Sends the next piece of the file. The file ends complete when the
// announced size has been sent; a failed or short read before that ends it
// as skipped, so the receiver never keeps a shortened file as complete.
void SenderSession::send_data() {
    if (sent_ >= current_.size) {
        end_file(kResultComplete);
        return;
    }
    uint8_t buffer[kMaxPayload];
    uint32_t want = std::min<uint32_t>(kMaxPayload, current_.size - sent_);
    int64_t got = platform::read_file(file_, buffer, want);
    if (got != want) {
        end_file(kResultSkipped);
        return;
    }
    if (!ch_.send(make_packet(kData, {buffer, want}))) return;
    sent_ += want;
    report_progress();
    if (sent_ >= current_.size) end_file(kResultComplete);
}

void SenderSession::report_progress() {
    if (!c_.progress_armed) return;
    Clock::time_point now = Clock::now();
    if (now - last_report_ <= std::chrono::milliseconds(c_.options.progress_interval_ms)) return;
    last_report_ = now;
    c_.progress_armed = false;
    c_.post(kMsgProgress, sent_);
}

void SenderSession::end_file(uint16_t result) {
    c_.mark(current_.id, result == kResultComplete ? kEntryComplete : kEntryFailed);
    ch_.send(make_u16_packet(kFileEnd, result));
    c_.post(kMsgFileEnded, result);
    close_file();
    state_ = kSendWaitAck;
}

void SenderSession::close_file() {
    if (file_) platform::close_file(file_);
    file_ = 0;
    sending_enabled_ = false;
    std::lock_guard guard(c_.lock);
    c_.current_id = 0;
}

}  // namespace

void run_sender(InfraredEngine::Core& c) {
    std::unique_ptr<StreamLink> link;
    for (bool first = true; !c.stop_request && !link; first = false) {
        if (!first && !c.sleep_unless_stopped(1000)) break;
        auto found = discover(c.options.transport, 250);
        if (!found) {
            c.post(kMsgFailed, kEngineSocketError);
            c.worker_ended();
            return;
        }
        for (const PeerAddress& peer : *found)
            if ((link = connect_to(peer, 1000))) break;
    }
    if (link) SenderSession(c, *link).run();
    link.reset();
    c.worker_ended();
    c.post(kMsgDisconnected);
}

}  // namespace qelvio::sharing
