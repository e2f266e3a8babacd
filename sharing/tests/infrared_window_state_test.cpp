// The beaming window's figures, fed the engine's notifications in the
// orders the workers post them.
#include "sharing/infrared_window_state.h"

#include <gtest/gtest.h>

namespace qelvio::sharing {
namespace {

TransferEntry entry(uint16_t id, uint32_t size, uint16_t flags = kEntryAnnounced) {
    TransferEntry e;
    e.id = id;
    e.size = size;
    e.name = u"img" + std::u16string(1, char16_t(u'0' + id)) + u".jpg";
    e.flags = flags;
    return e;
}

TEST(InfraredWindowState, TwoFilesCountTheirBytesAsTheyGo) {
    InfraredWindowState s;
    s.connected();
    s.queue_changed({entry(1, 1000), entry(2, 3000)});
    EXPECT_EQ(s.queue_total(), 4000u);
    EXPECT_EQ(s.queue_remaining(), 4000u);
    EXPECT_EQ(s.files_remaining(), 2);
    EXPECT_FALSE(s.waiting_for_next());

    s.file_starts(entry(1, 1000));
    s.progress(600);
    EXPECT_EQ(s.queue_done(), 600u);
    EXPECT_EQ(s.queue_remaining(), 3400u);
    EXPECT_EQ(s.file_remaining(), 400u);
    s.resumed();
    EXPECT_TRUE(s.resumed_shown());

    s.file_ended(1);
    EXPECT_EQ(s.queue_done(), 1000u);
    EXPECT_EQ(s.queue_total(), 4000u);
    EXPECT_EQ(s.queue_remaining(), 3000u);
    EXPECT_EQ(s.file_remaining(), 0u);
    EXPECT_FALSE(s.in_file());
    EXPECT_FALSE(s.resumed_shown());
    EXPECT_TRUE(s.waiting_for_next());
    EXPECT_EQ(s.transferred(), 1);

    s.file_starts(entry(2, 3000));
    EXPECT_FALSE(s.waiting_for_next());
    s.progress(3000);
    s.file_ended(1);
    EXPECT_EQ(s.queue_done(), 4000u);
    EXPECT_EQ(s.queue_remaining(), 0u);
    EXPECT_FALSE(s.waiting_for_next());  // nothing left to wait for
    EXPECT_EQ(s.transferred(), 2);
}

TEST(InfraredWindowState, FilesThatDidNotArriveStillCountAsDoneBytes) {
    struct Case {
        int result;
        int transferred, skipped;
    };
    // 2 skipped; 6 overwrite refused; 3 and 5 could not be written.
    for (Case c : {Case{2, 0, 1}, Case{6, 0, 0}, Case{3, 0, 0}, Case{5, 0, 0}}) {
        InfraredWindowState s;
        s.queue_changed({entry(1, 1000), entry(2, 3000)});
        s.file_starts(entry(1, 1000));
        s.progress(200);
        s.file_ended(c.result);
        EXPECT_EQ(s.queue_done(), 1000u) << c.result;
        EXPECT_EQ(s.transferred(), c.transferred) << c.result;
        EXPECT_EQ(s.skipped(), c.skipped) << c.result;
    }
}

TEST(InfraredWindowState, TheWorkerRunningAheadChangesNothingShown) {
    InfraredWindowState s;
    // The whole transfer is over before the window handles the first
    // announcement: the queue shows both files complete.
    const uint16_t done = kEntryAnnounced | kEntryComplete;
    s.queue_changed({entry(1, 1000, done), entry(2, 3000, done)});
    EXPECT_EQ(s.queue_done(), 0u);
    EXPECT_EQ(s.files_remaining(), 2);
    s.file_starts(entry(1, 1000));
    s.file_ended(1);
    EXPECT_EQ(s.queue_done(), 1000u);
    EXPECT_EQ(s.queue_remaining(), 3000u);
    EXPECT_EQ(s.files_remaining(), 1);
    // A file queued meanwhile; the ended file keeps its bytes.
    s.queue_changed({entry(1, 1000), entry(2, 3000, done), entry(3, 500)});
    EXPECT_EQ(s.queue_total(), 4500u);
    EXPECT_EQ(s.queue_done(), 1000u);
    EXPECT_EQ(s.files_remaining(), 2);
}

TEST(InfraredWindowState, WithdrawnFilesAndAnEmptyQueue) {
    InfraredWindowState s;
    s.queue_changed({});
    EXPECT_EQ(s.queue_total(), 1u);  // a bar's range is never empty
    EXPECT_EQ(s.queue_remaining(), 0u);
    s.queue_changed({entry(1, 1000), entry(2, 3000, kEntryWithdrawn)});
    EXPECT_EQ(s.queue_total(), 1000u);
    EXPECT_EQ(s.files_remaining(), 1);
    // A name too long to announce fails the file before it is offered: it
    // never starts, so it counts as done at once.
    s.queue_changed({entry(1, 1000), entry(2, 3000, kEntryFailed)});
    EXPECT_EQ(s.queue_total(), 4000u);
    EXPECT_EQ(s.queue_done(), 3000u);
    EXPECT_EQ(s.files_remaining(), 1);
}

TEST(InfraredWindowState, ANewLinkStartsTheCountsAgain) {
    InfraredWindowState s;
    s.queue_changed({entry(1, 1000)});
    s.file_starts(entry(1, 1000));
    s.file_ended(2);
    EXPECT_EQ(s.skipped(), 1);
    s.connected();
    s.queue_changed({entry(1, 700)});  // the next sender reuses id 1
    EXPECT_EQ(s.skipped(), 0);
    EXPECT_EQ(s.queue_done(), 0u);
    EXPECT_EQ(s.files_remaining(), 1);
}

}  // namespace
}  // namespace qelvio::sharing
