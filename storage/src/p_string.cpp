#include "qelvio/p_string.h"

#include <cstdlib>
#include <cstring>

namespace {
const char16_t empty_text[1] = {0};

int compare(const char16_t* a, const char16_t* b, bool ignore_case) {
    for (;; ++a, ++b) {
        char16_t ca = ignore_case ? qelvio::text::fold_case(*a) : *a;
        char16_t cb = ignore_case ? qelvio::text::fold_case(*b) : *b;
        if (ca != cb) return ca < cb ? -1 : 1;
        if (!ca) return 0;
    }
}
}  // namespace

p_string::p_string(const char16_t* text) {
    init();
    *this = text;
}

p_string::p_string(const p_string& other) {
    init();
    set_text(0, other, -1, true);
}

p_string::p_string(p_string&& other) noexcept : buffer(other.buffer), length(other.length) {
    other.init();
}

p_string::~p_string() { std::free(buffer); }

void p_string::init() {
    buffer = nullptr;
    length = 0;
}

p_string::operator const char16_t*() const { return buffer ? buffer : empty_text; }

char16_t p_string::at(uint32_t i) const {
    if (i > length) return 0xFFFF;
    return i == length ? 0 : buffer[i];
}

p_string& p_string::operator=(const p_string& other) {
    if (this != &other) set(0, other, static_cast<int32_t>(other.length), true);
    return *this;
}

p_string& p_string::operator=(p_string&& other) noexcept {
    if (this != &other) {
        std::free(buffer);
        buffer = other.buffer;
        length = other.length;
        other.init();
    }
    return *this;
}

p_string& p_string::operator=(const char16_t* text) {
    if (text) set(0, text, static_cast<int32_t>(qelvio::text::length(text)), true);
    return *this;
}

p_string& p_string::operator+=(const char16_t* text) {
    if (text) set(length, text, static_cast<int32_t>(qelvio::text::length(text)), true);
    return *this;
}

p_string p_string::operator+(const char16_t* text) const {
    p_string result(*this);
    result += text;
    return result;
}

int p_string::cmp(const char16_t* text) const {
    if (!text || length == 0) return -1;
    return compare(text, buffer, false);
}

int p_string::cmpi(const char16_t* text) const {
    if (!text || length == 0) return -1;
    return compare(text, buffer, true);
}

void p_string::truncate(uint32_t n) { set(n, empty_text, 0, true); }

int p_string::find(char16_t ch) const {
    for (uint32_t i = 0; i < length; ++i)
        if (buffer[i] == ch) return static_cast<int>(i);
    return -1;
}

int p_string::rfind(char16_t ch) const {
    for (uint32_t i = length; i-- > 0;)
        if (buffer[i] == ch) return static_cast<int>(i);
    return -1;
}

namespace {
int find_text(const char16_t* hay, uint32_t hay_len, const char16_t* needle, bool ignore_case) {
    if (!needle) return -1;
    std::size_t k = qelvio::text::length(needle);
    if (k > hay_len) return -1;
    for (std::size_t pos = 0; pos + k <= hay_len; ++pos) {
        std::size_t j = 0;
        for (; j < k; ++j) {
            char16_t a = hay[pos + j], b = needle[j];
            if (ignore_case) {
                a = qelvio::text::fold_case(a);
                b = qelvio::text::fold_case(b);
            }
            if (a != b) break;
        }
        if (j == k) return static_cast<int>(pos);
    }
    return -1;
}
}  // namespace

int p_string::find(const char16_t* text) const { return find_text(*this, length, text, false); }
int p_string::ifind(const char16_t* text) const { return find_text(*this, length, text, true); }

void p_string::realloc(uint32_t n) {
    if (n == length) return;
    auto* grown = static_cast<char16_t*>(std::realloc(buffer, (std::size_t{n} + 1) * sizeof(char16_t)));
    if (!grown) return;  // allocation failure is not reported
    buffer = grown;
    buffer[n] = 0;
    length = n;
}

uint32_t p_string::set(uint32_t pos, const char16_t* text, int32_t n, bool terminate) {
    return set_text(pos, text, n, terminate);
}

uint32_t p_string::set_text(uint32_t pos, const char16_t* text, int32_t n, bool terminate) {
    if (!text || pos > length) return 0;
    uint32_t count = n == -1 ? static_cast<uint32_t>(qelvio::text::length(text))
                             : static_cast<uint32_t>(n < 0 ? 0 : n);
    uint32_t end = pos + count;
    // The text may point into this string's own buffer, which realloc can move.
    std::u16string copy(text, count);
    if (end > length) {
        realloc(end);
        terminate = true;
        if (length != end) return 0;  // allocation failed
    }
    if (!buffer) return 0;
    std::memcpy(buffer + pos, copy.data(), count * sizeof(char16_t));
    if (terminate) buffer[end] = 0;
    if (end <= length) realloc(end);
    return length;
}

p_string p_string::from_utf8(std::string_view s) {
    std::u16string u = qelvio::text::to_utf16(s);
    p_string result;
    result.set_text(0, u.c_str(), static_cast<int32_t>(u.size()), true);
    return result;
}
