// The viewer pane in the frame, offscreen: zoom by wheel and tap, the up
// and down keys with their repeat limit, the image read ahead, and editing
// with its question answered through the message box.
#include "browser/ui/tests/frame_fixture.h"
#include "browser/ui/viewer_pane.h"
#include "decoding/source/image_source.h"
#include "platform/ui/tests/widget_checks.h"
#include "resources/command_ids.h"
#include "viewer/ui/jpeg_transform_dialog.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
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
    std::this_thread::sleep_for(std::chrono::milliseconds(260));
    QTest::keyClick(viewer, Qt::Key_Down);  // the last image: no wrap outside a slide show
    EXPECT_EQ(frame->shown_index(), 2);
    std::this_thread::sleep_for(std::chrono::milliseconds(260));
    QTest::keyClick(viewer, Qt::Key_Up);
    EXPECT_EQ(frame->shown_index(), 1);
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
