#include "find/tree_host.h"

#include "decoding/plugin_manager.h"
#include "platform/file_system.h"
#include "qelvio/p_fileops.h"

#include <algorithm>

namespace qelvio::find {

TreeFindHost::TreeFindHost(p_mcp& tree, const p_irl& folder) : mcp(tree), shown(folder) {
    load();
}

p_filenode* TreeFindHost::folder_node(const p_irl& folder) {
    p_filenode* node = nullptr;
    return mcp.openfile(folder, &node) == P_OK && node && node->isdirectory() ? node : nullptr;
}

void TreeFindHost::show_folder(const p_irl& folder) {
    shown = folder;
    shown_log.emplace_back(folder.view());
    load();
}

void TreeFindHost::load() {
    items.clear();
    p_filenode* folder = folder_node(shown);
    if (!folder) return;
    std::u16string extensions;
    decoding::PluginManager::instance().list_extensions(extensions);
    if (folder->settrack(P_TRACK_FILES, extensions.c_str(), true) < 0) return;
    for (p_filenode* child : folder->getchildren())
        if (!child->isdirectory()) items.push_back(child);
    std::sort(items.begin(), items.end(), [](p_filenode* a, p_filenode* b) {
        return lower_case(a->getname().view()) < lower_case(b->getname().view());
    });
}

std::u16string TreeFindHost::item_name(int index) {
    return std::u16string(items[static_cast<std::size_t>(index)]->getname().view());
}

int64_t TreeFindHost::item_size(int index) {
    p_filenode* file = items[static_cast<std::size_t>(index)];
    // The file system's size: the file interface's is 32-bit.
    p_string path;
    if (p_localpath(file, path))
        if (auto size = platform::file_size(path.view())) return *size;
    return file->getfilesize();
}

p_irl TreeFindHost::item_locator(int index) const {
    p_irl locator;
    items[static_cast<std::size_t>(index)]->getirl(locator);
    return locator;
}

const metadata::ExifTagList* TreeFindHost::item_tags(int index) {
    tagged = std::make_unique<decoding::p_ImageSource>(item_locator(index));
    return tagged->tag_list();
}

}  // namespace qelvio::find
