#include "shell/profile.h"

#include "platform/registry_key.h"
#include "resources/string_table.h"

#include <mutex>

namespace qelvio::shell {
namespace {

using namespace qelvio::platform;

std::mutex key_mutex;
std::u16string& registry_key() {
    static std::u16string key = u"Brantel\\Qelvio";
    return key;
}

// Opens the section read-only; null when it does not exist.
RegKey open_section(std::u16string_view section) {
    RegKey key = nullptr;
    reg_open_key(reg_root(RegHive::current_user), profile_section_path(section), false, &key);
    return key;
}

}  // namespace

void set_registry_key(std::u16string_view company) {
    std::lock_guard lock(key_mutex);
    registry_key() = company;
}

std::u16string profile_section_path(std::u16string_view section) {
    const char16_t* app = resources::load_string(57344);
    std::lock_guard lock(key_mutex);
    std::u16string path = u"Software\\" + registry_key() + u"\\" + (app ? app : u"Qelvio Mobile");
    if (!section.empty()) path += u"\\" + std::u16string(section);
    return path;
}

int32_t get_profile_int(std::u16string_view section, std::u16string_view name, int32_t fallback) {
    RegKey key = open_section(section);
    if (!key) return fallback;
    uint32_t type = 0, value = 0, size = sizeof value;
    int32_t r = reg_query_value(key, name, &type, &value, &size);
    reg_close_key(key);
    if (r != REG_OK || type != REG_DWORD || size != 4) return fallback;
    return static_cast<int32_t>(value);
}

std::u16string get_profile_string(std::u16string_view section, std::u16string_view name,
                                  std::u16string_view fallback) {
    RegKey key = open_section(section);
    if (!key) return std::u16string(fallback);
    uint32_t type = 0, size = 0;
    std::u16string value;
    int32_t r = reg_query_value(key, name, &type, nullptr, &size);
    if (r == REG_OK && type == REG_SZ) {
        std::u16string buffer(size / 2 + 1, u'\0');
        size = static_cast<uint32_t>(buffer.size() * 2);
        r = reg_query_value(key, name, &type, buffer.data(), &size);
        value = buffer.substr(0, buffer.find(u'\0'));
    }
    reg_close_key(key);
    if (r != REG_OK || type != REG_SZ) return std::u16string(fallback);
    return value;
}

std::optional<uint32_t> get_profile_type(std::u16string_view section, std::u16string_view name) {
    RegKey key = open_section(section);
    if (!key) return std::nullopt;
    uint32_t type = 0, size = 0;
    int32_t r = reg_query_value(key, name, &type, nullptr, &size);
    reg_close_key(key);
    if (r != REG_OK) return std::nullopt;
    return type;
}

int32_t write_profile_int(std::u16string_view section, std::u16string_view name, int32_t value) {
    RegistryKey key(reg_root(RegHive::current_user), profile_section_path(section));
    return key.set_number(name, static_cast<uint32_t>(value));
}

int32_t write_profile_string(std::u16string_view section, std::u16string_view name,
                             std::u16string_view value) {
    RegistryKey key(reg_root(RegHive::current_user), profile_section_path(section));
    return key.set_string(name, value);
}

}  // namespace qelvio::shell
