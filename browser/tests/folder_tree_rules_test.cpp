// The folder tree's rules on real folders of a scratch device.
#include "browser/folder_tree_rules.h"

#include "platform/text.h"
#include "platform/user_question.h"
#include "storage/tests/device_fixture.h"

#include <sys/stat.h>

#include <deque>

namespace qelvio::browser {
namespace {

using Fixture = DeviceFixture;

// Answers questions from a script and keeps their texts.
struct ScriptedAsk {
    std::deque<int> answers;
    std::vector<std::u16string> asked;
    AskText fn() {
        return [this](const std::u16string& text, int buttons) {
            EXPECT_EQ(buttons, platform::kButtonsYesNoCancel);
            asked.push_back(text);
            int a = answers.empty() ? platform::kAnswerNo : answers.front();
            if (!answers.empty()) answers.pop_front();
            return a;
        };
    }
};

TEST(FolderTreeFilter, NamesBeginningWithTheThumbnailFolderAreHidden) {
    struct Case {
        std::u16string_view name;
        bool hidden;
    } cases[] = {
        {u"Qelvio Thumbnails", true},  {u"qelvio thumbnails", true}, {u"QELVIO THUMBNAILS old", true},
        {u"Qelvio Thumbnail", false},  {u"My Qelvio Thumbnails", false}, {u"Pictures", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(hidden_from_tree(c.name, u"Qelvio Thumbnails"), c.hidden) << text::to_utf8(c.name);
    EXPECT_EQ(thumbnail_folder_name(), u"Qelvio Thumbnails");
}

TEST_F(Fixture, NewFolderTakesTheFirstFreeNumber) {
    make_folder("a/New Folder");
    make_folder("a/New Folder(1)");
    make_file("a/New Folder(3)");
    p_filenode* a = node(u"\\a");
    ASSERT_NE(a, nullptr);
    p_filenode* created = nullptr;
    ASSERT_GE(create_new_folder(a, u"New Folder", &created), 0);
    ASSERT_NE(created, nullptr);
    EXPECT_EQ(created->getname().utf8(), "New Folder(2)");
    EXPECT_TRUE(std::filesystem::is_directory(root / "a/New Folder(2)"));
    // The next one skips the file named New Folder(3) as well.
    ASSERT_GE(create_new_folder(a, u"New Folder", &created), 0);
    EXPECT_EQ(created->getname().utf8(), "New Folder(4)");
    EXPECT_EQ(listing("a"), (std::vector<std::string>{"New Folder", "New Folder(1)", "New Folder(2)",
                                                      "New Folder(3)", "New Folder(4)"}));
}

TEST_F(Fixture, NewFolderInAFolderRemovedMeanwhileFails) {
    make_folder("gone");
    p_filenode* gone = node(u"\\gone");
    ASSERT_NE(gone, nullptr);
    std::filesystem::remove(root / "gone");
    p_filenode* created = nullptr;
    EXPECT_LT(create_new_folder(gone, u"New Folder", &created), 0);
    EXPECT_EQ(created, nullptr);
    EXPECT_TRUE(listing().empty());
}

TEST_F(Fixture, WalkExpandsEachFolderOnTheWayAndStopsAtAMissingOne) {
    make_folder("a/b/c");
    make_folder("a/other");
    make_folder("a/Qelvio Thumbnails/x");
    int take_ins = 0;
    p_filenode* top = node(u"\\");
    auto walked = walk_path(top, u"\\a\\b\\c", u"Qelvio Thumbnails", [&] { ++take_ins; });
    ASSERT_EQ(walked.size(), 4u);
    EXPECT_EQ(walked[3]->getname().utf8(), "c");
    // Every folder walked through tracks its subfolders; the last is not expanded.
    EXPECT_EQ(walked[1]->gettrackmode(), P_TRACK_FOLDERS);
    EXPECT_EQ(walked[2]->gettrackmode(), P_TRACK_FOLDERS);
    EXPECT_EQ(walked[3]->gettrackmode(), P_TRACK_NONE);
    auto listed = names(walked[1]);
    std::sort(listed.begin(), listed.end());
    EXPECT_EQ(listed, (std::vector<std::string>{"Qelvio Thumbnails", "b", "other"}));
    EXPECT_GT(take_ins, 0);

    EXPECT_EQ(walk_path(top, u"\\a\\missing\\c", u"Qelvio Thumbnails", {}).size(), 2u);
    EXPECT_EQ(walk_path(top, u"\\a\\Qelvio Thumbnails\\x", u"Qelvio Thumbnails", {}).size(), 2u);
    make_file("a/file.jpg");
    EXPECT_EQ(walk_path(top, u"\\a\\file.jpg", u"Qelvio Thumbnails", {}).size(), 2u);
    // Backslashes doubled or trailing change nothing.
    EXPECT_EQ(walk_path(top, u"a\\\\b\\", u"Qelvio Thumbnails", {}).size(), 3u);
}

TEST_F(Fixture, DeleteRemovesEverythingDepthFirst) {
    make_file("doomed/a.jpg", "aaa");
    make_file("doomed/notes.txt", "text");
    make_file("doomed/sub/deeper/b.bmp", "bb");
    make_folder("doomed/sub/empty");
    make_file("keep/c.jpg", "c");
    ScriptedAsk ask;
    ASSERT_EQ(delete_folder_tree(node(u"\\doomed"), ask.fn()), P_OK);
    EXPECT_FALSE(exists("doomed"));
    EXPECT_EQ(read("keep/c.jpg"), "c");
    EXPECT_TRUE(ask.asked.empty());
    EXPECT_EQ(names(node(u"\\")), std::vector<std::string>{"keep"});
}

// A read-only image among others, each answer in a folder of its own.
TEST_F(Fixture, ReadOnlyAnswersDecideWhatStays) {
    struct Case {
        const char* folder;
        int answer;
        int32_t result;
        bool locked_stays;
    } cases[] = {
        {"yes", platform::kAnswerYes, P_OK, false},
        {"no", platform::kAnswerNo, P_READ_ONLY, true},
        {"cancel", platform::kAnswerCancel, P_CANCELLED, true},
    };
    for (const Case& c : cases) {
        std::string f = c.folder;
        make_file(f + "/1.jpg");
        make_file(f + "/2 locked.jpg", "locked");
        make_file(f + "/3.jpg");
        std::filesystem::permissions(root / f / "2 locked.jpg", std::filesystem::perms::owner_read);
        ScriptedAsk ask;
        ask.answers = {c.answer};
        std::u16string path = u"\\" + text::to_utf16(f);
        EXPECT_EQ(delete_folder_tree(node(path.c_str()), ask.fn()), c.result) << f;
        ASSERT_EQ(ask.asked.size(), 1u) << f;
        EXPECT_EQ(text::to_utf8(ask.asked[0]),
                  "The file '2 locked.jpg' is read-only.  Are you sure you want to delete it?");
        if (c.locked_stays)
            EXPECT_EQ(read(f + "/2 locked.jpg"), "locked") << f;
        else
            EXPECT_FALSE(exists(f)) << f;
    }
}

TEST_F(Fixture, NoKeepsTheReadOnlyFileButDeletesItsNeighbours) {
    make_file("f/locked.jpg", "L");
    make_file("f/sub/x.jpg", "x");
    make_file("f/z.jpg", "z");
    std::filesystem::permissions(root / "f/locked.jpg", std::filesystem::perms::owner_read);
    ScriptedAsk ask;
    ask.answers = {platform::kAnswerNo};
    EXPECT_EQ(delete_folder_tree(node(u"\\f"), ask.fn()), P_READ_ONLY);
    EXPECT_EQ(listing("f"), std::vector<std::string>{"locked.jpg"});
    EXPECT_EQ(read("f/locked.jpg"), "L");
}

TEST_F(Fixture, CancelStopsAtOnce) {
    make_file("f/a/locked.jpg", "L");
    make_file("f/a/other.jpg", "o");
    std::filesystem::permissions(root / "f/a/locked.jpg", std::filesystem::perms::owner_read);
    make_file("f/b/untouched.jpg", "u");
    ScriptedAsk ask;
    ask.answers = {platform::kAnswerCancel};
    EXPECT_EQ(delete_folder_tree(node(u"\\f"), ask.fn()), P_CANCELLED);
    EXPECT_EQ(ask.asked.size(), 1u);
    EXPECT_EQ(read("f/a/locked.jpg"), "L");
    // Nothing after the cancelled file was tried: if b came first it is
    // gone, otherwise it is whole; a is never deleted.
    EXPECT_TRUE(exists("f/a"));
    EXPECT_TRUE(!exists("f/b") || read("f/b/untouched.jpg") == "u");
}

TEST_F(Fixture, TheRootIsNeverDeleted) {
    make_file("a.jpg");
    ScriptedAsk ask;
    EXPECT_LT(delete_folder_tree(node(u"\\"), ask.fn()), 0);
    EXPECT_EQ(read("a.jpg"), "x");
}

TEST_F(Fixture, ALinkToAFolderIsDeletedAsALinkNeverThroughIt) {
    make_file("outside/precious.jpg", "P");
    make_folder("doomed");
    std::filesystem::create_directory_symlink(root / "outside", root / "doomed" / "link");
    ScriptedAsk ask;
    EXPECT_EQ(delete_folder_tree(node(u"\\doomed"), ask.fn()), P_OK);
    EXPECT_FALSE(exists("doomed"));
    EXPECT_EQ(read("outside/precious.jpg"), "P");
}

TEST_F(Fixture, FoldersMadeOrRemovedOutsideAreTakenIn) {
    make_folder("a/one");
    make_folder("a/two");
    p_filenode* a = node(u"\\a");
    ASSERT_EQ(expand_folder(a), P_OK);
    EXPECT_EQ(take_in_outside_folders(a), 0);
    make_folder("a/three");
    make_file("a/file.jpg");
    make_folder("a/.hidden");
    std::filesystem::remove(root / "a/one");
    EXPECT_EQ(take_in_outside_folders(a), 2);
    auto n = names(a);
    std::sort(n.begin(), n.end());
    EXPECT_EQ(n, (std::vector<std::string>{"three", "two"}));
    // A folder never expanded is left to its first expansion.
    make_folder("b/x");
    p_filenode* b = node(u"\\b");
    make_folder("b/y");
    EXPECT_EQ(take_in_outside_folders(b), 0);
    EXPECT_TRUE(b->getchildren().empty());
}

}  // namespace
}  // namespace qelvio::browser
