// The "JPEG Transform" dialog (157): five TransformButtons (rotate 270,
// 180, 90, mirror left-right, mirror top-bottom) over a square preview of
// the image as the chosen transformation leaves it. A second click on the
// selected button takes the choice back; OK with nothing chosen does
// nothing. The caller reads code() afterwards.
#pragma once

#include "shell/ui/dialog_base.h"
#include "viewer/transform_choice.h"

#include <QPixmap>
#include <QWidget>

#include <array>

namespace qelvio::decoding {
class p_ImageSource;
}

namespace qelvio::viewer {

class DibPreview;

// A 24 x 24 button with a normal and a selected picture of its
// transformation.
class TransformButton : public QWidget {
    Q_OBJECT
public:
    TransformButton(int index, QWidget* parent);
    int index() const { return index_; }
    bool selected() const { return selected_; }
    void set_selected(bool selected);

signals:
    void clicked(int index);

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent*) override;
    void keyPressEvent(QKeyEvent*) override;
    void focusInEvent(QFocusEvent*) override { update(); }
    void focusOutEvent(QFocusEvent*) override { update(); }

private:
    int index_;
    bool selected_ = false;
    QPixmap normal_;
    QPixmap chosen_;
};

// The picture of a button (index 0 to 4), normal or selected.
QPixmap transform_button_picture(int index, bool selected);

class JpegTransformDialog : public shell::DialogBase {
    Q_OBJECT
public:
    JpegTransformDialog(decoding::p_ImageSource& image, QWidget* parent = nullptr);
    int code() const { return choice_.code(); }
    TransformButton* button(int index) const { return buttons_.at(static_cast<std::size_t>(index)); }
    DibPreview* preview() const { return preview_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void click(int index);
    void place_buttons();

    TransformChoice choice_;
    QWidget* placeholder_;
    std::array<TransformButton*, kTransformButtons> buttons_{};
    DibPreview* preview_;
};

}  // namespace qelvio::viewer
