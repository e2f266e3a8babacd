// The viewer pane until its full version: shows one image fitted to the
// pane through its image object, returns to the browser and toggles full
// screen. Its overlay button leaves full screen.
#pragma once

#include "browser/frame_logic.h"
#include "browser/slide_show.h"
#include "browser/ui/frame_calls.h"

#include <QWidget>

class QToolButton;

namespace qelvio::decoding {
class p_ImageSource;
}

namespace qelvio::browser {

class ViewerPane : public QWidget, public CommandTarget {
    Q_OBJECT
public:
    ViewerPane(FrameCalls& frame, QWidget* parent);

    // Decodes the image for viewing; false (nothing shown) when it fails.
    bool show_image(decoding::p_ImageSource* image);
    // Lets go of the image and ends a slide show.
    void release();
    // Starts the slide show at an index (shown at once) over all images or
    // the selected ones; the frame shows 32797 and hides 32841 and 32860.
    void start_slideshow(int index, bool selected_only);
    void stop_slideshow();
    bool slideshow_running() const { return slides_.running(); }
    // Resets selection and tool.
    void reset() {}
    // Whether the window may close (no edits are pending here).
    bool may_close() { return true; }
    void set_overlay(bool visible);
    decoding::p_ImageSource* image() const { return image_; }

    bool handle_command(int id) override;
    std::optional<CommandState> command_state(int id) override;

protected:
    void paintEvent(QPaintEvent*) override;
    void timerEvent(QTimerEvent*) override;
    void mousePressEvent(QMouseEvent*) override;
    void resizeEvent(QResizeEvent*) override;

private:
    FrameCalls& frame_;
    void drop_image();

    decoding::p_ImageSource* image_ = nullptr;
    QToolButton* overlay_;
    SlideShow slides_;
    int slide_timer_ = 0;
};

}  // namespace qelvio::browser
