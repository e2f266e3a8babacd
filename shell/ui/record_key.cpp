#include "shell/ui/record_key.h"

#include <QApplication>
#include <QKeyEvent>

namespace qelvio::shell {

void RecordKey::claim(int id, QWidget* window, Handler handler) {
    if (window_.isNull()) qApp->installEventFilter(this);
    window_ = window;
    id_ = id;
    handler_ = std::move(handler);
}

void RecordKey::release(int id, QWidget* window) {
    if (window_ != window || id_ != id) return;
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
    if (!key->isAutoRepeat()) handler_(event->type() == QEvent::KeyPress);
    return true;
}

RecordKey& record_key() {
    static RecordKey* binding = new RecordKey;
    return *binding;
}

}  // namespace qelvio::shell
