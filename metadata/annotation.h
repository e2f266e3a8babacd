// The annotation texts of an image: description (tag 270), artist (315) and
// copyright (33432), kept as ASCII entries of its tag list.
#pragma once

#include "metadata/exif_tag_list.h"

#include <string_view>

namespace qelvio::metadata {

inline constexpr std::uint16_t kTagImageDescription = 270;
inline constexpr std::uint16_t kTagArtist = 315;
inline constexpr std::uint16_t kTagCopyright = 33432;

// Applies an edited annotation text as the properties dialog does: an empty
// text removes the tag, a changed text replaces the stored one (as 8-bit
// text), a new text becomes a new ASCII entry. Returns true when the list
// changed.
bool apply_annotation_text(ExifTagList& list, std::uint16_t tag, std::u16string_view text);

}  // namespace qelvio::metadata
