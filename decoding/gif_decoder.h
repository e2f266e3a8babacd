// GifDecoder: GIF87a and GIF89a files. Each page decode produces the whole
// logical screen as a bottom-up bitmap of 1, 4 or 8 bits with the image's
// colour table. Animated files (89a, or a graphic control with a delay or a
// disposal method) are composed on a screen canvas, so a later frame shows
// over what the earlier ones left, with transparency and disposal applied.
// The decoder moves forward only: page information for a later image skips
// the images before it, and each page decode takes the next image.
// Supplies no metadata and no audio.
#pragma once

#include "decoding/data_source.h"
#include "decoding/image_decoder.h"

#include <array>
#include <cstdint>
#include <vector>

namespace qelvio::decoding {

class GifDecoder : public ImageDecoder {
public:
    explicit GifDecoder(const ImageDataSource& source) : reader_(source) {}

    int open(ImageInfo* info) override;
    int page_info(std::uint32_t page, PageInfo& info) override;
    int PageDecode(const DecodeRequest& request, DecodeResult& result) override;
    int begin_row_decoding(const DecodeRequest& request, RowFormat& format) override;
    int read_row(RowOutput& row) override;
    int end_row_decoding() override { return kDecodeOk; }

private:
    // The variable-length-code decompressor of one image's data.
    struct Lzw {
        int root = 0, code_size = 0, clear = 0, end = 0, next = 0, limit = 0;
        std::array<std::uint16_t, 4096> prefix{};
        std::array<std::uint8_t, 4096> suffix{};
        std::array<std::uint8_t, 4097> stack{};
        int sp = 0, old_code = 0, first = 0;
        bool first_code = true;
        std::array<std::uint8_t, 2 + 255> buffer{};
        int bit_pos = 0, bit_count = 0;
        bool ended = false;   // the sub-blocks have been read to their terminator
        bool zeros = false;   // the end code was met: every further pixel is 0
    };
    enum ParseState { kNothing = 0, kScreen = 1, kDescriptor = 2, kData = 3 };

    int parse_header();
    int read_blocks(bool at_open);
    int read_descriptor();
    int skip_sub_blocks();
    int advance_to_next_image();
    int table_field() const;
    const std::uint8_t* current_table() const;
    int output_bits() const;

    int start_image();
    int next_pixel();
    int read_code();
    void lzw_reset();
    int decode_data_row();
    int next_output_row(const std::uint8_t*& row, std::uint32_t& screen_row);
    std::uint32_t next_interlace_row(std::uint32_t d) const;
    void pack_row(const std::uint8_t* pixels, std::uint8_t* out, std::uint32_t screen_row) const;
    void colour_of(std::uint8_t index, std::uint8_t* rgb) const;

    SourceReader reader_;
    bool opened_ = false;
    int open_status_ = kDecodeOk;
    ImageInfo facts_{};

    bool gif89a_ = false;
    std::uint32_t screen_width_ = 0, screen_height_ = 0;
    std::uint8_t screen_flags_ = 0, background_ = 0;
    std::array<std::uint8_t, 768> global_{}, local_{};
    bool has_gce_ = false;
    std::uint8_t gce_flags_ = 0, transparent_ = 0;
    std::uint16_t gce_delay_ = 0;

    std::uint32_t left_ = 0, top_ = 0, width_ = 0, height_ = 0;
    std::uint8_t image_flags_ = 0;
    int image_number_ = -1;
    // Frame rectangle: the image clipped to the screen.
    std::uint32_t frame_left_ = 0, frame_top_ = 0, frame_width_ = 0, frame_height_ = 0;
    int disposal_ = 0;           // this image's disposal method
    int previous_disposal_ = 0;  // the disposal to apply before the next image
    std::uint32_t prev_left_ = 0, prev_top_ = 0, prev_width_ = 0, prev_height_ = 0;
    bool interlaced_ = false;
    bool animated_ = false;
    std::vector<std::uint8_t> canvas_, saved_;
    // The canvas in colour (red, green, blue a pixel). Frames of one
    // animation may carry different colour tables; once the canvas holds
    // pixels of more than one table, frames are output as 24-bit pictures
    // from this canvas, so that earlier frames keep their own colours. Made
    // from the index canvas when a frame first brings another table; empty
    // before (a single image needs only the indices).
    std::vector<std::uint8_t> colour_canvas_, colour_saved_;
    std::array<std::uint8_t, 768> canvas_table_{};
    bool mixed_tables_ = false;
    ParseState state_ = kNothing;

    Lzw lzw_;
    // Row production for one image.
    std::vector<std::uint8_t> data_row_;    // one decoded image row
    std::vector<std::uint8_t> screen_row_;  // composed screen row (no canvas)
    std::vector<std::uint8_t> packed_row_;  // row decoding output
    std::uint32_t rows_out_ = 0;            // screen rows output so far
    std::uint32_t data_rows_ = 0;           // image rows decoded so far
    std::uint32_t data_row_y_ = 0;          // image row (from its top) of the next data row
    std::uint32_t out_row_size_ = 0;
    bool rows_ready_ = false;
};

}  // namespace qelvio::decoding
