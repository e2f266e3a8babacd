// Two engines on the loopback address: a sender and a receiver hand files
// over, resume partial files, answer overwrite questions, and go on.
#include "sharing/tests/beam_fixture.h"

#include <gtest/gtest.h>

namespace qelvio::sharing::testing {
namespace {

using Engine = BeamFixture;

TEST_F(Engine, FilesArriveByteIdentical) {
    // Empty, exactly two packets, and an uneven size.
    const std::vector<std::pair<std::string, std::size_t>> files = {{"a.jpg", 12345}, {"b.jpg", 1024}, {"c.jpg", 0}};
    std::vector<std::string> names;
    for (std::size_t i = 0; i < files.size(); ++i) {
        put_bytes(sent(files[i].first), random_bytes(files[i].second, static_cast<unsigned>(i + 1)));
        names.push_back(files[i].first);
    }
    start_sender(start_receiver(), names);
    ASSERT_TRUE(sender_log.wait_for(kMsgDisconnected));
    ASSERT_TRUE(receiver_log.wait_for(kMsgDisconnected));
    for (const auto& [name, size] : files) {
        EXPECT_EQ(bytes_of(received(name)), bytes_of(sent(name))) << name;
        EXPECT_EQ(bytes_of(received(name)).size(), size);
    }
    EXPECT_EQ(receiver_log.firsts(kMsgFileEnded), (std::vector<std::intptr_t>{1, 1, 1}));
    EXPECT_EQ(sender_log.firsts(kMsgFileEnded), (std::vector<std::intptr_t>{1, 1, 1}));
    EXPECT_EQ(receiver_log.firsts(kMsgAnnounced).size(), 3u);
    EXPECT_TRUE(names_in(scratch / "partial").empty());
    EXPECT_TRUE(receiver_log.firsts(kMsgFailed).empty());
    EXPECT_EQ(sender->mode(), kIdle);
    EXPECT_EQ(receiver->mode(), kReceiving);  // it goes on listening
}

TEST_F(Engine, MatchingPartialFileResumesAtItsSize) {
    auto content = random_bytes(10000, 7);
    put_bytes(sent("a.jpg"), content);
    put_bytes(partial("a.jpg"), std::vector<uint8_t>(content.begin(), content.begin() + 3000));
    start_sender(start_receiver(), {"a.jpg"});
    ASSERT_TRUE(receiver_log.wait_for(kMsgFileEnded));
    EXPECT_EQ(bytes_of(received("a.jpg")), content);
    EXPECT_EQ(receiver_log.firsts(kMsgResumed), (std::vector<std::intptr_t>{3000}));
    ASSERT_TRUE(sender_log.wait_for(kMsgDisconnected));
    EXPECT_EQ(sender_log.firsts(kMsgResumed), (std::vector<std::intptr_t>{3000}));
    EXPECT_TRUE(names_in(scratch / "partial").empty());
}

TEST_F(Engine, PartialFileThatHoldsTheWholeFileEndsIdentical) {
    auto content = random_bytes(2048, 8);
    put_bytes(sent("a.jpg"), content);
    put_bytes(partial("a.jpg"), content);
    start_sender(start_receiver(), {"a.jpg"});
    ASSERT_TRUE(receiver_log.wait_for(kMsgFileEnded));
    EXPECT_EQ(receiver_log.firsts(kMsgFileEnded), (std::vector<std::intptr_t>{1}));
    EXPECT_EQ(bytes_of(received("a.jpg")), content);
}

TEST_F(Engine, PartialFileThatDiffersOrIsLongerIsRestartedFromTheFirstByte) {
    auto content = random_bytes(10000, 9);
    auto differs = std::vector<uint8_t>(content.begin(), content.begin() + 3000);
    differs[1500] ^= 0xFF;
    auto longer = content;
    longer.resize(12000, 0x42);
    for (const auto& held : {differs, longer}) {
        SCOPED_TRACE(held.size());
        std::filesystem::remove(received("a.jpg"));
        put_bytes(sent("a.jpg"), content);
        put_bytes(partial("a.jpg"), held);
        Recorder& log = fresh_log();
        receiver = InfraredEngineHolder(receiver_options());
        ASSERT_EQ(receiver->start(kReceiving, &log), 0);
        start_sender(receiver->listening_ports().second, {"a.jpg"});
        ASSERT_TRUE(log.wait_for(kMsgFileEnded));
        EXPECT_EQ(log.firsts(kMsgFileEnded), (std::vector<std::intptr_t>{1}));
        EXPECT_EQ(bytes_of(received("a.jpg")), content);
        EXPECT_TRUE(log.firsts(kMsgResumed).empty());
        sender.stop();
        receiver.stop();
    }
}

TEST_F(Engine, OverwriteAnswerDecidesAndTheNextFileContinues) {
    for (bool yes : {false, true}) {
        SCOPED_TRACE(yes);
        Recorder& log = fresh_log();
        put_bytes(sent("a.jpg"), random_bytes(5000, 10));
        put_bytes(sent("b.jpg"), random_bytes(700, 11));
        std::vector<uint8_t> old = {'o', 'l', 'd'};
        put_bytes(received("a.jpg"), old);
        std::filesystem::remove(received("b.jpg"));
        receiver = InfraredEngineHolder(receiver_options());
        ASSERT_EQ(receiver->start(kReceiving, &log), 0);
        start_sender(receiver->listening_ports().second, {"a.jpg", "b.jpg"});
        auto asked = log.wait_for(kMsgTargetExists);
        ASSERT_TRUE(asked);
        EXPECT_EQ(receiver->entry(static_cast<uint16_t>(asked->first))->name, u"a.jpg");
        receiver->set_overwrite_answer(yes);
        ASSERT_TRUE(log.wait_for(kMsgFileEnded, 2));
        EXPECT_EQ(log.firsts(kMsgFileEnded), (std::vector<std::intptr_t>{yes ? 1 : 6, 1}));
        EXPECT_EQ(bytes_of(received("a.jpg")), yes ? bytes_of(sent("a.jpg")) : old);
        EXPECT_EQ(bytes_of(received("b.jpg")), bytes_of(sent("b.jpg")));
        EXPECT_EQ(names_in(scratch / "received"), (std::vector<std::string>{"a.jpg", "b.jpg"}));
        sender.stop();
        receiver.stop();
    }
}

TEST_F(Engine, FileQueuedDuringATransferIsSentAfterwards) {
    put_bytes(sent("a.jpg"), random_bytes(4000, 12));
    put_bytes(sent("b.jpg"), random_bytes(3000, 13));
    put_bytes(received("a.jpg"), {'x'});  // the question holds the first file mid-transfer
    start_sender(start_receiver(), {"a.jpg"});
    ASSERT_TRUE(receiver_log.wait_for(kMsgTargetExists));
    ASSERT_EQ(sender->queue_file(device_path(sent("b.jpg"))), 0);
    ASSERT_TRUE(receiver_log.wait_for(kMsgAnnounced, 2));
    receiver->set_overwrite_answer(true);
    ASSERT_TRUE(sender_log.wait_for(kMsgDisconnected));
    ASSERT_TRUE(receiver_log.wait_for(kMsgFileEnded, 2));
    EXPECT_EQ(receiver_log.firsts(kMsgFileEnded), (std::vector<std::intptr_t>{1, 1}));
    EXPECT_EQ(bytes_of(received("a.jpg")), bytes_of(sent("a.jpg")));
    EXPECT_EQ(bytes_of(received("b.jpg")), bytes_of(sent("b.jpg")));
}

TEST_F(Engine, ReceiverAcceptsTheNextSender) {
    put_bytes(sent("a.jpg"), random_bytes(3000, 14));
    put_bytes(sent("b.jpg"), random_bytes(2000, 15));
    uint16_t port = start_receiver();
    start_sender(port, {"a.jpg"});
    ASSERT_TRUE(sender_log.wait_for(kMsgDisconnected));
    ASSERT_TRUE(receiver_log.wait_for(kMsgDisconnected));
    sender.stop();
    start_sender(port, {"b.jpg"});
    ASSERT_TRUE(sender_log.wait_for(kMsgDisconnected, 2));
    ASSERT_TRUE(receiver_log.wait_for(kMsgDisconnected, 2));
    EXPECT_EQ(receiver_log.firsts(kMsgConnected).size(), 2u);
    EXPECT_EQ(bytes_of(received("a.jpg")), bytes_of(sent("a.jpg")));
    EXPECT_EQ(bytes_of(received("b.jpg")), bytes_of(sent("b.jpg")));
}

TEST_F(Engine, SamePathQueuedTwiceIsSentOnce) {
    put_bytes(sent("a.jpg"), random_bytes(1000, 16));
    uint16_t port = start_receiver();
    sender = InfraredEngineHolder(sender_options(port));
    EXPECT_EQ(sender->queue_file(device_path(sent("a.jpg"))), 0);
    EXPECT_EQ(sender->queue_file(device_path(sent("a.jpg"))), 0);
    EXPECT_EQ(sender->queue_file(device_path(sent("missing.jpg"))), kEngineNoSuchFile);
    EXPECT_EQ(sender->entries().size(), 1u);
    EXPECT_EQ(sender->files_remaining(), 1);
    ASSERT_EQ(sender->start(kSending, &sender_log), 0);
    EXPECT_EQ(sender->start(kSending, &sender_log), kEngineRunning);
    ASSERT_TRUE(sender_log.wait_for(kMsgDisconnected));
    ASSERT_TRUE(receiver_log.wait_for(kMsgDisconnected));
    EXPECT_EQ(receiver_log.firsts(kMsgAnnounced).size(), 1u);
    EXPECT_EQ(receiver_log.firsts(kMsgFileEnded), (std::vector<std::intptr_t>{1}));
}

TEST_F(Engine, FileShortenedAfterQueuingEndsSkippedAndIsNotKept) {
    auto content = random_bytes(5000, 17);
    put_bytes(sent("a.jpg"), content);
    uint16_t port = start_receiver();
    sender = InfraredEngineHolder(sender_options(port));
    ASSERT_EQ(sender->queue_file(device_path(sent("a.jpg"))), 0);
    std::filesystem::resize_file(sent("a.jpg"), 3000);  // announced 5000, holds 3000
    ASSERT_EQ(sender->start(kSending, &sender_log), 0);
    ASSERT_TRUE(receiver_log.wait_for(kMsgFileEnded));
    EXPECT_EQ(receiver_log.firsts(kMsgFileEnded), (std::vector<std::intptr_t>{2}));
    EXPECT_TRUE(names_in(scratch / "received").empty());
    // What arrived stays as a partial file to resume from.
    auto held = bytes_of(partial("a.jpg"));
    EXPECT_LE(held.size(), 3000u);
    EXPECT_TRUE(std::equal(held.begin(), held.end(), content.begin()));
}

TEST_F(Engine, ProgressWaitsForTheWindowToRearmIt) {
    put_bytes(sent("a.jpg"), random_bytes(400000, 18));
    InfraredOptions r = receiver_options();
    r.progress_interval_ms = 0;
    receiver = InfraredEngineHolder(r);
    ASSERT_EQ(receiver->start(kReceiving, &receiver_log), 0);
    InfraredOptions s = sender_options(receiver->listening_ports().second);
    s.progress_interval_ms = 0;
    sender = InfraredEngineHolder(s);
    ASSERT_EQ(sender->queue_file(device_path(sent("a.jpg"))), 0);
    ASSERT_EQ(sender->start(kSending, &sender_log), 0);
    ASSERT_TRUE(sender_log.wait_for(kMsgDisconnected));
    ASSERT_TRUE(receiver_log.wait_for(kMsgFileEnded));
    // The sender's 0 at the start, then one report until re-armed.
    auto reports = sender_log.firsts(kMsgProgress);
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_EQ(reports[0], 0);
    EXPECT_GT(reports[1], 0);
    EXPECT_EQ(receiver_log.firsts(kMsgProgress).size(), 1u);
}

}  // namespace
}  // namespace qelvio::sharing::testing

namespace qelvio::sharing::testing {
namespace {

// Answers the overwrite question the moment it is posted, before the
// worker has finished handling the request that raised it.
class InstantAnswer final : public platform::MessageTarget {
public:
    InstantAnswer(Recorder& log, bool yes) : log_(log), yes_(yes) {}
    void post(uint32_t number, std::intptr_t first, std::intptr_t second) override {
        if (number == kMsgTargetExists) engine->set_overwrite_answer(yes_);
        log_.post(number, first, second);
    }
    InfraredEngine* engine = nullptr;

private:
    Recorder& log_;
    bool yes_;
};

TEST_F(Engine, AnImmediateNoStillKeepsTheExistingFile) {
    for (bool yes : {false, true}) {
        SCOPED_TRACE(yes);
        Recorder& log = fresh_log();
        InstantAnswer answer(log, yes);
        put_bytes(sent("a.jpg"), random_bytes(3000, 19));
        put_bytes(received("a.jpg"), {'o', 'l', 'd'});
        receiver = InfraredEngineHolder(receiver_options());
        answer.engine = receiver.get();
        ASSERT_EQ(receiver->start(kReceiving, &answer), 0);
        start_sender(receiver->listening_ports().second, {"a.jpg"});
        ASSERT_TRUE(log.wait_for(kMsgFileEnded));
        ASSERT_TRUE(sender_log.wait_for(kMsgDisconnected, yes ? 2 : 1));
        EXPECT_EQ(log.firsts(kMsgFileEnded), (std::vector<std::intptr_t>{yes ? 1 : 6}));
        // Both sides agree on how the file ended.
        EXPECT_EQ(sender_log.firsts(kMsgFileEnded).back(), yes ? 1 : 6);
        EXPECT_EQ(bytes_of(received("a.jpg")), yes ? bytes_of(sent("a.jpg")) : std::vector<uint8_t>({'o', 'l', 'd'}));
        sender.stop();
        receiver.stop();
    }
}

}  // namespace
}  // namespace qelvio::sharing::testing

namespace qelvio::sharing::testing {
namespace {

// The overwrite question holds the first file while the users act.
TEST_F(Engine, SenderSkipsTheCurrentFileAndWithdrawsAQueuedOne) {
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg"}) put_bytes(sent(name), random_bytes(2000, name[0]));
    put_bytes(received("a.jpg"), {'o', 'l', 'd'});
    start_sender(start_receiver(), {"a.jpg", "b.jpg", "c.jpg"});
    ASSERT_TRUE(receiver_log.wait_for(kMsgTargetExists));
    ASSERT_TRUE(receiver_log.wait_for(kMsgAnnounced, 3));
    uint16_t b_id = sender->entries()[1].id;
    EXPECT_EQ(sender->withdraw(device_path(sent("b.jpg"))), 0);
    EXPECT_EQ(sender->withdraw(device_path(sent("x.jpg"))), kEngineNoSuchFile);
    EXPECT_EQ(sender->skip(), 0);
    ASSERT_TRUE(sender_log.wait_for(kMsgDisconnected));
    ASSERT_TRUE(receiver_log.wait_for(kMsgFileEnded, 2));
    EXPECT_EQ(receiver_log.firsts(kMsgLeftQueue), (std::vector<std::intptr_t>{b_id}));
    EXPECT_EQ(sender_log.firsts(kMsgLeftQueue), (std::vector<std::intptr_t>{b_id}));
    EXPECT_EQ(receiver_log.firsts(kMsgFileEnded), (std::vector<std::intptr_t>{2, 1}));
    EXPECT_EQ(sender_log.firsts(kMsgFileEnded), (std::vector<std::intptr_t>{2, 1}));
    EXPECT_EQ(bytes_of(received("a.jpg")), (std::vector<uint8_t>{'o', 'l', 'd'}));
    EXPECT_EQ(bytes_of(received("c.jpg")), bytes_of(sent("c.jpg")));
    EXPECT_EQ(names_in(scratch / "received"), (std::vector<std::string>{"a.jpg", "c.jpg"}));
}

TEST_F(Engine, ReceiverSkipEndsTheFileOnBothSidesAndALateAnswerIsIgnored) {
    put_bytes(sent("a.jpg"), random_bytes(2000, 20));
    put_bytes(sent("b.jpg"), random_bytes(1000, 21));
    put_bytes(received("a.jpg"), {'o', 'l', 'd'});
    start_sender(start_receiver(), {"a.jpg", "b.jpg"});
    ASSERT_TRUE(receiver_log.wait_for(kMsgTargetExists));
    EXPECT_EQ(receiver->skip(), 0);
    ASSERT_TRUE(receiver_log.wait_for(kMsgFileEnded));
    receiver->set_overwrite_answer(true);  // too late: the file ended
    ASSERT_TRUE(sender_log.wait_for(kMsgDisconnected));
    ASSERT_TRUE(receiver_log.wait_for(kMsgFileEnded, 2));
    EXPECT_EQ(receiver_log.firsts(kMsgFileEnded), (std::vector<std::intptr_t>{2, 1}));
    EXPECT_EQ(sender_log.firsts(kMsgFileEnded), (std::vector<std::intptr_t>{2, 1}));
    EXPECT_EQ(bytes_of(received("a.jpg")), (std::vector<uint8_t>{'o', 'l', 'd'}));
    EXPECT_EQ(bytes_of(received("b.jpg")), bytes_of(sent("b.jpg")));
}

}  // namespace
}  // namespace qelvio::sharing::testing
