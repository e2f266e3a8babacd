// The region index of a baseline JPEG: where the entropy decoder stands at
// regular MCUs of every MCU row, so that a rectangle can be decoded without
// reading the rows above it or the MCUs far to its left.
//
// Block layout (allocated with std::malloc, freed with std::free by
// release_decode_result): a 4-byte interval, then for every MCU row
// ceil(MCUs per row / interval) points of 40 bytes, one at every
// interval-th MCU of the row. The interval starts at 10 and grows by
// × 1500 / 1000 until the points take at most 524288 bytes.
//
// A point (native byte order):
//   0  u32 position of the next byte to fetch      4  u32 file key
//   8  u64 bit buffer                             16  u16 MCU row
//  18  u16 MCU column                             20  i16 DC prediction × 4
//  28  u8  valid bits in the buffer               29  u8  flags (1 marker, 2 exhausted)
//  30  u8  layout version (1)                     31  u8  zero
//  32  u32 check of bytes 0..31                   36  the 4 data bytes at the position
// The file key, the check and the data bytes let a reader refuse an index
// of another file, a damaged index, or one that does not fit the block.
#pragma once

#include "decoding/jpeg_entropy_scanner.h"

#include <cstdint>

namespace qelvio::decoding {

inline constexpr std::uint32_t kRegionPointBytes = 40;
inline constexpr std::uint64_t kRegionPointsLimit = 524288;

// The interval for an MCU grid by the growth rule above.
std::uint32_t region_index_interval(std::uint32_t mcus_across, std::uint32_t mcu_rows);
// Bytes of the whole block (4 + points) for an interval.
std::uint64_t region_index_size(std::uint32_t interval, std::uint32_t mcus_across, std::uint32_t mcu_rows);

// Walks the whole scan and returns the index block in *index (the caller
// frees it with std::free). data holds the file from its first byte, size
// of it available. Returns 0, kDecodeNoMemory, or kDecodeCorrupt when a
// restart marker is out of order.
int record_region_index(const ScanLayout& layout, const std::uint8_t* data, std::uint32_t size,
                        void** index);

// Reads the points of a block after checking that it belongs to the file.
class RegionIndexReader {
public:
    // Checks the interval, the block's allocation size and the first point
    // against the file; kDecodeFailed when the block is not this file's
    // index. The block must come from std::malloc (or be null).
    int open(const void* block, const ScanLayout& layout, const std::uint8_t* data, std::uint32_t size);

    std::uint32_t interval() const { return interval_; }

    // The entropy state at MCU (row, column), column a multiple of the
    // interval; kDecodeFailed when the point is damaged or not this file's.
    int point(std::uint32_t row, std::uint32_t column, EntropyState& state) const;

private:
    const std::uint8_t* points_ = nullptr;
    const ScanLayout* layout_ = nullptr;
    const std::uint8_t* data_ = nullptr;
    std::uint32_t size_ = 0;
    std::uint32_t interval_ = 0;
    std::uint32_t per_row_ = 0;
    std::uint32_t key_ = 0;
};

// Test and fuzzing aid: rewrites the check of the point at byte offset
// `offset` of a block after its bytes were changed on purpose.
void reseal_region_point(void* block, std::uint64_t offset);

}  // namespace qelvio::decoding
