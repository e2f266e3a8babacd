// The image list pane offscreen: layout, sorting, pointer selection with
// the rubber band and the drag start, view modes, thumbnails through
// message 2258, notifications, and how cells and rows are drawn.
#include "browser/ui/report_view.h"
#include "browser/ui/tests/list_fixture.h"
#include "browser/ui/tests/thumbnail_checks.h"
#include "decoding/source/image_source.h"
#include "metadata/tests/camera_jpeg.h"
#include "resources/command_ids.h"
#include "viewer/ui/jpeg_transform_dialog.h"

#include <QHeaderView>
#include <QFile>
#include <QImage>
#include <QTimer>
#include <QMouseEvent>
#include <QScrollBar>

namespace qelvio::browser::testing {
namespace {

using namespace resources;

// A move with the left button held, as a pointer sends it.
void drag_to(QWidget* widget, QPoint to, Qt::KeyboardModifiers modifiers = {}) {
    QMouseEvent move(QEvent::MouseMove, to, widget->mapToGlobal(to), Qt::NoButton, Qt::LeftButton, modifiers);
    QApplication::sendEvent(widget, &move);
}

struct GridPane : ListFixture {
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        for (int i = 0; i < 20; ++i)
            make_jpeg(QString("img%1.jpg").arg(i, 2, 10, QChar('0')), i % 2 ? "#2060c0" : "#c04020");
    }
};

TEST_F(GridPane, ScrollBarColumnsVisibleRangeAndShowItem) {
    create_pane({240, 200});
    ASSERT_EQ(pane->item_count(), 20);
    EXPECT_TRUE(pane->scroll_bar()->isVisible());
    EXPECT_LT(pane->scroll_bar()->width(), 24);
    EXPECT_EQ(pane->columns(), 3);  // from the narrower width, still 3
    // 7 rows of 84 plus 8, a page of 200.
    EXPECT_EQ(pane->scroll_bar()->maximum(), 7 * 84 + 8 - 200);
    EXPECT_EQ(pane->visible_range(), (VisibleRange{0, 8}));
    pane->show_item(19);  // row 6: 508 ... 592, its bottom at the client's bottom
    EXPECT_EQ(pane->scroll_position(), 592 - 200);
    EXPECT_EQ(pane->visible_range(), (VisibleRange{12, 19}));
    pane->show_item(0);  // up by the overlap: the cell's top at the client's top
    EXPECT_EQ(pane->scroll_position(), 4);
    // A taller pane holds everything: the bar goes and columns follow the width.
    pane->resize(300, 800);
    QCoreApplication::processEvents();
    EXPECT_FALSE(pane->scroll_bar()->isVisible());
    EXPECT_EQ(pane->columns(), 4);
}

TEST_F(GridPane, ThumbnailsOfVisibleItemsArriveThroughTheWorker) {
    create_pane({240, 200});
    ASSERT_TRUE(wait_for_thumbnails());
    const VisibleRange v = pane->visible_range();
    for (int i = 0; i < pane->item_count(); ++i) {
        const bool has = pane->model().items()[i].image->thumbnail_bitmap() != nullptr;
        EXPECT_EQ(has, i >= v.first && i <= v.last) << i;  // only the visible ones
    }
    // The thumbnail is drawn: the centre of cell 1 is the image's blue.
    const QImage shot = pane->grab().toImage();
    const QColor c = shot.pixelColor(cell_centre(1) - QPoint(0, 6));
    EXPECT_NEAR(c.red(), 0x20, 12);
    EXPECT_NEAR(c.green(), 0x60, 12);
    EXPECT_NEAR(c.blue(), 0xC0, 12);
    // Scrolling brings the next ones.
    pane->scroll_bar()->setValue(pane->scroll_bar()->maximum());
    ASSERT_TRUE(wait_for_thumbnails());
    EXPECT_NE(pane->model().items()[19].image->thumbnail_bitmap(), nullptr);
}

TEST_F(GridPane, TapsControlAndMultiSelect) {
    create_pane({240, 200});
    QTest::mouseClick(pane.get(), Qt::LeftButton, {}, cell_centre(1));
    EXPECT_EQ(states(), "02000000000000000000");
    EXPECT_EQ(frame.active, kPaneImageList);
    QTest::mouseClick(pane.get(), Qt::LeftButton, Qt::ControlModifier, cell_centre(4));
    EXPECT_EQ(states(), "02002000000000000000");
    // Multi-select: a tap on a selected image unselects it on release and
    // leaves the rest selected.
    frame.multi = true;
    QTest::mousePress(pane.get(), Qt::LeftButton, {}, cell_centre(1));
    EXPECT_EQ(states(), "02002000000000000000");
    QTest::mouseRelease(pane.get(), Qt::LeftButton, {}, cell_centre(1));
    EXPECT_EQ(states(), "00002000000000000000");
    QTest::mouseClick(pane.get(), Qt::LeftButton, {}, cell_centre(6));
    EXPECT_EQ(states(), "00002020000000000000");
    frame.multi = false;
    // A plain tap on a selected one leaves it alone selected.
    QTest::mouseClick(pane.get(), Qt::LeftButton, {}, cell_centre(6));
    EXPECT_EQ(states(), "00000020000000000000");
    // Double tap views.
    QTest::mouseDClick(pane.get(), Qt::LeftButton, {}, cell_centre(3));
    EXPECT_EQ(frame.viewed, std::vector<int>{3});
}

TEST_F(GridPane, RubberBandFromEmptySpaceAndDragFromAnItem) {
    settings.thumb_filenames = false;  // 72-high cells
    create_pane({300, 400});
    pane->select(0, true);
    // From the margin right of the last column (4 columns end at 292).
    const QPoint start(295, 10);
    QTest::mousePress(pane.get(), Qt::LeftButton, Qt::ControlModifier, start);
    drag_to(pane.get(), start + QPoint(-8, 8), Qt::ControlModifier);
    EXPECT_FALSE(pane->model().band_active());  // not beyond 8 pixels yet
    drag_to(pane.get(), QPoint(150, 100), Qt::ControlModifier);
    ASSERT_TRUE(pane->model().band_active());
    // Cells 2, 3 (row 0) and 6, 7 (row 1) meet the band, drawn as selected.
    EXPECT_EQ(states().substr(0, 8), "20110011");
    QTest::mouseRelease(pane.get(), Qt::LeftButton, Qt::ControlModifier, QPoint(150, 100));
    EXPECT_EQ(states().substr(0, 8), "20220022");
    EXPECT_EQ(pane->model().selected_count(), 5);
    EXPECT_TRUE(operations.drags.empty());
    // A press on a selected item and a move of 9 pixels drags the selection.
    QTest::mousePress(pane.get(), Qt::LeftButton, {}, cell_centre(2));
    drag_to(pane.get(), cell_centre(2) + QPoint(8, 0));
    EXPECT_TRUE(operations.drags.empty());
    drag_to(pane.get(), cell_centre(2) + QPoint(9, 0));
    ASSERT_EQ(operations.drags.size(), 1u);
    EXPECT_EQ(operations.drags[0].size(), 5u);
    EXPECT_EQ(operations.drags[0][0], pane->file(0));
    EXPECT_EQ(operations.drag_starts[0], pane->mapToGlobal(cell_centre(2)));  // from the press point
    QTest::mouseRelease(pane.get(), Qt::LeftButton, {}, cell_centre(2) + QPoint(9, 0));
    EXPECT_EQ(pane->model().selected_count(), 5);  // a drag keeps the selection
}

TEST_F(GridPane, RubberBandAutoscrollsAtTheBottomEdge) {
    create_pane({240, 200});
    QTest::mousePress(pane.get(), Qt::LeftButton, {}, QPoint(2, 2));
    drag_to(pane.get(), QPoint(100, 195));  // 10 pixels into the bottom margin
    ASSERT_TRUE(pane->model().band_active());
    QTest::qWait(400);
    const int position = pane->scroll_position();
    EXPECT_GT(position, 84);  // about 10 pixels every 30 ms
    // The band's end stayed under the pointer while the content moved: the
    // row now under it is in the band, the one below it not.
    const int row = (195 + position - 4) / 84;
    ASSERT_LT(row * 3 + 3, 20);
    EXPECT_EQ(states().substr(row * 3, 3), "110") << row;
    EXPECT_EQ(states().substr(row * 3 + 3, 3), "000") << row;
    QTest::mouseRelease(pane.get(), Qt::LeftButton, {}, QPoint(100, 195));
    EXPECT_EQ(states().find('1'), std::string::npos);
    EXPECT_EQ(pane->model().selected_count(), 2 * (row + 1));
}

TEST_F(GridPane, CommandsSortAndSelect) {
    create_pane({240, 200});
    // Sizes and dates differ per file.
    run("convert -size 300x300 plasma: -quality 95 '" + path("img07.jpg").toStdString() + "'");
    run("touch -d '2020-01-01' '" + path("img12.jpg").toStdString() + "'");
    pane->handle_command(kCmdSortBySize);
    EXPECT_EQ(names().back(), "img07.jpg");
    EXPECT_TRUE(pane->command_state(kCmdSortBySize)->checked);
    pane->handle_command(kCmdSortDescending);
    EXPECT_EQ(names().front(), "img07.jpg");
    pane->handle_command(kCmdSortByDate);
    EXPECT_EQ(names().back(), "img12.jpg");  // descending: oldest last
    pane->handle_command(kCmdSortAscending);
    EXPECT_EQ(names().front(), "img12.jpg");
    pane->handle_command(kCmdSortByName);
    EXPECT_EQ(names().front(), "img00.jpg");
    EXPECT_EQ(settings.sortmode, 0);
    EXPECT_FALSE(pane->command_state(kCmdViewImage)->enabled);
    pane->handle_command(kCmdSelectAll);
    EXPECT_EQ(pane->model().selected_count(), 20);
    EXPECT_TRUE(pane->command_state(kCmdTransformJpeg)->enabled);
    pane->handle_command(kCmdDelete);
    ASSERT_EQ(operations.deletes.size(), 1u);
    EXPECT_EQ(operations.deletes[0].size(), 20u);
    pane->handle_command(kCmdUnselectAll);
    EXPECT_EQ(pane->model().selected_count(), 0);
}

TEST_F(GridPane, AddedFileAppearsSortedAfterTheDrain) {
    create_pane({240, 200});
    pane->scroll_bar()->setValue(100);
    make_jpeg("img05b.jpg", "green");
    // The file comes through the file tree (as a copy or a reception would
    // bring it); the pane learns of it from the notification queue.
    ASSERT_GE(pane->folder()->trackchild(u"img05b.jpg"), 0);
    EXPECT_EQ(pane->item_count(), 20);
    QTest::qWait(250);  // timer 11 runs every 100 ms
    ASSERT_EQ(pane->item_count(), 21);
    EXPECT_EQ(pane->file_name(6), "img05b.jpg");
    EXPECT_EQ(pane->scroll_position(), 0);  // back to the top
    // Removed through the tree: gone after the drain, selection count kept.
    pane->select(6, true);
    ASSERT_EQ(pane->folder()->deletechild(u"img05b.jpg"), 0);
    QTest::qWait(250);
    EXPECT_EQ(pane->item_count(), 20);
    EXPECT_EQ(pane->model().selected_count(), 0);
    EXPECT_FALSE(QFile::exists(path("img05b.jpg")));
}

// Another program writes a file into the open folder and removes one: the
// pane sees both on disk, without any call of this program.
TEST_F(GridPane, FilesOtherProgramsWriteOrRemoveAppearAndGo) {
    create_pane({240, 200});
    make_jpeg("img05c.jpg", "green");
    EXPECT_TRUE(QTest::qWaitFor([&] { return pane->item_count() == 21; }, 5000));
    EXPECT_EQ(pane->file_name(6), "img05c.jpg");
    ASSERT_TRUE(QFile::remove(path("img03.jpg")));
    EXPECT_TRUE(QTest::qWaitFor([&] { return pane->item_count() == 20; }, 5000));
    EXPECT_EQ(pane->index_of("img03.jpg"), -1);
}

TEST_F(GridPane, CellColoursSelectedActiveAndInactive) {
    create_pane({240, 200});
    ASSERT_TRUE(wait_for_thumbnails());
    auto background = [&](int i) {
        // Between the frame rings and the thumbnail: 3 pixels in from the cell's corner.
        const QPoint c = cell_centre(i);
        return pane->grab().toImage().pixelColor(c.x() - 36 + 3, c.y() - 42 + 3);
    };
    const QColor jpeg = background(0);
    EXPECT_NE(jpeg, QColor(Qt::white));  // the JPEG format's colour
    pane->select(0, true);
    EXPECT_EQ(background(0), QColor(0, 0, 120));
    pane->set_active_look(false);
    EXPECT_EQ(background(0), QColor(180, 180, 180));
    pane->select(0, false);
    EXPECT_EQ(background(0), jpeg);
}

TEST_F(GridPane, ViewModesAndHeaderTaps) {
    create_pane({400, 300});
    ReportView* report = pane->report_view();
    EXPECT_FALSE(report->isVisible());
    EXPECT_TRUE(pane->command_state(kCmdViewThumbnails)->checked);
    pane->handle_command(kCmdViewDetails);
    EXPECT_EQ(settings.viewmode, 0);
    ASSERT_TRUE(report->isVisible());
    EXPECT_FALSE(report->isHeaderHidden());
    EXPECT_FALSE(pane->scroll_bar()->isVisible());
    EXPECT_EQ(report->row_height(), 16);
    EXPECT_EQ(report->visualRect(report->model()->index(1, 0)).height(), 16);
    EXPECT_EQ(report->model()->headerData(1, Qt::Horizontal).toString(), "Type");
    EXPECT_EQ(report->columnWidth(2), 60);
    // Header taps: Size ascending, again descending, Name ascending.
    run("convert -size 300x300 plasma: -quality 95 '" + path("img03.jpg").toStdString() + "'");
    QHeaderView* header = report->header();
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(header->sectionPosition(2) + 10, 5));
    EXPECT_EQ(settings.sortmode, 2);
    EXPECT_FALSE(pane->sort_descending());
    EXPECT_EQ(names().back(), "img03.jpg");
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(header->sectionPosition(2) + 10, 5));
    EXPECT_TRUE(pane->sort_descending());
    EXPECT_EQ(names().front(), "img03.jpg");
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(header->sectionPosition(0) + 10, 5));
    EXPECT_EQ(settings.sortmode, 0);
    EXPECT_FALSE(pane->sort_descending());
    // Rows take presses through the pane: a tap selects, a control tap adds,
    // a drag from a newly selected row draws a band over the rows.
    QWidget* rows = report->viewport();
    QTest::mouseClick(rows, Qt::LeftButton, {}, QPoint(30, 16 * 2 + 8));
    EXPECT_EQ(pane->model().selected_indices(), std::vector<int>{2});
    QTest::mouseClick(rows, Qt::LeftButton, Qt::ControlModifier, QPoint(30, 16 * 4 + 8));
    EXPECT_EQ(pane->model().selected_indices(), (std::vector<int>{2, 4}));
    QTest::mousePress(rows, Qt::LeftButton, {}, QPoint(30, 16 * 6 + 8));
    drag_to(rows, QPoint(30, 16 * 8 + 8));
    ASSERT_TRUE(pane->model().band_active());
    QTest::mouseRelease(rows, Qt::LeftButton, {}, QPoint(30, 16 * 8 + 8));
    EXPECT_EQ(pane->model().selected_indices(), (std::vector<int>{6, 7, 8}));
    EXPECT_TRUE(operations.drags.empty());
    // Mode 2: no headers, 54-pixel rows, one column as wide as the view less 1.
    pane->handle_command(kCmdViewThumbsDetails);
    EXPECT_TRUE(report->isHeaderHidden());
    EXPECT_EQ(report->visualRect(report->model()->index(1, 0)).height(), 54);
    EXPECT_EQ(report->columnWidth(0), report->viewport()->width() - 1);
    EXPECT_TRUE(pane->command_state(kCmdViewThumbsDetails)->checked);
    pane->handle_command(kCmdViewThumbnails);
    EXPECT_FALSE(report->isVisible());
    EXPECT_EQ(settings.viewmode, 1);
}

TEST_F(GridPane, RotateFlipJpegSkipsReadOnlyAndSentFiles) {
    create_pane({240, 200});
    auto size_of = [&](const char* name) {
        QImage image(path(name));
        return image.size();
    };
    auto bytes_of = [&](const char* name) {
        QFile f(path(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    };
    // jpegtran's rotation of the original, to compare with.
    const std::string expected = QDir(cache_dir.path()).filePath("expected.jpg").toStdString();
    run("jpegtran -copy all -rotate 90 -outfile '" + expected + "' '" + path("img00.jpg").toStdString() + "'");
    run("chmod a-w '" + path("img01.jpg").toStdString() + "'");
    const QByteArray read_only = bytes_of("img01.jpg"), sent = bytes_of("img02.jpg");
    std::vector<QString> told;
    pane->tell = [&](const QString& text) { told.push_back(text); };
    pane->being_sent = [&](p_filenode* file) { return file == pane->file(2); };
    int asked = 0;
    pane->choose_transform = [&](decoding::p_ImageSource&) {
        ++asked;
        return 0;  // cancelled: nothing happens
    };
    for (int i : {0, 1, 2}) pane->select(i, true);
    ASSERT_TRUE(pane->command_state(kCmdTransformJpeg)->enabled);
    pane->handle_command(kCmdTransformJpeg);
    EXPECT_EQ(asked, 1);
    EXPECT_TRUE(told.empty());
    EXPECT_EQ(size_of("img00.jpg"), QSize(96, 64));
    pane->choose_transform = [&](decoding::p_ImageSource&) {
        ++asked;
        return 5;  // 90 degrees clockwise, asked once for all
    };
    pane->handle_command(kCmdTransformJpeg);
    EXPECT_EQ(asked, 2);
    EXPECT_EQ(size_of("img00.jpg"), QSize(64, 96));
    EXPECT_EQ(QImage(path("img00.jpg")), QImage(QString::fromStdString(expected)));
    EXPECT_EQ(bytes_of("img01.jpg"), read_only);
    EXPECT_EQ(bytes_of("img02.jpg"), sent);
    EXPECT_EQ(told, (std::vector<QString>{"The image 'img01.jpg' is read-only; it can't be transformed.",
                                          "The image 'img02.jpg' is being sent via infrared; it can't be transformed."}));
    run("chmod u+w '" + path("img01.jpg").toStdString() + "'");
}

TEST_F(GridPane, BeamingCommandsHandTheSelectionToTheFrame) {
    create_pane({240, 200});
    pane->select(1, true);
    pane->select(3, true);
    frame.infrared = 2;  // receiving: no sending
    EXPECT_FALSE(pane->command_state(kCmdSendInfrared)->enabled);
    pane->handle_command(kCmdSendInfrared);
    EXPECT_TRUE(frame.beamed.empty());
    frame.infrared = 0;
    pane->handle_command(kCmdSendInfrared);
    EXPECT_EQ(frame.beamed, (std::vector<p_filenode*>{pane->file(1), pane->file(3)}));
    pane->handle_command(kCmdReceiveInfrared);
    EXPECT_EQ(frame.receives, 1);
    frame.infrared = 1;  // sending: no receiving
    pane->handle_command(kCmdReceiveInfrared);
    EXPECT_EQ(frame.receives, 1);
}

// A quarter turn of two selected files, a plain JPEG and a camera file
// whose Exif thumbnail keeps the old orientation: each file is what jpegtran
// makes of it, and the list then shows each one's turned thumbnail.
TEST_F(GridPane, ListThumbnailsFollowALosslessTransform) {
    run("convert -size 48x64 xc:red -size 48x64 xc:blue +append -quality 90 '" + path("img04.jpg").toStdString() + "'");
    ASSERT_TRUE(camera_jpeg::make_camera_jpeg(path("img06.jpg").toStdString(), "II"));
    create_pane({240, 300});
    ASSERT_TRUE(wait_for_thumbnails());
    std::vector<QString> expected;
    for (const char* name : {"img04.jpg", "img06.jpg"}) {
        expected.push_back(QDir(cache_dir.path()).filePath(QString("turned-") + name));
        run("jpegtran -copy all -trim -rotate 270 -outfile '" + expected.back().toStdString() + "' '" +
            path(name).toStdString() + "'");
    }
    for (int i : {4, 6}) {
        ASSERT_NE(pane->model().items()[i].image->thumbnail_bitmap(), nullptr);
        EXPECT_FALSE(upright(*pane->model().items()[i].image->thumbnail_bitmap())) << i;
    }
    pane->select(4, true);
    pane->select(6, true);
    pane->choose_transform = [](decoding::p_ImageSource&) { return 7; };  // 90 degrees anticlockwise
    pane->handle_command(kCmdTransformJpeg);
    ASSERT_TRUE(wait_for_thumbnails());
    for (int k = 0; k < 2; ++k) {
        const int i = k == 0 ? 4 : 6;
        QFile result(path(pane->file_name(i))), reference(expected[static_cast<std::size_t>(k)]);
        ASSERT_TRUE(result.open(QIODevice::ReadOnly) && reference.open(QIODevice::ReadOnly));
        EXPECT_EQ(result.readAll(), reference.readAll()) << i;
        const imaging::Dib* shown = pane->model().items()[i].image->thumbnail_bitmap();
        ASSERT_NE(shown, nullptr) << i;
        EXPECT_TRUE(upright(*shown)) << i;
        imaging::DibPtr turned = fresh_thumbnail(expected[static_cast<std::size_t>(k)]);
        ASSERT_NE(turned, nullptr);
        EXPECT_TRUE(same_pixels(*shown, *turned)) << i;
    }
}

// Rotate/Flip (JPEG) through the JPEG Transform dialog: its fourth button
// mirrors left-right (code 1), and the file is then byte for byte what
// jpegtran -copy all -trim -flip horizontal makes of it.
TEST_F(GridPane, TransformDialogMirrorsLeftRightAsJpegtranDoes) {
    // Red on the left, blue on the right: a mirror shows.
    run("convert -size 48x64 xc:red -size 48x64 xc:blue +append -quality 90 '" + path("img04.jpg").toStdString() + "'");
    const QImage before(path("img04.jpg"));
    create_pane({240, 200});
    const std::string expected = QDir(cache_dir.path()).filePath("mirrored.jpg").toStdString();
    run("jpegtran -copy all -trim -flip horizontal -outfile '" + expected + "' '" + path("img04.jpg").toStdString() + "'");
    pane->select(4, true);
    QTimer::singleShot(0, [] {
        auto* dialog = qobject_cast<viewer::JpegTransformDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        QTest::mouseClick(dialog->button(3), Qt::LeftButton, {}, QPoint(12, 12));
        dialog->accept();
    });
    pane->handle_command(kCmdTransformJpeg);
    QFile result(path("img04.jpg")), reference(QString::fromStdString(expected));
    ASSERT_TRUE(result.open(QIODevice::ReadOnly) && reference.open(QIODevice::ReadOnly));
    EXPECT_EQ(result.readAll(), reference.readAll());
    const QImage after(path("img04.jpg"));
    EXPECT_NE(after, before);
    EXPECT_GT(after.pixelColor(5, 30).blue(), 200);
}

TEST_F(GridPane, DescriptionIconPressOpensPropertiesWithoutSelecting) {
    run("exiftool -q -overwrite_original -ImageDescription='A note' '" + path("img01.jpg").toStdString() + "'");
    create_pane({240, 200});
    std::vector<std::pair<int, bool>> opened;
    pane->open_properties = [&](int index, bool annotation_page) { opened.push_back({index, annotation_page}); };
    // The description box of cell 1: right - 21 ... right - 1, top + 1 ... top + 21.
    const QPoint box(76 + 72 - 10, 4 + 10);
    QTest::mouseClick(pane.get(), Qt::LeftButton, {}, box);
    EXPECT_EQ(opened, (std::vector<std::pair<int, bool>>{{1, true}}));
    EXPECT_EQ(pane->model().selected_count(), 0);
    // The same spot on an image without a description is a plain tap.
    QTest::mouseClick(pane.get(), Qt::LeftButton, {}, box + QPoint(72, 0));
    EXPECT_EQ(opened.size(), 1u);
    EXPECT_EQ(pane->model().selected_indices(), std::vector<int>{2});
    // Without annotation icons the grid takes no icon presses.
    settings.thumb_annoticons = false;
    QTest::mouseClick(pane.get(), Qt::LeftButton, {}, box);
    EXPECT_EQ(opened.size(), 1u);
    EXPECT_EQ(pane->model().selected_indices(), std::vector<int>{1});
}

TEST_F(GridPane, KeyboardInTheDetailsListMovesTheSelection) {
    settings.viewmode = kViewDetails;
    create_pane({400, 300});
    ReportView* report = pane->report_view();
    ASSERT_TRUE(report->isVisible());
    QTest::mouseClick(report->viewport(), Qt::LeftButton, {}, QPoint(30, 16 * 3 + 8));
    EXPECT_EQ(pane->model().selected_indices(), std::vector<int>{3});
    QTest::keyClick(report, Qt::Key_Down);
    EXPECT_EQ(pane->model().selected_indices(), std::vector<int>{4});
    QTest::keyClick(report, Qt::Key_End);
    EXPECT_EQ(pane->model().selected_indices(), std::vector<int>{19});
    EXPECT_GE(pane->visible_range().last, 19);
}

// The open folder is deleted through the tree: its nodes are destroyed
// once every listener has drained its queue, so the pane must let go of the
// folder and its items first (a later refresh would read freed nodes).
TEST_F(ListFixture, RemovedOpenFolderIsLetGo) {
    ASSERT_TRUE(dir.isValid());
    QDir(dir.path()).mkpath("Inner");
    create_pane({300, 200});
    p_filenode* inner = node_of(path("Inner"));
    ASSERT_NE(inner, nullptr);
    ASSERT_EQ(pane->open(inner), 0);
    EXPECT_EQ(pane->folder(), inner);
    ASSERT_EQ(inner->getparent()->deletechild(u"Inner"), 0);
    pane->take_notifications();
    EXPECT_EQ(pane->folder(), nullptr);
    EXPECT_EQ(pane->item_count(), 0);
    pane->refresh();  // nothing left to read
    EXPECT_FALSE(QDir(path("Inner")).exists());
}

TEST_F(ListFixture, EmptyFolderAndSearchingMessages) {
    ASSERT_TRUE(dir.isValid());
    settings.viewmode = 0;
    create_pane({300, 200});
    EXPECT_FALSE(pane->report_view()->isVisible());  // no items: the pane's own message
    auto shot = [&] { return pane->grab().toImage(); };
    const QImage empty = shot();
    pane->set_searching(true);
    const QImage searching = shot();
    EXPECT_NE(empty, searching);
    // Both are white but for a message in the middle.
    EXPECT_EQ(empty.pixelColor(5, 5), QColor(Qt::white));
    bool dark = false;
    for (int x = 0; x < 300; ++x) dark = dark || empty.pixelColor(x, 100).lightness() < 128;
    EXPECT_TRUE(dark);
}

}  // namespace
}  // namespace qelvio::browser::testing

namespace qelvio::browser::testing {
namespace {

// The three view modes drawn offscreen, compared with reference images kept
// beside this test. Fonts and JPEG decoding may differ slightly between
// machines, so a few pixels may differ; a layout, colour or text change
// moves far more. QELVIO_UPDATE_REFERENCES=1 writes new references.
struct ReferencePane : ListFixture {
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        make_jpeg("Beach.jpg", "#e0c080", "120x80", "2024-03-05 12:00");
        make_jpeg("a.b.Forest.jpg", "#208040", "60x90", "2023-11-20 08:30");
        make_jpeg("Sky with a very long name.jpg", "#4080ff", "200x100", "2022-07-01 18:00");
        run("convert -size 64x64 xc:'#804080' '" + path("Plum.bmp").toStdString() + "' && touch -d '2024-01-02' '" +
            path("Plum.bmp").toStdString() + "'");
        run("printf 'garbage' > '" + path("Broken.jpg").toStdString() + "' && touch -d '2024-01-02' '" +
            path("Broken.jpg").toStdString() + "'");
    }
    // Share of pixels whose channels differ by more than 64.
    static double differing(const QImage& a, const QImage& b) {
        if (a.size() != b.size()) return 1.0;
        int count = 0;
        for (int y = 0; y < a.height(); ++y)
            for (int x = 0; x < a.width(); ++x) {
                const QColor p = a.pixelColor(x, y), q = b.pixelColor(x, y);
                if (std::abs(p.red() - q.red()) > 64 || std::abs(p.green() - q.green()) > 64 ||
                    std::abs(p.blue() - q.blue()) > 64)
                    ++count;
            }
        return static_cast<double>(count) / (a.width() * a.height());
    }
};

TEST_F(ReferencePane, ThreeViewModesMatchTheirReferences) {
    create_pane({300, 200});
    pane->select(1, true);
    struct Mode {
        int command;
        const char* file;
    } modes[] = {{kCmdViewThumbnails, "list_mode1.png"}, {kCmdViewDetails, "list_mode0.png"},
                 {kCmdViewThumbsDetails, "list_mode2.png"}};
    for (const Mode& m : modes) {
        pane->handle_command(m.command);
        ASSERT_TRUE(wait_for_thumbnails());
        QTest::qWait(20);
        const QImage shot = pane->grab().toImage().convertToFormat(QImage::Format_RGB32);
        const QString file = QString(QELVIO_LIST_REFERENCES) + "/" + m.file;
        if (std::getenv("QELVIO_UPDATE_REFERENCES")) {
            ASSERT_TRUE(shot.save(file));
            continue;
        }
        const QImage reference(file);
        ASSERT_FALSE(reference.isNull()) << file.toStdString();
        EXPECT_LT(differing(shot, reference.convertToFormat(QImage::Format_RGB32)), 0.01) << m.file;
    }
}

}  // namespace
}  // namespace qelvio::browser::testing
