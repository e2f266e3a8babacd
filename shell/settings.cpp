#include "shell/settings.h"

#include "platform/registry.h"
#include "shell/profile.h"

#include <cmath>
#include <limits>
#include <variant>

namespace qelvio::shell {
namespace {

using Member = std::variant<float Settings::*, bool Settings::*, int32_t Settings::*,
                            std::u16string Settings::*>;

struct Entry {
    SettingInfo info;
    Member member;
};

// Every persisted value and its default lives in Settings' member
// initialisers; this table says where each one is stored.
const Entry entries[] = {
    {{u"viewer", u"slide_interval", false}, &Settings::slide_interval},
    {{u"viewer", u"auto_audio", false}, &Settings::auto_audio},
    {{u"browser", u"thumb_filenames", false}, &Settings::thumb_filenames},
    {{u"browser", u"thumb_annoticons", false}, &Settings::thumb_annoticons},
    {{u"browser", u"viewmode", false}, &Settings::viewmode},
    {{u"browser", u"sortmode", false}, &Settings::sortmode},
    {{u"browser", u"lastdirectory", true}, &Settings::lastdirectory},
    {{u"browser", u"splitpos", false}, &Settings::splitpos},
    {{u"browser", u"splitrestorepos", false}, &Settings::splitrestorepos},
    {{u"browser", u"splitminormax", false}, &Settings::splitminormax},
    {{u"editor", u"savequality", false}, &Settings::savequality},
    {{u"emaildlg", u"mailprogram", false}, &Settings::mail_program},
};

const SettingInfo infos[] = {
    entries[0].info, entries[1].info, entries[2].info, entries[3].info,
    entries[4].info, entries[5].info, entries[6].info, entries[7].info,
    entries[8].info, entries[9].info, entries[10].info, entries[11].info,
};
static_assert(std::size(infos) == std::size(entries));

// The number a member is stored as.
int32_t stored_number(const Settings& s, const Member& m) {
    if (auto f = std::get_if<float Settings::*>(&m)) return slide_interval_to_stored(s.**f);
    if (auto b = std::get_if<bool Settings::*>(&m)) return s.**b ? 1 : 0;
    return s.*std::get<int32_t Settings::*>(m);
}

void set_from_number(Settings& s, const Member& m, int32_t n) {
    if (auto f = std::get_if<float Settings::*>(&m)) {
        s.**f = slide_interval_from_stored(n);
    } else if (auto b = std::get_if<bool Settings::*>(&m)) {
        s.**b = n != 0;
    } else {
        s.*std::get<int32_t Settings::*>(m) = n;
    }
}

const Entry* find(std::u16string_view section, std::u16string_view name) {
    for (const Entry& e : entries)
        if (section == e.info.section && name == e.info.name) return &e;
    return nullptr;
}

}  // namespace

int32_t slide_interval_to_stored(float seconds) {
    if (!std::isfinite(seconds)) return 0;
    double v = static_cast<double>(seconds) * 100.0;
    // A float holds n / 100 only to about one part in 2^24; allow for that
    // error before truncating, so that a loaded 1234 (12.34 s, held as
    // 12.3399996...) is stored as 1234 again and not as 1233.
    double tolerance = std::abs(v) * 2.5e-7 + 1e-9;
    v = v < 0 ? std::ceil(v - tolerance) : std::floor(v + tolerance);
    if (v > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
    if (v < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(v);
}

float slide_interval_from_stored(int32_t hundredths) {
    return static_cast<float>(hundredths / 100.0);
}

void Settings::load() {
    for (const Entry& e : entries) {
        if (auto text = std::get_if<std::u16string Settings::*>(&e.member)) {
            this->**text = get_profile_string(e.info.section, e.info.name, this->**text);
        } else {
            int32_t current = stored_number(*this, e.member);
            set_from_number(*this, e.member, get_profile_int(e.info.section, e.info.name, current));
        }
    }
}

int32_t Settings::save() const {
    // One write of the hive for all values.
    platform::RegBatch batch(platform::RegHive::current_user);
    int32_t first_failure = platform::REG_OK;
    for (const Entry& e : entries) {
        int32_t r;
        if (auto text = std::get_if<std::u16string Settings::*>(&e.member)) {
            r = write_profile_string(e.info.section, e.info.name, this->**text);
        } else {
            r = write_profile_int(e.info.section, e.info.name, stored_number(*this, e.member));
        }
        if (r != platform::REG_OK && first_failure == platform::REG_OK) first_failure = r;
    }
    int32_t r = batch.commit();
    return first_failure != platform::REG_OK ? first_failure : r;
}

bool Settings::add_observer(SettingsObserver* observer) {
    if (!observer) return false;
    for (SettingsObserver* o : observers_)
        if (o == observer) return false;
    for (SettingsObserver*& slot : observers_) {
        if (!slot) {
            slot = observer;
            return true;
        }
    }
    return false;
}

void Settings::remove_observer(SettingsObserver* observer) {
    for (SettingsObserver*& slot : observers_)
        if (slot == observer) slot = nullptr;
}

void Settings::notify(int code) {
    // Slots are read as they stand: an observer that another one removed
    // while being notified is not called any more.
    for (std::size_t i = 0; i < observers_.size(); ++i)
        if (SettingsObserver* o = observers_[i]) o->settings_changed(code);
}

Settings& settings() {
    static Settings s;
    return s;
}

const SettingInfo* setting_table(std::size_t* count) {
    if (count) *count = std::size(infos);
    return infos;
}

std::u16string stored_setting(const Settings& s, std::u16string_view section,
                              std::u16string_view name) {
    const Entry* e = find(section, name);
    if (!e) return {};
    if (auto text = std::get_if<std::u16string Settings::*>(&e->member)) return s.**text;
    std::string n = std::to_string(stored_number(s, e->member));
    return std::u16string(n.begin(), n.end());
}

}  // namespace qelvio::shell
