#include "browser/ui/busy_window.h"

#include <QGuiApplication>
#include <QMetaObject>
#include <QScreen>

namespace qelvio::browser {

BusyWindow::BusyWindow()
    : QLabel(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus) {
    setObjectName("p_progress");
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFixedSize(kBusyWidth, kBusyHeight);
    for (int i = 0; i < 4; ++i) frames_[static_cast<std::size_t>(i)] = QPixmap(QString(":/bitmaps/busy_%1.png").arg(149 + i));
}

void BusyWindow::show_frame(int frame) {
    frame_ = frame;
    setPixmap(frames_[static_cast<std::size_t>(frame & 3)]);
}

void QtBusySurface::create(int x, int y, bool visible) {
    BusyWindow* w = &window_;
    QMetaObject::invokeMethod(w, [w, x, y, visible] {
        if (!w->running) return;
        w->move(x, y);
        w->setVisible(visible);
    }, Qt::QueuedConnection);
}

void QtBusySurface::draw_frame(int frame) {
    BusyWindow* w = &window_;
    QMetaObject::invokeMethod(w, [w, frame] {
        if (w->running) w->show_frame(frame);
    }, Qt::QueuedConnection);
}

void QtBusySurface::set_visible(bool visible) {
    BusyWindow* w = &window_;
    QMetaObject::invokeMethod(w, [w, visible] {
        if (w->running) w->setVisible(visible);
    }, Qt::QueuedConnection);
}

void QtBusySurface::destroy() {
    BusyWindow* w = &window_;
    QMetaObject::invokeMethod(w, [w] { w->hide(); }, Qt::QueuedConnection);
}

BusyWindow& busy_window() {
    static BusyWindow* window = new BusyWindow;  // lives until the process ends
    return *window;
}

BusyIndicator& busy_indicator() {
    static QtBusySurface surface(busy_window());
    static BusyIndicator* busy = [] {
        QRect screen = QGuiApplication::primaryScreen() ? QGuiApplication::primaryScreen()->geometry() : QRect(0, 0, 240, 320);
        return new BusyIndicator(surface, screen.width(), screen.height());
    }();
    return *busy;
}

BusyScope::BusyScope() {
    busy_window().running = true;
    busy_indicator().begin();
}

BusyScope::~BusyScope() {
    busy_indicator().end();
    if (busy_indicator().nesting() == 0) {
        busy_window().running = false;
        busy_window().hide();
    }
}

}  // namespace qelvio::browser
