#include "shell/known_folders.h"

#include "platform/device_root.h"
#include "platform/tests/scratch_dir.h"
#include "shell/command_line.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace qelvio::shell {
namespace {

using testing::ScopedEnv;
using testing::ScratchDir;
namespace fs = std::filesystem;

class KnownFoldersTest : public ::testing::Test {
protected:
    ScratchDir dir;
    ScopedEnv home{"HOME", dir / "home"};
    ScopedEnv data{"XDG_DATA_HOME", dir / "data"};
    ScopedEnv cache{"XDG_CACHE_HOME", dir / "cache"};
    ScopedEnv config{"XDG_CONFIG_HOME", dir / "config"};

    void SetUp() override {
        fs::create_directories(dir / "home");
        platform::set_device_root("");
    }
    void TearDown() override { platform::set_device_root(""); }
};

TEST_F(KnownFoldersTest, LinuxFoldersAreCreatedAndReachableAsDevicePaths) {
    struct Case {
        int number;
        std::string local;
        bool created;
    };
    const Case cases[] = {
        {0, dir / "data/qelvio", false},
        {1, dir / "cache/qelvio/Qelvio Thumbnails", true},
        {2, dir / "cache/qelvio/tmp", true},
        {3, dir / "home", true},
        {4, dir / "data/qelvio/Temporary IR Directory", true},
    };
    for (const Case& c : cases) {
        auto folder = well_known_folder(c.number);
        ASSERT_TRUE(folder) << c.number;
        EXPECT_EQ(*folder, platform::to_device_path(c.local)) << c.number;
        EXPECT_EQ(fs::is_directory(c.local), c.created) << c.number;
        auto irl = file_irl(*folder);
        ASSERT_TRUE(irl);
        EXPECT_EQ(platform::to_local_path(std::u16string_view(*irl).substr(7)), c.local);
    }
    EXPECT_FALSE(well_known_folder(5));
    EXPECT_FALSE(well_known_folder(-1));
}

TEST_F(KnownFoldersTest, DocumentsFollowThePicturesFolder) {
    fs::create_directories(dir / "config");
    std::ofstream(dir / "config/user-dirs.dirs")
        << "# comment\nXDG_DESKTOP_DIR=\"$HOME/Desktop\"\nXDG_PICTURES_DIR=\"$HOME/Bilder\"\n";
    auto folder = well_known_folder(kDocumentsFolder);
    ASSERT_TRUE(folder);
    EXPECT_EQ(*folder, platform::to_device_path(dir / "home/Bilder"));
    EXPECT_TRUE(fs::is_directory(dir / "home/Bilder"));
}

TEST_F(KnownFoldersTest, DeviceRootUsesTheDeviceFolders) {
    platform::set_device_root(dir / "device");
    const std::pair<int, std::u16string> cases[] = {
        {0, u"\\Program Files\\Qelvio"},
        {1, u"\\Program Files\\Qelvio\\Qelvio Thumbnails"},
        {2, u"\\Windows\\Temp"},
        {3, u"\\My Documents"},
        {4, u"\\Program Files\\Qelvio\\Temporary IR Directory"},
    };
    for (const auto& [number, device] : cases) {
        EXPECT_EQ(well_known_folder(number), device) << number;
    }
    EXPECT_TRUE(fs::is_directory(dir / "device/Windows/Temp"));
    EXPECT_TRUE(fs::is_directory(dir / "device/Program Files/Qelvio/Qelvio Thumbnails"));
    EXPECT_EQ(std::u16string_view(*file_irl(*well_known_folder(3))), u"file:\\\\\\My Documents");
}

TEST_F(KnownFoldersTest, UncreatableFolderIsStillNamed) {
    std::ofstream(dir / "blocker") << "x";
    ScopedEnv c("XDG_CACHE_HOME", dir / "blocker");
    auto folder = well_known_folder(kThumbnailFolder);
    ASSERT_TRUE(folder);
    EXPECT_FALSE(fs::exists(dir / "blocker/qelvio"));
}

}  // namespace
}  // namespace qelvio::shell
