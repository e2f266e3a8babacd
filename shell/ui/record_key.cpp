#include "shell/ui/record_key.h"

#include <QApplication>
#include <QKeyEvent>

namespace qelvio::shell {

RecordKey::RecordKey() {
    pending_release_.setSingleShot(true);
    pending_release_.setInterval(kRepeatGraceMs);
    connect(&pending_release_, &QTimer::timeout, this, [this] {
        if (handler_) handler_(false);
    });
}

void RecordKey::claim(int id, QWidget* window, Handler handler) {
    if (window_.isNull()) qApp->installEventFilter(this);
    pending_release_.stop();  // a release the previous holder was waiting for is not the new one's
    window_ = window;
    id_ = id;
    handler_ = std::move(handler);
}

void RecordKey::release(int id, QWidget* window) {
    if (window_ != window || id_ != id) return;
    pending_release_.stop();
    window_ = nullptr;
    handler_ = nullptr;
    qApp->removeEventFilter(this);
}

bool RecordKey::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease) return false;
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() != kRecordKey || window_.isNull() || !handler_) return false;
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget || (widget != window_ && !window_->isAncestorOf(widget))) return false;
    if (key->isAutoRepeat()) return true;
    if (event->type() == QEvent::KeyRelease) {
        // Held down, the key repeats as a release and a press with the same
        // time, not always marked as a repeat: the release counts only when
        // no such press follows it.
        release_time_ = key->timestamp();
        pending_release_.start();
        return true;
    }
    if (pending_release_.isActive()) {
        pending_release_.stop();
        if (key->timestamp() == release_time_) return true;  // the key is still held
        handler_(false);                                      // let go, then pressed again
        if (!handler_) return true;
    }
    handler_(true);
    return true;
}

RecordKey& record_key() {
    static RecordKey* binding = new RecordKey;
    return *binding;
}

}  // namespace qelvio::shell
