// The drag tracker's two messages to the pane under the pointer: 1025 while
// the dragged files move over it, 1026 when they are dropped on it. A pane
// that takes drops implements DropTarget; the tracker finds it by walking
// up from the widget under the pointer and calls it directly, on the
// user-interface thread.
#pragma once

#include <QPoint>

#include <vector>

class p_filenode;

namespace qelvio::browser {

inline constexpr int kMsgDragOver = 1025;
inline constexpr int kMsgDrop = 1026;

// What the receiver reads from the tracker: the pointer in global (screen)
// coordinates and the dragged files.
struct DragState {
    QPoint global_position;
    std::vector<p_filenode*> files;
};

class DropTarget {
public:
    virtual ~DropTarget() = default;
    // Message 1025.
    virtual void drag_over(const DragState& drag) = 0;
    // Message 1026.
    virtual void drop(const DragState& drag) = 0;
    // The drag left this pane or ended without a drop on it: pending
    // auto-expansion and autoscroll stop, drag-time expansions are undone.
    virtual void drag_left() = 0;
};

}  // namespace qelvio::browser
