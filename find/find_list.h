// The image list as Find drives it: the search's host (items, folders, the
// searching flag) plus the three calls that put a match before the user.
// The image list implements it; tests implement it over a folder tree.
//
// Threading: the user-interface thread.
#pragma once

#include "find/find_search.h"

namespace qelvio::find {

class FindList : public FindHost {
public:
    // Deselects every item.
    virtual void clear_selection() = 0;
    // Adds the item of the shown folder to the selection.
    virtual void select_item(int index) = 0;
    // Scrolls the item into view.
    virtual void show_item(int index) = 0;
};

}  // namespace qelvio::find
