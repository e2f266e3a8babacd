#include "shell/help.h"

#include <gtest/gtest.h>

#include <vector>

namespace qelvio::shell {
namespace {

struct RecordingViewer : HelpViewer {
    std::vector<std::u16string> shown;
    void show_help_target(std::u16string_view target) override { shown.emplace_back(target); }
};

TEST(HelpTest, TopicsOpenAnchorsInTheHelpFile) {
    EXPECT_FALSE(show_help(u"viewer"));  // no viewer installed yet
    RecordingViewer viewer;
    set_help_viewer(&viewer);
    EXPECT_TRUE(show_help(nullptr));
    EXPECT_TRUE(show_help(u""));
    EXPECT_TRUE(show_help(u"renaming"));
    set_help_viewer(nullptr);
    EXPECT_EQ(viewer.shown, (std::vector<std::u16string>{u"\\Windows\\qelvio_hpc.htm#Main_Contents",
                                                        u"\\Windows\\qelvio_hpc.htm#Main_Contents",
                                                        u"\\Windows\\qelvio_hpc.htm#renaming"}));
}

}  // namespace
}  // namespace qelvio::shell
