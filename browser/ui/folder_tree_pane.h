// The folder tree pane until its full version: the shown folder's parent
// ("..") and its subfolders; activating one opens it through the frame.
#pragma once

#include "browser/frame_logic.h"
#include "browser/ui/frame_calls.h"

#include <QListWidget>

class p_filenode;

namespace qelvio::browser {

class FolderTreePane : public QListWidget, public CommandTarget {
    Q_OBJECT
public:
    FolderTreePane(FrameCalls& frame, QWidget* parent);

    // Shows the folder's subfolders, as the image list's tracking of the
    // same folder listed them (the frame opens the list first).
    void open(p_filenode* folder);
    // Takes in pending file-tree notifications.
    void refresh();
    // The selection colour follows whether the pane is active.
    void set_active_look(bool active);

    bool handle_command(int) override { return false; }
    std::optional<CommandState> command_state(int) override { return std::nullopt; }

protected:
    void mousePressEvent(QMouseEvent* event) override;

private:
    void activate(QListWidgetItem* item);

    FrameCalls& frame_;
    p_filenode* folder_ = nullptr;
};

}  // namespace qelvio::browser
