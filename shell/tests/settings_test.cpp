#include "shell/settings.h"

#include "platform/registry.h"
#include "platform/tests/scratch_dir.h"
#include "shell/dialog_settings.h"
#include "shell/profile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <vector>

namespace qelvio::shell {
namespace {

using testing::ScopedEnv;
using testing::ScratchDir;

class SettingsTest : public ::testing::Test {
protected:
    ScratchDir dir;
    ScopedEnv env{"QELVIO_CONFIG_DIR", dir.path()};

    // Every value stored under one section, as text ("#300" for numbers).
    std::map<std::u16string, std::u16string> stored(std::u16string_view section) {
        std::map<std::u16string, std::u16string> out;
        platform::RegKey key = nullptr;
        if (platform::reg_open_key(platform::reg_root(platform::RegHive::current_user),
                                   profile_section_path(section), false, &key) != platform::REG_OK)
            return out;
        std::u16string name;
        for (uint32_t i = 0; platform::reg_enum_value(key, i, &name) == platform::REG_OK; ++i) {
            auto type = get_profile_type(section, name);
            if (type == platform::REG_DWORD) {
                std::string n = "#" + std::to_string(get_profile_int(section, name, 0));
                out[name] = std::u16string(n.begin(), n.end());
            } else {
                out[name] = get_profile_string(section, name, u"?");
            }
        }
        platform::reg_close_key(key);
        return out;
    }
};

TEST_F(SettingsTest, EmptyProfileGivesDefaultsAndFirstSaveWritesAllEleven) {
    Settings s;
    s.load();
    EXPECT_FALSE(std::filesystem::exists(dir / "user.reg"));  // loading writes nothing
    EXPECT_FLOAT_EQ(s.slide_interval, 3.0f);
    EXPECT_TRUE(s.auto_audio);
    EXPECT_EQ(s.lastdirectory, u"\\");
    EXPECT_EQ(s.splitpos, -1);
    EXPECT_EQ(s.savequality, 1);

    EXPECT_EQ(s.save(), platform::REG_OK);
    using Values = std::map<std::u16string, std::u16string>;
    EXPECT_EQ(stored(u"viewer"), (Values{{u"slide_interval", u"#300"}, {u"auto_audio", u"#1"}}));
    EXPECT_EQ(stored(u"browser"), (Values{{u"thumb_filenames", u"#1"},
                                          {u"thumb_annoticons", u"#1"},
                                          {u"viewmode", u"#1"},
                                          {u"sortmode", u"#0"},
                                          {u"lastdirectory", u"\\"},
                                          {u"splitpos", u"#-1"},
                                          {u"splitrestorepos", u"#0"},
                                          {u"splitminormax", u"#0"}}));
    EXPECT_EQ(stored(u"editor"), (Values{{u"savequality", u"#1"}}));
    // The e-mail goes to the outbox unless the user chose the mail program.
    EXPECT_EQ(stored(u"emaildlg"), (Values{{u"mailprogram", u"#0"}}));
    // Under the application's profile key.
    EXPECT_EQ(profile_section_path(u"viewer"), u"Software\\Brantel\\Qelvio\\Qelvio Mobile\\viewer");
}

TEST_F(SettingsTest, SlideIntervalIsStoredInHundredths) {
    Settings s;
    s.slide_interval = 2.5f;
    s.save();
    EXPECT_EQ(get_profile_int(u"viewer", u"slide_interval", 0), 250);

    write_profile_int(u"viewer", u"slide_interval", 1234);
    s.load();
    EXPECT_FLOAT_EQ(s.slide_interval, 12.34f);
    // Saving what was loaded stores the same number again.
    s.save();
    EXPECT_EQ(get_profile_int(u"viewer", u"slide_interval", 0), 1234);

    s.slide_interval = 2.999f;  // truncated, not rounded
    s.save();
    EXPECT_EQ(get_profile_int(u"viewer", u"slide_interval", 0), 299);
}

// Every stored number of the spin button's range (0 to 9999 s) survives a
// load and a save unchanged.
TEST(SlideIntervalTest, StoredNumbersRoundTrip) {
    int changed = 0;
    for (int32_t n = 0; n <= 999900; ++n)
        if (slide_interval_to_stored(slide_interval_from_stored(n)) != n) ++changed;
    EXPECT_EQ(changed, 0);
    EXPECT_EQ(slide_interval_to_stored(-1.5f), -150);
    EXPECT_EQ(slide_interval_to_stored(1e30f), INT32_MAX);
}

TEST_F(SettingsTest, LoadReadsStoredValuesAndKeepsCurrentOnesForMissingOrWrongType) {
    write_profile_int(u"viewer", u"auto_audio", 0);
    write_profile_int(u"browser", u"sortmode", 3);
    write_profile_string(u"browser", u"lastdirectory", u"file:\\\\\\My Documents");
    write_profile_string(u"browser", u"viewmode", u"2");  // wrong type
    write_profile_int(u"browser", u"lastdirectory_unused", 5);
    Settings s;
    s.viewmode = 7;
    s.load();
    EXPECT_FALSE(s.auto_audio);
    EXPECT_EQ(s.sortmode, 3);
    EXPECT_EQ(s.lastdirectory, u"file:\\\\\\My Documents");
    EXPECT_EQ(s.viewmode, 7);
    EXPECT_EQ(stored_setting(s, u"viewer", u"slide_interval"), u"300");
    EXPECT_EQ(stored_setting(s, u"browser", u"lastdirectory"), u"file:\\\\\\My Documents");
    EXPECT_EQ(stored_setting(s, u"browser", u"nothing"), u"");
}

TEST_F(SettingsTest, UnwritableProfileReportsFailure) {
    std::ofstream(dir / "plain-file") << "not a folder";
    ScopedEnv e("QELVIO_CONFIG_DIR", dir / "plain-file/qelvio");
    Settings s;
    EXPECT_EQ(s.save(), platform::REG_ERROR_CANTWRITE);
    s.load();  // reads the defaults, no crash
    EXPECT_EQ(s.viewmode, 1);
}

TEST_F(SettingsTest, DialogSettingsHaveTheirDefaults) {
    EXPECT_EQ(load_dialog_setting(kEmailResolution), 0);
    EXPECT_EQ(load_dialog_setting(kRenameSeqCount), 2);
    save_dialog_setting(kRenameSeqCount, 4);
    EXPECT_EQ(load_dialog_setting(kRenameSeqCount), 4);
    EXPECT_EQ(get_profile_int(u"renamedlg", u"seqcount", 0), 4);
}

struct Recorder : SettingsObserver {
    std::vector<int> codes;
    std::function<void()> on_change;
    void settings_changed(int code) override {
        codes.push_back(code);
        if (on_change) on_change();
    }
};

TEST(SettingsObserverTest, SixteenSlots) {
    Settings s;
    std::vector<Recorder> recorders(17);
    for (int i = 0; i < 16; ++i) EXPECT_TRUE(s.add_observer(&recorders[i]));
    EXPECT_FALSE(s.add_observer(&recorders[16]));  // all taken: nothing happens
    s.notify(kSettingsChangedByOptions);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(recorders[i].codes, std::vector<int>{7});
    EXPECT_TRUE(recorders[16].codes.empty());

    s.remove_observer(&recorders[3]);
    EXPECT_TRUE(s.add_observer(&recorders[16]));  // takes the emptied slot
    s.notify(1);
    EXPECT_EQ(recorders[3].codes.size(), 1u);
    EXPECT_EQ(recorders[16].codes, std::vector<int>{1});
}

TEST(SettingsObserverTest, ObserverRemovedDuringNotifyIsNotCalled) {
    Settings s;
    Recorder first, second;
    first.on_change = [&] { s.remove_observer(&second); };
    s.add_observer(&first);
    s.add_observer(&second);
    s.notify(7);
    EXPECT_EQ(first.codes.size(), 1u);
    EXPECT_TRUE(second.codes.empty());
}

}  // namespace
}  // namespace qelvio::shell
