// The packet codec byte by byte, the resume CRC, and the received-name rule.
#include "sharing/infrared_crc.h"
#include "sharing/infrared_packet.h"
#include "sharing/received_name.h"

#include <gtest/gtest.h>

#include <string>

namespace qelvio::sharing {
namespace {

std::vector<uint8_t> wire(const std::optional<Packet>& p) { return p ? encode(*p) : std::vector<uint8_t>{}; }

TEST(InfraredPacket, NumbersAreLittleEndianAfterTheHeader) {
    EXPECT_EQ(wire(make_u16_packet(kHello, kHelloValue)), (std::vector<uint8_t>{1, 0, 2, 0, 0xE8, 0x03}));
    EXPECT_EQ(wire(make_u32_packet(kAnnounceSize, 0x01020304)), (std::vector<uint8_t>{7, 0, 4, 0, 4, 3, 2, 1}));
    EXPECT_EQ(wire(make_u64_packet(kAnnounceTime, 0x0102030405060708ull)),
              (std::vector<uint8_t>{8, 0, 8, 0, 8, 7, 6, 5, 4, 3, 2, 1}));
    EXPECT_EQ(wire(make_packet(kAnnounceEnd)), (std::vector<uint8_t>{9, 0, 0, 0}));
    EXPECT_EQ(wire(make_u16_packet(kStopFile, kResultOverwriteRefused)), (std::vector<uint8_t>{18, 0, 2, 0, 6, 0}));
}

TEST(InfraredPacket, TextsAreUtf16WithTheirTerminator) {
    // "a€" : 2 characters, 6 bytes of payload.
    EXPECT_EQ(wire(make_text_packet(kAnnounceName, u"a\u20AC")),
              (std::vector<uint8_t>{5, 0, 6, 0, 'a', 0, 0xAC, 0x20, 0, 0}));
    auto full = make_text_packet(kAnnounceName, std::u16string(255, u'x'));
    ASSERT_TRUE(full);
    EXPECT_EQ(full->length, 512);
    EXPECT_EQ(payload_text(*full), std::u16string(255, u'x'));
    EXPECT_FALSE(make_text_packet(kAnnounceName, std::u16string(256, u'x')));
}

TEST(InfraredPacket, PayloadReadersRefuseShortPayloadsAndStopTextsAtZero) {
    uint8_t one[] = {5};
    auto p = make_packet(kAnnounceSize, one);
    EXPECT_FALSE(payload_u16(*p));
    EXPECT_FALSE(payload_u32(*p));
    uint8_t text[] = {'a', 0, 0, 0, 'b', 0, 'c'};  // an embedded 0 ends the text
    EXPECT_EQ(payload_text(*make_packet(kAnnounceName, text)), u"a");
    uint8_t unterminated[] = {'a', 0, 'b', 0, 'c'};  // no terminator, odd last byte
    EXPECT_EQ(payload_text(*make_packet(kAnnounceName, unterminated)), u"ab");
    EXPECT_FALSE(make_packet(kData, std::vector<uint8_t>(513)));
}

TEST(InfraredPacket, SplitterReassemblesPacketsFedByteByByte) {
    std::vector<uint8_t> stream;
    for (const auto& p : {make_u16_packet(kAnnounceBegin, 7), make_text_packet(kAnnounceName, u"a.jpg"),
                          make_packet(kData, std::vector<uint8_t>(512, 0xAB)), make_packet(kAnnounceEnd)}) {
        auto bytes = encode(*p);
        stream.insert(stream.end(), bytes.begin(), bytes.end());
    }
    PacketSplitter splitter;
    std::vector<Packet> out;
    for (uint8_t b : stream) ASSERT_EQ(splitter.feed({&b, 1}, out), PacketSplitter::Status::ok);
    ASSERT_EQ(out.size(), 4u);
    EXPECT_EQ(*payload_u16(out[0]), 7);
    EXPECT_EQ(payload_text(out[1]), u"a.jpg");
    EXPECT_EQ(out[2].length, 512);
    EXPECT_EQ(out[2].payload[511], 0xAB);
    EXPECT_EQ(out[3].type, kAnnounceEnd);
}

TEST(InfraredPacket, SplitterStopsAtAnOversizedLength) {
    // A 4000-byte payload announced: nothing of it is taken, nothing after it.
    std::vector<uint8_t> stream = {12, 0, 0xA0, 0x0F};
    stream.resize(4 + 4000, 0x55);
    auto good = encode(*make_packet(kAnnounceEnd));
    stream.insert(stream.end(), good.begin(), good.end());
    PacketSplitter splitter;
    std::vector<Packet> out;
    EXPECT_EQ(splitter.feed(stream, out), PacketSplitter::Status::too_long);
    EXPECT_TRUE(out.empty());
    EXPECT_EQ(splitter.feed(good, out), PacketSplitter::Status::too_long);
    EXPECT_TRUE(out.empty());
}

TEST(InfraredCrc, KnownValuesAndPiecewiseEqualsWhole) {
    const uint8_t abc[] = {'a', 'b', 'c'};
    EXPECT_EQ(crc16_update(0, abc), 0x1EE4);
    // Bytes enter at the low end; table entry 1 (0x1021) shows after two more.
    const uint8_t one[] = {1, 0, 0};
    EXPECT_EQ(crc16_update(0, {one, 1}), 0x0001);
    EXPECT_EQ(crc16_update(0, one), 0x1021);
    std::vector<uint8_t> data(3000);
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 7 + 3);
    uint16_t whole = crc16_update(0, data);
    uint16_t pieces = crc16_update(crc16_update(0, {data.data(), 1000}), {data.data() + 1000, 2000});
    EXPECT_EQ(whole, pieces);
    std::size_t at = 0;
    bool complete = false;
    uint16_t read_crc = crc16_of_prefix(3000, [&](uint8_t* b, uint32_t n) {
        EXPECT_LE(n, 512u);
        std::copy_n(data.begin() + static_cast<std::ptrdiff_t>(at), n, b);
        at += n;
        return static_cast<int64_t>(n);
    }, complete);
    EXPECT_TRUE(complete);
    EXPECT_EQ(read_crc, whole);
    // A short read makes the result 0 and says so.
    EXPECT_EQ(crc16_of_prefix(3000, [](uint8_t*, uint32_t n) { return static_cast<int64_t>(n / 2); }, complete), 0);
    EXPECT_FALSE(complete);
}

TEST(ReceivedName, OnlyPlainFileNamesPass) {
    struct Case {
        std::u16string name;
        bool plain;
    } cases[] = {
        {u"a.jpg", true},
        {u"Urlaub 2024 (1).JPG", true},
        {u"\u00e9t\u00e9.jpg", true},
        {u"\U0001F600.jpg", true},
        {u"", false},
        {u"../x.jpg", false},
        {u"..", false},
        {u"a..b.jpg", false},
        {u"a\\b.jpg", false},
        {u"/etc/x", false},
        {u"a/b", false},
        {u".hidden.jpg", false},
        {u"a\nb.jpg", false},
        {u"a\tb.jpg", false},
        {u"a\x7f.jpg", false},
        {std::u16string(u"a\xD800.jpg"), false},
        {std::u16string(259, u'x'), true},
        {std::u16string(260, u'x'), false},
    };
    for (const Case& c : cases) EXPECT_EQ(is_plain_file_name(c.name), c.plain) << c.name.size();
}

}  // namespace
}  // namespace qelvio::sharing
