// Paste, drop and Delete on a scratch device folder, with scripted answers;
// every case checks the names and bytes left on disk.
#include "browser/file_operations.h"
#include "browser/tests/scripted_feedback.h"
#include "storage/tests/device_fixture.h"

#include <filesystem>

namespace qelvio::browser::testing {
namespace {

using Names = std::vector<std::string>;

class FileOperations : public DeviceFixture {
protected:
    void copy_to_clipboard(std::initializer_list<const char16_t*> paths, bool cut) {
        std::vector<p_filenode*> files;
        for (const char16_t* path : paths) {
            files.push_back(node(path));
            ASSERT_NE(files.back(), nullptr);
        }
        ASSERT_TRUE(clipboard.set(files, cut));
    }
    void make_read_only(const std::string& relative) {
        std::filesystem::permissions(root / relative, std::filesystem::perms::owner_write,
                                     std::filesystem::perm_options::remove);
    }

    FileClipboard clipboard;
    ScriptedFeedback feedback;
};

TEST_F(FileOperations, CopyAndPasteIntoTheOwnFolderNamesTheCopies) {
    make_file("d/a.jpg", "abc");
    for (int round = 0; round < 2; ++round) {
        copy_to_clipboard({u"\\d\\a.jpg"}, false);
        EXPECT_EQ(paste_clipboard(clipboard, node(u"\\d"), feedback), P_OK);
        EXPECT_TRUE(clipboard.empty()) << "Paste is disabled after a copy too";
    }
    EXPECT_EQ(listing("d"), (Names{"Copy (2) of a.jpg", "Copy of a.jpg", "a.jpg"}));
    EXPECT_EQ(read("d/Copy of a.jpg"), "abc");
    EXPECT_EQ(read("d/Copy (2) of a.jpg"), "abc");
    EXPECT_TRUE(feedback.messages.empty());
    EXPECT_TRUE(feedback.asked.empty());
}

TEST_F(FileOperations, CutAndPasteIntoTheSameFolderDoesNothing) {
    make_file("d/a.jpg", "abc");
    copy_to_clipboard({u"\\d\\a.jpg"}, true);
    EXPECT_EQ(paste_clipboard(clipboard, node(u"\\d"), feedback), P_OK);
    EXPECT_EQ(listing("d"), (Names{"a.jpg"}));
    EXPECT_EQ(read("d/a.jpg"), "abc");
    EXPECT_TRUE(feedback.messages.empty());
    EXPECT_TRUE(clipboard.empty());
}

TEST_F(FileOperations, CutAndPasteMovesAndShowsProgress) {
    make_file("src/1.jpg", "one");
    make_file("src/2.jpg", "two");
    make_folder("dst");
    copy_to_clipboard({u"\\src\\1.jpg", u"\\src\\2.jpg"}, true);
    EXPECT_EQ(paste_clipboard(clipboard, node(u"\\dst"), feedback), P_OK);
    EXPECT_EQ(listing("src"), Names{});
    EXPECT_EQ(read("dst/1.jpg"), "one");
    EXPECT_EQ(read("dst/2.jpg"), "two");
    EXPECT_EQ(feedback.progress, (Names{"open Copying images... 0-2", "step 0", "step 1", "close"}));
    EXPECT_EQ(feedback.prompts_made, std::vector<bool>{true});
}

TEST_F(FileOperations, NoToAllSkipsTheLaterClashWithoutAsking) {
    for (const char* f : {"src/1.jpg", "src/2.jpg", "src/3.jpg"}) make_file(f, "new");
    make_file("dst/1.jpg", "old1");
    make_file("dst/2.jpg", "old2");
    copy_to_clipboard({u"\\src\\1.jpg", u"\\src\\2.jpg", u"\\src\\3.jpg"}, false);
    feedback.answers = {P_ANSWER_NOTOALL};
    EXPECT_EQ(paste_clipboard(clipboard, node(u"\\dst"), feedback), P_OK);
    EXPECT_EQ(feedback.prompts_made, std::vector<bool>{true}) << "three entries offer the to-all answers";
    EXPECT_EQ(feedback.asked, Names{"file:\\\\\\dst\\1.jpg <- file:\\\\\\src\\1.jpg"});
    EXPECT_EQ(read("dst/1.jpg"), "old1");
    EXPECT_EQ(read("dst/2.jpg"), "old2");
    EXPECT_EQ(read("dst/3.jpg"), "new");
    EXPECT_EQ(listing("src"), (Names{"1.jpg", "2.jpg", "3.jpg"}));
}

TEST_F(FileOperations, CancelStopsTheRestAndKeepsWhatWasCopied) {
    for (const char* f : {"src/1.jpg", "src/2.jpg", "src/3.jpg"}) make_file(f, f);
    make_file("dst/2.jpg", "old2");
    copy_to_clipboard({u"\\src\\1.jpg", u"\\src\\2.jpg", u"\\src\\3.jpg"}, true);
    feedback.answers = {P_ANSWER_CANCEL};
    EXPECT_EQ(paste_clipboard(clipboard, node(u"\\dst"), feedback), P_CANCELLED);
    EXPECT_EQ(listing("dst"), (Names{"1.jpg", "2.jpg"}));
    EXPECT_EQ(read("dst/1.jpg"), "src/1.jpg");
    EXPECT_EQ(read("dst/2.jpg"), "old2");
    EXPECT_EQ(listing("src"), (Names{"2.jpg", "3.jpg"})) << "cancelled and unreached files stay";
    EXPECT_TRUE(feedback.messages.empty()) << "a cancel is not reported";
    EXPECT_TRUE(clipboard.empty());
    EXPECT_EQ(feedback.progress.back(), "close");
}

TEST_F(FileOperations, OneExistingFileAsksWithoutTheToAllAnswers) {
    make_file("src/a.jpg", "new");
    make_file("dst/a.jpg", "old");
    copy_to_clipboard({u"\\src\\a.jpg"}, false);
    feedback.answers = {P_ANSWER_YES};
    EXPECT_EQ(paste_clipboard(clipboard, node(u"\\dst"), feedback), P_OK);
    EXPECT_EQ(feedback.prompts_made, std::vector<bool>{false});
    EXPECT_EQ(read("dst/a.jpg"), "new");
    EXPECT_EQ(listing("dst"), Names{"a.jpg"}) << "no temporary file left behind";
}

TEST_F(FileOperations, EntriesThatAreGoneOrFoldersAreSkipped) {
    make_file("src/gone.jpg", "x");
    make_file("src/vanished.jpg", "x");
    make_file("src/kept.jpg", "kept");
    make_folder("src/sub");
    make_folder("dst");
    copy_to_clipboard({u"\\src\\gone.jpg", u"\\src\\sub", u"\\src\\vanished.jpg", u"\\src\\kept.jpg"}, false);
    // Deleted through the program: the locator no longer opens.
    ASSERT_EQ(node(u"\\src")->deletechild(u"gone.jpg"), P_OK);
    // Deleted behind the program's back: the tree still lists it, and the
    // failed copy says so.
    std::filesystem::remove(root / "src/vanished.jpg");
    EXPECT_EQ(paste_clipboard(clipboard, node(u"\\dst"), feedback), P_OK);
    EXPECT_EQ(listing("dst"), Names{"kept.jpg"});
    EXPECT_EQ(read("dst/kept.jpg"), "kept");
    ASSERT_EQ(feedback.messages.size(), 1u);
    EXPECT_EQ(feedback.messages[0].rfind("The image vanished.jpg can't be copied to dst.\n(", 0), 0u)
        << feedback.messages[0];
}

TEST_F(FileOperations, AFailedCopyIsReportedWithBothNamesAndTheOthersGoOn) {
    make_file("src/r.jpg", "new");
    make_file("src/s.jpg", "s");
    make_file("dst/r.jpg", "keep");
    make_read_only("dst/r.jpg");
    copy_to_clipboard({u"\\src\\r.jpg", u"\\src\\s.jpg"}, false);
    feedback.answers = {P_ANSWER_YES};
    EXPECT_EQ(paste_clipboard(clipboard, node(u"\\dst"), feedback), P_OK);
    EXPECT_EQ(feedback.messages, Names{"The image r.jpg can't be copied to dst.\n(The file is read-only.)"});
    EXPECT_EQ(read("dst/r.jpg"), "keep");
    EXPECT_EQ(read("dst/s.jpg"), "s");
    EXPECT_EQ(listing("dst"), (Names{"r.jpg", "s.jpg"}));
}

TEST_F(FileOperations, DropMovesWithItsOwnProgressTextAndMessages) {
    make_file("src/a.jpg", "a");
    make_file("src/r.jpg", "new");
    make_file("dst/r.jpg", "keep");
    make_read_only("dst/r.jpg");
    feedback.answers = {P_ANSWER_YES};
    EXPECT_EQ(copy_or_move_files(node(u"\\dst"), {node(u"\\src\\a.jpg"), node(u"\\src\\r.jpg")}, true, feedback),
              P_OK);
    EXPECT_EQ(feedback.progress.front(), "open Moving images... 0-2");
    EXPECT_EQ(feedback.messages, Names{"The image r.jpg can't be moved to dst.\n(The file is read-only.)"});
    EXPECT_EQ(listing("src"), Names{"r.jpg"}) << "the source of a failed move stays";
    EXPECT_EQ(read("src/r.jpg"), "new");
    EXPECT_EQ(read("dst/a.jpg"), "a");
    EXPECT_EQ(read("dst/r.jpg"), "keep");
}

TEST_F(FileOperations, DeleteAsksFirstAndReportsAReadOnlyImage) {
    for (const char* f : {"d/1.jpg", "d/2.jpg", "d/3.jpg"}) make_file(f);
    make_read_only("d/2.jpg");
    std::vector<p_filenode*> files{node(u"\\d\\1.jpg"), node(u"\\d\\2.jpg"), node(u"\\d\\3.jpg")};

    feedback.delete_answer = false;
    EXPECT_EQ(delete_files(files, feedback), 0);
    EXPECT_EQ(listing("d"), (Names{"1.jpg", "2.jpg", "3.jpg"}));

    feedback.delete_answer = true;
    EXPECT_EQ(delete_files(files, feedback), 2);
    EXPECT_EQ(feedback.delete_questions, 2);
    EXPECT_EQ(listing("d"), Names{"2.jpg"});
    EXPECT_EQ(feedback.messages, Names{"The image 2.jpg can't be deleted.\n(The file is read-only.)"});
}

TEST_F(FileOperations, DeleteNeverTakesAFolderWithIt) {
    make_file("d/sub/keep.jpg", "k");
    make_file("d/a.jpg");
    EXPECT_EQ(delete_files({node(u"\\d\\sub"), node(u"\\d\\a.jpg")}, feedback), 1);
    EXPECT_EQ(listing("d"), Names{"sub"});
    EXPECT_EQ(read("d/sub/keep.jpg"), "k");
    EXPECT_EQ(feedback.messages, Names{"The image sub can't be deleted.\n(The operation is not supported.)"});
}

}  // namespace
}  // namespace qelvio::browser::testing
