// Shared helpers of the decoder tests: temporary folders, running the
// oracle tools, and turning decoded bitmaps and ImageMagick output into the
// same top-down RGB pictures for comparison.
#pragma once

#include "decoding/builtin_module.h"
#include "decoding/data_source.h"
#include "decoding/decoder_records.h"
#include "storage/tests/command_output.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace qelvio::decoding::test {


// A fresh folder under /tmp, removed with everything in it at the end.
class TempDir {
public:
    TempDir();
    ~TempDir();
    std::string path(const std::string& name) const { return dir_ + "/" + name; }

private:
    std::string dir_;
};

// A picture as top-down rows of red, green, blue bytes.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb;
    std::uint8_t channel(int x, int y, int c) const {
        return rgb[(static_cast<std::size_t>(y) * width + x) * 3 + c];
    }
};

// Writes a binary PPM of width × height from colour(x, y) -> 0xRRGGBB.
void write_ppm(const std::string& path, int width, int height,
               const std::function<std::uint32_t(int, int)>& colour);

// ImageMagick's decode of a file ("file.gif[0]" works too); empty on failure.
Picture magick_picture(const std::string& source, const std::string& options = "");
// A binary PPM (P6, maxval 255) read back.
Picture ppm_picture(const std::vector<std::uint8_t>& ppm);
// A decoded bitmap (header + bitmap of a DecodeResult) as a picture.
Picture result_picture(const DecodeResult& result);

// First pixel where two pictures differ, as text; empty when equal.
std::string difference(const Picture& a, const Picture& b, int tolerance = 0);

// Opens bytes through the built-in module's choice (TIFF, JPEG, GIF, BMP)
// and decodes page 0 with the request. Returns the decode status (or the
// open status); the result is released by the caller.
struct Decoded {
    int status = -1;
    ImageInfo info{};
    DecodeResult result{};
    Decoded() = default;
    Decoded(const Decoded&) = delete;
    ~Decoded();
    Picture picture() const { return result_picture(result); }
};
void decode_bytes(const std::vector<std::uint8_t>& bytes, const DecodeRequest& request,
                  Decoded& out);
void decode_file(const std::string& path, Decoded& out, std::uint32_t target_width = 0,
                 std::uint32_t target_height = 0);

}  // namespace qelvio::decoding::test
