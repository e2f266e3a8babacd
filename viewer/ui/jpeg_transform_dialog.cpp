#include "viewer/ui/jpeg_transform_dialog.h"

#include "resources/viewer_texts.h"
#include "viewer/ui/dib_preview.h"

#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QTransform>
#include <QVBoxLayout>

namespace qelvio::viewer {

QPixmap transform_button_picture(int index, bool selected) {
    // A letter "F" as the transformation leaves it: its turn or mirror
    // reads at a glance and no two buttons look alike.
    QPixmap pixmap(kTransformButtonSide, kTransformButtonSide);
    QColor ground = selected ? QColor(0, 0, 128) : QColor(255, 255, 255);
    QColor ink = selected ? QColor(255, 255, 255) : QColor(0, 0, 0);
    pixmap.fill(ground);
    QPainter painter(&pixmap);
    painter.setPen(QColor(128, 128, 128));
    painter.drawRect(0, 0, kTransformButtonSide - 1, kTransformButtonSide - 1);
    QTransform turn;
    turn.translate(12, 12);
    switch (kTransformCodes[static_cast<std::size_t>(index)]) {
    case 7: turn.rotate(-90); break;
    case 6: turn.rotate(180); break;
    case 5: turn.rotate(90); break;
    case 1: turn.scale(-1, 1); break;
    case 2: turn.scale(1, -1); break;
    default: break;
    }
    painter.setTransform(turn);
    painter.fillRect(-5, -8, 3, 16, ink);  // stem
    painter.fillRect(-5, -8, 10, 3, ink);  // top bar
    painter.fillRect(-5, -1, 7, 3, ink);   // middle bar
    return pixmap;
}

TransformButton::TransformButton(int index, QWidget* parent)
    : QWidget(parent), index_(index), normal_(transform_button_picture(index, false)),
      chosen_(transform_button_picture(index, true)) {
    setObjectName(QString("c%1").arg(kTransformButtonFirstId + index));
    setFixedSize(kTransformButtonSide, kTransformButtonSide);
    setFocusPolicy(Qt::StrongFocus);
}

void TransformButton::set_selected(bool selected) {
    if (selected_ == selected) return;
    selected_ = selected;
    update();
}

void TransformButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QPixmap& picture = selected_ ? chosen_ : normal_;
    painter.drawPixmap((width() - picture.width()) / 2, (height() - picture.height()) / 2, picture);
    if (hasFocus()) {
        painter.setPen(QPen(selected_ ? Qt::white : Qt::black, 1, Qt::DotLine));
        painter.drawRect(rect().adjusted(2, 2, -3, -3));
    }
}

void TransformButton::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) emit clicked(index_);
}

// Tab reaches the buttons; Space clicks the one with the focus.
void TransformButton::keyPressEvent(QKeyEvent* event) {
    if (event->key() != Qt::Key_Space) return QWidget::keyPressEvent(event);
    emit clicked(index_);
}

JpegTransformDialog::JpegTransformDialog(decoding::p_ImageSource& image, QWidget* parent)
    : shell::DialogBase(parent, u"jpeg_transform") {
    setWindowTitle(QString::fromUtf16(resources::kTextTransformTitle));
    body()->addWidget(new QLabel(QString::fromUtf16(resources::kTextSelectTransformation), this));
    placeholder_ = new QWidget(this);
    placeholder_->setObjectName("c1036");
    placeholder_->setFixedHeight(kTransformButtonSide);
    placeholder_->setMinimumWidth(5 * (kTransformButtonSide + 8));
    placeholder_->installEventFilter(this);
    for (int i = 0; i < kTransformButtons; ++i) {
        auto* b = new TransformButton(i, placeholder_);
        buttons_[static_cast<std::size_t>(i)] = b;
        connect(b, &TransformButton::clicked, this, &JpegTransformDialog::click);
    }
    body()->addWidget(placeholder_);
    preview_ = new DibPreview(image, true, this);
    preview_->setObjectName("c1114");
    preview_->setMinimumSize(120, 120);
    body()->addWidget(preview_, 1);
    place_buttons();
    buttons_[0]->setFocus();
}

bool JpegTransformDialog::eventFilter(QObject* watched, QEvent* event) {
    if (watched == placeholder_ && event->type() == QEvent::Resize) place_buttons();
    return shell::DialogBase::eventFilter(watched, event);
}

void JpegTransformDialog::place_buttons() {
    for (int i = 0; i < kTransformButtons; ++i)
        buttons_[static_cast<std::size_t>(i)]->move(transform_button_x(0, placeholder_->width(), i), 0);
}

void JpegTransformDialog::click(int index) {
    choice_.click(index);
    for (int i = 0; i < kTransformButtons; ++i) buttons_[static_cast<std::size_t>(i)]->set_selected(choice_.selected(i));
    int code = choice_.code();
    preview_->show_with([code](const imaging::Dib& dib) { return transform_preview(dib, code); });
}

}  // namespace qelvio::viewer
