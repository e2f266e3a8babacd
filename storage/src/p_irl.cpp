#include "qelvio/p_irl.h"

uint32_t p_irl::extract(const char16_t* text, p_string* scheme, p_string* location,
                        p_string* path) {
    if (!text) return 0;
    std::u16string_view t(text, qelvio::text::length(text));
    std::u16string_view found_scheme, found_path;
    uint32_t bits = 0;
    std::size_t colon = t.find(u':');
    if (colon == std::u16string_view::npos) {
        found_path = t;
    } else {
        if (t.size() < colon + 3 || t[colon + 1] != u'\\' || t[colon + 2] != u'\\') return 0;
        found_scheme = t.substr(0, colon);
        bits |= P_IRL_SCHEME;
        if (!found_scheme.empty()) {
            bits |= P_IRL_LOCATION;
            found_path = t.substr(colon + 3);
        } else {
            // No location field: the path keeps the second backslash.
            found_path = t.substr(colon + 2);
        }
    }
    if (!found_path.empty()) bits |= P_IRL_PATH;
    auto assign = [](p_string* out, std::u16string_view v) {
        if (!out) return;
        out->clear();
        std::u16string copy(v);
        out->set(0, copy.c_str(), static_cast<int32_t>(copy.size()), true);
    };
    assign(scheme, found_scheme);
    assign(location, u"");  // a parsed location is always empty
    assign(path, found_path);
    return bits;
}

uint32_t p_irl::set(const char16_t* text) {
    clear();
    if (!text) return 0;
    p_string scheme, location, path;
    uint32_t bits = extract(text, &scheme, &location, &path);
    if (bits == 0) return 0;
    set(bits & P_IRL_SCHEME ? static_cast<const char16_t*>(scheme) : u"",
        bits & P_IRL_LOCATION ? static_cast<const char16_t*>(location) : u"",
        bits & P_IRL_PATH ? static_cast<const char16_t*>(path) : u"");
    return bits;
}

void p_irl::set(const char16_t* scheme, const char16_t* location, const char16_t* path) {
    // Copies first: the parts may point into this locator's own text.
    std::u16string s = scheme ? scheme : u"";
    std::u16string l = location ? location : u"";
    std::u16string p = path ? path : u"";
    clear();
    if (!s.empty()) {
        *this += s.c_str();
        *this += u":\\\\";
    }
    if (!l.empty()) {
        std::size_t skip = l.front() == u'\\' || l.front() == u'/' ? 1 : 0;
        *this += l.c_str() + skip;
    }
    if (!p.empty()) {
        if (location && p.front() != u'\\' && p.front() != u'/') *this += u"\\";
        *this += p.c_str();
    }
}

bool p_irl::getfile(p_string* out) const {
    if (!out) return false;
    p_string path;
    get(nullptr, nullptr, &path);
    int slash = path.rfind(u'\\');
    *out = static_cast<const char16_t*>(path) + (slash + 1);
    if (path.isempty()) out->clear();
    return true;
}

bool p_irl::getfileparent(p_string* out) const {
    if (!out) return false;
    p_string path;
    get(nullptr, nullptr, &path);
    int slash = path.rfind(u'\\');
    if (slash < 0) {
        out->clear();
    } else {
        *out = static_cast<const char16_t*>(path);
        out->truncate(static_cast<uint32_t>(slash));
    }
    return true;
}
