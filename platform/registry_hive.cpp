#include "platform/registry_hive.h"

#include "platform/registry.h"
#include "platform/text.h"

#include <fmt/format.h>

#include <unordered_map>

namespace qelvio::platform {
namespace {

bool is_control(char16_t c) { return c < 0x20 || c == 0x7F; }

// Quoted string with escapes, from 16-bit text.
void append_quoted(std::string& out, std::u16string_view s) {
    out += '"';
    for (std::size_t i = 0; i < s.size(); ++i) {
        char16_t c = s[i];
        bool high = c >= 0xD800 && c <= 0xDBFF;
        bool low = c >= 0xDC00 && c <= 0xDFFF;
        if (high && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
            out += text::to_utf8(s.substr(i, 2));
            ++i;
        } else if (c == u'\\') {
            out += "\\\\";
        } else if (c == u'"') {
            out += "\\\"";
        } else if (c == u'\n') {
            out += "\\n";
        } else if (c == u'\r') {
            out += "\\r";
        } else if (c == u'\t') {
            out += "\\t";
        } else if (is_control(c) || high || low) {
            out += fmt::format("\\u{:04x}", static_cast<unsigned>(c));
        } else if (c < 0x80) {
            out += static_cast<char>(c);
        } else {
            out += text::to_utf8(s.substr(i, 1));
        }
    }
    out += '"';
}

// Reads `digits` hexadecimal digits at in[pos] into v, advancing pos;
// false at the end of the text or at any other character.
bool read_hex(std::string_view in, std::size_t& pos, std::size_t digits, unsigned& v) {
    if (pos + digits > in.size()) return false;
    v = 0;
    for (std::size_t k = 0; k < digits; ++k) {
        char h = in[pos++];
        v <<= 4;
        if (h >= '0' && h <= '9') v |= static_cast<unsigned>(h - '0');
        else if (h >= 'a' && h <= 'f') v |= static_cast<unsigned>(h - 'a' + 10);
        else if (h >= 'A' && h <= 'F') v |= static_cast<unsigned>(h - 'A' + 10);
        else return false;
    }
    return true;
}

// Parses a quoted string at in[pos] (which must be '"'); advances pos past
// the closing quote.
bool parse_quoted(std::string_view in, std::size_t& pos, std::u16string* out) {
    if (pos >= in.size() || in[pos] != '"') return false;
    ++pos;
    std::string plain;
    out->clear();
    auto flush = [&] {
        *out += text::to_utf16(plain);
        plain.clear();
    };
    while (pos < in.size()) {
        char c = in[pos++];
        if (c == '"') {
            flush();
            return true;
        }
        if (c != '\\') {
            plain += c;
            continue;
        }
        if (pos >= in.size()) return false;
        char e = in[pos++];
        switch (e) {
        case '\\': plain += '\\'; break;
        case '"': plain += '"'; break;
        case 'n': plain += '\n'; break;
        case 'r': plain += '\r'; break;
        case 't': plain += '\t'; break;
        case 'u': {
            unsigned v = 0;
            if (!read_hex(in, pos, 4, v)) return false;
            flush();
            *out += static_cast<char16_t>(v);
            break;
        }
        default: return false;
        }
    }
    return false;
}

std::u16string chars_of(const std::vector<uint8_t>& data, std::size_t from, std::size_t to) {
    std::u16string s;
    for (std::size_t i = from; i + 1 < to; i += 2)
        s += static_cast<char16_t>(data[i] | (data[i + 1] << 8));
    return s;
}

void append_chars(std::vector<uint8_t>& data, std::u16string_view s) {
    for (char16_t c : s) {
        data.push_back(static_cast<uint8_t>(c & 0xFF));
        data.push_back(static_cast<uint8_t>(c >> 8));
    }
}

// A string value's plain form: even length, ending with its terminator.
bool plain_string(const std::vector<uint8_t>& d) {
    return d.size() >= 2 && d.size() % 2 == 0 && d[d.size() - 1] == 0 && d[d.size() - 2] == 0;
}

// A multi-string's plain form: non-empty terminated texts, then an empty one.
bool plain_multi(const std::vector<uint8_t>& d, std::vector<std::u16string>* items) {
    if (d.size() < 2 || d.size() % 2) return false;
    std::u16string s = chars_of(d, 0, d.size());
    if (s.back() != 0) return false;
    std::size_t start = 0;
    while (start < s.size() - 1) {
        std::size_t end = s.find(u'\0', start);
        if (end == start) return false;  // an empty text before the end
        items->push_back(s.substr(start, end - start));
        start = end + 1;
    }
    return start == s.size() - 1;
}

void append_hex(std::string& out, const std::vector<uint8_t>& d) {
    for (std::size_t i = 0; i < d.size(); ++i) {
        if (i) out += ',';
        out += fmt::format("{:02x}", d[i]);
    }
}

bool parse_hex_list(std::string_view in, std::vector<uint8_t>* out) {
    out->clear();
    if (in.empty()) return true;
    std::size_t pos = 0;
    while (true) {
        unsigned v = 0;
        if (!read_hex(in, pos, 2, v)) return false;
        out->push_back(static_cast<uint8_t>(v));
        if (pos == in.size()) return true;
        if (in[pos++] != ',') return false;
    }
}

bool parse_hex_number(std::string_view in, uint32_t* out) {
    if (in.empty() || in.size() > 8) return false;
    std::size_t pos = 0;
    unsigned v = 0;
    if (!read_hex(in, pos, in.size(), v)) return false;
    *out = v;
    return true;
}

void serialize_value(std::string& out, const RegValue& v) {
    if (v.name.empty()) {
        out += '@';
    } else {
        append_quoted(out, v.name);
    }
    out += '=';
    std::vector<std::u16string> items;
    if (v.type == REG_SZ && plain_string(v.data)) {
        append_quoted(out, chars_of(v.data, 0, v.data.size() - 2));
    } else if (v.type == REG_DWORD && v.data.size() == 4) {
        uint32_t n = v.data[0] | (v.data[1] << 8) | (v.data[2] << 16) |
                     (static_cast<uint32_t>(v.data[3]) << 24);
        out += fmt::format("dword:{:08x}", n);
    } else if (v.type == REG_MULTI_SZ && plain_multi(v.data, &items)) {
        out += "multi:";
        for (std::size_t i = 0; i < items.size(); ++i) {
            if (i) out += ',';
            append_quoted(out, items[i]);
        }
    } else if (v.type == REG_BINARY) {
        out += "hex:";
        append_hex(out, v.data);
    } else {
        out += fmt::format("hex({:x}):", v.type);
        append_hex(out, v.data);
    }
    out += '\n';
}

bool parse_value(std::string_view line, RegValue* v) {
    std::size_t pos = 0;
    if (line.starts_with("@=")) {
        v->name.clear();
        pos = 1;
    } else {
        if (!parse_quoted(line, pos, &v->name) || v->name.empty() ||
            v->name.size() > kMaxValueNameChars)
            return false;
    }
    if (pos >= line.size() || line[pos] != '=') return false;
    std::string_view rest = line.substr(pos + 1);
    v->data.clear();
    if (rest.starts_with('"')) {
        std::u16string s;
        std::size_t p = 0;
        if (!parse_quoted(rest, p, &s) || p != rest.size()) return false;
        v->type = REG_SZ;
        append_chars(v->data, s);
        append_chars(v->data, std::u16string(1, u'\0'));
        return true;
    }
    if (rest.starts_with("dword:")) {
        uint32_t n = 0;
        if (rest.size() != 14 || !parse_hex_number(rest.substr(6), &n)) return false;
        v->type = REG_DWORD;
        for (int k = 0; k < 4; ++k) v->data.push_back(static_cast<uint8_t>(n >> (8 * k)));
        return true;
    }
    if (rest.starts_with("multi:")) {
        v->type = REG_MULTI_SZ;
        std::size_t p = 6;
        while (p < rest.size()) {
            std::u16string s;
            if (!parse_quoted(rest, p, &s) || s.empty()) return false;
            append_chars(v->data, s);
            append_chars(v->data, std::u16string(1, u'\0'));
            if (p < rest.size() && rest[p++] != ',') return false;
            if (p == rest.size() && rest.back() == ',') return false;
        }
        append_chars(v->data, std::u16string(1, u'\0'));
        return true;
    }
    if (rest.starts_with("hex:")) {
        v->type = REG_BINARY;
        return parse_hex_list(rest.substr(4), &v->data);
    }
    if (rest.starts_with("hex(")) {
        std::size_t close = rest.find("):");
        if (close == std::string_view::npos ||
            !parse_hex_number(rest.substr(4, close - 4), &v->type))
            return false;
        return parse_hex_list(rest.substr(close + 2), &v->data) &&
               v->data.size() <= kMaxValueBytes;
    }
    return false;
}

}  // namespace

std::u16string reg_fold(std::u16string_view name) {
    std::u16string s(name);
    for (char16_t& c : s) c = text::fold_case(c);
    return s;
}

bool reg_split_path(std::u16string_view path, std::vector<std::u16string>* parts) {
    parts->clear();
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find(u'\\', start);
        if (end == std::u16string_view::npos) end = path.size();
        std::u16string_view part = path.substr(start, end - start);
        if (part.size() > kMaxKeyNameChars) return false;
        for (std::size_t i = 0; i < part.size(); ++i) {
            char16_t c = part[i];
            if (is_control(c)) return false;
            // Unpaired surrogates could not be written to the UTF-8 file.
            if (c >= 0xD800 && c <= 0xDBFF) {
                if (i + 1 >= part.size() || part[i + 1] < 0xDC00 || part[i + 1] > 0xDFFF)
                    return false;
                ++i;
            } else if (c >= 0xDC00 && c <= 0xDFFF) {
                return false;
            }
        }
        if (!part.empty()) parts->emplace_back(part);
        start = end + 1;
    }
    return true;
}

RegValue* RegKeyData::find_value(std::u16string_view name) {
    for (RegValue& v : values) {
        if (v.name.size() != name.size()) continue;
        std::size_t i = 0;
        while (i < name.size() && text::fold_case(v.name[i]) == text::fold_case(name[i])) ++i;
        if (i == name.size()) return &v;
    }
    return nullptr;
}

RegHiveData::RegHiveData() {
    keys_.push_back(RegKeyData{});
    reindex();
}

void RegHiveData::reindex() {
    index_.clear();
    for (std::size_t i = 0; i < keys_.size(); ++i) index_[reg_fold(keys_[i].path)] = i;
}

RegKeyData* RegHiveData::find(std::u16string_view path) {
    auto it = index_.find(reg_fold(path));
    return it == index_.end() ? nullptr : &keys_[it->second];
}

RegKeyData* RegHiveData::create(std::u16string_view path, bool* created) {
    if (created) *created = false;
    std::vector<std::u16string> parts;
    reg_split_path(path, &parts);
    std::u16string sofar;
    RegKeyData* key = &keys_[0];
    for (const std::u16string& part : parts) {
        sofar += sofar.empty() ? part : u"\\" + part;
        key = find(sofar);
        if (!key) {
            keys_.push_back(RegKeyData{sofar, {}});
            index_[reg_fold(sofar)] = keys_.size() - 1;
            key = &keys_.back();
            if (created) *created = true;
        }
    }
    return key;
}

void RegHiveData::remove(std::u16string_view path) {
    auto it = index_.find(reg_fold(path));
    if (it == index_.end() || it->second == 0) return;
    keys_.erase(keys_.begin() + static_cast<std::ptrdiff_t>(it->second));
    reindex();
}

std::vector<std::u16string> RegHiveData::subkeys(std::u16string_view path) const {
    std::u16string prefix = reg_fold(path);
    if (!prefix.empty()) prefix += u'\\';
    std::vector<std::u16string> out;
    for (std::size_t i = 1; i < keys_.size(); ++i) {
        std::u16string folded = reg_fold(keys_[i].path);
        if (folded.size() > prefix.size() && folded.compare(0, prefix.size(), prefix) == 0 &&
            folded.find(u'\\', prefix.size()) == std::u16string::npos)
            out.push_back(keys_[i].path.substr(prefix.size()));
    }
    return out;
}

std::string RegHiveData::serialize(std::string_view root_name) const {
    std::string out = "REGEDIT4\n";
    for (const RegKeyData& key : keys_) {
        out += '\n';
        out += '[';
        out += root_name;
        if (!key.path.empty()) {
            out += '\\';
            out += text::to_utf8(key.path);
        }
        out += "]\n";
        for (const RegValue& v : key.values) serialize_value(out, v);
    }
    return out;
}

std::optional<RegHiveData> RegHiveData::parse(std::string_view text, std::string_view root_name) {
    if (!text::is_valid_utf8(text)) return std::nullopt;
    RegHiveData hive;
    RegKeyData* key = nullptr;
    bool header = false;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (!header) {
            if (line.empty()) continue;
            if (line != "REGEDIT4") return std::nullopt;
            header = true;
            continue;
        }
        if (line.empty() || line.front() == ';') continue;
        if (line.front() == '[') {
            if (line.back() != ']' || !line.substr(1).starts_with(root_name)) return std::nullopt;
            std::string_view path = line.substr(1 + root_name.size());
            path.remove_suffix(1);
            if (!path.empty() && path.front() != '\\') return std::nullopt;
            std::u16string path16 = text::to_utf16(path);
            std::vector<std::u16string> parts;
            if (!reg_split_path(path16, &parts)) return std::nullopt;
            key = hive.create(path16, nullptr);
            continue;
        }
        RegValue v;
        if (!key || !parse_value(line, &v)) return std::nullopt;
        key->values.push_back(std::move(v));
    }
    if (!header && !text.empty()) return std::nullopt;
    // A name given twice (a hand-edited file) keeps its first place and its
    // last value. Done once here, so that reading a large hive stays linear.
    for (RegKeyData& k : hive.keys_) {
        std::unordered_map<std::u16string, std::size_t> seen;
        std::vector<RegValue> unique;
        for (RegValue& v : k.values) {
            auto [it, fresh] = seen.emplace(reg_fold(v.name), unique.size());
            if (fresh) {
                unique.push_back(std::move(v));
            } else {
                unique[it->second] = std::move(v);
            }
        }
        k.values = std::move(unique);
    }
    return hive;
}

}  // namespace qelvio::platform
