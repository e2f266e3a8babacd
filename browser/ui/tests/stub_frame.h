// A frame for pane tests: every call does nothing and reports "none";
// a test overrides the calls it watches.
#pragma once

#include "browser/frame_logic.h"
#include "browser/ui/frame_calls.h"

namespace qelvio::browser::testing {

struct StubFrame : FrameCalls {
    void open_folder(const p_irl&, bool) override {}
    bool view_index(int) override { return false; }
    p_irl image_locator(int) const override { return {}; }
    void open_locator(const p_irl&) override {}
    void make_active(int) override {}
    void return_to_browser() override {}
    void request_full_screen(bool) override {}
    bool multi_select() const override { return false; }
    void start_slideshow(bool) override {}
    int image_count() const override { return 0; }
    bool image_selected(int) const override { return false; }
    int shown_index() const override { return -1; }
    float slide_interval() const override { return 3.0f; }
    void set_viewer_command_visible(int, bool) override {}
    void refresh_panes() override { ++refreshes; }
    int infrared_mode() const override { return infrared; }
    void send_via_infrared(const std::vector<p_filenode*>& files) override { beamed = files; }
    void receive_via_infrared() override { ++receives; }
    int refreshes = 0;
    int infrared = 0;
    std::vector<p_filenode*> beamed;
    int receives = 0;
};

}  // namespace qelvio::browser::testing
