// The frame's rules driven without widgets: a recording host stands in for
// the window and the panes.
#include "browser/frame_logic.h"
#include "resources/command_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

namespace qelvio::browser {
namespace {

class RecordingPane : public CommandTarget {
public:
    explicit RecordingPane(std::set<int> commands) : commands_(std::move(commands)) {}
    bool handle_command(int id) override {
        if (!commands_.count(id)) return false;
        handled.push_back(id);
        return true;
    }
    std::optional<CommandState> command_state(int id) override {
        if (!commands_.count(id)) return std::nullopt;
        ++queries;
        CommandState s;
        s.enabled = id != disabled;
        return s;
    }
    std::vector<int> handled;
    int queries = 0;
    int disabled = -1;

private:
    std::set<int> commands_;
};

class RecordingHost : public FrameHost {
public:
    RecordingPane list{{32902, 32907, 32805, 32832}};
    RecordingPane tree{{32805, 32908}};
    RecordingPane viewer{{32847, 32853, 32810, 32881}};
    std::vector<std::string> calls;
    int options = 0, exits = 0, menus = 0, layouts = 0;
    bool bar_visible = true;

    CommandTarget* pane(PaneId id) override {
        switch (id) {
        case kPaneImageList: return &list;
        case kPaneFolderTree: return &tree;
        case kPaneViewer: return &viewer;
        default: return nullptr;
        }
    }
    void stop_thumbnail_loading() override { calls.push_back("stop thumbnails"); }
    void start_background_save() override { calls.push_back("start save"); }
    void stop_background_save() override { calls.push_back("stop save"); }
    void show_browser_panes(bool shown) override { calls.push_back(shown ? "show panes" : "hide panes"); }
    void reset_viewer() override { calls.push_back("reset viewer"); }
    void show_viewer(bool shown) override { calls.push_back(shown ? "show viewer" : "hide viewer"); }
    void release_viewer() override { calls.push_back("release viewer"); }
    void set_command_bar_visible(bool visible) override {
        bar_visible = visible;
        calls.push_back(visible ? "show bar" : "hide bar");
    }
    void set_overlay_buttons(bool visible) override { calls.push_back(visible ? "overlay on" : "overlay off"); }
    void menus_changed() override { ++menus; }
    void button_changed(int, bool) override {}
    void layout_changed() override { ++layouts; }
    void repaint_selection() override {}
    void open_options() override { ++options; }
    void open_about() override {}
    void exit_now() override { ++exits; }
    void toggle_infrared_window() override {}
};

struct FrameFixture : ::testing::Test {
    RecordingHost host;
    shell::Settings settings;
    FrameLogic frame{host, settings};
    void SetUp() override {
        settings.splitpos = -1;
        frame.create(240, 300, false);
    }
    std::vector<int> visible_buttons() {
        std::vector<int> out;
        for (const auto& b : resources::toolbar_128())
            if (b.id && frame.button_visible(b.id)) out.push_back(b.id);
        return out;
    }
};

TEST_F(FrameFixture, MenusShownPerMode) {
    EXPECT_EQ(frame.shown_menus(), (std::vector<int>{0, 1, 2, 4}));
    frame.switch_to_viewer();
    EXPECT_EQ(frame.shown_menus(), (std::vector<int>{0, 3, 6}));
    frame.set_viewer_command_visible(kEditingLayoutCommand, true);
    EXPECT_EQ(frame.shown_menus(), (std::vector<int>{0, 5}));
    frame.set_viewer_command_visible(kEditingLayoutCommand, false);
    EXPECT_EQ(frame.shown_menus(), (std::vector<int>{0, 3, 6}));
    frame.switch_to_browser();
    EXPECT_EQ(frame.shown_menus(), (std::vector<int>{0, 1, 2, 4}));
}

TEST_F(FrameFixture, ButtonsVisiblePerMode) {
    // Browser: only multi-select; the infrared buttons are hidden without a transfer.
    EXPECT_EQ(visible_buttons(), (std::vector<int>{32852}));
    frame.switch_to_viewer();
    EXPECT_EQ(visible_buttons(), (std::vector<int>{32810, 32841, 32870, 32868, 32867, 32860}));
    frame.set_viewer_command_visible(kEditingLayoutCommand, true);
    EXPECT_EQ(visible_buttons(), (std::vector<int>{32845, 32865, 32870, 32868, 32867, 32860}));
    frame.set_viewer_command_visible(32797, true);  // a slide show's stop button
    EXPECT_TRUE(frame.button_visible(32797));
    frame.switch_to_browser();
    EXPECT_EQ(visible_buttons(), (std::vector<int>{32852}));
    // Outside the viewer, a viewer's request changes nothing.
    frame.set_viewer_command_visible(32797, true);
    EXPECT_FALSE(frame.button_visible(32797));
}

TEST_F(FrameFixture, InfraredButtonsShowExactlyOne) {
    frame.infrared_changed(true, false);
    EXPECT_TRUE(frame.button_visible(32903));
    EXPECT_FALSE(frame.button_visible(32904));
    frame.infrared_changed(true, true);
    EXPECT_FALSE(frame.button_visible(32903));
    EXPECT_TRUE(frame.button_visible(32904));
    frame.infrared_changed(false, true);
    EXPECT_FALSE(frame.button_visible(32903));
    EXPECT_FALSE(frame.button_visible(32904));
}

TEST_F(FrameFixture, ModeSwitchOrder) {
    host.calls.clear();
    frame.switch_to_viewer();
    EXPECT_EQ(host.calls, (std::vector<std::string>{"stop thumbnails", "start save", "hide panes",
                                                    "reset viewer", "show viewer"}));
    EXPECT_EQ(frame.routing(), (std::vector<int>{kPaneViewer}));
    host.calls.clear();
    frame.switch_to_browser();
    EXPECT_EQ(host.calls, (std::vector<std::string>{"stop save", "hide viewer", "release viewer", "show panes"}));
    EXPECT_EQ(frame.routing(), (std::vector<int>{kPaneImageList, kPaneFolderTree}));
}

TEST_F(FrameFixture, MakeActiveSetsRoutingList) {
    frame.make_active(kPaneFolderTree);
    EXPECT_EQ(frame.active_pane(), kPaneFolderTree);
    EXPECT_EQ(frame.routing(), (std::vector<int>{kPaneFolderTree, kPaneImageList}));
    frame.make_active(kPaneImageList);
    EXPECT_EQ(frame.routing(), (std::vector<int>{kPaneImageList, kPaneFolderTree}));
    frame.make_active(kPaneViewer);
    EXPECT_EQ(frame.routing(), (std::vector<int>{kPaneViewer}));
}

TEST_F(FrameFixture, CommandsGoToTheFirstPaneThatTakesThem) {
    frame.make_active(kPaneFolderTree);
    EXPECT_TRUE(frame.dispatch(32805));  // both panes know Delete: the tree is first
    EXPECT_EQ(host.tree.handled, (std::vector<int>{32805}));
    EXPECT_TRUE(host.list.handled.empty());
    frame.make_active(kPaneImageList);
    EXPECT_TRUE(frame.dispatch(32805));
    EXPECT_EQ(host.list.handled, (std::vector<int>{32805}));
    // A viewer command in browser mode reaches nobody and shows disabled.
    EXPECT_FALSE(frame.dispatch(32847));
    EXPECT_TRUE(host.viewer.handled.empty());
    EXPECT_FALSE(frame.state(32847).enabled);
    // One query per command, answered by the pane that would receive it.
    host.list.disabled = 32902;
    host.list.queries = host.tree.queries = 0;
    EXPECT_FALSE(frame.state(32902).enabled);
    EXPECT_TRUE(frame.state(32805).enabled);
    EXPECT_EQ(host.list.queries, 2);
    EXPECT_EQ(host.tree.queries, 0);
}

TEST_F(FrameFixture, DualKeysFollowTheMode) {
    struct Case {
        const char* key;
        int browser;
        int viewer;
    };
    const Case cases[] = {{"Ctrl+U", 32902, 32847}, {"Ctrl+J", 32898, 32853},
                          {"Alt+Return", 32894, 32881}, {"Esc", 32865, 32810},
                          {"Ctrl+A", 32832, 32832},   {"Shift+Ins", 57637, 57637}};
    for (const auto& c : cases) EXPECT_EQ(frame.command_for_key(c.key), c.browser) << c.key;
    frame.switch_to_viewer();
    for (const auto& c : cases) EXPECT_EQ(frame.command_for_key(c.key), c.viewer) << c.key;
    EXPECT_EQ(frame.command_for_key("Ctrl+Q"), 0);
    // Ctrl+U plays the shown image's audio in viewer mode.
    EXPECT_TRUE(frame.dispatch(frame.command_for_key("Ctrl+U")));
    EXPECT_EQ(host.viewer.handled, (std::vector<int>{32847}));
}

TEST_F(FrameFixture, FrameCommands) {
    EXPECT_TRUE(frame.dispatch(32808));
    EXPECT_EQ(host.options, 1);
    EXPECT_FALSE(frame.state(32852).pressed);
    EXPECT_TRUE(frame.dispatch(32852));
    EXPECT_TRUE(frame.multi_select());
    EXPECT_TRUE(frame.state(32852).pressed);
    frame.switch_to_viewer();
    frame.switch_to_browser();
    EXPECT_TRUE(frame.multi_select());  // survives the modes
    EXPECT_TRUE(frame.dispatch(32896));
    EXPECT_EQ(host.exits, 1);
}

TEST_F(FrameFixture, FullScreenSurvivesBrowserMode) {
    frame.switch_to_viewer();
    frame.request_full_screen(true);
    EXPECT_FALSE(host.bar_visible);
    EXPECT_TRUE(frame.full_screen());
    frame.switch_to_browser();
    EXPECT_TRUE(host.bar_visible);   // the browser shows the command bar
    EXPECT_TRUE(frame.full_screen());  // the flag stays
    frame.switch_to_viewer();
    EXPECT_FALSE(host.bar_visible);  // full screen again without the command
    // Asking while the bar is hidden leaves full screen: 32771 toggles.
    frame.request_full_screen(true);
    EXPECT_TRUE(host.bar_visible);
    EXPECT_FALSE(frame.full_screen());
}

TEST_F(FrameFixture, SplitposMinusOneGivesHalfTheClient) {
    EXPECT_EQ(settings.splitpos, 120);
    FrameLayout l = frame.layout();
    EXPECT_EQ(l.tree, (Rect{0, 0, 120, 300}));
    EXPECT_EQ(l.list, (Rect{127, 0, 240, 300}));
    EXPECT_EQ(l.bar, (Rect{120, 0, 127, 300}));
    EXPECT_EQ(l.viewer, (Rect{0, 0, 240, 300}));
}

TEST(FrameSplitpos, OutOfRangeValuesAreReplaced) {
    struct Case {
        int stored;
        int expected;
    };
    for (Case c : {Case{-1, 120}, Case{235, 120}, Case{234, 234}, Case{0, 0}, Case{90, 90}}) {
        RecordingHost host;
        shell::Settings settings;
        settings.splitpos = c.stored;
        FrameLogic frame(host, settings);
        frame.create(240, 300, false);
        EXPECT_EQ(settings.splitpos, c.expected) << c.stored;
    }
}

TEST_F(FrameFixture, SplitterDragIsClamped) {
    settings.splitminormax = 1;
    EXPECT_EQ(frame.press(119, 100), SplitterPress::none);  // left of the bar
    EXPECT_EQ(frame.press(126, 100), SplitterPress::none);  // its last column is not the grip
    EXPECT_EQ(frame.press(125, 100), SplitterPress::drag);
    EXPECT_EQ(frame.drag_position(), 120);
    EXPECT_TRUE(frame.move(10));
    EXPECT_EQ(frame.drag_position(), 80);
    EXPECT_FALSE(frame.move(50));  // still 80: nothing to redraw
    frame.release();
    EXPECT_EQ(settings.splitpos, 80);
    EXPECT_EQ(settings.splitminormax, 0);

    EXPECT_EQ(frame.press(80, 200), SplitterPress::drag);
    frame.move(1000);
    EXPECT_EQ(frame.drag_position(), 240 - 86);
    frame.release();
    EXPECT_EQ(settings.splitpos, 154);
    EXPECT_EQ(frame.layout().list.left, 161);

    // A lost capture changes nothing.
    frame.press(154, 200);
    frame.move(100);
    frame.cancel_drag();
    EXPECT_FALSE(frame.dragging());
    EXPECT_EQ(settings.splitpos, 154);
}

TEST_F(FrameFixture, CollapseAndExpandAreas) {
    EXPECT_EQ(frame.press(120, 2), SplitterPress::collapse);
    EXPECT_EQ(settings.splitpos, 0);
    EXPECT_EQ(settings.splitminormax, -1);
    EXPECT_EQ(settings.splitrestorepos, 120);
    EXPECT_EQ(frame.press(0, 2), SplitterPress::collapse);
    EXPECT_EQ(settings.splitpos, 120);
    EXPECT_EQ(settings.splitminormax, 0);

    EXPECT_EQ(frame.press(121, kSplitterAreaHeight + 1), SplitterPress::expand);
    EXPECT_EQ(settings.splitpos, 234);
    EXPECT_EQ(settings.splitminormax, 1);
    EXPECT_EQ(frame.press(234, kSplitterAreaHeight + 1), SplitterPress::expand);
    EXPECT_EQ(settings.splitpos, 120);
    EXPECT_EQ(settings.splitminormax, 0);
}

TEST(FrameStart, StartLocatorKeepsBrowserPanesHidden) {
    RecordingHost host;
    shell::Settings settings;
    FrameLogic frame(host, settings);
    frame.create(240, 300, true);
    EXPECT_EQ(std::count(host.calls.begin(), host.calls.end(), "show panes"), 0);
    EXPECT_EQ(frame.active_pane(), kPaneFolderTree);
}

TEST(ScreenLimits, DefaultsAreTheFloor) {
    ScreenLimits small = limits_for_screen(160, 120);
    EXPECT_EQ(small.viewing, 768000u);
    EXPECT_EQ(small.editing, 104857600u);
    EXPECT_EQ(small.tiles, 2000000u);
    ScreenLimits desktop = limits_for_screen(1920, 1080);
    EXPECT_EQ(desktop.viewing, 1920u * 1080 * 3 * 4);
    EXPECT_EQ(desktop.tiles, 1920ull * 1080 * 3 * 2);
}

TEST(CommandTable, MenusAndButtonsAsListed) {
    const auto& menus = resources::menu_128();
    ASSERT_EQ(menus.size(), 7u);
    const char16_t* titles[] = {u"&File", u"E&dit", u"&Image", u"&Image", u"&View", u"E&dit", u"&View"};
    for (int i = 0; i < 7; ++i) EXPECT_EQ(std::u16string(menus[i].title), titles[i]);
    EXPECT_EQ(std::u16string(menus[0].items[3].text), u"E&xit Qelvio");
    EXPECT_TRUE(menus[1].items.back().submenu());
    EXPECT_EQ(menus[1].items.back().items.size(), 3u);
    std::vector<int> ids;
    for (const auto& b : resources::toolbar_128()) ids.push_back(b.id);
    EXPECT_EQ(ids, (std::vector<int>{32852, 32810, 32797, 32841, 32845, 32865, 0, 32870, 32868, 32867, 0,
                                     32860, 0, 32903, 32904}));
}

}  // namespace
}  // namespace qelvio::browser
