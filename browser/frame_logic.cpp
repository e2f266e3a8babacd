#include "browser/frame_logic.h"

#include "resources/command_table.h"

#include <algorithm>

namespace qelvio::browser {
namespace {

// Frame commands.
constexpr int kCmdOptions = 32808;
constexpr int kCmdMultiSelect = 32852;
constexpr int kCmdExit = 32896;
constexpr int kCmdInfraredShow = 32903;
constexpr int kCmdInfraredHide = 32904;
constexpr int kCmdAbout = 57664;

// Buttons that viewer mode shows and hides, and browser mode hides.
constexpr int kViewerShown[] = {32810, 32870, 32868, 32867, 32860, 32841};
constexpr int kViewerHidden[] = {32852, 32797, 32845, 32865};
constexpr int kBrowserHidden[] = {32797, 32810, 32870, 32868, 32867, 32860, 32841, 32845, 32865};

}  // namespace

FrameLogic::FrameLogic(FrameHost& host, shell::Settings& settings) : host_(host), settings_(settings) {
    for (const auto& button : resources::toolbar_128())
        if (button.id) buttons_[button.id] = true;
}

void FrameLogic::create(int client_width, int client_height, bool has_start_locator) {
    width_ = client_width;
    height_ = client_height;
    if (settings_.splitpos < 0 || settings_.splitpos > width_ - 6) settings_.splitpos = width_ / 2;
    host_.layout_changed();
    infrared_changed(false, false);
    if (!has_start_locator) host_.show_browser_panes(true);
    make_active(kPaneFolderTree);
    if (!has_start_locator) switch_to_browser();
}

void FrameLogic::switch_to_viewer() {
    mode_ = FrameMode::viewer;
    host_.stop_thumbnail_loading();
    host_.start_background_save();
    host_.show_browser_panes(false);
    if (full_screen_) enter_full_screen();
    host_.reset_viewer();
    host_.show_viewer(true);
    viewer_visible_ = true;
    for (int index : {5, 1, 2, 4}) show_menu(index, false);
    for (int index : {3, 6}) show_menu(index, true);
    make_active(kPaneViewer);
    for (int id : kViewerHidden) set_button_visible(id, false);
    for (int id : kViewerShown) set_button_visible(id, true);
}

void FrameLogic::switch_to_browser() {
    mode_ = FrameMode::browser;
    if (full_screen_ && !command_bar_visible_) leave_full_screen(true);
    host_.stop_background_save();
    host_.show_viewer(false);
    viewer_visible_ = false;
    host_.release_viewer();
    host_.show_browser_panes(true);
    show_menu(5, false);
    for (int index : {1, 2, 4}) show_menu(index, true);
    for (int index : {3, 6}) show_menu(index, false);
    make_active(kPaneImageList);
    set_button_visible(32852, true);
    for (int id : kBrowserHidden) set_button_visible(id, false);
}

void FrameLogic::show_menu(int index, bool shown) {
    if (index < 0 || index >= resources::kTopMenuCount) return;
    auto& flag = shown_[static_cast<std::size_t>(index)];
    if (flag == shown) return;
    flag = shown;
    host_.menus_changed();
}

std::vector<int> FrameLogic::shown_menus() const {
    std::vector<int> out;
    for (int i = 0; i < resources::kTopMenuCount; ++i)
        if (shown_[static_cast<std::size_t>(i)]) out.push_back(i);
    return out;
}

bool FrameLogic::button_visible(int id) const {
    auto it = buttons_.find(id);
    return it != buttons_.end() && it->second;
}

void FrameLogic::set_button_visible(int id, bool visible) {
    auto it = buttons_.find(id);
    if (it == buttons_.end() || it->second == visible) return;
    it->second = visible;
    host_.button_changed(id, visible);
}

void FrameLogic::set_viewer_command_visible(int id, bool flag) {
    if (!viewer_visible_) return;
    if (id == kEditingLayoutCommand) {
        show_menu(5, flag);
        show_menu(3, !flag);
        show_menu(6, !flag);
        set_button_visible(32865, flag);
        set_button_visible(32845, flag);
        set_button_visible(32810, !flag);
        set_button_visible(32841, !flag);
        return;
    }
    set_button_visible(id, flag);
}

void FrameLogic::infrared_changed(bool transfer_active, bool window_visible) {
    if (transfer_active) {
        set_button_visible(kCmdInfraredShow, !window_visible);
        set_button_visible(kCmdInfraredHide, window_visible);
    } else {
        set_button_visible(kCmdInfraredShow, false);
        set_button_visible(kCmdInfraredHide, false);
    }
}

int FrameLogic::active_pane() const { return routing_.empty() ? kPaneNone : routing_.front(); }

void FrameLogic::make_active(int pane) {
    switch (pane) {
    case kPaneImageList: set_routing({kPaneImageList, kPaneFolderTree}); break;
    case kPaneFolderTree: set_routing({kPaneFolderTree, kPaneImageList}); break;
    case kPaneViewer: set_routing({kPaneViewer}); break;
    default: return;
    }
    host_.repaint_selection();
}

void FrameLogic::set_routing(std::vector<int> panes) { routing_ = std::move(panes); }

bool FrameLogic::dispatch(int id) {
    for (int pane : routing_) {
        CommandTarget* target = host_.pane(static_cast<PaneId>(pane));
        if (target && target->handle_command(id)) return true;
    }
    return frame_handles(id);
}

CommandState FrameLogic::state(int id) {
    for (int pane : routing_) {
        CommandTarget* target = host_.pane(static_cast<PaneId>(pane));
        if (!target) continue;
        if (auto s = target->command_state(id)) return *s;
    }
    if (auto s = frame_state(id)) return *s;
    CommandState none;
    none.enabled = false;
    return none;
}

int FrameLogic::command_for_key(std::string_view key) const {
    for (const auto& entry : resources::accelerators_128())
        if (key == entry.key) return mode_ == FrameMode::viewer ? entry.viewer_command : entry.browser_command;
    return 0;
}

bool FrameLogic::frame_handles(int id) {
    switch (id) {
    case kCmdOptions: host_.open_options(); return true;
    case kCmdAbout: host_.open_about(); return true;
    case kCmdMultiSelect: multi_select_ = !multi_select_; return true;
    case kCmdExit: host_.exit_now(); return true;
    case kCmdInfraredShow:
    case kCmdInfraredHide: host_.toggle_infrared_window(); return true;
    default: return false;
    }
}

std::optional<CommandState> FrameLogic::frame_state(int id) const {
    switch (id) {
    case kCmdOptions:
    case kCmdAbout:
    case kCmdExit:
    case kCmdInfraredShow:
    case kCmdInfraredHide: return CommandState{};
    case kCmdMultiSelect: {
        CommandState s;
        s.pressed = multi_select_;
        return s;
    }
    default: return std::nullopt;
    }
}

void FrameLogic::request_full_screen(bool on) {
    if (on && command_bar_visible_)
        enter_full_screen();
    else
        leave_full_screen(false);
}

void FrameLogic::enter_full_screen() {
    command_bar_visible_ = false;
    host_.set_command_bar_visible(false);
    full_screen_ = true;
    host_.layout_changed();
    host_.set_overlay_buttons(true);
}

void FrameLogic::leave_full_screen(bool keep_flag) {
    command_bar_visible_ = true;
    host_.set_command_bar_visible(true);
    if (!keep_flag) full_screen_ = false;
    host_.set_overlay_buttons(false);
    host_.layout_changed();
}

void FrameLogic::resize(int client_width, int client_height) {
    width_ = client_width;
    height_ = client_height;
    host_.layout_changed();
}

FrameLayout FrameLogic::layout() const {
    const int split = settings_.splitpos;
    FrameLayout l;
    l.viewer = {0, 0, width_, height_};
    l.tree = {0, 0, split, height_};
    l.list = {split + kSplitterWidth, 0, width_, height_};
    l.bar = {split, 0, split + kSplitterWidth, height_};
    return l;
}

SplitterPress FrameLogic::press(int x, int y) {
    const int split = settings_.splitpos;
    if (mode_ != FrameMode::browser || x < split || x >= split + 6 || y < 0 || y >= height_)
        return SplitterPress::none;
    if (y < kSplitterAreaHeight) {
        if (settings_.splitminormax == -1) {
            settings_.splitpos = settings_.splitrestorepos;
            settings_.splitminormax = 0;
        } else {
            settings_.splitrestorepos = settings_.splitpos;
            settings_.splitminormax = -1;
            settings_.splitpos = 0;
        }
        host_.layout_changed();
        return SplitterPress::collapse;
    }
    if (y < 2 * kSplitterAreaHeight) {
        if (settings_.splitminormax == 1) {
            settings_.splitpos = settings_.splitrestorepos;
            settings_.splitminormax = 0;
        } else {
            settings_.splitrestorepos = settings_.splitpos;
            settings_.splitminormax = 1;
            settings_.splitpos = width_ - 6;
        }
        host_.layout_changed();
        return SplitterPress::expand;
    }
    dragging_ = true;
    drag_pos_ = split;
    return SplitterPress::drag;
}

bool FrameLogic::move(int x) {
    if (!dragging_) return false;
    x = std::max(std::min(x, width_ - kSplitterRightMargin), kSplitterMinimum);
    if (x == drag_pos_) return false;
    drag_pos_ = x;
    return true;
}

void FrameLogic::release() {
    if (!dragging_) return;
    dragging_ = false;
    settings_.splitpos = drag_pos_;
    settings_.splitminormax = 0;
    host_.layout_changed();
}

void FrameLogic::cancel_drag() { dragging_ = false; }

ScreenLimits limits_for_screen(int width, int height) {
    const uint64_t screen_bytes = static_cast<uint64_t>(std::max(width, 0)) * std::max(height, 0) * 3;
    ScreenLimits limits{768000, 104857600, 2000000};
    limits.viewing = static_cast<uint32_t>(std::clamp<uint64_t>(screen_bytes * 4, limits.viewing, 0xFFFFFFFFu));
    limits.tiles = std::max<uint64_t>(screen_bytes * 2, limits.tiles);
    return limits;
}

}  // namespace qelvio::browser
