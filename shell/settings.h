// The settings object: the user's preferences for the whole run. It is made
// with the defaults, loaded from the profile at start-up, read directly by
// the browser, viewer and editor, changed in memory by the options page and
// by view changes, and written back at exit.
//
// Use settings() for the process-wide object; tests may make their own.
// Called on the user-interface thread only.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace qelvio::shell {

// A window whose content depends on the settings.
class SettingsObserver {
public:
    virtual ~SettingsObserver() = default;
    // code says what changed; the options page sends 7.
    virtual void settings_changed(int code) = 0;
};

// The change code the options page notifies with.
inline constexpr int kSettingsChangedByOptions = 7;

class Settings {
public:
    // Section "viewer".
    float slide_interval = 3.0f;  // seconds between slides
    bool auto_audio = true;       // play an image's audio note when shown
    // Section "browser".
    bool thumb_filenames = true;   // file names under thumbnails
    bool thumb_annoticons = true;  // annotation icons on thumbnails
    int32_t viewmode = 1;
    int32_t sortmode = 0;
    std::u16string lastdirectory = u"\\";  // locator of the folder shown last
    int32_t splitpos = -1;
    int32_t splitrestorepos = 0;
    int32_t splitminormax = 0;
    // Section "editor".
    int32_t savequality = 1;  // 0 low, 1 medium, 2 high
    // Section "emaildlg": hand a finished e-mail to the desktop's mail
    // program instead of leaving it in the outbox.
    bool mail_program = false;

    // Reads every value from the profile, keeping the current value where
    // one is missing or of the wrong type.
    void load();
    // Writes every value; returns the first failing registry result, or 0.
    int32_t save() const;

    // Takes the first empty slot of 16; false (nothing done) when all are
    // taken or the observer is already registered.
    bool add_observer(SettingsObserver* observer);
    // Empties the slot that holds the observer.
    void remove_observer(SettingsObserver* observer);
    // Calls every registered observer with the code.
    void notify(int code);

    static constexpr std::size_t kObserverSlots = 16;

private:
    std::array<SettingsObserver*, kObserverSlots> observers_{};
};

// The process-wide settings object.
Settings& settings();

// One persisted value: where it lives and how it is stored.
struct SettingInfo {
    const char16_t* section;
    const char16_t* name;
    bool is_text;  // stored as a string, else as a 32-bit number
};

// The persisted values, in the order they are saved.
const SettingInfo* setting_table(std::size_t* count);

// The stored form of a value of the settings object ("300" for the slide
// interval of 3 s); empty for an unknown name.
std::u16string stored_setting(const Settings& s, std::u16string_view section,
                              std::u16string_view name);

// Slide interval conversions: hundredths of a second as stored, and back.
// Storing truncates to whole hundredths; a value that came from a stored
// number converts back to exactly that number.
int32_t slide_interval_to_stored(float seconds);
float slide_interval_from_stored(int32_t hundredths);

}  // namespace qelvio::shell
