#include "decoding/tiff_decoder.h"

#include "decoding/bitmap_output.h"
#include "decoding/exif_thumbnail.h"
#include "decoding/refusal.h"
#include "metadata/exif_tag_list.h"
#include "platform/debug_output.h"
#include "platform/text.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <new>

#include <tiffio.h>

namespace qelvio::decoding {
namespace {

// libtiff reports through process-wide handlers; both write "module: text"
// to the debug output.
void report(const char* module, const char* format, va_list args) {
    char text[1024];
    std::vsnprintf(text, sizeof text, format, args);
    platform::debug_trace(u"%s: %s\n", module ? module : "", text);
}

void install_handlers() {
    TIFFSetErrorHandler(report);
    TIFFSetWarningHandler(report);
}

tmsize_t proc_read(thandle_t h, void* buffer, tmsize_t n) {
    return static_cast<tmsize_t>(static_cast<TiffDecoder*>(h)->io_read(buffer, n));
}
tmsize_t proc_write(thandle_t, void*, tmsize_t) { return 0; }
toff_t proc_seek(thandle_t h, toff_t offset, int origin) {
    return static_cast<TiffDecoder*>(h)->io_seek(offset, origin);
}
int proc_close(thandle_t) { return 1; }
toff_t proc_size(thandle_t h) { return static_cast<TiffDecoder*>(h)->io_size(); }
// The data is already in memory; handing it over as a mapping also avoids
// a libtiff fault in reading uncompressed tiles through the read procedure.
int proc_map(thandle_t h, void** base, toff_t* size) {
    return static_cast<TiffDecoder*>(h)->io_map(base, size);
}
void proc_unmap(thandle_t, void*, toff_t) {}

bool accepted_compression(std::uint16_t c) {
    static constexpr std::uint16_t list[] = {1,     2,     3,     4,     7,     32773, 32766, 32771,
                                             32809, 32895, 32896, 32897, 32898, 32908, 32909, 32946,
                                             32947, 34661, 34676, 34677};
    return std::find(std::begin(list), std::end(list), c) != std::end(list);
}

}  // namespace

std::unique_ptr<ImageDecoder> make_exif_tiff_thumbnail_decoder(const ImageDataSource& source) {
    return std::unique_ptr<ImageDecoder>(new (std::nothrow) TiffDecoder(source, true));
}

TiffDecoder::TiffDecoder(const ImageDataSource& source, bool exif_thumbnail)
    : source_(source), exif_thumbnail_(exif_thumbnail) {
    install_handlers();
}

TiffDecoder::~TiffDecoder() {
    if (tif_) TIFFClose(tif_);
}

std::int64_t TiffDecoder::io_read(void* buffer, std::int64_t n) {
    if (n <= 0 || position_ >= source_.size) return 0;
    std::uint64_t end = std::min<std::uint64_t>(source_.size, position_ + static_cast<std::uint64_t>(n));
    std::uint32_t available = ensure_available(source_, static_cast<std::uint32_t>(end));
    if (available <= position_) return 0;
    std::uint64_t count = std::min<std::uint64_t>(end, available) - position_;
    std::memcpy(buffer, source_.data + position_, count);
    position_ += count;
    return static_cast<std::int64_t>(count);
}

int TiffDecoder::io_map(void** base, std::uint64_t* size) {
    if (!source_.data || source_.size == 0 || ensure_available(source_, source_.size) < source_.size)
        return 0;
    *base = const_cast<std::uint8_t*>(source_.data);
    *size = source_.size;
    return 1;
}

std::uint64_t TiffDecoder::io_seek(std::uint64_t offset, int origin) {
    std::int64_t base = origin == SEEK_CUR ? static_cast<std::int64_t>(position_)
                        : origin == SEEK_END ? static_cast<std::int64_t>(source_.size)
                                             : 0;
    std::int64_t target = base + static_cast<std::int64_t>(offset);
    if (target >= 0 && static_cast<std::uint64_t>(target) < source_.size)
        position_ = static_cast<std::uint64_t>(target);
    return position_;
}

int TiffDecoder::open(ImageInfo* info) {
    if (!opened_) {
        opened_ = true;
        open_status_ = kDecodeOk;
        std::string name = source_.name ? text::to_utf8(source_.name) : std::string();
        tif_ = TIFFClientOpen(name.c_str(), "r", this, proc_read, proc_write, proc_seek, proc_close,
                              proc_size, proc_map, proc_unmap);
        if (!tif_) {
            open_status_ = kDecodeNoDecoder;
        } else {
            loaded_directory_ = 0;  // TIFFClientOpen read the first directory
            pages_ = TIFFNumberOfDirectories(tif_);
            if (pages_ == 0) open_status_ = kDecodeCorrupt;
            else open_status_ = select_page(0);
        }
        if (open_status_ == kDecodeOk) {
            facts_ = {};
            facts_.flags = pages_ > 1 ? kImageMultiPage : 0;
            facts_.format = kFormatTiff;
            facts_.width = width_;
            facts_.height = height_;
            facts_.bits_per_sample = bits_;
            facts_.samples_per_pixel = samples_;
            facts_.pages = pages_;
        }
    }
    if (open_status_ == kDecodeOk && info) *info = facts_;
    return open_status_;
}

bool TiffDecoder::load_directory(std::uint32_t page) {
    if (loaded_directory_ == static_cast<int>(page)) return true;
    loaded_directory_ = -1;
    if (!TIFFSetDirectory(tif_, static_cast<tdir_t>(page))) return false;
    loaded_directory_ = static_cast<int>(page);
    return true;
}

int TiffDecoder::select_page(std::uint32_t page) {
    if (page >= pages_) return kDecodeNoSuchPage;
    rows_ready_ = false;
    current_page_ = -1;
    if (!load_directory(page)) return kDecodeCorrupt;
    if (int st = read_facts()) return st;
    current_page_ = static_cast<int>(page);
    return kDecodeOk;
}

int TiffDecoder::read_facts() {
    page_ = {};
    rgba_ = false;
    top_down_ = mirrored_ = false;
    row_step_ = 1;
    colour_map_[0] = colour_map_[1] = colour_map_[2] = nullptr;

    std::uint16_t compression = 1;
    TIFFGetFieldDefaulted(tif_, TIFFTAG_COMPRESSION, &compression);
    compression_ = compression;
    if (compression == 5) {
        if (!exif_thumbnail_) return refuse(kDecodeNoDecoder, kReasonLzwTiff);
    } else if (!accepted_compression(compression)) {
        return refuse(kDecodeNoDecoder, kReasonTiffCompression);
    }
    if (compression == 34676 || compression == 34677) rgba_ = true;
    std::uint16_t photometric = 0;
    TIFFGetField(tif_, TIFFTAG_PHOTOMETRIC, &photometric);
    photometric_ = photometric;

    signed_samples_ = false;
    std::uint16_t sample_format = 1;
    if (compression >= 2 && compression <= 4) {
        bits_ = 1, samples_ = 1;
    } else {
        TIFFGetFieldDefaulted(tif_, TIFFTAG_SAMPLEFORMAT, &sample_format);
        std::uint16_t bits = 1, samples = 1, planar = 1;
        TIFFGetFieldDefaulted(tif_, TIFFTAG_BITSPERSAMPLE, &bits);
        TIFFGetFieldDefaulted(tif_, TIFFTAG_SAMPLESPERPIXEL, &samples);
        TIFFGetFieldDefaulted(tif_, TIFFTAG_PLANARCONFIG, &planar);
        bits_ = bits, samples_ = samples;
        bool usual = bits == 1 || bits == 2 || bits == 4 || bits == 8 || bits == 12 || bits == 16;
        if (!usual || samples == 0 || samples > 4 || planar != 1) rgba_ = true;
    }

    switch (photometric) {
        case 0: case 1: case 3: channels_ = 1; break;
        case 2: case 5: channels_ = 3; break;
        case 4: case 6: case 8: case 32844: case 32845: channels_ = 3; rgba_ = true; break;
        default: return kDecodeNoDecoder;
    }

    std::uint16_t orientation = 0;
    if (TIFFGetField(tif_, TIFFTAG_ORIENTATION, &orientation)) {
        switch (orientation) {
            case 1: case 6: break;
            case 2: case 7: mirrored_ = true; break;
            case 3: case 8: top_down_ = mirrored_ = true; break;
            case 4: case 5: top_down_ = true; break;
            default: return kDecodeCorrupt;
        }
    }
    std::uint32_t width = 0, height = 0;
    if (!TIFFGetField(tif_, TIFFTAG_IMAGEWIDTH, &width) ||
        !TIFFGetField(tif_, TIFFTAG_IMAGELENGTH, &height) || width == 0 || height == 0)
        return kDecodeCorrupt;
    width_ = width, height_ = height;

    if (TIFFIsTiled(tif_)) rgba_ = true;
    // Samples that do not fit the photometric interpretation (three samples
    // called grey, one sample called RGB) cannot be converted row by row.
    if ((channels_ == 1 && samples_ > 2) || (channels_ == 3 && samples_ < 3)) rgba_ = true;
    // Signed samples run from the most negative value (black) to the most
    // positive (white); the scanline path shifts them into the unsigned
    // range. Floating-point samples, and signed ones the RGBA reader would
    // take for unsigned, cannot be shown right.
    if (sample_format == 2 && !rgba_ && (bits_ == 8 || bits_ == 16)) {
        signed_samples_ = true;
    } else if (sample_format != 1 && sample_format != 4) {
        return refuse(kDecodeNotSupported, kReasonTiffSampleFormat);
    }
    if (rgba_) {
        char message[1024];
        if (!TIFFRGBAImageOK(tif_, message)) return refuse(kDecodeFailed, kReasonTiffLayout);
        // libtiff's RGBA reader applies the orientation itself.
        top_down_ = mirrored_ = false;
    }

    // Low-resolution fax pages (twice as many dots across as down) show
    // every scanline twice to keep their proportions.
    float xres = 0, yres = 0;
    std::uint32_t page_height = height;
    if (!rgba_ && TIFFGetField(tif_, TIFFTAG_XRESOLUTION, &xres) &&
        TIFFGetField(tif_, TIFFTAG_YRESOLUTION, &yres) && yres > 0 && xres > 0) {
        double ratio = static_cast<double>(xres) / yres;
        if (std::floor(ratio) == 2 && std::floor(ratio + 0.5) == 2) {
            row_step_ = 2;
            page_height = height * 2;
        }
    }

    std::uint16_t *red = nullptr, *green = nullptr, *blue = nullptr;
    if (TIFFGetField(tif_, TIFFTAG_COLORMAP, &red, &green, &blue) && red && green && blue) {
        colour_map_[0] = red, colour_map_[1] = green, colour_map_[2] = blue;
    }
    // In RGBA mode a palette page comes out in colour (the raster holds
    // colours, not indices).
    if (rgba_ && channels_ == 1 && colour_map_[0]) channels_ = 3;
    // The RGBA reader scales grey of any depth to 0..255, so such a page
    // needs the whole 8-bit ramp.
    palette_size_ = channels_ != 1 ? 0 : rgba_ ? 256 : 1u << std::min<std::uint16_t>(bits_, 8);

    page_.flags = channels_ == 1 ? (colour_map_[0] ? kPagePalette : kPageGrey) : kPageDirectColour;
    page_.width = width;
    page_.height = page_height;
    page_.bits_per_sample = bits_;
    page_.samples_per_pixel = samples_;
    return kDecodeOk;
}

int TiffDecoder::page_info(std::uint32_t page, PageInfo& info) {
    if (int st = open(nullptr)) return st;
    if (page >= pages_) return kDecodeNoSuchPage;
    if (int st = select_page(page)) return st;
    info = page_;
    info.flags |= kPageJpegTiff;
    return kDecodeOk;
}

// For page 0 of a file with a reduced-size second directory, that one
// serves targets it is large enough for. A zero target asks for the full
// size, which only the first directory has.
int TiffDecoder::choose_directory(const DecodeRequest& request) {
    const bool full_size = request.target_width == 0 && request.target_height == 0;
    if (request.page != 0 || pages_ < 2 || full_size) return select_page(request.page);
    std::uint32_t w0 = 0, h0 = 0, w1 = 0, h1 = 0, subfile = 0;
    current_page_ = -1;
    if (!load_directory(0)) return kDecodeCorrupt;
    TIFFGetField(tif_, TIFFTAG_IMAGEWIDTH, &w0);
    TIFFGetField(tif_, TIFFTAG_IMAGELENGTH, &h0);
    if (load_directory(1)) {
        TIFFGetField(tif_, TIFFTAG_SUBFILETYPE, &subfile);
        TIFFGetField(tif_, TIFFTAG_IMAGEWIDTH, &w1);
        TIFFGetField(tif_, TIFFTAG_IMAGELENGTH, &h1);
        bool reduced = (subfile & 1) || (w1 + 70 < w0 && h1 + 50 < h0);
        if (reduced && w1 >= request.target_width && h1 >= request.target_height &&
            w1 > 0 && h1 > 0 && select_page(1) == kDecodeOk)
            return kDecodeOk;
    }
    return select_page(0);
}

void TiffDecoder::fill_colour_table(imaging::RgbQuad* table) const {
    const std::uint32_t n = palette_size_;
    if (colour_map_[0]) {
        for (std::uint32_t i = 0; i < n; ++i)
            table[i] = {static_cast<std::uint8_t>(colour_map_[2][i] >> 8),
                        static_cast<std::uint8_t>(colour_map_[1][i] >> 8),
                        static_cast<std::uint8_t>(colour_map_[0][i] >> 8), 0};
    } else if (n >= 2) {
        const bool white_first = photometric_ == 0 && !rgba_;
        for (std::uint32_t i = 0; i < n; ++i) {
            auto v = static_cast<std::uint8_t>((i * 255 + (n - 1) / 2) / (n - 1));
            if (white_first) v = static_cast<std::uint8_t>(255 - v);
            table[i] = {v, v, v, 0};
        }
    }
}

int TiffDecoder::prepare(int& bits_out) {
    out_bits_ = rgba_ ? 8 : bits_ == 1 ? 1 : (bits_ == 4 && samples_ == 1) ? 4 : 8;
    const int channels = channels_ == 1 ? 1 : 3;
    bits_out = out_bits_ * channels;
    const std::uint64_t out_row = bitmap_stride(width_, static_cast<std::uint32_t>(bits_out));
    // The scanline buffer: what libtiff writes, and what the row converters
    // read (width × samples × bits), with a little slack for odd widths.
    tmsize_t libtiff_scanline = rgba_ ? 0 : TIFFScanlineSize(tif_);
    const std::uint64_t scanline =
        std::max<std::uint64_t>(static_cast<std::uint64_t>(std::max<tmsize_t>(libtiff_scanline, 0)),
                                (std::uint64_t{width_} * samples_ * bits_ + 7) / 8) + 16;
    std::uint64_t memory = out_row * page_.height + scanline;
    if (rgba_) memory += std::uint64_t{width_} * height_ * 4;
    if (!plausible_bitmap_size(memory, source_.size)) return refuse(kDecodeCorrupt, kReasonImplausibleSize);
    out_row_ = static_cast<std::uint32_t>(out_row);
    try {
        scanline_.assign(static_cast<std::size_t>(scanline), 0);
        row_.assign(2 * std::size_t{out_row_} + 16, 0);
        raster_.clear();
        if (rgba_) {
            raster_.assign(std::size_t{width_} * height_, 0);
            if (!TIFFReadRGBAImage(tif_, width_, height_, raster_.data(), 0)) return kDecodeCorrupt;
        }
    } catch (const std::bad_alloc&) {
        return kDecodeNoMemory;
    }
    if (photometric_ == 5) imaging::CmykTableBuild(cmyk_table_);
    rows_done_ = scanlines_read_ = 0;
    rows_ready_ = true;
    return kDecodeOk;
}

// Produces output row rows_done_ (counted from the top of the page).
int TiffDecoder::produce_row(std::uint8_t* out) {
    const std::uint32_t r = rows_done_;
    if (r >= page_.height) return kDecodeNotOpened;
    const int w = static_cast<int>(width_);
    if (rgba_) {
        const std::uint32_t* pixels = &raster_[std::size_t{height_ - 1 - r} * width_];
        for (std::uint32_t x = 0; x < width_; ++x) {
            std::uint32_t p = pixels[x];
            if (channels_ == 1) {
                out[x] = static_cast<std::uint8_t>(p >> 16);
            } else {
                out[3 * x] = static_cast<std::uint8_t>(p >> 16);
                out[3 * x + 1] = static_cast<std::uint8_t>(p >> 8);
                out[3 * x + 2] = static_cast<std::uint8_t>(p);
            }
        }
        ++rows_done_;
        return kDecodeOk;
    }
    if (r % row_step_ == 0) {
        if (TIFFReadScanline(tif_, scanline_.data(), scanlines_read_, 0) < 0) return kDecodeCorrupt;
        ++scanlines_read_;
        if (signed_samples_) {
            // Flipping the sign bit adds half the range: -32768 becomes 0,
            // 0 the middle, 32767 the top. libtiff hands over samples in
            // the machine's byte order.
            const std::size_t count = std::size_t{width_} * samples_;
            std::uint8_t* p = scanline_.data();
            if (bits_ == 8) {
                for (std::size_t i = 0; i < count; ++i) p[i] ^= 0x80;
            } else {
                const std::size_t high = std::endian::native == std::endian::little ? 1 : 0;
                for (std::size_t i = 0; i < count; ++i) p[2 * i + high] ^= 0x80;
            }
        }
    }
    const std::uint8_t* s = scanline_.data();
    std::uint8_t* tmp = row_.data();
    switch (samples_) {
        case 1:
            if (bits_ == 1) std::memcpy(out, s, (width_ + 7) / 8);
            else if (bits_ == 4) std::memcpy(out, s, (width_ + 1) / 2);
            else if (bits_ == 8) std::memcpy(out, s, width_);
            else if (bits_ == 2) imaging::row_unpack2(s, out, w);
            else if (bits_ == 12) imaging::row_grey12_to_8(s, out, w, false);
            else if (bits_ == 16) imaging::row_grey16_to_8(s, out, w, true, false);
            else return kDecodeNotSupported;
            break;
        case 2:
            if (bits_ != 8) return kDecodeNotSupported;
            for (std::uint32_t x = 0; x < width_; ++x) out[x] = s[2 * x];
            break;
        case 3: {
            const bool invert = photometric_ == 0;
            if (bits_ == 8) std::memcpy(tmp, s, 3 * std::size_t{width_});
            else if (bits_ == 12) imaging::row_grey12_to_8(s, tmp, 3 * w, invert);
            else if (bits_ == 16) imaging::row_grey16_to_8(s, tmp, 3 * w, true, invert);
            else return kDecodeNotSupported;
            // libtiff hands over red, green, blue; the bitmap wants blue first.
            for (std::uint32_t x = 0; x < width_; ++x) {
                out[3 * x] = tmp[3 * x + 2];
                out[3 * x + 1] = tmp[3 * x + 1];
                out[3 * x + 2] = tmp[3 * x];
            }
            break;
        }
        case 4:
            if (bits_ == 4) imaging::row_444_to_bgr(s, out, w);
            else if (bits_ == 8 && photometric_ == 5) imaging::row_cmyk_to_bgr(s, out, w, false, cmyk_table_);
            else if (bits_ == 8) imaging::row_rgbx_to_bgr(s, out, w);
            else return kDecodeNotSupported;
            break;
        default:
            return kDecodeNotSupported;
    }
    if (mirrored_) {
        const int bits = out_bits_ * (channels_ == 1 ? 1 : 3);
        if (bits == 1) {
            // Bits numbered from the top bit of each byte: reverse by value.
            std::vector<std::uint8_t> copy(out, out + (width_ + 7) / 8);
            std::memset(out, 0, copy.size());
            for (std::uint32_t x = 0; x < width_; ++x) {
                std::uint32_t from = width_ - 1 - x;
                if ((copy[from / 8] >> (7 - from % 8)) & 1) out[x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
            }
        } else if (bits == 4) {
            std::vector<std::uint8_t> copy(out, out + (width_ + 1) / 2);
            for (std::uint32_t x = 0; x < width_; ++x) {
                std::uint32_t from = width_ - 1 - x;
                std::uint8_t v = (copy[from / 2] >> (from & 1 ? 0 : 4)) & 0x0F;
                out[x / 2] = static_cast<std::uint8_t>(x & 1 ? (out[x / 2] & 0xF0) | v : (out[x / 2] & 0x0F) | v << 4);
            }
        } else if (bits == 8) {
            imaging::row_reverse8(out, w);
        } else {
            imaging::row_reverse24(out, w);
        }
    }
    ++rows_done_;
    return kDecodeOk;
}

int TiffDecoder::PageDecode(const DecodeRequest& request, DecodeResult& result) {
    if (int st = open(nullptr)) return st;
    if (request.page >= pages_) return kDecodeNoSuchPage;
    if (request.flags & (kDecodeRegion | kDecodeRecordIndex | kDecodeIndexOnly))
        return kDecodeNotSupported;
    if (int st = choose_directory(request)) return st;
    int bits = 0;
    int st = prepare(bits);
    if (st && request.page == 0 && current_page_ == 1) {
        // The preview could not be prepared: the main image after all.
        if ((st = select_page(0)) == kDecodeOk) st = prepare(bits);
    }
    if (st) return st;
    const std::uint32_t height = page_.height;
    if (int c = create_output(static_cast<std::int32_t>(width_), static_cast<std::int32_t>(height), bits, result))
        return c;
    if (bits <= 8) fill_colour_table(header_colours(result.header));
    for (std::uint32_t r = 0; r < height; ++r) {
        if (request.progress && !request.progress(request.user, static_cast<int>(r + 1), static_cast<int>(height))) {
            release_decode_result(result);
            return kDecodeCancelled;
        }
        std::uint32_t target = top_down_ ? r : height - r - 1;
        if (int e = produce_row(result.bitmap->bits + std::size_t{target} * out_row_)) {
            release_decode_result(result);
            return e;
        }
    }
    rows_ready_ = false;
    return kDecodeOk;
}

int TiffDecoder::begin_row_decoding(const DecodeRequest& request, RowFormat& format) {
    if (int st = open(nullptr)) return st;
    if (request.page >= pages_) return kDecodeNoSuchPage;
    if (int st = choose_directory(request)) return st;
    int bits = 0;
    if (int st = prepare(bits)) return st;
    format = {};
    format.kind = 1;
    format.width = width_;
    format.height = page_.height;
    format.bit_count = static_cast<std::uint32_t>(bits);
    format.colour_count = bits <= 8 ? 1u << bits : 0;
    if (bits <= 8) fill_colour_table(format.colours);
    packed_.assign(out_row_, 0);
    return kDecodeOk;
}

int TiffDecoder::read_row(RowOutput& row) {
    if (!rows_ready_ || rows_done_ >= page_.height) return kDecodeNotOpened;
    const std::uint32_t r = rows_done_;
    if (int st = produce_row(packed_.data())) return st;
    // Rows come top first; a page stored top-down shows them the other way up.
    auto y = static_cast<std::int32_t>(top_down_ ? page_.height - 1 - r : r);
    row.rect[0] = 0;
    row.rect[1] = y;
    row.rect[2] = static_cast<std::int32_t>(width_);
    row.rect[3] = y + 1;
    row.row = packed_.data();
    row.number = r + 1;
    row.total = page_.height;
    return kDecodeOk;
}

int TiffDecoder::get_metadata(std::uint32_t, metadata::ExifTagList** list) {
    if (list) *list = nullptr;
    if (int st = open(nullptr)) return st;
    return kDecodeNoMetadata;
}

int TiffDecoder::free_metadata(metadata::ExifTagList* list) {
    delete list;
    return kDecodeOk;
}

}  // namespace qelvio::decoding
