// Reading an Exif APP1 payload into an ExifTagList.
//
// Layout: "Exif\0\0", then TIFF data: byte order ("II"/"MM"), 42, offset of
// the first directory; every offset is counted from the TIFF header. Each
// directory is a 16-bit count, 12-byte entries (tag, type, count, value or
// offset) and the offset of the next directory. Every offset and every
// count × size is checked against the payload before it is used.
#include "metadata/exif_tag_list.h"

#include <cstring>

namespace qelvio::metadata {

class ExifReader {
public:
    ExifReader(ExifTagList& list, const std::uint8_t* tiff, std::size_t size, bool big_endian)
        : list_(list), tiff_(tiff), size_(size), big_endian_(big_endian) {}

    std::uint16_t u16(std::size_t at) const {
        const std::uint8_t* p = tiff_ + at;
        return big_endian_ ? static_cast<std::uint16_t>(p[0] << 8 | p[1])
                           : static_cast<std::uint16_t>(p[1] << 8 | p[0]);
    }
    std::uint32_t u32(std::size_t at) const {
        const std::uint8_t* p = tiff_ + at;
        return big_endian_ ? std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 |
                                 std::uint32_t{p[2]} << 8 | p[3]
                           : std::uint32_t{p[3]} << 24 | std::uint32_t{p[2]} << 16 |
                                 std::uint32_t{p[1]} << 8 | p[0];
    }

    // True when [offset, offset + length) lies inside the TIFF data.
    bool fits(std::uint64_t offset, std::uint64_t length) const {
        return offset <= size_ && length <= size_ - offset;
    }

    // Reads the directory at offset, appending its entries to `into`; in the
    // primary directory (follow_pointers) the Exif and GPS pointers are
    // followed into groups 1 and 2 instead of being kept. Stores the next-directory offset (0 when
    // absent). Returns false when the directory does not fit the data.
    bool read_directory(std::uint32_t offset, bool follow_pointers,
                        ExifTagList::Group& into, std::uint32_t* next) {
        if (next) *next = 0;
        if (!fits(offset, 2)) return false;
        std::uint32_t n = u16(offset);
        std::uint64_t entries = std::uint64_t{offset} + 2;
        if (!fits(entries, 12ull * n)) return false;
        bool followed[3] = {};
        for (std::uint32_t i = 0; i < n; ++i) {
            std::size_t at = static_cast<std::size_t>(entries + 12ull * i);
            std::uint16_t tag = u16(at);
            std::uint16_t type = u16(at + 2);
            std::uint32_t count = u32(at + 4);
            std::uint32_t size = exif_type_size(type);
            if (size == 0) continue;  // invalid type: skipped silently
            std::uint64_t bytes = std::uint64_t{count} * size;
            std::size_t values = at + 8;
            if (bytes > 4) {
                std::uint32_t value_offset = u32(at + 8);
                if (!fits(value_offset, bytes)) continue;  // values outside the data
                values = value_offset;
            }
            if (follow_pointers && (tag == kExifIfdPointer || tag == kGpsIfdPointer)) {
                int sub = tag == kExifIfdPointer ? kExifGroupExif : kExifGroupGps;
                std::uint32_t sub_offset = 0;
                bool has_offset = count >= 1 && (type == kExifLong || type == kExifSLong)
                                      ? (sub_offset = u32(values), true)
                                  : count >= 1 && type == kExifShort
                                      ? (sub_offset = u16(values), true)
                                      : false;
                // Each kind of directory is read once, so repeated pointers
                // cannot multiply the work.
                if (has_offset && !followed[sub]) {
                    followed[sub] = true;
                    read_directory(sub_offset, false, list_.groups_[sub], nullptr);
                }
                continue;
            }
            append(into, tag, type, count, values);
        }
        std::uint64_t next_at = entries + 12ull * n;
        if (next && fits(next_at, 4)) *next = u32(static_cast<std::size_t>(next_at));
        return true;
    }

    void append(ExifTagList::Group& into, std::uint16_t tag, std::uint16_t type,
                std::uint32_t count, std::size_t values) {
        auto entry = std::make_unique<ExifTag>();
        entry->set_shape(tag, type, count);  // count 0 when the block cannot be had
        std::uint8_t* dst = entry->value_address();
        const std::uint8_t* src = tiff_ + values;
        std::uint32_t size = exif_type_size(type);
        std::uint32_t n = entry->count();
        switch (type) {
            case kExifShort:
            case kExifSShort:
                for (std::uint32_t i = 0; i < n; ++i) {
                    std::uint16_t v = u16(values + 2 * std::size_t{i});
                    std::memcpy(dst + 2 * std::size_t{i}, &v, 2);
                }
                break;
            case kExifLong:
            case kExifSLong:
            case kExifRational:
            case kExifSRational:
            case kExifFloat:
                // Rationals are two 32-bit halves; FLOAT is one 32-bit word.
                for (std::uint64_t i = 0; i < std::uint64_t{n} * size / 4; ++i) {
                    std::uint32_t v = u32(values + 4 * i);
                    std::memcpy(dst + 4 * i, &v, 4);
                }
                break;
            case kExifDouble:
                for (std::uint32_t i = 0; i < n; ++i) {
                    std::uint8_t v[8];
                    for (int b = 0; b < 8; ++b)
                        v[b] = src[8 * std::size_t{i} + (big_endian_ ? 7 - b : b)];
                    std::memcpy(dst + 8 * std::size_t{i}, v, 8);
                }
                break;
            default:
                if (n) std::memcpy(dst, src, n);
                break;
        }
        entry->list_ = &list_;
        into.push_back(std::move(entry));
    }

    void read_thumbnail(std::uint32_t offset) {
        ExifTagList::Group scratch;
        if (!read_directory(offset, false, scratch, nullptr)) return;
        std::uint32_t compression = 0, start = 0, length = 0;
        for (const auto& e : scratch) {
            if (e->tag() == 259) e->get_integer(0, compression);
            if (e->tag() == 513) e->get_integer(0, start);
            if (e->tag() == 514) e->get_integer(0, length);
        }
        if (compression == 6) {
            if (start > 0 && length > 0 && fits(start, length)) {
                list_.thumbnail_.assign(tiff_ + start, tiff_ + start + length);
                list_.thumbnail_is_jpeg_ = true;
            }
        } else {
            list_.thumbnail_.assign(tiff_, tiff_ + size_);
            list_.thumbnail_is_jpeg_ = false;
        }
    }

private:
    ExifTagList& list_;
    const std::uint8_t* tiff_;
    std::size_t size_;
    bool big_endian_;
};

int ExifTagList::read(const std::uint8_t* payload, std::size_t length, bool with_thumbnail) {
    if (!payload || length < 14 || std::memcmp(payload, "Exif", 5) != 0) return 0;
    const std::uint8_t* tiff = payload + 6;
    std::size_t size = length - 6;
    bool big;
    if (tiff[0] == 'M' && tiff[1] == 'M') {
        big = true;
    } else if (tiff[0] == 'I' && tiff[1] == 'I') {
        big = false;
    } else {
        return 0;
    }
    ExifReader reader(*this, tiff, size, big);
    if (reader.u16(2) != 42) return 0;
    big_endian_ = big;
    thumbnail_.clear();
    thumbnail_is_jpeg_ = false;
    modified_ = true;
    std::uint32_t next = 0;
    if (!reader.read_directory(reader.u32(4), true, groups_[0], &next))
        return 0;
    if (with_thumbnail && next != 0) reader.read_thumbnail(next);
    return 1;
}

}  // namespace qelvio::metadata
