#include "decoding/exif_thumbnail.h"

#include <cstring>

namespace qelvio::decoding {
namespace {

struct Tiff {
    const std::uint8_t* data;
    std::size_t size;
    bool big;
    bool fits(std::uint64_t at, std::uint64_t n) const { return at <= size && n <= size - at; }
    std::uint32_t u16(std::size_t at) const {
        return big ? std::uint32_t{data[at]} << 8 | data[at + 1]
                   : std::uint32_t{data[at + 1]} << 8 | data[at];
    }
    std::uint32_t u32(std::size_t at) const {
        return big ? u16(at) << 16 | u16(at + 2) : u16(at + 2) << 16 | u16(at);
    }
};

}  // namespace

bool find_exif_thumbnail(const std::uint8_t* payload, std::size_t size, ExifThumbnail& out) {
    out = {};
    if (!payload || size < 14 || std::memcmp(payload, "Exif\0", 5) != 0) return false;
    Tiff t{payload + 6, size - 6, false};
    if (t.data[0] == 'M' && t.data[1] == 'M') {
        t.big = true;
    } else if (!(t.data[0] == 'I' && t.data[1] == 'I')) {
        return false;
    }
    std::uint32_t first = t.u32(4);
    if (first == 0 || !t.fits(first, 2)) return false;
    std::uint64_t next_at = std::uint64_t{first} + 2 + 12ull * t.u16(first);
    if (!t.fits(next_at, 4)) return false;
    std::uint32_t dir = t.u32(static_cast<std::size_t>(next_at));
    if (dir == 0 || !t.fits(dir, 2)) return false;
    std::uint32_t n = t.u16(dir);
    std::uint32_t compression = 0, offset = 0, length = 0;
    for (std::uint32_t i = 0; i < n; ++i) {
        std::uint64_t e = std::uint64_t{dir} + 2 + 12ull * i;
        if (!t.fits(e, 12)) break;
        auto at = static_cast<std::size_t>(e);
        std::uint32_t tag = t.u16(at), type = t.u16(at + 2);
        if (type < 1 || type > 12) continue;
        std::uint32_t value = type == 3 || type == 8 ? t.u16(at + 8) : t.u32(at + 8);
        if (tag == 259) compression = type == 3 || type == 8 ? value : value & 0xFFFF;
        if (tag == 513) offset = value;
        if (tag == 514) length = value;
    }
    out.big_endian = t.big;
    out.directory = dir;
    if (compression == 6) {
        if (offset == 0 || length == 0 || !t.fits(offset, length)) return false;
        out.jpeg = true;
        out.offset = offset;
        out.length = length;
    }
    return true;
}

std::vector<std::uint8_t> make_thumbnail_tiff(const std::uint8_t* payload, std::size_t size,
                                              const ExifThumbnail& thumbnail) {
    std::vector<std::uint8_t> tiff(payload + 6, payload + size);
    std::uint32_t d = thumbnail.directory;
    for (int i = 0; i < 4; ++i)
        tiff[4 + static_cast<std::size_t>(i)] =
            static_cast<std::uint8_t>(d >> (thumbnail.big_endian ? 8 * (3 - i) : 8 * i));
    return tiff;
}

}  // namespace qelvio::decoding
