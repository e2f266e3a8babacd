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
//
// With the Exif payload of the file the picture came from (original_exif),
// the new file's Exif segment is that payload updated in place, so the
// maker note, GPS and Interop directories and every unedited value keep
// their bytes and offsets: only the edited entries change, the pixel
// dimensions (40962, 40963) take the new picture's size, the orientation
// (274) becomes 1 since the pixels are stored as this program shows them,
// and the old thumbnail directory (IFD1) goes, since its picture shows what
// the image no longer is. A payload that cannot be updated this way is
// replaced by the list written anew.
//
// carried holds physical segments of the original file (its colour
// profile, XMP, Photoshop resources) written byte for byte, in order, after
// the Exif segment and before the audio segments.
struct CarriedSegment {
    uint8_t marker = 0;            // an APPn marker
    std::vector<uint8_t> payload;  // at most 65533 bytes: one physical segment
};
int write_jpeg(p_ImageSource& image, std::u16string_view destination, int quality, bool thumbnail_mode,
               const std::vector<uint8_t>* original_exif = nullptr,
               const std::vector<CarriedSegment>* carried = nullptr);

// Encodes a bitmap alone (no metadata) into a JPEG file at the device path
// destination, through a temporary file as above. Thread-safe: it touches
// only the bitmap and the platform's files. Same results as write_jpeg.
int write_jpeg_bitmap(const imaging::Dib& bitmap, std::u16string_view destination, int quality);

}  // namespace qelvio::decoding
