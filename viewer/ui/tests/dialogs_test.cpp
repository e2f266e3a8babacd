// The Levels, Resize and JPEG Transform dialogs, offscreen: the controls by
// their numbers, typed text and clicks, and what the previews show.
#include "viewer/ui/dib_preview.h"
#include "viewer/ui/jpeg_transform_dialog.h"
#include "viewer/ui/levels_dialog.h"
#include "viewer/ui/resize_dialog.h"

#include "imaging/resample.h"
#include "imaging/transform.h"
#include "storage/tests/device_fixture.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <QTimer>

#include <cstring>

namespace qd = qelvio::decoding;
namespace qi = qelvio::imaging;
using namespace qelvio::viewer;

namespace {

template <class T>
T* child(QWidget* parent, const char* name) {
    T* w = parent->findChild<T*>(name);
    EXPECT_NE(w, nullptr) << name;
    return w;
}

bool same_pixels(const qi::Dib& a, const qi::Dib& b) {
    if (qi::DibWidth(a) != qi::DibWidth(b) || qi::DibHeight(a) != qi::DibHeight(b) ||
        qi::DibBitCount(a) != qi::DibBitCount(b))
        return false;
    for (int row = 0; row < qi::DibHeight(a); ++row)
        if (std::memcmp(qi::DibRow(a, row), qi::DibRow(b, row), static_cast<std::size_t>(qi::DibWidth(a)) * 3) != 0)
            return false;
    return true;
}

// Closes the next message box and keeps its text.
void close_next_message_box(QString* text) {
    QTimer::singleShot(0, [text] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            *text = box->text();
            box->accept();
        }
    });
}

// With QELVIO_SCREENSHOT_DIR set, keeps a picture of the dialog there.
void save_screenshot(QWidget& widget, const char* name) {
    if (const char* dir = std::getenv("QELVIO_SCREENSHOT_DIR")) widget.grab().save(QString(dir) + "/" + name);
}

class Dialogs : public DeviceFixture {
protected:
    void open_image(const char* geometry) {
        std::string command = std::string("convert -size ") + geometry +
                              " gradient:navy-orange -quality 92 '" + (root / "p.jpg").string() + "'";
        ASSERT_EQ(std::system(command.c_str()), 0);
        p_irl locator;
        locator.set(u"file", u"", u"\\p.jpg");
        image = std::make_unique<qd::p_ImageSource>(locator);
        ASSERT_EQ(image->set_mode(qd::kModeViewing), 0);
    }
    std::unique_ptr<qd::p_ImageSource> image;
};

}  // namespace

TEST_F(Dialogs, LevelsKeepsBlackBelowWhiteAndPreviewsEveryStep) {
    open_image("400x300");
    LevelsDialog dialog(*image);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    EXPECT_EQ(dialog.windowTitle(), "Levels");
    EXPECT_EQ(dialog.help_topic(), u"levels");
    auto* black = child<QSlider>(&dialog, "c1002");
    auto* white = child<QSlider>(&dialog, "c1003");
    EXPECT_EQ(child<QSlider>(&dialog, "c1004")->value(), 100);
    EXPECT_EQ(child<QSlider>(&dialog, "c1005")->maximum(), 10);
    LevelsPreview* preview = child<LevelsPreview>(&dialog, "c3921");
    const qi::Dib* reduced = preview->reduced();
    ASSERT_NE(reduced, nullptr);
    qi::DibSize fitted = qi::FitWithin(preview->width() - 4, preview->height() - 4, 400, 300);
    EXPECT_EQ(qi::DibWidth(*reduced), fitted.width);
    EXPECT_EQ(qi::DibHeight(*reduced), fitted.height);
    EXPECT_TRUE(same_pixels(*preview->shown(), *reduced));  // neutral levels

    black->setValue(40);
    EXPECT_FALSE(same_pixels(*preview->shown(), *reduced));
    white->setValue(10);
    EXPECT_EQ(black->value(), 9);
    EXPECT_EQ(black->maximum(), 9);
    qi::LevelsParams p = dialog.params();
    EXPECT_EQ(p.black, 9);
    EXPECT_EQ(p.white, 10);
    qi::DibPtr expected = qi::DibLevels(*reduced, p);
    EXPECT_TRUE(same_pixels(*preview->shown(), *expected));
    save_screenshot(dialog, "levels.png");
}

TEST_F(Dialogs, ResizeFollowsTheAspectAndRefusesSizesOutside16To4096) {
    ResizeDialog dialog(640, 480, QSize(1024, 768));
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    EXPECT_EQ(dialog.help_topic(), u"resize");
    auto* width = child<QLineEdit>(&dialog, "c1005");
    auto* height = child<QLineEdit>(&dialog, "c1006");
    EXPECT_EQ(width->text(), "640");
    EXPECT_TRUE(child<QCheckBox>(&dialog, "c1007")->isChecked());
    for (auto [typed, shown] : {std::pair{"320", "240"}, std::pair{"100", "75"}}) {
        width->selectAll();
        QTest::keyClicks(width, typed);
        EXPECT_EQ(height->text(), shown) << typed;
    }
    QTest::mouseClick(child<QPushButton>(&dialog, "c1076"), Qt::LeftButton);
    EXPECT_EQ(height->text(), "768");
    EXPECT_EQ(width->text(), "1024");

    QTest::mouseClick(child<QCheckBox>(&dialog, "c1007"), Qt::LeftButton);
    width->selectAll();
    QTest::keyClicks(width, "15");
    EXPECT_EQ(height->text(), "768");
    QString message;
    close_next_message_box(&message);
    dialog.accept();
    EXPECT_EQ(message, "Please enter an integer between 16 and 4096.");
    EXPECT_TRUE(dialog.isVisible());
    width->selectAll();
    QTest::keyClicks(width, "4097");
    message.clear();
    close_next_message_box(&message);
    dialog.accept();
    EXPECT_FALSE(message.isEmpty());
    EXPECT_TRUE(dialog.isVisible());

    width->selectAll();
    QTest::keyClicks(width, "16");
    dialog.accept();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.new_width(), 16);
    EXPECT_EQ(dialog.new_height(), 768);
}

TEST_F(Dialogs, TransformButtonsChooseAndTakeBackAndThePreviewFollows) {
    open_image("160x90");
    JpegTransformDialog dialog(*image);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    EXPECT_EQ(dialog.windowTitle(), "JPEG Transform");
    EXPECT_EQ(dialog.help_topic(), u"jpeg_transform");
    QWidget* placeholder = child<QWidget>(&dialog, "c1036");
    for (int i = 0; i < kTransformButtons; ++i) {
        auto* b = child<TransformButton>(&dialog, QString("c%1").arg(100 + i).toUtf8().constData());
        EXPECT_EQ(b->x(), transform_button_x(0, placeholder->width(), i));
        EXPECT_EQ(b->size(), QSize(24, 24));
    }
    DibPreview* preview = child<DibPreview>(&dialog, "c1114");
    const qi::Dib* reduced = preview->reduced();
    ASSERT_NE(reduced, nullptr);
    QRect square = preview->rect();
    int side = std::min(square.width(), square.height());
    qi::DibSize fitted = qi::FitWithin(side - 4, side - 4, 160, 90);
    EXPECT_EQ(qi::DibWidth(*reduced), fitted.width);

    QTest::mouseClick(dialog.button(0), Qt::LeftButton, {}, QPoint(12, 12));
    EXPECT_EQ(dialog.code(), 7);
    EXPECT_TRUE(dialog.button(0)->selected());
    EXPECT_EQ(qi::DibWidth(*preview->shown()), fitted.height);  // a quarter turn
    EXPECT_TRUE(same_pixels(*preview->shown(), *qi::DibRotate(*reduced, -90)));
    save_screenshot(dialog, "transform.png");

    QTest::mouseClick(dialog.button(3), Qt::LeftButton, {}, QPoint(12, 12));
    EXPECT_EQ(dialog.code(), 1);
    EXPECT_FALSE(dialog.button(0)->selected());
    EXPECT_TRUE(same_pixels(*preview->shown(), *qi::DibFlip(*reduced, true, false)));
    QTest::mouseClick(dialog.button(3), Qt::LeftButton, {}, QPoint(12, 12));
    EXPECT_EQ(dialog.code(), 0);
    EXPECT_TRUE(same_pixels(*preview->shown(), *reduced));
}

// Keys alone work each dialog: the first control has the focus when it
// opens (the OK button comes first in the focus chain), and Enter is OK.
TEST_F(Dialogs, KeysReachTheControlsFirst) {
    open_image("160x90");
    {
        LevelsDialog dialog(*image);
        dialog.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
        auto* black = child<QSlider>(&dialog, "c1002");
        EXPECT_EQ(QApplication::focusWidget(), black);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_PageUp);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_PageUp);
        EXPECT_EQ(dialog.params().black, 20);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
    }
    {
        ResizeDialog dialog(640, 480, QSize(1024, 768));
        dialog.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
        QTest::keyClicks(QApplication::focusWidget(), "320");
        EXPECT_EQ(child<QLineEdit>(&dialog, "c1006")->text(), "240");
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
        EXPECT_EQ(dialog.new_width(), 320);
    }
    {
        JpegTransformDialog dialog(*image);
        dialog.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
        EXPECT_EQ(QApplication::focusWidget(), dialog.button(0));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), dialog.button(2));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
        EXPECT_EQ(dialog.code(), 5);  // the quarter turn clockwise
        save_screenshot(dialog, "transform-keys.png");
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
    }
}
