#include "shell/startup.h"

#include "platform/tests/scratch_dir.h"
#include "shell/command_line.h"
#include "shell/profile.h"
#include "shell/settings.h"

#include <gtest/gtest.h>

namespace qelvio::shell {
namespace {

using testing::ScopedEnv;
using testing::ScratchDir;

TEST(StartupTest, CommandLineFileSkipsTheStartPictureAndSettingsAreLoaded) {
    ScratchDir dir;
    ScopedEnv env("QELVIO_CONFIG_DIR", dir.path());
    write_profile_string(u"browser", u"lastdirectory", u"file:\\\\\\My Documents");

    StartupState with_file = begin_startup(initial_irl(u"\"\\My Documents\\a.jpg\""));
    ASSERT_TRUE(with_file.initial);
    EXPECT_EQ(std::u16string_view(*with_file.initial), u"file:\\\\\\My Documents\\a.jpg");
    EXPECT_FALSE(with_file.show_start_picture);

    StartupState without = begin_startup(initial_irl(u""));
    EXPECT_FALSE(without.initial);
    EXPECT_TRUE(without.show_start_picture);
    EXPECT_EQ(settings().lastdirectory, u"file:\\\\\\My Documents");

    settings().sortmode = 2;
    EXPECT_EQ(save_settings_at_exit(), 0);
    EXPECT_EQ(get_profile_int(u"browser", u"sortmode", 0), 2);
    settings() = Settings();
}

}  // namespace
}  // namespace qelvio::shell
