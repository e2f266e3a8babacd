#include "platform/registry_key.h"

#include "platform/text.h"

#include <vector>

namespace qelvio::platform {
namespace {

RegKey open_read(RegKey root, std::u16string_view path) {
    RegKey key = nullptr;
    if (root) reg_open_key(root, path, false, &key);
    return key;
}

RegKey create(RegKey root, std::u16string_view path) {
    RegKey key = nullptr;
    if (root) reg_create_key(root, path, &key);
    return key;
}

std::vector<uint8_t> bytes_of(std::u16string_view text) {
    std::vector<uint8_t> out;
    out.reserve(text.size() * 2);
    for (char16_t c : text) {
        out.push_back(static_cast<uint8_t>(c & 0xFF));
        out.push_back(static_cast<uint8_t>(c >> 8));
    }
    return out;
}

std::u16string text_of(const uint8_t* data, uint32_t size) {
    std::u16string s;
    for (uint32_t i = 0; i + 1 < size; i += 2) s += static_cast<char16_t>(data[i] | (data[i + 1] << 8));
    return s;
}

bool equal_ignoring_case(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (text::fold_case(a[i]) != text::fold_case(b[i])) return false;
    return true;
}

void enumerate(RegKey key, bool keys, StringList& out) {
    if (!key) return;
    std::u16string name;
    for (uint32_t i = 0;; ++i) {
        int32_t r = keys ? reg_enum_key(key, i, &name) : reg_enum_value(key, i, &name);
        if (r != REG_OK) break;
        out.add(name);
    }
}

}  // namespace

RegistryKey::RegistryKey(RegKey root, std::u16string_view path) : name_(path) {
    primary_write_ = create(root, path);
    primary_read_ = primary_write_ ? primary_write_ : open_read(root, path);
}

RegistryKey::RegistryKey(RegKey primary_read_root, RegKey primary_write_root,
                         RegKey secondary_read_root, RegKey secondary_write_root,
                         std::u16string_view path)
    : name_(path) {
    // The write keys are created first, so that a read key in the same hive
    // as a write key finds the path even when this call created it.
    primary_write_ = create(primary_write_root, path);
    secondary_write_ = create(secondary_write_root, path);
    primary_read_ = open_read(primary_read_root, path);
    secondary_read_ = open_read(secondary_read_root, path);
}

RegistryKey::RegistryKey(const RegistryKey& parent, std::u16string_view path) : name_(path) {
    primary_write_ = create(parent.primary_write_, path);
    secondary_write_ = create(parent.secondary_write_, path);
    primary_read_ = parent.primary_read_ && parent.primary_read_ == parent.primary_write_
                        ? primary_write_
                        : open_read(parent.primary_read_, path);
    secondary_read_ = parent.secondary_read_ && parent.secondary_read_ == parent.secondary_write_
                          ? secondary_write_
                          : open_read(parent.secondary_read_, path);
}

RegistryKey::~RegistryKey() {
    if (primary_read_ != primary_write_) reg_close_key(primary_read_);
    if (secondary_read_ != secondary_write_) reg_close_key(secondary_read_);
    reg_close_key(primary_write_);
    reg_close_key(secondary_write_);
}

int32_t RegistryKey::query(std::u16string_view name, uint32_t* type, void* data,
                           uint32_t* size) const {
    // Each read gets the caller's buffer size, not what the other read left.
    const uint32_t room = size ? *size : 0;
    if (secondary_read_) {
        int32_t r = reg_query_value(secondary_read_, name, type, data, size);
        if (r == REG_ERROR_MORE_DATA) return data ? r : REG_OK;
        if (r == REG_OK) return r;
        if (size) *size = room;
    }
    if (!primary_read_) return secondary_read_ ? REG_ERROR_FILE_NOT_FOUND : REG_ERROR_INVALID_HANDLE;
    int32_t r = reg_query_value(primary_read_, name, type, data, size);
    if (r == REG_ERROR_MORE_DATA && !data) return REG_OK;
    return r;
}

uint32_t RegistryKey::query_number(std::u16string_view name, uint32_t fallback) const {
    uint32_t type = 0;
    uint8_t data[4];
    uint32_t size = sizeof data;
    if (query(name, &type, data, &size) != REG_OK || type != REG_DWORD || size != 4) return fallback;
    return data[0] | (data[1] << 8) | (data[2] << 16) | (static_cast<uint32_t>(data[3]) << 24);
}

std::unique_ptr<uint8_t[]> RegistryKey::query_allocated(std::u16string_view name, uint32_t* size,
                                                        uint32_t* type) const {
    if (size) *size = 0;
    // The value may grow between asking its size and reading it: ask again.
    for (int attempt = 0; attempt < 4; ++attempt) {
        uint32_t needed = 0;
        if (query(name, nullptr, nullptr, &needed) != REG_OK) return nullptr;
        auto buffer = std::make_unique<uint8_t[]>(needed ? needed : 1);
        uint32_t got = needed;
        int32_t r = query(name, type, buffer.get(), &got);
        if (r == REG_ERROR_MORE_DATA) continue;
        if (r != REG_OK) return nullptr;
        if (size) *size = got;
        return buffer;
    }
    return nullptr;
}

bool RegistryKey::query_string(std::u16string_view name, std::u16string* out) const {
    uint32_t size = 0, type = 0;
    auto data = query_allocated(name, &size, &type);
    if (!data || type != REG_SZ) return false;
    std::u16string s = text_of(data.get(), size);
    std::size_t end = s.find(u'\0');
    if (end != std::u16string::npos) s.resize(end);
    *out = std::move(s);
    return true;
}

int32_t RegistryKey::set(std::u16string_view name, const void* data, uint32_t size, uint32_t type) {
    int32_t r = primary_write_ ? reg_set_value(primary_write_, name, type, data, size)
                               : static_cast<int32_t>(REG_ERROR_CANTWRITE);
    if (secondary_write_) {
        if (r == REG_OK) {
            reg_delete_value(secondary_write_, name);
        } else {
            r = reg_set_value(secondary_write_, name, type, data, size);
        }
    }
    return r;
}

int32_t RegistryKey::set_number(std::u16string_view name, uint32_t value) {
    uint8_t data[4] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                       static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
    return set(name, data, 4, REG_DWORD);
}

int32_t RegistryKey::set_binary(std::u16string_view name, const void* data, uint32_t size) {
    return set(name, data, size, REG_BINARY);
}

int32_t RegistryKey::set_string(std::u16string_view name, std::u16string_view text) {
    std::vector<uint8_t> bytes = bytes_of(text);
    bytes.push_back(0);
    bytes.push_back(0);
    return set(name, bytes.data(), static_cast<uint32_t>(bytes.size()), REG_SZ);
}

int32_t RegistryKey::set_multi_string(std::u16string_view name, const StringList& list) {
    std::u16string all;
    for (const std::u16string& s : list) {
        if (s.empty()) continue;  // an empty entry would end the list early
        all += s;
        all += u'\0';
    }
    all += u'\0';
    std::vector<uint8_t> bytes = bytes_of(all);
    return set(name, bytes.data(), static_cast<uint32_t>(bytes.size()), REG_MULTI_SZ);
}

int32_t RegistryKey::set_multi_string(std::u16string_view name, ListControl& list, bool add_text,
                                      std::size_t max_entries, std::size_t max_chars) {
    if (add_text) {
        std::u16string current = list.edit_text();
        if (!current.empty()) {
            for (int i = 0; i < list.count(); ++i) {
                if (equal_ignoring_case(list.item(i), current)) {
                    list.remove(i);
                    break;
                }
            }
            list.insert(0, current);
        }
    }
    StringList entries;
    std::size_t chars = 1;  // the final terminator
    for (int i = 0; i < list.count() && entries.count() < max_entries; ++i) {
        std::u16string item = list.item(i);
        if (item.empty()) continue;
        if (chars + item.size() + 1 > max_chars) break;
        chars += item.size() + 1;
        entries.add(item);
    }
    return set_multi_string(name, entries);
}

bool RegistryKey::get_multi_string(std::u16string_view name, StringList& out) const {
    uint32_t size = 0, type = 0;
    auto data = query_allocated(name, &size, &type);
    if (!data || type != REG_MULTI_SZ) return false;
    std::u16string all = text_of(data.get(), size);
    std::size_t start = 0;
    while (start < all.size()) {
        std::size_t end = all.find(u'\0', start);
        if (end == std::u16string::npos) end = all.size();  // a missing terminator
        if (end == start) break;                            // the empty text ends the list
        out.add(std::u16string_view(all).substr(start, end - start));
        start = end + 1;
    }
    return true;
}

bool RegistryKey::get_multi_string(std::u16string_view name, ListControl& out) const {
    StringList items;
    if (!get_multi_string(name, items)) return false;
    out.set_redraw(false);
    for (const std::u16string& s : items) out.insert(out.count(), s);
    out.set_redraw(true);
    return true;
}

int32_t RegistryKey::delete_value(std::u16string_view name) {
    int32_t secondary = secondary_write_ ? reg_delete_value(secondary_write_, name)
                                         : static_cast<int32_t>(REG_ERROR_FILE_NOT_FOUND);
    int32_t primary = primary_write_ ? reg_delete_value(primary_write_, name)
                                     : static_cast<int32_t>(REG_ERROR_CANTWRITE);
    if (primary == REG_OK || secondary == REG_OK) return REG_OK;
    return primary;
}

void RegistryKey::enumerate_keys(StringList& out) const {
    enumerate(primary_read_, true, out);
    enumerate(secondary_read_, true, out);
}

void RegistryKey::enumerate_values(StringList& out) const {
    enumerate(primary_read_, false, out);
    enumerate(secondary_read_, false, out);
}

int32_t RegistryKey::delete_tree(RegKey root, std::u16string_view path) {
    RegKey key = nullptr;
    int32_t r = reg_open_key(root, path, true, &key);
    if (r != REG_OK) return r;
    std::u16string child;
    // Deleting changes the indexes: always take the first remaining sub-key.
    while (reg_enum_key(key, 0, &child) == REG_OK) {
        r = delete_tree(key, child);
        if (r != REG_OK) break;
    }
    reg_close_key(key);
    return r == REG_OK ? reg_delete_key(root, path) : r;
}

}  // namespace qelvio::platform
