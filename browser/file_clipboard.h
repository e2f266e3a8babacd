// The program's own file clipboard: what Cut or Copy took, kept for the
// whole run until a Paste empties it. Each entry is a file's locator and
// whether it was cut (moved on Paste) or copied. It is not the desktop's
// clipboard; the user interface also offers the files there for other
// programs. User-interface thread only.
#pragma once

#include "qelvio/p_filetree.h"

#include <vector>

namespace qelvio::browser {

struct ClipboardEntry {
    p_irl locator;
    bool cut = false;
};

class FileClipboard {
public:
    // The clipboard becomes the files, every entry with the cut flag given.
    // An empty list leaves the clipboard as it was; false then.
    bool set(const std::vector<p_filenode*>& files, bool cut);
    void clear() { entries_.clear(); }
    bool empty() const { return entries_.empty(); }
    const std::vector<ClipboardEntry>& entries() const { return entries_; }

private:
    std::vector<ClipboardEntry> entries_;
};

}  // namespace qelvio::browser
