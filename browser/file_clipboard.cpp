#include "browser/file_clipboard.h"

namespace qelvio::browser {

bool FileClipboard::set(const std::vector<p_filenode*>& files, bool cut) {
    if (files.empty()) return false;
    entries_.clear();
    for (p_filenode* file : files) {
        if (!file) continue;
        ClipboardEntry entry;
        if (file->getirl(entry.locator) < 0) continue;
        entry.cut = cut;
        entries_.push_back(std::move(entry));
    }
    return true;
}

}  // namespace qelvio::browser
