// JpegDecoder: JPEG files through libjpeg (version 62 interface). Output is
// a bottom-up bitmap: 24-bit blue-green-red for colour files (CMYK converted,
// inverted when an Adobe segment says so) and 8-bit with a grey colour table
// for greyscale files. Reduced sizes come from the library's DCT scaling
// (1/2, 1/4, 1/8), chosen from the request's target size; a small target is
// served from the Exif thumbnail when that is large enough and has the
// target's orientation. Metadata comes from the Exif APP1 segments; the
// audio annotation from FlashPix APP2 stream segments.
//
// The start-of-image marker may sit anywhere in the first 1024 bytes.
// Library errors become statuses: -7 while reading headers, -1 during
// decompression.
//
// Region index (baseline files only, ImageInfo flag 8; others get -4):
// - flag 2 records the index (jpeg_region_index.h) beside a whole-image
//   decode and returns it in result.region_index; a scan with restart
//   markers out of order leaves the picture without an index.
// - flags 2 + 8 record the index only, walking the entropy-coded data
//   without making pixels; a scan that cannot be indexed returns -7.
// - flag 1 decodes the rectangle request.source (left, top, right, bottom)
//   through request.region_index (jpeg_region_transcoder.h), scaled from the
//   target size like a page, and reports the decoded rectangle, which is
//   aligned to MCUs and covers the requested one, in result.decoded. -1
//   without an index, together with flag 2, for a rectangle that is empty
//   or not inside the image, or for an index that is not this file's.
// Region and recording requests are never served from the Exif thumbnail.
// Row decoding does not take these flags (-4).
#pragma once

#include "decoding/data_source.h"
#include "decoding/image_decoder.h"
#include "decoding/jpeg_entropy_scanner.h"
#include "decoding/jpeg_library.h"
#include "imaging/dib.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace qelvio::decoding {

struct RegionRectangle;

class JpegDecoder : public ImageDecoder {
public:
    explicit JpegDecoder(const ImageDataSource& source);
    ~JpegDecoder() override;
    JpegDecoder(const JpegDecoder&) = delete;
    JpegDecoder& operator=(const JpegDecoder&) = delete;

    int open(ImageInfo* info) override;
    int page_info(std::uint32_t page, PageInfo& info) override;
    int PageDecode(const DecodeRequest& request, DecodeResult& result) override;
    int get_metadata(std::uint32_t page, metadata::ExifTagList** list) override;
    int free_metadata(metadata::ExifTagList* list) override;
    int begin_row_decoding(const DecodeRequest& request, RowFormat& format) override;
    int read_row(RowOutput& row) override;
    int end_row_decoding() override { return kDecodeOk; }
    int extract_audio(const AudioRequest& request) override;

    // The size in bytes of the region index a recording request returns for
    // this file (4 + 40 per point); kDecodeNotSupported when the file cannot
    // have one.
    int region_index_bytes(std::uint64_t* bytes);

    // The scale denominator (1, 2, 4 or 8) for a target size.
    static int scale_denominator(std::uint32_t width, std::uint32_t height,
                                 std::uint32_t target_width, std::uint32_t target_height);

    // Whether an APP2 payload is a FlashPix audio stream segment; stores
    // where its stream bytes start (first: the first such segment, whose
    // 28-byte stream header is skipped).
    static bool fpxr_stream(const std::vector<std::uint8_t>& payload, bool first,
                            std::size_t* start);

private:
    struct Marker {
        int code;
        std::vector<std::uint8_t> data;
    };

    int read_header();
    void destroy_library();
    int create_library(const ImageDataSource& source, std::uint32_t start, bool keep_markers);
    int start_decompress(const DecodeRequest& request, std::uint32_t width, std::uint32_t height);
    int scan_layout(ScanLayout& layout);
    int record_index(void** index);
    int load_region(const DecodeRequest& request, RegionRectangle& rectangle);
    int read_output_row(std::uint8_t* destination);
    void probe_thumbnail();

    ImageDataSource source_;
    std::uint32_t start_ = 0;
    jpeg_decompress_struct cinfo_{};
    JpegErrorManager errors_{};
    JpegSourceManager source_manager_{};
    bool library_ = false;
    std::uint32_t input_size_ = 0;  // bytes the library reads from
    std::vector<std::uint8_t> region_jpeg_;  // the small JPEG of a region decode
    bool opened_ = false;
    int open_status_ = kDecodeOk;
    ImageInfo facts_{};
    std::vector<Marker> markers_;
    bool adobe_ = false;
    bool cmyk_ = false;

    std::vector<std::vector<std::uint8_t>> row_buffers_;
    std::uint32_t rows_buffered_ = 0, next_buffer_ = 0;
    std::uint32_t rows_done_ = 0;
    imaging::CmykTable cmyk_table_{};
    bool rows_ready_ = false;
    std::vector<std::uint8_t> row_;

    bool thumbnail_probed_ = false;
    std::vector<std::uint8_t> thumbnail_tiff_;  // rewritten TIFF data for a TIFF thumbnail
    std::unique_ptr<ImageDecoder> thumbnail_;
    ImageInfo thumbnail_facts_{};
};

}  // namespace qelvio::decoding
