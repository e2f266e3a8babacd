// A FindHost over the file tree itself, listing a folder's image files as
// the image list does (the plug-in manager's extensions, sorted by name
// ignoring case). The command line searches through it; it also notes each
// folder it was made to show. Metadata is read through an image object of
// its own for one file at a time, so a search through many thousand files
// neither fills the thumbnail cache nor holds their tag lists.
#pragma once

#include "find/find_search.h"
#include "decoding/source/image_source.h"

#include <memory>

namespace qelvio::find {

class TreeFindHost : public FindHost {
public:
    // Shows `folder` at once.
    TreeFindHost(p_mcp& tree, const p_irl& folder);

    p_irl shown_folder() override { return shown; }
    int item_count() override { return static_cast<int>(items.size()); }
    std::u16string item_name(int index) override;
    int64_t item_size(int index) override;
    const metadata::ExifTagList* item_tags(int index) override;
    void show_folder(const p_irl& folder) override;
    void reload_folder() override { load(); }
    p_filenode* folder_node(const p_irl& folder) override;
    void set_searching(bool on) override { searching = on; }

    // The locator and the node of an item of the shown folder.
    p_irl item_locator(int index) const;
    p_filenode* item_node(int index) const { return items[static_cast<std::size_t>(index)]; }
    // Every folder shown by show_folder, in order.
    std::vector<std::u16string> shown_log;
    bool searching = false;

private:
    void load();

    p_mcp& mcp;
    p_irl shown;
    std::vector<p_filenode*> items;
    std::unique_ptr<decoding::p_ImageSource> tagged;  // the image whose tag list was read last
};

}  // namespace qelvio::find
