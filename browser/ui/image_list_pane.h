// The image list pane until its full version: the folder's image files by
// name; Enter or a double click views one through the frame.
#pragma once

#include "browser/frame_logic.h"
#include "browser/ui/frame_calls.h"

#include <QListWidget>

#include <vector>

class p_filenode;

namespace qelvio::browser {

class ImageListPane : public QListWidget, public CommandTarget {
    Q_OBJECT
public:
    ImageListPane(FrameCalls& frame, QWidget* parent);

    // Lists the folder's files whose extensions the decoders list.
    void open(p_filenode* folder);
    void refresh();
    void stop_thumbnail_loading() {}
    void set_active_look(bool active);

    // The index of a file name, or -1.
    int index_of(const QString& name) const;
    // The locator of the item at index (empty when out of range).
    p_irl locator(int index) const;
    int item_count() const { return static_cast<int>(files_.size()); }

    bool handle_command(int id) override;
    std::optional<CommandState> command_state(int id) override;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    FrameCalls& frame_;
    p_filenode* folder_ = nullptr;
    std::vector<p_filenode*> files_;
    bool cells_drawn_ = false;
};

}  // namespace qelvio::browser
