#include "sharing/infrared_packet.h"

#include <algorithm>

namespace qelvio::sharing {
namespace {

template <typename T>
std::optional<T> read_le(const Packet& packet) {
    if (packet.length < sizeof(T)) return std::nullopt;
    T value = 0;
    for (std::size_t i = 0; i < sizeof(T); ++i) value |= static_cast<T>(static_cast<T>(packet.payload[i]) << (8 * i));
    return value;
}

template <typename T>
std::optional<Packet> make_number(uint16_t type, T value) {
    uint8_t bytes[sizeof(T)];
    for (std::size_t i = 0; i < sizeof(T); ++i) bytes[i] = static_cast<uint8_t>(value >> (8 * i));
    return make_packet(type, bytes);
}

}  // namespace

Header decode_header(std::span<const uint8_t> bytes) {
    return {static_cast<uint16_t>(bytes[0] | bytes[1] << 8), static_cast<uint16_t>(bytes[2] | bytes[3] << 8)};
}

std::optional<Packet> make_packet(uint16_t type, std::span<const uint8_t> payload) {
    if (payload.size() > kMaxPayload) return std::nullopt;
    Packet packet;
    packet.type = type;
    packet.length = static_cast<uint16_t>(payload.size());
    std::copy(payload.begin(), payload.end(), packet.payload.begin());
    return packet;
}

std::optional<Packet> make_u16_packet(uint16_t type, uint16_t value) { return make_number(type, value); }
std::optional<Packet> make_u32_packet(uint16_t type, uint32_t value) { return make_number(type, value); }
std::optional<Packet> make_u64_packet(uint16_t type, uint64_t value) { return make_number(type, value); }

std::optional<Packet> make_text_packet(uint16_t type, std::u16string_view text) {
    if (text.size() * 2 + 2 > kMaxPayload) return std::nullopt;
    Packet packet;
    packet.type = type;
    packet.length = static_cast<uint16_t>(text.size() * 2 + 2);
    for (std::size_t i = 0; i < text.size(); ++i) {
        packet.payload[2 * i] = static_cast<uint8_t>(text[i]);
        packet.payload[2 * i + 1] = static_cast<uint8_t>(text[i] >> 8);
    }
    packet.payload[2 * text.size()] = 0;
    packet.payload[2 * text.size() + 1] = 0;
    return packet;
}

std::vector<uint8_t> encode(const Packet& packet) {
    std::vector<uint8_t> out(kHeaderSize + packet.length);
    out[0] = static_cast<uint8_t>(packet.type);
    out[1] = static_cast<uint8_t>(packet.type >> 8);
    out[2] = static_cast<uint8_t>(packet.length);
    out[3] = static_cast<uint8_t>(packet.length >> 8);
    std::copy_n(packet.payload.begin(), std::min<std::size_t>(packet.length, kMaxPayload), out.begin() + kHeaderSize);
    return out;
}

std::optional<uint16_t> payload_u16(const Packet& packet) { return read_le<uint16_t>(packet); }
std::optional<uint32_t> payload_u32(const Packet& packet) { return read_le<uint32_t>(packet); }
std::optional<uint64_t> payload_u64(const Packet& packet) { return read_le<uint64_t>(packet); }

std::u16string payload_text(const Packet& packet) {
    std::u16string text;
    std::size_t length = std::min<std::size_t>(packet.length, kMaxPayload);
    for (std::size_t i = 0; i + 1 < length; i += 2) {
        char16_t c = static_cast<char16_t>(packet.payload[i] | packet.payload[i + 1] << 8);
        if (c == 0) break;
        text.push_back(c);
    }
    return text;
}

PacketSplitter::Status PacketSplitter::feed(std::span<const uint8_t> bytes, std::vector<Packet>& out) {
    std::size_t at = 0;
    while (!failed_ && at < bytes.size()) {
        // Fill the header first, then exactly the payload it announces.
        std::size_t wanted = kHeaderSize;
        if (held_ >= kHeaderSize) {
            Header header = decode_header({buffer_.data(), kHeaderSize});
            if (header.length > kMaxPayload) {
                failed_ = true;
                break;
            }
            wanted = kHeaderSize + header.length;
        }
        std::size_t take = std::min(wanted - held_, bytes.size() - at);
        std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(at), take, buffer_.begin() + static_cast<std::ptrdiff_t>(held_));
        held_ += take;
        at += take;
        if (held_ < kHeaderSize) continue;
        Header header = decode_header({buffer_.data(), kHeaderSize});
        if (header.length > kMaxPayload) {
            failed_ = true;
            break;
        }
        if (held_ == kHeaderSize + header.length) {
            auto packet = make_packet(header.type, {buffer_.data() + kHeaderSize, header.length});
            out.push_back(*packet);
            held_ = 0;
        }
    }
    return failed_ ? Status::too_long : Status::ok;
}

}  // namespace qelvio::sharing
