// The folder tree's rules over the file tree, without widgets: which folders
// the tree shows, the walk to a folder by its path, New Folder's naming, the
// recursive delete with its read-only question, and taking in folders made
// or removed by other programs.
//
// User-interface thread only (the file tree lives there).
#pragma once

#include "qelvio/p_filetree.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace qelvio::browser {

// The name of the thumbnail folder, as the tree compares folder names with
// it ("Qelvio Thumbnails" unless the well-known folder says otherwise).
std::u16string thumbnail_folder_name();

// Whether a folder of that name is left out of the tree: its name begins
// with the thumbnail folder's name, compared without regard to case over
// that name's length.
bool hidden_from_tree(std::u16string_view folder_name, std::u16string_view thumbnail_name);

// Brings a folder's subfolders into the tree (tracking mode 1) unless its
// children are tracked already. Returns the store's status.
int32_t expand_folder(p_filenode* folder);

// The walk of "select by path": the path is split at backslashes and, from
// root, each folder on the way is expanded (expand_folder) and its child
// folder of the next name looked up; after each expansion take_in runs so
// that the caller can make items for the new folders. Returns the nodes
// walked through, root first; a name that is missing, not a folder, or
// hidden from the tree ends the walk early (the result then lacks it).
std::vector<p_filenode*> walk_path(p_filenode* root, std::u16string_view path,
                                   std::u16string_view thumbnail_name,
                                   const std::function<void()>& take_in);

// The name of a new folder in parent: base while no child of that name is
// found (lookup by name, fetching from the medium), else base + "(1)",
// base + "(2)"...; empty when no free name is found below 10000.
std::u16string new_folder_name(p_filenode* parent, std::u16string_view base);

// Creates the folder new_folder_name(parent, base) in parent; the new node
// in created. Returns the store's status.
int32_t create_new_folder(p_filenode* parent, std::u16string_view base, p_filenode** created);

// Asks a composed question with the buttons of platform/user_question.h;
// returns a platform::QuestionAnswer.
using AskText = std::function<int(const std::u16string& text, int buttons)>;

// Deletes a folder with everything in it, depth first. Every folder is first
// listed with all its files (tracking mode 2, "*"); each child is tried once
// and deleted through its parent. A read-only file asks "The file '%s' is
// read-only.  Are you sure you want to delete it?" (Yes, No, Cancel): Yes
// clears its attributes and deletes it, No keeps it (-18 for that file),
// Cancel stops at once (-20). A folder is deleted after its children, and
// only when they all went. A symbolic link is deleted as a link and never
// followed, so nothing outside the folder is touched. The root (a node
// without parent) is never deleted (-100). Returns 0 or the first failure.
int32_t delete_folder_tree(p_filenode* folder, const AskText& ask);

// Takes in the changes other programs made to a folder whose subfolders are
// tracked: folders made meanwhile are added to the tree, folders gone from
// the medium are taken out. Folders only; files are the image list's.
// Returns how many folders were added or removed.
int take_in_outside_folders(p_filenode* folder);

}  // namespace qelvio::browser
