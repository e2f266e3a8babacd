// Fuzzes the beaming packet codec: a byte stream as a peer might send it,
// split into packets in pieces of varying size, every payload read as the
// receiver reads it, received names checked, and each packet encoded again,
// which must give back exactly the bytes it came from.
#include "sharing/infrared_packet.h"
#include "sharing/received_name.h"

#include <cstdlib>
#include <cstring>

using namespace qelvio::sharing;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    std::size_t piece = data[0] % 64 + 1;
    std::span<const uint8_t> stream(data + 1, size - 1);
    PacketSplitter splitter;
    std::vector<Packet> packets;
    for (std::size_t at = 0; at < stream.size() && !splitter.failed(); at += piece)
        splitter.feed(stream.subspan(at, std::min(piece, stream.size() - at)), packets);
    std::size_t offset = 0;
    for (const Packet& p : packets) {
        if (p.length > kMaxPayload) std::abort();
        payload_u16(p);
        payload_u32(p);
        payload_u64(p);
        std::u16string text = payload_text(p);
        is_plain_file_name(text);
        if (auto again = make_text_packet(p.type, text); again && payload_text(*again) != text) std::abort();
        std::vector<uint8_t> bytes = encode(p);
        if (offset + bytes.size() > stream.size() || std::memcmp(bytes.data(), stream.data() + offset, bytes.size()) != 0)
            std::abort();
        offset += bytes.size();
    }
    // Only a failed stream leaves bytes that made no packet, and never more
    // than one packet's worth unless it failed.
    if (!splitter.failed() && stream.size() - offset >= kHeaderSize + kMaxPayload) std::abort();
    return 0;
}
