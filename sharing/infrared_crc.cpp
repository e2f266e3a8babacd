#include "sharing/infrared_crc.h"

#include <array>

namespace qelvio::sharing {
namespace {

// table[i]: the 0x1021 remainder of i shifted left by 8 bits.
constexpr std::array<uint16_t, 256> make_table() {
    std::array<uint16_t, 256> table{};
    for (unsigned i = 0; i < 256; ++i) {
        unsigned r = i << 8;
        for (int bit = 0; bit < 8; ++bit) r = (r & 0x8000) ? (r << 1) ^ 0x1021 : r << 1;
        table[i] = static_cast<uint16_t>(r);
    }
    return table;
}

constexpr std::array<uint16_t, 256> table = make_table();

}  // namespace

uint16_t crc16_update(uint16_t crc, std::span<const uint8_t> bytes) {
    for (uint8_t b : bytes) crc = static_cast<uint16_t>(((crc << 8) | b) ^ table[crc >> 8]);
    return crc;
}

}  // namespace qelvio::sharing
