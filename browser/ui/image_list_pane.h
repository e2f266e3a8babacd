// The image list: the right-hand pane of the browser. It shows the images
// of one folder as a grid of thumbnails it paints itself (mode 1) or as rows
// of a report view (details, mode 0; thumbs and details, mode 2), keeps the
// selection, loads thumbnails of the visible items one at a time on the
// image objects' workers (message 2258), takes in the file tree's change
// notifications every 100 ms, and carries the browser's image commands.
//
// The rules with numbers live in ImageListModel and list_geometry.h; this
// widget hit-tests, draws and forwards. User-interface thread only; the
// message target may be posted to from any thread.
#pragma once

#include "browser/frame_logic.h"
#include "browser/image_list_model.h"
#include "browser/list_geometry.h"
#include "browser/ui/frame_calls.h"
#include "browser/ui/image_list_drawing.h"
#include "platform/ui/qt_message_target.h"
#include "shell/settings.h"

#include <QElapsedTimer>
#include <QFileSystemWatcher>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>
#include <unordered_set>

class QScrollBar;
class p_filenode;
class p_filetree;

namespace qelvio::platform {
class AudioPlayer;
}
namespace qelvio::thumbnails {
class p_thumbcache;
}
namespace qelvio::find {
class FindCommandsUi;
}

namespace qelvio::browser {

class ImageListFind;

class FileOperationsUi;
class ReportView;
class LatenessProbe;

class ImageListPane : public QWidget, public CommandTarget, public shell::SettingsObserver {
    Q_OBJECT
public:
    ImageListPane(FrameCalls& frame, shell::Settings& settings, thumbnails::p_thumbcache& cache,
                  FileOperationsUi& file_operations, QWidget* parent);
    ~ImageListPane() override;

    // Opens a folder node (the frame resolved its locator): its image files
    // become the items, sorted, and the pane follows its changes. 0, or the
    // status when the folder cannot be listed (the previous folder stays).
    int open(p_filenode* folder);
    p_filenode* folder() const { return folder_; }
    // Takes in pending notifications of the file tree (the frame's refresh).
    void refresh();
    // Cancels the thumbnail decode in flight (the viewer takes over).
    void stop_thumbnail_loading();
    // Selected items drawn in the active or the inactive colours.
    void set_active_look(bool active);

    // ---- items ----
    int item_count() const { return model_.count(); }
    // The index of the file named so in the open folder; a file of the
    // folder that is not an item yet becomes one. -1 when there is none.
    int index_of(const QString& name);
    p_irl locator(int index) const;
    p_filenode* file(int index) const;
    decoding::p_ImageSource* image(int index) const;
    QString file_name(int index) const;
    bool is_selected(int index) const { return model_.is_selected(index); }
    // The next selected item after index (or the next at all), -1 at the end.
    int next_item(int index, bool selected_only) const { return model_.next(index, selected_only); }
    int previous_item(int index, bool selected_only) const { return model_.previous(index, selected_only); }
    void select(int index, bool selected);
    void select_all(bool selected);
    // Scrolls item index into view.
    void show_item(int index);
    // The item the viewer shows becomes the report view's current row.
    void set_current(int index);
    void repaint_items(int first, int last);
    void repaint_selected();
    // While a search runs the pane shows "Searching...".
    void set_searching(bool searching);

    // ---- view ----
    int view_mode() const { return settings_.viewmode; }
    void set_view_mode(int mode);
    int sort_key() const { return settings_.sortmode; }
    bool sort_descending() const { return descending_; }
    void sort_by(int key, bool descending);
    VisibleRange visible_range() const { return visible_; }
    int loading_index() const { return loading_; }
    int scroll_position() const;
    // Columns of the grid as laid out.
    int columns() const { return columns_; }
    QScrollBar* scroll_bar() const { return bar_; }
    ReportView* report_view() const { return report_; }
    const ImageListModel& model() const { return model_; }
    platform::MessageTarget& message_target() { return target_; }

    // ---- hooks of windows that come later (tests replace them) ----
    // Opens the properties sheet for an item (on its annotation page).
    std::function<void(int index, bool annotation_page)> open_properties;
    // Whether the infrared window is sending this file.
    std::function<bool(p_filenode*)> being_sent = [](p_filenode*) { return false; };
    // Asks for a JPEG transform code (7, 6, 5, 1 or 2; 0 for none) with the
    // JPEG Transform dialog on the first selected JPEG.
    std::function<int(decoding::p_ImageSource& first)> choose_transform;
    // Shows a message about a file (information icon).
    std::function<void(const QString&)> tell;
    // Plays an item's audio annotation.
    std::function<void(int index)> play_audio;

    // ---- CommandTarget ----
    bool handle_command(int id) override;
    std::optional<CommandState> command_state(int id) override;
    // ---- SettingsObserver ----
    void settings_changed(int code) override;

    // The notification drain of timer 11 (also run by refresh()).
    void take_notifications();

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    bool grid_mode() const { return settings_.viewmode == kViewThumbnails; }
    GridGeometry grid() const { return {columns_, GridGeometry::cell_height_for(settings_.thumb_filenames)}; }
    void layout_grid_now();
    void compute_visible_range();
    void sort_items();
    void add_item(p_filenode* file);
    bool is_image_file(p_filenode* file) const;
    void show_list_control();
    void end_subscription();
    // Watches the open folder on disk for other programs' changes.
    void watch_on_disk(p_filenode* folder);
    // Whether the open folder or a folder above it left the tree.
    bool folder_removed() const;
    // Lets go of a removed folder and its items: the pane shows no folder.
    void drop_folder();
    // Thumbnails: the next visible candidate starts decoding.
    void start_loading();
    void thumbnail_done(decoding::p_ImageSource* image);
    int index_of_image(const decoding::p_ImageSource* image) const;
    // Pointer handling in content coordinates.
    void press(QPoint content, bool control, Qt::KeyboardModifiers modifiers);
    void move_to(QPoint content, int viewport_y, int viewport_height);
    void release(bool control);
    int hit(QPoint content, bool* icon_hit) const;
    bool control_held(Qt::KeyboardModifiers modifiers) const;
    std::function<bool(int, const ListRect&)> band_meets() const;
    void autoscroll_step();
    void scroll_grid_to(int position);
    QPoint to_content(QPoint widget) const;
    void repaint_band();
    void paint_band(QPainter& painter, int offset_y);
    // The timing mark after the paint that drew the last visible thumbnail.
    void mark_thumbnails_drawn();
    ItemLook look_of(const ListItem& item) const;
    void paint_report_row(QPainter& painter, int index, const QRect& row, bool focus);
    class TransformHost;
    void transform_selected();
    void send_selected_by_email();
    // Find and Find Next keep their search between the two commands.
    find::FindCommandsUi& find_commands();
    void play_audio_of(int index);

    FrameCalls& frame_;
    shell::Settings& settings_;
    thumbnails::p_thumbcache& cache_;
    FileOperationsUi& file_operations_;
    platform::QtMessageTarget target_;
    ImageListModel model_;
    p_filenode* folder_ = nullptr;
    p_filetree* tree_ = nullptr;
    int listener_ = -1;
    std::u16string extensions_;
    VisibleRange visible_;
    int loading_ = -1;
    decoding::p_ImageSource* in_flight_ = nullptr;
    std::unordered_set<const decoding::p_ImageSource*> failed_;
    bool reading_ = false;
    bool searching_ = false;
    bool active_ = true;
    bool descending_ = false;
    int columns_ = 1;
    QScrollBar* bar_ = nullptr;
    ReportView* report_ = nullptr;
    QTimer notification_timer_;
    QFileSystemWatcher watcher_;
    bool disk_changed_ = false;
    QTimer autoscroll_timer_;
    int autoscroll_speed_ = 0;
    QPoint last_pointer_;  // where the last move was, in the widget that took it
    QPoint press_global_;  // the press in screen coordinates (where a drag starts)
    QElapsedTimer last_autoscroll_;
    bool current_from_pointer_ = false;
    bool loading_scheduled_ = false;
    bool cells_drawn_ = false;
    bool all_thumbnails_marked_ = false;
    bool thumbnails_complete_ = false;
    std::unique_ptr<platform::AudioPlayer> audio_player_;
    std::unique_ptr<ImageListFind> find_list_;
    std::unique_ptr<find::FindCommandsUi> find_;
    LatenessProbe* probe_ = nullptr;  // with the timing trace only
};

}  // namespace qelvio::browser
