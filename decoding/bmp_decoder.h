// BmpDecoder: Windows and OS/2 bitmap files (core, 40-, 64-, 108- and
// 124-byte headers; 1, 4, 8, 16, 24 and 32 bits; uncompressed, 4- and 8-bit
// run length, bit fields). Decodes one page at full size into a bottom-up
// bitmap: 1 to 8 bits keep their depth and colour table, 16 and 32 bits
// become 24-bit blue-green-red. Supplies no metadata and no audio.
#pragma once

#include "decoding/data_source.h"
#include "decoding/image_decoder.h"

#include <cstdint>
#include <vector>

namespace qelvio::decoding {

class BmpDecoder : public ImageDecoder {
public:
    explicit BmpDecoder(const ImageDataSource& source) : reader_(source) {}

    int open(ImageInfo* info) override;
    int page_info(std::uint32_t page, PageInfo& info) override;
    int PageDecode(const DecodeRequest& request, DecodeResult& result) override;
    int begin_row_decoding(const DecodeRequest& request, RowFormat& format) override;
    int read_row(RowOutput& row) override;
    int end_row_decoding() override { return kDecodeOk; }

private:
    struct Channel {
        int shift = 0;  // lowest set bit of the mask
        int scale = 0;  // 8 - number of set bits
        std::uint32_t mask = 0;
    };

    int parse_header();
    int prepare();
    int read_colour_table(imaging::RgbQuad* table);
    int produce_row(std::uint8_t* out);
    int rle_row(std::uint8_t* out);
    int convert_row(std::uint8_t* out);
    void put_pixel(std::uint8_t* out, std::uint32_t x, std::uint8_t value) const;

    SourceReader reader_;
    bool opened_ = false;
    int open_status_ = kDecodeOk;
    ImageInfo facts_{};

    // The information header as a 40-byte header.
    std::uint32_t header_size_ = 0;
    std::int32_t width_ = 0;
    std::int32_t height_ = 0;  // as in the file: negative = top-down
    std::uint16_t bits_ = 0;
    std::uint32_t compression_ = 0;
    std::uint32_t colours_used_ = 0;
    std::uint32_t pixel_offset_ = 0;
    bool core_ = false;  // 3-byte colour-table entries

    Channel channels_[3];  // red, green, blue
    int out_bits_ = 0;
    std::uint32_t source_row_ = 0;
    std::uint32_t out_row_ = 0;
    bool end_of_bitmap_ = false;

    // Row decoding.
    std::vector<std::uint8_t> row_buffer_;
    std::uint32_t rows_done_ = 0;
};

}  // namespace qelvio::decoding
