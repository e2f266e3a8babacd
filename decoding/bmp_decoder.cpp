#include "decoding/bmp_decoder.h"

#include "decoding/bitmap_output.h"
#include "decoding/refusal.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace qelvio::decoding {
namespace {

std::uint16_t le16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }
std::uint32_t le32(const std::uint8_t* p) {
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
           std::uint32_t{p[3]} << 24;
}

constexpr std::uint32_t kPlain = 0, kRle8 = 1, kRle4 = 2, kBitFields = 3;

}  // namespace

int BmpDecoder::parse_header() {
    std::uint8_t file_header[14];
    std::uint8_t info[40] = {};
    if (reader_.seek(0) || reader_.read(file_header, 14)) return kDecodeTruncated;
    bool signature = (file_header[0] == 'B' && file_header[1] == 'M') ||
                     (file_header[0] == 'M' && file_header[1] == 'B');
    if (!signature) return kDecodeCorrupt;
    // The header's size comes first; a small core-header file can be shorter
    // than 40 bytes after the file header, so only the header itself is read.
    if (reader_.read(info, 4)) return kDecodeTruncated;
    pixel_offset_ = le32(file_header + 10);
    header_size_ = le32(info);
    if (reader_.read(info + 4, header_size_ == 12 ? 8 : 36)) return kDecodeTruncated;
    if (header_size_ == 12) {
        core_ = true;
        width_ = le16(info + 4);
        height_ = le16(info + 6);
        bits_ = le16(info + 10);
        compression_ = kPlain;
        colours_used_ = 0;
    } else if (header_size_ == 40 || header_size_ == 52 || header_size_ == 56 || header_size_ == 64 ||
               header_size_ == 108 || header_size_ == 124) {
        // 52 and 56 (the 40-byte header followed by its three or four
        // masks), 108 and 124 (version 4 and 5 headers) start with the
        // 40-byte layout; the last two are common in files written by
        // today's programs.
        width_ = static_cast<std::int32_t>(le32(info + 4));
        height_ = static_cast<std::int32_t>(le32(info + 8));
        bits_ = le16(info + 14);
        compression_ = le32(info + 16);
        colours_used_ = le32(info + 32);
    } else {
        return refuse(kDecodeCorrupt, kReasonBmpKind);
    }
    // The file is a BMP from here on: a refusal says why.
    static constexpr std::uint16_t valid_bits[] = {1, 4, 8, 15, 16, 24, 32};
    if (std::find(std::begin(valid_bits), std::end(valid_bits), bits_) == std::end(valid_bits))
        return refuse(kDecodeCorrupt, kReasonBmpKind);
    if (compression_ > kBitFields) return refuse(kDecodeCorrupt, kReasonBmpKind);
    // Each compression belongs to its bit depths; any other pairing would
    // write pixels of the wrong size.
    if ((compression_ == kRle8 && bits_ != 8) || (compression_ == kRle4 && bits_ != 4) ||
        (compression_ == kBitFields && bits_ != 16 && bits_ != 32))
        return refuse(kDecodeCorrupt, kReasonBmpKind);
    if (width_ <= 0 || height_ == 0 || height_ == INT32_MIN) return refuse(kDecodeCorrupt, kReasonBmpSize);

    facts_ = {};
    facts_.format = kFormatBmp;
    facts_.width = static_cast<std::uint32_t>(width_);
    facts_.height = static_cast<std::uint32_t>(height_ < 0 ? -height_ : height_);
    facts_.pages = 1;
    if (bits_ <= 8) {
        facts_.bits_per_sample = bits_;
        facts_.samples_per_pixel = 1;
    } else if (bits_ <= 16) {
        facts_.bits_per_sample = 5;
        facts_.samples_per_pixel = 3;
    } else {
        facts_.bits_per_sample = 8;
        facts_.samples_per_pixel = bits_ == 24 ? 3 : 4;
    }
    return kDecodeOk;
}

int BmpDecoder::open(ImageInfo* info) {
    if (!opened_) {
        open_status_ = parse_header();
        opened_ = true;
    }
    if (open_status_ == kDecodeOk && info) *info = facts_;
    return open_status_;
}

int BmpDecoder::page_info(std::uint32_t page, PageInfo& info) {
    if (int st = open(nullptr)) return st;
    if (page != 0) return kDecodeNoSuchPage;
    info = {};
    info.flags = bits_ <= 8 ? kPagePalette : kPageDirectColour;
    info.width = facts_.width;
    info.height = facts_.height;
    info.bits_per_sample = facts_.bits_per_sample;
    info.samples_per_pixel = facts_.samples_per_pixel;
    return kDecodeOk;
}

int BmpDecoder::prepare() {
    if (bits_ == 15) return kDecodeCorrupt;  // passes the open check, never decodable
    out_bits_ = bits_ <= 8 ? bits_ : 24;
    const std::uint64_t source_row = bitmap_stride(facts_.width, bits_);
    const std::uint64_t out_row = bitmap_stride(facts_.width, static_cast<std::uint32_t>(out_bits_));
    // Uncompressed data must all be there; refuse before allocating.
    if ((compression_ == kPlain || compression_ == kBitFields) &&
        source_row * facts_.height > reader_.size())
        return kDecodeTruncated;
    if (!plausible_bitmap_size(out_row * facts_.height, reader_.size()))
        return refuse(kDecodeCorrupt, kReasonImplausibleSize);
    source_row_ = static_cast<std::uint32_t>(source_row);
    out_row_ = static_cast<std::uint32_t>(out_row);

    if (bits_ == 16 || bits_ == 32) {
        std::uint32_t masks[3];
        if (compression_ == kBitFields) {
            std::uint32_t at = header_size_ == 40 || header_size_ == 64 ? 14 + header_size_ : 14 + 40;
            std::uint8_t m[12];
            if (reader_.seek(at) || reader_.read(m, 12)) return kDecodeTruncated;
            for (int i = 0; i < 3; ++i) masks[i] = le32(m + 4 * i);
        } else if (bits_ == 32) {
            masks[0] = 0x00FF0000, masks[1] = 0x0000FF00, masks[2] = 0x000000FF;
        } else {
            masks[0] = 0x7C00, masks[1] = 0x03E0, masks[2] = 0x001F;
        }
        for (int i = 0; i < 3; ++i) {
            channels_[i].mask = masks[i];
            channels_[i].shift = masks[i] ? std::countr_zero(masks[i]) : 0;
            channels_[i].scale = 8 - std::popcount(masks[i]);
        }
    }
    end_of_bitmap_ = false;
    return kDecodeOk;
}

int BmpDecoder::read_colour_table(imaging::RgbQuad* table) {
    if (bits_ > 8) return kDecodeOk;
    std::uint32_t entries = 1u << bits_;
    std::uint32_t count = colours_used_ ? std::min(colours_used_, entries) : entries;
    std::uint32_t entry_size = core_ ? 3 : 4;
    if (reader_.seek(14 + header_size_)) return kDecodeTruncated;
    const std::uint8_t* p = reader_.take(count * entry_size);
    if (!p) return kDecodeTruncated;
    for (std::uint32_t i = 0; i < count; ++i, p += entry_size)
        table[i] = {p[0], p[1], p[2], static_cast<std::uint8_t>(core_ ? 0 : p[3])};
    return kDecodeOk;
}

void BmpDecoder::put_pixel(std::uint8_t* out, std::uint32_t x, std::uint8_t value) const {
    if (bits_ == 8) {
        out[x] = value;
    } else if (x & 1) {
        out[x / 2] = static_cast<std::uint8_t>((out[x / 2] & 0xF0) | (value & 0x0F));
    } else {
        out[x / 2] = static_cast<std::uint8_t>((out[x / 2] & 0x0F) | (value << 4));
    }
}

int BmpDecoder::rle_row(std::uint8_t* out) {
    const std::uint32_t width = facts_.width;
    std::uint32_t x = 0;
    for (;;) {
        const std::uint8_t* pair = reader_.take(2);
        if (!pair) return kDecodeTruncated;
        std::uint32_t n = pair[0], v = pair[1];
        if (n > 0) {
            // A run: one value (8-bit) or two alternating nibbles (4-bit);
            // pixels beyond the row are dropped.
            for (std::uint32_t i = 0; i < n && x < width; ++i, ++x) {
                std::uint8_t value = static_cast<std::uint8_t>(v);
                if (bits_ == 4) value = static_cast<std::uint8_t>(i & 1 ? v & 0x0F : v >> 4);
                put_pixel(out, x, value);
            }
        } else if (v == 0 || v == 1) {
            if (v == 1) end_of_bitmap_ = true;
            std::uint32_t at = reader_.position();
            const std::uint8_t* next = reader_.take(2);
            if (!next || next[0] != 0 || next[1] != 0) reader_.seek(at);
            return kDecodeOk;
        } else if (v == 2) {
            const std::uint8_t* delta = reader_.take(2);
            if (!delta) return kDecodeTruncated;
            x = std::min(width, x + delta[0]);
        } else {
            std::uint32_t bytes = bits_ == 8 ? v : (v + 1) / 2;
            const std::uint8_t* data = reader_.take(bytes);
            if (!data) return kDecodeTruncated;
            for (std::uint32_t i = 0; i < v && x < width; ++i, ++x) {
                std::uint8_t value = bits_ == 8       ? data[i]
                                     : (i & 1) != 0   ? static_cast<std::uint8_t>(data[i / 2] & 0x0F)
                                                      : static_cast<std::uint8_t>(data[i / 2] >> 4);
                put_pixel(out, x, value);
            }
            // Absolute runs are padded to a whole number of 16-bit words.
            if (bytes & 1) reader_.take(1);
        }
    }
}

int BmpDecoder::produce_row(std::uint8_t* out) {
    if (compression_ == kRle8 || compression_ == kRle4) {
        std::memset(out, 0, out_row_);
        return end_of_bitmap_ ? kDecodeOk : rle_row(out);
    }
    const std::uint8_t* row = reader_.take(source_row_);
    if (!row) return kDecodeTruncated;
    std::memcpy(out, row, out_row_);
    return kDecodeOk;
}

int BmpDecoder::PageDecode(const DecodeRequest& request, DecodeResult& result) {
    if (int st = open(nullptr)) return st;
    if (request.page != 0) return kDecodeNoSuchPage;
    if (int st = prepare()) return st;
    const std::uint32_t height = facts_.height;
    if (int st = create_output(width_, static_cast<std::int32_t>(height), out_bits_, result))
        return st;
    auto fail = [&](int st) {
        release_decode_result(result);
        return st;
    };
    if (int st = read_colour_table(header_colours(result.header))) return fail(st);
    if (reader_.seek(pixel_offset_)) return fail(kDecodeTruncated);

    const bool row_progress = bits_ > 24 || bits_ == 16 || compression_ != kPlain;
    if (!row_progress && request.progress && !request.progress(request.user, 1, 1))
        return fail(kDecodeCancelled);
    for (std::uint32_t r = 0; r < height; ++r) {
        if (row_progress && request.progress &&
            !request.progress(request.user, static_cast<int>(r + 1), static_cast<int>(height)))
            return fail(kDecodeCancelled);
        // The file's rows come bottom-up unless its height is negative; the
        // bitmap is always bottom-up.
        std::uint32_t target = height_ < 0 ? height - 1 - r : r;
        std::uint8_t* out = result.bitmap->bits + std::size_t{target} * out_row_;
        if (int st = bits_ == 16 || bits_ == 32 ? convert_row(out) : produce_row(out))
            return fail(st);
    }
    return kDecodeOk;
}

int BmpDecoder::convert_row(std::uint8_t* out) {
    const std::uint8_t* row = reader_.take(source_row_);
    if (!row) return kDecodeTruncated;
    auto channel = [](std::uint32_t v, const Channel& c) {
        v &= c.mask;
        v >>= c.shift;
        v = c.scale >= 0 ? v << c.scale : v >> -c.scale;
        return static_cast<std::uint8_t>(v);
    };
    for (std::uint32_t x = 0; x < facts_.width; ++x) {
        std::uint32_t v = bits_ == 16 ? le16(row + 2 * std::size_t{x}) : le32(row + 4 * std::size_t{x});
        out[3 * x] = channel(v, channels_[2]);
        out[3 * x + 1] = channel(v, channels_[1]);
        out[3 * x + 2] = channel(v, channels_[0]);
    }
    return kDecodeOk;
}

int BmpDecoder::begin_row_decoding(const DecodeRequest& request, RowFormat& format) {
    if (int st = open(nullptr)) return st;
    if (request.page != 0) return kDecodeNoSuchPage;
    if (int st = prepare()) return st;
    format = {};
    format.kind = 1;
    format.width = facts_.width;
    format.height = facts_.height;
    format.bit_count = static_cast<std::uint32_t>(out_bits_);
    format.colour_count = bits_ <= 8 ? 1u << bits_ : 0;
    if (int st = read_colour_table(format.colours)) return st;
    if (reader_.seek(pixel_offset_)) return kDecodeTruncated;
    row_buffer_.assign(out_row_, 0);
    rows_done_ = 0;
    return kDecodeOk;
}

int BmpDecoder::read_row(RowOutput& row) {
    if (row_buffer_.empty()) return kDecodeNotOpened;
    if (rows_done_ >= facts_.height) return kDecodeNotOpened;
    int st = bits_ == 16 || bits_ == 32 ? convert_row(row_buffer_.data())
                                        : produce_row(row_buffer_.data());
    if (st) return st;
    // Rows come in file order: bottom row first unless the file is top-down.
    std::int32_t y = height_ < 0 ? static_cast<std::int32_t>(rows_done_)
                                 : static_cast<std::int32_t>(facts_.height - 1 - rows_done_);
    row.rect[0] = 0;
    row.rect[1] = y;
    row.rect[2] = static_cast<std::int32_t>(facts_.width);
    row.rect[3] = y + 1;
    row.row = row_buffer_.data();
    row.number = ++rows_done_;
    row.total = facts_.height;
    return kDecodeOk;
}

}  // namespace qelvio::decoding
