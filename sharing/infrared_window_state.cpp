#include "sharing/infrared_window_state.h"

namespace qelvio::sharing {

void InfraredWindowState::connected() {
    ended_.clear();
    in_file_ = false;
    current_ = {};
    file_done_ = 0;
    resumed_ = false;
    transferred_ = 0;
    skipped_ = 0;
    recount();
}

void InfraredWindowState::queue_changed(std::vector<TransferEntry> entries) {
    entries_ = std::move(entries);
    recount();
}

void InfraredWindowState::recount() {
    uint64_t total = 0;
    finished_ = 0;
    files_remaining_ = 0;
    for (const TransferEntry& e : entries_) {
        const bool ended = ended_.contains(e.id);
        if ((e.flags & kEntryWithdrawn) && !ended) continue;
        total += e.size;
        // A file that failed before it was offered never starts or ends.
        const bool never_offered = (e.flags & kEntryFailed) && !(e.flags & kEntryAnnounced);
        if (ended || never_offered)
            finished_ += e.size;
        else
            ++files_remaining_;
    }
    total_ = total;
}

void InfraredWindowState::file_starts(const TransferEntry& entry) {
    current_ = entry;
    in_file_ = true;
    file_done_ = 0;
    resumed_ = false;
    recount();
}

void InfraredWindowState::progress(uint64_t done) { file_done_ = std::min<uint64_t>(done, current_.size); }

void InfraredWindowState::file_ended(int result) {
    if (!in_file_) return;
    if (result == 1) ++transferred_;
    if (result == 2) ++skipped_;
    // Every ended file counts as done bytes, also one that was refused.
    ended_.insert(current_.id);
    const bool known = std::any_of(entries_.begin(), entries_.end(),
                                   [&](const TransferEntry& e) { return e.id == current_.id; });
    if (!known) entries_.push_back(current_);
    in_file_ = false;
    current_ = {};
    file_done_ = 0;
    resumed_ = false;
    recount();
}

}  // namespace qelvio::sharing
