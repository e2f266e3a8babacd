#include "browser/ui/viewer_pane.h"

#include "browser/ui/busy_window.h"
#include "browser/ui/progress_window.h"
#include "browser/ui/properties_command.h"
#include "browser/ui/viewer_trace.h"
#include "browser/timing.h"
#include "metadata/ui/audio_dialog.h"
#include "resources/viewer_texts.h"
#include "shell/ui/record_key.h"
#include "decoding/source/image_source.h"
#include "imaging/ui/painter_target.h"
#include "metadata/wav_sound.h"
#include "platform/audio_player.h"
#include "platform/device_root.h"
#include "platform/ui/message_box.h"
#include "resources/command_ids.h"
#include "thumbnails/p_thumbcache.h"
#include "viewer/navigation.h"
#include "viewer/ui/jpeg_transform_dialog.h"
#include "viewer/ui/levels_dialog.h"
#include "viewer/ui/resize_dialog.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QTimerEvent>
#include <QToolButton>
#include <QWheelEvent>

#include <algorithm>
#include <chrono>
#include <string>

namespace qelvio::browser {
namespace {

using namespace qelvio::resources;

int64_t now_ms() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

QString qt(std::u16string_view text) { return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size())); }

// The overlay buttons: bitmap, object name, picture.
struct OverlaySpec {
    int bitmap;
    const char* name;
    const char* picture;
};
constexpr OverlaySpec kOverlay[] = {
    {viewer::kOverlayLeaveFullScreen, "leave_full_screen", ":/bitmaps/tb_fit.png"},
    {viewer::kOverlayZoomOut, "overlay_zoom_out", ":/bitmaps/tb_zoomout.png"},
    {viewer::kOverlayReturn, "overlay_browser", ":/bitmaps/tb_browser.png"},
    {viewer::kOverlayZoomIn, "overlay_zoom_in", ":/bitmaps/tb_zoomin.png"},
};

}  // namespace

ViewerPane::ViewerPane(FrameCalls& frame, QWidget* parent)
    : QWidget(parent), frame_(frame), view_(now_ms), session_(*this, view_), messages_(this) {
    setObjectName("viewer");
    setAutoFillBackground(false);
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(false);
    for (std::size_t i = 0; i < overlay_.size(); ++i) {
        auto* b = new QToolButton(this);
        b->setObjectName(kOverlay[i].name);
        b->setIcon(QIcon(kOverlay[i].picture));
        b->setIconSize(QSize(viewer::kOverlaySide, viewer::kOverlaySide));
        b->setFixedSize(viewer::kOverlaySide, viewer::kOverlaySide);
        b->setAutoRaise(true);
        b->hide();
        overlay_[i] = b;
        int bitmap = kOverlay[i].bitmap;
        connect(b, &QToolButton::clicked, this, [this, bitmap] {
            switch (bitmap) {
            case viewer::kOverlayLeaveFullScreen: frame_.request_full_screen(false); break;
            case viewer::kOverlayZoomOut: handle_command(kCmdZoomOut); break;
            case viewer::kOverlayZoomIn: handle_command(kCmdZoomIn); break;
            case viewer::kOverlayReturn: handle_command(kCmdReturnToBrowser); break;
            default: break;
            }
        });
    }
    marker_ = new QLabel(this);
    marker_->setObjectName("marker");
    marker_->setPixmap(QPixmap(":/bitmaps/marker_174.png"));
    marker_->adjustSize();
    marker_->setAttribute(Qt::WA_TransparentForMouseEvents);
    marker_->hide();
    rest_timer_.setSingleShot(true);
    rest_timer_.setInterval(viewer::kRestMs);
    connect(&rest_timer_, &QTimer::timeout, this, [this] { apply(view_.rest_timeout()); });
}

ViewerPane::~ViewerPane() {
    if (player_) player_->stop();
    messages_.detach();
    busy_.clear();
}

// ---- showing ----

bool ViewerPane::show_image(decoding::p_ImageSource* image) {
    if (image != image_) drop_image();
    if (!image) return false;
    if (timing_enabled()) {
        const char* how = image != prefetch_             ? "decoding"
                          : image->decode_running()      ? "waiting for the read-ahead"
                          : image->whole_image()         ? "read ahead"
                                                         : "decoding";
        timing_mark("viewer showing", how);
        trace_drawn_ = true;
    }
    if (image == prefetch_) {
        prefetch_ = nullptr;  // taken over; a read-ahead still running is waited for
        prefetch_index_ = -1;
    }
    if (image->set_mode(decoding::kModeViewing) < 0 || !image->whole_image()) {
        image->set_mode(decoding::kModeThumbnail);
        update();
        return false;
    }
    image_ = image;
    zoom_target_ = std::make_unique<viewer::ImageZoomTarget>(*image);
    view_.set_target(zoom_target_.get());
    view_.reset_tools();
    view_.set_client(width(), height());
    session_.set_image(image);
    view_.fit();
    setFocus();
    QWidget::repaint();
    if (settings_ && settings_->auto_audio && image->has_audio()) play_audio();
    // The next image in the direction of travel, once this one is on the
    // screen.
    QTimer::singleShot(0, this, [this] { read_ahead(); });
    return true;
}

void ViewerPane::read_ahead() {
    if (!image_ || !cache_) return;
    int shown = frame_.shown_index();
    if (shown < 0) return;
    std::function<bool(int)> selected;
    if (slides_.running() && slides_.selected_only()) selected = [this](int i) { return frame_.image_selected(i); };
    int next = viewer::prefetch_index(frame_.image_count(), shown, direction_, selected);
    if (next == prefetch_index_ && prefetch_) return;
    if (prefetch_ && prefetch_ != image_) prefetch_->set_mode(decoding::kModeThumbnail);
    prefetch_ = nullptr;
    prefetch_index_ = -1;
    if (next < 0) return;
    p_irl locator = frame_.image_locator(next);
    if (locator.isempty()) return;
    decoding::p_ImageSource* ahead = cache_->getimage(locator);
    if (!ahead || ahead == image_) return;
    // Decoded on the image's worker (message 2258 when done); a read-ahead
    // that fails is simply not used.
    if (ahead->read_ahead(&messages_) < 0) return;
    prefetch_ = ahead;
    prefetch_index_ = next;
}

void ViewerPane::finish_read_ahead() {
    prefetch_->finish_decode();
    // A message from an earlier read-ahead of the image, abandoned since.
    if (prefetch_->decode_running()) return;
    if (prefetch_->whole_image()) {
        timing_mark("viewer read ahead");
        return;
    }
    prefetch_->set_mode(decoding::kModeThumbnail);
    prefetch_ = nullptr;
    prefetch_index_ = -1;
}

void ViewerPane::play_audio() {
    if (!image_ || !image_->has_audio()) return;
    const std::vector<uint8_t>* wav = image_->audio();
    platform::Sound sound;
    if (!wav || metadata::read_wav_sound(wav->data(), wav->size(), sound) != 0) return;
    if (!player_) player_ = platform::make_audio_player();
    if (player_->play(std::move(sound)) != 0)
        platform::show_message(this, platform::string_text(35211), platform::MessageIcon::exclamation);
}

void ViewerPane::drop_image() {
    if (player_) player_->stop();
    if (session_.editing()) editing_layout(false);
    session_.set_image(nullptr);
    view_.set_target(nullptr);
    view_.reset_tools();
    if (image_) image_->set_mode(decoding::kModeThumbnail);
    image_ = nullptr;
    zoom_target_.reset();
    update();
}

void ViewerPane::release() {
    if (slides_.running()) stop_slideshow();
    drop_image();
    if (prefetch_) prefetch_->set_mode(decoding::kModeThumbnail);
    prefetch_ = nullptr;
    prefetch_index_ = -1;
}

bool ViewerPane::let_go_allowed() {
    bool was_editing = session_.editing();
    if (!session_.may_let_go()) return false;
    if (was_editing) editing_layout(false);
    return true;
}

void ViewerPane::return_to_browser() {
    if (!let_go_allowed()) return;
    release();
    if (!image_) frame_.return_to_browser();
}

void ViewerPane::step(int direction) {
    if (!image_) return;
    bool slides = slides_.running();
    std::function<bool(int)> selected;
    if (slides && slides_.selected_only()) selected = [this](int i) { return frame_.image_selected(i); };
    int next = viewer::step_index(frame_.image_count(), frame_.shown_index(), direction, slides, selected);
    if (next < 0 || next == frame_.shown_index()) return;
    if (!let_go_allowed()) return;
    direction_ = direction;
    if (slides) slides_.start(next, slides_.selected_only(), now_ms());  // the slide time restarts
    frame_.view_index(next);
}

// ---- slide show ----

void ViewerPane::start_slideshow(int index, bool selected_only) {
    if (view_.panning() || view_.selecting()) return;
    view_.reset_tools();
    direction_ = 1;
    slides_.start(index, selected_only, now_ms());
    if (frame_.shown_index() != index) frame_.view_index(index);
    if (slide_timer_) killTimer(slide_timer_);
    slide_timer_ = startTimer(kSlideCheckMs);
    frame_.set_viewer_command_visible(kCmdStopSlideShow, true);
    frame_.set_viewer_command_visible(kCmdEdit, false);
    frame_.set_viewer_command_visible(kCmdFitToScreen, false);
}

void ViewerPane::stop_slideshow() {
    if (!slides_.running() && !slide_timer_) return;
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
    if (next && let_go_allowed()) frame_.view_index(*next);
}

// ---- overlay ----

void ViewerPane::set_overlay(bool visible) {
    full_screen_ = visible;
    place_overlay();
    for (QToolButton* b : overlay_) {
        b->setVisible(visible);
        if (visible) b->raise();
    }
}

void ViewerPane::place_overlay() {
    for (std::size_t i = 0; i < overlay_.size(); ++i) {
        viewer::DibRect r = viewer::overlay_button_rect(kOverlay[i].bitmap, width(), height());
        overlay_[i]->move(r.left, r.top);
    }
}

// ---- commands ----

bool ViewerPane::handle_command(int id) {
    if (id == kCmdZoomFull || id == kCmdZoomIn || id == kCmdZoomOut || id == kCmdFitToScreen)
        timing_mark("viewer zoom command", std::to_string(id).c_str());
    switch (id) {
    case kCmdReturnToBrowser: return_to_browser(); return true;
    case kCmdFullScreen: frame_.request_full_screen(true); return true;
    case kCmdFitToScreen:
        view_.fit();
        update();
        mark_zoom();
        return true;
    case kCmdZoomFull:
        view_.zoom_to(viewer::kZoomFull, true);
        update();
        mark_zoom();
        return true;
    case kCmdZoomIn:
        apply(view_.zoom_in());
        mark_zoom();
        return true;
    case kCmdZoomOut:
        apply(view_.zoom_out());
        mark_zoom();
        return true;
    case kCmdZoomArea:
        view_.toggle_tool(viewer::kToolZoomArea);
        update();
        return true;
    case kCmdViewerSlideShow:
        if (slides_.running())
            stop_slideshow();
        else
            start_slideshow(std::max(frame_.shown_index(), 0), false);
        return true;
    case kCmdStopSlideShow: stop_slideshow(); return true;
    case kCmdViewerPlayAudio: play_audio(); return true;
    case kCmdViewerProperties:
        // The changes stay in the image object; letting go of it saves them.
        if (image_ && settings_ && cache_) PropertiesCommand(this, *settings_, *cache_).show(*image_);
        frame_.refresh_panes();
        update();
        return true;
    case kCmdRecordAudio: record_audio(false); return true;
    default: break;
    }
    if (settings_) session_.set_quality_setting(settings_->savequality);
    return session_.handle_command(id);
}

std::optional<CommandState> ViewerPane::command_state(int id) {
    CommandState s;
    switch (id) {
    case kCmdReturnToBrowser:
    case kCmdFullScreen:
    case kCmdFitToScreen:
    case kCmdZoomFull:
    case kCmdZoomIn:
    case kCmdZoomOut: return s;
    case kCmdZoomArea: s.pressed = view_.tool() == viewer::kToolZoomArea; return s;
    case kCmdViewerSlideShow:
        s.enabled = frame_.image_count() > 1;
        s.checked = slides_.running();
        return s;
    case kCmdStopSlideShow: s.enabled = slides_.running(); return s;
    case kCmdViewerPlayAudio: s.enabled = image_ && image_->has_audio(); return s;
    case kCmdViewerProperties:
    case kCmdRecordAudio: s.enabled = image_ != nullptr; return s;
    default: break;
    }
    auto edit = session_.command_state(id);
    if (!edit) return std::nullopt;
    s.enabled = edit->enabled;
    s.pressed = edit->pressed;
    s.checked = edit->pressed;
    return s;
}

// The audio dialog for the shown image (its device path, its audio, its
// read-only state); after OK on a writable image the image's audio is
// replaced, to be saved when the viewer lets go of the image.
void ViewerPane::record_audio(bool record_at_once) {
    if (!image_) return;
    uint32_t attributes = 0;
    p_filenode* file = image_->resolve_file();
    const bool read_only = file && file->getfileattributes(&attributes) >= 0 && (attributes & 1u);
    p_string path;
    image_->locator().get(nullptr, nullptr, &path);
    const std::vector<uint8_t>* audio = image_->audio();
    std::vector<uint8_t> result;
    if (!metadata::run_audio_dialog(this, std::u16string(path.view()), audio && !audio->empty() ? audio : nullptr,
                                    record_at_once, read_only, result) ||
        read_only)
        return;
    image_->set_audio(result.data(), result.size());
    update();
}

// The record key belongs to the viewer while it has the focus: a press
// opens the audio dialog recording at once (the dialog then holds the key,
// so its release stops the recording).
void ViewerPane::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    shell::record_key().claim(shell::kRecordKeyId, this, [this](bool down) {
        if (!down || !image_) return;
        uint32_t attributes = 0;
        p_filenode* file = image_->resolve_file();
        if (file && file->getfileattributes(&attributes) >= 0 && (attributes & 1u)) {
            platform::show_message(this, qt(resources::kTextReadOnlyNoEdit), platform::MessageIcon::information);
            return;
        }
        record_audio(true);
    });
}

void ViewerPane::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    shell::record_key().release(shell::kRecordKeyId, this);
}

// ---- input ----

void ViewerPane::apply(const viewer::Outcome& outcome) {
    if (outcome.stop_slide_show && slides_.running()) stop_slideshow();
    if (outcome.cancel_rest_timer) rest_timer_.stop();
    if (outcome.arm_rest_timer) rest_timer_.start();
    if (outcome.open_marker) {
        marker_->move(view_.press_x() - marker_->width() / 2, view_.press_y() - marker_->height() / 2);
        marker_->show();
        marker_->raise();
    }
    if (outcome.hide_overlay)
        for (QToolButton* b : overlay_) b->hide();
    if (outcome.show_overlay && full_screen_)
        for (QToolButton* b : overlay_) b->show();
    if (outcome.crop_requested) session_.crop();
    if (outcome.repaint) update();
}

void ViewerPane::mousePressEvent(QMouseEvent* event) {
    frame_.make_active(kPaneViewer);
    if (event->button() != Qt::LeftButton || !image_) return;
    apply(view_.press(event->position().toPoint().x(), event->position().toPoint().y(), full_screen_));
}

void ViewerPane::mouseMoveEvent(QMouseEvent* event) {
    QPoint at = event->position().toPoint();
    // The marker stays until the stylus moves more than 3 pixels.
    if (marker_->isVisible() &&
        (std::abs(at.x() - view_.press_x()) > 3 || std::abs(at.y() - view_.press_y()) > 3))
        marker_->hide();
    apply(view_.move(at.x(), at.y()));
}

void ViewerPane::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    marker_->hide();
    apply(view_.release(full_screen_));
}

void ViewerPane::wheelEvent(QWheelEvent* event) {
    int delta = event->angleDelta().y();
    if (!image_ || delta == 0) return;
    handle_command(delta > 0 ? kCmdZoomIn : kCmdZoomOut);
    event->accept();
}

void ViewerPane::keyPressEvent(QKeyEvent* event) {
    // Plus and minus zoom by the wheel's steps ("=" is plus without Shift).
    switch (event->key()) {
    case Qt::Key_Plus:
    case Qt::Key_Equal:
        if (image_) handle_command(kCmdZoomIn);
        return event->accept();
    case Qt::Key_Minus:
        if (image_) handle_command(kCmdZoomOut);
        return event->accept();
    default: break;
    }
    int direction = event->key() == Qt::Key_Up ? -1 : event->key() == Qt::Key_Down ? 1 : 0;
    if (direction == 0) return QWidget::keyPressEvent(event);
    event->accept();
    timing_mark("viewer key");
    if (!view_.accept_key()) return;  // within 250 ms of the last one
    step(direction);
}

void ViewerPane::resizeEvent(QResizeEvent*) {
    if (image_) {
        apply(view_.resize(width(), height()));
    } else {
        view_.set_client(width(), height());
    }
    place_overlay();
}

// ---- drawing ----

bool ViewerPane::event(QEvent* event) {
    if (event->type() == platform::NumberedMessageEvent::event_type()) {
        auto* message = static_cast<platform::NumberedMessageEvent*>(event);
        if (message->message() != decoding::kMessageDecodeDone) return true;
        auto* source = reinterpret_cast<decoding::p_ImageSource*>(message->first());
        int kind = static_cast<int>(message->second());
        if (source != image_ || !image_) {
            if (source && source == prefetch_) finish_read_ahead();
            return true;
        }
        image_->finish_decode();
        if (kind >= 0) {
            // Only the area the finished tile covers is drawn again; the
            // next tile starts at once.
            imaging::DibRect at = image_->tile_position(last_origin_, kind);
            tile_paint_ = true;
            update(QRect(at.left, at.top, at.right - at.left, at.bottom - at.top));
            image_->next_tile(&messages_);
        }
        return true;
    }
    return QWidget::event(event);
}

void ViewerPane::paintEvent(QPaintEvent*) {
    TracedSpan span;
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    if (!image_ || !image_->whole_image()) return;
    viewer::DibRect part = view_.visible_image_part();
    viewer::DibRect at = view_.image_to_client(part);
    imaging::PainterDrawingTarget target(painter, depth());
    last_origin_ = {at.left, at.top};
    last_part_ = part;
    image_->draw(target, last_origin_, &part, -1, tile_paint_);
    const bool tile_arrived = tile_paint_;
    if (tile_arrived) timing_mark("viewer tile drawn");
    tile_paint_ = false;
    if (image_->tiled() && !image_->decode_running()) image_->next_tile(&messages_);
    if (view_.has_selection()) {
        viewer::DibRect s = view_.image_to_client(view_.selection());
        QPen pen(Qt::black, 1, Qt::DotLine);
        painter.setPen(pen);
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(QRect(s.left, s.top, s.right - s.left - 1, s.bottom - s.top - 1));
    }
    span.report("viewer painted", tile_arrived ? "tile" : "view");
    if (trace_drawn_) timing_mark("viewer image drawn");
    trace_drawn_ = false;
    // The last visible tile has come when no further one was started.
    if (tile_arrived && !image_->decode_running()) timing_mark("viewer visible tiles drawn");
}

// ---- editing's host ----

void ViewerPane::mark_zoom() const {
    if (timing_enabled()) timing_mark("viewer zoom", std::to_string(view_.zoom()).c_str());
}

int ViewerPane::ask(std::u16string_view text, int buttons) {
    QMessageBox::StandardButtons shown = QMessageBox::Yes | QMessageBox::No;
    if (buttons == platform::kButtonsYesNoCancel) shown |= QMessageBox::Cancel;
    QMessageBox box(QMessageBox::Question, platform::string_text(57344), qt(text), shown, this);
    int answer = run_modal(box);
    if (answer == QMessageBox::Yes) return platform::kAnswerYes;
    if (answer == QMessageBox::No) return platform::kAnswerNo;
    return buttons == platform::kButtonsYesNo ? platform::kAnswerNo : platform::kAnswerCancel;
}

void ViewerPane::tell(std::u16string_view text) {
    platform::show_message(this, qt(text), platform::MessageIcon::exclamation);
    reactivate();
}

void ViewerPane::busy(bool on) {
    if (on) {
        busy_.push_back(std::make_unique<BusyScope>());
    } else if (!busy_.empty()) {
        busy_.pop_back();
    }
}

void ViewerPane::fit() {
    view_.fit();
    update();
}

void ViewerPane::editing_layout(bool editing) {
    frame_.set_viewer_command_visible(kEditingLayoutCommand, editing);
}

std::optional<std::u16string> ViewerPane::ask_save_path() {
    QFileDialog dialog(this);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix("jpg");
    dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
    // Names only: the detail columns do not fit a dialog on this screen.
    dialog.setViewMode(QFileDialog::List);
    // The dialog opens in the edited image's folder (not the program's
    // working folder, which means nothing to the user).
    if (image_) {
        p_string path;
        image_->locator().get(nullptr, nullptr, &path);
        dialog.setDirectory(QFileInfo(QString::fromStdString(platform::to_local_path(path.view()))).absolutePath());
    }
    // A place outside the device root has no device path: the user is told
    // and chooses again, instead of the save being dropped in silence.
    while (run_modal(dialog) == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
        if (auto path = platform::to_device_path(dialog.selectedFiles().front().toStdString())) return path;
        tell(resources::kTextSaveOutsideDevice);
    }
    return std::nullopt;
}

void ViewerPane::open_saved(const p_irl& locator) {
    release();
    frame_.open_locator(locator);
}

decoding::ProgressWindow* ViewerPane::progress_window() {
    if (!progress_) progress_ = std::make_unique<CoreProgressWindow>();
    return progress_.get();
}

void ViewerPane::forget(const p_irl& locator) {
    if (cache_) cache_->forget(locator);
}

// Runs a modal dialog; the frame is made the active window again after it,
// since without a window manager nothing else would (its keys would stop).
int ViewerPane::run_modal(QDialog& dialog) {
    int result = dialog.exec();
    reactivate();
    return result;
}

void ViewerPane::reactivate() {
    // After the closed window has handed activation on (or not).
    QTimer::singleShot(0, this, [this] {
        QWidget* frame_window = window();
        if (QApplication::activeWindow() || !frame_window->isVisible()) return;
        frame_window->activateWindow();
        if (!QApplication::activeWindow()) QApplication::setActiveWindow(frame_window);
    });
}

bool ViewerPane::levels_dialog(decoding::p_ImageSource& image, imaging::LevelsParams& params) {
    viewer::LevelsDialog dialog(image, this);
    trace_levels_preview(dialog);
    if (run_modal(dialog) != QDialog::Accepted) return false;
    params = dialog.params();
    return true;
}

bool ViewerPane::resize_dialog(int width, int height, int& new_width, int& new_height) {
    QSize screen_size = screen() ? screen()->size() : QSize(width, height);
    viewer::ResizeDialog dialog(width, height, screen_size, this);
    if (run_modal(dialog) != QDialog::Accepted) return false;
    new_width = dialog.new_width();
    new_height = dialog.new_height();
    return true;
}

int ViewerPane::transform_dialog(decoding::p_ImageSource& image) {
    viewer::JpegTransformDialog dialog(image, this);
    return run_modal(dialog) == QDialog::Accepted ? dialog.code() : 0;
}

}  // namespace qelvio::browser
