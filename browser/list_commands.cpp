#include "browser/list_commands.h"

#include "browser/list_geometry.h"
#include "resources/command_ids.h"

namespace qelvio::browser {

using namespace resources;

int sort_key_of_command(int id) {
    switch (id) {
    case kCmdSortByName: return 0;
    case kCmdSortByType: return 1;
    case kCmdSortBySize: return 2;
    case kCmdSortByDate: return 3;
    default: return -1;
    }
}

int view_mode_of_command(int id) {
    switch (id) {
    case kCmdViewThumbnails: return kViewThumbnails;
    case kCmdViewDetails: return kViewDetails;
    case kCmdViewThumbsDetails: return kViewThumbsDetails;
    default: return -1;
    }
}

SortChoice header_tap(int column, int key, bool descending) {
    if (column == key) return {key, !descending};
    return {column, false};
}

std::optional<CommandState> list_command_state(int id, const ListCommandFacts& f) {
    CommandState s;
    if (int mode = view_mode_of_command(id); mode >= 0) {
        s.checked = f.view_mode == mode;
        return s;
    }
    if (int key = sort_key_of_command(id); key >= 0) {
        s.checked = f.sort_key == key;
        return s;
    }
    switch (id) {
    case kCmdSortAscending: s.checked = !f.descending; return s;
    case kCmdSortDescending: s.checked = f.descending; return s;
    case kCmdSelectAll:
    case kCmdUnselectAll: return s;
    case kCmdViewImage: s.enabled = f.selected == 1; return s;
    case kCmdSlideShowAll: s.enabled = f.count > 1; return s;
    case kCmdSlideShowSelected: s.enabled = f.selected > 1; return s;
    case kCmdPlayAudio: s.enabled = f.selected == 1 && f.one_selected_has_audio; return s;
    case kCmdTransformJpeg: s.enabled = f.any_selected_jpeg; return s;
    case kCmdCut:
    case kCmdCopy:
    case kCmdDelete:
    case kCmdRename:
    case kCmdSendEmail: s.enabled = f.selected > 0; return s;
    case kCmdFind:
    case kCmdFindNext: return s;
    case kCmdPaste: s.enabled = f.can_paste; return s;
    case kCmdProperties: s.enabled = f.selected == 1; return s;
    // The beaming window does one thing at a time: more files can join a
    // send, and Receive while receiving shows the window.
    case kCmdSendInfrared: s.enabled = f.selected > 0 && f.infrared_mode != 2; return s;
    case kCmdReceiveInfrared: s.enabled = f.infrared_mode != 1; return s;
    default: return std::nullopt;
    }
}

}  // namespace qelvio::browser
