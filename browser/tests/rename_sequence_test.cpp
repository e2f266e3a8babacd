// Renaming with sequence numbers: the names it makes, and renames on a
// scratch device folder with scripted prompt answers.
#include "browser/rename_sequence.h"
#include "browser/tests/scripted_feedback.h"
#include "storage/tests/device_fixture.h"

namespace qelvio::browser::testing {
namespace {

using Names = std::vector<std::string>;

TEST(SequenceName, Names) {
    struct Case {
        std::u16string_view name;
        int digits;
        int counter;
        std::u16string_view extension;
        bool several;
        std::optional<std::u16string> expected;
    };
    const Case cases[] = {
        {u"Trip", 3, 1, u".JPG", true, u"Trip001.JPG"},
        {u"Trip", 2, 12, u".jpg", true, u"Trip12.jpg"},
        {u"Trip", 1, 123, u".jpg", true, u"Trip123.jpg"},  // more digits than asked
        {u"Trip", 5, 7, u".jpg", true, u"Trip00007.jpg"},
        {u"x", 2, 2, u"", true, u"x02"},
        {u"c", 2, 1, u".jpg", false, u"c.jpg"},            // one image: no number
        {u"100%d %s", 2, 3, u".jpg", true, u"100%d %s03.jpg"},  // a name is never a pattern
        {u"Été", 2, 1, u".jpg", true, u"Été01.jpg"},
        {u"Trip", 0, 1, u".jpg", true, std::nullopt},
        {u"Trip", 6, 1, u".jpg", true, std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(sequence_name(c.name, c.digits, c.counter, c.extension, c.several), c.expected)
            << p_string(std::u16string(c.name).c_str()).utf8() << " " << c.digits;
}

TEST(SequenceName, ExtensionAndStemSplitAtTheLastDot) {
    EXPECT_EQ(name_extension(u"a.b.jpg"), u".jpg");
    EXPECT_EQ(name_stem(u"a.b.jpg"), u"a.b");
    EXPECT_EQ(name_extension(u"README"), u"");
    EXPECT_EQ(name_stem(u"README"), u"README");
}

class Rename : public DeviceFixture {
protected:
    std::vector<p_filenode*> files(std::initializer_list<const char16_t*> paths) {
        std::vector<p_filenode*> out;
        for (const char16_t* path : paths) out.push_back(node(path));
        return out;
    }
    ScriptedFeedback feedback;
};

TEST_F(Rename, NumbersTheImagesInTheOrderGiven) {
    make_file("d/IMG_1.JPG", "one");
    make_file("d/IMG_2.JPG", "two");
    make_file("d/IMG_3.JPG", "three");
    // The list's order (by date, say), not the names' order.
    EXPECT_EQ(rename_files(files({u"\\d\\IMG_2.JPG", u"\\d\\IMG_3.JPG", u"\\d\\IMG_1.JPG"}), u"Trip", 3, feedback), 0);
    EXPECT_EQ(listing("d"), (Names{"Trip001.JPG", "Trip002.JPG", "Trip003.JPG"}));
    EXPECT_EQ(read("d/Trip001.JPG"), "two");
    EXPECT_EQ(read("d/Trip002.JPG"), "three");
    EXPECT_EQ(read("d/Trip003.JPG"), "one");
    EXPECT_EQ(feedback.prompts_made, std::vector<bool>{true});
    EXPECT_TRUE(feedback.messages.empty());
}

TEST_F(Rename, OneImageKeepsItsExtensionAndAFileWithoutOneGetsNone) {
    make_file("d/a.b.jpg", "ab");
    EXPECT_EQ(rename_files(files({u"\\d\\a.b.jpg"}), u"c", 2, feedback), 0);
    EXPECT_EQ(feedback.prompts_made, std::vector<bool>{false});
    make_file("d/noext", "n");
    EXPECT_EQ(rename_files(files({u"\\d\\c.jpg", u"\\d\\noext"}), u"x", 2, feedback), 0);
    EXPECT_EQ(listing("d"), (Names{"x01.jpg", "x02"}));
    EXPECT_EQ(read("d/x01.jpg"), "ab");
    EXPECT_EQ(read("d/x02"), "n");
}

TEST_F(Rename, ClashesAskAndTheCounterGrowsAfterFailures) {
    for (const char* f : {"d/a.jpg", "d/b.jpg", "d/c.jpg", "d/e.jpg"}) make_file(f, f);
    make_file("d/T01.jpg", "other1");
    make_file("d/T02.jpg", "other2");
    make_file("d/T03.jpg", "other3");
    // No keeps a's name; Cancel fails b's rename only; Yes replaces T03.
    feedback.answers = {P_ANSWER_NO, P_ANSWER_CANCEL, P_ANSWER_YES};
    EXPECT_EQ(rename_files(files({u"\\d\\a.jpg", u"\\d\\b.jpg", u"\\d\\c.jpg", u"\\d\\e.jpg"}), u"T", 2, feedback), 1);
    EXPECT_EQ(feedback.asked.size(), 3u);
    EXPECT_EQ(feedback.messages,
              Names{"The image b.jpg can't be renamed to T02.jpg.\n(The operation was cancelled.)"});
    EXPECT_EQ(feedback.repaints, 1);
    EXPECT_EQ(listing("d"), (Names{"T01.jpg", "T02.jpg", "T03.jpg", "T04.jpg", "a.jpg", "b.jpg"}));
    EXPECT_EQ(read("d/T01.jpg"), "other1");
    EXPECT_EQ(read("d/T02.jpg"), "other2");
    EXPECT_EQ(read("d/T03.jpg"), "d/c.jpg");
    EXPECT_EQ(read("d/T04.jpg"), "d/e.jpg");
    EXPECT_EQ(read("d/a.jpg"), "d/a.jpg");
    EXPECT_EQ(read("d/b.jpg"), "d/b.jpg");
}

TEST_F(Rename, FilesOfTheSameRenameAreNeverReplaced) {
    // Numbered again in another order: the names are swapped, nothing asked.
    make_file("d/T01.jpg", "first");
    make_file("d/T02.jpg", "second");
    make_file("d/T03.jpg", "third");
    EXPECT_EQ(rename_files(files({u"\\d\\T02.jpg", u"\\d\\T01.jpg", u"\\d\\T03.jpg"}), u"T", 2, feedback), 0);
    EXPECT_TRUE(feedback.asked.empty());
    EXPECT_EQ(listing("d"), (Names{"T01.jpg", "T02.jpg", "T03.jpg"}));
    EXPECT_EQ(read("d/T01.jpg"), "second");
    EXPECT_EQ(read("d/T02.jpg"), "first");
    EXPECT_EQ(read("d/T03.jpg"), "third");
}

TEST_F(Rename, AFileThatSteppedAsideAndWasKeptFromItsNameStaysVisible) {
    make_file("e/a.jpg", "a");
    make_file("e/T01.jpg", "old1");
    make_file("e/T02.jpg", "other");  // not renamed
    feedback.answers = {P_ANSWER_NO};
    EXPECT_EQ(rename_files(files({u"\\e\\a.jpg", u"\\e\\T01.jpg"}), u"T", 2, feedback), 0);
    EXPECT_EQ(feedback.asked.size(), 1u) << "only the clash with a file outside the rename asks";
    EXPECT_EQ(listing("e"), (Names{"T01 (renaming).jpg", "T01.jpg", "T02.jpg"}));
    EXPECT_EQ(read("e/T01.jpg"), "a");
    EXPECT_EQ(read("e/T01 (renaming).jpg"), "old1");
    EXPECT_EQ(read("e/T02.jpg"), "other");
}

TEST_F(Rename, AFileKeptByTheUserIsNotReplacedByALaterOne) {
    make_file("f/T02.jpg", "keep me");
    make_file("f/T01.jpg", "other");  // not renamed
    make_file("f/x.jpg", "x");
    // T02 -> T01: No. x -> T02 would replace the file just kept: refused.
    feedback.answers = {P_ANSWER_NO, P_ANSWER_YES};
    EXPECT_EQ(rename_files(files({u"\\f\\T02.jpg", u"\\f\\x.jpg"}), u"T", 2, feedback), 1);
    EXPECT_EQ(feedback.asked.size(), 1u);
    EXPECT_EQ(feedback.messages, Names{"The image x.jpg can't be renamed to T02.jpg.\n(The file already exists.)"});
    EXPECT_EQ(listing("f"), (Names{"T01.jpg", "T02.jpg", "x.jpg"}));
    EXPECT_EQ(read("f/T02.jpg"), "keep me");
    EXPECT_EQ(read("f/T01.jpg"), "other");
}

TEST_F(Rename, RefusedNamesLeaveTheFileAsItWas) {
    make_file("d/a.jpg", "a");
    make_file("d/x01.jpg", "x");
    // Its own name again: nothing to do, nothing to ask.
    EXPECT_EQ(rename_files(files({u"\\d\\x01.jpg", u"\\d\\a.jpg"}), u"x", 2, feedback), 0);
    EXPECT_TRUE(feedback.asked.empty());
    EXPECT_EQ(listing("d"), (Names{"x01.jpg", "x02.jpg"}));

    // A path, and an empty name that would hide the file.
    EXPECT_EQ(rename_files(files({u"\\d\\x01.jpg"}), u"sub\\y", 2, feedback), 1);
    EXPECT_EQ(rename_files(files({u"\\d\\x01.jpg"}), u"", 2, feedback), 1);
    EXPECT_EQ(feedback.messages, (Names{"The image x01.jpg can't be renamed to sub\\y.jpg.\n(The filename is invalid.)",
                                        "The image x01.jpg can't be renamed to .jpg.\n(The filename is invalid.)"}));
    EXPECT_EQ(listing("d"), (Names{"x01.jpg", "x02.jpg"}));
    EXPECT_EQ(read("d/x01.jpg"), "x");

    // Digits outside 1 to 5 rename nothing.
    EXPECT_EQ(rename_files(files({u"\\d\\x01.jpg", u"\\d\\x02.jpg"}), u"y", 6, feedback), -1);
    EXPECT_EQ(listing("d"), (Names{"x01.jpg", "x02.jpg"}));
}

}  // namespace
}  // namespace qelvio::browser::testing
