// The frame's calls that the panes use (the only way one pane reaches
// another). Implemented by the main frame. User-interface thread only.
#pragma once

#include "qelvio/p_irl.h"

#include <vector>

class p_filenode;

namespace qelvio::browser {

class FrameCalls {
public:
    virtual ~FrameCalls() = default;
    // Opens a folder; with select_in_tree the folder tree selects it first.
    virtual void open_folder(const p_irl& folder, bool select_in_tree) = 0;
    // Shows the image list's item in the viewer; false when it failed.
    virtual bool view_index(int index) = 0;
    // The locator of the image list's item (empty for none).
    virtual p_irl image_locator(int index) const = 0;
    // Opens a file's folder and shows the file in the viewer, or a folder.
    virtual void open_locator(const p_irl& irl) = 0;
    // Makes a pane active (1 image list, 2 folder tree, 3 viewer).
    virtual void make_active(int pane) = 0;
    // The viewer let go of its image: back to browser mode.
    virtual void return_to_browser() = 0;
    virtual void request_full_screen(bool on) = 0;
    virtual bool multi_select() const = 0;
    // Switches to viewer mode and starts the viewer's slide show over all
    // images, or over the selected ones from the first selected.
    virtual void start_slideshow(bool selected_only) = 0;
    // The image list's items: their number, which is selected, which the
    // viewer shows (-1 for none).
    virtual int image_count() const = 0;
    virtual bool image_selected(int index) const = 0;
    virtual int shown_index() const = 0;
    // Seconds between slides (the setting slide_interval).
    virtual float slide_interval() const = 0;
    // A viewer's button shown or hidden (only while the viewer is visible).
    virtual void set_viewer_command_visible(int id, bool flag) = 0;
    // The folder tree and the image list take in pending file-tree
    // notifications (after a drop, a paste, a rename).
    virtual void refresh_panes() = 0;
    // The beaming window: its mode (0 idle, 1 sending, 2 receiving), and
    // the image list's Send and Receive commands handed to it.
    virtual int infrared_mode() const = 0;
    virtual void send_via_infrared(const std::vector<p_filenode*>& files) = 0;
    virtual void receive_via_infrared() = 0;
};

}  // namespace qelvio::browser
