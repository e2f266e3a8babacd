// How an Exif entry is shown to the user (the properties dialog's Metadata
// page and `qelvio-cli info`): the tag's name from the string table, and
// its value as one line of text.
#pragma once

#include "metadata/exif_tag.h"

#include <cstdint>
#include <string>

namespace qelvio::metadata {

// The tag's name (string number = tag number), or the number itself
// through string 35026 ("%d") for tags without a name.
std::u16string exif_tag_name(std::uint16_t tag);

// The value text: ASCII as text; UNDEFINED as "(" hex bytes joined by ","
// ")"; numbers joined by "," (rationals as a decimal with "%f", or "%.0f"
// when whole; FLOAT and DOUBLE "%.0f"). Signed types print as signed
// numbers. Once the text passes 3961 characters, "..." ends it.
std::u16string exif_value_text(const ExifTag& entry);

}  // namespace qelvio::metadata
