// TiffDecoder: TIFF files through libtiff, opened on the in-memory data
// source with client I/O. Each directory is a page; scanlines are converted
// into a bottom-up bitmap of 1, 4, 8 or 24 bits (greyscale and palette pages
// with a colour table), and images the scanline path cannot handle (tiles,
// unusual depths, planar data, YCbCr, Lab, LogLuv) are read whole through
// libtiff's RGBA reader. Orientation flips, low-resolution fax row doubling
// and a reduced-size second directory (used for small targets) are honoured.
//
// In Exif-thumbnail mode (the uncompressed thumbnail of a JPEG's Exif
// segment) LZW compression is accepted too; otherwise LZW is refused.
// libtiff's error and warning messages go to the debug output. Supplies no
// metadata (-12) and no audio.
#pragma once

#include "decoding/data_source.h"
#include "decoding/image_decoder.h"
#include "imaging/dib.h"

#include <cstdint>
#include <vector>

struct tiff;

namespace qelvio::decoding {

class TiffDecoder : public ImageDecoder {
public:
    TiffDecoder(const ImageDataSource& source, bool exif_thumbnail = false);
    ~TiffDecoder() override;
    TiffDecoder(const TiffDecoder&) = delete;
    TiffDecoder& operator=(const TiffDecoder&) = delete;

    int open(ImageInfo* info) override;
    int page_info(std::uint32_t page, PageInfo& info) override;
    int PageDecode(const DecodeRequest& request, DecodeResult& result) override;
    int get_metadata(std::uint32_t page, metadata::ExifTagList** list) override;
    int free_metadata(metadata::ExifTagList* list) override;
    int begin_row_decoding(const DecodeRequest& request, RowFormat& format) override;
    int read_row(RowOutput& row) override;
    int end_row_decoding() override { return kDecodeOk; }

    // Client I/O over the data source (used by libtiff through callbacks).
    std::int64_t io_read(void* buffer, std::int64_t n);
    std::uint64_t io_seek(std::uint64_t offset, int origin);
    std::uint64_t io_size() const { return source_.size; }
    int io_map(void** base, std::uint64_t* size);

private:
    int select_page(std::uint32_t page);
    // Makes directory `page` libtiff's current one; false (and no directory
    // counts as loaded) when libtiff could not read it.
    bool load_directory(std::uint32_t page);
    int read_facts();
    int choose_directory(const DecodeRequest& request);
    int prepare(int& bits_out);
    int produce_row(std::uint8_t* out);
    void fill_colour_table(imaging::RgbQuad* table) const;

    ImageDataSource source_;
    std::uint64_t position_ = 0;
    bool exif_thumbnail_;
    tiff* tif_ = nullptr;
    bool opened_ = false;
    int open_status_ = kDecodeOk;
    ImageInfo facts_{};
    std::uint32_t pages_ = 0;
    int current_page_ = -1;
    // The directory libtiff last read completely, or -1: after a failed
    // read libtiff's own idea of the current directory cannot be trusted.
    int loaded_directory_ = -1;

    // Facts of the current directory.
    PageInfo page_{};
    std::uint32_t width_ = 0, height_ = 0;  // height_: the directory's own rows
    std::uint16_t compression_ = 0, photometric_ = 0, bits_ = 1, samples_ = 1;
    // Samples stored as two's-complement integers (sample format 2).
    bool signed_samples_ = false;
    bool rgba_ = false;
    bool top_down_ = false, mirrored_ = false;
    std::uint32_t row_step_ = 1;
    const std::uint16_t* colour_map_[3] = {};
    std::uint32_t palette_size_ = 0;
    int channels_ = 1;

    // Decoding state.
    int out_bits_ = 8;           // bits per sample of the output
    std::uint32_t out_row_ = 0;  // output row size
    std::vector<std::uint8_t> scanline_, row_, packed_;
    std::vector<std::uint32_t> raster_;
    imaging::CmykTable cmyk_table_{};
    std::uint32_t rows_done_ = 0, scanlines_read_ = 0;
    bool rows_ready_ = false;
};

}  // namespace qelvio::decoding
