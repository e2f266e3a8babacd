// Operations that combine two files: copying or moving a file into a folder
// (with the browser's name-clash rules), exporting a node's content to a
// local file and importing one into a node. They use only the node and file
// interfaces, so they work for every store. User-interface thread only.
#pragma once

#include "qelvio/p_filetree.h"

// The answers of the overwrite prompt.
enum p_overwriteanswer : int {
    P_ANSWER_DISMISSED = -1,  // closed without one of its buttons
    P_ANSWER_YES = 0,
    P_ANSWER_YESTOALL = 1,
    P_ANSWER_NO = 2,
    P_ANSWER_NOTOALL = 3,
    P_ANSWER_CANCEL = 4,
};

// Asks whether an existing file may be replaced. The user interface shows a
// modal dialog; tests and the command line answer by script. One prompt
// object lives for one multi-file operation and remembers "Yes to all" and
// "No to all" for the rest of it.
class QELVIO_STORAGE_EXPORT p_overwriteprompt {
public:
    virtual ~p_overwriteprompt() = default;
    // The remembered answer, or the one show() gives.
    int ask(const p_irl& source, const p_irl& existing);
    int remembered() const { return rememberedanswer; }

protected:
    // Shows the question about replacing existing with source; returns an
    // answer 0 to 4, or -1 when dismissed otherwise.
    virtual int show(const p_irl& source, const p_irl& existing) = 0;

private:
    int rememberedanswer = P_ANSWER_DISMISSED;
};

// Copies (or moves) source into the folder target, named name (null: the
// source's own name). -9 when the target already holds that name.
QELVIO_STORAGE_EXPORT int32_t p_copyintofolder(p_filenode* target, p_filenode* source,
                                               const char16_t* name, bool move);

// The browser's copy and move: asks the prompt about name clashes, and names
// a copy into the source's own folder "Copy of ..." / "Copy (2) of ...".
// -20 when the user cancels.
QELVIO_STORAGE_EXPORT int32_t p_copywithprompts(p_filenode* target, p_filenode* source, bool move,
                                                p_overwriteprompt* prompt, const char16_t* name);

// Writes a node's content to a local path (replaced when it exists).
QELVIO_STORAGE_EXPORT int32_t p_export(p_filenode* node, const char16_t* local_path);

// Replaces a node's content with a local file; with move the local file is
// gone afterwards.
QELVIO_STORAGE_EXPORT int32_t p_import(p_filenode* node, const char16_t* local_path, bool move);

// The node's full local path when its store is "file"; false otherwise.
QELVIO_STORAGE_EXPORT bool p_localpath(const p_filenode* node, p_string& out);

// The folder for temporary files (a device path); created on first use.
QELVIO_STORAGE_EXPORT p_string p_temporaryfolder();
