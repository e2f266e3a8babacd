#include "decoding/jpeg_region_index.h"

#include "decoding/decoder_status.h"

#include <cstdlib>
#include <cstring>
#include <memory>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace qelvio::decoding {
namespace {

constexpr std::uint8_t kPointVersion = 1;
constexpr std::uint8_t kFlagMarker = 1, kFlagExhausted = 2;

std::uint32_t fnv1a(std::uint32_t hash, const void* bytes, std::size_t n) {
    const auto* p = static_cast<const std::uint8_t*>(bytes);
    for (std::size_t i = 0; i < n; ++i) hash = (hash ^ p[i]) * 16777619u;
    return hash;
}

// Identifies the file an index belongs to: its size, where its scan starts
// and its MCU grid.
std::uint32_t file_key(const ScanLayout& l, std::uint32_t size, std::uint32_t interval) {
    const std::uint32_t fields[] = {size,          l.scan_start,
                                    l.width,       l.height,
                                    static_cast<std::uint32_t>(l.components),
                                    static_cast<std::uint32_t>(l.max_h << 8 | l.max_v),
                                    l.restart_interval, interval};
    std::uint32_t key = fnv1a(2166136261u, fields, sizeof fields);
    for (int i = 0; i < l.components; ++i) key = fnv1a(key, &l.frame[i], sizeof l.frame[i]);
    return key;
}

void data_bytes(const std::uint8_t* data, std::uint32_t size, std::uint32_t position, std::uint8_t out[4]) {
    for (std::uint32_t i = 0; i < 4; ++i) out[i] = position + i < size ? data[position + i] : 0;
}

void write_point(std::uint8_t* p, const EntropyState& s, std::uint32_t row, std::uint32_t column,
                 std::uint32_t key, const std::uint8_t* data, std::uint32_t size) {
    std::memset(p, 0, kRegionPointBytes);
    const auto r = static_cast<std::uint16_t>(row), c = static_cast<std::uint16_t>(column);
    std::memcpy(p + 0, &s.position, 4);
    std::memcpy(p + 4, &key, 4);
    std::memcpy(p + 8, &s.buffer, 8);
    std::memcpy(p + 16, &r, 2);
    std::memcpy(p + 18, &c, 2);
    std::memcpy(p + 20, s.dc, 8);
    p[28] = static_cast<std::uint8_t>(s.bits);
    p[29] = static_cast<std::uint8_t>((s.marker ? kFlagMarker : 0) | (s.exhausted ? kFlagExhausted : 0));
    p[30] = kPointVersion;
    const std::uint32_t check = fnv1a(2166136261u, p, 32);
    std::memcpy(p + 32, &check, 4);
    data_bytes(data, size, s.position, p + 36);
}

}  // namespace

std::uint32_t region_index_interval(std::uint32_t mcus_across, std::uint32_t mcu_rows) {
    std::uint32_t interval = 10;
    while (region_index_size(interval, mcus_across, mcu_rows) - 4 > kRegionPointsLimit &&
           interval < mcus_across)
        interval = interval * 1500 / 1000;
    return interval;
}

std::uint64_t region_index_size(std::uint32_t interval, std::uint32_t mcus_across, std::uint32_t mcu_rows) {
    const std::uint64_t per_row = (std::uint64_t{mcus_across} + interval - 1) / interval;
    return 4 + per_row * mcu_rows * kRegionPointBytes;
}

int record_region_index(const ScanLayout& layout, const std::uint8_t* data, std::uint32_t size,
                        void** index) {
    *index = nullptr;
    const std::uint32_t interval = region_index_interval(layout.mcus_across, layout.mcu_rows);
    const std::uint64_t bytes = region_index_size(interval, layout.mcus_across, layout.mcu_rows);
    auto* block = static_cast<std::uint8_t*>(std::malloc(bytes));
    if (!block) return kDecodeNoMemory;
    std::memcpy(block, &interval, 4);
    auto scanner = std::make_unique<EntropyScanner>(layout, data, size);
    const std::uint32_t key = file_key(layout, size, interval);
    std::uint8_t* point = block + 4;
    std::uint32_t to_restart = layout.restart_interval;
    int restarts = 0;
    for (std::uint32_t row = 0; row < layout.mcu_rows; ++row) {
        std::uint32_t to_point = 0;
        for (std::uint32_t column = 0; column < layout.mcus_across; ++column) {
            if (layout.restart_interval) {
                if (to_restart == 0) {
                    if (scanner->restart(restarts++ & 7)) {
                        std::free(block);
                        return kDecodeCorrupt;
                    }
                    to_restart = layout.restart_interval;
                }
                --to_restart;
            }
            if (to_point == 0) {
                write_point(point, scanner->state(), row, column, key, data, size);
                point += kRegionPointBytes;
                to_point = interval;
            }
            --to_point;
            scanner->skip_mcu();
        }
    }
    *index = block;
    return kDecodeOk;
}

int RegionIndexReader::open(const void* block, const ScanLayout& layout, const std::uint8_t* data,
                            std::uint32_t size) {
    if (!block) return kDecodeFailed;
    const std::uint32_t expected = region_index_interval(layout.mcus_across, layout.mcu_rows);
    std::uint32_t interval;
    std::memcpy(&interval, block, 4);
    if (interval != expected) return kDecodeFailed;
#if defined(__GLIBC__)
    // The block is only known by its address: a smaller allocation is not
    // an index of this file.
    if (malloc_usable_size(const_cast<void*>(block)) <
        region_index_size(interval, layout.mcus_across, layout.mcu_rows))
        return kDecodeFailed;
#endif
    points_ = static_cast<const std::uint8_t*>(block) + 4;
    layout_ = &layout;
    data_ = data;
    size_ = size;
    interval_ = interval;
    per_row_ = (layout.mcus_across + interval - 1) / interval;
    key_ = file_key(layout, size, interval);
    EntropyState first;
    return point(0, 0, first);
}

int RegionIndexReader::point(std::uint32_t row, std::uint32_t column, EntropyState& s) const {
    if (!points_ || row >= layout_->mcu_rows || column >= layout_->mcus_across || column % interval_)
        return kDecodeFailed;
    const std::uint8_t* p =
        points_ + (std::uint64_t{row} * per_row_ + column / interval_) * kRegionPointBytes;
    std::uint32_t key, check;
    std::uint16_t r, c;
    std::memcpy(&key, p + 4, 4);
    std::memcpy(&r, p + 16, 2);
    std::memcpy(&c, p + 18, 2);
    std::memcpy(&check, p + 32, 4);
    if (check != fnv1a(2166136261u, p, 32) || p[30] != kPointVersion || key != key_ || r != row ||
        c != column || p[28] > 64 || p[29] > 3)
        return kDecodeFailed;
    s = EntropyState{};
    std::memcpy(&s.position, p + 0, 4);
    std::memcpy(&s.buffer, p + 8, 8);
    std::memcpy(s.dc, p + 20, 8);
    s.bits = p[28];
    s.marker = p[29] & kFlagMarker;
    s.exhausted = p[29] & kFlagExhausted;
    std::uint8_t bytes[4];
    data_bytes(data_, size_, s.position, bytes);
    if (s.position < layout_->scan_start || s.position > size_ || std::memcmp(bytes, p + 36, 4) != 0)
        return kDecodeFailed;
    return kDecodeOk;
}

void reseal_region_point(void* block, std::uint64_t offset) {
    auto* p = static_cast<std::uint8_t*>(block) + offset;
    const std::uint32_t check = fnv1a(2166136261u, p, 32);
    std::memcpy(p + 32, &check, 4);
}

}  // namespace qelvio::decoding
