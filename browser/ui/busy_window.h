// The busy indicator's window and the program's one busy indicator. The
// window (class "p_progress") is a frameless, never activated, top-most
// 32 x 24 tool window showing bitmaps 149 to 152.
//
// Threading: the animation thread calls the surface; the surface hands each
// call to the window on the user-interface thread as a queued call, because
// Qt widgets belong to that thread. While the user-interface thread is busy
// the frames therefore wait for it; end() hides the window itself after the
// thread has ended.
#pragma once

#include "browser/busy_indicator.h"

#include <QLabel>
#include <QPixmap>

#include <array>
#include <memory>

namespace qelvio::browser {

class BusyWindow : public QLabel {
    Q_OBJECT
public:
    BusyWindow();
    void show_frame(int frame);
    int frame() const { return frame_; }
    // Set while an animation runs (user-interface thread): calls queued by
    // an animation that has ended since are ignored.
    bool running = false;

private:
    std::array<QPixmap, 4> frames_;
    int frame_ = -1;
};

class QtBusySurface : public BusySurface {
public:
    explicit QtBusySurface(BusyWindow& window) : window_(window) {}
    void create(int x, int y, bool visible) override;
    void draw_frame(int frame) override;
    void set_visible(bool visible) override;
    void destroy() override;

private:
    BusyWindow& window_;
};

// The program's busy indicator, made on first use for the primary screen.
BusyIndicator& busy_indicator();
BusyWindow& busy_window();

// Begins the busy indicator for a scope.
class BusyScope {
public:
    BusyScope();
    ~BusyScope();
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;
};

}  // namespace qelvio::browser
