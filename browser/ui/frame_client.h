// The frame's client area: it places the panes where FrameLogic's layout
// says, paints the 7-pixel splitter bar (with its collapse and expand
// areas at the top), and runs the splitter drag with a moving bar filled
// with the hatch of bitmap 153.
#pragma once

#include "browser/frame_logic.h"

#include <QWidget>

namespace qelvio::browser {

class FrameClient : public QWidget {
    Q_OBJECT
public:
    FrameClient(FrameLogic& logic, QWidget* parent);
    // Places the panes after a layout change.
    void place(QWidget* tree, QWidget* list, QWidget* viewer);
    // The moving bar shown during a drag (null otherwise).
    QWidget* moving_bar() const { return moving_; }

protected:
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent*) override;
    void mousePressEvent(QMouseEvent*) override;
    void mouseMoveEvent(QMouseEvent*) override;
    void mouseReleaseEvent(QMouseEvent*) override;
    bool event(QEvent*) override;

private:
    FrameLogic& logic_;
    QWidget* moving_;
    bool painted_ = false;
};

}  // namespace qelvio::browser
