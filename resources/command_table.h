// The frame's command resources: menu 128 (seven drop-down menus), toolbar
// 128 (the command bar's buttons, their tooltips and images) and
// accelerator table 128. Menus, buttons and keys share the command numbers.
//
// Menu texts mark the mnemonic with '&' and separate the shown key with a
// tab. Keys are written as the user interface's portable key names
// ("Ctrl+A", "Alt+Return", "Shift+Del", "Esc").
#pragma once

#include <cstddef>
#include <vector>

namespace qelvio::resources {

// One entry of a drop-down menu: a command (id > 0), a separator (id 0, no
// text) or a submenu (id 0, text and items).
struct MenuEntry {
    int id;
    const char16_t* text;
    std::vector<MenuEntry> items;

    bool separator() const { return id == 0 && text == nullptr; }
    bool submenu() const { return id == 0 && text != nullptr; }
};

// One drop-down menu of the menu bar.
struct TopMenu {
    const char16_t* title;
    std::vector<MenuEntry> items;
};

// The seven drop-down menus of menu 128, in index order: 0 File, 1 Edit
// (browser), 2 Image (browser), 3 Image (viewer), 4 View (browser), 5 Edit
// (editor), 6 View (viewer).
const std::vector<TopMenu>& menu_128();
inline constexpr int kTopMenuCount = 7;

// The "dragdrop" menu of menu resource 141, popped up by the folder tree on
// a drop: Move (32857), Copy (32858), a separator, Cancel (32861).
const std::vector<MenuEntry>& menu_141_dragdrop();

// One place of toolbar 128: a button (id > 0) or a separator (id 0).
struct ToolbarButton {
    int id;
    const char16_t* tooltip;
    const char* image;  // name of the 16 x 16 image among the bitmaps
};

const std::vector<ToolbarButton>& toolbar_128();

// One entry of accelerator table 128. A key that names two commands has
// the browser's command first and the viewer's second; a key with one
// command has it in both.
struct Accelerator {
    const char* key;
    int browser_command;
    int viewer_command;
};

const std::vector<Accelerator>& accelerators_128();

// Texts of the frame and its dialogs that have no number of their own.
inline constexpr const char16_t* kTextCantDisplay = u"The image can't be displayed.";
inline constexpr const char16_t* kTextSaveChanges = u"Do you want to save the changes you made?";
inline constexpr const char16_t* kTextProgressTitle = u"Progress";

}  // namespace qelvio::resources
