// The browser's file operations as the panes call them: the program's file
// clipboard (Cut, Copy, Paste), Delete, Rename with sequence numbers, the
// drag of selected images, and copying or moving files into a folder with
// the overwrite prompt and the progress window. One object, owned by the
// main frame. User-interface thread only.
#pragma once

#include <QPoint>

#include <memory>
#include <vector>

class QWidget;
class p_filenode;

namespace qelvio::thumbnails {
class p_thumbcache;
}

namespace qelvio::browser {

class FrameCalls;

class FileOperationsUi {
public:
    virtual ~FileOperationsUi() = default;

    // Cut and Copy: the clipboard becomes the files (cut flag set or
    // clear); nothing happens for an empty list. The desktop's clipboard
    // gets the files too (text/uri-list), for file managers.
    virtual void cut(const std::vector<p_filenode*>& files) = 0;
    virtual void copy(const std::vector<p_filenode*>& files) = 0;
    // Paste is enabled while the clipboard holds something.
    virtual bool can_paste() const = 0;
    // Pastes into folder and empties the clipboard. Like every operation
    // below that changes files, it ends with FrameCalls::refresh_panes.
    virtual void paste(p_filenode* folder) = 0;
    // Asks "Delete the selected images?" and deletes the files.
    virtual void delete_files(const std::vector<p_filenode*>& files) = 0;
    // Opens the rename dialog for the files (in list order) and renames them.
    virtual void rename(const std::vector<p_filenode*>& files) = 0;
    // Starts dragging the files from a press at global_start; the tracker
    // sends 1025 and 1026 to the DropTarget under the pointer. Returns when
    // the drag has ended (after the drop's own work).
    virtual void drag(const std::vector<p_filenode*>& files, QPoint global_start) = 0;
    // Copies or moves the files into folder, with the progress window
    // ("Copying images..." / "Moving images...") and the overwrite prompt.
    virtual void copy_or_move_into(p_filenode* folder, const std::vector<p_filenode*>& files, bool move) = 0;
};

// The program's file operations, their dialogs parented to parent; the
// overwrite prompt shows thumbnails from cache (none when null).
std::unique_ptr<FileOperationsUi> make_file_operations_ui(QWidget* parent, FrameCalls& frame,
                                                          thumbnails::p_thumbcache* cache = nullptr);

}  // namespace qelvio::browser
