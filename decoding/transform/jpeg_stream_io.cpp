#include "decoding/transform/jpeg_stream_io.h"

#include "platform/file_system.h"
#include "qelvio/p_status.h"

#include <algorithm>

#include <jerror.h>

namespace qelvio::decoding {
namespace {

StreamSource& source_of(j_decompress_ptr cinfo) { return *reinterpret_cast<StreamSource*>(cinfo->src); }
StreamDestination& destination_of(j_compress_ptr cinfo) {
    return *reinterpret_cast<StreamDestination*>(cinfo->dest);
}

void init_source(j_decompress_ptr) {}
void term_source(j_decompress_ptr) {}

boolean fill_input_buffer(j_decompress_ptr cinfo) {
    StreamSource& s = source_of(cinfo);
    int32_t got = 0;
    if (s.remaining > 0) {
        auto wanted = static_cast<uint32_t>(std::min<int64_t>(s.remaining, StreamSource::buffer_size));
        got = s.stream->read(0, s.buffer, wanted);
    }
    if (got <= 0) {
        s.buffer[0] = 0xFF;
        s.buffer[1] = JPEG_EOI;
        got = 2;
        s.remaining = 0;
        s.ended_early = true;
    } else {
        s.remaining -= got;
    }
    s.pub.next_input_byte = s.buffer;
    s.pub.bytes_in_buffer = static_cast<std::size_t>(got);
    return TRUE;
}

void skip_input_data(j_decompress_ptr cinfo, long count) {
    StreamSource& s = source_of(cinfo);
    if (count <= 0) return;
    auto left = static_cast<std::size_t>(count);
    while (left > s.pub.bytes_in_buffer) {
        left -= s.pub.bytes_in_buffer;
        fill_input_buffer(cinfo);
        // Past the end there is nothing to skip; keep the end-of-image marker.
        if (s.ended_early) return;
    }
    s.pub.next_input_byte += left;
    s.pub.bytes_in_buffer -= left;
}

void init_destination(j_compress_ptr cinfo) {
    StreamDestination& d = destination_of(cinfo);
    d.pub.next_output_byte = d.buffer;
    d.pub.free_in_buffer = StreamDestination::buffer_size;
}

// Writes count bytes of the buffer (a short write is retried, so that the
// failing call tells why); on failure leaves through the error exit.
void write_or_fail(j_compress_ptr cinfo, std::size_t count) {
    StreamDestination& d = destination_of(cinfo);
    const JOCTET* next = d.buffer;
    while (count > 0) {
        platform::set_last_error(platform::error_none);
        int32_t put = d.stream->write(next, static_cast<uint32_t>(count));
        if (put <= 0) {
            int32_t status = platform::last_error() ? p_lasterrorstatus() : P_CANNOT_WRITE;
            d.write_status = status < 0 ? status : P_CANNOT_WRITE;
            ERREXIT(cinfo, JERR_FILE_WRITE);
        }
        next += put;
        count -= static_cast<std::size_t>(put);
    }
}

boolean empty_output_buffer(j_compress_ptr cinfo) {
    write_or_fail(cinfo, StreamDestination::buffer_size);
    init_destination(cinfo);
    return TRUE;
}

void term_destination(j_compress_ptr cinfo) {
    StreamDestination& d = destination_of(cinfo);
    write_or_fail(cinfo, StreamDestination::buffer_size - d.pub.free_in_buffer);
}

}  // namespace

void install_stream_source(j_decompress_ptr cinfo, StreamSource& source, p_filestream& stream,
                           int64_t size) {
    source.stream = &stream;
    source.remaining = size;
    source.ended_early = false;
    source.pub.init_source = init_source;
    source.pub.fill_input_buffer = fill_input_buffer;
    source.pub.skip_input_data = skip_input_data;
    source.pub.resync_to_restart = jpeg_resync_to_restart;
    source.pub.term_source = term_source;
    source.pub.next_input_byte = nullptr;
    source.pub.bytes_in_buffer = 0;
    cinfo->src = &source.pub;
}

void install_stream_destination(j_compress_ptr cinfo, StreamDestination& destination,
                                p_filestream& stream) {
    destination.stream = &stream;
    destination.write_status = 0;
    destination.pub.init_destination = init_destination;
    destination.pub.empty_output_buffer = empty_output_buffer;
    destination.pub.term_destination = term_destination;
    cinfo->dest = &destination.pub;
}

}  // namespace qelvio::decoding
