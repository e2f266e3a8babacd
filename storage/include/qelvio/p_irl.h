// p_irl: a resource locator naming a file or folder: scheme, ":\\", the
// location, and a backslash path ("file:\\\My Documents\a.jpg"). It is a
// p_string holding the composed text and adds no data.
#pragma once

#include "qelvio/p_string.h"

// Bits of the parse result.
enum : uint32_t {
    P_IRL_SCHEME = 1,    // a colon and two backslashes were present
    P_IRL_LOCATION = 2,  // a location field was present (always empty)
    P_IRL_PATH = 4,      // a non-empty path was present
};

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
class QELVIO_STORAGE_EXPORT p_irl : public p_string {
public:
    p_irl() = default;
    // Parses and re-composes the text.
    p_irl(const char16_t* text) { set(text); }
    // Parses and re-composes the other locator's text.
    p_irl(const p_irl& other) : p_string() { set(static_cast<const char16_t*>(other)); }
    // Copies the text verbatim, without re-composing.
    p_irl& operator=(const p_irl& other) {
        p_string::operator=(other);
        return *this;
    }
    using p_string::set;

    // Parses text into the outputs that are not null; returns the P_IRL_* bits,
    // 0 when a colon is not followed by two backslashes (no output written).
    static uint32_t extract(const char16_t* text, p_string* scheme, p_string* location,
                            p_string* path);
    uint32_t get(p_string* scheme, p_string* location, p_string* path) const {
        return extract(*this, scheme, location, path);
    }

    // Re-composes the locator from a parsed text; null empties it and returns 0.
    uint32_t set(const char16_t* text);
    // Composes scheme + ":\\" + location + separator + path; null parts are absent.
    void set(const char16_t* scheme, const char16_t* location, const char16_t* path);

    // The last name of the path; false only when out is null.
    bool getfile(p_string* out) const;
    // The path up to its last backslash (empty when it has none); false only
    // when out is null.
    bool getfileparent(p_string* out) const;
};
#pragma GCC diagnostic pop
