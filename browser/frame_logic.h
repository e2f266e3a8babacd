// The main frame's rules without its widgets: the two modes, which top
// menus and command-bar buttons are shown, the routing list and the active
// pane, the keys of accelerator table 128 per mode, the frame's own
// commands, full screen, and the splitter between the folder tree and the
// image list (layout, drag with its clamps, collapse and expand areas).
//
// The window that carries it implements FrameHost; tests implement it with
// a recorder. Everything runs on the user-interface thread.
#pragma once

#include "shell/settings.h"

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string_view>
#include <vector>

namespace qelvio::browser {

// Panes by the numbers the frame uses for them.
enum PaneId : int {
    kPaneNone = 0,
    kPaneImageList = 1,
    kPaneFolderTree = 2,
    kPaneViewer = 3,
};

enum class FrameMode { browser, viewer };

// What a menu item or button shows for a command.
struct CommandState {
    bool enabled = true;
    bool checked = false;
    bool pressed = false;
};

// A pane that takes commands.
class CommandTarget {
public:
    virtual ~CommandTarget() = default;
    // Carries the command out; false when it is not this pane's command.
    virtual bool handle_command(int id) = 0;
    // The command's state, or nullopt when it is not this pane's command.
    virtual std::optional<CommandState> command_state(int id) = 0;
};

// What the frame's rules ask of the window and the panes, in the order the
// mode switches give.
class FrameHost {
public:
    virtual ~FrameHost() = default;
    virtual CommandTarget* pane(PaneId id) = 0;
    virtual void stop_thumbnail_loading() = 0;         // image list
    virtual void start_background_save() = 0;          // thumbnail cache save(true, true)
    virtual void stop_background_save() = 0;           // thumbnail cache stopsave()
    virtual void show_browser_panes(bool shown) = 0;   // image list and folder tree
    virtual void reset_viewer() = 0;                   // selection and tool
    virtual void show_viewer(bool shown) = 0;
    virtual void release_viewer() = 0;                 // ends a slide show, lets go of the image
    virtual void set_command_bar_visible(bool visible) = 0;
    virtual void set_overlay_buttons(bool visible) = 0;  // the viewer's full-screen buttons
    virtual void menus_changed() = 0;                  // rebuild the menu bar from shown flags
    virtual void button_changed(int id, bool visible) = 0;
    virtual void layout_changed() = 0;
    virtual void repaint_selection() = 0;              // both browser panes
    virtual void open_options() = 0;                   // the modal "Options" sheet
    virtual void open_about() = 0;                     // the About box
    virtual void exit_now() = 0;                       // ends the message loop, code 0
    virtual void toggle_infrared_window() = 0;
};

struct Rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    int width() const { return right - left; }
    int height() const { return bottom - top; }
    bool operator==(const Rect&) const = default;
};

// Where the panes and the splitter bar go in the client area.
struct FrameLayout {
    Rect viewer;
    Rect tree;
    Rect list;
    Rect bar;  // 7 columns from splitpos
};

// What a press on the splitter bar started.
enum class SplitterPress { none, drag, collapse, expand };

inline constexpr int kSplitterWidth = 7;
inline constexpr int kSplitterMinimum = 80;      // smallest drag position
inline constexpr int kSplitterRightMargin = 86;  // drag stops at width - 86
// The two toggle areas at the top of the bar: collapse, then expand.
inline constexpr int kSplitterAreaHeight = 16;
// Switches the editing layout in set_viewer_command_visible.
inline constexpr int kEditingLayoutCommand = 65280;

class FrameLogic {
public:
    FrameLogic(FrameHost& host, shell::Settings& settings);

    // ---- creation ----
    // Steps 3 to 6 of creation, given the client size: checks splitpos, lays
    // out, sets the infrared buttons, shows the browser panes and switches
    // to browser mode unless a start locator was given, makes the folder
    // tree active. The caller opens lastdirectory or the locator.
    void create(int client_width, int client_height, bool has_start_locator);

    // ---- modes ----
    FrameMode mode() const { return mode_; }
    void switch_to_viewer();
    void switch_to_browser();

    // ---- menus and buttons ----
    bool menu_shown(int index) const { return shown_.at(static_cast<std::size_t>(index)); }
    void show_menu(int index, bool shown);
    // The shown top menus in index order.
    std::vector<int> shown_menus() const;
    bool button_visible(int id) const;
    void set_button_visible(int id, bool visible);
    // A viewer's request (only while the viewer is visible): the editing
    // layout for 65280, else one button.
    void set_viewer_command_visible(int id, bool flag);
    bool viewer_visible() const { return viewer_visible_; }
    // The infrared window changed: transfer_active says a transfer object
    // exists and is active, window_visible whether its window is shown.
    void infrared_changed(bool transfer_active, bool window_visible);

    // ---- routing ----
    int active_pane() const;
    void make_active(int pane);
    const std::vector<int>& routing() const { return routing_; }
    // Offers the command to the routing list in order, then to the frame;
    // false when nobody took it.
    bool dispatch(int id);
    // The state of a command, from the pane that would receive it, else the
    // frame; disabled when nobody would.
    CommandState state(int id);
    // The command a key of table 128 gives in the current mode (0: none).
    int command_for_key(std::string_view key) const;

    // ---- flags ----
    bool multi_select() const { return multi_select_; }
    bool full_screen() const { return full_screen_; }
    bool command_bar_visible() const { return command_bar_visible_; }
    // Asking for full screen while the command bar is visible enters it;
    // any other request leaves it.
    void request_full_screen(bool on);

    // ---- layout and splitter ----
    void resize(int client_width, int client_height);
    FrameLayout layout() const;
    int client_width() const { return width_; }
    int client_height() const { return height_; }
    // A press at (x, y) of the client area: starts a drag or uses a toggle
    // area when it is on the bar.
    SplitterPress press(int x, int y);
    bool dragging() const { return dragging_; }
    int drag_position() const { return drag_pos_; }
    // Moves the drag; true when the moving bar moved.
    bool move(int x);
    // Ends the drag: splitpos takes the drag position.
    void release();
    // Capture lost: the drag ends and nothing changes.
    void cancel_drag();

private:
    void set_routing(std::vector<int> panes);
    bool frame_handles(int id);
    std::optional<CommandState> frame_state(int id) const;
    void enter_full_screen();
    void leave_full_screen(bool keep_flag);

    FrameHost& host_;
    shell::Settings& settings_;
    FrameMode mode_ = FrameMode::browser;
    std::array<bool, 7> shown_{true, true, true, true, true, true, true};
    std::map<int, bool> buttons_;
    std::vector<int> routing_;
    bool viewer_visible_ = false;
    bool multi_select_ = false;
    bool full_screen_ = false;
    bool command_bar_visible_ = true;
    int width_ = 0;
    int height_ = 0;
    bool dragging_ = false;
    int drag_pos_ = 0;
};

// Memory limits of the image source for a screen of that size: at least the
// defaults, and large enough that an image fitted to the whole screen is
// decoded at no less than the screen's own resolution.
struct ScreenLimits {
    uint32_t viewing;
    uint32_t editing;
    uint64_t tiles;
};
ScreenLimits limits_for_screen(int width, int height);

}  // namespace qelvio::browser
