// The drag tracker: while images are dragged from the image list, a small
// frameless top-level window shows bitmap 170 (one file) or 171 (several)
// centred on the pointer and holds the pointer grab. Every move tells the
// pane under the pointer (the first DropTarget found walking up from the
// widget there) drag_over (message 1025); the release tells it drop
// (message 1026). A pane the pointer leaves, or that is under the pointer
// when the drag ends without a drop, is told drag_left. Losing the grab (to
// another window, or Escape) ends the drag without a drop.
//
// run() holds its own event loop until the drag ends, so the caller gets
// control back only afterwards; the drop itself is delivered after the
// grab is released. User-interface thread only.
#pragma once

#include "browser/ui/drop_target.h"

#include <QPointer>
#include <QWidget>

class QEventLoop;
class QTimer;

namespace qelvio::browser {

class DragTracker : public QWidget {
    Q_OBJECT
public:
    DragTracker(std::vector<p_filenode*> files, QPoint global_start);
    ~DragTracker() override;

    // Shows the image, grabs the pointer and runs until the release (true:
    // dropped on a pane that takes drops) or the loss of the grab (false).
    bool run();

    const DragState& state() const { return state_; }
    // The pane that takes drops under a global position, and its widget;
    // the window except is looked through.
    static DropTarget* target_at(QPoint global, const QWidget* except, QWidget** widget = nullptr);

protected:
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void move_to(QPoint global);
    void finish(bool dropped);
    // The grab is gone: the drag ends without a drop.
    void check_grab();

    DragState state_;
    QPointer<QWidget> over_;  // the pane told drag_over last
    QEventLoop* loop_ = nullptr;
    QTimer* grab_check_;
    bool running_ = false;
    bool dropped_ = false;
};

}  // namespace qelvio::browser
