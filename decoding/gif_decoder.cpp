#include "decoding/gif_decoder.h"

#include "decoding/bitmap_output.h"
#include "decoding/refusal.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace qelvio::decoding {
namespace {

std::uint16_t le16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }

}  // namespace

// ---- header and blocks ------------------------------------------------------

int GifDecoder::parse_header() {
    const std::uint8_t* sig = reader_.take(6);
    if (!sig) return kDecodeTruncated;
    if (std::memcmp(sig, "GIF87a", 6) != 0 && std::memcmp(sig, "GIF89a", 6) != 0)
        return kDecodeCorrupt;
    gif89a_ = sig[4] == '9';
    const std::uint8_t* screen = reader_.take(7);
    if (!screen) return kDecodeTruncated;
    screen_width_ = le16(screen);
    screen_height_ = le16(screen + 2);
    screen_flags_ = screen[4];
    background_ = screen[5];
    if (screen_flags_ & 0x80) {
        std::uint32_t bytes = 3u << ((screen_flags_ & 7) + 1);
        if (reader_.read(global_.data(), bytes)) return kDecodeTruncated;
    }
    state_ = kScreen;
    if (int st = read_blocks(true)) return st;

    animated_ = gif89a_ || (has_gce_ && (gce_delay_ != 0 || ((gce_flags_ >> 2) & 7) != 0));
    if (screen_width_ == 0 || screen_height_ == 0) return kDecodeCorrupt;
    facts_ = {};
    facts_.flags = animated_ ? kImageAnimated : 0;
    facts_.format = kFormatGif;
    facts_.width = screen_width_;
    facts_.height = screen_height_;
    facts_.bits_per_sample = static_cast<std::uint32_t>(table_field() + 1);
    facts_.samples_per_pixel = 1;
    facts_.pages = 1;
    return kDecodeOk;
}

int GifDecoder::skip_sub_blocks() {
    for (;;) {
        int n = reader_.byte();
        if (n < 0) return kDecodeTruncated;
        if (n == 0) return kDecodeOk;
        if (reader_.skip(static_cast<std::uint32_t>(n))) return kDecodeTruncated;
    }
}

// Reads extension blocks up to the next image descriptor. At open a trailer
// or an unknown block means the file holds no image (kDecodeCorrupt); later
// it means there is no further page.
int GifDecoder::read_blocks(bool at_open) {
    const int no_image = at_open ? kDecodeCorrupt : kDecodeNoSuchPage;
    for (;;) {
        int b = reader_.byte();
        if (b < 0) return kDecodeTruncated;
        if (b == 0x2C) return read_descriptor();
        if (b == 0x21) {
            int label = reader_.byte();
            if (label < 0) return kDecodeTruncated;
            if (label == 0xF9) {
                int n = reader_.byte();
                if (n < 0) return kDecodeTruncated;
                const std::uint8_t* gce = reader_.take(static_cast<std::uint32_t>(n));
                if (!gce) return kDecodeTruncated;
                if (n >= 4) {
                    has_gce_ = true;
                    gce_flags_ = gce[0];
                    gce_delay_ = le16(gce + 1);
                    transparent_ = gce[3];
                    std::uint32_t global_size =
                        screen_flags_ & 0x80 ? 2u << (screen_flags_ & 7) : 0;
                    if (background_ >= global_size) background_ = 0;
                }
            }
            if (int st = skip_sub_blocks()) return st;
            continue;
        }
        if (b != 0x3B) skip_sub_blocks();
        return no_image;
    }
}

int GifDecoder::read_descriptor() {
    const std::uint8_t* d = reader_.take(9);
    if (!d) return kDecodeTruncated;
    left_ = le16(d);
    top_ = le16(d + 2);
    width_ = le16(d + 4);
    height_ = le16(d + 6);
    image_flags_ = d[8];
    if (screen_width_ == 0) screen_width_ = left_ + width_;
    if (screen_height_ == 0) screen_height_ = top_ + height_;

    // The previous image's disposal happens before this one is drawn.
    if (!canvas_.empty()) {
        for (std::uint32_t y = prev_top_; y < prev_top_ + prev_height_; ++y) {
            std::size_t at = std::size_t{y} * screen_width_ + prev_left_;
            if (previous_disposal_ == 2) {
                std::memset(&canvas_[at], background_, prev_width_);
                if (mixed_tables_) {
                    std::uint8_t rgb[3] = {};
                    if (screen_flags_ & 0x80) std::memcpy(rgb, &global_[3 * std::size_t{background_}], 3);
                    for (std::uint32_t x = 0; x < prev_width_; ++x)
                        std::memcpy(&colour_canvas_[3 * (at + x)], rgb, 3);
                }
            } else if (previous_disposal_ == 3) {
                std::memcpy(&canvas_[at], &saved_[at], prev_width_);
                if (mixed_tables_)
                    std::memcpy(&colour_canvas_[3 * at], &colour_saved_[3 * at], 3 * std::size_t{prev_width_});
            }
        }
        saved_ = canvas_;
        if (mixed_tables_) colour_saved_ = colour_canvas_;
    }
    disposal_ = has_gce_ ? (gce_flags_ >> 2) & 7 : 0;
    interlaced_ = (image_flags_ & 0x40) != 0;
    frame_left_ = std::min(screen_width_, left_);
    frame_top_ = std::min(screen_height_, top_);
    frame_width_ = std::min(screen_width_ - frame_left_, width_);
    frame_height_ = std::min(screen_height_ - frame_top_, height_);
    ++image_number_;
    if (!gif89a_ && image_number_ == 0) {
        // In an 87a file the first image defines the screen.
        screen_width_ = width_;
        screen_height_ = height_;
        frame_left_ = frame_top_ = 0;
        frame_width_ = width_;
        frame_height_ = height_;
        left_ = top_ = 0;
    }
    previous_disposal_ = disposal_;
    prev_left_ = frame_left_, prev_top_ = frame_top_;
    prev_width_ = frame_width_, prev_height_ = frame_height_;
    if (image_flags_ & 0x80) {
        std::uint32_t bytes = 3u << ((image_flags_ & 7) + 1);
        if (reader_.read(local_.data(), bytes)) return kDecodeTruncated;
    }
    state_ = kDescriptor;
    rows_ready_ = false;
    return kDecodeOk;
}

int GifDecoder::advance_to_next_image() {
    if (state_ == kDescriptor) {
        if (reader_.skip(1)) return kDecodeTruncated;  // LZW root code size
        if (int st = skip_sub_blocks()) return st;
    } else if (state_ == kData && !lzw_.ended) {
        if (int st = skip_sub_blocks()) return st;
    }
    state_ = kScreen;
    return read_blocks(false);
}

int GifDecoder::table_field() const {
    return image_flags_ & 0x80 ? image_flags_ & 7 : screen_flags_ & 7;
}

const std::uint8_t* GifDecoder::current_table() const {
    if (image_flags_ & 0x80) return local_.data();
    return screen_flags_ & 0x80 ? global_.data() : nullptr;
}

int GifDecoder::output_bits() const {
    if (mixed_tables_) return 24;
    int s = table_field();
    return s == 0 ? 1 : s <= 3 ? 4 : 8;
}

int GifDecoder::open(ImageInfo* info) {
    if (!opened_) {
        opened_ = true;
        open_status_ = parse_header();
    }
    if (open_status_ == kDecodeOk && info) *info = facts_;
    return open_status_;
}

int GifDecoder::page_info(std::uint32_t page, PageInfo& info) {
    if (int st = open(nullptr)) return st;
    if (page > 0xFFFF || static_cast<int>(page) < image_number_) return kDecodeNoSuchPage;
    while (image_number_ < static_cast<int>(page))
        if (int st = advance_to_next_image()) return st;
    info = {};
    info.flags = kPagePalette;
    info.width = screen_width_;
    info.height = screen_height_;
    info.bits_per_sample = static_cast<std::uint32_t>(table_field() + 1);
    info.samples_per_pixel = 1;
    info.delay = has_gce_ ? gce_delay_ * 10u : 0;
    return kDecodeOk;
}

// ---- LZW ---------------------------------------------------------------------

void GifDecoder::lzw_reset() {
    lzw_.code_size = lzw_.root + 1;
    lzw_.limit = 2 * lzw_.clear;
    lzw_.next = lzw_.clear + 2;
    lzw_.sp = 0;
}

// The next code, least significant bit first across the data sub-blocks;
// the end code once the terminator is met; -1 when the data runs out.
int GifDecoder::read_code() {
    Lzw& z = lzw_;
    while (z.bit_count - z.bit_pos < z.code_size) {
        if (z.ended) return z.end;
        int keep_from = z.bit_pos / 8;
        int keep = z.bit_count / 8 - keep_from;
        std::memmove(z.buffer.data(), z.buffer.data() + keep_from, static_cast<std::size_t>(keep));
        z.bit_pos -= keep_from * 8;
        int n = reader_.byte();
        if (n < 0) return -1;
        if (n == 0) {
            z.ended = true;
            z.bit_count = keep * 8;
            return z.end;
        }
        if (reader_.read(z.buffer.data() + keep, static_cast<std::uint32_t>(n))) return -1;
        z.bit_count = (keep + n) * 8;
    }
    int code = 0;
    for (int i = 0; i < z.code_size; ++i, ++z.bit_pos)
        code |= ((z.buffer[static_cast<std::size_t>(z.bit_pos / 8)] >> (z.bit_pos % 8)) & 1) << i;
    return code;
}

// The next pixel of the image; -1 when the data runs out.
int GifDecoder::next_pixel() {
    Lzw& z = lzw_;
    if (z.sp > 0) return z.stack[static_cast<std::size_t>(--z.sp)];
    if (z.zeros) return 0;
    int code = z.first_code ? z.clear : read_code();
    z.first_code = false;
    if (code < 0) return -1;
    if (code == z.clear) {
        lzw_reset();
        do {
            code = read_code();
            if (code < 0) return -1;
        } while (code == z.clear);
        if (code == z.end) {
            z.zeros = true;
            return 0;
        }
        if (code > z.clear) code = 0;
        z.old_code = z.first = code;
        return code;
    }
    if (code == z.end) {
        if (!z.ended) {
            skip_sub_blocks();
            z.ended = true;
        }
        z.zeros = true;
        return 0;
    }
    int incoming = code;
    if (code >= z.next) {
        z.stack[static_cast<std::size_t>(z.sp++)] = static_cast<std::uint8_t>(z.first);
        incoming = code == z.next ? code : 0;
        code = z.old_code;
    }
    while (code >= z.clear && z.sp < static_cast<int>(z.stack.size())) {
        z.stack[static_cast<std::size_t>(z.sp++)] = z.suffix[static_cast<std::size_t>(code)];
        code = z.prefix[static_cast<std::size_t>(code)];
    }
    z.first = code & 0xFF;
    if (z.next < 4096) {
        z.prefix[static_cast<std::size_t>(z.next)] = static_cast<std::uint16_t>(z.old_code);
        z.suffix[static_cast<std::size_t>(z.next)] = static_cast<std::uint8_t>(z.first);
        ++z.next;
        if (z.next >= z.limit && z.code_size < 12) {
            ++z.code_size;
            z.limit *= 2;
        }
    }
    z.old_code = incoming;
    return z.first;
}

// ---- rows ----------------------------------------------------------------------

int GifDecoder::start_image() {
    if (state_ == kData) {
        if (int st = advance_to_next_image()) return st;
    }
    if (state_ != kDescriptor) return kDecodeNotOpened;
    int root = reader_.byte();
    if (root < 0) return kDecodeTruncated;
    if (root < 2 || root > 11) return kDecodeCorrupt;
    state_ = kData;
    lzw_ = Lzw{};
    lzw_.root = root;
    lzw_.clear = 1 << root;
    lzw_.end = lzw_.clear + 1;
    lzw_reset();

    const std::uint64_t pixels = std::uint64_t{screen_width_} * screen_height_;
    const std::uint8_t* table = current_table();
    std::array<std::uint8_t, 768> this_table{};
    if (table) std::memcpy(this_table.data(), table, 3u << (table_field() + 1));
    // A frame whose table differs from the one the canvas was drawn with
    // turns the animation into 24-bit output from then on. The first frame
    // defines the canvas's table, so a single image keeps its palette.
    const bool mixed = mixed_tables_ || (!canvas_.empty() && this_table != canvas_table_);

    // What this decode really allocates: the output bitmap, the index
    // canvases of an animation (current and saved), and their colour
    // copies once tables are mixed.
    const int bits = mixed ? 24 : output_bits();
    std::uint64_t memory = bitmap_stride(screen_width_, static_cast<std::uint32_t>(bits)) * screen_height_;
    if (animated_) memory += (mixed ? 8 : 2) * pixels;
    if (!plausible_bitmap_size(memory, reader_.size())) return refuse(kDecodeCorrupt, kReasonImplausibleSize);
    // The image's own rows are decoded in full, even where they fall off the
    // screen: refuse an image area no data of this size could describe.
    if (!plausible_bitmap_size(std::uint64_t{width_} * height_, reader_.size()))
        return refuse(kDecodeCorrupt, kReasonImplausibleSize);

    try {
        if (!canvas_.empty()) {
            canvas_ = saved_;
            if (mixed && !mixed_tables_) {
                // Until now every canvas pixel was an index into the canvas's table.
                colour_saved_.resize(3 * pixels);
                for (std::size_t i = 0; i < pixels; ++i)
                    std::memcpy(&colour_saved_[3 * i], &canvas_table_[3 * std::size_t{saved_[i]}], 3);
                mixed_tables_ = true;
            }
            if (mixed_tables_) colour_canvas_ = colour_saved_;
        } else if (animated_) {
            canvas_.assign(pixels, background_);
            saved_ = canvas_;
            canvas_table_ = this_table;
        }
    } catch (const std::bad_alloc&) {
        canvas_.clear();
        saved_.clear();
        colour_canvas_.clear();
        colour_saved_.clear();
        return kDecodeNoMemory;
    }
    data_row_.assign(width_, 0);
    screen_row_.assign(screen_width_, 0);
    out_row_size_ = static_cast<std::uint32_t>(bitmap_stride(screen_width_,
                                                             static_cast<std::uint32_t>(output_bits())));
    packed_row_.assign(out_row_size_, 0);
    rows_out_ = data_rows_ = data_row_y_ = 0;
    rows_ready_ = true;
    return kDecodeOk;
}

// The image row that follows image row d in an interlaced image of the
// image's height (8-row steps from 0, then from 4, from 2, from 1).
std::uint32_t GifDecoder::next_interlace_row(std::uint32_t d) const {
    const std::uint32_t h = height_;
    switch (d % 8) {
        case 0:
            if (d + 8 < h) return d + 8;
            return h > 4 ? 4 : h > 2 ? 2 : 1;
        case 4:
            return d + 8 < h ? d + 8 : 2;
        case 2:
        case 6:
            return d + 4 < h ? d + 4 : 1;
        default:
            return std::min(d + 2, h);
    }
}

// Decodes one image row (the descriptor's full width) into data_row_.
int GifDecoder::decode_data_row() {
    if (lzw_.zeros && lzw_.sp == 0) {
        // After the end code every pixel is 0.
        std::fill(data_row_.begin(), data_row_.end(), 0);
        return kDecodeOk;
    }
    for (std::uint32_t x = 0; x < width_; ++x) {
        int p = next_pixel();
        if (p < 0) return kDecodeTruncated;
        data_row_[x] = static_cast<std::uint8_t>(p);
    }
    return kDecodeOk;
}

// Produces the next screen row in output order: rows above the image, the
// image's rows in data order (interlaced or not), then the rows below.
int GifDecoder::next_output_row(const std::uint8_t*& row, std::uint32_t& screen_row) {
    const bool canvas = !canvas_.empty();
    std::uint32_t visible_out = rows_out_ > frame_top_ ? std::min(rows_out_ - frame_top_, frame_height_) : 0;
    if (rows_out_ >= frame_top_ && visible_out < frame_height_) {
        // An image row: decode rows until one lands on the screen.
        for (;;) {
            if (data_rows_ >= height_) return kDecodeCorrupt;
            std::uint32_t y = data_row_y_;
            if (int st = decode_data_row()) return st;
            ++data_rows_;
            data_row_y_ = interlaced_ ? next_interlace_row(y) : y + 1;
            if (y >= frame_height_) continue;  // below the screen's edge
            screen_row = frame_top_ + y;
            if (canvas) {
                std::uint8_t* dst = &canvas_[std::size_t{screen_row} * screen_width_ + frame_left_];
                const bool transparent = has_gce_ && (gce_flags_ & 1);
                std::uint8_t* colour = mixed_tables_
                    ? &colour_canvas_[3 * (std::size_t{screen_row} * screen_width_ + frame_left_)]
                    : nullptr;
                for (std::uint32_t x = 0; x < frame_width_; ++x) {
                    if (transparent && data_row_[x] == transparent_) continue;
                    dst[x] = data_row_[x];
                    if (colour) colour_of(data_row_[x], colour + 3 * std::size_t{x});
                }
                row = &canvas_[std::size_t{screen_row} * screen_width_];
            } else {
                std::fill(screen_row_.begin(), screen_row_.end(), background_);
                std::copy_n(data_row_.begin(), frame_width_, screen_row_.begin() + frame_left_);
                row = screen_row_.data();
            }
            ++rows_out_;
            return kDecodeOk;
        }
    }
    // A row outside the image.
    screen_row = rows_out_;
    if (canvas) {
        row = &canvas_[std::size_t{screen_row} * screen_width_];
    } else {
        std::fill(screen_row_.begin(), screen_row_.end(), background_);
        row = screen_row_.data();
    }
    ++rows_out_;
    return kDecodeOk;
}

void GifDecoder::colour_of(std::uint8_t index, std::uint8_t* rgb) const {
    const std::uint8_t* table = current_table();
    if (table && index < (2 << table_field())) {
        std::memcpy(rgb, table + 3 * std::size_t{index}, 3);
    } else {
        rgb[0] = rgb[1] = rgb[2] = 0;
    }
}

void GifDecoder::pack_row(const std::uint8_t* pixels, std::uint8_t* out,
                          std::uint32_t screen_row) const {
    const int bits = output_bits();
    std::memset(out, 0, out_row_size_);
    if (bits == 24) {
        const std::uint8_t* rgb = &colour_canvas_[3 * std::size_t{screen_row} * screen_width_];
        for (std::uint32_t x = 0; x < screen_width_; ++x) {
            out[3 * x] = rgb[3 * x + 2];
            out[3 * x + 1] = rgb[3 * x + 1];
            out[3 * x + 2] = rgb[3 * x];
        }
        return;
    }
    for (std::uint32_t x = 0; x < screen_width_; ++x) {
        std::uint8_t p = pixels[x];
        if (bits == 8) {
            out[x] = p;
        } else if (bits == 4) {
            out[x / 2] |= static_cast<std::uint8_t>((p & 0x0F) << (x & 1 ? 0 : 4));
        } else {
            out[x / 8] |= static_cast<std::uint8_t>((p & 1) << (7 - x % 8));
        }
    }
}

int GifDecoder::PageDecode(const DecodeRequest& request, DecodeResult& result) {
    if (int st = open(nullptr)) return st;
    if (int st = start_image()) return st;
    const int bits = output_bits();
    if (int st = create_output(static_cast<std::int32_t>(screen_width_),
                               static_cast<std::int32_t>(screen_height_), bits, result))
        return st;
    if (const std::uint8_t* table = bits <= 8 ? current_table() : nullptr) {
        imaging::RgbQuad* colours = header_colours(result.header);
        for (int i = 0; i < (2 << table_field()); ++i)
            colours[i] = {table[3 * i + 2], table[3 * i + 1], table[3 * i], 0};
    }
    for (std::uint32_t r = 0; r < screen_height_; ++r) {
        if (request.progress && !request.progress(request.user, static_cast<int>(r),
                                                  static_cast<int>(screen_height_))) {
            release_decode_result(result);
            return kDecodeCancelled;
        }
        const std::uint8_t* row = nullptr;
        std::uint32_t y = 0;
        if (int st = next_output_row(row, y)) {
            release_decode_result(result);
            return st;
        }
        pack_row(row, result.bitmap->bits + std::size_t{screen_height_ - y - 1} * out_row_size_, y);
    }
    return kDecodeOk;
}

int GifDecoder::begin_row_decoding(const DecodeRequest&, RowFormat& format) {
    if (int st = open(nullptr)) return st;
    if (int st = start_image()) return st;
    format = {};
    format.kind = 1;
    format.width = screen_width_;
    format.height = screen_height_;
    format.bit_count = static_cast<std::uint32_t>(output_bits());
    format.colour_count = format.bit_count <= 8 ? 1u << format.bit_count : 0;
    if (const std::uint8_t* table = format.bit_count <= 8 ? current_table() : nullptr)
        for (int i = 0; i < (2 << table_field()); ++i)
            format.colours[i] = {table[3 * i + 2], table[3 * i + 1], table[3 * i], 0};
    return kDecodeOk;
}

int GifDecoder::read_row(RowOutput& row) {
    if (!rows_ready_ || rows_out_ >= screen_height_) return kDecodeNotOpened;
    const std::uint8_t* pixels = nullptr;
    std::uint32_t y = 0;
    if (int st = next_output_row(pixels, y)) return st;
    pack_row(pixels, packed_row_.data(), y);
    row.rect[0] = 0;
    row.rect[1] = static_cast<std::int32_t>(y);
    row.rect[2] = static_cast<std::int32_t>(screen_width_);
    row.rect[3] = static_cast<std::int32_t>(y) + 1;
    row.row = packed_row_.data();
    row.number = rows_out_;
    row.total = screen_height_;
    return kDecodeOk;
}

}  // namespace qelvio::decoding
