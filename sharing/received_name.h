// Whether a name that a peer announced may become a file in the receiving
// folder: a plain file name only, so that no announcement reaches outside
// that folder or makes a hidden or unprintable entry.
#pragma once

#include <string_view>

namespace qelvio::sharing {

// True for a non-empty name of fewer than 260 characters, without "/" or
// "\", without "..", without control characters (below 32, and 127), not
// starting with ".", and made of well-formed UTF-16 (no lone surrogates).
bool is_plain_file_name(std::u16string_view name);

}  // namespace qelvio::sharing
