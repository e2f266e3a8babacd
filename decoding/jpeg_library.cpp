#include "decoding/jpeg_library.h"

#include "decoding/data_source.h"
#include "platform/debug_output.h"

#include <algorithm>

#include <jerror.h>

namespace qelvio::decoding {
namespace {

[[noreturn]] void error_exit(j_common_ptr cinfo) {
    auto* errors = reinterpret_cast<JpegErrorManager*>(cinfo->err);
    (*cinfo->err->output_message)(cinfo);
    std::longjmp(errors->jump, 1);
}

void output_message(j_common_ptr cinfo) {
    char text[JMSG_LENGTH_MAX];
    (*cinfo->err->format_message)(cinfo, text);
    platform::debug_trace(u"libjpeg: %s", text);
}

const JOCTET kEndOfImage[2] = {0xFF, JPEG_EOI};

void init_source(j_decompress_ptr) {}

boolean fill_input_buffer(j_decompress_ptr cinfo) {
    auto* m = reinterpret_cast<JpegSourceManager*>(cinfo->src);
    const ImageDataSource& s = m->source;
    if (s.size == 0 || !s.data) ERREXIT(cinfo, JERR_INPUT_EMPTY);
    std::uint32_t want = static_cast<std::uint32_t>(
        std::min<std::uint64_t>(s.size, std::uint64_t{m->position} + 10000));
    std::uint32_t available = ensure_available(s, want);
    if (available > m->position) {
        m->pub.next_input_byte = s.data + m->position;
        m->pub.bytes_in_buffer = available - m->position;
        m->position = available;
    } else {
        WARNMS(cinfo, JWRN_JPEG_EOF);
        m->pub.next_input_byte = kEndOfImage;
        m->pub.bytes_in_buffer = 2;
    }
    return TRUE;
}

void skip_input_data(j_decompress_ptr cinfo, long count) {
    if (count <= 0) return;
    auto* m = reinterpret_cast<JpegSourceManager*>(cinfo->src);
    auto n = static_cast<std::size_t>(count);
    while (n > m->pub.bytes_in_buffer) {
        n -= m->pub.bytes_in_buffer;
        fill_input_buffer(cinfo);
    }
    m->pub.next_input_byte += n;
    m->pub.bytes_in_buffer -= n;
}

void term_source(j_decompress_ptr) {}

JpegSourceManager& manager_of(jpeg_decompress_struct& cinfo) {
    auto* m = reinterpret_cast<JpegSourceManager*>(cinfo.src);
    if (m->source.size == 0 || !m->source.data) ERREXIT(&cinfo, JERR_INPUT_EMPTY);
    return *m;
}

}  // namespace

std::uint32_t jpeg_source_tell(jpeg_decompress_struct& cinfo) {
    JpegSourceManager& m = manager_of(cinfo);
    // After the end of the data the library reads the inserted marker.
    if (m.pub.next_input_byte >= kEndOfImage && m.pub.next_input_byte <= kEndOfImage + 2) return m.position;
    return m.position - static_cast<std::uint32_t>(m.pub.bytes_in_buffer);
}

bool jpeg_source_seek(jpeg_decompress_struct& cinfo, std::uint32_t offset) {
    JpegSourceManager& m = manager_of(cinfo);
    const ImageDataSource& s = m.source;
    if (offset > s.size) return false;
    std::uint32_t available = m.position;
    if (offset >= m.position) {
        available = ensure_available(s, static_cast<std::uint32_t>(std::min<std::uint64_t>(s.size, std::uint64_t{offset} + 10000)));
        if (available < offset) return false;
    }
    m.pub.next_input_byte = s.data + offset;
    m.pub.bytes_in_buffer = available - offset;
    m.position = available;
    return true;
}

void jpeg_install_errors(jpeg_decompress_struct& cinfo, JpegErrorManager& errors) {
    cinfo.err = jpeg_std_error(&errors.pub);
    errors.pub.error_exit = error_exit;
    errors.pub.output_message = output_message;
}

void jpeg_install_errors(jpeg_compress_struct& cinfo, JpegErrorManager& errors) {
    cinfo.err = jpeg_std_error(&errors.pub);
    errors.pub.error_exit = error_exit;
    errors.pub.output_message = output_message;
}

void jpeg_install_source(jpeg_decompress_struct& cinfo, JpegSourceManager& manager,
                         const ImageDataSource& source, std::uint32_t start) {
    manager.pub.init_source = init_source;
    manager.pub.fill_input_buffer = fill_input_buffer;
    manager.pub.skip_input_data = skip_input_data;
    manager.pub.resync_to_restart = jpeg_resync_to_restart;
    manager.pub.term_source = term_source;
    manager.pub.next_input_byte = nullptr;
    manager.pub.bytes_in_buffer = 0;
    manager.source = source;
    manager.position = start;
    cinfo.src = &manager.pub;
}

}  // namespace qelvio::decoding
