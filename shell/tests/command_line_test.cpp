#include "shell/command_line.h"

#include "platform/device_root.h"
#include "platform/tests/scratch_dir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace qelvio::shell {
namespace {

TEST(CommandLineTest, PathIsTakenFromTheQuotes) {
    const std::pair<std::u16string, std::u16string> cases[] = {
        {u"\"\\My Documents\\a.jpg\"", u"\\My Documents\\a.jpg"},
        {u"\\My Documents\\a.jpg", u"\\My Documents\\a.jpg"},
        {u"-x \"\\a b.jpg\" more", u"\\a b.jpg"},
        {u"\"\\unterminated.jpg", u"\\unterminated.jpg"},
        {u"\"\"", u""},
        {u"", u""},
    };
    for (const auto& [line, path] : cases) EXPECT_EQ(command_line_path(line), path);
}

TEST(CommandLineTest, InitialLocator) {
    platform::set_device_root("");
    EXPECT_EQ(std::u16string_view(*initial_irl(u"\"\\My Documents\\a.jpg\"")),
              u"file:\\\\\\My Documents\\a.jpg");
    EXPECT_FALSE(initial_irl(u""));
    EXPECT_FALSE(initial_irl(u"\"\""));

    // A local path, relative to the current folder, is mapped onto the device.
    auto cwd = std::filesystem::current_path().string();
    auto irl = initial_irl(u"photo.jpg");
    ASSERT_TRUE(irl);
    EXPECT_EQ(std::u16string_view(*irl), u"file:\\\\" + *platform::to_device_path(cwd + "/photo.jpg"));
}

TEST(CommandLineTest, LocalPathOutsideTheDeviceRootNamesNothing) {
    testing::ScratchDir dir;
    platform::set_device_root(dir.path());
    EXPECT_FALSE(initial_irl(u"/etc/hosts"));
    EXPECT_EQ(std::u16string_view(*initial_irl(text::to_utf16(dir / "My Documents/a.jpg"))),
              u"file:\\\\\\My Documents\\a.jpg");
    platform::set_device_root("");
}

}  // namespace
}  // namespace qelvio::shell
