#include "browser/file_operations.h"

#include "qelvio/p_mcp.h"
#include "resources/browser_texts.h"

namespace qelvio::browser {
namespace {

constexpr int kTextCantBeDeleted = 35053;
constexpr int kTextCantBeMovedTo = 35089;
constexpr int kTextCantBeCopiedTo = 35090;

// The name a message shows for a folder: its own name, or its path for the
// root, which has none.
p_string folder_name(const p_filenode* folder) {
    if (!folder->getname().isempty()) return folder->getname();
    p_string path;
    folder->getpath(path);
    return path;
}

// One file of a paste or drop: copied or moved, and a failure shown. A move
// into the file's own folder gives -100 and leaves the file where it was,
// which needs no message; any other -100 is a read or write failure the
// user must hear of.
int32_t transfer_one(p_filenode* folder, p_filenode* file, bool move, p_overwriteprompt& prompt,
                     FileOperationFeedback& feedback) {
    const bool onto_itself = move && file->getparent() == folder;
    int32_t status = p_copywithprompts(folder, file, move, &prompt, nullptr);
    if (status < 0 && status != P_CANCELLED && !(status == P_FAILED && onto_itself)) {
        p_string text;
        text.format(p_loadstring(move ? kTextCantBeMovedTo : kTextCantBeCopiedTo).c_str(), file->getname(),
                    folder_name(folder));
        feedback.showmessage(status_text(text, status));
    }
    return status;
}

// Closes the progress window however the loop ends.
struct ProgressScope {
    ProgressScope(FileOperationFeedback& f, const char16_t* text, int count) : feedback(f) {
        feedback.progress_open(text, 0, count);
    }
    ~ProgressScope() { feedback.progress_close(); }
    FileOperationFeedback& feedback;
};

}  // namespace

p_string status_text(const p_string& text, int32_t code) {
    p_string composed;
    composed.format(u"%s\n(%s)", text, p_statusmessage(code));
    return composed;
}

int32_t paste_clipboard(FileClipboard& clipboard, p_filenode* folder, FileOperationFeedback& feedback) {
    if (!folder || !folder->getfile() || !folder->isdirectory() || !folder->gettree()) return P_FAILED;
    p_mcp* registry = folder->gettree()->getowner();
    if (!registry) return P_FAILED;
    // The entries are taken out first: the clipboard is empty afterwards
    // whatever happens to them.
    std::vector<ClipboardEntry> entries = clipboard.entries();
    clipboard.clear();
    const int count = static_cast<int>(entries.size());
    ProgressScope progress(feedback, resources::kTextCopyingImages, count);
    std::unique_ptr<p_overwriteprompt> prompt = feedback.make_prompt(count >= 2);
    for (int i = 0; i < count; ++i) {
        feedback.progress_step(i);
        p_filenode* file = nullptr;
        if (registry->openfile(entries[static_cast<std::size_t>(i)].locator, &file) < 0 || !file ||
            file->isdirectory())
            continue;
        if (transfer_one(folder, file, entries[static_cast<std::size_t>(i)].cut, *prompt, feedback) == P_CANCELLED)
            return P_CANCELLED;
    }
    return P_OK;
}

int32_t copy_or_move_files(p_filenode* folder, const std::vector<p_filenode*>& files, bool move,
                           FileOperationFeedback& feedback) {
    if (!folder || !folder->getfile() || !folder->isdirectory()) return P_FAILED;
    const int count = static_cast<int>(files.size());
    ProgressScope progress(feedback, move ? resources::kTextMovingImages : resources::kTextCopyingImages, count);
    std::unique_ptr<p_overwriteprompt> prompt = feedback.make_prompt(count >= 2);
    for (int i = 0; i < count; ++i) {
        feedback.progress_step(i);
        p_filenode* file = files[static_cast<std::size_t>(i)];
        if (!file || !file->getfile() || file->isdirectory()) continue;
        if (transfer_one(folder, file, move, *prompt, feedback) == P_CANCELLED) return P_CANCELLED;
    }
    return P_OK;
}

int delete_files(const std::vector<p_filenode*>& files, FileOperationFeedback& feedback) {
    if (files.empty() || !feedback.confirm_delete()) return 0;
    int deleted = 0;
    for (p_filenode* file : files) {
        if (!file) continue;
        p_filenode* folder = file->getparent();
        // The list holds images only; a folder is never deleted from here,
        // with everything in it.
        int32_t status = !folder || file->isdirectory() ? P_NOT_SUPPORTED : folder->deletechild(file->getname());
        if (status < 0) {
            p_string text;
            text.format(p_loadstring(kTextCantBeDeleted).c_str(), file->getname());
            feedback.showmessage(status_text(text, status));
        } else {
            ++deleted;
        }
    }
    return deleted;
}

}  // namespace qelvio::browser
