#include "metadata/exif_tag.h"

#include "metadata/exif_tag_list.h"

#include <cstring>
#include <new>

namespace qelvio::metadata {

std::uint32_t exif_type_size(std::uint16_t type) {
    static constexpr std::uint8_t sizes[13] = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8};
    return type < 13 ? sizes[type] : 0;
}

namespace {

bool is_byte_type(std::uint16_t t) {
    return t == kExifByte || t == kExifAscii || t == kExifSByte || t == kExifUndefined;
}
bool is_short_type(std::uint16_t t) { return t == kExifShort || t == kExifSShort; }
bool is_long_type(std::uint16_t t) { return t == kExifLong || t == kExifSLong; }
bool is_rational_type(std::uint16_t t) { return t == kExifRational || t == kExifSRational; }

template <class T>
T load(const std::uint8_t* p) {
    T v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

template <class T>
void store(std::uint8_t* p, T v) {
    std::memcpy(p, &v, sizeof v);
}

}  // namespace

ExifTag::ExifTag(const ExifTag& other) { copy_from(other); }

ExifTag& ExifTag::operator=(const ExifTag& other) {
    if (this != &other) copy_from(other);
    return *this;
}

std::size_t ExifTag::byte_size() const {
    return static_cast<std::size_t>(count_) * exif_type_size(type_);
}

void ExifTag::mark_modified() const {
    if (list_) list_->set_modified(true);
}

int ExifTag::set_shape(std::uint16_t tag, std::uint16_t type, std::uint32_t count) {
    std::uint32_t size = exif_type_size(type);
    if (size == 0) return 0;
    block_.reset();
    inline_ = {};
    tag_ = tag;
    type_ = type;
    count_ = count;
    mark_modified();
    std::size_t bytes = static_cast<std::size_t>(count) * size;
    if (bytes > inline_.size()) {
        block_.reset(new (std::nothrow) std::uint8_t[bytes]());
        if (!block_) {
            count_ = 0;
            return 0;
        }
    }
    return 1;
}

int ExifTag::copy_from(const ExifTag& other) {
    if (this == &other) return 1;
    std::uint16_t type = exif_type_size(other.type_) ? other.type_ : std::uint16_t{kExifUndefined};
    if (!set_shape(other.tag_, type, other.count_))
        return 0;
    if (std::size_t n = byte_size()) std::memcpy(value_address(), other.value_address(), n);
    return 1;
}

const std::uint8_t* ExifTag::value_address() const {
    return block_ ? block_.get() : inline_.data();
}

std::uint8_t* ExifTag::value_address() { return block_ ? block_.get() : inline_.data(); }

int ExifTag::get_small(std::uint32_t index, std::uint32_t& value) const {
    if (!accepts_index(index)) return 0;
    if (is_byte_type(type_)) {
        value = value_address()[index];
        return 1;
    }
    if (is_short_type(type_)) {
        value = load<std::uint16_t>(value_address() + 2 * std::size_t{index});
        return 1;
    }
    return 0;
}

int ExifTag::get_integer(std::uint32_t index, std::uint32_t& value) const {
    if (get_small(index, value)) return 1;
    if (accepts_index(index) && is_long_type(type_)) {
        value = load<std::uint32_t>(value_address() + 4 * std::size_t{index});
        return 1;
    }
    return 0;
}

int ExifTag::get_byte(std::uint32_t index, std::uint8_t& value) const {
    if (!accepts_index(index) || !is_byte_type(type_)) return 0;
    value = value_address()[index];
    return 1;
}

int ExifTag::get_rational(std::uint32_t index, std::uint32_t& numerator,
                          std::uint32_t& denominator) const {
    if (!accepts_index(index) || !is_rational_type(type_)) return 0;
    const std::uint8_t* p = value_address() + 8 * std::size_t{index};
    numerator = load<std::uint32_t>(p);
    denominator = load<std::uint32_t>(p + 4);
    return 1;
}

int ExifTag::get_float_bits(std::uint32_t index, std::uint32_t& bits) const {
    if (!accepts_index(index) || type_ != kExifFloat) return 0;
    bits = load<std::uint32_t>(value_address() + 4 * std::size_t{index});
    return 1;
}

int ExifTag::get_real(std::uint32_t index, double& value) const {
    if (!accepts_index(index)) return 0;
    if (type_ == kExifFloat) {
        value = load<float>(value_address() + 4 * std::size_t{index});
        return 1;
    }
    if (type_ == kExifDouble) {
        value = load<double>(value_address() + 8 * std::size_t{index});
        return 1;
    }
    return 0;
}

std::u16string ExifTag::text() const {
    std::u16string out;
    if (!is_byte_type(type_)) return out;
    const std::uint8_t* p = value_address();
    for (std::uint32_t i = 0; i < count_ && p[i]; ++i) out += static_cast<char16_t>(p[i]);
    return out;
}

int ExifTag::set_bytes(const void* data, std::int64_t count) {
    std::uint32_t size = exif_type_size(type_);
    if (size == 0 || count < -1 || count > UINT32_MAX) return 0;
    std::uint32_t n = count < 0 ? count_ : static_cast<std::uint32_t>(count);
    if (n > count_ && !set_shape(tag_, type_, n)) return 0;
    if (n) std::memcpy(value_address(), data, static_cast<std::size_t>(n) * size);
    mark_modified();
    return 1;
}

int ExifTag::set_text(std::string_view text) {
    if (type_ != kExifByte && type_ != kExifAscii && type_ != kExifSByte) return 0;
    if (text.size() >= UINT32_MAX) return 0;
    std::string buffer(text);
    return set_bytes(buffer.c_str(), static_cast<std::int64_t>(buffer.size()) + 1);
}

int ExifTag::set_text(std::u16string_view text) {
    // The entry holds 8-bit characters: a character beyond them is refused
    // rather than stored as some other character.
    std::string narrow;
    narrow.reserve(text.size());
    for (char16_t c : text) {
        if (c > 0xFF) return 0;
        narrow += static_cast<char>(c);
    }
    return set_text(std::string_view(narrow));
}

int ExifTag::set_16bit(std::uint32_t index, std::uint16_t value) {
    if (!accepts_index(index)) return 0;
    if (is_short_type(type_)) {
        store<std::uint16_t>(value_address() + 2 * std::size_t{index}, value);
    } else if (is_long_type(type_)) {
        store<std::uint32_t>(value_address() + 4 * std::size_t{index}, value);
    } else {
        return 0;
    }
    mark_modified();
    return 1;
}

int ExifTag::set_32bit(std::uint32_t index, std::uint32_t value) {
    if (!accepts_index(index) || !is_long_type(type_)) return 0;
    store<std::uint32_t>(value_address() + 4 * std::size_t{index}, value);
    mark_modified();
    return 1;
}

int ExifTag::set_8bit(std::uint32_t index, std::uint32_t value) {
    if (!accepts_index(index)) return 0;
    std::uint8_t low = static_cast<std::uint8_t>(value & 0xFF);
    if (type_ == kExifByte || type_ == kExifAscii || type_ == kExifSByte) {
        value_address()[index] = low;
    } else if (is_short_type(type_)) {
        store<std::uint16_t>(value_address() + 2 * std::size_t{index}, low);
    } else if (is_long_type(type_)) {
        store<std::uint32_t>(value_address() + 4 * std::size_t{index}, low);
    } else {
        return 0;
    }
    mark_modified();
    return 1;
}

int ExifTag::set_rational(std::uint32_t index, std::uint32_t numerator,
                          std::uint32_t denominator) {
    if (!accepts_index(index) || !is_rational_type(type_)) return 0;
    std::uint8_t* p = value_address() + 8 * std::size_t{index};
    store(p, numerator);
    store(p + 4, denominator);
    mark_modified();
    return 1;
}

int ExifTag::set_float(std::uint32_t index, float value) {
    if (!accepts_index(index)) return 0;
    if (type_ == kExifFloat) {
        store(value_address() + 4 * std::size_t{index}, value);
    } else if (type_ == kExifDouble) {
        store(value_address() + 8 * std::size_t{index}, static_cast<double>(value));
    } else {
        return 0;
    }
    mark_modified();
    return 1;
}

int ExifTag::set_double(std::uint32_t index, std::uint64_t bits) {
    if (!accepts_index(index) || type_ != kExifDouble) return 0;
    store(value_address() + 8 * std::size_t{index}, bits);
    mark_modified();
    return 1;
}

}  // namespace qelvio::metadata
