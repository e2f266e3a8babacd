#include "platform/ui/qt_message_target.h"

#include <QCoreApplication>

namespace qelvio::platform {

QEvent::Type NumberedMessageEvent::event_type() {
    static const QEvent::Type type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

void QtMessageTarget::post(uint32_t message, std::intptr_t first, std::intptr_t second) {
    // postEvent is thread-safe; holding the lock keeps the receiver from
    // detaching (and being destroyed) in between. Events still queued for a
    // destroyed object are discarded by Qt.
    std::lock_guard<std::mutex> lock(mutex_);
    if (receiver_) QCoreApplication::postEvent(receiver_, new NumberedMessageEvent(message, first, second));
}

void QtMessageTarget::attach(QObject* receiver) {
    std::lock_guard<std::mutex> lock(mutex_);
    receiver_ = receiver;
}

void QtMessageTarget::detach() { attach(nullptr); }

}  // namespace qelvio::platform
