// Writing an image source's picture as a baseline JPEG file.
#pragma once

#include "decoding/source/image_source.h"

namespace qelvio::decoding {

// Quality of thumbnails kept in the thumbnail folder.
inline constexpr int kThumbnailQuality = 90;

// Encodes the image's whole-image bitmap (decoding it first when there is
// none), or in thumbnail mode its thumbnail bitmap, into a JPEG file at the
// device path destination. Outside thumbnail mode the file also carries the
// image's tag list (APP1) and audio annotation (APP2). The file is written
// to a temporary file first and replaces the destination only when it is
// complete. 0; -3 when the temporary file cannot be made; -12 when a
// format conversion runs out of memory; -100 for an encoder or write
// failure, or no bitmap to write.
int write_jpeg(p_ImageSource& image, std::u16string_view destination, int quality, bool thumbnail_mode);

// Encodes a bitmap alone (no metadata) into a JPEG file at the device path
// destination, through a temporary file as above. Thread-safe: it touches
// only the bitmap and the platform's files. Same results as write_jpeg.
int write_jpeg_bitmap(const imaging::Dib& bitmap, std::u16string_view destination, int quality);

}  // namespace qelvio::decoding
