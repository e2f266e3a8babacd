// The file operations' widgets, offscreen: the overwrite prompt (dialog
// 176), the rename dialog (142), the drag tracker, and paste, delete and
// rename flows through the real dialogs with scripted clicks, checking the
// files on disk.
#include "browser/ui/drag_tracker.h"
#include "browser/ui/file_operations_ui.h"
#include "browser/ui/tests/stub_frame.h"
#include "browser/ui/frame_calls.h"
#include "browser/ui/overwrite_dialog.h"
#include "browser/ui/rename_dialog.h"
#include "platform/device_root.h"
#include "platform/file_system.h"
#include "shell/command_line.h"
#include "shell/dialog_settings.h"
#include "shell/profile.h"
#include "thumbnails/p_thumbcache.h"
#include "platform/ui/tests/widget_checks.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

// Readable failures.
inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }
inline void PrintTo(const QUrl& url, std::ostream* out) { *out << url.toString().toStdString(); }
inline void PrintTo(const QByteArray& bytes, std::ostream* out) { *out << bytes.toStdString(); }

namespace qelvio::browser::testing {
namespace {

using ui_testing::expect_unclipped;
using ui_testing::ModalScript;

std::function<void(QWidget*)> click(const char* name) {
    return [name](QWidget* modal) {
        auto* button = modal->findChild<QPushButton*>(name);
        ASSERT_NE(button, nullptr) << name;
        button->click();
    };
}

// A message box: its text is kept, then the button clicked.
std::function<void(QWidget*)> answer_box(QMessageBox::StandardButton which, QString* text = nullptr) {
    return [which, text](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        if (text) *text = box->text();
        box->button(which)->click();
    };
}

class FileOperationsUiTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        cache = std::make_unique<thumbnails::p_thumbcache>(*platform::to_device_path(path("thumbs").toStdString()));
        mcp.setcachehooks(cache.get());
    }
    void TearDown() override {
        mcp.setcachehooks(nullptr);
        cache->stopsave();
    }

    QString path(const QString& relative) const { return QDir(dir.path()).filePath(relative); }
    void make_image(const QString& relative, QSize size, QColor colour) {
        QDir().mkpath(QFileInfo(path(relative)).path());
        QImage image(size, QImage::Format_RGB32);
        image.fill(colour);
        ASSERT_TRUE(image.save(path(relative), "JPEG"));
    }
    void make_file(const QString& relative, const QByteArray& content) {
        QDir().mkpath(QFileInfo(path(relative)).path());
        QFile file(path(relative));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    QByteArray read(const QString& relative) const {
        QFile file(path(relative));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
    }
    QStringList listing(const QString& relative) const {
        return QDir(path(relative)).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
    }
    p_irl irl(const QString& relative) const { return *shell::file_irl(path(relative).toStdU16String()); }
    p_filenode* node(const QString& relative) {
        p_filenode* found = nullptr;
        return mcp.openfile(irl(relative), &found) == P_OK ? found : nullptr;
    }

    QTemporaryDir dir;
    p_mcp mcp;
    std::unique_ptr<thumbnails::p_thumbcache> cache;
    StubFrame frame;
    QWidget parent;
};

// ---- dialog 176 ----

TEST_F(FileOperationsUiTest, OverwriteDialogShowsBothFilesAndTheirThumbnails) {
    make_image("dst/a.jpg", {96, 64}, Qt::red);
    make_image("src/a.jpg", {40, 80}, Qt::blue);
    OverwriteDialog dialog(true, cache.get(), &parent);
    dialog.prepare(irl("src/a.jpg"), irl("dst/a.jpg"));
    EXPECT_EQ(dialog.windowTitle(), "Overwrite 'a.jpg'?");
    uint64_t existing_time = 0;
    ASSERT_EQ(node("dst/a.jpg")->getfiletime(&existing_time), P_OK);
    EXPECT_EQ(dialog.findChild<QLabel*>("c1042")->text().toStdString(),
              ("Do you want to replace this image...\n(" + OverwriteDialog::date_text(existing_time) + ")").toStdString());
    EXPECT_TRUE(dialog.findChild<QLabel*>("c1045")->text().startsWith("With this one?\n("));
    // The thumbnails are decoded on the images' workers.
    auto* left = dialog.findChild<PictureBox*>("c1121");
    auto* right = dialog.findChild<PictureBox*>("c1123");
    QTRY_VERIFY_WITH_TIMEOUT(!left->image().isNull() && !right->image().isNull(), 10000);
    EXPECT_EQ(left->image().size(), QSize(64, 42));
    EXPECT_GT(left->image().pixelColor(32, 20).red(), 200);
    EXPECT_GT(right->image().pixelColor(16, 32).blue(), 200);
    // Fitted (never enlarged) and centred in the 72 x 72 box.
    EXPECT_EQ(left->image_rect(), QRect(4, 15, 64, 42));
    EXPECT_EQ(right->image_rect(), QRect(20, 4, 32, 64));
}

TEST(OverwriteDateText, ShortDateAndTimeWithoutSeconds) {
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    QDateTime when(QDate(2026, 3, 9), QTime(14, 5, 59));
    QString text = OverwriteDialog::date_text(platform::file_time_from_unix(when.toSecsSinceEpoch()));
    QLocale::setDefault(QLocale::system());
    EXPECT_TRUE(text.startsWith("3/9/26, 2:05")) << text.toStdString();
    EXPECT_TRUE(text.endsWith("PM")) << text.toStdString();
    EXPECT_FALSE(text.contains("59")) << "no seconds: " << text.toStdString();
}

TEST_F(FileOperationsUiTest, OverwriteDialogButtonsAndTheToAllRow) {
    OverwriteDialog single(false, nullptr, &parent);
    OverwriteDialog multi(true, nullptr, &parent);
    single.show();
    multi.show();
    for (const char* name : {"c1041", "c1044"}) {
        EXPECT_FALSE(single.findChild<QPushButton*>(name)->isVisible()) << name;
        EXPECT_TRUE(multi.findChild<QPushButton*>(name)->isVisible()) << name;
    }
    EXPECT_LT(single.height(), multi.height()) << "the hidden row takes no room";
    EXPECT_EQ(single.findChild<QPushButton*>("c1040")->text(), "Yes");
    EXPECT_EQ(multi.findChild<QPushButton*>("c1044")->text(), "No to all");
    single.hide();
    multi.hide();

    make_file("x.jpg", "x");
    const std::pair<const char*, int> buttons[] = {{"c1040", P_ANSWER_YES},   {"c1041", P_ANSWER_YESTOALL},
                                                   {"c1043", P_ANSWER_NO},    {"c1044", P_ANSWER_NOTOALL},
                                                   {"c1039", P_ANSWER_CANCEL}};
    for (const auto& [name, answer] : buttons) {
        ModalScript script({click(name)});
        EXPECT_EQ(multi.ask(irl("x.jpg"), irl("x.jpg")), answer) << name;
    }
    ModalScript script({[](QWidget* modal) { QTest::keyClick(modal, Qt::Key_Escape); }});
    EXPECT_EQ(multi.ask(irl("x.jpg"), irl("x.jpg")), P_ANSWER_CANCEL) << "Escape";
}

// ---- dialog 142 ----

TEST_F(FileOperationsUiTest, RenameDialogForOneImage) {
    shell::save_dialog_setting(shell::kRenameSeqCount, 9);  // out of range, but covered
    RenameDialog dialog(false, &parent);
    dialog.set_name(u"a.b");
    dialog.show();
    EXPECT_EQ(dialog.findChild<QLabel*>("c1018")->text(), "&Name the image:");
    EXPECT_TRUE(dialog.findChild<QWidget*>("c1118")->isVisible());
    EXPECT_FALSE(dialog.findChild<QWidget*>("c1014")->isVisible());
    EXPECT_FALSE(dialog.findChild<QWidget*>("c1017")->isVisible());
    EXPECT_EQ(dialog.findChild<QComboBox*>("c1012")->currentText(), "a.b");
    ASSERT_NE(dialog.findChild<QPushButton*>("help"), nullptr);
    EXPECT_EQ(dialog.help_topic(), u"renaming");
    dialog.findChild<QPushButton*>("c1")->click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(shell::load_dialog_setting(shell::kRenameSeqCount), 9) << "a covered field stores nothing";
}

TEST_F(FileOperationsUiTest, RenameDialogForSeveralValidatesTheDigitsAndStoresThem) {
    shell::save_dialog_setting(shell::kRenameSeqCount, 4);
    shell::write_profile_int(u"renamedlg", u"namecount", 2);
    shell::write_profile_string(u"renamedlg", u"name0", u"Trip");
    shell::write_profile_string(u"renamedlg", u"name1", u"Party");
    RenameDialog dialog(true, &parent);
    QStringList refused;
    dialog.refuse = [&](const QString& text) { refused << text; };
    dialog.show();
    EXPECT_EQ(dialog.findChild<QLabel*>("c1018")->text(), "&Name the images:");
    EXPECT_FALSE(dialog.findChild<QWidget*>("c1118")->isVisible());
    auto* digits = dialog.findChild<QLineEdit*>("c1014");
    ASSERT_TRUE(digits->isVisible());
    EXPECT_EQ(digits->text(), "4");
    auto* names = dialog.findChild<QComboBox*>("c1012");
    ASSERT_EQ(names->count(), 2);
    EXPECT_EQ(names->itemText(1), "Party");

    // The spin button stops at 5.
    auto* up = dialog.findChild<QWidget*>("c1017")->findChild<QAbstractButton*>("up");
    for (int i = 0; i < 3; ++i) up->click();
    EXPECT_EQ(digits->text(), "5");

    auto* ok = dialog.findChild<QPushButton*>("c1");
    for (const char* bad : {"0", "6", "", "x"}) {
        digits->setText(bad);
        ok->click();
        EXPECT_TRUE(dialog.isVisible()) << "'" << bad << "' keeps the dialog open";
    }
    EXPECT_EQ(refused.size(), 4);
    EXPECT_EQ(refused.front(), "Please enter an integer between 1 and 5.");
    EXPECT_EQ(shell::load_dialog_setting(shell::kRenameSeqCount), 4);

    digits->setText("3");
    names->setEditText("party");
    ok->click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.digits(), 3);
    EXPECT_EQ(shell::load_dialog_setting(shell::kRenameSeqCount), 3);
    EXPECT_EQ(shell::get_profile_int(u"renamedlg", u"namecount", 0), 2);
    EXPECT_EQ(shell::get_profile_string(u"renamedlg", u"name0", u""), u"party");
    EXPECT_EQ(shell::get_profile_string(u"renamedlg", u"name1", u""), u"Trip");
}

TEST_F(FileOperationsUiTest, DialogsShowEveryControlUnclipped) {
    make_image("dst/a rather long image name.jpg", {96, 64}, Qt::red);
    make_image("src/a rather long image name.jpg", {40, 80}, Qt::blue);
    for (bool multi : {false, true}) {
        OverwriteDialog dialog(multi, cache.get(), &parent);
        dialog.prepare(irl("src/a rather long image name.jpg"), irl("dst/a rather long image name.jpg"));
        QTRY_VERIFY_WITH_TIMEOUT(!dialog.findChild<PictureBox*>("c1123")->image().isNull(), 10000);
        expect_unclipped(dialog, multi ? "dialog176_multi" : "dialog176_single");
    }
    for (bool several : {false, true}) {
        RenameDialog dialog(several, &parent);
        dialog.set_name(u"IMG_0001");
        expect_unclipped(dialog, several ? "dialog142_several" : "dialog142_one");
    }
}

// ---- flows through the real dialogs ----

TEST_F(FileOperationsUiTest, CopyAndPasteWithNoToAll) {
    for (const char* name : {"1", "2", "3"}) make_file(QString("src/%1.jpg").arg(name), QByteArray("new") + name);
    make_file("dst/1.jpg", "old1");
    make_file("dst/2.jpg", "old2");
    auto ops = make_file_operations_ui(&parent, frame, cache.get());
    EXPECT_FALSE(ops->can_paste());
    ops->copy({node("src/1.jpg"), node("src/2.jpg"), node("src/3.jpg")});
    ASSERT_TRUE(ops->can_paste());

    // The desktop's clipboard offers the same files to file managers.
    const QMimeData* offered = QGuiApplication::clipboard()->mimeData();
    ASSERT_NE(offered, nullptr);
    ASSERT_EQ(offered->urls().size(), 3);
    EXPECT_EQ(offered->urls()[0], QUrl::fromLocalFile(path("src/1.jpg")));
    EXPECT_TRUE(offered->data("x-special/gnome-copied-files").startsWith("copy\nfile://"));

    {
        ModalScript script({click("c1044")});
        ops->paste(node("dst"));
        EXPECT_EQ(script.titles, std::vector<QString>{"Overwrite '1.jpg'?"});
    }
    EXPECT_EQ(read("dst/1.jpg"), "old1");
    EXPECT_EQ(read("dst/2.jpg"), "old2");
    EXPECT_EQ(read("dst/3.jpg"), "new3");
    EXPECT_EQ(listing("src"), (QStringList{"1.jpg", "2.jpg", "3.jpg"}));
    EXPECT_FALSE(ops->can_paste());
    EXPECT_EQ(frame.refreshes, 1);
    for (QWidget* top : QApplication::topLevelWidgets())
        EXPECT_FALSE(top->objectName() == "progress" && top->isVisible()) << "the progress window is closed";
}

TEST_F(FileOperationsUiTest, CutAndPasteWithCancelStopsTheRest) {
    for (const char* name : {"1", "2", "3"}) make_file(QString("src/%1.jpg").arg(name), name);
    make_file("dst/2.jpg", "old2");
    auto ops = make_file_operations_ui(&parent, frame, cache.get());
    ops->cut({node("src/1.jpg"), node("src/2.jpg"), node("src/3.jpg")});
    EXPECT_EQ(QGuiApplication::clipboard()->mimeData()->data("application/x-kde-cutselection"), "1");
    {
        ModalScript script({click("c1039")});
        ops->paste(node("dst"));
    }
    EXPECT_EQ(listing("dst"), (QStringList{"1.jpg", "2.jpg"}));
    EXPECT_EQ(read("dst/2.jpg"), "old2");
    EXPECT_EQ(listing("src"), (QStringList{"2.jpg", "3.jpg"}));
}

TEST_F(FileOperationsUiTest, DeleteReportsTheReadOnlyImage) {
    for (const char* name : {"1", "2", "3"}) make_file(QString("d/%1.jpg").arg(name), name);
    QFile::setPermissions(path("d/2.jpg"), QFileDevice::ReadOwner);
    auto ops = make_file_operations_ui(&parent, frame, cache.get());
    QString question, message;
    {
        ModalScript script({answer_box(QMessageBox::Yes, &question), answer_box(QMessageBox::Ok, &message)});
        ops->delete_files({node("d/1.jpg"), node("d/2.jpg"), node("d/3.jpg")});
    }
    EXPECT_EQ(question, "Delete the selected images?");
    EXPECT_EQ(message, "The image 2.jpg can't be deleted.\n(The file is read-only.)");
    EXPECT_EQ(listing("d"), QStringList{"2.jpg"});
    EXPECT_EQ(read("d/2.jpg"), "2");
}

TEST_F(FileOperationsUiTest, RenameThroughTheDialog) {
    for (const char* name : {"IMG_1", "IMG_2", "IMG_3"}) make_file(QString("d/%1.JPG").arg(name), name);
    auto ops = make_file_operations_ui(&parent, frame, cache.get());
    {
        ModalScript script({[](QWidget* modal) {
            modal->findChild<QComboBox*>("c1012")->setEditText("Trip");
            modal->findChild<QLineEdit*>("c1014")->setText("3");
            modal->findChild<QPushButton*>("c1")->click();
        }});
        ops->rename({node("d/IMG_3.JPG"), node("d/IMG_1.JPG"), node("d/IMG_2.JPG")});
    }
    EXPECT_EQ(listing("d"), (QStringList{"Trip001.JPG", "Trip002.JPG", "Trip003.JPG"}));
    EXPECT_EQ(read("d/Trip001.JPG"), "IMG_3");
    EXPECT_EQ(read("d/Trip003.JPG"), "IMG_2");
    EXPECT_EQ(frame.refreshes, 1);

    // One image: the field offers its name without the extension.
    {
        ModalScript script({[](QWidget* modal) {
            EXPECT_EQ(modal->findChild<QComboBox*>("c1012")->currentText(), "Trip001");
            modal->findChild<QComboBox*>("c1012")->setEditText("first");
            modal->findChild<QPushButton*>("c1")->click();
        }});
        ops->rename({node("d/Trip001.JPG")});
    }
    EXPECT_EQ(read("d/first.JPG"), "IMG_3");
}

// ---- drag tracker ----

struct RecordingPane : QWidget, DropTarget {
    void drag_over(const DragState& drag) override { calls << QString("over %1").arg(drag.files.size()); }
    void drop(const DragState& drag) override {
        calls << QString("drop %1").arg(drag.files.size());
        dropped_at = drag.global_position;
    }
    void drag_left() override { calls << "left"; }
    QStringList calls;
    QPoint dropped_at;
};

TEST_F(FileOperationsUiTest, DragTrackerTellsThePaneUnderThePointer) {
    make_file("a.jpg", "a");
    make_file("b.jpg", "b");
    RecordingPane pane;
    pane.setGeometry(100, 100, 200, 200);
    auto* inner = new QWidget(&pane);  // a child of the pane: the tracker walks up
    inner->setGeometry(10, 10, 100, 100);
    pane.show();
    QWidget elsewhere;
    elsewhere.setGeometry(400, 100, 100, 100);
    elsewhere.show();

    DragTracker tracker({node("a.jpg"), node("b.jpg")}, QPoint(450, 150));
    EXPECT_EQ(tracker.findChild<QLabel*>("b171")->pixmap().size(), QPixmap(":/bitmaps/drag_171.png").size());
    auto send = [&tracker](QEvent::Type type, QPoint global) {
        QMouseEvent event(type, tracker.mapFromGlobal(global), global, Qt::LeftButton,
                          type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&tracker, &event);
    };
    QTimer::singleShot(0, [&] {
        EXPECT_TRUE(tracker.isVisible());
        EXPECT_EQ(QWidget::mouseGrabber(), &tracker);
        EXPECT_EQ(tracker.geometry().center(), QPoint(450, 150));
        send(QEvent::MouseMove, QPoint(150, 150));
        EXPECT_EQ(tracker.geometry().center(), QPoint(150, 150));
        if (const char* folder = std::getenv("QELVIO_SHOT_DIR")) {
            QCoreApplication::processEvents();
            QTest::qWait(200);
            QGuiApplication::primaryScreen()->grabWindow(0, 0, 0, 400, 400).save(QDir(folder).filePath("drag171.png"));
        }
        send(QEvent::MouseMove, QPoint(160, 160));
        send(QEvent::MouseMove, QPoint(450, 150));  // off the pane
        send(QEvent::MouseMove, QPoint(200, 250));
        send(QEvent::MouseButtonRelease, QPoint(200, 250));
    });
    EXPECT_TRUE(tracker.run());
    EXPECT_EQ(pane.calls, (QStringList{"over 2", "over 2", "left", "over 2", "drop 2"}));
    EXPECT_EQ(pane.dropped_at, QPoint(200, 250));
    EXPECT_FALSE(tracker.isVisible());
    EXPECT_EQ(QWidget::mouseGrabber(), nullptr);
}

TEST_F(FileOperationsUiTest, DragTrackerTakesThePointerFromThePressedList) {
    // Input through the window system's path (QWindow events): pressed on
    // the list, moved and released over the pane, routed to the tracker by
    // its grab.
    make_file("a.jpg", "a");
    RecordingPane pane;
    pane.setGeometry(100, 100, 200, 200);
    pane.show();
    QWidget list;
    list.setGeometry(400, 100, 200, 200);
    list.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&pane));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&list));
    QTest::mousePress(list.windowHandle(), Qt::LeftButton, {}, QPoint(20, 20));
    DragTracker tracker({node("a.jpg")}, list.mapToGlobal(QPoint(30, 30)));
    QTimer::singleShot(0, [&] {
        QTest::mouseMove(pane.windowHandle(), QPoint(50, 60));
        QTest::mouseRelease(pane.windowHandle(), Qt::LeftButton, {}, QPoint(70, 80));
    });
    EXPECT_TRUE(tracker.run());
    // The window system may add a move to the release point first.
    ASSERT_GE(pane.calls.size(), 2);
    EXPECT_EQ(pane.calls.front(), "over 1");
    EXPECT_EQ(pane.calls.back(), "drop 1");
    EXPECT_FALSE(pane.calls.contains("left"));
    EXPECT_EQ(pane.dropped_at, pane.mapToGlobal(QPoint(70, 80)));
}

TEST_F(FileOperationsUiTest, DragTrackerEndsWithoutADropWhenTheGrabIsLost) {
    make_file("a.jpg", "a");
    RecordingPane pane;
    pane.setGeometry(100, 100, 200, 200);
    pane.show();
    DragTracker tracker({node("a.jpg")}, QPoint(150, 150));
    EXPECT_NE(tracker.findChild<QLabel*>("b170"), nullptr);
    QWidget other;
    other.setGeometry(400, 400, 50, 50);
    other.show();
    QTimer::singleShot(0, [&] { other.grabMouse(); });
    EXPECT_FALSE(tracker.run());
    other.releaseMouse();
    EXPECT_EQ(pane.calls, (QStringList{"over 1", "left"}));
}

}  // namespace
}  // namespace qelvio::browser::testing
