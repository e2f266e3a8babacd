// Finding the thumbnail embedded in an Exif APP1 segment: the second
// directory of its TIFF data names either a JPEG thumbnail (compression 6,
// offset and length) or an uncompressed TIFF image. Every offset and count
// is checked against the segment.
#pragma once

#include "decoding/decoder_records.h"
#include "decoding/image_decoder.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace qelvio::decoding {

struct ExifThumbnail {
    bool jpeg = false;
    std::uint32_t directory = 0;  // offset of the thumbnail's directory in the TIFF data
    std::uint32_t offset = 0;     // JPEG thumbnail: offset in the TIFF data
    std::uint32_t length = 0;     // and its length
    bool big_endian = false;
};

// Looks at an APP1 payload ("Exif\0\0" + TIFF data of `size` − 6 bytes).
// True when it names a thumbnail that lies inside the segment.
bool find_exif_thumbnail(const std::uint8_t* payload, std::size_t size, ExifThumbnail& out);

// The segment's TIFF data with the first-directory offset pointing at the
// thumbnail's directory, for decoding an uncompressed thumbnail.
std::vector<std::uint8_t> make_thumbnail_tiff(const std::uint8_t* payload, std::size_t size,
                                              const ExifThumbnail& thumbnail);

// A TIFF decoder in Exif-thumbnail mode (LZW accepted) over the source.
std::unique_ptr<ImageDecoder> make_exif_tiff_thumbnail_decoder(const ImageDataSource& source);

}  // namespace qelvio::decoding
