// The image list as Find drives it (Find and Find Next, commands 32900 and
// 32901): the shown folder's items, opening another folder through the
// frame, the "Searching..." state, and selecting and showing a match.
// User-interface thread only.
#pragma once

#include "find/find_list.h"

namespace qelvio::browser {

class FrameCalls;
class ImageListPane;

class ImageListFind : public find::FindList {
public:
    ImageListFind(ImageListPane& pane, FrameCalls& frame) : pane_(pane), frame_(frame) {}

    p_irl shown_folder() override;
    int item_count() override;
    std::u16string item_name(int index) override;
    int64_t item_size(int index) override;
    const metadata::ExifTagList* item_tags(int index) override;
    void show_folder(const p_irl& folder) override;
    void reload_folder() override;
    p_filenode* folder_node(const p_irl& folder) override;
    void set_searching(bool on) override;
    void clear_selection() override;
    void select_item(int index) override;
    void show_item(int index) override;

private:
    ImageListPane& pane_;
    FrameCalls& frame_;
};

}  // namespace qelvio::browser
