// ImageDecoder: the one interface every image file is read through.
//
// A decoder is created over an ImageDataSource (which it copies), opened
// (the file's facts are fixed then), asked for page facts and page decodes
// in any order, and destroyed. Every operation but destruction opens the
// decoder first when it is not open yet. All operations return 0 or a
// negative DecoderStatus; none throws.
//
// Callers other than a decoder itself go through a module's entry points
// (decoder_entry_points.h), never through this class directly.
// Threading: a decoder is used by one thread at a time.
#pragma once

#include "decoding/decoder_records.h"
#include "decoding/decoder_status.h"

#include <cstdint>

namespace qelvio::metadata {
class ExifTagList;
}

namespace qelvio::decoding {

class ImageDecoder {
public:
    virtual ~ImageDecoder() = default;

    // Parses the header on the first call; later calls only copy the facts.
    // info may be null. Fails when the file is not of this decoder's format.
    virtual int open(ImageInfo* info) = 0;
    // Facts of one page; kDecodeNoSuchPage for a page that does not exist.
    virtual int page_info(std::uint32_t page, PageInfo& info) = 0;
    // Decodes one page into a new bitmap (see DecodeResult for ownership).
    virtual int PageDecode(const DecodeRequest& request, DecodeResult& result) = 0;

    // The page's Exif tags in a new list (release with free_metadata);
    // kDecodeNoMetadata when there are none.
    virtual int get_metadata(std::uint32_t page, metadata::ExifTagList** list);
    virtual int free_metadata(metadata::ExifTagList* list);
    // Row-by-row output: the same rows as PageDecode, one per read_row.
    virtual int begin_row_decoding(const DecodeRequest& request, RowFormat& format);
    virtual int read_row(RowOutput& row);
    virtual int end_row_decoding();
    // Writes the embedded audio annotation to the file the request names.
    virtual int extract_audio(const AudioRequest& request);

    // Why the last failing operation failed, when its status alone does not
    // say it: the number of a string-table text (decoding/refusal.h), or 0.
    int failure_reason() const { return failure_reason_; }

protected:
    // Returns status after noting the reason for it.
    int refuse(int status, int reason) {
        failure_reason_ = reason;
        return status;
    }

private:
    int failure_reason_ = 0;
};

}  // namespace qelvio::decoding
