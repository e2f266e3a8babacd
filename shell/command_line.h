// From a command line, or the text of an open-file request, to the locator
// of the file to open.
#pragma once

#include "qelvio/p_irl.h"

#include <optional>
#include <string_view>

namespace qelvio::shell {

// The path in a command line: the text after its first double quote up to
// the next one; the whole text when it has no double quote; everything
// after the quote when there is no second one.
std::u16string_view command_line_path(std::u16string_view command_line);

// The "file:" locator of a path text. A path that starts with a backslash is
// a device path already; any other is a local path (made absolute against
// the current folder) and is mapped onto the device. nullopt for an empty
// path or a local path outside the device root.
std::optional<p_irl> file_irl(std::u16string_view path);

// The locator of the file named by a command line (command_line_path, then
// file_irl); nullopt when it names none.
std::optional<p_irl> initial_irl(std::u16string_view command_line);

}  // namespace qelvio::shell
