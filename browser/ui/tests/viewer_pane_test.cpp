// The viewer pane in the frame, offscreen: zoom by wheel and tap, the up
// and down keys with their repeat limit, the image read ahead, editing with
// its questions and refusals answered through the message box, the command
// states the menus show, the help topic of each mode, and the image list's
// thumbnail after a lossless transform.
#include "browser/ui/tests/frame_fixture.h"
#include "browser/ui/tests/thumbnail_checks.h"
#include "browser/ui/image_list_pane.h"
#include "browser/ui/viewer_pane.h"
#include "decoding/source/image_saver.h"
#include "decoding/source/image_source.h"
#include "platform/tests/scratch_dir.h"
#include "platform/ui/tests/widget_checks.h"
#include "resources/command_ids.h"
#include "shell/help.h"
#include "viewer/ui/jpeg_transform_dialog.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QTest>
#include <QTimer>
#include <QWheelEvent>

#include <thread>

namespace qelvio::browser::testing {
namespace {

void wheel(QWidget* w, int delta) {
    QPointF at(w->width() / 2.0, w->height() / 2.0);
    QWheelEvent event(at, w->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(w, &event);
}

// Answers the next message box with a button and keeps its text.
void answer_next_box(QMessageBox::StandardButton button, QString* text) {
    QTimer::singleShot(0, [button, text] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            *text = box->text();
            box->button(button)->click();
        }
    });
}

QByteArray file_bytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void run(const std::string& command) { ASSERT_EQ(std::system(command.c_str()), 0) << command; }

std::string quoted(const QString& path) { return "'" + path.toStdString() + "'"; }

// Chooses a button of the next JPEG Transform dialog and confirms it.
void choose_next_transform(int button) {
    QTimer::singleShot(0, [button] {
        auto* dialog = qobject_cast<viewer::JpegTransformDialog*>(QApplication::activeModalWidget());
        if (!dialog) return;
        QTest::mouseClick(dialog->button(button), Qt::LeftButton, {}, QPoint(12, 12));
        dialog->accept();
    });
}

// Records the help targets asked for; installed for one test.
struct RecordingHelp : shell::HelpViewer {
    RecordingHelp() { shell::set_help_viewer(this); }
    ~RecordingHelp() override { shell::set_help_viewer(nullptr); }
    void show_help_target(std::u16string_view target) override { targets.emplace_back(target); }
    std::vector<std::u16string> targets;
};

}  // namespace

TEST_F(FrameFixture, WheelAndTapZoomTheShownImage) {
    create_frame();
    ASSERT_TRUE(frame->view_index(0));
    ViewerPane* viewer = frame->viewer();
    EXPECT_EQ(viewer->view().zoom(), 1000);  // 96 x 64 is not enlarged
    wheel(viewer, 120);
    EXPECT_EQ(viewer->view().zoom(), 1500);
    EXPECT_EQ(viewer->image()->zoom(), 1500);
    wheel(viewer, -120);
    EXPECT_EQ(viewer->view().zoom(), 1000);
    wheel(viewer, -120);  // 666, smaller than the pane: fitted again
    EXPECT_EQ(viewer->view().zoom(), 1000);
    QTest::mouseClick(viewer, Qt::LeftButton, {}, QPoint(viewer->width() / 2, viewer->height() / 2));
    EXPECT_EQ(viewer->view().zoom(), 1500);
    QImage shot = viewer->grab().toImage();
    // 144 x 96 of red around the centre, white beyond.
    QPoint centre(shot.width() / 2, shot.height() / 2);
    EXPECT_GT(shot.pixelColor(centre + QPoint(65, 0)).red(), 150);
    EXPECT_EQ(shot.pixelColor(centre + QPoint(80, 0)), QColor(Qt::white));
}

// Plus (or "=", plus without Shift) and minus zoom as the wheel does.
TEST_F(FrameFixture, PlusAndMinusKeysZoomLikeTheWheel) {
    create_frame();
    ASSERT_TRUE(frame->view_index(0));
    ViewerPane* viewer = frame->viewer();
    for (auto [key, zoom] : {std::pair{Qt::Key_Plus, 1500}, std::pair{Qt::Key_Equal, 2250},
                             std::pair{Qt::Key_Minus, 1500}, std::pair{Qt::Key_Minus, 1000}}) {
        QTest::keyClick(viewer, key);
        EXPECT_EQ(viewer->view().zoom(), zoom) << QKeySequence(key).toString().toStdString();
    }
}

TEST_F(FrameFixture, DownKeyStepsOnceWithin250msAndReadsAhead) {
    create_frame();
    ASSERT_TRUE(frame->view_index(0));
    ViewerPane* viewer = frame->viewer();
    QCoreApplication::processEvents();
    ASSERT_NE(viewer->prefetched(), nullptr);
    p_string name;
    viewer->prefetched()->locator().getfile(&name);
    EXPECT_EQ(name.utf8(), "b.bmp");
    // Decoded on the image's worker, kept once its message has come.
    decoding::p_ImageSource* ahead = viewer->prefetched();
    for (int i = 0; i < 500 && !ahead->whole_image(); ++i) QTest::qWait(10);
    const imaging::Dib* bitmap = ahead->whole_image();
    ASSERT_NE(bitmap, nullptr);
    EXPECT_FALSE(ahead->decode_running());

    QTest::keyClick(viewer, Qt::Key_Down);
    QTest::keyClick(viewer, Qt::Key_Down);
    EXPECT_EQ(frame->shown_index(), 1);
    EXPECT_EQ(viewer->image(), ahead);  // taken over, not decoded again
    EXPECT_EQ(ahead->whole_image(), bitmap);
    std::this_thread::sleep_for(std::chrono::milliseconds(260));
    QTest::keyClick(viewer, Qt::Key_Down);
    EXPECT_EQ(frame->shown_index(), 2);
    auto ahead_name = [&] {
        QCoreApplication::processEvents();
        p_string ahead_file;
        if (viewer->prefetched()) viewer->prefetched()->locator().getfile(&ahead_file);
        return ahead_file.utf8();
    };
    EXPECT_EQ(ahead_name(), "a.jpg");  // the read-ahead always wraps
    std::this_thread::sleep_for(std::chrono::milliseconds(260));
    QTest::keyClick(viewer, Qt::Key_Down);  // the last image: no wrap outside a slide show
    EXPECT_EQ(frame->shown_index(), 2);
    std::this_thread::sleep_for(std::chrono::milliseconds(260));
    QTest::keyClick(viewer, Qt::Key_Up);
    EXPECT_EQ(frame->shown_index(), 1);
    EXPECT_EQ(ahead_name(), "a.jpg");  // travelling up: the one above
}

TEST_F(FrameFixture, AReadAheadThatFailsIsNotUsed) {
    // The next image's header reads but its second scan is damaged, so only
    // its decode on the worker finds out.
    QDir d(dir.path());
    QFile::remove(d.filePath("b.bmp"));
    const std::string progressive = d.filePath("b.jpg").toStdString();
    ASSERT_EQ(std::system(("convert -size 400x300 xc:green -attenuate 0.2 +noise Uniform -interlace JPEG '" +
                           progressive + "'").c_str()), 0);
    QFile file(d.filePath("b.jpg"));
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    QByteArray bytes = file.readAll();
    const qsizetype second = bytes.indexOf("\xFF\xDA", bytes.indexOf("\xFF\xDA") + 2);
    ASSERT_GT(second, 0);
    bytes[second + 5 + 2 * static_cast<uint8_t>(bytes[second + 4])] = 70;  // spectral start past 63
    ASSERT_TRUE(file.seek(0));
    ASSERT_EQ(file.write(bytes), bytes.size());
    file.close();

    create_frame();
    ASSERT_TRUE(frame->view_index(0));
    ViewerPane* viewer = frame->viewer();
    QCoreApplication::processEvents();
    decoding::p_ImageSource* ahead = viewer->prefetched();
    ASSERT_NE(ahead, nullptr);
    for (int i = 0; i < 500 && viewer->prefetched(); ++i) QTest::qWait(10);
    EXPECT_EQ(viewer->prefetched(), nullptr);
    EXPECT_EQ(ahead->whole_image(), nullptr);
    EXPECT_FALSE(ahead->decode_running());
    EXPECT_EQ(frame->shown_index(), 0);
}

TEST_F(FrameFixture, StopEditingAfterARotationAsksAndNoKeepsTheFile) {
    create_frame();
    QString path = QDir(dir.path()).filePath("a.jpg");
    QByteArray before = file_bytes(path);
    ASSERT_TRUE(frame->view_index(0));
    ViewerPane* viewer = frame->viewer();
    frame->make_active(kPaneViewer);
    ASSERT_TRUE(frame->logic().dispatch(resources::kCmdEdit));
    EXPECT_TRUE(viewer->editing().editing());
    EXPECT_TRUE(frame->logic().state(resources::kCmdEdit).pressed);
    EXPECT_FALSE(frame->logic().state(resources::kCmdReloadOriginal).enabled);
    std::vector<int> buttons = visible_buttons();
    EXPECT_NE(std::find(buttons.begin(), buttons.end(), 32865), buttons.end());
    frame->logic().dispatch(resources::kCmdRotate90);
    EXPECT_EQ(viewer->image()->size().width, 64);
    EXPECT_TRUE(frame->logic().state(resources::kCmdReloadOriginal).enabled);

    QString asked;
    answer_next_box(QMessageBox::No, &asked);
    frame->logic().dispatch(resources::kCmdStopEditing);
    EXPECT_EQ(asked, "Do you want to save the changes you made?");
    EXPECT_FALSE(viewer->editing().editing());
    EXPECT_EQ(viewer->image()->size().width, 96);
    EXPECT_EQ(file_bytes(path), before);
    buttons = visible_buttons();
    EXPECT_NE(std::find(buttons.begin(), buttons.end(), 32841), buttons.end());

    // Edited again, then Esc (Stop editing) with Yes: the turned picture is stored.
    frame->logic().dispatch(resources::kCmdEdit);
    frame->logic().dispatch(resources::kCmdRotate90);
    answer_next_box(QMessageBox::Yes, &asked);
    frame->logic().dispatch(resources::kCmdStopEditing);
    QImage stored(path);
    EXPECT_EQ(stored.size(), QSize(64, 96));
}

// Closes the next modal dialog and keeps its title.
void close_next_dialog(QString* title) {
    QTimer::singleShot(0, [title] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            *title = modal->windowTitle();
            modal->close();
        }
    });
}

TEST_F(FrameFixture, EditingKeysOpenTheirDialogsOneAfterAnother) {
    create_frame();
    ASSERT_TRUE(frame->view_index(0));
    frame->make_active(kPaneViewer);
    QApplication::setActiveWindow(frame.get());
    frame->logic().dispatch(resources::kCmdEdit);
    QString title;
    close_next_dialog(&title);
    QTest::keyClick(frame.get(), Qt::Key_L, Qt::ControlModifier);
    EXPECT_EQ(title, "Levels");
    // The frame takes the keys again once the dialog is gone.
    QCoreApplication::processEvents();
    title.clear();
    close_next_dialog(&title);
    QTest::keyClick(frame.get(), Qt::Key_I, Qt::ControlModifier);
    EXPECT_EQ(title, "Resize");
    EXPECT_TRUE(frame->viewer()->editing().editing());
    EXPECT_EQ(frame->viewer()->image()->size().width, 96);  // cancelled: unchanged
}

TEST_F(FrameFixture, JpegTransformFromTheViewerTurnsTheFileAndShowsIt) {
    create_frame();
    QString path = QDir(dir.path()).filePath("a.jpg");
    ASSERT_TRUE(frame->view_index(0));
    frame->make_active(kPaneViewer);
    EXPECT_TRUE(frame->logic().state(resources::kCmdViewerTransformJpeg).enabled);
    // Turn by 90 degrees (the third button) and confirm.
    QTimer::singleShot(0, [] {
        auto* dialog = qobject_cast<viewer::JpegTransformDialog*>(QApplication::activeModalWidget());
        if (!dialog) return;
        QTest::mouseClick(dialog->button(2), Qt::LeftButton, {}, QPoint(12, 12));
        dialog->accept();
    });
    frame->logic().dispatch(resources::kCmdViewerTransformJpeg);
    EXPECT_EQ(QImage(path).size(), QSize(64, 96));
    ASSERT_NE(frame->viewer()->image(), nullptr);
    EXPECT_EQ(frame->viewer()->image()->size().width, 64);
    EXPECT_EQ(frame->viewer()->image()->mode(), decoding::kModeViewing);

    // The BMP is no JPEG: the command is disabled.
    ASSERT_TRUE(frame->view_index(1));
    EXPECT_FALSE(frame->logic().state(resources::kCmdViewerTransformJpeg).enabled);
}

TEST_F(FrameFixture, ZoomedLargeImageIsDrawnFromTilesAsTheyArrive) {
    // 4000 x 3000 of fine detail: decoded whole at a reduced scale, so full
    // size comes tile by tile from the image object's worker.
    QString path = QDir(dir.path()).filePath("big.jpg");
    QString tile = QDir(dir.path()).filePath("tile.png");
    ASSERT_EQ(std::system(("convert -size 10x10 xc:white -fill black -draw 'rectangle 0,0 4,4' -draw 'rectangle 5,5 9,9' '" +
                           tile.toStdString() + "'").c_str()), 0);
    ASSERT_EQ(std::system(("convert -size 4000x3000 'tile:" + tile.toStdString() + "' -quality 90 '" + path.toStdString() + "'").c_str()), 0);
    QFile::remove(tile);
    create_frame();
    int index = -1;
    for (int i = 0; i < frame->image_count(); ++i) {
        p_string name;
        frame->image_locator(i).getfile(&name);
        if (name.utf8() == "big.jpg") index = i;
    }
    ASSERT_GE(index, 0);
    ASSERT_TRUE(frame->view_index(index));
    ViewerPane* viewer = frame->viewer();
    ASSERT_LT(viewer->image()->whole_image_scale(), 1000);
    frame->make_active(kPaneViewer);
    frame->logic().dispatch(resources::kCmdZoomFull);
    EXPECT_EQ(viewer->view().zoom(), 1000);
    // Two pixels 5 apart on the checkerboard of 5-pixel squares are far
    // apart in tone at full size, and two 10 apart alike.
    auto contrast = [](const QImage& shot, int distance) {
        QPoint c(shot.width() / 2, shot.height() / 2);
        int sum = 0;
        for (int x = 0; x < 64; ++x)
            sum += std::abs(qGray(shot.pixel(c + QPoint(x, 0))) - qGray(shot.pixel(c + QPoint(x + distance, 0))));
        return sum;
    };
    // The first full drawing shows the reduced picture and queues the tiles.
    QImage reduced = viewer->grab().toImage();
    EXPECT_TRUE(viewer->image()->tiled());
    // Each completion message finishes a tile and starts the next.
    const decoding::TileGrid* grid = viewer->image()->tile_grid();
    ASSERT_NE(grid, nullptr);
    for (int i = 0; i < 1000 && (grid->queued() > 0 || viewer->image()->decode_running()); ++i) QTest::qWait(10);
    QTest::qWait(50);  // the last message
    EXPECT_EQ(grid->queued(), 0u);
    EXPECT_FALSE(viewer->image()->decode_running());
    QImage shot = viewer->grab().toImage();
    EXPECT_NE(shot, reduced);
    EXPECT_GT(contrast(reduced, 10), 64 * 30);  // the reduced picture does not repeat every 10 pixels
    EXPECT_GT(contrast(shot, 5), 64 * 200);
    EXPECT_LT(contrast(shot, 10), 64 * 30);  // the same square colour again
}

TEST_F(FrameFixture, ReturningToTheBrowserWhileEditingAsksFirst) {
    create_frame();
    QString path = QDir(dir.path()).filePath("a.jpg");
    QByteArray before = file_bytes(path);
    ASSERT_TRUE(frame->view_index(0));
    frame->make_active(kPaneViewer);
    frame->logic().dispatch(resources::kCmdEdit);
    frame->logic().dispatch(resources::kCmdFlipVertical);
    QString asked;
    answer_next_box(QMessageBox::Cancel, &asked);
    frame->logic().dispatch(resources::kCmdReturnToBrowser);
    EXPECT_EQ(asked, "Do you want to save the changes you made?");
    EXPECT_EQ(frame->logic().mode(), FrameMode::viewer);
    EXPECT_TRUE(frame->viewer()->editing().editing());

    answer_next_box(QMessageBox::No, &asked);
    frame->logic().dispatch(resources::kCmdReturnToBrowser);
    EXPECT_EQ(frame->logic().mode(), FrameMode::browser);
    EXPECT_EQ(frame->viewer()->image(), nullptr);
    EXPECT_EQ(file_bytes(path), before);
    // The browser's layout is back, without the editor's menu.
    EXPECT_EQ(shown_menus(), (std::vector<int>{0, 1, 2, 4}));
}

TEST_F(FrameFixture, HelpShowsTheViewersOrTheEditorsTopic) {
    RecordingHelp help;
    create_frame();
    QApplication::setActiveWindow(frame.get());
    auto press_help = [&] {
        help.targets.clear();
        QTest::keyClick(frame.get(), Qt::Key_F1);
        return help.targets.size() == 1 ? help.targets.front() : u"<none or several>";
    };
    EXPECT_EQ(press_help(), shell::help_target(u"Main_Contents"));
    ASSERT_TRUE(frame->view_index(0));
    frame->make_active(kPaneViewer);
    EXPECT_EQ(press_help(), shell::help_target(u"viewer"));
    frame->logic().dispatch(resources::kCmdEdit);
    ASSERT_TRUE(frame->viewer()->editing().editing());
    EXPECT_EQ(press_help(), shell::help_target(u"image_editor"));
    frame->logic().dispatch(resources::kCmdStopEditing);
    EXPECT_EQ(press_help(), shell::help_target(u"viewer"));
    frame->logic().dispatch(resources::kCmdReturnToBrowser);
    EXPECT_EQ(press_help(), shell::help_target(u"Main_Contents"));
}

TEST_F(FrameFixture, ReadOnlyOrBeingSentImageIsRefusedWithItsMessage) {
    create_frame();
    const QString a = QDir(dir.path()).filePath("a.jpg");
    const QByteArray before = file_bytes(a);
    run("chmod a-w " + quoted(a));
    ASSERT_TRUE(frame->view_index(0));
    ViewerPane* viewer = frame->viewer();
    frame->make_active(kPaneViewer);
    QString told;
    answer_next_box(QMessageBox::Ok, &told);
    frame->logic().dispatch(resources::kCmdEdit);
    EXPECT_EQ(told, "The image is read-only; it can't be edited.");
    EXPECT_FALSE(viewer->editing().editing());
    told.clear();
    answer_next_box(QMessageBox::Ok, &told);
    frame->logic().dispatch(resources::kCmdViewerTransformJpeg);  // no dialog: refused first
    EXPECT_EQ(told, "The image is read-only; it can't be transformed.");
    EXPECT_EQ(file_bytes(a), before);
    std::vector<int> buttons = visible_buttons();
    EXPECT_NE(std::find(buttons.begin(), buttons.end(), 32841), buttons.end());  // still the viewing layout
    EXPECT_EQ(std::find(buttons.begin(), buttons.end(), 32865), buttons.end());
    run("chmod u+w " + quoted(a));

    viewer->is_being_sent = [](const p_irl& locator) {
        p_string name;
        locator.getfile(&name);
        return name.utf8() == "c.jpg";
    };
    ASSERT_TRUE(frame->view_index(2));
    told.clear();
    answer_next_box(QMessageBox::Ok, &told);
    frame->logic().dispatch(resources::kCmdEdit);
    EXPECT_EQ(told, "The image is being sent via infrared; it cannot be edited until its transfer is complete.");
    EXPECT_FALSE(viewer->editing().editing());
    ASSERT_TRUE(frame->view_index(1));  // not being sent: edited
    frame->logic().dispatch(resources::kCmdEdit);
    EXPECT_TRUE(viewer->editing().editing());
}

// What the viewer's and the editor's menus show for each command, read
// from the menu items as they are when a menu opens, and the pressed state
// of the command-bar buttons.
TEST_F(FrameFixture, ViewerAndEditorCommandStates) {
    create_frame();
    ASSERT_TRUE(frame->view_index(0));
    ViewerPane* viewer = frame->viewer();
    frame->make_active(kPaneViewer);
    struct Shown {
        bool enabled;
        bool checked;
        bool operator==(const Shown&) const = default;
    };
    auto item = [&](int id) {
        for (int i = 0; i < 7; ++i) emit frame->top_menu(i)->aboutToShow();
        std::vector<QAction*> actions = frame->menu_actions(id);
        return actions.empty() ? Shown{false, true} : Shown{actions.front()->isEnabled(), actions.front()->isChecked()};
    };
    struct Case {
        int id;
        Shown shown;
    };
    auto check = [&](const char* when, std::initializer_list<Case> cases) {
        for (const Case& c : cases) {
            Shown got = item(c.id);
            EXPECT_TRUE(got == c.shown) << when << ": " << c.id << " enabled " << got.enabled << " checked "
                                        << got.checked;
        }
    };
    const Shown on{true, false}, off{false, false}, marked{true, true};
    // Viewing a JPEG without audio, three images in the list.
    check("viewing", {{32810, on}, {32917, on}, {32841, on}, {32853, on}, {32893, on}, {32847, off}, {32881, on},
                      {32860, on}, {32905, on}, {32771, on}, {32909, on}});
    EXPECT_FALSE(frame->logic().state(32841).pressed);
    EXPECT_FALSE(frame->logic().state(32797).enabled);
    frame->logic().dispatch(32867);
    EXPECT_TRUE(frame->logic().state(32867).pressed);
    frame->logic().dispatch(32867);
    EXPECT_FALSE(frame->logic().state(32867).pressed);
    frame->logic().dispatch(32909);
    ASSERT_TRUE(viewer->slideshow_running());
    check("slide show", {{32909, marked}});
    EXPECT_TRUE(frame->logic().state(32797).enabled);
    frame->logic().dispatch(32797);
    EXPECT_FALSE(viewer->slideshow_running());
    check("slide show stopped", {{32909, on}});

    EXPECT_EQ(shown_menus(), (std::vector<int>{0, 3, 6}));  // File, the viewer's Image and View
    frame->logic().dispatch(32841);
    ASSERT_TRUE(viewer->editing().editing());
    EXPECT_EQ(shown_menus(), (std::vector<int>{0, 5}));  // File and the editor's Edit
    EXPECT_TRUE(frame->logic().state(32841).pressed);
    check("editing", {{32839, on}, {32848, on}, {32840, on}, {32836, on}, {32837, on}, {32838, on}, {32911, on},
                      {32912, on}, {32835, off}, {32915, on}, {32914, on}, {32846, off}, {32865, on},
                      {32853, off}, {32917, off}});
    EXPECT_FALSE(frame->logic().state(32845).pressed);
    frame->logic().dispatch(32838);
    check("after a rotation", {{32846, on}});
    // The crop tool: pressed, then a rectangle drawn over the image enables
    // Crop to Selection.
    frame->logic().dispatch(32845);
    EXPECT_TRUE(frame->logic().state(32845).pressed);
    check("crop tool", {{32835, off}});
    const QPoint c(viewer->width() / 2, viewer->height() / 2);
    auto send = [&](QEvent::Type type, QPoint at, Qt::MouseButtons held) {
        QMouseEvent e(type, at, viewer->mapToGlobal(at), Qt::LeftButton, held, Qt::NoModifier);
        QApplication::sendEvent(viewer, &e);
    };
    send(QEvent::MouseButtonPress, c - QPoint(20, 20), Qt::LeftButton);
    send(QEvent::MouseMove, c + QPoint(10, 10), Qt::LeftButton);
    send(QEvent::MouseButtonRelease, c + QPoint(10, 10), Qt::NoButton);
    ASSERT_TRUE(viewer->view().has_selection());
    check("crop selection", {{32835, on}});

    // A BMP: no lossless transform.
    QString asked;
    answer_next_box(QMessageBox::No, &asked);
    frame->logic().dispatch(32865);
    ASSERT_FALSE(viewer->editing().editing());
    EXPECT_EQ(shown_menus(), (std::vector<int>{0, 3, 6}));
    ASSERT_TRUE(frame->view_index(1));
    check("viewing a BMP", {{32853, off}, {32917, on}});
}

// After a quarter turn from the viewer the image list shows the turned
// picture's thumbnail, and the thumbnail cache stores that one: a cache
// made afresh over the same folder (the next run) hands it out.
TEST_F(FrameFixture, ListThumbnailFollowsALosslessTransformFromTheViewer) {
    const QString a = QDir(dir.path()).filePath("a.jpg");
    // Red on the left, blue on the right, so a turn shows in the thumbnail.
    run("convert -size 48x64 xc:red -size 48x64 xc:blue +append -quality 90 " + quoted(a));
    const QString expected = QDir(cache_dir.path()).filePath("expected.jpg");
    run("jpegtran -copy all -trim -rotate 90 -outfile " + quoted(expected) + " " + quoted(a));
    create_frame();
    decoding::p_ImageSource* item = frame->image_list()->model().items()[0].image;
    ASSERT_TRUE(wait_for_thumbnail(item));
    EXPECT_FALSE(upright(*item->thumbnail_bitmap()));

    ASSERT_TRUE(frame->view_index(0));
    frame->make_active(kPaneViewer);
    choose_next_transform(2);  // 90 degrees clockwise
    frame->logic().dispatch(resources::kCmdViewerTransformJpeg);
    EXPECT_EQ(file_bytes(a), file_bytes(expected));
    frame->logic().dispatch(resources::kCmdReturnToBrowser);
    ASSERT_EQ(frame->logic().mode(), FrameMode::browser);
    ASSERT_EQ(frame->image_list()->model().items()[0].image, item);
    ASSERT_TRUE(wait_for_thumbnail(item));
    imaging::DibPtr reference = fresh_thumbnail(expected);
    ASSERT_NE(reference, nullptr);
    EXPECT_TRUE(upright(*reference));
    EXPECT_TRUE(same_pixels(*item->thumbnail_bitmap(), *reference));

    // The next run: the stored thumbnail is the turned one.
    frame.reset();
    ASSERT_EQ(cache->save(true, false), 0);
    cache.reset();
    thumbnails::p_thumbcache next(*platform::to_device_path(QDir(cache_dir.path()).filePath("thumbs").toStdString()));
    decoding::p_ImageSource* again = next.getimage(irl_of(a));
    ASSERT_EQ(again->thumbnail(), 0);
    EXPECT_TRUE(again->thumbnail_from_store());
    ASSERT_NE(again->thumbnail_bitmap(), nullptr);
    const double difference = mean_difference(*again->thumbnail_bitmap(), *reference);
    EXPECT_GE(difference, 0.0);  // same size
    EXPECT_LT(difference, 8.0);  // the same picture, through one more JPEG round
}

// Full screen: the four overlay buttons in their corners, hidden while the
// stylus is down, and what each does. Resting the stylus 300 ms shows the
// marker and turns a drag into a zoom rectangle.
TEST_F(FrameFixture, OverlayButtonsAndTheRestMarker) {
    create_frame();
    ASSERT_TRUE(frame->view_index(0));
    ViewerPane* viewer = frame->viewer();
    frame->make_active(kPaneViewer);
    frame->logic().dispatch(resources::kCmdFullScreen);
    ASSERT_TRUE(frame->logic().full_screen());
    QCoreApplication::processEvents();
    auto overlay = [&](const char* name) { return viewer->findChild<QWidget*>(name); };
    const int w = viewer->width(), h = viewer->height();
    struct Place {
        const char* name;
        QPoint at;
    } places[] = {{"leave_full_screen", {0, 0}},
                  {"overlay_zoom_in", {w - 16, 0}},
                  {"overlay_zoom_out", {w - 32, 0}},
                  {"overlay_browser", {0, h - 16}}};
    for (const Place& p : places) {
        ASSERT_NE(overlay(p.name), nullptr) << p.name;
        EXPECT_TRUE(overlay(p.name)->isVisible()) << p.name;
        EXPECT_EQ(overlay(p.name)->geometry(), QRect(p.at, QSize(16, 16))) << p.name;
    }
    auto send = [&](QEvent::Type type, QPoint at, Qt::MouseButtons held) {
        QMouseEvent e(type, at, viewer->mapToGlobal(at), Qt::LeftButton, held, Qt::NoModifier);
        QApplication::sendEvent(viewer, &e);
    };
    const QPoint c(w / 2, h / 2);
    send(QEvent::MouseButtonPress, c, Qt::LeftButton);
    EXPECT_FALSE(overlay("overlay_zoom_in")->isVisible());
    QTest::qWait(400);  // rested: the marker and the zoom-area tool
    QWidget* marker = viewer->findChild<QWidget*>("marker");
    ASSERT_NE(marker, nullptr);
    EXPECT_TRUE(marker->isVisible());
    EXPECT_TRUE(marker->geometry().contains(c));
    EXPECT_EQ(viewer->view().tool(), viewer::kToolZoomArea);
    send(QEvent::MouseMove, c + QPoint(3, 3), Qt::LeftButton);
    EXPECT_TRUE(marker->isVisible());  // not more than 3 pixels yet
    send(QEvent::MouseMove, c + QPoint(24, 16), Qt::LeftButton);
    EXPECT_FALSE(marker->isVisible());
    EXPECT_TRUE(viewer->view().selecting());
    send(QEvent::MouseButtonRelease, c + QPoint(24, 16), Qt::NoButton);
    EXPECT_TRUE(overlay("overlay_zoom_in")->isVisible());
    EXPECT_EQ(viewer->view().zoom(), 3000);  // 24 x 16 image pixels: as far as zoom goes
    EXPECT_EQ(viewer->view().tool(), viewer::kToolNone);

    QTest::mouseClick(overlay("overlay_zoom_out"), Qt::LeftButton);
    EXPECT_EQ(viewer->view().zoom(), 2000);
    QTest::mouseClick(overlay("overlay_zoom_in"), Qt::LeftButton);
    EXPECT_EQ(viewer->view().zoom(), 3000);
    QTest::mouseClick(overlay("leave_full_screen"), Qt::LeftButton);
    EXPECT_FALSE(frame->logic().full_screen());
    EXPECT_FALSE(overlay("overlay_zoom_in")->isVisible());
    frame->logic().dispatch(resources::kCmdFullScreen);
    QCoreApplication::processEvents();
    QTest::mouseClick(overlay("overlay_browser"), Qt::LeftButton);
    EXPECT_EQ(frame->logic().mode(), FrameMode::browser);
}

// Save As through the save-file dialog: the turned picture goes to the new
// name, the original keeps its bytes, and the new file is shown in the
// viewer and listed in the browser.
TEST_F(FrameFixture, SaveAsWritesTheNewFileAndShowsIt) {
    create_frame();
    const QString a = QDir(dir.path()).filePath("a.jpg"), copy = QDir(dir.path()).filePath("turned.jpg");
    const QByteArray before = file_bytes(a);
    ASSERT_TRUE(frame->view_index(0));
    frame->make_active(kPaneViewer);
    frame->logic().dispatch(resources::kCmdEdit);
    frame->logic().dispatch(resources::kCmdRotate90);
    QString suffix;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog) return;
        suffix = dialog->defaultSuffix();
        dialog->selectFile(QDir(dir.path()).filePath("turned"));  // the default extension is added
        static_cast<QDialog*>(dialog)->accept();
    });
    frame->logic().dispatch(resources::kCmdSaveAs);
    EXPECT_EQ(suffix, "jpg");
    EXPECT_EQ(file_bytes(a), before);
    EXPECT_EQ(QImage(copy).size(), QSize(64, 96));
    ViewerPane* viewer = frame->viewer();
    ASSERT_NE(viewer->image(), nullptr);
    p_string name;
    viewer->image()->locator().getfile(&name);
    EXPECT_EQ(name.utf8(), "turned.jpg");
    EXPECT_FALSE(viewer->editing().editing());
    EXPECT_EQ(viewer->image()->mode(), decoding::kModeViewing);
    EXPECT_EQ(frame->logic().mode(), FrameMode::viewer);
    const int shown = frame->shown_index();
    ASSERT_GE(shown, 0);
    frame->image_locator(shown).getfile(&name);
    EXPECT_EQ(name.utf8(), "turned.jpg");
    std::vector<int> buttons = visible_buttons();
    EXPECT_NE(std::find(buttons.begin(), buttons.end(), 32841), buttons.end());  // the viewing layout
}

// Save As to a place outside the device's folders: the user is told and
// asked again; cancelling then keeps the edit and writes nothing.
TEST_F(FrameFixture, SaveAsOutsideTheDeviceSaysSoAndAsksAgain) {
    // The device: the temporary folder, which holds the fixture's folders;
    // outside it, a folder under /var/tmp.
    QTemporaryDir outside("/var/tmp/qelvio-outside-XXXXXX");
    ASSERT_TRUE(outside.isValid());
    ASSERT_FALSE(outside.path().startsWith(QDir::tempPath() + "/"));
    platform::set_device_root(QDir::tempPath().toStdString());
    create_frame();
    const QString a = QDir(dir.path()).filePath("a.jpg");
    const QByteArray before = file_bytes(a);
    ASSERT_TRUE(frame->view_index(0));
    frame->make_active(kPaneViewer);
    frame->logic().dispatch(resources::kCmdEdit);
    frame->logic().dispatch(resources::kCmdRotate90);
    QString told;
    int dialogs = 0;
    {
        ui_testing::ModalScript script({
            [&](QWidget* modal) {
                ASSERT_NE(qobject_cast<QFileDialog*>(modal), nullptr);
                ++dialogs;
                qobject_cast<QFileDialog*>(modal)->selectFile(QDir(outside.path()).filePath("turned.jpg"));
                qobject_cast<QDialog*>(modal)->accept();
            },
            [&](QWidget* modal) {
                ASSERT_NE(qobject_cast<QMessageBox*>(modal), nullptr);
                told = qobject_cast<QMessageBox*>(modal)->text();
                qobject_cast<QMessageBox*>(modal)->button(QMessageBox::Ok)->click();
            },
            [&](QWidget* modal) {
                ASSERT_NE(qobject_cast<QFileDialog*>(modal), nullptr);
                ++dialogs;
                qobject_cast<QDialog*>(modal)->reject();
            },
        });
        frame->logic().dispatch(resources::kCmdSaveAs);
    }
    platform::set_device_root("");
    EXPECT_EQ(dialogs, 2);
    EXPECT_EQ(told, "The image can only be saved in the folders shown in the folder tree. Please choose one of them.");
    EXPECT_TRUE(QDir(outside.path()).isEmpty());
    EXPECT_EQ(file_bytes(a), before);
    EXPECT_TRUE(frame->viewer()->editing().editing());
}

// The crop tool: a rectangle drawn over the picture, a tap inside it, Yes
// to the question: the picture is cut to the rectangle and the tool ends.
TEST_F(FrameFixture, CropToolCutsTheDrawnRectangleAfterAsking) {
    create_frame();
    ASSERT_TRUE(frame->view_index(0));
    ViewerPane* viewer = frame->viewer();
    frame->make_active(kPaneViewer);
    frame->logic().dispatch(resources::kCmdEdit);
    ASSERT_EQ(viewer->view().zoom(), 1000);
    frame->logic().dispatch(resources::kCmdCropTool);
    auto send = [&](QEvent::Type type, QPoint at, Qt::MouseButtons held) {
        QMouseEvent e(type, at, viewer->mapToGlobal(at), Qt::LeftButton, held, Qt::NoModifier);
        QApplication::sendEvent(viewer, &e);
    };
    const QPoint c(viewer->width() / 2, viewer->height() / 2);
    send(QEvent::MouseButtonPress, c - QPoint(20, 10), Qt::LeftButton);
    send(QEvent::MouseMove, c + QPoint(20, 10), Qt::LeftButton);
    send(QEvent::MouseButtonRelease, c + QPoint(20, 10), Qt::NoButton);
    QString asked;
    answer_next_box(QMessageBox::Yes, &asked);
    send(QEvent::MouseButtonPress, c, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, c, Qt::NoButton);
    EXPECT_EQ(asked, "Crop to the selected area?");
    EXPECT_EQ(viewer->image()->size().width, 40);
    EXPECT_EQ(viewer->image()->size().height, 20);
    EXPECT_EQ(viewer->view().tool(), viewer::kToolNone);
    EXPECT_FALSE(viewer->view().has_selection());
    EXPECT_TRUE(frame->logic().state(resources::kCmdReloadOriginal).enabled);
}

// With auto_audio set, showing an image plays its audio note. The test's
// sound device does not exist, so the attempt shows as the message that
// the sound can't be played; without a note, or without the setting,
// nothing is played.
TEST_F(FrameFixture, AutoAudioPlaysTheNoteOfTheShownImage) {
    qelvio::testing::ScopedEnv missing("QELVIO_AUDIO_DEVICE", "qelvio_no_such_device");
    const QString c = QDir(dir.path()).filePath("c.jpg"), wav = QDir(dir.path()).filePath("note.wav");
    run("sox -n -r 8000 -c 1 -b 16 " + quoted(wav) + " synth 1 sine 440");
    {
        decoding::p_ImageSource image(irl_of(c));
        const QByteArray note = file_bytes(wav);
        image.set_audio(reinterpret_cast<const uint8_t*>(note.constData()), static_cast<std::size_t>(note.size()));
        ASSERT_EQ(decoding::save_image(image, {}), 0);
    }
    QFile::remove(wav);
    settings.auto_audio = true;
    create_frame();
    QString told;
    answer_next_box(QMessageBox::Ok, &told);
    ASSERT_TRUE(frame->view_index(2));
    EXPECT_EQ(told, "The sound can't be played.");
    frame->make_active(kPaneViewer);
    EXPECT_TRUE(frame->logic().state(resources::kCmdViewerPlayAudio).enabled);

    told.clear();
    answer_next_box(QMessageBox::Ok, &told);
    ASSERT_TRUE(frame->view_index(0));  // no note
    QCoreApplication::processEvents();
    EXPECT_TRUE(told.isEmpty());
    EXPECT_FALSE(frame->logic().state(resources::kCmdViewerPlayAudio).enabled);

    settings.auto_audio = false;
    answer_next_box(QMessageBox::Ok, &told);
    ASSERT_TRUE(frame->view_index(2));
    QCoreApplication::processEvents();
    EXPECT_TRUE(told.isEmpty());
}

// Save As by keys: the dialog opens in the image's folder, a typed name and
// Enter save the edited picture there as a JPEG, the original stays as it
// was, and the viewer shows the new file.
TEST_F(FrameFixture, SaveAsTakesATypedNameInTheImagesFolder) {
    create_frame();
    QDir folder(dir.path());
    QByteArray before = file_bytes(folder.filePath("a.jpg"));
    ASSERT_TRUE(frame->view_index(0));
    frame->make_active(kPaneViewer);
    frame->logic().dispatch(resources::kCmdEdit);
    frame->logic().dispatch(resources::kCmdRotate90);
    QString opened_in;
    {
        ui_testing::ModalScript script({[&](QWidget* modal) {
            if (auto* dialog = qobject_cast<QFileDialog*>(modal)) opened_in = dialog->directory().absolutePath();
            QTest::keyClicks(modal->focusWidget(), "turned");
            QTest::keyClick(modal->focusWidget(), Qt::Key_Return);
        }});
        frame->logic().dispatch(resources::kCmdSaveAs);
    }
    EXPECT_EQ(opened_in, folder.absolutePath());
    EXPECT_EQ(file_bytes(folder.filePath("a.jpg")), before);
    QImage saved(folder.filePath("turned.jpg"), "JPEG");
    EXPECT_EQ(saved.size(), QSize(64, 96));
    ASSERT_NE(frame->viewer()->image(), nullptr);
    EXPECT_TRUE(QString::fromUtf16(static_cast<const char16_t*>(frame->viewer()->image()->locator())).endsWith("\\turned.jpg"));
}

}  // namespace qelvio::browser::testing
