// Saving an edited tag list into a file's existing Exif segment so that
// only the edited entries change.
//
// The file's Exif payload is kept as it is, byte for byte: every directory
// (primary, Exif, GPS, Interop, the thumbnail's directory), every value and
// the maker note stay at their offsets, so offsets inside the maker note
// (which some cameras count from the TIFF header, others from the note
// itself) and the thumbnail's offset stay valid. Only the edited entries
// change:
// - a changed value is written over its old place when it fits there, and
//   otherwise after the end of the payload; the old bytes are zeroed, so no
//   byte of a replaced or removed value remains;
// - a directory that loses entries is rewritten where it was; one that
//   gains entries moves after the end of the payload and its pointer (the
//   header's first-directory offset, or the Exif or GPS pointer) follows it.
// Values are written in the payload's own byte order.
#pragma once

#include "metadata/exif_tag_list.h"

#include <cstdint>
#include <vector>

namespace qelvio::metadata {

enum ExifUpdate : int {
    kExifUnchanged = 0,     // no entry differs: the segment is left alone
    kExifUpdated = 1,       // `out` holds the new payload
    kExifCannotUpdate = -1  // the payload's directories overlap what must change
};

// The payload to store for `edited`, given the file's Exif payload
// (`original`, the bytes after the APP1 length field; empty when the file has
// none). Entries are compared with those read from `original` as the image
// source reads them (first entry of each tag and group). A file without
// Exif data receives the whole list as serialize_for_jpeg writes it. A
// payload whose first directory cannot be read is left alone when the list
// was not edited, and an edit of it is refused (kExifCannotUpdate): writing
// a new payload would lose what other programs still read of the old one.
int update_exif_payload(const std::vector<std::uint8_t>& original, const ExifTagList& edited,
                        std::vector<std::uint8_t>& out);

// Removes the thumbnail's directory (IFD1) from an Exif payload: the
// primary directory no longer links to it, and its entries, values and
// picture are zeroed wherever nothing kept shares their bytes (a trailing
// run of them is cut off). Every other directory and value, the maker note
// included, stays byte for byte at its offset. For a picture encoded anew,
// whose old thumbnail no longer shows it. kExifUpdated, kExifUnchanged when
// there is no thumbnail directory, kExifCannotUpdate for a payload whose
// primary directory cannot be read.
int drop_thumbnail_directory(std::vector<std::uint8_t>& payload);

}  // namespace qelvio::metadata
