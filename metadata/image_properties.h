// What the properties sheet does to an image's file and tag list, without
// its widgets: the name shown and the name kept on rename, the colour count,
// the read-only toggle, the rename itself, and the annotation texts read
// from and written to the tag list. User-interface thread only.
#pragma once

#include "metadata/exif_tag_list.h"
#include "qelvio/p_fileops.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace qelvio::metadata {

// A file name cut at its last "." ("a.b.jpg" → "a.b"; no dot: all of it).
std::u16string_view name_before_extension(std::u16string_view file_name);
// From the last "." on, the dot included ("a.b.jpg" → ".jpg"; no dot: "").
std::u16string_view name_extension_of(std::u16string_view file_name);

// Colours of a bits-per-pixel value: 2 to that power below 32, else 0.
std::uint64_t colour_count(int bits_per_pixel);

// Flips the file's read-only attribute. 0 and the new state in read_only,
// or the status of reading or writing the attributes (read_only unchanged);
// -100 without a file.
int32_t toggle_read_only(p_filenode* file, bool& read_only);

// Renames the file to `stem` followed by its current extension, through
// p_copywithprompts: a name held by another file asks `prompt` (which may
// answer No, leaving both files as they are, or Yes, replacing the other
// file in one step with this one); no prompt refuses with -9. 0 and
// `renamed` true when the file now has the new name; 0 and `renamed` false
// when nothing was to do or the prompt said No; -17 for a name that would
// hide the file (a leading "." it did not have) or that is empty; -20 for
// Cancel; or the rename's status.
int32_t rename_image(p_filenode* file, std::u16string_view stem, p_overwriteprompt* prompt, bool& renamed);

// The description shown: the text of tag 270, or of tag 1 when the list
// has no tag 270 (empty when neither is there).
std::u16string annotation_description(const ExifTagList& list);
// The text of an ASCII tag found by automatic grouping, or empty.
std::u16string annotation_text(const ExifTagList& list, std::uint16_t tag);

// The edited texts of the Annotation page.
struct AnnotationTexts {
    std::u16string description;
    std::u16string artist;
    std::u16string copyright;
};
// Applies them to the list (tags 270, 315 and 33432; an empty text removes
// its tag). True when the list changed.
bool apply_annotation(ExifTagList& list, const AnnotationTexts& texts);

}  // namespace qelvio::metadata
