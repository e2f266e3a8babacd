#include "resources/command_table.h"

#include "resources/browser_texts.h"
#include "resources/command_ids.h"

namespace qelvio::resources {
namespace {

MenuEntry cmd(int id, const char16_t* text) { return {id, text, {}}; }
MenuEntry sep() { return {0, nullptr, {}}; }
MenuEntry sub(const char16_t* text, std::vector<MenuEntry> items) { return {0, text, std::move(items)}; }

std::vector<TopMenu> make_menu_128() {
    return {
        {u"&File",
         {cmd(32808, u"&Options...\tAlt+O"), cmd(57664, u"&About..."), sep(), cmd(32896, u"E&xit Qelvio")}},
        {u"E&dit",
         {cmd(32805, u"&Delete\tDel"), cmd(32818, u"&Rename...\tCtrl+R"), sep(),
          cmd(57635, u"Cu&t\tCtrl+X"), cmd(57634, u"&Copy\tCtrl+C"), cmd(57637, u"&Paste\tCtrl+V"), sep(),
          cmd(32832, u"Select A&ll\tCtrl+A"), cmd(32833, u"&Unselect All"), sep(),
          sub(u"&Folder", {cmd(32908, u"Create &New"), cmd(32920, u"&Delete"), cmd(32921, u"&Rename")})}},
        {u"&Image",
         {cmd(32895, u"Send via &E-Mail...\tAlt+E"), cmd(32879, u"&Send via Infrared...\tAlt+S"),
          cmd(32880, u"&Receive via Infrared...\tAlt+R"), sep(),
          cmd(32898, u"Rotate/Flip (&JPEG)...\tCtrl+J"), sep(), cmd(32900, u"&Find...\tCtrl+F"),
          cmd(32901, u"Find &Next\tCtrl+N"), cmd(32902, u"Play A&udio\tCtrl+U"), sep(),
          cmd(32894, u"&Properties...\tAlt+Enter")}},
        {u"&Image",
         {cmd(32810, u"Return to &Browser\tEsc"), sep(), cmd(32917, u"Save &As..."),
          cmd(32841, u"&Edit\tCtrl+E"), cmd(32853, u"Rotate/Flip (&JPEG)...\tCtrl+J"),
          cmd(32893, u"&Record Audio..."), cmd(32847, u"Play A&udio\tCtrl+U"), sep(),
          cmd(32881, u"&Properties...\tAlt+Enter")}},
        {u"&View",
         {cmd(32907, u"&Image\tEnter"), cmd(32802, u"Slide Show (&All)"), cmd(32803, u"Slide Show (&Selected)"),
          sep(),
          sub(u"S&ort", {cmd(32872, u"by &Name"), cmd(32875, u"by &Size"), cmd(32874, u"by &Date"),
                         cmd(32873, u"by &Type"), sep(), cmd(32876, u"&Ascending"), cmd(32877, u"D&escending")}),
          sep(), cmd(32806, u"&Thumbnails"), cmd(32811, u"&Details"), cmd(32809, u"Thumbs &+ Details")}},
        {u"E&dit",
         {cmd(32839, u"&Levels...\tCtrl+L"), cmd(32848, u"A&uto Levels"), cmd(32840, u"&Resize...\tCtrl+I"),
          sub(u"R&otate", {cmd(32836, u"&90"), cmd(32837, u"&180"), cmd(32838, u"&270")}),
          sub(u"&Flip", {cmd(32911, u"&Horizontal\tCtrl+H"), cmd(32912, u"Ver&tical\tCtrl+T")}),
          cmd(32835, u"&Crop to Selection\tCtrl+O"), sep(), cmd(32915, u"&Save\tCtrl+S"),
          cmd(32914, u"Save &As..."), sep(), cmd(32846, u"R&eload Original"),
          cmd(32865, u"S&top Editing\tEsc")}},
        {u"&View",
         {cmd(32860, u"&Fit to Screen"), cmd(32905, u"&1:1 (fastest)"), sep(), cmd(32771, u"F&ull Screen"),
          cmd(32909, u"&Slide Show")}},
    };
}

}  // namespace

const std::vector<TopMenu>& menu_128() {
    static const std::vector<TopMenu> menu = make_menu_128();
    return menu;
}

const std::vector<MenuEntry>& menu_141_dragdrop() {
    static const std::vector<MenuEntry> menu = {cmd(kCmdDropMove, kTextDropMove), cmd(kCmdDropCopy, kTextDropCopy),
                                                sep(), cmd(kCmdDropCancel, kTextDropCancel)};
    return menu;
}

const std::vector<ToolbarButton>& toolbar_128() {
    static const std::vector<ToolbarButton> buttons = {
        {32852, u"Select multiple files", "multiselect"},
        {32810, u"Return to the browser", "browser"},
        {32797, u"Stop the slideshow", "stopslides"},
        {32841, u"Edit the image", "edit"},
        {32845, u"Crop the image", "crop"},
        {32865, u"Stop editing", "stopedit"},
        {0, nullptr, nullptr},
        {32870, u"Zoom out", "zoomout"},
        {32868, u"Zoom in", "zoomin"},
        {32867, u"Zoom to a selected area", "zoomarea"},
        {0, nullptr, nullptr},
        {32860, u"Fit the image to the screen", "fit"},
        {0, nullptr, nullptr},
        {32903, u"Show or hide the infrared transfer", "irshow"},
        {32904, u"Show or hide the infrared transfer", "irhide"},
    };
    return buttons;
}

const std::vector<Accelerator>& accelerators_128() {
    static const std::vector<Accelerator> table = {
        {"Ctrl+A", 32832, 32832},     {"Ctrl+C", 57634, 57634},     {"Ctrl+E", 32841, 32841},
        {"Alt+E", 32895, 32895},      {"Ctrl+F", 32900, 32900},     {"Ctrl+H", 32911, 32911},
        {"Ctrl+I", 32840, 32840},     {"Ctrl+J", 32898, 32853},     {"Ctrl+L", 32839, 32839},
        {"Ctrl+N", 32901, 32901},     {"Ctrl+O", 32835, 32835},     {"Alt+O", 32808, 32808},
        {"Ctrl+X", 57635, 57635},     {"Ctrl+R", 32818, 32818},     {"Alt+R", 32880, 32880},
        {"Alt+S", 32879, 32879},      {"Ctrl+T", 32912, 32912},     {"Ctrl+U", 32902, 32847},
        {"Ctrl+V", 57637, 57637},     {"Del", 32805, 32805},        {"Shift+Del", 57635, 57635},
        {"Esc", 32865, 32810},        {"Ctrl+Ins", 57634, 57634},   {"Shift+Ins", 57637, 57637},
        {"Return", 32907, 32907},     {"Alt+Return", 32894, 32881},
        // The keypad's Enter key does what Enter does.
        {"Enter", 32907, 32907},      {"Alt+Enter", 32894, 32881},
    };
    return table;
}

}  // namespace qelvio::resources
