// The one place where libjpeg's error handling and data input are wrapped.
//
// libjpeg reports fatal errors by calling error_exit, which must not return;
// JpegErrorManager's error_exit jumps back to the setjmp point the caller
// armed (its `jump` buffer), so a library error becomes a status instead of
// ending the program. Messages go to the debug output.
//
// JpegSourceManager feeds the library from an ImageDataSource starting at a
// given offset, asking the source for 10000 bytes more at a time. At the end
// of the data it issues the library's premature-end warning and hands over
// an end-of-image marker, so a truncated file decodes as far as it goes.
// jpeg_source_tell and jpeg_source_seek tell and move the reading position
// in offsets from the start of the data.
#pragma once

#include "decoding/decoder_records.h"

#include <csetjmp>
#include <cstddef>
#include <cstdio>

#include <jpeglib.h>

namespace qelvio::decoding {

struct JpegErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
};

// Installs the error manager into cinfo (call before jpeg_create_decompress
// or jpeg_create_compress).
void jpeg_install_errors(jpeg_decompress_struct& cinfo, JpegErrorManager& errors);
void jpeg_install_errors(jpeg_compress_struct& cinfo, JpegErrorManager& errors);

struct JpegSourceManager {
    jpeg_source_mgr pub;
    ImageDataSource source;
    std::uint32_t position;  // offset (from the start of the data) of the next byte to hand over
};

// Points cinfo's source at the data from offset `start` (the manager must
// outlive the decompression).
void jpeg_install_source(jpeg_decompress_struct& cinfo, JpegSourceManager& manager,
                         const ImageDataSource& source, std::uint32_t start);

// The offset, from the start of the data, of the next byte the library will
// read. A library error (jumps) for a source of size 0.
std::uint32_t jpeg_source_tell(jpeg_decompress_struct& cinfo);

// Positions the reader at `offset` from the start of the data, first making
// the data available up to offset + 10000 (at most the size) when the offset
// lies beyond the bytes handed over so far. False (and no move) when the
// offset is beyond the size or the bytes cannot be made available. A
// library error (jumps) for a source of size 0.
bool jpeg_source_seek(jpeg_decompress_struct& cinfo, std::uint32_t offset);

}  // namespace qelvio::decoding
