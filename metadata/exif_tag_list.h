// An image's metadata: the entries of an Exif APP1 segment's directories in
// three groups (0 primary image, 1 Exif directory, 2 GPS directory), the
// embedded thumbnail found while reading, and a modified flag.
//
// Reading takes the payload of an APP1 segment (the bytes after its length
// field) and checks every offset and count against the payload, so a hostile
// segment can only yield fewer entries. Writing produces a little-endian
// payload that starts with "Exif\0\0".
//
// Not thread-safe; a list is used by one thread at a time.
#pragma once

#include "metadata/exif_tag.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace qelvio::metadata {

// Group numbers; kExifGroupAuto picks the group from the tag number.
enum ExifGroup : int {
    kExifGroupPrimary = 0,
    kExifGroupExif = 1,
    kExifGroupGps = 2,
    kExifGroupAuto = 4,
};

// The tags that point to the Exif and GPS directories from the primary one.
inline constexpr std::uint16_t kExifIfdPointer = 34665;
inline constexpr std::uint16_t kGpsIfdPointer = 34853;

// Group of a tag under automatic grouping: above 45055 GPS, above 33433
// Exif, else primary.
int exif_auto_group(std::uint16_t tag);

class ExifTagList {
public:
    // An empty, little-endian, unmodified list.
    ExifTagList() = default;
    ExifTagList(const ExifTagList&) = delete;
    ExifTagList& operator=(const ExifTagList&) = delete;
    ~ExifTagList() = default;

    // Inserts a copy of entry (bound to this list) before the first entry of
    // the group with a larger tag. When the tag is already there: with
    // replace its shape and values are replaced, without replace nothing
    // changes and the result is 0. Returns 1 on success, 0 for a bad group
    // or when the values could not be copied.
    int add(const ExifTag& entry, bool replace, int group = kExifGroupAuto);
    // The entry with that tag in the group, or null.
    ExifTag* find(std::uint16_t tag, int group = kExifGroupAuto);
    const ExifTag* find(std::uint16_t tag, int group = kExifGroupAuto) const;
    // Deletes the entry; 0 when it is absent.
    int remove(std::uint16_t tag, int group = kExifGroupAuto);
    // Replaces this list's entries by copies of the other list's (merging a
    // list into itself changes nothing).
    void merge(const ExifTagList& other);
    // Frees all entries and the thumbnail copy.
    void clear();

    // Entries of a group (0 to 2) in list order; empty for other groups.
    std::size_t size(int group) const;
    const ExifTag* at(int group, std::size_t index) const;
    // Total number of entries in the three groups.
    std::size_t total_size() const;

    // The thumbnail copied by the last read with thumbnail (empty when none)
    // and whether it is a JPEG; otherwise it is the segment's TIFF data.
    const std::vector<std::uint8_t>& thumbnail() const { return thumbnail_; }
    bool thumbnail_is_jpeg() const { return thumbnail_is_jpeg_; }

    bool big_endian() const { return big_endian_; }
    bool modified() const { return modified_; }
    void set_modified(bool modified) { modified_ = modified; }

    // Reads an APP1 payload of the given length, appending its entries.
    // With with_thumbnail, also copies the embedded thumbnail. Returns
    // nonzero when the first directory could be read; entries read before a
    // failure stay in the list.
    int read(const std::uint8_t* payload, std::size_t length, bool with_thumbnail);

    // Upper bound of the bytes write produces.
    std::size_t write_size() const;
    // Writes the list as a little-endian APP1 payload into buffer (capacity
    // bytes). Returns the number of bytes written, or 0 when the buffer is too
    // small or the list cannot be expressed (more than 65535 entries in a group).
    std::size_t write(std::uint8_t* buffer, std::size_t capacity) const;
    // Convenience: the payload as a vector (empty on failure).
    std::vector<std::uint8_t> write() const;

private:
    using Group = std::vector<std::unique_ptr<ExifTag>>;
    Group* group_list(int group);
    const Group* group_list(int group) const;

    std::vector<std::unique_ptr<ExifTag>> groups_[3];
    std::vector<std::uint8_t> thumbnail_;
    bool thumbnail_is_jpeg_ = false;
    bool big_endian_ = false;
    bool modified_ = false;

    friend class ExifReader;
};

}  // namespace qelvio::metadata
