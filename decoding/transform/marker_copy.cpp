// Marker copying: the saved COM and APPn segments go to the output byte for
// byte, in their source order, after the segments the compressor writes
// itself. A second JFIF APP0 or Adobe APP14 would contradict the one the
// compressor wrote, so a saved one is left out when the compressor has its own.
#include "decoding/transform/transform_routines.h"

#include <cstring>

namespace qelvio::decoding {
namespace {

bool starts_with(const jpeg_marker_struct* marker, const char* id, std::size_t length) {
    return marker->data_length >= length && std::memcmp(marker->data, id, length) == 0;
}

}  // namespace

void copy_markers(j_decompress_ptr source, j_compress_ptr destination) {
    for (jpeg_saved_marker_ptr m = source->marker_list; m; m = m->next) {
        if (destination->write_JFIF_header && m->marker == JPEG_APP0 && starts_with(m, "JFIF\0", 5))
            continue;
        if (destination->write_Adobe_marker && m->marker == JPEG_APP0 + 14 && starts_with(m, "Adobe", 5))
            continue;
        jpeg_write_marker(destination, m->marker, m->data, m->data_length);
    }
}

}  // namespace qelvio::decoding
