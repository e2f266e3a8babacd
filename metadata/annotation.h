// The annotation texts of an image: description (tag 270), artist (315) and
// copyright (33432), kept as ASCII entries of its tag list.
#pragma once

#include "metadata/exif_tag_list.h"

#include <string_view>

namespace qelvio::metadata {

inline constexpr std::uint16_t kTagImageDescription = 270;
inline constexpr std::uint16_t kTagArtist = 315;
inline constexpr std::uint16_t kTagCopyright = 33432;

// The entries hold 8-bit text (ISO 8859-1): true when every character of
// the text is one of those.
bool fits_annotation_text(std::u16string_view text);

// Applies an edited annotation text as the properties dialog does: an empty
// text removes the tag, a changed text replaces the stored one (as 8-bit
// text), a new text becomes a new ASCII entry. A text that does not fit
// changes nothing. Returns true when the list changed.
bool apply_annotation_text(ExifTagList& list, std::uint16_t tag, std::u16string_view text);

// The list as it is written into a JPEG file: a copy of the entries, plus
// the primary-image entries a JPEG's Exif data must have (resolution 72 by
// 72 per inch, centred chroma) when the list lacks them, as it does when the
// file had no Exif data before.
std::vector<std::uint8_t> serialize_for_jpeg(const ExifTagList& list);

}  // namespace qelvio::metadata
