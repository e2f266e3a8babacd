// The JPEG library's data source and destination over a p_filestream: the
// source reads side 0 (the file being transformed), the destination writes
// side 1 (the temporary file that replaces it).
#pragma once

#include "qelvio/p_filestream.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include <jpeglib.h>

namespace qelvio::decoding {

// Fills a 20000-byte buffer from the stream, never past the file's size.
// When nothing more can be read (end of the file or a read failure) the
// buffer is given an end-of-image marker instead, so the library ends the
// image; ended_early then tells that the data did not end by itself.
struct StreamSource {
    static constexpr std::size_t buffer_size = 20000;

    jpeg_source_mgr pub;  // first member: the library hands back its address
    p_filestream* stream = nullptr;
    int64_t remaining = 0;  // bytes of the file not yet read
    bool ended_early = false;
    JOCTET buffer[buffer_size];
};

// Installs source on the decompressor; size is the file's size.
void install_stream_source(j_decompress_ptr cinfo, StreamSource& source, p_filestream& stream,
                           int64_t size);

// Writes the compressed data through a buffer; a short write leaves through
// the library's error exit (JERR_FILE_WRITE) with the platform's error kept
// in write_status.
struct StreamDestination {
    static constexpr std::size_t buffer_size = 65536;

    jpeg_destination_mgr pub;  // first member
    p_filestream* stream = nullptr;
    int32_t write_status = 0;  // status of the failed write, 0 when none failed
    JOCTET buffer[buffer_size];
};

void install_stream_destination(j_compress_ptr cinfo, StreamDestination& destination,
                                p_filestream& stream);

}  // namespace qelvio::decoding
