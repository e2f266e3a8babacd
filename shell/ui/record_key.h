// The hardware record key as a key binding: a window claims it while it has
// focus (the viewer) or is open (the audio dialog) and is told when the key
// goes down and, without auto-repeats, when it comes up again, so it can
// record while the key is held. One window holds the claim at a time; a
// later claim takes it over. User-interface thread only.
//
// A held key repeats; the window system does not always mark the repeats,
// which then come as a release followed by a press with the same time. So
// a release is told kRepeatGraceMs later, once no such press followed it.
#pragma once

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <functional>

namespace qelvio::shell {

// The key: the keyboard's record key (XF86AudioRecord).
inline constexpr int kRecordKey = Qt::Key_MediaRecord;
// The claim's number, as the viewer and the audio dialog use it.
inline constexpr int kRecordKeyId = 1;

class RecordKey : public QObject {
    Q_OBJECT
public:
    using Handler = std::function<void(bool down)>;
    static constexpr int kRepeatGraceMs = 50;

    RecordKey();

    // Claims the key for the window (and its children) under the number id.
    void claim(int id, QWidget* window, Handler handler);
    // Gives the claim up when that window holds it under that number.
    void release(int id, QWidget* window);
    QWidget* holder() const { return window_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointer<QWidget> window_;
    int id_ = 0;
    Handler handler_;
    QTimer pending_release_;       // runs from a release until it is told
    quint64 release_time_ = 0;     // that release's time
};

// The program's one binding.
RecordKey& record_key();

}  // namespace qelvio::shell
