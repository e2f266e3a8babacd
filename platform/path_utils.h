// Small text and path helpers over 16-bit text and backslash paths.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace qelvio::platform {

// Removes every space character (U+0020) from the text, in place.
void remove_spaces(std::u16string& text);

// The folder part of a path: the text before the last backslash, with a
// trailing backslash removed unless it follows a colon; empty when the path
// has no backslash.
std::u16string folder_part(std::u16string_view path);

// The name part of a path: the text after the last backslash, else after the
// last colon, else the whole text.
std::u16string name_part(std::u16string_view path);

// Sets buffer to folder joined with name: the folder ends with exactly one
// backslash when a name follows (a trailing backslash is removed when the
// name is empty), and one leading backslash of the name is skipped.
void join_path(std::u16string& buffer, std::u16string_view folder, std::u16string_view name);

// The non-empty names of a backslash path, in order (views into path).
std::vector<std::u16string_view> split_path(std::u16string_view path);

// A terminated copy of a terminated text in a new allocation; null for null.
std::unique_ptr<char16_t[]> duplicate_text(const char16_t* text);

// 16-bit to 8-bit text keeping the low byte of each character. The result
// lives in a buffer owned by this routine, one per thread, that later calls
// on the same thread reuse and grow.
const char* narrow_text(std::u16string_view text);

// 8-bit to 16-bit text, each byte extended with zero; buffer as narrow_text.
const char16_t* widen_text(std::string_view text);

}  // namespace qelvio::platform
