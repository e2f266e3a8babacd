// p_string: the growable 16-bit text of the whole system (UTF-16 code units,
// always terminated). Every name, path and message is one.
//
// The buffer always has exactly len() + 1 characters: every change resizes it
// to the exact length. Allocation failure is not reported; the string then
// reads as empty. Out-of-range reads answer 0xFFFF. Not thread-safe.
#pragma once

#include "qelvio/storage_export.h"
#include "platform/text.h"

#include <cstdint>
#include <string>
#include <string_view>

// The destructor is deliberately not virtual (the class's layout is part of
// the exported interface); derived classes add no data.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
class QELVIO_STORAGE_EXPORT p_string {
public:
    p_string() { init(); }
    // Copies a terminated text; null leaves the string empty.
    p_string(const char16_t* text);
    p_string(const p_string& other);
    p_string(p_string&& other) noexcept;
    ~p_string();

    // The text; a static empty text when there is no buffer, never null.
    operator const char16_t*() const;
    const char16_t* c_str() const { return *this; }
    std::u16string_view view() const { return {static_cast<const char16_t*>(*this), length}; }

    // Character at i; 0 at len(), 0xFFFF beyond.
    char16_t operator[](uint32_t i) const { return at(i); }
    char16_t at(uint32_t i) const;

    p_string& operator=(const p_string& other);
    p_string& operator=(p_string&& other) noexcept;
    p_string& operator=(const char16_t* text);
    p_string& operator+=(const char16_t* text);
    p_string operator+(const char16_t* text) const;

    // Ordinal comparison of the argument with this string: 0 equal, negative
    // when the argument orders first, positive otherwise; -1 for a null
    // argument or an empty string. cmpi ignores case.
    int cmp(const char16_t* text) const;
    int cmpi(const char16_t* text) const;

    void truncate(uint32_t n);
    void clear() { realloc(0); }
    bool isempty() const { return length == 0; }
    uint32_t len() const { return length; }

    // Index of the first (last) occurrence, -1 when absent.
    int find(char16_t ch) const;
    int rfind(char16_t ch) const;
    int find(const char16_t* text) const;
    int ifind(const char16_t* text) const;

    // printf-style formatting; the result is cut at 999 characters.
    template <class... Args>
    void format(const char16_t* fmt, const Args&... args) {
        if (!fmt) return;
        std::u16string s = qelvio::text::sprintf(999, fmt, args...);
        set(0, s.c_str(), -1, true);
    }

    // Replaces everything from pos on with n characters of text (-1: all of
    // it). Returns the new length (pos + n), or 0 when nothing was done.
    virtual uint32_t set(uint32_t pos, const char16_t* text, int32_t n, bool terminate);

    // Conversions at the edges of the program.
    std::string utf8() const { return qelvio::text::to_utf8(view()); }
    static p_string from_utf8(std::string_view s);

protected:
    void init();
    // Resizes to exactly n characters, terminated.
    void realloc(uint32_t n);
    // set() without the virtual dispatch, for the constructors.
    uint32_t set_text(uint32_t pos, const char16_t* text, int32_t n, bool terminate);

private:
    char16_t* buffer;
    uint32_t length;
};
#pragma GCC diagnostic pop
