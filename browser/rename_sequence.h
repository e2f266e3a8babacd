// Renaming images with sequence numbers: one image gets a new base name,
// several get one common base name followed by a zero-padded number
// (1, 2, 3... in the order given), each keeping its own extension. Each
// file is moved into its own folder under the new name through
// p_copywithprompts, so a name that exists already asks the overwrite
// prompt. Used by the rename dialog and by qelvio-cli rename.
// User-interface thread only.
#pragma once

#include "browser/file_operations.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qelvio::browser {

// Digits of the sequence number the rename accepts.
inline constexpr int kRenameMinDigits = 1;
inline constexpr int kRenameMaxDigits = 5;

// A file name's extension: from its last "." on (the dot included), or
// empty when it has no dot.
std::u16string_view name_extension(std::u16string_view file_name);

// The name the rename dialog offers for one image: its name up to (not
// including) its last ".".
std::u16string_view name_stem(std::u16string_view file_name);

// The new name of one file: for a single file the name and the extension;
// for several the name, the counter with at least `digits` digits
// (zero-padded) and the extension. nullopt when digits is outside 1 to 5
// for several files.
std::optional<std::u16string> sequence_name(std::u16string_view name, int digits, int counter,
                                            std::u16string_view extension, bool several);

// Renames the files in order: the counter starts at 1 and grows for every
// file, also after a failure. A failure shows "The image %s can't be
// renamed to %s." with the old and new name and its status (also for
// Cancel in the prompt, which fails only that file), repaints the panes and
// goes on with the next file. A file that already has its new name is left
// as it is; a new name that would hide the file (a leading "." that the old
// name did not have) is refused with -17.
//
// Files of the same rename never replace one another: when a file's new
// name is held by one still to come, that one steps aside under a free
// name (" (renaming)" before its extension) and takes its own new name in
// its turn, so renumbering in another order swaps names without a
// question; when it is held by one already done or kept, the rename of
// this file fails with -9. Only files outside the rename reach the
// overwrite prompt. Returns the number of files that failed, or -1
// (nothing renamed) when digits is outside 1 to 5 for several files.
int rename_files(const std::vector<p_filenode*>& files, std::u16string_view name, int digits,
                 FileOperationFeedback& feedback);

}  // namespace qelvio::browser
