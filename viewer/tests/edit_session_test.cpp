// Editing flows over real image files with scripted answers: what is asked
// and shown, and what is left on disk (checked with identify, cmp and
// jpegtran).
#include "viewer/edit_session.h"
#include "viewer/image_zoom_target.h"

#include "metadata/annotation.h"
#include "metadata/tests/camera_jpeg.h"
#include "platform/file_system.h"
#include "resources/command_ids.h"
#include "resources/command_table.h"
#include "resources/viewer_texts.h"
#include "storage/tests/command_output.h"
#include "storage/tests/device_fixture.h"

#include <deque>
#include <optional>

namespace qd = qelvio::decoding;
namespace qp = qelvio::platform;
namespace r = qelvio::resources;
using namespace qelvio::viewer;

namespace {

struct ScriptedHost : EditorHost {
    int ask(std::u16string_view text, int buttons) override {
        asked.emplace_back(text);
        last_buttons = buttons;
        if (answers.empty()) {
            ADD_FAILURE() << "unexpected question";
            return qp::kAnswerCancel;
        }
        int a = answers.front();
        answers.pop_front();
        return a;
    }
    void tell(std::u16string_view text) override {
        told.emplace_back(text);
        depth_when_told.push_back(depth);
    }
    void busy(bool on) override {
        depth += on ? 1 : -1;
        EXPECT_GE(depth, 0);
        if (on) ++busy_count;
    }
    void fit() override {
        ++fits;
        if (view) view->fit();
    }
    void repaint() override { ++repaints; }
    void editing_layout(bool editing) override { layouts.push_back(editing); }
    bool being_sent(const p_irl&) override { return sending; }
    std::optional<std::u16string> ask_save_path() override { return save_path; }
    void open_saved(const p_irl& locator) override { opened = locator.c_str(); }
    void forget(const p_irl& locator) override { forgotten.emplace_back(locator.c_str()); }
    bool levels_dialog(qd::p_ImageSource&, qelvio::imaging::LevelsParams& p) override {
        p = levels;
        return levels_ok;
    }
    bool resize_dialog(int, int, int& w, int& h) override {
        w = resize_to.width;
        h = resize_to.height;
        return true;
    }
    int transform_dialog(qd::p_ImageSource&) override { return transform_code; }

    std::deque<int> answers;
    std::vector<std::u16string> asked, told, forgotten;
    std::vector<bool> layouts;
    std::vector<int> depth_when_told;
    int last_buttons = 0, depth = 0, busy_count = 0, fits = 0, repaints = 0;
    bool sending = false;
    std::optional<std::u16string> save_path;
    std::u16string opened;
    qelvio::imaging::LevelsParams levels;
    bool levels_ok = true;
    DibSize resize_to{0, 0};
    int transform_code = 0;
    ViewState* view = nullptr;
};

class Editing : public DeviceFixture {
protected:
    void SetUp() override {
        DeviceFixture::SetUp();
        host.view = &view;
        view.set_client(240, 300);
    }
    std::string local(const std::string& name) const { return (root / name).string(); }
    void convert(const std::string& args, const std::string& name) {
        ASSERT_EQ(std::system(("convert " + args + " '" + local(name) + "'").c_str()), 0);
    }
    std::string size_on_disk(const std::string& name) {
        return command_output("identify -format '%wx%h' '" + local(name) + "'");
    }
    // Opens the image for viewing as the viewer does.
    void show(const char16_t* path, qd::ImageSourceLimits limits = {}) {
        p_irl locator;
        locator.set(u"file", u"", path);
        image = std::make_unique<qd::p_ImageSource>(locator, limits);
        ASSERT_EQ(image->set_mode(qd::kModeViewing), 0);
        zoom_target = std::make_unique<ImageZoomTarget>(*image);
        view.set_target(zoom_target.get());
        view.fit();
        session.set_image(image.get());
    }
    int64_t now = 0;
    ScriptedHost host;
    ViewState view{[this] { return now; }};
    EditSession session{host, view, 2};
    std::unique_ptr<qd::p_ImageSource> image;
    std::unique_ptr<ImageZoomTarget> zoom_target;
};

}  // namespace

TEST_F(Editing, StopAfterARotationAsksAndNoLeavesTheFileAsStored) {
    convert("-size 64x48 gradient:red-blue -quality 90", "a.jpg");
    std::string before = read("a.jpg");
    show(u"\\a.jpg");
    session.handle_command(r::kCmdEdit);
    ASSERT_TRUE(session.editing());
    EXPECT_EQ(host.layouts, std::vector<bool>{true});
    session.handle_command(r::kCmdRotate90);
    EXPECT_EQ(image->size().width, 48);
    EXPECT_EQ(view.displayed().height, 64);  // fitted again

    host.answers = {qp::kAnswerCancel, qp::kAnswerNo};
    session.handle_command(r::kCmdStopEditing);
    EXPECT_TRUE(session.editing());  // Cancel: editing goes on
    session.handle_command(r::kCmdStopEditing);
    ASSERT_EQ(host.asked.size(), 2u);
    EXPECT_EQ(host.asked[0], r::kTextSaveChanges);
    EXPECT_EQ(host.last_buttons, qp::kButtonsYesNoCancel);
    EXPECT_FALSE(session.editing());
    EXPECT_EQ(host.layouts, (std::vector<bool>{true, false}));
    EXPECT_EQ(image->mode(), qd::kModeViewing);
    EXPECT_EQ(image->size().width, 64);
    EXPECT_EQ(image->changes(), 0u);
    EXPECT_EQ(read("a.jpg"), before);
    EXPECT_EQ(host.depth, 0);
}

TEST_F(Editing, StopAfterARotationWithYesSavesTheRotatedPicture) {
    convert("-size 64x48 gradient:red-blue -quality 90", "a.jpg");
    show(u"\\a.jpg");
    session.enter();
    session.rotate(90);
    host.answers = {qp::kAnswerYes};
    session.stop();
    EXPECT_FALSE(session.editing());
    EXPECT_EQ(size_on_disk("a.jpg"), "48x64");
    EXPECT_EQ(image->size().width, 48);
    EXPECT_EQ(host.forgotten.size(), 1u);
    EXPECT_EQ(host.depth, 0);
}

TEST_F(Editing, SaveWithoutChangesEndsEditingAndWritesNothing) {
    convert("-size 64x48 gradient:red-blue -quality 90", "a.jpg");
    std::string before = read("a.jpg");
    show(u"\\a.jpg");
    session.enter();
    session.handle_command(r::kCmdSave);
    EXPECT_FALSE(session.editing());
    EXPECT_TRUE(host.asked.empty());
    EXPECT_EQ(host.layouts, (std::vector<bool>{true, false}));
    EXPECT_EQ(read("a.jpg"), before);

    session.enter();
    session.flip(true, false);
    session.save();
    EXPECT_FALSE(session.editing());
    EXPECT_NE(read("a.jpg"), before);
    EXPECT_EQ(size_on_disk("a.jpg"), "64x48");
}

// Every command that works on the pixels shows the busy indicator while it
// runs, and the indicator is gone once it returns.
TEST_F(Editing, PixelWorkRunsUnderTheBusyIndicator) {
    // Every channel varies, so that auto levels has a range to stretch.
    convert("-size 64x48 plasma:fractal -seed 3 -quality 90", "a.jpg");
    show(u"\\a.jpg");
    session.handle_command(r::kCmdEdit);
    ASSERT_TRUE(session.editing());
    host.resize_to = {32, 24};
    for (int id : {r::kCmdLevels, r::kCmdAutoLevels, r::kCmdResize, r::kCmdRotate90, r::kCmdRotate180,
                   r::kCmdRotate270, r::kCmdFlipHorizontal, r::kCmdFlipVertical}) {
        const int shown = host.busy_count;
        session.handle_command(id);
        EXPECT_GT(host.busy_count, shown) << id;
        EXPECT_EQ(host.depth, 0) << id;
        EXPECT_TRUE(host.told.empty()) << id;
    }
    host.answers = {qp::kAnswerYes};
    const int shown = host.busy_count;
    session.handle_command(r::kCmdStopEditing);  // saved, then viewing again
    EXPECT_GE(host.busy_count, shown + 2);
    EXPECT_EQ(host.depth, 0);
    EXPECT_EQ(size_on_disk("a.jpg"), "32x24");  // turned by 540 degrees in all
}

TEST_F(Editing, AFailedSaveKeepsEditingAndSaysWhy) {
    convert("-size 200x150 plasma:fractal -seed 4 -quality 90", "a.jpg");
    std::string before = read("a.jpg");
    show(u"\\a.jpg");
    session.enter();
    session.rotate(180);
    qp::set_fault_plan({-1, 100, qp::error_disk_full});
    session.save();
    qp::clear_fault_plan();
    EXPECT_TRUE(session.editing());
    ASSERT_EQ(host.told.size(), 1u);
    EXPECT_EQ(host.told[0].rfind(u"The image can't be saved.\n(", 0), 0u);
    EXPECT_EQ(host.depth_when_told, std::vector<int>{0});  // the indicator went first
    EXPECT_EQ(read("a.jpg"), before);
    EXPECT_EQ(image->changes() & qd::kChangedBitmap, qd::kChangedBitmap);
    EXPECT_EQ(host.depth, 0);
}

TEST_F(Editing, ReloadOriginalIsEnabledOnlyAfterAChangeAndKeepsTheZoomForTheSameSize) {
    convert("-size 64x48 gradient:red-blue -quality 90", "a.jpg");
    show(u"\\a.jpg");
    session.enter();
    EXPECT_FALSE(session.command_state(r::kCmdReloadOriginal)->enabled);
    session.flip(false, true);
    EXPECT_TRUE(session.command_state(r::kCmdReloadOriginal)->enabled);
    int fits = host.fits;
    host.answers = {qp::kAnswerYes};
    session.handle_command(r::kCmdReloadOriginal);
    EXPECT_EQ(host.asked.back(), r::kTextRevertQuestion);
    EXPECT_EQ(host.last_buttons, qp::kButtonsYesNo);
    EXPECT_EQ(host.fits, fits);  // same size: repainted, not fitted
    EXPECT_FALSE(session.command_state(r::kCmdReloadOriginal)->enabled);
    EXPECT_TRUE(session.editing());

    session.rotate(90);
    host.answers = {qp::kAnswerYes};
    session.reload_original();
    EXPECT_EQ(image->size().width, 64);
    EXPECT_EQ(host.fits, fits + 2);  // the rotation and the size change back
}

TEST_F(Editing, SaveAsLeavesTheOriginalAndOpensTheNewFile) {
    convert("-size 64x48 gradient:red-blue -quality 90", "a.jpg");
    std::string before = read("a.jpg");
    show(u"\\a.jpg");
    session.enter();
    session.rotate(270);
    host.save_path = u"\\b.jpg";
    session.handle_command(r::kCmdSaveAs);
    EXPECT_EQ(read("a.jpg"), before);
    EXPECT_EQ(size_on_disk("b.jpg"), "48x64");
    EXPECT_EQ(command_output("identify -format '%Q' '" + local("b.jpg") + "'"), "90");  // savequality 2
    EXPECT_EQ(host.opened, u"file:\\\\\\b.jpg");
    EXPECT_EQ(host.forgotten, std::vector<std::u16string>{u"file:\\\\\\b.jpg"});
    EXPECT_FALSE(session.editing());
    EXPECT_TRUE(host.asked.empty());

    // Cancel in the file dialog leaves everything as it was.
    show(u"\\a.jpg");
    session.enter();
    session.rotate(90);
    host.save_path.reset();
    session.save_as();
    EXPECT_TRUE(session.editing());
}

TEST_F(Editing, ReadOnlyAndBeingSentImagesAreNotEdited) {
    convert("-size 64x48 xc:gray -quality 90", "a.jpg");
    std::filesystem::permissions(root / "a.jpg", std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::remove);
    show(u"\\a.jpg");
    session.enter();
    EXPECT_FALSE(session.editing());
    session.transform_jpeg();
    EXPECT_EQ(host.told, (std::vector<std::u16string>{r::kTextReadOnlyNoEdit, r::kTextReadOnlyNoTransform}));
    EXPECT_TRUE(host.layouts.empty());

    convert("-size 64x48 xc:gray -quality 90", "b.jpg");
    show(u"\\b.jpg");
    host.sending = true;
    session.enter();
    EXPECT_FALSE(session.editing());
    EXPECT_EQ(host.told.back(), r::kTextBeingSentNoEdit);
}

TEST_F(Editing, ShortMemoryEditsAtReducedResolutionAndSaysSo) {
    convert("-size 64x48 gradient:red-blue -quality 90", "a.jpg");
    qd::ImageSourceLimits limits;
    limits.viewing = limits.editing = 3000;  // 64 x 48 x 3 does not fit; half size does
    show(u"\\a.jpg", limits);
    session.enter();
    ASSERT_TRUE(session.editing());
    ASSERT_EQ(host.told.size(), 1u);
    EXPECT_EQ(host.told[0],
              u"There is not enough memory to edit the image at its original resolution of 64x48, and it has been "
              u"loaded at the lower resolution of 32x24.  If you modify and save the image, it will be saved at "
              u"the lower resolution.");
}

TEST_F(Editing, CropToolCropsToTheDrawnRectangle) {
    convert("-size 64x48 gradient:red-blue -quality 90", "a.jpg");
    show(u"\\a.jpg");
    session.enter();
    ASSERT_EQ(view.zoom(), 1000);
    ASSERT_EQ(view.offset_x(), 88);  // (240 - 64) / 2
    ASSERT_EQ(view.offset_y(), 126);
    session.handle_command(r::kCmdCropTool);
    EXPECT_EQ(view.tool(), kToolCrop);
    EXPECT_TRUE(session.command_state(r::kCmdCropTool)->pressed);
    EXPECT_FALSE(session.command_state(r::kCmdCrop)->enabled);
    view.press(88 + 10, 126 + 5, false);
    view.move(88 + 40, 126 + 25);
    view.release(false);
    ASSERT_TRUE(session.command_state(r::kCmdCrop)->enabled);
    view.press(88 + 20, 126 + 10, false);
    ASSERT_TRUE(view.release(false).crop_requested);
    host.answers = {qp::kAnswerYes};
    session.crop();
    EXPECT_EQ(host.asked.back(), r::kTextCropQuestion);
    EXPECT_EQ(image->size().width, 30);
    EXPECT_EQ(image->size().height, 20);
    EXPECT_EQ(view.tool(), kToolNone);
    EXPECT_FALSE(view.has_selection());

    // No: the selection goes, the picture stays.
    session.handle_command(r::kCmdCropTool);
    view.press(88, 126, false);
    view.move(88 + 10, 126 + 10);
    view.release(false);
    host.answers = {qp::kAnswerNo};
    session.handle_command(r::kCmdCrop);
    EXPECT_EQ(image->size().width, 30);
    EXPECT_FALSE(view.has_selection());

    host.answers = {qp::kAnswerYes};
    session.save();
    EXPECT_EQ(size_on_disk("a.jpg"), "30x20");
}

TEST_F(Editing, LevelsAndResizeApplyWhatTheDialogsReturn) {
    convert("-size 64x48 gradient:gray20-gray80 -quality 95", "a.jpg");
    show(u"\\a.jpg");
    session.enter();
    const qelvio::imaging::Dib* before = image->whole_image();
    session.levels();  // neutral parameters: every tone kept
    EXPECT_EQ(host.told.size(), 0u);
    EXPECT_NE(image->whole_image(), before);

    host.resize_to = {64, 48};  // unchanged size: nothing happens
    before = image->whole_image();
    session.resize();
    EXPECT_EQ(image->whole_image(), before);
    host.resize_to = {100, 75};
    session.resize();
    EXPECT_EQ(image->size().width, 100);
    EXPECT_EQ(image->size().height, 75);
    host.answers = {};
    session.save();
    EXPECT_EQ(size_on_disk("a.jpg"), "100x75");
}

TEST_F(Editing, LosslessTransformOfTheShownImageMatchesJpegtran) {
    struct Case {
        int code;
        const char* option;
    } cases[] = {{1, "-flip horizontal"}, {2, "-flip vertical"}, {5, "-rotate 90"}, {6, "-rotate 180"},
                 {7, "-rotate 270"}};
    // A picture whose sides are no whole number of 16-pixel blocks (trimmed),
    // and a camera file with maker note, GPS, ICC profile and Exif thumbnail.
    convert("-size 100x75 plasma:fractal -seed 7 -sampling-factor 2x2 -quality 85", "src.jpg");
    ASSERT_EQ(std::system(("exiftool -q -overwrite_original -Artist=Tester -Comment=kept '" + local("src.jpg") + "'").c_str()), 0);
    ASSERT_TRUE(camera_jpeg::make_camera_jpeg(local("camera.jpg"), "MM"));
    for (const char* source : {"src.jpg", "camera.jpg"}) {
        for (auto c : cases) {
            std::filesystem::copy_file(root / source, root / "t.jpg", std::filesystem::copy_options::overwrite_existing);
            std::string expected =
                command_output("jpegtran -copy all -trim " + std::string(c.option) + " '" + local(source) + "'");
            ASSERT_FALSE(expected.empty());
            show(u"\\t.jpg");
            EXPECT_TRUE(session.command_state(r::kCmdViewerTransformJpeg)->enabled);
            host.transform_code = c.code;
            host.forgotten.clear();
            session.handle_command(r::kCmdViewerTransformJpeg);
            EXPECT_EQ(read("t.jpg"), expected) << source << " " << c.option;
            EXPECT_EQ(host.forgotten.size(), 1u);
            EXPECT_EQ(image->mode(), qd::kModeViewing);
            EXPECT_TRUE(host.told.empty());
            image.reset();
        }
    }
    // No transformation chosen: the file is not touched.
    std::filesystem::copy_file(root / "src.jpg", root / "t.jpg", std::filesystem::copy_options::overwrite_existing);
    show(u"\\t.jpg");
    host.transform_code = 0;
    session.transform_jpeg();
    EXPECT_EQ(read("t.jpg"), read("src.jpg"));
}

TEST_F(Editing, PropertyChangesAreSavedWithoutAskingWhenTheViewerLetsGo) {
    convert("-size 64x48 xc:orange -quality 90", "a.jpg");
    show(u"\\a.jpg");
    ASSERT_NE(image->tag_list(), nullptr);
    ASSERT_TRUE(qelvio::metadata::apply_annotation_text(*image->tag_list(), qelvio::metadata::kTagArtist, u"Ann"));
    EXPECT_TRUE(session.may_let_go());
    EXPECT_TRUE(host.asked.empty());
    EXPECT_EQ(image->changes(), 0u);
    EXPECT_EQ(command_output("exiftool -s3 -Artist '" + local("a.jpg") + "'"), "Ann\n");
}

TEST_F(Editing, SaveACopyCopiesTheFileAsItIsAndShowsTheCopy) {
    convert("-size 64x48 gradient:red-blue -quality 90", "a.jpg");
    make_folder("Copies");
    make_file("Copies/old.jpg", "old bytes");
    show(u"\\a.jpg");
    EXPECT_TRUE(session.command_state(r::kCmdSaveCopy)->enabled);
    host.save_path = u"\\Copies\\b.jpg";
    session.handle_command(r::kCmdSaveCopy);
    EXPECT_EQ(read("Copies/b.jpg"), read("a.jpg"));
    EXPECT_EQ(host.opened, u"file:\\\\\\Copies\\b.jpg");

    // The save dialog asked before replacing: the copy replaces at once.
    host.save_path = u"\\Copies\\old.jpg";
    session.save_copy();
    EXPECT_EQ(read("Copies/old.jpg"), read("a.jpg"));
    EXPECT_TRUE(host.told.empty());

    // A folder that cannot be opened: nothing happens.
    host.opened.clear();
    host.save_path = u"\\Missing\\c.jpg";
    session.save_copy();
    EXPECT_TRUE(host.opened.empty());
    EXPECT_TRUE(host.told.empty());
    EXPECT_FALSE(exists("Missing"));

    session.enter();
    EXPECT_FALSE(session.command_state(r::kCmdSaveCopy)->enabled);
}
