#include "browser/ui/viewer_pane.h"

#include "decoding/source/image_source.h"
#include "imaging/resample.h"
#include "imaging/ui/painter_target.h"

#include <QPainter>
#include <QToolButton>

namespace qelvio::browser {
namespace {

constexpr int kCmdReturnToBrowser = 32810;
constexpr int kCmdFullScreen = 32771;
constexpr int kCmdFitToScreen = 32860;

}  // namespace

ViewerPane::ViewerPane(FrameCalls& frame, QWidget* parent) : QWidget(parent), frame_(frame) {
    setObjectName("viewer");
    setAutoFillBackground(false);
    overlay_ = new QToolButton(this);
    overlay_->setObjectName("leave_full_screen");
    overlay_->setIcon(QIcon(":/bitmaps/tb_fit.png"));
    overlay_->hide();
    connect(overlay_, &QToolButton::clicked, this, [this] { frame_.request_full_screen(false); });
}

bool ViewerPane::show_image(decoding::p_ImageSource* image) {
    release();
    if (!image) return false;
    if (image->set_mode(decoding::kModeViewing) < 0 || !image->whole_image()) {
        image->set_mode(decoding::kModeNothing);
        return false;
    }
    image_ = image;
    update();
    return true;
}

void ViewerPane::release() {
    if (image_) image_->set_mode(decoding::kModeThumbnail);
    image_ = nullptr;
    update();
}

void ViewerPane::set_overlay(bool visible) {
    overlay_->setVisible(visible);
    overlay_->raise();
}

bool ViewerPane::handle_command(int id) {
    switch (id) {
    case kCmdReturnToBrowser:
        release();
        if (!image_) frame_.return_to_browser();
        return true;
    case kCmdFullScreen: frame_.request_full_screen(true); return true;
    case kCmdFitToScreen: update(); return true;
    default: return false;
    }
}

std::optional<CommandState> ViewerPane::command_state(int id) {
    CommandState s;
    switch (id) {
    case kCmdReturnToBrowser: return s;
    case kCmdFullScreen: return s;
    case kCmdFitToScreen: s.checked = true; s.pressed = true; return s;
    default: return std::nullopt;
    }
}

void ViewerPane::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    if (!image_ || !image_->whole_image()) return;
    const imaging::Dib& dib = *image_->whole_image();
    const int w = imaging::DibWidth(dib), h = imaging::DibHeight(dib);
    // Fitted: the largest size of the image's shape inside the pane, never
    // enlarged, centred.
    // The page's own size decides the fit; the decoded bitmap may be smaller.
    imaging::DibSize page = image_->size();
    imaging::DibSize fitted = imaging::FitWithin(width(), height(), page.width, page.height);
    const int left = (width() - fitted.width) / 2, top = (height() - fitted.height) / 2;
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    imaging::PainterDrawingTarget target(painter, depth());
    target.stretch(dib, {left, top, left + fitted.width, top + fitted.height}, {0, 0, w, h},
                   imaging::RasterOp::SourceCopy);
}

void ViewerPane::mousePressEvent(QMouseEvent*) { frame_.make_active(kPaneViewer); }

void ViewerPane::resizeEvent(QResizeEvent*) { overlay_->move(width() - overlay_->sizeHint().width() - 4, 4); }

}  // namespace qelvio::browser
