// The in-memory bitmap every picture lives in, its pixel formats, the
// progress-and-cancel callback of long pixel operations, and the scan-line
// converters decoders use to produce bitmap rows.
//
// A Dib holds a device-independent bitmap: a 40-byte little-endian bitmap
// header followed by the colour table (1, 4, 8 bits: always the full
// 2^bitcount entries) or three channel masks (16 bits), and a block of pixel
// rows stored bottom-up, each padded to a multiple of 4 bytes.
//
// Pixel layouts of one row:
//   1 bit   8 pixels a byte, leftmost pixel in the most significant bit
//   4 bits  2 pixels a byte, leftmost pixel in the high nibble
//   8 bits  1 byte a pixel (colour-table index)
//   16 bits little-endian u16, 5-5-5: blue bits 0-4, green 5-9, red 10-14
//   24 bits blue, green, red
//
// Threading: a Dib is a plain value with no internal locking. Distinct Dibs
// may be used on distinct threads; one Dib must not be changed while another
// thread reads it. Every image operation leaves its source untouched.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace qelvio::imaging {

// The 40-byte bitmap header (published device-independent bitmap layout).
struct BitmapInfoHeader {
    std::uint32_t size;         // 40
    std::int32_t width;         // read as its absolute value
    std::int32_t height;        // read as its absolute value; positive = bottom-up
    std::uint16_t planes;       // 1
    std::uint16_t bit_count;    // 1, 4, 8, 16 or 24
    std::uint32_t compression;  // 0 plain, 3 16-bit with channel masks
    std::uint32_t image_size;
    std::int32_t x_pels_per_meter;
    std::int32_t y_pels_per_meter;
    std::uint32_t colours_used;
    std::uint32_t colours_important;
};
static_assert(sizeof(BitmapInfoHeader) == 40);

inline constexpr std::uint32_t kCompressionPlain = 0;
inline constexpr std::uint32_t kCompressionBitfields = 3;

// One colour-table entry as stored after the header.
struct RgbQuad {
    std::uint8_t blue;
    std::uint8_t green;
    std::uint8_t red;
    std::uint8_t reserved;
};
static_assert(sizeof(RgbQuad) == 4);

// The platform bitmap object: its description (the 40-byte header it was
// made for) and the pixel memory it owns. Made by DibBitmapCreate, released
// by DibBitmapDestroy (or by the Dib that adopted it).
struct DibBitmap {
    BitmapInfoHeader info;
    std::uint8_t* bits;
    std::size_t size;  // bytes of pixel memory: stride x height
};

// A logical palette built from a colour table (version 0x300).
struct PaletteEntry {
    std::uint8_t red;
    std::uint8_t green;
    std::uint8_t blue;
    std::uint8_t flags;
};
struct DibPalette {
    std::uint16_t version;  // 0x300
    std::uint16_t count;    // 2^bitcount
    PaletteEntry entries[256];
};

// The bitmap: four members, each owned by the Dib. A Dib whose bitmap is
// null holds no image; that is a failure everywhere. Move-only; destroying
// it releases what it holds.
struct Dib {
    DibBitmap* bitmap = nullptr;     // null: no image
    std::uint8_t* header = nullptr;  // header block: BitmapInfoHeader + table or masks
    std::uint8_t* pixels = nullptr;  // first byte of the bitmap's pixel memory
    DibPalette* palette = nullptr;   // paletted images after DibMakePalette, else null

    Dib() = default;
    ~Dib();
    Dib(Dib&& other) noexcept;
    Dib& operator=(Dib&& other) noexcept;
    Dib(const Dib&) = delete;
    Dib& operator=(const Dib&) = delete;

    explicit operator bool() const { return bitmap != nullptr; }
};

using DibPtr = std::unique_ptr<Dib>;

// A rectangle: left and top inclusive, right and bottom exclusive.
struct DibRect {
    int left;
    int top;
    int right;
    int bottom;
};

// One-byte summary of a header's pixel format. Bit 0x80 colour palette,
// 0x40 grey palette, 0x20 direct colour; low four bits: bits per index or
// per channel.
enum DibFormat : std::uint8_t {
    DibFormatUnsupported = 0,
    DibFormatGrey1 = 0x41,
    DibFormatGrey4 = 0x44,
    DibFormatGrey8 = 0x48,
    DibFormatColour1 = 0x81,
    DibFormatColour4 = 0x84,
    DibFormatColour8 = 0x88,
    DibFormatRgb555 = 0x25,
    DibFormatRgb24 = 0x28,
};

// Progress and cancel for long operations: called as (user data, done,
// total); return nonzero to go on, 0 to cancel. The user data is one integer
// wide enough to carry a pointer. Each operation states its counting mode:
//   percent mode: total 100, done the completed percentage, called only when
//                 the integer percentage grew since the previous row;
//   row mode:     done = source rows consumed so far, total = source rows.
// The callback runs on the thread that called the operation.
using ProgressCallback = int (*)(std::intptr_t user, int done, int total);

// ---- platform bitmap -----------------------------------------------------

// Pixel memory allocator used for every bitmap and every temporary block of
// the image operations. The default uses the C heap. Tests install one that
// fails to check that every operation survives a refusal. Not thread-safe
// to change while operations run; set it before, restore it after. A block
// must be released while the allocator that made it is installed.
struct DibAllocator {
    void* (*allocate)(std::size_t bytes);  // null on failure; memory zero-filled
    void (*release)(void* block);
};

// Installs an allocator (null members restore the default); returns the
// previous one.
DibAllocator DibSetAllocator(DibAllocator allocator);

// Allocates zero-filled memory through the installed allocator; null on
// failure or when bytes is 0.
void* DibAllocate(std::size_t bytes);
void DibRelease(void* block);

// Stride (bytes per stored row) for a width and bit count: rows padded to 4
// bytes. Width is taken as its absolute value. 0 for a bad width or a row
// that would not fit in 31 bits.
std::int64_t DibStrideFor(std::int64_t width, int bit_count);

// Makes a bitmap object over a header: zero-filled pixel memory of
// stride x height bytes. Null for a width or height of 0, an unsupported bit
// count, a size that does not fit in 31 bits, or no memory.
DibBitmap* DibBitmapCreate(const BitmapInfoHeader& header);
void DibBitmapDestroy(DibBitmap* bitmap);

// ---- the Dib operations --------------------------------------------------

// Releases whatever dib held and builds a new image: a zero-filled header
// block (40 + 4 x 2^bitcount bytes for paletted images, 52 for 16-bit with
// compression 3 and the 5-5-5 masks), a bitmap over it, then copies up to
// `entries` colour-table entries and stride x height bytes of pixels when
// given. Returns true on success; on failure (no memory, width or height 0,
// negative sizes, bit count other than 1, 4, 8, 16, 24) dib stays empty.
bool DibCreate(Dib& dib, int width, int height, int bit_count, int entries,
               const RgbQuad* colours = nullptr, const void* pixels = nullptr);

// A new Dib with the source's size, bit count, full colour table and pixels;
// null if the source is empty or memory runs out.
DibPtr DibCopy(const Dib& source);

// Builds dib from a decoder's packed block: 40 header bytes, 12 mask bytes
// when compression is 3, the colour table (4 x 2^bitcount bytes for bit
// counts up to 8), then the pixels. When `bitmap` is given the Dib adopts it
// (its pixel memory holds the pixels; nothing is copied) and takes ownership
// even on failure. 16-bit pixels with masks are converted to 5-5-5 and the
// header then says compression 0. `packed_size` bounds every read. Builds the
// palette. Returns true on success; on failure dib stays empty.
bool DibFromPacked(Dib& dib, const std::uint8_t* packed, std::size_t packed_size,
                   DibBitmap* bitmap = nullptr);

// Takes over a bitmap object the caller made (a 24-bit bitmap just drawn
// into): copies its 40-byte description into a new header block and adopts
// its pixel memory. Ownership passes to dib even on failure.
bool DibFromBitmap(Dib& dib, DibBitmap* bitmap);

// Frees the header block, the bitmap and the palette; dib becomes empty.
void DibDestroy(Dib& dib);

// Rebuilds the logical palette from the colour table (bit counts up to 8);
// above 8 bits leaves none.
void DibMakePalette(Dib& dib);

class DrawingTarget;

// Draws the source rectangle (picture coordinates; null = whole image) into
// the destination rectangle of the target: a plain copy when the sizes
// match, a stretched copy otherwise; every image shows its palette's colours.
// Returns 1 if the target copied, 0 otherwise or when dib is empty.
int DibDraw(const Dib& dib, DrawingTarget& target, const DibRect& destination,
            const DibRect* source = nullptr);

// A 24-bit copy of the image: 16-bit channels by the plain shift (v x 8),
// paletted pixels through the colour table. A 24-bit source gives a plain
// copy. Row mode progress (done = index of the row just converted; the
// answer is ignored). Null for unsupported bit counts or no memory.
DibPtr DibToTrueColor(const Dib& source, ProgressCallback progress = nullptr,
                      std::intptr_t user = 0);

// A 16-bit (5-5-5) copy of a 24-bit image, each channel cut to its top
// five bits: the format of a 16-bit screen. Null for other bit counts or no
// memory.
DibPtr DibTo16Bit(const Dib& source);

// Format code of a header block (header followed by its colour table).
DibFormat DibFormatOf(const std::uint8_t* header_block);
DibFormat DibFormatOf(const Dib& dib);

// True when every one of the 2^bitcount colour-table entries has
// blue = green = red; never for images above 8 bits.
bool DibIsGrey(const std::uint8_t* header_block);
bool DibIsGrey(const Dib& dib);

// Accessors; all return 0 (or null) for an empty Dib.
BitmapInfoHeader* DibHeader(const Dib& dib);
int DibWidth(const Dib& dib);   // absolute
int DibHeight(const Dib& dib);  // absolute
int DibBitCount(const Dib& dib);
int DibStride(const Dib& dib);
std::size_t DibImageSize(const Dib& dib);  // stride x height
int DibColourTableSize(const Dib& dib);    // 2^bitcount up to 8 bits, else 0
RgbQuad* DibColourTable(const Dib& dib);   // null above 8 bits
// Start of stored row `row` (0 = first row in memory = bottom of picture).
std::uint8_t* DibRow(const Dib& dib, int row);

// ---- row converters --------------------------------------------------------
//
// Scan-line converters turning decoder samples into Dib rows. Each takes a
// source row, a destination row and a pixel (or sample) count; the in-place
// reversals take one row. The caller sizes both rows.

using RowConverter = void (*)(const std::uint8_t* source, std::uint8_t* destination,
                              int count);

// 512 bytes: 256 zeros, then 0 to 255. Index 256 + v gives v for 0..255.
using CmykTable = std::array<std::uint8_t, 512>;
void CmykTableBuild(CmykTable& table);

// c, m, y, k bytes to blue, green, red; `invert` first replaces each by
// 255 - value. x' = ((255 - k) x x) / 255; out = 255 - table[256 + x' + k].
void row_cmyk_to_bgr(const std::uint8_t* source, std::uint8_t* destination, int count,
                     bool invert, const CmykTable& table);
// red, green, blue, ignored byte to blue, green, red.
void row_rgbx_to_bgr(const std::uint8_t* source, std::uint8_t* destination, int count);
// 2 bytes a pixel, red/green/blue nibbles, to blue, green, red (nibble x 16).
void row_444_to_bgr(const std::uint8_t* source, std::uint8_t* destination, int count);
// Pairs of 12-bit samples in 3 bytes to (v + 7) >> 4 limited to 255; invert
// gives 255 - that.
void row_grey12_to_8(const std::uint8_t* source, std::uint8_t* destination, int count,
                     bool invert);
// 2 bytes a sample: the first byte, or the second with `second_byte`;
// invert gives its complement.
void row_grey16_to_8(const std::uint8_t* source, std::uint8_t* destination, int count,
                     bool second_byte, bool invert);
// 4 pixels a byte (first in the top two bits) to one byte 0..3 a pixel.
void row_unpack2(const std::uint8_t* source, std::uint8_t* destination, int count);
// One byte (0 or 1) a pixel to 8 pixels a byte, first in the top bit; a
// final partial byte is left-aligned.
void row_pack1(const std::uint8_t* source, std::uint8_t* destination, int count);
// One byte (0..15) a pixel to 2 pixels a byte, first in the high nibble.
void row_pack4(const std::uint8_t* source, std::uint8_t* destination, int count);
// Reverses a string of `count` bits in place, bits numbered from the least
// significant bit of each byte.
void row_reverse1(std::uint8_t* row, int count);
// Reverses `count` bytes in place.
void row_reverse8(std::uint8_t* row, int count);
// Reverses `count` 3-byte pixels in place, keeping each pixel's byte order.
void row_reverse24(std::uint8_t* row, int count);

}  // namespace qelvio::imaging
