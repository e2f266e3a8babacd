// The message target of a window: numbered messages posted from any thread
// become custom events delivered on the user-interface thread to the
// receiver's handler. Once the receiver is gone (detach, or its
// destruction), posts are dropped.
#pragma once

#include "platform/message_target.h"

#include <QEvent>
#include <QObject>

#include <functional>
#include <memory>
#include <mutex>

namespace qelvio::platform {

// The event that carries a numbered message.
class NumberedMessageEvent : public QEvent {
public:
    static QEvent::Type event_type();
    NumberedMessageEvent(uint32_t message, std::intptr_t first, std::intptr_t second)
        : QEvent(event_type()), message_(message), first_(first), second_(second) {}
    uint32_t message() const { return message_; }
    std::intptr_t first() const { return first_; }
    std::intptr_t second() const { return second_; }

private:
    uint32_t message_;
    std::intptr_t first_;
    std::intptr_t second_;
};

// Posts to a QObject, which handles NumberedMessageEvent in its event().
//
// Threading: post() may be called on any thread; attach and detach on the
// user-interface thread. The receiver must detach before it is destroyed
// (its destructor does it through the guard below).
class QtMessageTarget : public MessageTarget {
public:
    explicit QtMessageTarget(QObject* receiver = nullptr) : receiver_(receiver) {}
    void post(uint32_t message, std::intptr_t first, std::intptr_t second) override;
    void attach(QObject* receiver);
    void detach();

private:
    std::mutex mutex_;
    QObject* receiver_;
};

}  // namespace qelvio::platform
