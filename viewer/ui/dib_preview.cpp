#include "viewer/ui/dib_preview.h"

#include "imaging/ui/painter_target.h"
#include "viewer/fitted_preview.h"
#include "viewer/transform_choice.h"

#include <QPainter>

namespace qelvio::viewer {

DibPreview::DibPreview(decoding::p_ImageSource& image, bool square, QWidget* parent)
    : QWidget(parent), image_(image), square_(square) {}

QRect DibPreview::area() const {
    QRect r = rect();
    if (!square_) return r;
    imaging::DibRect s = square_within({r.left(), r.top(), r.left() + r.width(), r.top() + r.height()});
    return QRect(s.left, s.top, s.right - s.left, s.bottom - s.top);
}

const imaging::Dib* DibPreview::reduced() {
    if (!made_) {
        made_ = true;
        QRect a = area();
        reduced_ = fitted_preview(image_, a.width() - 4, a.height() - 4);
        if (reduced_) shown_ = imaging::DibCopy(*reduced_);
    }
    return reduced_.get();
}

void DibPreview::show_with(const Operation& operation) {
    const imaging::Dib* source = reduced();
    if (!source) return;
    if (imaging::DibPtr result = operation(*source)) shown_ = std::move(result);
    repaint();
}

QRect DibPreview::picture_rect() const {
    if (!shown_) return {};
    QRect a = area();
    int w = imaging::DibWidth(*shown_), h = imaging::DibHeight(*shown_);
    return QRect(a.left() + (a.width() - w) / 2, a.top() + (a.height() - h) / 2, w, h);
}

void DibPreview::paintEvent(QPaintEvent*) {
    reduced();
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    if (!shown_) return;
    QRect at = picture_rect();
    imaging::PainterDrawingTarget target(painter, 24);
    imaging::DibDraw(*shown_, target, {at.left(), at.top(), at.right() + 1, at.bottom() + 1});
    painter.setPen(Qt::black);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(at.adjusted(-1, -1, 0, 0));
}

LevelsPreview::LevelsPreview(decoding::p_ImageSource& image, QWidget* parent) : DibPreview(image, false, parent) {
    setObjectName("c3921");
}

void LevelsPreview::set_params(const imaging::LevelsParams& params) {
    show_with([params](const imaging::Dib& dib) { return imaging::DibLevels(dib, params); });
}

}  // namespace qelvio::viewer
