// Find and Find Next over a real folder tree: the walk through subfolders,
// the folders the browser is made to show, the restart question, select-all
// mode, and metadata words written by exiftool.
#include "find/find_commands.h"
#include "find/tree_host.h"

#include "storage/tests/command_output.h"
#include "storage/tests/device_fixture.h"

#include <gtest/gtest.h>

namespace qelvio::find {
namespace {

struct Answer : platform::UserQuestion {
    int answer = platform::kAnswerNo;
    std::vector<int> asked;
    int ask_yes_no_cancel(int id) override { return ask(id, u"", platform::kButtonsYesNo); }
    int ask(int id, std::u16string_view, int) override {
        asked.push_back(id);
        return answer;
    }
};

class FindTree : public DeviceFixture {
protected:
    void TearDown() override {
        host.reset();
        DeviceFixture::TearDown();
    }
    void open(const std::u16string& folder) {
        p_irl irl;
        irl.set(u"file", u"", folder.c_str());
        host = std::make_unique<TreeFindHost>(*mcp, irl);
        search = std::make_unique<FindSearch>(*host);
    }
    void criteria(FindFields fields) {
        FindCriteria c;
        ASSERT_EQ(read_fields(fields, c), 0);
        search->reset(c);
    }
    // "folder\name" of a match in the folder shown now.
    std::string where(int match) {
        if (match < 0) return "none";
        std::string folder = host->shown_folder().utf8();
        return folder.substr(folder.rfind('\\') + 1) + "\\" + text::to_utf8(host->item_name(match));
    }
    // The device path's last name of each folder shown.
    std::vector<std::string> shown() {
        std::vector<std::string> out;
        for (const auto& irl : host->shown_log) {
            std::string s = text::to_utf8(irl);
            out.push_back(s.substr(s.rfind('\\') + 1));
        }
        return out;
    }
    // Subfolder names of a device folder in child order.
    std::vector<std::string> subfolders(const char16_t* path) {
        std::vector<std::string> out;
        p_filenode* n = node(path);
        n->settrack(P_TRACK_FOLDERS, nullptr, true);
        for (p_filenode* c : n->getchildren())
            if (c->isdirectory()) out.push_back(c->getname().utf8());
        return out;
    }

    std::unique_ptr<TreeFindHost> host;
    std::unique_ptr<FindSearch> search;
    Answer question;
};

TEST_F(FindTree, FindNextWalksSubfoldersDepthFirstShowingEachFolder) {
    // top holds two matches; "a" has a match and a subfolder with one; "b"
    // has one. Which of a and b comes first is the folder's child order.
    make_file("top/dsc00012.jpg");
    make_file("top/MyDsc.gif");
    make_file("top/other.jpg");
    make_file("top/a/dsc_a.jpg");
    make_file("top/a/deep/dsc_deep.jpg");
    make_file("top/a/deep/notes.txt");  // not an image: never listed
    make_file("top/b/DSC_b.bmp");
    make_folder("top/empty");
    std::vector<std::string> order = subfolders(u"\\top");
    ASSERT_EQ(order.size(), 3u);
    std::vector<std::string> expected_matches = {"top\\dsc00012.jpg", "top\\MyDsc.gif"};
    std::vector<std::string> expected_shown;
    for (const std::string& f : order) {
        expected_shown.push_back(f);
        if (f == "a") {
            expected_matches.push_back("a\\dsc_a.jpg");
            expected_matches.push_back("deep\\dsc_deep.jpg");
            expected_shown.push_back("deep");
        } else if (f == "b") {
            expected_matches.push_back("b\\DSC_b.bmp");
        }
    }

    open(u"\\top");
    FindFields fields;
    fields.name = u"DSC";
    fields.subfolders = true;
    criteria(fields);
    std::vector<std::string> matches = {where(find_first(*search))};
    for (int i = 0; i < 4; ++i) matches.push_back(where(find_next(*search, question)));
    EXPECT_EQ(matches, expected_matches);
    EXPECT_TRUE(question.asked.empty());
    EXPECT_FALSE(host->searching);

    // No further match: the question; No ends, and the walk has gone back
    // to the folder it started in.
    EXPECT_EQ(find_next(*search, question), kSearchNotFound);
    EXPECT_EQ(question.asked, std::vector<int>{35064});
    expected_shown.push_back("top");
    EXPECT_EQ(shown(), expected_shown);
    EXPECT_TRUE(search->finished);
    // The folders searched let go of their files.
    EXPECT_EQ(node(u"\\top\\a\\deep")->gettrackmode(), P_TRACK_FOLDERS);
    // After a finished search Find Next is Find again, from the top.
    EXPECT_EQ(where(find_next(*search, question)), "top\\dsc00012.jpg");
}

TEST_F(FindTree, YesToStartAgainSearchesFromTheTop) {
    make_file("top/x_dsc.jpg");
    make_file("top/sub/y_dsc.jpg");
    open(u"\\top");
    FindFields fields;
    fields.name = u"dsc";
    fields.subfolders = true;
    criteria(fields);
    EXPECT_EQ(where(find_first(*search)), "top\\x_dsc.jpg");
    EXPECT_EQ(where(find_next(*search, question)), "sub\\y_dsc.jpg");
    question.answer = platform::kAnswerYes;
    EXPECT_EQ(where(find_next(*search, question)), "top\\x_dsc.jpg");
    EXPECT_EQ(question.asked, std::vector<int>{35064});
}

TEST_F(FindTree, WithoutSubfolderModeTheShownFolderOnly) {
    make_file("top/dsc1.jpg");
    make_file("top/sub/dsc2.jpg");
    open(u"\\top");
    FindFields fields;
    fields.name = u"dsc";
    criteria(fields);
    EXPECT_EQ(where(find_first(*search)), "top\\dsc1.jpg");
    EXPECT_EQ(find_next(*search, question), kSearchNotFound);
    EXPECT_TRUE(shown().empty());
}

TEST_F(FindTree, SelectAllNeverLeavesTheShownFolder) {
    make_file("top/dsc1.jpg");
    make_file("top/plain.jpg");
    make_file("top/MyDSC.gif");
    make_file("top/sub/dsc2.jpg");
    open(u"\\top");
    FindFields fields;
    fields.name = u"dsc";
    fields.select_all = true;
    fields.subfolders = true;
    criteria(fields);
    EXPECT_EQ(search->all_matches(), (std::vector<int>{0, 1}));  // dsc1.jpg, MyDSC.gif
    EXPECT_TRUE(shown().empty());
    EXPECT_TRUE(search->finished);
}

TEST_F(FindTree, SizeInKilobytes) {
    make_file("top/a.jpg", std::string(102400, 'x'));
    make_file("top/b.jpg", std::string(103423, 'x'));
    make_file("top/c.jpg", std::string(102399, 'x'));
    make_file("top/d.jpg", std::string(103424, 'x'));
    open(u"\\top");
    for (int mode : {kSizeGreater, kSizeLess}) {
        FindFields fields;
        fields.size_mode = mode;
        fields.size_text = u"100";
        fields.select_all = true;
        criteria(fields);
        std::vector<std::string> names;
        for (int i : search->all_matches()) names.push_back(text::to_utf8(host->item_name(i)));
        EXPECT_EQ(names, mode == kSizeGreater ? (std::vector<std::string>{"a.jpg", "b.jpg", "d.jpg"})
                                              : (std::vector<std::string>{"a.jpg", "b.jpg", "c.jpg"}));
    }
}

TEST_F(FindTree, MetadataWordsAcrossEntries) {
    auto jpeg = [this](const std::string& name, const std::string& tags) {
        std::string path = (root / "top" / name).string();
        std::filesystem::create_directories(root / "top");
        command_output("convert -size 64x48 xc:gray '" + path + "'");
        if (!tags.empty()) command_output("exiftool -q -overwrite_original " + tags + " '" + path + "'");
    };
    jpeg("1_make_only.jpg", "-Make=Canon");
    jpeg("2_camera.jpg", "-Make=Canon '-Model=Canon EOS D30' -GPSLatitude=48.1 -GPSLatitudeRef=N "
                         "'-XPComment=not a text entry' -ThumbnailImage=");
    jpeg("3_none.jpg", "");
    jpeg("4_description.jpg", "'-ImageDescription=An eos over canon bay'");
    open(u"\\top");
    FindFields fields;
    fields.words = u"canon eos";
    fields.select_all = true;
    criteria(fields);
    std::vector<std::string> names;
    for (int i : search->all_matches()) names.push_back(text::to_utf8(host->item_name(i)));
    EXPECT_EQ(names, (std::vector<std::string>{"2_camera.jpg", "4_description.jpg"}));
}

TEST_F(FindTree, StepsLeaveTheEventLoopInBetweenAndCanBeCancelled) {
    for (int i = 0; i < 10; ++i) make_file("top/f" + std::to_string(i) + ".jpg");
    make_file("top/sub/f_match.jpg");
    open(u"\\top");
    FindFields fields;
    fields.name = u"match";
    fields.subfolders = true;
    criteria(fields);
    search->start(-1);
    EXPECT_TRUE(host->searching);
    EXPECT_EQ(search->run(4), kSearchRunning);
    EXPECT_EQ(search->run(4), kSearchRunning);
    search->cancel();
    EXPECT_FALSE(search->running());
    EXPECT_FALSE(host->searching);
    search->start(-1);
    int steps = 0, result = kSearchRunning;
    while (result == kSearchRunning && steps < 100) result = search->run(3), ++steps;
    EXPECT_EQ(where(result), "sub\\f_match.jpg");
    EXPECT_GT(steps, 3);
}

}  // namespace
}  // namespace qelvio::find
