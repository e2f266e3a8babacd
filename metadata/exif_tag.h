// One entry of an Exif/TIFF directory: tag number, field type, value count
// and the values themselves, with typed access.
//
// Values of at most 4 bytes are held inline, larger ones in a separately
// allocated block; either way they are kept in this machine's byte order.
// An entry may belong to an ExifTagList; every change through a setter then
// marks that list modified.
//
// Not thread-safe; an entry is used by one thread at a time.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace qelvio::metadata {

class ExifTagList;

// The twelve TIFF field types.
enum ExifType : std::uint16_t {
    kExifByte = 1,
    kExifAscii = 2,
    kExifShort = 3,
    kExifLong = 4,
    kExifRational = 5,
    kExifSByte = 6,
    kExifUndefined = 7,
    kExifSShort = 8,
    kExifSLong = 9,
    kExifSRational = 10,
    kExifFloat = 11,
    kExifDouble = 12,
};

// Size in bytes of one value of a field type; 0 for an invalid type.
std::uint32_t exif_type_size(std::uint16_t type);

class ExifTag {
public:
    // A fresh entry: tag 0, type UNDEFINED, no values, no list.
    ExifTag() = default;
    // Copies shape and values; the copy belongs to no list.
    ExifTag(const ExifTag& other);
    ExifTag& operator=(const ExifTag& other);
    ~ExifTag() = default;

    std::uint16_t tag() const { return tag_; }
    std::uint16_t type() const { return type_; }
    std::uint32_t count() const { return count_; }
    // count × size of the type, in bytes.
    std::size_t byte_size() const;
    ExifTagList* list() const { return list_; }

    // Sets tag, type (1 to 12) and count, dropping the old values; the new
    // values are zero. Returns 0 for an invalid type; when the value block
    // cannot be allocated the count becomes 0 and the result is 0.
    int set_shape(std::uint16_t tag, std::uint16_t type, std::uint32_t count);
    // Takes the other entry's shape and a copy of its values. Returns 0 when
    // the values could not be allocated.
    int copy_from(const ExifTag& other);

    // The values: the inline bytes or the separate block.
    const std::uint8_t* value_address() const;
    std::uint8_t* value_address();

    // Getters: nonzero for success; 0 for an index at or beyond the count or
    // a type the getter does not accept.
    // BYTE, ASCII, SBYTE, UNDEFINED, SHORT, SSHORT: the value zero-extended.
    int get_small(std::uint32_t index, std::uint32_t& value) const;
    // As get_small, plus LONG and SLONG.
    int get_integer(std::uint32_t index, std::uint32_t& value) const;
    // BYTE, ASCII, SBYTE, UNDEFINED.
    int get_byte(std::uint32_t index, std::uint8_t& value) const;
    // RATIONAL, SRATIONAL (signed values come back as their 32-bit patterns).
    int get_rational(std::uint32_t index, std::uint32_t& numerator,
                     std::uint32_t& denominator) const;
    // FLOAT: the raw 32 bits.
    int get_float_bits(std::uint32_t index, std::uint32_t& bits) const;
    // FLOAT, DOUBLE.
    int get_real(std::uint32_t index, double& value) const;
    // ASCII/BYTE/SBYTE/UNDEFINED values as text up to the first zero, each
    // byte one UTF-16 unit of the same value. Empty for other types.
    std::u16string text() const;

    // Setters: nonzero for success, 0 for a bad index or a type the setter
    // does not accept. Each marks the owning list modified.
    // Copies count × size bytes from data; count -1 keeps the entry's count,
    // a larger count grows the entry first.
    int set_bytes(const void* data, std::int64_t count);
    // BYTE, ASCII, SBYTE: the 8-bit text with its terminating zero.
    int set_text(std::string_view text);
    // The same from 16-bit text; 0 (nothing changed) when a character is
    // beyond U+00FF, which 8-bit text cannot hold.
    int set_text(std::u16string_view text);
    // SHORT, SSHORT; LONG, SLONG (zero-extended).
    int set_16bit(std::uint32_t index, std::uint16_t value);
    // LONG, SLONG.
    int set_32bit(std::uint32_t index, std::uint32_t value);
    // BYTE, ASCII, SBYTE; SHORT, SSHORT; LONG, SLONG: the low 8 bits,
    // zero-extended to the entry's width.
    int set_8bit(std::uint32_t index, std::uint32_t value);
    // RATIONAL, SRATIONAL.
    int set_rational(std::uint32_t index, std::uint32_t numerator, std::uint32_t denominator);
    // FLOAT, DOUBLE (converted to double for DOUBLE).
    int set_float(std::uint32_t index, float value);
    // DOUBLE: the raw 64 bits.
    int set_double(std::uint32_t index, std::uint64_t bits);

private:
    friend class ExifTagList;
    friend class ExifReader;

    bool accepts_index(std::uint32_t index) const { return index < count_; }
    void mark_modified() const;

    std::uint16_t tag_ = 0;
    std::uint16_t type_ = kExifUndefined;
    std::uint32_t count_ = 0;
    std::array<std::uint8_t, 4> inline_{};
    std::unique_ptr<std::uint8_t[]> block_;
    ExifTagList* list_ = nullptr;
};

}  // namespace qelvio::metadata
