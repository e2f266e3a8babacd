// What the beaming window shows, worked out from the engine's notifications
// without widgets: the totals of the whole queue, the file in transfer, and
// the counts of files transferred and skipped. The window feeds it each
// notification and draws what it reads back.
//
// Used on the user-interface thread only.
#pragma once

#include "sharing/infrared_engine.h"

#include <algorithm>
#include <cstdint>
#include <set>
#include <vector>

namespace qelvio::sharing {

class InfraredWindowState {
public:
    // 3031: a new link; bars and counts start again.
    void connected();
    // 3033, 3034: the queue changed; entries is the engine's whole queue.
    void queue_changed(std::vector<TransferEntry> entries);
    // 3025: a file starts.
    void file_starts(const TransferEntry& entry);
    // 3027: the current file resumed where an earlier link stopped.
    void resumed() { resumed_ = true; }
    // 3028: bytes of the current file done so far.
    void progress(uint64_t done);
    // 3029: the current file ended with this result (1 transferred,
    // 2 skipped, else not received).
    void file_ended(int result);

    // The whole queue: its size (at least 1, the bar's range), the bytes
    // done (the bar's position) and still to go.
    uint64_t queue_total() const { return std::max<uint64_t>(total_, 1); }
    uint64_t queue_done() const { return finished_ + file_done_; }
    uint64_t queue_remaining() const { return total_ - std::min(total_, queue_done()); }
    int files_remaining() const { return files_remaining_; }

    // The current file; its size is 0 between files.
    bool in_file() const { return in_file_; }
    const TransferEntry& current() const { return current_; }
    uint64_t file_done() const { return file_done_; }
    uint64_t file_remaining() const { return current_.size - std::min<uint64_t>(current_.size, file_done_); }
    bool resumed_shown() const { return resumed_; }
    // Between files while some remain: the "waiting for the next image" text.
    bool waiting_for_next() const { return !in_file_ && !ended_.empty() && files_remaining_ > 0; }

    int transferred() const { return transferred_; }
    int skipped() const { return skipped_; }

private:
    // Totals from the queue as the notifications handled so far tell it.
    // The worker runs ahead of them (its queue may show every file complete
    // before the first 3025 is handled here), so a file counts as finished
    // once its 3029 was handled, not by the queue's flags.
    void recount();

    std::vector<TransferEntry> entries_;
    std::set<uint16_t> ended_;  // ids whose 3029 was handled
    uint64_t total_ = 0;
    uint64_t finished_ = 0;
    int files_remaining_ = 0;
    TransferEntry current_;
    bool in_file_ = false;
    uint64_t file_done_ = 0;
    bool resumed_ = false;
    int transferred_ = 0;
    int skipped_ = 0;
};

}  // namespace qelvio::sharing
