// A scripted peer speaking raw packets to a receiving engine on 127.0.0.1:
// hostile names, oversized payloads, more data than announced, endless
// announcements, packets out of turn and a peer that stops mid-file. Each is
// refused or dropped, nothing is written outside the receiving folder, and
// the receiver goes on serving the next peer.
#include "sharing/infrared_packet.h"
#include "sharing/tests/beam_fixture.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

namespace qelvio::sharing::testing {
namespace {

// A blocking client on 127.0.0.1 that writes whatever bytes it is given.
class RawPeer {
public:
    explicit RawPeer(uint16_t port) {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        timeval t{2, 0};
        ::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &t, sizeof t);
        int yes = 1;  // each scripted packet goes out at once
        ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = htons(port);
        connected_ = ::connect(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    }
    ~RawPeer() { ::close(fd_); }

    bool connected() const { return connected_; }
    void send_bytes(const std::vector<uint8_t>& bytes) {
        std::size_t at = 0;
        while (at < bytes.size()) {
            ssize_t n = ::send(fd_, bytes.data() + at, bytes.size() - at, MSG_NOSIGNAL);
            if (n <= 0) return;
            at += static_cast<std::size_t>(n);
        }
    }
    void send(const std::optional<Packet>& p) { send_bytes(encode(*p)); }
    void send_empty(uint16_t type) { send(make_packet(type)); }
    // The next packet, or nullopt when the connection closed (or 2 s passed).
    std::optional<Packet> next() {
        uint8_t h[4];
        if (!read_exact(h, 4)) return std::nullopt;
        Header header = decode_header(h);
        Packet p;
        p.type = header.type;
        p.length = header.length;
        if (header.length > kMaxPayload || !read_exact(p.payload.data(), header.length)) return std::nullopt;
        return p;
    }
    // The next packet of a type, skipping others.
    std::optional<Packet> next_of(uint16_t type) {
        for (int i = 0; i < 100; ++i) {
            auto p = next();
            if (!p || p->type == type) return p;
        }
        return std::nullopt;
    }
    // Reads until the receiver closes the connection; false when it stays
    // open for 2 s.
    bool closed_by_receiver() {
        while (auto p = next()) {}
        uint8_t b;
        return ::recv(fd_, &b, 1, 0) == 0;
    }
    // Hello both ways.
    bool greet() {
        auto hello = next();
        send(make_u16_packet(kHello, kHelloValue));
        return hello && hello->type == kHello && payload_u16(*hello) == kHelloValue;
    }
    void announce(uint16_t id, std::u16string_view name, uint32_t size) {
        send(make_u16_packet(kAnnounceBegin, id));
        send(make_text_packet(kAnnounceName, name));
        send(make_u32_packet(kAnnounceSize, size));
        send(make_u64_packet(kAnnounceTime, 0));
        send_empty(kAnnounceEnd);
    }

private:
    bool read_exact(uint8_t* out, std::size_t n) {
        std::size_t at = 0;
        while (at < n) {
            ssize_t got = ::recv(fd_, out + at, n - at, 0);
            if (got <= 0) return false;
            at += static_cast<std::size_t>(got);
        }
        return true;
    }
    int fd_ = -1;
    bool connected_ = false;
};

class Hostile : public BeamFixture {
protected:
    uint16_t stream_port() { return receiver->listening_ports().first; }
    void start(InfraredOptions options) {
        receiver = InfraredEngineHolder(std::move(options));
        ASSERT_EQ(receiver->start(kReceiving, &receiver_log), 0);
    }
    // Nothing but the receiving and partial folders (and what the test put
    // in the scratch area) exists.
    void expect_nothing_outside() {
        EXPECT_EQ(names_in(scratch.path()), (std::vector<std::string>{"partial", "received", "send"}));
    }
    // A well-behaved peer is still served afterwards.
    void expect_still_listening() {
        RawPeer next(stream_port());
        ASSERT_TRUE(next.connected());
        EXPECT_TRUE(next.greet());
    }
};

TEST_F(Hostile, NamesThatAreNotPlainFileNamesAreRefusedWithReason5) {
    start(receiver_options());
    RawPeer peer(stream_port());
    ASSERT_TRUE(peer.greet());
    const std::u16string names[] = {u"../x.jpg", u"a\\b.jpg", u"/etc/x", u"a\x01" u"b.jpg", u"..\\..\\x.jpg",
                                    u".profile", u"x\n.jpg", u""};
    uint16_t id = 1;
    for (const std::u16string& name : names) {
        SCOPED_TRACE(std::string(name.begin(), name.end()));
        peer.announce(id, name, 4);
        peer.send(make_u16_packet(kTransferRequest, id));
        auto accepted = peer.next_of(kAccept);
        ASSERT_TRUE(accepted);
        auto refused = peer.next_of(kStopFile);
        ASSERT_TRUE(refused);
        EXPECT_EQ(payload_u16(*refused), kResultCannotCreate);
        // Data sent anyway is ignored in the stopped state.
        peer.send(make_packet(kData, std::vector<uint8_t>{'e', 'v', 'i', 'l'}));
        peer.send(make_u16_packet(kFileEnd, kResultComplete));
        ++id;
    }
    // The connection is still good: a plain name is received.
    peer.announce(id, u"fine.jpg", 4);
    peer.send(make_u16_packet(kTransferRequest, id));
    ASSERT_TRUE(peer.next_of(kGo));
    peer.send(make_packet(kData, std::vector<uint8_t>{'g', 'o', 'o', 'd'}));
    peer.send(make_u16_packet(kFileEnd, kResultComplete));
    ASSERT_TRUE(peer.next_of(kStopFile));
    ASSERT_TRUE(receiver_log.wait_for(kMsgFileEnded, std::size(names) + 1));
    std::vector<std::intptr_t> ends(std::size(names), kResultCannotCreate);
    ends.push_back(kResultComplete);
    EXPECT_EQ(receiver_log.firsts(kMsgFileEnded), ends);
    EXPECT_EQ(names_in(scratch / "received"), (std::vector<std::string>{"fine.jpg"}));
    EXPECT_EQ(bytes_of(received("fine.jpg")), (std::vector<uint8_t>{'g', 'o', 'o', 'd'}));
    EXPECT_TRUE(names_in(scratch / "partial").empty());
    EXPECT_TRUE(receiver_log.firsts(kMsgFailed).empty());
    expect_nothing_outside();
}

TEST_F(Hostile, PayloadsOver512BytesDropTheConnection) {
    start(receiver_options());
    for (uint16_t length : {513, 4000}) {
        SCOPED_TRACE(length);
        RawPeer peer(stream_port());
        ASSERT_TRUE(peer.greet());
        std::vector<uint8_t> bytes = {kAnnounceName, 0, static_cast<uint8_t>(length), static_cast<uint8_t>(length >> 8)};
        bytes.resize(4 + length, 'A');
        peer.send_bytes(bytes);
        EXPECT_TRUE(peer.closed_by_receiver());
    }
    EXPECT_EQ(receiver_log.firsts(kMsgFailed), (std::vector<std::intptr_t>{-12, -12}));
    expect_still_listening();
    expect_nothing_outside();
}

TEST_F(Hostile, FileLongerThanAnnouncedIsAProtocolError) {
    start(receiver_options());
    RawPeer peer(stream_port());
    ASSERT_TRUE(peer.greet());
    peer.announce(1, u"a.jpg", 1000);
    peer.send(make_u16_packet(kTransferRequest, 1));
    ASSERT_TRUE(peer.next_of(kGo));
    for (int i = 0; i < 3; ++i) peer.send(make_packet(kData, std::vector<uint8_t>(512, 'z')));
    peer.send(make_u16_packet(kFileEnd, kResultComplete));
    EXPECT_TRUE(peer.closed_by_receiver());
    ASSERT_TRUE(receiver_log.wait_for(kMsgFailed));
    EXPECT_EQ(receiver_log.firsts(kMsgFailed), (std::vector<std::intptr_t>{-12}));
    EXPECT_TRUE(names_in(scratch / "received").empty());
    EXPECT_LE(bytes_of(partial("a.jpg")).size(), 1000u);
    expect_nothing_outside();
}

TEST_F(Hostile, EndlessAnnouncementsAreCutOff) {
    InfraredOptions o = receiver_options();
    o.max_entries = 50;
    start(o);
    RawPeer peer(stream_port());
    ASSERT_TRUE(peer.greet());
    // Far more than the limit; the receiver drops the peer at the limit.
    std::vector<uint8_t> flood;
    for (uint16_t id = 1; id <= 2000; ++id) {
        for (const auto& p : {make_u16_packet(kAnnounceBegin, id), make_text_packet(kAnnounceName, u"a.jpg"),
                              make_u32_packet(kAnnounceSize, 0xFFFFFFFF), make_packet(kAnnounceEnd)}) {
            auto bytes = encode(*p);
            flood.insert(flood.end(), bytes.begin(), bytes.end());
        }
    }
    peer.send_bytes(flood);
    EXPECT_TRUE(peer.closed_by_receiver());
    ASSERT_TRUE(receiver_log.wait_for(kMsgFailed));
    EXPECT_EQ(receiver_log.firsts(kMsgFailed), (std::vector<std::intptr_t>{-12}));
    EXPECT_LE(receiver->entries().size(), 50u);
    EXPECT_EQ(receiver_log.firsts(kMsgAnnounced).size(), 50u);
    expect_still_listening();
    expect_nothing_outside();
}

TEST_F(Hostile, PacketsInTheWrongStateDropTheConnectionWith3035) {
    start(receiver_options());
    struct Case {
        const char* what;
        std::vector<std::optional<Packet>> packets;
    } cases[] = {
        {"data while idle", {make_packet(kData, std::vector<uint8_t>{1})}},
        {"end of announcement while idle", {make_packet(kAnnounceEnd)}},
        {"name while idle", {make_text_packet(kAnnounceName, u"a.jpg")}},
        {"end of file while idle", {make_u16_packet(kFileEnd, kResultComplete)}},
        {"resume while idle", {make_packet(kResume)}},
        {"unknown id", {make_u16_packet(kTransferRequest, 99)}},
        {"withdrawn unknown id", {make_u16_packet(kWithdrawn, 99)}},
        {"announcement inside an announcement",
         {make_u16_packet(kAnnounceBegin, 1), make_u16_packet(kAnnounceBegin, 2)}},
        {"request inside an announcement", {make_u16_packet(kAnnounceBegin, 1), make_u16_packet(kTransferRequest, 1)}},
        {"announced id twice",
         {make_u16_packet(kAnnounceBegin, 1), make_packet(kAnnounceEnd), make_u16_packet(kAnnounceBegin, 1)}},
    };
    std::size_t round = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RawPeer peer(stream_port());
        ASSERT_TRUE(peer.greet());
        for (const auto& p : c.packets) peer.send(p);
        EXPECT_TRUE(peer.closed_by_receiver());
        ASSERT_TRUE(receiver_log.wait_for(kMsgFailed, ++round));
    }
    EXPECT_EQ(receiver_log.firsts(kMsgFailed), std::vector<std::intptr_t>(std::size(cases), -12));
    expect_nothing_outside();
}

TEST_F(Hostile, DataBeforeTheOverwriteAnswerIsAProtocolError) {
    start(receiver_options());
    std::vector<uint8_t> old = {'o', 'l', 'd'};
    put_bytes(received("a.jpg"), old);
    RawPeer peer(stream_port());
    ASSERT_TRUE(peer.greet());
    peer.announce(1, u"a.jpg", 3);
    peer.send(make_u16_packet(kTransferRequest, 1));
    ASSERT_TRUE(receiver_log.wait_for(kMsgTargetExists));
    peer.send(make_packet(kData, std::vector<uint8_t>{'n', 'e', 'w'}));
    peer.send(make_u16_packet(kFileEnd, kResultComplete));
    EXPECT_TRUE(peer.closed_by_receiver());
    EXPECT_EQ(receiver_log.firsts(kMsgFailed), (std::vector<std::intptr_t>{-12}));
    EXPECT_EQ(bytes_of(received("a.jpg")), old);
}

TEST_F(Hostile, PeerThatStopsMidFileIsDroppedAndTheFileResumesLater) {
    start(receiver_options());  // 400 ms stall time-out
    auto content = random_bytes(5000, 21);
    put_bytes(sent("a.jpg"), content);
    {
        RawPeer peer(stream_port());
        ASSERT_TRUE(peer.greet());
        peer.announce(1, u"a.jpg", 5000);
        peer.send(make_u16_packet(kTransferRequest, 1));
        ASSERT_TRUE(peer.next_of(kGo));
        peer.send(make_packet(kData, std::vector<uint8_t>(content.begin(), content.begin() + 512)));
        peer.send(make_packet(kData, std::vector<uint8_t>(content.begin() + 512, content.begin() + 1024)));
        // Then silence, with the connection left open.
        EXPECT_TRUE(peer.closed_by_receiver());
        ASSERT_TRUE(receiver_log.wait_for(kMsgDisconnected));
    }
    EXPECT_EQ(receiver_log.firsts(kMsgFailed), (std::vector<std::intptr_t>{-1}));
    EXPECT_TRUE(names_in(scratch / "received").empty());
    EXPECT_EQ(bytes_of(partial("a.jpg")).size(), 1024u);
    // A real sender of the same file resumes at 1024 and the file ends whole.
    start_sender(receiver->listening_ports().second, {"a.jpg"});
    ASSERT_TRUE(receiver_log.wait_for(kMsgFileEnded));
    EXPECT_EQ(receiver_log.firsts(kMsgResumed), (std::vector<std::intptr_t>{1024}));
    EXPECT_EQ(bytes_of(received("a.jpg")), content);
    expect_nothing_outside();
}

TEST_F(Hostile, SilentPeerIsDroppedBeforeHello) {
    start(receiver_options());
    RawPeer peer(stream_port());
    ASSERT_TRUE(peer.connected());
    EXPECT_TRUE(peer.closed_by_receiver());
    expect_still_listening();
}

}  // namespace
}  // namespace qelvio::sharing::testing
