// FormatId: up to four ASCII letters in a 32-bit code, first letter in the
// lowest byte ("JPG" is 0x0047504A).
#pragma once

#include <cstdint>
#include <string>

namespace qelvio::decoding {

using FormatId = std::uint32_t;

constexpr FormatId make_format_id(const char* letters) {
    FormatId id = 0;
    for (int i = 0; i < 4 && letters[i]; ++i)
        id |= static_cast<FormatId>(static_cast<unsigned char>(letters[i])) << (8 * i);
    return id;
}

inline constexpr FormatId kFormatBmp = make_format_id("BMP");
inline constexpr FormatId kFormatGif = make_format_id("GIF");
inline constexpr FormatId kFormatJpeg = make_format_id("JPG");
inline constexpr FormatId kFormatTiff = make_format_id("TIFF");

static_assert(kFormatBmp == 0x00504D42 && kFormatGif == 0x00464947);
static_assert(kFormatJpeg == 0x0047504A && kFormatTiff == 0x46464954);

// The letters of a code ("JPG").
inline std::string format_id_text(FormatId id) {
    std::string s;
    for (int i = 0; i < 4 && ((id >> (8 * i)) & 0xFF); ++i)
        s += static_cast<char>((id >> (8 * i)) & 0xFF);
    return s;
}

}  // namespace qelvio::decoding
