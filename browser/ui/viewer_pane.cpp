#include "browser/ui/viewer_pane.h"

#include "decoding/source/image_source.h"
#include "imaging/resample.h"
#include "imaging/ui/painter_target.h"

#include <QPainter>
#include <QTimerEvent>

#include <algorithm>
#include <chrono>
#include <QToolButton>

namespace qelvio::browser {
namespace {

constexpr int kCmdReturnToBrowser = 32810;
constexpr int kCmdFullScreen = 32771;
constexpr int kCmdFitToScreen = 32860;
constexpr int kCmdSlideShow = 32909;
constexpr int kCmdStopSlideShow = 32797;
constexpr int kCmdEdit = 32841;

int64_t now_ms() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

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
    drop_image();
    if (!image) return false;
    if (image->set_mode(decoding::kModeViewing) < 0 || !image->whole_image()) {
        image->set_mode(decoding::kModeNothing);
        return false;
    }
    image_ = image;
    update();
    return true;
}

void ViewerPane::drop_image() {
    if (image_) image_->set_mode(decoding::kModeThumbnail);
    image_ = nullptr;
    update();
}

void ViewerPane::release() {
    if (slides_.running()) stop_slideshow();
    drop_image();
}

void ViewerPane::start_slideshow(int index, bool selected_only) {
    slides_.start(index, selected_only, now_ms());
    if (frame_.shown_index() != index) frame_.view_index(index);
    if (slide_timer_) killTimer(slide_timer_);
    slide_timer_ = startTimer(kSlideCheckMs);
    frame_.set_viewer_command_visible(kCmdStopSlideShow, true);
    frame_.set_viewer_command_visible(kCmdEdit, false);
    frame_.set_viewer_command_visible(kCmdFitToScreen, false);
}

void ViewerPane::stop_slideshow() {
    slides_.stop();
    if (slide_timer_) killTimer(slide_timer_);
    slide_timer_ = 0;
    frame_.set_viewer_command_visible(kCmdStopSlideShow, false);
    frame_.set_viewer_command_visible(kCmdEdit, true);
    frame_.set_viewer_command_visible(kCmdFitToScreen, true);
}

void ViewerPane::timerEvent(QTimerEvent* event) {
    if (event->timerId() != slide_timer_) return QWidget::timerEvent(event);
    const int64_t interval = slide_interval_ms(frame_.slide_interval());
    auto next = slides_.check(now_ms(), interval, frame_.image_count(),
                              [this](int i) { return frame_.image_selected(i); });
    if (next) frame_.view_index(*next);
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
    case kCmdSlideShow:
        if (slides_.running())
            stop_slideshow();
        else
            start_slideshow(std::max(frame_.shown_index(), 0), false);
        return true;
    case kCmdStopSlideShow: stop_slideshow(); return true;
    default: return false;
    }
}

std::optional<CommandState> ViewerPane::command_state(int id) {
    CommandState s;
    switch (id) {
    case kCmdReturnToBrowser: return s;
    case kCmdFullScreen: return s;
    case kCmdFitToScreen: s.checked = true; s.pressed = true; return s;
    case kCmdSlideShow: s.enabled = frame_.image_count() > 1; s.checked = slides_.running(); return s;
    case kCmdStopSlideShow: s.enabled = slides_.running(); return s;
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
