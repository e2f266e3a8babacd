// Most-recently-used lists of typed text (e-mail recipients, find words,
// annotation authors, rename patterns), kept in the profile: a count value
// and one string value per entry, named prefix + index ("to0", "to1"...),
// index 0 the most recent, at most 20 entries.
//
// A list is loaded when its dialog opens and saved when the dialog is
// confirmed. Called on the thread that owns the list control.
#pragma once

#include "platform/list_control.h"

#include <cstddef>
#include <string_view>

namespace qelvio::shell {

// Where one list lives.
struct MruList {
    const char16_t* section;
    const char16_t* count_name;
    const char16_t* prefix;
};

inline constexpr MruList kEmailRecipients{u"emaildlg", u"tocount", u"to"};
inline constexpr MruList kFindFileName{u"finddlg", u"filecount", u"file"};
inline constexpr MruList kFindMetadata{u"finddlg", u"mdcount", u"md"};
inline constexpr MruList kAnnotationAuthor{u"imgprop_annotation", u"authorcount", u"author"};
inline constexpr MruList kAnnotationCopyright{u"imgprop_annotation", u"copyrightcount", u"cr"};
inline constexpr MruList kRenamePattern{u"renamedlg", u"namecount", u"name"};

// Entries written at most.
inline constexpr int kMruMaxEntries = 20;

// The text read for a missing entry; an entry that reads as exactly this
// text ends the list.
inline constexpr char16_t kMruMissing[] = u"booya!!!!!!!!!!!!";

// Appends the stored entries to the control's list, stopping at the first
// missing one; redraw is off meanwhile.
void load_list(platform::ListControl& control, std::u16string_view section,
               std::u16string_view count_name, std::u16string_view prefix);
inline void load_list(platform::ListControl& control, const MruList& list) {
    load_list(control, list.section, list.count_name, list.prefix);
}

// Puts the control's edit text (when not empty) at the top of its list,
// removing an entry equal to it ignoring case, and writes the count and the
// first 20 entries. Returns the first failing registry result, or 0.
int32_t save_list(platform::ListControl& control, std::u16string_view section,
                  std::u16string_view count_name, std::u16string_view prefix);
inline int32_t save_list(platform::ListControl& control, const MruList& list) {
    return save_list(control, list.section, list.count_name, list.prefix);
}

}  // namespace qelvio::shell
