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

}  // namespace qelvio::decoding
