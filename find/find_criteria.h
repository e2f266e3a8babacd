// What Find looks for: a part of the file name, words of the metadata and a
// size limit, read from the Find dialog's fields, and the test of one image
// against them. An image passes when every given criterion holds.
#pragma once

#include "metadata/exif_tag_list.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qelvio::find {

enum SizeMode : int { kSizeIgnored = 0, kSizeGreater = 1, kSizeLess = 2 };

// Metadata words kept at most; later ones are not looked for.
inline constexpr std::size_t kMaxWords = 32;
// Bytes of one text entry that are searched.
inline constexpr std::size_t kMaxEntryBytes = 1023;

// The dialog's fields as typed.
struct FindFields {
    std::u16string name;
    std::u16string words;
    int size_mode = kSizeIgnored;
    std::u16string size_text;  // kilobytes
    bool select_all = false;
    bool subfolders = false;
};

struct FindCriteria {
    std::u16string name;             // lower case; empty: not a criterion
    std::vector<std::string> words;  // 8-bit, lower case
    int size_mode = kSizeIgnored;
    int64_t kilobytes = 0;
    bool select_all = false;
    bool subfolders = false;

    // Whether anything is searched for at all.
    bool any() const { return !name.empty() || !words.empty() || size_mode != kSizeIgnored; }
};

// Reads the fields: 0 with the criteria filled, or the message to show
// while the dialog stays open: 35066 for an empty size text, 35067 for one
// that is not a decimal number (or too large to be a size).
int read_fields(const FindFields& fields, FindCriteria& criteria);

// Kilobytes (bytes / 1024, rounded down) at least ("Greater than") or at
// most ("Less than") the number.
bool size_passes(const FindCriteria& criteria, int64_t bytes);
// The name text occurs in the file name, both in lower case.
bool name_passes(const FindCriteria& criteria, std::u16string_view file_name);
// Every word occurs in some text entry (type 2) of the three groups; an
// image without a list or without text entries fails.
bool words_pass(const FindCriteria& criteria, const metadata::ExifTagList* tags);

// Lower case of a 16-bit text (ASCII and Latin-1 letters).
std::u16string lower_case(std::u16string_view text);

}  // namespace qelvio::find
