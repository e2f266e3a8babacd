// The packets of the beaming protocol, as pure encoders and decoders: no
// sockets, no threads. A packet is a 4-byte header (type, payload length,
// both unsigned 16-bit little-endian) followed by at most 512 bytes of
// payload. Texts are UTF-16 little-endian with their terminating 0.
//
// Every function here is pure and thread-safe.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qelvio::sharing {

enum PacketType : uint16_t {
    kHello = 1,             // both: 16-bit value 1000
    kGoodbye = 2,           // both: none
    kWithdrawn = 3,         // sender: 16-bit file id
    kAnnounceBegin = 4,     // sender: 16-bit file id
    kAnnounceName = 5,      // sender: text
    kAnnounceDescription = 6,  // sender: text
    kAnnounceSize = 7,      // sender: 32-bit size
    kAnnounceTime = 8,      // sender: 64-bit file time
    kAnnounceEnd = 9,       // sender: none
    kTransferRequest = 10,  // sender: 16-bit file id
    kResume = 11,           // sender: none
    kData = 12,             // sender: 1 to 512 bytes
    kFileEnd = 13,          // sender: 16-bit result, or none (acknowledgement)
    kAccept = 14,           // receiver: none
    kHeldBytes = 15,        // receiver: 32-bit offset
    kHeldCrc = 16,          // receiver: 32-bit field holding the CRC-16
    kGo = 17,               // receiver: none
    kStopFile = 18,         // receiver: 16-bit reason, or none (acknowledgement)
};

constexpr std::size_t kHeaderSize = 4;
constexpr std::size_t kMaxPayload = 512;
constexpr uint16_t kHelloValue = 1000;

// Results of a file's end (13) and reasons of a stop (18).
enum FileResult : uint16_t {
    kResultComplete = 1,
    kResultSkipped = 2,
    kResultCannotWrite = 3,
    kResultCannotCreate = 5,
    kResultOverwriteRefused = 6,
};

struct Packet {
    uint16_t type = 0;
    uint16_t length = 0;
    std::array<uint8_t, kMaxPayload> payload{};

    std::span<const uint8_t> bytes() const { return {payload.data(), length}; }
};

struct Header {
    uint16_t type;
    uint16_t length;
};

// The header at the start of `bytes` (which must hold at least 4 bytes).
Header decode_header(std::span<const uint8_t> bytes);

// A packet with the payload; nullopt when the payload exceeds 512 bytes.
std::optional<Packet> make_packet(uint16_t type, std::span<const uint8_t> payload = {});
std::optional<Packet> make_u16_packet(uint16_t type, uint16_t value);
std::optional<Packet> make_u32_packet(uint16_t type, uint32_t value);
std::optional<Packet> make_u64_packet(uint16_t type, uint64_t value);
// A text packet: nullopt when the text with its terminator needs more than
// 512 bytes (a text of 256 characters or more).
std::optional<Packet> make_text_packet(uint16_t type, std::u16string_view text);

// The bytes on the wire: header and payload.
std::vector<uint8_t> encode(const Packet& packet);

// Payload readers. A number needs at least its size in bytes (extra bytes
// are ignored); nullopt otherwise.
std::optional<uint16_t> payload_u16(const Packet& packet);
std::optional<uint32_t> payload_u32(const Packet& packet);
std::optional<uint64_t> payload_u64(const Packet& packet);
// The text up to its first 0 character (all of it when there is none); an
// odd last byte is ignored.
std::u16string payload_text(const Packet& packet);

// Splits a byte stream into packets, for callers that receive bytes in
// arbitrary pieces. A header announcing more than 512 bytes of payload is
// an error: the splitter stops there and takes nothing more, so a hostile
// length never makes it buffer more than one packet.
class PacketSplitter {
public:
    enum class Status { ok, too_long };

    // Takes bytes; complete packets are appended to `out`.
    Status feed(std::span<const uint8_t> bytes, std::vector<Packet>& out);
    bool failed() const { return failed_; }

private:
    std::array<uint8_t, kHeaderSize + kMaxPayload> buffer_{};
    std::size_t held_ = 0;
    bool failed_ = false;
};

}  // namespace qelvio::sharing
