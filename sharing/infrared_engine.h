// The beaming engine: hands image files to another running copy of the
// program, or takes them from one, over the link of infrared_transport.h.
// One engine per window; started in send or receive mode, it runs one worker
// thread that speaks the packet protocol and reports through numbered
// messages posted to a MessageTarget:
//
//   3025 file id (sender: second = the entry's p_filenode*)  a file starts
//   3026 file id      receiver: the target exists; answer set_overwrite_answer
//   3027 offset       the file resumes at this offset
//   3028 bytes        progress of the current file (see rearm_progress)
//   3029 result       the current file ended (1 complete, 2 skipped, 3 could
//                     not write, 5 could not create, 6 overwrite refused)
//   3031              connected
//   3032              disconnected, or the sender has finished
//   3033 file id      a file was announced
//   3034 file id      a file left the queue
//   3035 -1 or -12    the transfer failed (socket error, protocol error)
//
// Threading: every member function is called on one thread (the window's);
// the worker only posts messages and never calls the target otherwise. The
// queue is shared with the worker under a lock, so the queries below may be
// called at any time and return copies. The target must outlive the worker
// (stop() or the destructor waits for it).
#pragma once

#include "platform/message_target.h"
#include "sharing/infrared_transport.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class p_filenode;

namespace qelvio::sharing {

enum InfraredMessage : uint32_t {
    kMsgFileStarts = 3025,
    kMsgTargetExists = 3026,
    kMsgResumed = 3027,
    kMsgProgress = 3028,
    kMsgFileEnded = 3029,
    kMsgConnected = 3031,
    kMsgDisconnected = 3032,
    kMsgAnnounced = 3033,
    kMsgLeftQueue = 3034,
    kMsgFailed = 3035,
};

enum EngineMode : int { kIdle = 0, kSending = 1, kReceiving = 2 };

enum EntryFlags : uint16_t {
    kEntryAnnounced = 1,
    kEntryComplete = 2,
    kEntryWithdrawn = 4,
    kEntryFailed = 8,
};

// Failures of the engine's calls and in 3035.
enum EngineStatus : int32_t {
    kEngineSocketError = -1,
    kEngineNoSuchFile = -6,
    kEngineRunning = -11,
    kEngineProtocolError = -12,
};

// One file of the queue. The sender fills it when a file is queued, the
// receiver from the announcement.
struct TransferEntry {
    std::u16string path;  // sender: the file's device path; receiver: empty
    std::u16string name;  // without folder
    std::u16string description;
    p_filenode* node = nullptr;  // sender: the queued image's node (the window's); never used here
    uint64_t file_time = 0;
    uint32_t size = 0;
    uint16_t id = 0;
    uint16_t flags = 0;

    bool finished() const { return flags & (kEntryComplete | kEntryFailed); }
};

struct InfraredOptions {
    TransportOptions transport = TransportOptions::from_environment();
    // Device paths of the receiving folder and of the folder of partial
    // files; empty: the well-known documents and partial-file folders.
    std::u16string receive_folder;
    std::u16string partial_folder;
    // A receiver drops a peer that sends nothing for this long while it
    // waits for it (not while its own user is asked), and goes on listening.
    int stall_timeout_ms = 30000;
    // The receiver's queue holds at most this many announced files per
    // connection; more is a protocol error.
    std::size_t max_entries = 10000;
    int progress_interval_ms = 750;
};

class InfraredEngine {
public:
    explicit InfraredEngine(InfraredOptions options = {});
    // Stops a running worker and waits for it.
    ~InfraredEngine();
    InfraredEngine(const InfraredEngine&) = delete;
    InfraredEngine& operator=(const InfraredEngine&) = delete;

    // Starts the worker in kSending or kReceiving mode, posting to `window`.
    // -11 when a worker runs. A receiver empties the queue and listens
    // before this returns (see listening_ports); failures of the link are
    // reported as 3035 (-1) by the worker.
    int32_t start(int mode, platform::MessageTarget* window);
    // Sets the stop request, waits for the worker, and resets all state.
    void stop();
    // 0 idle, 1 sending, 2 receiving.
    int mode() const;

    // Queues a file (device path) for sending: -6 when it does not exist,
    // 0 without change when the path (ignoring case) is already queued,
    // else 0 with a new entry. Also while the worker runs.
    int32_t queue_file(std::u16string_view path, std::u16string_view description = {},
                       p_filenode* node = nullptr);
    // Withdraws a queued file: -6 when it is not queued; the current file is
    // skipped instead.
    int32_t withdraw(std::u16string_view path);
    // Asks the worker to skip the current file (-1 when no worker runs).
    int32_t skip();
    // The answer to 3026 (ignored unless a question is pending).
    void set_overwrite_answer(bool yes);
    // Lets the worker post the next 3028 (each report waits for this).
    void rearm_progress();

    // Entries neither complete, withdrawn nor failed.
    int files_remaining() const;
    // The first entry (in queue order) whose id is greater than `id`.
    std::optional<TransferEntry> next_entry_after(uint16_t id) const;
    // The entry with this id.
    std::optional<TransferEntry> entry(uint16_t id) const;
    // A copy of the whole queue.
    std::vector<TransferEntry> entries() const;

    // The receiver's stream and discovery ports while it runs (0 otherwise);
    // with discovery port 0 in the options, the port that was chosen.
    std::pair<uint16_t, uint16_t> listening_ports() const;

    struct Core;

private:
    void join_ended_worker();
    std::unique_ptr<Core> core_;
};

}  // namespace qelvio::sharing
