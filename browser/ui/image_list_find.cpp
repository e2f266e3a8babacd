#include "browser/ui/image_list_find.h"

#include "browser/ui/frame_calls.h"
#include "browser/ui/image_list_pane.h"
#include "decoding/source/image_source.h"
#include "qelvio/p_mcp.h"

namespace qelvio::browser {

p_irl ImageListFind::shown_folder() {
    p_irl irl;
    if (p_filenode* folder = pane_.folder()) folder->getirl(irl);
    return irl;
}

int ImageListFind::item_count() { return pane_.item_count(); }

std::u16string ImageListFind::item_name(int index) {
    p_filenode* file = pane_.file(index);
    return file ? std::u16string(file->getname().view()) : std::u16string();
}

int64_t ImageListFind::item_size(int index) {
    p_filenode* file = pane_.file(index);
    return file ? file->getfilesize() : 0;
}

const metadata::ExifTagList* ImageListFind::item_tags(int index) {
    decoding::p_ImageSource* image = pane_.image(index);
    return image ? image->tag_list() : nullptr;
}

void ImageListFind::show_folder(const p_irl& folder) { frame_.open_folder(folder, true); }

void ImageListFind::reload_folder() { pane_.refresh(); }

p_filenode* ImageListFind::folder_node(const p_irl& folder) {
    p_filenode* node = nullptr;
    p_mcp* tree = p_mcp::instance();
    if (!tree || tree->openfile(folder, &node) < 0 || !node || !node->isdirectory()) return nullptr;
    return node;
}

void ImageListFind::set_searching(bool on) { pane_.set_searching(on); }

void ImageListFind::clear_selection() { pane_.select_all(false); }

void ImageListFind::select_item(int index) { pane_.select(index, true); }

void ImageListFind::show_item(int index) { pane_.show_item(index); }

}  // namespace qelvio::browser
