#include "browser/list_texts.h"

#include "platform/text.h"
#include "resources/browser_texts.h"

#include <fmt/printf.h>

namespace qelvio::browser {
namespace {

// Formats one of the table's printf texts; a text that does not take the
// arguments gives an empty result instead of an exception.
template <typename... Args>
std::u16string format(const char16_t* picture, Args... args) {
    try {
        return text::to_utf16(fmt::sprintf(text::to_utf8(picture), args...));
    } catch (const fmt::format_error&) {
        return {};
    }
}

}  // namespace

std::u16string shown_name(std::u16string_view file_name) {
    const std::size_t dot = file_name.rfind(u'.');
    return std::u16string(dot == std::u16string_view::npos ? file_name : file_name.substr(0, dot));
}

std::u16string size_text(int64_t size) {
    if (size > 1048575) return format(resources::kTextSizeMegabytes, static_cast<double>(size) / 1048576.0);
    return format(resources::kTextSizeKilobytes, static_cast<double>(size) / 1024.0);
}

std::u16string dimensions_text(int width, int height, int bits_per_pixel) {
    return format(resources::kTextDimensions, width, height, bits_per_pixel);
}

std::u16string shorten(std::u16string_view text, int width, const std::function<int(std::u16string_view)>& width_of) {
    if (text.empty() || width_of(text) <= width) return std::u16string(text);
    static constexpr std::u16string_view kDots = u"...";
    // Binary search for the longest beginning that fits with the dots.
    std::size_t lo = 1, hi = text.size() - 1, best = 1;
    while (lo <= hi) {
        const std::size_t mid = (lo + hi) / 2;
        std::u16string candidate(text.substr(0, mid));
        candidate += kDots;
        if (width_of(candidate) <= width) {
            best = mid;
            lo = mid + 1;
        } else {
            if (mid == 0) break;
            hi = mid - 1;
        }
    }
    std::u16string out(text.substr(0, best));
    out += kDots;
    return out;
}

}  // namespace qelvio::browser
