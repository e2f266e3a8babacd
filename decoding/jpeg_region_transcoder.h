// Region decoding of a baseline JPEG through its region index: the decoded
// rectangle for a requested one, and the transcoding of that rectangle's
// MCUs into a small baseline JPEG in memory, which libjpeg then decodes as
// usual.
//
// Each MCU row of the rectangle resumes at the index point at or before its
// first MCU column and reads (without keeping) the MCUs up to it, so the DC
// predictions are right. The small JPEG keeps the file's quantisation
// tables, frame components and sampling, and codes every component with the
// standard luminance tables (they hold every DC size and every run/size
// symbol); a restart marker after every MCU row lets each row start its DC
// predictions afresh. Its colour space is the file's: the caller tells
// libjpeg after reading the small file's header.
//
// With subsampled chroma the small JPEG also holds one MCU on each side of
// the decoded rectangle where the image has one: libjpeg's upsampling of
// the rectangle's edge pixels then sees the same chroma neighbours as in a
// decode of the whole file, and the caller keeps only the rectangle's pixels
// of the output. The margin is whole MCUs (8 to 32 pixels), so at the DCT
// scales 1/2, 1/4 and 1/8 the rectangle still starts on a whole output
// pixel.
#pragma once

#include "decoding/jpeg_entropy_scanner.h"
#include "decoding/jpeg_region_index.h"

#include <cstdint>
#include <vector>

namespace qelvio::decoding {

struct RegionRectangle {
    std::int32_t pixels[4];      // decoded rectangle: left, top, right, bottom in image pixels
    std::int32_t transcoded[4];  // what the small JPEG holds: the decoded rectangle and its margin
    std::uint32_t mcus[4];       // the same in MCU columns and rows (right and bottom exclusive)
};

// The decoded rectangle for a requested one (left, top, right, bottom),
// and the MCUs to transcode for it (with the margin above):
// left and top moved back to the alignment unit, right and bottom rounded
// up to it but kept inside the image. The unit is 16 × 8 for MCUs of four
// blocks whose largest horizontal sampling factor is at least the largest
// vertical one, 8 × 16 for other four-block MCUs, 16 × 16 for six blocks,
// else 8 × 8; where that is not a whole number of MCUs (4:1:1, 4:2:0 with
// a fourth component), the MCU itself. False when the requested rectangle
// is empty or not inside the image.
bool region_rectangle(const ScanLayout& layout, const std::int32_t source[4], RegionRectangle& out);

// Writes the small JPEG of the rectangle's MCUs into `jpeg`. Returns 0,
// kDecodeFailed when an index point it needs is damaged or not this file's,
// kDecodeCorrupt when a restart marker is out of order.
int transcode_region(const ScanLayout& layout, const std::uint8_t* data, std::uint32_t size,
                     const RegionIndexReader& index, const RegionRectangle& rectangle,
                     std::vector<std::uint8_t>& jpeg);

}  // namespace qelvio::decoding
