// qelvio-cli settings: shows and changes the values kept in the program's
// profile, each in the unit the options page shows it in (the slide interval
// in seconds, although stored in hundredths); the program reads them at its
// next start.
#include "app/cli/command.h"

#include "platform/registry.h"
#include "platform/text.h"
#include "shell/mru_list.h"
#include "shell/profile.h"
#include "shell/settings.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>

namespace qelvio::cli {
namespace {

using namespace qelvio::platform;
using qelvio::text::to_utf16;
using qelvio::text::to_utf8;

const shell::SettingInfo* find_setting(std::u16string_view section, std::u16string_view name) {
    std::size_t count = 0;
    const shell::SettingInfo* table = shell::setting_table(&count);
    for (std::size_t i = 0; i < count; ++i)
        if (section == table[i].section && name == table[i].name) return &table[i];
    return nullptr;
}

// Values that are numbers although no setting of the table.
bool number_by_name(std::u16string_view section, std::u16string_view name) {
    const shell::MruList lists[] = {shell::kEmailRecipients, shell::kFindFileName,
                                    shell::kFindMetadata, shell::kAnnotationAuthor,
                                    shell::kAnnotationCopyright, shell::kRenamePattern};
    for (const shell::MruList& l : lists)
        if (section == l.section && name == l.count_name) return true;
    return (section == u"emaildlg" && name == u"resolution") ||
           (section == u"renamedlg" && name == u"seqcount");
}

// A stored value as text; empty optional when missing.
std::optional<std::string> stored_text(std::u16string_view section, std::u16string_view name) {
    auto type = shell::get_profile_type(section, name);
    if (!type) return std::nullopt;
    if (*type == REG_DWORD) return std::to_string(shell::get_profile_int(section, name, 0));
    if (*type == REG_SZ) return to_utf8(shell::get_profile_string(section, name, u""));
    return "(value of type " + std::to_string(*type) + ")";
}

// The slide interval is shown and typed in seconds, as on the options page.
bool in_seconds(std::u16string_view section, std::u16string_view name) {
    return section == u"viewer" && name == u"slide_interval";
}

// Hundredths of a second as seconds: 300 as "3", 250 as "2.5", 1234 as "12.34".
std::string seconds_text(int64_t hundredths) {
    std::string sign = hundredths < 0 ? "-" : "";
    uint64_t v = static_cast<uint64_t>(hundredths < 0 ? -hundredths : hundredths);
    std::string out = sign + std::to_string(v / 100);
    if (v % 100) {
        char fraction[4];
        std::snprintf(fraction, sizeof fraction, "%02u", static_cast<unsigned>(v % 100));
        std::string f = fraction;
        if (f.back() == '0') f.pop_back();
        out += "." + f;
    }
    return out;
}

// A value as the user means it, from its stored text.
std::string shown_text(std::u16string_view section, std::u16string_view name, const std::string& stored) {
    if (!in_seconds(section, name)) return stored;
    int64_t n = std::strtoll(stored.c_str(), nullptr, 10);
    return seconds_text(n);
}

bool parse_seconds(const std::string& s, int32_t* hundredths) {
    if (s.empty()) return false;
    errno = 0;
    char* end = nullptr;
    double v = std::strtod(s.c_str(), &end);
    // The options page's spin button runs from 0 to 9999 seconds.
    if (errno || *end || !(v >= 0 && v <= 9999)) return false;
    *hundredths = shell::slide_interval_to_stored(static_cast<float>(v));
    return true;
}

bool parse_int32(const std::string& s, int32_t* out) {
    if (s.empty()) return false;
    errno = 0;
    char* end = nullptr;
    long long v = std::strtoll(s.c_str(), &end, 10);
    if (errno || *end || v < INT32_MIN || v > INT32_MAX) return false;
    *out = static_cast<int32_t>(v);
    return true;
}

int list() {
    shell::Settings s;
    s.load();
    std::set<std::pair<std::u16string, std::u16string>> shown;
    std::size_t count = 0;
    const shell::SettingInfo* table = shell::setting_table(&count);
    for (std::size_t i = 0; i < count; ++i) {
        std::printf("%s\t%s\t%s\n", to_utf8(table[i].section).c_str(), to_utf8(table[i].name).c_str(),
                    shown_text(table[i].section, table[i].name,
                               to_utf8(shell::stored_setting(s, table[i].section, table[i].name)))
                        .c_str());
        shown.emplace(table[i].section, table[i].name);
    }
    // Everything else the profile holds: dialog values and lists.
    RegKey profile = nullptr;
    if (reg_open_key(reg_root(RegHive::current_user), shell::profile_section_path(u""), false,
                     &profile) != REG_OK)
        return 0;
    std::u16string section;
    for (uint32_t i = 0; reg_enum_key(profile, i, &section) == REG_OK; ++i) {
        RegKey key = nullptr;
        if (reg_open_key(profile, section, false, &key) != REG_OK) continue;
        std::u16string name;
        for (uint32_t j = 0; reg_enum_value(key, j, &name) == REG_OK; ++j) {
            if (shown.count({section, name})) continue;
            auto value = stored_text(section, name);
            std::printf("%s\t%s\t%s\n", to_utf8(section).c_str(), to_utf8(name).c_str(),
                        value ? value->c_str() : "");
        }
        reg_close_key(key);
    }
    reg_close_key(profile);
    return 0;
}

int get(const std::string& section8, const std::string& name8) {
    std::u16string section = to_utf16(section8), name = to_utf16(name8);
    if (find_setting(section, name)) {
        shell::Settings s;
        s.load();
        std::printf("%s\n", shown_text(section, name, to_utf8(shell::stored_setting(s, section, name))).c_str());
        return 0;
    }
    auto value = stored_text(section, name);
    if (!value) {
        std::fprintf(stderr, "qelvio-cli settings: %s %s is not set\n", section8.c_str(), name8.c_str());
        return 1;
    }
    std::printf("%s\n", value->c_str());
    return 0;
}

int set(const std::string& section8, const std::string& name8, const std::string& value8) {
    std::u16string section = to_utf16(section8), name = to_utf16(name8);
    if (section.empty() || name.empty() || section.find(u'\\') != std::u16string::npos) {
        std::fputs("qelvio-cli settings: SECTION and NAME must be non-empty words\n", stderr);
        return 2;
    }
    bool number;
    if (const shell::SettingInfo* info = find_setting(section, name)) {
        number = !info->is_text;
    } else if (auto type = shell::get_profile_type(section, name)) {
        number = *type == REG_DWORD;
    } else {
        number = number_by_name(section, name);
    }
    int32_t r;
    if (in_seconds(section, name)) {
        int32_t hundredths = 0;
        if (!parse_seconds(value8, &hundredths)) {
            std::fprintf(stderr, "qelvio-cli settings: %s %s takes seconds from 0 to 9999, not '%s'\n",
                         section8.c_str(), name8.c_str(), value8.c_str());
            return 2;
        }
        r = shell::write_profile_int(section, name, hundredths);
    } else if (number) {
        int32_t n = 0;
        if (!parse_int32(value8, &n)) {
            std::fprintf(stderr, "qelvio-cli settings: %s %s takes a whole number, not '%s'\n",
                         section8.c_str(), name8.c_str(), value8.c_str());
            return 2;
        }
        r = shell::write_profile_int(section, name, n);
    } else {
        r = shell::write_profile_string(section, name, to_utf16(value8));
    }
    if (r != REG_OK) {
        std::fprintf(stderr, "qelvio-cli settings: cannot write %s (error %d)\n",
                     reg_hive_file(RegHive::current_user).c_str(), r);
        return 1;
    }
    return 0;
}

}  // namespace

int run_settings(const Args& args) {
    if (args.size() == 1 && args[0] == "list") return list();
    if (args.size() == 3 && args[0] == "get") return get(args[1], args[2]);
    if (args.size() == 4 && args[0] == "set") return set(args[1], args[2], args[3]);
    std::fputs("usage: qelvio-cli settings list | get SECTION NAME | set SECTION NAME VALUE\n", stderr);
    return 2;
}

}  // namespace qelvio::cli
