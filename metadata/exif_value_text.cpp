#include "metadata/exif_value_text.h"

#include "platform/text.h"
#include "resources/string_table.h"

#include <cstring>

namespace qelvio::metadata {
namespace {

constexpr std::size_t kLongest = 3961;

std::u16string rational_text(std::int64_t numerator, std::int64_t denominator) {
    if (denominator == 0) return text::sprintf(64, u"%lld/0", static_cast<long long>(numerator));
    float value = static_cast<float>(numerator) / static_cast<float>(denominator);
    return numerator % denominator ? text::sprintf(64, u"%f", value) : text::sprintf(64, u"%.0f", value);
}

}  // namespace

std::u16string exif_tag_name(std::uint16_t tag) {
    if (const char16_t* name = resources::load_string(tag)) return name;
    const char16_t* format = resources::load_string(35026);
    return text::sprintf(16, format ? format : u"%d", static_cast<int>(tag));
}

std::u16string exif_value_text(const ExifTag& e) {
    if (e.type() == kExifAscii) return e.text();
    std::u16string out;
    const bool undefined = e.type() == kExifUndefined;
    if (undefined) out = u"(";
    const std::uint8_t* p = e.value_address();
    for (std::uint32_t i = 0; i < e.count(); ++i) {
        if (out.size() > kLongest) {
            out += u"...";
            return out;
        }
        if (i > 0) out += u",";
        std::uint32_t u = 0, n = 0, d = 0;
        double real = 0;
        switch (e.type()) {
            case kExifUndefined:
                out += text::sprintf(8, u"%02X", static_cast<unsigned>(p[i]));
                break;
            case kExifByte:
            case kExifShort:
            case kExifLong:
                e.get_integer(i, u);
                out += text::sprintf(16, u"%u", u);
                break;
            case kExifSByte:
                out += text::sprintf(16, u"%d", static_cast<int>(static_cast<std::int8_t>(p[i])));
                break;
            case kExifSShort:
                e.get_integer(i, u);
                out += text::sprintf(16, u"%d", static_cast<int>(static_cast<std::int16_t>(u)));
                break;
            case kExifSLong:
                e.get_integer(i, u);
                out += text::sprintf(16, u"%d", static_cast<std::int32_t>(u));
                break;
            case kExifRational:
                e.get_rational(i, n, d);
                out += rational_text(n, d);
                break;
            case kExifSRational:
                e.get_rational(i, n, d);
                out += rational_text(static_cast<std::int32_t>(n), static_cast<std::int32_t>(d));
                break;
            case kExifFloat:
            case kExifDouble:
                e.get_real(i, real);
                out += text::sprintf(64, u"%.0f", real);
                break;
            default:
                break;
        }
    }
    if (undefined) out += u")";
    return out;
}

}  // namespace qelvio::metadata
