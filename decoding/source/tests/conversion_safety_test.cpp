// Saving never loses the user's file: converting another format to JPEG
// (with the overwrite question when the JPEG's name is taken), faults at
// every write, flush and rename of a conversion, and re-encoding a JPEG
// that is a symbolic link or has its own permission bits.
#include "decoding/source/image_saver.h"
#include "storage/tests/command_output.h"
#include "storage/tests/device_fixture.h"
#include "storage/tests/scripted_prompt.h"

#include <sys/stat.h>

namespace qd = qelvio::decoding;
namespace qi = qelvio::imaging;
namespace fs = qelvio::platform;
namespace sfs = std::filesystem;

namespace {

struct FixedQuestion : fs::UserQuestion {
    explicit FixedQuestion(int a) : answer(a) {}
    int ask_yes_no_cancel(int) override { return answer; }
    int answer;
};

unsigned mode_of(const sfs::path& path) {
    struct stat st {};
    ::stat(path.c_str(), &st);
    return st.st_mode & 07777;
}

class Conversion : public DeviceFixture {
protected:
    std::string local(const std::string& name) const { return (root / name).string(); }
    void convert(const std::string& args, const std::string& name) {
        sfs::create_directories((root / name).parent_path());
        ASSERT_EQ(std::system(("convert " + args + " '" + local(name) + "'").c_str()), 0);
    }
    static p_irl irl(const char16_t* path) {
        p_irl locator;
        locator.set(u"file", u"", path);
        return locator;
    }
    std::vector<std::string> leftovers() const {
        return exists("Windows/Temp") ? listing("Windows/Temp") : std::vector<std::string>{};
    }
    // What a file is: "JPEG WxH" or "BMP WxH" as ImageMagick reads it, or
    // "none".
    std::string kind(const std::string& name) const {
        if (!exists(name)) return "none";
        return command_output("identify -format '%m %wx%h' '" + local(name) + "' 2>/dev/null");
    }
    // Edits the image at path (a new 40 x 30 bitmap) and saves it.
    int save_edited(const char16_t* path, int keep_answer, p_overwriteprompt* prompt) {
        qd::p_ImageSource image(irl(path));
        if (image.set_mode(qd::kModeEditing) != 0) return P_NO_MEMORY;
        auto edited = std::make_unique<qi::Dib>();
        if (!qi::DibCreate(*edited, 40, 30, 24, 0)) return P_NO_MEMORY;
        image.replace_whole_image(std::move(edited));
        FixedQuestion question(keep_answer);
        qd::SaveContext context;
        context.question = &question;
        context.prompt = prompt;
        return qd::save_image(image, context);
    }
};

TEST_F(Conversion, OverwriteAnswersLeaveExactlyTheRightFiles) {
    struct Case {
        const char* what;
        int keep;                   // the answer to "keep the original?"
        bool jpeg_exists;           // conv/pic.jpg is there before
        std::deque<int> answers;    // the overwrite prompt's script; none: no prompt
        bool readonly_jpeg;
        int32_t status;
        std::string bmp_after;      // "same" or "none"
        std::string jpeg_after;     // "same", "new" or "none"
    } cases[] = {
        {"replace, no JPEG yet", fs::kAnswerNo, false, {}, false, P_OK, "none", "new"},
        {"replace, Yes", fs::kAnswerNo, true, {P_ANSWER_YES}, false, P_OK, "none", "new"},
        {"replace, Yes to all", fs::kAnswerNo, true, {P_ANSWER_YESTOALL}, false, P_OK, "none", "new"},
        {"replace, No", fs::kAnswerNo, true, {P_ANSWER_NO}, false, P_CANCELLED, "same", "same"},
        {"replace, No to all", fs::kAnswerNo, true, {P_ANSWER_NOTOALL}, false, P_CANCELLED, "same", "same"},
        {"replace, Cancel", fs::kAnswerNo, true, {P_ANSWER_CANCEL}, false, P_CANCELLED, "same", "same"},
        {"replace, dismissed", fs::kAnswerNo, true, {P_ANSWER_DISMISSED}, false, P_ALREADY_EXISTS, "same", "same"},
        {"replace, nobody to ask", fs::kAnswerNo, true, {}, false, P_ALREADY_EXISTS, "same", "same"},
        {"replace, Yes onto a read-only JPEG", fs::kAnswerNo, true, {P_ANSWER_YES}, true, P_READ_ONLY, "same", "same"},
        {"keep, No", fs::kAnswerYes, true, {P_ANSWER_NO}, false, P_CANCELLED, "same", "same"},
        {"keep, Yes", fs::kAnswerYes, true, {P_ANSWER_YES}, false, P_OK, "same", "new"},
        {"keep, no JPEG yet", fs::kAnswerYes, false, {}, false, P_OK, "same", "new"},
        {"cancel the conversion", fs::kAnswerCancel, true, {P_ANSWER_YES}, false, P_CANCELLED, "same", "same"},
    };
    for (const Case& c : cases) {
        mcp.reset();
        sfs::remove_all(root / "conv");
        mcp = std::make_unique<p_mcp>();
        convert("-size 80x60 xc:orange", "conv/pic.bmp");
        sfs::permissions(root / "conv/pic.bmp", sfs::perms::owner_read | sfs::perms::owner_write);
        if (c.jpeg_exists) convert("-size 16x16 xc:blue -quality 90", "conv/pic.jpg");
        if (c.readonly_jpeg) sfs::permissions(root / "conv/pic.jpg", sfs::perms::owner_read);
        std::string bmp = read("conv/pic.bmp"), jpeg = read("conv/pic.jpg");

        std::unique_ptr<ScriptedPrompt> prompt;
        if (!c.answers.empty()) prompt = std::make_unique<ScriptedPrompt>(c.answers);
        EXPECT_EQ(save_edited(u"\\conv\\pic.bmp", c.keep, prompt.get()), c.status) << c.what;

        if (c.bmp_after == "same") {
            EXPECT_EQ(read("conv/pic.bmp"), bmp) << c.what;
        } else {
            EXPECT_FALSE(exists("conv/pic.bmp")) << c.what;
        }
        if (c.jpeg_after == "same") {
            EXPECT_EQ(read("conv/pic.jpg"), jpeg) << c.what;
        } else {
            EXPECT_EQ(kind("conv/pic.jpg"), "JPEG 40x30") << c.what;
        }
        // The JPEG that takes the original's place takes its permission bits.
        if (c.status == P_OK && c.bmp_after == "none" && !c.jpeg_exists) {
            EXPECT_EQ(mode_of(root / "conv/pic.jpg"), 0600u) << c.what;
        }
        if (prompt && c.keep != fs::kAnswerCancel) {
            EXPECT_EQ(prompt->shown, 1) << c.what;
        }
        std::vector<std::string> names = listing("conv");
        EXPECT_TRUE(std::all_of(names.begin(), names.end(), [](const std::string& n) { return n[0] != '.'; }))
            << c.what;
        EXPECT_EQ(leftovers(), std::vector<std::string>{}) << c.what;
    }
}

TEST_F(Conversion, FileOfAnotherFormatNamedJpgIsReplacedInPlace) {
    ASSERT_EQ(std::system(("convert -size 30x20 xc:green 'BMP3:" + local("odd.jpg") + "'").c_str()), 0);
    ASSERT_EQ(kind("odd.jpg"), "BMP3 30x20");
    EXPECT_EQ(save_edited(u"\\odd.jpg", fs::kAnswerNo, nullptr), P_OK);
    EXPECT_EQ(kind("odd.jpg"), "JPEG 40x30");
    EXPECT_EQ(listing(), (std::vector<std::string>{"Windows", "odd.jpg"}));
    EXPECT_EQ(leftovers(), std::vector<std::string>{});
}

// A fault at each write, flush and rename of a conversion: afterwards the
// original is byte for byte as it was (and the existing JPEG too), or the
// new JPEG is complete and only then is the original gone; no temporary
// file remains.
TEST_F(Conversion, FaultAtEveryStepOfAConversion) {
    std::vector<fs::FaultPlan> plans;
    for (int64_t bytes : {0, 1, 500, 4096, 8000}) plans.push_back({-1, bytes, fs::error_disk_full, -1, -1});
    for (int64_t flushes : {0, 1, 2, 3, 4}) plans.push_back({-1, -1, fs::error_other, flushes, -1});
    for (int64_t renames : {0, 1, 2}) plans.push_back({-1, -1, fs::error_other, -1, renames});
    for (bool jpeg_exists : {false, true}) {
        int failed = 0, saved = 0;
        for (const fs::FaultPlan& plan : plans) {
            std::string what = std::string(jpeg_exists ? "onto a JPEG, " : "") + "write " +
                               std::to_string(plan.fail_write_after) + " flush " +
                               std::to_string(plan.fail_flush_after) + " rename " +
                               std::to_string(plan.fail_rename_after);
            mcp.reset();
            sfs::remove_all(root / "conv");
            mcp = std::make_unique<p_mcp>();
            convert("-size 200x150 plasma:fractal -seed 4", "conv/pic.bmp");
            if (jpeg_exists) convert("-size 16x16 xc:blue -quality 90", "conv/pic.jpg");
            std::string bmp = read("conv/pic.bmp"), jpeg = read("conv/pic.jpg");
            ScriptedPrompt prompt({P_ANSWER_YES});

            qd::p_ImageSource image(irl(u"\\conv\\pic.bmp"));
            ASSERT_EQ(image.set_mode(qd::kModeEditing), 0);
            auto edited = std::make_unique<qi::Dib>();
            ASSERT_TRUE(qi::DibCreate(*edited, 100, 75, 24, 0));
            image.replace_whole_image(std::move(edited));
            FixedQuestion replace(fs::kAnswerNo);
            qd::SaveContext context;
            context.question = &replace;
            context.prompt = &prompt;
            fs::set_fault_plan(plan);
            int status = qd::save_image(image, context);
            fs::clear_fault_plan();

            ++(status == P_OK ? saved : failed);
            if (status == P_OK) {
                EXPECT_EQ(kind("conv/pic.jpg"), "JPEG 100x75") << what;
                EXPECT_FALSE(exists("conv/pic.bmp")) << what;
            } else {
                EXPECT_EQ(read("conv/pic.bmp"), bmp) << what;
                EXPECT_EQ(read("conv/pic.jpg"), jpeg) << what;
            }
            std::vector<std::string> names = listing("conv");
            EXPECT_TRUE(std::all_of(names.begin(), names.end(), [](const std::string& n) { return n[0] != '.'; }))
                << what;
            EXPECT_EQ(leftovers(), std::vector<std::string>{}) << what;
        }
        // The plans reach both ends: early steps fail, the last flushes and
        // renames come after the point of no return.
        EXPECT_GE(failed, 5);
        EXPECT_GE(saved, 2);
    }
}

// Re-encoding an edited JPEG replaces its content and keeps the file: a
// symbolic link stays a link to the new picture; the permission bits stay.
TEST_F(Conversion, ReencodedJpegKeepsLinkAndMode) {
    convert("-size 64x48 xc:teal -quality 90", "real/pic.jpg");
    sfs::create_symlink("real/pic.jpg", root / "link.jpg");
    convert("-size 64x48 xc:teal -quality 90", "private.jpg");
    sfs::permissions(root / "private.jpg", sfs::perms::owner_read | sfs::perms::owner_write);
    for (const char16_t* path : {u"\\link.jpg", u"\\private.jpg"}) {
        EXPECT_EQ(save_edited(path, fs::kAnswerYes, nullptr), P_OK);
    }
    EXPECT_TRUE(sfs::is_symlink(root / "link.jpg"));
    EXPECT_EQ(kind("real/pic.jpg"), "JPEG 40x30");
    EXPECT_EQ(kind("private.jpg"), "JPEG 40x30");
    EXPECT_EQ(mode_of(root / "private.jpg"), 0600u);
    EXPECT_EQ(listing("real"), std::vector<std::string>{"pic.jpg"});
    EXPECT_EQ(leftovers(), std::vector<std::string>{});
}

}  // namespace
