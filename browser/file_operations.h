// The browser's file operations over the file tree: Paste of the file
// clipboard, copying or moving dropped files into a folder, and Delete.
// They copy and move through p_copywithprompts, so a copy into the file's
// own folder is named "Copy of ..." and a name clash asks the overwrite
// prompt; a replaced file is swapped for its complete copy in one step.
//
// What they need of the user (questions, messages, the progress window)
// goes through FileOperationFeedback, which the user interface implements
// with dialogs and tests and the command line with scripts.
// User-interface thread only.
#pragma once

#include "browser/file_clipboard.h"
#include "qelvio/p_fileops.h"
#include "qelvio/p_status.h"

#include <memory>
#include <string>
#include <vector>

namespace qelvio::browser {

class FileOperationFeedback : public p_messagesink {
public:
    // The overwrite prompt of one operation, offering "Yes to all" and
    // "No to all" when multi. Never null.
    virtual std::unique_ptr<p_overwriteprompt> make_prompt(bool multi) = 0;
    // Asks "Delete the selected images?" (Yes, No); true for Yes.
    virtual bool confirm_delete() = 0;
    // The progress window: opened with its line of text and range, stepped
    // between files, closed at the end.
    virtual void progress_open(const char16_t* text, int minimum, int maximum) {
        (void)text, (void)minimum, (void)maximum;
    }
    virtual void progress_step(int position) { (void)position; }
    virtual void progress_close() {}
    // Repaints the panes at once (a failed rename's message is on screen).
    virtual void repaint_now() {}
};

// "text\n(status message)" as the program shows a failed operation; unlike
// p_showstatus it also composes code -20.
p_string status_text(const p_string& text, int32_t code);

// Pastes the clipboard into folder: each entry in order is opened through
// the folder's store registry (entries that cannot be opened, and folders,
// are skipped) and copied, or moved when it was cut, under the progress
// window "Copying images..." and one overwrite prompt (multi for two or
// more entries). A failure other than -100 shows "The image %s can't be
// moved to %s." or "... copied to %s." with its status; Cancel in the
// prompt stops the rest. The clipboard is empty afterwards, also after
// copies. Returns -20 when cancelled, -100 when the folder is not one
// (nothing done then), otherwise 0.
int32_t paste_clipboard(FileClipboard& clipboard, p_filenode* folder, FileOperationFeedback& feedback);

// Copies or moves the files into folder (a drop): the progress window
// "Moving images..." or "Copying images...", one overwrite prompt (multi
// for two or more files), the same messages as paste_clipboard, and a stop
// at Cancel. Folders in the list are skipped. Same results.
int32_t copy_or_move_files(p_filenode* folder, const std::vector<p_filenode*>& files, bool move,
                           FileOperationFeedback& feedback);

// Asks "Delete the selected images?"; on Yes deletes each file in order
// through its own folder (which makes the thumbnail cache forget it). A
// failure shows "The image %s can't be deleted." with its status and the
// next file is tried. Returns the number of files deleted (0 after No).
int delete_files(const std::vector<p_filenode*>& files, FileOperationFeedback& feedback);

}  // namespace qelvio::browser
