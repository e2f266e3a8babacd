// Writing an ExifTagList as a little-endian APP1 payload: "Exif\0\0", the
// TIFF header ("II", 42, first directory at 8), directory 0 with pointer
// entries to the Exif and GPS directories, each sub-directory written into
// directory 0's data area. The embedded thumbnail is not written.
//
// Value blocks of odd length get one zero byte of padding, so that every
// offset in the payload is even as TIFF requires (readers warn otherwise).
#include "metadata/exif_tag_list.h"

#include <bit>
#include <cstring>
#include <utility>

namespace qelvio::metadata {
namespace {

constexpr std::size_t kHeaderBytes = 6 + 8;

std::size_t directory_bytes(std::size_t entries) { return 2 + 12 * entries + 4; }

// A value block's length in the data area: padded to an even length.
std::size_t padded(std::size_t n) { return n + (n & 1); }

std::size_t data_bytes(const std::vector<std::unique_ptr<ExifTag>>& group) {
    std::size_t n = 0;
    for (const auto& e : group)
        if (e->byte_size() > 4) n += padded(e->byte_size());
    return n;
}

class Writer {
public:
    explicit Writer(std::uint8_t* buffer) : out_(buffer) {}

    void put16(std::size_t at, std::uint16_t v) {
        out_[at] = static_cast<std::uint8_t>(v);
        out_[at + 1] = static_cast<std::uint8_t>(v >> 8);
    }
    void put32(std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) out_[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
    }

    // Writes one entry at `at`; values above 4 bytes go to the data area.
    void entry(std::size_t at, const ExifTag& e) {
        put16(at, e.tag());
        put16(at + 2, e.type());
        put32(at + 4, e.count());
        std::size_t n = e.byte_size();
        if (n <= 4) {
            std::memset(out_ + at + 8, 0, 4);
            std::memcpy(out_ + at + 8, e.value_address(), n);
            to_little_endian(out_ + at + 8, e);
        } else {
            put32(at + 8, static_cast<std::uint32_t>(data_ - 6));
            std::memcpy(out_ + data_, e.value_address(), n);
            to_little_endian(out_ + data_, e);
            if (n & 1) out_[data_ + n] = 0;
            data_ += padded(n);
        }
    }

    // Values are held in this machine's order; the payload is little-endian.
    static void to_little_endian(std::uint8_t* p, const ExifTag& e) {
        if constexpr (std::endian::native == std::endian::big) {
            std::uint32_t unit = exif_type_size(e.type());
            if (e.type() == kExifRational || e.type() == kExifSRational) unit = 4;
            if (unit < 2) return;
            std::size_t n = e.byte_size();
            for (std::size_t i = 0; i < n; i += unit)
                for (std::uint32_t a = 0, b = unit - 1; a < b; ++a, --b)
                    std::swap(p[i + a], p[i + b]);
        } else {
            (void)p;
            (void)e;
        }
    }

    // Writes a directory of `group` at the current data position, followed by
    // its own data area.
    void sub_directory(const std::vector<std::unique_ptr<ExifTag>>& group) {
        std::size_t at = data_;
        put16(at, static_cast<std::uint16_t>(group.size()));
        data_ = at + directory_bytes(group.size());
        for (std::size_t i = 0; i < group.size(); ++i) entry(at + 2 + 12 * i, *group[i]);
        put32(at + 2 + 12 * group.size(), 0);
    }

    std::size_t data_ = 0;

private:
    std::uint8_t* out_;
};

}  // namespace

std::size_t ExifTagList::write_size() const {
    std::size_t n = kHeaderBytes + directory_bytes(groups_[0].size()) + data_bytes(groups_[0]);
    for (int g = 1; g <= 2; ++g)
        n += 12 + directory_bytes(groups_[g].size()) + data_bytes(groups_[g]);
    return n;
}

std::size_t ExifTagList::write(std::uint8_t* buffer, std::size_t capacity) const {
    std::size_t needed = write_size();
    if (!buffer || capacity < needed || needed - 6 > UINT32_MAX) return 0;
    for (const auto& g : groups_)
        if (g.size() > 0xFFFF - 2) return 0;

    Writer w(buffer);
    std::memcpy(buffer, "Exif\0\0II\x2A\0\x08\0\0\0", kHeaderBytes);
    const std::size_t dir0 = kHeaderBytes;
    std::size_t pointers = (groups_[1].empty() ? 0 : 1) + (groups_[2].empty() ? 0 : 1);
    std::size_t entries = groups_[0].size() + pointers;
    w.put16(dir0, static_cast<std::uint16_t>(entries));
    w.data_ = dir0 + directory_bytes(entries);
    std::size_t at = dir0 + 2;
    for (const auto& e : groups_[0]) {
        w.entry(at, *e);
        at += 12;
    }
    static constexpr std::uint16_t pointer_tags[3] = {0, kExifIfdPointer, kGpsIfdPointer};
    for (int g = 1; g <= 2; ++g) {
        if (groups_[g].empty()) continue;
        w.put16(at, pointer_tags[g]);
        w.put16(at + 2, kExifLong);
        w.put32(at + 4, 1);
        w.put32(at + 8, static_cast<std::uint32_t>(w.data_ - 6));
        at += 12;
        w.sub_directory(groups_[g]);
    }
    w.put32(at, 0);
    return w.data_;
}

std::vector<std::uint8_t> ExifTagList::write() const {
    std::vector<std::uint8_t> out(write_size());
    out.resize(write(out.data(), out.size()));
    return out;
}

}  // namespace qelvio::metadata
