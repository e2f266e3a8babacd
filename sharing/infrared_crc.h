// The CRC-16 that proves a receiver's partial copy matches the start of the
// sender's file: polynomial 0x1021, table-driven, starting value 0, each
// byte shifted in at the low end, no final XOR and no trailing zero bytes
// ("abc" gives 0x1EE4). Pure and thread-safe.
#pragma once

#include <cstdint>
#include <span>

namespace qelvio::sharing {

// Continues a CRC over more bytes (start with 0).
uint16_t crc16_update(uint16_t crc, std::span<const uint8_t> bytes);

// The CRC of the first `count` bytes read through `read` (called with a
// buffer of at most 512 bytes, returning the bytes read or -1). A failed
// or short read sets `complete` to false and gives 0.
template <typename Read>
uint16_t crc16_of_prefix(uint32_t count, Read&& read, bool& complete) {
    uint8_t buffer[512];
    uint16_t crc = 0;
    uint32_t done = 0;
    complete = false;
    while (done < count) {
        uint32_t want = count - done < sizeof buffer ? count - done : static_cast<uint32_t>(sizeof buffer);
        int64_t got = read(buffer, want);
        if (got != static_cast<int64_t>(want)) return 0;
        crc = crc16_update(crc, {buffer, want});
        done += want;
    }
    complete = true;
    return crc;
}

}  // namespace qelvio::sharing
