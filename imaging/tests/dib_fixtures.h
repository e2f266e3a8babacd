// Small helpers the imaging tests share to build and read Dibs.
#pragma once

#include "imaging/dib.h"

#include <cstdint>
#include <cstring>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include <unistd.h>

namespace qelvio::imaging::testing {

inline std::vector<RgbQuad> grey_ramp(int n = 256) {
    std::vector<RgbQuad> t(n);
    for (int i = 0; i < n; ++i) {
        const auto v = static_cast<std::uint8_t>(n == 256 ? i : i * 255 / (n - 1));
        t[i] = {v, v, v, 0};
    }
    return t;
}

inline std::vector<RgbQuad> colour_table(int n, std::uint32_t seed = 7) {
    std::mt19937 rng(seed);
    std::vector<RgbQuad> t(n);
    for (auto& q : t) {
        q = {static_cast<std::uint8_t>(rng()), static_cast<std::uint8_t>(rng()),
             static_cast<std::uint8_t>(rng()), 0};
    }
    return t;
}

// A Dib of the given size and bit count with random pixel values in every
// pixel; padding bits and bytes stay zero.
inline DibPtr random_dib(int w, int h, int bits, std::uint32_t seed = 1) {
    auto dib = std::make_unique<Dib>();
    std::vector<RgbQuad> table;
    if (bits <= 8) table = colour_table(1 << bits, seed);
    if (!DibCreate(*dib, w, h, bits, static_cast<int>(table.size()),
                   table.empty() ? nullptr : table.data())) {
        return nullptr;
    }
    std::mt19937 rng(seed);
    const int used_bits = w * bits;
    for (int y = 0; y < h; ++y) {
        std::uint8_t* row = DibRow(*dib, y);
        for (int b = 0; b < used_bits; ++b) {
            if (rng() & 1) row[b >> 3] |= static_cast<std::uint8_t>(0x80 >> (b & 7));
        }
    }
    return dib;
}

// Pixel value (index, 5-5-5 word or 0xRRGGBB) at picture coordinates.
inline std::uint32_t pixel(const Dib& dib, int x, int y) {
    const std::uint8_t* row = DibRow(dib, DibHeight(dib) - 1 - y);
    switch (DibBitCount(dib)) {
    case 1: return (row[x >> 3] >> (7 - (x & 7))) & 1;
    case 4: return (row[x >> 1] >> ((x & 1) ? 0 : 4)) & 0xF;
    case 8: return row[x];
    case 16: return row[2 * x] | (row[2 * x + 1] << 8);
    default: return row[3 * x] | (row[3 * x + 1] << 8) | (row[3 * x + 2] << 16);
    }
}

inline void set_pixel(Dib& dib, int x, int y, std::uint32_t v) {
    std::uint8_t* row = DibRow(dib, DibHeight(dib) - 1 - y);
    switch (DibBitCount(dib)) {
    case 1:
        row[x >> 3] = static_cast<std::uint8_t>((row[x >> 3] & ~(0x80 >> (x & 7))) |
                                                ((v & 1) << (7 - (x & 7))));
        break;
    case 4: {
        const int shift = (x & 1) ? 0 : 4;
        row[x >> 1] =
            static_cast<std::uint8_t>((row[x >> 1] & ~(0xF << shift)) | ((v & 0xF) << shift));
        break;
    }
    case 8: row[x] = static_cast<std::uint8_t>(v); break;
    case 16:
        row[2 * x] = static_cast<std::uint8_t>(v);
        row[2 * x + 1] = static_cast<std::uint8_t>(v >> 8);
        break;
    default:
        row[3 * x] = static_cast<std::uint8_t>(v);
        row[3 * x + 1] = static_cast<std::uint8_t>(v >> 8);
        row[3 * x + 2] = static_cast<std::uint8_t>(v >> 16);
    }
}

// Whole stored pixel blocks (padding included) and colour tables are equal.
inline bool same_image(const Dib& a, const Dib& b) {
    if (!a.bitmap || !b.bitmap) return false;
    if (DibWidth(a) != DibWidth(b) || DibHeight(a) != DibHeight(b) ||
        DibBitCount(a) != DibBitCount(b)) {
        return false;
    }
    if (std::memcmp(a.pixels, b.pixels, DibImageSize(a)) != 0) return false;
    const int n = DibColourTableSize(a);
    return n == 0 || std::memcmp(DibColourTable(a), DibColourTable(b), 4 * n) == 0;
}

inline std::string temp_path(const char* name) {
    const char* dir = std::getenv("TMPDIR");
    return std::string(dir ? dir : "/tmp") + "/qelvio_imaging_" + std::to_string(getpid()) +
           "_" + name;
}

// Writes the Dib as a BMP file: file header, header block, pixels.
inline void write_bmp(const Dib& dib, const std::string& path) {
    const std::size_t table = 4u * DibColourTableSize(dib);
    const std::uint32_t offset = 14 + 40 + static_cast<std::uint32_t>(table);
    const std::uint32_t size = offset + static_cast<std::uint32_t>(DibImageSize(dib));
    std::ofstream out(path, std::ios::binary);
    std::uint8_t fh[14] = {'B', 'M'};
    std::memcpy(fh + 2, &size, 4);
    std::memcpy(fh + 10, &offset, 4);
    out.write(reinterpret_cast<const char*>(fh), 14);
    out.write(reinterpret_cast<const char*>(dib.header), 40 + table);
    out.write(reinterpret_cast<const char*>(dib.pixels), DibImageSize(dib));
}

// Writes the Dib as a BMP, runs ImageMagick's convert with `operations`
// on it and returns the result as top-down red-green-blue bytes (empty on
// failure).
inline std::vector<std::uint8_t> imagemagick_rgb(const Dib& dib, const std::string& operations) {
    const std::string bmp = temp_path("im.bmp"), rgb = temp_path("im.rgb");
    write_bmp(dib, bmp);
    const std::string cmd = "convert " + bmp + " " + operations + " -depth 8 rgb:" + rgb;
    std::vector<std::uint8_t> out;
    if (std::system(cmd.c_str()) == 0) {
        std::ifstream in(rgb, std::ios::binary);
        out.assign(std::istreambuf_iterator<char>(in), {});
    }
    std::remove(bmp.c_str());
    std::remove(rgb.c_str());
    return out;
}

// An allocator that refuses after `budget` successful allocations; tests
// install it through AllocationLimit.
struct AllocationLimit {
    static inline int budget = 0;
    static void* allocate(std::size_t bytes) {
        if (budget <= 0) return nullptr;
        --budget;
        return std::calloc(1, bytes);
    }
    static void release(void* p) { std::free(p); }

    explicit AllocationLimit(int allowed) {
        budget = allowed;
        previous = DibSetAllocator({allocate, release});
    }
    ~AllocationLimit() { DibSetAllocator(previous); }
    DibAllocator previous;
};

}  // namespace qelvio::imaging::testing
