#include "decoding/jpeg_decoder.h"

#include "decoding/bitmap_output.h"
#include "decoding/refusal.h"
#include "decoding/exif_thumbnail.h"
#include "decoding/jpeg_region_index.h"
#include "decoding/jpeg_region_transcoder.h"
#include "metadata/exif_tag_list.h"
#include "platform/debug_output.h"
#include "platform/text.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

namespace qelvio::decoding {

JpegDecoder::JpegDecoder(const ImageDataSource& source) : source_(source) {}

JpegDecoder::~JpegDecoder() { destroy_library(); }

void JpegDecoder::destroy_library() {
    if (!library_) return;
    library_ = false;
    if (setjmp(errors_.jump)) return;
    jpeg_destroy_decompress(&cinfo_);
}

// Creates a fresh decompression object over `source` from offset `start`
// and reads the header. kDecodeCorrupt on any library error.
int JpegDecoder::create_library(const ImageDataSource& source, std::uint32_t start, bool keep_markers) {
    destroy_library();
    rows_ready_ = false;
    input_size_ = source.size - start;
    jpeg_install_errors(cinfo_, errors_);
    if (setjmp(errors_.jump)) {
        destroy_library();
        return kDecodeCorrupt;
    }
    jpeg_create_decompress(&cinfo_);
    library_ = true;
    // The library's own allocations (the coefficients of a multi-scan file)
    // stay within what the file can justify.
    cinfo_.mem->max_memory_to_use = static_cast<long>(memory_budget(input_size_));
    jpeg_install_source(cinfo_, source_manager_, source, start);
    if (keep_markers) {
        jpeg_save_markers(&cinfo_, JPEG_COM, 0xFFFF);
        jpeg_save_markers(&cinfo_, JPEG_APP0 + 1, 0xFFFF);
        jpeg_save_markers(&cinfo_, JPEG_APP0 + 2, 0xFFFF);
    }
    if (jpeg_read_header(&cinfo_, TRUE) != JPEG_HEADER_OK) {
        destroy_library();
        return kDecodeCorrupt;
    }
    return kDecodeOk;
}

int JpegDecoder::read_header() {
    // The start-of-image marker: 0xFF 0xD8 starting at any of the first
    // 1024 offsets.
    std::uint32_t available = ensure_available(source_, 1025);
    bool found = false;
    for (std::uint32_t i = 0; i < 1024 && i + 1 < available; ++i) {
        if (source_.data[i] == 0xFF && source_.data[i + 1] == 0xD8) {
            start_ = i;
            found = true;
            break;
        }
    }
    if (!found) return kDecodeCorrupt;
    if (int st = create_library(source_, start_, true)) return st;

    for (jpeg_saved_marker_ptr m = cinfo_.marker_list; m; m = m->next)
        markers_.push_back({m->marker, std::vector<std::uint8_t>(m->data, m->data + m->data_length)});
    adobe_ = cinfo_.saw_Adobe_marker;
    cmyk_ = cinfo_.jpeg_color_space == JCS_CMYK || cinfo_.jpeg_color_space == JCS_YCCK;

    facts_ = {};
    facts_.format = kFormatJpeg;
    facts_.width = cinfo_.image_width;
    facts_.height = cinfo_.image_height;
    facts_.bits_per_sample = 8;
    facts_.samples_per_pixel = static_cast<std::uint32_t>(std::min(cinfo_.num_components, 3));
    facts_.pages = 1;
    for (const Marker& m : markers_) {
        std::size_t start;
        if (m.code == JPEG_APP0 + 2 && fpxr_stream(m.data, false, &start)) {
            facts_.flags |= kImageHasAudio;
            break;
        }
    }
    if (!cinfo_.progressive_mode && !cinfo_.arith_code) facts_.flags |= kImageBaseline;
    return kDecodeOk;
}

int JpegDecoder::open(ImageInfo* info) {
    if (!opened_) {
        opened_ = true;
        open_status_ = read_header();
    }
    if (open_status_ == kDecodeOk && info) *info = facts_;
    return open_status_;
}

int JpegDecoder::page_info(std::uint32_t page, PageInfo& info) {
    if (int st = open(nullptr)) return st;
    if (page != 0) return kDecodeNoSuchPage;
    info = {};
    info.flags = (facts_.samples_per_pixel == 1 ? kPageGrey : kPageDirectColour) | kPageJpegTiff;
    info.width = facts_.width;
    info.height = facts_.height;
    info.bits_per_sample = 8;
    info.samples_per_pixel = facts_.samples_per_pixel;
    return kDecodeOk;
}

int JpegDecoder::scale_denominator(std::uint32_t width, std::uint32_t height,
                                   std::uint32_t target_width, std::uint32_t target_height) {
    std::uint32_t d = 1;
    if (target_width && target_height) d = std::min(width / target_width, height / target_height);
    return d < 2 ? 1 : d < 4 ? 2 : d < 8 ? 4 : 8;
}

// Sets the library's options for the request (scale from the target size
// and the size of the image, or of the decoded rectangle for a region) and
// starts decompressing.
int JpegDecoder::start_decompress(const DecodeRequest& request, std::uint32_t width, std::uint32_t height) {
    if (!library_) return kDecodeFailed;
    if (setjmp(errors_.jump)) {
        destroy_library();
        return kDecodeFailed;
    }
    cinfo_.scale_num = 1;
    cinfo_.scale_denom = static_cast<unsigned>(
        scale_denominator(width, height, request.target_width, request.target_height));
    cinfo_.dct_method = JDCT_ISLOW;
    cinfo_.do_fancy_upsampling = TRUE;
    cinfo_.buffered_image = FALSE;
    cinfo_.quantize_colors = FALSE;
    if (cinfo_.jpeg_color_space == JCS_GRAYSCALE)
        cinfo_.out_color_space = JCS_GRAYSCALE;
    else if (cmyk_)
        cinfo_.out_color_space = JCS_CMYK;
    else
        cinfo_.out_color_space = JCS_EXT_BGR;  // YCbCr and RGB files alike
    jpeg_calc_output_dimensions(&cinfo_);

    // Refuse sizes no file of this length could hold before the library or
    // we allocate for them. Multi-scan files keep every coefficient.
    const std::uint64_t pixels = std::uint64_t{cinfo_.output_width} * cinfo_.output_height;
    std::uint64_t memory = pixels * static_cast<std::uint64_t>(cinfo_.output_components);
    if (jpeg_has_multiple_scans(&cinfo_))
        memory = std::max<std::uint64_t>(memory, std::uint64_t{cinfo_.image_width} *
                                                     cinfo_.image_height * 2 *
                                                     static_cast<std::uint64_t>(cinfo_.num_components));
    if (!plausible_bitmap_size(memory, input_size_)) {
        destroy_library();
        return refuse(kDecodeCorrupt, kReasonImplausibleSize);
    }
    if (cmyk_) imaging::CmykTableBuild(cmyk_table_);
    jpeg_start_decompress(&cinfo_);
    rows_done_ = rows_buffered_ = next_buffer_ = 0;
    rows_ready_ = true;
    return kDecodeOk;
}

// One output row into destination (bitmap row or row buffer). CMYK rows
// are read a few at a time into the row buffers and converted.
int JpegDecoder::read_output_row(std::uint8_t* destination) {
    if (setjmp(errors_.jump)) {
        destroy_library();
        return kDecodeFailed;
    }
    if (!cmyk_) {
        JSAMPROW row = destination;
        if (jpeg_read_scanlines(&cinfo_, &row, 1) != 1) return kDecodeCorrupt;
        ++rows_done_;
        return kDecodeOk;
    }
    if (next_buffer_ >= rows_buffered_) {
        JSAMPROW rows[16];
        std::uint32_t want = std::min<std::uint32_t>(
            static_cast<std::uint32_t>(row_buffers_.size()), cinfo_.output_height - rows_done_);
        for (std::uint32_t i = 0; i < want; ++i) rows[i] = row_buffers_[i].data();
        std::uint32_t got = 0;
        while (got < want) {
            JDIMENSION n = jpeg_read_scanlines(&cinfo_, rows + got, want - got);
            if (n == 0) return kDecodeCorrupt;
            got += n;
        }
        rows_buffered_ = got;
        next_buffer_ = 0;
    }
    imaging::row_cmyk_to_bgr(row_buffers_[next_buffer_++].data(), destination,
                             static_cast<int>(cinfo_.output_width), adobe_, cmyk_table_);
    ++rows_done_;
    return kDecodeOk;
}

// The scan's layout from the header the library has just read.
int JpegDecoder::scan_layout(ScanLayout& layout) {
    if (setjmp(errors_.jump)) {
        destroy_library();
        return kDecodeFailed;
    }
    return scan_layout_from_header(cinfo_, jpeg_source_tell(cinfo_), layout);
}

// Records the region index of the file whose header the library has read.
int JpegDecoder::record_index(void** index) {
    ScanLayout layout;
    if (int st = scan_layout(layout)) return st;
    const std::uint32_t available = ensure_available(source_, source_.size);
    return record_region_index(layout, source_.data, available, index);
}

int JpegDecoder::region_index_bytes(std::uint64_t* bytes) {
    if (int st = open(nullptr)) return st;
    if (!(facts_.flags & kImageBaseline)) return kDecodeNotSupported;
    if (int st = create_library(source_, start_, false)) return st;
    ScanLayout layout;
    const int st = scan_layout(layout);
    destroy_library();
    if (st) return st;
    *bytes = region_index_size(region_index_interval(layout.mcus_across, layout.mcu_rows), layout.mcus_across,
                               layout.mcu_rows);
    return kDecodeOk;
}

// Replaces the file's decompression by one over a small JPEG of the decoded
// rectangle's MCUs and their margin, made through the region index.
int JpegDecoder::load_region(const DecodeRequest& request, RegionRectangle& rectangle) {
    ScanLayout layout;
    RegionIndexReader index;
    const std::uint32_t available = ensure_available(source_, source_.size);
    if (scan_layout(layout) || !region_rectangle(layout, request.source, rectangle) ||
        index.open(request.region_index, layout, source_.data, available) ||
        transcode_region(layout, source_.data, available, index, rectangle, region_jpeg_))
        return kDecodeFailed;
    const J_COLOR_SPACE colour_space = cinfo_.jpeg_color_space;
    if (create_library(memory_data_source(region_jpeg_.data(), static_cast<std::uint32_t>(region_jpeg_.size())),
                       0, false))
        return kDecodeFailed;
    cinfo_.jpeg_color_space = colour_space;  // the small file has no JFIF or Adobe segment
    return kDecodeOk;
}

int JpegDecoder::PageDecode(const DecodeRequest& request, DecodeResult& result) {
    if (int st = open(nullptr)) return st;
    if (request.page != 0) return kDecodeNoSuchPage;
    const bool region = request.flags & kDecodeRegion;
    const bool record = request.flags & kDecodeRecordIndex;
    if (region && (record || !request.region_index)) return kDecodeFailed;
    if (record && !(facts_.flags & kImageBaseline)) return kDecodeNotSupported;
    if (!thumbnail_probed_) probe_thumbnail();
    // The Exif thumbnail serves small targets of its own orientation; a
    // square target (a folder's thumbnails) takes either. A thumbnail turned
    // the other way from the picture is stale (a lossless quarter turn
    // keeps the Exif segment as it was) and is not used. A request without
    // a target size wants the image itself; a region or an index cannot
    // come from the thumbnail.
    const std::uint32_t tw = request.target_width, th = request.target_height;
    const bool thumbnail_wide = thumbnail_facts_.height < thumbnail_facts_.width;
    const bool same_orientation = (tw == th || (th < tw) == thumbnail_wide) &&
                                  thumbnail_wide == (facts_.height < facts_.width);
    if (!(request.flags & kDecodeNoThumbnail) && !region && !record && thumbnail_ && tw && th &&
        thumbnail_facts_.width >= tw && thumbnail_facts_.height >= th && same_orientation) {
        if (thumbnail_->PageDecode(request, result) == kDecodeOk) return kDecodeOk;
    }
    thumbnail_.reset();

    if (int st = create_library(source_, start_, false)) return st;
    if (record && (request.flags & kDecodeIndexOnly)) {
        // Only the entropy-coded data is walked: no pixels are made.
        int st = record_index(&result.region_index);
        destroy_library();
        if (st == kDecodeOk || st == kDecodeNotSupported) return st;
        return st == kDecodeNoMemory ? kDecodeFailed : kDecodeCorrupt;
    }
    // The index is recorded before the picture is decoded; a scan the
    // scanner cannot read (corrupt restart markers) leaves the picture
    // without one.
    std::unique_ptr<void, decltype(&std::free)> index(nullptr, &std::free);
    if (record) {
        void* block = nullptr;
        if (record_index(&block) == kDecodeNoMemory) {
            destroy_library();
            return kDecodeFailed;
        }
        index.reset(block);
    }
    RegionRectangle rectangle{};
    if (region && load_region(request, rectangle)) {
        destroy_library();
        return kDecodeFailed;
    }
    // A region is scaled as its decoded rectangle alone would be; of the
    // small file's output only that rectangle's rows and columns are kept.
    const std::int32_t* decoded = rectangle.pixels;
    std::uint32_t base_width = cinfo_.image_width, base_height = cinfo_.image_height;
    if (region) {
        base_width = static_cast<std::uint32_t>(decoded[2] - decoded[0]);
        base_height = static_cast<std::uint32_t>(decoded[3] - decoded[1]);
    }
    if (int st = start_decompress(request, base_width, base_height)) return st;
    const std::uint32_t denominator = cinfo_.scale_denom;
    const std::uint32_t skip_columns = static_cast<std::uint32_t>(decoded[0] - rectangle.transcoded[0]) / denominator;
    const std::uint32_t skip_rows = static_cast<std::uint32_t>(decoded[1] - rectangle.transcoded[1]) / denominator;
    const std::uint32_t output_width = region ? (base_width + denominator - 1) / denominator : cinfo_.output_width;
    const std::uint32_t output_height = region ? (base_height + denominator - 1) / denominator : cinfo_.output_height;
    if (std::uint64_t{skip_columns} + output_width > cinfo_.output_width ||
        std::uint64_t{skip_rows} + output_height > cinfo_.output_height) {
        destroy_library();
        return kDecodeFailed;
    }
    const bool crop = output_width != cinfo_.output_width || output_height != cinfo_.output_height;
    try {
        std::size_t buffers = cmyk_ ? static_cast<std::size_t>(std::max(1, std::min(cinfo_.rec_outbuf_height, 16))) : 0;
        std::size_t bytes = std::size_t{cinfo_.output_width} * static_cast<std::size_t>(cinfo_.output_components);
        row_buffers_.resize(buffers);
        for (std::size_t i = 0; i < buffers; ++i) {
            try {
                if (row_buffers_[i].size() != bytes) row_buffers_[i].assign(bytes, 0);
            } catch (const std::bad_alloc&) {
                platform::debug_trace(u"PageDecode: couldn't allocate m_bufs[%d]", static_cast<int>(i));
                destroy_library();
                return kDecodeNoMemory;
            }
        }
    } catch (const std::bad_alloc&) {
        destroy_library();
        return kDecodeNoMemory;
    }

    const int bits = cinfo_.output_components == 1 ? 8 : 24;
    const auto width = static_cast<std::int32_t>(output_width);
    const auto height = static_cast<std::int32_t>(output_height);
    // A cropped row is read whole into `line`, then the rectangle's pixels copied.
    std::vector<std::uint8_t> line;
    try {
        if (crop) line.resize(std::size_t{cinfo_.output_width} * static_cast<std::size_t>(bits / 8));
    } catch (const std::bad_alloc&) {
        destroy_library();
        return kDecodeNoMemory;
    }
    if (create_output(width, height, bits, result)) {
        platform::debug_trace(u"PageDecode: couldn't allocate io->pdib (%d bytes)", bits == 8 ? 1064 : 40);
        destroy_library();
        return kDecodeNoMemory;
    }
    if (bits == 8) {
        imaging::RgbQuad* grey = header_colours(result.header);
        for (int i = 0; i < 256; ++i) {
            auto v = static_cast<std::uint8_t>(i);
            grey[i] = {v, v, v, v};
        }
    }
    const std::size_t stride = bitmap_stride(output_width, static_cast<std::uint32_t>(bits));
    for (std::uint32_t r = 0; r < skip_rows; ++r) {
        if (int st = read_output_row(line.data())) {
            release_decode_result(result);
            destroy_library();
            return st;
        }
    }
    for (std::int32_t r = 1; r <= height; ++r) {
        if (request.progress && !request.progress(request.user, r, height)) {
            release_decode_result(result);
            destroy_library();
            return kDecodeCancelled;
        }
        std::uint8_t* row = result.bitmap->bits + stride * static_cast<std::size_t>(height - r);
        if (int st = read_output_row(crop ? line.data() : row)) {
            release_decode_result(result);
            destroy_library();
            return st;
        }
        if (crop)
            std::memcpy(row, line.data() + std::size_t{skip_columns} * static_cast<std::size_t>(bits / 8),
                        std::size_t{output_width} * static_cast<std::size_t>(bits / 8));
    }
    if (region)
        std::copy(decoded, decoded + 4, result.decoded);
    else
        std::memset(result.decoded, 0, sizeof result.decoded);
    result.region_index = index.release();
    destroy_library();
    return kDecodeOk;
}

void JpegDecoder::probe_thumbnail() {
    thumbnail_probed_ = true;
    for (const Marker& m : markers_) {
        if (m.code != JPEG_APP0 + 1) continue;
        ExifThumbnail t;
        if (!find_exif_thumbnail(m.data.data(), m.data.size(), t)) return;
        if (t.jpeg) {
            thumbnail_ = std::make_unique<JpegDecoder>(
                memory_data_source(m.data.data() + 6 + t.offset, t.length));
        } else {
            thumbnail_tiff_ = make_thumbnail_tiff(m.data.data(), m.data.size(), t);
            thumbnail_ = make_exif_tiff_thumbnail_decoder(memory_data_source(
                thumbnail_tiff_.data(), static_cast<std::uint32_t>(thumbnail_tiff_.size())));
        }
        if (thumbnail_ && thumbnail_->open(&thumbnail_facts_) != kDecodeOk) thumbnail_.reset();
        return;  // only the first Exif segment is looked at
    }
}

int JpegDecoder::get_metadata(std::uint32_t page, metadata::ExifTagList** list) {
    if (!list) return kDecodeFailed;
    *list = nullptr;
    if (int st = open(nullptr)) return st;
    if (page != 0) return kDecodeNoSuchPage;
    if (markers_.empty()) return kDecodeNoMetadata;
    auto tags = std::unique_ptr<metadata::ExifTagList>(new (std::nothrow) metadata::ExifTagList);
    if (!tags) return kDecodeNoMemory;
    bool any = false;
    for (const Marker& m : markers_)
        if (m.code == JPEG_APP0 + 1 && tags->read(m.data.data(), m.data.size(), true)) any = true;
    if (!any) return kDecodeNoMetadata;
    *list = tags.release();
    return kDecodeOk;
}

int JpegDecoder::free_metadata(metadata::ExifTagList* list) {
    delete list;
    return kDecodeOk;
}

bool JpegDecoder::fpxr_stream(const std::vector<std::uint8_t>& p, bool first, std::size_t* start) {
    const std::size_t n = p.size();
    if (n < 5 || std::memcmp(p.data(), "FPXR\0", 5) != 0) return false;
    if (n - 5 < 2 || p[5] != 0 || p[6] != 2) return false;
    if (n - 7 < 2 || (p[7] << 8 | p[8]) != 4) return false;
    if (n - 9 < 4) return false;
    std::size_t at = 13;
    if (first) {
        if (n < 13 + 28) return false;
        at = 41;
    }
    *start = at;
    return true;
}

int JpegDecoder::extract_audio(const AudioRequest& request) {
    if (int st = open(nullptr)) return st;
    // Collect the stream pieces first, so no file is made when there are none.
    std::vector<std::pair<const std::uint8_t*, std::size_t>> pieces;
    for (const Marker& m : markers_) {
        std::size_t start;
        if (m.code == JPEG_APP0 + 2 && fpxr_stream(m.data, pieces.empty(), &start))
            pieces.emplace_back(m.data.data() + start, m.data.size() - start);
    }
    if (pieces.empty()) return kDecodeNoAudio;
    if (!request.path) return kDecodeFailed;
    std::FILE* f = std::fopen(text::to_utf8(request.path).c_str(), "wb");
    if (!f) return kDecodeFailed;
    bool ok = true;
    for (const auto& [data, size] : pieces)
        if (size && std::fwrite(data, 1, size, f) != size) ok = false;
    if (std::fclose(f) != 0) ok = false;
    return ok ? kDecodeOk : kDecodeFailed;
}

int JpegDecoder::begin_row_decoding(const DecodeRequest& request, RowFormat& format) {
    if (int st = open(nullptr)) return st;
    if (request.page != 0) return kDecodeNoSuchPage;
    if (request.flags & (kDecodeRegion | kDecodeRecordIndex | kDecodeIndexOnly))
        return kDecodeNotSupported;
    if (int st = create_library(source_, start_, false)) return st;
    if (int st = start_decompress(request, cinfo_.image_width, cinfo_.image_height)) return st;
    std::size_t bytes = std::size_t{cinfo_.output_width} * static_cast<std::size_t>(cinfo_.output_components);
    row_buffers_.assign(cmyk_ ? static_cast<std::size_t>(std::max(1, std::min(cinfo_.rec_outbuf_height, 16))) : 0,
                        std::vector<std::uint8_t>(bytes));
    format = {};
    format.kind = 1;
    format.width = cinfo_.output_width;
    format.height = cinfo_.output_height;
    format.bit_count = cinfo_.output_components == 1 ? 8 : 24;
    if (format.bit_count == 8) {
        format.colour_count = 256;
        for (int i = 0; i < 256; ++i) {
            auto v = static_cast<std::uint8_t>(i);
            format.colours[i] = {v, v, v, v};
        }
    }
    row_.assign(bitmap_stride(format.width, format.bit_count), 0);
    return kDecodeOk;
}

int JpegDecoder::read_row(RowOutput& row) {
    if (!library_ || !rows_ready_ || rows_done_ >= cinfo_.output_height) return kDecodeNotOpened;
    const std::uint32_t r = rows_done_;
    const std::uint32_t width = cinfo_.output_width, height = cinfo_.output_height;
    if (int st = read_output_row(row_.data())) return st;
    row.rect[0] = 0;
    row.rect[1] = static_cast<std::int32_t>(r);
    row.rect[2] = static_cast<std::int32_t>(width);
    row.rect[3] = static_cast<std::int32_t>(r + 1);
    row.row = row_.data();
    row.number = r + 1;
    row.total = height;
    return kDecodeOk;
}

}  // namespace qelvio::decoding
