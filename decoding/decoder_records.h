// The plain records that cross a decoder module's boundary: format rows,
// module information, the data source a decoder reads, image and page facts,
// decode requests and results, and the row-decoding records.
#pragma once

#include "decoding/format_id.h"
#include "imaging/dib.h"

#include <cstdint>

namespace qelvio::decoding {

// FormatEntry::flags: the format supports indexed region decoding.
inline constexpr std::uint32_t kFormatRegionDecoding = 2;

// One image format a module reads.
struct FormatEntry {
    std::uint32_t flags;
    FormatId format;
    char16_t display_name[40];
    char16_t short_name[8];          // the sort key of format lists
    const char16_t* extensions;      // "JPG\0JPEG\0\0": each terminated, then an empty one
    char16_t default_extension[8];
    std::uint32_t colour;            // 0x00BBGGRR
    std::uint32_t index;             // inside its module, from 1
    const char16_t* mime_type;
};

inline constexpr std::uint32_t kPluginInterfaceVersion = 100;

// What a module describes about itself.
struct PluginInfo {
    std::uint32_t reserved0;
    std::uint32_t version;           // kPluginInterfaceVersion
    char16_t module_name[40];        // empty for the built-in module
    std::uint32_t reserved1;
    std::uint32_t format_count;
    const FormatEntry* formats;
};

// ImageDataSource::flags: the whole file is in memory.
inline constexpr std::uint32_t kSourceInMemory = 1;

// Makes the first n bytes available where it can; stores the bytes now
// available (never more than the size) in *available when given; nonzero
// for success.
using EnsureCallback = int (*)(void* user, std::uint32_t n, std::uint32_t* available);

// The bytes a decoder reads: only through data, and only as far as ensure
// has reported them available. Copied by value into each decoder.
struct ImageDataSource {
    std::uint32_t flags;
    const char16_t* name;            // the file's full name, may be null
    const std::uint8_t* data;
    std::uint32_t size;
    EnsureCallback ensure;
    void* user;
};

// ImageInfo::flags
inline constexpr std::uint32_t kImageMultiPage = 1;
inline constexpr std::uint32_t kImageAnimated = 2;
inline constexpr std::uint32_t kImageHasAudio = 4;
inline constexpr std::uint32_t kImageBaseline = 8;

// Facts of an opened file.
struct ImageInfo {
    std::uint32_t flags;
    FormatId format;
    std::uint32_t width;
    std::uint32_t height;
    std::uint32_t bits_per_sample;
    std::uint32_t samples_per_pixel;
    std::uint32_t pages;
};

// PageInfo::flags
inline constexpr std::uint32_t kPageDirectColour = 1;
inline constexpr std::uint32_t kPageGrey = 2;
inline constexpr std::uint32_t kPagePalette = 4;
inline constexpr std::uint32_t kPageJpegTiff = 0x20;

// Facts of one page; the six fields first, then room for decoder data.
struct PageInfo {
    std::uint32_t flags;
    std::uint32_t width;
    std::uint32_t height;
    std::uint32_t bits_per_sample;
    std::uint32_t samples_per_pixel;
    std::uint32_t delay;             // milliseconds (GIF frames)
    std::uint32_t decoder_data[10];
};

// DecodeRequest::flags
inline constexpr std::uint32_t kDecodeRegion = 1;
inline constexpr std::uint32_t kDecodeRecordIndex = 2;
inline constexpr std::uint32_t kDecodeNoThumbnail = 4;
inline constexpr std::uint32_t kDecodeIndexOnly = 8;

// Called before producing a row: (user, row about to be produced from 1,
// total rows); zero cancels the decode.
using ProgressCallback = imaging::ProgressCallback;

struct DecodeRequest {
    std::uint32_t flags;
    std::uint32_t page;              // from 0
    std::int32_t source[4];          // left, top, right, bottom (with kDecodeRegion)
    std::uint32_t target_width;      // 0 = full size
    std::uint32_t target_height;
    ProgressCallback progress;       // may be null
    std::intptr_t user;
    std::uint32_t reserved;
    void* region_index;
};

// Zeroed by the caller. On success the caller owns header (release with
// imaging::DibRelease), bitmap (imaging::DibBitmapDestroy) and the index;
// on failure the decoder leaves them empty. release_decode_result frees all.
struct DecodeResult {
    std::uint32_t reserved;
    std::uint8_t* header;            // 40-byte header + colour table or masks
    imaging::DibBitmap* bitmap;      // the pixels, rows as the header says
    std::int32_t decoded[4];         // left, top, right, bottom (with kDecodeRegion)
    void* region_index;
};

// Row decoding: the format of the rows to come.
struct RowFormat {
    std::uint32_t kind;              // 1
    std::uint32_t width;
    std::uint32_t height;
    std::uint32_t bit_count;
    std::uint32_t colour_count;      // entries used in colours
    imaging::RgbQuad colours[256];
};

// Row decoding: one produced row.
struct RowOutput {
    std::int32_t rect[4];            // left, top, right, bottom of the row
    const std::uint8_t* row;         // owned by the decoder, valid until the next call
    std::uint32_t number;            // row index + 1
    std::uint32_t total;
};

// Extract-audio request: the second word names the file to create.
struct AudioRequest {
    std::uint32_t reserved;
    const char16_t* path;
};

}  // namespace qelvio::decoding
