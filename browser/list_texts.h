// The texts the image list draws: the shown name, the size, the dimensions,
// and shortening with "..." to a width. Dates are formatted by the user
// interface with the picture kTextDatePicture (it needs the locale).
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace qelvio::browser {

// The file name cut at its last "." (a.b.jpg -> a.b); a name without a dot
// stays whole.
std::u16string shown_name(std::u16string_view file_name);
// "%.2fM" of size / 1048576 above 1048575 bytes, otherwise "%.1fK" of
// size / 1024.
std::u16string size_text(int64_t size);
// "%dx%dx%db".
std::u16string dimensions_text(int width, int height, int bits_per_pixel);
// The text when it fits the width; otherwise its longest beginning (at
// least one character) that fits together with "...", and "...". width_of
// measures a text in pixels.
std::u16string shorten(std::u16string_view text, int width, const std::function<int(std::u16string_view)>& width_of);

}  // namespace qelvio::browser
