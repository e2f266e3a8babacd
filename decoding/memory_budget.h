// How much memory a file may make the decoders and the lossless transform
// allocate: anything up to 64 MiB, more only within a 4096:1 ratio to the
// file's bytes (no real file packs more pixels into a byte), never 2 GiB.
// Checked against the size a header claims before anything is allocated,
// and given to libjpeg as its memory limit.
#pragma once

#include <cstdint>

namespace qelvio::decoding {

// The largest allocation believable for a file of `input_bytes`.
inline std::uint64_t memory_budget(std::uint64_t input_bytes) {
    constexpr std::uint64_t kAlways = 64ull << 20;
    constexpr std::uint64_t kNever = (1ull << 31) - 1;
    if (input_bytes > kNever / 4096) return kNever;
    const std::uint64_t by_ratio = input_bytes * 4096;
    return by_ratio > kAlways ? by_ratio : kAlways;
}

// Whether `bytes` of memory are believable for `input_bytes` of file.
inline bool plausible_bitmap_size(std::uint64_t bytes, std::uint64_t input_bytes) {
    return bytes <= memory_budget(input_bytes);
}

}  // namespace qelvio::decoding
