// Text helpers shared by every layer: UTF-8 <-> UTF-16 conversion at the
// edges, and printf-style formatting of 16-bit text through fmt.
//
// Header-only so that the exported storage library's headers can use it.
#pragma once

#include <fmt/printf.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>

namespace qelvio::text {

// Length of a terminated 16-bit text; 0 for null.
inline std::size_t length(const char16_t* s) {
    if (!s) return 0;
    std::size_t n = 0;
    while (s[n]) ++n;
    return n;
}

// UTF-16 to UTF-8. Unpaired surrogates become U+FFFD.
inline std::string to_utf8(std::u16string_view in) {
    std::string out;
    out.reserve(in.size());
    for (std::size_t i = 0; i < in.size(); ++i) {
        char32_t c = in[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < in.size() && in[i + 1] >= 0xDC00 &&
            in[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (in[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

inline std::string to_utf8(const char16_t* s) {
    return s ? to_utf8(std::u16string_view(s, length(s))) : std::string();
}

// Decodes one UTF-8 sequence at in[i]; advances i. Returns U+FFFD and sets
// ok = false for an invalid sequence.
inline char32_t decode_utf8(std::string_view in, std::size_t& i, bool& ok) {
    auto b = static_cast<unsigned char>(in[i++]);
    if (b < 0x80) return b;
    int extra = b >= 0xF0 && b < 0xF5 ? 3 : b >= 0xE0 ? 2 : b >= 0xC2 && b < 0xE0 ? 1 : -1;
    if (extra < 0 || b >= 0xF5) {
        ok = false;
        return 0xFFFD;
    }
    char32_t c = b & (0x3F >> extra);
    for (int k = 0; k < extra; ++k) {
        if (i >= in.size() || (static_cast<unsigned char>(in[i]) & 0xC0) != 0x80) {
            ok = false;
            return 0xFFFD;
        }
        c = (c << 6) | (static_cast<unsigned char>(in[i++]) & 0x3F);
    }
    static constexpr char32_t min_value[] = {0, 0x80, 0x800, 0x10000};
    if (c < min_value[extra] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
        ok = false;
        return 0xFFFD;
    }
    return c;
}

// UTF-8 to UTF-16. Invalid sequences become U+FFFD.
inline std::u16string to_utf16(std::string_view in) {
    std::u16string out;
    out.reserve(in.size());
    bool ok = true;
    for (std::size_t i = 0; i < in.size();) {
        char32_t c = decode_utf8(in, i, ok);
        if (c >= 0x10000) {
            c -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (c >> 10));
            out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
        } else {
            out += static_cast<char16_t>(c);
        }
    }
    return out;
}

// True when the bytes are well-formed UTF-8.
inline bool is_valid_utf8(std::string_view in) {
    bool ok = true;
    for (std::size_t i = 0; i < in.size() && ok;) decode_utf8(in, i, ok);
    return ok;
}

// Lower-cases one UTF-16 code unit for case-insensitive comparisons (ASCII
// and the Latin-1 letters; other characters compare exactly).
inline char16_t fold_case(char16_t c) {
    if (c >= u'A' && c <= u'Z') return static_cast<char16_t>(c + 32);
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<char16_t>(c + 32);
    return c;
}

namespace detail {
// printf arguments: 16-bit texts travel as UTF-8, everything else unchanged.
template <class T>
auto printf_arg(const T& v) {
    if constexpr (std::is_convertible_v<const T&, const char16_t*>) {
        const char16_t* s = v;
        return s ? to_utf8(s) : std::string("(null)");
    } else if constexpr (std::is_convertible_v<const T&, std::u16string_view>) {
        return to_utf8(std::u16string_view(v));
    } else if constexpr (std::is_same_v<T, char16_t>) {
        return static_cast<unsigned>(v);
    } else {
        return v;
    }
}
}  // namespace detail

// Formats with printf rules ("%s" takes 16-bit or 8-bit text, "%d" numbers...)
// and cuts the result to at most max_chars UTF-16 units. A format that does
// not match its arguments yields an empty text instead of an exception.
template <class... Args>
std::u16string sprintf(std::size_t max_chars, std::u16string_view format, const Args&... args) {
    std::u16string out;
    try {
        out = to_utf16(fmt::sprintf(to_utf8(format), detail::printf_arg(args)...));
    } catch (const std::exception&) {
        return {};
    }
    if (out.size() > max_chars) {
        out.resize(max_chars);
        // Never leave half of a surrogate pair at the cut.
        if (!out.empty() && out.back() >= 0xD800 && out.back() <= 0xDBFF) out.pop_back();
    }
    return out;
}

}  // namespace qelvio::text
