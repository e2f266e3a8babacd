// The viewer pane: shows one image of the image list at a zoom, pans it
// with the pointer, zooms by command, wheel, tap or a drawn rectangle, moves
// to the previous or next image with the up and down keys (reading the one
// after ahead), runs slide shows, shows four overlay buttons in full screen,
// and hosts the editing of the shown image with its dialogs.
//
// The rules live in the core (viewer/view_state.h, viewer/edit_session.h,
// viewer/navigation.h); this widget forwards input to them, draws through
// the image object (tiles arrive as message 2258), and carries out what
// they ask. User-interface thread only.
#pragma once

#include "browser/frame_logic.h"
#include "browser/slide_show.h"
#include "browser/ui/frame_calls.h"
#include "browser/ui/progress_window.h"
#include "platform/ui/qt_message_target.h"
#include "viewer/edit_session.h"
#include "viewer/image_zoom_target.h"
#include "viewer/view_state.h"

#include <QTimer>
#include <QWidget>

#include <array>
#include <functional>
#include <memory>
#include <vector>

class QDialog;
class QLabel;
class QToolButton;

namespace qelvio::thumbnails {
class p_thumbcache;
}
namespace qelvio::platform {
class AudioPlayer;
}

namespace qelvio::browser {

class BusyScope;

class ViewerPane : public QWidget, public CommandTarget, private viewer::EditorHost {
    Q_OBJECT
public:
    ViewerPane(FrameCalls& frame, QWidget* parent);
    ~ViewerPane() override;

    // The thumbnail cache that hands out the image read ahead and forgets
    // files whose content changed.
    void set_thumbnail_cache(thumbnails::p_thumbcache* cache) { cache_ = cache; }
    // The settings read when they matter: auto_audio when an image is shown,
    // savequality when editing saves.
    void set_settings(const shell::Settings* settings) { settings_ = settings; }
    // Plays the shown image's audio note without waiting (32847).
    void play_audio();

    // Decodes the image for viewing and fits it; false (nothing shown) when
    // it fails. The pending-changes question must have been asked.
    bool show_image(decoding::p_ImageSource* image);
    // Lets go of the image (and of the one read ahead) and ends a slide
    // show; no question.
    void release();
    // Starts the slide show at an index (shown at once) over all images or
    // the selected ones; the frame shows 32797 and hides 32841 and 32860.
    void start_slideshow(int index, bool selected_only);
    void stop_slideshow();
    bool slideshow_running() const { return slides_.running(); }
    // Entering the viewer: the selection ends and the tool is 0.
    void reset() { view_.reset_tools(); }
    // The pending-changes question: true when the image may be let go.
    bool may_close() { return session_.may_let_go(); }
    void set_overlay(bool visible);
    decoding::p_ImageSource* image() const { return image_; }
    decoding::p_ImageSource* prefetched() const { return prefetch_; }
    viewer::ViewState& view() { return view_; }
    viewer::EditSession& editing() { return session_; }
    // Whether the infrared window is sending a file; such a file is not
    // edited. Installed by whoever owns that window.
    std::function<bool(const p_irl&)> is_being_sent = [](const p_irl&) { return false; };
    // The help topic: the editor's while editing, else the viewer's.
    const char16_t* help_topic() const { return session_.editing() ? u"image_editor" : u"viewer"; }
    // Shows the next (1) or previous (-1) image as the keys do.
    void step(int direction);

    bool handle_command(int id) override;
    std::optional<CommandState> command_state(int id) override;

protected:
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    bool event(QEvent*) override;
    void paintEvent(QPaintEvent*) override;
    void timerEvent(QTimerEvent*) override;
    void mousePressEvent(QMouseEvent*) override;
    void mouseMoveEvent(QMouseEvent*) override;
    void mouseReleaseEvent(QMouseEvent*) override;
    void wheelEvent(QWheelEvent*) override;
    void keyPressEvent(QKeyEvent*) override;
    void resizeEvent(QResizeEvent*) override;

private:
    // viewer::EditorHost
    int ask(std::u16string_view text, int buttons) override;
    void tell(std::u16string_view text) override;
    void busy(bool on) override;
    void fit() override;
    void repaint() override { update(); }
    void editing_layout(bool editing) override;
    bool being_sent(const p_irl& locator) override { return is_being_sent && is_being_sent(locator); }
    std::optional<std::u16string> ask_save_path() override;
    void open_saved(const p_irl& locator) override;
    void forget(const p_irl& locator) override;
    decoding::ProgressWindow* progress_window() override;
    void record_audio(bool record_at_once);
    bool levels_dialog(decoding::p_ImageSource& image, imaging::LevelsParams& params) override;
    bool resize_dialog(int width, int height, int& new_width, int& new_height) override;
    int transform_dialog(decoding::p_ImageSource& image) override;

    int run_modal(QDialog& dialog);
    void reactivate();
    void apply(const viewer::Outcome& outcome);
    void drop_image();
    void read_ahead();
    // Keeps the image read ahead once its decode ends; one that failed is
    // let go.
    void finish_read_ahead();
    void place_overlay();
    // Asks the pending-changes question; leaves the editing layout when the
    // image may go.
    bool let_go_allowed();
    void return_to_browser();
    // Writes the zoom to the timing trace ("viewer zoom 1500").
    void mark_zoom() const;

    FrameCalls& frame_;
    thumbnails::p_thumbcache* cache_ = nullptr;
    const shell::Settings* settings_ = nullptr;
    std::unique_ptr<platform::AudioPlayer> player_;
    std::unique_ptr<CoreProgressWindow> progress_;
    decoding::p_ImageSource* image_ = nullptr;
    std::unique_ptr<viewer::ImageZoomTarget> zoom_target_;
    decoding::p_ImageSource* prefetch_ = nullptr;
    int prefetch_index_ = -1;
    int direction_ = 1;
    viewer::ViewState view_;
    viewer::EditSession session_;
    platform::QtMessageTarget messages_;
    viewer::DibRect last_part_{0, 0, 0, 0};
    decoding::DrawPoint last_origin_{0, 0};
    bool tile_paint_ = false;
    bool trace_drawn_ = false;  // the timing trace marks the next paint
    QTimer rest_timer_;
    QLabel* marker_;
    bool full_screen_ = false;
    std::array<QToolButton*, 4> overlay_{};
    SlideShow slides_;
    int slide_timer_ = 0;
    std::vector<std::unique_ptr<BusyScope>> busy_;
};

}  // namespace qelvio::browser
