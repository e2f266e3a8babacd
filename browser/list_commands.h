// The image list's commands: which ones it carries, when each is enabled
// and when its menu item is checked.
#pragma once

#include "browser/frame_logic.h"

#include <optional>

namespace qelvio::browser {

// What the enabling rules look at.
struct ListCommandFacts {
    int count = 0;
    int selected = 0;
    int view_mode = 1;
    int sort_key = 0;
    bool descending = false;
    bool one_selected_has_audio = false;  // exactly one selected and it has audio
    bool any_selected_jpeg = false;
    bool can_paste = false;
    int infrared_mode = 0;  // the beaming window: 0 idle, 1 sending, 2 receiving
};

// The command's state, or nullopt when it is not an image list command.
std::optional<CommandState> list_command_state(int id, const ListCommandFacts& facts);

// The sort key a command sets (-1 for another command).
int sort_key_of_command(int id);
// The view mode a command switches to (-1 for another command).
int view_mode_of_command(int id);
// A header tap on column: the new key and direction.
struct SortChoice {
    int key;
    bool descending;
};
SortChoice header_tap(int column, int key, bool descending);

}  // namespace qelvio::browser
