// p_browser: the program's one top-level window, "Qelvio Mobile". It builds
// the command bar (menu bar 128, toolbar 128, the keys of table 128) from
// the command resources, holds the folder tree, the image list and the
// viewer in its client area, and carries FrameLogic, which decides modes,
// shown menus and buttons, routing and the splitter.
//
// User-interface thread only; message_target() may be posted to from any
// thread.
#pragma once

#include "browser/frame_logic.h"
#include "browser/ui/frame_calls.h"
#include "browser/ui/open_requests.h"
#include "platform/ui/qt_message_target.h"

#include <QMainWindow>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

class QMenu;
class QAction;
class QToolBar;
class p_mcp;
class p_filenode;

namespace qelvio::thumbnails {
class p_thumbcache;
}
namespace qelvio::sharing {
class InfraredWindow;
}

namespace qelvio::browser {

class FolderTreePane;
class ImageListPane;
class ViewerPane;
class FrameClient;
class FileOperationsUi;

class MainFrame : public QMainWindow, public FrameHost, public FrameCalls {
    Q_OBJECT
public:
    MainFrame(shell::Settings& settings, p_mcp& tree, thumbnails::p_thumbcache& cache, OpenRequests& requests);
    ~MainFrame() override;

    // Creation: command bar, panes, layout, mode; then opens lastdirectory,
    // or the start locator (its folder, then the file in the viewer).
    void create(const std::optional<p_irl>& start);

    // Opens a locator: its folder with tree selection, then the file (if
    // any) in the viewer.
    void open_locator(const p_irl& irl) override;
    // The folder tree and the image list take in pending file-tree
    // notifications (after metadata writes, receptions, drops).
    void refresh();
    // Repaints the three panes and the frame at once (before long work).
    void repaint_now();

    FrameLogic& logic() { return logic_; }
    platform::MessageTarget& message_target() { return target_; }
    FolderTreePane* folder_tree() const { return tree_; }
    ImageListPane* image_list() const { return list_; }
    ViewerPane* viewer() const { return viewer_; }
    sharing::InfraredWindow* infrared_window() const { return infrared_; }
    FileOperationsUi& file_operations() { return *file_ops_; }
    QWidget* client() const;
    QToolBar* command_bar() const { return toolbar_; }
    QMenu* top_menu(int index) const { return menus_.at(static_cast<std::size_t>(index)); }
    // The toolbar's action of a command (null for none).
    QAction* button(int id) const;
    // Every menu action of a command.
    std::vector<QAction*> menu_actions(int id) const;
    // Sets enabled, checked and pressed states of the menu's items.
    void update_menu_states(QMenu* menu);
    void update_button_states();

    // The close request's question (the viewer's save prompt); true lets
    // the window close. Replaceable for tests.
    std::function<bool()> may_close;
    // Ends the message loop (Exit). Replaceable for tests.
    std::function<void()> end_loop;
    // Opens the options sheet modally. Replaceable for tests.
    std::function<void()> options_sheet;
    // Told of every command before it is routed (tests and diagnostics).
    std::function<void(int)> command_seen;
    // The window's size at creation.
    QSize initial_size{800, 560};

    // ---- FrameCalls ----
    void open_folder(const p_irl& folder, bool select_in_tree) override;
    bool view_index(int index) override;
    p_irl image_locator(int index) const override;
    void make_active(int pane) override { logic_.make_active(pane); }
    void return_to_browser() override;
    void request_full_screen(bool on) override { logic_.request_full_screen(on); }
    bool multi_select() const override { return logic_.multi_select(); }
    void start_slideshow(bool selected_only) override;
    int image_count() const override;
    bool image_selected(int index) const override;
    int shown_index() const override { return shown_index_; }
    float slide_interval() const override { return settings_.slide_interval; }
    void set_viewer_command_visible(int id, bool flag) override { logic_.set_viewer_command_visible(id, flag); }
    void refresh_panes() override { refresh(); }
    int infrared_mode() const override;
    void send_via_infrared(const std::vector<p_filenode*>& files) override;
    void receive_via_infrared() override;

    // ---- FrameHost ----
    CommandTarget* pane(PaneId id) override;
    void stop_thumbnail_loading() override;
    void start_background_save() override;
    void stop_background_save() override;
    void show_browser_panes(bool shown) override;
    void reset_viewer() override;
    void show_viewer(bool shown) override;
    void release_viewer() override;
    void set_command_bar_visible(bool visible) override;
    void set_overlay_buttons(bool visible) override;
    void menus_changed() override;
    void button_changed(int id, bool visible) override;
    void layout_changed() override;
    void repaint_selection() override;
    void open_options() override;
    void open_about() override;
    void exit_now() override;
    void toggle_infrared_window() override;

protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void build_command_bar();
    void build_shortcuts();
    void run_command(int id);
    void take_open_requests();
    void open_last_directory();
    void create_infrared_window();
    // The beaming window started or stopped, or was shown or hidden.
    void infrared_changed(bool show_now);
    // A file arrived in the receiving folder: the folder is listed again
    // and the image list shows the file with a new thumbnail.
    void take_received_file(const std::u16string& name);

    shell::Settings& settings_;
    p_mcp& mcp_;
    thumbnails::p_thumbcache& cache_;
    OpenRequests& requests_;
    FrameLogic logic_;
    platform::QtMessageTarget target_;
    std::vector<QMenu*> menus_;
    std::multimap<int, QAction*> menu_actions_;
    std::map<int, QAction*> buttons_;
    QToolBar* toolbar_ = nullptr;
    FrameClient* client_ = nullptr;
    std::unique_ptr<FileOperationsUi> file_ops_;
    FolderTreePane* tree_ = nullptr;
    ImageListPane* list_ = nullptr;
    ViewerPane* viewer_ = nullptr;
    sharing::InfraredWindow* infrared_ = nullptr;
    p_filenode* folder_ = nullptr;
    bool folder_listed_once_ = false;
    int shown_index_ = -1;
};

}  // namespace qelvio::browser
