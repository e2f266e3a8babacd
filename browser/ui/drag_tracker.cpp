#include "browser/ui/drag_tracker.h"

#include <QApplication>
#include <QEventLoop>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QTimer>
#include <QVBoxLayout>

namespace qelvio::browser {

DragTracker::DragTracker(std::vector<p_filenode*> files, QPoint global_start)
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus |
                           Qt::X11BypassWindowManagerHint) {
    setObjectName("dragtracker");
    setAttribute(Qt::WA_ShowWithoutActivating);
    state_.files = std::move(files);
    state_.global_position = global_start;
    auto* image = new QLabel(this);
    image->setObjectName(state_.files.size() == 1 ? "b170" : "b171");
    QPixmap bitmap(state_.files.size() == 1 ? QStringLiteral(":/bitmaps/drag_170.png")
                                            : QStringLiteral(":/bitmaps/drag_171.png"));
    image->setPixmap(bitmap);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(image);
    setFixedSize(image->sizeHint().expandedTo(QSize(1, 1)));
    // Only the bitmap's own pixels cover the screen; around them the panes
    // stay visible.
    if (bitmap.hasAlphaChannel()) setMask(bitmap.mask());
    grab_check_ = new QTimer(this);
    grab_check_->setInterval(100);
    connect(grab_check_, &QTimer::timeout, this, &DragTracker::check_grab);
}

DragTracker::~DragTracker() {
    if (QWidget::mouseGrabber() == this) releaseMouse();
    if (QWidget::keyboardGrabber() == this) releaseKeyboard();
}

bool DragTracker::run() {
    move(state_.global_position - rect().center());
    show();
    raise();
    grabMouse(Qt::ClosedHandCursor);
    grabKeyboard();
    running_ = true;
    move_to(state_.global_position);
    grab_check_->start();
    QEventLoop loop;
    loop_ = &loop;
    if (running_) loop.exec();
    loop_ = nullptr;
    // The image is gone and the pointer free before the drop runs (it may
    // open a menu and copy files).
    QWidget* target_widget = nullptr;
    DropTarget* target = dropped_ ? target_at(state_.global_position, this, &target_widget) : nullptr;
    if (over_ && over_ != target_widget)
        if (auto* left = dynamic_cast<DropTarget*>(over_.data())) left->drag_left();
    over_ = nullptr;
    if (!target) return false;
    target->drop(state_);
    return true;
}

DropTarget* DragTracker::target_at(QPoint global, const QWidget* except, QWidget** widget) {
    QWidget* under = QApplication::widgetAt(global);
    if (under && except && under->window() == except) under = nullptr;
    if (!under) {
        // The tracker's own window covers the pointer: look at the other
        // windows there, the active one first.
        QWidgetList windows = QApplication::topLevelWidgets();
        if (QWidget* active = QApplication::activeWindow()) windows.prepend(active);
        for (QWidget* window : windows) {
            if (window == except || !window->isVisible() || !window->geometry().contains(global)) continue;
            QWidget* child = window->childAt(window->mapFromGlobal(global));
            under = child ? child : window;
            break;
        }
    }
    for (QWidget* w = under; w; w = w->parentWidget()) {
        if (auto* target = dynamic_cast<DropTarget*>(w)) {
            if (widget) *widget = w;
            return target;
        }
    }
    if (widget) *widget = nullptr;
    return nullptr;
}

void DragTracker::move_to(QPoint global) {
    state_.global_position = global;
    move(global - rect().center());
    QWidget* target_widget = nullptr;
    DropTarget* target = target_at(global, this, &target_widget);
    if (over_ && over_ != target_widget)
        if (auto* left = dynamic_cast<DropTarget*>(over_.data())) left->drag_left();
    over_ = target_widget;
    if (target) target->drag_over(state_);
}

void DragTracker::mouseMoveEvent(QMouseEvent* event) {
    if (running_) move_to(event->globalPosition().toPoint());
}

void DragTracker::mouseReleaseEvent(QMouseEvent* event) {
    if (!running_) return;
    state_.global_position = event->globalPosition().toPoint();
    finish(true);
}

void DragTracker::keyPressEvent(QKeyEvent* event) {
    if (running_ && event->key() == Qt::Key_Escape) finish(false);
}

void DragTracker::check_grab() {
    if (running_ && QWidget::mouseGrabber() != this) finish(false);
}

void DragTracker::finish(bool dropped) {
    running_ = false;
    dropped_ = dropped;
    grab_check_->stop();
    hide();
    if (QWidget::mouseGrabber() == this) releaseMouse();
    if (QWidget::keyboardGrabber() == this) releaseKeyboard();
    if (loop_) loop_->quit();
}

}  // namespace qelvio::browser
