// The folder tree: the left-hand pane of the browser. It shows the folders
// of the device store ("file:\\") under one root item, "My Device", loads a
// folder's subfolders when the folder is first expanded or walked through,
// opens the selected folder in the image list through the frame, creates,
// renames (label editing) and deletes folders, and takes files dragged from
// the image list or dropped from another program.
//
// Items carry their folder node; a folder with subfolders not yet loaded has
// one placeholder child (empty text, no node) so that its expand button
// shows. Folders whose name begins with the thumbnail folder's are never
// shown. Changes to the file tree arrive through the pane's listener slot,
// taken in every 100 ms, after the pane's own operations and on refresh();
// folders that other programs make or remove in a loaded folder are noticed
// through the file system's change notices and taken in with them.
//
// User-interface thread only.
#pragma once

#include "browser/drop_hover.h"
#include "browser/frame_logic.h"
#include "browser/ui/drop_target.h"
#include "browser/ui/frame_calls.h"

#include <QElapsedTimer>
#include <QTimer>
#include <QTreeWidget>

#include <functional>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

class QFileSystemWatcher;
class p_cachehooks;
class p_filenode;
class p_filetree;
class p_mcp;
class p_string;

namespace qelvio::browser {

class FileOperationsUi;

class FolderTreePane : public QTreeWidget, public CommandTarget, public DropTarget {
    Q_OBJECT
public:
    // Opens the device store's tree through mcp and builds the items; cache
    // follows folders renamed here.
    FolderTreePane(FrameCalls& frame, FileOperationsUi& operations, p_mcp& mcp, p_cachehooks& cache,
                   QWidget* parent);
    ~FolderTreePane() override;

    // Selects the folder at a path of the device store ("\a\b"), expanding
    // every folder on the way; when a part is missing nothing is selected
    // and false is returned. The frame opens the folder in the image list
    // itself, so this does not ask it to.
    bool select_path(const p_string& path);
    // The same for a node of the tree.
    bool select_folder(p_filenode* folder);
    // Takes in pending file-tree notifications (and folders other programs
    // made or removed in loaded folders).
    void refresh();
    // Selection colours of the active pane (dark blue, white text) or of an
    // inactive one (grey, black text); repaints the selection.
    void set_active_look(bool active);

    // The selected item's folder (null for none).
    p_filenode* selected_folder() const;
    // The item of a folder node (null when it has none) and back.
    QTreeWidgetItem* item_of(const p_filenode* folder) const;
    static p_filenode* node_of(const QTreeWidgetItem* item);
    // Whether an item is the placeholder of subfolders not yet loaded.
    static bool is_placeholder(const QTreeWidgetItem* item);

    // ---- CommandTarget: New Folder (32908, 32851), Rename (32921), Delete (32920) ----
    bool handle_command(int id) override;
    std::optional<CommandState> command_state(int id) override;

    // ---- DropTarget (messages 1025 and 1026 of the drag tracker) ----
    void drag_over(const DragState& drag) override;
    void drop(const DragState& drag) override;
    void drag_left() override;

    // Replaceable for tests: a question with composed text and buttons of
    // platform/user_question.h; a message with an OK button; the drop menu
    // (returns 32857 Move, 32858 Copy or 32861 / 0 Cancel).
    std::function<int(const std::u16string& text, int buttons)> ask;
    std::function<void(const QString& text)> show_failure;
    std::function<int(const QPoint& global)> choose_drop_command;

    // Whether a label is being edited.
    bool editing_label() const { return state() == EditingState; }
    // Pops up the "dragdrop" menu of menu 141 at a screen point and waits;
    // the chosen command, or 0 when the menu was closed.
    static int drop_menu(QWidget* parent, const QPoint& global);

    // The folder drag-hover state, for tests.
    const DropHover& hover() const { return hover_; }
    const std::vector<QTreeWidgetItem*>& auto_expanded() const { return auto_expanded_; }
    QTreeWidgetItem* drop_highlight() const { return drop_item_; }

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void build();
    // Timer 1: folders changed outside, then the pending notifications.
    void drain();
    void take_in();
    void handle_event(uint32_t kind, p_filenode* node, p_filenode* other);
    QTreeWidgetItem* insert_item(QTreeWidgetItem* parent, p_filenode* folder);
    void remove_item(QTreeWidgetItem* item);
    void update_placeholder(QTreeWidgetItem* item);
    void expand_node_of(QTreeWidgetItem* item);
    bool walk_and_select(const p_string& path);
    void watch(p_filenode* folder);
    void selection_changed(QTreeWidgetItem* current);
    void label_changed(QTreeWidgetItem* item);
    void new_folder();
    void delete_folder();
    // Drag and drop, for both the tracker's messages and outside drops.
    void hover_at(const QPoint& viewport_point);
    void drop_at(const QPoint& viewport_point, const QPoint& global, const std::vector<p_filenode*>& files);
    void end_drag();
    void set_drop_highlight(QTreeWidgetItem* item);
    void auto_expand();
    void scroll_tick();
    void scroll_one();

    FrameCalls& frame_;
    FileOperationsUi& operations_;
    p_mcp& mcp_;
    p_cachehooks& cache_;
    p_filetree* tree_ = nullptr;
    int slot_ = -1;
    std::u16string thumbnail_name_;
    std::unordered_map<const p_filenode*, QTreeWidgetItem*> items_;
    QTreeWidgetItem* root_item_ = nullptr;
    bool updating_ = false;     // the pane itself changes items: no reaction
    bool selecting_ = false;    // select_path runs: the frame opens the folder itself
    bool suppress_edit_ = false;
    QTimer drain_timer_;        // timer 1
    QTimer expand_timer_;       // timer 2
    QTimer scroll_timer_;       // timer 3
    QElapsedTimer clock_;
    DropHover hover_;
    QPoint hover_point_;
    QTreeWidgetItem* drop_item_ = nullptr;
    std::vector<QTreeWidgetItem*> auto_expanded_;
    QFileSystemWatcher* watcher_ = nullptr;
    std::set<std::u16string> changed_folders_;  // device paths
};

}  // namespace qelvio::browser
