// The Dib record, its platform bitmap, creation, copying, adoption of
// decoder output, palettes and format codes.
#include "imaging/dib.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <utility>

#include <sys/mman.h>

namespace qelvio::imaging {

namespace {

// The default allocator. Every block is preceded by a 16-byte record of
// how it was obtained. Blocks of a few megabytes and more (full pictures)
// are mapped directly, aligned to 2 MB and marked for transparent huge
// pages: a fresh camera-sized bitmap is then faulted in with a few dozen
// page faults instead of thousands, and walking it down its columns (quarter
// turns, resampling) touches far fewer pages. Fresh mappings are zero-filled
// by the system; smaller blocks come zero-filled from calloc.
struct BlockRecord {
    void* mapping;       // start of the mapping, or null for a heap block
    std::size_t length;  // length of the mapping
};
static_assert(sizeof(BlockRecord) == 16);

constexpr std::size_t kMappedThreshold = std::size_t(4) << 20;
constexpr std::size_t kHugePage = std::size_t(2) << 20;

void* heap_allocate(std::size_t bytes) {
    if (bytes > std::numeric_limits<std::size_t>::max() / 2) return nullptr;
    if (bytes >= kMappedThreshold) {
        const std::size_t length = bytes + kHugePage + sizeof(BlockRecord);
        void* mapping =
            mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (mapping == MAP_FAILED) return nullptr;
        const std::uintptr_t first = reinterpret_cast<std::uintptr_t>(mapping) + sizeof(BlockRecord);
        auto* block = reinterpret_cast<std::uint8_t*>((first + kHugePage - 1) & ~(kHugePage - 1));
#ifdef MADV_HUGEPAGE
        madvise(block, bytes, MADV_HUGEPAGE);  // a hint; ignored where unsupported
#endif
        const BlockRecord record{mapping, length};
        std::memcpy(block - sizeof(BlockRecord), &record, sizeof record);
        return block;
    }
    auto* raw = static_cast<std::uint8_t*>(std::calloc(1, bytes + sizeof(BlockRecord)));
    if (!raw) return nullptr;
    return raw + sizeof(BlockRecord);  // the record stays zero: a heap block
}

void heap_release(void* block) {
    auto* start = static_cast<std::uint8_t*>(block) - sizeof(BlockRecord);
    BlockRecord record;
    std::memcpy(&record, start, sizeof record);
    if (record.mapping) {
        munmap(record.mapping, record.length);
    } else {
        std::free(start);
    }
}

std::atomic<void* (*)(std::size_t)> g_allocate{heap_allocate};
std::atomic<void (*)(void*)> g_release{heap_release};

constexpr std::uint32_t kMask555[3] = {0x7C00, 0x03E0, 0x001F};

// Largest pixel block a bitmap may have: the header's image-size field and
// every int offset into the block stay in range.
constexpr std::int64_t kMaxImageBytes = std::numeric_limits<std::int32_t>::max();

bool supported_bit_count(int bits) {
    return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24;
}

std::int64_t abs64(std::int32_t v) { return v < 0 ? -static_cast<std::int64_t>(v) : v; }

}  // namespace

// ---- allocator -----------------------------------------------------------

DibAllocator DibSetAllocator(DibAllocator allocator) {
    DibAllocator previous{g_allocate.load(), g_release.load()};
    g_allocate.store(allocator.allocate ? allocator.allocate : heap_allocate);
    g_release.store(allocator.release ? allocator.release : heap_release);
    return previous;
}

void* DibAllocate(std::size_t bytes) {
    if (bytes == 0) return nullptr;
    return g_allocate.load()(bytes);
}

void DibRelease(void* block) {
    if (block) g_release.load()(block);
}

// ---- platform bitmap -----------------------------------------------------

std::int64_t DibStrideFor(std::int64_t width, int bit_count) {
    if (width < 0) width = -width;
    if (width == 0 || bit_count <= 0 || width > kMaxImageBytes) return 0;
    std::int64_t stride = ((width * bit_count + 31) / 32) * 4;
    return stride > kMaxImageBytes ? 0 : stride;
}

DibBitmap* DibBitmapCreate(const BitmapInfoHeader& header) {
    if (!supported_bit_count(header.bit_count)) return nullptr;
    std::int64_t height = abs64(header.height);
    std::int64_t stride = DibStrideFor(header.width, header.bit_count);
    if (stride == 0 || height == 0) return nullptr;
    if (height > kMaxImageBytes / stride) return nullptr;
    std::size_t size = static_cast<std::size_t>(stride * height);
    auto* bitmap = static_cast<DibBitmap*>(DibAllocate(sizeof(DibBitmap)));
    if (!bitmap) return nullptr;
    bitmap->info = header;
    bitmap->size = size;
    bitmap->bits = static_cast<std::uint8_t*>(DibAllocate(size));
    if (!bitmap->bits) {
        DibRelease(bitmap);
        return nullptr;
    }
    return bitmap;
}

void DibBitmapDestroy(DibBitmap* bitmap) {
    if (!bitmap) return;
    DibRelease(bitmap->bits);
    DibRelease(bitmap);
}

// ---- Dib lifetime ----------------------------------------------------------

Dib::~Dib() { DibDestroy(*this); }

Dib::Dib(Dib&& other) noexcept
    : bitmap(std::exchange(other.bitmap, nullptr)),
      header(std::exchange(other.header, nullptr)),
      pixels(std::exchange(other.pixels, nullptr)),
      palette(std::exchange(other.palette, nullptr)) {}

Dib& Dib::operator=(Dib&& other) noexcept {
    if (this != &other) {
        DibDestroy(*this);
        bitmap = std::exchange(other.bitmap, nullptr);
        header = std::exchange(other.header, nullptr);
        pixels = std::exchange(other.pixels, nullptr);
        palette = std::exchange(other.palette, nullptr);
    }
    return *this;
}

void DibDestroy(Dib& dib) {
    DibRelease(dib.header);
    DibBitmapDestroy(dib.bitmap);
    DibRelease(dib.palette);
    dib.header = nullptr;
    dib.bitmap = nullptr;
    dib.pixels = nullptr;
    dib.palette = nullptr;
}

bool DibCreate(Dib& dib, int width, int height, int bit_count, int entries,
               const RgbQuad* colours, const void* pixels) {
    DibDestroy(dib);
    if (width <= 0 || height <= 0 || !supported_bit_count(bit_count)) return false;

    std::size_t table = 0;
    if (bit_count <= 8) table = 4u << bit_count;
    if (bit_count == 16) table = 12;
    auto* block = static_cast<std::uint8_t*>(DibAllocate(40 + table));
    if (!block) return false;
    auto* h = reinterpret_cast<BitmapInfoHeader*>(block);
    h->size = 40;
    h->width = width;
    h->height = height;
    h->planes = 1;
    h->bit_count = static_cast<std::uint16_t>(bit_count);
    if (bit_count == 16) {
        h->compression = kCompressionBitfields;
        std::memcpy(block + 40, kMask555, sizeof kMask555);
    }
    DibBitmap* bitmap = DibBitmapCreate(*h);
    if (!bitmap) {
        DibRelease(block);
        return false;
    }
    dib.header = block;
    dib.bitmap = bitmap;
    dib.pixels = bitmap->bits;
    if (colours && bit_count <= 8 && entries > 0) {
        std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(entries), table / 4);
        std::memcpy(block + 40, colours, n * 4);
    }
    if (pixels) std::memcpy(dib.pixels, pixels, bitmap->size);
    return true;
}

DibPtr DibCopy(const Dib& source) {
    if (!source.bitmap) return nullptr;
    auto result = std::make_unique<Dib>();
    if (!DibCreate(*result, DibWidth(source), DibHeight(source), DibBitCount(source),
                   DibColourTableSize(source), DibColourTable(source), source.pixels)) {
        return nullptr;
    }
    DibMakePalette(*result);
    return result;
}

// ---- adopting decoder output -------------------------------------------------

namespace {

struct MaskShift {
    int shift;  // lowest set bit
    int bits;   // number of set bits
};

MaskShift analyse_mask(std::uint32_t mask) {
    if (mask == 0) return {0, 0};
    int s = 0;
    while (!(mask & (1u << s))) ++s;
    int n = 0;
    for (std::uint32_t m = mask >> s; m; m >>= 1) n += static_cast<int>(m & 1);
    return {s, n};
}

// One channel to 8 bits: ((pixel >> s) << (8 - n)) truncated to 8 bits.
// Channels wider than 8 bits keep their top 8 bits.
std::uint32_t channel8(std::uint32_t pixel, MaskShift m) {
    if (m.bits == 0) return 0;
    std::uint32_t v = pixel >> m.shift;
    if (m.bits <= 8) return (v << (8 - m.bits)) & 0xFF;
    return (v >> (m.bits - 8)) & 0xFF;
}

}  // namespace

bool DibFromPacked(Dib& dib, const std::uint8_t* packed, std::size_t packed_size,
                   DibBitmap* bitmap) {
    DibDestroy(dib);
    auto fail = [&]() {
        DibBitmapDestroy(bitmap);
        DibDestroy(dib);
        return false;
    };
    if (!packed || packed_size < 40) return fail();
    BitmapInfoHeader in;
    std::memcpy(&in, packed, 40);
    const bool masks = in.compression == kCompressionBitfields;
    if (!supported_bit_count(in.bit_count)) return fail();
    if (masks && in.bit_count != 16) return fail();
    if (!masks && in.compression != kCompressionPlain) return fail();
    const std::size_t mask_bytes = masks ? 12 : 0;
    const std::size_t colour_bytes = in.bit_count <= 8 ? (4u << in.bit_count) : 0;
    if (packed_size < 40 + mask_bytes + colour_bytes) return fail();

    const std::int64_t width = abs64(in.width);
    const std::int64_t height = abs64(in.height);
    const std::int64_t stride = DibStrideFor(width, in.bit_count);
    if (stride == 0 || height == 0 || height > kMaxImageBytes / stride) return fail();

    // The header block this Dib keeps: 5-5-5 images lose their masks.
    BitmapInfoHeader out = in;
    if (masks) out.compression = kCompressionPlain;
    auto* block = static_cast<std::uint8_t*>(DibAllocate(40 + mask_bytes + colour_bytes));
    if (!block) return fail();
    std::memcpy(block, &out, 40);
    std::memcpy(block + 40, packed + 40, mask_bytes + colour_bytes);
    dib.header = block;

    const std::size_t image_bytes = static_cast<std::size_t>(stride * height);
    const std::uint8_t* src = nullptr;
    if (bitmap) {
        if (!bitmap->bits || bitmap->size < image_bytes) return fail();
        dib.bitmap = bitmap;
        dib.pixels = bitmap->bits;
        bitmap = nullptr;  // owned by dib from here on
        src = dib.pixels;  // masked pixels are converted where they are
    } else {
        DibBitmap* made = DibBitmapCreate(out);
        if (!made) return fail();
        dib.bitmap = made;
        dib.pixels = made->bits;
        src = packed + 40 + mask_bytes + colour_bytes;
        const std::size_t available = packed_size - (40 + mask_bytes + colour_bytes);
        if (available < image_bytes) return fail();
        if (!masks) std::memcpy(dib.pixels, src, image_bytes);
    }
    if (masks) {
        // Each row holds (width + 1) / 2 x 2 words on both sides. The header
        // now says 5-5-5, so adopted pixels are converted in place too.
        std::uint32_t m[3];
        std::memcpy(m, packed + 40, 12);
        const MaskShift r = analyse_mask(m[0]), g = analyse_mask(m[1]), b = analyse_mask(m[2]);
        for (std::int64_t y = 0; y < height; ++y) {
            const std::uint8_t* s = src + y * stride;
            std::uint8_t* d = dib.pixels + y * stride;
            for (std::int64_t x = 0; x < width; ++x) {
                const std::uint32_t p = s[2 * x] | (s[2 * x + 1] << 8);
                const std::uint32_t v = ((channel8(p, r) >> 3) << 10) |
                                        ((channel8(p, g) >> 3) << 5) | (channel8(p, b) >> 3);
                d[2 * x] = static_cast<std::uint8_t>(v);
                d[2 * x + 1] = static_cast<std::uint8_t>(v >> 8);
            }
        }
    }
    DibMakePalette(dib);
    return true;
}

bool DibFromBitmap(Dib& dib, DibBitmap* bitmap) {
    DibDestroy(dib);
    if (!bitmap) return false;
    const BitmapInfoHeader& info = bitmap->info;
    const std::int64_t stride = DibStrideFor(info.width, info.bit_count);
    if (!bitmap->bits || stride == 0 || info.bit_count != 24 ||
        static_cast<std::size_t>(stride * abs64(info.height)) > bitmap->size) {
        DibBitmapDestroy(bitmap);
        return false;
    }
    auto* block = static_cast<std::uint8_t*>(DibAllocate(40));
    if (!block) {
        DibBitmapDestroy(bitmap);
        return false;
    }
    std::memcpy(block, &info, 40);
    dib.header = block;
    dib.bitmap = bitmap;
    dib.pixels = bitmap->bits;
    return true;
}

void DibMakePalette(Dib& dib) {
    DibRelease(dib.palette);
    dib.palette = nullptr;
    if (!dib.header) return;
    const int n = DibColourTableSize(dib);
    if (n == 0) return;
    auto* palette = static_cast<DibPalette*>(DibAllocate(sizeof(DibPalette)));
    if (!palette) return;
    palette->version = 0x300;
    palette->count = static_cast<std::uint16_t>(n);
    const RgbQuad* table = DibColourTable(dib);
    for (int i = 0; i < n; ++i) {
        palette->entries[i] = {table[i].red, table[i].green, table[i].blue, 0};
    }
    dib.palette = palette;
}

// ---- format codes and accessors ------------------------------------------------

bool DibIsGrey(const std::uint8_t* header_block) {
    if (!header_block) return false;
    BitmapInfoHeader h;
    std::memcpy(&h, header_block, 40);
    if (h.bit_count > 8 || h.bit_count == 0) return false;
    const std::uint8_t* t = header_block + 40;
    for (int i = 0, n = 1 << h.bit_count; i < n; ++i, t += 4) {
        if (t[0] != t[1] || t[1] != t[2]) return false;
    }
    return true;
}

bool DibIsGrey(const Dib& dib) { return DibIsGrey(dib.header); }

DibFormat DibFormatOf(const std::uint8_t* header_block) {
    if (!header_block) return DibFormatUnsupported;
    BitmapInfoHeader h;
    std::memcpy(&h, header_block, 40);
    switch (h.bit_count) {
    case 24: return DibFormatRgb24;
    case 16: return DibFormatRgb555;
    case 1:
    case 4:
    case 8:
        return static_cast<DibFormat>((DibIsGrey(header_block) ? 0x40 : 0x80) | h.bit_count);
    default: return DibFormatUnsupported;
    }
}

DibFormat DibFormatOf(const Dib& dib) { return DibFormatOf(dib.header); }

BitmapInfoHeader* DibHeader(const Dib& dib) {
    return reinterpret_cast<BitmapInfoHeader*>(dib.header);
}

int DibWidth(const Dib& dib) {
    return dib.header ? static_cast<int>(abs64(DibHeader(dib)->width)) : 0;
}

int DibHeight(const Dib& dib) {
    return dib.header ? static_cast<int>(abs64(DibHeader(dib)->height)) : 0;
}

int DibBitCount(const Dib& dib) { return dib.header ? DibHeader(dib)->bit_count : 0; }

int DibStride(const Dib& dib) {
    return dib.header ? static_cast<int>(DibStrideFor(DibHeader(dib)->width, DibBitCount(dib)))
                      : 0;
}

std::size_t DibImageSize(const Dib& dib) {
    return static_cast<std::size_t>(DibStride(dib)) * static_cast<std::size_t>(DibHeight(dib));
}

int DibColourTableSize(const Dib& dib) {
    const int bits = DibBitCount(dib);
    return bits >= 1 && bits <= 8 ? 1 << bits : 0;
}

RgbQuad* DibColourTable(const Dib& dib) {
    if (DibColourTableSize(dib) == 0) return nullptr;
    return reinterpret_cast<RgbQuad*>(dib.header + 40);
}

std::uint8_t* DibRow(const Dib& dib, int row) {
    if (!dib.pixels) return nullptr;
    return dib.pixels + static_cast<std::size_t>(row) * static_cast<std::size_t>(DibStride(dib));
}

}  // namespace qelvio::imaging
